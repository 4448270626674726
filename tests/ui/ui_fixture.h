#pragma once
// Shared ground for the dialog tests: the real templates (linked into this program),
// the real INI file beside the test program, and a second thread that plays the user
// while the test thread sits in a modal loop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "resources/resource.h"
#include "support/files.h"
#include "support/message_pump.h"

inline std::string itemTextA(HWND dialog, int id) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

inline std::wstring itemTextW(HWND dialog, int id) {
    wchar_t text[1024] = L"";
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

// Types into an edit as the user would: the edit raises its change notification.
inline void typeInto(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

// The visible top-level window of this process with this (Shift-JIS) caption, waited
// for up to `timeoutMs`.
inline HWND waitForWindow(const char* caption, DWORD timeoutMs = 10000) {
    const std::wstring wanted = wideFromShiftJis(caption);
    const DWORD end = GetTickCount() + timeoutMs;
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        HWND window = FindWindowW(L"#32770", wanted.c_str());
        if (window && IsWindowVisible(window)) return window;
        Sleep(20);
    }
    return nullptr;
}

// A dialog owned by `owner` (the folder browser), waited for.
struct OwnedSearch {
    HWND owner;
    HWND found;
};
inline BOOL CALLBACK findOwnedWindow(HWND window, LPARAM param) {
    OwnedSearch* s = reinterpret_cast<OwnedSearch*>(param);
    if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}
inline HWND waitForOwnedDialog(HWND owner, DWORD timeoutMs = 10000) {
    OwnedSearch search = {owner, nullptr};
    const DWORD end = GetTickCount() + timeoutMs;
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), findOwnedWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(20);
    }
    return nullptr;
}

// KESTRIN_UI_HOLD_MS keeps a dialog up for a person or a screenshot tool. On the
// test thread messages keep flowing; on a user thread it simply waits.
inline void holdForScreenshot(bool pump) {
    const char* hold = getenv("KESTRIN_UI_HOLD_MS");
    if (!hold) return;
    if (pump) {
        pumpFor(static_cast<DWORD>(atoi(hold)));
    } else {
        Sleep(static_cast<DWORD>(atoi(hold)));
    }
}

// Runs `script` on a second thread while the test thread is busy (usually inside a
// modal dialog); join() waits for it.
class UserThread {
public:
    explicit UserThread(std::function<void()> script) : worker_(std::move(script)) {}
    ~UserThread() { join(); }
    void join() {
        if (worker_.joinable()) worker_.join();
    }

private:
    std::thread worker_;
};

// Every test starts from an INI file holding exactly `ini` (the defaults for the rest).
class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        appInstance = GetModuleHandleW(nullptr);
        computeExeDirectory();
        loadSettings(false);  // builds iniPath
        DeleteFileA(iniPath);
        optionsDialog = nullptr;
        app = AppState();
    }
    void TearDown() override {
        if (optionsDialog) DestroyWindow(optionsDialog);
        optionsDialog = nullptr;
        app.optionsOpen = 0;
        pumpFor(10);
        DeleteFileA(iniPath);
    }
    void writeIni(const char* section, const char* key, const char* value) {
        WritePrivateProfileStringA(section, key, value, iniPath);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniPath);
    }
    std::string iniValue(const char* section, const char* key) {
        char text[1024] = "";
        GetPrivateProfileStringA(section, key, "", text, sizeof text, iniPath);
        return text;
    }
};
