#include "core/settings.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/app_state.h"

Settings settings;
char iniPath[MAX_PATH] = "";

const char kSectionMainWindow[] = "メインウィンドウ";

namespace {

const char kSectionPath[] = "PATH";
const char kSectionOption[] = "OPTION";
const char kSectionAviMode[] = "AVIMODE_OPTION";

enum class Kind { WindowInt, Path, Int, Real };

// Defaults of the PATH section, built from exeDirectory at every load.
enum PathDefault { ExeDirectory, ScreenshotFolder, ExeDirectoryNoSlash };

struct Field {
    const char* section;
    const char* key;
    Kind kind;
    size_t offset;
    const char* textDefault;  // Int and Real
    int intDefault;           // WindowInt, or a PathDefault for Path
};

#define FIELD(section, key, kind, text, number) \
    { section, #key, Kind::kind, offsetof(Settings, key), text, number }

// In the order the file is written: right before top in the window section.
const Field kFields[] = {
    FIELD(kSectionMainWindow, left, WindowInt, nullptr, 0),
    FIELD(kSectionMainWindow, right, WindowInt, nullptr, 600),
    FIELD(kSectionMainWindow, top, WindowInt, nullptr, 0),
    FIELD(kSectionMainWindow, bottom, WindowInt, nullptr, 450),
    FIELD(kSectionPath, SAVEPATH, Path, nullptr, ExeDirectory),
    FIELD(kSectionPath, TEMPPATH, Path, nullptr, ExeDirectoryNoSlash),
    FIELD(kSectionPath, AUTOSAVEPATH, Path, nullptr, ScreenshotFolder),
    FIELD(kSectionPath, AVISAVEPATH, Path, nullptr, ScreenshotFolder),
    FIELD(kSectionOption, S_FPS, Int, "15", 0),
    FIELD(kSectionOption, REDUCE_PER, Real, "1.0f", 0),
    FIELD(kSectionOption, CALLBACK_OP, Int, "0", 0),
    FIELD(kSectionOption, AUTO_SAVE, Int, "1", 0),
    FIELD(kSectionOption, S_TIME, Real, "1.0f", 0),
    FIELD(kSectionOption, SS_ACTIVE, Int, "1", 0),
    FIELD(kSectionOption, SS_CLIENT, Int, "1", 0),
    FIELD(kSectionOption, MAP_SIZE, Int, "15728640", 0),
    FIELD(kSectionOption, COLOR_DOUBLE, Int, "0", 0),
    FIELD(kSectionOption, KEY_CODE, Int, "44", 0),
    FIELD(kSectionOption, REDUCE_FIXED, Int, "0", 0),
    FIELD(kSectionOption, EMPHASIS_ON, Int, "0", 0),
    FIELD(kSectionOption, EMPHASIS_LEVEL, Int, "100", 0),
    FIELD(kSectionOption, AVI_OUT, Int, "0", 0),
    FIELD(kSectionOption, SAVE_TYPE, Int, "0", 0),
    FIELD(kSectionOption, AUTO_COPY, Int, "0", 0),
    FIELD(kSectionOption, CURSOR_CAPTURE, Int, "0", 0),
    FIELD(kSectionOption, COMPOSITE_MODE, Int, "0", 0),
    FIELD(kSectionOption, RETRO, Int, "0", 0),
    FIELD(kSectionOption, RETRO_TIME, Int, "5", 0),
    FIELD(kSectionOption, RETRO_FPS, Int, "10", 0),
    FIELD(kSectionOption, RETRO_MB, Int, "512", 0),
    FIELD(kSectionOption, KEY_CODE4, Int, "145", 0),
    FIELD(kSectionOption, KEY_CODE5, Int, "0", 0),
    FIELD(kSectionOption, SS_REGION, Int, "0", 0),
    FIELD(kSectionOption, REGION_LEFT, Int, "0", 0),
    FIELD(kSectionOption, REGION_TOP, Int, "0", 0),
    FIELD(kSectionOption, REGION_RIGHT, Int, "0", 0),
    FIELD(kSectionOption, REGION_BOTTOM, Int, "0", 0),
    FIELD(kSectionOption, GIF_OUT, Int, "0", 0),
    FIELD(kSectionOption, GIF_WITH_RESULT, Int, "0", 0),
    FIELD(kSectionOption, LANGUAGE, Int, "0", 0),
    FIELD(kSectionOption, CLICK_MARKS, Int, "0", 0),
    FIELD(kSectionOption, POINTER_PATH, Int, "0", 0),
    FIELD(kSectionOption, GIF_MAX_MB, Int, "0", 0),
    FIELD(kSectionAviMode, AVI_FPS, Int, "15", 0),
    FIELD(kSectionAviMode, AVI_TIME, Int, "60", 0),
    FIELD(kSectionAviMode, KEY_CODE2, Int, "33", 0),
    FIELD(kSectionAviMode, KEY_CODE3, Int, "34", 0),
    FIELD(kSectionAviMode, REC_GIF, Int, "0", 0),
};

#undef FIELD

template <typename T>
T& fieldOf(Settings& s, const Field& f) {
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(&s) + f.offset);
}

void buildIniPath() {
    GetModuleFileNameA(nullptr, iniPath, MAX_PATH);
    const size_t length = strlen(iniPath);
    if (length >= 3) memcpy(iniPath + length - 3, "ini", 3);
}

void readField(Settings& s, const Field& f, const char pathDefaults[3][MAX_PATH]) {
    char text[1024];
    switch (f.kind) {
    case Kind::WindowInt:
        fieldOf<int>(s, f) = static_cast<int>(GetPrivateProfileIntA(f.section, f.key, f.intDefault, iniPath));
        break;
    case Kind::Path:
        GetPrivateProfileStringA(f.section, f.key, pathDefaults[f.intDefault], &fieldOf<char>(s, f), MAX_PATH,
                                 iniPath);
        break;
    case Kind::Int:
        GetPrivateProfileStringA(f.section, f.key, f.textDefault, text, sizeof text, iniPath);
        fieldOf<int>(s, f) = atoi(text);
        break;
    case Kind::Real:
        GetPrivateProfileStringA(f.section, f.key, f.textDefault, text, sizeof text, iniPath);
        fieldOf<float>(s, f) = static_cast<float>(atof(text));
        break;
    }
}

void writeField(Settings& s, const Field& f) {
    switch (f.kind) {
    case Kind::WindowInt:
    case Kind::Int:
        writeIniInt(f.section, f.key, fieldOf<int>(s, f), iniPath);
        break;
    case Kind::Path:
        WritePrivateProfileStringA(f.section, f.key, &fieldOf<char>(s, f), iniPath);
        break;
    case Kind::Real:
        writeIniFloat(f.section, f.key, fieldOf<float>(s, f), iniPath);
        break;
    }
}

float finiteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

int within(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// A one-dimensional placeWithin: the span [low, low + length) moved into [areaLow, areaHigh).
void spanWithin(LONG low, int length, LONG areaLow, LONG areaHigh, LONG* placedLow, LONG* placedHigh) {
    const int room = clampedSpan(areaLow, areaHigh);
    const int kept = length < room ? length : room;
    long long start = low;
    if (start + kept > areaHigh) start = static_cast<long long>(areaHigh) - kept;
    if (start < areaLow) start = areaLow;
    *placedLow = static_cast<LONG>(start);
    *placedHigh = static_cast<LONG>(start + kept);
}

// `stored` moved into `area` as little as possible, its width and height kept where
// they fit and cut to the area's where they do not.
RECT placeWithin(const RECT& stored, const RECT& area) {
    RECT placed;
    spanWithin(stored.left, clampedSpan(stored.left, stored.right), area.left, area.right, &placed.left, &placed.right);
    spanWithin(stored.top, clampedSpan(stored.top, stored.bottom), area.top, area.bottom, &placed.top, &placed.bottom);
    return placed;
}

// The stored rectangle when it lies on a monitor (a window the user left partly off
// screen stays there); otherwise the nearest monitor's work area takes it, so that a
// window stored for a monitor since unplugged, or hand-edited far away, can be seen
// and reached by its keys.
RECT windowPlacement(const RECT& stored) {
    // An inverted or empty rectangle (a damaged or hand-edited file) is no window at all:
    // the one used when the file holds none, on the primary monitor.
    if (clampedSpan(stored.left, stored.right) <= 0 || clampedSpan(stored.top, stored.bottom) <= 0) {
        const Settings defaults;
        return {defaults.left, defaults.top, defaults.right, defaults.bottom};
    }
    if (MonitorFromRect(&stored, MONITOR_DEFAULTTONULL)) return stored;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromRect(&stored, MONITOR_DEFAULTTONEAREST), &monitor)) return stored;
    return placeWithin(stored, monitor.rcWork);
}

}  // namespace

