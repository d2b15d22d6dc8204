// Fill runs and the folder check under hostile conditions that need POSIX: a file
// size limit, a folder that may not be written, odd and very long folder names, a
// link planted at the next fill file's name during a run, and a desktop setting
// holding a byte that no path can.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "engine/parse_number.h"
#include "engine/timestamp.h"
#include "outputdir/output_directory.h"
#include "platform/shell.h"
#include "../engine/engine_test_support.h"

namespace {

using namespace enginetest;

// Paths between the program's wide text and the system's UTF-8 bytes, here by hand:
// std::filesystem would convert by the locale.
std::string utf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// The wide text of a path whose only non-ASCII character is "\xC3\xA9" (é).
std::wstring wideOf(const std::string& path) {
    std::wstring out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.compare(i, 2, "\xC3\xA9") == 0) {
            out += L'\u00e9';
            ++i;
        } else {
            out += static_cast<wchar_t>(static_cast<unsigned char>(path[i]));
        }
    }
    return out;
}

// Runs `body` in a child process and answers its exit code (or 128 + its signal):
// limits and identities set there stay there.
int inChildProcess(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The run ended by itself after its last file, with these last reports: exit code 0,
// else which part differed.
int runToTheEnd(FillJob& job, std::int32_t files, std::int32_t blocks) {
    RunEndedRecorder ended;
    runFillWorker(job, ended.signal());
    if (ended.calls() != 1) return 10;
    const FillProgress progress = readProgress(job);
    if (!progress.runStarted) return 11;
    if (progress.currentFile != files) return 12;
    if (progress.filledMiB != blocks) return 13;
    if (stopRequestedOf(job) != 0) return 14;
    return 0;
}

TEST(HostileFiles, AFileSizeLimitCutsEveryFileAtAWholeBlockAndTheRunGoesOn) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.valid());
    const int code = inChildProcess([&] {
        // 2.5 MiB: the third block of every file crosses the limit part-way.
        const rlimit limit{5 * mib / 2, 5 * mib / 2};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 20;
        ::signal(SIGXFSZ, SIG_IGN);
        FillJob job;
        setJob(job, 4, 3, FillType::AllOne, asOutputDirectory(directory.path()));
        return runToTheEnd(job, 3, 4);
    });
    EXPECT_EQ(code, 0);
    const std::vector<std::string> names = namesIn(directory.path());
    ASSERT_EQ(names.size(), 3u);
    for (const std::string& name : names) {
        const std::vector<unsigned char> bytes = readBytes(directory.path() / name);
        EXPECT_EQ(bytes.size(), static_cast<std::size_t>(2 * mib)) << name;  // whole blocks only
        EXPECT_TRUE(allBytesAre(bytes, 0xFF)) << name;
    }
}

TEST(HostileFiles, AFolderWithoutWritePermissionGetsNothingAndTheRunGoesOn) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.valid());
    fs::permissions(directory.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                          fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
    const fs::path parent = directory.path().parent_path();
    const int code = inChildProcess([&] {
        // Root may write anywhere: the child gives that up first.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 21;
        if (::access(directory.path().c_str(), W_OK) == 0) return 22;
        FillJob job;
        setJob(job, 3, 2, FillType::Random, asOutputDirectory(directory.path()));
        return runToTheEnd(job, 2, 3);
    });
    fs::permissions(directory.path(), fs::perms::owner_all);
    EXPECT_EQ(code, 0) << "parent " << parent;
    EXPECT_TRUE(namesIn(directory.path()).empty());
}

// Folder names a user can give: blanks, quotes, shell characters, other scripts.
TEST(HostileFiles, OddFolderNamesAreCheckedCreatedAndFilled) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.valid());
    const std::wstring names[] = {
        L"with  two spaces ",
        L"quote \" and 'single' and `back`",
        L"$(touch pwned); rm -rf x & | > <",
        L"\u00fcnic\u00f6de \u65e5\u672c \U0001F600 \u202e",
        L"-starts with a dash",
        L"back\\slash and\ttab and \nnewline",
    };
    for (const std::wstring& name : names) {
        const std::wstring folder = wideOf(directory.path().string()) + L"/" + name + L"/";
        SCOPED_TRACE(utf8(folder));
        FillJob job;
        setJob(job, 1, 2, FillType::AllZero, folder);
        EXPECT_EQ(queryPathSize(folder), pathMissing);
        EXPECT_TRUE(makeDirectoryLevel(folder));
        EXPECT_EQ(queryPathSize(folder), pathIsDirectory);
        EXPECT_EQ(runToTheEnd(job, 2, 1), 0);
        const std::vector<std::string> files = namesIn(fs::path(utf8(folder)));
        ASSERT_EQ(files.size(), 2u);
        for (const std::string& file : files) {
            EXPECT_EQ(readBytes(fs::path(utf8(folder)) / file).size(), static_cast<std::size_t>(mib));
        }
    }
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_EQ(namesIn(directory.path()).size(), std::size(names));
}

