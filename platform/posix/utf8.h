// Wide text and the UTF-8 bytes the system takes: the one conversion that the
// POSIX services share, so that a path handed from one to another names the same file.
#pragma once

#include <string>

namespace platform::posix {

// False for text that no C string can carry (an embedded zero). Code points that
// UTF-8 cannot carry become U+FFFD.
bool toUtf8(const std::wstring& text, std::string& out);

// Bytes that are not UTF-8 come in as U+FFFD.
std::wstring fromUtf8(const std::string& bytes);

}  // namespace platform::posix
