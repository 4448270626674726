#include "ui/region_overlay.h"

#include <dwmapi.h>
#include <windowsx.h>

#include <cstdio>

#include "core/app_state.h"
#include "core/gdi_guards.h"
#include "core/region_geometry.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/capture.h"
#include "capture/hot_keys.h"
#include "capture/region_capture.h"

namespace {

const wchar_t kOverlayClass[] = L"KestrinRegion";
// The magnifier shows kLensPixels x kLensPixels screen pixels kLensZoom times enlarged.
const int kLensPixels = 15;
const int kLensZoom = 8;
const int kLensSize = kLensPixels * kLensZoom;
const int kGap = 20;  // between the pointer and the magnifier, the selection and its size
// What the screen is given to repaint what the overlay covered before sample 1 is taken.
const DWORD kRepaintMilliseconds = 60;
// Where the system keeps the foreground from the overlay (the key was pressed over another
// program), Esc is watched on this timer instead, so it always leaves.
const UINT_PTR kEscapeTimer = 1;
const UINT kEscapeCheckMilliseconds = 50;

// A 32-bit top-down DIB selected into a DC of its own.
struct Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    DWORD* bits = nullptr;
};

HWND overlay = nullptr;
RECT screen = {0, 0, 0, 0};  // the virtual screen the overlay covers
Surface frozen;              // the screen as it was
Surface dimmed;              // the same, darker: the outside of the selection
Surface back;                // what a paint builds before it reaches the window
POINT pointer = {0, 0};      // screen coordinates
POINT anchor = {0, 0};
bool dragging = false;
bool activated = false;      // a focus lost before the overlay ever had it is not the user's
RECT hovered = {0, 0, 0, 0};  // the window under the pointer, cut to the screen

bool makeSurface(Surface& surface, HDC like, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    surface.bitmap = CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    surface.dc = CreateCompatibleDC(like);
    if (!surface.bitmap || !surface.dc) return false;
    surface.bits = static_cast<DWORD*>(bits);
    surface.previous = SelectObject(surface.dc, surface.bitmap);
    return true;
}

void freeSurface(Surface& surface) {
    if (surface.dc && surface.previous) SelectObject(surface.dc, surface.previous);
    if (surface.dc) DeleteDC(surface.dc);
    if (surface.bitmap) DeleteObject(surface.bitmap);
    surface = Surface();
}

int screenWidth() { return clampedSpan(screen.left, screen.right); }
int screenHeight() { return clampedSpan(screen.top, screen.bottom); }

RECT toClient(const RECT& r) {
    return {r.left - screen.left, r.top - screen.top, r.right - screen.left, r.bottom - screen.top};
}

struct WindowSearch {
    POINT point;
    RECT found;
    bool any;
};

// A cloaked window (one on another virtual desktop, a suspended app's frame) counts as
// visible but is not on the screen. Wine reports none (the call fails, as before Windows 8).
bool isCloaked(HWND window) {
    DWORD cloaked = 0;
    return SUCCEEDED(DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) && cloaked != 0;
}

// Top-level windows come in z-order, the topmost first: the first visible one holding
// the point is the one the user sees there.
BOOL CALLBACK findWindowAt(HWND window, LPARAM search) {
    WindowSearch* s = reinterpret_cast<WindowSearch*>(search);
    RECT rect;
    if (window == overlay || !IsWindowVisible(window) || IsIconic(window) || !GetWindowRect(window, &rect)) return TRUE;
    if (!PtInRect(&rect, s->point) || isCloaked(window)) return TRUE;
    s->found = rect;
    s->any = true;
    return FALSE;
}

// The window under the point as a capture of the foreground window takes it: its outer
// rectangle cut to the virtual screen; empty where there is none.
RECT windowRectAt(POINT point) {
    WindowSearch search = {point, {0, 0, 0, 0}, false};
    EnumWindows(findWindowAt, reinterpret_cast<LPARAM>(&search));
    return search.any ? clipToScreen(search.found, screen) : RECT{0, 0, 0, 0};
}

RECT monitorOf(POINT point) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor)) return screen;
    return monitor.rcMonitor;
}

