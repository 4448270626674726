#pragma once
// A command from the command line, from the process it was typed into to a running
// Kestrin (its hot keys, slots and ring are there): WM_COPYDATA carries it, and the
// typing process relays what it says, through a pipe it made for the reply, to its own
// console and exits with its code.
#include <windows.h>

#include <string>

#include "app/command_console.h"
#include "app/command_line.h"

// The running Kestrin's main window, or null when none runs.
HWND runningKestrin();

// Hands the command to the Kestrin of `target` and relays its reply; returns its code.
int handOver(HWND target, const Command& command, const CommandReply& reply);

// A path as a process whose current folder differs must see it ("-" and "" as they are).
std::wstring commandFullPath(const std::wstring& path);

// The running Kestrin's side: a command handed over in WM_COPYDATA. TRUE when it was
// taken (its reply pipe opened; the command started, or its refusal said there).
LRESULT acceptHandedCommand(const COPYDATASTRUCT* data);
