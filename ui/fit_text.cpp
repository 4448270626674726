#include "ui/fit_text.h"

#include <map>
#include <string>

namespace {

const int kFloorPercent = 60;

// Fonts made here live as long as the process; there are only a few widths.
HFONT condensedFont(HFONT base, int percent) {
    static std::map<std::pair<HFONT, int>, HFONT> made;
    const auto key = std::make_pair(base, percent);
    auto found = made.find(key);
    if (found != made.end()) return found->second;
    LOGFONTW face = {};
    GetObjectW(base, sizeof face, &face);
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, base);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    face.lfWidth = metrics.tmAveCharWidth * percent / 100;
    if (face.lfWidth < 1) face.lfWidth = 1;
    HFONT font = CreateFontIndirectW(&face);
    made[key] = font;
    return font;
}

// The room a control's own text has, in pixels.
int textRoom(HWND control, LONG style, int width) {
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
    case BS_GROUPBOX:
        return width - 16;
    default:
        return width - 8;
    }
}

BOOL CALLBACK fitOne(HWND control, LPARAM) {
    wchar_t className[32] = L"";
    GetClassNameW(control, className, 32);
    const bool isButton = lstrcmpiW(className, L"Button") == 0;
    if (!isButton && lstrcmpiW(className, L"Static") != 0) return TRUE;
    wchar_t text[256] = L"";
    const int length = GetWindowTextW(control, text, 256);
    if (length <= 0) return TRUE;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!font) return TRUE;

    RECT client;
    GetClientRect(control, &client);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const int room = isButton ? textRoom(control, style, client.right) : client.right;
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, length, &extent);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);

    const int percent = condenseFactor(extent.cx, room, kFloorPercent);
    if (percent < 100) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(condensedFont(font, percent)), FALSE);
    return TRUE;
}

}  // namespace

int condenseFactor(int needed, int available, int floorPercent) {
    if (needed <= available || needed <= 0) return 100;
    if (available <= 0) return floorPercent;
    // Rounded down, and one step more: glyph widths round up when set narrower.
    const int percent = available * 100 / needed - 1;
    return percent < floorPercent ? floorPercent : percent;
}

void fitTextsToControls(HWND dialog) { EnumChildWindows(dialog, fitOne, 0); }
