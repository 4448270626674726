#pragma once
// Thin scope guards for GDI: a window's DC is released, an object selected into a DC is
// selected back out, and a created object is deleted, on every path out of a scope.
#include <windows.h>

// The DC of a window (GetDC), released when the guard ends.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// `object` selected into `dc` for the guard's life; what was there before is put back.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selected() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A GDI object the scope created (bitmap, font, brush, pen); deleted when the guard ends.
template <typename Handle>
class GdiObject {
public:
    explicit GdiObject(Handle object = nullptr) : object_(object) {}
    ~GdiObject() {
        if (object_) DeleteObject(object_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    operator Handle() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    Handle object_;
};
