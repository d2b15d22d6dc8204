// The window toolkit on plain Win32: one window class for the program's top-level
// windows, the standard control classes and rich edit for the controls, and a queue
// of events that the window procedure fills and waitEvent empties.
//
// Events: WM_COMMAND of a control -> Control(id); of a menu -> Menu(id); WM_TIMER ->
// Timer(id), at most one of an id waiting; WM_CLOSE -> CloseRequest(window), the
// window stays. A picture's STN_CLICKED runs its bound handler from waitEvent,
// which then answers an Other event; its STN_DBLCLK does nothing.
#include "platform/toolkit.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <richedit.h>

#include <algorithm>
#include <deque>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

#include "platform/units.h"
#include "platform/win32/toolkit_bmp.h"
#include "platform/win32/toolkit_handles.h"
#include "platform/win32/toolkit_modal.h"

namespace platform {
namespace {

using win32::SelectedObject;
using win32::UniqueAccelerators;
using win32::UniqueBitmap;
using win32::UniqueBrush;
using win32::UniqueFont;
using win32::UniqueMenu;
using win32::WindowDc;

constexpr wchar_t windowClassName[] = L"VellumiteWindow";
constexpr DWORD windowStyle = WS_CAPTION | WS_SYSMENU;  // no sizing border, no min/max box
constexpr DWORD windowExStyle = 0;
// Commands of the Tab accelerators; far from the program's own numbers.
constexpr WORD focusNextCommand = 0x7F01;
constexpr WORD focusPreviousCommand = 0x7F02;
// Height of a drop-down list's open list below its closed form.
constexpr int dropDownListUnits = 200;
// Rich edit takes a limit of 0 as its default of 64K characters; this is its largest.
constexpr LPARAM unlimitedText = 0x7FFFFFFE;

HINSTANCE programInstance() { return GetModuleHandleW(nullptr); }

// The rich edit class of the newest library present. The library stays loaded for
// the rest of the process: its window class must outlive every text box.
const wchar_t* richEditClassName() {
    static const wchar_t* const className = [] {
        struct Candidate {
            const wchar_t* library;
            const wchar_t* className;
        };
        const Candidate candidates[] = {{L"MSFTEDIT.DLL", L"RICHEDIT50W"},
                                        {L"RICHED20.DLL", L"RichEdit20W"},
                                        {L"RICHED32.DLL", L"RichEdit"}};
        for (const Candidate& candidate : candidates) {
            if (LoadLibraryW(candidate.library) != nullptr) return candidate.className;
        }
        return static_cast<const wchar_t*>(nullptr);
    }();
    return className;
}

COLORREF colourOf(std::uint32_t rrggbb) {
    return RGB((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

bool selectsAllOnTab(ControlKind kind) {
    return kind == ControlKind::EditField || kind == ControlKind::ReadOnlyLine;
}

class Win32Toolkit;

struct WindowRecord {
    Win32Toolkit* toolkit = nullptr;
    int id = 0;
    HWND handle = nullptr;
    UniqueBrush background;  // none: the class's button-face background
    COLORREF backgroundColour = 0;
    HMENU menuBar = nullptr;        // owned by the window once attached
    std::vector<int> controlIds;    // creation order, which is the Tab order
    HWND focusWhenInactive = nullptr;
    bool destroying = false;        // its notifications no longer become events
};

struct ControlRecord {
    HWND handle = nullptr;
    ControlKind kind = ControlKind::TextLine;
    int windowId = 0;
    HFONT font = nullptr;
    int fontId = 0;   // 0: the default control font
    int imageId = 0;  // Picture: the image shown, 0 for none
};

struct Binding {
    int windowId = 0;
    std::function<void()> handler;
};

struct PendingEvent {
    Event event;
    int windowId = 0;
    bool runsBinding = false;  // a bound click: waitEvent runs the handler
};

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Win32Toolkit final : public Toolkit {
public:
    Win32Toolkit(int dpiX, int dpiY, HFONT defaultFont, UniqueFont ownedDefaultFont,
                 UniqueAccelerators accelerators, bool comInitialised)
        : dpiX_(dpiX), dpiY_(dpiY), defaultFont_(defaultFont),
          ownedDefaultFont_(std::move(ownedDefaultFont)), accelerators_(std::move(accelerators)),
          comInitialised_(comInitialised) {}

    ~Win32Toolkit() override {
        releaseAll();
        if (comInitialised_) CoUninitialize();
    }

    int dpiX() const override { return dpiX_; }
    int dpiY() const override { return dpiY_; }

    // --- windows ---

    bool createWindow(int windowId, const WindowSpec& spec) override {
        if (windows_.contains(windowId)) return false;
        auto record = std::make_unique<WindowRecord>();
        record->toolkit = this;
        record->id = windowId;
        if (spec.background != dialogBackground) {
            record->backgroundColour = colourOf(spec.background);
            record->background.reset(CreateSolidBrush(record->backgroundColour));
        }
        RECT outer = {0, 0, unitsToPixels(spec.clientWidth, dpiX_),
                      unitsToPixels(spec.clientHeight, dpiY_)};
        AdjustWindowRectEx(&outer, windowStyle, FALSE, windowExStyle);
        const int width = outer.right - outer.left;
        const int height = outer.bottom - outer.top;
        const int x = spec.centred ? centredOrigin(GetSystemMetrics(SM_CXSCREEN), width)
                                   : unitsToPixels(spec.x, dpiX_);
        const int y = spec.centred ? centredOrigin(GetSystemMetrics(SM_CYSCREEN), height)
                                   : unitsToPixels(spec.y, dpiY_);
        // The record reaches the window procedure with WM_NCCREATE.
        HWND window = CreateWindowExW(windowExStyle, windowClassName, spec.title.c_str(),
                                      windowStyle, x, y, width, height, nullptr, nullptr,
                                      programInstance(), record.get());
        if (window == nullptr) return false;
        windows_.emplace(windowId, std::move(record));
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        return true;
    }

    void destroyWindow(int windowId) override {
        const auto found = windows_.find(windowId);
        if (found == windows_.end()) return;
        WindowRecord& record = *found->second;
        record.destroying = true;
        HWND window = record.handle;

        for (int controlId : record.controlIds) {
            const auto control = controls_.find(controlId);
            if (control == controls_.end()) continue;
            if (control->second.kind == ControlKind::Picture) showBitmap(control->second, nullptr);
            discardPostedMessages(control->second.handle);
        }
        discardPostedMessages(window);
        DestroyWindow(window);  // its controls, timers and menu go with it

        {
            std::lock_guard<std::mutex> lock(controlsMutex_);
            for (int controlId : record.controlIds) controls_.erase(controlId);
        }
        std::erase_if(bindings_, [windowId](const auto& entry) {
            return entry.second.windowId == windowId;
        });
        std::erase_if(queue_, [windowId](const PendingEvent& pending) {
            return pending.windowId == windowId;
        });
        windows_.erase(found);  // releases the background brush
    }

    bool windowExists(int windowId) const override {
        const WindowRecord* record = findWindow(windowId);
        return record != nullptr && IsWindow(record->handle);
    }

    void placeWindow(int windowId, int x, int y, int clientWidth, int clientHeight) override {
        const WindowRecord* record = findWindow(windowId);
        if (record == nullptr) return;
        RECT outer = {0, 0, unitsToPixels(clientWidth, dpiX_), unitsToPixels(clientHeight, dpiY_)};
        // Sized as if there were no menu bar: the bar takes its height out of the client area.
        AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(record->handle, GWL_STYLE)),
                           FALSE, static_cast<DWORD>(GetWindowLongW(record->handle, GWL_EXSTYLE)));
        SetWindowPos(record->handle, nullptr, unitsToPixels(x, dpiX_), unitsToPixels(y, dpiY_),
                     outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // --- controls ---

    bool createControl(int windowId, int controlId, ControlKind kind, const std::wstring& text,
                       const Rect& rect) override {
        WindowRecord* record = findWindow(windowId);
        if (record == nullptr || controls_.contains(controlId)) return false;

        const wchar_t* className = nullptr;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        const wchar_t* initialText = text.c_str();
        switch (kind) {
        case ControlKind::TextLine:
            className = L"Static";
            style |= SS_NOPREFIX;
            break;
        case ControlKind::EditField:
            className = L"Edit";
            style |= ES_AUTOHSCROLL | WS_TABSTOP;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ReadOnlyLine:
            className = L"Edit";
            style |= ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;
            break;
        case ControlKind::PushButton:
            className = L"Button";
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::DropDownList:
            className = L"ComboBox";
            style |= CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL;
            initialText = L"";
            break;
        case ControlKind::TextBox:
            className = richEditClassName();
            style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL |
                     ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
            exStyle |= WS_EX_CLIENTEDGE;  // the sunken border of a read-only text field
            initialText = L"";  // plain-text mode can be set only while the box is empty
            break;
        case ControlKind::Picture:
            className = L"Static";
            style |= SS_BITMAP | SS_NOTIFY;
            initialText = nullptr;  // a bitmap static would take its text for a resource name
            break;
        }
        if (className == nullptr) return false;

        HWND control = CreateWindowExW(
            exStyle, className, initialText, style, unitsToPixels(rect.x, dpiX_),
            unitsToPixels(rect.y, dpiY_), unitsToPixels(rect.width, dpiX_),
            unitsToPixels(rect.height, dpiY_), record->handle,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), programInstance(), nullptr);
        if (control == nullptr) return false;

        ControlRecord controlRecord;
        controlRecord.handle = control;
        controlRecord.kind = kind;
        controlRecord.windowId = windowId;
        controlRecord.font = defaultFont_;
        if (kind == ControlKind::TextBox) {
            // Plain-text mode first: rich edit refuses it once anything, even a
            // font change, is in its undo history.
            SendMessageW(control, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
            SendMessageW(control, EM_EXLIMITTEXT, 0, unlimitedText);
            SendMessageW(control, EM_SETTARGETDEVICE, 0, 0);  // wrap at the box's width
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_), FALSE);
        if (kind == ControlKind::TextBox && !text.empty()) applyText(control, kind, text);
        if (kind == ControlKind::DropDownList) placeDropDownList(control, rect);
        {
            std::lock_guard<std::mutex> lock(controlsMutex_);
            controls_.emplace(controlId, controlRecord);
        }
        record->controlIds.push_back(controlId);
        return true;
    }

    void moveControl(int controlId, const Rect& rect) override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr) return;
        if (control->kind == ControlKind::DropDownList) {
            placeDropDownList(control->handle, rect);
            return;
        }
        MoveWindow(control->handle, unitsToPixels(rect.x, dpiX_), unitsToPixels(rect.y, dpiY_),
                   unitsToPixels(rect.width, dpiX_), unitsToPixels(rect.height, dpiY_), TRUE);
    }

    Rect controlRect(int controlId) const override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr) return Rect{};
        // A combo box's window is its closed form; the open list is a window of its own.
        RECT bounds = {};
        GetWindowRect(control->handle, &bounds);
        MapWindowPoints(HWND_DESKTOP, GetParent(control->handle), reinterpret_cast<POINT*>(&bounds), 2);
        return Rect{pixelsToUnits(bounds.left, dpiX_), pixelsToUnits(bounds.top, dpiY_),
                    pixelsToUnits(bounds.right - bounds.left, dpiX_),
                    pixelsToUnits(bounds.bottom - bounds.top, dpiY_)};
    }

