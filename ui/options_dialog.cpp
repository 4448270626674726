#include "ui/options_dialog.h"

#include <commctrl.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/hot_keys.h"
#include "capture/retro_cost.h"
#include "composite/store_composite.h"
#include "hook/hook_api.h"
#include "resources/resource.h"
#include "ui/decay_curve.h"
#include "ui/fit_text.h"
#include "ui/folder_dialog.h"
#include "ui/key_table.h"
#include "ui/language.h"

namespace {

const int kTextSize = 1024;
// One 640 x 480 sample: 3 bytes a pixel as the dialog opens, 4 once an edit changes.
const double kSampleBytesOpening = 921600.0;
const double kSampleBytesEdited = 1228800.0;
const long long kBytesPerMB = 1048576;
// Posted to the dialog when a language is chosen in its box.
const UINT kRebuildMessage = WM_APP + 1;

struct TextBuffer {
    char text[kTextSize] = "";
};

TextBuffer itemText(HWND dialog, int id) {
    TextBuffer buffer;
    GetDlgItemTextA(dialog, id, buffer.text, kTextSize);
    return buffer;
}

void setItemNumber(HWND dialog, int id, const char* format, double value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    SetDlgItemTextA(dialog, id, text);
}

void setItemInt(HWND dialog, int id, const char* format, int value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    SetDlgItemTextA(dialog, id, text);
}

bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
int checkState(HWND dialog, int id) { return isChecked(dialog, id) ? 1 : 0; }
void check(HWND dialog, int id) { SendDlgItemMessageW(dialog, id, BM_SETCHECK, BST_CHECKED, 0); }
void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

void setMemoryLabel(HWND dialog, int megabytes) {
    char text[64];
    snprintf(text, sizeof text, uiText(Text::MemoryAboutFormat), megabytes);
    SetWindowTextW(GetDlgItem(dialog, IDC_MEMORY_LABEL), wideFromShiftJis(text).c_str());
}

// The key boxes, in the order of KEY_CODE, KEY_CODE2, KEY_CODE3, KEY_CODE4 and KEY_CODE5.
// Only the region key may be left unset: its box offers no key first, then Pause.
struct KeyBox {
    int id;
    bool noKeyOffered;
    int suggested;
};
const KeyBox kKeyBoxes[5] = {{IDC_SHOT_KEY, false, 0},
                             {IDC_START_KEY, false, 0},
                             {IDC_STOP_KEY, false, 0},
                             {IDC_RETRO_KEY, false, 0},
                             {IDC_REGION_KEY, true, VK_PAUSE}};
KeyChoices choicesOf(const KeyBox& box) { return keyChoices(box.noKeyOffered, box.suggested); }
// Greyed while the ring's check box is off.
const int kRetroControls[5] = {IDC_RETRO_TIME, IDC_RETRO_FPS, IDC_RETRO_KEY, IDC_RETRO_COST, IDC_RETRO_CAP};
// The composite modes' buttons, in the order of COMPOSITE_MODE's values.
const int kModeButtons[4] = {IDC_MODE_MEAN, IDC_MODE_LIGHTEN, IDC_MODE_DARKEN, IDC_MODE_MEDIAN};

// Each box shows the key its setting holds (nothing for a key it does not offer) and is
// made wide enough for its longest name.
void fillKeyBoxes(HWND dialog) {
    const int codes[5] = {settings.KEY_CODE, settings.KEY_CODE2, settings.KEY_CODE3, settings.KEY_CODE4,
                          settings.KEY_CODE5};
    for (int i = 0; i < 5; ++i) {
        HWND box = GetDlgItem(dialog, kKeyBoxes[i].id);
        const KeyChoices choices = choicesOf(kKeyBoxes[i]);
        for (int row = 0; row < choices.count; ++row) {
            const std::wstring name = wideFromShiftJis(keyName(choices.codes[row]));
            SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
        const int row = keyRowOfCode(choices, codes[i]);
        if (row >= 0) SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
        widenComboToItems(box);
    }
}

// The stored region overrides the window and client choices while it is checked.
void enableCaptureChoices(HWND dialog) {
    const bool region = isChecked(dialog, IDC_CAPTURE_REGION);
    enable(dialog, IDC_CAPTURE_ACTIVE, !region);
    enable(dialog, IDC_CAPTURE_CLIENT, !region && isChecked(dialog, IDC_CAPTURE_ACTIVE));
}

void enableRetroControls(HWND dialog, bool on) {
    for (int id : kRetroControls) enable(dialog, id, on);
}

void setItemTextShiftJis(HWND dialog, int id, const char* text) {
    SetWindowTextW(GetDlgItem(dialog, id), wideFromShiftJis(text).c_str());
}

// What the ring would take on this desktop with the seconds and rate as typed, counted
// as Apply would store them, within the INI file's cap.
void showRetroCost(HWND dialog) {
    const RECT screen = currentVirtualScreen();
    const long long capBytes = settings.RETRO_MB * kBytesPerMB;
    const RetroCost cost = retroCost(screen.right - screen.left, screen.bottom - screen.top,
                                     countFromText(itemText(dialog, IDC_RETRO_FPS).text, kMaxRetroFps),
                                     countFromText(itemText(dialog, IDC_RETRO_TIME).text, kMaxRetroSeconds), capBytes);
    char text[128];
    // The most rounded up, since no more is ever taken; a still screen's is only about.
    snprintf(text, sizeof text, uiText(Text::RetroCostFormat), static_cast<int>((cost.mostBytes + kBytesPerMB - 1) / kBytesPerMB),
             static_cast<int>((cost.stillBytes + kBytesPerMB / 2) / kBytesPerMB));
    setItemTextShiftJis(dialog, IDC_RETRO_COST, text);
    text[0] = '\0';
    if (cost.shortened && cost.seconds > 0.0) {
        // Tenths cut, not rounded: the exposure is at most this long.
        snprintf(text, sizeof text, uiText(Text::RetroCappedFormat), settings.RETRO_MB, std::floor(cost.seconds * 10.0 + 1e-9) / 10.0);
    } else if (cost.shortened) {
        snprintf(text, sizeof text, uiText(Text::RetroNoRoomFormat), settings.RETRO_MB);
    }
    setItemTextShiftJis(dialog, IDC_RETRO_CAP, text);
}

// LANGUAGE's three values, in their order.
void fillLanguageBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_LANGUAGE);
    for (Text name : {Text::LanguageOfWindows, Text::LanguageJapanese, Text::LanguageEnglish}) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFromShiftJis(uiText(name)).c_str()));
    }
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(settings.LANGUAGE), 0);
    widenComboToItems(box);
}

