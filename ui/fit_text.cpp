#include "ui/fit_text.h"

#include <commctrl.h>

#include <map>
#include <utility>

#include "core/gdi_guards.h"

namespace {

const int kFloorPercent = 60;
// The room a drop-down list box leaves around the selected item's text, in pixels: the
// item's frame and the inset the text is drawn at.
const int kComboItemMargin = 4;
const UINT_PTR kFittedFontsSubclassId = 0x4B46;

// The narrowed fonts each dialog's texts were given, by base font and width. They live
// as long as their dialog: its WM_NCDESTROY, which comes after its controls are gone,
// deletes them.
typedef std::map<std::pair<HFONT, int>, HFONT> FittedFonts;
std::map<HWND, FittedFonts> fontsByDialog;

LRESULT CALLBACK deleteFontsWithDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR) {
    if (message != WM_NCDESTROY) return DefSubclassProc(dialog, message, wParam, lParam);
    RemoveWindowSubclass(dialog, deleteFontsWithDialog, id);
    const LRESULT result = DefSubclassProc(dialog, message, wParam, lParam);
    auto fonts = fontsByDialog.find(dialog);
    if (fonts != fontsByDialog.end()) {
        for (const auto& made : fonts->second) DeleteObject(made.second);
        fontsByDialog.erase(fonts);
    }
    return result;
}

// The dialog's fonts, made on its first fitting; null when the dialog cannot be
// watched for its end (then nothing is narrowed).
FittedFonts* fontsOf(HWND dialog) {
    auto fonts = fontsByDialog.find(dialog);
    if (fonts != fontsByDialog.end()) return &fonts->second;
    if (!SetWindowSubclass(dialog, deleteFontsWithDialog, kFittedFontsSubclassId, 0)) return nullptr;
    return &fontsByDialog[dialog];
}

HFONT condensedFont(FittedFonts& made, HFONT base, int percent) {
    const auto key = std::make_pair(base, percent);
    auto found = made.find(key);
    if (found != made.end()) return found->second;
    LOGFONTW face = {};
    GetObjectW(base, sizeof face, &face);
    TEXTMETRICW metrics = {};
    {
        WindowDc screen(nullptr);
        Selected into(screen, base);
        GetTextMetricsW(screen, &metrics);
    }
    face.lfWidth = metrics.tmAveCharWidth * percent / 100;
    if (face.lfWidth < 1) face.lfWidth = 1;
    HFONT font = CreateFontIndirectW(&face);
    if (font) made[key] = font;
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

BOOL CALLBACK fitOne(HWND control, LPARAM fontsPointer) {
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
    int room = isButton ? textRoom(control, style, client.right) : client.right;
    SIZE extent = {};
    {
        WindowDc dc(control);
        Selected into(dc, font);
        GetTextExtentPoint32W(dc, text, length, &extent);
    }
    // A label of several lines wraps its text; each break may leave a wide glyph's room unused.
    const int lines = !isButton && extent.cy > 0 ? client.bottom / extent.cy : 1;
    if (lines > 1) room = lines * client.right - (lines - 1) * extent.cy;

    const int percent = condenseFactor(extent.cx, room, kFloorPercent);
    if (percent >= 100) return TRUE;
    HFONT narrower = condensedFont(*reinterpret_cast<FittedFonts*>(fontsPointer), font, percent);
    if (narrower) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(narrower), FALSE);
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

void fitTextsToControls(HWND dialog) {
    FittedFonts* fonts = fontsOf(dialog);
    if (fonts) EnumChildWindows(dialog, fitOne, reinterpret_cast<LPARAM>(fonts));
}

void widenComboToItems(HWND combo) {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
    if (!font || !GetComboBoxInfo(combo, &info)) return;
    int widest = 0;
    {
        WindowDc dc(combo);
        Selected into(dc, font);
        const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT row = 0; row < count; ++row) {
            wchar_t text[256] = L"";
            const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(row), 0);
            if (length <= 0 || length >= 256) continue;
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
            SIZE extent = {};
            GetTextExtentPoint32W(dc, text, static_cast<int>(length), &extent);
            if (extent.cx > widest) widest = extent.cx;
        }
    }
    const int room = info.rcItem.right - info.rcItem.left - kComboItemMargin;
    if (widest <= room) return;
    // A drop-down list box's height is the box's and its open list's together (the list
    // itself shows as many rows as it holds, up to 30, whatever that height says).
    RECT box;
    RECT list;
    GetWindowRect(combo, &box);
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
    SetWindowPos(combo, nullptr, 0, 0, box.right - box.left + widest - room, list.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
