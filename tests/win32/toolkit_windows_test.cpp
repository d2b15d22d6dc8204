// Windows, controls, geometry, lists, text boxes, fonts and menus of the Win32
// toolkit, read back from the real windows.
#include <richedit.h>

#include <string>
#include <vector>

#include "tests/win32/toolkit_test_support.h"

namespace toolkit_test {
namespace {

using platform::ControlKind;
using platform::Rect;

using WindowsTest = ToolkitTest;

TEST_F(WindowsTest, TopLevelWindowHasFixedFrameClientSizeAndPlace) {
    HWND window = makeWindow(1, L"Vellumite frame test");
    ASSERT_NE(window, nullptr);
    const LONG style = styleOf(window);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    EXPECT_TRUE(toolkit->windowExists(1));
    EXPECT_FALSE(toolkit->windowExists(2));

    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, px(300));
    EXPECT_EQ(client.bottom, py(300));
    RECT outer = {};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, px(100));
    EXPECT_EQ(outer.top, py(100));

    // The same number cannot make a second window.
    platform::WindowSpec again;
    again.title = L"Vellumite second";
    EXPECT_FALSE(toolkit->createWindow(1, again));
}

TEST_F(WindowsTest, CentredWindowUsesTheFullScreenAndStopsAtZero) {
    struct Case {
        int clientWidth;
        int clientHeight;
    };
    const Case cases[] = {{800, 400}, {5000, 4000}};  // the second is larger than the screen
    int windowId = 16;
    for (const Case& c : cases) {
        platform::WindowSpec spec;
        spec.title = L"Vellumite centred " + std::to_wstring(windowId);
        spec.clientWidth = c.clientWidth;
        spec.clientHeight = c.clientHeight;
        spec.centred = true;
        ASSERT_TRUE(toolkit->createWindow(windowId, spec));
        HWND window = findProgramWindow(spec.title);
        ASSERT_NE(window, nullptr);
        RECT outer = {};
        GetWindowRect(window, &outer);
        RECT expected = {0, 0, px(c.clientWidth), py(c.clientHeight)};
        AdjustWindowRectEx(&expected, static_cast<DWORD>(styleOf(window)), FALSE, 0);
        EXPECT_EQ(outer.left, platform::centredOrigin(GetSystemMetrics(SM_CXSCREEN),
                                                      expected.right - expected.left));
        EXPECT_EQ(outer.top, platform::centredOrigin(GetSystemMetrics(SM_CYSCREEN),
                                                     expected.bottom - expected.top));
        ++windowId;
    }
}

