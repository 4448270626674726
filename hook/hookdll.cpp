// HOOKDLL: a low-level keyboard hook that latches presses of the hot keys.
// The hook runs on a thread of the library's own, which does nothing but answer it: the
// system drops a low-level hook whose thread does not answer in time, and the program's
// thread may be busy for seconds (encoding a GIF). The latches, the keys and the options
// are shared with the program's thread, so each is read and written whole and in order
// (Interlocked), and a latching press posts WM_NULL to the owner window to wake its loop.
#define KESTRIN_BUILDING_HOOKDLL
#include "hook/hook_api.h"

namespace {

HINSTANCE dllInstance = nullptr;

// Touched only by hookInstall and hookRemove, on the program's thread.
HANDLE hookThread = nullptr;
DWORD hookThreadId = 0;

// Touched only by the hook thread.
HHOOK keyboardHook = nullptr;

PVOID volatile ownerWindow = nullptr;

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

LONG readShared(volatile LONG& value) { return InterlockedCompareExchange(&value, 0, 0); }
void writeShared(volatile LONG& value, LONG newValue) { InterlockedExchange(&value, newValue); }

int setLatch(HotKey& key, int value) {
    writeShared(key.latched, value ? 1 : 0);
    return 0;
}

// The keys the program arms only when their feature is on: a new key starts unlatched.
int armKey(HotKey& key, int virtualKey) {
    writeShared(key.code, virtualKey);
    writeShared(key.latched, 0);
    return 1;
}

HotKey* hotKeyFor(DWORD code) {
    HotKey* keys[] = {&shotKey, &startKey, &stopKey, &retroKey, &regionKey};
    for (HotKey* key : keys) {
        const LONG keyCode = readShared(key->code);
        if (keyCode != 0 && static_cast<DWORD>(keyCode) == code) return key;
    }
    return nullptr;
}

// The program's loop sleeps until a message arrives; a newly latched key must not wait
// for its timer.
void wakeOwner() {
    HWND owner = static_cast<HWND>(InterlockedCompareExchangePointer(&ownerWindow, nullptr, nullptr));
    if (owner) PostMessageW(owner, WM_NULL, 0, 0);
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
                const LONG swallow = readShared(swallowHotKeys);
                writeShared(key->downSwallowed, swallow);
                if (InterlockedExchange(&key->latched, 1) == 0) wakeOwner();
                if (swallow) return 1;
            } else if (InterlockedExchange(&key->downSwallowed, 0)) {
                return 1;
            }
        }
    }
    return CallNextHookEx(keyboardHook, code, wParam, lParam);
}

struct HookThreadStart {
    HANDLE ready;  // set once the hook is set or has failed
    LONG installed;
};

// Sets the hook, says whether it was set, and answers it until a WM_QUIT arrives.
DWORD WINAPI hookThreadMain(LPVOID parameter) {
    HookThreadStart* start = static_cast<HookThreadStart*>(parameter);
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue WM_QUIT is posted to
    keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, dllInstance, 0);
    const bool installed = keyboardHook != nullptr;
    start->installed = installed ? 1 : 0;
    SetEvent(start->ready);  // `start` belongs to hookInstall from here on
    if (!installed) return 1;
    // The hook is called inside GetMessageW; the thread has no windows to dispatch to.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    }
    UnhookWindowsHookEx(keyboardHook);
    keyboardHook = nullptr;
    return 0;
}

void closeHookThread() {
    WaitForSingleObject(hookThread, INFINITE);
    CloseHandle(hookThread);
    hookThread = nullptr;
    hookThreadId = 0;
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
    if (hookThread) return 1;
    HookThreadStart start = {CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
    if (!start.ready) return 0;
    hookThread = CreateThread(nullptr, 0, hookThreadMain, &start, 0, &hookThreadId);
    if (!hookThread) {
        CloseHandle(start.ready);
        return 0;
    }
    // Keys must be answered at once, even while the program's thread computes.
    SetThreadPriority(hookThread, THREAD_PRIORITY_HIGHEST);
    WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    if (!start.installed) closeHookThread();
    return start.installed ? 1 : 0;
}

int __cdecl hookRemove() {
    if (!hookThread) return 1;
    // Posting fails only while the thread's queue is full; it ends once it takes the message.
    while (!PostThreadMessageW(hookThreadId, WM_QUIT, 0, 0) && WaitForSingleObject(hookThread, 10) == WAIT_TIMEOUT) {
    }
    closeHookThread();
    return 1;
}

int __cdecl hookSetOwnerWindow(HWND owner) {
    InterlockedExchangePointer(&ownerWindow, owner);
    return 1;
}

int __cdecl hookShotPressed() { return readShared(shotKey.latched) ? 1 : 0; }
int __cdecl hookStartPressed() { return readShared(startKey.latched) ? 1 : 0; }
int __cdecl hookStopPressed() { return readShared(stopKey.latched) ? 1 : 0; }

int __cdecl hookSetShotPressed(int value) { return setLatch(shotKey, value); }
int __cdecl hookSetStartPressed(int value) { return setLatch(startKey, value); }
int __cdecl hookSetStopPressed(int value) { return setLatch(stopKey, value); }

int __cdecl hookSetSwallow(int swallow) {
    writeShared(swallowHotKeys, swallow ? 1 : 0);
    return 1;
}

int __cdecl hookSetShotKey(int virtualKey) {
    writeShared(shotKey.code, virtualKey);
    return 1;
}
int __cdecl hookSetStartKey(int virtualKey) {
    writeShared(startKey.code, virtualKey);
    return 1;
}
int __cdecl hookSetStopKey(int virtualKey) {
    writeShared(stopKey.code, virtualKey);
    return 1;
}

int __cdecl hookRetroPressed() { return readShared(retroKey.latched) ? 1 : 0; }
int __cdecl hookSetRetroPressed(int value) { return setLatch(retroKey, value); }
int __cdecl hookSetRetroKey(int virtualKey) { return armKey(retroKey, virtualKey); }

int __cdecl hookRegionPressed() { return readShared(regionKey.latched) ? 1 : 0; }
int __cdecl hookSetRegionPressed(int value) { return setLatch(regionKey, value); }
int __cdecl hookSetRegionKey(int virtualKey) { return armKey(regionKey, virtualKey); }