// GIF_MAX_MB's choices: no limit, then sizes chat services take; a size the INI holds
// beside them is offered too, so that opening the dialog does not change it.
const int kGifLimits[] = {0, 8, 10, 25, 50};

void fillGifLimitBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_GIF_MAX_MB);
    int chosen = -1, row = 0;
    for (int limit : kGifLimits) {
        wchar_t text[32];
        swprintf(text, 32, L"%d MB", limit);
        const std::wstring none = wideFromShiftJis(uiText(Text::GifNoLimit));
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(limit == 0 ? none.c_str() : text));
        SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(limit));
        if (limit == settings.GIF_MAX_MB) chosen = row;
        ++row;
    }
    if (chosen < 0) {
        wchar_t text[32];
        swprintf(text, 32, L"%d MB", settings.GIF_MAX_MB);
        chosen = static_cast<int>(SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
        SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(chosen), static_cast<LPARAM>(settings.GIF_MAX_MB));
    }
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

BOOL onInitDialog(HWND dialog) {
    fillKeyBoxes(dialog);
    fillLanguageBox(dialog);
    fillGifLimitBox(dialog);

    if (settings.REDUCE_PER < 0.01f) settings.REDUCE_PER = 0.01f;
    if (settings.REDUCE_PER > 5.0f) settings.REDUCE_PER = 5.0f;
    HWND trackbar = GetDlgItem(dialog, IDC_DECAY_TRACKBAR);
    SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELONG(1, 500));
    SendMessageW(trackbar, TBM_SETPOS, TRUE, static_cast<LPARAM>(settings.REDUCE_PER * 100));
    // Raises the change handler, which moves the trackbar to the rounded text.
    setItemNumber(dialog, IDC_DECAY_TEXT, "%1.2f", settings.REDUCE_PER);
    SendMessageW(trackbar, TBM_SETLINESIZE, 0, 1);
    SendMessageW(trackbar, TBM_SETPAGESIZE, 0, 10);

    setItemNumber(dialog, IDC_SHUTTER_TIME, "%1.2f", settings.S_TIME);
    setItemInt(dialog, IDC_SAMPLE_RATE, "%d", settings.S_FPS);
    setMemoryLabel(dialog, memoryEstimateMB(settings.S_FPS, settings.S_TIME, kSampleBytesOpening));

    if (settings.COLOR_DOUBLE) check(dialog, IDC_COLOR_DOUBLE);
    if (settings.SS_CLIENT) check(dialog, IDC_CAPTURE_CLIENT);
    if (settings.SS_ACTIVE) check(dialog, IDC_CAPTURE_ACTIVE);
    if (settings.SS_REGION) check(dialog, IDC_CAPTURE_REGION);
    enableCaptureChoices(dialog);
    if (settings.AVI_OUT) check(dialog, IDC_AVI_OUT);
    if (settings.GIF_OUT) check(dialog, IDC_GIF_OUT);
    if (settings.AUTO_SAVE) {
        check(dialog, IDC_AUTO_SAVE);
    } else {
        enable(dialog, IDC_AVI_OUT, false);
        enable(dialog, IDC_GIF_OUT, false);
    }
    if (settings.CALLBACK_OP) check(dialog, IDC_SWALLOW_KEYS);
    check(dialog, settings.SAVE_TYPE == 1 ? IDC_SAVE_PNG : IDC_SAVE_BMP);
    if (settings.AUTO_COPY) check(dialog, IDC_AUTO_COPY);
    if (settings.CURSOR_CAPTURE) check(dialog, IDC_CURSOR_CAPTURE);
    if (settings.CLICK_MARKS) check(dialog, IDC_CLICK_MARKS);
    if (settings.POINTER_PATH) check(dialog, IDC_POINTER_PATH);
    check(dialog, kModeButtons[static_cast<int>(compositeModeOf(settings.COMPOSITE_MODE))]);

    HWND spin = GetDlgItem(dialog, IDC_EMPHASIS_SPIN);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_EMPHASIS_LEVEL)), 0);
    SendMessageW(spin, UDM_SETRANGE32, 0, kMaxEmphasisLevel);
    SendMessageW(spin, UDM_SETPOS, 0, MAKELONG(settings.EMPHASIS_LEVEL & 0xFFFF, 0));
    setItemInt(dialog, IDC_EMPHASIS_LEVEL, "%d", settings.EMPHASIS_LEVEL);

    if (settings.EMPHASIS_ON) {
        check(dialog, IDC_EMPHASIS_ON);
    } else {
        enable(dialog, IDC_EMPHASIS_LEVEL, false);
        enable(dialog, IDC_EMPHASIS_SPIN, false);
    }
    if (settings.REDUCE_FIXED) check(dialog, IDC_NO_DECAY);

    setItemInt(dialog, IDC_AVI_FPS, "%01d", settings.AVI_FPS);
    setItemInt(dialog, IDC_AVI_TIME, "%01d", settings.AVI_TIME);
    check(dialog, settings.REC_GIF ? IDC_REC_GIF : IDC_REC_AVI);

    if (settings.RETRO) check(dialog, IDC_RETRO);
    setItemInt(dialog, IDC_RETRO_TIME, "%d", settings.RETRO_TIME);
    setItemInt(dialog, IDC_RETRO_FPS, "%d", settings.RETRO_FPS);
    showRetroCost(dialog);
    enableRetroControls(dialog, settings.RETRO != 0);

    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    keepDecayCurveOnRepaint(dialog);
    fitTextsToControls(dialog);
    return TRUE;
}

