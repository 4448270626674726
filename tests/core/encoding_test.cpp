// The Japanese texts are Shift-JIS inside the program and must read right whatever
// the ANSI code page is; CTest runs this program under code pages 932 and 1252.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"

// Whatever the ANSI code page, the conversions use code page 932: both bytes of ソ and
// 表 (whose second byte is a backslash) survive the round trip.
TEST(Texts, ShiftJisConversionsIgnoreTheAnsiCodePage) {
    const std::string bytes = shiftJisFromWide(L"C:\\ソ\\表");
    EXPECT_EQ(bytes, std::string("C:\\\x83\x5c\\\x95\x5c"));
    EXPECT_EQ(wideFromShiftJis(bytes.c_str()), std::wstring(L"C:\\ソ\\表"));
    EXPECT_EQ(wideFromShiftJis(kSectionMainWindow), std::wstring(L"メインウィンドウ"));
    EXPECT_EQ(wideFromShiftJis(""), std::wstring());
    EXPECT_EQ(wideFromShiftJis(nullptr), std::wstring());
}

TEST(Texts, CaptionsReachTheTitleBarUnchanged) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    mainWindow = window;
    const struct {
        const char* format;
        int first, second;
        const wchar_t* shown;
    } cases[] = {
        {uiText(Text::CaptionReady), 0, 0, L"Kestrin Ver 0.03改"},
        {uiText(Text::CaptionInitialising), 0, 0, L"Kestrin Ver 0.03改 (初期化中）"},
        {uiText(Text::CaptionSampling), 3, 15, L"Kestrin Ver 0.03改 ( 3 / 15 )"},
        {uiText(Text::CaptionCompositing), 14, 15, L"Kestrin Ver 0.03改 ( 合成中： 14 / 15 )"},
        {uiText(Text::CaptionReleasing), 2, 3, L"Kestrin Ver 0.03改 (終了処理中 : 解放(2 / 3) )"},
    };
    for (const auto& c : cases) {
        setCaption(c.format, c.first, c.second);
        wchar_t shown[256] = L"";
        GetWindowTextW(window, shown, 256);
        EXPECT_EQ(std::wstring(shown), std::wstring(c.shown));
    }
    mainWindow = nullptr;
    setCaption(uiText(Text::CaptionReady));  // no window: nothing happens
    DestroyWindow(window);
}
