#include "output/gif_file.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "output/bmp_export.h"
#include "output/folder_path.h"
#include "output/serial_name.h"

GifOutput* beginGifOutput(int width, int height) {
    GifOutput* gif = new (std::nothrow) GifOutput();
    if (!gif) {
        showMessage(mainWindow, kNoMemoryMessage, kFileSaveErrorTitle);
        return nullptr;
    }
    gifBegin(gif->encoder, width, height);
    return gif;
}

void addGifSample(GifOutput* gif, const BYTE* bgr, int stride, int durationTicks) {
    if (!gif || gif->lost || !bgr) return;
    // The encoder's buffers grow with the frames; a capture must not end for its GIF.
    try {
        gifAddFrame(gif->encoder, bgr, stride, durationTicks);
    } catch (const std::bad_alloc&) {
        gif->lost = true;
    }
}

void addGifResult(GifOutput* gif, int width, int height) {
    if (!settings.GIF_WITH_RESULT) return;
    const BitmapSlot* slot = usableSlot(resultSlot);
    if (!slot || slot->stride <= 0 || width > slot->width || height > slot->height) return;
    addGifSample(gif, slot->bits, slot->stride, 10000);
}

int gifSampleTicks(int index, int rate) {
    if (rate <= 0) return 0;
    return static_cast<int>((index + 1LL) * 10000 / rate - index * 10000LL / rate);
}

namespace {

// The finished file, or null (the user told) when memory ran out for it.
const std::vector<uint8_t>* finishedBytes(GifOutput* gif) {
    const std::vector<uint8_t>* bytes = nullptr;
    if (!gif->lost) {
        try {
            bytes = &gifFinish(gif->encoder);
        } catch (const std::bad_alloc&) {
            bytes = nullptr;
        }
    }
    if (!bytes || bytes->size() > static_cast<size_t>(INT_MAX)) {
        showMessage(mainWindow, kNoMemoryMessage, kFileSaveErrorTitle);
        return nullptr;
    }
    return bytes;
}

// Claims the next free sgif####.gif in AVISAVEPATH, making the folder first. Null when
// claimed, else why not: a folder too long for the names or without a root, or all taken.
const char* claimGifName(char* name) {
    if (!outputFolderFits(settings.AVISAVEPATH, MAX_PATH)) return kWriteFailedMessage;
    enterOutputFolder(settings.AVISAVEPATH);
    return claimFreeSerialName(name, settings.AVISAVEPATH, "sgif", "gif") < 0 ? kGifFullMessage : nullptr;
}

// The save dialog the images have, offering GIF only.
bool askGifPath(char* path, bool* usable) {
    std::wstring filter = wideFromShiftJis(kSaveGifFilterName);
    filter += L'\0';
    filter += L"*.gif";
    filter += L'\0';  // c_str() adds the second NUL that ends the list
    return askSaveName(filter, 1, kSaveGifDialogTitle, L"gif", path, usable) != 0;
}

// The kept samples read back from the store and encoded; null when the store no longer
// gives them (the user told) or memory ran out.
GifOutput* gifOfKeptSamples() {
    const KeptSamples kept = keptSamples;
    GifOutput* gif = beginGifOutput(kept.width, kept.height);
    if (!gif) return nullptr;
    const long long size = sampleBytes(kept.storeWidth, kept.height);
    for (int i = 0; i < kept.count; ++i) {
        const BYTE* sample = storeBytes(i * size, size);
        if (!sample) {
            showMessage(mainWindow, kStoreFailedMessage, kFileSaveErrorTitle);
            delete gif;
            return nullptr;
        }
        addGifSample(gif, sample, kept.storeWidth * 3, gifSampleTicks(i, kept.rate));
    }
    addGifResult(gif, kept.width, kept.height);
    return gif;
}

}  // namespace

