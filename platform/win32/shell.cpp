// Shell services on Windows: the desktop folder, CreateProcessW, ShellExecuteExW.
#include "platform/shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace {

struct ItemListRelease {
    void operator()(ITEMIDLIST* itemList) const { CoTaskMemFree(itemList); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListRelease>;

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

private:
    HANDLE handle_;
};

// COM for the shell's default action on this thread, when it is not there yet;
// a thread that already has it in another mode keeps it as it is.
class ComForShell {
public:
    ComForShell()
        : initialised_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComForShell() {
        if (initialised_) CoUninitialize();
    }
    ComForShell(const ComForShell&) = delete;
    ComForShell& operator=(const ComForShell&) = delete;

private:
    bool initialised_;
};

const wchar_t* textOrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

namespace platform {

std::wstring desktopFolderPath() {
    ITEMIDLIST* rawItemList = nullptr;
    if (FAILED(SHGetFolderLocation(nullptr, CSIDL_DESKTOP, nullptr, 0, &rawItemList))) return {};
    const ItemList itemList(rawItemList);
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(itemList.get(), path) || path[0] == L'\0') return {};
    std::wstring folder(path);
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring fileManagerProgram() { return L"explorer.exe"; }

bool startProcess(const ProcessRequest& request) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> commandLine(request.commandLine.begin(), request.commandLine.end());
    commandLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, textOrNull(request.workingDirectory), &startup, &process)) {
        return false;
    }
    // The program goes on running; this process keeps no hold on it.
    const OwnedHandle processHandle(process.hProcess);
    const OwnedHandle threadHandle(process.hThread);
    return true;
}

bool shellOpen(const std::wstring& target, const std::wstring& arguments,
               const std::wstring& workingDirectory) {
    const ComForShell com;
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpVerb = nullptr;
    execute.lpFile = target.c_str();
    execute.lpParameters = textOrNull(arguments);
    execute.lpDirectory = textOrNull(workingDirectory);
    execute.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&execute) != FALSE;
}

}  // namespace platform
