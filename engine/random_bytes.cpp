#include "engine/random_bytes.h"

#include <cstdint>
#include <cstring>

#include "platform/clock.h"

namespace {

std::uint64_t rotateLeft(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

std::uint64_t splitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// xoshiro256**: 64 bits per step, fast, and good enough for fill data.
struct Generator {
    std::uint64_t s[4] = {0, 0, 0, 0};
    bool seeded = false;

    void seed(std::uint64_t value) {
        // splitmix64 spreads any seed, zero included, over a state that is never all zero.
        for (auto& word : s) word = splitMix64(value);
        seeded = true;
    }

    std::uint64_t next() {
        const std::uint64_t result = rotateLeft(s[1] * 5, 7) * 9;
        const std::uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotateLeft(s[3], 45);
        return result;
    }
};

thread_local Generator threadGenerator;

}  // namespace

void fillRandomBytes(unsigned char* buffer, std::size_t size) {
    Generator& generator = threadGenerator;
    if (!generator.seeded) generator.seed(platform::threadRandomSeed());

    // Work on a local copy so that the compiler keeps the state in registers.
    Generator local = generator;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        const std::uint64_t word = local.next();
        std::memcpy(buffer + at, &word, 8);
    }
    if (at < size) {
        const std::uint64_t word = local.next();
        std::memcpy(buffer + at, &word, size - at);
    }
    generator = local;
}
