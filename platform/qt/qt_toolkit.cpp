#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

#include "platform/qt/qt_widgets.h"
#include "platform/units.h"

namespace platform::qt {

namespace {

QString toQString(const std::wstring& text) {
    return QString::fromStdWString(text);
}

// Menu texts are plain: an '&' is shown, not taken as a mnemonic marker.
QString withoutMnemonics(const std::wstring& text) {
    return toQString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The text box keeps one line break per CR LF, as the stored texts write them.
QString withLineFeeds(const std::wstring& text) {
    return toQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString objectName(const char* kind, int id) {
    return QStringLiteral("%1-%2").arg(QLatin1String(kind)).arg(id);
}

// Outer top-left corner that centres a frame of that size on the primary screen.
QPoint centredOnPrimaryScreen(const QSize& frame) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {0, 0};
    const QRect area = screen->geometry();
    return {area.x() + centredOrigin(area.width(), frame.width()),
            area.y() + centredOrigin(area.height(), frame.height())};
}

// The folder the picker opens in, and the entry it selects there ("" for none):
// an existing folder is shown selected in its parent; otherwise the picker opens
// in the nearest folder that exists on the way up.
std::pair<QString, QString> pickerStart(const std::wstring& initialSelection) {
    if (initialSelection.empty()) return {QDir::homePath(), QString()};
    const QFileInfo initial(QDir::cleanPath(toQString(initialSelection)));
    if (initial.isDir() && !initial.isRoot()) return {initial.absolutePath(), initial.fileName()};
    QFileInfo folder(initial.absoluteFilePath());
    while (!folder.isDir() && !folder.isRoot()) folder = QFileInfo(folder.absolutePath());
    return {folder.absoluteFilePath(), QString()};
}

}  // namespace

QtToolkit::QtToolkit() {
    if (!QCoreApplication::instance()) {
        // The program takes no command line; Qt only wants a name.
        static int argc = 1;
        static char name[] = "vellumite";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
    }
    // Closing a box (the disclaimer, shown before any window exists) must not end anything.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

QtToolkit::~QtToolkit() {
    releaseAll();
    for (const QPointer<ToolkitWindow>& window : retiredWindows_) delete window.data();
    retiredWindows_.clear();
}

// --- windows ---

bool QtToolkit::createWindow(int windowId, const WindowSpec& spec) {
    if (windows_.count(windowId)) return false;
    auto* widget = new ToolkitWindow([this, windowId] { append({EventKind::CloseRequest, windowId}); });
    widget->setObjectName(objectName("window", windowId));
    widget->setWindowTitle(toQString(spec.title));
    if (spec.background != dialogBackground) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, QColor(QRgb(spec.background & 0xFFFFFFu)));
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
    widget->setFixedSize(std::max(spec.clientWidth, 0), std::max(spec.clientHeight, 0));
    widget->move(spec.centred ? centredOnPrimaryScreen(widget->frameGeometry().size())
                              : QPoint(spec.x, spec.y));
    windows_[windowId].widget = widget;

    widget->show();
    widget->activateWindow();
    widget->raise();
    if (spec.centred) {
        // Some window systems tell the frame's size only once the window is shown.
        const QPoint origin = centredOnPrimaryScreen(widget->frameGeometry().size());
        if (origin != widget->pos()) widget->move(origin);
    }
    return true;
}

void QtToolkit::destroyWindow(int windowId) {
    const auto found = windows_.find(windowId);
    if (found == windows_.end()) return;
    const Window window = std::move(found->second);
    windows_.erase(found);

    std::set<int> controlIds;
    for (auto it = controls_.begin(); it != controls_.end();) {
        if (it->second.windowId == windowId) {
            controlIds.insert(it->first);
            it = controls_.erase(it);
        } else {
            ++it;
        }
    }
    std::set<int> timerIds;
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second.windowId == windowId) {
            it->second.timer->stop();
            timerIds.insert(it->first);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    const std::set<int> menuItemIds(window.menuItemIds.begin(), window.menuItemIds.end());
    std::erase_if(events_, [&](const Event& event) {
        switch (event.kind) {
            case EventKind::CloseRequest: return event.id == windowId;
            case EventKind::Control: return controlIds.count(event.id) > 0;
            case EventKind::Timer: return timerIds.count(event.id) > 0;
            case EventKind::Menu: return menuItemIds.count(event.id) > 0;
            default: return false;
        }
    });
    deleteWindowWidget(window.widget);
}

void QtToolkit::deleteWindowWidget(ToolkitWindow* widget) {
    if (leftClickDepth_ == 0) {
        delete widget;
        return;
    }
    // Inside a left-click handler the mouse event of one of its controls is still
    // being delivered: take the window away now, delete it at the next event wait.
    widget->detachCloseRequest();
    widget->setEnabled(false);
    widget->hide();
    retiredWindows_.emplace_back(widget);
}

void QtToolkit::deleteRetiredWindows() {
    if (leftClickDepth_ > 0) return;
    std::vector<QPointer<ToolkitWindow>> retired;
    retired.swap(retiredWindows_);
    for (const QPointer<ToolkitWindow>& window : retired) delete window.data();
}

bool QtToolkit::windowExists(int windowId) const {
    return windows_.count(windowId) > 0;
}

void QtToolkit::placeWindow(int windowId, int x, int y, int clientWidth, int clientHeight) {
    const auto found = windows_.find(windowId);
    if (found == windows_.end()) return;
    // The height includes the menu bar, which takes its height out of it.
    ToolkitWindow* widget = found->second.widget;
    widget->setFixedSize(std::max(clientWidth, 0), std::max(clientHeight, 0));
    widget->move(x, y);
}

// --- controls ---

bool QtToolkit::createControl(int windowId, int controlId, ControlKind kind,
                              const std::wstring& text, const Rect& rect) {
    const auto window = windows_.find(windowId);
    if (window == windows_.end() || controls_.count(controlId)) return false;
    QWidget* parent = window->second.widget->content();
    const auto reportControl = [this, controlId] { append({EventKind::Control, controlId}); };

    QWidget* widget = nullptr;
    switch (kind) {
        case ControlKind::TextLine: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setFocusPolicy(Qt::NoFocus);
            widget = label;
            break;
        }
        case ControlKind::EditField: {
            auto* edit = new QLineEdit(parent);
            edit->setFocusPolicy(Qt::StrongFocus);
            QObject::connect(edit, &QLineEdit::textEdited, edit, reportControl);
            widget = edit;
            break;
        }
        case ControlKind::ReadOnlyLine: {
            auto* line = new QLineEdit(parent);
            line->setReadOnly(true);
            line->setFrame(false);
            line->setFocusPolicy(Qt::StrongFocus);
            // No border and the window's own colour behind it: it reads like a text line.
            QPalette palette = line->palette();
            palette.setBrush(QPalette::Base, palette.brush(QPalette::Window));
            line->setPalette(palette);
            widget = line;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::StrongFocus);
            QObject::connect(button, &QPushButton::clicked, button, reportControl);
            widget = button;
            break;
        }
        case ControlKind::DropDownList: {
            auto* list = new QComboBox(parent);
            list->setEditable(false);
            list->setFocusPolicy(Qt::StrongFocus);
            QObject::connect(list, &QComboBox::activated, list, reportControl);
            widget = list;
            break;
        }
        case ControlKind::TextBox: {
            auto* box = new QPlainTextEdit(parent);
            box->setReadOnly(true);
            box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            box->setFocusPolicy(Qt::StrongFocus);
            widget = box;
            break;
        }
        case ControlKind::Picture: {
            auto* picture = new PictureLabel(parent);
            picture->setOnLeftPress([this, windowId, controlId] { runLeftClick(windowId, controlId); });
            widget = picture;
            break;
        }
    }
    if (!widget) return false;
    widget->setObjectName(objectName("control", controlId));
    controls_[controlId] = Control{widget, kind, windowId};
    widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
    setText(controlId, text);
    widget->show();
    return true;
}

