// The program's controller on the main thread (Qt offscreen), driven from a second
// thread the way a user drives it; and mounts of small file systems for the tests.
// Shared by the end-to-end and the reliability tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/fill_job.h"
#include "platform/toolkit.h"
#include "ui/app_controller.h"
#include "ui/identifiers.h"

namespace driver {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline platform::Toolkit*& theToolkit() {
    static platform::Toolkit* toolkit = nullptr;
    return toolkit;
}

// Runs f on the window thread and waits for it. The hand-over goes through a
// std::promise rather than Qt's blocking call, so that ThreadSanitizer, which does
// not see inside Qt, sees it too.
template <class F>
auto onGui(F f) -> decltype(f()) {
    using Result = decltype(f());
    std::promise<Result> done;
    std::future<Result> result = done.get_future();
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            if constexpr (std::is_void_v<Result>) {
                f();
                done.set_value();
            } else {
                done.set_value(f());
            }
        },
        Qt::QueuedConnection);
    return result.get();
}

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = 60s,
                      std::chrono::milliseconds poll = 10ms) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(poll);
    }
    return condition();
}

// Window thread only. The toolkit names its windows "window-N", its controls "control-N".
inline QWidget* widgetNumbered(int id) {
    const QString name =
        QStringLiteral("%1-%2").arg(id == ids::mainWindow || id == ids::helpWindow
                                        ? QStringLiteral("window")
                                        : QStringLiteral("control"))
            .arg(id);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name) return top;
        if (auto* found = top->findChild<QWidget*>(name)) return found;
    }
    return nullptr;
}

inline QString textOnGui(int id) {
    QWidget* widget = widgetNumbered(id);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return QStringLiteral("<no such control>");
}

inline QString textOf(int id) {
    return onGui([id] { return textOnGui(id); });
}

inline void typeInto(int id, const QString& text) {
    onGui([id, text] {
        if (auto* line = qobject_cast<QLineEdit*>(widgetNumbered(id))) line->setText(text);
    });
}

inline void choosePattern(const QString& text) {
    onGui([text] {
        auto* combo = qobject_cast<QComboBox*>(widgetNumbered(ids::fillTypeList));
        if (combo) combo->setCurrentIndex(combo->findText(text));
    });
}

inline void pressStartButton() {
    onGui([] {
        if (auto* button = qobject_cast<QPushButton*>(widgetNumbered(ids::startButton))) {
            button->click();
        }
    });
}

// A press on "STOP" only: looked at and pressed in one go on the window thread, so a
// run that has just ended is never started anew by it. Answers whether it pressed.
inline bool pressStopIfRunning() {
    return onGui([] {
        auto* button = qobject_cast<QPushButton*>(widgetNumbered(ids::startButton));
        if (button == nullptr || button->text() != QStringLiteral("STOP")) return false;
        button->click();
        return true;
    });
}

inline QString modalBoxTitle() {
    return onGui([] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box ? box->windowTitle() : QString();
    });
}

inline QString modalBoxText() {
    return onGui([] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box ? box->text() : QString();
    });
}

inline void pressOkInBox() {
    onGui([] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Ok)->click();
        }
    });
}

inline bool waitForBox(const QString& title) {
    return waitUntil([&] { return modalBoxTitle() == title; });
}

inline bool waitForButton(const QString& text) {
    return waitUntil([&] { return textOf(ids::startButton) == text; }, 120s, 2ms);
}

// Chooses `folder` with the menu's folder picker, typed into its name field.
inline bool chooseDirectoryFromMenu(const fs::path& folder) {
    onGui([] {
        for (QAction* action : widgetNumbered(ids::mainWindow)->findChildren<QAction*>()) {
            if (action->text() == QStringLiteral("Output Directory")) {
                action->trigger();
                return;
            }
        }
    });
    if (!waitUntil([] {
            return onGui([] {
                return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr;
            });
        })) {
        return false;
    }
    const bool typed = onGui([&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* nameEdit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (nameEdit == nullptr) return false;
        nameEdit->setText(QString::fromStdString(folder.string()));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return true;
    });
    return typed && waitUntil([&] {
               return textOf(ids::directoryLine).toStdString() ==
                      "DIRECTORY: " + folder.string() + "/";
           });
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline std::vector<fs::path> fillFiles(const fs::path& directory) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.path().filename().string().rfind("zero", 0) == 0) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every name under a folder with its size (-1 for a folder): what "nothing on disk
// changed" is compared by.
inline std::map<std::string, std::intmax_t> diskSnapshot(const fs::path& root) {
    std::map<std::string, std::intmax_t> snapshot;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const bool isDirectory = it->is_directory(error);
        snapshot[it->path().string()] =
            isDirectory ? -1 : static_cast<std::intmax_t>(it->file_size(error));
    }
    return snapshot;
}

