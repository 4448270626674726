// The keyboard-hook library under a real WH_KEYBOARD_LL hook: keys are injected with
// SendInput (which reaches low-level hooks under Wine) while a window of this test
// has the focus, and the window records which keys it was given. The hook runs on a
// thread of the library's own, not on this one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "hook/hook_api.h"
#include "support/message_pump.h"

namespace {

std::vector<WPARAM> keysSeen;  // WM_KEYDOWN codes the focused window received
std::vector<WPARAM> upsSeen;   // and its WM_KEYUP codes
int wakesSeen = 0;             // WM_NULL messages it received (it is the hook's owner window)

// Never armed: once the window has its release, the hook has handled every key sent
// before it, since a window gets a key only after the hook has answered for it.
const WORD kSettleKey = VK_F8;
int settleUps = 0;

LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) keysSeen.push_back(wParam);
    if (message == WM_KEYUP) upsSeen.push_back(wParam);
    if (message == WM_KEYUP && wParam == kSettleKey) ++settleUps;
    if (message == WM_NULL) ++wakesSeen;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void sendKey(WORD virtualKey, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
}

// Pumps until `done` holds, for at most five seconds; false when it never did.
template <typename Condition>
bool pumpUntil(Condition done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 5000) return false;
        pumpFor(5);
    }
    return true;
}

// Pumps until the hook and the window have had every key sent so far.
void settle() {
    const int before = settleUps;
    sendKey(kSettleKey, true);
    sendKey(kSettleKey, false);
    EXPECT_TRUE(pumpUntil([before] { return settleUps > before; })) << "the settle key never reached the window";
}

// A full press and release, handled.
void pressKey(WORD virtualKey) {
    sendKey(virtualKey, true);
    sendKey(virtualKey, false);
    settle();
}

bool windowSaw(WPARAM key) { return std::find(keysSeen.begin(), keysSeen.end(), key) != keysSeen.end(); }

// F10 is left out: it puts a window into menu mode.
struct Latch {
    const char* name;
    WORD key;
    int(__cdecl* pressed)();
    int(__cdecl* reset)(int);
};
const Latch kLatches[] = {
    {"shot", VK_F9, hookShotPressed, hookSetShotPressed},
    {"start", VK_F6, hookStartPressed, hookSetStartPressed},
    {"stop", VK_F11, hookStopPressed, hookSetStopPressed},
    {"retro", VK_F2, hookRetroPressed, hookSetRetroPressed},
};

class HookLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = probeProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KestrinHookProbe";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"KestrinHookProbe", L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                 120, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        DestroyWindow(window);
        pumpFor(20);
    }
    void SetUp() override {
        ASSERT_NE(window, nullptr);
        SetForegroundWindow(window);
        SetFocus(window);
        pumpFor(50);
        ASSERT_EQ(GetFocus(), window) << "the probe window must have the keyboard focus";
        ASSERT_EQ(hookInstall(), 1);
        for (const Latch& latch : kLatches) latch.reset(0);
        hookSetShotKey(VK_F9);
        hookSetStartKey(VK_F6);
        hookSetStopKey(VK_F11);
        hookSetRetroKey(VK_F2);
        hookSetSwallow(0);
        hookSetOwnerWindow(window);
        keysSeen.clear();
    }
    void TearDown() override {
        hookRemove();
        for (const Latch& latch : kLatches) latch.reset(0);
    }
    static HWND window;
};
HWND HookLibrary::window = nullptr;

TEST_F(HookLibrary, EachKeyLatchesReadsOneAndHoldsUntilItsReset) {
    for (const Latch& latch : kLatches) {
        SCOPED_TRACE(latch.name);
        pressKey(latch.key);
        // The engine uses the result as the number of the first sample.
        for (int poll = 0; poll < 5; ++poll) ASSERT_EQ(latch.pressed(), 1);
        pumpFor(30);
        EXPECT_EQ(latch.pressed(), 1) << "a latch holds across message pumping";
        for (const Latch& other : kLatches) {
            if (&other == &latch) continue;
            EXPECT_EQ(other.pressed(), 0) << other.name << " latched by another key";
        }
        EXPECT_EQ(latch.reset(0), 0);
        EXPECT_EQ(latch.pressed(), 0);
        pumpFor(30);
        EXPECT_EQ(latch.pressed(), 0) << "a cleared latch stays clear without a new press";
    }
}

TEST_F(HookLibrary, ResettingOneLatchLeavesTheOthers) {
    pressKey(VK_F9);
    pressKey(VK_F6);
    pressKey(VK_F11);
    hookSetStopPressed(0);
    EXPECT_EQ(hookShotPressed(), 1);
    EXPECT_EQ(hookStartPressed(), 1);
    EXPECT_EQ(hookStopPressed(), 0);
    hookSetShotPressed(0);
    EXPECT_EQ(hookStartPressed(), 1);
}

TEST_F(HookLibrary, OtherKeysDoNotLatch) {
    pressKey('A');
    pressKey(VK_F8);
    hookSetRetroKey(0);  // the ring's key is watched only while the ring is on
    pressKey(VK_F2);
    for (const Latch& latch : kLatches) EXPECT_EQ(latch.pressed(), 0) << latch.name;
}

