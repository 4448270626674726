#include "core/text.h"

namespace {

const UINT kShiftJis = 932;

std::wstring wideFrom(UINT codePage, const char* text) {
    if (!text || !*text) return std::wstring();
    int count = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (count <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], count);
    wide.resize(static_cast<size_t>(count - 1));
    return wide;
}

}  // namespace

std::wstring wideFromShiftJis(const char* text) { return wideFrom(kShiftJis, text); }

std::wstring wideFromAnsi(const char* text) { return wideFrom(CP_ACP, text); }

std::string shiftJisFromWide(const wchar_t* text) {
    if (!text || !*text) return std::string();
    int count = WideCharToMultiByte(kShiftJis, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return std::string();
    std::string narrow(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(kShiftJis, 0, text, -1, &narrow[0], count, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(count - 1));
    return narrow;
}

int (*messageRedirect)(const char* text, const char* title, UINT type) = nullptr;

int showMessage(HWND owner, const char* text, const char* title, UINT type) {
    if (messageRedirect) return messageRedirect(text, title, type);
    return MessageBoxW(owner, wideFromShiftJis(text).c_str(), wideFromShiftJis(title).c_str(), type);
}

void setWindowTextSjis(HWND window, const char* text) {
    SetWindowTextW(window, wideFromShiftJis(text).c_str());
}
