// File-system services on Windows.
#include "platform/files.h"

#include <windows.h>

#include <memory>

namespace platform {

namespace {

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

struct FindRelease {
    void operator()(HANDLE find) const { FindClose(find); }
};

// The last component of a path holds wildcards, which no real name can contain.
bool lastComponentHasWildcards(const std::wstring& path) {
    const std::size_t lastSeparator = path.find_last_of(L"\\/");
    const std::size_t start = lastSeparator == std::wstring::npos ? 0 : lastSeparator + 1;
    return path.find_first_of(L"*?", start) != std::wstring::npos;
}

}  // namespace

wchar_t pathSeparator() { return L'\\'; }

bool hasDrivePaths() { return true; }

FillFile::~FillFile() { close(); }

bool FillFile::createOrEmpty(const std::wstring& path) {
    close();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // An existing file that the first call may not replace: hidden, or write-only.
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0,
                           nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool FillFile::write(const void* data, std::size_t size) {
    if (!isOpen()) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD request = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handleOf(handle_), bytes, request, &written, nullptr)) return false;
        if (written == 0) return false;  // no progress would loop for ever
        bytes += written;
        size -= written;
    }
    return true;
}

void FillFile::close() {
    if (!isOpen()) return;
    const HANDLE file = handleOf(handle_);
    handle_ = invalidHandle;
    // The data reaches the medium before the file is let go; failures change nothing.
    FlushFileBuffers(file);
    CloseHandle(file);
}

std::optional<DirectoryEntry> findEntry(const std::wstring& path) {
    if (lastComponentHasWildcards(path)) return std::nullopt;
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::unique_ptr<void, FindRelease> release(find);
    DirectoryEntry entry;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
    return entry;
}

std::optional<bool> attributesSayDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int driveType(const std::wstring& root) {
    return static_cast<int>(GetDriveTypeW(root.c_str()));
}

bool makeDirectory(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) != 0;
}

}  // namespace platform
