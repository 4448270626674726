// The sample store against a real file mapping: its path, growth, the disk room it keeps
// ahead of every sample, the pages it prepares while the loop waits, and its move into
// the paging file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "engine/capture.h"
#include "engine/sample_store.h"

namespace {

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
    ASSERT_NE(store.storeView, nullptr);
    EXPECT_EQ(store.mappedSize, 100);
    // 2 x 2 samples are 12 bytes, rows of 6 bytes with no padding.
    EXPECT_EQ(sampleBytes(2, 2), 12);
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 2 * 2 * 3 * 5);
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 5));
    EXPECT_EQ(store.mappedSize, 60) << "exactly w*h*N*3 is enough";
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 2 * 2 * 3 * 5 - 1);
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 5));
    EXPECT_EQ(store.mappedSize, 72) << "one byte short grows to w*h*(N+1)*3";
    EXPECT_TRUE(ensureStoreCapacity(2, 2, 3));
    EXPECT_EQ(store.mappedSize, 72) << "never shrinks";
}

TEST_F(StoreTest, RefusesSizesPastTwoGigabytesAndKeepsTheOldStore) {
    BYTE* view = store.storeView;
    EXPECT_FALSE(ensureStoreCapacity(1024, 768, 910));  // 1024*768*3*911 >= 2^31
    EXPECT_EQ(store.storeView, view);
    EXPECT_EQ(store.mappedSize, 100);
    EXPECT_TRUE(ensureStoreCapacity(1024, 768, 909 - 1));  // just below the limit
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
    EXPECT_FALSE(nextSampleSpan(30000, 1000, 1000, 2147483647, 0, &from, &to)) << "no overflow into range";
}

TEST_F(StoreTest, PreparingChangesNoByteAndStopsAtTheNextSamplesEnd) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 200000);
    ASSERT_NE(store.storeView, nullptr);
    ASSERT_TRUE(reserveStoreBytes(store.mappedSize, store.mappedSize));  // samples only go where room is kept
    for (int i = 0; i < store.mappedSize; ++i) store.storeView[i] = static_cast<BYTE>(i * 7 + (i >> 9));
    const std::vector<BYTE> before(store.storeView, store.storeView + store.mappedSize);
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
    EXPECT_TRUE(std::equal(before.begin(), before.end(), store.storeView)) << "the bytes stay as they were";

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
    ASSERT_NE(store.storeView, nullptr);
    EXPECT_EQ(store.reservedBytes, 0);

    ASSERT_TRUE(reserveStoreBytes(100000, 1 << 20));
    EXPECT_EQ(store.reservedBytes, 100000);
    EXPECT_GE(allocatedBytes(store.storeFile), 100000) << "the disk holds the room, not just the file size";
    store.storeView[99999] = 42;  // a sample's last byte

    ASSERT_TRUE(reserveStoreBytes(300000, 65536)) << "a budget takes part of it per call";
    EXPECT_EQ(store.reservedBytes, 165536);
    ASSERT_TRUE(reserveStoreBytes(300000, 1 << 20));
    EXPECT_EQ(store.reservedBytes, 300000);
    EXPECT_EQ(store.storeView[99999], 42) << "reserving further never covers a sample";
    ASSERT_TRUE(reserveStoreBytes(5, 0)) << "room already kept needs nothing";
    EXPECT_EQ(store.reservedBytes, 300000);
}

TEST_F(StoreTest, AStoreMovedOutOfItsFileKeepsEverySampleAndTheFileIsGone) {
    releaseSampleStore();
    createSampleStore("Z:\\tmp", 300000);
    ASSERT_NE(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(reserveStoreBytes(200000, 200000));
    for (int i = 0; i < 200000; ++i) store.storeView[i] = static_cast<BYTE>(i * 13 + (i >> 8));

    ASSERT_TRUE(moveStoreToPagingFile());
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileAttributesA("Z:\\tmp\\tmp.map"), INVALID_FILE_ATTRIBUTES) << "the file deletes itself";
    EXPECT_EQ(store.mappedSize, 300000);
    for (int i = 0; i < 200000; ++i) ASSERT_EQ(store.storeView[i], static_cast<BYTE>(i * 13 + (i >> 8))) << i;
    store.storeView[299999] = 1;  // the whole view is writable

    EXPECT_TRUE(reserveStoreBytes(300000, 0)) << "the paging file needs no room kept";
    EXPECT_FALSE(moveStoreToPagingFile()) << "already there";
    EXPECT_TRUE(ensureStoreCapacity(100, 100, 20)) << "and it still grows";
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
    EXPECT_EQ(store.mappedSize, 1500);
    store.storeView[1499] = 7;  // the whole view is writable
    releaseSampleStore();
}

TEST(SampleStore, WorksInThePagingFileWhenTheFolderIsUnusable) {
    const std::string tooLong(300, 'x');
    createSampleStore(tooLong.c_str(), 4096);
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    ASSERT_NE(store.storeView, nullptr);
    store.storeView[4095] = 7;  // the whole view is writable
    releaseSampleStore();
    createSampleStore("Z:\\no\\such\\folder", 4096);
    EXPECT_EQ(store.storeFile, INVALID_HANDLE_VALUE);
    EXPECT_NE(store.storeView, nullptr);
    releaseSampleStore();
}

}  // namespace
