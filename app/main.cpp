// The program's entry point: a command from the command line, or start-up, the main loop,
// and shutdown with WM_QUIT's code.
#include <windows.h>
#include <shellapi.h>

#include "app/command_process.h"
#include "app/command_line.h"
#include "app/main_loop.h"

// Exported for the keyboard-hook library's sake; the program never touches it.
extern "C" {
__declspec(dllexport) int DLL_g_bkc = 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const Command command = arguments && count > 1 ? parseCommand(count - 1, arguments + 1) : Command();
    if (arguments) LocalFree(arguments);
    if (isCommand(command)) return runCommandLine(instance, command);
    if (!startUp(instance)) return 0;
    runMainLoop();
    return shutDown();
}
