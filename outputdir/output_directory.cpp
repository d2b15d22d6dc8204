// The output directory: its default, the folder picker, the check-and-create
// step before a run, and the file-manager window opened on it.
#include "outputdir/output_directory.h"

#include <cstddef>

#include "outputdir/launch.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

// The classic path limit: the picker and, on drive-letter paths, the checks look at
// no more than this many characters. Elsewhere the checks take a longer path whole:
// cut short, it would name (and create) another folder than the files go to.
constexpr std::size_t classicPathLimit = 260;
std::size_t pathLimit() {
    return platform::hasDrivePaths() ? classicPathLimit : std::wstring::npos;
}

bool isSlashOrBackslash(wchar_t character) { return character == L'\\' || character == L'/'; }

// The path without its trailing slashes and backslashes. Where there are no
// drive paths, a path made only of slashes is the root "/" and stays that, or
// the root could never be named.
std::wstring withoutTrailingSeparators(std::wstring path) {
    const bool hadAny = !path.empty();
    while (!path.empty() && isSlashOrBackslash(path.back())) path.pop_back();
    if (path.empty() && hadAny && !platform::hasDrivePaths()) path = L"/";
    return path;
}

bool driveExists(const std::wstring& root) {
    const int type = platform::driveType(root);
    return type != 0 && type != 1;
}

bool beginsWithTwo(const std::wstring& path, wchar_t character) {
    return path.size() >= 2 && path[0] == character && path[1] == character;
}

}  // namespace

std::wstring defaultOutputDirectory() {
    return platform::desktopFolderPath() + L"zeroes" + platform::pathSeparator();
}

std::wstring pickerInitialSelection(const std::wstring& outputDirectory) {
    std::wstring selection = outputDirectory.substr(0, classicPathLimit - 1);
    // A root keeps its separator: "C:\" with drive letters, "/" without them.
    const std::size_t rootLength = platform::hasDrivePaths() ? 3 : 1;
    if (selection.size() > rootLength && selection.back() == platform::pathSeparator()) {
        selection.pop_back();
    }
    return selection;
}

bool chooseOutputDirectory(platform::Toolkit& toolkit, FillJob& job) {
    const std::wstring initial = pickerInitialSelection(readOutputDirectory(job));
    std::wstring chosen = toolkit.pickFolder(L"Select output directory", initial);
    if (chosen.empty()) return false;
    if (chosen.back() != platform::pathSeparator()) chosen += platform::pathSeparator();
    replaceOutputDirectory(job, chosen);
    return true;
}

std::int64_t queryPathSize(const std::wstring& fullPath) {
    if (fullPath.empty()) return pathMissing;
    const std::wstring path = fullPath.substr(0, pathLimit());
    const bool drivePaths = platform::hasDrivePaths();

    if (drivePaths && (path.size() == 2 || path.size() == 3) && path[1] == L':') {
        return driveExists(path.size() == 2 ? path + L'\\' : path) ? pathIsDirectory : pathMissing;
    }

    if (const auto entry = platform::findEntry(withoutTrailingSeparators(path))) {
        return entry->isDirectory ? pathIsDirectory : entry->size;
    }

    // A share root or a path from the parent folder may have no entry of its own
    // to find, and still be a directory.
    if (drivePaths &&
        (beginsWithTwo(path, L'\\') || beginsWithTwo(path, L'/') || beginsWithTwo(path, L'.'))) {
        if (const auto isDirectory = platform::attributesSayDirectory(path)) {
            return *isDirectory ? pathIsDirectory : pathMissing;
        }
        return driveExists(path) ? pathIsDirectory : pathMissing;
    }
    return pathMissing;
}

bool makeDirectoryLevel(const std::wstring& path) {
    return platform::makeDirectory(withoutTrailingSeparators(path.substr(0, pathLimit())));
}

bool prepareOutputDirectory(platform::Toolkit& toolkit, const std::wstring& directory) {
    if (queryPathSize(directory) == pathMissing) makeDirectoryLevel(directory);
    if (queryPathSize(directory) != pathIsDirectory) {
        showMessage(toolkit, L"ERROR",
                    L"Cannot use or create the directory, or the specified name is a file");
        return false;
    }
    launchExternal(platform::fileManagerProgram(), L"\"" + directory + L"\"", L"");
    return true;
}
