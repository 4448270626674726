#include "app/command_run.h"

#include <cstdio>

#include "app/compositing_phase.h"
#include "app/interval_timer.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/retro_capture.h"
#include "capture/retro_ring.h"
#include "capture/sample_counts.h"
#include "hook/hook_api.h"
#include "output/bmp_export.h"
#include "output/clipboard_copy.h"
#include "ui/keep_dialog.h"

void (*commandEnded)(int code) = nullptr;

namespace {

enum class Phase { Idle, Waiting, Latched, Running };

struct Run {
    Phase phase = Phase::Idle;
    Command command;
    CommandReply reply;
    Settings saved;  // the settings as they were before the command's overrides
    char output[MAX_PATH] = "";
    char gif[MAX_PATH] = "";
    char avi[MAX_PATH] = "";
    ULONGLONG startAt = 0;  // GetTickCount64 at which the first sample is due
    int samplesSaid = 0;
    bool written = false;  // the command's own file (or the clipboard) holds the result
    bool failed = false;   // something went wrong that the user was told
};
Run run;

// A message box's text said on the command's console. What only informs (a recording in
// several files, a region moved onto the screen) is no failure.
int tellOnConsole(const char* text, const char* title, UINT type) {
    sayLine(run.reply, text);
    if (!(type & MB_ICONINFORMATION) && title != uiText(Text::RegionTitle)) run.failed = true;
    return IDOK;
}

// Samples a file could not take: said, and what fits is kept, as no one can be asked.
int keepOnConsole(const char* reasonFormat, int total, int kept, bool) {
    char text[512];
    snprintf(text, sizeof text, reasonFormat, total, kept);
    sayLine(run.reply, text);
    run.failed = true;
    return IDABORT;
}

// The folder part of a full path, without its backslash; empty when it has none.
std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool folderExists(const std::wstring& path) {
    std::wstring folder = folderOf(path);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // a drive's root
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileHoldsBytes(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return path[0] && GetFileAttributesExA(path, GetFileExInfoStandard, &data) &&
           (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);
}

// Checks what can be checked before the first sample and converts the paths. Returns -1
// when the command may go on, else its code (said).
int checkPaths() {
    const Command& c = run.command;
    const std::wstring* paths[] = {&c.output, &c.gif, &c.avi};
    char* ansi[] = {run.output, run.gif, run.avi};
    for (int i = 0; i < 3; ++i) {
        ansi[i][0] = '\0';
        if (paths[i]->empty() || (i == 0 && c.outputKind == OutputKind::Clipboard)) continue;
        if (!ansiPathFromWide(paths[i]->c_str(), ansi[i], MAX_PATH)) {
            sayLineWith(run.reply, uiText(Text::CommandUnusablePathFormat), *paths[i]);
            return kCommandBadArguments;
        }
        if (!folderExists(*paths[i])) {
            sayLineWith(run.reply, uiText(Text::CommandNoFolderFormat), *paths[i]);
            return kCommandFailed;
        }
    }
    return -1;
}

// The command's options over the settings, for it alone. Whatever it does not name stays
// as the INI file says; the hot key's own outputs (auto-save, copy, AVI and GIF beside)
// give way to the files it names.
void overrideSettings() {
    const Command& c = run.command;
    run.saved = settings;
    settings.AUTO_SAVE = 0;
    settings.AUTO_COPY = 0;
    settings.AVI_OUT = 0;
    settings.GIF_OUT = 0;
    if (c.verb == Verb::Shot) {
        if (c.seconds >= 0) settings.S_TIME = static_cast<float>(c.seconds);
        if (c.fps > 0) settings.S_FPS = c.fps;
    } else if (c.verb == Verb::Record) {
        if (c.seconds >= 0) settings.AVI_TIME = static_cast<int>(c.seconds);
        if (c.fps > 0) settings.AVI_FPS = c.fps;
        settings.REC_GIF = c.outputKind == OutputKind::Gif;
        // The recording's disk check and any further file of a long one look in its folder.
        snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", run.output);
        keepFolderPart(settings.AVISAVEPATH);
        const size_t length = strlen(settings.AVISAVEPATH);
        if (length > 3 && settings.AVISAVEPATH[length - 1] == '\\') settings.AVISAVEPATH[length - 1] = '\0';
    }
    if (c.mode >= 0) settings.COMPOSITE_MODE = c.mode;
    if (c.decayPercent > 0) settings.REDUCE_PER = c.decayPercent / 100.0f;
    if (c.pointer) settings.CURSOR_CAPTURE = 1;
    switch (c.area) {
    case Area::Settings:
        break;
    case Area::Desktop:
        settings.SS_REGION = 0, settings.SS_ACTIVE = 0;
        break;
    case Area::Window:
    case Area::Client:
        settings.SS_REGION = 0, settings.SS_ACTIVE = 1, settings.SS_CLIENT = c.area == Area::Client;
        break;
    case Area::Region:
        settings.REGION_LEFT = c.region.left;
        settings.REGION_TOP = c.region.top;
        settings.REGION_RIGHT = c.region.right;
        settings.REGION_BOTTOM = c.region.bottom;
        settings.SS_REGION = 1;
        break;
    case Area::LastRegion:
        settings.SS_REGION = 1;
        break;
    }
}

// The settings as they were; only the window's place, which the user may have changed
// meanwhile, is kept.
void restoreSettings() {
    const Settings now = settings;
    settings = run.saved;
    settings.left = now.left;
    settings.top = now.top;
    settings.right = now.right;
    settings.bottom = now.bottom;
}

void finish() {
    const Command& c = run.command;
    if (c.verb == Verb::Record) run.written = fileHoldsBytes(run.output);
    if (run.written && c.verb == Verb::Record) sayLineWith(run.reply, uiText(Text::CommandWrittenFormat), c.output);
    const char* beside[] = {run.gif, run.avi};
    const std::wstring* besideNames[] = {&c.gif, &c.avi};
    for (int i = 0; i < 2; ++i) {
        if (!beside[i][0]) continue;
        if (fileHoldsBytes(beside[i])) {
            sayLineWith(run.reply, uiText(Text::CommandWrittenFormat), *besideNames[i]);
        } else {
            run.failed = true;
        }
    }
    const int code = run.written && !run.failed ? kCommandWritten : kCommandFailed;
    if (code != kCommandWritten) sayLine(run.reply, uiText(Text::CommandNotWritten));
    restoreSettings();
    messageRedirect = nullptr;
    sayExitCode(run.reply, code);
    if (run.reply.toWaiter) CloseHandle(run.reply.handle);
    run.reply = CommandReply();
    run.phase = Phase::Idle;
    app.commandHeld = 0;
    if (commandEnded) commandEnded(code);
}

void sayProgress() {
    const int taken = app.sampleCounter - 1;
    if (taken <= run.samplesSaid) return;
    run.samplesSaid = taken;
    int total = app.aviOnlyMode ? aviSampleCount(settings.AVI_TIME, settings.AVI_FPS)
                                : screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    if (app.sampleLimit > 0 && app.sampleLimit < total) total = app.sampleLimit;
    char line[128];
    snprintf(line, sizeof line, uiText(Text::CommandSampleFormat), taken, total);
    sayLine(run.reply, line);
}

// The ring composited now, cut to the command's seconds first.
void compositeLast() {
    if (run.command.seconds > 0) {
        intervalTimer.now();
        ringDropBefore(intervalTimer.nowTicks - static_cast<long long>(run.command.seconds * 10000));
    }
    if (ringSampleCount() == 0) {
        sayLine(run.reply, uiText(Text::CommandNoRing));
        run.failed = true;
        return;
    }
    compositeRetro();
}

}  // namespace

bool commandRunning() { return run.phase != Phase::Idle; }

int beginCommand(const Command& command, const CommandReply& reply) {
    const bool busy = commandRunning() || !mayStart(Start::Capture);
    if (command.verb == Verb::RecordStop) {
        // A recording under way (the command's or the key's) ends at the next step.
        if (app.captureBusy && app.aviOnlyMode && app.sampleCounter != 0) {
            hookSetStopPressed(1);
            sayLine(reply, uiText(Text::CommandStopAsked));
            return kCommandWritten;
        }
        sayLine(reply, uiText(Text::CommandNoRecording));
        return kCommandBusy;
    }
    if (busy) {
        sayLine(reply, uiText(Text::CommandBusy));
        return kCommandBusy;
    }
    if (command.verb == Verb::Last) {
        if (!retroRunning() || ringSampleCount() == 0) {
            sayLine(reply, uiText(Text::CommandNoRing));
            return kCommandBusy;
        }
        if (command.seconds > settings.RETRO_TIME) {
            char line[256];
            snprintf(line, sizeof line, uiText(Text::CommandRingShortFormat), settings.RETRO_TIME,
                     static_cast<int>(command.seconds));
            sayLine(reply, line);
            return kCommandBadArguments;
        }
    }
    if (command.area == Area::Region && !MonitorFromRect(&command.region, MONITOR_DEFAULTTONULL)) {
        sayLine(reply, uiText(Text::CommandRegionOffScreen));
        return kCommandBadArguments;
    }
    run = Run();
    run.command = command;
    run.reply = reply;
    const int pathProblem = checkPaths();
    if (pathProblem >= 0) {
        run = Run();
        return pathProblem;
    }
    overrideSettings();
    messageRedirect = tellOnConsole;
    run.startAt = GetTickCount64() + static_cast<ULONGLONG>(command.delay * 1000);
    run.phase = Phase::Waiting;
    // From now on no dialog, save, region or ring sample comes between.
    app.commandHeld = 1;
    return -1;
}

void followCommand() {
    switch (run.phase) {
    case Phase::Idle:
        return;
    case Phase::Waiting:
        if (GetTickCount64() < run.startAt) return;
        if (run.command.verb == Verb::Last) {
            compositeLast();
            finish();
            return;
        }
        if (run.command.verb == Verb::Shot) {
            hookSetShotPressed(1);
        } else {
            hookSetStartPressed(1);
        }
        run.phase = Phase::Latched;
        return;
    case Phase::Latched:
        if (app.sampleCounter == 0) {
            // Not taken up yet; or the capture could not start (the console was told why).
            if (hookShotPressed() || hookStartPressed()) return;
            finish();
            return;
        }
        run.phase = Phase::Running;
        sayProgress();
        return;
    case Phase::Running:
        sayProgress();
        if (app.sampleCounter == 0 && !app.captureBusy) finish();
        return;
    }
}

void deliverResult() {
    if (!commandRunning()) {
        if (settings.AUTO_SAVE) autoSaveResult();
        if (settings.AUTO_COPY) autoCopyResult();
        return;
    }
    if (run.command.outputKind == OutputKind::Clipboard) {
        const CopyOutcome copied = copyResultToClipboard(5000);
        run.written = copied == CopyOutcome::Copied;
        sayLine(run.reply, run.written ? uiText(Text::CommandCopied)
                                       : uiText(copied == CopyOutcome::ClipboardBusy ? Text::ClipboardBusyMessage
                                                                                      : Text::NoMemoryMessage));
        return;
    }
    app.saveInProgress = 1;
    const ImageType type = run.command.outputKind == OutputKind::Png ? ImageType::Png : ImageType::Bmp;
    run.written = writeResultImage(run.output, type) == SaveOutcome::Written;
    app.saveInProgress = 0;
    if (run.written) sayLineWith(run.reply, uiText(Text::CommandWrittenFormat), run.command.output);
}

const char* resultImagePath() {
    if (!commandRunning()) return settings.AUTO_SAVE ? settings.AUTOSAVEPATH : nullptr;
    return run.command.outputKind == OutputKind::Png || run.command.outputKind == OutputKind::Bmp ? run.output : nullptr;
}

const char* commandAviPath() {
    if (!commandRunning()) return nullptr;
    if (run.command.verb == Verb::Record) return run.command.outputKind == OutputKind::Avi ? run.output : nullptr;
    return run.avi[0] ? run.avi : nullptr;
}

const char* commandGifPath() {
    if (!commandRunning()) return nullptr;
    if (run.command.verb == Verb::Record) return run.command.outputKind == OutputKind::Gif ? run.output : nullptr;
    return run.gif[0] ? run.gif : nullptr;
}

KeepAsker keepAsker() { return commandRunning() ? keepOnConsole : askKeepSamples; }
