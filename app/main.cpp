// The program's entry point: start-up, the main loop, and shutdown with WM_QUIT's code.
#include <windows.h>

#include "app/main_loop.h"

// Exported for the keyboard-hook library's sake; the program never touches it.
extern "C" {
__declspec(dllexport) int DLL_g_bkc = 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!startUp(instance)) return 0;
    runMainLoop();
    return shutDown();
}
