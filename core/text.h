#pragma once
// The program's texts are Shift-JIS. They are shown through the wide functions after
// an explicit code page 932 conversion, so they read correctly whatever the system's
// ANSI code page is.
#include <windows.h>
#include <string>

// Conversions between the program's Shift-JIS texts and UTF-16; an empty or null text,
// or one that cannot be converted, gives an empty string.
std::wstring wideFromShiftJis(const char* text);
std::string shiftJisFromWide(const wchar_t* text);
// UTF-16 of a text in the system's ANSI code page (file and folder paths).
std::wstring wideFromAnsi(const char* text);

// MessageBox with a Shift-JIS text and title; MB_OK unless told otherwise. While
// messageRedirect is set (a command from the command line runs) no box is shown: the text
// goes to it, and its answer is returned.
extern int (*messageRedirect)(const char* text, const char* title, UINT type);
int showMessage(HWND owner, const char* text, const char* title, UINT type = MB_OK);

// SetWindowText with a Shift-JIS text.
void setWindowTextSjis(HWND window, const char* text);
