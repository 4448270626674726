// Texts too wide for their controls are drawn narrower, in the same face and height,
// until they fit; texts that fit keep their font.
#include "ui/fit_text.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

HFONT fontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }

// The width the control's own text takes in the font the control has now.
int textWidth(HWND control) {
    wchar_t text[256] = L"";
    const int length = GetWindowTextW(control, text, 256);
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, fontOf(control));
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, length, &extent);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return extent.cx;
}

LOGFONTW faceOf(HFONT font) {
    LOGFONTW face = {};
    GetObjectW(font, sizeof face, &face);
    return face;
}

TEST(FitText, ALabelThatWouldBeCutIsSetNarrowerUntilItFitsAndOthersKeepTheirFont) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 200, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(dialog, nullptr);
    const HFONT base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto label = [&](const wchar_t* text, int width) {
        HWND control = CreateWindowExW(0, L"STATIC", text, WS_CHILD, 0, 0, width, 20, dialog, nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(base), FALSE);
        return control;
    };
    const wchar_t* kText = L"Folder for automatic saves";
    HWND probe = label(kText, 600);
    const int natural = textWidth(probe);
    ASSERT_GT(natural, 50);
    HWND roomy = label(kText, natural + 10);
    HWND tight = label(kText, natural * 85 / 100);
    HWND hopeless = label(kText, natural / 4);

    fitTextsToControls(dialog);

    EXPECT_EQ(fontOf(roomy), base) << "a text that fits is left alone";
    ASSERT_NE(fontOf(tight), base);
    EXPECT_LE(textWidth(tight), natural * 85 / 100) << "the narrower text fits its label";
    EXPECT_EQ(faceOf(fontOf(tight)).lfHeight, faceOf(base).lfHeight);
    EXPECT_STREQ(faceOf(fontOf(tight)).lfFaceName, faceOf(base).lfFaceName);
    // A text that cannot fit is set narrower still, but not beyond reading: it is cut.
    EXPECT_LT(textWidth(hopeless), textWidth(tight));
    EXPECT_GT(textWidth(hopeless), natural * 2 / 5);
    DestroyWindow(dialog);
}

}  // namespace
