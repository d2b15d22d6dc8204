#include "ui/help_window.h"

#include "outputdir/launch.h"
#include "platform/text.h"
#include "resources/stored_data.h"
#include "ui/identifiers.h"

using platform::ControlKind;
using platform::Rect;

std::wstring replaceAll(std::wstring text, const std::wstring& placeholder,
                        const std::wstring& replacement) {
    if (placeholder.empty()) return text;
    std::size_t position = 0;
    while ((position = text.find(placeholder, position)) != std::wstring::npos) {
        text.replace(position, placeholder.size(), replacement);
        position += replacement.size();
    }
    return text;
}

std::wstring helpTextForDisplay() {
    const StoredBlock block = helpTextBlock();
    return replaceAll(platform::ansiToWide(reinterpret_cast<const char*>(block.data), block.size),
                      softwareNamePlaceholder, softwareName);
}

int helpFontHeight(int dpiY) {
    if (dpiY <= 0) dpiY = 96;
    // -(10 x dpi / 72), rounded to the nearest.
    return -((10 * dpiY + 36) / 72);
}

bool loadHelpImage(platform::Toolkit& toolkit) {
    const StoredBlock block = helpImageBlock();
    return toolkit.loadBmpImage(ids::helpImage, block.data, block.size);
}

void openMakerPage() { launchExternal(makerPageAddress, L"", L""); }

void toggleHelpWindow(platform::Toolkit& toolkit) {
    if (toolkit.windowExists(ids::helpWindow)) {
        toolkit.destroyWindow(ids::helpWindow);
        return;
    }

    const bool haveFont =
        toolkit.loadFont(ids::helpFont, L"Lucida Console", helpFontHeight(toolkit.dpiY()));

    platform::WindowSpec window;
    window.title = helpWindowTitle;
    window.clientWidth = 800;
    window.clientHeight = 400;
    window.centred = true;
    window.background = 0xFFFFFF;
    toolkit.createWindow(ids::helpWindow, window);

    toolkit.createControl(ids::helpWindow, ids::helpTextBox, ControlKind::TextBox, L"",
                          Rect{0, 0, 590, 400});
    toolkit.setFocus(ids::helpTextBox);
    if (haveFont) toolkit.setControlFont(ids::helpTextBox, ids::helpFont);
    toolkit.setText(ids::helpTextBox, helpTextForDisplay());
    toolkit.insertAtStart(ids::helpTextBox, std::wstring(creditLine) + L"\r\n");

    toolkit.createControl(ids::helpWindow, ids::helpPicture, ControlKind::Picture, L"",
                          Rect{591, 130, 210, 400});
    if (toolkit.imageExists(ids::helpImage)) toolkit.setPictureImage(ids::helpPicture, ids::helpImage);

    toolkit.bindLeftClick(ids::helpWindow, ids::helpPicture, openMakerPage);
}
