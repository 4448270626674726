// The program's life in-process: start-up, the main loop and shutdown with the real
// window, store, slots and hook library, and messages that arrive at awkward moments.
#include "app/main_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "resources/resource.h"
#include "support/ini_fixture.h"

namespace {

// Messages posted to the main window the moment it is made, so that start-up's own
// message pumping meets them before start-up is done.
std::vector<std::pair<UINT, WPARAM>> postAtCreation;
HHOOK creationHook = nullptr;

LRESULT CALLBACK onCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t name[32] = L"";
        GetClassNameW(window, name, 32);
        if (lstrcmpW(name, L"DEFAULT") == 0) {
            for (const auto& message : postAtCreation) PostMessageW(window, message.first, message.second, 0);
            postAtCreation.clear();
        }
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

// Ends a main loop that does not end by itself, so a fault fails the test instead of
// hanging it.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : thread_([this, seconds] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
              while (!done_ && std::chrono::steady_clock::now() < deadline) Sleep(20);
              if (done_) return;
              fired_ = true;
              app.optionsOpen = 0;
              app.captureBusy = 0;
              app.appRunning = 0;
          }) {}
    ~Watchdog() { stop(); }
    bool stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        return fired_;
    }

private:
    std::atomic<bool> done_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

bool storeFileExists() {
    return GetFileAttributesA((std::string(exeDirectory) + "tmp.map").c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Lifecycle : public IniFile {
protected:
    void SetUp() override {
        IniFile::SetUp();
        app = AppState();
        creationHook = SetWindowsHookExW(WH_CBT, onCreation, nullptr, GetCurrentThreadId());
        ASSERT_NE(creationHook, nullptr);
    }
    void TearDown() override {
        UnhookWindowsHookEx(creationHook);
        postAtCreation.clear();
        app = AppState();
        IniFile::TearDown();
    }
};

// Start-up pumps messages while it allocates the slots: the options command must find
// the program not yet ready, and a close must not be undone when start-up ends.
TEST_F(Lifecycle, StartUpOpensNoDialogAndKeepsAClose) {
    postAtCreation = {{WM_COMMAND, IDM_OPTIONS}};
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    EXPECT_EQ(optionsDialog, nullptr) << "no options dialog before start-up is done";
    EXPECT_EQ(app.optionsOpen, 0);
    EXPECT_EQ(app.appRunning, 1);
    SendMessageW(mainWindow, WM_CLOSE, 0, 0);
    runMainLoop();
    EXPECT_EQ(shutDown(), 0);

    app = AppState();
    postAtCreation = {{WM_CLOSE, 0}};
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    EXPECT_EQ(app.appRunning, 0) << "the close that came during start-up still counts";
    Watchdog watchdog(20);
    runMainLoop();
    EXPECT_FALSE(watchdog.stop()) << "the main loop did not end by itself";
    EXPECT_EQ(shutDown(), 0);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_FALSE(storeFileExists());
}

TEST_F(Lifecycle, AQuitUnderTheOptionsDialogEndsTheRunWithItsCode) {
    ASSERT_TRUE(startUp(GetModuleHandleW(nullptr)));
    ASSERT_EQ(app.appRunning, 1);
    SendMessageW(mainWindow, WM_COMMAND, IDM_OPTIONS, 0);
    ASSERT_NE(optionsDialog, nullptr);
    PostQuitMessage(7);
    Watchdog watchdog(20);
    runMainLoop();
    EXPECT_FALSE(watchdog.stop()) << "the main loop did not end by itself";
    EXPECT_EQ(optionsDialog, nullptr) << "the dialog closes as on Cancel";
    EXPECT_EQ(shutDown(), 7) << "the exit code is the one WM_QUIT carried";
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_FALSE(storeFileExists());
}

}  // namespace