const QtToolkit::Control* QtToolkit::controlOf(int controlId) const {
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? nullptr : &found->second;
}

QWidget* QtToolkit::widgetOf(int controlId) const {
    const Control* control = controlOf(controlId);
    return control ? control->widget : nullptr;
}

void QtToolkit::moveControl(int controlId, const Rect& rect) {
    if (QWidget* widget = widgetOf(controlId)) widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

Rect QtToolkit::controlRect(int controlId) const {
    const QWidget* widget = widgetOf(controlId);
    if (!widget) return {};
    const QRect geometry = widget->geometry();
    return {geometry.x(), geometry.y(), geometry.width(), geometry.height()};
}

std::wstring QtToolkit::text(int controlId) const {
    const Control* control = controlOf(controlId);
    if (!control) return {};
    QWidget* widget = control->widget;
    switch (control->kind) {
        case ControlKind::TextLine: return static_cast<QLabel*>(widget)->text().toStdWString();
        case ControlKind::EditField:
        case ControlKind::ReadOnlyLine: return static_cast<QLineEdit*>(widget)->text().toStdWString();
        case ControlKind::PushButton: return static_cast<QPushButton*>(widget)->text().toStdWString();
        case ControlKind::DropDownList:
            return static_cast<QComboBox*>(widget)->currentText().toStdWString();
        case ControlKind::TextBox:
            return static_cast<QPlainTextEdit*>(widget)->toPlainText().toStdWString();
        case ControlKind::Picture: return widget->accessibleName().toStdWString();
    }
    return {};
}

void QtToolkit::setText(int controlId, const std::wstring& text) {
    const Control* control = controlOf(controlId);
    if (!control) return;
    QWidget* widget = control->widget;
    switch (control->kind) {
        case ControlKind::TextLine: static_cast<QLabel*>(widget)->setText(toQString(text)); break;
        case ControlKind::EditField:
        case ControlKind::ReadOnlyLine: {
            auto* edit = static_cast<QLineEdit*>(widget);
            edit->setText(toQString(text));
            // Show the beginning of a text longer than the field, not its end.
            edit->setCursorPosition(0);
            break;
        }
        case ControlKind::PushButton: static_cast<QPushButton*>(widget)->setText(toQString(text)); break;
        case ControlKind::DropDownList: {
            // A list's text is its selected item: select the item of exactly that text.
            auto* list = static_cast<QComboBox*>(widget);
            const int index = list->findText(toQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index >= 0) list->setCurrentIndex(index);
            break;
        }
        case ControlKind::TextBox:
            static_cast<QPlainTextEdit*>(widget)->setPlainText(withLineFeeds(text));
            break;
        case ControlKind::Picture: widget->setAccessibleName(toQString(text)); break;
    }
}

void QtToolkit::setTextFromAnyThread(int controlId, const std::wstring& text) {
    if (QThread::currentThread() == windowThreadContext_.thread()) {
        setText(controlId, text);
        return;
    }
    // Looked up again on the window thread: the control may be gone by then.
    QMetaObject::invokeMethod(
        &windowThreadContext_, [this, controlId, text] { setText(controlId, text); },
        Qt::BlockingQueuedConnection);
}

void QtToolkit::insertAtStart(int controlId, const std::wstring& text) {
    const Control* control = controlOf(controlId);
    if (!control || control->kind != ControlKind::TextBox) return;
    auto* box = static_cast<QPlainTextEdit*>(control->widget);
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(withLineFeeds(text));
    box->moveCursor(QTextCursor::Start);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->minimum());
}

