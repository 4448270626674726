#include "ui/folder_dialog.h"

#include <shlobj.h>

#include <cstring>

#include "ui/options_dialog.h"
#include "ui_fixture.h"

namespace {

// The browser's caption line, kept into the wchar_t[256] the parameter points at.
BOOL CALLBACK keepBrowserTitle(HWND child, LPARAM out) {
    wchar_t piece[256] = L"";
    GetWindowTextW(child, piece, 256);
    if (wcsstr(piece, L"ＳＳ自動セーブフォルダ設定")) lstrcpynW(reinterpret_cast<wchar_t*>(out), piece, 256);
    return TRUE;
}

std::string trimmed(const char* path) {
    char buffer[MAX_PATH];
    lstrcpynA(buffer, path, MAX_PATH);
    removeTrailingSeparator(buffer);
    return buffer;
}

TEST(FolderPaths, OneTrailingSeparatorIsRemoved) {
    EXPECT_EQ(trimmed("C:\\out\\"), "C:\\out");
    EXPECT_EQ(trimmed("C:\\out\\\\"), "C:\\out\\");
    EXPECT_EQ(trimmed("C:\\out"), "C:\\out");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed("\\"), "");
    EXPECT_EQ(trimmed("Z:\\"), "Z:");
}

TEST(FolderPaths, DoubleByteCharactersAreNeverCutInHalf) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the Shift-JIS code page";
    // "ソ" is 83 5C: its second byte looks like a separator but is not one.
    EXPECT_EQ(trimmed("C:\\ソ"), "C:\\ソ");
    EXPECT_EQ(trimmed("C:\\ソ\\"), "C:\\ソ");
    // "亜" is 88 9F: a second byte that is itself a lead-byte value must not make
    // the real separator after it look like part of a character.
    EXPECT_EQ(trimmed("C:\\亜\\"), "C:\\亜");
}

TEST(FolderPaths, BrowserResultsWithoutAnAnsiPathKeepTheEdit) {
    char result[MAX_PATH];
    browseResultText("C:\\old", L"D:\\new", result);
    EXPECT_STREQ(result, "D:\\new");
    browseResultText("C:\\old", nullptr, result);  // cancelled, or no file-system path
    EXPECT_STREQ(result, "C:\\old");
    browseResultText("C:\\old", L"D:\\\x0416\x4E02\x0F40", result);  // no ANSI spelling
    EXPECT_STREQ(result, "C:\\old");
    std::wstring tooLong = L"D:\\" + std::wstring(300, L'a');
    browseResultText("C:\\old", tooLong.c_str(), result);
    EXPECT_STREQ(result, "C:\\old");
}

