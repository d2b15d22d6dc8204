// Events of the Win32 toolkit as waitEvent delivers them: controls, menus, timers,
// close requests, the Tab keys, bound clicks, cross-thread texts and the discarding
// of a destroyed window's events.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/win32/toolkit_test_support.h"

namespace toolkit_test {
namespace {

using platform::ControlKind;
using platform::Event;
using platform::EventKind;

using EventsTest = ToolkitTest;

TEST_F(EventsTest, ButtonPressMenuChoiceAndTimerTickArriveWithTheirNumbers) {
    HWND window = makeWindow(1, L"Vellumite events test");
    ASSERT_NE(window, nullptr);
    HWND button = makeControl(window, 1, 10, ControlKind::PushButton, L"GO");
    toolkit->addMenu(1, 12, L"Settings", 13, L"Output Directory");

    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_TRUE(waitForEvent([](const Event& e) { return isEvent(e, EventKind::Control, 10); }));

    PostMessageW(window, WM_COMMAND, MAKEWPARAM(13, 0), 0);  // as a menu choice arrives
    const Event menu = toolkit->waitEvent();
    EXPECT_TRUE(isEvent(menu, EventKind::Menu, 13));

    toolkit->startTimer(1, 11, 30);
    EXPECT_TRUE(waitForEvent([](const Event& e) { return isEvent(e, EventKind::Timer, 11); }));
    EXPECT_TRUE(waitForEvent([](const Event& e) { return isEvent(e, EventKind::Timer, 11); }));
}

TEST_F(EventsTest, CloseBoxRaisesACloseRequestAndTheWindowStays) {
    HWND window = makeWindow(1, L"Vellumite close test");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(isEvent(toolkit->waitEvent(), EventKind::CloseRequest, 1));
    // Close in the system menu (and Alt+F4) takes the same way.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(isEvent(toolkit->waitEvent(), EventKind::CloseRequest, 1));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(toolkit->windowExists(1));
}

TEST_F(EventsTest, TimerTicksDueDuringAModalLoopAreNotMadeUpFor) {
    HWND window = makeWindow(1, L"Vellumite coalescing test");
    ASSERT_NE(window, nullptr);
    toolkit->startTimer(1, 11, 10);
    // A thread timer of the same period counts the ticks the modal loop handles.
    static std::atomic<int> ticksSeen;
    ticksSeen = 0;
    const UINT_PTR counter = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++ticksSeen; });
    std::atomic<bool> closed{false};
    std::thread closer([&] {
        const auto deadline = std::chrono::steady_clock::now() + generousDeadline;
        while (std::chrono::steady_clock::now() < deadline && ticksSeen < 10) Sleep(5);
        // Any of this process's message boxes; the box under test is the only one.
        for (HWND box = nullptr; std::chrono::steady_clock::now() < deadline;) {
            box = FindWindowW(L"#32770", L"Vellumite tick box");
            if (box != nullptr) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                closed = true;
                return;
            }
            Sleep(5);
        }
    });
    toolkit->messageBox(L"Vellumite tick box", L"ticks");
    closer.join();
    KillTimer(nullptr, counter);
    ASSERT_TRUE(closed);
    ASSERT_GE(ticksSeen.load(), 10);

    // Posted messages come before timer messages: a second waiting tick would come
    // before the close request.
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(isEvent(toolkit->waitEvent(), EventKind::Timer, 11));
    EXPECT_TRUE(isEvent(toolkit->waitEvent(), EventKind::CloseRequest, 1));
}

class TabOrderTest : public ToolkitTest {
protected:
    HWND window = nullptr;

    void SetUp() override {
        window = makeWindow(1, L"Vellumite tab test");
        ASSERT_NE(window, nullptr);
        // The main window's creation order.
        const struct {
            int id;
            ControlKind kind;
        } controls[] = {{3, ControlKind::TextLine},   {7, ControlKind::EditField},
                        {2, ControlKind::TextLine},   {4, ControlKind::TextLine},
                        {5, ControlKind::TextLine},   {6, ControlKind::ReadOnlyLine},
                        {10, ControlKind::PushButton}, {9, ControlKind::DropDownList},
                        {8, ControlKind::EditField}};
        int y = 0;
        for (const auto& control : controls) {
            makeControl(window, 1, control.id, control.kind, L"100", {10, y += 25, 280, 21});
        }
        startHeartbeat(1);
        SetForegroundWindow(window);
        SetFocus(window);  // no control has the focus
    }

    void TearDown() override { setShift(false); }

    static void setShift(bool down) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }

    // Presses Tab (with Shift when asked) in the focused window; the focused control's number after.
    int pressTab(bool shift) {
        setShift(shift);
        HWND before = GetFocus();
        PostMessageW(before != nullptr ? before : window, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageW(window, WM_CLOSE, 0, 0);  // a marker behind the key
        waitForEvent([](const Event& e) { return isEvent(e, EventKind::CloseRequest, 1); });
        setShift(false);
        HWND focus = GetFocus();
        return focus != nullptr && GetParent(focus) == window ? GetDlgCtrlID(focus) : 0;
    }
};

TEST_F(TabOrderTest, TabFollowsCreationOrderAndWraps) {
    ASSERT_EQ(GetFocus(), window);
    std::vector<int> visited;
    for (int i = 0; i < 6; ++i) visited.push_back(pressTab(false));
    EXPECT_EQ(visited, (std::vector<int>{7, 6, 10, 9, 8, 7}));
}

