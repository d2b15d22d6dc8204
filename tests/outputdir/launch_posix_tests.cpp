// Starting outside programs on Linux, with recording stand-ins for xdg-open and
// for an ordinary program: launchExternal and the file manager of
// prepareOutputDirectory.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "outputdir/launch.h"
#include "outputdir/output_directory.h"
#include "platform/shell.h"
#include "scripted_toolkit.h"
#include "temp_directory.h"

namespace {

using namespace std::chrono_literals;

// One start of a stand-in: the directory it ran in, and its arguments.
struct RecordedStart {
    std::string workingDirectory;
    std::vector<std::string> arguments;
};

// The stand-in appends one record per start: the directory it runs in, its
// arguments one per line, and an end line; the record is written in one piece.
constexpr const char* standInScript =
    "#!/bin/sh\n"
    "part=\"$OUTPUTDIR_TEST_RECORDS/.part-$$\"\n"
    "{ pwd -P; for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done; echo --end--; }"
    " > \"$part\"\n"
    "cat \"$part\" >> \"$OUTPUTDIR_TEST_RECORDS/$(basename \"$0\")\"\n"
    "rm -f \"$part\"\n";

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The pids of this process's children, zombies included.
std::vector<int> childProcesses() {
    std::vector<int> children;
    const std::string parent = std::to_string(getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream statFile(entry.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(statFile)), {});
        // pid (command) state ppid ...: the command may hold spaces, so read after ')'.
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        std::string ppid;
        rest >> state >> ppid;
        if (ppid == parent) children.push_back(std::stoi(name));
    }
    return children;
}

class PosixLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.ready());
        bin = temp.path() / "bin";
        records = temp.path() / "records";
        std::filesystem::create_directory(bin);
        std::filesystem::create_directory(records);
        for (const char* name : {"xdg-open", "record-args"}) {
            std::ofstream(bin / name) << standInScript;
            std::filesystem::permissions(bin / name, std::filesystem::perms::owner_all);
        }
        if (const char* path = std::getenv("PATH")) oldPath = path;
        setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);
        setenv("OUTPUTDIR_TEST_RECORDS", records.c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv("OUTPUTDIR_TEST_RECORDS");
    }

    // The starts recorded so far by the stand-in of that name.
    std::vector<RecordedStart> recorded(const std::string& standIn) const {
        std::vector<RecordedStart> starts;
        std::ifstream input(records / standIn);
        std::vector<std::string> lines;
        for (std::string line; std::getline(input, line);) {
            if (line != "--end--") {
                lines.push_back(line);
                continue;
            }
            if (!lines.empty()) {
                starts.push_back({lines.front(), {lines.begin() + 1, lines.end()}});
            }
            lines.clear();
        }
        return starts;
    }

    // Waits (generously) until the stand-in has recorded that many starts.
    std::vector<RecordedStart> waitForStarts(const std::string& standIn, std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        std::vector<RecordedStart> starts = recorded(standIn);
        while (starts.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
            starts = recorded(standIn);
        }
        return starts;
    }

    // Waits until every child has ended and been reaped: no child left in /proc.
    static bool allChildrenGone() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!childProcesses().empty()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    std::string canonicalTemp() const { return std::filesystem::canonical(temp.path()).string(); }

    TempDirectory temp;
    std::filesystem::path bin;
    std::filesystem::path records;
    std::string oldPath;
};

TEST_F(PosixLaunch, ProgramGetsItsArgumentsAsOneArgumentByteForByte) {
    struct Case {
        const char* what;
        std::wstring arguments;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"no arguments", L"", {}},
        {"quoted path with spaces, quotes and non-ASCII characters",
         L"\"/tmp/with space/it's \"quoted\"/\u00FC\u03A9/\"",
         {"/tmp/with space/it's \"quoted\"/\xC3\xBC\xCE\xA9/"}},
        {"unquoted words stay one argument", L"a b  c", {"a b  c"}},
        {"only one pair of quotation marks removed", L"\"\"x\"\"", {"\"x\""}},
        {"a lone leading quotation mark stays", L"\"open", {"\"open"}},
        {"shell characters are not interpreted", L"$HOME;`id` | *", {"$HOME;`id` | *"}},
    };
    const std::string program = (bin / "record-args").string();
    for (std::size_t index = 0; index < cases.size(); ++index) {
        EXPECT_TRUE(launchExternal(wide(program), cases[index].arguments, L"")) << cases[index].what;
        const auto starts = waitForStarts("record-args", index + 1);
        ASSERT_EQ(starts.size(), index + 1) << cases[index].what;
        EXPECT_EQ(starts.back().arguments, cases[index].expected) << cases[index].what;
        EXPECT_EQ(starts.back().workingDirectory, std::filesystem::canonical(std::filesystem::current_path()).string());
    }
    EXPECT_TRUE(recorded("xdg-open").empty());
}

