// parseNumber against a second, plainly written reading of the field rule, on every
// text the fuzzer makes; and the decimal form read back by parseNumber.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/parse_number.h"

namespace {

// The field rule spelled out once more, independently: blanks, one sign, "$" or
// "%", digits of that base; arithmetic modulo 2^64.
std::int64_t referenceValue(const std::wstring& text) {
    std::size_t at = text.find_first_not_of(L" \t");
    if (at == std::wstring::npos) return 0;
    bool negative = false;
    if (text[at] == L'-' || text[at] == L'+') negative = text[at++] == L'-';
    std::wstring digits = L"0123456789";
    if (at < text.size() && text[at] == L'$') {
        digits = L"0123456789ABCDEFabcdef";
        ++at;
    } else if (at < text.size() && text[at] == L'%') {
        digits = L"01";
        ++at;
    }
    const unsigned base = digits.size() == 22 ? 16 : static_cast<unsigned>(digits.size());
    unsigned __int128 value = 0;
    for (; at < text.size() && digits.find(text[at]) != std::wstring::npos; ++at) {
        const wchar_t c = text[at];
        const unsigned digit = c <= L'9' ? unsigned(c - L'0')
                               : c <= L'F' ? unsigned(c - L'A' + 10)
                                           : unsigned(c - L'a' + 10);
        value = (value * base + digit) & ~std::uint64_t{0};
    }
    std::uint64_t low = static_cast<std::uint64_t>(value);
    if (negative) low = ~low + 1;
    return static_cast<std::int64_t>(low);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every byte a character; pairs of bytes also give characters beyond Latin-1,
    // so that other scripts' digits and lookalikes come up.
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text += static_cast<wchar_t>(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        } else {
            text += static_cast<wchar_t>(data[i]);
        }
    }
    const std::int64_t value = parseNumber(text);
    if (value != referenceValue(text)) std::abort();

    const std::wstring decimal = decimalText(value);
    if (parseNumber(decimal) != value) std::abort();
    if (decimal.empty() || decimal.find_first_not_of(L"-0123456789") != std::wstring::npos) std::abort();
    const std::size_t firstDigit = decimal[0] == L'-' ? 1 : 0;
    if (decimal.size() > firstDigit + 1 && decimal[firstDigit] == L'0') std::abort();  // no leading zero
    if (decimal == L"-0") std::abort();

    const std::int32_t low = low32Bits(value);
    if (static_cast<std::uint32_t>(low) != static_cast<std::uint32_t>(static_cast<std::uint64_t>(value))) {
        std::abort();
    }
    return 0;
}
