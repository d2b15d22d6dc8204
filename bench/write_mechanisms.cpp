// The candidate ways of writing fill files, compared on bare descriptors with the
// worker's shape (1 MiB blocks, one write each, fdatasync at close): the figures
// behind the choice made in platform/posix/files.cpp. Not the program's code path;
// vellumite_fill_bench measures that.
//
//   vellumite_write_mechanisms --dir DIR [--files N] [--size MIB] [--rounds R]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/random_bytes.h"

namespace {

constexpr std::int64_t block = 1048576;

struct Mechanism {
    std::string name;
    bool direct = false;
    std::int64_t writeBehind = 0;  // MiB waited for behind the newest block; 0: none
    std::int64_t syncEvery = 0;    // MiB between fdatasync calls; 0: only at close
};

struct Figures {
    double mibps = 0;
    double cpuPerGib = 0;
    double peakOverBaselineMiB = 0;
    double filesPeakMiB = 0;
    double residentAfterMiB = 0;
};

bool writeFile(const Mechanism& mechanism, const std::string& path, int sizeMiB, bool random,
               unsigned char* buffer, RandomBytesGenerator& generator) {
    const int descriptor = ::open(path.c_str(),
                                  O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | (mechanism.direct ? O_DIRECT : 0),
                                  0644);
    if (descriptor < 0) return false;
    std::int64_t released = 0;
    for (std::int64_t written = 0; written < sizeMiB * block;) {
        if (random) generator.fill(chosenRandomBytesCode(), buffer, block);
        if (::write(descriptor, buffer, block) != block) {
            ::close(descriptor);
            return false;
        }
        written += block;
        if (mechanism.writeBehind > 0) {
            ::sync_file_range(descriptor, written - block, block, SYNC_FILE_RANGE_WRITE);
            const std::int64_t limit = mechanism.writeBehind * block;
            if (written - released > limit) {
                ::sync_file_range(descriptor, released, written - limit - released,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER);
                ::posix_fadvise(descriptor, released, written - limit - released,
                                POSIX_FADV_DONTNEED);
                released = written - limit;
            }
        } else if (mechanism.syncEvery > 0 && written - released >= mechanism.syncEvery * block) {
            ::fdatasync(descriptor);
            ::posix_fadvise(descriptor, released, written - released, POSIX_FADV_DONTNEED);
            released = written;
        }
    }
    ::fdatasync(descriptor);
    if (!mechanism.direct) ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    ::close(descriptor);
    return true;
}

Figures measure(const Mechanism& mechanism, const std::string& directory, int files, int sizeMiB,
                bool random, unsigned char* buffer, RandomBytesGenerator& generator) {
    std::filesystem::create_directories(directory);
    std::vector<std::string> paths;
    for (int index = 0; index < files; ++index) {
        paths.push_back(directory + "/m" + std::to_string(index));
    }
    Figures figures;
    bench::MemorySampler sampler(directory);
    const double cpuBefore = bench::processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (const auto& path : paths) {
        if (!writeFile(mechanism, path, sizeMiB, random, buffer, generator)) {
            std::fprintf(stderr, "%s: writing %s failed\n", mechanism.name.c_str(), path.c_str());
            std::exit(1);
        }
    }
    const double seconds = bench::secondsSince(start);
    sampler.stop();
    const double cpu = bench::processCpuSeconds() - cpuBefore - sampler.ownCpuSeconds();
    const double totalMiB = static_cast<double>(files) * sizeMiB;
    figures.mibps = totalMiB / seconds;
    figures.cpuPerGib = cpu / (totalMiB / 1024.0);
    figures.peakOverBaselineMiB = sampler.peakOverBaselineMiB();
    figures.filesPeakMiB = sampler.filesPeakMiB();
    for (const auto& path : paths) figures.residentAfterMiB += bench::residentBytes(path) / bench::mib;
    std::filesystem::remove_all(directory);
    ::sync();
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string directory;
    int files = 4;
    int sizeMiB = 256;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--dir") directory = argv[i + 1];
        else if (key == "--files") files = std::atoi(argv[i + 1]);
        else if (key == "--size") sizeMiB = std::atoi(argv[i + 1]);
        else if (key == "--rounds") rounds = std::atoi(argv[i + 1]);
    }
    if (directory.empty() || files <= 0 || sizeMiB <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: %s --dir DIR [--files N] [--size MIB] [--rounds R]\n", argv[0]);
        return 2;
    }

    const std::vector<Mechanism> mechanisms = {
        {"buffered, fdatasync at close (as dd)", false, 0, 0},
        {"O_DIRECT", true, 0, 0},
        {"write-behind 2 MiB", false, 2, 0},
        {"write-behind 4 MiB", false, 4, 0},
        {"write-behind 8 MiB", false, 8, 0},
        {"write-behind 16 MiB", false, 16, 0},
        {"fdatasync every 4 MiB", false, 0, 4},
    };
    auto* buffer = static_cast<unsigned char*>(::operator new(block, std::align_val_t{4096}));
    std::memset(buffer, 0, block);
    RandomBytesGenerator generator(2024);

    std::printf("%d files x %d MiB in %s, median of %d rounds\n", files, sizeMiB, directory.c_str(),
                rounds);
    std::printf("%-38s %-7s %7s %10s %17s %15s %13s\n", "mechanism", "pattern", "MiB/s",
                "CPU s/GiB", "dirty+wb peak MiB", "files peak MiB", "cached after");
    for (const bool random : {false, true}) {
        std::map<std::string, std::vector<Figures>> byMechanism;
        for (int round = 0; round < rounds; ++round) {
            for (const auto& mechanism : mechanisms) {
                byMechanism[mechanism.name].push_back(measure(
                    mechanism, directory + "/mechanisms", files, sizeMiB, random, buffer, generator));
            }
        }
        for (const auto& mechanism : mechanisms) {
            const auto& all = byMechanism[mechanism.name];
            auto pick = [&](double Figures::*field) {
                std::vector<double> values;
                for (const auto& figures : all) values.push_back(figures.*field);
                return median(values);
            };
            std::printf("%-38s %-7s %7.0f %10.3f %17.1f %15.1f %13.1f\n", mechanism.name.c_str(),
                        random ? "random" : "zero", pick(&Figures::mibps), pick(&Figures::cpuPerGib),
                        pick(&Figures::peakOverBaselineMiB), pick(&Figures::filesPeakMiB),
                        pick(&Figures::residentAfterMiB));
        }
    }
    ::operator delete(buffer, std::align_val_t{4096});
    return 0;
}
