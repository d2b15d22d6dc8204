// Starting outside programs and addresses, and the program's message box.
#pragma once

#include <string>

#include "platform/toolkit.h"

// The command line for a target and its arguments: the target quoted unless it
// already begins with a quotation mark, then a space and the arguments if any.
std::wstring buildCommandLine(const std::wstring& target, const std::wstring& arguments);

// Starts a program, or hands the target to the shell's default action when no
// process can be started; waits for nothing. Answers whether anything started.
bool launchExternal(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& workingDirectory);

// The modal message box: the title, the text and one OK button.
void showMessage(platform::Toolkit& toolkit, const std::wstring& title, const std::wstring& text);
