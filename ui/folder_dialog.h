#pragma once
// The modal folder settings dialog (template 124): the three output and temporary
// folders as text, each with a browse button. OK stores them in the settings record
// only; the options dialog's Apply saves them, its Cancel drops them.
#include <windows.h>

extern HWND folderDialog;

INT_PTR CALLBACK folderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Sent to the folder browser once it is up: selects the folder named by `data`
// (a wide path), so the browser opens where the edit points.
int CALLBACK browseCallback(HWND browser, UINT message, LPARAM param, LPARAM data);

// Removes one trailing path separator in place. The path is in the ANSI code page: a
// 0x5C that is the second byte of a double-byte character (such as the one ending
// "ソ") is part of that character and stays. Returns true when a byte was removed.
bool removeTrailingSeparator(char* path);

// What the edit receives after the browser closed: the chosen folder's path when
// there is one that fits an ANSI path buffer, otherwise the text it held before
// (cancelled, a folder without a file-system path, or a name the ANSI code page
// cannot spell). `chosen` is null when there is no usable path.
void browseResultText(const char* current, const wchar_t* chosen, char result[MAX_PATH]);
