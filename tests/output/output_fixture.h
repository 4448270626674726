#pragma once
// Shared ground for the output tests: a temporary folder on a real drive, and the
// display image, work DC and export slot that the BMP writer reads from.
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "engine/kernels.h"
#include "engine/slot_pool.h"
#include "support/dialog_watcher.h"

inline void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(folder + name + "\\");
            else DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// A fresh folder under the temporary folder of the prefix (drive C:), removed at the end.
struct TempFolder {
    std::string path;  // ends with a backslash
    TempFolder() {
        static int counter = 0;
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%skestrin-%lu-%d\\", base, GetCurrentProcessId(), ++counter);
        path = name;
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        SetCurrentDirectoryA(base);  // a current directory inside would keep the tree
        removeTree(path);
    }
    std::string operator/(const std::string& name) const { return path + name; }
};

// Names in `folder` (with its trailing backslash), without "." and "..".
inline std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

inline bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::vector<BYTE> readFile(const std::string& path) {
    std::vector<BYTE> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    BYTE buffer[65536];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + count);
    fclose(file);
    return bytes;
}

inline std::string currentDirectory() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

// The colour the test pattern gives pixel (x, y), as blue, green, red.
inline void patternPixel(int x, int y, BYTE* bgr) {
    bgr[0] = static_cast<BYTE>(x * 7 + y);
    bgr[1] = static_cast<BYTE>(y * 3);
    bgr[2] = static_cast<BYTE>(255 - x);
}

// An 800 x 600 desktop whose display image holds a known pattern, with the export
// slot allocated as at start-up, a 640 x 480 result and COM for the PNG encoder.
// Every message box shown is answered and recorded by `watcher`, so none can hang a test.
class DisplayTest : public ::testing::Test {
protected:
    DialogWatcher watcher;

    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        app = AppState();
        DesktopRect = {0, 0, 800, 600};
        ResultRect = {0, 0, 640, 480};
        workDC = CreateCompatibleDC(nullptr);
        displayDC = CreateCompatibleDC(nullptr);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 800;
        info.bmiHeader.biHeight = -600;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        displayBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_TRUE(displayBitmap && bits);
        displayPreviousBitmap = SelectObject(displayDC, displayBitmap);
        const int stride = stride24(800);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) patternPixel(x, y, static_cast<BYTE*>(bits) + y * stride + x * 3);
        exportSlot = allocSlot32(800, 600);
        ASSERT_NE(usableSlot(exportSlot), nullptr);
    }
    void TearDown() override {
        releaseSlots();
        exportSlot = 0;
        SelectObject(displayDC, displayPreviousBitmap);
        DeleteObject(displayBitmap);
        DeleteDC(displayDC);
        DeleteDC(workDC);
        displayDC = workDC = nullptr;
        displayBitmap = nullptr;
        app = AppState();
        CoUninitialize();
    }
};

// True when `file` is a 32-bit bottom-up BMP of the pattern's top-left w x h region.
inline ::testing::AssertionResult holdsPattern(const std::vector<BYTE>& file, int width, int height) {
    if (file.size() != 54u + 4u * width * height) return ::testing::AssertionFailure() << "size " << file.size();
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = &file[54 + (static_cast<size_t>(row) * width + x) * 4];
            BYTE want[3];
            patternPixel(x, height - 1 - row, want);
            if (p[0] != want[0] || p[1] != want[1] || p[2] != want[2] || p[3] != 0)
                return ::testing::AssertionFailure() << "file row " << row << " x " << x;
        }
    return ::testing::AssertionSuccess();
}
