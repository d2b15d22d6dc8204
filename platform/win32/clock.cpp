// The local clock and the per-thread seed on Windows.
#include "platform/clock.h"

#include <windows.h>

namespace platform {

CalendarTime localCalendarTime() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return CalendarTime{local.wYear, local.wMonth,  local.wDay,
                        local.wHour, local.wMinute, local.wSecond};
}

std::uint64_t threadRandomSeed() {
    const std::uint64_t seed = GetCurrentThreadId() ^ GetTickCount();
    // A thread id can come back within the same tick; the performance counter keeps
    // two such threads apart.
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return seed ^ (static_cast<std::uint64_t>(counter.QuadPart) << 32);
}

}  // namespace platform
