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

// Unbuffered writes go from the block to the device without waiting in the system's
// cache, so a written MiB is on its way to the medium and a long fill does not crowd
// out what the user has cached. Their address, size and file position must be
// multiples of the sector size; 4096 covers the sector sizes in use.
constexpr std::uintptr_t unbufferedAlignment = 4096;
constexpr DWORD largestRequest = 0x40000000;  // a multiple of the alignment

bool fitsUnbuffered(const void* data, std::size_t size, std::int64_t position) {
    return reinterpret_cast<std::uintptr_t>(data) % unbufferedAlignment == 0 &&
           size % unbufferedAlignment == 0 &&
           static_cast<std::uint64_t>(position) % unbufferedAlignment == 0;
}

// The two attempts of fill file creation, with `flags` added to each.
HANDLE createFillFile(const std::wstring& path, DWORD flags) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // An existing file that the first call may not replace: hidden, or write-only.
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, flags,
                           nullptr);
    }
    return file;
}

// For a write that unbuffered I/O cannot take (the worker's blocks always fit): the
// file opened again, through the cache, at `position`. The file stays private to the
// program except for the moment between the two handles.
HANDLE reopenThroughTheCache(HANDLE unbuffered, const std::wstring& path, std::int64_t position) {
    CloseHandle(unbuffered);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    LARGE_INTEGER offset{};
    offset.QuadPart = position;
    if (!SetFilePointerEx(file, offset, nullptr, FILE_BEGIN)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

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
    HANDLE file = createFillFile(path, FILE_FLAG_NO_BUFFERING);
    paced_ = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
        file = createFillFile(path, 0);  // a file system that takes no unbuffered I/O
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    written_ = 0;
    path_ = path;
    return true;
}

bool FillFile::write(const void* data, std::size_t size) {
    if (!isOpen()) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    // Part of a write that did not fit (a full volume) is taken back, so that the
    // file holds whole writes, whole blocks, only.
    const std::int64_t writtenBefore = written_;
    const auto takeBackAndFail = [this, writtenBefore] {
        LARGE_INTEGER at{};
        at.QuadPart = writtenBefore;
        if (isOpen() && written_ > writtenBefore &&
            SetFilePointerEx(handleOf(handle_), at, nullptr, FILE_BEGIN) &&
            SetEndOfFile(handleOf(handle_))) {
            written_ = writtenBefore;
        }
        return false;
    };
    const auto leaveUnbuffered = [this] {
        const HANDLE file = reopenThroughTheCache(handleOf(handle_), path_, written_);
        handle_ = file == INVALID_HANDLE_VALUE ? invalidHandle : reinterpret_cast<std::intptr_t>(file);
        paced_ = false;
        return isOpen();
    };
    while (size > 0) {
        if (paced_ && !fitsUnbuffered(bytes, size, written_) && !leaveUnbuffered()) {
            return takeBackAndFail();
        }
        const DWORD request = size > largestRequest ? largestRequest : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handleOf(handle_), bytes, request, &written, nullptr)) {
            // The volume may want a larger alignment than the one assumed.
            if (paced_ && GetLastError() == ERROR_INVALID_PARAMETER) {
                if (!leaveUnbuffered()) return takeBackAndFail();
                continue;
            }
            return takeBackAndFail();
        }
        if (written == 0) return takeBackAndFail();  // no progress would loop for ever
        bytes += written;
        size -= written;
        written_ += written;
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