void writeIniInt(const char* section, const char* key, int value, const char* path) {
    char text[1024];
    snprintf(text, sizeof text, "%d", value);
    WritePrivateProfileStringA(section, key, text, path);
}

void writeIniFloat(const char* section, const char* key, float value, const char* path) {
    char text[1024];
    snprintf(text, sizeof text, "%1.6f", static_cast<double>(value));
    WritePrivateProfileStringA(section, key, text, path);
}

int mapSizeFallback(int fps, float seconds, int screenWidth, int screenHeight) {
    const int kDefaultMapSize = 15728640;
    // The single-precision 1.1, the product of the three in double, truncated.
    const double samples = std::trunc(static_cast<double>(fps) * static_cast<double>(seconds) *
                                      static_cast<double>(1.1f));
    if (!(samples >= 0.0) || samples > 2147483647.0) return kDefaultMapSize;
    const long long bytes = static_cast<long long>(samples) * screenHeight * screenWidth * 4;
    if (bytes <= 0 || bytes > 2147483647LL) return kDefaultMapSize;
    return static_cast<int>(bytes);
}

void clampLoadedSettings(Settings& s) {
    s.S_FPS = within(s.S_FPS, 1, kMaxSampleRate);
    s.AVI_FPS = within(s.AVI_FPS, 1, kMaxSampleRate);
    s.AVI_TIME = within(s.AVI_TIME, 1, kMaxAviSeconds);
    s.S_TIME = finiteOr(s.S_TIME, 1.0f);
    s.S_TIME = s.S_TIME < 0.1f ? 0.1f : s.S_TIME > kMaxShutterSeconds ? kMaxShutterSeconds : s.S_TIME;
    s.REDUCE_PER = finiteOr(s.REDUCE_PER, 1.0f);
    // A negative emphasis makes a weight's divisor zero or negative.
    s.EMPHASIS_LEVEL = within(s.EMPHASIS_LEVEL, 0, kMaxEmphasisLevel);
    s.RETRO_TIME = within(s.RETRO_TIME, 1, kMaxRetroSeconds);
    s.RETRO_FPS = within(s.RETRO_FPS, 1, kMaxRetroFps);
    s.RETRO_MB = within(s.RETRO_MB, 1, kMaxRetroMegabytes);
    if (s.LANGUAGE != 1 && s.LANGUAGE != 2) s.LANGUAGE = 0;
    s.GIF_MAX_MB = within(s.GIF_MAX_MB, 0, kMaxGifMegabytes);
}

