#include "ui/options_dialog.h"

#include <cstdlib>
#include <vector>

#include "core/texts.h"
#include "hook/hook_api.h"
#include "support/dialog_watcher.h"
#include "support/gdi_objects.h"
#include "ui/decay_curve.h"
#include "ui/fit_text.h"
#include "ui/key_table.h"
#include "ui_fixture.h"

namespace {

class OptionsDialogTest : public UiTest {
protected:
    HWND open() {
        EXPECT_TRUE(openOptionsDialog(nullptr));
        pumpFor(20);
        return optionsDialog;
    }
    void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    int trackbar(HWND dialog) {
        return static_cast<int>(SendDlgItemMessageW(dialog, IDC_DECAY_TRACKBAR, TBM_GETPOS, 0, 0));
    }
    void selectKey(HWND dialog, int combo, int code) {
        const std::wstring name = wideFromShiftJis(keyName(code));
        SendDlgItemMessageW(dialog, combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    }
    // How far the widest name of a key box falls short of the room its selected text has
    // (the item's frame less the inset the text is drawn at): negative when one is cut.
    int spareRoom(HWND box) {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetComboBoxInfo(box, &info));
        HDC dc = GetDC(box);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
        int widest = 0;
        for (LRESULT row = 0; row < SendMessageW(box, CB_GETCOUNT, 0, 0); ++row) {
            wchar_t name[64] = L"";
            const int length = static_cast<int>(SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name)));
            SIZE extent = {};
            GetTextExtentPoint32W(dc, name, length, &extent);
            if (extent.cx > widest) widest = extent.cx;
        }
        SelectObject(dc, previous);
        ReleaseDC(box, dc);
        return info.rcItem.right - info.rcItem.left - 3 - widest;
    }
    std::wstring label(HWND dialog) { return itemTextW(dialog, IDC_MEMORY_LABEL); }
};

TEST_F(OptionsDialogTest, OpensWithTheRecordAndOnTop) {
    writeIni("OPTION", "REDUCE_PER", "0.29");
    writeIni("OPTION", "SS_ACTIVE", "0");
    writeIni("OPTION", "EMPHASIS_ON", "0");
    writeIni("AVIMODE_OPTION", "KEY_CODE2", "38");  // up arrow
    loadSettings(false);
    HWND dialog = open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(app.optionsOpen, 1);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    wchar_t caption[64] = L"";
    GetWindowTextW(dialog, caption, 64);
    EXPECT_EQ(std::wstring(caption), L"オプション");

    // The text's change handler, run while opening, leaves the trackbar at the
    // rounded text although the stored float truncates to 28.
    EXPECT_EQ(itemTextA(dialog, IDC_DECAY_TEXT), "0.29");
    EXPECT_EQ(trackbar(dialog), 29);
    EXPECT_EQ(itemTextA(dialog, IDC_SHUTTER_TIME), "1.00");
    EXPECT_EQ(itemTextA(dialog, IDC_SAMPLE_RATE), "15");
    EXPECT_EQ(itemTextA(dialog, IDC_AVI_TIME), "60");
    EXPECT_EQ(itemTextA(dialog, IDC_EMPHASIS_LEVEL), "100");

    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_START_KEY, CB_GETCOUNT, 0, 0), KeyTable::kCount);
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SHOT_KEY, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_START_KEY, CB_GETCURSEL, 0, 0), 25);
    wchar_t name[16] = L"";
    SendDlgItemMessageW(dialog, IDC_START_KEY, CB_GETLBTEXT, 25, reinterpret_cast<LPARAM>(name));
    EXPECT_EQ(std::wstring(name), L"↑");  // the Shift-JIS arrow reads right as Unicode

    // Dependent controls follow their check boxes.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CAPTURE_CLIENT)));
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_CAPTURE_CLIENT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_EMPHASIS_LEVEL)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_EMPHASIS_SPIN)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_AVI_OUT)));
    click(dialog, IDC_EMPHASIS_ON);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EMPHASIS_LEVEL)));
    click(dialog, IDC_CAPTURE_ACTIVE);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CAPTURE_CLIENT)));

    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_RETRO_KEY, CB_GETCURSEL, 0, 0), 1);  // ScrollLock
    for (int box : {IDC_SHOT_KEY, IDC_START_KEY, IDC_STOP_KEY, IDC_RETRO_KEY, IDC_REGION_KEY}) {
        EXPECT_GE(spareRoom(GetDlgItem(dialog, box)), 0) << "a name is cut in key box " << box;
    }
    // A box too narrow for the font the system gives is widened.
    HWND region = GetDlgItem(dialog, IDC_REGION_KEY);
    SetWindowPos(region, nullptr, 0, 0, 40, 200, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_LT(spareRoom(region), 0);
    widenComboToItems(region);
    EXPECT_GE(spareRoom(region), 0);
    holdForScreenshot(true);

    // No region key is set: its box says so, and Apply keeps it unset; Pause comes next.
    EXPECT_EQ(itemTextW(dialog, IDC_REGION_KEY), L"なし");
    click(dialog, IDC_APPLY);
    EXPECT_EQ(settings.KEY_CODE5, 0);
    EXPECT_EQ(iniValue("OPTION", "KEY_CODE5"), "0");
    dialog = open();
    SendDlgItemMessageW(dialog, IDC_REGION_KEY, CB_SETCURSEL, 1, 0);
    click(dialog, IDC_APPLY);
    EXPECT_EQ(settings.KEY_CODE5, VK_PAUSE);
}

