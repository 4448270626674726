#include "output/recording_plan.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "core/pixel_rows.h"
#include "capture/sample_store.h"
#include "output/avi_writer.h"
#include "output/folder_path.h"
#include "encode/gif_encoder.h"
#include "output/serial_name.h"

namespace {

// Whether n samples and their files fit: see recordableSamples.
bool recordingFits(long long n, long long sample, int width, int height, long long storeRoom, long long aviRoom,
                   bool oneDisk, bool gif) {
    if (n > LLONG_MAX / sample) return false;
    const long long samples = n * sample;
    // A GIF's size is known only once encoded: what its first frame may take is asked for
    // now, and the file is cut to what the disk holds when it is written.
    const long long files = gif ? gifOneFrameBytesBound(width, height) : recordingAviBytes(static_cast<int>(n), width, height);
    if (!oneDisk) return samples <= storeRoom && files <= aviRoom;
    // One disk: its free space takes what the store's file grows by and the files.
    const long long held = storeRoom > aviRoom ? storeRoom - aviRoom : 0;
    const long long growth = samples > held ? samples - held : 0;
    return growth <= aviRoom && files <= aviRoom - growth;
}

}  // namespace

const char* recordingFileProblem() {
    if (!outputFolderFits(settings.AVISAVEPATH, MAX_PATH)) {
        return strlen(settings.AVISAVEPATH) + 30 <= MAX_PATH ? uiText(Text::AviNoRootMessage) : uiText(Text::AviFolderUnusableMessage);
    }
    enterOutputFolder(settings.AVISAVEPATH);
    char name[MAX_PATH];
    const bool gif = app.recordingGif != 0;
    if (claimFreeSerialName(name, settings.AVISAVEPATH, gif ? "sgif" : "savi", gif ? "gif" : "avi") < 0) {
        return gif ? uiText(Text::GifFullMessage) : uiText(Text::AviFullMessage);
    }
    // A folder that takes no new file gives the name unclaimed: nothing is there then.
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return uiText(Text::AviFolderUnusableMessage);
    DeleteFileA(name);
    return nullptr;
}

long long recordingAviBytes(int frames, int width, int height) {
    const long long frameBytes = static_cast<long long>(stride24(width)) * height;
    if (frames <= 0) return kAviFixedBytes + kAviCloseReserveBytes;
    if (frameBytes > INT_MAX) return LLONG_MAX;
    const int perFile = aviFramesPerFile(static_cast<int>(frameBytes), kAviSplitBytes);
    if (perFile <= 0) return LLONG_MAX;
    const long long fileCount = (static_cast<long long>(frames) + perFile - 1) / perFile;
    return fileCount * kAviFixedBytes + frames * aviFrameFileBytes(static_cast<int>(frameBytes)) +
           kAviCloseReserveBytes;
}

int recordableSamples(int wanted, int width, int height, long long storeRoom, long long aviRoom, bool oneDisk,
                      bool gif) {
    const long long sample = sampleBytes(width, height);
    if (wanted <= 0 || sample <= 0) return wanted > 0 ? wanted : 0;
    // The most n for which everything fits: each sample only adds bytes.
    int low = 0, high = wanted;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (recordingFits(middle, sample, width, height, storeRoom, aviRoom, oneDisk, gif)) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return low;
}

int planRecording(int sampleTotal, int width, int height) {
    if (const char* problem = recordingFileProblem()) {
        showMessage(mainWindow, problem, uiText(Text::AviErrorTitle));
        return 0;
    }
    char aviVolume[MAX_PATH], storeVolume[MAX_PATH] = "";
    long long aviRoom = 0;
    const long long storeBytesRoom = storeRoom();
    // The folder was just made and took a file: a disk that does not answer is not guessed at.
    if (!volumeRoom(settings.AVISAVEPATH, aviVolume, &aviRoom)) return sampleTotal;
    const char* storeFolder = storeFolderPath();
    const bool oneDisk = storeFolder && GetVolumePathNameA(storeFolder, storeVolume, MAX_PATH) &&
                         lstrcmpiA(storeVolume, aviVolume) == 0;
    const int fits = recordableSamples(sampleTotal, width, height, storeBytesRoom, aviRoom, oneDisk, app.recordingGif != 0);
    if (fits >= sampleTotal) return sampleTotal;
    if (fits < settings.AVI_FPS) {
        showMessage(mainWindow, uiText(Text::RecordingNoRoomMessage), uiText(Text::AviErrorTitle));
        return 0;
    }
    char text[256];
    snprintf(text, sizeof text, uiText(Text::RecordingShortenedMessage), fits / settings.AVI_FPS, fits);
    showMessage(mainWindow, text, uiText(Text::AviErrorTitle));
    return fits;
}
