// Reads and moves what the reliability tests need from outside the program.
//   procprobe.exe windows                 one line per top-level window: "EXE<TAB>CLASS<TAB>TITLE" (UTF-8)
//   procprobe.exe usage PATH-PART         "gdi=N user=N handles=N private=N" of the first process whose
//                                         image path contains PATH-PART (case-insensitive)
//   procprobe.exe place CLASS X Y W H [TITLE]  moves and sizes the first window of that class
//                                         (and title)
//   procprobe.exe show CLASS minimize|restore
//   procprobe.exe check TITLE ID 0|1      sets the check state of a dialog's check box
//   procprobe.exe answer TITLE...         presses the default button of every visible dialog box
//                                         with one of these titles, wherever it lies and whatever
//                                         covers it (or, with PROCPROBE_BUTTON=ID, that button
//                                         where the box has it); prints how many it answered
//   procprobe.exe answer-owners TITLE...  the same, printing the image path of each answered box's process
//   procprobe.exe answer-texts TITLE...   the same, printing each answered box's text on one line
//                                         (its line breaks as "/")
//   procprobe.exe reserve-low PATH-PART   reserves all free address space below 2 GB in that process
//                                         (nothing committed); prints the megabytes reserved
//   procprobe.exe high PATH-PART          megabytes of that process's committed memory at or above 2 GB
//   procprobe.exe close PATH-PART         posts WM_CLOSE to the main windows of the processes whose
//                                         image path contains PATH-PART (as the close box would)
#include <windows.h>
#include <winternl.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "support/gdi_objects.h"

namespace {

void printUtf8(const wchar_t* text) {
    char utf8[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    fputs(utf8, stdout);
}

void imagePathOf(DWORD pid, wchar_t* out, DWORD size) {
    out[0] = L'\0';
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return;
    if (!QueryFullProcessImageNameW(process, 0, out, &size)) out[0] = L'\0';
    CloseHandle(process);
}

BOOL CALLBACK listWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t className[256] = L"", title[512] = L"", image[MAX_PATH] = L"";
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 512);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    imagePathOf(pid, image, MAX_PATH);
    printUtf8(image);
    fputs("\t", stdout);
    printUtf8(className);
    fputs("\t", stdout);
    printUtf8(title);
    fputs("\n", stdout);
    return TRUE;
}

// Wine answers GetGuiResources with 0 and leaves other processes' handle counts and
// private bytes unfilled, so the figures are read where the system keeps them: the GDI
// objects are the used entries of the process's own GDI handle table (its PEB points to
// it; stock objects included), the handles are the process's entries in the system
// handle list, the private bytes come from its VM counters, and the USER objects are
// counted as its windows, top-level and child.
struct SystemHandleEntry {
    USHORT pid;
    USHORT creatorBackTrace;
    UCHAR objectType;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};
const SYSTEM_INFORMATION_CLASS kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);

long handlesOf(DWORD pid) {
    std::vector<BYTE> buffer(1 << 20);
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                              nullptr)) == static_cast<NTSTATUS>(0xC0000004L)) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const SystemHandleEntry* entry = reinterpret_cast<SystemHandleEntry*>(buffer.data() + sizeof(void*));
    long mine = 0;
    for (ULONG i = 0; i < count; ++i) mine += entry[i].pid == static_cast<USHORT>(pid);
    return mine;
}

struct WindowCount {
    DWORD pid;
    long windows;
};

BOOL CALLBACK countChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->windows;
    return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM param) {
    WindowCount* count = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != count->pid) return TRUE;
    ++count->windows;
    EnumChildWindows(window, countChild, param);
    return TRUE;
}

// The first process whose image path contains `part` (case-insensitive), or 0.
DWORD processOf(const wchar_t* part) {
    DWORD pids[4096];
    DWORD bytes = 0;
    if (!EnumProcesses(pids, sizeof pids, &bytes)) return 0;
    wchar_t wanted[MAX_PATH];
    lstrcpynW(wanted, part, MAX_PATH);
    CharLowerW(wanted);
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        wchar_t image[MAX_PATH];
        imagePathOf(pids[i], image, MAX_PATH);
        CharLowerW(image);
        if (wcsstr(image, wanted)) return pids[i];
    }
    return 0;
}