TEST_F(OptionsDialogTest, MemoryLabelCountsThreeBytesOnOpeningAndFourAfterAnEdit) {
    HWND dialog = open();
    EXPECT_EQ(label(dialog), L"約 13 ");
    typeInto(dialog, IDC_SAMPLE_RATE, "15");
    EXPECT_EQ(label(dialog), L"約 17 ");
    typeInto(dialog, IDC_SHUTTER_TIME, "abc");  // counts as the least time, 0.1 s
    EXPECT_EQ(label(dialog), L"約 1 ");
    typeInto(dialog, IDC_SHUTTER_TIME, "1e300");  // no overflow, just the largest figure
    EXPECT_EQ(label(dialog), L"約 2147483647 ");
}

// The figures are the suite's display's: 1024 x 768, 2.25 MB a whole sample.
TEST_F(OptionsDialogTest, TheRingsCostFollowsTheEditsAndSaysWhenItsCapShortensIt) {
    ASSERT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN) * GetSystemMetrics(SM_CYVIRTUALSCREEN), 1024 * 768);
    HWND dialog = open();
    EXPECT_EQ(itemTextW(dialog, IDC_RETRO_COST), L"使用メモリは最大 115 MB\n（静止画面なら約 2 MB）");  // 10/s, 5 s
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_RETRO_FPS))) << "greyed while the ring is off";
    click(dialog, IDC_RETRO);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_RETRO_FPS)));
    typeInto(dialog, IDC_RETRO_FPS, "600");  // counted as Apply stores it, 60: 512 MB holds 227 of 301
    EXPECT_EQ(itemTextW(dialog, IDC_RETRO_COST), L"使用メモリは最大 511 MB\n（静止画面なら約 2 MB）");
    EXPECT_EQ(itemTextW(dialog, IDC_RETRO_CAP), L"上限 512 MB のため最長 3.7 秒");
    holdForScreenshot(true);
    typeInto(dialog, IDC_RETRO_TIME, "1");
    EXPECT_EQ(itemTextW(dialog, IDC_RETRO_CAP), L"");
    click(dialog, IDC_APPLY);
    EXPECT_EQ(iniValue("OPTION", "RETRO_TIME"), "1");
    EXPECT_EQ(iniValue("OPTION", "RETRO_FPS"), "60");

    writeIni("OPTION", "RETRO_MB", "4");  // one sample, no exposure
    loadSettings(false);
    dialog = open();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_RETRO_FPS))) << "Apply saved the ring on";
    EXPECT_EQ(itemTextW(dialog, IDC_RETRO_CAP), L"上限 4 MB のため記録できません");
}

