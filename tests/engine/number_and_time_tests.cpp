// The number rule of the size and count fields, the decimal form, the timestamp of
// the fill file names and the pattern texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "engine/fill_job.h"
#include "engine/parse_number.h"
#include "engine/timestamp.h"
#include "platform/text.h"

namespace {

struct ParseCase {
    const wchar_t* text;
    std::int64_t value;
    std::int32_t low32;
};

TEST(ParseNumber, FollowsTheFieldRule) {
    const ParseCase cases[] = {
        {L"100", 100, 100},
        {L"  12abc", 12, 12},
        {L"+7", 7, 7},
        {L"-5", -5, -5},
        {L"- 5", 0, 0},  // no blanks after the sign
        {L"$1F", 31, 31},
        {L"$ff", 255, 255},
        {L"$fFz", 255, 255},
        {L"-$10", -16, -16},
        {L"%101", 5, 5},
        {L"%2", 0, 0},  // 2 is no base-2 digit
        {L"%1012", 5, 5},
        {L"abc", 0, 0},
        {L"", 0, 0},
        {L"   ", 0, 0},
        {L"-", 0, 0},
        {L"$", 0, 0},
        {L"--5", 0, 0},
        {L"+-5", 0, 0},
        {L"\t\t 42", 42, 42},
        {L" \t-9x", -9, -9},
        {L"12 34", 12, 12},
        {L"0012", 12, 12},
        {L"1F", 1, 1},  // hexadecimal only after "$"
        {L"4294967396", 4294967396LL, 100},
        {L"2147483648", 2147483648LL, std::numeric_limits<std::int32_t>::min()},
        {L"-2147483649", -2147483649LL, std::numeric_limits<std::int32_t>::max()},
        {L"9223372036854775807", std::numeric_limits<std::int64_t>::max(), -1},
        {L"9223372036854775808", std::numeric_limits<std::int64_t>::min(), 0},
        {L"-9223372036854775808", std::numeric_limits<std::int64_t>::min(), 0},
        // 2^64 + 5 and 10^20: the accumulation wraps around modulo 2^64.
        {L"18446744073709551621", 5, 5},
        {L"100000000000000000000", 7766279631452241920LL, 1661992960},
        {L"$FFFFFFFFFFFFFFFF", -1, -1},
        {L"$10000000000000064", 100, 100},
        {L"-$FFFFFFFFFFFFFFFF", 1, 1},
        {L"%11111111111111111111111111111111", 4294967295LL, -1},
        {L"\u0661\u0662", 0, 0},  // other scripts' digits are not digits here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text \"" << std::wstring(c.text) << "\"");
        const std::int64_t value = parseNumber(c.text);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(low32Bits(value), c.low32);
    }
}

TEST(DecimalText, WritesBaseTenWithALeadingMinusOnly) {
    const struct {
        std::int64_t value;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},
        {7, L"7"},
        {100, L"100"},
        {-1, L"-1"},
        {-2147483648LL, L"-2147483648"},
        {1736164800, L"1736164800"},
        {std::numeric_limits<std::int64_t>::max(), L"9223372036854775807"},
        {std::numeric_limits<std::int64_t>::min(), L"-9223372036854775808"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decimalText(c.value), c.text) << c.value;
        EXPECT_EQ(parseNumber(decimalText(c.value)), c.value);  // the field rewrite is stable
    }
}

TEST(CalendarToTimestamp, CountsPlainCalendarSecondsWithinItsRange) {
    const struct {
        platform::CalendarTime time;
        std::int32_t seconds;
    } cases[] = {
        {{1970, 1, 1, 0, 0, 0}, 0},
        {{1970, 1, 1, 0, 0, 1}, 1},
        {{1969, 12, 31, 23, 59, 59}, -1},
        {{2038, 1, 19, 3, 14, 7}, 2147483647},
        {{2038, 1, 19, 3, 14, 8}, -1},
        {{2100, 1, 1, 0, 0, 0}, -1},
        {{1601, 1, 1, 0, 0, 0}, -1},
        {{2025, 1, 6, 12, 0, 0}, 1736164800},
        {{2024, 2, 29, 0, 0, 0}, 1709164800},  // a leap day
        {{2024, 3, 1, 0, 0, 0}, 1709251200},   // one day after it
        {{2000, 2, 29, 23, 59, 59}, 951868799},
        {{2000, 3, 1, 0, 0, 0}, 951868800},
        {{1972, 12, 31, 23, 59, 59}, 94694399},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.time.year << "-" << c.time.month << "-"
                                        << c.time.day << " " << c.time.hour << ":"
                                        << c.time.minute << ":" << c.time.second);
        EXPECT_EQ(calendarToTimestamp(c.time), c.seconds);
    }
}

TEST(LocalTimestamp, IsTheLocalClockInSeconds) {
    const std::int32_t before = calendarToTimestamp(platform::localCalendarTime());
    const std::int32_t now = localTimestamp();
    const std::int32_t after = calendarToTimestamp(platform::localCalendarTime());
    EXPECT_GT(before, 1704067200);  // this machine's clock is past 2024
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST(FillTypeFromText, AcceptsTheThreeListTextsExactly) {
    FillType type = FillType::Random;
    EXPECT_TRUE(fillTypeFromText(L"ALL ZERO", type));
    EXPECT_EQ(type, FillType::AllZero);
    EXPECT_TRUE(fillTypeFromText(L"RANDOM", type));
    EXPECT_EQ(type, FillType::Random);
    EXPECT_TRUE(fillTypeFromText(L"ALL ONE", type));
    EXPECT_EQ(type, FillType::AllOne);
    for (const wchar_t* other : {L"all one", L"ALL ONE ", L"", L"ALLZERO", L"RANDOMX"}) {
        EXPECT_FALSE(fillTypeFromText(other, type)) << std::wstring(other);
        EXPECT_EQ(type, FillType::AllOne);  // untouched
    }
}

TEST(AnsiToWide, StopsAtTheCountOrAtAZeroByte) {
    const char text[] = "DISCLAIMER\0after";
    EXPECT_EQ(platform::ansiToWide(text, sizeof text - 1), L"DISCLAIMER");
    EXPECT_EQ(platform::ansiToWide(text, 4), L"DISC");
    EXPECT_EQ(platform::ansiToWide(text, 0), L"");
    EXPECT_EQ(platform::ansiToWide("a\r\nb", 4), L"a\r\nb");
}

#ifndef _WIN32
TEST(AnsiToWide, ReadsHighBytesAsLatin1) {
    const char text[] = "caf\xE9 \xFF\x80";
    EXPECT_EQ(platform::ansiToWide(text, sizeof text - 1), L"caf\u00E9 \u00FF\u0080");
}
#endif

}  // namespace
