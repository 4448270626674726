// AVI recordings through the real AVIFile library, read back byte by byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/texts.h"
#include "capture/slot_pool.h"
#include "output/avi_riff_reader.h"
#include "app/compositing_phase.h"
#include "core/pixel_rows.h"
#include "capture/sample_store.h"
#include "output/avi_writer.h"
#include "encode/gif_encoder.h"
#include "output/recording_plan.h"
#include "support/dialog_watcher.h"
#include "support/display.h"
#include "support/files.h"
#include "support/recorded_samples.h"

namespace {

class AviRecording : public ::testing::Test {
protected:
    void SetUp() override {
        VirtualScreenRect = {0, 0, 700, 500};
        ASSERT_TRUE(setUpDisplay(nullptr));
        captureSlot = allocSlot24(700, 500);
        ASSERT_NE(usableSlot(captureSlot), nullptr);
        snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", folder.c_str());
        settings.S_FPS = 15;
        settings.S_TIME = 1.0f;
        settings.AVI_FPS = 15;
        app = AppState();
        SetRect(&CaptureRect, 0, 0, 64, 48);
    }
    void TearDown() override {
        releaseSlots();
        captureSlot = 0;
        releaseDisplay();
        EXPECT_EQ(aviLibraryReady, 0);
    }

    std::string avi(int number) const {
        char name[32];
        snprintf(name, sizeof name, "\\savi%04d.avi", number);
        return folder + name;
    }

