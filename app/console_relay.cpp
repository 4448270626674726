// Kestrin.com: the console program of the same name beside Kestrin.exe, which a shell finds
// first. It starts Kestrin.exe with the same arguments, relays what it says (UTF-8 through
// a pipe) to this console, and exits with its code, so that a command typed in cmd or
// PowerShell waits for its result as a console program does. No program code of its own.
#include <windows.h>

#include <string>

namespace {

// The command line after the program's own name, as it was typed.
const wchar_t* argumentsOf(const wchar_t* line) {
    bool quoted = false;
    for (; *line; ++line) {
        if (*line == L'"') quoted = !quoted;
        if (!quoted && (*line == L' ' || *line == L'\t')) break;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

void relay(HANDLE out, bool console, std::string& pending, bool flush) {
    size_t end = pending.rfind('\n');
    if (flush) end = pending.empty() ? std::string::npos : pending.size() - 1;
    if (end == std::string::npos) return;
    const std::string whole = pending.substr(0, end + 1);
    pending.erase(0, end + 1);
    DWORD written = 0;
    if (!console) {
        WriteFile(out, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
        return;
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, whole.data(), static_cast<int>(whole.size()), nullptr, 0);
    if (size <= 0) return;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, whole.data(), static_cast<int>(whole.size()), &wide[0], size);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

int main() {
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length < 4 || length >= MAX_PATH) return 1;
    lstrcpyW(program + length - 4, L".exe");
    std::wstring line = L"\"";
    line += program;
    line += L"\" ";
    line += argumentsOf(GetCommandLineW());

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return 1;
    }
    CloseHandle(writeEnd);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(out, &mode) != 0;
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        relay(out, console, pending, false);
    }
    relay(out, console, pending, true);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}
