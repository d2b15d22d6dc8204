#include "engine/parse_number.h"

namespace {

// The value of `c` as a digit of `base`, or -1 when it is none.
int digitValue(wchar_t c, unsigned base) {
    int value = -1;
    if (c >= L'0' && c <= L'9') {
        value = c - L'0';
    } else if (c >= L'A' && c <= L'F') {
        value = c - L'A' + 10;
    } else if (c >= L'a' && c <= L'f') {
        value = c - L'a' + 10;
    }
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

}  // namespace

std::int64_t parseNumber(std::wstring_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || text[at] == L'\t')) ++at;

    bool negative = false;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) {
        negative = text[at] == L'-';
        ++at;
    }

    unsigned base = 10;
    if (at < text.size() && text[at] == L'$') {
        base = 16;
        ++at;
    } else if (at < text.size() && text[at] == L'%') {
        base = 2;
        ++at;
    }

    // Unsigned arithmetic wraps around by definition; the signed reading comes last.
    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        const int digit = digitValue(text[at], base);
        if (digit < 0) break;
        value = value * base + static_cast<unsigned>(digit);
    }
    if (negative) value = 0 - value;
    return static_cast<std::int64_t>(value);
}

std::int32_t low32Bits(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::wstring decimalText(std::int64_t value) {
    // The magnitude as unsigned, so that the most negative value has one too.
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) magnitude = 0 - magnitude;

    wchar_t digits[24];
    std::size_t start = sizeof digits / sizeof digits[0];
    do {
        digits[--start] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[--start] = L'-';
    return std::wstring(digits + start, digits + sizeof digits / sizeof digits[0]);
}