void QtToolkit::setFocus(int controlId) {
    if (QWidget* widget = widgetOf(controlId)) widget->setFocus(Qt::OtherFocusReason);
}

void QtToolkit::insertListItem(int controlId, int position, const std::wstring& text) {
    const Control* control = controlOf(controlId);
    if (!control || control->kind != ControlKind::DropDownList) return;
    auto* list = static_cast<QComboBox*>(control->widget);
    // A negative position appends. Inserting selects nothing: a list without a
    // selection keeps none until an item is selected.
    const bool hadSelection = list->currentIndex() >= 0;
    list->insertItem(position < 0 ? list->count() : position, toQString(text));
    if (!hadSelection) list->setCurrentIndex(-1);
}

void QtToolkit::selectListItem(int controlId, const std::wstring& text) {
    const Control* control = controlOf(controlId);
    if (!control || control->kind != ControlKind::DropDownList) return;
    auto* list = static_cast<QComboBox*>(control->widget);
    // MatchFixedString without MatchCaseSensitive compares the whole text, ignoring case.
    const int index = list->findText(toQString(text), Qt::MatchFixedString);
    if (index >= 0) list->setCurrentIndex(index);
}

// --- measuring ---

int QtToolkit::textHeightPixels(int controlId) const {
    const QWidget* widget = widgetOf(controlId);
    if (!widget) return 0;
    // No flags: line breaks count, nothing wraps, an '&' is a character like any other.
    return QFontMetrics(widget->font()).boundingRect(QRect(), 0, toQString(text(controlId))).height();
}

