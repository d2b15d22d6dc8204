// The local clock, as plain calendar values.
#pragma once

#include <cstdint>

namespace platform {

struct CalendarTime {
    int year = 1970;   // e.g. 2025
    int month = 1;     // 1..12
    int day = 1;       // 1..31
    int hour = 0;      // 0..23
    int minute = 0;    // 0..59
    int second = 0;    // 0..59
};

// The local date and time, one-second resolution (Windows: GetLocalTime).
CalendarTime localCalendarTime();

// A value that differs from thread to thread and from run to run, for seeding a
// per-thread pseudo-random generator (Windows: thread id XOR tick count).
std::uint64_t threadRandomSeed();

}  // namespace platform
