// Owners of the Win32 handles the toolkit holds: each releases its handle the
// platform's way when it goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename Handle, auto release>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.releaseOwnership()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.releaseOwnership());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(Handle handle = nullptr) {
        if (handle_ != nullptr && handle_ != handle) release(handle_);
        handle_ = handle;
    }
    Handle releaseOwnership() { return std::exchange(handle_, nullptr); }

private:
    Handle handle_ = nullptr;
};

inline void deleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void destroyAcceleratorTable(HACCEL table) { DestroyAcceleratorTable(table); }
inline void destroyMenu(HMENU menu) { DestroyMenu(menu); }

using UniqueFont = UniqueHandle<HFONT, deleteGdiObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, deleteGdiObject>;
using UniqueBrush = UniqueHandle<HBRUSH, deleteGdiObject>;
using UniqueAccelerators = UniqueHandle<HACCEL, destroyAcceleratorTable>;
using UniqueMenu = UniqueHandle<HMENU, destroyMenu>;

// A device context of a window (or of the screen, for a null window), released on exit.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A GDI object selected into a device context for the scope, the previous one put back after.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous_ != nullptr) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace platform::win32