TEST_F(OptionsDialogTest, DecayTextRoundsToHundredthsForTheTrackbarAndApply) {
    const struct {
        const char* text;
        int position;
        const char* stored;
    } cases[] = {{"0.294", 29, "0.290000"}, {"0.296", 30, "0.300000"}, {"0.004", 1, "0.010000"},
                 {"7", 500, "5.000000"},   {"", 1, "0.010000"},       {"1e300", 500, "5.000000"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        HWND dialog = open();
        typeInto(dialog, IDC_DECAY_TEXT, c.text);
        EXPECT_EQ(trackbar(dialog), c.position);
        EXPECT_EQ(itemTextA(dialog, IDC_DECAY_TEXT), c.text);  // left as typed
        click(dialog, IDC_APPLY);
        EXPECT_EQ(optionsDialog, nullptr);
        EXPECT_EQ(app.optionsOpen, 0);
        EXPECT_FLOAT_EQ(settings.REDUCE_PER, c.position * 0.01f);
        EXPECT_EQ(iniValue("OPTION", "REDUCE_PER"), c.stored);
    }
}

TEST_F(OptionsDialogTest, StoredDecayBeyondTheRangeShowsFiveAndCancelReloadsIt) {
    writeIni("OPTION", "REDUCE_PER", "9.0");
    loadSettings(false);
    HWND dialog = open();
    EXPECT_EQ(itemTextA(dialog, IDC_DECAY_TEXT), "5.00");
    EXPECT_EQ(trackbar(dialog), 500);
    EXPECT_FLOAT_EQ(settings.REDUCE_PER, 5.0f);
    click(dialog, IDC_CANCEL_OPTIONS);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(optionsDialog, nullptr);
    EXPECT_EQ(app.optionsOpen, 0);
    EXPECT_FLOAT_EQ(settings.REDUCE_PER, 9.0f);
}

TEST_F(OptionsDialogTest, TrackbarMoveWritesTheTextAndRedrawsTheCurve) {
    HWND dialog = open();
    HWND preview = GetDlgItem(dialog, IDC_CURVE_PREVIEW);
    RECT client;
    GetClientRect(preview, &client);
    const int middle = client.right / 2;
    auto darkRowInColumn = [&](int x) {
        HDC dc = GetDC(preview);
        int found = -1;
        for (int y = 0; y < client.bottom && found < 0; ++y) {
            if (GetPixel(dc, x, y) == RGB(0, 0, 0)) found = y;
        }
        ReleaseDC(preview, dc);
        return found;
    };
    const int before = darkRowInColumn(middle);
    SendDlgItemMessageW(dialog, IDC_DECAY_TRACKBAR, TBM_SETPOS, TRUE, 137);
    SendMessageW(dialog, WM_HSCROLL, TB_THUMBTRACK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DECAY_TRACKBAR)));
    EXPECT_EQ(itemTextA(dialog, IDC_DECAY_TEXT), "1.37");
    EXPECT_EQ(trackbar(dialog), 137);
    // A steeper exponent puts the middle of the curve lower (a larger y).
    EXPECT_GT(darkRowInColumn(middle), before);
}