int QtToolkit::hgHeightPixels(int controlId) const {
    const QWidget* widget = widgetOf(controlId);
    if (!widget) return 0;
    // The full line height, ascent plus descent, as the extent of "Hg" is on Windows.
    return QFontMetrics(widget->font()).height();
}

int QtToolkit::edgeHeightPixels() const {
    // Qt has no 3-D edge metric. The layout adds this twice to the "Hg" height to
    // give a field room for its frame; 2 is the Windows edge at 96 dpi, and as
    // wide as the frame Qt's styles draw around a line edit.
    return 2;
}

int QtToolkit::menuBarHeightPixels() const {
    for (const auto& [id, window] : windows_) {
        if (const QMenuBar* bar = window.widget->menuBar()) return menuBarHeight(*bar);
    }
    // No window has a menu bar yet: measure a one-line bar with one menu in it.
    QMenuBar probe;
    probe.setNativeMenuBar(false);
    probe.addMenu(QStringLiteral("Hg"));
    return menuBarHeight(probe);
}

// --- menus and timers ---

void QtToolkit::addMenu(int windowId, int menuBarId, const std::wstring& title, int itemId,
                        const std::wstring& itemText) {
    const auto window = windows_.find(windowId);
    if (window == windows_.end()) return;
    ToolkitWindow* widget = window->second.widget;
    QMenuBar* bar = widget->ensureMenuBar();
    bar->setObjectName(objectName("menubar", menuBarId));
    QMenu* menu = bar->addMenu(withoutMnemonics(title));
    QAction* item = menu->addAction(withoutMnemonics(itemText));
    item->setObjectName(objectName("menuitem", itemId));
    QObject::connect(item, &QAction::triggered, item, [this, itemId] { append({EventKind::Menu, itemId}); });
    window->second.menuItemIds.push_back(itemId);
    widget->arrange();
}

void QtToolkit::startTimer(int windowId, int timerId, int periodMs) {
    const auto window = windows_.find(windowId);
    if (window == windows_.end()) return;
    // A timer started again under its number replaces the running one.
    if (const auto old = timers_.find(timerId); old != timers_.end()) {
        delete old->second.timer;
        timers_.erase(old);
    }
    auto* timer = new QTimer(window->second.widget);
    timer->setObjectName(objectName("timer", timerId));
    timer->setInterval(std::max(periodMs, 0));
    QObject::connect(timer, &QTimer::timeout, timer, [this, timerId] { appendTimerTick(timerId); });
    timers_[timerId] = Timer{timer, windowId};
    timer->start();
}

// --- fonts and images ---

bool QtToolkit::loadFont(int fontId, const std::wstring& face, int heightPixels) {
    // A face that is not installed is no failure: Qt's font matching picks a similar one.
    QFont font(toQString(face));
    // The faces the program asks for are fixed-pitch ones ("Lucida Console"); where
    // one is not installed, a fixed-pitch face is the similar one, not a proportional.
    font.setStyleHint(QFont::TypeWriter);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    if (heightPixels < 0) {
        // The height of the characters themselves: that is what Qt's pixel size is.
        font.setPixelSize(-heightPixels);
    } else if (heightPixels > 0) {
        // The height of the character cell (ascent plus descent): scaled from a first match.
        font.setPixelSize(heightPixels);
        const int cellHeight = QFontMetrics(font).height();
        if (cellHeight > 0 && cellHeight != heightPixels) {
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(
                                              double(heightPixels) * heightPixels / cellHeight))));
        }
    }
    fonts_[fontId] = font;
    return true;
}

void QtToolkit::setControlFont(int controlId, int fontId) {
    QWidget* widget = widgetOf(controlId);
    const auto font = fonts_.find(fontId);
    if (widget && font != fonts_.end()) widget->setFont(font->second);
}

bool QtToolkit::loadBmpImage(int imageId, const unsigned char* data, std::size_t size) {
    images_.erase(imageId);
    if (!data || size == 0 || size > static_cast<std::size_t>(INT_MAX)) return false;
    QImage image;
    if (!image.loadFromData(data, static_cast<int>(size), "BMP")) return false;
    images_[imageId] = std::move(image);
    return true;
}

