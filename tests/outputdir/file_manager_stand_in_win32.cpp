// A stand-in for explorer.exe, found before the real one because it lies beside
// the test program: appends its command line and its working directory, each on
// a line of its own, to the file named by OUTPUTDIR_TEST_RECORD (UTF-16).
#include <windows.h>

#include <string>

int main() {
    wchar_t recordPath[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"OUTPUTDIR_TEST_RECORD", recordPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    wchar_t workingDirectory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, workingDirectory);
    const std::wstring record =
        std::wstring(GetCommandLineW()) + L"\n" + workingDirectory + L"\n";

    // Appends may come from several stand-ins at once: one write each.
    const HANDLE file = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)),
                              &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
