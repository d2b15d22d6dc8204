// The message box closer for the Win32 toolkit: a thread looks for dialog-class
// windows of this process, reads their caption and static text, and presses OK.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "box_closer.h"

namespace {

std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

std::wstring className(HWND window) {
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

BOOL CALLBACK collectDialogs(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        className(window) == L"#32770") {
        reinterpret_cast<std::set<HWND>*>(found)->insert(window);
    }
    return TRUE;
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM text) {
    if (className(child) == L"Static") *reinterpret_cast<std::wstring*>(text) += windowText(child);
    return TRUE;
}

}  // namespace

struct MessageBoxCloser::Watch {
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    std::vector<ShownBox> closed;
    std::set<HWND> answered;
    std::thread thread;

    void run() {
        while (!stop) {
            std::set<HWND> dialogs;
            EnumWindows(collectDialogs, reinterpret_cast<LPARAM>(&dialogs));
            // A handle of a box that is gone may come back for a new one.
            std::erase_if(answered, [&](HWND old) { return !dialogs.count(old); });
            for (HWND dialog : dialogs) {
                if (answered.count(dialog)) continue;
                ShownBox box{windowText(dialog), {}};
                EnumChildWindows(dialog, collectStaticText, reinterpret_cast<LPARAM>(&box.text));
                {
                    const std::lock_guard<std::mutex> hold(mutex);
                    closed.push_back(box);
                }
                answered.insert(dialog);
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
            Sleep(20);
        }
    }
};

MessageBoxCloser::MessageBoxCloser() : watch_(std::make_unique<Watch>()) {
    watch_->thread = std::thread([watch = watch_.get()] { watch->run(); });
}

MessageBoxCloser::~MessageBoxCloser() {
    watch_->stop = true;
    watch_->thread.join();
}

std::vector<ShownBox> MessageBoxCloser::closed() const {
    const std::lock_guard<std::mutex> hold(watch_->mutex);
    return watch_->closed;
}