TEST_F(TabOrderTest, ShiftTabGoesBackwardsAndStartsAtTheLast) {
    std::vector<int> visited;
    for (int i = 0; i < 6; ++i) visited.push_back(pressTab(true));
    EXPECT_EQ(visited, (std::vector<int>{8, 9, 10, 6, 7, 8}));
}

TEST_F(TabOrderTest, TabIntoAFieldSelectsItsText) {
    EXPECT_EQ(pressTab(false), 7);
    DWORD start = 1, end = 0;
    SendMessageW(GetDlgItem(window, 7), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
}

TEST_F(EventsTest, TextSetFromAnotherThreadIsCarriedOutWhileTheWindowThreadWaits) {
    HWND window = makeWindow(1, L"Vellumite thread test");
    ASSERT_NE(window, nullptr);
    makeControl(window, 1, 10, ControlKind::PushButton, L"STOP");
    makeControl(window, 1, 17, ControlKind::TextBox, L"", {0, 40, 200, 100});
    startHeartbeat(1);
    const DWORD windowThread = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::atomic<bool> ranElsewhere{false};
    std::thread worker([&] {
        ranElsewhere = GetCurrentThreadId() != windowThread;
        toolkit->setTextFromAnyThread(10, L"GO");
        toolkit->setTextFromAnyThread(17, L"from the worker");
        done = true;
    });
    const bool finished = pumpUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(ranElsewhere);
    EXPECT_TRUE(toolkit->text(10) == L"GO");
    EXPECT_TRUE(toolkit->text(17) == L"from the worker");
}

class ClickTest : public ToolkitTest {
protected:
    HWND window = nullptr;
    HWND picture = nullptr;
    int clicks = 0;

    void SetUp() override {
        window = makeWindow(16, L"Vellumite click test", 0xFFFFFF);
        ASSERT_NE(window, nullptr);
        picture = makeControl(window, 16, 18, ControlKind::Picture, L"", {591, 130, 210, 400});
        toolkit->bindLeftClick(16, 18, [this] { ++clicks; });
    }

    static void mouse(HWND target, UINT message) { SendMessageW(target, message, 0, MAKELPARAM(5, 5)); }

    // Handles every event already raised, up to a close request posted behind them.
    void handlePendingEvents() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_TRUE(waitForEvent([](const Event& e) { return isEvent(e, EventKind::CloseRequest, 16); }));
    }
};

TEST_F(ClickTest, LeftClickRunsTheHandlerFromTheEventWait) {
    mouse(picture, WM_LBUTTONDOWN);
    mouse(picture, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0);  // not inside the window procedure
    const Event event = toolkit->waitEvent();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(event.kind, EventKind::Other);
    EXPECT_EQ(event.id, 18);
}

TEST_F(ClickTest, RightClicksAndTheSecondPressOfADoubleClickDoNothing) {
    mouse(picture, WM_RBUTTONDOWN);
    mouse(picture, WM_RBUTTONUP);
    mouse(picture, WM_RBUTTONDBLCLK);
    mouse(picture, WM_RBUTTONUP);
    handlePendingEvents();
    EXPECT_EQ(clicks, 0);

    mouse(picture, WM_LBUTTONDOWN);
    mouse(picture, WM_LBUTTONUP);
    mouse(picture, WM_LBUTTONDBLCLK);
    mouse(picture, WM_LBUTTONUP);
    handlePendingEvents();
    EXPECT_EQ(clicks, 1);
}

TEST_F(ClickTest, DestroyingTheWindowEndsItsBindingAndDiscardsItsEvents) {
    HWND other = makeWindow(1, L"Vellumite survivor");
    ASSERT_NE(other, nullptr);
    mouse(picture, WM_LBUTTONDOWN);                 // a bound click waiting in the queue
    mouse(picture, WM_LBUTTONUP);
    SendMessageW(window, WM_CLOSE, 0, 0);           // a close request waiting in the queue
    PostMessageW(window, WM_CLOSE, 0, 0);           // and one not yet dispatched
    toolkit->startTimer(16, 11, 1);
    toolkit->destroyWindow(16);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(toolkit->windowExists(16));

    PostMessageW(other, WM_CLOSE, 0, 0);
    const Event next = toolkit->waitEvent();
    EXPECT_TRUE(isEvent(next, EventKind::CloseRequest, 1));
    EXPECT_EQ(clicks, 0);

    // The same numbers again: the old handler is not bound to the new picture.
    window = makeWindow(16, L"Vellumite click test again", 0xFFFFFF);
    picture = makeControl(window, 16, 18, ControlKind::Picture, L"", {591, 130, 210, 400});
    mouse(picture, WM_LBUTTONDOWN);
    mouse(picture, WM_LBUTTONUP);
    handlePendingEvents();
    EXPECT_EQ(clicks, 0);
}

TEST_F(ClickTest, HandlerMayDestroyItsOwnWindow) {
    toolkit->bindLeftClick(16, 18, [this] {
        ++clicks;
        toolkit->destroyWindow(16);
    });
    for (int press = 0; press < 2; ++press) {  // the second is discarded with the window
        mouse(picture, WM_LBUTTONDOWN);
        mouse(picture, WM_LBUTTONUP);
    }
    toolkit->waitEvent();
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(toolkit->windowExists(16));
}

}  // namespace
}  // namespace toolkit_test