void loadSettings(bool applyWindowPos) {
    buildIniPath();

    char pathDefaults[3][MAX_PATH];
    snprintf(pathDefaults[ExeDirectory], MAX_PATH, "%s", exeDirectory);
    snprintf(pathDefaults[ScreenshotFolder], MAX_PATH, "%sscreenshot", exeDirectory);
    snprintf(pathDefaults[ExeDirectoryNoSlash], MAX_PATH, "%s", exeDirectory);
    const size_t length = strlen(pathDefaults[ExeDirectoryNoSlash]);
    if (length > 0) pathDefaults[ExeDirectoryNoSlash][length - 1] = '\0';

    for (const Field& f : kFields) {
        readField(settings, f, pathDefaults);
        if (f.key == kFields[3].key && applyWindowPos && mainWindow) {
            // The whole window section is in: move, size and raise the window.
            const RECT placed = windowPlacement({settings.left, settings.top, settings.right, settings.bottom});
            SetWindowPos(mainWindow, HWND_TOP, placed.left, placed.top, clampedSpan(placed.left, placed.right),
                         clampedSpan(placed.top, placed.bottom), 0);
        }
    }

    clampLoadedSettings(settings);
    if (settings.MAP_SIZE <= 0) {
        settings.MAP_SIZE =
            mapSizeFallback(settings.S_FPS, settings.S_TIME, virtualScreenWidth(), virtualScreenHeight());
    }
}

void saveSettings() {
    Sleep(0);
    for (const Field& f : kFields) writeField(settings, f);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniPath);  // commit to disk
    Sleep(100);
}
