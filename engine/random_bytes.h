// Fast pseudo-random bytes (not of cryptographic strength), state per thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Fills `size` bytes with new pseudo-random bytes from the calling thread's
// generator, seeded on the thread's first call from platform::threadRandomSeed().
void fillRandomBytes(unsigned char* buffer, std::size_t size);

// The machine code the generator can run. The build uses no processor-specific
// options: fillRandomBytes takes the fastest code this processor can run, chosen
// when the program runs. Every code gives the same bytes from the same seed.
enum class RandomBytesCode {
    Portable,  // any processor (on x86-64: SSE2, which every x86-64 has)
    Avx2,      // x86-64 processors with AVX2
};

bool randomBytesCodeAvailable(RandomBytesCode code);
RandomBytesCode chosenRandomBytesCode();

// A generator with a state of its own, for comparing the codes with each other and
// for measuring them; the program itself uses fillRandomBytes.
class RandomBytesGenerator {
public:
    explicit RandomBytesGenerator(std::uint64_t seed);
    // Fills `size` bytes with the given code, which must be available.
    void fill(RandomBytesCode code, unsigned char* buffer, std::size_t size);

    static constexpr int laneCount = 8;

private:
    // Eight independent xoshiro256** generators, word k of lane i at state_[k][i].
    std::uint64_t state_[4][laneCount];
};