TEST_F(OptionsDialogTest, ApplyBringsNumbersIntoRangeAndSavesThem) {
    HWND dialog = open();
    typeInto(dialog, IDC_SHUTTER_TIME, "0");
    typeInto(dialog, IDC_SAMPLE_RATE, "0");
    typeInto(dialog, IDC_AVI_TIME, "-5");
    typeInto(dialog, IDC_AVI_FPS, "x");
    click(dialog, IDC_APPLY);
    EXPECT_FLOAT_EQ(settings.S_TIME, 0.1f);
    EXPECT_EQ(settings.S_FPS, 1);
    EXPECT_EQ(settings.AVI_TIME, 1);
    EXPECT_EQ(settings.AVI_FPS, 1);
    EXPECT_EQ(iniValue("OPTION", "S_FPS"), "1");
    EXPECT_EQ(iniValue("AVIMODE_OPTION", "AVI_TIME"), "1");

    dialog = open();
    typeInto(dialog, IDC_SHUTTER_TIME, "letters");
    typeInto(dialog, IDC_SAMPLE_RATE, "240");
    typeInto(dialog, IDC_AVI_TIME, "100000");
    click(dialog, IDC_APPLY);
    EXPECT_FLOAT_EQ(settings.S_TIME, 0.1f);
    EXPECT_EQ(settings.S_FPS, 240);
    EXPECT_EQ(settings.AVI_TIME, 86400) << "a day at most: the sample count must fit";

    EXPECT_FLOAT_EQ(shutterTimeFromText("2.5"), 2.5f);
    EXPECT_FLOAT_EQ(shutterTimeFromText("1e300"), 0.1f);  // no float holds it: no number
    EXPECT_EQ(emphasisLevelFromText("-3"), 0);
    EXPECT_EQ(emphasisLevelFromText("250"), 200);
    EXPECT_EQ(emphasisLevelFromText("17abc"), 17);
}

TEST_F(OptionsDialogTest, EmphasisTextOutsideZeroToTwoHundredBecomesTwoHundred) {
    writeIni("OPTION", "EMPHASIS_ON", "1");
    loadSettings(false);
    HWND dialog = open();
    for (const char* text : {"", "abc", "201", "-1", "12x"}) {
        SCOPED_TRACE(text);
        typeInto(dialog, IDC_EMPHASIS_LEVEL, "50");
        typeInto(dialog, IDC_EMPHASIS_LEVEL, text);
        EXPECT_EQ(itemTextA(dialog, IDC_EMPHASIS_LEVEL), "200");
    }
    typeInto(dialog, IDC_EMPHASIS_LEVEL, "0");
    EXPECT_EQ(itemTextA(dialog, IDC_EMPHASIS_LEVEL), "0");
    typeInto(dialog, IDC_EMPHASIS_LEVEL, "150");
    EXPECT_EQ(itemTextA(dialog, IDC_EMPHASIS_LEVEL), "150");
    EXPECT_EQ(LOWORD(SendDlgItemMessageW(dialog, IDC_EMPHASIS_SPIN, UDM_GETPOS, 0, 0)), 150);
    click(dialog, IDC_APPLY);
    EXPECT_EQ(settings.EMPHASIS_LEVEL, 150);
}

TEST_F(OptionsDialogTest, DuplicateKeysChangeNothingAndKeepTheDialogOpen) {
    saveSettings();
    const std::vector<uint8_t> fileBefore = readFileBytes(iniPath);
    const Settings before = settings;
    hookSetShotPressed(1);
    hookSetStartPressed(1);
    hookSetStopPressed(1);
    HWND dialog = open();
    selectKey(dialog, IDC_SHOT_KEY, VK_F1);
    selectKey(dialog, IDC_STOP_KEY, VK_F1);
    typeInto(dialog, IDC_SAMPLE_RATE, "30");
    {
        DialogWatcher watcher;
        click(dialog, IDC_APPLY);
        ASSERT_EQ(watcher.count(), 1u);
        EXPECT_TRUE(watcher.sawMessage("設定エラー",
                                       "スクリーンショットキーと録画開始キーと録画終了キーのどれかで\n"
                                       "同じキーが設定されています。\n同じキーにならないように設定して下さい。"));
    }
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(app.optionsOpen, 1);
    EXPECT_EQ(settings.KEY_CODE, before.KEY_CODE);
    EXPECT_EQ(settings.KEY_CODE3, before.KEY_CODE3);
    EXPECT_EQ(settings.S_FPS, before.S_FPS);
    EXPECT_EQ(readFileBytes(iniPath), fileBefore);
    // Apply would have cleared all three latches.
    EXPECT_EQ(hookShotPressed(), 1);
    EXPECT_EQ(hookStartPressed(), 1);
    EXPECT_EQ(hookStopPressed(), 1);

    // Fixing the keys then applies; every latch is cleared.
    selectKey(dialog, IDC_STOP_KEY, VK_F2);
    click(dialog, IDC_APPLY);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(settings.KEY_CODE, VK_F1);
    EXPECT_EQ(settings.KEY_CODE3, VK_F2);
    EXPECT_EQ(settings.S_FPS, 30);
    EXPECT_EQ(iniValue("AVIMODE_OPTION", "KEY_CODE3"), "113");
    EXPECT_EQ(hookShotPressed() + hookStartPressed() + hookStopPressed(), 0);

    // The ring's key may share F1 while the ring is off, not once it is on.
    dialog = open();
    selectKey(dialog, IDC_RETRO_KEY, VK_F1);
    click(dialog, IDC_RETRO);
    DialogWatcher watcher;
    click(dialog, IDC_APPLY);
    EXPECT_TRUE(watcher.sawMessage("設定エラー", uiText(Text::DuplicateRetroKeyMessage)));
    click(dialog, IDC_RETRO);
    click(dialog, IDC_APPLY);
    EXPECT_EQ(iniValue("OPTION", "KEY_CODE4"), "112");
}

