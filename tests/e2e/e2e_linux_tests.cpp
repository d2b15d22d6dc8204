// End-to-end: the program's controller on the main thread, on the offscreen
// platform, driven from a second thread the way a user would drive it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/fill_job.h"
#include "platform/toolkit.h"
#include "resources/stored_data.h"
#include "ui/app_controller.h"
#include "ui/identifiers.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

platform::Toolkit* theToolkit = nullptr;

// Runs f on the window thread and waits for it.
template <class F>
auto onGui(F f) -> decltype(f()) {
    using Result = decltype(f());
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = 60s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

// Window thread only. The toolkit names its windows "window-N", its controls "control-N".
QWidget* widgetNumbered(int id) {
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

QString textOf(int id) {
    return onGui([id] {
        QWidget* widget = widgetNumbered(id);
        if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
        if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
        return QStringLiteral("<no such control>");
    });
}

void typeInto(int id, const QString& text) {
    onGui([id, text] {
        auto* line = qobject_cast<QLineEdit*>(widgetNumbered(id));
        if (line) line->setText(text);
    });
}

void choosePattern(const QString& text) {
    onGui([text] {
        auto* combo = qobject_cast<QComboBox*>(widgetNumbered(ids::fillTypeList));
        if (combo) combo->setCurrentIndex(combo->findText(text));
    });
}

void pressStartButton() {
    onGui([] {
        if (auto* button = qobject_cast<QPushButton*>(widgetNumbered(ids::startButton))) {
            button->click();
        }
    });
}

void chooseMenuItem(const QString& itemText) {
    onGui([itemText] {
        for (QAction* action : widgetNumbered(ids::mainWindow)->findChildren<QAction*>()) {
            if (action->text() == itemText) {
                action->trigger();
                return;
            }
        }
    });
}

// The modal box on the screen: its title and text, or empty strings.
struct ModalBox {
    QString title;
    QString text;
};

ModalBox modalBox() {
    return onGui([] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box ? ModalBox{box->windowTitle(), box->text()} : ModalBox{};
    });
}

bool waitForBox(const QString& title) {
    return waitUntil([&] { return modalBox().title == title; });
}

void pressOkInBox() {
    onGui([] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Ok)->click();
        }
    });
}