void onDecayTextChanged(HWND dialog) {
    const int hundredths = decayHundredths(itemText(dialog, IDC_DECAY_TEXT).text);
    SendDlgItemMessageW(dialog, IDC_DECAY_TRACKBAR, TBM_SETPOS, TRUE, hundredths);
    drawDecayCurve(dialog);
}

void onShutterChanged(HWND dialog) {
    setMemoryLabel(dialog, editedMemoryEstimateMB(itemText(dialog, IDC_SHUTTER_TIME).text,
                                                  itemText(dialog, IDC_SAMPLE_RATE).text));
}

void onEmphasisChanged(HWND dialog) {
    // Keeps the up-down's own position in step with a valid text.
    SendDlgItemMessageW(dialog, IDC_EMPHASIS_SPIN, UDM_GETPOS, 0, 0);
    drawDecayCurve(dialog);
    // Decided here rather than from the up-down's answer: controls differ on what
    // they accept (an empty text reads as 0 on some), and an empty box is no level.
    if (!emphasisTextInRange(itemText(dialog, IDC_EMPHASIS_LEVEL).text)) {
        SetDlgItemTextA(dialog, IDC_EMPHASIS_LEVEL, "200");
    }
}

void onChange(HWND dialog, HWND sender) {
    if (sender == GetDlgItem(dialog, IDC_DECAY_TEXT)) {
        onDecayTextChanged(dialog);
    } else if (sender == GetDlgItem(dialog, IDC_SHUTTER_TIME) || sender == GetDlgItem(dialog, IDC_SAMPLE_RATE)) {
        onShutterChanged(dialog);
    } else if (sender == GetDlgItem(dialog, IDC_EMPHASIS_LEVEL)) {
        onEmphasisChanged(dialog);
    } else if (sender == GetDlgItem(dialog, IDC_RETRO_TIME) || sender == GetDlgItem(dialog, IDC_RETRO_FPS)) {
        showRetroCost(dialog);
    }
}

