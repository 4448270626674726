// The Japanese texts are Shift-JIS inside the program and must read right whatever
// the ANSI code page is; CTest runs this program under code pages 932 and 1252.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/app_state.h"
#include "app/settings.h"
#include "app/text.h"

TEST(Texts, ShiftJisBecomesTheRightUtf16) {
    EXPECT_EQ(wideFromShiftJis(kSectionMainWindow), std::wstring(L"メインウィンドウ"));
    EXPECT_EQ(wideFromShiftJis(kProductVersion), std::wstring(L"0.03改"));
    EXPECT_EQ(wideFromShiftJis(kCaptionInitialising), std::wstring(L"%s Ver %s (初期化中）"));
    EXPECT_EQ(wideFromShiftJis(kCaptionInitSlots), std::wstring(L"%s Ver %s （初期化中 : %d / %d）"));
    EXPECT_EQ(wideFromShiftJis(kCaptionCompositing), std::wstring(L"%s Ver %s ( 合成中： %d / %d )"));
    EXPECT_EQ(wideFromShiftJis(kCaptionShuttingDown), std::wstring(L"%s Ver %s (終了処理中）"));
    EXPECT_EQ(wideFromShiftJis(kCaptionReleasing), std::wstring(L"%s Ver %s (終了処理中 : 解放(%d / %d) )"));
    EXPECT_EQ(wideFromShiftJis(""), std::wstring());
    EXPECT_EQ(shiftJisFromWide(L"メインウィンドウ"), std::string(kSectionMainWindow));
    EXPECT_EQ(shiftJisFromWide(L"C:\\ソ\\表"), std::string("C:\\\x83\x5c\\\x95\x5c"));
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
        {kCaptionReady, 0, 0, L"Kestrin Ver 0.03改"},
        {kCaptionInitialising, 0, 0, L"Kestrin Ver 0.03改 (初期化中）"},
        {kCaptionSampling, 3, 15, L"Kestrin Ver 0.03改 ( 3 / 15 )"},
        {kCaptionCompositing, 14, 15, L"Kestrin Ver 0.03改 ( 合成中： 14 / 15 )"},
        {kCaptionReleasing, 2, 3, L"Kestrin Ver 0.03改 (終了処理中 : 解放(2 / 3) )"},
    };
    for (const auto& c : cases) {
        setCaption(c.format, c.first, c.second);
        wchar_t shown[256] = L"";
        GetWindowTextW(window, shown, 256);
        EXPECT_EQ(std::wstring(shown), std::wstring(c.shown));
    }
    mainWindow = nullptr;
    setCaption(kCaptionReady);  // no window: nothing happens
    DestroyWindow(window);
}
