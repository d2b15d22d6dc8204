// Text services on POSIX: the program's 8-bit data is read as Latin-1.
#include "platform/text.h"

namespace platform {

std::wstring ansiToWide(const char* bytes, std::size_t count) {
    std::wstring text;
    if (bytes == nullptr) return text;
    text.reserve(count);
    for (std::size_t at = 0; at < count && bytes[at] != '\0'; ++at) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[at])));
    }
    return text;
}

}  // namespace platform
