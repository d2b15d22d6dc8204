// File-system services: the fill file, and the path queries of the output directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The platform's path separator: L'\\' on Windows, L'/' elsewhere.
wchar_t pathSeparator();

// Whether paths have drive letters ("C:") and network forms ("\\server\share").
bool hasDrivePaths();

// One fill file, open for writing and shared with nobody. Closed (flushed to the
// medium first) by close() or by the destructor.
class FillFile {
public:
    FillFile() = default;
    ~FillFile();
    FillFile(const FillFile&) = delete;
    FillFile& operator=(const FillFile&) = delete;

    // Creates the file, or empties an existing one of that name. Closes a file
    // still open first. Never follows a symbolic link at the last component.
    bool createOrEmpty(const std::wstring& path);

    // Writes `size` bytes after those already written, continuing partial writes
    // until all are written or a real error occurs. Answers whether all were written;
    // when not, whatever part of them did reach the file is taken back where the file
    // allows it (a full volume), so that a file holds whole writes only.
    bool write(const void* data, std::size_t size);

    // Flushes to the medium and closes; nothing happens when no file is open.
    void close();

    bool isOpen() const { return handle_ != invalidHandle; }

private:
    static constexpr std::intptr_t invalidHandle = -1;
    std::intptr_t handle_ = invalidHandle;

    // Kept by the backends so that written data does not pile up in the system's
    // cache: a written byte is on its way to the medium, not waiting in memory.
    std::int64_t written_ = 0;    // bytes written since the file was created or emptied
    std::int64_t released_ = 0;   // POSIX: bytes waited for and dropped from the cache
    bool paced_ = false;          // the backend's bound on cached data applies
    std::wstring path_;           // Windows: for reopening the file with the cache
};

struct DirectoryEntry {
    bool isDirectory = false;
    std::int64_t size = 0;  // bytes, for a file
};

// Looks up the entry of that exact name (Windows: FindFirstFileW); nullopt when
// nothing of that name is found.
std::optional<DirectoryEntry> findEntry(const std::wstring& path);

// The entry's attributes (Windows: GetFileAttributesW): true for a directory,
// false for anything else, nullopt when they are not available.
std::optional<bool> attributesSayDirectory(const std::wstring& path);

// The platform's drive type of a root such as "C:\" (Windows: GetDriveTypeW);
// 0 (unknown) or 1 (no root directory) when there is no such drive. Platforms
// without drives answer 1.
int driveType(const std::wstring& root);

// Creates the one directory named by `path`, whose parent must exist.
bool makeDirectory(const std::wstring& path);

}  // namespace platform
