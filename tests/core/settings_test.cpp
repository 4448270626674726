// Settings against the real INI functions: defaults, the exact file written, the
// round trip of every field, and hand-edited files the program must survive.
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "support/ini_fixture.h"

namespace {

// "メインウィンドウ" in Shift-JIS, spelled as bytes so the check does not depend on
// how this file's literals are encoded.
const char kMainWindowSjis[] =
    "\x83\x81\x83\x43\x83\x93\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45";

void expectDefaults(const Settings& s) {
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.right, 600);
    EXPECT_EQ(s.bottom, 450);
    EXPECT_STREQ(s.SAVEPATH, "C:\\kdir\\");
    EXPECT_STREQ(s.TEMPPATH, "C:\\kdir");
    EXPECT_STREQ(s.AUTOSAVEPATH, "C:\\kdir\\screenshot");
    EXPECT_STREQ(s.AVISAVEPATH, "C:\\kdir\\screenshot");
    EXPECT_EQ(s.S_FPS, 15);
    EXPECT_EQ(s.REDUCE_PER, 1.0f);
    EXPECT_EQ(s.CALLBACK_OP, 0);
    EXPECT_EQ(s.AUTO_SAVE, 1);
    EXPECT_EQ(s.S_TIME, 1.0f);
    EXPECT_EQ(s.SS_ACTIVE, 1);
    EXPECT_EQ(s.SS_CLIENT, 1);
    EXPECT_EQ(s.MAP_SIZE, 15728640);
    EXPECT_EQ(s.COLOR_DOUBLE, 0);
    EXPECT_EQ(s.KEY_CODE, 44);
    EXPECT_EQ(s.REDUCE_FIXED, 0);
    EXPECT_EQ(s.EMPHASIS_ON, 0);
    EXPECT_EQ(s.EMPHASIS_LEVEL, 100);
    EXPECT_EQ(s.AVI_OUT, 0);
    EXPECT_EQ(s.SAVE_TYPE, 0);
    EXPECT_EQ(s.AVI_FPS, 15);
    EXPECT_EQ(s.AVI_TIME, 60);
    EXPECT_EQ(s.KEY_CODE2, 33);
    EXPECT_EQ(s.KEY_CODE3, 34);
}

// Values the program must be able to run with, whatever the file held.
void expectRunnable(const Settings& s) {
    EXPECT_GE(s.S_FPS, 1);
    EXPECT_GE(s.AVI_FPS, 1);
    EXPECT_GE(s.AVI_TIME, 1);
    EXPECT_TRUE(std::isfinite(s.S_TIME));
    EXPECT_GE(s.S_TIME, 0.1f);
    EXPECT_TRUE(std::isfinite(s.REDUCE_PER));
    EXPECT_GE(s.EMPHASIS_LEVEL, 0);
    // A capture's sample count plus one must fit an int.
    EXPECT_LT(static_cast<double>(s.S_FPS) * s.S_TIME + 1, 2147483647.0);
    EXPECT_LT(static_cast<long long>(s.AVI_FPS) * s.AVI_TIME + 1, 2147483647LL);
    EXPECT_GT(s.MAP_SIZE, 0);
    for (const char* path : {s.SAVEPATH, s.TEMPPATH, s.AUTOSAVEPATH, s.AVISAVEPATH}) {
        EXPECT_LT(strnlen(path, MAX_PATH), static_cast<size_t>(MAX_PATH)) << "path not terminated";
    }
}

std::string windowSection() { return std::string("[") + kMainWindowSjis + "]\r\n"; }

}  // namespace

TEST_F(IniFile, MissingFileGivesTheDefaults) {
    settings.S_FPS = 99;
    settings.SAVEPATH[0] = 'X';
    loadSettings(false);
    expectDefaults(settings);
}

TEST_F(IniFile, MissingSectionsAndKeysGiveTheirDefaults) {
    writeFile("[OPTION]\r\nS_FPS=30\r\n[UNRELATED]\r\nleft=77\r\n");
    loadSettings(false);
    EXPECT_EQ(settings.S_FPS, 30);
    settings.S_FPS = 15;
    expectDefaults(settings);
}

