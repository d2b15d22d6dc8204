// One Qt toolkit for the whole test program (it owns the one QApplication), its
// widgets found again by their object names, and an event wait that cannot hang.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "platform/toolkit.h"

namespace qt_test {

// A window that only the event guard uses: its close request means "nothing came".
inline constexpr int guardWindowId = 999;

// Made before the first test and released after the last (qt_toolkit_environment.cpp).
platform::Toolkit& toolkit();

inline QWidget* findWindow(int windowId) {
    const QString name = QStringLiteral("window-%1").arg(windowId);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name) return widget;
    }
    return nullptr;
}

template <class Widget = QWidget>
Widget* findControl(int controlId) {
    const QString name = QStringLiteral("control-%1").arg(controlId);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* found = window->findChild<Widget*>(name)) return found;
    }
    return nullptr;
}

// The next event, or the guard window's close request when none comes within
// the deadline (generous: it only stops a broken test from hanging).
inline platform::Event nextEvent(int deadlineMs = 10000) {
    if (!toolkit().windowExists(guardWindowId)) {
        platform::WindowSpec spec;
        spec.title = L"guard";
        spec.clientWidth = 10;
        spec.clientHeight = 10;
        spec.x = 700;
        spec.y = 500;
        toolkit().createWindow(guardWindowId, spec);
    }
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* window = findWindow(guardWindowId)) window->close();
    });
    guard.start(deadlineMs);
    return toolkit().waitEvent();
}

// Every test starts from no window and an empty queue.
class QtToolkitTest : public testing::Test {
protected:
    platform::Toolkit& kit = toolkit();

    void TearDown() override { kit.releaseAll(); }

    static platform::WindowSpec windowSpec(const wchar_t* title, int width, int height) {
        platform::WindowSpec spec;
        spec.title = title;
        spec.clientWidth = width;
        spec.clientHeight = height;
        spec.x = 100;
        spec.y = 100;
        return spec;
    }
};

}  // namespace qt_test

// Comparison and printing for gtest, found beside the types.
namespace platform {

inline bool operator==(const Event& a, const Event& b) {
    return a.kind == b.kind && a.id == b.id;
}

inline void PrintTo(const Event& event, std::ostream* out) {
    static const char* const kinds[] = {"Other", "Control", "Menu", "Timer", "CloseRequest"};
    *out << kinds[static_cast<int>(event.kind)] << "(" << event.id << ")";
}

inline bool operator==(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

inline void PrintTo(const Rect& rect, std::ostream* out) {
    *out << "{" << rect.x << ", " << rect.y << ", " << rect.width << " x " << rect.height << "}";
}

}  // namespace platform
