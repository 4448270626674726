#pragma once
// A command from the command line carried out by this Kestrin through the hot keys' own
// path: the options it gives override the settings in memory for the command only (never
// written), the capture is started as its key would start it, and the result goes to the
// command's file instead of the auto-saved one. Everything the program would tell the user
// in a message box meanwhile goes to the command's console instead.
#include <windows.h>

#include "app/command_console.h"
#include "app/command_line.h"
#include "output/gif_file.h"

// What a command ends with: the process's exit code.
enum CommandCode { kCommandWritten = 0, kCommandFailed = 1, kCommandBadArguments = 2, kCommandBusy = 3 };

// Starts `command` (parsed whole, its paths full), its words going to `reply`. Returns -1
// when it has started (its end is said by the main loop through followCommand), else the
// code it ended with at once (busy, bad arguments, no folder, no ring), said already.
int beginCommand(const Command& command, const CommandReply& reply);

// True from beginCommand's start until the command has ended.
bool commandRunning();

// Called by the main loop after each engine step: starts what the command waits for, says
// the samples taken, and ends the command once its capture has ended: the settings are put
// back, the exit code said, and `onEnd` (when set) called with it.
void followCommand();
extern void (*commandEnded)(int code);

// The compositing phase's delivery of a new result: to the command's file or the clipboard
// while a command runs, else auto-saved and copied as the options say.
void deliverResult();
// A path on the disk the new result's image goes to: the command's file, the auto-save
// folder, or null when no image file is written.
const char* resultImagePath();
// Where a command wants the samples as AVI or as GIF (null: where the options say).
const char* commandAviPath();
const char* commandGifPath();
// Who answers when a file cannot take every sample: the user, or, for a command, its
// console (what fits is kept).
KeepAsker keepAsker();
