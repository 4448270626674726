// The sample store against a real file mapping: its path, growth, the disk room it keeps
// ahead of every sample, the pages it prepares while the loop waits, and its move into
// the paging file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "capture/capture.h"
#include "capture/sample_store.h"

namespace {

// The whole store, through one window (the tests' stores are smaller than a window).
BYTE* whole() { return storeBytes(0, store.capacity); }

TEST(SampleStorePath, MustFitThePathBuffer) {
    char path[MAX_PATH];
    EXPECT_TRUE(buildStorePath(path, "C:\\temp"));
    EXPECT_STREQ(path, "C:\\temp\\tmp.map");
    const std::string longest(MAX_PATH - 1 - 8, 'a');  // plus "\tmp.map" fills 259 bytes
    EXPECT_TRUE(buildStorePath(path, longest.c_str()));
    EXPECT_FALSE(buildStorePath(path, (longest + "a").c_str()));
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { createSampleStore("Z:\\tmp", 100); }
    void TearDown() override { releaseSampleStore(); }
};

TEST_F(StoreTest, GrowsOnlyWhenTooSmallAndThenWithOneSampleSpare) {
    ASSERT_NE(whole(), nullptr);
    EXPECT_EQ(store.capacity, 100);
    // 2 x 2 samples are 12 bytes, rows of 6 bytes with no padding.
    EXPECT_EQ(sampleBytes(2, 2), 12);
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 2 * 2 * 3 * 5);
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 5));
    EXPECT_EQ(store.capacity, 60) << "exactly w*h*N*3 is enough";
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 2 * 2 * 3 * 5 - 1);
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 5));
    EXPECT_EQ(store.capacity, 72) << "one byte short grows to w*h*(N+1)*3";
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 3));
    EXPECT_EQ(store.capacity, 72) << "never shrinks";
}

// A store far larger than a window, and past what 32 bits can count, is reached window
// by window: what was written through one window is read back through another.
TEST_F(StoreTest, AStoreLargerThanTheAddressSpaceIsReachedThroughWindows) {
    const long long usual = storeWindowBytes;
    storeWindowBytes = 64 * 1024;
    ASSERT_TRUE(ensureStoreCapacity(1024, 768, 1400)) << "3.3 GB of samples";
    EXPECT_EQ(store.capacity, sampleBytes(1024, 768) * 1401);
    const long long last = sampleBytes(1024, 768) * 1399;
    BYTE* first = storeBytes(0, 16);
    ASSERT_NE(first, nullptr);
    memcpy(first, "first sample....", 16);
    BYTE* lastOne = storeBytes(last + 5, 16);
    ASSERT_NE(lastOne, nullptr);
    EXPECT_GT(store.windowOffset, 0x7FFFFFFFLL) << "the window moved past 2 GiB";
    EXPECT_LE(store.windowBytes, 2 * storeWindowBytes);
    memcpy(lastOne, "last sample.....", 16);
    EXPECT_EQ(memcmp(storeBytes(0, 16), "first sample....", 16), 0);
    EXPECT_EQ(memcmp(storeBytes(last + 5, 16), "last sample.....", 16), 0);
    EXPECT_EQ(storeBytes(store.capacity - 4, 5), nullptr) << "nothing past the end";
    EXPECT_NE(storeBytes(store.capacity - 5, 5), nullptr);
    storeWindowBytes = usual;
}

// --- Preparing the next sample's pages while the loop waits -------------------------

TEST(NextSampleSpan, CoversOnlyTheNextSampleAndWhatIsNotPreparedYet) {
    long long from = -1, to = -1;
    EXPECT_FALSE(nextSampleSpan(1, 10, 10, 100000, 0, &from, &to)) << "sample 1 fixes the rectangle first";
    EXPECT_FALSE(nextSampleSpan(3, 0, 10, 100000, 0, &from, &to));
    ASSERT_TRUE(nextSampleSpan(3, 10, 10, 100000, 0, &from, &to));
    EXPECT_EQ(from, 600);
    EXPECT_EQ(to, 900);
    ASSERT_TRUE(nextSampleSpan(3, 10, 10, 100000, 700, &from, &to));
    EXPECT_EQ(from, 700);
    EXPECT_FALSE(nextSampleSpan(3, 10, 10, 100000, 900, &from, &to));
    EXPECT_TRUE(nextSampleSpan(3, 10, 10, 900, 0, &from, &to)) << "a sample that just fits";
    EXPECT_FALSE(nextSampleSpan(3, 10, 10, 899, 0, &from, &to)) << "never past the mapping";
    EXPECT_FALSE(nextSampleSpan(30000, 1000, 1000, 2147483647, 0, &from, &to)) << "past the store";
}

