// The bitmap slots against real GDI: index rules, strides, and a failed allocation that
// no capture may touch.
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/pixel_rows.h"
#include "capture/slot_pool.h"
#include "support/display.h"

namespace {

class SlotPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        VirtualScreenRect = {0, 0, 8, 8};
        ASSERT_TRUE(setUpDisplay(nullptr));
        releaseSlots();
    }
    void TearDown() override {
        releaseSlots();
        releaseDisplay();
    }
};

TEST_F(SlotPoolTest, StridesArePaddedToFourBytes) {
    const int widths[] = {1, 2, 4, 1366, 1920};
    const int strides[] = {4, 8, 12, 4100, 5760};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(stride24(widths[i]), strides[i]) << "width " << widths[i];
    const int index = allocSlot24(1366, 2);
    ASSERT_GT(index, 0);
    EXPECT_EQ(SlotPool[index].stride, 4100);
    EXPECT_EQ(SlotPool[index].info->bmiHeader.biHeight, -2) << "slots are top-down";
    EXPECT_EQ(SlotPool[index].info->bmiHeader.biBitCount, 24);
}

TEST_F(SlotPoolTest, HandsOutOneToThreeAndNeverZero) {
    EXPECT_EQ(allocSlot24(0, 5), -1);
    EXPECT_EQ(allocSlot32(5, -1), -1);
    EXPECT_EQ(allocSlot24(8, 8), 1);
    EXPECT_EQ(allocSlot24(8, 8), 2);
    EXPECT_EQ(allocSlot32(8, 8), 3);
    EXPECT_EQ(allocSlot24(8, 8), -1) << "a fourth allocation fails";
    EXPECT_EQ(SlotPool[3].stride, 0);
    EXPECT_EQ(SlotPool[0].bits, nullptr);
    EXPECT_EQ(usableSlot(0), nullptr);
    releaseSlots();
    for (const BitmapSlot& slot : SlotPool) {
        EXPECT_EQ(slot.bits, nullptr);
        EXPECT_EQ(slot.bitmap, nullptr);
        EXPECT_EQ(slot.block, nullptr);
    }
    EXPECT_EQ(allocSlot24(8, 8), 1) << "after release the pool starts again at 1";
}

TEST_F(SlotPoolTest, FailedCreationLeavesItsIndexFree) {
    ASSERT_EQ(allocSlot24(8, 8), 1);
    const int failed = allocSlot24(200000, 200000);  // far more than any DIB section can hold
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(usableSlot(failed), nullptr) << "no capture may touch a failed slot";
    EXPECT_EQ(allocSlot24(8, 8), 2) << "the next allocation gets the same index";
}

}  // namespace
