#include "platform/win32/toolkit_modal.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace platform::win32 {
namespace {

// For the box's lifetime: its owner, and the program's other windows made unusable.
// A box owned by one window disables only that one; the help window beside the main
// window would otherwise stay usable, and a topmost window could hide the box.
class ModalSurroundings {
public:
    ModalSurroundings() {
        foreground_ = GetForegroundWindow();
        DWORD foregroundProcess = 0;
        if (foreground_ != nullptr) GetWindowThreadProcessId(foreground_, &foregroundProcess);
        owner_ = foregroundProcess == GetCurrentProcessId() ? foreground_ : nullptr;
        EnumWindows(visitWindow, reinterpret_cast<LPARAM>(this));
    }

    ~ModalSurroundings() {
        for (HWND window : disabled_) {
            if (IsWindow(window)) EnableWindow(window, TRUE);
        }
        for (HWND window : madeNotTopmost_) {
            if (IsWindow(window)) {
                SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
        }
    }

    ModalSurroundings(const ModalSurroundings&) = delete;
    ModalSurroundings& operator=(const ModalSurroundings&) = delete;

    HWND owner() const { return owner_; }

private:
    static BOOL CALLBACK visitWindow(HWND window, LPARAM context) {
        auto* self = reinterpret_cast<ModalSurroundings*>(context);
        if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
        if (!IsWindowVisible(window)) return TRUE;
        if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
            SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            self->madeNotTopmost_.push_back(window);
        }
        if (window != self->foreground_ && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            self->disabled_.push_back(window);
        }
        return TRUE;
    }

    HWND foreground_ = nullptr;
    HWND owner_ = nullptr;
    std::vector<HWND> disabled_;
    std::vector<HWND> madeNotTopmost_;
};

// Some versions of the browser move their selection once more after it has been
// initialised, so the selection is asked for again a little later.
constexpr UINT selectionRepeatDelayMs = 200;

struct BrowseState {
    std::wstring initialSelection;
};

void CALLBACK repeatSelection(HWND dialog, UINT, UINT_PTR timerId, DWORD) {
    KillTimer(dialog, timerId);
    // The timer's id is the address of the browse state (a window's timer ids are free values).
    const auto* state = reinterpret_cast<const BrowseState*>(timerId);
    PostMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                 reinterpret_cast<LPARAM>(state->initialSelection.c_str()));
}

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        auto* state = reinterpret_cast<BrowseState*>(data);
        if (!state->initialSelection.empty()) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                         reinterpret_cast<LPARAM>(state->initialSelection.c_str()));
            SetTimer(dialog, reinterpret_cast<UINT_PTR>(state), selectionRepeatDelayMs,
                     repeatSelection);
        }
    }
    return 0;
}

}  // namespace

void showModalMessage(const std::wstring& title, const std::wstring& text) {
    ModalSurroundings surroundings;
    MessageBoxW(surroundings.owner(), text.c_str(), title.c_str(), MB_OK);
}

std::wstring browseForFolder(const std::wstring& prompt, const std::wstring& initialSelection) {
    ModalSurroundings surroundings;
    // The state outlives the dialog: a selection posted by the timer but not yet
    // handled is discarded with the dialog.
    BrowseState state{initialSelection};
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = surroundings.owner();
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);

    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) return std::wstring();
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    return hasPath ? std::wstring(path) : std::wstring();
}

}  // namespace platform::win32