TEST_F(StoreTest, PreparingChangesNoByteAndStopsAtTheNextSamplesEnd) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 200000);
    ASSERT_NE(whole(), nullptr);
    ASSERT_TRUE(reserveStoreBytes(store.capacity, store.capacity));  // samples only go where room is kept
    for (int i = 0; i < store.capacity; ++i) whole()[i] = static_cast<BYTE>(i * 7 + (i >> 9));
    const std::vector<BYTE> before(whole(), whole() + store.capacity);
    app = AppState();
    settings = Settings();
    settings.S_FPS = 5;  // N = 5
    CaptureRect = {0, 0, 100, 100};  // samples of 30,000 bytes

    EXPECT_FALSE(prepareNextSample(1)) << "idle: nothing to prepare";
    app.captureBusy = 1;
    app.sampleCounter = 3;  // bytes 60,000 to 90,000: one page prepared per call
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const int pages = static_cast<int>(89999 / system.dwPageSize - 60000 / system.dwPageSize + 1);
    int calls = 1;
    while (prepareNextSample(1)) ASSERT_LT(++calls, 100);
    EXPECT_EQ(calls, pages) << "one call per page the sample touches, the last one included";
    EXPECT_EQ(store.preparedBytes, 90000);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), whole())) << "the bytes stay as they were";

    app.sampleCounter = 6;  // all five samples are in: the next step composites
    EXPECT_FALSE(prepareNextSample(64));
    EXPECT_EQ(store.preparedBytes, 90000);

    app.aviOnlyMode = 1;  // AVI_TIME x AVI_FPS samples: the stored rate applies
    EXPECT_TRUE(prepareNextSample(1));
    EXPECT_GT(store.preparedBytes, 150000);

    EXPECT_TRUE(ensureStoreCapacity(100, 100, 10));
    EXPECT_EQ(store.preparedBytes, 0) << "a new mapping starts unprepared";
    app = AppState();
    settings = Settings();
}

long long allocatedBytes(HANDLE file) {
    FILE_STANDARD_INFO info;
    return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) ? info.AllocationSize.QuadPart
                                                                                     : -1;
}

TEST_F(StoreTest, TheFileHasItsRoomBeforeAnySampleIsWrittenAndKeepsWhatLiesBelow) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 400000);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_NE(whole(), nullptr);
    EXPECT_EQ(store.reservedBytes, 0);

    ASSERT_TRUE(reserveStoreBytes(100000, 1 << 20));
    EXPECT_EQ(store.reservedBytes, 100000);
    EXPECT_GE(allocatedBytes(store.storeFile), 100000) << "the disk holds the room, not just the file size";
    whole()[99999] = 42;  // a sample's last byte

    ASSERT_TRUE(reserveStoreBytes(300000, 65536)) << "a budget takes part of it per call";
    EXPECT_EQ(store.reservedBytes, 165536);
    ASSERT_TRUE(reserveStoreBytes(300000, 1 << 20));
    EXPECT_EQ(store.reservedBytes, 300000);
    EXPECT_EQ(whole()[99999], 42) << "reserving further never covers a sample";
    ASSERT_TRUE(reserveStoreBytes(5, 0)) << "room already kept needs nothing";
    EXPECT_EQ(store.reservedBytes, 300000);
}

