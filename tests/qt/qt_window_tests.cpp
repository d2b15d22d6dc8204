// Windows, controls, measuring, menus and the keyboard on the Qt toolkit, against
// real widgets on the offscreen platform.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/units.h"
#include "tests/qt/qt_toolkit_fixture.h"

namespace qt_test {
namespace {

using platform::ControlKind;
using platform::EventKind;
using platform::Rect;

// The main window's numbers, in creation order (which is the Tab order).
enum : int {
    mainWindow = 1,
    countLabel = 2,
    sizeLabel = 3,
    fillTypeLabel = 4,
    statusLine = 5,
    directoryLine = 6,
    sizeField = 7,
    countField = 8,
    fillTypeList = 9,
    startButton = 10,
};

struct ControlCase {
    int id;
    ControlKind kind;
    const wchar_t* text;
};

const ControlCase mainWindowControls[] = {
    {sizeLabel, ControlKind::TextLine, L"SIZE PER FILE (MB)"},
    {sizeField, ControlKind::EditField, L"100"},
    {countLabel, ControlKind::TextLine, L"NUMBER OF FILES"},
    {fillTypeLabel, ControlKind::TextLine, L"FILL TYPE"},
    {statusLine, ControlKind::TextLine, L"STATUS"},
    {directoryLine, ControlKind::ReadOnlyLine, L"DIRECTORY: /home/user/Desktop/zeroes/"},
    {startButton, ControlKind::PushButton, L"GO"},
    {fillTypeList, ControlKind::DropDownList, L""},
    {countField, ControlKind::EditField, L"100"},
};

class QtWindowTest : public QtToolkitTest {
protected:
    void createMainWindowControls() {
        ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"Vellumite 0.1", 300, 300)));
        for (const ControlCase& control : mainWindowControls) {
            ASSERT_TRUE(kit.createControl(mainWindow, control.id, control.kind, control.text,
                                          Rect{0, 0, 1, 1}));
        }
    }

    // The main window's stack: each control below the one before, heights by kind.
    int layOutMainWindow() {
        const std::pair<int, int> stack[] = {
            {sizeLabel, 0},        {sizeField, 0},     {countLabel, 10},  {countField, 0},
            {fillTypeLabel, 10},   {fillTypeList, 0},  {startButton, 10}, {directoryLine, 10},
            {statusLine, 10},
        };
        int bottom = 10;
        bool first = true;
        for (const auto& [id, gap] : stack) {
            const int y = first ? 10 : bottom + gap;
            first = false;
            kit.moveControl(id, Rect{10, y, 280, askedHeight(id)});
            const Rect placed = kit.controlRect(id);
            bottom = placed.y + placed.height;
        }
        return bottom;
    }

    int askedHeight(int id) const {
        switch (id) {
            case sizeLabel:
            case countLabel:
            case fillTypeLabel:
            case statusLine: return kit.textHeightPixels(id) + 2;
            case sizeField:
            case countField:
            case directoryLine: return kit.hgHeightPixels(id) + 2 * kit.edgeHeightPixels();
            case fillTypeList: return std::max(kit.hgHeightPixels(id) + 8, 21);
            default: return 40;
        }
    }

    void buildMainWindow() {
        createMainWindowControls();
        const int bottom = layOutMainWindow();
        for (const wchar_t* item : {L"ALL ZERO", L"RANDOM", L"ALL ONE"}) kit.insertListItem(fillTypeList, 0, item);
        kit.selectListItem(fillTypeList, L"ALL ZERO");
        kit.addMenu(mainWindow, 12, L"Settings", 13, L"Output Directory");
        kit.addMenu(mainWindow, 12, L"?", 14, L"Help/About");
        kit.placeWindow(mainWindow, 100, 100, 300, bottom + kit.menuBarHeightPixels() + 10);
    }
};

TEST_F(QtWindowTest, WindowIsAFixedTopLevelWithCloseBoxOnly) {
    ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"Vellumite 0.1", 300, 300)));
    EXPECT_TRUE(kit.windowExists(mainWindow));
    EXPECT_FALSE(kit.createWindow(mainWindow, windowSpec(L"again", 10, 10))) << "the number is in use";

    QWidget* window = findWindow(mainWindow);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vellumite 0.1"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(300, 300));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "no sizing";
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(100, 100)) << "the outer corner";
    EXPECT_EQ(window->parentWidget(), nullptr) << "no owner";
}