bool mainWindowShown() {
    return onGui([] {
        QWidget* window = widgetNumbered(ids::mainWindow);
        return window != nullptr && window->isVisible();
    });
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<fs::path> fillFiles(const fs::path& directory) {
    std::vector<fs::path> files;
    if (!fs::is_directory(directory)) return files;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.path().filename().string().rfind("zero", 0) == 0) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A private home with a desktop, and a stand-in for the file manager that records
// the arguments it was started with.
class ProgramSession : public ::testing::Test {
protected:
    void SetUp() override {
        // The same folder in a death test's child process as in its parent.
        root_ = fs::path(std::getenv("VELLUMITE_E2E_ROOT")) /
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
        ::setenv("PATH", ((root_ / "bin").string() + ":" + originalPath()).c_str(), 1);
    }
    void TearDown() override { fs::remove_all(root_); }

    static std::string originalPath() {
        static const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        return path;
    }

    fs::path desktopFolder() const { return root_ / "home" / "Desktop" / "zeroes"; }

    std::vector<std::string> openedTargets() const {
        std::vector<std::string> lines;
        std::istringstream in(readFile(root_ / "opened.txt"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Runs the program's controller on this (the window) thread until the main
    // window is closed; `drive` acts as the user from a second thread and must
    // leave with the run finished. Answers the controller's exit code.
    int runProgram(const std::function<void()>& drive) {
        FillJob job;
        AppController controller(*theToolkit, job);
        std::thread driver([&] {
            dismissDisclaimer();
            drive();
            // Done: the user closes the main window.
            onGui([] { widgetNumbered(ids::mainWindow)->close(); });
        });
        const int exitCode = controller.run();
        driver.join();
        return exitCode;
    }

    static void dismissDisclaimer() {
        ASSERT_TRUE(waitForBox("DISCLAIMER"));
        EXPECT_FALSE(mainWindowShown()) << "the disclaimer comes before any window";
        const StoredBlock stored = disclaimerTextBlock();
        EXPECT_EQ(modalBox().text.toStdString(),
                  std::string(reinterpret_cast<const char*>(stored.data), stored.size));
        pressOkInBox();
        ASSERT_TRUE(waitUntil(mainWindowShown));
    }

    static bool waitForStatus(const QString& text) {
        return waitUntil([&] { return textOf(ids::statusLine) == text; });
    }
    static bool waitForButton(const QString& text) {
        return waitUntil([&] { return textOf(ids::startButton) == text; });
    }

    fs::path root_;
};

TEST_F(ProgramSession, FillsTheDefaultDirectoryAndStopsOnRequest) {
    const int exitCode = runProgram([&] {
        EXPECT_TRUE(waitForStatus("Idle"));
        EXPECT_EQ(textOf(ids::directoryLine).toStdString(),
                  "DIRECTORY: " + desktopFolder().string() + "/");

        // A first run: typed settings are parsed, the fields rewritten.
        typeInto(ids::sizeField, "  2x");
        typeInto(ids::countField, "3abc");
        choosePattern("ALL ONE");
        pressStartButton();
        EXPECT_TRUE(waitUntil([] { return textOf(ids::countField) == "3"; }));
        EXPECT_EQ(textOf(ids::sizeField), "2");
        EXPECT_TRUE(waitForButton("GO"));
        EXPECT_TRUE(waitForStatus("Current file: 3 :: Filled: 2MB"));

        const std::vector<fs::path> files = fillFiles(desktopFolder());
        ASSERT_EQ(files.size(), 3u);
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i].filename().string().rfind("zero" + std::to_string(i) + ".", 0), 0u);
            EXPECT_EQ(readFile(files[i]), std::string(2 * 1048576, '\xFF'));
        }
        EXPECT_EQ(openedTargets(), std::vector<std::string>{desktopFolder().string() + "/"});

        // A second, long run, stopped in the middle: only whole blocks stay.
        typeInto(ids::sizeField, "8");
        typeInto(ids::countField, "1000");
        choosePattern("ALL ZERO");
        pressStartButton();
        EXPECT_TRUE(waitForButton("STOP"));
        EXPECT_TRUE(waitUntil([] {
            const QString status = textOf(ids::statusLine);
            return status.startsWith("Current file: ") && status != "Current file: 3 :: Filled: 2MB";
        }));
        // Two presses that both reach the program before the worker's next report:
        // the second changes nothing.
        onGui([] {
            auto* button = qobject_cast<QPushButton*>(widgetNumbered(ids::startButton));
            button->click();
            button->click();
        });
        EXPECT_TRUE(waitForButton("GO"));
        // After the next ticks the status line keeps the run's last values.
        std::this_thread::sleep_for(500ms);
        const QString stoppedAt = textOf(ids::statusLine);
        std::this_thread::sleep_for(500ms);
        EXPECT_EQ(textOf(ids::statusLine), stoppedAt);
        const std::vector<fs::path> after = fillFiles(desktopFolder());
        EXPECT_LT(after.size(), 3u + 1000u);
        for (const fs::path& file : after) EXPECT_EQ(fs::file_size(file) % 1048576, 0u) << file;
        EXPECT_EQ(openedTargets().size(), 2u);
    });
    EXPECT_EQ(exitCode, 0);
}

TEST_F(ProgramSession, UnusableDirectoriesShowTheErrorBoxAndLeaveTheFieldsAlone) {
    // The default folder's name is taken by a file.
    std::ofstream(desktopFolder()) << "keep me";
    const int exitCode = runProgram([&] {
        typeInto(ids::sizeField, "  2x");
        for (int press = 0; press < 2; ++press) {
            pressStartButton();
            ASSERT_TRUE(waitForBox("ERROR"));
            EXPECT_EQ(modalBox().text,
                      "Cannot use or create the directory, or the specified name is a file");
            pressOkInBox();
            EXPECT_TRUE(waitUntil([] { return modalBox().title.isEmpty(); }));
            EXPECT_EQ(textOf(ids::sizeField), "  2x");
            EXPECT_EQ(textOf(ids::startButton), "GO");
        }
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(readFile(desktopFolder()), "keep me");
    EXPECT_TRUE(openedTargets().empty());
}

TEST_F(ProgramSession, DirectoryWhoseParentIsMissingIsNotCreated) {
    fs::remove_all(root_ / "home" / "Desktop");
    const int exitCode = runProgram([&] {
        pressStartButton();
        ASSERT_TRUE(waitForBox("ERROR"));
        pressOkInBox();
        EXPECT_TRUE(waitUntil([] { return modalBox().title.isEmpty(); }));
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(fs::exists(root_ / "home" / "Desktop"));
}

TEST_F(ProgramSession, OutputDirectoryChosenDuringARunTakesTheNextFiles) {
    const fs::path chosen = root_ / "chosen folder";
    fs::create_directories(chosen);
    const int exitCode = runProgram([&] {
        typeInto(ids::sizeField, "4");
        typeInto(ids::countField, "1000");
        pressStartButton();
        EXPECT_TRUE(waitForButton("STOP"));
        chooseMenuItem("Output Directory");
        ASSERT_TRUE(waitUntil([] {
            return onGui([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; });
        }));
        onGui([&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            // The user types the folder's path and confirms it.
            auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(nameEdit, nullptr);
            nameEdit->setText(QString::fromStdString(chosen.string()));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        EXPECT_TRUE(waitUntil([&] {
            return textOf(ids::directoryLine).toStdString() == "DIRECTORY: " + chosen.string() + "/";
        })) << textOf(ids::directoryLine).toStdString() << " / "
            << onGui([] {
                   auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                   return box ? box->text() : QString();
               }).toStdString();
        EXPECT_TRUE(waitUntil([&] { return !fillFiles(chosen).empty(); }));
        pressStartButton();
        EXPECT_TRUE(waitForButton("GO"));
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(fillFiles(desktopFolder()).empty());
}

// Closing the main window during a run ends the whole process at once with exit
// code 0; the file being written keeps only whole blocks.
TEST_F(ProgramSession, ClosingTheMainWindowDuringARunEndsTheProcessWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::thread driver([] {
                dismissDisclaimer();
                typeInto(ids::sizeField, "16");
                typeInto(ids::countField, "1000");
                pressStartButton();
                waitUntil([] { return textOf(ids::statusLine).startsWith("Current file: 1"); });
                onGui([] { widgetNumbered(ids::mainWindow)->close(); });
            });
            driver.detach();
            runProgramOn(*theToolkit);
        },
        ::testing::ExitedWithCode(0), "");
    const std::vector<fs::path> files = fillFiles(desktopFolder());
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        EXPECT_EQ(fs::file_size(file) % 1048576, 0u) << file;
        const std::string bytes = readFile(file);
        EXPECT_EQ(bytes.find_first_not_of('\0'), std::string::npos) << file;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("VELLUMITE_E2E_ROOT")) {
        const fs::path root =
            fs::temp_directory_path() / ("vellumite-e2e-" + std::to_string(::getpid()));
        ::setenv("VELLUMITE_E2E_ROOT", root.c_str(), 1);
    }
    std::unique_ptr<platform::Toolkit> toolkit = platform::createToolkit();
    theToolkit = toolkit.get();
    return RUN_ALL_TESTS();
}
