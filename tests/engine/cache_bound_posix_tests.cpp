// Written fill data does not pile up in the page cache: while a fill file is written,
// only a few MiB of it wait in memory for the medium, and after it is closed the cache
// holds (almost) none of it. Read with mincore(), as fincore does.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "platform/files.h"
#include "tests/engine/engine_test_support.h"

namespace {

using namespace enginetest;

// What may wait in memory at any moment of a run, at most.
constexpr std::int64_t cacheAllowance = 64 * mib;

// Bytes of the file that the page cache holds now.
std::int64_t residentBytes(const fs::path& file) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -1;
    struct stat status{};
    std::int64_t resident = -1;
    if (::fstat(descriptor, &status) == 0) {
        resident = 0;
        const auto length = static_cast<std::size_t>(status.st_size);
        if (length > 0) {
            const long page = ::sysconf(_SC_PAGESIZE);
            void* map = ::mmap(nullptr, length, PROT_NONE, MAP_SHARED, descriptor, 0);
            if (map != MAP_FAILED) {
                std::vector<unsigned char> pages((length + page - 1) / page);
                if (::mincore(map, length, pages.data()) == 0) {
                    for (const unsigned char flags : pages) resident += (flags & 1) ? page : 0;
                } else {
                    resident = -1;
                }
                ::munmap(map, length);
            } else {
                resident = -1;
            }
        }
    }
    ::close(descriptor);
    return resident;
}

bool keptInMemoryOnly(const fs::path& directory) {
    struct statfs status{};
    if (::statfs(directory.c_str(), &status) != 0) return true;
    return status.f_type == TMPFS_MAGIC || status.f_type == RAMFS_MAGIC;
}

// A place whose files live on a medium: the temporary directory, or else the
// build tree the tests run in. On a memory file system the cache is the storage.
fs::path baseOnAMedium() {
    const fs::path temporary = fs::temp_directory_path();
    if (!keptInMemoryOnly(temporary)) return temporary;
    const fs::path current = fs::current_path();
    if (!keptInMemoryOnly(current)) return current;
    return {};
}

class CacheBoundTest : public testing::Test {
protected:
    void SetUp() override {
        if (base.empty()) {
            const char* ci = std::getenv("CI");
            if (ci && std::string(ci) == "true") FAIL() << "no directory on a medium to test in";
            GTEST_SKIP() << "the temporary directory and the build tree are both in memory";
        }
        ASSERT_TRUE(directory.valid());
    }

    fs::path base = baseOnAMedium();
    TemporaryDirectory directory{base.empty() ? fs::temp_directory_path() : base};
};

TEST_F(CacheBoundTest, AFillFileNeverHoldsMuchOfItselfInTheCache) {
    // Larger than the allowance: a file whose data stayed cached would exceed it.
    const std::int64_t blocks = 96;
    std::vector<unsigned char> block(fillBlockSize, 0xA5);
    const fs::path path = directory.path() / "paced";
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(path.wstring()));
    std::int64_t mostResident = 0;
    for (std::int64_t written = 1; written <= blocks; ++written) {
        ASSERT_TRUE(file.write(block.data(), block.size()));
        const std::int64_t resident = residentBytes(path);
        ASSERT_GE(resident, 0);
        mostResident = std::max(mostResident, resident);
    }
    EXPECT_LE(mostResident, cacheAllowance / 4) << "the cache kept the data as it was written";
    file.close();
    EXPECT_LE(residentBytes(path), 1 * mib) << "the closed file stayed in the cache";

    // Every byte reached the file all the same.
    const auto bytes = readBytes(path);
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), blocks * mib);
    EXPECT_TRUE(allBytesAre(bytes, 0xA5));
}

TEST_F(CacheBoundTest, AWriteOfOddSizeIsPacedAndCompleteAsWell) {
    // Pieces that do not line up with pages or blocks.
    std::vector<unsigned char> piece(3 * fillBlockSize + 12345);
    for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<unsigned char>(i * 7);
    const fs::path path = directory.path() / "odd";
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(path.wstring()));
    for (int round = 0; round < 8; ++round) ASSERT_TRUE(file.write(piece.data(), piece.size()));
    file.close();
    EXPECT_LE(residentBytes(path), 1 * mib);

    const auto bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 8 * piece.size());
    for (int round = 0; round < 8; ++round) {
        EXPECT_EQ(std::memcmp(bytes.data() + round * piece.size(), piece.data(), piece.size()), 0)
            << "piece " << round;
    }
}

TEST_F(CacheBoundTest, ARunLeavesItsFillFilesOutOfTheCache) {
    FillJob job;
    setJob(job, 24, 3, FillType::Random, asOutputDirectory(directory.path()));
    RunEndedRecorder ended;
    runFillWorker(job, ended.signal());
    ASSERT_EQ(ended.calls(), 1);

    const auto names = namesIn(directory.path());
    ASSERT_EQ(names.size(), 3u);
    for (const auto& name : names) {
        EXPECT_EQ(fs::file_size(directory.path() / name), static_cast<std::uintmax_t>(24 * mib));
        EXPECT_LE(residentBytes(directory.path() / name), 1 * mib) << name;
    }
}

}  // namespace
