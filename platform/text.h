// Text services: the program's text is wide-character text (std::wstring).
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Turns 8-bit text from the program's own data into wide text through the
// platform's 8-bit (ANSI) code page. Reads `count` bytes, or stops earlier at a
// zero byte.
std::wstring ansiToWide(const char* bytes, std::size_t count);

}  // namespace platform