TEST_F(OptionsDialogTest, CancelAndCloseClearOnlyTheScreenshotLatch) {
    for (UINT how : {0u, 1u}) {
        hookSetShotPressed(1);
        hookSetStartPressed(1);
        hookSetStopPressed(1);
        HWND dialog = open();
        typeInto(dialog, IDC_SAMPLE_RATE, "99");
        click(dialog, IDC_RETRO);
        if (how == 0) {
            click(dialog, IDC_CANCEL_OPTIONS);
        } else {
            SendMessageW(dialog, WM_CLOSE, 0, 0);
        }
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(app.optionsOpen, 0);
        EXPECT_EQ(settings.S_FPS, 15);
        EXPECT_EQ(settings.RETRO, 0);
        EXPECT_EQ(hookShotPressed(), 0);
        EXPECT_EQ(hookStartPressed(), 1);
        EXPECT_EQ(hookStopPressed(), 1);
    }
    hookSetStartPressed(0);
    hookSetStopPressed(0);
}

// Texts that do not fit are narrowed with fonts made for their dialog: the fonts must go
// with it, or a tray program whose options are opened daily runs out of GDI objects.
// Here every text fits, so one label is made too narrow for its text first.
HFONT narrowOneLabel(HWND dialog) {
    HWND label = GetDlgItem(dialog, IDC_NO_DECAY);
    RECT box;
    GetWindowRect(label, &box);
    SetWindowPos(label, nullptr, 0, 0, (box.right - box.left) / 3, box.bottom - box.top, SWP_NOMOVE | SWP_NOZORDER);
    const LRESULT before = SendMessageW(label, WM_GETFONT, 0, 0);
    fitTextsToControls(dialog);
    const LRESULT after = SendMessageW(label, WM_GETFONT, 0, 0);
    return after != before ? reinterpret_cast<HFONT>(after) : nullptr;
}

