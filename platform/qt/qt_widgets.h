// The two widgets of the Qt toolkit that need behaviour of their own: the top-level
// window (its close box only reports, its menu bar sits above the content) and the
// picture control (reports a left press, ignores the double click).
#pragma once

#include <QLabel>
#include <QWidget>

#include <functional>
#include <utility>

class QMenuBar;

namespace platform::qt {

class ToolkitWindow final : public QWidget {
public:
    explicit ToolkitWindow(std::function<void()> onCloseRequest);

    // Holds the controls; starts below the menu bar when there is one.
    QWidget* content() const { return content_; }
    QMenuBar* menuBar() const { return menuBar_; }
    // Made on the first call; shown above the content from then on.
    QMenuBar* ensureMenuBar();
    // Places the menu bar and the content in the client area (after the bar has changed).
    void arrange();
    // From now on the close box reports nothing (the window is on its way out).
    void detachCloseRequest() { onCloseRequest_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<void()> onCloseRequest_;
    QWidget* content_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
};

class PictureLabel final : public QLabel {
public:
    explicit PictureLabel(QWidget* parent);

    void setOnLeftPress(std::function<void()> onLeftPress) { onLeftPress_ = std::move(onLeftPress); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Qt would treat the double click as one more press: a double click is one click here.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::function<void()> onLeftPress_;
};

// The height of a one-line menu bar: its size hint, as placed above the content.
int menuBarHeight(const QMenuBar& bar);

}  // namespace platform::qt
