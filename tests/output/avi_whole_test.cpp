// What decides whether a finished AVI file is kept: a file cut off by a full disk
// declares more than it holds and is removed.
#include <gtest/gtest.h>

#include <cstring>

#include "output/avi_writer.h"

namespace {

void riffHeader(BYTE* header, unsigned size) {
    memcpy(header, "RIFF", 4);
    header[4] = static_cast<BYTE>(size);
    header[5] = static_cast<BYTE>(size >> 8);
    header[6] = static_cast<BYTE>(size >> 16);
    header[7] = static_cast<BYTE>(size >> 24);
    memcpy(header + 8, "AVI ", 4);
}

TEST(AviWhole, KeepsFilesThatHoldTheirChunkAndRemovesCutOffOnes) {
    BYTE header[12];
    riffHeader(header, 0x480830);
    EXPECT_TRUE(aviHeaderIsWhole(header, 0x480830 + 8));
    EXPECT_TRUE(aviHeaderIsWhole(header, 0x480830 + 8 + 20));  // the library's trailing bytes
    EXPECT_FALSE(aviHeaderIsWhole(header, 0x480830 + 7));      // cut off by one byte
    EXPECT_FALSE(aviHeaderIsWhole(header, 2048));
    riffHeader(header, 0xFFFFFFFFu);  // a size beyond any file: no wrap-around
    EXPECT_FALSE(aviHeaderIsWhole(header, 0x7FFFFFFF));
}

TEST(AviWhole, RejectsEmptyAndForeignFiles) {
    BYTE header[12] = {};
    EXPECT_FALSE(aviHeaderIsWhole(header, 0));
    EXPECT_FALSE(aviHeaderIsWhole(header, -1));  // could not be read
    riffHeader(header, 4);
    memcpy(header + 8, "WAVE", 4);
    EXPECT_FALSE(aviHeaderIsWhole(header, 12));
    riffHeader(header, 4);
    EXPECT_TRUE(aviHeaderIsWhole(header, 12));
    riffHeader(header, 2);  // a chunk too short to hold its own form type
    EXPECT_FALSE(aviHeaderIsWhole(header, 12));
}

}  // namespace
