// The platform's path queries, directory creation and the fill file, on real files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/engine/engine_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using namespace enginetest;

class FilesTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(directory.valid()); }
    std::wstring pathOf(const std::string& name) const { return (directory.path() / name).wstring(); }

    TemporaryDirectory directory;
};

TEST_F(FilesTest, PathQueriesTellMissingFromDirectoryFromFile) {
    writeBytes(directory.path() / "five", {1, 2, 3, 4, 5});
    fs::create_directory(directory.path() / "folder");

    EXPECT_FALSE(platform::findEntry(pathOf("missing")).has_value());
    EXPECT_FALSE(platform::attributesSayDirectory(pathOf("missing")).has_value());
    EXPECT_FALSE(platform::findEntry(pathOf("missing") + platform::pathSeparator() + L"x"));

    const auto folder = platform::findEntry(pathOf("folder"));
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->isDirectory);
    EXPECT_EQ(platform::attributesSayDirectory(pathOf("folder")), std::optional<bool>(true));

    const auto file = platform::findEntry(pathOf("five"));
    ASSERT_TRUE(file.has_value());
    EXPECT_FALSE(file->isDirectory);
    EXPECT_EQ(file->size, 5);
    EXPECT_EQ(platform::attributesSayDirectory(pathOf("five")), std::optional<bool>(false));
}

TEST_F(FilesTest, MakeDirectoryCreatesOneLevelOnly) {
    EXPECT_TRUE(platform::makeDirectory(pathOf("new")));
    EXPECT_TRUE(fs::is_directory(directory.path() / "new"));
    EXPECT_FALSE(platform::makeDirectory(pathOf("new")));  // exists already
    const std::wstring twoLevels = pathOf("a") + platform::pathSeparator() + L"b";
    EXPECT_FALSE(platform::makeDirectory(twoLevels));
    EXPECT_FALSE(fs::exists(directory.path() / "a"));
}

TEST_F(FilesTest, FillFileWritesInOrderAndClosesBeforeTheNext) {
    platform::FillFile file;
    EXPECT_FALSE(file.isOpen());
    const unsigned char first[] = {'a', 'b', 'c'};
    EXPECT_FALSE(file.write(first, sizeof first));  // nothing open

    ASSERT_TRUE(file.createOrEmpty(pathOf("one")));
    EXPECT_TRUE(file.isOpen());
    std::vector<unsigned char> block(fillBlockSize, 0x5A);
    EXPECT_TRUE(file.write(first, sizeof first));
    EXPECT_TRUE(file.write(block.data(), block.size()));
    EXPECT_TRUE(file.write(first, 0));

    // Creating the next file lets go of the first one, complete.
    ASSERT_TRUE(file.createOrEmpty(pathOf("two")));
    auto one = readBytes(directory.path() / "one");
    ASSERT_EQ(one.size(), sizeof first + fillBlockSize);
    EXPECT_EQ(std::memcmp(one.data(), first, sizeof first), 0);
    EXPECT_TRUE(std::all_of(one.begin() + sizeof first, one.end(),
                            [](unsigned char b) { return b == 0x5A; }));

    EXPECT_TRUE(file.write(first, 2));
    file.close();
    EXPECT_FALSE(file.isOpen());
    file.close();  // twice is harmless
    EXPECT_EQ(readBytes(directory.path() / "two"), (std::vector<unsigned char>{'a', 'b'}));
}

TEST_F(FilesTest, FillFileEmptiesAnExistingFileAndFailsWithoutADirectory) {
    writeBytes(directory.path() / "old", std::vector<unsigned char>(5000, 0x11));
    {
        platform::FillFile file;
        ASSERT_TRUE(file.createOrEmpty(pathOf("old")));
        const unsigned char replacement[] = {0x22, 0x22};
        EXPECT_TRUE(file.write(replacement, sizeof replacement));
    }  // the destructor closes it
    EXPECT_EQ(readBytes(directory.path() / "old"), (std::vector<unsigned char>{0x22, 0x22}));

    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(pathOf("another")));
    const std::wstring inMissing =
        pathOf("missing") + platform::pathSeparator() + L"zero0.1736164800";
    EXPECT_FALSE(file.createOrEmpty(inMissing));
    EXPECT_FALSE(file.isOpen());  // the earlier file was closed all the same
    const unsigned char byte = 1;
    EXPECT_FALSE(file.write(&byte, 1));
    EXPECT_FALSE(fs::exists(directory.path() / "missing"));
}

#ifdef _WIN32

TEST_F(FilesTest, FillFileIsSharedWithNobodyWhileOpen) {
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(pathOf("private")));
    const std::wstring path = pathOf("private");
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    file.close();
    other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
}

