#pragma once
// Process-wide state shared by every part of the program. Everything runs on one
// thread (only the keyboard hook has its own, inside its library); these flags are how
// re-entered handlers keep out of each other's way.
#include <windows.h>

#include "core/texts.h"

struct AppState {
    int appRunning = 1;      // cleared by WM_CLOSE, WM_DESTROY and WM_QUIT
    int captureBusy = 0;     // a capture (or the shutdown) is under way
    int optionsOpen = 0;     // the options dialog is open: no engine step
    int saveInProgress = 0;  // a save (BMP or PNG, by hand or auto) is under way: no engine step
    int regionSelecting = 0;  // the region overlay is up: no engine step, no ring sample
    int aviOnlyMode = 0;     // the current capture (or idle polling) paces at AVI_FPS
    int recordingGif = 0;    // the current AVI-only recording is written as GIF (REC_GIF at its start)
    int aviFileOpen = 0;     // an AVI file was opened at least once in this run
    int sampleCounter = 0;   // 0 idle, else the number of the next sample to take
    int quitReceived = 0;    // a WM_QUIT has been retrieved
    int screenChanged = 0;   // monitors changed: the next idle step follows the new layout
    int sampleLimit = 0;     // a recording the disks cannot hold whole ends at this many samples
    int exitCode = 0;        // wParam of the last WM_QUIT
    int commandHeld = 0;     // a command from the command line is under way: nothing else starts
    Language language = Language::Japanese;  // the language of every text shown (LANGUAGE)
};
extern AppState app;

// The samples of the result shown, while the store still holds them, for the menu's GIF
// save. A count of 0: none (before the first capture, after a recording or the ring).
struct KeptSamples {
    int count = 0;
    int storeWidth = 0;  // the width the store lays the samples out at
    int width = 0;       // the part of it the result shows
    int height = 0;
    int rate = 0;        // samples a second they were taken at
};
extern KeptSamples keptSamples;

extern HINSTANCE appInstance;
extern HWND mainWindow;
// Its class, by which a command finds a running Kestrin: "DEFAULT".
extern const wchar_t kMainWindowClass[];
extern HACCEL accelerators;
extern HWND optionsDialog;
extern HDC windowDC;        // the main window's own DC, taken once at start-up
extern HDC workDC;          // memory DC into which slots are selected for copies
extern HDC displayDC;       // holds displayBitmap, the image the window shows
extern HBITMAP displayBitmap;
extern HGDIOBJ displayPreviousBitmap;

extern char exeDirectory[MAX_PATH];  // ends with a backslash
// The virtual screen: the rectangle around every monitor, in screen coordinates; left
// and top are negative when a monitor lies left of or above the primary one. Captures
// are clipped to it, and the slots and the display surface hold its size.
extern RECT VirtualScreenRect;
extern RECT CaptureRect;             // the rectangle of the current or last capture
extern RECT ResultRect;              // (0, 0, 1, 1) until the first result exists

// high - low, widened so that no pair of stored coordinates overflows, and kept
// within 0 ... INT_MAX.
int clampedSpan(LONG low, LONG high);

// The virtual screen as the system reports it now.
RECT currentVirtualScreen();
// VirtualScreenRect's width and height.
int virtualScreenWidth();
int virtualScreenHeight();

// Retrieves and dispatches at most one message; WM_QUIT clears appRunning and sets
// quitReceived and exitCode.
void pumpMessages();

// What an entry point (a key, a menu command, the ring's timer) may start.
enum class Start {
    Capture,  // a screenshot, a recording, the ring's sample or its composite
    Region,   // the region overlay
    Options,  // the options dialog
    Save,     // a save by hand (BMP, PNG or GIF); the options dialog may be open
    Copy,     // a copy to the clipboard
};
// True when `what` may start now, given what is under way: the one answer every entry
// point asks for, so that none starts beside work that holds the slots, the store, the
// settings or the screen.
bool mayStart(Start what);

// One message handled, then the rest of the time slice given up: what a long piece of
// work does between its steps, so the window keeps answering. (The hot keys do not
// depend on it: they latch meanwhile on the hook's own thread.)
void keepAnswering();

// Formats one of the caption formats above (with up to two numbers) and shows it
// in the main window's title bar. Does nothing when there is no main window.
void setCaption(const char* format, int first = 0, int second = 0);

// Index of the path separator that ends the folder part of `path`; a 0x5C that is the
// second byte of a double-byte character of the active code page is not a separator.
// Index 0 is never taken. Returns -1 when there is none.
int lastSeparatorIndex(const char* path);

// Cuts `path` after its last separator, keeping the trailing backslash; a path
// without one is left whole.
void keepFolderPart(char* path);

// Fills exeDirectory from the module path: the folder with its trailing backslash.
void computeExeDirectory();
