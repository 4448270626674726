// The main window with its real class, menu and accelerators from the resources.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "core/app_state.h"
#include "app/main_window.h"
#include "core/settings.h"
#include "support/dialog_watcher.h"
#include "support/ini_fixture.h"
#include "support/message_pump.h"
#include "resources/resource.h"

namespace {

int closesSeen = 0;  // WM_CLOSE messages the stand-in options window received
bool runningWhenClosed = false;

LRESULT CALLBACK standInProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ++closesSeen;
        runningWhenClosed = app.appRunning != 0;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class MainWindow : public IniFile {
protected:
    void SetUp() override {
        IniFile::SetUp();
        appInstance = GetModuleHandleW(nullptr);
        app = AppState();
        ASSERT_NE(createMainWindow(), nullptr);
        ASSERT_EQ(mainWindow != nullptr, true) << "WM_CREATE sets mainWindow";
        window = mainWindow;
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        drainMessages();
        mainWindow = nullptr;
        optionsDialog = nullptr;
        app = AppState();
        IniFile::TearDown();
    }
    HWND window = nullptr;
};

}  // namespace

TEST_F(MainWindow, CreationLoadsTheSettingsAndPlacesTheWindow) {
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 600);
    EXPECT_EQ(rect.bottom, 450);
    EXPECT_NE(accelerators, nullptr);
    EXPECT_NE(GetMenu(window), nullptr) << "the class menu";
    // The options dialog's trackbar class is available once the window exists.
    HWND trackbar = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD, 0, 0, 100, 20, window, nullptr,
                                    appInstance, nullptr);
    EXPECT_NE(trackbar, nullptr);
}

TEST_F(MainWindow, MovingAndSizingRecordTheOuterRectangle) {
    SetWindowPos(window, nullptr, 50, 60, 300, 200, SWP_NOZORDER);
    EXPECT_EQ(settings.left, 50);
    EXPECT_EQ(settings.top, 60);
    EXPECT_EQ(settings.right, 350);
    EXPECT_EQ(settings.bottom, 260);
    ShowWindow(window, SW_MINIMIZE);  // closed while minimised, it starts where it was
    EXPECT_EQ(settings.left, 50);
    EXPECT_EQ(settings.right, 350);
    ShowWindow(window, SW_RESTORE);
}

TEST_F(MainWindow, CloseClosesTheOptionsDialogFirstAndKeepsTheWindow) {
    WNDCLASSW standInClass = {};
    standInClass.lpfnWndProc = standInProc;
    standInClass.hInstance = appInstance;
    standInClass.lpszClassName = L"KestrinOptionsStandIn";
    RegisterClassW(&standInClass);
    optionsDialog = CreateWindowExW(0, L"KestrinOptionsStandIn", L"", WS_POPUP, 0, 0, 10, 10, window, nullptr,
                                    appInstance, nullptr);
    ASSERT_NE(optionsDialog, nullptr);
    closesSeen = 0;

    app.optionsOpen = 0;  // a dialog handle alone is not an open dialog
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(closesSeen, 0);
    EXPECT_EQ(app.appRunning, 0);

    app.appRunning = 1;
    app.optionsOpen = 1;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(closesSeen, 1);
    EXPECT_TRUE(runningWhenClosed) << "the dialog closes before the run ends";
    EXPECT_EQ(app.appRunning, 0);
    EXPECT_TRUE(IsWindow(window)) << "closing leaves teardown to the main loop";
    EXPECT_EQ(mainWindow, window);
    DestroyWindow(optionsDialog);
}

// The options command opens one dialog: none during a capture, no second while it is open.
TEST_F(MainWindow, OptionsCommandOpensOneDialogAndNoneDuringACapture) {
    app.captureBusy = 1;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_OPTIONS, 0), 0);
    EXPECT_TRUE(visibleDialogs().empty());
    EXPECT_EQ(app.optionsOpen, 0);

    app.captureBusy = 0;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_OPTIONS, 0), 0);
    ASSERT_NE(optionsDialog, nullptr);
    const HWND first = optionsDialog;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_OPTIONS, 0), 0);
    EXPECT_EQ(optionsDialog, first);
    EXPECT_EQ(visibleDialogs().size(), 1u);
    DestroyWindow(first);
}

TEST_F(MainWindow, ExitCommandTakesTheClosePath) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_EQ(app.appRunning, 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MainWindow, DestroyingPostsQuitZeroAndForgetsTheWindow) {
    app.exitCode = 5;
    DestroyWindow(window);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(app.appRunning, 0);
    app.appRunning = 1;
    for (int i = 0; i < 100 && app.appRunning; ++i) pumpMessages();
    EXPECT_EQ(app.appRunning, 0) << "WM_QUIT reached the pump";
    EXPECT_EQ(app.exitCode, 0);
    freshPumpRecord();  // for the tests that follow
}

TEST_F(MainWindow, ActivationRecordsTheForegroundRectangleOnlyWhileIdle) {
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    drainMessages();
    HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, nullptr);
    RECT expected;
    GetWindowRect(foreground, &expected);

    CaptureRect = {1, 2, 3, 4};
    app.captureBusy = 1;
    SendMessageW(window, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(CaptureRect.right, 3) << "a capture owns CaptureRect";

    app.captureBusy = 0;
    settings.SS_ACTIVE = 0;
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(CaptureRect.right, 3) << "whole-desktop captures keep it";

    settings.SS_ACTIVE = 1;
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_TRUE(EqualRect(&CaptureRect, &expected));
}

// Accelerators reach the main window whichever window of the program has the focus.
TEST_F(MainWindow, CtrlEFromAnotherFocusedWindowEndsTheRun) {
    ShowWindow(window, SW_SHOWNORMAL);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 700, 0, 100, 100, nullptr, nullptr,
                                 appInstance, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    SetFocus(other);
    drainMessages();
    ASSERT_EQ(GetFocus(), other);

    INPUT keys[4] = {};
    const WORD codes[4] = {VK_CONTROL, 'E', 'E', VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, keys, sizeof keys[0]), 4u);
    const DWORD start = GetTickCount();
    while (app.appRunning && GetTickCount() - start < 3000) {
        pumpMessages();
        Sleep(1);
    }
    EXPECT_EQ(app.appRunning, 0) << "Ctrl+E did not close";
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(other);
}

// GIFで保存 and GIFをコピー are offered only while the store keeps the shown result's samples.
TEST_F(MainWindow, TheGifSaveIsGreyedWithoutKeptSamples) {
    HMENU file = GetSubMenu(GetMenu(window), 0);
    ASSERT_NE(file, nullptr);
    keptSamples = KeptSamples();
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_TRUE(GetMenuState(file, IDM_SAVE_GIF, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(file, IDM_COPY_GIF, MF_BYCOMMAND) & MF_GRAYED);
    keptSamples = {15, 64, 64, 48, 15};
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_FALSE(GetMenuState(file, IDM_SAVE_GIF, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(file, IDM_COPY_GIF, MF_BYCOMMAND) & MF_GRAYED);
    keptSamples = KeptSamples();
}