TEST_F(StoreTest, AStoreMovedOutOfItsFileKeepsEverySampleAndTheFileIsGone) {
    const long long usual = storeWindowBytes;
    storeWindowBytes = 64 * 1024;  // the move copies window by window
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 300000);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(reserveStoreBytes(200000, 200000));
    for (int i = 0; i < 200000; ++i) *storeBytes(i, 1) = static_cast<BYTE>(i * 13 + (i >> 8));

    ASSERT_TRUE(moveStoreToPagingFile());
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileAttributesA("Z:\\tmp\\tmp.map"), INVALID_FILE_ATTRIBUTES) << "the file deletes itself";
    EXPECT_EQ(store.capacity, 300000);
    for (int i = 0; i < 200000; ++i) ASSERT_EQ(*storeBytes(i, 1), static_cast<BYTE>(i * 13 + (i >> 8))) << i;
    *storeBytes(299999, 1) = 1;  // the whole store is writable
    storeWindowBytes = usual;

    EXPECT_TRUE(reserveStoreBytes(300000, 0)) << "the paging file needs no room kept";
    EXPECT_FALSE(moveStoreToPagingFile()) << "already there";
    // The next capture finds room on the disk again: the store goes back into a file.
    EXPECT_TRUE(ensureStoreCapacity(100, 100, 20));
    EXPECT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_NE(GetFileAttributesA("Z:\\tmp\\tmp.map"), INVALID_FILE_ATTRIBUTES);
}

// A size the disk cannot hold is refused and changes nothing: the same store, in the same
// file, takes the next size that fits. A store grows in its file keeping its samples, and
// after the capture gives the disk the room back.
TEST_F(StoreTest, ARefusedSizeKeepsTheStoreAndAGrownOneGivesTheRoomBack) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 100000);
    const HANDLE file = store.storeFile;
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ensureStoreCapacity(1 << 20, 1 << 10, 1 << 20)) << "petabytes";
    EXPECT_EQ(store.storeFile, file);
    EXPECT_EQ(store.capacity, 100000);
    ASSERT_TRUE(reserveStoreBytes(100000, 100000));
    for (int i = 0; i < 100000; ++i) *storeBytes(i, 1) = static_cast<BYTE>(i * 11 + (i >> 8));

    ASSERT_TRUE(growStore(300000));
    EXPECT_EQ(store.storeFile, file);
    EXPECT_EQ(store.capacity, 300000);
    EXPECT_FALSE(growStore(1LL << 55));
    EXPECT_EQ(store.capacity, 300000);
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(*storeBytes(i, 1), static_cast<BYTE>(i * 11 + (i >> 8))) << i;

    shrinkStoreToStartupSize();
    EXPECT_EQ(store.capacity, 100000);
    LARGE_INTEGER size = {};
    GetFileSizeEx(store.storeFile, &size);
    EXPECT_EQ(size.QuadPart, 100000) << "the file gives the disk the room back";
    EXPECT_TRUE(ensureStoreCapacity(100, 100, 20)) << "a size that fits is taken, in the same file";
    EXPECT_EQ(store.storeFile, file);
}

// A file that cannot be mapped (on Windows: one whose disk is full, which the mapping
// would have to grow) is given up for the paging file, at start-up as at a capture,
// instead of being retried and refused at every capture.
TEST(SampleStore, AFileThatCannotBeMappedLeavesTheStoreInThePagingFile) {
    createSampleStore("Z:\\tmp", 0);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    CloseHandle(store.storeFile);
    // A folder's handle stands in for such a file: nothing can map it.
    store.storeFile = CreateFileA("Z:\\tmp", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(ensureStoreCapacity(10, 10, 4));
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(store.capacity, 1500);
    whole()[1499] = 7;  // the whole store is writable
    releaseSampleStore();
}

TEST(SampleStore, WorksInThePagingFileWhenTheFolderIsUnusable) {
    const std::string tooLong(300, 'x');
    createSampleStore(tooLong.c_str(), 4096);
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_NE(whole(), nullptr);
    whole()[4095] = 7;  // the whole store is writable
    releaseSampleStore();
    createSampleStore("Z:\\no\\such\\folder", 4096);
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_NE(whole(), nullptr);
    releaseSampleStore();
}

}  // namespace