TEST_F(QtWindowTest, CentredWindowUsesThePrimaryScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    struct Case {
        int width, height;
    };
    // One that fits, and one wider and taller than the screen (it goes to 0 there).
    for (const Case& size : {Case{200, 100}, Case{screen.width() + 50, screen.height() + 50}}) {
        platform::WindowSpec spec = windowSpec(L"Help", size.width, size.height);
        spec.centred = true;
        ASSERT_TRUE(kit.createWindow(16, spec));
        QWidget* window = findWindow(16);
        ASSERT_NE(window, nullptr);
        const QRect frame = window->frameGeometry();
        EXPECT_EQ(frame.x(), screen.x() + platform::centredOrigin(screen.width(), frame.width()));
        EXPECT_EQ(frame.y(), screen.y() + platform::centredOrigin(screen.height(), frame.height()));
        kit.destroyWindow(16);
    }
}

TEST_F(QtWindowTest, BackgroundIsTheDialogColourOrTheGivenOne) {
    ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"plain", 100, 100)));
    platform::WindowSpec white = windowSpec(L"white", 100, 100);
    white.background = 0xFFFFFF;
    ASSERT_TRUE(kit.createWindow(16, white));

    const QColor dialog = QApplication::palette().color(QPalette::Window);
    EXPECT_EQ(findWindow(mainWindow)->grab().toImage().pixelColor(50, 50), dialog);
    EXPECT_EQ(findWindow(16)->grab().toImage().pixelColor(50, 50), QColor(Qt::white));
}

TEST_F(QtWindowTest, MainWindowControlsAreTheRightWidgets) {
    createMainWindowControls();

    auto* sizeLabelWidget = findControl<QLabel>(sizeLabel);
    ASSERT_NE(sizeLabelWidget, nullptr);
    EXPECT_EQ(sizeLabelWidget->textFormat(), Qt::PlainText);
    EXPECT_EQ(sizeLabelWidget->focusPolicy(), Qt::NoFocus);

    auto* sizeFieldWidget = findControl<QLineEdit>(sizeField);
    ASSERT_NE(sizeFieldWidget, nullptr);
    EXPECT_TRUE(sizeFieldWidget->hasFrame());
    EXPECT_FALSE(sizeFieldWidget->isReadOnly());

    auto* directory = findControl<QLineEdit>(directoryLine);
    ASSERT_NE(directory, nullptr);
    EXPECT_TRUE(directory->isReadOnly());
    EXPECT_FALSE(directory->hasFrame());
    EXPECT_EQ(directory->focusPolicy(), Qt::StrongFocus);
    directory->selectAll();
    EXPECT_EQ(directory->selectedText(), directory->text()) << "selectable, to be copied";

    auto* button = findControl<QPushButton>(startButton);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->autoDefault());
    EXPECT_EQ(button->focusPolicy(), Qt::StrongFocus);

    auto* list = findControl<QComboBox>(fillTypeList);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isEditable());

    for (const ControlCase& control : mainWindowControls) {
        QWidget* widget = findControl(control.id);
        ASSERT_NE(widget, nullptr) << control.id;
        EXPECT_TRUE(widget->isVisible()) << control.id;
        EXPECT_EQ(widget->parentWidget()->window(), findWindow(mainWindow)) << control.id;
        EXPECT_EQ(kit.text(control.id), control.text) << control.id;
        EXPECT_EQ(kit.controlRect(control.id), (Rect{0, 0, 1, 1})) << control.id;
    }
    EXPECT_FALSE(kit.createControl(mainWindow, startButton, ControlKind::PushButton, L"x", Rect{}))
        << "the number is in use";
    EXPECT_FALSE(kit.createControl(42, 43, ControlKind::PushButton, L"x", Rect{})) << "no such window";
}