inline bool ciRequiresEverything() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// A tmpfs of its own at a folder, unmounted when the test ends.
class SmallFileSystem {
public:
    // `options` as for mount(8) -o, such as "size=8m" or "ro".
    bool mountAt(const fs::path& folder, const std::string& options) {
        fs::create_directories(folder);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
        mounted_.push_back(folder);
        return true;
    }
    bool remount(const fs::path& folder, const std::string& options) {
        return ::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
    }

private:
    std::vector<fs::path> mounted_;
};

// Skips where a tmpfs cannot be mounted (no privilege), fails instead under CI.
#define REQUIRE_SMALL_FILE_SYSTEM(mounted)                                              \
    do {                                                                                \
        if (!(mounted)) {                                                               \
            if (::driver::ciRequiresEverything()) {                                \
                FAIL() << "cannot mount a tmpfs here, and CI=true allows no skip";      \
            }                                                                           \
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root); not tested";       \
        }                                                                               \
    } while (0)

// A private home with a desktop, and a stand-in for the file manager that records
// the arguments it was started with, one per line.
class ProgramSession : public ::testing::Test {
protected:
    void SetUp() override {
        // Named after the first process, so that a death test's child, which
        // inherits the environment, works in its parent's folder.
        if (std::getenv("VELLUMITE_SESSION_ROOT") == nullptr) {
            const fs::path base =
                fs::temp_directory_path() / ("vellumite-session-" + std::to_string(::getpid()));
            ::setenv("VELLUMITE_SESSION_ROOT", base.c_str(), 1);
        }
        root_ = fs::path(std::getenv("VELLUMITE_SESSION_ROOT")) /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root_);
        fs::create_directories(root_ / "home" / "Desktop");
        fs::create_directories(root_ / "bin");
        const fs::path standIn = root_ / "bin" / "xdg-open";
        std::ofstream(standIn) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '"
                               << (root_ / "opened.txt").string() << "'\n";
        fs::permissions(standIn, fs::perms::owner_all);
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        static const std::string originalPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        ::setenv("PATH", ((root_ / "bin").string() + ":" + originalPath).c_str(), 1);
    }
    void TearDown() override {
        mounts_.reset();
        std::error_code error;
        fs::permissions(root_ / "home" / "Desktop", fs::perms::owner_all, error);
        fs::remove_all(root_.parent_path(), error);
    }

    fs::path desktop() const { return root_ / "home" / "Desktop"; }
    fs::path defaultFolder() const { return desktop() / "zeroes"; }

    std::vector<std::string> openedTargets() const {
        std::vector<std::string> lines;
        std::istringstream in(readFile(root_ / "opened.txt"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Runs the controller on this (the window) thread until the main window is
    // closed; `drive` acts as the user from a second thread. Answers the exit code.
    int runProgram(const std::function<void()>& drive) {
        FillJob job;
        AppController controller(*theToolkit(), job);
        std::thread driver([&] {
            if (waitForBox("DISCLAIMER")) {
                whileDisclaimerShows();
                pressOkInBox();
                if (waitUntil([] { return onGui([] {
                        QWidget* window = widgetNumbered(ids::mainWindow);
                        return window != nullptr && window->isVisible();
                    }); })) {
                    drive();
                } else {
                    ADD_FAILURE() << "the main window never came";
                }
            } else {
                ADD_FAILURE() << "the disclaimer never came";
            }
            // The user closes the main window; a box still open is closed first.
            while (!modalBoxTitle().isEmpty()) pressOkInBox();
            onGui([] { widgetNumbered(ids::mainWindow)->close(); });
        });
        const int exitCode = controller.run();
        driver.join();
        return exitCode;
    }

    // Looks at the start-up disclaimer before the user closes it.
    virtual void whileDisclaimerShows() {}

    std::unique_ptr<SmallFileSystem> mounts_ = std::make_unique<SmallFileSystem>();
    fs::path root_;
};

}  // namespace driver
