#pragma once
// The keyboard-hook library HOOKDLL, imported by ordinal. It watches the keyboard
// system-wide and latches presses of the configured hot keys; the program polls
// and clears the latches itself, once per sample interval. The hook runs on a thread
// of the library's own, so it answers however long the program's thread is busy; a
// press that latches posts WM_NULL to the owner window, which wakes the program's loop.
// Every function may be called from the program's thread while the hook runs;
// install and remove from one thread only.
//
// Beside it, while a capture or the ring asks for it, a low-level mouse hook on a thread
// of its own keeps every press and movement with the performance counter's reading when
// it came, in a ring of records the program sizes; it records and passes each event on
// at once, and does not exist while nothing watches.
#include <windows.h>

#ifdef KESTRIN_BUILDING_HOOKDLL
#define HOOKAPI extern "C" __declspec(dllexport)
#else
#define HOOKAPI extern "C" __declspec(dllimport)
#endif

HOOKAPI int __cdecl hookInstall();                  // 2: start the hook's thread and watch the keyboard; 1 once watching
HOOKAPI int __cdecl hookRemove();                   // 3: stop watching and end that thread (waits for it)
HOOKAPI int __cdecl hookSetOwnerWindow(HWND owner);  // 4: the main window, woken by a latching press
HOOKAPI int __cdecl hookShotPressed();              // 5: 1 when the screenshot key is latched
HOOKAPI int __cdecl hookStartPressed();             // 6: 1 when the record-start key is latched
HOOKAPI int __cdecl hookStopPressed();              // 7: 1 when the record-stop key is latched
HOOKAPI int __cdecl hookSetShotPressed(int value);  // 8: set (normally clear) that latch
HOOKAPI int __cdecl hookSetStartPressed(int value); // 9
HOOKAPI int __cdecl hookSetStopPressed(int value);  // 10
HOOKAPI int __cdecl hookSetSwallow(int swallow);    // 11: 1 keeps hot-key presses from other programs
HOOKAPI int __cdecl hookSetShotKey(int virtualKey);  // 12
HOOKAPI int __cdecl hookSetStartKey(int virtualKey); // 13
HOOKAPI int __cdecl hookSetStopKey(int virtualKey);  // 14
HOOKAPI int __cdecl hookRetroPressed();              // 15: 1 when the key that composites the last seconds is latched
HOOKAPI int __cdecl hookSetRetroPressed(int value);  // 16
HOOKAPI int __cdecl hookSetRetroKey(int virtualKey); // 17: 0 watches no key
HOOKAPI int __cdecl hookRegionPressed();             // 18: 1 when the key that opens the region selection is latched
HOOKAPI int __cdecl hookSetRegionPressed(int value); // 19
HOOKAPI int __cdecl hookSetRegionKey(int virtualKey); // 20: 0 watches no key

// One mouse event as the watch keeps it: where the pointer's hot spot was (screen
// coordinates) and QueryPerformanceCounter's reading when the hook saw it.
enum HookMouseKind { kHookMouseMove = 0, kHookMouseLeft = 1, kHookMouseRight = 2, kHookMouseMiddle = 3 };
struct HookMouseRecord {
    LONGLONG counter;
    LONG x;
    LONG y;
    LONG kind;  // a HookMouseKind: a movement or a button pressed
    LONG unused;
};

HOOKAPI int __cdecl hookMouseWatch(int capacity);    // 21: keep the newest `capacity` records from now (the pointer's place first); 0 stops and frees
HOOKAPI int __cdecl hookMouseRecords(HookMouseRecord* records, int most);  // 22: copies up to `most` newest records, oldest first; returns how many
