// Shell services on Linux: the XDG desktop folder, starting programs with
// posix_spawnp (never through a shell), and xdg-open as the default action.
#include "platform/shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// --- wide text <-> UTF-8 bytes ---
// The same conversion as the file services use, so a path handed on names the
// same file. Bytes that are not UTF-8 come in as U+FFFD.

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

// False for text that no C string can carry (an embedded zero).
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

// --- the desktop folder ---

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs file, expanded; empty when
// the file or the line is missing or the value is neither "$HOME/..." nor absolute.
std::string desktopFromUserDirs(const std::string& file, const std::string& home) {
    std::ifstream input(file);
    std::string line;
    std::string found;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(input, line)) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        start += key.size();
        if (start >= line.size() || line[start] != '"') continue;
        // The quoted value, with the shell's backslash escapes undone.
        std::string value;
        bool closed = false;
        for (std::size_t index = start + 1; index < line.size(); ++index) {
            if (line[index] == '\\' && index + 1 < line.size()) {
                value += line[++index];
            } else if (line[index] == '"') {
                closed = true;
                break;
            } else {
                value += line[index];
            }
        }
        // A zero byte cannot stand in a path: such a line names no folder.
        if (!closed || value.find('\0') != std::string::npos) continue;
        if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
            found = home + value.substr(5);
        } else if (!value.empty() && value.front() == '/') {
            found = value;
        }
        // As when the shell reads the file, a later line replaces an earlier one.
    }
    return found;
}

// --- starting programs ---

class SpawnFileActions {
public:
    SpawnFileActions() { ready_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnFileActions() {
        if (ready_) posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    bool ready() const { return ready_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ready_ = false;
};

// Starts argv[0], searched for on PATH, with stdin from /dev/null, in the
// working directory when one is given. Never waits for it; a detached thread
// reaps it when it ends, so it leaves no zombie behind.
bool spawnDetached(const std::vector<std::string>& arguments, const std::string& workingDirectory) {
    SpawnFileActions actions;
    if (!actions.ready()) return false;
    if (posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) != 0) {
        return false;
    }
    if (!workingDirectory.empty() &&
        posix_spawn_file_actions_addchdir_np(actions.get(), workingDirectory.c_str()) != 0) {
        return false;
    }

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], actions.get(), nullptr, argv.data(), environ) != 0) {
        return false;
    }
    try {
        std::thread([child] {
            while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread for the reaper: the program runs all the same, and its exit
        // status stays unread until this process ends.
    }
    return true;
}

// The text without one enclosing pair of quotation marks.
std::wstring withoutEnclosingQuotes(const std::wstring& text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

}  // namespace

namespace platform {

std::wstring desktopFolderPath() {
    const std::string home = environmentValue("HOME");
    if (home.empty()) return {};
    std::string configHome = environmentValue("XDG_CONFIG_HOME");
    // Relative configuration folders are not taken, as the XDG rules require.
    if (configHome.empty() || configHome.front() != '/') configHome = home + "/.config";

    std::string desktop = desktopFromUserDirs(configHome + "/user-dirs.dirs", home);
    if (desktop.empty()) desktop = home + "/Desktop";
    if (desktop.back() != '/') desktop += '/';
    return fromUtf8(desktop);
}

std::wstring fileManagerProgram() { return L"xdg-open"; }

bool startProcess(const ProcessRequest& request) {
    std::vector<std::string> arguments(1);
    std::string workingDirectory;
    if (!toUtf8(withoutEnclosingQuotes(request.target), arguments[0]) ||
        !toUtf8(request.workingDirectory, workingDirectory)) {
        return false;
    }
    if (!request.arguments.empty()) {
        // One argument, byte for byte: a path may itself hold spaces and quotes.
        if (!toUtf8(withoutEnclosingQuotes(request.arguments), arguments.emplace_back())) {
            return false;
        }
    }
    return spawnDetached(arguments, workingDirectory);
}

bool shellOpen(const std::wstring& target, const std::wstring& arguments,
               const std::wstring& workingDirectory) {
    std::vector<std::string> argv{"xdg-open", {}};
    std::string directory;
    if (!toUtf8(target, argv[1]) || !toUtf8(workingDirectory, directory)) return false;
    if (!arguments.empty() && !toUtf8(arguments, argv.emplace_back())) return false;
    return spawnDetached(argv, directory);
}

}  // namespace platform
