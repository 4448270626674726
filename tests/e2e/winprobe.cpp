// Reads and drives what the end-to-end tests cannot reach through X.
//   winprobe.exe rect CLASS               "window L T R B" and "client L T R B" (screen coordinates)
//   winprobe.exe count CLASS TITLE        how many windows of that class and title exist
//   winprobe.exe pointer hidden           exits 0 when the pointer shows no shape, as a capture sees it
//   winprobe.exe combo TITLE ID ROW       selects a row of a dialog's combo box, telling the dialog
//                                         as a user's choice does (CBN_SELCHANGE)
//   winprobe.exe text TITLE ID TEXT       sets the text of a dialog's control
//   winprobe.exe click TITLE ID           clicks a dialog's button (WM_COMMAND, BN_CLICKED)
//   winprobe.exe gettext TITLE ID         prints the text of a dialog's control as UTF-8
//   winprobe.exe select TITLE ID          gives a dialog's edit box the focus and selects its text
//   winprobe.exe command CLASS ID         chooses a menu command of the window (WM_COMMAND)
//   winprobe.exe controls TITLE           prints each control of a dialog as "ID<TAB>TEXT" (UTF-8)
//   winprobe.exe menu CLASS               prints the texts of the window's menu, one item a line,
//                                         popups' items indented by a tab (UTF-8)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "e2e/menu_text/menu_text.h"

namespace {

struct Count {
    const wchar_t* className;
    const wchar_t* title;
    int found;
};

BOOL CALLBACK countWindow(HWND window, LPARAM param) {
    Count* count = reinterpret_cast<Count*>(param);
    wchar_t className[256] = L"", title[256] = L"";
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 256);
    if (lstrcmpW(className, count->className) == 0 && lstrcmpW(title, count->title) == 0 && IsWindowVisible(window)) {
        ++count->found;
    }
    return TRUE;
}

HWND dialogNamed(const wchar_t* title) { return FindWindowW(L"#32770", title); }

void printUtf8(const wchar_t* text) {
    char utf8[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    fwrite(utf8, 1, strlen(utf8), stdout);
}

BOOL CALLBACK printControl(HWND control, LPARAM) {
    wchar_t text[1024] = L"";
    // GetWindowText does not ask a control of another process; WM_GETTEXT does.
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    printf("%d\t", GetDlgCtrlID(control));
    printUtf8(text);
    printf("\n");
    return TRUE;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) return 2;
    const wchar_t* verb = argv[1];
    if (lstrcmpW(verb, L"pointer") == 0) {
        CURSORINFO pointer = {};
        pointer.cbSize = sizeof pointer;
        return GetCursorInfo(&pointer) && (pointer.flags & CURSOR_SHOWING) && pointer.hCursor ? 1 : 0;
    }
    if (lstrcmpW(verb, L"rect") == 0) {
        HWND window = FindWindowW(argv[2], nullptr);
        if (!window) return 1;
        RECT frame, client;
        GetWindowRect(window, &frame);
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        printf("window %ld %ld %ld %ld\nclient %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom,
               origin.x, origin.y, origin.x + client.right, origin.y + client.bottom);
        return 0;
    }
    if (lstrcmpW(verb, L"count") == 0 && argc >= 4) {
        Count count = {argv[2], argv[3], 0};
        EnumWindows(countWindow, reinterpret_cast<LPARAM>(&count));
        printf("%d\n", count.found);
        return 0;
    }
    if (lstrcmpW(verb, L"command") == 0 && argc >= 4) {
        HWND window = FindWindowW(argv[2], nullptr);
        if (!window) return 1;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(_wtoi(argv[3]), 0), 0);
        return 0;
    }
    if (lstrcmpW(verb, L"menu") == 0) {
        // Read inside the program's process (menu_text.dll, loaded there by the hook).
        HWND window = FindWindowW(argv[2], nullptr);
        if (!window) return 1;
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, menuTextHook(), GetModuleHandleW(L"menu_text.dll"),
                                       GetWindowThreadProcessId(window, nullptr));
        if (!hook) return 1;
        *menuTextRead() = '\0';
        DWORD_PTR answer;
        SendMessageTimeoutW(window, RegisterWindowMessageW(kMenuTextMessage), 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        UnhookWindowsHookEx(hook);
        fputs(menuTextRead(), stdout);
        return *menuTextRead() ? 0 : 1;
    }
    if (lstrcmpW(verb, L"controls") == 0) {
        HWND dialog = dialogNamed(argv[2]);
        if (!dialog) return 1;
        EnumChildWindows(dialog, printControl, 0);
        return 0;
    }
    if (argc < 4) return 2;
    HWND dialog = dialogNamed(argv[2]);
    if (!dialog) return 1;
    const int id = _wtoi(argv[3]);
    HWND control = GetDlgItem(dialog, id);
    if (lstrcmpW(verb, L"combo") == 0 && argc >= 5 && control) {
        SendMessageW(control, CB_SETCURSEL, _wtoi(argv[4]), 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (lstrcmpW(verb, L"text") == 0 && argc >= 5 && control) {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        return 0;
    }
    if (lstrcmpW(verb, L"gettext") == 0 && control) {
        wchar_t text[1024] = L"";
        SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
        printUtf8(text);
        return 0;
    }
    if (lstrcmpW(verb, L"select") == 0 && control) {
        // The focus of another thread's window is set from inside its input state.
        const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        SetFocus(control);
        const bool focused = GetFocus() == control;
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
        SendMessageW(control, EM_SETSEL, 0, -1);
        return focused ? 0 : 1;
    }
    if (lstrcmpW(verb, L"click") == 0) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
        return 0;
    }
    return 2;
}