// The folder dialog is modal: the test thread sits in it while a second thread
// types and clicks as the user would.
class FolderDialogTest : public UiTest {
protected:
    HWND options = nullptr;
    void SetUp() override {
        UiTest::SetUp();
        writeIni("PATH", "AUTOSAVEPATH", "Z:\\ini\\ss");
        writeIni("PATH", "AVISAVEPATH", "Z:\\ini\\avi");
        writeIni("PATH", "TEMPPATH", "Z:\\ini\\tmp");
        loadSettings(false);
        ASSERT_TRUE(openOptionsDialog(nullptr));
        options = optionsDialog;
    }
    // Opens the folder dialog from the options dialog and runs `user` against it.
    void withFolderDialog(std::function<void(HWND)> user) {
        UserThread thread([&] {
            HWND folders = waitForWindow("各種フォルダ設定");
            if (!folders) return;  // the test fails on the fields below
            user(folders);
        });
        SendMessageW(options, WM_COMMAND, MAKEWPARAM(IDC_FOLDER_SETTINGS, BN_CLICKED), 0);
    }
    static void set(HWND folders, int id, const char* text) { SetDlgItemTextA(folders, id, text); }
    static void press(HWND window, int id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
};

TEST_F(FolderDialogTest, OkStoresTheTextsWithoutOneTrailingSeparator) {
    withFolderDialog([](HWND folders) {
        set(folders, IDC_AUTOSAVE_FOLDER, "Z:\\shots\\");
        set(folders, IDC_AVI_FOLDER, "Z:\\movies\\\\");
        set(folders, IDC_TEMP_FOLDER, "");
        holdForScreenshot(false);
        press(folders, IDOK);
    });
    EXPECT_STREQ(settings.AUTOSAVEPATH, "Z:\\shots");
    EXPECT_STREQ(settings.AVISAVEPATH, "Z:\\movies\\");
    EXPECT_STREQ(settings.TEMPPATH, "");
    EXPECT_EQ(iniValue("PATH", "AUTOSAVEPATH"), "Z:\\ini\\ss");  // not saved yet

    // The options dialog's Cancel drops them again.
    SendMessageW(options, WM_COMMAND, IDC_CANCEL_OPTIONS, 0);
    EXPECT_STREQ(settings.AUTOSAVEPATH, "Z:\\ini\\ss");
    EXPECT_STREQ(settings.AVISAVEPATH, "Z:\\ini\\avi");
    EXPECT_STREQ(settings.TEMPPATH, "Z:\\ini\\tmp");
}

TEST_F(FolderDialogTest, OkThenApplyWritesThemAndCancelChangesNothing) {
    withFolderDialog([](HWND folders) {
        set(folders, IDC_AUTOSAVE_FOLDER, "Z:\\cancelled");
        press(folders, IDCANCEL);
    });
    EXPECT_STREQ(settings.AUTOSAVEPATH, "Z:\\ini\\ss");
    withFolderDialog([](HWND folders) {
        EXPECT_EQ(itemTextA(folders, IDC_TEMP_FOLDER), "Z:\\ini\\tmp");
        set(folders, IDC_AUTOSAVE_FOLDER, "Z:\\applied\\ss");
        set(folders, IDC_TEMP_FOLDER, "Z:\\applied\\tmp\\");
        press(folders, IDOK);
    });
    SendMessageW(options, WM_COMMAND, IDC_APPLY, 0);
    EXPECT_EQ(iniValue("PATH", "AUTOSAVEPATH"), "Z:\\applied\\ss");
    EXPECT_EQ(iniValue("PATH", "AVISAVEPATH"), "Z:\\ini\\avi");
    EXPECT_EQ(iniValue("PATH", "TEMPPATH"), "Z:\\applied\\tmp");
}

TEST_F(FolderDialogTest, PathEndingInSoKeepsItsLastCharacter) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the Shift-JIS code page";
    withFolderDialog([](HWND folders) {
        set(folders, IDC_AVI_FOLDER, "Z:\\動画ソ");
        press(folders, IDOK);
    });
    EXPECT_STREQ(settings.AVISAVEPATH, "Z:\\動画ソ");
}

TEST_F(FolderDialogTest, TheBrowserOpensAtTheTypedFolderAndItsChoiceFillsTheEdit) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    removeTrailingSeparator(folder);
    std::string afterOpen, afterRoot, afterCancel, afterVirtual;
    std::wstring browserTitle;
    withFolderDialog([&](HWND folders) {
        // Opens the browser, lets `choose` select in it, presses `button` and gives the
        // edit's text once the browser has closed.
        auto browse = [&](const std::function<void(HWND)>& choose, int button) -> std::string {
            press(folders, IDC_AUTOSAVE_BROWSE);
            HWND browser = waitForOwnedDialog(folders);
            if (!browser) return "(no browser)";
            Sleep(300);  // let it select its starting folder
            choose(browser);
            press(browser, button);
            for (int wait = 0; wait < 500 && IsWindow(browser); ++wait) Sleep(20);
            Sleep(200);
            return itemTextA(folders, IDC_AUTOSAVE_FOLDER);
        };
        set(folders, IDC_AUTOSAVE_FOLDER, folder);
        // OK at once: what the browser had selected is the folder typed.
        afterOpen = browse(
            [&](HWND browser) {
                wchar_t text[256] = L"";
                EnumChildWindows(browser, keepBrowserTitle, reinterpret_cast<LPARAM>(text));
                browserTitle = text;
                holdForScreenshot(false);
            },
            IDOK);
        // A drive root: the browser gives "Z:\".
        afterRoot = browse(
            [](HWND browser) { SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"Z:\\")); },
            IDOK);
        // Cancelled: the edit keeps its text exactly.
        afterCancel = browse([](HWND) {}, IDCANCEL);
        // "My Computer" has no file-system path: the edit keeps its text.
        PIDLIST_ABSOLUTE computer = nullptr;
        SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
        afterVirtual = browse(
            [&](HWND browser) { SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer)); },
            IDOK);
        CoTaskMemFree(computer);
        press(folders, IDOK);
    });
    EXPECT_EQ(browserTitle, L"ＳＳ自動セーブフォルダ設定");
    EXPECT_EQ(afterOpen, folder);
    EXPECT_EQ(afterRoot, "Z:\\");
    EXPECT_EQ(afterCancel, "Z:\\");
    EXPECT_EQ(afterVirtual, "Z:\\");
    EXPECT_STREQ(settings.AUTOSAVEPATH, "Z:");
}

}  // namespace
