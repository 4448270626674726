// Frame layout: bottom-up rows padded with zeros, and the file sizes the ceiling uses.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/pixel_rows.h"
#include "output/avi_writer.h"

namespace {

TEST(AviFrames, RowsAreFlippedAndPaddedWithZeros) {
    // A 5 x 3 top-down source with a wide stride whose spare bytes are not zero, into
    // a frame buffer that starts dirty: only the pixels may come across.
    const int width = 5, height = 3, sourceStride = 20;
    const int frameStride = stride24(width);
    ASSERT_EQ(frameStride, 16);
    std::vector<BYTE> source(sourceStride * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int b = 0; b < 3 * width; ++b) source[y * sourceStride + b] = static_cast<BYTE>(y * 40 + b);
    std::vector<BYTE> frame(frameStride * height, 0xAA);

    flipRowsIntoFrame(source.data(), sourceStride, frame.data(), frameStride, width, height);

    for (int j = 0; j < height; ++j) {
        const int y = height - 1 - j;
        for (int b = 0; b < 3 * width; ++b) EXPECT_EQ(frame[j * frameStride + b], y * 40 + b) << j << "," << b;
        EXPECT_EQ(frame[j * frameStride + 15], 0) << "filler of row " << j;
    }
}

TEST(AviFrames, FrameSizesInTheFile) {
    // Chunk header, data padded to even, index entry.
    EXPECT_EQ(aviFrameFileBytes(923520), 923520 + 24);
    EXPECT_EQ(aviFrameFileBytes(923521), 923522 + 24);
    EXPECT_EQ(aviFrameFileBytes(0), 24);
}

}  // namespace