TEST_F(QtWindowTest, TextsReadBackForEveryKind) {
    createMainWindowControls();
    kit.insertListItem(fillTypeList, 0, L"ALL ZERO");
    kit.insertListItem(fillTypeList, 0, L"RANDOM");
    const std::pair<int, const wchar_t*> cases[] = {
        {statusLine, L"Current file: 3 :: Filled: 57MB"},
        {sizeField, L"  12abc"},
        {directoryLine, L"DIRECTORY: /tmp/other/"},
        {startButton, L"STOP"},
        {fillTypeList, L"RANDOM"},  // a list's text is its selected item
        {countLabel, L"A & B"},     // an ampersand is an ampersand
    };
    for (const auto& [id, text] : cases) {
        kit.setText(id, text);
        EXPECT_EQ(kit.text(id), text) << id;
    }
    EXPECT_EQ(findControl<QLabel>(countLabel)->text(), QStringLiteral("A & B"));
    EXPECT_EQ(kit.text(1234), L"") << "no such control";
}

TEST_F(QtWindowTest, LongLineShowsItsBeginning) {
    createMainWindowControls();
    kit.moveControl(directoryLine, Rect{10, 10, 100, 20});
    const std::wstring longPath = L"DIRECTORY: /a/very/long/path/that/does/not/fit/in/the/line/at/all/";
    kit.setText(directoryLine, longPath);
    EXPECT_EQ(findControl<QLineEdit>(directoryLine)->cursorPosition(), 0);
    EXPECT_EQ(kit.text(directoryLine), longPath);
}

TEST_F(QtWindowTest, ControlsTakeExactlyTheAskedPlace) {
    createMainWindowControls();
    const int bottom = layOutMainWindow();
    for (const ControlCase& control : mainWindowControls) {
        const Rect placed = kit.controlRect(control.id);
        EXPECT_EQ(placed.x, 10) << control.id;
        EXPECT_EQ(placed.width, 280) << control.id;
        EXPECT_EQ(placed.height, askedHeight(control.id)) << control.id;
    }
    EXPECT_EQ(kit.controlRect(sizeField).y, 10 + kit.controlRect(sizeLabel).height) << "label flush on top";
    EXPECT_EQ(bottom, kit.controlRect(statusLine).y + kit.controlRect(statusLine).height);
}

TEST_F(QtWindowTest, MeasuresTheControlsOwnFont) {
    createMainWindowControls();
    const QFontMetrics metrics(findControl(sizeLabel)->font());
    EXPECT_EQ(kit.textHeightPixels(sizeLabel), metrics.height()) << "one line";
    EXPECT_EQ(kit.hgHeightPixels(sizeField), QFontMetrics(findControl(sizeField)->font()).height());
    kit.setText(statusLine, L"one\ntwo");
    EXPECT_GE(kit.textHeightPixels(statusLine), 2 * metrics.height()) << "line breaks count";
    kit.setText(statusLine, std::wstring(400, L'x'));
    EXPECT_EQ(kit.textHeightPixels(statusLine), metrics.height()) << "nothing wraps";
    EXPECT_EQ(kit.edgeHeightPixels(), 2);

    ASSERT_TRUE(kit.loadFont(15, L"DejaVu Sans", -30));
    kit.setControlFont(sizeField, 15);
    EXPECT_EQ(kit.hgHeightPixels(sizeField), QFontMetrics(findControl(sizeField)->font()).height());
    EXPECT_GT(kit.hgHeightPixels(sizeField), metrics.height());
}

