// The copy to the real clipboard while another thread holds it, as another program would.
#include <gtest/gtest.h>

#include <thread>

#include "output/clipboard_copy.h"
#include "output_fixture.h"

namespace {

int handledMessages = 0;

// Stands for the main window: WM_APP is Ctrl+C pressed again, WM_APP + 1 any message.
LRESULT CALLBACK copyingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) copyToClipboard();
    if (message == WM_APP + 1) ++handledMessages;
    return DefWindowProcW(window, message, wParam, lParam);
}

using ClipboardCopyTest = DisplayTest;

// Ctrl+C held while another program holds the clipboard reaches the copy again from its
// wait: one copy goes on, and the user is told once, not once per key repeat.
TEST_F(ClipboardCopyTest, OneCopyAtATimeAnsweringAllTheWhile) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = copyingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KestrinCopyTest";
    RegisterClassW(&windowClass);
    mainWindow = CreateWindowExW(0, L"KestrinCopyTest", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    ASSERT_NE(mainWindow, nullptr);

    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([held] {
        OpenClipboard(nullptr);
        SetEvent(held);
        Sleep(900);  // past the copy's patience
        CloseClipboard();
    });
    WaitForSingleObject(held, INFINITE);
    for (int i = 0; i < 3; ++i) PostMessageW(mainWindow, WM_APP, 0, 0);
    copyToClipboard();
    holder.join();
    EXPECT_EQ(watcher.count(), 1u);
    EXPECT_TRUE(watcher.sawMessage("コピーエラー", "クリップボードが他のプログラムに使われているため、\nコピー出来ませんでした。"));

    // With the clipboard free the copy builds a DIB and a PNG of the whole result and
    // keeps answering while it does.
    handledMessages = 0;
    for (int i = 0; i < 20; ++i) PostMessageW(mainWindow, WM_APP + 1, 0, 0);
    EXPECT_EQ(copyResultToClipboard(500), CopyOutcome::Copied);
    EXPECT_GE(handledMessages, 10);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto* dib = static_cast<const BITMAPINFOHEADER*>(GlobalLock(GetClipboardData(CF_DIB)));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biWidth, 640);
    EXPECT_EQ(dib->biHeight, 480);
    GlobalUnlock(GetClipboardData(CF_DIB));
    CloseClipboard();
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    CloseHandle(held);
}

}  // namespace
