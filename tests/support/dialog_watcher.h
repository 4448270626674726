#pragma once
// Test support: answers the program's message boxes from a second thread, so code
// that shows one can run inside a test. Every box seen is recorded (title and text)
// and closed with OK, as a user reading it would. The dialogs of the process and their
// texts are found here for the tests that drive other dialogs, too.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/text.h"

// This process's visible dialog windows (class #32770): message boxes, file dialogs and
// the program's own dialogs.
inline BOOL CALLBACK addVisibleDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}
inline std::vector<HWND> visibleDialogs() {
    std::vector<HWND> found;
    EnumWindows(addVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

inline std::wstring windowText(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

struct SeenMessage {
    std::wstring title;
    std::wstring text;
};

class DialogWatcher {
public:
    DialogWatcher() : running_(true), worker_([this] { run(); }) {}
    ~DialogWatcher() {
        running_ = false;
        worker_.join();
    }
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<SeenMessage> seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

    // True when a box with this Shift-JIS title (and text, when given) was seen.
    bool sawMessage(const char* title, const char* text = nullptr) {
        const std::wstring wantTitle = wideFromShiftJis(title);
        const std::wstring wantText = text ? wideFromShiftJis(text) : std::wstring();
        for (const SeenMessage& message : seen()) {
            if (message.title == wantTitle && (!text || message.text == wantText)) return true;
        }
        return false;
    }

    size_t count() { return seen().size(); }

private:
    // The static control that holds a message box's text.
    static const int kMessageTextId = 0xFFFF;

    // A dialog with a message box's text control; a file dialog has static labels
    // too, but it also has combo boxes.
    static bool isMessageBox(HWND dialog) {
        return GetDlgItem(dialog, kMessageTextId) && !FindWindowExW(dialog, nullptr, L"ComboBox", nullptr);
    }

    void run() {
        while (running_) {
            std::vector<HWND> boxes = visibleDialogs();
            boxes.erase(std::remove_if(boxes.begin(), boxes.end(), [](HWND box) { return !isMessageBox(box); }),
                        boxes.end());
            for (auto it = answered_.begin(); it != answered_.end();) {
                it = IsWindow(*it) ? std::next(it) : answered_.erase(it);
            }
            for (HWND box : boxes) {
                // A box already answered may take a moment to close; record it once.
                // (Hiding it instead costs Wine two seconds without a window manager.)
                if (!answered_.insert(box).second) continue;
                SeenMessage message{windowText(box), windowText(GetDlgItem(box, kMessageTextId))};
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    seen_.push_back(message);
                }
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
    }

    std::atomic<bool> running_;
    std::mutex mutex_;
    std::vector<SeenMessage> seen_;
    std::set<HWND> answered_;  // used by the worker thread only
    std::thread worker_;
};
