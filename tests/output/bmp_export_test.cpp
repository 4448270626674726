// The BMP writer and the numbered auto-save, with real GDI, real files and real
// message boxes (answered by the watcher).
#include <gtest/gtest.h>

#include <cstring>

#include "output/bmp_export.h"
#include "output_fixture.h"

namespace {

const char kWriteFailed[] = "ファイルの書き込みに失敗しました。";

// Lets the real file take `fullDiskQuota` bytes, then takes nothing more.
int fullDiskQuota = 0;
int fullDiskWrite(void* file, const BYTE* data, int size) {
    const int take = size < fullDiskQuota ? size : fullDiskQuota;
    if (take <= 0) return 0;
    fullDiskQuota -= take;
    return writeChunkToFile(file, data, take);
}

void setAutoSaveFolder(const std::string& folder) {
    ASSERT_LT(folder.size(), sizeof settings.AUTOSAVEPATH);
    strcpy(settings.AUTOSAVEPATH, folder.c_str());
}

void touch(const std::string& path) { ASSERT_TRUE(writeFileBytes(path, "x")) << path; }

}  // namespace

using BmpWriterTest = DisplayTest;

TEST_F(BmpWriterTest, WritesTheDisplayedResultBottomUp) {
    TempFolder folder;
    ASSERT_EQ(writeResultBmp((folder / "a.bmp").c_str()), BmpOutcome::Written);
    const std::vector<uint8_t> file = readFileBytes(folder / "a.bmp");
    EXPECT_TRUE(holdsPattern(file, 640, 480));
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[2] | file[3] << 8 | file[4] << 16, 1228854);

    // A small odd-sized result from the same desktop-wide slot.
    ResultRect = {0, 0, 7, 3};
    ASSERT_EQ(writeResultBmp((folder / "b.bmp").c_str()), BmpOutcome::Written);
    EXPECT_TRUE(holdsPattern(readFileBytes(folder / "b.bmp"), 7, 3));
}

TEST_F(BmpWriterTest, AFileThatCannotBeOpenedIsReportedWithoutOwner) {
    TempFolder folder;
    EXPECT_EQ(writeResultBmp((folder / "missing\\a.bmp").c_str()), BmpOutcome::NotOpened);
    EXPECT_TRUE(watcher.sawMessage("エラー", kWriteFailed));
    EXPECT_FALSE(exists(folder / "missing"));
}

TEST_F(BmpWriterTest, AFullDiskLeavesNoCutOffFileAndTellsTheUser) {
    TempFolder folder;
    const std::string path = folder / "full.bmp";
    fullDiskQuota = 700000;
    bmpFileWriter = fullDiskWrite;
    const BmpOutcome outcome = writeResultBmp(path.c_str());
    bmpFileWriter = writeChunkToFile;
    EXPECT_EQ(outcome, BmpOutcome::NotCompleted);
    EXPECT_EQ(fullDiskQuota, 0);  // the real file did take its 700,000 bytes first
    EXPECT_FALSE(exists(path));
    EXPECT_TRUE(watcher.sawMessage("エラー", kWriteFailed));
}

TEST_F(BmpWriterTest, AMissingExportSlotIsTheMemoryFailure) {
    TempFolder folder;
    releaseSlots();  // as after a failed start-up allocation
    EXPECT_EQ(writeResultBmp((folder / "a.bmp").c_str()), BmpOutcome::NoMemory);
    EXPECT_FALSE(exists(folder / "a.bmp"));

    setAutoSaveFolder(folder / "auto");
    autoSaveResult();
    EXPECT_TRUE(watcher.sawMessage("自動保存エラー", "保存用メモリの確保に失敗しました。"));
    EXPECT_FALSE(exists(folder / "auto\\ss0000.bmp"));
}

using AutoSaveTest = DisplayTest;

TEST_F(AutoSaveTest, MakesTheFolderAndFillsTheFirstGap) {
    TempFolder root;
    const std::string folder = root / "shots\\表";
    setAutoSaveFolder(folder);
    autoSaveResult();
    EXPECT_TRUE(holdsPattern(readFileBytes(folder + "\\ss0000.bmp"), 640, 480));
    EXPECT_EQ(currentDirectory(), folder);

    DeleteFileA((folder + "\\ss0000.bmp").c_str());
    touch(folder + "\\ss0002.bmp");
    touch(folder + "\\ss0000.bmp");
    autoSaveResult();
    EXPECT_TRUE(holdsPattern(readFileBytes(folder + "\\ss0001.bmp"), 640, 480));
    EXPECT_EQ(readFileBytes(folder + "\\ss0000.bmp").size(), 1u);
    EXPECT_EQ(readFileBytes(folder + "\\ss0002.bmp").size(), 1u);
    EXPECT_EQ(app.saveInProgress, 0);
}

