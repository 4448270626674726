#pragma once
// The tests' message pump: dispatches what is queued for the calling thread, so that
// windows a test made paint, the keyboard hook runs and posted messages arrive. (The
// program's own pumpMessages takes one message per call; tests check it, not use it.)
#include <windows.h>

#include "core/app_state.h"

// Dispatches everything queued now; a WM_QUIT is taken off the queue and dropped.
inline void drainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Dispatches whatever arrives for `milliseconds`, at least once.
inline void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        drainMessages();
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// The program's pump keeps the last message it retrieved, so after a WM_QUIT each later
// call ends the run again (a program has one run). A test that starts another run in the
// same process first leaves that record on an ordinary message.
inline void freshPumpRecord() {
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    pumpMessages();
}
