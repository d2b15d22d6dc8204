// The "RANDOM" generator: every machine code it can run gives the same bytes, those
// bytes are xoshiro256** lane by lane, and the lanes do not repeat each other.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "engine/fill_worker.h"
#include "engine/random_bytes.h"

namespace {

const RandomBytesCode allCodes[] = {RandomBytesCode::Portable, RandomBytesCode::Avx2};

std::vector<unsigned char> generate(RandomBytesCode code, std::uint64_t seed,
                                    const std::vector<std::size_t>& sizes) {
    RandomBytesGenerator generator(seed);
    std::vector<unsigned char> all;
    for (const std::size_t size : sizes) {
        std::vector<unsigned char> part(size + 1, 0xEE);
        generator.fill(code, part.data(), size);
        EXPECT_EQ(part[size], 0xEE) << "wrote past the end of " << size << " bytes";
        all.insert(all.end(), part.begin(), part.begin() + static_cast<std::ptrdiff_t>(size));
    }
    return all;
}

std::uint64_t wordAt(const std::vector<unsigned char>& bytes, std::size_t index) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + index * 8, 8);
    return word;
}

TEST(RandomBytes, TheCodeChosenAtRunTimeIsOneThisProcessorRuns) {
    EXPECT_TRUE(randomBytesCodeAvailable(RandomBytesCode::Portable));
    EXPECT_TRUE(randomBytesCodeAvailable(chosenRandomBytesCode()));
}

TEST(RandomBytes, EveryCodeGivesTheSameBytesFromTheSameSeed) {
    // Whole steps, parts of a step, nothing at all, and whole blocks, one after another.
    const std::vector<std::size_t> sizes = {0, 1, 63, 64, 65, 8, 1000, fillBlockSize,
                                            fillBlockSize + 13, 128};
    for (const std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{0x123456789ABCDEFULL}}) {
        const auto portable = generate(RandomBytesCode::Portable, seed, sizes);
        for (const RandomBytesCode code : allCodes) {
            if (!randomBytesCodeAvailable(code)) continue;
            EXPECT_TRUE(generate(code, seed, sizes) == portable)
                << "code " << static_cast<int>(code) << ", seed " << seed;
        }
    }
}

// xoshiro256** as its authors define it, one state, seeded with splitmix64.
struct ReferenceXoshiro {
    explicit ReferenceXoshiro(std::uint64_t seed) {
        for (auto& word : s) {
            std::uint64_t z = (seed += 0x9E3779B97F4A7C15ULL);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            word = z ^ (z >> 31);
        }
    }
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t next() {
        const std::uint64_t result = rotl(s[1] * 5, 7) * 9;
        const std::uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotl(s[3], 45);
        return result;
    }
    std::uint64_t s[4];
};

TEST(RandomBytes, TheFirstLaneIsXoshiro256StarStar) {
    const std::uint64_t seed = 42;
    for (const RandomBytesCode code : allCodes) {
        if (!randomBytesCodeAvailable(code)) continue;
        const auto bytes = generate(code, seed, {4096});
        ReferenceXoshiro reference(seed);
        for (std::size_t step = 0; step < 4096 / 64; ++step) {
            ASSERT_EQ(wordAt(bytes, step * RandomBytesGenerator::laneCount), reference.next())
                << "code " << static_cast<int>(code) << ", step " << step;
        }
    }
}

TEST(RandomBytes, ABlockHasNoRepeatedWordsAndEvenBytes) {
    // Lanes that repeated each other, or a short cycle, would repeat words at once.
    const auto block = generate(chosenRandomBytesCode(), 7, {fillBlockSize});
    std::set<std::uint64_t> words;
    for (std::size_t i = 0; i < fillBlockSize / 8; ++i) words.insert(wordAt(block, i));
    EXPECT_EQ(words.size(), fillBlockSize / 8);

    // 4096 of each byte value are expected; the bounds lie more than 7 deviations out.
    std::array<int, 256> counts{};
    for (const unsigned char byte : block) ++counts[byte];
    for (int value = 0; value < 256; ++value) {
        EXPECT_GT(counts[value], 3600) << value;
        EXPECT_LT(counts[value], 4600) << value;
    }
}

TEST(RandomBytes, SeedsAndSuccessiveBlocksGiveDifferentBytes) {
    const auto first = generate(chosenRandomBytesCode(), 1, {fillBlockSize, fillBlockSize});
    const auto other = generate(chosenRandomBytesCode(), 2, {fillBlockSize});
    EXPECT_NE(std::memcmp(first.data(), first.data() + fillBlockSize, fillBlockSize), 0);
    EXPECT_NE(std::memcmp(first.data(), other.data(), fillBlockSize), 0);
}

}  // namespace