void frame(HDC dc, const RECT& rect, COLORREF colour) {
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    FrameRect(dc, &rect, brush);
}

// The selection's frame just outside it, so every pixel inside stays as it will be taken.
void drawSelection(HDC dc, const RECT& selection) {
    const RECT inside = toClient(selection);
    BitBlt(dc, inside.left, inside.top, inside.right - inside.left, inside.bottom - inside.top, frozen.dc, inside.left,
           inside.top, SRCCOPY);
    RECT outside = inside;
    InflateRect(&outside, 1, 1);
    frame(dc, outside, RGB(255, 255, 255));
    InflateRect(&outside, 1, 1);
    frame(dc, outside, RGB(0, 0, 0));
}

void drawSizeReadout(HDC dc, const RECT& selection) {
    wchar_t text[64];
    const int length = swprintf(text, 64, L"%d \u00D7 %d", clampedSpan(selection.left, selection.right),
                                clampedSpan(selection.top, selection.bottom));
    Selected font(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent;
    GetTextExtentPoint32W(dc, text, length, &extent);
    const SIZE box = {extent.cx + 8, extent.cy + 4};
    const POINT at = labelBesideSelection(box, selection, 4, monitorOf(pointer));
    const RECT place = toClient({at.x, at.y, at.x + box.cx, at.y + box.cy});
    FillRect(dc, &place, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutW(dc, place.left + 4, place.top + 2, text, length);
}

// The pixels around the pointer, enlarged, the pointer's own pixel framed.
void drawMagnifier(HDC dc) {
    const POINT at = boxBesidePointer({kLensSize + 2, kLensSize + 2}, pointer, kGap, monitorOf(pointer));
    const RECT lens = toClient({at.x, at.y, at.x + kLensSize + 2, at.y + kLensSize + 2});
    FillRect(dc, &lens, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, lens.left + 1, lens.top + 1, kLensSize, kLensSize, frozen.dc,
               pointer.x - screen.left - kLensPixels / 2, pointer.y - screen.top - kLensPixels / 2, kLensPixels,
               kLensPixels, SRCCOPY);
    const int centre = 1 + (kLensPixels / 2) * kLensZoom;
    frame(dc, {lens.left + centre - 1, lens.top + centre - 1, lens.left + centre + kLensZoom + 1,
               lens.top + centre + kLensZoom + 1},
          RGB(255, 0, 0));
    frame(dc, lens, RGB(255, 255, 255));
}

void onPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    BitBlt(back.dc, 0, 0, screenWidth(), screenHeight(), dimmed.dc, 0, 0, SRCCOPY);
    if (dragging) {
        const RECT selection = dragRect(anchor, pointer);
        drawSelection(back.dc, selection);
        drawSizeReadout(back.dc, selection);
    } else if (!IsRectEmpty(&hovered)) {
        drawSelection(back.dc, hovered);
    }
    drawMagnifier(back.dc);
    BitBlt(paint.hdc, 0, 0, screenWidth(), screenHeight(), back.dc, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}

// The overlay gone and what it covered repainted; then the rectangle, if any, goes to the
// next capture step, whose first sample is the first grab after this.
void closeOverlay(const RECT* region) {
    HWND window = overlay;
    overlay = nullptr;
    if (window) DestroyWindow(window);
    freeSurface(frozen);
    freeSurface(dimmed);
    freeSurface(back);
    dragging = false;
    // Hot keys pressed over the overlay start nothing, as under the options dialog.
    clearHotKeyLatches();
    if (region && !IsRectEmpty(region)) {
        RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kRepaintMilliseconds) keepAnswering();
        startRegionCapture(*region);
    }
    app.regionSelecting = 0;
}

void onMouseMove(LPARAM position) {
    pointer = {GET_X_LPARAM(position) + screen.left, GET_Y_LPARAM(position) + screen.top};
    if (!dragging) hovered = windowRectAt(pointer);
    InvalidateRect(overlay, nullptr, FALSE);
}

void onButtonDown(HWND window, LPARAM position) {
    onMouseMove(position);
    anchor = pointer;
    dragging = true;
    SetCapture(window);
}

void onButtonUp(LPARAM position) {
    if (!dragging) return;
    onMouseMove(position);
    ReleaseCapture();
    const SIZE threshold = {GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG)};
    const RECT region = isClick(anchor, pointer, threshold) ? windowRectAt(pointer) : dragRect(anchor, pointer);
    closeOverlay(&region);
}

