// A scene for the end-to-end tests: a window with known content for Kestrin to capture.
//   scene.exe pattern X Y W H     a fixed colour pattern that every pixel can be checked against
//   scene.exe moving  X Y W H S   a bright square crossing a dark client area at S pixels per second
//   scene.exe colourful X Y W H S a photograph-like field of colour scrolling sideways at S pixels
//                                 per second: every frame changes everywhere, in many colours
// (W, H are the client size.) It writes its client and window rectangles in screen
// coordinates to scene-rect.txt in the current folder, once it has painted. While a file
// "hide-pointer" exists there, it hides the pointer over its client area by setting no
// shape, as video players and games do.
#include <windows.h>
#include <shellapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/pattern.h"

namespace {

bool moving = false;
bool colourful = false;
HDC fieldDC = nullptr;  // the colourful field, twice the client's width so a blit can wrap
int speed = 200;
DWORD startTime = 0;
const int kSquare = 40;

int squareLeft(int clientWidth) {
    const DWORD elapsed = GetTickCount() - startTime;
    const int travel = clientWidth - kSquare;
    if (travel <= 0) return 0;
    const long long position = static_cast<long long>(elapsed) * speed / 1000;
    return static_cast<int>(position % travel);
}

// A 32-bit top-down DIB section of w x h, its pixels in `pixels`; null when it cannot be made.
HBITMAP topDownDib(HDC dc, int w, int h, DWORD** pixels) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    *pixels = static_cast<DWORD*>(bits);
    return bitmap;
}

// Smooth colour with a fixed grain, repeating every `w` pixels across.
void makeField(HDC dc, int w, int h) {
    DWORD* pixels = nullptr;
    HBITMAP bitmap = topDownDib(dc, 2 * w, h, &pixels);
    if (!bitmap) return;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 2 * w; ++x) {
            const double u = 6.2832 * (x % w) / w, v = y / 90.0;
            unsigned grain = static_cast<unsigned>((x % w) * 7919 + y * 104729);
            grain = (grain ^ (grain >> 7)) * 2654435761u >> 30;
            const int r = static_cast<int>(128 + 100 * std::sin(u) * std::cos(v)) + static_cast<int>(grain);
            const int g = static_cast<int>(110 + 90 * std::sin(2 * u + v)) + static_cast<int>(grain);
            const int b = static_cast<int>(140 + 100 * std::cos(u - v / 2)) + static_cast<int>(grain);
            pixels[y * 2 * w + x] = (r << 16) | (g << 8) | b;
        }
    }
    fieldDC = CreateCompatibleDC(dc);
    SelectObject(fieldDC, bitmap);  // kept for the scene's life
}

void paint(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    if (colourful) {
        if (!fieldDC) makeField(dc, client.right, client.bottom);
        const int offset = client.right > 0 ? static_cast<int>(static_cast<long long>(GetTickCount() - startTime) *
                                                              speed / 1000 % client.right)
                                            : 0;
        if (fieldDC) BitBlt(dc, 0, 0, client.right, client.bottom, fieldDC, offset, 0, SRCCOPY);
        return;
    }
    if (moving) {
        HBRUSH dark = CreateSolidBrush(RGB(16, 16, 32));
        FillRect(dc, &client, dark);
        DeleteObject(dark);
        const int left = squareLeft(client.right);
        const int top = (client.bottom - kSquare) / 2;
        RECT square = {left, top, left + kSquare, top + kSquare};
        HBRUSH bright = CreateSolidBrush(RGB(255, 240, 64));
        FillRect(dc, &square, bright);
        DeleteObject(bright);
        return;
    }
    // Row by row through a DIB, so the pattern is exact whatever the driver does with SetPixel.
    const int w = client.right, h = client.bottom;
    DWORD* pixels = nullptr;
    HBITMAP bitmap = topDownDib(dc, w, h, &pixels);
    if (!bitmap) return;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const COLORREF c = patternColour(x, y);
            pixels[y * w + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

void writeRects(HWND window) {
    RECT client, frame;
    GetClientRect(window, &client);
    POINT topLeft = {0, 0}, bottomRight = {client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    GetWindowRect(window, &frame);
    FILE* out = fopen("scene-rect.txt.tmp", "w");
    if (!out) return;
    fprintf(out, "client %ld %ld %ld %ld\nwindow %ld %ld %ld %ld\n", topLeft.x, topLeft.y, bottomRight.x,
            bottomRight.y, frame.left, frame.top, frame.right, frame.bottom);
    fclose(out);
    MoveFileExA("scene-rect.txt.tmp", "scene-rect.txt", MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK sceneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        paint(window, dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_TIMER: {
        HDC dc = GetDC(window);
        paint(window, dc);
        ReleaseDC(window, dc);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && GetFileAttributesA("hide-pointer") != INVALID_FILE_ATTRIBUTES) {
            SetCursor(nullptr);
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 6) return 2;
    moving = wcscmp(argv[1], L"moving") == 0;
    colourful = wcscmp(argv[1], L"colourful") == 0;
    const int x = _wtoi(argv[2]), y = _wtoi(argv[3]), w = _wtoi(argv[4]), h = _wtoi(argv[5]);
    if (argc > 6) speed = _wtoi(argv[6]);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = sceneProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = L"KestrinScene";
    RegisterClassW(&windowClass);

    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, w, h};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExW(0, L"KestrinScene", L"KestrinScene", style, x + frame.left, y + frame.top,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                  nullptr);
    if (!window) return 3;
    startTime = GetTickCount();
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    if (moving || colourful) SetTimer(window, 1, 10, nullptr);
    writeRects(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