TEST_F(FilesTest, FillFileTakesWritesThatUnbufferedIoCannotAndStaysPrivate) {
    // Blocks go to the device unbuffered; pieces of odd size or at odd positions
    // cannot, and must arrive all the same, in order, with nobody else let in.
    // Aligned to a page, as the worker's block is.
    alignas(4096) static unsigned char blockBytes[fillBlockSize];
    std::memset(blockBytes, 0x6B, sizeof blockBytes);
    const unsigned char odd[] = {1, 2, 3};
    const std::wstring path = pathOf("mixed");
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(path));
    EXPECT_TRUE(file.write(blockBytes, sizeof blockBytes));
    EXPECT_TRUE(file.write(odd, sizeof odd));
    EXPECT_TRUE(file.write(blockBytes, sizeof blockBytes));
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    file.close();

    const auto bytes = readBytes(directory.path() / "mixed");
    ASSERT_EQ(bytes.size(), 2 * fillBlockSize + sizeof odd);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + fillBlockSize,
                            [](unsigned char b) { return b == 0x6B; }));
    EXPECT_EQ(std::memcmp(bytes.data() + fillBlockSize, odd, sizeof odd), 0);
    EXPECT_TRUE(std::all_of(bytes.begin() + fillBlockSize + sizeof odd, bytes.end(),
                            [](unsigned char b) { return b == 0x6B; }));
}

TEST_F(FilesTest, FillFileEmptiesAHiddenFile) {
    writeBytes(directory.path() / "hidden", std::vector<unsigned char>(300, 0x33));
    ASSERT_TRUE(SetFileAttributesW(pathOf("hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(pathOf("hidden")));
    const unsigned char byte = 0x44;
    EXPECT_TRUE(file.write(&byte, 1));
    file.close();
    EXPECT_EQ(readBytes(directory.path() / "hidden"), (std::vector<unsigned char>{0x44}));
}

TEST_F(FilesTest, FindEntryTakesTheNameExactlyNotAsAPattern) {
    writeBytes(directory.path() / "abc", {1});
    EXPECT_FALSE(platform::findEntry(pathOf("a*")).has_value());
    EXPECT_FALSE(platform::findEntry(pathOf("ab?")).has_value());
    EXPECT_TRUE(platform::findEntry(pathOf("abc")).has_value());
}

TEST(WindowsDrives, DriveTypesComeFromTheSystem) {
    EXPECT_EQ(platform::pathSeparator(), L'\\');
    EXPECT_TRUE(platform::hasDrivePaths());
    EXPECT_EQ(platform::driveType(L"C:\\"), DRIVE_FIXED);
    // A letter without a drive: no root directory.
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if (GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        EXPECT_EQ(platform::driveType(root), DRIVE_NO_ROOT_DIR) << static_cast<char>(letter);
        break;
    }
}

#else

TEST(PosixPaths, HaveNoDrivesAndASlash) {
    EXPECT_EQ(platform::pathSeparator(), L'/');
    EXPECT_FALSE(platform::hasDrivePaths());
    EXPECT_EQ(platform::driveType(L"/"), 1);
}

TEST_F(FilesTest, WidePathsReachTheSystemAsUtf8) {
    const std::wstring name = L"f\u00FCll-\u6587-\U0001F600";
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(directory.path().wstring() + L"/" + name));
    file.close();
    EXPECT_EQ(namesIn(directory.path()),
              (std::vector<std::string>{"f\xC3\xBCll-\xE6\x96\x87-\xF0\x9F\x98\x80"}));
    EXPECT_TRUE(platform::makeDirectory(directory.path().wstring() + L"/\u00E9"));
    EXPECT_TRUE(fs::is_directory(directory.path() / "\xC3\xA9"));
    // A name with a zero character cannot be handed to the system as it is.
    EXPECT_FALSE(file.createOrEmpty(directory.path().wstring() + L"/a" + std::wstring(1, L'\0') + L"b"));
    EXPECT_FALSE(fs::exists(directory.path() / "a"));
}

TEST_F(FilesTest, ALinkToADirectoryCountsAsADirectory) {
    fs::create_directory(directory.path() / "target");
    fs::create_directory_symlink(directory.path() / "target", directory.path() / "link");
    const auto entry = platform::findEntry(pathOf("link"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->isDirectory);
    EXPECT_EQ(platform::attributesSayDirectory(pathOf("link")), std::optional<bool>(true));
    fs::create_symlink(directory.path() / "nowhere", directory.path() / "dangling");
    EXPECT_FALSE(platform::findEntry(pathOf("dangling")).has_value());
}

TEST_F(FilesTest, FillFileNeverFollowsALinkAtTheName) {
    TemporaryDirectory outside;
    ASSERT_TRUE(outside.valid());
    const std::vector<unsigned char> precious{'k', 'e', 'e', 'p'};
    writeBytes(outside.path() / "precious", precious);
    fs::create_symlink(outside.path() / "precious", directory.path() / "link");
    fs::create_symlink(outside.path() / "absent", directory.path() / "dangling");

    platform::FillFile file;
    EXPECT_FALSE(file.createOrEmpty(pathOf("link")));
    EXPECT_FALSE(file.createOrEmpty(pathOf("dangling")));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(readBytes(outside.path() / "precious"), precious);
    EXPECT_FALSE(fs::exists(outside.path() / "absent"));  // not created through the link
    EXPECT_TRUE(fs::is_symlink(directory.path() / "link"));
}

TEST_F(FilesTest, FillFileWriteStopsAtARealError) {
    // The device that is always full: every write fails at once with no space left.
    platform::FillFile file;
    ASSERT_TRUE(file.createOrEmpty(L"/dev/full"));
    std::vector<unsigned char> block(fillBlockSize, 0);
    EXPECT_FALSE(file.write(block.data(), block.size()));
}

#endif

}  // namespace