void onKey(WPARAM key) {
    POINT at;
    if (key == VK_ESCAPE) {
        closeOverlay(nullptr);
        return;
    }
    if (!GetCursorPos(&at)) return;
    switch (key) {
    case VK_LEFT: --at.x; break;
    case VK_RIGHT: ++at.x; break;
    case VK_UP: --at.y; break;
    case VK_DOWN: ++at.y; break;
    default: return;
    }
    SetCursorPos(at.x, at.y);  // the move comes back as WM_MOUSEMOVE
}

void onTimer() {
    if (GetForegroundWindow() != overlay && (GetAsyncKeyState(VK_ESCAPE) & 0x8000)) closeOverlay(nullptr);
}

void onActivate(WPARAM state) {
    if (LOWORD(state) != WA_INACTIVE) {
        activated = true;
    } else if (activated) {
        closeOverlay(nullptr);
    }
}

LRESULT CALLBACK overlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        onMouseMove(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        onButtonDown(window, lParam);
        return 0;
    case WM_LBUTTONUP:
        onButtonUp(lParam);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_CLOSE:
    case WM_DISPLAYCHANGE:
        if (overlay == window) closeOverlay(nullptr);
        return 0;
    case WM_KEYDOWN:
        if (overlay == window) onKey(wParam);
        return 0;
    case WM_ACTIVATE:
        if (overlay == window) onActivate(wParam);
        break;
    case WM_TIMER:
        if (overlay == window) onTimer();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The screen as it is now into `frozen`, and a darker copy into `dimmed`.
bool freezeScreen() {
    WindowDc desktop(GetDesktopWindow());
    if (!makeSurface(frozen, desktop, screenWidth(), screenHeight()) ||
        !makeSurface(dimmed, desktop, screenWidth(), screenHeight()) ||
        !makeSurface(back, desktop, screenWidth(), screenHeight())) {
        return false;
    }
    BitBlt(frozen.dc, 0, 0, screenWidth(), screenHeight(), desktop, screen.left, screen.top, SRCCOPY);
    GdiFlush();
    const long long count = static_cast<long long>(screenWidth()) * screenHeight();
    // Each channel halved: the outside stays readable but plainly not selected.
    for (long long i = 0; i < count; ++i) dimmed.bits[i] = (frozen.bits[i] >> 1) & 0x7F7F7F;
    return true;
}

}  // namespace

bool openRegionOverlay() {
    if (overlay || app.regionSelecting) return false;
    app.regionSelecting = 1;
    screen = VirtualScreenRect;
    GetCursorPos(&pointer);
    dragging = false;
    activated = false;
    hovered = {0, 0, 0, 0};
    if (!freezeScreen()) {
        closeOverlay(nullptr);
        return false;
    }
    WNDCLASSW overlayClass = {};
    overlayClass.lpfnWndProc = overlayProc;
    overlayClass.hInstance = appInstance;
    overlayClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
    overlayClass.lpszClassName = kOverlayClass;
    RegisterClassW(&overlayClass);  // fails harmlessly once registered
    overlay = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kOverlayClass,
                              wideFromShiftJis(uiText(Text::RegionOverlayTitle)).c_str(), WS_POPUP, screen.left, screen.top,
                              screenWidth(), screenHeight(), nullptr, nullptr, appInstance, nullptr);
    if (!overlay) {
        closeOverlay(nullptr);
        return false;
    }
    hovered = windowRectAt(pointer);
    SetTimer(overlay, kEscapeTimer, kEscapeCheckMilliseconds, nullptr);
    ShowWindow(overlay, SW_SHOW);
    UpdateWindow(overlay);
    SetForegroundWindow(overlay);
    SetFocus(overlay);
    return true;
}

void closeRegionOverlay() {
    if (overlay) closeOverlay(nullptr);
}