    TempFolder temp;
    const std::string folder = temp / "avi";  // made by the recorder; held without a trailing backslash
};

// A recording is told before its first sample how long it can be: that must be what
// happens, so every byte it will take is counted, no more and no less.
TEST(RecordingRoom, CountsEveryByteTheRecordingTakes) {
    const long long mb = 1 << 20;
    // 1920 x 1080 samples (6,220,800 bytes) into a store whose disk has 500 MB free beside
    // the 15 MB its file holds; the AVI on another disk. The store grows to the samples
    // asked for and not one more.
    EXPECT_EQ(recordableSamples(900, 1920, 1080, 515 * mb, 100000 * mb, false), 515 * mb / 6220800);
    // A 40 x 20 client area into an AVI folder with 512 KB free: frames of 8 + 2,400 + 16
    // bytes, one file's headers and the room it keeps to close whole.
    const int small = recordableSamples(1800, 40, 20, 1000 * mb, 512 * 1024, false);
    EXPECT_EQ(small, (512 * 1024 - kAviFixedBytes - kAviCloseReserveBytes) / 2424);
    EXPECT_LE(recordingAviBytes(small, 40, 20), 512 * 1024);
    EXPECT_GT(recordingAviBytes(small + 1, 40, 20), 512 * 1024);
    // One disk with 100 MB free, the store's file holding 15 MB: the store grows into the
    // free space by what its samples need beyond those 15 MB, and the files take the rest.
    const int shared = recordableSamples(900, 1024, 512, 115 * mb, 100 * mb, true);  // 1.5 MB samples
    const long long growth = shared * sampleBytes(1024, 512) - 15 * mb;
    EXPECT_LE(growth + recordingAviBytes(shared, 1024, 512), 100 * mb);
    EXPECT_GT((shared + 1) * sampleBytes(1024, 512) - 15 * mb + recordingAviBytes(shared + 1, 1024, 512), 100 * mb);
    EXPECT_EQ(recordableSamples(30, 1024, 512, 115 * mb, 100 * mb, true), 30) << "a recording that fits is left whole";
    // A GIF's size is known only once encoded: its folder is asked for room for one frame.
    EXPECT_EQ(recordableSamples(1800, 40, 20, 1000 * mb, 512 * 1024, false, true), 1800);
    EXPECT_EQ(recordableSamples(1800, 640, 480, 1000 * mb, gifOneFrameBytesBound(640, 480) - 1, false, true), 0);
    // Past 2 GB a recording goes on in more files, each with its own headers.
    const long long frame = aviFrameFileBytes(stride24(1920) * 1080);
    const int perFile = aviFramesPerFile(stride24(1920) * 1080, kAviSplitBytes);
    EXPECT_EQ(recordingAviBytes(perFile + 1, 1920, 1080),
              2 * kAviFixedBytes + (perFile + 1) * frame + kAviCloseReserveBytes);
}

TEST_F(AviRecording, ScreenshotFramesAreUprightPaddedKeyFramesOfTheCaptureSize) {
    DialogWatcher watcher;
    SetRect(&CaptureRect, 0, 0, 641, 480);
    recordSamples(15, 0);
    EXPECT_EQ(app.aviFileOpen, 1);
    EXPECT_EQ(watcher.count(), 0u);

    AviFileBytes bytes;
    ASSERT_TRUE(bytes.load(avi(0).c_str()));
    const AviLayout layout = AviLayout::read(bytes);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.riffSize + 8, bytes.bytes.size() - 20) << "one RIFF chunk, then the library's filler";
    EXPECT_EQ(bytes.fourcc(layout.strh.data), "vids");
    EXPECT_EQ(bytes.fourcc(layout.strh.data + 4), "DIB ");
    EXPECT_EQ(layout.scale(bytes), 1u);
    EXPECT_EQ(layout.rate(bytes), 15u);
    EXPECT_EQ(layout.length(bytes), 15u);
    EXPECT_EQ(layout.totalFrames, 15u);
    EXPECT_EQ(bytes.u32(layout.strh.data + 40), 0xFFFFFFFFu) << "default quality";
    EXPECT_EQ(bytes.u16(layout.strh.data + 52), 641) << "rcFrame right";
    EXPECT_EQ(bytes.u16(layout.strh.data + 54), 480) << "rcFrame bottom";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes.bytes[layout.strn.data])), "VIDEO");

    ASSERT_EQ(layout.strf.size, 40u);
    EXPECT_EQ(bytes.u32(layout.strf.data), 40u);
    EXPECT_EQ(bytes.i32(layout.strf.data + 4), 641);
    EXPECT_EQ(bytes.i32(layout.strf.data + 8), 480) << "positive: bottom-up";
    EXPECT_EQ(bytes.u16(layout.strf.data + 12), 1);
    EXPECT_EQ(bytes.u16(layout.strf.data + 14), 24);
    EXPECT_EQ(bytes.u32(layout.strf.data + 16), 0u);
    EXPECT_EQ(bytes.u32(layout.strf.data + 20), 0u);

    ASSERT_EQ(layout.frames.size(), 15u);
    ASSERT_EQ(layout.idx1.size, 15u * 16);
    for (int k = 0; k < 15; ++k) {
        const RiffChunk& frame = layout.frames[k];
        EXPECT_EQ(frame.id, "00db");
        ASSERT_EQ(frame.size, 923520u);
        EXPECT_EQ(bytes.u32(layout.idx1.data + 16 * k + 4) & AVIIF_KEYFRAME, static_cast<uint32_t>(AVIIF_KEYFRAME));
        int wrong = 0;
        for (int j = 0; j < 480; ++j) {
            const unsigned char* row = &bytes.bytes[frame.data + 1924 * j];
            const int y = 479 - j;
            if (row[1923] != 0) ++wrong;
            for (int x = 0; x < 641; x += 37)
                for (int c = 0; c < 3; ++c)
                    if (row[3 * x + c] != sampleByte(x, y, k, c)) ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "frame " << k;
    }
}

TEST_F(AviRecording, StreamTimingFollowsTheMode) {
    struct Case {
        int aviOnly, sFps;
        float sTime;
        int aviFps, frames, wantRate, wantLength;
    };
    const Case cases[] = {
        {0, 15, 0.5f, 15, 7, 15, 7},      // a screenshot of 7.5 samples takes 7
        {1, 15, 1.0f, 10, 100, 10, 100},  // an AVI-only recording stopped after 100 samples
        {1, 15, 1.0f, 10, 0, 10, 0},      // a recording without samples still gets its file
    };
    SetRect(&CaptureRect, 0, 0, 8, 6);
    int number = 0;
    for (const Case& c : cases) {
        settings.S_FPS = c.sFps;
        settings.S_TIME = c.sTime;
        settings.AVI_FPS = c.aviFps;
        app.aviOnlyMode = c.aviOnly;
        app.aviFileOpen = 0;
        recordSamples(c.frames, c.aviOnly ? c.frames : 0);
        EXPECT_EQ(app.aviFileOpen, 1);

        AviFileBytes bytes;
        ASSERT_TRUE(bytes.load(avi(number).c_str())) << number;
        const AviLayout layout = AviLayout::read(bytes);
        ASSERT_TRUE(layout.valid) << number;
        EXPECT_EQ(layout.rate(bytes), static_cast<uint32_t>(c.wantRate)) << number;
        EXPECT_EQ(layout.length(bytes), static_cast<uint32_t>(c.wantLength)) << number;
        EXPECT_EQ(layout.frames.size(), static_cast<size_t>(c.wantLength)) << number;
        ++number;
    }
}

