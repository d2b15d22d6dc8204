#include "engine/timestamp.h"

namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned monthStart = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + monthStart;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) + (day - 1) - 719468;
}

}  // namespace

std::int32_t calendarToTimestamp(const platform::CalendarTime& time) {
    // The month chooses a row of the day count; any other field is plain arithmetic.
    if (time.month < 1 || time.month > 12) return -1;
    const std::int64_t days = daysFromCivil(time.year, static_cast<unsigned>(time.month), time.day);
    const std::int64_t seconds =
        days * 86400 + std::int64_t{time.hour} * 3600 + std::int64_t{time.minute} * 60 +
        std::int64_t{time.second};
    if (seconds < 0 || seconds > INT32_MAX) return -1;
    return static_cast<std::int32_t>(seconds);
}

std::int32_t localTimestamp() {
    return calendarToTimestamp(platform::localCalendarTime());
}
