// The executable-folder scan and the one-message pump.
#include <gtest/gtest.h>
#include <windows.h>
#include <mbctype.h>

#include <cstring>
#include <string>

#include "core/app_state.h"
#include "support/message_pump.h"

namespace {

std::string folderOf(const char* path) {
    char buffer[MAX_PATH];
    strcpy(buffer, path);
    keepFolderPart(buffer);
    return buffer;
}

}  // namespace

TEST(ExecutableFolder, EndsAfterTheLastRealSeparator) {
    EXPECT_EQ(folderOf("C:\\dir\\prog.exe"), "C:\\dir\\");
    EXPECT_EQ(folderOf("\\\\server\\share\\prog.exe"), "\\\\server\\share\\");
    EXPECT_EQ(folderOf("prog.exe"), "prog.exe") << "no separator: the whole path stays";
    EXPECT_EQ(folderOf("\\prog.exe"), "\\prog.exe") << "index 0 is never taken";
    EXPECT_EQ(folderOf(""), "");
    EXPECT_EQ(lastSeparatorIndex("C:\\dir\\prog.exe"), 6);
}

// The program's paths are Shift-JIS: 0x5C can be the second byte of a character.
TEST(ExecutableFolder, SkipsTheSecondByteOfDoubleByteCharacters) {
    if (_getmbcp() != 932) GTEST_SKIP() << "needs the Shift-JIS code page, active is " << _getmbcp();
    EXPECT_EQ(folderOf("C:\\dir\\xソ.exe"), "C:\\dir\\");  // ソ is 0x83 0x5C
    EXPECT_EQ(folderOf("C:\\表\\ソ\\a.exe"), "C:\\表\\ソ\\");
    // Folder names ending in a character whose second byte is a lead-byte value.
    EXPECT_EQ(folderOf("C:\\ツール\\prog.exe"), "C:\\ツール\\");  // ル is 0x83 0x8B
    EXPECT_EQ(folderOf("C:\\画\\prog.exe"), "C:\\画\\");        // 画 is 0x89 0xE6
    EXPECT_EQ(folderOf("C:\\dir\\ソ"), "C:\\dir\\");
    // A lead byte at the very end is no character; the backslash before it counts.
    EXPECT_EQ(folderOf("C:\\dir\\\x83"), "C:\\dir\\");
}

TEST(ExecutableFolder, SingleByteCodePageTakesEveryBackslash) {
    if (_getmbcp() == 932) GTEST_SKIP() << "needs a single-byte code page";
    EXPECT_EQ(folderOf("C:\\dir\x83\\prog.exe"), "C:\\dir\x83\\");
}

TEST(ExecutableFolder, IsTheFolderOfThisProgram) {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    computeExeDirectory();
    const size_t length = strlen(exeDirectory);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(exeDirectory[length - 1], '\\');
    EXPECT_EQ(strncmp(module, exeDirectory, length), 0);
    EXPECT_EQ(strchr(module + length, '\\'), nullptr) << "only the file name is cut off";
}

TEST(PumpMessages, QuitEndsTheRunWithItsExitCodeAndKeepsEndingIt) {
    drainMessages();
    app.appRunning = 1;
    app.exitCode = 0;
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    pumpMessages();
    EXPECT_EQ(app.appRunning, 1) << "an ordinary message leaves the program running";

    PostQuitMessage(7);
    pumpMessages();
    EXPECT_EQ(app.appRunning, 0);
    EXPECT_EQ(app.exitCode, 7);
    for (int call = 0; call < 3; ++call) {
        app.appRunning = 1;
        pumpMessages();  // nothing left in the queue
        EXPECT_EQ(app.appRunning, 0) << "call " << call << " after the quit";
    }

    // Leave the pump's record on an ordinary message for the tests that follow.
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    pumpMessages();
    app.appRunning = 1;
    app.exitCode = 0;
}

TEST(PumpMessages, HandlesOneMessagePerCall) {
    drainMessages();
    for (int i = 0; i < 3; ++i) PostThreadMessageW(GetCurrentThreadId(), WM_APP + i, 0, 0);
    pumpMessages();
    MSG next;
    ASSERT_TRUE(PeekMessageW(&next, nullptr, WM_APP, WM_APP + 2, PM_REMOVE));
    EXPECT_EQ(next.message, static_cast<UINT>(WM_APP + 1)) << "the pump took more than one message";
    drainMessages();
}
