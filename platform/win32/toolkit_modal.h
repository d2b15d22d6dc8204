// The modal boxes of the toolkit: the message box and the folder browser, with the
// treatment of the program's other windows around them.
#pragma once

#include <string>

namespace platform::win32 {

// MessageBoxW with one OK button and no icon, owned by the foreground window when
// it is the program's; every other visible window of the thread is disabled and
// taken out of the topmost band meanwhile.
void showModalMessage(const std::wstring& title, const std::wstring& text);

// SHBrowseForFolderW (new style, edit box) with the prompt and the initial
// selection, owned and surrounded as the message box; the chosen folder's
// file-system path, or empty text on cancel or for a folder without one.
// Needs COM initialised in an apartment on the calling thread.
std::wstring browseForFolder(const std::wstring& prompt, const std::wstring& initialSelection);

}  // namespace platform::win32
