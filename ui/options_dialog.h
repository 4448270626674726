#pragma once
// The modeless options dialog (template 117): edits every setting but the window
// rectangle, SAVEPATH, MAP_SIZE and RETRO_MB; Apply stores, saves and re-arms the hook
// library, Cancel and the close box reload the INI file.
#include <windows.h>

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The options command: sets optionsOpen, creates and shows the dialog, draws the
// preview. When the dialog cannot be created, optionsOpen is cleared again and
// false returned, so the engine and the main loop are not left waiting for a
// dialog that does not exist.
bool openOptionsDialog(HWND owner);

// A decay text in hundredths: trunc(atof(text) * 100 + 0.5), brought into 1 ... 500;
// a text that is no number counts as 0.
int decayHundredths(const char* text);

// The memory label's megabytes: trunc(fps * bytesPerSample * seconds / 2^20), kept
// within the int range.
int memoryEstimateMB(double fps, double seconds, double bytesPerSample);

// The label after an edit of the shutter time or the rate: both brought to their
// least values first (0.1 s, 1 sample) and counted at 4 bytes per 640 x 480 pixel.
int editedMemoryEstimateMB(const char* secondsText, const char* fpsText);

// Whether an emphasis text is a whole number within 0 ... 200, as the up-down
// control accepts it. Any other text is replaced by "200" as soon as it changes.
bool emphasisTextInRange(const char* text);

// The numbers Apply stores, each brought into its range.
float shutterTimeFromText(const char* text);       // 0.1 ... kMaxShutterSeconds; no number gives 0.1
int countFromText(const char* text, int maximum);  // S_FPS, AVI_FPS, AVI_TIME, RETRO_TIME, RETRO_FPS: 1 ... maximum
int emphasisLevelFromText(const char* text);       // 0 ... 200