TEST_F(PosixLaunch, ProgramFoundByNameRunsInTheGivenWorkingDirectory) {
    std::filesystem::create_directory(temp.path() / "work place");
    EXPECT_TRUE(launchExternal(L"record-args", L"x", wide((temp.path() / "work place").string())));
    const auto starts = waitForStarts("record-args", 1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].workingDirectory, canonicalTemp() + "/work place");
    EXPECT_EQ(starts[0].arguments, std::vector<std::string>{"x"});
}

TEST_F(PosixLaunch, MissingProgramFallsBackToTheShellsDefaultAction) {
    const std::string missingProgram = (temp.path() / "missing-program").string();
    const std::string webAddress = "https://example.invalid/page?a=1";
    EXPECT_TRUE(launchExternal(wide(missingProgram), L"", L""));
    auto starts = waitForStarts("xdg-open", 1);
    ASSERT_EQ(starts.size(), 1u);
    // The target's own folder is the working directory when none was given.
    EXPECT_EQ(starts[0].arguments, std::vector<std::string>{missingProgram});
    EXPECT_EQ(starts[0].workingDirectory, canonicalTemp());

    EXPECT_TRUE(launchExternal(wide(webAddress), L"", L""));
    starts = waitForStarts("xdg-open", 2);
    ASSERT_EQ(starts.size(), 2u);
    // A web address names no folder: the program's own directory is kept.
    EXPECT_EQ(starts[1].arguments, std::vector<std::string>{webAddress});
    EXPECT_EQ(starts[1].workingDirectory, std::filesystem::canonical(std::filesystem::current_path()).string());

    EXPECT_TRUE(launchExternal(L"no-such-program-anywhere", L"\"two words\"", L""));
    starts = waitForStarts("xdg-open", 3);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[2].arguments,
              (std::vector<std::string>{"no-such-program-anywhere", "\"two words\""}));
    EXPECT_TRUE(recorded("record-args").empty());
}

TEST_F(PosixLaunch, NothingStartsWhenBothWaysFail) {
    const std::filesystem::path emptyBin = temp.path() / "empty-bin";
    std::filesystem::create_directory(emptyBin);
    setenv("PATH", emptyBin.c_str(), 1);
    EXPECT_FALSE(launchExternal(L"no-such-program-anywhere", L"", L""));
    EXPECT_FALSE(launchExternal(L"record-args", L"", wide((temp.path() / "no-such-dir").string())));
}

TEST_F(PosixLaunch, StartedProgramsLeaveNoZombie) {
    const std::string program = (bin / "record-args").string();
    for (int start = 0; start < 3; ++start) ASSERT_TRUE(launchExternal(wide(program), L"z", L""));
    ASSERT_TRUE(launchExternal(L"no-such-program-anywhere", L"", L""));  // via xdg-open
    EXPECT_EQ(waitForStarts("record-args", 3).size(), 3u);
    EXPECT_EQ(waitForStarts("xdg-open", 1).size(), 1u);
    EXPECT_TRUE(allChildrenGone());
}

TEST_F(PosixLaunch, PrepareCreatesTheDirectoryAndShowsItInTheFileManager) {
    ScriptedToolkit toolkit;  // shows no box on this path; a box would be recorded
    struct Case {
        const char* what;
        std::wstring directory;
        std::string expected;
        bool existsBefore;
    };
    const std::string base = temp.path().string();
    const std::vector<Case> cases = {
        {"missing level is created", wide(base) + L"/zeroes/", base + "/zeroes/", false},
        {"spaces, quotes and non-ASCII characters",
         wide(base) + L"/it's a \"quoted\" dir \u00E9\u03A9/",
         base + "/it's a \"quoted\" dir \xC3\xA9\xCE\xA9/", false},
        {"existing directory used as it is", wide(base) + L"/records/", base + "/records/", true},
    };
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& row = cases[index];
        EXPECT_EQ(std::filesystem::exists(row.expected), row.existsBefore) << row.what;
        EXPECT_TRUE(prepareOutputDirectory(toolkit, row.directory)) << row.what;
        EXPECT_TRUE(std::filesystem::is_directory(row.expected)) << row.what;
        const auto starts = waitForStarts("xdg-open", index + 1);
        ASSERT_EQ(starts.size(), index + 1) << row.what;
        EXPECT_EQ(starts.back().arguments, std::vector<std::string>{row.expected}) << row.what;
    }
    EXPECT_TRUE(toolkit.messageBoxes.empty());
    EXPECT_TRUE(allChildrenGone());
    EXPECT_EQ(recorded("xdg-open").size(), cases.size());  // one window per start
}

}  // namespace
