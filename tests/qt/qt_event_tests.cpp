// The event queue of the Qt toolkit: control, menu, timer and close events in
// order, ticks that are not made up for, events discarded with their window, the
// bound left click, and the text set from another thread.
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/qt/qt_toolkit_fixture.h"

namespace qt_test {
namespace {

using platform::ControlKind;
using platform::Event;
using platform::EventKind;
using platform::Rect;

constexpr int mainWindow = 1, field = 7, list = 9, button = 10, timerId = 11;
constexpr int helpWindow = 16, helpTextBox = 17, helpPicture = 18;

class QtEventTest : public QtToolkitTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"main", 300, 200)));
        ASSERT_TRUE(kit.createControl(mainWindow, field, ControlKind::EditField, L"100", Rect{10, 10, 280, 20}));
        ASSERT_TRUE(kit.createControl(mainWindow, list, ControlKind::DropDownList, L"", Rect{10, 40, 280, 23}));
        ASSERT_TRUE(kit.createControl(mainWindow, button, ControlKind::PushButton, L"GO", Rect{10, 80, 280, 40}));
        kit.insertListItem(list, 0, L"ALL ZERO");
        kit.insertListItem(list, 0, L"RANDOM");
        kit.selectListItem(list, L"ALL ZERO");
    }

    void openHelpWindow() {
        platform::WindowSpec spec = windowSpec(L"Help", 800, 400);
        spec.centred = true;
        spec.background = 0xFFFFFF;
        ASSERT_TRUE(kit.createWindow(helpWindow, spec));
        ASSERT_TRUE(kit.createControl(helpWindow, helpTextBox, ControlKind::TextBox, L"", Rect{0, 0, 590, 400}));
        ASSERT_TRUE(kit.createControl(helpWindow, helpPicture, ControlKind::Picture, L"", Rect{591, 130, 210, 400}));
    }

    static Event control(int id) { return {EventKind::Control, id}; }

    // A double click as the window system delivers it: Qt makes the second press
    // of two quick ones a double-click event.
    static void doubleClick(QWidget* control, Qt::MouseButton mouseButton) {
        QWidget* window = control->window();
        QTest::mouseDClick(window->windowHandle(), mouseButton, {},
                           control->mapTo(window, control->rect().center()));
    }
};

TEST_F(QtEventTest, ControlEventsArriveOneAtATimeInOrder) {
    QTest::mouseClick(findControl(button), Qt::LeftButton);
    QTest::keyClicks(findControl(field), QStringLiteral("12"));
    QTest::keyClick(findControl(list), Qt::Key_Up);  // choosing an item with the keyboard
    QTest::keyClick(findControl(button), Qt::Key_Space);

    EXPECT_EQ(nextEvent(), control(button));
    EXPECT_EQ(nextEvent(), control(field));
    EXPECT_EQ(nextEvent(), control(field));
    EXPECT_EQ(nextEvent(), control(list));
    EXPECT_EQ(nextEvent(), control(button)) << "the keyboard presses the button too";
    EXPECT_EQ(kit.text(field), L"12100") << "typed at the caret, which setting a text puts first";
    EXPECT_EQ(kit.text(list), L"RANDOM");
}

TEST_F(QtEventTest, SettingTextsRaisesNoEvents) {
    kit.setText(field, L"5");
    kit.setText(button, L"STOP");
    kit.selectListItem(list, L"RANDOM");
    QTest::mouseClick(findControl(button), Qt::LeftButton);
    EXPECT_EQ(nextEvent(), control(button)) << "nothing queued before the click";
}

TEST_F(QtEventTest, TimerTicksArriveThroughTheWait) {
    kit.startTimer(mainWindow, timerId, 10);
    EXPECT_EQ(nextEvent(), (Event{EventKind::Timer, timerId}));
    EXPECT_EQ(nextEvent(), (Event{EventKind::Timer, timerId}));
}

// While a handler runs a loop of its own (a modal box), the timer goes on ticking:
// one tick waits afterwards, not one for each that fell due.
TEST_F(QtEventTest, MissedTicksAreNotMadeUpFor) {
    kit.startTimer(mainWindow, timerId, 5);
    auto* timer = findWindow(mainWindow)->findChild<QTimer*>(QStringLiteral("timer-11"));
    ASSERT_NE(timer, nullptr);
    int ticks = 0;
    QEventLoop handlersLoop;
    QObject::connect(timer, &QTimer::timeout, &handlersLoop, [&] {
        if (++ticks == 5) handlersLoop.quit();
    });
    handlersLoop.exec();
    ASSERT_EQ(ticks, 5);
    // Appended now, behind whatever the ticks left in the queue.
    QTest::mouseClick(findControl(button), Qt::LeftButton);

    EXPECT_EQ(nextEvent(), (Event{EventKind::Timer, timerId}));
    EXPECT_EQ(nextEvent(), control(button)) << "only one tick was waiting";
}

TEST_F(QtEventTest, CloseBoxOnlyRequests) {
    QWidget* window = findWindow(mainWindow);
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(nextEvent(), (Event{EventKind::CloseRequest, mainWindow}));
    EXPECT_TRUE(kit.windowExists(mainWindow));
    EXPECT_EQ(findWindow(mainWindow), window);
}

