// The window toolkit: windows, controls, menus, timers, fonts and images addressed
// by the program's own small numbers, and one event wait that delivers control,
// menu, timer and close events carrying those numbers.
//
// Positions and sizes are window units (1/96 inch); the backend scales them to
// the screen's resolution on the way to the platform and back. Measurements for
// the layout are in pixels, as the platform reports them.
//
// Everything is called on the window thread, except setTextFromAnyThread.
// Implemented by platform/win32 and platform/qt; createToolkit() makes the one
// the program is linked with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

enum class ControlKind {
    TextLine,      // static text, no mnemonics, no border, takes no focus
    EditField,     // single-line, editable, sunken border, scrolls sideways
    ReadOnlyLine,  // single-line, read-only, selectable, no border
    PushButton,    // ordinary push button
    DropDownList,  // non-editable, unsorted drop-down list
    TextBox,       // multi-line, read-only, plain text, word wrap, vertical scroll bar
    Picture,       // shows an image at its pixel size; reports a left click
};

enum class EventKind { Other, Control, Menu, Timer, CloseRequest };

struct Event {
    EventKind kind = EventKind::Other;
    int id = 0;  // the control, menu item, timer or window number
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

constexpr std::uint32_t dialogBackground = 0xFFFFFFFFu;  // the system's button-face colour

struct WindowSpec {
    std::wstring title;
    int clientWidth = 0;   // units
    int clientHeight = 0;  // units
    bool centred = false;  // centred on the primary screen's full area, else at x, y
    int x = 0;             // outer top-left corner, units
    int y = 0;
    std::uint32_t background = dialogBackground;  // 0xRRGGBB or dialogBackground
};

class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Screen resolution, read once at start (96 where units are already 1/96 inch).
    virtual int dpiX() const = 0;
    virtual int dpiY() const = 0;

    // --- windows ---
    // Creates a top-level window (caption, system menu, close box only; fixed
    // size; the program's icon; no owner) and shows it normally, activated.
    // Its close box only raises a close request.
    virtual bool createWindow(int windowId, const WindowSpec& spec) = 0;
    // Destroys the window with its controls, ends its bindings and discards every
    // pending event of it and of its controls.
    virtual void destroyWindow(int windowId) = 0;
    virtual bool windowExists(int windowId) const = 0;
    // Sizes the window for a client area of the given size (computed as if it had
    // no menu bar) with its outer top-left corner at x, y; keeps its z-order and
    // does not activate it.
    virtual void placeWindow(int windowId, int x, int y, int clientWidth, int clientHeight) = 0;

    // --- controls ---
    virtual bool createControl(int windowId, int controlId, ControlKind kind,
                               const std::wstring& text, const Rect& rect) = 0;
    virtual void moveControl(int controlId, const Rect& rect) = 0;
    // The control's place and size as read back from the platform.
    virtual Rect controlRect(int controlId) const = 0;
    virtual std::wstring text(int controlId) const = 0;
    virtual void setText(int controlId, const std::wstring& text) = 0;
    // From any thread: carried out on the window thread; returns when done.
    virtual void setTextFromAnyThread(int controlId, const std::wstring& text) = 0;
    // TextBox: inserts text before the first character and shows the top.
    virtual void insertAtStart(int controlId, const std::wstring& text) = 0;
    virtual void setFocus(int controlId) = 0;

    // DropDownList
    virtual void insertListItem(int controlId, int position, const std::wstring& text) = 0;
    // Selects the item equal to text, ignoring letter case; no match: unchanged.
    virtual void selectListItem(int controlId, const std::wstring& text) = 0;

    // --- measuring (pixels, with the control's own font) ---
    // Height of the control's text laid out without word wrapping.
    virtual int textHeightPixels(int controlId) const = 0;
    // Height of the text "Hg".
    virtual int hgHeightPixels(int controlId) const = 0;
    virtual int edgeHeightPixels() const = 0;     // the 3-D edge height (SM_CYEDGE)
    virtual int menuBarHeightPixels() const = 0;  // a one-line menu bar (SM_CYMENU)

    // --- menus and timers ---
    // Adds a drop-down menu with one plain item to the window's menu bar
    // (created as menuBarId on the first call) and shows the bar.
    virtual void addMenu(int windowId, int menuBarId, const std::wstring& title,
                         int itemId, const std::wstring& itemText) = 0;
    virtual void startTimer(int windowId, int timerId, int periodMs) = 0;

    // --- fonts and images (loading under a number in use releases the old one) ---
    // heightPixels < 0 asks for the height of the characters themselves.
    virtual bool loadFont(int fontId, const std::wstring& face, int heightPixels) = 0;
    virtual void setControlFont(int controlId, int fontId) = 0;
    // Decodes a BMP file held in memory (RLE8 included).
    virtual bool loadBmpImage(int imageId, const unsigned char* data, std::size_t size) = 0;
    virtual bool imageExists(int imageId) const = 0;
    // Picture: shows the image at its pixel size; the control takes that size.
    virtual void setPictureImage(int controlId, int imageId) = 0;

    // Runs handler on the window thread whenever the control is left-clicked (a
    // double click's second press does not count). Ends when the window is destroyed.
    virtual void bindLeftClick(int windowId, int controlId, std::function<void()> handler) = 0;

    // --- modal boxes (every other window of the program is unusable meanwhile) ---
    // A message box with the title, the text and one OK button, no icon.
    virtual void messageBox(const std::wstring& title, const std::wstring& text) = 0;
    // The folder browser; the chosen folder's file-system path, or empty text.
    virtual std::wstring pickFolder(const std::wstring& prompt,
                                    const std::wstring& initialSelection) = 0;

    // --- events ---
    // Blocks until the next event; events come one at a time, in order. Timer
    // ticks missed while a handler runs are not made up for.
    virtual Event waitEvent() = 0;

    // The program's icon for every window, from an image file held in memory
    // (PNG or BMP). The Windows build takes its icon from the executable's
    // resources instead and ignores this.
    virtual void setProgramIcon(const unsigned char* data, std::size_t size) = 0;

    // Releases every window, font and image.
    virtual void releaseAll() = 0;
};

// Makes the toolkit of the backend this program is linked with and starts the
// platform's window services (the default control font, the screen resolution).
std::unique_ptr<Toolkit> createToolkit();

}  // namespace platform
