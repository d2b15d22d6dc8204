// The local clock and the per-thread seed on POSIX.
#include "platform/clock.h"

#include <pthread.h>
#include <time.h>

#include <ctime>

namespace platform {

CalendarTime localCalendarTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return CalendarTime{};
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::uint64_t threadRandomSeed() {
    timespec monotonic{};
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    const std::uint64_t nanoseconds =
        static_cast<std::uint64_t>(monotonic.tv_sec) * 1000000000ULL +
        static_cast<std::uint64_t>(monotonic.tv_nsec);
    const auto threadIdentity = static_cast<std::uint64_t>(pthread_self());
    // splitmix64 of the combination, so that nearby inputs give unrelated seeds.
    std::uint64_t z = (threadIdentity ^ nanoseconds) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace platform
