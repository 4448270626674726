// Reads and moves what the reliability tests need from outside the program.
//   procprobe.exe windows                 one line per top-level window: "EXE<TAB>CLASS<TAB>TITLE" (UTF-8)
//   procprobe.exe usage PATH-PART         "gdi=N user=N handles=N private=N" of the first process whose
//                                         image path contains PATH-PART (case-insensitive)
//   procprobe.exe place CLASS X Y W H     moves and sizes the first window of that class
//   procprobe.exe show CLASS minimize|restore
//   procprobe.exe check TITLE ID 0|1      sets the check state of a dialog's check box
//   procprobe.exe answer TITLE...         presses the default button of every visible dialog box
//                                         with one of these titles, wherever it lies and whatever
//                                         covers it; prints how many it answered
//   procprobe.exe answer-owners TITLE...  the same, printing the image path of each answered box's process
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
struct GdiHandleEntry {
    unsigned long long object;
    unsigned int owner;
    unsigned char extType, generation, type, flags;
    unsigned long long user;
};
struct SystemHandleEntry {
    USHORT pid;
    USHORT creatorBackTrace;
    UCHAR objectType;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};
const int kGdiTableEntries = 0x10000;
const SYSTEM_INFORMATION_CLASS kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);

long gdiObjectsOf(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const SIZE_T tableOffset = sizeof(void*) == 8 ? 0xf8 : 0x94;  // PEB.GdiSharedHandleTable
    void* table = nullptr;
    if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + tableOffset, &table, sizeof table,
                           nullptr) ||
        !table) {
        return -1;
    }
    std::vector<GdiHandleEntry> entries(kGdiTableEntries);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiHandleEntry), nullptr)) return -1;
    long used = 0;
    for (const GdiHandleEntry& entry : entries) used += entry.type != 0;
    return used;
}

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

int usage(const wchar_t* part) {
    DWORD pids[4096];
    DWORD bytes = 0;
    if (!EnumProcesses(pids, sizeof pids, &bytes)) return 1;
    wchar_t wanted[MAX_PATH];
    lstrcpynW(wanted, part, MAX_PATH);
    CharLowerW(wanted);
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        wchar_t image[MAX_PATH];
        imagePathOf(pids[i], image, MAX_PATH);
        CharLowerW(image);
        if (!wcsstr(image, wanted)) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pids[i]);
        if (!process) return 1;
        VM_COUNTERS memory = {};
        NtQueryInformationProcess(process, ProcessVmCounters, &memory, sizeof memory, nullptr);
        WindowCount windows = {pids[i], 0};
        EnumWindows(countWindow, reinterpret_cast<LPARAM>(&windows));
        printf("gdi=%ld user=%ld handles=%ld private=%llu\n", gdiObjectsOf(process), windows.windows, handlesOf(pids[i]),
               static_cast<unsigned long long>(memory.PagefileUsage));
        CloseHandle(process);
        return 0;
    }
    return 1;
}

BOOL CALLBACK closeWindow(HWND window, LPARAM param) {
    const wchar_t* wanted = reinterpret_cast<const wchar_t*>(param);
    wchar_t className[256] = L"", image[MAX_PATH] = L"";
    GetClassNameW(window, className, 256);
    if (lstrcmpW(className, L"DEFAULT") != 0) return TRUE;
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
};

BOOL CALLBACK answerBox(HWND window, LPARAM param) {
    AnswerRequest* request = reinterpret_cast<AnswerRequest*>(param);
    wchar_t className[256] = L"", title[512] = L"";
    GetClassNameW(window, className, 256);
    if (!IsWindowVisible(window) || lstrcmpW(className, L"#32770") != 0) return TRUE;
    GetWindowTextW(window, title, 512);
    for (int i = 0; i < request->titleCount; ++i) {
        if (lstrcmpW(title, request->titles[i]) != 0) continue;
        const LRESULT defId = SendMessageW(window, DM_GETDEFID, 0, 0);
        const int id = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : IDOK;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        ++request->answered;
        if (request->listOwners) {
            DWORD pid = 0;
            wchar_t image[MAX_PATH] = L"";
            GetWindowThreadProcessId(window, &pid);
            imagePathOf(pid, image, MAX_PATH);
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
    if (lstrcmpW(verb, L"answer") == 0 || lstrcmpW(verb, L"answer-owners") == 0) {
        AnswerRequest request = {argv + 2, argc - 2, 0, lstrcmpW(verb, L"answer-owners") == 0};
        EnumWindows(answerBox, reinterpret_cast<LPARAM>(&request));
        if (!request.listOwners) printf("%d\n", request.answered);
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
    HWND window = FindWindowW(argv[2], nullptr);
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