TEST_F(QtEventTest, DestroyedWindowTakesItsPendingEventsWithIt) {
    openHelpWindow();
    constexpr int helpButton = 30, helpTimer = 20;
    ASSERT_TRUE(kit.createControl(helpWindow, helpButton, ControlKind::PushButton, L"B", Rect{0, 0, 50, 20}));
    QWidget* help = findWindow(helpWindow);
    help->close();                                               // its close request
    QTest::mouseClick(findControl(button), Qt::LeftButton);      // the main window's
    QTest::mouseClick(findControl(helpButton), Qt::LeftButton);  // its control's
    help->close();
    QTest::keyClicks(findControl(field), QStringLiteral("x"));  // the main window's
    kit.startTimer(helpWindow, helpTimer, 1);                    // and a tick of its timer
    QEventLoop untilTicked;
    QObject::connect(help->findChild<QTimer*>(QStringLiteral("timer-20")), &QTimer::timeout,
                     &untilTicked, &QEventLoop::quit);
    untilTicked.exec();

    kit.destroyWindow(helpWindow);
    EXPECT_FALSE(kit.windowExists(helpWindow));
    EXPECT_EQ(findWindow(helpWindow), nullptr) << "the widget is deleted";
    EXPECT_EQ(kit.controlRect(helpPicture), (Rect{})) << "its controls are gone";

    EXPECT_EQ(nextEvent(), control(button));
    EXPECT_EQ(nextEvent(), control(field));
    QTest::mouseClick(findControl(button), Qt::LeftButton);
    EXPECT_EQ(nextEvent(), control(button)) << "nothing of the help window was left";

    // The number can be used again.
    openHelpWindow();
    EXPECT_TRUE(kit.windowExists(helpWindow));
}

TEST_F(QtEventTest, LeftPressOnThePictureRunsItsHandlerAtOnce) {
    openHelpWindow();
    int runs = 0;
    kit.bindLeftClick(helpWindow, helpPicture, [&runs] { ++runs; });
    QWidget* picture = findControl(helpPicture);

    QTest::mousePress(picture, Qt::LeftButton);
    EXPECT_EQ(runs, 1) << "on the press, without an event wait";
    QTest::mouseRelease(picture, Qt::LeftButton);
    EXPECT_EQ(runs, 1);

    QTest::mouseClick(picture, Qt::RightButton);
    doubleClick(picture, Qt::RightButton);
    QTest::mouseClick(picture, Qt::MiddleButton);
    EXPECT_EQ(runs, 1) << "other buttons do nothing";

    doubleClick(picture, Qt::LeftButton);
    EXPECT_EQ(runs, 2) << "a double click opens once";

    QTest::mouseClick(findControl(helpTextBox), Qt::LeftButton);
    EXPECT_EQ(runs, 2) << "only the bound control";

    // The binding ends with the window: a new window under the same number has none.
    kit.destroyWindow(helpWindow);
    openHelpWindow();
    QTest::mouseClick(findControl(helpPicture), Qt::LeftButton);
    EXPECT_EQ(runs, 2);
}

TEST_F(QtEventTest, HandlerMayCloseItsOwnWindow) {
    openHelpWindow();
    int runs = 0;
    kit.bindLeftClick(helpWindow, helpPicture, [&] {
        ++runs;
        kit.destroyWindow(helpWindow);
    });
    QTest::mouseClick(findControl(helpPicture), Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(kit.windowExists(helpWindow));

    QTest::mouseClick(findControl(button), Qt::LeftButton);
    EXPECT_EQ(nextEvent(), control(button));
    EXPECT_EQ(findWindow(helpWindow), nullptr) << "deleted once the click was over";
}

// The worker's "GO": carried out on the window thread while it waits for events,
// and done when the call returns.
TEST_F(QtEventTest, TextFromAnotherThreadIsSetOnTheWindowThreadBeforeTheCallReturns) {
    auto* edit = findControl<QLineEdit>(field);
    std::atomic<bool> setOnWindowThread{false};
    const std::thread::id windowThread = std::this_thread::get_id();
    QObject::connect(edit, &QLineEdit::textChanged, edit, [&](const QString& text) {
        if (text == QStringLiteral("GO") && std::this_thread::get_id() == windowThread) setOnWindowThread = true;
    }, Qt::DirectConnection);

    std::atomic<bool> doneWhenReturned{false};
    QPushButton* buttonWidget = findControl<QPushButton>(button);
    std::thread worker([&] {
        kit.setTextFromAnyThread(field, L"GO");
        doneWhenReturned = setOnWindowThread.load();
        // Wakes the window thread's wait once more, with an event of its own.
        QMetaObject::invokeMethod(buttonWidget, "click", Qt::QueuedConnection);
    });
    EXPECT_EQ(nextEvent(), control(button));
    worker.join();
    EXPECT_TRUE(doneWhenReturned);
    EXPECT_EQ(kit.text(field), L"GO");

    // On the window thread itself the text is set directly.
    kit.setTextFromAnyThread(field, L"STOP");
    EXPECT_EQ(kit.text(field), L"STOP");
}

TEST_F(QtEventTest, TextFromAnotherThreadForAControlThatIsGoneDoesNothing) {
    openHelpWindow();
    kit.destroyWindow(helpWindow);
    QPushButton* buttonWidget = findControl<QPushButton>(button);
    std::thread worker([&] {
        kit.setTextFromAnyThread(helpTextBox, L"late");
        QMetaObject::invokeMethod(buttonWidget, "click", Qt::QueuedConnection);
    });
    EXPECT_EQ(nextEvent(), control(button));
    worker.join();
    EXPECT_EQ(kit.text(helpTextBox), L"");
}

}  // namespace
}  // namespace qt_test