void finishNumberedGif(GifOutput* gif) {
    if (!gif) return;
    const std::vector<uint8_t>* bytes = finishedBytes(gif);
    if (bytes && !bytes->empty()) {
        // A folder too long for the names, or one without a root, takes nothing: the
        // user is told, since the samples are lost with it.
        char name[MAX_PATH];
        if (const char* problem = claimGifName(name)) {
            showMessage(mainWindow, problem, kFileSaveErrorTitle);
        } else if (writeEncodedFile(name, bytes->data(), static_cast<int>(bytes->size())) != SaveOutcome::Written) {
            // The claimed name holds nothing when the file could not be written whole.
            DeleteFileA(name);
        }
    }
    delete gif;
}

void finishRecordingGif(GifOutput* gif) {
    if (!gif) return;
    GifEncoder& encoder = gif->encoder;
    // Why the file keeps fewer samples than were recorded: a format taking how many it keeps.
    const char* shortened = nullptr;
    int samples = 0;
    char name[MAX_PATH];
    try {
        if (!gif->lost) gifFinish(encoder);
        if (gif->lost) {
            gifCutToFit(encoder, static_cast<size_t>(-1));  // the frames encoded whole before memory ran out
            shortened = kAviNoMemoryMessage;
        }
        if (encoder.bytes.size() > static_cast<size_t>(INT_MAX)) {
            gifCutToFit(encoder, static_cast<size_t>(INT_MAX));
            shortened = kAviTooLargeMessage;
        }
    } catch (const std::bad_alloc&) {
        encoder.bytes.clear();
        encoder.frameEnds.clear();
    }
    if (!encoder.frameEnds.empty()) samples = encoder.frameEnds.back().samples;
    if (samples == 0) {
        showMessage(mainWindow, gif->lost ? kNoMemoryMessage : kAviNotCreatedMessage, kAviErrorTitle);
    } else if (claimGifName(name)) {
        showMessage(mainWindow, kAviNotCreatedMessage, kAviErrorTitle);
    } else {
        // The disk takes whole clusters: the file is cut to the frames they hold.
        char volume[MAX_PATH];
        long long room = 0, cluster = 1;
        if (volumeRoom(name, volume, &room, &cluster) && static_cast<long long>(encoder.bytes.size()) > room - room % cluster) {
            samples = gifCutToFit(encoder, static_cast<size_t>(room - room % cluster));
            shortened = kAviDiskFullMessage;
        }
        if (samples == 0) {
            DeleteFileA(name);
            showMessage(mainWindow, kAviNotCreatedMessage, kAviErrorTitle);
        } else if (writeEncodedFile(name, encoder.bytes.data(), static_cast<int>(encoder.bytes.size())) !=
                   SaveOutcome::Written) {
            DeleteFileA(name);  // the user has been told; the claimed name holds nothing
        } else if (shortened) {
            char text[256];
            snprintf(text, sizeof text, shortened, samples);
            showMessage(mainWindow, text, kAviErrorTitle);
        }
    }
    delete gif;
}

void saveGifToFile() {
    if (app.captureBusy) {
        showMessage(nullptr, kBusyMessage, kFileSaveErrorTitle);
        return;
    }
    if (keptSamples.count <= 0) {
        showMessage(nullptr, kNoDataMessage, kFileSaveErrorTitle);
        return;
    }
    app.saveInProgress = 1;
    char path[MAX_PATH];
    bool usable = false;
    if (askGifPath(path, &usable)) {
        if (!usable) {
            showMessage(nullptr, kUnusableNameMessage, kFileSaveErrorTitle);
        } else {
            // The folder is remembered even if the write then fails.
            strcpy(settings.SAVEPATH, path);
            keepFolderPart(settings.SAVEPATH);
            GifOutput* gif = gifOfKeptSamples();
            const std::vector<uint8_t>* bytes = gif ? finishedBytes(gif) : nullptr;
            if (bytes && !bytes->empty()) writeEncodedFile(path, bytes->data(), static_cast<int>(bytes->size()));
            delete gif;
        }
    }
    app.saveInProgress = 0;
}