TEST_F(WindowsTest, ControlsHaveTheirClassesStylesAndTexts) {
    HWND window = makeWindow(1, L"Vellumite controls test");
    ASSERT_NE(window, nullptr);
    struct Case {
        int id;
        ControlKind kind;
        std::wstring text;
        std::wstring className;
        LONG requiredStyle;
        LONG forbiddenStyle;
        bool clientEdge;
    };
    const std::vector<Case> cases = {
        {3, ControlKind::TextLine, L"SIZE & FILE", L"Static", SS_NOPREFIX, WS_TABSTOP | WS_BORDER, false},
        {7, ControlKind::EditField, L"100", L"Edit", ES_AUTOHSCROLL | WS_TABSTOP,
         ES_READONLY | ES_MULTILINE, true},
        {6, ControlKind::ReadOnlyLine, L"DIRECTORY: C:\\x\\", L"Edit",
         ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, WS_BORDER | ES_MULTILINE, false},
        {10, ControlKind::PushButton, L"GO", L"Button", WS_TABSTOP, BS_DEFPUSHBUTTON | BS_CHECKBOX, false},
        // Combo box and rich edit keep their scroll bar styles to themselves.
        {9, ControlKind::DropDownList, L"", L"ComboBox", CBS_DROPDOWNLIST | WS_TABSTOP,
         CBS_SORT, false},
        {17, ControlKind::TextBox, L"", L"RICHEDIT50W",
         ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL |
             ES_WANTRETURN | WS_TABSTOP,
         0, true},
        {18, ControlKind::Picture, L"", L"Static", SS_BITMAP | SS_NOTIFY, WS_BORDER | WS_TABSTOP, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        HWND control = makeControl(window, 1, c.id, c.kind, c.text);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(CompareStringOrdinal(classNameOf(control).c_str(), -1, c.className.c_str(), -1, TRUE),
                  CSTR_EQUAL)
            << std::string(classNameOf(control).begin(), classNameOf(control).end());
        const LONG style = styleOf(control);
        EXPECT_EQ(style & c.requiredStyle, c.requiredStyle);
        EXPECT_EQ(style & c.forbiddenStyle, 0);
        EXPECT_TRUE(style & WS_VISIBLE);
        EXPECT_EQ((exStyleOf(control) & WS_EX_CLIENTEDGE) != 0, c.clientEdge);
        if (c.kind != ControlKind::DropDownList && c.kind != ControlKind::Picture) {
            EXPECT_TRUE(toolkit->text(c.id) == c.text);
            EXPECT_TRUE(windowTextOf(control) == c.text);
        }
        // Every control has the default control font, the system's message font.
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
        if (c.kind != ControlKind::TextBox && c.kind != ControlKind::Picture) {
            LOGFONTW font = {};
            ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
                                 sizeof(font), &font),
                      0);
            EXPECT_TRUE(std::wstring(font.lfFaceName) == metrics.lfMessageFont.lfFaceName);
            EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
        }
    }
    // A number in use makes no second control.
    EXPECT_FALSE(toolkit->createControl(1, 3, ControlKind::TextLine, L"again", {0, 0, 1, 1}));
    EXPECT_FALSE(toolkit->createControl(2, 30, ControlKind::TextLine, L"no window", {0, 0, 1, 1}));

    toolkit->setText(10, L"STOP");
    EXPECT_TRUE(windowTextOf(GetDlgItem(window, 10)) == L"STOP");
    EXPECT_TRUE(toolkit->text(10) == L"STOP");
}

TEST_F(WindowsTest, ControlGeometryReadsBackInUnits) {
    HWND window = makeWindow(1, L"Vellumite geometry test");
    ASSERT_NE(window, nullptr);
    toolkit->addMenu(1, 12, L"Settings", 13, L"Output Directory");  // places are below the bar
    makeControl(window, 1, 3, ControlKind::TextLine, L"SIZE PER FILE (MB)", {0, 0, 1, 1});
    makeControl(window, 1, 7, ControlKind::EditField, L"100", {0, 0, 1, 1});
    makeControl(window, 1, 10, ControlKind::PushButton, L"GO", {0, 0, 1, 1});
    const struct {
        int id;
        Rect rect;
    } cases[] = {{3, {10, 10, 280, 17}}, {7, {10, 27, 280, 19}}, {10, {10, 152, 280, 40}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        toolkit->moveControl(c.id, c.rect);
        const Rect back = toolkit->controlRect(c.id);
        EXPECT_EQ(back.x, c.rect.x);
        EXPECT_EQ(back.y, c.rect.y);
        EXPECT_EQ(back.width, c.rect.width);
        EXPECT_EQ(back.height, c.rect.height);
        RECT pixels = {};
        GetWindowRect(GetDlgItem(window, c.id), &pixels);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&pixels), 2);
        EXPECT_EQ(pixels.left, px(c.rect.x));
        EXPECT_EQ(pixels.top, py(c.rect.y));
        EXPECT_EQ(pixels.right - pixels.left, px(c.rect.width));
    }
}