TEST_F(AviRecording, SerialNamesFillGapsAndAFullFolderIsReportedWithoutTouchingFiles) {
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int n : {0, 2}) CloseHandle(CreateFileA(avi(n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    recordSamples(1, 0);
    EXPECT_GT(fileSize(avi(1)), 0);
    EXPECT_EQ(fileSize(avi(0)), 0);
    EXPECT_EQ(fileSize(avi(2)), 0);

    // A folder with every name taken.
    TempFolder scratch;
    const std::string full = folderOfTakenNames(scratch);
    snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", full.c_str());
    app.aviFileOpen = 0;
    {
        DialogWatcher watcher;
        AviWriter writer;
        openCaptureAvi(&writer, 0);
        EXPECT_EQ(writer.isOpen, 0);
        recordFrame(&writer, 0);
        EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviErrorTitle), uiText(Text::AviFullMessage)));
        EXPECT_EQ(watcher.count(), 1u);
    }
    EXPECT_EQ(app.aviFileOpen, 0);
    EXPECT_EQ(fileSize(full + "\\savi9999.avi"), 0);
    EXPECT_FALSE(exists(full + "\\savi10000.avi"));
}

// Beside a screenshot, a folder too long for the names records nothing silently; an
// AVI-only recording, whose frames exist nowhere else, is told it lost them.
TEST_F(AviRecording, FolderOf230BytesRecordsAndOf231RecordsNothing) {
    DialogWatcher watcher;
    for (int length : {230, 231}) {
        std::string path = folder;
        while (static_cast<int>(path.size()) < length) {
            const int room = length - static_cast<int>(path.size()) - 1;
            int take = room > 60 ? 60 : room;
            if (room - take == 1) --take;  // never a last level of no name
            path += "\\" + std::string(take, static_cast<char>('a' + path.size() % 26));
        }
        ASSERT_EQ(static_cast<int>(path.size()), length);
        snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", path.c_str());
        app.aviFileOpen = 0;
        recordSamples(2, 0);
        EXPECT_EQ(exists(path + "\\savi0000.avi"), length == 230) << length;
        EXPECT_EQ(app.aviFileOpen, length == 230 ? 1 : 0) << length;
        if (length == 231) {
            EXPECT_FALSE(exists(path)) << "no folder is made for a path that cannot fit";
        }
        removeTree(folder);
    }
    EXPECT_EQ(watcher.count(), 0u);
    app.aviOnlyMode = 1;
    recordSamples(2, 2);
    EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviErrorTitle), uiText(Text::AviNotCreatedMessage)));
    EXPECT_STREQ(recordingFileProblem(), uiText(Text::AviFolderUnusableMessage)) << "and it is not started at all";
}

