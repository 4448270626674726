#pragma once
// Shared ground for the BMP writer's tests: the display image, work DC and export slot
// it reads from, and a check of what it wrote.
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "capture/slot_pool.h"
#include "support/dialog_watcher.h"
#include "support/display.h"
#include "support/files.h"
#include "support/pattern.h"

// An 800 x 600 desktop whose display image holds a known pattern, with the export
// slot allocated as at start-up, a 640 x 480 result and COM for the PNG encoder.
// Every message box shown is answered and recorded by `watcher`, so none can hang a test.
class DisplayTest : public ::testing::Test {
protected:
    DialogWatcher watcher;

    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        app = AppState();
        VirtualScreenRect = {0, 0, 800, 600};
        ResultRect = {0, 0, 640, 480};
        ASSERT_TRUE(setUpDisplay(nullptr));
        paintDisplay(patternColour);
        exportSlot = allocSlot32(800, 600);
        ASSERT_NE(usableSlot(exportSlot), nullptr);
    }
    void TearDown() override {
        releaseSlots();
        exportSlot = 0;
        releaseDisplay();
        app = AppState();
        CoUninitialize();
    }
};

// True when `file` is a 32-bit bottom-up BMP of the pattern's top-left w x h region.
inline ::testing::AssertionResult holdsPattern(const std::vector<uint8_t>& file, int width, int height) {
    if (file.size() != 54u + 4u * width * height) return ::testing::AssertionFailure() << "size " << file.size();
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &file[54 + (static_cast<size_t>(row) * width + x) * 4];
            const COLORREF want = patternColour(x, height - 1 - row);
            if (p[0] != GetBValue(want) || p[1] != GetGValue(want) || p[2] != GetRValue(want) || p[3] != 0)
                return ::testing::AssertionFailure() << "file row " << row << " x " << x;
        }
    return ::testing::AssertionSuccess();
}
