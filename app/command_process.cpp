#include "app/command_process.h"

#include "app/command_console.h"
#include "app/command_handoff.h"
#include "app/command_run.h"
#include "app/main_loop.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"

namespace {

int endedWith = kCommandFailed;

void quitWith(int code) {
    endedWith = code;
    PostQuitMessage(code);
}

}  // namespace

int runCommandLine(HINSTANCE instance, const Command& command) {
    const CommandReply reply = ownConsole();
    // The texts speak the language the program would show.
    computeExeDirectory();
    loadSettings(false);
    app.language = languageOfSetting(settings.LANGUAGE, GetUserDefaultUILanguage());
    if (command.verb == Verb::Help || command.error != Text::Count) {
        if (command.error != Text::Count) sayLineWith(reply, uiText(command.error), command.errorArgument);
        sayLine(reply, uiText(Text::CommandUsage));
        return command.error != Text::Count ? kCommandBadArguments : kCommandWritten;
    }
    if (HWND running = runningKestrin()) return handOver(running, command, reply);
    if (command.verb == Verb::RecordStop) {
        sayLine(reply, uiText(Text::CommandNoRecording));
        return kCommandBusy;
    }
    if (command.verb == Verb::Last) {
        sayLine(reply, uiText(Text::CommandNoRing));
        return kCommandBusy;
    }
    // Nothing is shown from here on: whatever start-up would say goes to the console.
    Command full = command;
    full.output = commandFullPath(command.output);
    full.gif = commandFullPath(command.gif);
    full.avi = commandFullPath(command.avi);
    messageRedirect = [](const char* text, const char*, UINT) {
        sayLine(ownConsole(), text);
        return IDOK;
    };
    // --window and --client mean the window the user works in, never this hidden one, which
    // placing it at its stored rectangle may have made the foreground window.
    HWND foreground = GetForegroundWindow();
    if (!startUp(instance, false)) return kCommandFailed;
    if (foreground && GetForegroundWindow() != foreground) SetForegroundWindow(foreground);
    const int early = beginCommand(full, reply);
    if (early >= 0) {
        app.appRunning = 0;
        shutDown(false);
        return early;
    }
    commandEnded = quitWith;
    runMainLoop();
    shutDown(false);
    return endedWith;
}