TEST_F(OptionsDialogTest, NarrowedFontsGoWithTheDialog) {
    HWND dialog = open();
    const HFONT narrowed = narrowOneLabel(dialog);
    ASSERT_NE(narrowed, nullptr) << "the label was not narrowed";
    click(dialog, IDC_CANCEL_OPTIONS);
    EXPECT_EQ(GetObjectType(narrowed), 0u) << "the narrowed font outlived its dialog";

    // Many openings, each dialog's own font at a new handle: a font kept alive between
    // openings takes the handle the last one freed.
    const long before = gdiObjectsOfThisProcess();
    ASSERT_GT(before, 0);
    std::vector<HFONT> kept;
    for (int i = 0; i < 20; ++i) {
        dialog = open();
        narrowOneLabel(dialog);
        click(dialog, IDC_CANCEL_OPTIONS);
        kept.push_back(CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    }
    EXPECT_LE(gdiObjectsOfThisProcess() - before - static_cast<long>(kept.size()), 2);
    for (HFONT font : kept) DeleteObject(font);
}

TEST_F(OptionsDialogTest, KeyCodeOutsideTheTableOpensEmptyAndApplyKeepsIt) {
    writeIni("OPTION", "KEY_CODE", "65");  // 'A' is not offered
    loadSettings(false);
    HWND dialog = open();
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SHOT_KEY, CB_GETCURSEL, 0, 0), CB_ERR);
    click(dialog, IDC_APPLY);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(settings.KEY_CODE, 65);
    EXPECT_EQ(iniValue("OPTION", "KEY_CODE"), "65");

    // Two untouched empty boxes holding the same key are still two equal keys.
    writeIni("AVIMODE_OPTION", "KEY_CODE3", "65");
    loadSettings(false);
    dialog = open();
    DialogWatcher watcher;
    click(dialog, IDC_APPLY);
    EXPECT_EQ(watcher.count(), 1u);
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(OptionsDialogTest, DisabledCheckBoxesStillGiveTheirState) {
    writeIni("OPTION", "AVI_OUT", "1");
    writeIni("OPTION", "GIF_OUT", "1");
    loadSettings(false);
    HWND dialog = open();
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_GIF_OUT));
    click(dialog, IDC_AUTO_SAVE);      // off: the AVI and GIF boxes grey out, keeping their marks
    click(dialog, IDC_CAPTURE_ACTIVE);  // off: the client-area box greys out
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_AVI_OUT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_GIF_OUT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CAPTURE_CLIENT)));
    click(dialog, IDC_APPLY);
    EXPECT_EQ(settings.AUTO_SAVE, 0);
    EXPECT_EQ(settings.AVI_OUT, 1);
    EXPECT_EQ(settings.SS_ACTIVE, 0);
    EXPECT_EQ(settings.SS_CLIENT, 1);
    EXPECT_EQ(iniValue("OPTION", "AVI_OUT"), "1");
    EXPECT_EQ(iniValue("OPTION", "GIF_OUT"), "1");
}

TEST_F(OptionsDialogTest, TheSaveTypeCompositeModeAndRecordingFormatOpenAsStoredAreSavedByApplyAndRestoredByCancel) {
    writeIni("OPTION", "SAVE_TYPE", "7");       // unknown: BMP
    writeIni("OPTION", "COMPOSITE_MODE", "9");  // unknown: the mean
    loadSettings(false);
    HWND dialog = open();
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_SAVE_BMP));
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_MODE_MEAN));
    click(dialog, IDC_SAVE_PNG);
    EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_SAVE_BMP)) << "the two are one group";
    click(dialog, IDC_MODE_MEDIAN);
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_REC_AVI));
    click(dialog, IDC_REC_GIF);
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_SAVE_PNG)) << "the modes and recording formats are groups of their own";
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_MODE_MEDIAN));
    click(dialog, IDC_AUTO_COPY);
    click(dialog, IDC_CURSOR_CAPTURE);
    click(dialog, IDC_GIF_OUT);
    click(dialog, IDC_APPLY);
    EXPECT_EQ(settings.SAVE_TYPE, 1);
    EXPECT_EQ(iniValue("OPTION", "GIF_OUT"), "1");
    EXPECT_EQ(iniValue("OPTION", "SAVE_TYPE"), "1");
    EXPECT_EQ(iniValue("OPTION", "COMPOSITE_MODE"), "3");
    EXPECT_EQ(iniValue("OPTION", "AUTO_COPY"), "1");
    EXPECT_EQ(iniValue("OPTION", "CURSOR_CAPTURE"), "1");
    EXPECT_EQ(iniValue("AVIMODE_OPTION", "REC_GIF"), "1");

    dialog = open();
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_SAVE_PNG));
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_MODE_MEDIAN));
    click(dialog, IDC_SAVE_BMP);
    EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_GIF_OUT));
    click(dialog, IDC_MODE_LIGHTEN);
    click(dialog, IDC_GIF_OUT);
    click(dialog, IDC_REC_AVI);
    click(dialog, IDC_CANCEL_OPTIONS);
    EXPECT_EQ(settings.REC_GIF, 1);
    EXPECT_EQ(settings.SAVE_TYPE, 1);
    EXPECT_EQ(settings.COMPOSITE_MODE, 3);
    EXPECT_EQ(settings.GIF_OUT, 1);
}

