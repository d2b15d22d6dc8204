// End-to-end: the program's controller on the main thread, on the offscreen
// platform, driven from a second thread the way a user would drive it.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/toolkit.h"
#include "resources/stored_data.h"
#include "tests/support/qt_program_driver.h"
#include "ui/app_controller.h"
#include "ui/identifiers.h"

namespace {

using namespace driver;

// The disclaimer comes before any window, with the stored text as it stands.
class EndToEnd : public ProgramSession {
protected:
    void whileDisclaimerShows() override { checkDisclaimer(); }

    static void checkDisclaimer() {
        EXPECT_FALSE(onGui([] {
            QWidget* window = widgetNumbered(ids::mainWindow);
            return window != nullptr && window->isVisible();
        })) << "the disclaimer comes before any window";
        const StoredBlock stored = disclaimerTextBlock();
        EXPECT_EQ(modalBoxText().toStdString(),
                  std::string(reinterpret_cast<const char*>(stored.data), stored.size));
    }

    static bool waitForStatus(const QString& text) {
        return waitUntil([&] { return textOf(ids::statusLine) == text; });
    }

    fs::path desktopFolder() const { return defaultFolder(); }
};

TEST_F(EndToEnd, FillsTheDefaultDirectoryAndStopsOnRequest) {
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

TEST_F(EndToEnd, UnusableDirectoriesShowTheErrorBoxAndLeaveTheFieldsAlone) {
    // The default folder's name is taken by a file.
    std::ofstream(desktopFolder()) << "keep me";
    const int exitCode = runProgram([&] {
        typeInto(ids::sizeField, "  2x");
        for (int press = 0; press < 2; ++press) {
            pressStartButton();
            ASSERT_TRUE(waitForBox("ERROR"));
            EXPECT_EQ(modalBoxText(),
                      "Cannot use or create the directory, or the specified name is a file");
            pressOkInBox();
            EXPECT_TRUE(waitUntil([] { return modalBoxTitle().isEmpty(); }));
            EXPECT_EQ(textOf(ids::sizeField), "  2x");
            EXPECT_EQ(textOf(ids::startButton), "GO");
        }
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(readFile(desktopFolder()), "keep me");
    EXPECT_TRUE(openedTargets().empty());
}

TEST_F(EndToEnd, DirectoryWhoseParentIsMissingIsNotCreated) {
    fs::remove_all(root_ / "home" / "Desktop");
    const int exitCode = runProgram([&] {
        pressStartButton();
        ASSERT_TRUE(waitForBox("ERROR"));
        pressOkInBox();
        EXPECT_TRUE(waitUntil([] { return modalBoxTitle().isEmpty(); }));
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(fs::exists(root_ / "home" / "Desktop"));
}

TEST_F(EndToEnd, OutputDirectoryChosenDuringARunTakesTheNextFiles) {
    const fs::path chosen = root_ / "chosen folder";
    fs::create_directories(chosen);
    const int exitCode = runProgram([&] {
        typeInto(ids::sizeField, "4");
        typeInto(ids::countField, "1000");
        pressStartButton();
        EXPECT_TRUE(waitForButton("STOP"));
        EXPECT_TRUE(chooseDirectoryFromMenu(chosen));
        EXPECT_TRUE(waitUntil([&] { return !fillFiles(chosen).empty(); }));
        pressStartButton();
        EXPECT_TRUE(waitForButton("GO"));
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(fillFiles(desktopFolder()).empty());
}

// Closing the main window during a run ends the whole process at once with exit
// code 0; the file being written keeps only whole blocks.
TEST_F(EndToEnd, ClosingTheMainWindowDuringARunEndsTheProcessWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::thread driver([] {
                if (!waitForBox("DISCLAIMER")) return;
                pressOkInBox();
                if (!waitUntil([] { return textOf(ids::statusLine) == "Idle"; })) return;
                typeInto(ids::sizeField, "16");
                typeInto(ids::countField, "1000");
                pressStartButton();
                waitUntil([] { return textOf(ids::statusLine).startsWith("Current file: 1"); });
                onGui([] { widgetNumbered(ids::mainWindow)->close(); });
            });
            driver.detach();
            runProgramOn(*theToolkit());
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
    std::unique_ptr<platform::Toolkit> toolkit = platform::createToolkit();
    theToolkit() = toolkit.get();
    return RUN_ALL_TESTS();
}