// A folder without a root would record into whatever the current directory is: nothing
// is recorded and the user is told once a capture, when it has frames to keep.
TEST_F(AviRecording, AFolderWithoutARootRecordsNothingAndSaysSoOnce) {
    DialogWatcher watcher;
    const std::string here = folder + "\\here";
    removeTree(here);
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(here.c_str(), nullptr);
    SetCurrentDirectoryA(here.c_str());
    snprintf(settings.AVISAVEPATH, MAX_PATH, "%s", "relative");
    recordSamples(3, 0);
    EXPECT_EQ(app.aviFileOpen, 0);
    EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviErrorTitle), uiText(Text::AviNoRootMessage)));
    EXPECT_EQ(watcher.count(), 1u) << "once for the capture, not once a frame";
    app.aviOnlyMode = 1;
    recordSamples(0, 0);  // a recording stopped before its first sample
    EXPECT_EQ(watcher.count(), 1u) << "no frames: nothing to tell";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((here + "\\*.avi").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "nothing in the current directory";
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

// A file the library created but could not give its stream is not left behind to look
// like a recording.
TEST_F(AviRecording, AFileWhoseStreamCannotBeMadeIsRemoved) {
    CreateDirectoryA(folder.c_str(), nullptr);
    AviWriter writer;
    BITMAPINFOHEADER format = {};
    format.biSize = sizeof format;
    format.biWidth = 64;
    format.biHeight = 48;
    format.biPlanes = 1;
    format.biBitCount = 24;
    EXPECT_FALSE(writer.open(avi(0).c_str(), 0, 0, 64, 48, &format)) << "a stream of rate 0 cannot be made";
    EXPECT_EQ(writer.isOpen, 0);
    EXPECT_FALSE(exists(avi(0)));
}

TEST_F(AviRecording, EachRecordingInitialisesTheLibraryAgain) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(aviLibraryReady, 0);
        AviWriter* writer = new AviWriter;
        EXPECT_EQ(aviLibraryReady, 1);
        EXPECT_EQ(writer->ownsLibraryInit, 1);
        openCaptureAvi(writer, 0);
        fillCaptureSample(round);
        recordFrame(writer, 0);
        EXPECT_TRUE(writer->close());
        delete writer;
    }
    AviFileBytes bytes;
    ASSERT_TRUE(bytes.load(avi(1).c_str()));
    EXPECT_EQ(AviLayout::read(bytes).frames.size(), 1u);
}

TEST_F(AviRecording, ASecondWriterLeavesTheLibraryToTheFirst) {
    AviWriter first;
    {
        AviWriter second;
        EXPECT_EQ(second.ownsLibraryInit, 0);
    }
    EXPECT_EQ(aviLibraryReady, 1);
    openCaptureAvi(&first, 0);
    recordFrame(&first, 0);
    EXPECT_EQ(first.framesWritten, 1);
    EXPECT_TRUE(first.close());
}

TEST_F(AviRecording, NullAndClosedWritersDoNothing) {
    DialogWatcher watcher;
    openCaptureAvi(nullptr, 5);
    recordFrame(nullptr, 0);
    EXPECT_FALSE(exists(folder));
    AviWriter writer;
    recordFrame(&writer, 0);
    EXPECT_FALSE(writer.writeFrame(0, "abcd", 4));
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(writer.recordingEnded, 0);
    EXPECT_EQ(app.aviFileOpen, 0);
    EXPECT_EQ(watcher.count(), 0u);
}

// The size ceiling, lowered so that three frames fit: the fourth ends the recording,
// the file keeps three whole frames and says so, and the user is told.
// The file limit, lowered so that three frames fit a file: a recording of eight goes on
// in two more numbered files, every frame kept once and in order, each file whole with
// its own length, and the user is told once which files hold it.
TEST_F(AviRecording, ARecordingPastTheFileLimitGoesOnInTheNextFiles) {
    DialogWatcher watcher;
    app.aviOnlyMode = 1;
    // An older recording holds savi0001.avi: the files of this one are 0000, 0002, 0003.
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(writeFileBytes(avi(1), "older"));
    AviWriter* writer = new AviWriter;
    openCaptureAvi(writer, 8);
    ASSERT_EQ(writer->isOpen, 1);
    const int frameBytes = stride24(64) * 48;
    writer->fileByteLimit = kAviFixedBytes + 3 * aviFrameFileBytes(frameBytes);
    for (int i = 0; i < 8; ++i) {
        fillCaptureSample(i);
        recordFrame(writer, i);
    }
    const long long predicted = writer->fileBytes;
    closeNumberedAvi(writer);
    delete writer;

    char expected[256];
    snprintf(expected, sizeof expected, uiText(Text::AviSplitMessage), 3, "savi0000.avi、savi0002.avi、savi0003.avi");
    EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviInfoTitle), expected));
    EXPECT_EQ(watcher.count(), 1u);

    const unsigned counts[] = {3, 3, 2};
    const int numbers[] = {0, 2, 3};
    int sample = 0;
    for (int file = 0; file < 3; ++file) {
        SCOPED_TRACE(avi(numbers[file]));
        AviFileBytes bytes;
        ASSERT_TRUE(bytes.load(avi(numbers[file]).c_str()));
        const AviLayout layout = AviLayout::read(bytes);
        ASSERT_TRUE(layout.valid);
        EXPECT_EQ(layout.rate(bytes), 15u);
        EXPECT_EQ(layout.length(bytes), counts[file]);
        ASSERT_EQ(layout.frames.size(), counts[file]);
        for (const RiffChunk& frame : layout.frames) {
            const unsigned char* bottomRow = &bytes.bytes[frame.data];  // y = 47
            EXPECT_EQ(bottomRow[3 * 5 + 1], sampleByte(5, 47, sample, 1)) << "sample " << sample;
            ++sample;
        }
        if (file == 2) {
            // The prediction the limit relies on never falls short of the real file.
            EXPECT_LE(static_cast<long long>(bytes.bytes.size()), predicted);
        }
    }
    EXPECT_EQ(sample, 8);
    EXPECT_FALSE(exists(avi(4)));
    EXPECT_EQ(readFileBytes(avi(1)).size(), 5u) << "the older file is left alone";
}

