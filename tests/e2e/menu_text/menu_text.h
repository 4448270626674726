#pragma once
// winprobe's menu reader (menu_text.dll), loaded into the program's process by a hook.
#include <windows.h>

inline constexpr wchar_t kMenuTextMessage[] = L"KestrinTestMenuText";

// A WH_CALLWNDPROC hook that reads the menu of the window sent kMenuTextMessage; its address
// inside the library (a caller's own import stub would not do for the hook).
__declspec(dllexport) HOOKPROC menuTextHook();
// What the hook read last, in any process that loaded the library (cleared by the caller).
__declspec(dllexport) char* menuTextRead();
