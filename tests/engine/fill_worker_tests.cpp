// The fill worker against real files in a fresh directory per test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "engine/parse_number.h"
#include "engine/timestamp.h"
#include "tests/engine/engine_test_support.h"

namespace {

using namespace enginetest;

class FillWorkerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(directory.valid()); }

    // The run on this thread; answers how often it signalled its end.
    int runOnThisThread() {
        RunEndedRecorder ended;
        runFillWorker(job, ended.signal());
        return ended.calls();
    }

    fs::path fileNamed(const std::string& name) const { return directory.path() / name; }

    TemporaryDirectory directory;
    FillJob job;
};

// The index and timestamp of a fill file name "zero<index>.<timestamp>".
bool splitFillName(const std::string& name, std::int64_t& index, std::int64_t& timestamp) {
    if (name.rfind("zero", 0) != 0) return false;
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return false;
    const std::string indexText = name.substr(4, dot - 4);
    const std::string timestampText = name.substr(dot + 1);
    if (indexText.empty() || timestampText.empty()) return false;
    index = parseNumber(std::wstring(indexText.begin(), indexText.end()));
    timestamp = parseNumber(std::wstring(timestampText.begin(), timestampText.end()));
    return decimalText(index) == std::wstring(indexText.begin(), indexText.end()) &&
           decimalText(timestamp) == std::wstring(timestampText.begin(), timestampText.end());
}

TEST_F(FillWorkerTest, WritesEveryFileWholeWithItsPatternAndName) {
    setJob(job, 2, 3, FillType::AllOne, asOutputDirectory(directory.path()));
    const std::int32_t before = localTimestamp();
    EXPECT_EQ(runOnThisThread(), 1);
    const std::int32_t after = localTimestamp();

    const auto names = namesIn(directory.path());
    ASSERT_EQ(names.size(), 3u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        std::int64_t index = -1;
        std::int64_t timestamp = -1;
        ASSERT_TRUE(splitFillName(names[i], index, timestamp));
        EXPECT_EQ(index, static_cast<std::int64_t>(i));
        EXPECT_GE(timestamp, before);
        EXPECT_LE(timestamp, after);
        const auto bytes = readBytes(fileNamed(names[i]));
        EXPECT_EQ(bytes.size(), static_cast<std::size_t>(2 * mib));
        EXPECT_TRUE(allBytesAre(bytes, 0xFF));
    }
    const FillProgress progress = readProgress(job);
    EXPECT_TRUE(progress.runStarted);
    EXPECT_EQ(progress.currentFile, 3);
    EXPECT_EQ(progress.filledMiB, 2);
    EXPECT_EQ(stopRequestedOf(job), 0);
}

TEST_F(FillWorkerTest, AllZeroAfterAnotherPatternIsZeroAgain) {
    // The buffer is set to the pattern for every file, not only once.
    setJob(job, 1, 1, FillType::AllOne, asOutputDirectory(directory.path()));
    runOnThisThread();
    TemporaryDirectory second;
    ASSERT_TRUE(second.valid());
    setJob(job, 1, 2, FillType::AllZero, asOutputDirectory(second.path()));
    runOnThisThread();
    const auto names = namesIn(second.path());
    ASSERT_EQ(names.size(), 2u);
    for (const auto& name : names) {
        const auto bytes = readBytes(second.path() / name);
        EXPECT_EQ(bytes.size(), static_cast<std::size_t>(mib));
        EXPECT_TRUE(allBytesAre(bytes, 0x00)) << name;
    }
}

TEST_F(FillWorkerTest, SizeOfZeroOrLessCreatesEmptyFilesAndKeepsTheProgress) {
    for (const std::int32_t size : {0, -5}) {
        SCOPED_TRACE(size);
        TemporaryDirectory target;
        ASSERT_TRUE(target.valid());
        setJob(job, size, 3, FillType::AllOne, asOutputDirectory(target.path()));
        {
            const std::lock_guard hold(job.jobLock);
            job.currentFile = 4;
            job.filledMiB = 5;
        }
        // No block report ever sees this request; the end of the run drops it.
        requestStop(job);
        EXPECT_EQ(runOnThisThread(), 1);

        const auto names = namesIn(target.path());
        ASSERT_EQ(names.size(), 3u);
        for (const auto& name : names) EXPECT_TRUE(readBytes(target.path() / name).empty());
        const FillProgress progress = readProgress(job);
        EXPECT_TRUE(progress.runStarted);
        EXPECT_EQ(progress.currentFile, 4);
        EXPECT_EQ(progress.filledMiB, 5);
        EXPECT_EQ(stopRequestedOf(job), 0);
    }
}

