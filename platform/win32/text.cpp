// Text services on Windows: the program's 8-bit data goes through the ANSI code page.
#include "platform/text.h"

#include <windows.h>

#include <climits>
#include <cstring>

namespace platform {

std::wstring ansiToWide(const char* bytes, std::size_t count) {
    if (bytes == nullptr) return {};
    const void* zero = std::memchr(bytes, '\0', count);
    std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes)
                              : count;
    if (length > INT_MAX) length = INT_MAX;
    if (length == 0) return {};
    const int inputLength = static_cast<int>(length);
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, bytes, inputLength, nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring text(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, inputLength, text.data(), wideLength);
    return text;
}

}  // namespace platform
