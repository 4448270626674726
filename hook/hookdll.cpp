// HOOKDLL: a low-level keyboard hook that latches presses of the hot keys.
// The hook procedure runs on the thread that installed it (the program's one thread,
// whenever it pumps messages), so plain volatile flags are enough.
#define KESTRIN_BUILDING_HOOKDLL
#include "hook/hook_api.h"

namespace {

HINSTANCE dllInstance = nullptr;
HHOOK keyboardHook = nullptr;
HWND ownerWindow = nullptr;

struct HotKey {
    volatile LONG code;
    volatile LONG latched;
    volatile LONG downSwallowed;  // the last key-down was kept from other programs
};
HotKey shotKey = {VK_SNAPSHOT, 0, 0};
HotKey startKey = {VK_PRIOR, 0, 0};
HotKey stopKey = {VK_NEXT, 0, 0};
HotKey retroKey = {0, 0, 0};  // none until the program arms one
HotKey regionKey = {0, 0, 0};  // none until the program arms one
volatile LONG swallowHotKeys = 0;

int setLatch(HotKey& key, int value) {
    key.latched = value ? 1 : 0;
    return 0;
}

// The keys the program arms only when their feature is on: a new key starts unlatched.
int armKey(HotKey& key, int virtualKey) {
    key.code = virtualKey;
    key.latched = 0;
    return 1;
}

HotKey* hotKeyFor(DWORD code) {
    HotKey* keys[] = {&shotKey, &startKey, &stopKey, &retroKey, &regionKey};
    for (HotKey* key : keys) {
        if (key->code != 0 && static_cast<DWORD>(key->code) == code) return key;
    }
    return nullptr;
}

LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const KBDLLHOOKSTRUCT* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        HotKey* key = hotKeyFor(event->vkCode);
        if (key) {
            // A key-up is kept from other programs exactly when its key-down was, so that
            // no program sees half a press (a key stuck down) when swallowing changes
            // in the middle of one.
            if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) {
                key->latched = 1;
                key->downSwallowed = swallowHotKeys;
                if (swallowHotKeys) return 1;
            } else if (key->downSwallowed) {
                key->downSwallowed = 0;
                return 1;
            }
        }
    }
    return CallNextHookEx(keyboardHook, code, wParam, lParam);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        dllInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

int __cdecl hookInstall() {
    if (!keyboardHook) keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, dllInstance, 0);
    return keyboardHook ? 1 : 0;
}

int __cdecl hookRemove() {
    if (keyboardHook) UnhookWindowsHookEx(keyboardHook);
    keyboardHook = nullptr;
    return 1;
}

int __cdecl hookSetOwnerWindow(HWND owner) {
    ownerWindow = owner;
    return 1;
}

int __cdecl hookShotPressed() { return shotKey.latched ? 1 : 0; }
int __cdecl hookStartPressed() { return startKey.latched ? 1 : 0; }
int __cdecl hookStopPressed() { return stopKey.latched ? 1 : 0; }

int __cdecl hookSetShotPressed(int value) { return setLatch(shotKey, value); }
int __cdecl hookSetStartPressed(int value) { return setLatch(startKey, value); }
int __cdecl hookSetStopPressed(int value) { return setLatch(stopKey, value); }

int __cdecl hookSetSwallow(int swallow) {
    swallowHotKeys = swallow ? 1 : 0;
    return 1;
}

int __cdecl hookSetShotKey(int virtualKey) {
    shotKey.code = virtualKey;
    return 1;
}
int __cdecl hookSetStartKey(int virtualKey) {
    startKey.code = virtualKey;
    return 1;
}
int __cdecl hookSetStopKey(int virtualKey) {
    stopKey.code = virtualKey;
    return 1;
}

int __cdecl hookRetroPressed() { return retroKey.latched ? 1 : 0; }
int __cdecl hookSetRetroPressed(int value) { return setLatch(retroKey, value); }
int __cdecl hookSetRetroKey(int virtualKey) { return armKey(retroKey, virtualKey); }

int __cdecl hookRegionPressed() { return regionKey.latched ? 1 : 0; }
int __cdecl hookSetRegionPressed(int value) { return setLatch(regionKey, value); }
int __cdecl hookSetRegionKey(int virtualKey) { return armKey(regionKey, virtualKey); }
