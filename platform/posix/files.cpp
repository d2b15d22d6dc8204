// File-system services on POSIX: paths are wide text, handed to the system as UTF-8.
#include "platform/files.h"

#include "platform/posix/utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace platform {

namespace {

// The system's name of a path; false for one it cannot name (an embedded zero).
bool utf8Path(const std::wstring& path, std::string& utf8) { return posix::toUtf8(path, utf8); }

int openRetryingInterrupts(const char* path, int flags, mode_t mode) {
    int descriptor = -1;
    do {
        descriptor = ::open(path, flags, mode);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// How much written data of a fill file may wait in the system's cache for the medium,
// beyond the block being written. The device queue stays full, while a stop waits for
// only a few blocks even on a slow stick and a long fill does not crowd the cache.
constexpr std::int64_t writeBehindLimit = 4 * 1048576;

#ifdef __linux__
// Cleared when the system has no sync_file_range (it answers ENOSYS); the bound is
// then kept with fdatasync.
std::atomic<bool> rangeWritebackWorks{true};
#endif

// Starts the writing out of the bytes [from, to) just written.
void startWriteback([[maybe_unused]] int descriptor, [[maybe_unused]] std::int64_t from,
                    [[maybe_unused]] std::int64_t to) {
#ifdef __linux__
    if (!rangeWritebackWorks.load(std::memory_order_relaxed)) return;
    if (::sync_file_range(descriptor, from, to - from, SYNC_FILE_RANGE_WRITE) != 0 &&
        errno == ENOSYS) {
        rangeWritebackWorks.store(false, std::memory_order_relaxed);
    }
#endif
}

// Waits until the bytes [from, to) are on the medium, without waiting for later ones
// where the system allows it; answers up to where the file is written out.
std::int64_t waitForWriteback(int descriptor, std::int64_t from, std::int64_t to,
                              std::int64_t written) {
#ifdef __linux__
    if (rangeWritebackWorks.load(std::memory_order_relaxed) &&
        ::sync_file_range(descriptor, from, to - from,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER) == 0) {
        return to;
    }
#endif
    ::fdatasync(descriptor);
    return written;
}

// After a write of the bytes [writtenBefore, written): starts writing them out, and
// waits for whatever lies further back than writeBehindLimit, then lets go of it: once
// on the medium, the cache has no reason to keep it. `released` is where that ends.
void paceWriteback(int descriptor, std::int64_t writtenBefore, std::int64_t written,
                   std::int64_t& released) {
    startWriteback(descriptor, writtenBefore, written);
    if (written - released <= writeBehindLimit) return;
    const std::int64_t settled =
        waitForWriteback(descriptor, released, written - writeBehindLimit, written);
    ::posix_fadvise(descriptor, released, settled - released, POSIX_FADV_DONTNEED);
    released = settled;
}

std::optional<struct stat> statOf(const std::wstring& path) {
    std::string utf8;
    struct stat status{};
    if (!utf8Path(path, utf8) || ::stat(utf8.c_str(), &status) != 0) return std::nullopt;
    return status;
}

}  // namespace

wchar_t pathSeparator() { return L'/'; }

bool hasDrivePaths() { return false; }

FillFile::~FillFile() { close(); }

bool FillFile::createOrEmpty(const std::wstring& path) {
    close();
    std::string utf8;
    if (!utf8Path(path, utf8)) return false;
    // O_NOFOLLOW: a symbolic link planted at the name fails like an uncreatable file,
    // and whatever it points to stays untouched.
    int descriptor = openRetryingInterrupts(
        utf8.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != ELOOP) {
        // An existing file that may be written but not read.
        descriptor = openRetryingInterrupts(utf8.c_str(),
                                            O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0);
    }
    if (descriptor < 0) return false;
    handle_ = descriptor;
    written_ = 0;
    released_ = 0;
    // Only a regular file's data stays in the cache; pipes and devices go as they are.
    struct stat status{};
    paced_ = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    return true;
}

bool FillFile::write(const void* data, std::size_t size) {
    if (!isOpen()) return false;
    const auto descriptor = static_cast<int>(handle_);
    const auto* bytes = static_cast<const unsigned char*>(data);
    const std::int64_t writtenBefore = written_;
    bool allWritten = true;
    while (size > 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            allWritten = false;
            break;
        }
        if (written == 0) {  // no progress would loop for ever
            allWritten = false;
            break;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        written_ += written;
    }
    if (!allWritten && written_ > writtenBefore &&
        ::ftruncate(descriptor, writtenBefore) == 0 &&
        ::lseek(descriptor, writtenBefore, SEEK_SET) == writtenBefore) {
        // Part of a write that did not fit (a full volume, a file size limit) is taken
        // back, so that the file holds whole writes, whole blocks, only.
        written_ = writtenBefore;
    }
    if (paced_ && written_ > writtenBefore) {
        paceWriteback(descriptor, writtenBefore, written_, released_);
    }
    return allWritten;
}

void FillFile::close() {
    if (!isOpen()) return;
    const auto descriptor = static_cast<int>(handle_);
    handle_ = invalidHandle;
    // The data reaches the medium before the file is let go; failures change nothing.
    ::fdatasync(descriptor);
    if (paced_) ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    ::close(descriptor);  // not retried: on Linux the descriptor is gone even after EINTR
}

std::optional<DirectoryEntry> findEntry(const std::wstring& path) {
    const auto status = statOf(path);
    if (!status) return std::nullopt;
    DirectoryEntry entry;
    entry.isDirectory = S_ISDIR(status->st_mode);
    entry.size = entry.isDirectory ? 0 : static_cast<std::int64_t>(status->st_size);
    return entry;
}

std::optional<bool> attributesSayDirectory(const std::wstring& path) {
    const auto status = statOf(path);
    if (!status) return std::nullopt;
    return S_ISDIR(status->st_mode);
}

int driveType(const std::wstring&) { return 1; }

bool makeDirectory(const std::wstring& path) {
    std::string utf8;
    return utf8Path(path, utf8) && ::mkdir(utf8.c_str(), 0777) == 0;
}

}  // namespace platform