TEST_F(QtWindowTest, DropDownListKeepsInsertionPositionsAndSelectsIgnoringCase) {
    createMainWindowControls();
    for (const wchar_t* item : {L"ALL ZERO", L"RANDOM", L"ALL ONE"}) kit.insertListItem(fillTypeList, 0, item);
    auto* list = findControl<QComboBox>(fillTypeList);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), QStringLiteral("ALL ONE"));
    EXPECT_EQ(list->itemText(1), QStringLiteral("RANDOM"));
    EXPECT_EQ(list->itemText(2), QStringLiteral("ALL ZERO"));
    EXPECT_EQ(kit.text(fillTypeList), L"") << "inserting selects nothing";

    kit.selectListItem(fillTypeList, L"all zero");
    EXPECT_EQ(kit.text(fillTypeList), L"ALL ZERO");
    kit.selectListItem(fillTypeList, L"ALL");  // a prefix is no match
    EXPECT_EQ(kit.text(fillTypeList), L"ALL ZERO");
    kit.selectListItem(fillTypeList, L"nothing");
    EXPECT_EQ(kit.text(fillTypeList), L"ALL ZERO");
    kit.selectListItem(fillTypeList, L"Random");
    EXPECT_EQ(list->currentIndex(), 1);

    kit.insertListItem(fillTypeList, 0, L"FIRST");
    EXPECT_EQ(kit.text(fillTypeList), L"RANDOM") << "the selection stays with its item";
    kit.insertListItem(fillTypeList, -1, L"LAST");
    EXPECT_EQ(list->itemText(list->count() - 1), QStringLiteral("LAST"));
}

TEST_F(QtWindowTest, MenusReportTheirItems) {
    buildMainWindow();
    QWidget* window = findWindow(mainWindow);
    auto* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> titles = bar->actions();
    ASSERT_EQ(titles.size(), 2);
    EXPECT_EQ(titles[0]->text(), QStringLiteral("Settings"));
    EXPECT_EQ(titles[1]->text(), QStringLiteral("?"));

    auto* outputDirectory = window->findChild<QAction*>(QStringLiteral("menuitem-13"));
    auto* helpAbout = window->findChild<QAction*>(QStringLiteral("menuitem-14"));
    ASSERT_NE(outputDirectory, nullptr);
    ASSERT_NE(helpAbout, nullptr);
    EXPECT_EQ(outputDirectory->text(), QStringLiteral("Output Directory"));
    EXPECT_EQ(helpAbout->text(), QStringLiteral("Help/About"));
    EXPECT_TRUE(outputDirectory->isEnabled());
    EXPECT_TRUE(helpAbout->isEnabled());
    EXPECT_TRUE(titles[0]->menu()->actions().contains(outputDirectory));

    helpAbout->trigger();
    outputDirectory->trigger();
    EXPECT_EQ(nextEvent(), (platform::Event{EventKind::Menu, 14}));
    EXPECT_EQ(nextEvent(), (platform::Event{EventKind::Menu, 13}));
}

TEST_F(QtWindowTest, MenuTextsHaveNoMnemonics) {
    ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"w", 300, 100)));
    kit.addMenu(mainWindow, 12, L"&Settings", 13, L"Save & Quit");
    auto* item = findWindow(mainWindow)->findChild<QAction*>(QStringLiteral("menuitem-13"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(QKeySequence::mnemonic(item->text()).isEmpty());
    const QList<QAction*> titles = findWindow(mainWindow)->findChild<QMenuBar*>()->actions();
    ASSERT_EQ(titles.size(), 1);
    EXPECT_TRUE(QKeySequence::mnemonic(titles[0]->text()).isEmpty());
    EXPECT_EQ(titles[0]->iconText(), QStringLiteral("&Settings")) << "shown with its ampersand";
}

TEST_F(QtWindowTest, MenuBarTakesItsHeightFromTheClientArea) {
    const int probedHeight = kit.menuBarHeightPixels();  // before any window has a bar
    buildMainWindow();
    QWidget* window = findWindow(mainWindow);
    auto* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const int barHeight = kit.menuBarHeightPixels();
    EXPECT_EQ(barHeight, probedHeight);
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 300, barHeight));

    const int statusBottom = kit.controlRect(statusLine).y + kit.controlRect(statusLine).height;
    EXPECT_EQ(window->size(), QSize(300, statusBottom + barHeight + 10)) << "the bar included";
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(100, 100));
    QWidget* content = findControl(sizeLabel)->parentWidget();
    EXPECT_EQ(content->geometry(), QRect(0, barHeight, 300, statusBottom + 10));
    EXPECT_EQ(findControl(sizeLabel)->mapTo(window, QPoint(0, 0)), QPoint(10, barHeight + 10))
        << "control places start below the bar";
}

