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
//   procprobe.exe close PATH-PART         posts WM_CLOSE to the main windows of the processes whose
//                                         image path contains PATH-PART (as the close box would)
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

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
        DWORD handles = 0;
        GetProcessHandleCount(process, &handles);
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        printf("gdi=%lu user=%lu handles=%lu private=%llu\n", GetGuiResources(process, GR_GDIOBJECTS),
               GetGuiResources(process, GR_USEROBJECTS), handles,
               static_cast<unsigned long long>(memory.PrivateUsage));
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
    if (lstrcmpW(verb, L"answer") == 0) {
        AnswerRequest request = {argv + 2, argc - 2, 0};
        EnumWindows(answerBox, reinterpret_cast<LPARAM>(&request));
        printf("%d\n", request.answered);
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
