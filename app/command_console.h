#pragma once
// Where a command's words go: the console it was typed in (or the pipe Kestrin.com reads),
// or the reply pipe of a second Kestrin that waits for the running one to carry the
// command out. A console gets the wide text; a pipe or a file gets UTF-8. A reply to a
// waiting Kestrin ends with a line that carries the exit code.
#include <windows.h>

#include <string>

struct CommandReply {
    HANDLE handle = nullptr;
    bool console = false;   // WriteConsoleW, not bytes
    bool toWaiter = false;  // the reply pipe of a waiting Kestrin
};

// This process's standard output, or the console of the process that started it.
CommandReply ownConsole();

// One line (a Shift-JIS text of the program), the newline added.
void sayLine(const CommandReply& reply, const char* text);
// The same with one argument in UTF-16 for the text's %s.
void sayLineWith(const CommandReply& reply, const char* format, const std::wstring& argument);
// Wide text as it is.
void sayWide(const CommandReply& reply, const std::wstring& text);

// The exit-code line a waiting Kestrin reads last; nothing for a console.
void sayExitCode(const CommandReply& reply, int code);
// Parses a line of a reply; true, with *code set, for the exit-code line.
bool exitCodeLine(const std::string& line, int* code);
