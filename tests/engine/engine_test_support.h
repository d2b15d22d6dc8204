// Small helpers of the engine tests: a fresh directory per test, file contents,
// and a run-ended signal that can be waited for.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "platform/files.h"

namespace enginetest {

namespace fs = std::filesystem;

inline constexpr std::int64_t mib = 1048576;

// A directory of its own under the system's temporary directory (or under `base`),
// removed afterwards.
class TemporaryDirectory {
public:
    TemporaryDirectory() : TemporaryDirectory(fs::temp_directory_path()) {}
    explicit TemporaryDirectory(const fs::path& base) {
        std::random_device entropy;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate =
                base / ("vellumite-engine-" + std::to_string(entropy()) + "-" +
                        std::to_string(attempt));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
    }
    ~TemporaryDirectory() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const fs::path& path() const { return path_; }
    bool valid() const { return !path_.empty(); }

private:
    fs::path path_;
};

// The directory as the program holds it: ending with the path separator.
inline std::wstring asOutputDirectory(const fs::path& directory) {
    return directory.wstring() + platform::pathSeparator();
}

inline std::vector<unsigned char> readBytes(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(stream),
                                      std::istreambuf_iterator<char>());
}

inline void writeBytes(const fs::path& file, const std::vector<unsigned char>& bytes) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
}

// The names in a directory, sorted.
inline std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool allBytesAre(const std::vector<unsigned char>& bytes, unsigned char value) {
    return std::all_of(bytes.begin(), bytes.end(), [value](unsigned char b) { return b == value; });
}

// Counts the worker's run-ended signals and lets a test wait for the first one.
class RunEndedRecorder {
public:
    RunEndedSignal signal() {
        return [this] {
            const std::lock_guard hold(mutex_);
            ++calls_;
            changed_.notify_all();
        };
    }
    int calls() {
        const std::lock_guard hold(mutex_);
        return calls_;
    }
    // Generous: only a hung worker ever reaches the deadline.
    bool waitForEnd(std::chrono::seconds deadline = std::chrono::seconds(120)) {
        std::unique_lock hold(mutex_);
        return changed_.wait_for(hold, deadline, [this] { return calls_ > 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int calls_ = 0;
};

// Sets the settings as startRun would, under jobLock.
inline void setJob(FillJob& job, std::int32_t sizePerFileMiB, std::int32_t fileCount,
                   FillType fillType, const std::wstring& outputDirectory) {
    const std::lock_guard hold(job.jobLock);
    job.sizePerFileMiB = sizePerFileMiB;
    job.fileCount = fileCount;
    job.fillType = fillType;
    job.outputDirectory = outputDirectory;
}

inline std::int32_t stopRequestedOf(FillJob& job) {
    const std::lock_guard hold(job.jobLock);
    return job.stopRequested;
}

}  // namespace enginetest
