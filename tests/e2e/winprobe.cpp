// Reads what the end-to-end tests cannot see from X: a window's Win32 rectangles.
//   winprobe.exe rect CLASS    prints "window L T R B" and "client L T R B" (screen coordinates)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3 || lstrcmpW(argv[1], L"rect") != 0) return 2;
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