int usage(const wchar_t* part) {
    const DWORD pid = processOf(part);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
    if (!process) return 1;
    VM_COUNTERS memory = {};
    NtQueryInformationProcess(process, ProcessVmCounters, &memory, sizeof memory, nullptr);
    WindowCount windows = {pid, 0};
    EnumWindows(countWindow, reinterpret_cast<LPARAM>(&windows));
    printf("gdi=%ld user=%ld handles=%ld private=%llu\n", gdiObjectsOf(process, pid), windows.windows, handlesOf(pid),
           static_cast<unsigned long long>(memory.PagefileUsage));
    CloseHandle(process);
    return 0;
}

// The low 2 GB of a 32-bit process's address space, and what lies above them.
const uintptr_t kTwoGigabytes = 0x80000000u;

int reserveLow(const wchar_t* part) {
    const DWORD pid = processOf(part);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION, FALSE, pid) : nullptr;
    if (!process) return 1;
    unsigned long long reserved = 0;
    MEMORY_BASIC_INFORMATION region;
    for (uintptr_t at = 0x10000; at < kTwoGigabytes && VirtualQueryEx(process, reinterpret_cast<void*>(at), &region,
                                                                       sizeof region) == sizeof region;) {
        const uintptr_t base = reinterpret_cast<uintptr_t>(region.BaseAddress);
        const uintptr_t end = base + region.RegionSize < kTwoGigabytes ? base + region.RegionSize : kTwoGigabytes;
        // Reservations start on the 64 KB allocation granularity.
        const uintptr_t start = (base + 0xFFFF) & ~static_cast<uintptr_t>(0xFFFF);
        if (region.State == MEM_FREE && start < end &&
            VirtualAllocEx(process, reinterpret_cast<void*>(start), end - start, MEM_RESERVE, PAGE_NOACCESS)) {
            reserved += end - start;
        }
        at = base + region.RegionSize;
    }
    CloseHandle(process);
    printf("%llu\n", reserved >> 20);
    return 0;
}

int highMemory(const wchar_t* part) {
    const DWORD pid = processOf(part);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid) : nullptr;
    if (!process) return 1;
    unsigned long long committed = 0;
    MEMORY_BASIC_INFORMATION region;
    for (uintptr_t at = kTwoGigabytes; at != 0 && VirtualQueryEx(process, reinterpret_cast<void*>(at), &region,
                                                                  sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT) committed += region.RegionSize;
        at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    CloseHandle(process);
    printf("%llu\n", committed >> 20);
    return 0;
}

