#include "engine/random_bytes.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/clock.h"

// The generator is xoshiro256**, fast and good enough for fill data, run as eight
// independent lanes side by side: the lanes' state words sit in vectors, so one step
// gives 64 bytes. Written with the compiler's vector types, the same source becomes
// SSE2 code for every x86-64 and AVX2 code for processors that have it; which one runs
// is decided at run time, so the build needs no processor-specific options.

namespace {

constexpr int lanes = RandomBytesGenerator::laneCount;
constexpr std::size_t bytesPerStep = lanes * sizeof(std::uint64_t);

std::uint64_t splitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t rotateLeft(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// One step of a single xoshiro256** state; used only to seed the lanes.
void stepOnce(std::uint64_t (&s)[4]) {
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotateLeft(s[3], 45);
}

// Moves a state 2^128 steps ahead, so that lanes seeded one jump apart never overlap.
void jump(std::uint64_t (&s)[4]) {
    static constexpr std::uint64_t polynomial[] = {0x180EC6D33CFD0ABAULL, 0xD5A61266F0C9392CULL,
                                                   0xA9582618E03FC9AAULL, 0x39ABDC4529B1661CULL};
    std::uint64_t sum[4] = {0, 0, 0, 0};
    for (const std::uint64_t word : polynomial) {
        for (int bit = 0; bit < 64; ++bit) {
            if (word & (std::uint64_t{1} << bit)) {
                for (int k = 0; k < 4; ++k) sum[k] ^= s[k];
            }
            stepOnce(s);
        }
    }
    std::memcpy(s, sum, sizeof sum);
}

// `steps` steps of all lanes, 64 bytes each, into `out`, with vectors of type V (the
// widest the instruction set has), several of them for each state word. Multiplications
// by 5 and 9 are written as shifts and adds, which every vector instruction set has for
// 64-bit lanes.
template <typename V>
inline __attribute__((always_inline)) void runLanes(std::uint64_t (&state)[4][lanes],
                                                    unsigned char* out, std::size_t steps) {
    constexpr int vectorsPerWord = bytesPerStep / sizeof(V);
    V s0[vectorsPerWord], s1[vectorsPerWord], s2[vectorsPerWord], s3[vectorsPerWord];
    std::memcpy(s0, state[0], bytesPerStep);
    std::memcpy(s1, state[1], bytesPerStep);
    std::memcpy(s2, state[2], bytesPerStep);
    std::memcpy(s3, state[3], bytesPerStep);
    for (std::size_t step = 0; step < steps; ++step) {
        unsigned char* const stepOut = out + step * bytesPerStep;
#pragma GCC unroll 8
        for (int j = 0; j < vectorsPerWord; ++j) {
            const V times5 = s1[j] + (s1[j] << 2);
            const V rotated = (times5 << 7) | (times5 >> 57);
            const V result = rotated + (rotated << 3);
            const V t = s1[j] << 17;
            s2[j] ^= s0[j];
            s3[j] ^= s1[j];
            s1[j] ^= s2[j];
            s0[j] ^= s3[j];
            s2[j] ^= t;
            s3[j] = (s3[j] << 45) | (s3[j] >> 19);
            std::memcpy(stepOut + j * sizeof(V), &result, sizeof(V));
        }
    }
    std::memcpy(state[0], s0, bytesPerStep);
    std::memcpy(state[1], s1, bytesPerStep);
    std::memcpy(state[2], s2, bytesPerStep);
    std::memcpy(state[3], s3, bytesPerStep);
}

using Vector128 = std::uint64_t __attribute__((vector_size(16)));
using Vector256 = std::uint64_t __attribute__((vector_size(32)));

using LaneRunner = void (*)(std::uint64_t (&)[4][lanes], unsigned char*, std::size_t);

void runLanesPortable(std::uint64_t (&state)[4][lanes], unsigned char* out, std::size_t steps) {
    runLanes<Vector128>(state, out, steps);
}

#if defined(__x86_64__) || defined(__i386__)
#define VELLUMITE_RANDOM_AVX2 1
__attribute__((target("avx2"))) void runLanesAvx2(std::uint64_t (&state)[4][lanes],
                                                   unsigned char* out, std::size_t steps) {
    runLanes<Vector256>(state, out, steps);
}
#endif

bool processorHasAvx2() {
#ifdef VELLUMITE_RANDOM_AVX2
    // Also answers whether the system saves the AVX registers for each thread.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

LaneRunner runnerFor(RandomBytesCode code) {
#ifdef VELLUMITE_RANDOM_AVX2
    if (code == RandomBytesCode::Avx2) return runLanesAvx2;
#else
    (void)code;
#endif
    return runLanesPortable;
}

thread_local std::optional<RandomBytesGenerator> threadGenerator;

}  // namespace

bool randomBytesCodeAvailable(RandomBytesCode code) {
    switch (code) {
        case RandomBytesCode::Portable:
            return true;
        case RandomBytesCode::Avx2:
            return processorHasAvx2();
    }
    return false;
}

RandomBytesCode chosenRandomBytesCode() {
    static const RandomBytesCode chosen =
        processorHasAvx2() ? RandomBytesCode::Avx2 : RandomBytesCode::Portable;
    return chosen;
}

RandomBytesGenerator::RandomBytesGenerator(std::uint64_t seed) {
    // splitmix64 spreads any seed, zero included, over a state that is never all zero.
    std::uint64_t lane[4];
    for (auto& word : lane) word = splitMix64(seed);
    for (int index = 0; index < lanes; ++index) {
        for (int k = 0; k < 4; ++k) state_[k][index] = lane[k];
        jump(lane);
    }
}

void RandomBytesGenerator::fill(RandomBytesCode code, unsigned char* buffer, std::size_t size) {
    const LaneRunner run = runnerFor(code);
    const std::size_t wholeSteps = size / bytesPerStep;
    run(state_, buffer, wholeSteps);
    const std::size_t rest = size - wholeSteps * bytesPerStep;
    if (rest > 0) {
        unsigned char last[bytesPerStep];
        run(state_, last, 1);
        std::memcpy(buffer + wholeSteps * bytesPerStep, last, rest);
    }
}

void fillRandomBytes(unsigned char* buffer, std::size_t size) {
    std::optional<RandomBytesGenerator>& generator = threadGenerator;
    if (!generator) generator.emplace(platform::threadRandomSeed());
    generator->fill(chosenRandomBytesCode(), buffer, size);
}
