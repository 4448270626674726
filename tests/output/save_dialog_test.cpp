// The manual save through the real save-file dialog, driven from a second thread as a
// user would: read what it shows, type a name, press Save (or Cancel).
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "output/bmp_export.h"
#include "output_fixture.h"

namespace {

struct DialogSeen {
    std::wstring title;
    std::wstring filter;  // the text of the file-type box
    std::wstring folder;  // the folder it opened in
};

// Finds this process's file dialog with the given caption, notes what it shows, then
// types `name` and presses Save, or presses Cancel when `name` is null.
class SaveDialogDriver {
public:
    // `fileType`: the file-type row to select first (0 leaves the one offered).
    SaveDialogDriver(const wchar_t* name, int fileType = 0)
        : name_(name ? name : L""), cancel_(!name), fileType_(fileType), worker_([this] { run(); }) {}
    ~SaveDialogDriver() { worker_.join(); }
    DialogSeen seen;
    std::atomic<bool> found{false};

private:
    void run() {
        HWND dialog = nullptr;
        for (int tries = 0; tries < 500 && !dialog; ++tries) {
            Sleep(20);
            for (HWND candidate : visibleDialogs()) {
                if (GetDlgItem(candidate, cmb1)) dialog = candidate;  // the file-type box
            }
        }
        if (!dialog) return;
        Sleep(100);  // let it fill its controls
        seen.title = windowText(dialog);
        seen.filter = windowText(GetDlgItem(dialog, cmb1));
        wchar_t folder[MAX_PATH] = L"";
        SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
        seen.folder = folder;
        found = true;
        if (cancel_) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        if (fileType_ > 0) {
            HWND types = GetDlgItem(dialog, cmb1);
            SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(fileType_ - 1), 0);
            // As a choice made with the mouse: the change, then its confirmation.
            for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, notification), reinterpret_cast<LPARAM>(types));
            }
        }
        HWND nameBox = GetDlgItem(dialog, cmb13);  // the file name combo of the explorer-style dialog
        if (!nameBox) nameBox = GetDlgItem(dialog, edt1);
        SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name_.c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        // A dialog that did not take the name is cancelled, so the test fails instead of hanging.
        for (int tries = 0; tries < 250 && IsWindow(dialog); ++tries) Sleep(20);
        if (IsWindow(dialog)) {
            accepted = false;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }

public:
    std::atomic<bool> accepted{true};

private:
    std::wstring name_;
    bool cancel_;
    int fileType_;
    std::thread worker_;
};

std::wstring wideFromAnsi(const std::string& text) {
    wchar_t wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH);
    return wide;
}

}  // namespace

class SaveDialogTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        strcpy(settings.SAVEPATH, folder.path.c_str());
        CreateDirectoryA((folder / "dir").c_str(), nullptr);
    }
    TempFolder folder;
};

TEST_F(SaveDialogTest, ShowsItsTextsAndRemembersTheChosenFolder) {
    // 表 ends in the byte 0x5C: the folder is cut at the real separator before it.
    const std::string chosen = folder / "dir\\表.bmp";
    {
        SaveDialogDriver driver(wideFromAnsi(chosen).c_str());
        saveToFile();
        ASSERT_TRUE(driver.found);
        EXPECT_TRUE(driver.accepted);
        EXPECT_EQ(driver.seen.title, wideFromShiftJis("ビットマップファイルを保存"));
        EXPECT_EQ(driver.seen.filter, wideFromShiftJis("ビットマップファイル（*.bmp）"));
        EXPECT_EQ(driver.seen.folder + L"\\", wideFromAnsi(folder.path));
    }
    EXPECT_TRUE(holdsPattern(readFileBytes(chosen), 640, 480));
    EXPECT_EQ(std::string(settings.SAVEPATH), folder / "dir\\");
    EXPECT_EQ(app.saveInProgress, 0);
    EXPECT_EQ(watcher.count(), 0u);

    // A name typed without the extension gets ".bmp", and the dialog opens where the last save went.
    {
        SaveDialogDriver driver(L"second");
        saveToFile();
        EXPECT_EQ(driver.seen.folder + L"\\", wideFromAnsi(folder / "dir\\"));
    }
    EXPECT_TRUE(exists(folder / "dir\\second.bmp"));
}