TEST_F(WindowsTest, PlaceWindowSizesWithoutTheMenuBar) {
    HWND window = makeWindow(1, L"Vellumite place test");
    ASSERT_NE(window, nullptr);
    toolkit->addMenu(1, 12, L"Settings", 13, L"Output Directory");
    toolkit->addMenu(1, 12, L"?", 14, L"Help/About");
    toolkit->placeWindow(1, 120, 130, 300, 278);
    RECT outer = {};
    GetWindowRect(window, &outer);
    RECT expected = {0, 0, px(300), py(278)};
    AdjustWindowRectEx(&expected, static_cast<DWORD>(styleOf(window)), FALSE, 0);
    EXPECT_EQ(outer.left, px(120));
    EXPECT_EQ(outer.top, py(130));
    EXPECT_EQ(outer.right - outer.left, expected.right - expected.left);
    EXPECT_EQ(outer.bottom - outer.top, expected.bottom - expected.top);
    // The bar takes its height out of the client area.
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, px(300));
    EXPECT_LT(client.bottom, py(278));
    EXPECT_GE(client.bottom, py(278) - 2 * toolkit->menuBarHeightPixels());
}

TEST_F(WindowsTest, MenuBarHoldsTheMenusAndTheirItemIds) {
    HWND window = makeWindow(1, L"Vellumite menu test");
    ASSERT_NE(window, nullptr);
    toolkit->addMenu(1, 12, L"Settings", 13, L"Output Directory");
    toolkit->addMenu(1, 12, L"?", 14, L"Help/About");
    HMENU bar = GetMenu(window);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    const struct {
        int position;
        std::wstring title;
        UINT itemId;
        std::wstring itemText;
    } cases[] = {{0, L"Settings", 13, L"Output Directory"}, {1, L"?", 14, L"Help/About"}};
    for (const auto& c : cases) {
        wchar_t text[64] = {};
        GetMenuStringW(bar, c.position, text, 64, MF_BYPOSITION);
        EXPECT_TRUE(text == c.title);
        HMENU popup = GetSubMenu(bar, c.position);
        ASSERT_NE(popup, nullptr);
        ASSERT_EQ(GetMenuItemCount(popup), 1);
        EXPECT_EQ(GetMenuItemID(popup, 0), c.itemId);
        GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
        EXPECT_TRUE(text == c.itemText);
        EXPECT_EQ(GetMenuState(popup, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u);
    }
}

TEST_F(WindowsTest, DropDownListClosedHeightIsTheAskedHeight) {
    HWND window = makeWindow(1, L"Vellumite combo height test");
    ASSERT_NE(window, nullptr);
    HWND combo = makeControl(window, 1, 9, ControlKind::DropDownList, L"", {10, 10, 280, 1});
    ASSERT_NE(combo, nullptr);
    toolkit->insertListItem(9, 0, L"ALL ZERO");
    for (int height : {21, 23, 30, 40, 21}) {
        SCOPED_TRACE(height);
        toolkit->moveControl(9, {10, 119, 280, height});
        EXPECT_EQ(toolkit->controlRect(9).height, height);
        EXPECT_EQ(toolkit->controlRect(9).y, 119);
        COMBOBOXINFO info = {};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(GetComboBoxInfo(combo, &info));
        RECT closed = {};
        GetWindowRect(combo, &closed);
        EXPECT_EQ(closed.bottom - closed.top, py(height));
    }
    // The open list has room below the closed form.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    RECT dropped = {};
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_GT(dropped.bottom - dropped.top, py(21) + py(100));
}

TEST_F(WindowsTest, DropDownListKeepsInsertionPlacesAndSelectsIgnoringCase) {
    HWND window = makeWindow(1, L"Vellumite combo items test");
    ASSERT_NE(window, nullptr);
    HWND combo = makeControl(window, 1, 9, ControlKind::DropDownList, L"");
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(toolkit->text(9).empty());  // nothing selected yet
    for (const wchar_t* item : {L"ALL ZERO", L"RANDOM", L"ALL ONE"}) toolkit->insertListItem(9, 0, item);
    const std::wstring expectedOrder[] = {L"ALL ONE", L"RANDOM", L"ALL ZERO"};
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i) {
        wchar_t text[32] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_TRUE(text == expectedOrder[i]) << i;
    }

    toolkit->selectListItem(9, L"all zero");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_TRUE(toolkit->text(9) == L"ALL ZERO");
    toolkit->selectListItem(9, L"ALL");  // a beginning is no match: unchanged
    EXPECT_TRUE(toolkit->text(9) == L"ALL ZERO");
    toolkit->selectListItem(9, L"NONE");
    EXPECT_TRUE(toolkit->text(9) == L"ALL ZERO");
    toolkit->selectListItem(9, L"Random");
    EXPECT_TRUE(toolkit->text(9) == L"RANDOM");
    // Not sorted: an item put at the end stays there.
    toolkit->insertListItem(9, 3, L"AAA");
    wchar_t last[32] = {};
    SendMessageW(combo, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(last));
    EXPECT_TRUE(std::wstring(last) == L"AAA");
}

