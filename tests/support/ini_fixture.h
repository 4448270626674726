#pragma once
// Tests of the settings run against the real INI functions and the INI file that
// belongs to the test program itself (test_core.exe uses test_core.ini).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "support/files.h"

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        strcpy(exeDirectory, "C:\\kdir\\");
        VirtualScreenRect = {0, 0, 1024, 768};
        mainWindow = nullptr;
        loadSettings(false);  // builds iniPath
        removeFile();
        settings = Settings();
    }
    void TearDown() override { removeFile(); }

    // Drops the INI functions' cached copy, then the file itself.
    static void removeFile() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniPath);
        DeleteFileA(iniPath);
    }
    static void writeFile(const std::string& bytes) {
        removeFile();
        ASSERT_TRUE(writeFileBytes(iniPath, bytes));
    }
    static std::string readFile() {
        const std::vector<uint8_t> bytes = readFileBytes(iniPath);
        return std::string(bytes.begin(), bytes.end());
    }
};
