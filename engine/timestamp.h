// The local time as the fill file names carry it.
#pragma once

#include <cstdint>

#include "platform/clock.h"

// Seconds from 1970-01-01 00:00:00 to the calendar value, both taken as plain
// calendar values (no time zone); -1 outside 1970-01-01 00:00:00 to
// 2038-01-19 03:14:07.
std::int32_t calendarToTimestamp(const platform::CalendarTime& time);

// calendarToTimestamp of the local clock now.
std::int32_t localTimestamp();