TEST_F(HookLibrary, KeyCodesCanChangeWhileHooked) {
    hookSetShotKey(VK_F7);
    pressKey(VK_F9);
    EXPECT_EQ(hookShotPressed(), 0) << "the old code no longer latches";
    pressKey(VK_F7);
    EXPECT_EQ(hookShotPressed(), 1);
    hookSetShotPressed(0);

    // Swapping two keys' codes swaps which latch a key sets.
    hookSetStartKey(VK_F11);
    hookSetStopKey(VK_F6);
    pressKey(VK_F11);
    EXPECT_EQ(hookStartPressed(), 1);
    EXPECT_EQ(hookStopPressed(), 0);
}

TEST_F(HookLibrary, SwallowingKeepsOnlyHotKeysFromTheFocusedWindow) {
    hookSetSwallow(1);
    pressKey(VK_F9);
    pressKey('A');
    EXPECT_EQ(hookShotPressed(), 1) << "a swallowed key still latches";
    EXPECT_FALSE(windowSaw(VK_F9)) << "the hot key reached the focused window";
    EXPECT_TRUE(windowSaw('A')) << "an ordinary key must pass";

    hookSetShotPressed(0);
    hookSetSwallow(0);
    keysSeen.clear();
    pressKey(VK_F9);
    EXPECT_EQ(hookShotPressed(), 1);
    EXPECT_TRUE(windowSaw(VK_F9)) << "without swallowing the hot key passes on";
}

// Swallowing switched on or off in the middle of a press: the focused window gets both
// halves of the press or neither, never a key that stays down.
TEST_F(HookLibrary, APressIsKeptWholeOrPassedWholeWhenSwallowingChangesMidway) {
    const auto sawUp = [] { return std::find(upsSeen.begin(), upsSeen.end(), VK_F9) != upsSeen.end(); };
    hookSetSwallow(0);
    keysSeen.clear();
    upsSeen.clear();
    sendKey(VK_F9, true);
    settle();
    hookSetSwallow(1);
    sendKey(VK_F9, false);
    settle();
    EXPECT_TRUE(windowSaw(VK_F9));
    EXPECT_TRUE(sawUp()) << "the up of a key-down that passed must pass too";

    keysSeen.clear();
    upsSeen.clear();
    sendKey(VK_F9, true);
    settle();
    hookSetSwallow(0);
    sendKey(VK_F9, false);
    settle();
    EXPECT_FALSE(windowSaw(VK_F9));
    EXPECT_FALSE(sawUp()) << "the up of a swallowed key-down is swallowed too";
    hookSetShotPressed(0);
}

TEST_F(HookLibrary, InstallingTwiceInstallsOnceAndNothingLatchesAfterRemoval) {
    EXPECT_EQ(hookInstall(), 1) << "installed already";
    hookRemove();  // one removal undoes both installs
    EXPECT_EQ(hookRemove(), 1) << "removing what is not installed is harmless";
    hookSetSwallow(1);
    pressKey(VK_F9);
    EXPECT_EQ(hookShotPressed(), 0);
    EXPECT_TRUE(windowSaw(VK_F9)) << "a removed hook must not swallow";
    // Installing again works and latches again.
    ASSERT_EQ(hookInstall(), 1);
    pressKey(VK_F9);
    EXPECT_EQ(hookShotPressed(), 1);
}

}  // namespace

namespace {

// A held key repeats its key-down: each repeat is a press, so holding the screenshot
// key past the end of a capture (which clears the latches) starts the next one.
TEST_F(HookLibrary, HeldKeyLatchesAgainOnRepeat) {
    sendKey(VK_F9, true);
    settle();
    EXPECT_EQ(hookShotPressed(), 1);
    hookSetShotPressed(0);
    sendKey(VK_F9, true);  // the repeat
    settle();
    EXPECT_EQ(hookShotPressed(), 1);
    hookSetShotPressed(0);
    sendKey(VK_F9, false);
    settle();
    EXPECT_EQ(hookShotPressed(), 0) << "releasing a key is no press";
}

// The thread that installed the hook may be busy for seconds (a GIF encoding): keys
// sent meanwhile from elsewhere still latch, without this thread pumping or waiting
// for messages, and each latching press wakes the owner window with a message.
TEST_F(HookLibrary, KeysLatchWhileTheInstallingThreadIsBusy) {
    const int wakesBefore = wakesSeen;
    std::thread sender([] {
        sendKey(VK_F9, true);
        sendKey(VK_F9, false);
    });
    const DWORD start = GetTickCount();
    while (hookShotPressed() == 0 && GetTickCount() - start < 5000) Sleep(1);
    EXPECT_EQ(hookShotPressed(), 1) << "the latch waited for the installing thread";
    sender.join();
    EXPECT_TRUE(pumpUntil([wakesBefore] { return wakesSeen > wakesBefore; })) << "the owner window was not woken";
}

}  // namespace
