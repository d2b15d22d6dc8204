// What the benchmark programs share: the memory sampler, clocks for wall and CPU
// time, and the page-cache residency of files. Linux only.
#pragma once

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

inline constexpr double mib = 1048576.0;

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double toSeconds(const timeval& value) {
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

// User plus system time of every thread of this process so far.
inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

inline double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Dirty plus Writeback of /proc/meminfo, in MiB: written data that waits in memory
// for its medium, or is on its way there. Negative when it cannot be read.
inline double dirtyAndWritebackMiB() {
    const int descriptor = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -1;
    char text[8192];
    const ssize_t got = ::read(descriptor, text, sizeof text - 1);
    ::close(descriptor);
    if (got <= 0) return -1;
    text[got] = '\0';
    double kib = 0;
    for (const char* field : {"\nDirty:", "\nWriteback:"}) {
        const char* at = std::strstr(text, field);
        if (!at) return -1;
        kib += std::strtod(at + std::strlen(field), nullptr);
    }
    return kib / 1024.0;
}

// Bytes of the file held in the page cache now (as fincore counts them).
inline std::int64_t residentBytes(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -1;
    struct stat status{};
    std::int64_t resident = -1;
    if (::fstat(descriptor, &status) == 0) {
        resident = 0;
        if (status.st_size > 0) {
            const long page = ::sysconf(_SC_PAGESIZE);
            const auto length = static_cast<std::size_t>(status.st_size);
            void* map = ::mmap(nullptr, length, PROT_NONE, MAP_SHARED, descriptor, 0);
            if (map != MAP_FAILED) {
                std::vector<unsigned char> pages((length + page - 1) / page);
                if (::mincore(map, length, pages.data()) == 0) {
                    for (const unsigned char flags : pages) resident += (flags & 1) ? page : 0;
                }
                ::munmap(map, length);
            }
        }
    }
    ::close(descriptor);
    return resident;
}

// Bytes of the regular files directly in `directory` held in the page cache now.
inline std::int64_t residentBytesIn(const std::string& directory) {
    std::int64_t total = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (!entry.is_regular_file(error)) continue;
        const std::int64_t resident = residentBytes(entry.path().string());
        if (resident > 0) total += resident;
    }
    return total;
}

// Samples Dirty + Writeback every 10 ms on a thread of its own: the idle baseline
// (median of the samples before the run) and the peak during the run. These count
// every program's written data; the peak of the run's own files in the page cache
// (when a directory is given) counts only the fill data.
class MemorySampler {
public:
    // Takes the baseline over `idle` before returning, then samples until stop().
    explicit MemorySampler(std::string directory = {},
                           std::chrono::milliseconds idle = std::chrono::milliseconds(300))
        : directory_(std::move(directory)) {
        std::vector<double> idleSamples;
        const auto until = std::chrono::steady_clock::now() + idle;
        while (std::chrono::steady_clock::now() < until) {
            idleSamples.push_back(dirtyAndWritebackMiB());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::sort(idleSamples.begin(), idleSamples.end());
        baseline_ = idleSamples.empty() ? 0 : idleSamples[idleSamples.size() / 2];
        thread_ = std::thread([this] { sample(); });
    }
    ~MemorySampler() { stop(); }

    void stop() {
        if (!thread_.joinable()) return;
        running_ = false;
        thread_.join();
    }

    double baselineMiB() const { return baseline_; }
    double peakMiB() const { return peak_; }
    double peakOverBaselineMiB() const { return std::max(0.0, peak_ - baseline_); }
    double filesPeakMiB() const { return static_cast<double>(filesPeak_) / mib; }
    int samples() const { return samples_; }
    // CPU time the sampler itself used, to be taken off the process's.
    double ownCpuSeconds() const { return ownCpu_; }

private:
    void sample() {
        const double cpuAtStart = threadCpuSeconds();
        const auto takeSample = [this] {
            peak_ = std::max(peak_, dirtyAndWritebackMiB());
            if (!directory_.empty()) filesPeak_ = std::max(filesPeak_, residentBytesIn(directory_));
            ++samples_;
        };
        while (running_) {
            takeSample();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        takeSample();
        ownCpu_ = threadCpuSeconds() - cpuAtStart;
    }

    std::string directory_;
    double baseline_ = 0;
    double peak_ = 0;
    std::int64_t filesPeak_ = 0;
    int samples_ = 0;
    double ownCpu_ = 0;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

}  // namespace bench