BOOL CALLBACK closeWindow(HWND window, LPARAM param) {
    const wchar_t* wanted = reinterpret_cast<const wchar_t*>(param);
    wchar_t className[256] = L"", image[MAX_PATH] = L"";
    GetClassNameW(window, className, 256);
    if (lstrcmpW(className, L"DEFAULT") != 0 && lstrcmpW(className, L"KestrinScene") != 0) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    imagePathOf(pid, image, MAX_PATH);
    CharLowerW(image);
    if (wcsstr(image, wanted)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

struct AnswerRequest {
    wchar_t** titles;
    int titleCount;
    int answered;
    bool listOwners;  // print the image path of each box's process instead of the count
    bool listTexts;   // print the text of each box instead of the count
};

// A message box's text: its static control that holds one (Windows numbers it 0xFFFF,
// Wine otherwise), into the wchar_t[2048] the parameter points at.
BOOL CALLBACK keepStaticText(HWND child, LPARAM out) {
    wchar_t className[32] = L"", text[2048] = L"";
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") != 0 || !GetWindowTextW(child, text, 2048)) return TRUE;
    lstrcpynW(reinterpret_cast<wchar_t*>(out), text, 2048);
    return FALSE;
}

BOOL CALLBACK answerBox(HWND window, LPARAM param) {
    AnswerRequest* request = reinterpret_cast<AnswerRequest*>(param);
    wchar_t className[256] = L"", title[512] = L"";
    GetClassNameW(window, className, 256);
    if (!IsWindowVisible(window) || lstrcmpW(className, L"#32770") != 0) return TRUE;
    GetWindowTextW(window, title, 512);
    for (int i = 0; i < request->titleCount; ++i) {
        if (lstrcmpW(title, request->titles[i]) != 0) continue;
        const LRESULT defId = SendMessageW(window, DM_GETDEFID, 0, 0);
        int id = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : IDOK;
        // PROCPROBE_BUTTON names another button to press in the boxes that have it.
        wchar_t chosen[16] = L"";
        if (GetEnvironmentVariableW(L"PROCPROBE_BUTTON", chosen, 16) && GetDlgItem(window, _wtoi(chosen))) {
            id = _wtoi(chosen);
        }
        // Its text and owner are read before the button is pressed: a box that has closed
        // has neither, and a box answered without its text would go uncounted.
        wchar_t text[2048] = L"";
        if (request->listTexts) {
            EnumChildWindows(window, keepStaticText, reinterpret_cast<LPARAM>(text));
            for (wchar_t* c = text; *c; ++c) {
                if (*c == L'\r') *c = L' ';
                if (*c == L'\n') *c = L'/';
            }
            if (!text[0]) lstrcpyW(text, L"(a box without text)");
        }
        wchar_t image[MAX_PATH] = L"";
        if (request->listOwners) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            imagePathOf(pid, image, MAX_PATH);
        }
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        ++request->answered;
        if (request->listTexts) {
            printUtf8(text);
            fputs("\n", stdout);
        }
        if (request->listOwners) {
            printUtf8(image);
            fputs("\n", stdout);
        }
        break;
    }
    return TRUE;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) return 2;
    const wchar_t* verb = argv[1];
    if (lstrcmpW(verb, L"windows") == 0) {
        EnumWindows(listWindow, 0);
        return 0;
    }
    if (lstrcmpW(verb, L"usage") == 0 && argc >= 3) return usage(argv[2]);
    if (lstrcmpW(verb, L"reserve-low") == 0 && argc >= 3) return reserveLow(argv[2]);
    if (lstrcmpW(verb, L"high") == 0 && argc >= 3) return highMemory(argv[2]);
    if (lstrcmpW(verb, L"answer") == 0 || lstrcmpW(verb, L"answer-owners") == 0 ||
        lstrcmpW(verb, L"answer-texts") == 0) {
        AnswerRequest request = {argv + 2, argc - 2, 0, lstrcmpW(verb, L"answer-owners") == 0,
                                 lstrcmpW(verb, L"answer-texts") == 0};
        EnumWindows(answerBox, reinterpret_cast<LPARAM>(&request));
        if (!request.listOwners && !request.listTexts) printf("%d\n", request.answered);
        return 0;
    }
    if (lstrcmpW(verb, L"close") == 0 && argc >= 3) {
        CharLowerW(argv[2]);
        EnumWindows(closeWindow, reinterpret_cast<LPARAM>(argv[2]));
        return 0;
    }
    if (argc < 3) return 2;
    if (lstrcmpW(verb, L"check") == 0 && argc >= 5) {
        HWND dialog = FindWindowW(L"#32770", argv[2]);
        HWND box = dialog ? GetDlgItem(dialog, _wtoi(argv[3])) : nullptr;
        if (!box) return 1;
        SendMessageW(box, BM_SETCHECK, _wtoi(argv[4]) ? BST_CHECKED : BST_UNCHECKED, 0);
        return 0;
    }
    HWND window = FindWindowW(argv[2], lstrcmpW(verb, L"place") == 0 && argc >= 8 ? argv[7] : nullptr);
    if (!window) return 1;
    if (lstrcmpW(verb, L"place") == 0 && argc >= 7) {
        SetWindowPos(window, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    if (lstrcmpW(verb, L"show") == 0 && argc >= 4) {
        ShowWindow(window, lstrcmpW(argv[3], L"minimize") == 0 ? SW_MINIMIZE : SW_RESTORE);
        return 0;
    }
    return 2;
}
