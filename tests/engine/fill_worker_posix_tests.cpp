// Fill runs that need POSIX: a symbolic link at a fill file's name, and a named
// pipe (FIFO) at a fill file's name, which holds the worker inside that file's
// first block until the test has read it. The pipe makes the moments between two
// files observable without any help from the worker.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "engine/parse_number.h"
#include "engine/timestamp.h"
#include "platform/files.h"
#include "tests/engine/engine_test_support.h"

namespace {

using namespace enginetest;

using Clock = std::chrono::steady_clock;

// The read end of a FIFO planted at a path, opened without waiting for a writer.
class PlantedPipe {
public:
    explicit PlantedPipe(const fs::path& path) {
        if (::mkfifo(path.c_str(), 0600) == 0) {
            descriptor_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        }
    }
    ~PlantedPipe() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    PlantedPipe(const PlantedPipe&) = delete;
    PlantedPipe& operator=(const PlantedPipe&) = delete;

    bool valid() const { return descriptor_ >= 0; }

    // Waits until the worker has written into the pipe (true) or the run has ended
    // without doing so (false: the clock's second moved on and the name differed).
    bool waitForFirstBytes(RunEndedRecorder& ended) {
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (Clock::now() < deadline) {
            const ssize_t got = ::read(descriptor_, buffer_, sizeof buffer_);
            if (got > 0) {
                received_ += static_cast<std::size_t>(got);
                return true;
            }
            if (ended.calls() > 0) return false;
            pollable(20);
        }
        return false;
    }

    // Reads everything until the last writer has closed the pipe; the total read.
    std::size_t drainUntilClosed() {
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (Clock::now() < deadline) {
            const ssize_t got = ::read(descriptor_, buffer_, sizeof buffer_);
            if (got > 0) {
                received_ += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;  // no writer any more
            } else if (errno == EAGAIN) {
                pollable(100);
            } else if (errno != EINTR) {
                break;
            }
        }
        return received_;
    }

private:
    void pollable(int milliseconds) {
        pollfd wait{descriptor_, POLLIN, 0};
        ::poll(&wait, 1, milliseconds);
    }

    int descriptor_ = -1;
    std::size_t received_ = 0;
    unsigned char buffer_[65536];
};

std::string fillName(int index, std::int32_t timestamp) {
    return "zero" + std::to_string(index) + "." + std::to_string(timestamp);
}

TEST(FillWorkerPosix, AStopAfterTheLastBlockOfAFileIsSeenAfterOneBlockOfTheNext) {
    // The name carries the second in which it is formed; try again if it moved on.
    for (int attempt = 0; attempt < 10; ++attempt) {
        TemporaryDirectory directory;
        ASSERT_TRUE(directory.valid());
        FillJob job;
        setJob(job, 2, 3, FillType::AllZero, asOutputDirectory(directory.path()));
        const std::int32_t timestamp = localTimestamp();
        PlantedPipe secondFile(directory.path() / fillName(1, timestamp));
        ASSERT_TRUE(secondFile.valid());

        RunEndedRecorder ended;
        ASSERT_TRUE(startFillWorker(job, ended.signal()));
        if (!secondFile.waitForFirstBytes(ended)) {
            ASSERT_TRUE(ended.waitForEnd());
            continue;
        }
        // The worker is inside the second file's first block: the first file's last
        // block has been reported and no report of the second file has happened yet.
        const FillProgress between = readProgress(job);
        EXPECT_EQ(between.currentFile, 1);
        EXPECT_EQ(between.filledMiB, 2);
        requestStop(job);

        EXPECT_EQ(secondFile.drainUntilClosed(), fillBlockSize);  // exactly one block
        ASSERT_TRUE(ended.waitForEnd());
        EXPECT_EQ(ended.calls(), 1);
        const FillProgress last = readProgress(job);
        EXPECT_EQ(last.currentFile, 1);
        EXPECT_EQ(last.filledMiB, 2);
        EXPECT_EQ(stopRequestedOf(job), 0);
        EXPECT_EQ(namesIn(directory.path()),
                  (std::vector<std::string>{fillName(0, timestamp), fillName(1, timestamp)}));
        EXPECT_EQ(fs::file_size(directory.path() / fillName(0, timestamp)),
                  static_cast<std::uintmax_t>(2 * mib));
        return;
    }
    FAIL() << "the clock's second changed at every attempt";
}

TEST(FillWorkerPosix, ADirectoryChosenDuringTheRunReceivesTheFilesBegunAfter) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        TemporaryDirectory first;
        TemporaryDirectory chosen;
        ASSERT_TRUE(first.valid() && chosen.valid());
        FillJob job;
        setJob(job, 1, 3, FillType::AllOne, asOutputDirectory(first.path()));
        const std::int32_t timestamp = localTimestamp();
        PlantedPipe firstFile(first.path() / fillName(0, timestamp));
        ASSERT_TRUE(firstFile.valid());

