// One measured fill run: either the program's own fill worker (the same engine and
// file layer as the program, started the same way, headless), or the reference of
// the same shape, one `dd if=/dev/zero bs=1M count=SIZE conv=fdatasync` per file.
// Prints one line of key=value figures for scripts/bench.
//
//   vellumite_fill_bench --writer ours|dd --pattern zero|one|random
//                        --files N --size MIB --dir DIR [--stop-at MIB]
//
// --stop-at requests a stop once that many MiB of the run are reported, as the STOP
// button does, and reports how long the run then took to end (ours only).
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "bench/bench_support.h"
#include "engine/fill_job.h"
#include "engine/fill_worker.h"
#include "platform/files.h"

extern char** environ;

namespace {

struct Options {
    std::string writer = "ours";
    std::string pattern = "zero";
    int files = 8;
    int sizeMiB = 256;
    std::string directory;
    int stopAtMiB = 0;
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--writer") options.writer = value;
        else if (key == "--pattern") options.pattern = value;
        else if (key == "--files") options.files = std::atoi(value.c_str());
        else if (key == "--size") options.sizeMiB = std::atoi(value.c_str());
        else if (key == "--dir") options.directory = value;
        else if (key == "--stop-at") options.stopAtMiB = std::atoi(value.c_str());
        else return false;
    }
    return (argc % 2) == 1 && !options.directory.empty() && options.files > 0 &&
           options.sizeMiB > 0 && (options.writer == "ours" || options.writer == "dd") &&
           (options.pattern == "zero" || options.pattern == "one" || options.pattern == "random");
}

struct Outcome {
    double seconds = 0;
    double cpuSeconds = 0;
    double stopSeconds = -1;
    bool ok = true;
};

// The fill worker on its own detached thread, as startRun starts it; the run has
// ended when it signals, as its last act, what would set the button to "GO".
Outcome runOurs(const Options& options) {
    FillJob job;
    {
        const std::lock_guard hold(job.jobLock);
        job.sizePerFileMiB = options.sizeMiB;
        job.fileCount = options.files;
        job.fillType = options.pattern == "zero"  ? FillType::AllZero
                       : options.pattern == "one" ? FillType::AllOne
                                                  : FillType::Random;
        job.outputDirectory =
            std::filesystem::path(options.directory).wstring() + platform::pathSeparator();
    }
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool ended = false;
    std::chrono::steady_clock::time_point endedAt;

    Outcome outcome;
    const double cpuBefore = bench::processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!startFillWorker(job, [&] {
            const std::lock_guard hold(mutex);
            endedAt = std::chrono::steady_clock::now();
            ended = true;
            endedChanged.notify_all();
        })) {
        outcome.ok = false;
        return outcome;
    }
    if (options.stopAtMiB > 0) {
        // Polls the progress as the status line does, only more often.
        for (;;) {
            const FillProgress progress = readProgress(job);
            const std::int64_t reported =
                static_cast<std::int64_t>(progress.currentFile > 0 ? progress.currentFile - 1 : 0) *
                    options.sizeMiB +
                progress.filledMiB;
            {
                const std::lock_guard hold(mutex);
                if (ended) break;
            }
            if (reported >= options.stopAtMiB) {
                const auto requested = std::chrono::steady_clock::now();
                requestStop(job);
                std::unique_lock hold(mutex);
                endedChanged.wait(hold, [&] { return ended; });
                outcome.stopSeconds = std::chrono::duration<double>(endedAt - requested).count();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::unique_lock hold(mutex);
    endedChanged.wait(hold, [&] { return ended; });
    outcome.seconds = std::chrono::duration<double>(endedAt - start).count();
    outcome.cpuSeconds = bench::processCpuSeconds() - cpuBefore;
    return outcome;
}

// One dd per file, one after the other; their CPU time comes from wait4.
Outcome runDd(const Options& options) {
    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    for (int index = 0; index < options.files; ++index) {
        const std::string output = "of=" + options.directory + "/dd" + std::to_string(index);
        const std::string count = "count=" + std::to_string(options.sizeMiB);
        const char* arguments[] = {"dd",       "if=/dev/zero",     output.c_str(), "bs=1M",
                                   count.c_str(), "conv=fdatasync", "status=none", nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, "dd", nullptr, nullptr, const_cast<char**>(arguments),
                         environ) != 0) {
            outcome.ok = false;
            return outcome;
        }
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            outcome.ok = false;
        }
        outcome.cpuSeconds += bench::toSeconds(usage.ru_utime) + bench::toSeconds(usage.ru_stime);
    }
    outcome.seconds = bench::secondsSince(start);
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s --writer ours|dd --pattern zero|one|random --files N --size MIB "
                     "--dir DIR [--stop-at MIB]\n",
                     argv[0]);
        return 2;
    }
    std::filesystem::create_directories(options.directory);

    bench::MemorySampler sampler(options.directory);
    Outcome outcome = options.writer == "ours" ? runOurs(options) : runDd(options);
    sampler.stop();
    if (options.writer == "ours") outcome.cpuSeconds -= sampler.ownCpuSeconds();
    if (!outcome.ok) {
        std::fprintf(stderr, "vellumite_fill_bench: the %s run failed\n", options.writer.c_str());
        return 1;
    }

    const double totalMiB = static_cast<double>(options.files) * options.sizeMiB;
    std::printf(
        "writer=%s pattern=%s mib=%.0f seconds=%.4f mibps=%.1f cpu_seconds=%.4f "
        "cpu_per_gib=%.4f baseline_mib=%.1f peak_mib=%.1f peak_over_baseline_mib=%.1f "
        "files_peak_mib=%.1f samples=%d stop_seconds=%.4f\n",
        options.writer.c_str(), options.pattern.c_str(), totalMiB, outcome.seconds,
        totalMiB / outcome.seconds, outcome.cpuSeconds, outcome.cpuSeconds / (totalMiB / 1024.0),
        sampler.baselineMiB(), sampler.peakMiB(), sampler.peakOverBaselineMiB(),
        sampler.filesPeakMiB(), sampler.samples(),
        outcome.stopSeconds);
    return 0;
}