TEST_F(QtWindowTest, PlaceWindowDoesNotActivate) {
    ASSERT_TRUE(kit.createWindow(mainWindow, windowSpec(L"main", 300, 300)));
    platform::WindowSpec other = windowSpec(L"other", 200, 200);
    other.x = 450;
    ASSERT_TRUE(kit.createWindow(16, other));
    QWidget* second = findWindow(16);
    second->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(second));

    kit.placeWindow(mainWindow, 120, 130, 300, 250);
    EXPECT_EQ(findWindow(mainWindow)->frameGeometry().topLeft(), QPoint(120, 130));
    EXPECT_EQ(findWindow(mainWindow)->size(), QSize(300, 250));
    EXPECT_EQ(QApplication::activeWindow(), second);
}

// Tab and Shift+Tab follow the creation order and wrap; the text lines are skipped.
TEST_F(QtWindowTest, TabOrderFollowsCreationOrder) {
    buildMainWindow();
    QWidget* window = findWindow(mainWindow);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    const int forward[] = {sizeField, directoryLine, startButton, fillTypeList, countField, sizeField};
    kit.setFocus(sizeField);
    ASSERT_EQ(QApplication::focusWidget(), findControl(sizeField));
    for (std::size_t step = 1; step < std::size(forward); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), findControl(forward[step])) << "Tab step " << step;
    }
    const int backward[] = {sizeField, countField, fillTypeList, startButton, directoryLine, sizeField};
    for (std::size_t step = 1; step < std::size(backward); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), findControl(backward[step])) << "Shift+Tab step " << step;
    }

    // With no control focused, Tab goes to the first and Shift+Tab to the last.
    QApplication::focusWidget()->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    QTest::keyClick(window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), findControl(sizeField));
    QApplication::focusWidget()->clearFocus();
    QTest::keyClick(window, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), findControl(countField));
}

TEST_F(QtWindowTest, TextBoxWrapsScrollsAndInsertsAtTheTop) {
    ASSERT_TRUE(kit.createWindow(16, windowSpec(L"Help", 800, 400)));
    ASSERT_TRUE(kit.createControl(16, 17, ControlKind::TextBox, L"", Rect{0, 0, 590, 400}));
    auto* box = findControl<QPlainTextEdit>(17);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(box->focusPolicy(), Qt::StrongFocus);
    EXPECT_TRUE(box->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    EXPECT_FALSE(box->textInteractionFlags().testFlag(Qt::TextEditable));

    std::wstring text = L"\r\n\r\nThe first sentence.\r\n";
    for (int line = 0; line < 200; ++line) text += L"Line " + std::to_wstring(line) + L"\r\n";
    kit.setText(17, text);
    QScrollBar* scroll = box->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0) << "longer than the box";
    scroll->setValue(scroll->maximum());

    kit.insertAtStart(17, L"Vellumite 0.1 credit\r\n");
    EXPECT_EQ(scroll->value(), 0) << "shows the top";
    EXPECT_EQ(box->textCursor().position(), 0);
    const std::wstring shown = kit.text(17);
    const std::wstring top = L"Vellumite 0.1 credit\n\n\nThe first sentence.\nLine 0\n";
    EXPECT_EQ(shown.substr(0, top.size()), top);
    EXPECT_EQ(box->document()->blockCount(), 1 + 2 + 1 + 200 + 1) << "one line per CR LF";
    EXPECT_EQ(shown.back(), L'\n') << "ends with its empty line";
}

// The main window as Qt draws it. With VELLUMITE_SCREENSHOT_DIR set, the picture
// is saved there to be looked at.
TEST_F(QtWindowTest, MainWindowLook) {
    buildMainWindow();
    QWidget* window = findWindow(mainWindow);
    const QImage look = window->grab().toImage();
    EXPECT_EQ(look.size(), window->size());
    // The margin left of the controls is the window's own colour, top to bottom.
    const QColor dialog = QApplication::palette().color(QPalette::Window);
    for (int y = kit.menuBarHeightPixels() + 2; y < look.height(); y += 7) {
        EXPECT_EQ(look.pixelColor(4, y), dialog) << "y " << y;
    }
    if (const char* dir = std::getenv("VELLUMITE_SCREENSHOT_DIR")) {
        look.save(QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("main-window.png")));
    }
}

}  // namespace
}  // namespace qt_test
