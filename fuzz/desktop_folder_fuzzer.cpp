// The desktop folder read from a user-dirs.dirs file of any content: the answer is
// always an absolute folder ending with "/", made of whole, valid characters.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/shell.h"

namespace {

std::string configFolder;

bool isValidCharacter(wchar_t c) {
    const auto code = static_cast<std::uint32_t>(c);
    return code != 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folderTemplate[] = "/tmp/vellumite-fuzz-XXXXXX";
    const char* made = ::mkdtemp(folderTemplate);
    if (made == nullptr) std::abort();
    configFolder = made;
    std::atexit([] {
        ::unlink((configFolder + "/user-dirs.dirs").c_str());
        ::rmdir(configFolder.c_str());
    });
    ::setenv("HOME", "/home/fuzz \"user\" \xC3\xBC", 1);
    ::setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(configFolder + "/user-dirs.dirs", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::wstring desktop = platform::desktopFolderPath();
    if (desktop.empty() || desktop.front() != L'/' || desktop.back() != L'/') std::abort();
    for (const wchar_t c : desktop) {
        if (!isValidCharacter(c)) std::abort();
    }
    return 0;
}
