#include "app/command_handoff.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/command_console.h"
#include "app/command_run.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"

namespace {

// Tags the WM_COPYDATA that carries a command ("KCMD").
const ULONG_PTR kCommandTag = 0x444D434B;
const int kWirePath = 1024;

// A command as it travels: the numbers first, so both builds lay it out alike.
struct CommandWire {
    double seconds;
    double delay;
    RECT region;
    DWORD waiterProcess;
    int verb;
    int outputKind;
    int area;
    int fps;
    int mode;
    int decayPercent;
    int pointer;
    wchar_t output[kWirePath];
    wchar_t gif[kWirePath];
    wchar_t avi[kWirePath];
};

void copyPath(wchar_t* to, const std::wstring& from) {
    const size_t length = from.size() < kWirePath - 1 ? from.size() : kWirePath - 1;
    wmemcpy(to, from.c_str(), length);
    to[length] = L'\0';
}

std::wstring pipeName(DWORD process) {
    wchar_t name[64];
    swprintf(name, 64, L"\\\\.\\pipe\\kestrin-reply-%lu", static_cast<unsigned long>(process));
    return name;
}

}  // namespace

std::wstring commandFullPath(const std::wstring& path) {
    if (path.empty() || path == L"-") return path;
    wchar_t full[kWirePath];
    const DWORD length = GetFullPathNameW(path.c_str(), kWirePath, full, nullptr);
    return length > 0 && length < kWirePath ? std::wstring(full) : path;
}

namespace {

struct Search {
    DWORD self;
    HWND found;
};

BOOL CALLBACK findKestrin(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    wchar_t name[64] = L"";
    wchar_t caption[16] = L"";
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->self || !GetClassNameW(window, name, 64) || wcscmp(name, kMainWindowClass) != 0) return TRUE;
    GetWindowTextW(window, caption, 16);
    if (wcsncmp(caption, L"Kestrin Ver", 11) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND runningKestrin() {
    Search search = {GetCurrentProcessId(), nullptr};
    EnumWindows(findKestrin, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int handOver(HWND target, const Command& command, const CommandReply& reply) {
    CommandWire* wire = new CommandWire();
    wire->seconds = command.seconds;
    wire->delay = command.delay;
    wire->region = command.region;
    wire->waiterProcess = GetCurrentProcessId();
    wire->verb = static_cast<int>(command.verb);
    wire->outputKind = static_cast<int>(command.outputKind);
    wire->area = static_cast<int>(command.area);
    wire->fps = command.fps;
    wire->mode = command.mode;
    wire->decayPercent = command.decayPercent;
    wire->pointer = command.pointer;
    copyPath(wire->output, commandFullPath(command.output));
    copyPath(wire->gif, commandFullPath(command.gif));
    copyPath(wire->avi, commandFullPath(command.avi));
    HANDLE pipe = CreateNamedPipeW(pipeName(wire->waiterProcess).c_str(), PIPE_ACCESS_INBOUND,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 4096, 0, nullptr);
    COPYDATASTRUCT data = {kCommandTag, sizeof *wire, wire};
    DWORD_PTR accepted = 0;
    const bool sent = pipe != INVALID_HANDLE_VALUE &&
                      SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                                          15000, &accepted) &&
                      accepted;
    delete wire;
    if (!sent) {
        if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
        sayLine(reply, uiText(Text::CommandBusy));
        return kCommandBusy;
    }
    ConnectNamedPipe(pipe, nullptr);  // already connected: the running Kestrin opened it before answering
    int code = kCommandFailed;
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            if (exitCodeLine(line, &code)) continue;
            const int size = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
            if (size > 0) MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &wide[0], size);
            sayWide(reply, wide);
        }
    }
    CloseHandle(pipe);
    return code;
}

LRESULT acceptHandedCommand(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != kCommandTag || data->cbData != sizeof(CommandWire) || !data->lpData) return FALSE;
    CommandWire wire;
    memcpy(&wire, data->lpData, sizeof wire);
    // Another process wrote it: only the values a parsed command can hold are taken.
    const bool known = wire.verb >= static_cast<int>(Verb::Shot) && wire.verb <= static_cast<int>(Verb::Last) &&
                       wire.outputKind >= 0 && wire.outputKind <= static_cast<int>(OutputKind::Clipboard) &&
                       wire.area >= 0 && wire.area <= static_cast<int>(Area::LastRegion) && wire.mode <= 3;
    if (!known) return FALSE;
    wire.output[kWirePath - 1] = wire.gif[kWirePath - 1] = wire.avi[kWirePath - 1] = L'\0';
    CommandReply reply;
    reply.handle = CreateFileW(pipeName(wire.waiterProcess).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (reply.handle == INVALID_HANDLE_VALUE) return FALSE;
    reply.toWaiter = true;
    Command command;
    command.verb = static_cast<Verb>(wire.verb);
    command.outputKind = static_cast<OutputKind>(wire.outputKind);
    command.area = static_cast<Area>(wire.area);
    command.region = wire.region;
    command.seconds = wire.seconds;
    command.delay = wire.delay;
    command.fps = wire.fps;
    command.mode = wire.mode;
    command.decayPercent = wire.decayPercent;
    command.pointer = wire.pointer != 0;
    command.output = wire.output;
    command.gif = wire.gif;
    command.avi = wire.avi;
    const int code = beginCommand(command, reply);
    if (code >= 0) {
        sayExitCode(reply, code);
        CloseHandle(reply.handle);
    }
    return TRUE;
}
