// The default output directory (from the desktop folder) and the folder picker.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine/fill_job.h"
#include "outputdir/output_directory.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "scripted_toolkit.h"
#include "temp_directory.h"

namespace {

const std::wstring sep(1, platform::pathSeparator());

TEST(DefaultOutputDirectory, IsTheDesktopFolderAndZeroes) {
    const std::wstring desktop = platform::desktopFolderPath();
    if (!desktop.empty()) {
        EXPECT_EQ(desktop.back(), platform::pathSeparator());
    }
    EXPECT_EQ(defaultOutputDirectory(), desktop + L"zeroes" + sep);
#ifdef _WIN32
    EXPECT_FALSE(desktop.empty());
    EXPECT_EQ(desktop.find(L"\\\\"), std::wstring::npos);  // no doubled backslash
#endif
}

#ifndef _WIN32
// Sets or unsets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

struct DesktopCase {
    const char* what;
    bool customConfigHome;                    // XDG_CONFIG_HOME set, else $HOME/.config used
    std::optional<std::string> userDirsFile;  // contents; nullopt: no file
    std::wstring expected;                    // a leading "~" stands for the home folder
};

TEST(DesktopFolderPath, ReadsTheXdgDesktopDirectory) {
    const std::vector<DesktopCase> cases = {
        {"no user-dirs file", false, std::nullopt, L"~/Desktop/"},
        {"no user-dirs file in a custom folder", true, std::nullopt, L"~/Desktop/"},
        {"$HOME form", false, "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", L"~/Schreibtisch/"},
        {"$HOME form in XDG_CONFIG_HOME", true, "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", L"~/Bureau/"},
        {"absolute path taken as it is", false, "XDG_DESKTOP_DIR=\"/srv/desk\"\n", L"/srv/desk/"},
        {"closing slash not doubled", false, "XDG_DESKTOP_DIR=\"$HOME/D/\"\n", L"~/D/"},
        {"home itself", false, "XDG_DESKTOP_DIR=\"$HOME\"\n", L"~/"},
        {"comments, other keys, later line wins", false,
         "# XDG_DESKTOP_DIR=\"$HOME/commented\"\n"
         "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
         "XDG_DESKTOP_DIR=\"$HOME/first\"\n"
         "  XDG_DESKTOP_DIR=\"$HOME/with space \\\"and quote\\\"\"\n",
         L"~/with space \"and quote\"/"},
        {"relative value ignored", false, "XDG_DESKTOP_DIR=\"Desktop2\"\n", L"~/Desktop/"},
        {"unquoted value ignored", false, "XDG_DESKTOP_DIR=$HOME/bare\n", L"~/Desktop/"},
        {"unclosed quote ignored", false, "XDG_DESKTOP_DIR=\"$HOME/open\n", L"~/Desktop/"},
        {"non-ASCII folder name", false, "XDG_DESKTOP_DIR=\"$HOME/B\xC3\xBCro\"\n",
         L"~/B\u00FCro/"},
    };
    for (const DesktopCase& row : cases) {
        TempDirectory home;
        ASSERT_TRUE(home.ready());
        const std::string homeText = home.path().string();
        const std::string configDir = row.customConfigHome ? homeText + "/custom-config"
                                                           : homeText + "/.config";
        std::filesystem::create_directories(configDir);
        if (row.userDirsFile) std::ofstream(configDir + "/user-dirs.dirs") << *row.userDirsFile;
        if (row.customConfigHome) {
            // Not read: XDG_CONFIG_HOME takes the place of the default folder.
            std::filesystem::create_directories(homeText + "/.config");
            std::ofstream(homeText + "/.config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/decoy\"\n";
        }

        const ScopedEnvironment homeVariable("HOME", homeText);
        const ScopedEnvironment configVariable(
            "XDG_CONFIG_HOME",
            row.customConfigHome ? std::optional<std::string>(configDir) : std::nullopt);

        std::wstring expectedWide = row.expected;
        if (expectedWide.front() == L'~') expectedWide.replace(0, 1, wide(homeText));
        EXPECT_EQ(platform::desktopFolderPath(), expectedWide) << row.what;
        EXPECT_EQ(defaultOutputDirectory(), expectedWide + L"zeroes/") << row.what;
    }
}

TEST(DesktopFolderPath, RelativeConfigFolderIsNotTaken) {
    TempDirectory home;
    ASSERT_TRUE(home.ready());
    std::filesystem::create_directories(home.path() / ".config");
    std::ofstream(home.path() / ".config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Desk\"\n";
    const ScopedEnvironment homeVariable("HOME", home.path().string());
    const ScopedEnvironment configVariable("XDG_CONFIG_HOME", std::string("relative/config"));
    EXPECT_EQ(platform::desktopFolderPath(), wide(home.path().string()) + L"/Desk/");
}

TEST(DesktopFolderPath, WithoutHomeTheDefaultIsRelative) {
    const ScopedEnvironment homeVariable("HOME", std::nullopt);
    EXPECT_EQ(platform::desktopFolderPath(), L"");
    EXPECT_EQ(defaultOutputDirectory(), L"zeroes/");

    const ScopedEnvironment emptyHome("HOME", std::string());
    EXPECT_EQ(defaultOutputDirectory(), L"zeroes/");
}
#endif

// --- the folder picker ---

class ChooseOutputDirectory : public ::testing::Test {
protected:
    void SetUp() override { replaceOutputDirectory(job, start); }

    const std::wstring start = sep + L"data" + sep + L"zeroes" + sep;
    FillJob job;
    ScriptedToolkit toolkit;
};

TEST_F(ChooseOutputDirectory, OpensAtTheCurrentDirectoryWithThePrompt) {
    toolkit.pickerAnswer = L"";
    chooseOutputDirectory(toolkit, job);
    ASSERT_EQ(toolkit.pickerCalls.size(), 1u);
    EXPECT_EQ(toolkit.pickerCalls[0].first, L"Select output directory");
    EXPECT_EQ(toolkit.pickerCalls[0].second, sep + L"data" + sep + L"zeroes");
}

TEST_F(ChooseOutputDirectory, CancelLeavesTheDirectory) {
    toolkit.pickerAnswer = L"";
    EXPECT_FALSE(chooseOutputDirectory(toolkit, job));
    EXPECT_EQ(readOutputDirectory(job), start);
}

TEST_F(ChooseOutputDirectory, ChoiceGetsOneClosingSeparator) {
#ifdef _WIN32
    const std::wstring root = L"C:\\";
#else
    const std::wstring root = L"/";
#endif
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {sep + L"other", sep + L"other" + sep},
        {sep + L"other" + sep, sep + L"other" + sep},
        {root, root},
    };
    for (const auto& [answer, expected] : cases) {
        toolkit.pickerAnswer = answer;
        EXPECT_TRUE(chooseOutputDirectory(toolkit, job));
        EXPECT_EQ(readOutputDirectory(job), expected);
    }
    // The next picker opens at the root, unchanged.
    toolkit.pickerAnswer = L"";
    EXPECT_FALSE(chooseOutputDirectory(toolkit, job));
    EXPECT_EQ(toolkit.pickerCalls.back().second, root);
    EXPECT_EQ(readOutputDirectory(job), root);
}

}  // namespace