TEST_F(FillWorkerTest, CountOfZeroOrLessCreatesNoFileButStillStartsAndSignals) {
    for (const std::int32_t count : {0, -3, std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(count);
        FillJob fresh;
        setJob(fresh, 2, count, FillType::AllZero, asOutputDirectory(directory.path()));
        RunEndedRecorder ended;
        runFillWorker(fresh, ended.signal());
        EXPECT_EQ(ended.calls(), 1);
        EXPECT_TRUE(readProgress(fresh).runStarted);
        EXPECT_TRUE(namesIn(directory.path()).empty());
    }
}

TEST_F(FillWorkerTest, AStopDuringTheRunEndsItAfterAWholeBlock) {
    // Far more than can be written before the stop: the run can only end by it.
    setJob(job, std::numeric_limits<std::int32_t>::max(), 2, FillType::AllZero,
           asOutputDirectory(directory.path()));
    RunEndedRecorder ended;
    ASSERT_TRUE(startFillWorker(job, ended.signal()));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    FillProgress seen = readProgress(job);
    while (seen.filledMiB < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        seen = readProgress(job);
    }
    ASSERT_GE(seen.filledMiB, 2);
    requestStop(job);
    ASSERT_TRUE(ended.waitForEnd());
    EXPECT_EQ(ended.calls(), 1);

    const FillProgress last = readProgress(job);
    EXPECT_EQ(last.currentFile, 1);
    EXPECT_GE(last.filledMiB, seen.filledMiB);
    EXPECT_EQ(stopRequestedOf(job), 0);
    const auto names = namesIn(directory.path());
    ASSERT_EQ(names.size(), 1u);
    // The block written when the stop was seen stays in the file, uncounted.
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(fileNamed(names[0]))),
              (last.filledMiB + 1) * mib);
}

