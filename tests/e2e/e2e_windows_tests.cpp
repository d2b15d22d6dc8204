// End-to-end on Windows: the real vellumite.exe in its own process, driven by
// this program through its windows and controls, found by title and number.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "resources/stored_data.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int sizeField = 7;
constexpr int countField = 8;
constexpr int fillTypeList = 9;
constexpr int startButton = 10;
constexpr int statusLine = 5;
constexpr int directoryLine = 6;

// The build passes Linux paths; Wine shows the Linux root as drive Z:.
fs::path windowsPathOf(const char* linuxPath) {
    std::string path = linuxPath;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return fs::path(path);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 60s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(25ms);
    }
    return condition();
}

// WM_GETTEXT, since GetWindowTextW does not read another process's controls.
std::wstring windowText(HWND window) {
    wchar_t buffer[4096] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

struct Search {
    DWORD processId;
    std::wstring title;
    HWND found;
};

HWND topLevelWindow(DWORD processId, const std::wstring& title) {
    Search search{processId, title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsWindowVisible(window) && windowText(window) == s->title) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<fs::path> fillFiles(const fs::path& directory) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.path().filename().wstring().rfind(L"zero", 0) == 0) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

fs::path desktopFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, path);
    return fs::path(path);
}

class ProgramProcess : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        workFolder_ = fs::path(temp) / (L"vellumite-e2e-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(workFolder_);
        fs::create_directories(workFolder_);
        // The stand-in file manager beside the program is found before the real one.
        fs::copy_file(windowsPathOf(VELLUMITE_EXE), workFolder_ / "vellumite.exe");
        fs::copy_file(windowsPathOf(RECORDING_EXPLORER_EXE), workFolder_ / "explorer.exe");
        zeroes_ = desktopFolder() / "zeroes";
        fs::remove_all(zeroes_);
    }

    void TearDown() override {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        std::error_code error;
        fs::remove_all(zeroes_, error);
        fs::remove_all(workFolder_, error);
    }

    void start() {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + (workFolder_ / "vellumite.exe").wstring() + L"\"";
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   workFolder_.c_str(), &startup, &process_));
    }

    HWND waitForWindow(const std::wstring& title) {
        HWND found = nullptr;
        waitUntil([&] { return (found = topLevelWindow(process_.dwProcessId, title)) != nullptr; });
        return found;
    }

    void dismissDisclaimer() {
        HWND box = waitForWindow(L"DISCLAIMER");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(topLevelWindow(process_.dwProcessId, L"Vellumite 0.1"), nullptr)
            << "the disclaimer comes before any window";
        const StoredBlock stored = disclaimerTextBlock();
        std::wstring expected;
        for (std::size_t i = 0; i < stored.size; ++i) expected += static_cast<wchar_t>(stored.data[i]);
        EXPECT_EQ(windowText(GetDlgItem(box, 0xFFFF)), expected);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        main_ = waitForWindow(L"Vellumite 0.1");
        ASSERT_NE(main_, nullptr);
    }

    std::wstring text(int id) { return windowText(GetDlgItem(main_, id)); }
    void type(int id, const std::wstring& value) {
        SendMessageW(GetDlgItem(main_, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    }
    void choosePattern(const std::wstring& item) {
        HWND list = GetDlgItem(main_, fillTypeList);
        SendMessageW(list, CB_SETCURSEL,
                     SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(item.c_str())),
                     0);
    }
    void pressStart() {
        // Posted, not sent: the press may show a modal box that this driver closes.
        PostMessageW(main_, WM_COMMAND, MAKEWPARAM(startButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(main_, startButton)));
    }
    bool waitForText(int id, const std::wstring& value) {
        return waitUntil([&] { return text(id) == value; });
    }
    DWORD closeAndWaitForExit() {
        PostMessageW(main_, WM_CLOSE, 0, 0);
        DWORD exitCode = 259;
        if (WaitForSingleObject(process_.hProcess, 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_.hProcess, &exitCode);
        }
        return exitCode;
    }
    std::string openedCommandLines() { return readFile(workFolder_ / "opened.txt"); }

    fs::path workFolder_;
    fs::path zeroes_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

TEST_F(ProgramProcess, FillsTheDefaultDirectoryAndStopsOnRequest) {
    start();
    dismissDisclaimer();
    EXPECT_TRUE(waitForText(statusLine, L"Idle"));
    EXPECT_EQ(text(directoryLine), L"DIRECTORY: " + zeroes_.wstring() + L"\\");

    type(sizeField, L"  2x");
    type(countField, L"3abc");
    choosePattern(L"ALL ONE");
    pressStart();
    EXPECT_TRUE(waitForText(countField, L"3"));
    EXPECT_EQ(text(sizeField), L"2");
    EXPECT_TRUE(waitForText(startButton, L"GO"));
    EXPECT_TRUE(waitForText(statusLine, L"Current file: 3 :: Filled: 2MB"));
    const std::vector<fs::path> files = fillFiles(zeroes_);
    ASSERT_EQ(files.size(), 3u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i].filename().wstring().rfind(L"zero" + std::to_wstring(i) + L".", 0), 0u);
        EXPECT_EQ(readFile(files[i]), std::string(2 * 1048576, '\xFF'));
    }
    EXPECT_NE(openedCommandLines().find("\"explorer.exe\" \"" + zeroes_.string() + "\\\""),
              std::string::npos)
        << openedCommandLines();

    type(sizeField, L"8");
    type(countField, L"1000");
    choosePattern(L"ALL ZERO");
    pressStart();
    EXPECT_TRUE(waitForText(startButton, L"STOP"));
    EXPECT_TRUE(waitUntil([&] {
        const std::wstring status = text(statusLine);
        return status != L"Current file: 3 :: Filled: 2MB";
    }));
    pressStart();
    pressStart();
    EXPECT_TRUE(waitForText(startButton, L"GO"));
    for (const fs::path& file : fillFiles(zeroes_)) EXPECT_EQ(fs::file_size(file) % 1048576, 0u);
    EXPECT_EQ(closeAndWaitForExit(), 0u);
}

