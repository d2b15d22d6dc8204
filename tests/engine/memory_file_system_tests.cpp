// File systems that keep their files in memory: there the cache is the storage, so
// whatever keeps written data out of the cache must leave their files whole. tmpfs
// (/dev/shm) and ramfs (which takes no writeback and no direct I/O at all), the
// latter mounted in a user and mount namespace of a child process, so no privilege
// is needed and nothing outside the child sees it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "tests/engine/engine_test_support.h"

namespace {

using namespace enginetest;

// A run of three files of 12 MiB (more than the cache bound lets wait at once),
// checked completely. Answers an empty text when everything is as it should be.
std::string fillAndCheck(const fs::path& directory) {
    FillJob job;
    setJob(job, 12, 3, FillType::AllOne, asOutputDirectory(directory));
    RunEndedRecorder ended;
    runFillWorker(job, ended.signal());
    if (ended.calls() != 1) return "the run did not end once";
    const auto names = namesIn(directory);
    if (names.size() != 3) return "not three fill files but " + std::to_string(names.size());
    for (const auto& name : names) {
        const auto bytes = readBytes(directory / name);
        if (bytes.size() != static_cast<std::size_t>(12 * mib)) {
            return name + " holds " + std::to_string(bytes.size()) + " bytes";
        }
        if (!allBytesAre(bytes, 0xFF)) return name + " lost some of its 0xFF bytes";
    }
    const FillProgress progress = readProgress(job);
    if (progress.currentFile != 3 || progress.filledMiB != 12) return "the progress is wrong";
    return {};
}

bool writeText(const char* path, const std::string& text) {
    const int descriptor = ::open(path, O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool written = ::write(descriptor, text.data(), text.size()) ==
                         static_cast<ssize_t>(text.size());
    ::close(descriptor);
    return written;
}

constexpr int childCannotMount = 100;

TEST(MemoryFileSystems, TmpfsKeepsEveryByte) {
    struct statfs status{};
    ASSERT_EQ(::statfs("/dev/shm", &status), 0);
    ASSERT_EQ(status.f_type, static_cast<decltype(status.f_type)>(TMPFS_MAGIC))
        << "/dev/shm is not tmpfs here";
    TemporaryDirectory directory("/dev/shm");
    ASSERT_TRUE(directory.valid());
    EXPECT_EQ(fillAndCheck(directory.path()), "");
}

TEST(MemoryFileSystems, RamfsKeepsEveryByte) {
    TemporaryDirectory mountPoint;
    ASSERT_TRUE(mountPoint.valid());
    // The report of the child: the text of a failure, or nothing.
    int report[2];
    ASSERT_EQ(::pipe(report), 0);

    const uid_t user = ::getuid();
    const gid_t group = ::getgid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        // As root a mount namespace of its own suffices; otherwise a user namespace
        // gives the right (which a process with sanitizer threads cannot enter).
        const bool ownMountNamespace =
            user == 0 ? ::unshare(CLONE_NEWNS) == 0
                      : ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
                            writeText("/proc/self/setgroups", "deny") &&
                            writeText("/proc/self/uid_map", "0 " + std::to_string(user) + " 1") &&
                            writeText("/proc/self/gid_map", "0 " + std::to_string(group) + " 1");
        if (!ownMountNamespace ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("vellumite-test", mountPoint.path().c_str(), "ramfs", 0, nullptr) != 0) {
            ::_exit(childCannotMount);
        }
        const std::string failure = fillAndCheck(mountPoint.path());
        if (::write(report[1], failure.data(), failure.size()) < 0) ::_exit(2);
        ::umount(mountPoint.path().c_str());
        ::_exit(failure.empty() ? 0 : 1);
    }
    ::close(report[1]);
    std::string failure;
    char piece[256];
    for (ssize_t got; (got = ::read(report[0], piece, sizeof piece)) != 0;) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        failure.append(piece, static_cast<std::size_t>(got));
    }
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == childCannotMount) {
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true") FAIL() << "cannot mount ramfs in a mount namespace of its own";
        GTEST_SKIP() << "this system lets this user mount no ramfs";
    }
    EXPECT_EQ(failure, "");
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
