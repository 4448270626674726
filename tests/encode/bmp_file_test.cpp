// The BMP layout and the chunked writer, in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "encode/bmp_file.h"

namespace {

unsigned int read32(const std::vector<BYTE>& file, size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<unsigned int>(file[at + 3]) << 24;
}
unsigned int read16(const std::vector<BYTE>& file, size_t at) { return file[at] | file[at + 1] << 8; }

// A writer that records each chunk and, past a quota, stops taking bytes (a full disk);
// `perCall` limits how much one call takes (a disk that takes bytes slowly).
struct RecordingSink {
    std::vector<int> chunks;
    std::vector<BYTE> bytes;
    int quota = 1 << 30;
    int perCall = 1 << 30;
    int calls = 0;
};

int recordChunk(void* sinkPointer, const BYTE* data, int size) {
    RecordingSink& sink = *static_cast<RecordingSink*>(sinkPointer);
    ++sink.calls;
    sink.chunks.push_back(size);
    int take = size < sink.perCall ? size : sink.perCall;
    const int room = sink.quota - static_cast<int>(sink.bytes.size());
    if (take > room) take = room;
    sink.bytes.insert(sink.bytes.end(), data, data + take);
    return take;
}

// The whole file in one buffer, as one range.
void buildBmpFile(BYTE* file, const BYTE* topDownRows, int stride, int width, int height) {
    buildBmpRange(file, 0, bmpFileSize(width, height), topDownRows, stride, width, height);
}

}  // namespace

TEST(BmpFile, HeadersOfA640By480ResultAndItsThreeWrites) {
    const int width = 640, height = 480;
    ASSERT_EQ(bmpFileSize(width, height), 1228854);
    std::vector<BYTE> pixels(4u * width * height, 0x11);
    std::vector<BYTE> file(static_cast<size_t>(bmpFileSize(width, height)), 0xEE);
    buildBmpFile(file.data(), pixels.data(), 4 * width, width, height);

    const BYTE expected[54] = {
        'B', 'M', 0x36, 0xC0, 0x12, 0x00, 0, 0, 0, 0, 54, 0, 0, 0,     // file header
        40, 0, 0, 0, 0x80, 0x02, 0, 0, 0xE0, 0x01, 0, 0, 1, 0, 32, 0,  // size, width, height, planes, bits
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(file.begin(), file.begin() + 54), std::vector<BYTE>(expected, expected + 54));
    EXPECT_EQ(read32(file, 2), 1228854u);
    EXPECT_EQ(read32(file, 18), 640u);
    EXPECT_EQ(read32(file, 22), 480u);  // positive: bottom-up
    EXPECT_EQ(read16(file, 28), 32u);

    RecordingSink sink;
    std::vector<BYTE> chunkBuffer(kBmpChunkSize);
    EXPECT_EQ(writeBmpInChunks(chunkBuffer.data(), pixels.data(), 4 * width, width, height, recordChunk, &sink),
              1228854);
    EXPECT_EQ(sink.chunks, (std::vector<int>{500000, 500000, 228854}));
    EXPECT_EQ(sink.bytes, file);
}

TEST(BmpFile, RowsGoBottomUpAndOnlyTheResultRegionOfTheSlotIsTaken) {
    // A 3 x 2 result in the top-left of a 5-pixel-wide slot: stride 20, not 12.
    const int slotWidth = 5, width = 3, height = 2;
    std::vector<BYTE> slot(4u * slotWidth * 3, 0x77);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = &slot[static_cast<size_t>(y * slotWidth + x) * 4];
            p[0] = static_cast<BYTE>(10 * y + x);  // blue
            p[1] = static_cast<BYTE>(100 + y);     // green
            p[2] = static_cast<BYTE>(200 + x);     // red
            p[3] = 0xAB;                           // whatever the blit left
        }
    std::vector<BYTE> file(static_cast<size_t>(bmpFileSize(width, height)));
    ASSERT_EQ(file.size(), 54u + 24u);
    buildBmpFile(file.data(), slot.data(), 4 * slotWidth, width, height);

    // The file's first row is the image's bottom row (y = 1), left column first.
    const BYTE rows[24] = {10, 101, 200, 0, 11, 101, 201, 0, 12, 101, 202, 0,
                           0,  100, 200, 0, 1,  100, 201, 0, 2,  100, 202, 0};
    EXPECT_EQ(std::vector<BYTE>(file.begin() + 54, file.end()), std::vector<BYTE>(rows, rows + 24));
}

TEST(BmpFile, SizesThatCannotBeCountedAreRefused) {
    EXPECT_EQ(bmpFileSize(1, 1), 58);
    EXPECT_EQ(bmpFileSize(0, 10), -1);
    EXPECT_EQ(bmpFileSize(10, -1), -1);
    EXPECT_EQ(bmpFileSize(23171, 23171), -1);  // 4 x w x h passes 2^31
    EXPECT_GT(bmpFileSize(16000, 16000), 0);
}

// A file assembled piece by piece, cut anywhere (inside the header, inside a pixel, at
// a row's end), is byte for byte the file built whole.
TEST(BmpFile, PiecesCutAnywhereMakeTheWholeFile) {
    const int width = 7, height = 5, stride = 4 * 9;  // source rows wider than the image
    std::vector<BYTE> source(static_cast<size_t>(stride) * height);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<BYTE>(i * 37 + 11);
    const int size = bmpFileSize(width, height);
    std::vector<BYTE> whole(size);
    buildBmpFile(whole.data(), source.data(), stride, width, height);
    EXPECT_EQ(whole[54 + 3], 0) << "the fourth byte is 0 whatever the source holds";

    for (int piece : {1, 2, 3, 5, 13, 28, 53, 54, 55, 97}) {
        std::vector<BYTE> pieces(size + 8, 0xEE);
        for (int at = 0; at < size; at += piece) buildBmpRange(pieces.data() + at, at, piece, source.data(), stride, width, height);
        EXPECT_TRUE(std::equal(whole.begin(), whole.end(), pieces.begin())) << "pieces of " << piece;
        EXPECT_EQ(pieces[size], 0xEE) << "nothing written past the file's end, pieces of " << piece;
    }

}

// A disk that takes part of each chunk gets the rest from where it stopped; one that
// fills up ends the write at the first call that takes nothing.
TEST(BmpFile, ChunkedAssemblyResumesAfterShortWritesAndStopsOnAFullDisk) {
    const int width = 640, height = 480;
    std::vector<BYTE> source(static_cast<size_t>(4) * width * height);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<BYTE>(i ^ (i >> 11));
    std::vector<BYTE> whole(bmpFileSize(width, height));
    buildBmpFile(whole.data(), source.data(), 4 * width, width, height);
    std::vector<BYTE> chunkBuffer(kBmpChunkSize);

    RecordingSink slow;
    slow.perCall = 300001;
    EXPECT_EQ(writeBmpInChunks(chunkBuffer.data(), source.data(), 4 * width, width, height, recordChunk, &slow),
              static_cast<int>(whole.size()));
    EXPECT_EQ(slow.bytes, whole);

    RecordingSink full;
    full.quota = 700000;
    EXPECT_EQ(writeBmpInChunks(chunkBuffer.data(), source.data(), 4 * width, width, height, recordChunk, &full), 700000);
    EXPECT_EQ(full.calls, 3) << "the first call that takes nothing ends it";
}