TEST_F(IniFile, FileWrittenFromScratchHasTheExactLayout) {
    settings.left = -8;
    settings.top = 20;
    settings.right = 610;
    settings.bottom = 470;
    strcpy(settings.SAVEPATH, "C:\\save\\");
    strcpy(settings.TEMPPATH, "C:\\temp");
    strcpy(settings.AUTOSAVEPATH, "D:\\shots");
    strcpy(settings.AVISAVEPATH, "D:\\movies");
    settings.S_FPS = 15;
    settings.REDUCE_PER = 0.5f;
    settings.S_TIME = 2.5f;
    settings.EMPHASIS_LEVEL = -3;
    saveSettings();
    const std::string expected = windowSection() +
                                 "left=-8\r\nright=610\r\ntop=20\r\nbottom=470\r\n"
                                 "[PATH]\r\n"
                                 "SAVEPATH=C:\\save\\\r\nTEMPPATH=C:\\temp\r\n"
                                 "AUTOSAVEPATH=D:\\shots\r\nAVISAVEPATH=D:\\movies\r\n"
                                 "[OPTION]\r\n"
                                 "S_FPS=15\r\nREDUCE_PER=0.500000\r\nCALLBACK_OP=0\r\nAUTO_SAVE=1\r\n"
                                 "S_TIME=2.500000\r\nSS_ACTIVE=1\r\nSS_CLIENT=1\r\nMAP_SIZE=15728640\r\n"
                                 "COLOR_DOUBLE=0\r\nKEY_CODE=44\r\nREDUCE_FIXED=0\r\nEMPHASIS_ON=0\r\n"
                                 "EMPHASIS_LEVEL=-3\r\nAVI_OUT=0\r\nSAVE_TYPE=0\r\nAUTO_COPY=0\r\nCURSOR_CAPTURE=0\r\nCOMPOSITE_MODE=0\r\n"
                                 "RETRO=0\r\nRETRO_TIME=5\r\nRETRO_FPS=10\r\nRETRO_MB=512\r\nKEY_CODE4=145\r\n"
                                 "KEY_CODE5=0\r\nSS_REGION=0\r\nREGION_LEFT=0\r\nREGION_TOP=0\r\n"
                                 "REGION_RIGHT=0\r\nREGION_BOTTOM=0\r\nGIF_OUT=0\r\nGIF_WITH_RESULT=0\r\nLANGUAGE=0\r\nCLICK_MARKS=0\r\nPOINTER_PATH=0\r\nGIF_MAX_MB=0\r\n"
                                 "[AVIMODE_OPTION]\r\n"
                                 "AVI_FPS=15\r\nAVI_TIME=60\r\nKEY_CODE2=33\r\nKEY_CODE3=34\r\nREC_GIF=0\r\n";
    EXPECT_EQ(readFile(), expected);
}

TEST_F(IniFile, EveryFieldSurvivesSaveAndLoad) {
    Settings s;
    s.left = -1200;
    s.top = 37;
    s.right = 2147483647;
    s.bottom = -2147483647 - 1;
    strcpy(s.SAVEPATH, "C:\\保存 先\\");
    strcpy(s.TEMPPATH, "C:\\ソフト\\表");  // 0x5C as a trail byte, twice
    strcpy(s.AUTOSAVEPATH, "\\\\server\\share\\shots");
    strcpy(s.AVISAVEPATH, "E:\\a b\\c");
    s.S_FPS = 29;
    s.REDUCE_PER = 0.1234567f;
    s.CALLBACK_OP = 1;
    s.AUTO_SAVE = 0;
    s.S_TIME = 12.3456789f;
    s.SS_ACTIVE = 0;
    s.SS_CLIENT = 0;
    s.MAP_SIZE = 123456789;
    s.COLOR_DOUBLE = 1;
    s.KEY_CODE = 0x7B;
    s.REDUCE_FIXED = 1;
    s.EMPHASIS_ON = 1;
    s.EMPHASIS_LEVEL = 199;
    s.AVI_OUT = 1;
    s.GIF_OUT = 1;
    s.GIF_WITH_RESULT = 1;
    s.LANGUAGE = 2;
    s.REC_GIF = 1;
    s.SAVE_TYPE = 1;
    s.AUTO_COPY = 1;
    s.CURSOR_CAPTURE = 1;
    s.COMPOSITE_MODE = 3;
    s.AVI_FPS = 7;
    s.AVI_TIME = 3600;
    s.KEY_CODE2 = 0x70;
    s.KEY_CODE3 = 0x71;
    settings = s;
    saveSettings();
    settings = Settings();
    loadSettings(false);

    EXPECT_EQ(settings.left, s.left);
    EXPECT_EQ(settings.top, s.top);
    EXPECT_EQ(settings.right, s.right);
    EXPECT_EQ(settings.bottom, s.bottom);
    EXPECT_STREQ(settings.SAVEPATH, s.SAVEPATH);
    EXPECT_STREQ(settings.TEMPPATH, s.TEMPPATH);
    EXPECT_STREQ(settings.AUTOSAVEPATH, s.AUTOSAVEPATH);
    EXPECT_STREQ(settings.AVISAVEPATH, s.AVISAVEPATH);
    // Reals come back as the six decimals written.
    EXPECT_EQ(settings.REDUCE_PER, 0.123457f);
    EXPECT_EQ(settings.S_TIME, 12.345679f);
    const int Settings::*ints[] = {&Settings::S_FPS,        &Settings::CALLBACK_OP, &Settings::AUTO_SAVE,
                                   &Settings::SS_ACTIVE,    &Settings::SS_CLIENT,   &Settings::MAP_SIZE,
                                   &Settings::COLOR_DOUBLE, &Settings::KEY_CODE,    &Settings::REDUCE_FIXED,
                                   &Settings::EMPHASIS_ON,  &Settings::EMPHASIS_LEVEL, &Settings::AVI_OUT,
                                   &Settings::SAVE_TYPE,    &Settings::AVI_FPS,      &Settings::AVI_TIME,    &Settings::KEY_CODE2,
                                   &Settings::KEY_CODE3,    &Settings::AUTO_COPY,    &Settings::CURSOR_CAPTURE,
                                   &Settings::COMPOSITE_MODE, &Settings::GIF_OUT, &Settings::GIF_WITH_RESULT, &Settings::LANGUAGE,
                                   &Settings::REC_GIF};
    for (size_t i = 0; i < sizeof ints / sizeof ints[0]; ++i) {
        EXPECT_EQ(settings.*ints[i], s.*ints[i]) << "integer field " << i;
    }

    // A second save of what was loaded changes nothing in the file.
    const std::string first = readFile();
    saveSettings();
    EXPECT_EQ(readFile(), first);
}

