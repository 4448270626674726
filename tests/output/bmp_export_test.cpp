// The BMP and PNG writers and the numbered auto-save, with real GDI, the real PNG
// encoder, real files and real message boxes (answered by the watcher).
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

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

bool isPng(const std::vector<uint8_t>& file) {
    return file.size() > 8 && memcmp(file.data(), "\x89PNG\r\n\x1A\n", 8) == 0;
}

void touch(const std::string& path) { ASSERT_TRUE(writeFileBytes(path, "x")) << path; }

}  // namespace

using BmpWriterTest = DisplayTest;

TEST_F(BmpWriterTest, WritesTheDisplayedResultBottomUp) {
    TempFolder folder;
    ASSERT_EQ(writeResultBmp((folder / "a.bmp").c_str()), SaveOutcome::Written);
    const std::vector<uint8_t> file = readFileBytes(folder / "a.bmp");
    EXPECT_TRUE(holdsPattern(file, 640, 480));
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[2] | file[3] << 8 | file[4] << 16, 1228854);

    // A small odd-sized result from the same desktop-wide slot.
    ResultRect = {0, 0, 7, 3};
    ASSERT_EQ(writeResultBmp((folder / "b.bmp").c_str()), SaveOutcome::Written);
    EXPECT_TRUE(holdsPattern(readFileBytes(folder / "b.bmp"), 7, 3));
}

TEST_F(BmpWriterTest, AFileThatCannotBeOpenedIsReportedWithoutOwner) {
    TempFolder folder;
    EXPECT_EQ(writeResultBmp((folder / "missing\\a.bmp").c_str()), SaveOutcome::NotOpened);
    EXPECT_TRUE(watcher.sawMessage("エラー", kWriteFailed));
    EXPECT_FALSE(exists(folder / "missing"));
}

