// Starting outside programs and addresses, and the program's message box.
#include "outputdir/launch.h"

#include "outputdir/output_directory.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

// The folder part of a target ("C:\tools\" of "C:\tools\app.exe"), used as the
// shell's working directory when the caller gave none. Only a folder that exists
// is taken: a web address holds slashes too, and where the slash is the path
// separator its "https://host/" part would otherwise make every start fail.
std::wstring folderOfTarget(const std::wstring& target) {
    const std::size_t lastSeparator = target.rfind(platform::pathSeparator());
    if (lastSeparator == std::wstring::npos || lastSeparator == 0) return {};
    std::wstring folder = target.substr(0, lastSeparator + 1);
    if (queryPathSize(folder) != pathIsDirectory) return {};
    return folder;
}

}  // namespace

std::wstring buildCommandLine(const std::wstring& target, const std::wstring& arguments) {
    std::wstring commandLine = (!target.empty() && target.front() == L'"')
                                   ? target
                                   : L"\"" + target + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    return commandLine;
}

bool launchExternal(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& workingDirectory) {
    platform::ProcessRequest request;
    request.target = target;
    request.arguments = arguments;
    request.commandLine = buildCommandLine(target, arguments);
    request.workingDirectory = workingDirectory;
    if (platform::startProcess(request)) return true;

    const std::wstring shellDirectory =
        workingDirectory.empty() ? folderOfTarget(target) : workingDirectory;
    return platform::shellOpen(target, arguments, shellDirectory);
}

void showMessage(platform::Toolkit& toolkit, const std::wstring& title, const std::wstring& text) {
    toolkit.messageBox(title, text);
}