bool QtToolkit::imageExists(int imageId) const {
    return images_.count(imageId) > 0;
}

void QtToolkit::setPictureImage(int controlId, int imageId) {
    const Control* control = controlOf(controlId);
    const auto image = images_.find(imageId);
    if (!control || control->kind != ControlKind::Picture || image == images_.end()) return;
    auto* picture = static_cast<PictureLabel*>(control->widget);
    // One image pixel to one screen pixel, also where Qt scales the window.
    QPixmap pixmap = QPixmap::fromImage(image->second);
    pixmap.setDevicePixelRatio(picture->devicePixelRatioF());
    picture->setPixmap(pixmap);
    picture->resize(pixmap.deviceIndependentSize().toSize());
}

void QtToolkit::bindLeftClick(int windowId, int controlId, std::function<void()> handler) {
    const auto window = windows_.find(windowId);
    const Control* control = controlOf(controlId);
    // The picture is the control that reports a left click.
    if (window == windows_.end() || !control || control->windowId != windowId ||
        control->kind != ControlKind::Picture)
        return;
    window->second.leftClickHandlers[controlId] = std::move(handler);
}

void QtToolkit::runLeftClick(int windowId, int controlId) {
    const auto window = windows_.find(windowId);
    if (window == windows_.end()) return;
    const auto bound = window->second.leftClickHandlers.find(controlId);
    if (bound == window->second.leftClickHandlers.end() || !bound->second) return;
    // Copied: the handler may destroy the window, and its bindings with it.
    const std::function<void()> handler = bound->second;
    ++leftClickDepth_;
    handler();
    --leftClickDepth_;
}

// --- modal boxes ---

QWidget* QtToolkit::ownerForModal() const {
    QWidget* active = QApplication::activeWindow();
    for (const auto& [id, window] : windows_) {
        if (window.widget == active) return active;
    }
    return nullptr;
}

void QtToolkit::messageBox(const std::wstring& title, const std::wstring& text) {
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(text), QMessageBox::Ok,
                    ownerForModal());
    // The text is shown as it is: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::wstring QtToolkit::pickFolder(const std::wstring& prompt,
                                   const std::wstring& initialSelection) {
    QFileDialog dialog(ownerForModal(), toQString(prompt));
    // Qt's own dialog: the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowModality(Qt::ApplicationModal);
    const auto [folder, selected] = pickerStart(initialSelection);
    dialog.setDirectory(folder);
    if (!selected.isEmpty()) dialog.selectFile(selected);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return QDir::toNativeSeparators(QDir::cleanPath(chosen.first())).toStdWString();
}

// --- events ---

void QtToolkit::append(Event event) {
    events_.push_back(event);
}

void QtToolkit::appendTimerTick(int timerId) {
    // A tick is dropped while one of that timer is still waiting: none is made up for.
    const bool waiting = std::any_of(events_.begin(), events_.end(), [timerId](const Event& event) {
        return event.kind == EventKind::Timer && event.id == timerId;
    });
    if (!waiting) append({EventKind::Timer, timerId});
}

Event QtToolkit::waitEvent() {
    deleteRetiredWindows();
    while (events_.empty()) {
        // Without QApplication::exec() Qt runs objects' deleteLater() only when asked.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const Event event = events_.front();
    events_.pop_front();
    return event;
}

void QtToolkit::setProgramIcon(const unsigned char* data, std::size_t size) {
    if (!data || size == 0 || size > static_cast<std::size_t>(INT_MAX)) return;
    QPixmap icon;
    if (icon.loadFromData(data, static_cast<int>(size))) QApplication::setWindowIcon(QIcon(icon));
}

void QtToolkit::releaseAll() {
    std::vector<int> windowIds;
    for (const auto& [id, window] : windows_) windowIds.push_back(id);
    for (int id : windowIds) destroyWindow(id);
    fonts_.clear();
    images_.clear();
    deleteRetiredWindows();
}

}  // namespace platform::qt

namespace platform {

std::unique_ptr<Toolkit> createToolkit() {
    return std::make_unique<qt::QtToolkit>();
}

}  // namespace platform