TEST_F(IniFile, SavingReplacesValuesInAnExistingFile) {
    writeFile(windowSection() + "left=5\r\nextra=kept\r\n[OPTION]\r\nS_FPS=3\r\n");
    loadSettings(false);
    settings.S_FPS = 20;
    saveSettings();
    const std::string bytes = readFile();
    EXPECT_NE(bytes.find("S_FPS=20\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("S_FPS=3"), std::string::npos);
    EXPECT_NE(bytes.find("extra=kept\r\n"), std::string::npos) << "unknown keys are left alone";
}

TEST_F(IniFile, StoredRectanglePlacesTheWindow) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    writeFile(windowSection() + "left=30\r\ntop=40\r\nright=330\r\nbottom=240\r\n");
    mainWindow = window;
    loadSettings(true);
    RECT placed;
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, 30);
    EXPECT_EQ(placed.top, 40);
    EXPECT_EQ(placed.right, 330);
    EXPECT_EQ(placed.bottom, 240);

    // Corners far apart: the size is formed without overflowing.
    writeFile(windowSection() + "left=-2147483648\r\ntop=-2147483648\r\nright=2147483647\r\nbottom=2147483647\r\n");
    loadSettings(true);
    EXPECT_TRUE(IsWindow(window));

    // A rectangle on no monitor (one since unplugged, or a hand-edited file) is brought onto
    // the nearest monitor's work area, as little moved as can be, its size kept where it
    // fits and cut where it does not. The file keeps what it holds.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
    const RECT work = monitor.rcWork;
    const struct {
        const char* stored;
        RECT expected;
    } offScreen[] = {
        {"left=-2147483648\r\ntop=-2147483648\r\nright=-2147483048\r\nbottom=-2147483198\r\n",
         {work.left, work.top, work.left + 600, work.top + 450}},
        {"left=5000\r\ntop=100\r\nright=5300\r\nbottom=300\r\n", {work.right - 300, 100, work.right, 300}},
        {"left=-9000\r\ntop=50000\r\nright=9000\r\nbottom=50100\r\n",
         {work.left, work.bottom - 100, work.right, work.bottom}},
        // Inverted or empty (a damaged file): the size used when the file holds none, on the
        // primary monitor, where its keys reach it.
        {"left=2147483647\r\ntop=0\r\nright=1\r\nbottom=450\r\n", {0, 0, 600, 450}},
        {"left=100\r\ntop=300\r\nright=500\r\nbottom=300\r\n", {0, 0, 600, 450}},
    };
    for (const auto& c : offScreen) {
        const std::string bytes = windowSection() + c.stored;
        writeFile(bytes);
        loadSettings(true);
        GetWindowRect(window, &placed);
        EXPECT_EQ(placed.left, c.expected.left) << c.stored;
        EXPECT_EQ(placed.top, c.expected.top) << c.stored;
        EXPECT_EQ(placed.right, c.expected.right) << c.stored;
        EXPECT_EQ(placed.bottom, c.expected.bottom) << c.stored;
        EXPECT_EQ(readFile(), bytes);
    }
    writeFile(windowSection() + "left=30\r\ntop=40\r\nright=330\r\nbottom=240\r\n");
    loadSettings(true);

    // Reloading without the flag leaves the window where it is.
    writeFile(windowSection() + "left=0\r\ntop=0\r\nright=100\r\nbottom=100\r\n");
    loadSettings(false);
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, 30);
    EXPECT_EQ(settings.right, 100);
    mainWindow = nullptr;
    DestroyWindow(window);
}

