#include "platform/posix/utf8.h"

namespace platform::posix {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

bool toUtf8(const std::wstring& text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (const wchar_t character : text) {
        auto code = static_cast<char32_t>(character);
        if (code == 0) return false;
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = replacementCharacter;
        appendUtf8(out, code);
    }
    return true;
}

std::wstring fromUtf8(const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t index = 0;
    while (index < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[index]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1, code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && index + length <= bytes.size();
        for (std::size_t next = 1; valid && next < length; ++next) {
            const auto follower = static_cast<unsigned char>(bytes[index + next]);
            valid = (follower & 0xC0) == 0x80;
            code = (code << 6) | (follower & 0x3F);
        }
        valid = valid && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        out += static_cast<wchar_t>(valid ? code : replacementCharacter);
        index += valid ? length : 1;
    }
    return out;
}

}  // namespace platform::posix
