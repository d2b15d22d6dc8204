// A worker that cannot obtain its block buffer ends the run at once. This program
// replaces the aligned, non-throwing operator new (the one the worker's block buffer
// comes from) with one that can be told to fail.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "tests/engine/engine_test_support.h"

namespace {
std::atomic<bool> refuseAlignedMemory{false};
}  // namespace

void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    if (refuseAlignedMemory) return nullptr;
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
#ifdef _WIN32
    return _aligned_malloc(rounded, align);
#else
    return std::aligned_alloc(align, rounded);
#endif
}

void operator delete(void* memory, std::align_val_t) noexcept {
#ifdef _WIN32
    _aligned_free(memory);
#else
    std::free(memory);
#endif
}

namespace {

using namespace enginetest;

TEST(BlockBuffer, WithoutItTheRunEndsAtOnceAndSignals) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.valid());
    FillJob job;
    setJob(job, 2, 3, FillType::AllOne, asOutputDirectory(directory.path()));
    requestStop(job);

    refuseAlignedMemory = true;
    RunEndedRecorder ended;
    runFillWorker(job, ended.signal());
    refuseAlignedMemory = false;

    EXPECT_EQ(ended.calls(), 1);
    EXPECT_TRUE(namesIn(directory.path()).empty());
    const FillProgress progress = readProgress(job);
    EXPECT_FALSE(progress.runStarted);  // no worker has begun
    EXPECT_EQ(progress.currentFile, 0);
    EXPECT_EQ(progress.filledMiB, 0);
    EXPECT_EQ(stopRequestedOf(job), 0);

    // With memory the same job runs; the buffer the replacement hands out is used.
    runFillWorker(job, ended.signal());
    EXPECT_EQ(ended.calls(), 2);
    EXPECT_EQ(namesIn(directory.path()).size(), 3u);
    EXPECT_EQ(readProgress(job).currentFile, 3);
}

}  // namespace
