// Starting outside programs on Windows (under Wine here), with a stand-in
// explorer.exe beside the test program that records how it was started.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

struct RecordedStart {
    std::wstring commandLine;
    std::wstring workingDirectory;
};

class Win32Launch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.ready());
        record = temp.path() / "explorer-starts.txt";
        ASSERT_EQ(_wputenv_s(L"OUTPUTDIR_TEST_RECORD", record.wstring().c_str()), 0);
    }
    void TearDown() override { _wputenv_s(L"OUTPUTDIR_TEST_RECORD", L""); }

    std::vector<RecordedStart> recorded() const {
        std::ifstream input(record, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(input)), {});
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t),
                  reinterpret_cast<char*>(text.data()));
        std::vector<std::wstring> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
            lines.push_back(text.substr(start, end - start));
        }
        std::vector<RecordedStart> starts;
        for (std::size_t index = 0; index + 1 < lines.size(); index += 2) {
            starts.push_back({lines[index], lines[index + 1]});
        }
        return starts;
    }

    std::vector<RecordedStart> waitForStarts(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        std::vector<RecordedStart> starts = recorded();
        while (starts.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
            starts = recorded();
        }
        return starts;
    }

    TempDirectory temp;
    std::filesystem::path record;
};

std::wstring withoutClosingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

TEST_F(Win32Launch, ProgramGetsTheCommandLineInItsWorkingDirectory) {
    const std::wstring workPlace = temp.withSeparator() + L"work place \u00E9";
    std::filesystem::create_directory(std::filesystem::path(workPlace));

    EXPECT_TRUE(launchExternal(L"explorer.exe", L"/e,\"C:\\a b\\\"", workPlace));
    auto starts = waitForStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, L"\"explorer.exe\" /e,\"C:\\a b\\\"");
    EXPECT_EQ(withoutClosingBackslash(starts[0].workingDirectory), workPlace);

    EXPECT_TRUE(launchExternal(L"explorer.exe", L"", L""));
    starts = waitForStarts(2);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].commandLine, L"\"explorer.exe\"");
    EXPECT_EQ(withoutClosingBackslash(starts[1].workingDirectory),
              withoutClosingBackslash(std::filesystem::current_path().wstring()));
}

TEST_F(Win32Launch, NothingStartsWhenNeitherWayFindsTheTarget) {
    EXPECT_FALSE(launchExternal(L"no-such-program-4711.exe", L"", L""));
    EXPECT_FALSE(launchExternal(temp.withSeparator() + L"missing.exe", L"\"x\"", L""));
}

TEST_F(Win32Launch, PrepareCreatesTheDirectoryAndShowsItInTheFileManager) {
    ScriptedToolkit toolkit;  // shows no box on this path; a box would be recorded
    const std::vector<std::wstring> directories = {
        temp.withSeparator() + L"zeroes\\",
        temp.withSeparator() + L"with space \u00E9\u03A9\\",
        temp.withSeparator(),  // exists already
    };
    for (std::size_t index = 0; index < directories.size(); ++index) {
        const std::wstring& directory = directories[index];
        EXPECT_TRUE(prepareOutputDirectory(toolkit, directory));
        EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(directory)));
        const auto starts = waitForStarts(index + 1);
        ASSERT_EQ(starts.size(), index + 1);
        EXPECT_EQ(starts.back().commandLine, L"\"explorer.exe\" \"" + directory + L"\"");
    }
    EXPECT_TRUE(toolkit.messageBoxes.empty());
}

}  // namespace
