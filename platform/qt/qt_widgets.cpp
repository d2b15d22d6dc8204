#include "platform/qt/qt_widgets.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>

#include <utility>

namespace platform::qt {

ToolkitWindow::ToolkitWindow(std::function<void()> onCloseRequest)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      onCloseRequest_(std::move(onCloseRequest)),
      content_(new QWidget(this)) {
    content_->setObjectName(QStringLiteral("content"));
    content_->setFocusPolicy(Qt::NoFocus);
}

QMenuBar* ToolkitWindow::ensureMenuBar() {
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        // Kept inside the window (no global menu), where its height is taken from the client area.
        menuBar_->setNativeMenuBar(false);
        menuBar_->setFocusPolicy(Qt::NoFocus);
        menuBar_->show();
        arrange();
    }
    return menuBar_;
}

void ToolkitWindow::closeEvent(QCloseEvent* event) {
    // The close box, the system menu's Close and Alt+F4 only ask; the program decides.
    event->ignore();
    if (onCloseRequest_) onCloseRequest_();
}

void ToolkitWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrange();
}

void ToolkitWindow::arrange() {
    const int barHeight = menuBar_ ? menuBarHeight(*menuBar_) : 0;
    if (menuBar_) menuBar_->setGeometry(0, 0, width(), barHeight);
    content_->setGeometry(0, barHeight, width(), height() - barHeight);
}

PictureLabel::PictureLabel(QWidget* parent) : QLabel(parent) {
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void PictureLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onLeftPress_) {
        event->accept();
        onLeftPress_();
        return;
    }
    QLabel::mousePressEvent(event);
}

void PictureLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

int menuBarHeight(const QMenuBar& bar) {
    return bar.sizeHint().height();
}

}  // namespace platform::qt
