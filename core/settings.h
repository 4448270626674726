#pragma once
// Every persisted option, one field per INI key, kept in the INI file beside the
// executable (x.exe uses x.ini). Everything else reads the fields directly.
#include <windows.h>

struct Settings {
    // Section "メインウィンドウ": the main window's outer rectangle.
    int left = 0;
    int top = 0;
    int right = 600;
    int bottom = 450;
    // Section "PATH". SAVEPATH keeps its trailing backslash, the others hold none.
    char SAVEPATH[MAX_PATH] = "";
    char TEMPPATH[MAX_PATH] = "";
    char AUTOSAVEPATH[MAX_PATH] = "";
    char AVISAVEPATH[MAX_PATH] = "";
    // Section "OPTION".
    int S_FPS = 15;
    float REDUCE_PER = 1.0f;
    int CALLBACK_OP = 0;
    int AUTO_SAVE = 1;
    float S_TIME = 1.0f;
    int SS_ACTIVE = 1;
    int SS_CLIENT = 1;
    int MAP_SIZE = 15728640;
    int COLOR_DOUBLE = 0;
    int KEY_CODE = 44;
    int REDUCE_FIXED = 0;
    int EMPHASIS_ON = 0;
    int EMPHASIS_LEVEL = 100;
    int AVI_OUT = 0;
    int SAVE_TYPE = 0;  // the type auto-saved and first offered by the save dialog: 1 PNG, else BMP
    int AUTO_COPY = 0;       // 1: every new result is copied to the clipboard as it is shown
    int CURSOR_CAPTURE = 0;  // 1: the mouse pointer is drawn into every sample
    int COMPOSITE_MODE = 0;  // 0 mean, 1 lighten, 2 darken, 3 median; anything else is the mean
    int RETRO = 0;           // 1: the last RETRO_TIME seconds of the screen are kept while idle
    int RETRO_TIME = 5;      // seconds the ring keeps
    int RETRO_FPS = 10;      // its samples a second
    int RETRO_MB = 512;      // the most memory it takes; past it the oldest samples go first
    int KEY_CODE4 = 145;     // composites the ring at once (ScrollLock); armed only with RETRO
    int KEY_CODE5 = 0;       // opens the region selection; 0 watches no key (the dialog shows なし)
    int SS_REGION = 0;       // 1: the screenshot key takes the last selected region (over SS_ACTIVE)
    int REGION_LEFT = 0;     // the last selected region, in screen coordinates
    int REGION_TOP = 0;
    int REGION_RIGHT = 0;
    int REGION_BOTTOM = 0;
    int GIF_OUT = 0;         // 1: with AUTO_SAVE, a screenshot's samples also become sgif####.gif
    int GIF_WITH_RESULT = 0;  // 1: a GIF's last sample is followed by the long exposure, held a second
    int CLICK_MARKS = 0;     // 1: every press during a capture is marked in its result and frames
    int POINTER_PATH = 0;    // 1: the pointer's path between samples is drawn in the result
    int LANGUAGE = 0;        // 0 the Windows display language's, 1 Japanese, 2 English; else read as 0
    int GIF_MAX_MB = 0;      // a GIF larger than this many MB is made smaller until it fits; 0: no limit
    // Section "AVIMODE_OPTION".
    int AVI_FPS = 15;
    int AVI_TIME = 60;
    int KEY_CODE2 = 33;
    int KEY_CODE3 = 34;
    int REC_GIF = 0;         // 1: an AVI-only recording is written as sgif####.gif instead of AVI
};
extern Settings settings;
extern char iniPath[MAX_PATH];

extern const char kSectionMainWindow[];  // "メインウィンドウ" in Shift-JIS

// Reads the whole record from the INI file; with applyWindowPos the main window is
// moved to the stored rectangle when it exists. A rectangle that lies on no monitor is
// brought into the nearest monitor's work area instead, moved as little as possible,
// its size kept where it fits. The file is not written here.
void loadSettings(bool applyWindowPos);
// Writes the whole record and flushes the file.
void saveSettings();

void writeIniInt(const char* section, const char* key, int value, const char* path);
void writeIniFloat(const char* section, const char* key, float value, const char* path);

// The store size used when MAP_SIZE is 0 or below: 10 % more samples than one
// capture takes, at 4 bytes per pixel of the virtual screen. A size past 2^31 - 1
// falls back to the INI default (the store grows at the first capture that needs more).
int mapSizeFallback(int fps, float seconds, int screenWidth, int screenHeight);

// Upper bounds of the numbers a capture is counted from, kept on load and on Apply:
// with them a sample count (rate x time) plus one, and every size formed from it in
// 64 bits, fits its type.
const int kMaxSampleRate = 10000;            // S_FPS, AVI_FPS: one clock tick apart
const float kMaxShutterSeconds = 86400.0f;   // S_TIME
const int kMaxAviSeconds = 86400;            // AVI_TIME
const int kMaxEmphasisLevel = 200;           // EMPHASIS_LEVEL
const int kMaxRetroSeconds = 60;             // RETRO_TIME
const int kMaxRetroFps = 60;                 // RETRO_FPS: what the options dialog offers
const int kMaxRetroMegabytes = 2048;         // RETRO_MB: what a 32-bit process can hope to hold
const int kMaxGifMegabytes = 2047;          // GIF_MAX_MB: a GIF file is written whole, below 2 GB

// Brings hand-edited values that would break the program into range: both rates and
// the AVI time within 1 ... their upper bound (the main loop divides by the rates), the
// shutter time finite and within 0.1 ... its bound (a negative or NaN sample count
// never ends a capture), a decay exponent that is not a finite number back to 1, an
// emphasis level within 0 ... 200 (below 0 a sample's weight divisor can be zero or
// negative), the ring's time, rate and memory within their bounds. Other out-of-range values are kept as stored: the options dialog clamps
// them on Apply, and its Cancel must reload what the file holds.
void clampLoadedSettings(Settings& s);