bool isPng(const std::vector<BYTE>& file) {
    return file.size() > 8 && memcmp(file.data(), "\x89PNG\r\n\x1A\n", 8) == 0;
}

TEST_F(SaveDialogTest, ThePngTypeIsTakenFromTheSelectedRowOrTheTypedExtension) {
    {
        SaveDialogDriver driver(L"picked", 2);  // PNG selected, no extension typed
        saveToFile();
    }
    EXPECT_TRUE(isPng(readFileBytes(folder / "picked.png")));
    {
        SaveDialogDriver driver(L"typed.PNG");  // BMP selected, PNG typed
        saveToFile();
    }
    EXPECT_TRUE(isPng(readFileBytes(folder / "typed.PNG")));
    {
        SaveDialogDriver driver(L"typed.bmp", 2);  // PNG selected, BMP typed
        saveToFile();
    }
    EXPECT_TRUE(holdsPattern(readFileBytes(folder / "typed.bmp"), 640, 480));
    // SAVE_TYPE's type is the one offered first.
    settings.SAVE_TYPE = 1;
    {
        SaveDialogDriver driver(L"offered");
        saveToFile();
        EXPECT_EQ(driver.seen.filter, wideFromShiftJis("PNGファイル（*.png）"));
        EXPECT_EQ(driver.seen.title, wideFromShiftJis("PNGファイルを保存"));
    }
    settings.SAVE_TYPE = 0;
    EXPECT_TRUE(isPng(readFileBytes(folder / "offered.png")));
    EXPECT_EQ(watcher.count(), 0u);
}

TEST_F(SaveDialogTest, CancellingChangesNothing) {
    SaveDialogDriver driver(nullptr);
    saveToFile();
    EXPECT_TRUE(driver.found);
    EXPECT_EQ(std::string(settings.SAVEPATH), folder.path);
    EXPECT_TRUE(entriesOf(folder / "dir\\").empty());
    EXPECT_EQ(app.saveInProgress, 0);
}

TEST_F(SaveDialogTest, ANameTheFileFunctionsCannotHoldIsRefused) {
    // Hangul has no form in the Japanese (or Western) ANSI code page.
    const std::wstring chosen = wideFromAnsi(folder / "dir\\") + L"\xD55C.bmp";
    {
        SaveDialogDriver driver(chosen.c_str());
        saveToFile();
    }
    EXPECT_TRUE(watcher.sawMessage("ファイル保存エラー"));
    EXPECT_TRUE(entriesOf(folder / "dir\\").empty());  // no "?.bmp" or look-alike either
    EXPECT_EQ(std::string(settings.SAVEPATH), folder.path);
    EXPECT_EQ(app.saveInProgress, 0);

    char ansi[MAX_PATH];
    EXPECT_FALSE(ansiPathFromWide(L"C:\\\xD55C.bmp", ansi, MAX_PATH));
    EXPECT_STREQ(ansi, "");
    EXPECT_FALSE(ansiPathFromWide((L"C:\\" + std::wstring(300, L'a')).c_str(), ansi, MAX_PATH));
}

TEST_F(SaveDialogTest, AWriteFailureStillRemembersTheFolderAndAMemoryFailureIsReported) {
    releaseSlots();  // no export slot: the save cannot build its image
    {
        SaveDialogDriver driver(wideFromAnsi(folder / "dir\\a.bmp").c_str());
        saveToFile();
    }
    EXPECT_TRUE(watcher.sawMessage("ファイル保存エラー", "保存用メモリの確保に失敗しました。"));
    EXPECT_EQ(std::string(settings.SAVEPATH), folder / "dir\\");
    EXPECT_FALSE(exists(folder / "dir\\a.bmp"));
}