TEST_F(WindowsTest, TextBoxHoldsLongPlainTextWrapsAndShowsTheTopAfterInsertAtStart) {
    HWND window = makeWindow(16, L"Vellumite text box test", 0xFFFFFF);
    ASSERT_NE(window, nullptr);
    HWND box = makeControl(window, 16, 17, ControlKind::TextBox, L"", {0, 0, 590, 400});
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SendMessageW(box, EM_GETTEXTMODE, 0, 0) & TM_PLAINTEXT, TM_PLAINTEXT);

    // More than rich edit's default limit of 64K characters, in lines that must wrap.
    std::wstring paragraph(300, L'w');
    for (std::size_t i = 7; i < paragraph.size(); i += 8) paragraph[i] = L' ';
    std::wstring text;
    while (text.size() < 70000) text += paragraph + L"\r\n";
    toolkit->setText(17, text);
    GETTEXTLENGTHEX lengthQuery = {GTL_NUMCHARS, 1200};
    const LRESULT stored = SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
    EXPECT_GE(stored, 70000 - 70000 / 302);  // each CR LF may be kept as one CR
    const LRESULT paragraphs = static_cast<LRESULT>(text.size() / (paragraph.size() + 2));
    EXPECT_GT(SendMessageW(box, EM_GETLINECOUNT, 0, 0), paragraphs);  // wrapped lines
    EXPECT_TRUE(styleOf(box) & WS_VSCROLL);  // shown for a text longer than the box

    SendMessageW(box, WM_VSCROLL, SB_BOTTOM, 0);
    ASSERT_GT(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    toolkit->insertAtStart(17, L"Vellumite 0.1 credit\r\n");
    EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    CHARRANGE selection = {-1, -1};
    SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    EXPECT_EQ(selection.cpMin, 0);
    EXPECT_EQ(selection.cpMax, 0);
    const std::wstring shown = toolkit->text(17);
    EXPECT_EQ(shown.rfind(L"Vellumite 0.1 credit\r", 0), 0u);
    EXPECT_NE(shown.find(L"\nwwwwwww w", 0), std::wstring::npos);

    // A second setText replaces the whole content.
    toolkit->setText(17, L"short");
    EXPECT_TRUE(toolkit->text(17) == L"short");
}