// A frame too large for any file ends the recording at once, and says so.
TEST_F(AviRecording, AFrameNoFileCouldHoldEndsTheRecording) {
    DialogWatcher watcher;
    AviWriter writer;
    openCaptureAvi(&writer, 0);
    writer.fileByteLimit = kAviFixedBytes + 100;
    fillCaptureSample(0);
    recordFrame(&writer, 0);
    EXPECT_EQ(writer.recordingEnded, 1);
    closeNumberedAvi(&writer);
    char expected[256];
    snprintf(expected, sizeof expected, uiText(Text::AviTooLargeMessage), 0);
    EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviErrorTitle), expected));
}

TEST_F(AviRecording, AFrameTheLibraryRefusesEndsTheRecordingWithoutAGap) {
    AviWriter writer;
    openCaptureAvi(&writer, 0);
    fillCaptureSample(0);
    recordFrame(&writer, 0);
    const int frameBytes = stride24(64) * 48;
    EXPECT_FALSE(writer.writeFrame(1, nullptr, frameBytes));  // the library rejects missing data
    EXPECT_EQ(writer.recordingEnded, 1);
    EXPECT_FALSE(writer.writeFrame(2, usableSlot(captureSlot)->bits, frameBytes));
    writer.close();

    AviFileBytes bytes;
    ASSERT_TRUE(bytes.load(avi(0).c_str()));
    const AviLayout layout = AviLayout::read(bytes);
    EXPECT_EQ(layout.length(bytes), 1u);
    ASSERT_EQ(layout.frames.size(), 1u);
    EXPECT_EQ(layout.frames[0].size, static_cast<uint32_t>(frameBytes));
}

// A frame that cannot be copied safely (a capture larger than the slot) is never
// copied; the recording ends with the frames before it, and says so.
TEST_F(AviRecording, AFrameThatCannotBeCopiedEndsTheRecording) {
    DialogWatcher watcher;
    AviWriter writer;
    openCaptureAvi(&writer, 0);
    fillCaptureSample(0);
    recordFrame(&writer, 0);
    SetRect(&CaptureRect, 0, 0, 64, 600);  // taller than the 700 x 500 slot
    recordFrame(&writer, 1);
    SetRect(&CaptureRect, 0, 0, 64, 48);
    recordFrame(&writer, 2);
    EXPECT_EQ(writer.recordingEnded, 1);
    EXPECT_EQ(writer.framesWritten, 1);
    closeNumberedAvi(&writer);
    char expected[256];
    snprintf(expected, sizeof expected, uiText(Text::AviAreaTooLargeMessage), 1);
    EXPECT_TRUE(watcher.sawMessage(uiText(Text::AviErrorTitle), expected));

    AviFileBytes bytes;
    ASSERT_TRUE(bytes.load(avi(0).c_str()));
    EXPECT_EQ(AviLayout::read(bytes).frames.size(), 1u);
}

}  // namespace
