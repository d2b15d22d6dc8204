// The output directory's path rules on real paths: queryPathSize,
// makeDirectoryLevel, the picker's initial selection, the command line.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "outputdir/launch.h"
#include "outputdir/output_directory.h"
#include "platform/files.h"
#include "temp_directory.h"

namespace {

const std::wstring sep(1, platform::pathSeparator());

struct PathCase {
    const char* what;
    std::wstring path;
    std::int64_t expected;
};

class PathRules : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.ready());
        std::filesystem::create_directory(temp.path() / "folder");
        std::ofstream(temp.path() / "seven.bin", std::ios::binary) << "1234567";
        std::ofstream(temp.path() / "empty.bin", std::ios::binary);
    }
    std::wstring at(const std::wstring& relative) const { return temp.withSeparator() + relative; }

    TempDirectory temp;
};

TEST_F(PathRules, QueryPathSizeClassifiesRealPaths) {
    const std::vector<PathCase> cases = {
        {"empty text", L"", pathMissing},
        {"missing name", at(L"nothing-here"), pathMissing},
        {"missing name with separator", at(L"nothing-here") + sep, pathMissing},
        {"directory", at(L"folder"), pathIsDirectory},
        {"directory with separator", at(L"folder") + sep, pathIsDirectory},
        {"directory with several separators", at(L"folder") + sep + sep + sep, pathIsDirectory},
        {"directory with slash and backslash", at(L"folder") + L"\\/", pathIsDirectory},
        {"file gives its size", at(L"seven.bin"), 7},
        {"empty file gives 0", at(L"empty.bin"), 0},
        {"file with separator still gives its size", at(L"seven.bin") + sep, 7},
        {"the temporary directory itself", temp.withSeparator(), pathIsDirectory},
    };
    for (const PathCase& row : cases) {
        EXPECT_EQ(queryPathSize(row.path), row.expected) << row.what;
    }
}

TEST_F(PathRules, QueryPathSizeLooksAtTheFirst260CharactersOnly) {
    // With drive letters 260 characters name the folder; what follows them is never
    // looked at. Elsewhere the whole path is looked at.
    std::wstring folder = at(L"folder");
    std::wstring padded = folder;
    while (padded.size() < 260) padded += sep;
    ASSERT_EQ(padded.size(), 260u);
    EXPECT_EQ(queryPathSize(padded + L"missing-part"),
              platform::hasDrivePaths() ? pathIsDirectory : pathMissing);
}

#ifndef _WIN32
TEST(PathRulesPosix, RootIsADirectory) {
    for (const std::wstring root : {L"/", L"//", L"///"}) {
        EXPECT_EQ(queryPathSize(root), pathIsDirectory) << std::string(root.begin(), root.end());
    }
}
#endif

#ifdef _WIN32
// A drive letter that the platform says has no root directory.
std::wstring absentDriveLetter() {
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if (platform::driveType(root) == 1) return std::wstring(1, letter);  // no root directory
    }
    return {};
}

TEST_F(PathRules, DriveAndNetworkForms) {
    const std::wstring absent = absentDriveLetter();
    ASSERT_FALSE(absent.empty());
    const std::wstring parentOfWorkingDirectory =
        std::filesystem::current_path().parent_path().wstring();
    const std::vector<PathCase> cases = {
        {"drive C:", L"C:", pathIsDirectory},
        {"drive C:\\", L"C:\\", pathIsDirectory},
        {"absent drive", absent + L":", pathMissing},
        {"absent drive root", absent + L":\\", pathMissing},
        {"network path of no server", L"\\\\nonexistent\\share\\", pathMissing},
        {"network path with slashes", L"//nonexistent/share/", pathMissing},
        {"parent folder", L"..\\", pathIsDirectory},
        {"missing folder under the parent", L"..\\no-such-folder-here\\", pathMissing},
    };
    for (const PathCase& row : cases) {
        EXPECT_EQ(queryPathSize(row.path), row.expected) << row.what;
    }
}
#endif