TEST_F(FillWorkerTest, TwoStopRequestsBeforeABlockReportStopOnce) {
    setJob(job, 2, 2, FillType::AllOne, asOutputDirectory(directory.path()));
    {
        const std::lock_guard hold(job.jobLock);
        job.currentFile = 7;
        job.filledMiB = 9;
    }
    requestStop(job);
    requestStop(job);
    EXPECT_EQ(runOnThisThread(), 1);

    // The first block report consumed the request: one block, no second file.
    auto names = namesIn(directory.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(fs::file_size(fileNamed(names[0])), static_cast<std::uintmax_t>(mib));
    FillProgress progress = readProgress(job);
    EXPECT_EQ(progress.currentFile, 7);
    EXPECT_EQ(progress.filledMiB, 9);
    EXPECT_EQ(stopRequestedOf(job), 0);

    // Nothing of the second press is left for the next run.
    TemporaryDirectory next;
    ASSERT_TRUE(next.valid());
    replaceOutputDirectory(job, asOutputDirectory(next.path()));
    EXPECT_EQ(runOnThisThread(), 1);
    names = namesIn(next.path());
    ASSERT_EQ(names.size(), 2u);
    for (const auto& name : names) {
        EXPECT_EQ(fs::file_size(next.path() / name), static_cast<std::uintmax_t>(2 * mib));
    }
    progress = readProgress(job);
    EXPECT_EQ(progress.currentFile, 2);
    EXPECT_EQ(progress.filledMiB, 2);
}

TEST_F(FillWorkerTest, AStrayStopAfterTheRunDoesNotStopTheNextOne) {
    setJob(job, 1, 1, FillType::AllZero, asOutputDirectory(directory.path()));
    EXPECT_EQ(runOnThisThread(), 1);
    requestStop(job);  // pressed between the worker's last report and "GO"

    TemporaryDirectory next;
    ASSERT_TRUE(next.valid());
    {
        // What the next start does while it holds jobLock.
        const std::lock_guard hold(job.jobLock);
        job.sizePerFileMiB = 2;
        job.fileCount = 2;
        job.outputDirectory = asOutputDirectory(next.path());
        discardStaleStopRequest(job);
    }
    EXPECT_EQ(runOnThisThread(), 1);
    const auto names = namesIn(next.path());
    ASSERT_EQ(names.size(), 2u);
    for (const auto& name : names) {
        EXPECT_EQ(fs::file_size(next.path() / name), static_cast<std::uintmax_t>(2 * mib));
    }
    const FillProgress progress = readProgress(job);
    EXPECT_EQ(progress.currentFile, 2);
    EXPECT_EQ(progress.filledMiB, 2);
}

TEST_F(FillWorkerTest, RandomBlocksDifferWithinAFileAndBetweenRuns) {
    // Each run on a worker thread of its own, seeded on that thread's first use.
    auto runOnWorkerThread = [](FillJob& fillJob) {
        RunEndedRecorder ended;
        EXPECT_TRUE(startFillWorker(fillJob, ended.signal()));
        EXPECT_TRUE(ended.waitForEnd());
    };
    setJob(job, 3, 1, FillType::Random, asOutputDirectory(directory.path()));
    runOnWorkerThread(job);
    TemporaryDirectory second;
    ASSERT_TRUE(second.valid());
    replaceOutputDirectory(job, asOutputDirectory(second.path()));
    runOnWorkerThread(job);

    const auto firstNames = namesIn(directory.path());
    const auto secondNames = namesIn(second.path());
    ASSERT_EQ(firstNames.size(), 1u);
    ASSERT_EQ(secondNames.size(), 1u);
    const auto first = readBytes(directory.path() / firstNames[0]);
    const auto repeated = readBytes(second.path() / secondNames[0]);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(3 * mib));
    ASSERT_EQ(repeated.size(), first.size());

    auto blockOf = [](const std::vector<unsigned char>& bytes, std::size_t block) {
        return std::vector<unsigned char>(bytes.begin() + static_cast<std::ptrdiff_t>(block * mib),
                                          bytes.begin() +
                                              static_cast<std::ptrdiff_t>((block + 1) * mib));
    };
    EXPECT_NE(blockOf(first, 0), blockOf(first, 1));
    EXPECT_NE(blockOf(first, 1), blockOf(first, 2));
    EXPECT_NE(blockOf(first, 0), blockOf(first, 2));
    EXPECT_NE(first, repeated);
    for (const auto& bytes : {first, repeated}) {
        EXPECT_FALSE(allBytesAre(bytes, 0x00));
        // Every byte value turns up about equally often (3 MiB / 256 = 12288 each).
        std::vector<std::int64_t> counts(256, 0);
        for (const unsigned char b : bytes) ++counts[b];
        for (const std::int64_t count : counts) {
            EXPECT_GT(count, 11000);
            EXPECT_LT(count, 13600);
        }
    }
}

TEST_F(FillWorkerTest, AnExistingFileOfTheSameNameIsEmptiedAndRewritten) {
    // The name carries the second in which it is formed; try again if it moved on.
    for (int attempt = 0; attempt < 10; ++attempt) {
        TemporaryDirectory target;
        ASSERT_TRUE(target.valid());
        const std::wstring timestamp = decimalText(localTimestamp());
        const fs::path planted = target.path() / (L"zero0." + timestamp);
        writeBytes(planted, std::vector<unsigned char>(3 * mib + 17, 0xAB));
        setJob(job, 1, 1, FillType::AllOne, asOutputDirectory(target.path()));
        EXPECT_EQ(runOnThisThread(), 1);

        if (namesIn(target.path()).size() != 1) continue;  // the second had changed
        const auto bytes = readBytes(planted);
        EXPECT_EQ(bytes.size(), static_cast<std::size_t>(mib));
        EXPECT_TRUE(allBytesAre(bytes, 0xFF));
        return;
    }
    FAIL() << "the clock's second changed at every attempt";
}

TEST_F(FillWorkerTest, AMissingDirectoryWritesNothingButTheRunGoesOn) {
    const fs::path missing = directory.path() / "missing";
    setJob(job, 2, 2, FillType::Random, asOutputDirectory(missing));
    EXPECT_EQ(runOnThisThread(), 1);
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(namesIn(directory.path()).empty());
    const FillProgress progress = readProgress(job);
    EXPECT_EQ(progress.currentFile, 2);
    EXPECT_EQ(progress.filledMiB, 2);
    EXPECT_EQ(stopRequestedOf(job), 0);
}

}  // namespace
