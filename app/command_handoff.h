#pragma once
// A command from the command line, from the process it was typed into to the process
// that carries it out. Where a Kestrin runs, the command goes to it (its hot keys, slots
// and ring are there) with WM_COPYDATA, and this process relays what it says, through a
// pipe it made for the reply, to its own console and exits with its code. Where none
// runs, this process starts without showing its window, carries the command out itself,
// and exits once the file is whole, the INI file untouched.
#include <windows.h>

#include "app/command_line.h"

// The whole life of a process started with a command; returns its exit code.
int runCommandLine(HINSTANCE instance, const Command& command);

// The running Kestrin's side: a command handed over in WM_COPYDATA. TRUE when it was
// taken (its reply pipe opened; the command started, or its refusal said there).
LRESULT acceptHandedCommand(const COPYDATASTRUCT* data);