// A program file x.exe keeps its settings in x.ini in its own folder. CTest runs
// this program once more as abc.exe, where this must find abc.ini.
TEST_F(IniFile, IniFileSitsBesideTheProgramUnderItsName) {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const char* name = strrchr(module, '\\') + 1;
    const char* dot = strrchr(name, '.');
    const std::string folder(module, static_cast<size_t>(name - module));
    const std::string base(name, static_cast<size_t>(dot - name));
    saveSettings();

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.ini").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no INI file in " << folder;
    std::vector<std::string> names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_NE(std::find(names.begin(), names.end(), base + ".ini"), names.end()) << "expected " << base << ".ini";
    EXPECT_STREQ(iniPath, (folder + base + ".ini").c_str());
}

TEST(MapSizeFallback, IsTenPercentMoreSamplesOfTheWholeDesktop) {
    // trunc(15 x 1.0 x 1.1) = 16 samples of 1024 x 768 x 4 bytes.
    EXPECT_EQ(mapSizeFallback(15, 1.0f, 1024, 768), 50331648);
    // trunc(15 x 0.1 x 1.1) = 1: truncated, not rounded.
    EXPECT_EQ(mapSizeFallback(15, 0.1f, 1024, 768), 3145728);
}

TEST(MapSizeFallback, AProductPastTheSigned32BitRangeDoesNotWrap) {
    // 66 x 1920 x 1080 x 4 = 547430400 fits; 660 samples would not.
    EXPECT_EQ(mapSizeFallback(60, 1.0f, 1920, 1080), 547430400);
    EXPECT_EQ(mapSizeFallback(60, 10.0f, 1920, 1080), 15728640);
    EXPECT_EQ(mapSizeFallback(2147483647, 3.0e38f, 1024, 768), 15728640);
    // 0 samples would map nothing.
    EXPECT_EQ(mapSizeFallback(1, 0.1f, 1024, 768), 15728640);
}

TEST_F(IniFile, NonPositiveMapSizeFallsBackToTheComputedSize) {
    for (const char* stored : {"0", "-5", "none", "", "  -0x10"}) {
        writeFile(std::string("[OPTION]\r\nMAP_SIZE=") + stored + "\r\n");
        loadSettings(false);
        EXPECT_EQ(settings.MAP_SIZE, 50331648) << "MAP_SIZE=" << stored;
    }
    writeFile("[OPTION]\r\nMAP_SIZE=  4096xyz\r\n");
    loadSettings(false);
    EXPECT_EQ(settings.MAP_SIZE, 4096) << "leading blanks skipped, numeric prefix used";
}

