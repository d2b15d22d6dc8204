// Shell services: the desktop folder, starting outside programs, opening addresses.
#pragma once

#include <string>

namespace platform {

// The current user's desktop folder as a file-system path ending with the path
// separator, or empty text when it cannot be determined.
std::wstring desktopFolderPath();

// The program that opens a file-manager window on a directory given as its one
// (quoted) argument: "explorer.exe" on Windows, "xdg-open" elsewhere.
std::wstring fileManagerProgram();

struct ProcessRequest {
    std::wstring target;            // program name or path, unquoted
    std::wstring arguments;         // may be empty
    std::wstring commandLine;       // the quoted target, a space and the arguments
    std::wstring workingDirectory;  // empty: inherit the current directory
};

// Starts a new process, letting the platform search for the program by name.
// Nothing is waited for; no handle is kept. Answers whether a process started.
// (Windows: CreateProcessW on commandLine. Elsewhere: target with arguments as its
// one argument, the enclosing quotation marks removed, never through a shell.)
bool startProcess(const ProcessRequest& request);

// Hands a target (a web address, a document) to the shell's default action for
// it; the hand-over is complete when this returns. Answers whether anything started.
bool shellOpen(const std::wstring& target, const std::wstring& arguments,
               const std::wstring& workingDirectory);

}  // namespace platform
