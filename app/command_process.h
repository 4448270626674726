#pragma once
// The whole life of a process started with a command. Where a Kestrin runs, the command is
// handed to it (command_handoff.h); where none runs, this process starts without showing
// its window, carries the command out itself, and exits once the file is whole, the INI
// file untouched.
#include <windows.h>

#include "app/command_line.h"

// Returns the process's exit code.
int runCommandLine(HINSTANCE instance, const Command& command);
