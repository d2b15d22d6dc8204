// The modal boxes of the Win32 toolkit, closed by a helper thread that finds them:
// the message box with its owner and the treatment of the other windows, and the
// folder browser with its initial selection, confirmation and cancel.
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/win32/toolkit_test_support.h"

namespace toolkit_test {
namespace {

// A visible dialog of this process, or none.
HWND findProgramDialog() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
                classNameOf(window) == L"#32770") {
                *reinterpret_cast<HWND*>(context) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND findChildWithText(HWND parent, const std::wstring& text) {
    struct Search {
        const std::wstring* text;
        HWND found;
    } search{&text, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (windowTextOf(child) == *s->text) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs on a helper thread while the window thread sits in a modal box: waits for
// the box, lets `inspect` look at it and wait for what it needs, then closes it
// the asked way. A box that never appears ends the test program rather than
// leaving it hanging.
enum class Closing { Ok, Cancel, CloseBox };

class ModalCloser {
public:
    ModalCloser(std::function<void(HWND)> inspect, Closing closing)
        : thread_([inspect = std::move(inspect), closing] {
              const auto deadline = std::chrono::steady_clock::now() + generousDeadline;
              HWND box = nullptr;
              while ((box = findProgramDialog()) == nullptr) {
                  if (std::chrono::steady_clock::now() > deadline) {
                      std::fputs("no modal box appeared\n", stderr);
                      std::_Exit(3);
                  }
                  Sleep(10);
              }
              inspect(box);
              switch (closing) {
              case Closing::Ok: PostMessageW(box, WM_COMMAND, IDOK, 0); break;
              case Closing::Cancel: PostMessageW(box, WM_COMMAND, IDCANCEL, 0); break;
              case Closing::CloseBox: PostMessageW(box, WM_CLOSE, 0, 0); break;
              }
          }) {}
    ~ModalCloser() {
        if (thread_.joinable()) thread_.join();
    }
    ModalCloser(const ModalCloser&) = delete;
    ModalCloser& operator=(const ModalCloser&) = delete;

private:
    std::thread thread_;
};

using ModalTest = ToolkitTest;

TEST_F(ModalTest, MessageBoxIsOwnedByTheForegroundWindowAndDisablesTheOthers) {
    HWND front = makeWindow(1, L"Vellumite front window");
    HWND beside = makeWindow(16, L"Vellumite beside window");
    ASSERT_TRUE(front && beside);
    SetWindowPos(beside, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(front);
    ASSERT_EQ(GetForegroundWindow(), front);

    std::atomic<HWND> owner{nullptr};
    std::atomic<bool> besideEnabled{true}, besideTopmost{true}, frontEnabled{true};
    std::atomic<bool> textShown{false};
    std::wstring title;
    {
        ModalCloser closer(
            [&](HWND box) {
                owner = GetWindow(box, GW_OWNER);
                besideEnabled = IsWindowEnabled(beside) != FALSE;
                besideTopmost = (exStyleOf(beside) & WS_EX_TOPMOST) != 0;
                frontEnabled = IsWindowEnabled(front) != FALSE;
                textShown = findChildWithText(box, L"first line\nsecond line") != nullptr;
                title = windowTextOf(box);
            },
            Closing::Ok);
        toolkit->messageBox(L"DISCLAIMER", L"first line\nsecond line");
    }
    EXPECT_EQ(owner.load(), front);
    EXPECT_FALSE(besideEnabled);
    EXPECT_FALSE(besideTopmost);
    EXPECT_FALSE(frontEnabled);  // disabled by the box itself, as its owner
    EXPECT_TRUE(textShown);
    EXPECT_TRUE(title == L"DISCLAIMER");
    // Afterwards both are as they were.
    EXPECT_TRUE(IsWindowEnabled(beside));
    EXPECT_TRUE(exStyleOf(beside) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowEnabled(front));
}

TEST_F(ModalTest, MessageBoxWithoutProgramWindowsStandsAlone) {
    std::atomic<bool> found{false};
    std::atomic<HWND> owner{nullptr};
    {
        ModalCloser closer(
            [&](HWND box) {
                found = true;
                owner = GetWindow(box, GW_OWNER);
            },
            Closing::CloseBox);
        toolkit->messageBox(L"DISCLAIMER", L"text");
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(owner.load(), nullptr);
}

class FolderPickerTest : public ToolkitTest {
protected:
    std::filesystem::path folder;

    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        wchar_t longTemp[MAX_PATH] = {};
        GetLongPathNameW(temp, longTemp, MAX_PATH);
        folder = std::filesystem::path(longTemp) /
                 (L"vellumite-picker-" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // The browser shows the selected folder's name in its edit box.
    static bool waitForSelection(HWND box, const std::wstring& name) {
        const auto deadline = std::chrono::steady_clock::now() + generousDeadline;
        while (std::chrono::steady_clock::now() < deadline) {
            HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
            if (edit != nullptr && windowTextOf(edit) == name) return true;
            Sleep(10);
        }
        return false;
    }
};

TEST_F(FolderPickerTest, ConfirmedInitialSelectionIsTheAnswer) {
    HWND front = makeWindow(1, L"Vellumite picker owner");
    HWND beside = makeWindow(16, L"Vellumite picker beside");
    ASSERT_TRUE(front && beside);
    SetForegroundWindow(front);
    ASSERT_EQ(GetForegroundWindow(), front);

    std::atomic<bool> selected{false}, promptShown{false}, besideEnabled{true};
    std::atomic<HWND> owner{nullptr};
    const std::wstring name = folder.filename().wstring();
    std::wstring chosen;
    {
        ModalCloser closer(
            [&](HWND box) {
                owner = GetWindow(box, GW_OWNER);
                besideEnabled = IsWindowEnabled(beside) != FALSE;
                promptShown = findChildWithText(box, L"Select output directory") != nullptr;
                selected = waitForSelection(box, name);
            },
            Closing::Ok);
        chosen = toolkit->pickFolder(L"Select output directory", folder.wstring());
    }
    EXPECT_TRUE(selected);
    EXPECT_TRUE(promptShown);
    EXPECT_EQ(owner.load(), front);
    EXPECT_FALSE(besideEnabled);
    EXPECT_TRUE(IsWindowEnabled(beside));
    EXPECT_EQ(std::filesystem::path(chosen), folder) << std::string(chosen.begin(), chosen.end());
}

TEST_F(FolderPickerTest, CancelAndCloseGiveEmptyText) {
    for (Closing closing : {Closing::Cancel, Closing::CloseBox}) {
        SCOPED_TRACE(static_cast<int>(closing));
        std::wstring chosen = L"unchanged";
        {
            ModalCloser closer([&](HWND box) { waitForSelection(box, folder.filename().wstring()); },
                               closing);
            chosen = toolkit->pickFolder(L"Select output directory", folder.wstring());
        }
        EXPECT_TRUE(chosen.empty());
    }
}

}  // namespace
}  // namespace toolkit_test