namespace {

struct HostileCase {
    const char* name;
    std::string bytes;
    std::function<void(const Settings&)> check;  // beyond expectRunnable
};

std::string binaryNoise() {
    std::string bytes;
    unsigned int state = 12345;
    for (int i = 0; i < 6000; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    return bytes;
}

std::vector<HostileCase> hostileCases() {
    const std::string option = "[OPTION]\r\n";
    const std::string avi = "[AVIMODE_OPTION]\r\n";
    std::vector<HostileCase> cases = {
        {"zero rates", option + "S_FPS=0\r\nS_TIME=0\r\n" + avi + "AVI_FPS=0\r\nAVI_TIME=0\r\n",
         [](const Settings& s) {
             EXPECT_EQ(s.S_FPS, 1);
             EXPECT_EQ(s.AVI_FPS, 1);
             EXPECT_EQ(s.AVI_TIME, 1);
             EXPECT_EQ(s.S_TIME, 0.1f);
         }},
        {"negative rates", option + "S_FPS=-15\r\nS_TIME=-2.5\r\n" + avi + "AVI_FPS=-1\r\nAVI_TIME=-60\r\n",
         [](const Settings& s) {
             EXPECT_EQ(s.S_FPS, 1);
             EXPECT_EQ(s.S_TIME, 0.1f);
         }},
        {"negative emphasis", option + "EMPHASIS_ON=1\r\nEMPHASIS_LEVEL=-100\r\nREDUCE_PER=-2\r\n",
         [](const Settings& s) {
             EXPECT_EQ(s.EMPHASIS_LEVEL, 0);
             EXPECT_EQ(s.REDUCE_PER, -2.0f) << "finite values beyond the dialog's range are kept";
         }},
        {"rates and times past any capture",
         option + "S_FPS=2147483647\r\nS_TIME=3e38\r\nEMPHASIS_LEVEL=2147483647\r\nRETRO_FPS=10000\r\n" + avi +
             "AVI_FPS=2147483647\r\nAVI_TIME=2147483647\r\n",
         [](const Settings& s) {
             EXPECT_LE(s.EMPHASIS_LEVEL, 200) << "no more than the dialog offers";
             EXPECT_EQ(s.RETRO_FPS, 60) << "no more than the dialog offers";
         }},
        {"nan and inf reals", option + "S_TIME=nan\r\nREDUCE_PER=inf\r\n", nullptr},
        {"negative infinity", option + "S_TIME=-inf\r\nREDUCE_PER=-nan\r\n", nullptr},
        {"reals past float range", option + "S_TIME=1e39\r\nREDUCE_PER=-1e300\r\n", nullptr},
        {"garbage values",
         option + "S_FPS=fast\r\nS_TIME=long\r\nKEY_CODE=\xff\xfe\r\nLANGUAGE=3\r\n" + avi + "AVI_FPS=?\r\n",
         [](const Settings& s) {
             EXPECT_EQ(s.S_FPS, 1);
             EXPECT_EQ(s.KEY_CODE, 0);
             EXPECT_EQ(s.LANGUAGE, 0) << "an unknown language follows Windows";
         }},
        {"overlong values",
         windowSection() + "left=" + std::string(3000, '7') + "\r\n[PATH]\r\nSAVEPATH=C:\\" +
             std::string(2000, 'p') + "\r\n" + option + "S_FPS=" + std::string(5000, '9') + "\r\nS_TIME=" +
             std::string(1500, '1') + "\r\n",
         [](const Settings& s) { EXPECT_EQ(strlen(s.SAVEPATH), static_cast<size_t>(MAX_PATH - 1)); }},
        {"duplicated sections", option + "S_FPS=20\r\n" + option + "S_FPS=0\r\nS_TIME=3\r\n",
         [](const Settings& s) {
             EXPECT_EQ(s.S_FPS, 20) << "the first of two sections counts";
             EXPECT_EQ(s.S_TIME, 1.0f);
         }},
        {"sections only", windowSection() + "[PATH]\r\n" + option + avi,
         [](const Settings& s) {
             EXPECT_EQ(s.S_FPS, 15);
             EXPECT_STREQ(s.TEMPPATH, "C:\\kdir");
         }},
        {"no line ends", option + "S_FPS=12", nullptr},
        {"keys without sections", "S_FPS=0\r\nAVI_FPS=0\r\n",
         [](const Settings& s) { EXPECT_EQ(s.S_FPS, 15); }},
        {"binary noise", binaryNoise(), nullptr},
        {"binary noise after a UTF-16 mark", std::string("\xff\xfe", 2) + binaryNoise(), nullptr},
        {"NUL bytes in values", option + std::string("S_FPS=\0\0\0" "30\r\nS_TIME=\0\r\n", 22), nullptr},
        {"empty file", "", [](const Settings& s) { EXPECT_EQ(s.S_FPS, 15); }},
    };
    return cases;
}

}  // namespace

TEST_F(IniFile, HandEditedFilesLeaveRunnableValues) {
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        writeFile(c.bytes);
        settings = Settings();
        loadSettings(false);
        expectRunnable(settings);
        if (c.check) c.check(settings);
        // What was loaded can be saved and loaded again to the same runnable values.
        saveSettings();
        loadSettings(false);
        expectRunnable(settings);
    }
}
