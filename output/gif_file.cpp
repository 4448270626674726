#include "output/gif_file.h"

#include <climits>
#include <cstring>
#include <new>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
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

int gifSampleTicks(int index, int rate) {
    if (rate <= 0) return 0;
    return static_cast<int>((index + 1LL) * 10000 / rate - index * 10000LL / rate);
}

void finishNumberedGif(GifOutput* gif) {
    if (!gif) return;
    const std::vector<uint8_t>* bytes = nullptr;
    if (!gif->lost) {
        try {
            bytes = &gifFinish(gif->encoder);
        } catch (const std::bad_alloc&) {
            gif->lost = true;
        }
    }
    if (gif->lost || !bytes || bytes->size() > static_cast<size_t>(INT_MAX)) {
        showMessage(mainWindow, kNoMemoryMessage, kFileSaveErrorTitle);
    } else if (!bytes->empty()) {
        // A folder too long for the names, or one without a root, takes nothing: the
        // user is told, since the samples are lost with it.
        char name[MAX_PATH];
        if (!outputFolderFits(settings.AVISAVEPATH, MAX_PATH)) {
            showMessage(mainWindow, kWriteFailedMessage, kFileSaveErrorTitle);
        } else {
            enterOutputFolder(settings.AVISAVEPATH);
            if (claimFreeSerialName(name, settings.AVISAVEPATH, "sgif", "gif") < 0) {
                showMessage(mainWindow, kGifFullMessage, kFileSaveErrorTitle);
            } else if (writeEncodedFile(name, bytes->data(), static_cast<int>(bytes->size())) != SaveOutcome::Written) {
                // The claimed name holds nothing when the file could not be written whole.
                DeleteFileA(name);
            }
        }
    }
    delete gif;
}