TEST_F(AutoSaveTest, AllTenThousandNamesTakenShowsTheMessageAndTouchesNothing) {
    TempFolder root;
    setAutoSaveFolder(root / "full");
    CreateDirectoryA((root / "full").c_str(), nullptr);
    char name[MAX_PATH];
    for (int i = 0; i <= 9999; ++i) {
        snprintf(name, sizeof name, "%sfull\\ss%04d.bmp", root.path.c_str(), i);
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        CloseHandle(file);
    }
    autoSaveResult();
    EXPECT_TRUE(watcher.sawMessage("自動保存エラー", "スクリーンショットが一杯です。"));
    EXPECT_EQ(watcher.count(), 1u);
    EXPECT_EQ(readFileBytes(root / "full\\ss9999.bmp").size(), 0u);
    EXPECT_FALSE(exists(root / "full\\ss10000.bmp"));
    EXPECT_EQ(app.saveInProgress, 0);
}

TEST_F(AutoSaveTest, AFolderOf229BytesSavesAndOneOf230SavesNothing) {
    TempFolder root;
    for (int length : {229, 230}) {
        // root + "L<length>" padded with folder levels of 'a's to exactly `length` bytes
        std::string folder = root.path + "L" + std::to_string(length);
        while (static_cast<int>(folder.size()) < length) {
            const int left = length - static_cast<int>(folder.size());
            folder += left > 60 ? "\\" + std::string(58, 'a') : "\\" + std::string(static_cast<size_t>(left - 1), 'b');
        }
        ASSERT_EQ(static_cast<int>(folder.size()), length);
        setAutoSaveFolder(folder);
        autoSaveResult();
        EXPECT_EQ(exists(folder + "\\ss0000.bmp"), length == 229) << length;
        EXPECT_EQ(exists(root.path + "L" + std::to_string(length)), length == 229) << "folder made for " << length;
        EXPECT_EQ(watcher.count(), 0u);
    }
}

TEST_F(AutoSaveTest, AFolderWithoutARootSavesNothingAndSaysSo) {
    TempFolder root;
    SetCurrentDirectoryA(root.path.c_str());
    for (const char* folder : {"", "relative", "\\noDrive", "C:relative"}) {
        setAutoSaveFolder(folder);
        autoSaveResult();
        EXPECT_TRUE(watcher.sawMessage("自動保存エラー")) << folder;
    }
    // Nothing was scattered into the current directory.
    EXPECT_TRUE(entriesOf(root.path).empty());
}

TEST_F(AutoSaveTest, NoResultYetMakesTheFolderButSavesNothingSilently) {
    TempFolder root;
    setAutoSaveFolder(root / "empty");
    ResultRect = {0, 0, 1, 1};
    autoSaveResult();
    EXPECT_TRUE(exists(root / "empty"));
    EXPECT_FALSE(exists(root / "empty\\ss0000.bmp"));
    setAutoSaveFolder("relative");
    autoSaveResult();
    EXPECT_EQ(watcher.count(), 0u) << "nothing to save: nothing to tell, whatever the folder";
}

TEST_F(AutoSaveTest, TheManualSaveRefusesWhileBusyAndWithoutAResult) {
    app.captureBusy = 1;
    saveToFile();
    EXPECT_TRUE(watcher.sawMessage("ファイル保存エラー",
                                   "スクリーンショット中は保存出来ません。\nスクリーンショットが終了してから保存して下さい。"));
    app.captureBusy = 0;
    ResultRect = {0, 0, 1, 1};
    saveToFile();
    EXPECT_TRUE(watcher.sawMessage("ファイル保存エラー", "保存するデータがありません"));
    EXPECT_EQ(app.saveInProgress, 0);
}

// Writes files for tests/e2e/test_bmp_readers.sh, which has independent readers check them.
TEST_F(BmpWriterTest, WritesFilesForTheIndependentReaders) {
    const char* out = getenv("KESTRIN_BMP_OUT");
    if (!out) GTEST_SKIP() << "run by the readers' script";
    ASSERT_EQ(writeResultBmp((std::string(out) + "\\pattern640x480.bmp").c_str()), BmpOutcome::Written);
    ResultRect = {0, 0, 7, 3};
    ASSERT_EQ(writeResultBmp((std::string(out) + "\\pattern7x3.bmp").c_str()), BmpOutcome::Written);
}