TEST_F(ProgramProcess, NameOfAFileShowsTheErrorBoxAndChangesNothing) {
    std::ofstream(zeroes_) << "keep me";
    start();
    dismissDisclaimer();
    type(sizeField, L"  2x");
    for (int press = 0; press < 2; ++press) {
        pressStart();
        HWND box = waitForWindow(L"ERROR");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(windowText(GetDlgItem(box, 0xFFFF)),
                  L"Cannot use or create the directory, or the specified name is a file");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(waitUntil([&] { return topLevelWindow(process_.dwProcessId, L"ERROR") == nullptr; }));
        EXPECT_EQ(text(sizeField), L"  2x");
        EXPECT_EQ(text(startButton), L"GO");
    }
    EXPECT_EQ(closeAndWaitForExit(), 0u);
    EXPECT_EQ(readFile(zeroes_), "keep me");
    EXPECT_EQ(openedCommandLines(), "");
}

TEST_F(ProgramProcess, ClosingTheMainWindowDuringARunEndsWithCodeZero) {
    start();
    dismissDisclaimer();
    type(sizeField, L"16");
    type(countField, L"1000");
    pressStart();
    EXPECT_TRUE(waitUntil([&] { return text(statusLine).rfind(L"Current file: 1", 0) == 0; }));
    EXPECT_EQ(closeAndWaitForExit(), 0u);
    const std::vector<fs::path> files = fillFiles(zeroes_);
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        EXPECT_EQ(fs::file_size(file) % 1048576, 0u) << file;
        EXPECT_EQ(readFile(file).find_first_not_of('\0'), std::string::npos) << file;
    }
}

}  // namespace