TEST_F(PathRules, MakeDirectoryLevelCreatesOneLevelOnly) {
    EXPECT_TRUE(makeDirectoryLevel(at(L"new") + sep + sep));
    EXPECT_TRUE(std::filesystem::is_directory(temp.path() / "new"));

    EXPECT_FALSE(makeDirectoryLevel(at(L"absent") + sep + L"child" + sep));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "absent"));

    // An existing directory or file is not made again.
    EXPECT_FALSE(makeDirectoryLevel(at(L"folder") + sep));
    EXPECT_FALSE(makeDirectoryLevel(at(L"seven.bin") + sep));
    EXPECT_EQ(std::filesystem::file_size(temp.path() / "seven.bin"), 7u);
}

#ifndef _WIN32
// (Windows itself refuses directory paths this long.)
TEST_F(PathRules, MakeDirectoryLevelTakesALongPathWhole) {
    // Cut at 260 characters, it would create another folder than the one named.
    std::wstring padded = at(L"cut");
    while (padded.size() < 260) padded += L'x';
    EXPECT_TRUE(makeDirectoryLevel(padded + L"beyond" + sep));
    EXPECT_EQ(queryPathSize(padded), pathMissing);
    EXPECT_EQ(queryPathSize(padded + L"beyond"), pathIsDirectory);
}
#endif

struct TextCase {
    const char* what;
    std::wstring input;
    std::wstring expected;
};

TEST(PickerInitialSelection, DropsOneClosingSeparatorButKeepsRoots) {
    const std::wstring longName(300, L'a');
    std::vector<TextCase> cases = {
        {"one closing separator removed", sep + L"data" + sep + L"zeroes" + sep,
         sep + L"data" + sep + L"zeroes"},
        {"only one of two removed", sep + L"data" + sep + sep, sep + L"data" + sep},
        {"no closing separator", sep + L"data", sep + L"data"},
        {"relative default", L"zeroes" + sep, L"zeroes"},
        {"259 characters at most", longName, longName.substr(0, 259)},
        {"cut first, then the separator at 259 removed", std::wstring(258, L'b') + sep + L"tail",
         std::wstring(258, L'b')},
        {"empty", L"", L""},
    };
#ifdef _WIN32
    cases.push_back({"drive root keeps its backslash", L"C:\\", L"C:\\"});
    cases.push_back({"folder on a drive", L"D:\\data\\", L"D:\\data"});
#else
    cases.push_back({"root stays", L"/", L"/"});
    cases.push_back({"short folder", L"/a/", L"/a"});
#endif
    for (const TextCase& row : cases) {
        EXPECT_EQ(pickerInitialSelection(row.input), row.expected) << row.what;
    }
}

TEST(BuildCommandLine, QuotesTheTargetAndAppendsArguments) {
    const std::vector<std::pair<TextCase, std::wstring>> cases = {
        {{"plain target, no arguments", L"explorer.exe", L"\"explorer.exe\""}, L""},
        {{"target with space", L"C:\\Program Files\\a.exe", L"\"C:\\Program Files\\a.exe\" -x"},
         L"-x"},
        {{"file manager on a directory", L"explorer.exe",
          L"\"explorer.exe\" \"C:\\Users\\U\\Desktop\\zeroes\\\""},
         L"\"C:\\Users\\U\\Desktop\\zeroes\\\""},
        {{"already quoted target kept as it is", L"\"C:\\a b\\c.exe\" --flag",
          L"\"C:\\a b\\c.exe\" --flag two"},
         L"two"},
        {{"web address", L"https://example.org/", L"\"https://example.org/\""}, L""},
        {{"empty target", L"", L"\"\""}, L""},
    };
    for (const auto& [row, arguments] : cases) {
        EXPECT_EQ(buildCommandLine(row.input, arguments), row.expected) << row.what;
    }
}

}  // namespace
