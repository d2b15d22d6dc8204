// The number rule of the size and count fields, and the decimal form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Blanks (spaces, tabs), one sign, then "$" hexadecimal, "%" base-2 or decimal
// digits up to the first other character; 0 without digits; 64-bit wrap-around.
std::int64_t parseNumber(std::wstring_view text);

// The low 32 bits of a parsed number, read as a signed 32-bit number.
std::int32_t low32Bits(std::int64_t value);

// Base-10 digits with a leading "-" when negative; no leading zeros, separators or plus.
std::wstring decimalText(std::int64_t value);
