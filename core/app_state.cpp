#include "core/app_state.h"

#include <mbstring.h>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/text.h"
#include "core/texts.h"

AppState app;
KeptSamples keptSamples;

HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;
const wchar_t kMainWindowClass[] = L"DEFAULT";
HACCEL accelerators = nullptr;
HWND optionsDialog = nullptr;
HDC windowDC = nullptr;
HDC workDC = nullptr;
HDC displayDC = nullptr;
HBITMAP displayBitmap = nullptr;
HGDIOBJ displayPreviousBitmap = nullptr;

char exeDirectory[MAX_PATH] = "";
RECT VirtualScreenRect = {0, 0, 0, 0};
RECT CaptureRect = {0, 0, 0, 0};
RECT ResultRect = {0, 0, 1, 1};

int clampedSpan(LONG low, LONG high) {
    const long long span = static_cast<long long>(high) - low;
    return span < 0 ? 0 : span > INT_MAX ? INT_MAX : static_cast<int>(span);
}

RECT currentVirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return {left, top, left + width, top + height};
}

int virtualScreenWidth() { return clampedSpan(VirtualScreenRect.left, VirtualScreenRect.right); }
int virtualScreenHeight() { return clampedSpan(VirtualScreenRect.top, VirtualScreenRect.bottom); }

namespace {

// Ctrl+C, X, V, Z and A and Ctrl+Insert pressed in an edit box (the options dialog's
// numbers and paths) are its own: copy, cut, paste, undo and select, as everywhere else
// in Windows. The main window's other accelerators still reach it from there.
bool editBoxKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return false;
    switch (message.wParam) {
    case 'C': case 'X': case 'V': case 'Z': case 'A': case VK_INSERT:
        break;
    default:
        return false;
    }
    wchar_t className[8];
    return GetClassNameW(message.hwnd, className, 8) && lstrcmpiW(className, L"Edit") == 0;
}

}  // namespace

void pumpMessages() {
    // The record keeps the last message retrieved, so after WM_QUIT every later
    // call clears appRunning again.
    static MSG record = {};
    if (PeekMessageW(&record, nullptr, 0, 0, PM_REMOVE)) {
        if (editBoxKey(record) || !TranslateAcceleratorW(mainWindow, accelerators, &record)) {
            TranslateMessage(&record);
            DispatchMessageW(&record);
        }
    }
    if (record.message == WM_QUIT) {
        app.appRunning = 0;
        app.quitReceived = 1;
        app.exitCode = static_cast<int>(record.wParam);
    }
}

bool mayStart(Start what) {
    // Nothing starts while a capture holds the slots and the store, or while the program ends.
    if (app.captureBusy || app.commandHeld || !app.appRunning) return false;
    switch (what) {
    case Start::Copy:
        return true;
    case Start::Save:
        return !app.saveInProgress;
    case Start::Capture:
    case Start::Region:
    case Start::Options:
        return !app.saveInProgress && !app.optionsOpen && !app.regionSelecting;
    }
    return false;
}

void keepAnswering() {
    pumpMessages();
    Sleep(0);
}

void setCaption(const char* format, int first, int second) {
    if (!mainWindow) return;
    static char caption[512];
    snprintf(caption, sizeof caption, format, kProductName, kProductVersion, first, second);
    setWindowTextSjis(mainWindow, caption);
}

int lastSeparatorIndex(const char* path) {
    // Walked from the start, so that a trail byte is never mistaken for a lead byte:
    // in "ツール\" the byte before the backslash (0x8B) is itself a lead-byte value.
    int separator = -1;
    for (int i = 0; path[i] != '\0'; ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (_ismbblead(byte) && path[i + 1] != '\0') {
            ++i;  // the second byte of a double-byte character, 0x5C or not
            continue;
        }
        if (byte == '\\' && i >= 1) separator = i;
    }
    return separator;
}

void keepFolderPart(char* path) {
    const int separator = lastSeparatorIndex(path);
    if (separator >= 0) path[separator + 1] = '\0';
}

void computeExeDirectory() {
    GetModuleFileNameA(nullptr, exeDirectory, MAX_PATH);
    keepFolderPart(exeDirectory);
}
