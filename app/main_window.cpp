#include "app/main_window.h"

#include "app/command_handoff.h"

#include <commctrl.h>

#include "core/app_state.h"
#include "core/settings.h"
#include "output/bmp_export.h"
#include "output/clipboard_copy.h"
#include "output/gif_copy.h"
#include "output/gif_file.h"
#include "resources/resource.h"
#include "ui/language.h"
#include "ui/options_dialog.h"
#include "ui/region_overlay.h"

namespace {

void onCreate(HWND hwnd) {
    mainWindow = hwnd;
    accelerators = LoadAcceleratorsW(appInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    // The trackbar of the options dialog needs the bar classes as well as the up-down.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    loadSettings(true);
    // The menu comes in the language the settings name, not the one the system would pick.
    // The caption is start-up's: it reads ready only once the store and the slots exist.
    app.language = languageOfSettings();
    SetMenu(hwnd, loadMainMenu());
}

void onDestroy() {
    PostQuitMessage(0);
    mainWindow = nullptr;
    app.appRunning = 0;
}

void onMoveOrSize(HWND hwnd) {
    // A minimised window's rectangle (-32000, a caption's size) is no place to start from.
    RECT rect;
    if (IsIconic(hwnd) || !GetWindowRect(hwnd, &rect)) return;
    settings.left = rect.left;
    settings.top = rect.top;
    settings.right = rect.right;
    settings.bottom = rect.bottom;
}

void onActivate() {
    if (!app.captureBusy && settings.SS_ACTIVE) {
        HWND foreground = GetForegroundWindow();
        if (foreground) GetWindowRect(foreground, &CaptureRect);
    }
}

void onPaint(HWND hwnd) {
    PAINTSTRUCT paint;
    BeginPaint(hwnd, &paint);
    // Drawn into the window's own DC, so a WM_PAINT sent directly repaints it all.
    if (!app.captureBusy && windowDC && displayDC) {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(windowDC, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        BitBlt(windowDC, 0, 0, ResultRect.right, ResultRect.bottom, displayDC, 0, 0, SRCCOPY);
    }
    EndPaint(hwnd, &paint);
}

// Monitors were added, removed or rearranged. The main loop takes the new layout at its
// next idle step: a capture under way keeps the rectangle and slots it began with.
void onDisplayChange() { app.screenChanged = 1; }

void onClose() {
    closeRegionOverlay();
    if (app.optionsOpen && optionsDialog) {
        SendMessageW(optionsDialog, WM_CLOSE, 0, 0);
        Sleep(0);
    }
    app.appRunning = 0;
}

// The GIF save and copy have something to write only while the store keeps the result's samples.
void onInitMenuPopup(HMENU menu) {
    const UINT state = keptSamples.count > 0 ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(menu, IDM_SAVE_GIF, MF_BYCOMMAND | state);
    EnableMenuItem(menu, IDM_COPY_GIF, MF_BYCOMMAND | state);
}

void onCommand(HWND hwnd, int command) {
    switch (command) {
    case IDM_SAVE_TO_FILE:
        saveToFile();
        break;
    case IDM_SAVE_GIF:
        saveGifToFile();
        break;
    case IDM_COPY:
        copyToClipboard();
        break;
    case IDM_COPY_GIF:
        copyGifToClipboard();
        break;
    case IDM_EXIT:
        SendMessageW(mainWindow, WM_CLOSE, 0, 0);
        break;
    case IDM_SELECT_REGION:
        if (mayStart(Start::Region)) openRegionOverlay();
        break;
    case IDM_OPTIONS:
        if (mayStart(Start::Options)) openOptionsDialog(hwnd);
        break;
    default:
        break;
    }
}

}  // namespace

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        onCreate(hwnd);
        break;
    case WM_DESTROY:
        onDestroy();
        break;
    case WM_MOVE:
    case WM_SIZE:
        onMoveOrSize(hwnd);
        break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
        onActivate();
        break;
    case WM_PAINT:
        onPaint(hwnd);
        return 0;
    case WM_DISPLAYCHANGE:
        onDisplayChange();
        break;
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_COMMAND:
        onCommand(hwnd, LOWORD(wParam));
        break;
    case WM_COPYDATA:
        return acceptHandedCommand(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_INITMENUPOPUP:
        onInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND createMainWindow() {
    WNDCLASSW windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = appInstance;
    windowClass.hIcon = LoadIconW(appInstance, L"MAINICON");
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kMainWindowClass;
    RegisterClassW(&windowClass);  // a failed registration shows up as no window
    return CreateWindowExW(0, kMainWindowClass, L"Kestrin", WS_POPUP | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                           nullptr, appInstance, nullptr);
}
