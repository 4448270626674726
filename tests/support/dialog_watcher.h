#pragma once
// Test support: answers the program's message boxes from a second thread, so code
// that shows one can run inside a test. Every box seen is recorded (title and text)
// and closed with OK, as a user reading it would.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/text.h"

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

    static BOOL CALLBACK visit(HWND window, LPARAM param) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        wchar_t className[64] = L"";
        GetClassNameW(window, className, 64);
        if (wcscmp(className, L"#32770") != 0) return TRUE;
        HWND textControl = GetDlgItem(window, kMessageTextId);
        if (!textControl) return TRUE;  // a dialog, but not a message box
        // A file dialog has static labels too, but it also has combo boxes.
        if (FindWindowExW(window, nullptr, L"ComboBox", nullptr)) return TRUE;
        static_cast<std::vector<HWND>*>(reinterpret_cast<void*>(param))->push_back(window);
        return TRUE;
    }

    static std::wstring textOf(HWND window) {
        wchar_t buffer[2048] = L"";
        GetWindowTextW(window, buffer, 2048);
        return buffer;
    }

    void run() {
        while (running_) {
            std::vector<HWND> boxes;
            EnumWindows(visit, reinterpret_cast<LPARAM>(&boxes));
            for (auto it = answered_.begin(); it != answered_.end();) {
                it = IsWindow(*it) ? std::next(it) : answered_.erase(it);
            }
            for (HWND box : boxes) {
                // A box already answered may take a moment to close; record it once.
                // (Hiding it instead costs Wine two seconds without a window manager.)
                if (!answered_.insert(box).second) continue;
                SeenMessage message{textOf(box), textOf(GetDlgItem(box, kMessageTextId))};
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
