// HOOKDLL: a low-level keyboard hook that latches presses of the hot keys, and while the
// program asks for it a low-level mouse hook that keeps every press and movement.
// Each hook runs on a thread of the library's own, which does nothing but answer it: the
// system drops a low-level hook whose thread does not answer in time, and the program's
// thread may be busy for seconds (encoding a GIF). The latches, the keys and the options
// are shared with the program's thread, so each is read and written whole and in order
// (Interlocked), and a latching press posts WM_NULL to the owner window to wake its loop.
#define KESTRIN_BUILDING_HOOKDLL
#include "hook/hook_api.h"

namespace {

HINSTANCE dllInstance = nullptr;

// A low-level hook and the thread of the library's own that answers it. The thread and
// handle are touched only by the program's thread (start and stop); the hook handle only
// by the hook's thread.
struct HookThread {
    int type;  // WH_KEYBOARD_LL or WH_MOUSE_LL
    HOOKPROC procedure;
    HANDLE thread;
    DWORD threadId;
    HHOOK hook;
};

LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK mouseProc(int code, WPARAM wParam, LPARAM lParam);
HookThread keyboardThread = {WH_KEYBOARD_LL, keyboardProc, nullptr, 0, nullptr};
HookThread mouseThread = {WH_MOUSE_LL, mouseProc, nullptr, 0, nullptr};

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
    return CallNextHookEx(keyboardThread.hook, code, wParam, lParam);
}

// The mouse watch's records: a ring of `capacity` that keeps the newest, shared by the
// hook's thread (which appends) and the program's thread (which copies), each holding the
// lock only for a copy of records.
CRITICAL_SECTION mouseLock;
HookMouseRecord* mouseRecords = nullptr;
int mouseCapacity = 0;
int mouseCount = 0;  // records held, at most mouseCapacity
int mouseNext = 0;   // where the next one goes

void appendMouseRecord(LONG x, LONG y, LONG kind) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    EnterCriticalSection(&mouseLock);
    if (mouseCapacity > 0) {
        const int last = (mouseNext + mouseCapacity - 1) % mouseCapacity;
        // A flood of movements (a mouse reporting 1000 times a second) keeps only those that
        // reach another pixel.
        const bool same = kind == kHookMouseMove && mouseCount > 0 && mouseRecords[last].x == x &&
                          mouseRecords[last].y == y;
        if (!same) {
            mouseRecords[mouseNext] = {counter.QuadPart, x, y, kind, 0};
            mouseNext = (mouseNext + 1) % mouseCapacity;
            if (mouseCount < mouseCapacity) ++mouseCount;
        }
    }
    LeaveCriticalSection(&mouseLock);
}

LONG pressKind(WPARAM message) {
    switch (message) {
    case WM_LBUTTONDOWN: return kHookMouseLeft;
    case WM_RBUTTONDOWN: return kHookMouseRight;
    case WM_MBUTTONDOWN: return kHookMouseMiddle;
    case WM_MOUSEMOVE: return kHookMouseMove;
    default: return -1;  // releases, wheels and side buttons are not marked
    }
}

// Records and passes the event on at once: nothing here waits for the program.
LRESULT CALLBACK mouseProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const MSLLHOOKSTRUCT* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        const LONG kind = pressKind(wParam);
        if (kind >= 0) appendMouseRecord(event->pt.x, event->pt.y, kind);
    }
    return CallNextHookEx(mouseThread.hook, code, wParam, lParam);
}

struct HookThreadStart {
    HookThread* owner;
    HANDLE ready;  // set once the hook is set or has failed
    LONG installed;
};

// Sets the hook, says whether it was set, and answers it until a WM_QUIT arrives.
DWORD WINAPI hookThreadMain(LPVOID parameter) {
    HookThreadStart* start = static_cast<HookThreadStart*>(parameter);
    HookThread* owner = start->owner;
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue WM_QUIT is posted to
    owner->hook = SetWindowsHookExW(owner->type, owner->procedure, dllInstance, 0);
    const bool installed = owner->hook != nullptr;
    start->installed = installed ? 1 : 0;
    SetEvent(start->ready);  // `start` belongs to startHookThread from here on
    if (!installed) return 1;
    // The hook is called inside GetMessageW; the thread has no windows to dispatch to.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    }
    UnhookWindowsHookEx(owner->hook);
    owner->hook = nullptr;
    return 0;
}

void closeHookThread(HookThread& owner) {
    WaitForSingleObject(owner.thread, INFINITE);
    CloseHandle(owner.thread);
    owner.thread = nullptr;
    owner.threadId = 0;
}

bool startHookThread(HookThread& owner) {
    if (owner.thread) return true;
    HookThreadStart start = {&owner, CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
    if (!start.ready) return false;
    owner.thread = CreateThread(nullptr, 0, hookThreadMain, &start, 0, &owner.threadId);
    if (!owner.thread) {
        CloseHandle(start.ready);
        return false;
    }
    // Events must be answered at once, even while the program's thread computes.
    SetThreadPriority(owner.thread, THREAD_PRIORITY_HIGHEST);
    WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    if (!start.installed) closeHookThread(owner);
    return start.installed != 0;
}

void stopHookThread(HookThread& owner) {
    if (!owner.thread) return;
    // Posting fails only while the thread's queue is full; it ends once it takes the message.
    while (!PostThreadMessageW(owner.threadId, WM_QUIT, 0, 0) &&
           WaitForSingleObject(owner.thread, 10) == WAIT_TIMEOUT) {
    }
    closeHookThread(owner);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        dllInstance = instance;
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&mouseLock);
    }
    return TRUE;
}

int __cdecl hookInstall() { return startHookThread(keyboardThread) ? 1 : 0; }

int __cdecl hookRemove() {
    stopHookThread(keyboardThread);
    hookMouseWatch(0);
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

int __cdecl hookMouseWatch(int capacity) {
    stopHookThread(mouseThread);
    EnterCriticalSection(&mouseLock);
    HeapFree(GetProcessHeap(), 0, mouseRecords);
    mouseRecords = nullptr;
    mouseCapacity = mouseCount = mouseNext = 0;
    if (capacity > 0) {
        mouseRecords = static_cast<HookMouseRecord*>(
            HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(capacity) * sizeof(HookMouseRecord)));
        if (mouseRecords) mouseCapacity = capacity;
    }
    LeaveCriticalSection(&mouseLock);
    if (mouseCapacity == 0) return capacity > 0 ? 0 : 1;
    // Where the pointer is when the watch starts, before it moves.
    POINT at;
    if (GetCursorPos(&at)) appendMouseRecord(at.x, at.y, kHookMouseMove);
    if (startHookThread(mouseThread)) return 1;
    hookMouseWatch(0);
    return 0;
}

int __cdecl hookMouseRecords(HookMouseRecord* records, int most) {
    EnterCriticalSection(&mouseLock);
    const int count = most < mouseCount ? (most < 0 ? 0 : most) : mouseCount;
    for (int i = 0; i < count; ++i) {
        records[i] = mouseRecords[(mouseNext - count + i + mouseCapacity) % mouseCapacity];
    }
    LeaveCriticalSection(&mouseLock);
    return count;
}
