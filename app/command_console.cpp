#include "app/command_console.h"

#include <cstdio>

#include "core/text.h"

namespace {

// Begins the line that carries the exit code: no text of the program starts with it.
const char kExitMark[] = "\x1bkestrin-exit ";

std::string utf8Of(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

void writeBytes(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool usableHandle(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN; }

}  // namespace

CommandReply ownConsole() {
    CommandReply reply;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!usableHandle(out) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (!usableHandle(out)) return reply;
    DWORD mode = 0;
    reply.handle = out;
    reply.console = GetConsoleMode(out, &mode) != 0;
    return reply;
}

void sayWide(const CommandReply& reply, const std::wstring& text) {
    if (!reply.handle) return;
    if (reply.console) {
        DWORD written = 0;
        WriteConsoleW(reply.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        writeBytes(reply.handle, utf8Of(text));
    }
}

void sayLine(const CommandReply& reply, const char* text) { sayWide(reply, wideFromShiftJis(text) + L"\n"); }

void sayLineWith(const CommandReply& reply, const char* format, const std::wstring& argument) {
    // The argument goes in after the format is widened, so any character of it survives.
    std::wstring wide = wideFromShiftJis(format);
    const size_t at = wide.find(L"%s");
    if (at != std::wstring::npos) wide.replace(at, 2, argument);
    sayWide(reply, wide + L"\n");
}

void sayExitCode(const CommandReply& reply, int code) {
    if (!reply.toWaiter || !reply.handle) return;
    char line[40];
    snprintf(line, sizeof line, "%s%d\n", kExitMark, code);
    writeBytes(reply.handle, line);
}

bool exitCodeLine(const std::string& line, int* code) {
    if (line.compare(0, sizeof kExitMark - 1, kExitMark) != 0) return false;
    *code = atoi(line.c_str() + sizeof kExitMark - 1);
    return true;
}