        RunEndedRecorder ended;
        ASSERT_TRUE(startFillWorker(job, ended.signal()));
        if (!firstFile.waitForFirstBytes(ended)) {
            ASSERT_TRUE(ended.waitForEnd());
            continue;
        }
        replaceOutputDirectory(job, asOutputDirectory(chosen.path()));
        EXPECT_EQ(firstFile.drainUntilClosed(), fillBlockSize);
        ASSERT_TRUE(ended.waitForEnd());

        EXPECT_EQ(namesIn(first.path()), (std::vector<std::string>{fillName(0, timestamp)}));
        const auto names = namesIn(chosen.path());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0].rfind("zero1.", 0), 0u);
        EXPECT_EQ(names[1].rfind("zero2.", 0), 0u);
        const FillProgress last = readProgress(job);
        EXPECT_EQ(last.currentFile, 3);
        EXPECT_EQ(last.filledMiB, 1);
        return;
    }
    FAIL() << "the clock's second changed at every attempt";
}

TEST(FillWorkerPosix, ALinkAtAFillFileNameLeavesItsTargetUntouched) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        TemporaryDirectory directory;
        TemporaryDirectory outside;
        ASSERT_TRUE(directory.valid() && outside.valid());
        const std::vector<unsigned char> precious{'n', 'o', 't', ' ', 'y', 'o', 'u', 'r', 's'};
        writeBytes(outside.path() / "precious", precious);
        FillJob job;
        setJob(job, 1, 2, FillType::AllOne, asOutputDirectory(directory.path()));
        const std::int32_t timestamp = localTimestamp();
        const fs::path link = directory.path() / fillName(0, timestamp);
        fs::create_symlink(outside.path() / "precious", link);

        RunEndedRecorder ended;
        runFillWorker(job, ended.signal());
        EXPECT_EQ(ended.calls(), 1);
        EXPECT_EQ(readBytes(outside.path() / "precious"), precious);
        EXPECT_EQ(namesIn(outside.path()), (std::vector<std::string>{"precious"}));
        EXPECT_TRUE(fs::is_symlink(link));

        const auto names = namesIn(directory.path());
        if (names.size() != 2 || names[0] != fillName(0, timestamp)) continue;  // second moved on
        // The run went on past the file it could not create.
        const auto second = readBytes(directory.path() / names[1]);
        EXPECT_EQ(names[1].rfind("zero1.", 0), 0u);
        EXPECT_EQ(second.size(), fillBlockSize);
        EXPECT_TRUE(allBytesAre(second, 0xFF));
        const FillProgress last = readProgress(job);
        EXPECT_EQ(last.currentFile, 2);
        EXPECT_EQ(last.filledMiB, 1);
        EXPECT_EQ(stopRequestedOf(job), 0);
        return;
    }
    FAIL() << "the clock's second changed at every attempt";
}

extern "C" void ignoreInterruption(int) {}

TEST(FillFilePosix, AnInterruptedWriteIsContinuedUntilTheWholeBlockIsWritten) {
    // Signals without SA_RESTART make a write into a full pipe return early, with part
    // of the data written or with EINTR; the write must still deliver every byte once.
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.valid());
    const fs::path pipePath = directory.path() / "pipe";
    PlantedPipe reader(pipePath);
    ASSERT_TRUE(reader.valid());

    struct sigaction action{};
    struct sigaction previous{};
    action.sa_handler = ignoreInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    std::vector<unsigned char> data(4 * fillBlockSize);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i % 251);

    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(pipePath.wstring()));
    std::atomic<bool> writing{true};
    bool allWritten = false;
    std::thread writer([&] {
        allWritten = file.write(data.data(), data.size());
        writing = false;
        file.close();
    });

    std::vector<unsigned char> received;
    received.reserve(data.size());
    unsigned char piece[4096];
    int descriptor = ::open(pipePath.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    while (Clock::now() < deadline) {
        if (writing) pthread_kill(writer.native_handle(), SIGUSR1);
        const ssize_t got = ::read(descriptor, piece, sizeof piece);
        if (got > 0) {
            received.insert(received.end(), piece, piece + got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            break;
        }
    }
    writer.join();
    ::close(descriptor);
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_TRUE(allWritten);
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

}  // namespace