void onTrackbar(HWND dialog) {
    const LRESULT position = SendDlgItemMessageW(dialog, IDC_DECAY_TRACKBAR, TBM_GETPOS, 0, 0);
    setItemNumber(dialog, IDC_DECAY_TEXT, "%1.2f", static_cast<double>(position) * 0.01);
}

void closeOptions(HWND dialog) {
    DestroyWindow(dialog);
    optionsDialog = nullptr;
    app.optionsOpen = 0;
}

bool anyCodeRepeats(const int* codes, int count) {
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (codes[i] == codes[j]) return true;
        }
    }
    return false;
}

// Every setting the dialog edits but the keys, as its controls hold them now.
void readControls(HWND dialog, Settings& s) {
    s.REDUCE_PER = static_cast<float>(decayHundredths(itemText(dialog, IDC_DECAY_TEXT).text) * 0.01);
    s.COLOR_DOUBLE = checkState(dialog, IDC_COLOR_DOUBLE);
    s.S_TIME = shutterTimeFromText(itemText(dialog, IDC_SHUTTER_TIME).text);
    s.S_FPS = countFromText(itemText(dialog, IDC_SAMPLE_RATE).text, kMaxSampleRate);
    // A disabled check box still gives its state.
    s.SS_CLIENT = checkState(dialog, IDC_CAPTURE_CLIENT);
    s.SS_ACTIVE = checkState(dialog, IDC_CAPTURE_ACTIVE);
    s.SS_REGION = checkState(dialog, IDC_CAPTURE_REGION);
    s.AVI_OUT = checkState(dialog, IDC_AVI_OUT);
    s.GIF_OUT = checkState(dialog, IDC_GIF_OUT);
    s.AUTO_SAVE = checkState(dialog, IDC_AUTO_SAVE);
    s.CALLBACK_OP = checkState(dialog, IDC_SWALLOW_KEYS);
    s.SAVE_TYPE = checkState(dialog, IDC_SAVE_PNG);
    s.REC_GIF = checkState(dialog, IDC_REC_GIF);
    s.AUTO_COPY = checkState(dialog, IDC_AUTO_COPY);
    s.CURSOR_CAPTURE = checkState(dialog, IDC_CURSOR_CAPTURE);
    s.CLICK_MARKS = checkState(dialog, IDC_CLICK_MARKS);
    s.POINTER_PATH = checkState(dialog, IDC_POINTER_PATH);
    for (int mode = 0; mode < 4; ++mode) {
        if (isChecked(dialog, kModeButtons[mode])) s.COMPOSITE_MODE = mode;
    }
    s.EMPHASIS_LEVEL = emphasisLevelFromText(itemText(dialog, IDC_EMPHASIS_LEVEL).text);
    s.EMPHASIS_ON = checkState(dialog, IDC_EMPHASIS_ON);
    s.REDUCE_FIXED = checkState(dialog, IDC_NO_DECAY);
    s.AVI_FPS = countFromText(itemText(dialog, IDC_AVI_FPS).text, kMaxSampleRate);
    s.AVI_TIME = countFromText(itemText(dialog, IDC_AVI_TIME).text, kMaxAviSeconds);
    s.RETRO = checkState(dialog, IDC_RETRO);
    s.RETRO_TIME = countFromText(itemText(dialog, IDC_RETRO_TIME).text, kMaxRetroSeconds);
    s.RETRO_FPS = countFromText(itemText(dialog, IDC_RETRO_FPS).text, kMaxRetroFps);
    const LRESULT language = SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_GETCURSEL, 0, 0);
    if (language >= 0 && language <= 2) s.LANGUAGE = static_cast<int>(language);
    const LRESULT limit = SendDlgItemMessageW(dialog, IDC_GIF_MAX_MB, CB_GETCURSEL, 0, 0);
    if (limit >= 0) s.GIF_MAX_MB = static_cast<int>(SendDlgItemMessageW(dialog, IDC_GIF_MAX_MB, CB_GETITEMDATA, limit, 0));
}

