// Shell services on Linux: the XDG desktop folder, starting programs with
// posix_spawnp (never through a shell), and xdg-open as the default action.
#include "platform/shell.h"

#include "platform/posix/utf8.h"

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

using platform::posix::fromUtf8;
using platform::posix::toUtf8;

namespace {

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
