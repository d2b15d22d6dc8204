// The window toolkit on Qt 6 Widgets (the Linux build).
//
// Implements platform/toolkit.h:
//   windows      QWidget top-levels (caption, system menu, close box; fixed size)
//                holding an optional QMenuBar and a content widget for the controls
//   controls     QLabel, QLineEdit, QPushButton, QComboBox, QPlainTextEdit, PictureLabel
//   events       one queue that Qt's signals only append to; waitEvent pops it and
//                otherwise blocks in QCoreApplication::processEvents
//   fonts, images, message box, folder picker
//
// Window units pass through unchanged: Qt's logical pixels already are 1/96 inch,
// so dpiX() and dpiY() answer 96.
//
// Every window, control, timer and menu item carries an object name made from its
// number ("window-1", "control-7", "timer-11", "menuitem-13"), so that its widget
// can be found by number from outside (the toolkit's tests do).
#pragma once

#include <QFont>
#include <QImage>
#include <QObject>
#include <QPointer>

#include <deque>
#include <map>
#include <vector>

#include "platform/toolkit.h"

class QMenuBar;
class QTimer;
class QWidget;

namespace platform::qt {

class ToolkitWindow;

class QtToolkit final : public Toolkit {
public:
    QtToolkit();
    ~QtToolkit() override;

    int dpiX() const override { return 96; }
    int dpiY() const override { return 96; }

    bool createWindow(int windowId, const WindowSpec& spec) override;
    void destroyWindow(int windowId) override;
    bool windowExists(int windowId) const override;
    void placeWindow(int windowId, int x, int y, int clientWidth, int clientHeight) override;

    bool createControl(int windowId, int controlId, ControlKind kind, const std::wstring& text,
                       const Rect& rect) override;
    void moveControl(int controlId, const Rect& rect) override;
    Rect controlRect(int controlId) const override;
    std::wstring text(int controlId) const override;
    void setText(int controlId, const std::wstring& text) override;
    void setTextFromAnyThread(int controlId, const std::wstring& text) override;
    void insertAtStart(int controlId, const std::wstring& text) override;
    void setFocus(int controlId) override;

    void insertListItem(int controlId, int position, const std::wstring& text) override;
    void selectListItem(int controlId, const std::wstring& text) override;

    int textHeightPixels(int controlId) const override;
    int hgHeightPixels(int controlId) const override;
    int edgeHeightPixels() const override;
    int menuBarHeightPixels() const override;

    void addMenu(int windowId, int menuBarId, const std::wstring& title, int itemId,
                 const std::wstring& itemText) override;
    void startTimer(int windowId, int timerId, int periodMs) override;

    bool loadFont(int fontId, const std::wstring& face, int heightPixels) override;
    void setControlFont(int controlId, int fontId) override;
    bool loadBmpImage(int imageId, const unsigned char* data, std::size_t size) override;
    bool imageExists(int imageId) const override;
    void setPictureImage(int controlId, int imageId) override;

    void bindLeftClick(int windowId, int controlId, std::function<void()> handler) override;

    void messageBox(const std::wstring& title, const std::wstring& text) override;
    std::wstring pickFolder(const std::wstring& prompt,
                            const std::wstring& initialSelection) override;

    Event waitEvent() override;

    void setProgramIcon(const unsigned char* data, std::size_t size) override;
    void releaseAll() override;

private:
    struct Control {
        QWidget* widget = nullptr;  // owned by its window
        ControlKind kind = ControlKind::TextLine;
        int windowId = 0;
    };
    struct Timer {
        QTimer* timer = nullptr;  // owned by its window
        int windowId = 0;
    };
    struct Window {
        ToolkitWindow* widget = nullptr;  // owned here
        std::vector<int> menuItemIds;
        std::map<int, std::function<void()>> leftClickHandlers;  // by control
    };

    void append(Event event);
    void appendTimerTick(int timerId);
    void runLeftClick(int windowId, int controlId);
    void deleteWindowWidget(ToolkitWindow* widget);
    void deleteRetiredWindows();
    QWidget* widgetOf(int controlId) const;
    const Control* controlOf(int controlId) const;
    QWidget* ownerForModal() const;

    // The QApplication, when this toolkit made it (one already there is used as it is).
    std::unique_ptr<QObject> application_;
    // Lives on the window thread; calls from other threads are queued to it.
    QObject windowThreadContext_;

    std::map<int, Window> windows_;
    std::map<int, Control> controls_;
    std::map<int, Timer> timers_;
    std::map<int, QFont> fonts_;
    std::map<int, QImage> images_;
    std::deque<Event> events_;

    // A window destroyed from inside its own left-click handler is deleted only after
    // the mouse event that runs the handler has returned.
    int leftClickDepth_ = 0;
    std::vector<QPointer<ToolkitWindow>> retiredWindows_;
};

}  // namespace platform::qt