// The keys the boxes hold, in the order of KEY_CODE ... KEY_CODE5; a box with no row
// chosen keeps its setting's key.
void readKeyCodes(HWND dialog, int codes[5]) {
    const int keptCodes[5] = {settings.KEY_CODE, settings.KEY_CODE2, settings.KEY_CODE3, settings.KEY_CODE4,
                              settings.KEY_CODE5};
    for (int i = 0; i < 5; ++i) {
        const LRESULT row = SendDlgItemMessageW(dialog, kKeyBoxes[i].id, CB_GETCURSEL, 0, 0);
        codes[i] = keyCodeOfRow(choicesOf(kKeyBoxes[i]), static_cast<int>(row), keptCodes[i]);
    }
}

void storeKeyCodes(Settings& s, const int codes[5]) {
    s.KEY_CODE = codes[0];
    s.KEY_CODE2 = codes[1];
    s.KEY_CODE3 = codes[2];
    s.KEY_CODE4 = codes[3];
    s.KEY_CODE5 = codes[4];
}

void onApply(HWND dialog) {
    int codes[5];
    readKeyCodes(dialog, codes);
    // The ring's key is armed only while the ring is on, the region key once one is set:
    // only then may they clash.
    const bool retro = isChecked(dialog, IDC_RETRO);
    int armed[5] = {codes[0], codes[1], codes[2]};
    int armedCount = 3;
    if (retro) armed[armedCount++] = codes[3];
    if (codes[4]) armed[armedCount++] = codes[4];
    if (anyCodeRepeats(armed, armedCount)) {
        showMessage(dialog, uiText(retro ? Text::DuplicateRetroKeyMessage : Text::DuplicateKeyMessage),
                    uiText(Text::SettingErrorTitle), MB_OK);
        return;
    }
    storeKeyCodes(settings, codes);
    readControls(dialog, settings);
    saveSettings();

    armHotKeys();  // presses made while the dialog was open start nothing
    closeOptions(dialog);
}

// A language chosen in the box is spoken at once: the menu and the caption change, and
// the dialog is made again from the new language's template in the same place, every
// control holding what it held. Apply keeps the choice, Cancel returns to the old one.
void onLanguageChosen(HWND dialog) {
    Settings edited = settings;
    int codes[5];
    readKeyCodes(dialog, codes);
    storeKeyCodes(edited, codes);
    readControls(dialog, edited);
    if (languageOfSetting(edited.LANGUAGE, GetUserDefaultUILanguage()) == app.language) return;

    // The new dialog starts from what was edited, as the old one did from the settings.
    const Settings kept = settings;
    settings = edited;
    applyLanguage(languageOfSettings());
    RECT place;
    GetWindowRect(dialog, &place);
    HWND rebuilt = createDialogInLanguage(IDD_OPTIONS, GetWindow(dialog, GW_OWNER), optionsDialogProc, 0);
    settings = kept;
    if (!rebuilt) return;  // the old dialog stays, in the new language's menu's company
    SetWindowPos(rebuilt, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    optionsDialog = rebuilt;
    DestroyWindow(dialog);
    ShowWindow(rebuilt, SW_SHOWNORMAL);
    drawDecayCurve(rebuilt);
    SetFocus(GetDlgItem(rebuilt, IDC_LANGUAGE));
}

void onCancel(HWND dialog) {
    loadSettings(false);
    if (languageOfSettings() != app.language) applyLanguage(languageOfSettings());
    DestroyWindow(dialog);
    // Only the screenshot latch: a recording key pressed under the dialog still counts once it closes.
    hookSetShotPressed(0);
    optionsDialog = nullptr;
    app.optionsOpen = 0;
}

void onCommand(HWND dialog, int id, int notification, HWND sender) {
    if (notification == EN_CHANGE) {
        onChange(dialog, sender);
        return;
    }
    if (id == IDC_LANGUAGE) {
        // Made again once the box has finished with its own message, never under it.
        if (notification == CBN_SELCHANGE) PostMessageW(dialog, kRebuildMessage, 0, 0);
        return;
    }
    switch (id) {
    case IDC_AUTO_SAVE:
        enable(dialog, IDC_AVI_OUT, isChecked(dialog, IDC_AUTO_SAVE));
        enable(dialog, IDC_GIF_OUT, isChecked(dialog, IDC_AUTO_SAVE));
        break;
    case IDC_CAPTURE_ACTIVE:
    case IDC_CAPTURE_REGION:
        enableCaptureChoices(dialog);
        break;
    case IDC_RETRO:
        enableRetroControls(dialog, isChecked(dialog, IDC_RETRO));
        break;
    case IDC_EMPHASIS_ON: {
        const bool on = isChecked(dialog, IDC_EMPHASIS_ON);
        enable(dialog, IDC_EMPHASIS_LEVEL, on);
        enable(dialog, IDC_EMPHASIS_SPIN, on);
        drawDecayCurve(dialog);
        break;
    }
    case IDC_NO_DECAY:
    case IDC_MODE_MEAN:
    case IDC_MODE_LIGHTEN:
    case IDC_MODE_DARKEN:
    case IDC_MODE_MEDIAN:
        drawDecayCurve(dialog);
        break;
    case IDC_FOLDER_SETTINGS:
        dialogBoxInLanguage(IDD_FOLDERS, dialog, folderDialogProc, 0);
        break;
    case IDC_APPLY:
        onApply(dialog);
        break;
    case IDC_CANCEL_OPTIONS:
        onCancel(dialog);
        break;
    default:
        break;
    }
}

}  // namespace