// The longest folder whose fill files still have names the system takes: the whole
// file name PATH_MAX - 1 bytes, with non-ASCII characters in it.
TEST(HostileFiles, TheLongestPathsTheSystemAllowsAreFilledAndOneByteMoreIsPassedOver) {
    TemporaryDirectory directory;
    ASSERT_TRUE(directory.valid());
    const std::size_t fillNameLength =
        std::string("zero0.").size() + std::to_string(localTimestamp()).size();
    // The folder's length without its closing separator.
    const std::size_t folderLength = PATH_MAX - 1 - fillNameLength - 1;
    std::string folder = directory.path().string();
    // "é" is two bytes of UTF-8, one character of the wide path.
    const auto addLevel = [&](std::size_t bytes) {
        folder += "/" + std::string(bytes - 2, 'd') + "\xC3\xA9";
        return ::mkdir(folder.c_str(), 0755) == 0;
    };
    while (folderLength - folder.size() > 2 * (NAME_MAX + 1)) ASSERT_TRUE(addLevel(NAME_MAX));
    const std::size_t rest = folderLength - folder.size();
    ASSERT_TRUE(addLevel(rest / 2 - 1));
    const std::string parent = folder;
    const std::size_t lastLength = folderLength - parent.size() - 1;
    ASSERT_LE(lastLength, static_cast<std::size_t>(NAME_MAX));
    const std::string longest = parent + "/" + std::string(lastLength - 2, 'l') + "\xC3\xA9";
    ASSERT_EQ(longest.size(), folderLength);
    const std::wstring longestWide = wideOf(longest) + L"/";
    ASSERT_EQ(queryPathSize(longestWide), pathMissing);
    ASSERT_TRUE(makeDirectoryLevel(longestWide));
    ASSERT_EQ(queryPathSize(longestWide), pathIsDirectory);

    for (int attempt = 0; attempt < 5; ++attempt) {  // the name carries the second
        const std::int32_t before = localTimestamp();
        FillJob job;
        setJob(job, 1, 1, FillType::AllOne, longestWide);
        ASSERT_EQ(runToTheEnd(job, 1, 1), 0);
        if (localTimestamp() != before) continue;
        const std::vector<std::string> files = namesIn(longest);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(longest.size() + 1 + files[0].size(), static_cast<std::size_t>(PATH_MAX - 1));
        EXPECT_EQ(readBytes(fs::path(longest) / files[0]).size(), static_cast<std::size_t>(mib));
        break;
    }

    // One more byte in the folder's name: its fill files cannot be named; the run
    // still counts its blocks, writes nothing and ends.
    const std::string tooLong = parent + "/" + std::string(lastLength - 1, 'l') + "\xC3\xA9";
    ASSERT_EQ(::mkdir(tooLong.c_str(), 0755), 0);
    FillJob job;
    setJob(job, 2, 2, FillType::AllOne, wideOf(tooLong) + L"/");
    EXPECT_EQ(runToTheEnd(job, 2, 2), 0);
    EXPECT_TRUE(namesIn(tooLong).empty());
}

// A link appears at the name of the file the worker begins next (as another user
// of the folder could plant it): the file it points to stays untouched, the run goes
// on. Names carry the second they are formed in, so the first file is a pipe under
// each name of the next half minute, which holds the worker inside its first block
// until the links for the second file are planted.
TEST(HostileFiles, ALinkPlantedDuringTheRunAtTheNextFillFileNameIsNotFollowed) {
    TemporaryDirectory directory;
    TemporaryDirectory outside;
    ASSERT_TRUE(directory.valid() && outside.valid());
    const fs::path target = outside.path() / "precious";
    const std::string precious = "precious contents";
    std::ofstream(target) << precious;
    FillJob job;
    setJob(job, 1, 2, FillType::AllOne, asOutputDirectory(directory.path()));
    const std::int32_t now = localTimestamp();
    constexpr int seconds = 30;
    std::vector<int> readers;
    for (std::int32_t second = now; second < now + seconds; ++second) {
        const fs::path pipe = directory.path() / ("zero0." + std::to_string(second));
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        readers.push_back(::open(pipe.c_str(), O_RDONLY | O_NONBLOCK));
        ASSERT_GE(readers.back(), 0);
    }
    RunEndedRecorder ended;
    std::thread worker([&] { runFillWorker(job, ended.signal()); });
    for (std::int32_t second = now; second < now + seconds; ++second) {
        fs::create_symlink(target, directory.path() / ("zero1." + std::to_string(second)));
    }
    std::size_t drained = 0;
    std::vector<char> buffer(65536);
    const auto drainAll = [&] {
        for (const int reader : readers) {
            for (ssize_t got; (got = ::read(reader, buffer.data(), buffer.size())) > 0;) {
                drained += static_cast<std::size_t>(got);
            }
        }
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ended.calls() == 0 && std::chrono::steady_clock::now() < deadline) {
        drainAll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    drainAll();
    ASSERT_TRUE(ended.waitForEnd());
    worker.join();
    for (const int reader : readers) ::close(reader);
    EXPECT_EQ(drained, fillBlockSize);
    EXPECT_EQ(readBytes(target).size(), precious.size());
    EXPECT_EQ(readProgress(job).currentFile, 2);
    EXPECT_EQ(readProgress(job).filledMiB, 1);
    for (const auto& entry : fs::directory_iterator(directory.path())) {
        const auto status = fs::symlink_status(entry.path());
        EXPECT_TRUE(fs::is_fifo(status) || fs::is_symlink(status)) << entry.path();
    }
}

TEST(HostileFiles, ADesktopSettingWithAZeroByteIsNotTaken) {
    TemporaryDirectory home;
    ASSERT_TRUE(home.valid());
    fs::create_directories(home.path() / "config");
    {
        std::ofstream file(home.path() / "config" / "user-dirs.dirs", std::ios::binary);
        static const char line[] = "XDG_DESKTOP_DIR=\"$HOME/Desk\0top\"\n";
        file.write(line, static_cast<std::streamsize>(sizeof line - 1));
    }
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
    EXPECT_EQ(platform::desktopFolderPath(), (home.path() / "Desktop").wstring() + L"/");
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
