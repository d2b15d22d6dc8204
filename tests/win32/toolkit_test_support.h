// Shared pieces of the Win32 toolkit tests: a fresh toolkit per test, the real
// window handles behind the toolkit's numbers, and event pumping with deadlines.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/toolkit.h"
#include "platform/units.h"

namespace toolkit_test {

using namespace std::chrono_literals;

constexpr int heartbeatTimerId = 99;  // keeps waitEvent returning while a test waits
constexpr auto generousDeadline = 20s;

inline std::wstring classNameOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

inline std::wstring windowTextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

inline LONG styleOf(HWND window) { return GetWindowLongW(window, GWL_STYLE); }
inline LONG exStyleOf(HWND window) { return GetWindowLongW(window, GWL_EXSTYLE); }

// The top-level window of this process with the title.
inline HWND findProgramWindow(const std::wstring& title) {
    struct Search {
        const std::wstring* title;
        HWND found;
    } search{&title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && windowTextOf(window) == *s->title) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ToolkitTest : public ::testing::Test {
protected:
    std::unique_ptr<platform::Toolkit> toolkit = platform::createToolkit();

    // A window of this test's own title, 300 x 300 units at 100, 100.
    HWND makeWindow(int windowId, const std::wstring& title, std::uint32_t background = platform::dialogBackground) {
        platform::WindowSpec spec;
        spec.title = title;
        spec.clientWidth = 300;
        spec.clientHeight = 300;
        spec.x = 100;
        spec.y = 100;
        spec.background = background;
        EXPECT_TRUE(toolkit->createWindow(windowId, spec));
        HWND window = findProgramWindow(title);
        EXPECT_NE(window, nullptr);
        return window;
    }

    HWND makeControl(HWND window, int windowId, int controlId, platform::ControlKind kind,
                     const std::wstring& text, platform::Rect rect = {10, 10, 280, 20}) {
        EXPECT_TRUE(toolkit->createControl(windowId, controlId, kind, text, rect));
        HWND control = GetDlgItem(window, controlId);
        EXPECT_NE(control, nullptr);
        return control;
    }

    int px(int units) const { return platform::unitsToPixels(units, toolkit->dpiX()); }
    int py(int units) const { return platform::unitsToPixels(units, toolkit->dpiY()); }

    // Takes events from waitEvent until one satisfies wanted; false at the deadline.
    // The window needs the heartbeat timer (startHeartbeat) so that waits end.
    bool waitForEvent(const std::function<bool(const platform::Event&)>& wanted,
                      std::chrono::steady_clock::duration limit = generousDeadline) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (wanted(toolkit->waitEvent())) return true;
        }
        return false;
    }

    // Pumps through waitEvent until the condition holds; false at the deadline.
    bool pumpUntil(const std::function<bool()>& condition,
                   std::chrono::steady_clock::duration limit = generousDeadline) {
        if (condition()) return true;
        return waitForEvent([&](const platform::Event&) { return condition(); }, limit);
    }

    void startHeartbeat(int windowId) { toolkit->startTimer(windowId, heartbeatTimerId, 20); }
};

inline bool isEvent(const platform::Event& event, platform::EventKind kind, int id) {
    return event.kind == kind && event.id == id;
}

}  // namespace toolkit_test