int decayHundredths(const char* text) {
    const double scaled = std::trunc(atof(text) * 100.0 + 0.5);
    // Compared before the conversion, so that no text can overflow the int.
    if (!(scaled >= 1.0)) return 1;
    if (scaled > 500.0) return 500;
    return static_cast<int>(scaled);
}

int memoryEstimateMB(double fps, double seconds, double bytesPerSample) {
    const double megabytes = std::trunc(fps * bytesPerSample * seconds / 1048576.0);
    if (std::isnan(megabytes)) return 0;
    if (megabytes >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (megabytes <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(megabytes);
}

int editedMemoryEstimateMB(const char* secondsText, const char* fpsText) {
    double seconds = atof(secondsText);
    if (!(seconds > 0.1)) seconds = 0.1;
    int fps = atoi(fpsText);
    if (fps < 1) fps = 1;
    return memoryEstimateMB(fps, seconds, kSampleBytesEdited);
}

bool emphasisTextInRange(const char* text) {
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (*digits == '\0') return false;
    long value = 0;
    for (const char* c = digits; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + (*c - '0');
        if (value > kMaxEmphasisLevel) return false;
    }
    if (*text == '-') value = -value;
    return value >= 0 && value <= kMaxEmphasisLevel;
}

float shutterTimeFromText(const char* text) {
    const double seconds = atof(text);
    // No number (or none a float can hold) counts as 0.
    const float stored = static_cast<float>(seconds);
    if (!(seconds >= 0.1) || !std::isfinite(stored)) return 0.1f;
    return stored > kMaxShutterSeconds ? kMaxShutterSeconds : stored;
}

int countFromText(const char* text, int maximum) {
    const int value = atoi(text);
    return value < 1 ? 1 : value > maximum ? maximum : value;
}

int emphasisLevelFromText(const char* text) {
    const int value = atoi(text);
    if (value < 0) return 0;
    if (value > kMaxEmphasisLevel) return kMaxEmphasisLevel;
    return value;
}

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_HSCROLL:
        onTrackbar(dialog);
        return TRUE;
    case kRebuildMessage:
        onLanguageChosen(dialog);
        return TRUE;
    case WM_CLOSE:
        onCancel(dialog);
        return TRUE;
    case WM_PAINT:
        Sleep(0);
        return FALSE;
    default:
        return FALSE;
    }
}

bool openOptionsDialog(HWND owner) {
    // The dialog holds a trackbar and an up-down: make sure both classes exist.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    app.optionsOpen = 1;
    optionsDialog = createDialogInLanguage(IDD_OPTIONS, owner, optionsDialogProc, 0);
    if (!optionsDialog) {
        app.optionsOpen = 0;
        return false;
    }
    ShowWindow(optionsDialog, SW_SHOWNORMAL);
    UpdateWindow(mainWindow);
    drawDecayCurve(optionsDialog);
    return true;
}