TEST_F(WindowsTest, MeasuresTextWithTheControlsFont) {
    HWND window = makeWindow(1, L"Vellumite measure test");
    ASSERT_NE(window, nullptr);
    HWND label = makeControl(window, 1, 3, ControlKind::TextLine, L"SIZE PER FILE (MB)");
    makeControl(window, 1, 5, ControlKind::TextLine, L"first\nsecond");
    makeControl(window, 1, 4, ControlKind::TextLine, L"");
    HDC dc = GetDC(label);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SIZE hg = {};
    GetTextExtentPoint32W(dc, L"Hg", 2, &hg);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);

    EXPECT_EQ(toolkit->textHeightPixels(3), metrics.tmHeight);
    EXPECT_EQ(toolkit->textHeightPixels(5), 2 * metrics.tmHeight);  // line breaks count, no wrap
    EXPECT_EQ(toolkit->textHeightPixels(4), metrics.tmHeight);
    EXPECT_EQ(toolkit->hgHeightPixels(3), hg.cy);
    EXPECT_EQ(toolkit->edgeHeightPixels(), GetSystemMetrics(SM_CYEDGE));
    EXPECT_EQ(toolkit->menuBarHeightPixels(), GetSystemMetrics(SM_CYMENU));

    ASSERT_TRUE(toolkit->loadFont(15, L"Lucida Console", -40));
    toolkit->setControlFont(3, 15);
    EXPECT_GE(toolkit->hgHeightPixels(3), 40);
    EXPECT_GE(toolkit->textHeightPixels(3), 40);
}

TEST_F(WindowsTest, ReloadingAFontMovesItsControlsBeforeTheOldOneIsReleased) {
    HWND window = makeWindow(16, L"Vellumite font test", 0xFFFFFF);
    ASSERT_NE(window, nullptr);
    HWND label = makeControl(window, 16, 3, ControlKind::TextLine, L"text");
    ASSERT_TRUE(toolkit->loadFont(15, L"Lucida Console", -13));
    toolkit->setControlFont(3, 15);
    const auto first = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    LOGFONTW font = {};
    ASSERT_NE(GetObjectW(first, sizeof(font), &font), 0);
    EXPECT_TRUE(std::wstring(font.lfFaceName) == L"Lucida Console");
    EXPECT_EQ(font.lfHeight, -13);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);

    ASSERT_TRUE(toolkit->loadFont(15, L"Lucida Console", -20));
    const auto second = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    EXPECT_NE(second, first);
    ASSERT_NE(GetObjectW(second, sizeof(font), &font), 0);
    EXPECT_EQ(font.lfHeight, -20);
    EXPECT_EQ(GetObjectType(first), 0u);  // released

    // Unknown fonts change nothing.
    toolkit->setControlFont(3, 77);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), second);
}

// The window's background as its erase and its statics' colour messages paint it.
COLORREF erasedColour(HWND window) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    const COLORREF colour = GetPixel(memory, 1, 1);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

COLORREF staticBrushColour(HWND window, HWND control) {
    HDC dc = GetDC(control);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    ReleaseDC(control, dc);
    LOGBRUSH description = {};
    if (brush == nullptr || GetObjectW(brush, sizeof(description), &description) == 0) return CLR_INVALID;
    return description.lbColor;
}

TEST_F(WindowsTest, BackgroundIsButtonFaceOrTheWindowsOwnColour) {
    HWND plain = makeWindow(1, L"Vellumite plain background");
    HWND white = makeWindow(16, L"Vellumite white background", 0xFFFFFF);
    HWND tinted = makeWindow(20, L"Vellumite tinted background", 0x123456);
    ASSERT_TRUE(plain && white && tinted);
    HWND whiteLabel = makeControl(white, 16, 3, ControlKind::TextLine, L"label");
    HWND whitePicture = makeControl(white, 16, 18, ControlKind::Picture, L"");
    HWND whiteLine = makeControl(white, 16, 6, ControlKind::ReadOnlyLine, L"read only");
    HWND plainLabel = makeControl(plain, 1, 2, ControlKind::TextLine, L"label");

    EXPECT_EQ(erasedColour(plain), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(erasedColour(white), RGB(255, 255, 255));
    EXPECT_EQ(erasedColour(tinted), RGB(0x12, 0x34, 0x56));
    for (HWND control : {whiteLabel, whitePicture, whiteLine}) {
        EXPECT_EQ(staticBrushColour(white, control), RGB(255, 255, 255));
    }
    EXPECT_EQ(staticBrushColour(plain, plainLabel), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
}  // namespace toolkit_test