    std::wstring text(int controlId) const override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr) return std::wstring();
        if (control->kind != ControlKind::DropDownList) return windowText(control->handle);
        const LRESULT selected = SendMessageW(control->handle, CB_GETCURSEL, 0, 0);
        if (selected == CB_ERR) return std::wstring();
        const LRESULT length = SendMessageW(control->handle, CB_GETLBTEXTLEN, selected, 0);
        if (length == CB_ERR || length <= 0) return std::wstring();
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied = SendMessageW(control->handle, CB_GETLBTEXT, selected,
                                            reinterpret_cast<LPARAM>(item.data()));
        item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        return item;
    }

    void setText(int controlId, const std::wstring& text) override {
        const ControlRecord* control = findControl(controlId);
        if (control != nullptr) applyText(control->handle, control->kind, text);
    }

    void setTextFromAnyThread(int controlId, const std::wstring& text) override {
        HWND handle = nullptr;
        ControlKind kind = ControlKind::TextLine;
        {
            std::lock_guard<std::mutex> lock(controlsMutex_);
            const auto found = controls_.find(controlId);
            if (found == controls_.end()) return;
            handle = found->second.handle;
            kind = found->second.kind;
        }
        // From another thread the window messages are sent to the window thread,
        // which carries them out; each call returns when it is done.
        applyText(handle, kind, text);
    }

    void insertAtStart(int controlId, const std::wstring& text) override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr) return;
        if (control->kind != ControlKind::TextBox) {
            applyText(control->handle, control->kind, text + windowText(control->handle));
            return;
        }
        HWND box = control->handle;
        SendMessageW(box, EM_SETSEL, 0, 0);
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(box, EM_SETSEL, 0, 0);
        SendMessageW(box, EM_SCROLLCARET, 0, 0);
        SendMessageW(box, WM_VSCROLL, SB_TOP, 0);
    }

    void setFocus(int controlId) override {
        const ControlRecord* control = findControl(controlId);
        if (control != nullptr) SetFocus(control->handle);
    }

    void insertListItem(int controlId, int position, const std::wstring& text) override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr || control->kind != ControlKind::DropDownList) return;
        SendMessageW(control->handle, CB_INSERTSTRING, static_cast<WPARAM>(position),
                     reinterpret_cast<LPARAM>(text.c_str()));
    }

    void selectListItem(int controlId, const std::wstring& text) override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr || control->kind != ControlKind::DropDownList) return;
        // The search ignores letter case; -1 searches the whole list from the top.
        const LRESULT index = SendMessageW(control->handle, CB_FINDSTRINGEXACT,
                                           static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text.c_str()));
        if (index != CB_ERR) SendMessageW(control->handle, CB_SETCURSEL, index, 0);
    }

    // --- measuring ---

    int textHeightPixels(int controlId) const override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr) return 0;
        std::wstring measured = text(controlId);
        if (measured.empty()) measured = L" ";  // an empty line is still one line high
        WindowDc dc(control->handle);
        if (dc.get() == nullptr) return 0;
        SelectedObject font(dc.get(), control->font);
        RECT bounds = {0, 0, 0, 0};
        DrawTextW(dc.get(), measured.c_str(), static_cast<int>(measured.size()), &bounds,
                  DT_CALCRECT | DT_NOPREFIX);
        return bounds.bottom - bounds.top;
    }

    int hgHeightPixels(int controlId) const override {
        const ControlRecord* control = findControl(controlId);
        if (control == nullptr) return 0;
        WindowDc dc(control->handle);
        if (dc.get() == nullptr) return 0;
        SelectedObject font(dc.get(), control->font);
        SIZE extent = {0, 0};
        GetTextExtentPoint32W(dc.get(), L"Hg", 2, &extent);
        return extent.cy;
    }

    int edgeHeightPixels() const override { return GetSystemMetrics(SM_CYEDGE); }
    int menuBarHeightPixels() const override { return GetSystemMetrics(SM_CYMENU); }

    // --- menus and timers ---

    void addMenu(int windowId, int /*menuBarId*/, const std::wstring& title, int itemId,
                 const std::wstring& itemText) override {
        WindowRecord* record = findWindow(windowId);
        if (record == nullptr) return;
        UniqueMenu newBar;
        if (record->menuBar == nullptr) {
            newBar.reset(CreateMenu());
            if (!newBar) return;
        }
        HMENU bar = newBar ? newBar.get() : record->menuBar;
        UniqueMenu popup(CreatePopupMenu());
        if (!popup) return;
        AppendMenuW(popup.get(), MF_STRING, static_cast<UINT_PTR>(itemId), itemText.c_str());
        if (AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup.get()), title.c_str())) {
            popup.releaseOwnership();  // the bar destroys it
        }
        if (newBar) {
            if (!SetMenu(record->handle, bar)) return;
            record->menuBar = newBar.releaseOwnership();  // the window destroys it
        }
        DrawMenuBar(record->handle);
    }

    void startTimer(int windowId, int timerId, int periodMs) override {
        const WindowRecord* record = findWindow(windowId);
        if (record == nullptr) return;
        SetTimer(record->handle, static_cast<UINT_PTR>(timerId),
                 static_cast<UINT>(std::max(periodMs, 0)), nullptr);
    }

    // --- fonts and images ---

    bool loadFont(int fontId, const std::wstring& face, int heightPixels) override {
        UniqueFont font(CreateFontW(heightPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
        const bool loaded = static_cast<bool>(font);
        // Controls drawn with the old font move to the new one (or back to the
        // default) before the old one is released.
        for (auto& [controlId, control] : controls_) {
            if (control.fontId != fontId) continue;
            applyFont(control, loaded ? font.get() : defaultFont_, loaded ? fontId : 0);
        }
        if (loaded) {
            fonts_[fontId] = std::move(font);
        } else {
            fonts_.erase(fontId);
        }
        return loaded;
    }

    void setControlFont(int controlId, int fontId) override {
        const auto control = controls_.find(controlId);
        const auto font = fonts_.find(fontId);
        if (control == controls_.end() || font == fonts_.end()) return;
        applyFont(control->second, font->second.get(), fontId);
    }

    bool loadBmpImage(int imageId, const unsigned char* data, std::size_t size) override {
        UniqueBitmap bitmap = win32::decodeBmp(data, size);
        const bool loaded = static_cast<bool>(bitmap);
        // Pictures showing the old image show the new one (or none) before it is released.
        for (auto& [controlId, control] : controls_) {
            if (control.kind != ControlKind::Picture || control.imageId != imageId) continue;
            showBitmap(control, loaded ? bitmap.get() : nullptr);
            control.imageId = loaded ? imageId : 0;
        }
        if (loaded) {
            images_[imageId] = std::move(bitmap);
        } else {
            images_.erase(imageId);
        }
        return loaded;
    }

    bool imageExists(int imageId) const override { return images_.contains(imageId); }

    void setPictureImage(int controlId, int imageId) override {
        const auto control = controls_.find(controlId);
        if (control == controls_.end() || control->second.kind != ControlKind::Picture) return;
        const auto image = images_.find(imageId);
        if (image == images_.end()) {
            // Without the image the picture keeps its asked size and shows the background.
            if (control->second.imageId != 0) showBitmap(control->second, nullptr);
            control->second.imageId = 0;
            return;
        }
        showBitmap(control->second, image->second.get());  // the static takes the bitmap's size
        control->second.imageId = imageId;
    }

    void bindLeftClick(int windowId, int controlId, std::function<void()> handler) override {
        if (findWindow(windowId) == nullptr) return;
        bindings_[controlId] = Binding{windowId, std::move(handler)};
    }

    // --- modal boxes ---

    void messageBox(const std::wstring& title, const std::wstring& text) override {
        win32::showModalMessage(title, text);
    }

    std::wstring pickFolder(const std::wstring& prompt,
                            const std::wstring& initialSelection) override {
        return win32::browseForFolder(prompt, initialSelection);
    }

    // --- events ---

    Event waitEvent() override {
        while (queue_.empty()) {
            MSG message;
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0 || got == -1) return Event{};  // WM_QUIT or no queue: nothing to deliver
            if (translateTabKeys(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const PendingEvent next = queue_.front();
        queue_.pop_front();
        if (!next.runsBinding) return next.event;
        const auto binding = bindings_.find(next.event.id);
        if (binding != bindings_.end()) {
            // A copy: the handler may end its own binding by destroying the window.
            const std::function<void()> handler = binding->second.handler;
            if (handler) handler();
        }
        return Event{EventKind::Other, next.event.id};
    }

    void setProgramIcon(const unsigned char*, std::size_t) override {
        // The Windows build takes its icon from the executable's resources.
    }

    void releaseAll() override {
        while (!windows_.empty()) destroyWindow(windows_.begin()->first);
        queue_.clear();
        bindings_.clear();
        fonts_.clear();
        images_.clear();
        accelerators_.reset();
        ownedDefaultFont_.reset();
        defaultFont_ = nullptr;
    }

    // Called by the window procedure for every message of one of the program's
    // windows; answers whether it handled the message, with its result.
    bool handleMessage(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT& result) {
        result = 0;
        switch (message) {
        case WM_CLOSE:
            queueEvent(record, Event{EventKind::CloseRequest, record.id});
            return true;  // the window stays; the program decides
        case WM_TIMER:
            queueTimer(record, static_cast<int>(wParam));
            return true;
        case WM_COMMAND:
            handleCommand(record, wParam, lParam);
            return true;
        case WM_ERASEBKGND:
            if (!record.background) return false;
            {
                RECT client;
                GetClientRect(record.handle, &client);
                FillRect(reinterpret_cast<HDC>(wParam), &client, record.background.get());
            }
            result = 1;
            return true;
        case WM_CTLCOLORSTATIC:
            // Statics, pictures and read-only fields take the window's own background.
            if (!record.background) return false;
            SetBkColor(reinterpret_cast<HDC>(wParam), record.backgroundColour);
            result = reinterpret_cast<LRESULT>(record.background.get());
            return true;
        case WM_ACTIVATE:
            return keepFocusOverActivation(record, wParam);
        default:
            return false;
        }
    }

private:
    WindowRecord* findWindow(int windowId) const {
        const auto found = windows_.find(windowId);
        return found == windows_.end() ? nullptr : found->second.get();
    }

    const ControlRecord* findControl(int controlId) const {
        const auto found = controls_.find(controlId);
        return found == controls_.end() ? nullptr : &found->second;
    }

    void queueEvent(const WindowRecord& record, Event event, bool runsBinding = false) {
        if (record.destroying) return;
        queue_.push_back(PendingEvent{event, record.id, runsBinding});
    }

    void queueTimer(const WindowRecord& record, int timerId) {
        // Ticks that fall due while one is waiting are not made up for.
        const bool waiting = std::any_of(queue_.begin(), queue_.end(), [timerId](const PendingEvent& p) {
            return p.event.kind == EventKind::Timer && p.event.id == timerId;
        });
        if (!waiting) queueEvent(record, Event{EventKind::Timer, timerId});
    }

    void handleCommand(WindowRecord& record, WPARAM wParam, LPARAM lParam) {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (lParam == 0) {
            if (code == 1) {  // an accelerator
                if (id == focusNextCommand) moveFocus(record, true);
                if (id == focusPreviousCommand) moveFocus(record, false);
                return;
            }
            queueEvent(record, Event{EventKind::Menu, id});
            return;
        }
        const ControlRecord* control = findControl(id);
        if (control == nullptr || control->handle != reinterpret_cast<HWND>(lParam)) return;
        if (control->kind == ControlKind::Picture) {
            // Only the first press of a double click arrives as STN_CLICKED.
            if (code == STN_CLICKED && bindings_.contains(id)) {
                queueEvent(record, Event{EventKind::Other, id}, true);
            }
            return;
        }
        queueEvent(record, Event{EventKind::Control, id});
    }

    // Tab and Shift+Tab over the window's focusable controls in creation order,
    // wrapping; without a focused control Tab starts at the first, Shift+Tab at the last.
    void moveFocus(const WindowRecord& record, bool forward) {
        std::vector<const ControlRecord*> stops;
        for (int controlId : record.controlIds) {
            const ControlRecord* control = findControl(controlId);
            if (control == nullptr) continue;
            const LONG style = GetWindowLongW(control->handle, GWL_STYLE);
            if ((style & WS_TABSTOP) != 0 && IsWindowVisible(control->handle) &&
                IsWindowEnabled(control->handle)) {
                stops.push_back(control);
            }
        }
        if (stops.empty()) return;
        HWND focus = GetFocus();
        const auto current = std::find_if(stops.begin(), stops.end(), [focus](const ControlRecord* c) {
            return focus != nullptr && (c->handle == focus || IsChild(c->handle, focus));
        });
        const std::size_t count = stops.size();
        std::size_t next = forward ? 0 : count - 1;
        if (current != stops.end()) {
            const auto index = static_cast<std::size_t>(std::distance(stops.begin(), current));
            next = forward ? (index + 1) % count : (index + count - 1) % count;
        }
        SetFocus(stops[next]->handle);
        if (selectsAllOnTab(stops[next]->kind)) SendMessageW(stops[next]->handle, EM_SETSEL, 0, -1);
    }

    // The control that had the focus gets it back when the window is activated
    // again, after a message box for instance.
    static bool keepFocusOverActivation(WindowRecord& record, WPARAM wParam) {
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            record.focusWhenInactive =
                focus != nullptr && IsChild(record.handle, focus) ? focus : nullptr;
            return false;
        }
        HWND previous = record.focusWhenInactive;
        if (previous == nullptr || !IsWindow(previous) || !IsChild(record.handle, previous)) {
            return false;
        }
        SetFocus(previous);
        return true;
    }

    bool translateTabKeys(MSG& message) {
        if (!accelerators_ || message.hwnd == nullptr) return false;
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        const bool ours = std::any_of(windows_.begin(), windows_.end(), [root](const auto& entry) {
            return entry.second->handle == root;
        });
        return ours && TranslateAcceleratorW(root, accelerators_.get(), &message) != 0;
    }

    // A drop-down list is given room for its open list; its selection field is sized
    // so that the closed control is exactly as high as asked.
    void placeDropDownList(HWND combo, const Rect& rect) const {
        const int closedHeight = unitsToPixels(rect.height, dpiY_);
        MoveWindow(combo, unitsToPixels(rect.x, dpiX_), unitsToPixels(rect.y, dpiY_),
                   unitsToPixels(rect.width, dpiX_),
                   closedHeight + unitsToPixels(dropDownListUnits, dpiY_), TRUE);
        // The selection field's height as set and as read back may differ by a
        // constant (Wine adds 2), so the next value is derived from the last one set.
        LRESULT fieldHeight = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        if (fieldHeight == CB_ERR) return;
        for (int attempt = 0; attempt < 3; ++attempt) {
            RECT bounds = {};
            GetWindowRect(combo, &bounds);
            const int difference = closedHeight - (bounds.bottom - bounds.top);
            if (difference == 0) return;
            const LRESULT wanted = std::max<LRESULT>(1, fieldHeight + difference);
            if (wanted == fieldHeight) return;
            SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
            fieldHeight = wanted;
        }
    }

    static void applyText(HWND control, ControlKind kind, const std::wstring& text) {
        if (kind == ControlKind::TextBox) {
            SendMessageW(control, EM_SETSEL, 0, -1);
            SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
            return;
        }
        SetWindowTextW(control, text.c_str());
    }

    static void applyFont(ControlRecord& control, HFONT font, int fontId) {
        SendMessageW(control.handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        control.font = font;
        control.fontId = fontId;
    }

    // Hands a picture its bitmap (or none). A static may draw from a copy of the
    // bitmap it was given (for one with alpha values); such a copy is its own to release.
    void showBitmap(const ControlRecord& control, HBITMAP bitmap) const {
        const auto previous = reinterpret_cast<HBITMAP>(SendMessageW(
            control.handle, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
        if (previous == nullptr || previous == bitmap) return;
        const bool ours = std::any_of(images_.begin(), images_.end(), [previous](const auto& entry) {
            return entry.second.get() == previous;
        });
        if (!ours) DeleteObject(previous);
    }

    static void discardPostedMessages(HWND window) {
        MSG message;
        // Posted messages and timers only: WM_PAINT is not removed by PM_REMOVE.
        for (int i = 0; i < 10000 && PeekMessageW(&message, window, 0, 0,
                                                  PM_REMOVE | PM_QS_POSTMESSAGE);
             ++i) {
        }
    }

    const int dpiX_;
    const int dpiY_;
    HFONT defaultFont_;
    UniqueFont ownedDefaultFont_;  // none when the default is the stock font
    UniqueAccelerators accelerators_;
    const bool comInitialised_;

    std::map<int, std::unique_ptr<WindowRecord>> windows_;  // records stay put for the window procedure
    // Changed only on the window thread; setTextFromAnyThread reads it from others.
    std::map<int, ControlRecord> controls_;
    mutable std::mutex controlsMutex_;
    std::map<int, Binding> bindings_;  // by control
    std::map<int, UniqueFont> fonts_;
    std::map<int, UniqueBitmap> images_;
    std::deque<PendingEvent> queue_;
};

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* record = static_cast<WindowRecord*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        record->handle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    }
    auto* record = reinterpret_cast<WindowRecord*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    LRESULT result = 0;
    if (record != nullptr && record->toolkit->handleMessage(*record, message, wParam, lParam, result)) {
        return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerWindowClass() {
    WNDCLASSW windowClass = {};
    if (GetClassInfoW(programInstance(), windowClassName, &windowClass)) return;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = programInstance();
    windowClass.hIcon = LoadIconW(programInstance(), MAKEINTRESOURCEW(1));  // none is fine
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = windowClassName;
    RegisterClassW(&windowClass);
}

void declareDpiAware() {
    // Also declared by the program's manifest; the call covers test programs without one.
    using SetProcessDpiAwareFunction = BOOL(WINAPI*)();
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return;
    const auto function = reinterpret_cast<SetProcessDpiAwareFunction>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (function != nullptr) function();
}

int screenDpi(int index) {
    WindowDc screen(nullptr);
    const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), index) : 0;
    return dpi > 0 ? dpi : 96;
}

}  // namespace

std::unique_ptr<Toolkit> createToolkit() {
    declareDpiAware();
    INITCOMMONCONTROLSEX commonControls = {sizeof(commonControls),
                                           ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&commonControls);
    // The folder browser needs an apartment-threaded COM on the window thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    registerWindowClass();

    UniqueFont messageFont;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        messageFont.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    }
    HFONT defaultFont = messageFont ? messageFont.get()
                                    : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    ACCEL tabKeys[] = {{FVIRTKEY, VK_TAB, focusNextCommand},
                       {FVIRTKEY | FSHIFT, VK_TAB, focusPreviousCommand}};
    UniqueAccelerators accelerators(CreateAcceleratorTableW(tabKeys, 2));

    return std::make_unique<Win32Toolkit>(screenDpi(LOGPIXELSX), screenDpi(LOGPIXELSY), defaultFont,
                                          std::move(messageFont), std::move(accelerators),
                                          SUCCEEDED(com));
}

}  // namespace platform