// A save over a file the user chose to replace keeps that file when the new one cannot
// be written whole: neither is lost.
TEST_F(BmpWriterTest, AFullDiskLeavesNoCutOffFileAndTellsTheUser) {
    TempFolder folder;
    // The PNG of the pattern is far smaller than the BMP, but more than 1,000 bytes.
    for (const auto& [type, quota] : {std::pair(ImageType::Bmp, 700000), std::pair(ImageType::Png, 1000)}) {
        for (const char* held : {"", "the picture saved last week"}) {
            const std::string path = folder / (type == ImageType::Png ? "full.png" : "full.bmp");
            if (*held) {
                ASSERT_TRUE(writeFileBytes(path, held));
            }
            fullDiskQuota = quota;
            resultFileWriter = fullDiskWrite;
            const SaveOutcome outcome = writeResultImage(path.c_str(), type);
            resultFileWriter = writeChunkToFile;
            EXPECT_EQ(outcome, SaveOutcome::NotCompleted) << path;
            EXPECT_EQ(fullDiskQuota, 0) << path;  // the real file did take its bytes first
            EXPECT_EQ(exists(path), *held != 0);
            if (*held) {
                EXPECT_EQ(readFileBytes(path).size(), strlen(held)) << "the replaced file is intact";
            }
            EXPECT_TRUE(watcher.sawMessage("エラー", kWriteFailed));
            DeleteFileA(path.c_str());
            EXPECT_TRUE(entriesOf(folder.path).empty()) << "nothing of the new file is left";
        }
    }
    // A file beside which no new one can be made (its folder is too long for the name) is
    // never written in place: the save fails and the old file stays as it was.
    std::string deep = folder.path;
    deep.pop_back();
    deep += "\\" + std::string(247 - deep.size() - 1, 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
    const std::string held = deep + "\\a.bmp";
    ASSERT_TRUE(writeFileBytes(held, "the picture saved last week"));
    EXPECT_EQ(writeResultBmp(held.c_str()), SaveOutcome::NotOpened);
    EXPECT_EQ(readFileBytes(held).size(), strlen("the picture saved last week"));
    EXPECT_TRUE(watcher.sawMessage("エラー", kWriteFailed));
}

TEST_F(BmpWriterTest, WithoutCOMThePngIsNotMadeAndTheUserIsTold) {
    TempFolder folder;
    CoUninitialize();  // as if start-up had not initialised it: the writer must not do so itself
    EXPECT_EQ(writeResultPng((folder / "a.png").c_str()), SaveOutcome::NotEncoded);
    settings.SAVE_TYPE = 1;
    setAutoSaveFolder(folder / "auto");
    autoSaveResult();
    settings.SAVE_TYPE = 0;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_TRUE(watcher.sawMessage("自動保存エラー", "PNG形式の画像を作成出来ませんでした。"));
    EXPECT_FALSE(exists(folder / "a.png"));
    EXPECT_TRUE(entriesOf(folder / "auto\\").empty());
}

TEST_F(BmpWriterTest, AMissingExportSlotIsTheMemoryFailure) {
    TempFolder folder;
    releaseSlots();  // as after a failed start-up allocation
    EXPECT_EQ(writeResultBmp((folder / "a.bmp").c_str()), SaveOutcome::NoMemory);
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

    // Either type takes a number: a PNG goes after ss0002.bmp and ss0003.png, the next BMP after it.
    touch(folder + "\\ss0003.png");
    settings.SAVE_TYPE = 1;
    autoSaveResult();
    settings.SAVE_TYPE = 0;
    EXPECT_TRUE(isPng(readFileBytes(folder + "\\ss0004.png")));
    EXPECT_FALSE(exists(folder + "\\ss0004.bmp"));
    autoSaveResult();
    EXPECT_TRUE(holdsPattern(readFileBytes(folder + "\\ss0005.bmp"), 640, 480));
    EXPECT_EQ(watcher.count(), 0u);
}

TEST_F(AutoSaveTest, AllTenThousandNamesTakenShowsTheMessageAndTouchesNothing) {
    TempFolder root;
    const std::string full = folderOfTakenNames(root);
    setAutoSaveFolder(full);
    autoSaveResult();
    EXPECT_TRUE(watcher.sawMessage("自動保存エラー", "スクリーンショットが一杯です。"));
    EXPECT_EQ(watcher.count(), 1u);
    EXPECT_EQ(readFileBytes(full + "\\ss9999.bmp").size(), 0u);
    EXPECT_FALSE(exists(full + "\\ss10000.bmp"));
    EXPECT_EQ(app.saveInProgress, 0);
}

TEST_F(AutoSaveTest, AFolderOf229BytesSavesAndOneOf230SavesNothing) {
    TempFolder root;
    for (const auto& [type, length] : {std::pair(0, 229), std::pair(0, 230), std::pair(1, 229), std::pair(1, 230)}) {
        settings.SAVE_TYPE = type;
        // root + "L<length>" padded with folder levels of 'a's to exactly `length` bytes
        std::string folder = root.path + (type ? "P" : "L") + std::to_string(length);
        while (static_cast<int>(folder.size()) < length) {
            const int left = length - static_cast<int>(folder.size());
            folder += left > 60 ? "\\" + std::string(58, 'a') : "\\" + std::string(static_cast<size_t>(left - 1), 'b');
        }
        ASSERT_EQ(static_cast<int>(folder.size()), length);
        setAutoSaveFolder(folder);
        autoSaveResult();
        EXPECT_EQ(exists(folder + (type ? "\\ss0000.png" : "\\ss0000.bmp")), length == 229) << length;
        EXPECT_EQ(exists(root.path + (type ? "P" : "L") + std::to_string(length)), length == 229)
            << "folder made for " << length;
        EXPECT_EQ(watcher.count(), 0u);
    }
    settings.SAVE_TYPE = 0;
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
    const std::string out = getenv("KESTRIN_BMP_OUT") ? getenv("KESTRIN_BMP_OUT") : "";
    if (out.empty()) GTEST_SKIP() << "run by the readers' script";
    for (ImageType type : {ImageType::Bmp, ImageType::Png}) {
        const std::string extension = type == ImageType::Png ? ".png" : ".bmp";
        ResultRect = {0, 0, 640, 480};
        ASSERT_EQ(writeResultImage((out + ("\\pattern640x480" + extension)).c_str(), type), SaveOutcome::Written);
        ResultRect = {0, 0, 7, 3};
        ASSERT_EQ(writeResultImage((out + ("\\pattern7x3" + extension)).c_str(), type), SaveOutcome::Written);
    }
}