// A language chosen in the box is spoken at once: the dialog is made again from the other
// template where it stood, every control holding what was edited; Cancel returns to the
// language and the values stored.
TEST_F(OptionsDialogTest, ChoosingALanguageRebuildsTheDialogInPlaceWithTheEditsAndCancelUndoesIt) {
    writeIni("OPTION", "LANGUAGE", "1");
    loadSettings(false);
    HWND dialog = open();
    typeInto(dialog, IDC_SHUTTER_TIME, "2.50");
    click(dialog, IDC_AUTO_COPY);
    click(dialog, IDC_MODE_DARKEN);
    selectKey(dialog, IDC_SHOT_KEY, VK_F5);
    RECT before;
    GetWindowRect(dialog, &before);
    SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_SETCURSEL, 2, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_LANGUAGE)));
    pumpFor(50);

    HWND rebuilt = optionsDialog;
    ASSERT_NE(rebuilt, dialog);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(app.language, Language::English);
    RECT after;
    GetWindowRect(rebuilt, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(itemTextA(rebuilt, IDC_SHUTTER_TIME), "2.50");
    EXPECT_TRUE(IsDlgButtonChecked(rebuilt, IDC_AUTO_COPY));
    EXPECT_TRUE(IsDlgButtonChecked(rebuilt, IDC_MODE_DARKEN));
    EXPECT_EQ(itemTextA(rebuilt, IDC_SHOT_KEY), "F5");
    EXPECT_EQ(SendDlgItemMessageW(rebuilt, IDC_LANGUAGE, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(settings.S_TIME, 1.0f) << "nothing is stored before Apply";

    click(rebuilt, IDC_CANCEL_OPTIONS);
    EXPECT_EQ(app.language, Language::Japanese);
    EXPECT_EQ(settings.LANGUAGE, 1);
    EXPECT_EQ(optionsDialog, nullptr);
    EXPECT_EQ(app.optionsOpen, 0);
}

// A dialog that cannot be made leaves nothing waiting for it.
TEST_F(OptionsDialogTest, AFailedOpeningIsUndone) {
    const HINSTANCE real = appInstance;
    appInstance = GetModuleHandleW(L"kernel32.dll");  // holds no template 117
    EXPECT_FALSE(openOptionsDialog(nullptr));
    EXPECT_EQ(app.optionsOpen, 0);
    EXPECT_EQ(optionsDialog, nullptr);
    appInstance = real;
    EXPECT_TRUE(openOptionsDialog(nullptr));
    EXPECT_EQ(app.optionsOpen, 1);
}

TEST(OptionsNumbers, DecayHundredthsRoundAndClampWithoutOverflow) {
    EXPECT_EQ(decayHundredths("1.005"), 100);  // 100.49999... + 0.5, truncated
    EXPECT_EQ(decayHundredths("1.006"), 101);
    EXPECT_EQ(decayHundredths("-3"), 1);
    EXPECT_EQ(decayHundredths("99999999999"), 500);
    EXPECT_EQ(memoryEstimateMB(15, 1.0, 921600), 13);
    EXPECT_EQ(editedMemoryEstimateMB("0.05", "-4"), 0);  // 0.1 s at 1 sample: 0.117 MB
    EXPECT_EQ(editedMemoryEstimateMB("10", "30"), 351);
}

}  // namespace
