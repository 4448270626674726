// Folder creation along an output path, root recognition and serial names, on a real drive.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "output/folder_path.h"
#include "output/serial_name.h"
#include "support/files.h"

TEST(FolderPath, MakesEachMissingLevelAndEndsInsideTheDeepest) {
    TempFolder root;
    // 表 is 0x95 0x5C: its second byte is a backslash that must not split the name.
    const std::string path = root / "a\\表\\b\\";
    ASSERT_TRUE(makeFolderPath(path.c_str()));
    EXPECT_TRUE(exists(root / "a\\表\\b"));
    EXPECT_EQ(entriesOf(root / "a\\"), std::vector<std::string>{"表"});
    EXPECT_EQ(currentDirectory(), root / "a\\表\\b");

    // Existing levels are entered, not made again; the trailing part without a
    // backslash is the last level.
    ASSERT_TRUE(makeFolderPath((root / "a\\表\\c").c_str()));
    EXPECT_EQ(currentDirectory(), root / "a\\表\\c");
}

TEST(FolderPath, ACharacterWhoseSecondByteLooksLikeALeadByteDoesNotHideTheSeparator) {
    TempFolder root;
    // ゃ is 0x82 0xE1; 0xE1 is a lead byte value, yet the backslash after it separates.
    ASSERT_TRUE(makeFolderPath((root / "ゃ\\d\\").c_str()));
    EXPECT_TRUE(exists(root / "ゃ\\d"));
    EXPECT_EQ(currentDirectory(), root / "ゃ\\d");
}

TEST(FolderPath, PathsWithoutADriveOrShareRootTouchNothing) {
    TempFolder root;
    SetCurrentDirectoryA(root.path.c_str());
    for (const char* path : {"", "C:", "C:x\\", "relative\\x\\", "\\x\\", "\\\\", "\\\\server", "\\\\server\\",
                             "\\\\server\\\\x\\", "1:\\x\\"}) {
        EXPECT_FALSE(makeFolderPath(path)) << path;
        EXPECT_EQ(currentDirectory() + "\\", root.path) << path;
    }
    EXPECT_FALSE(makeFolderPath(nullptr));
    EXPECT_FALSE(exists(root / "relative"));
    EXPECT_FALSE(exists(root / "x"));
}

TEST(FolderPath, AnUnreachableRootOrAnUnmakeableLevelStopsTheWalk) {
    TempFolder root;
    SetCurrentDirectoryA(root.path.c_str());
    // No such share: nothing may be made in the current directory instead.
    EXPECT_FALSE(makeFolderPath("\\\\no-such-server-kestrin\\share\\x\\"));
    EXPECT_FALSE(exists(root / "x"));

    // A file where a folder should be: the level below is not made one level too high.
    ASSERT_TRUE(writeFileBytes(root / "blocker", ""));
    EXPECT_FALSE(makeFolderPath((root / "blocker\\child\\").c_str()));
    EXPECT_FALSE(exists(root / "child"));
}

TEST(FolderPath, RootLengths) {
    EXPECT_EQ(pathRootLength("C:\\a"), 3);
    EXPECT_EQ(pathRootLength("z:\\"), 3);
    EXPECT_EQ(pathRootLength("\\\\srv\\share\\a\\"), 12);
    // A share named 表 ends at the real separator, not at the 0x5C inside the character.
    EXPECT_EQ(pathRootLength("\\\\srv\\表\\a\\"), 9);
    EXPECT_EQ(pathRootLength("\\\\srv\\表"), 0);
    EXPECT_EQ(pathRootLength("C:"), 0);
    EXPECT_EQ(pathRootLength(nullptr), 0);
}

TEST(FolderPath, OutputFolderFitsCountsTheBackslashItIsJoinedWith) {
    // Held without a trailing backslash, a drive root or share is still a root.
    EXPECT_TRUE(outputFolderFits("C:", 259));
    EXPECT_TRUE(outputFolderFits("\\\\srv\\share", 259));
    EXPECT_FALSE(outputFolderFits("relative", 259));
    EXPECT_FALSE(outputFolderFits("", 259));
    const std::string longest = "C:\\" + std::string(226, 'a');  // 229 bytes
    EXPECT_TRUE(outputFolderFits(longest.c_str(), 259));
    EXPECT_FALSE(outputFolderFits((longest + "a").c_str(), 259));
    EXPECT_TRUE(outputFolderFits((longest + "a").c_str(), 260));
    const std::string tooLong(400, 'a');
    EXPECT_FALSE(outputFolderFits(("C:\\" + tooLong).c_str(), 1000));
}

TEST(SerialName, TheLowestNameNothingHoldsIsClaimedAndNothingForANameThatWouldBeCutOff) {
    TempFolder root;
    const std::string folder = root.held();
    char name[MAX_PATH];
    EXPECT_EQ(claimFreeSerialName(name, folder.c_str(), "savi", "avi"), 0);
    EXPECT_EQ(std::string(name), root / "savi0000.avi");
    EXPECT_TRUE(exists(root / "savi0000.avi")) << "the name is claimed for its writer";
    EXPECT_EQ(claimFreeSerialName(name, folder.c_str(), "savi", "avi"), 1);
    // A folder or any file under a name takes it, whatever it holds.
    ASSERT_TRUE(CreateDirectoryA((root / "savi0002.avi").c_str(), nullptr));
    for (const char* taken : {"savi0003.avi", "ss0000.png", "ss0001.bmp"}) ASSERT_TRUE(writeFileBytes(root / taken, ""));
    EXPECT_EQ(claimFreeSerialName(name, folder.c_str(), "savi", "avi"), 4);
    EXPECT_EQ(claimFreeSerialName(name, folder.c_str(), "ss", "bmp", "png"), 2) << "one number never names two results";
    EXPECT_EQ(readFileBytes(root / "savi0003.avi").size(), 0u);

    const std::string deep = "C:\\" + std::string(250, 'd');
    EXPECT_EQ(claimFreeSerialName(name, deep.c_str(), "ss", "bmp"), -1);
    EXPECT_STREQ(name, "");
}
