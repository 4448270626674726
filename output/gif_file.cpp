#include "output/gif_file.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "core/app_state.h"
#include "core/gdi_guards.h"
#include "core/pixel_rows.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "resources/resource.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "encode/gif_fit.h"
#include "output/bmp_export.h"
#include "output/folder_path.h"
#include "output/serial_name.h"

GifOutput* beginGifOutput(int width, int height) {
    GifOutput* gif = new (std::nothrow) GifOutput();
    if (!gif) {
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::FileSaveErrorTitle));
        return nullptr;
    }
    try {
        gifBegin(gif->encoder, width, height);
    } catch (const std::bad_alloc&) {
        // A frame's buffers for a large desktop may not fit a 32-bit address space.
        delete gif;
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::FileSaveErrorTitle));
        return nullptr;
    }
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

namespace {

// The result shown, width x height of it, top-down 24-bit rows in `out`; false when the
// image cannot be had.
bool resultPixels(int width, int height, std::vector<uint8_t>& out) {
    // Taken from the image the window shows and the exports read: the result slot is made
    // anew, empty, when the monitors change, while the kept samples and the image stay.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the samples are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> image(CreateDIBSection(displayDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!image || !bits) return false;
    {
        Selected into(workDC, image);
        BitBlt(workDC, 0, 0, width, height, displayDC, 0, 0, SRCCOPY);
    }
    GdiFlush();
    out.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        memcpy(out.data() + static_cast<size_t>(y) * width * 3,
               static_cast<const BYTE*>(bits) + static_cast<size_t>(y) * stride24(width), static_cast<size_t>(width) * 3);
    }
    return true;
}

// How long the result is held at the end of a GIF.
const int kResultTicks = 10000;

}  // namespace

void addGifResult(GifOutput* gif, int width, int height) {
    if (!settings.GIF_WITH_RESULT || !gif || gif->lost || width < 1 || height < 1) return;
    // Kept for a file encoded again to fit GIF_MAX_MB.
    if (!resultPixels(width, height, gif->result)) return;  // the GIF goes without its last frame
    addGifSample(gif, gif->result.data(), width * 3, kResultTicks);
}

GifSource storeGifSource(int count, int storeWidth, int width, int height, int rate, const GifMarker& mark) {
    const long long size = sampleBytes(storeWidth, height);
    // Each frame copied from the store's rows at the shown width, where the marks may go.
    auto sample = std::make_shared<std::vector<uint8_t>>();
    GifSource source;
    source.sampleAt = [=](int i) -> const uint8_t* {
        const BYTE* stored = storeBytes(i * size, size);
        if (!stored) return nullptr;
        sample->resize(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            memcpy(sample->data() + static_cast<size_t>(y) * width * 3, stored + static_cast<size_t>(y) * storeWidth * 3,
                   static_cast<size_t>(width) * 3);
        }
        if (mark) mark(i, sample->data(), width * 3);
        return sample->data();
    };
    source.ticksAt = [rate](int i) { return gifSampleTicks(i, rate); };
    source.count = count;
    source.stride = width * 3;
    source.width = width;
    source.height = height;
    return source;
}

namespace {

// The GIF a recording feeds as it records, and the samples it has taken.
struct LiveGif {
    GifOutput* gif = nullptr;
    int fed = 0, width = 0, height = 0, rate = 0;
};
LiveGif live;

}  // namespace

void feedRecordingGif(int k, const BYTE* sample, int width, int height) {
    if (k == 1) {
        delete live.gif;
        live = LiveGif();
        if (!app.aviOnlyMode || !app.recordingGif) return;
        live.gif = new (std::nothrow) GifOutput();
        if (!live.gif) return;  // the samples are encoded from the store after the recording
        try {
            gifBegin(live.gif->encoder, width, height);
        } catch (const std::bad_alloc&) {
            delete live.gif;
            live.gif = nullptr;
            return;
        }
        live.width = width;
        live.height = height;
        live.rate = settings.AVI_FPS;
    }
    if (!live.gif || live.gif->lost || width != live.width || height != live.height) return;
    const long long size = sampleBytes(width, height);
    // The samples left in the store first, a few a step; `sample` holds only until the
    // store is read elsewhere.
    bool storeRead = false;
    for (int taken = 0; taken < 3 && live.fed < k; ++taken) {
        const int next = live.fed + 1;
        const BYTE* bgr = next == k && !storeRead ? sample : storeBytes((next - 1) * size, size);
        storeRead = storeRead || next != k;
        if (!bgr) return;
        try {
            if (!gifTryAddFrame(live.gif->encoder, bgr, width * 3, gifSampleTicks(next - 1, live.rate))) return;
        } catch (const std::bad_alloc&) {
            live.gif->lost = true;  // encoded again from the store after the recording
            return;
        }
        ++live.fed;
    }
}

GifOutput* takeRecordingGif(int width, int height, int rate, int* fed) {
    GifOutput* gif = live.gif;
    const bool fits = gif && !gif->lost && live.fed > 0 && width == live.width && height == live.height &&
                      rate == live.rate;
    *fed = fits ? live.fed : 0;
    if (!fits) delete gif;
    live = LiveGif();
    return fits ? gif : nullptr;
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
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::FileSaveErrorTitle));
        return nullptr;
    }
    return bytes;
}

// Claims the next free sgif####.gif in AVISAVEPATH, making the folder first. Null when
// claimed, else why not: a folder too long for the names or without a root, or all taken.
const char* claimGifName(char* name) {
    if (!outputFolderFits(settings.AVISAVEPATH, MAX_PATH)) return uiText(Text::WriteFailedMessage);
    enterOutputFolder(settings.AVISAVEPATH);
    return claimFreeSerialName(name, settings.AVISAVEPATH, "sgif", "gif") < 0 ? uiText(Text::GifFullMessage) : nullptr;
}

// The save dialog the images have, offering GIF only.
bool askGifPath(char* path, bool* usable) {
    std::wstring filter = wideFromShiftJis(uiText(Text::SaveGifFilterName));
    filter += L'\0';
    filter += L"*.gif";
    filter += L'\0';  // c_str() adds the second NUL that ends the list
    return askSaveName(filter, 1, uiText(Text::SaveGifDialogTitle), L"gif", path, usable) != 0;
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
            showMessage(mainWindow, uiText(Text::StoreFailedMessage), uiText(Text::FileSaveErrorTitle));
            delete gif;
            return nullptr;
        }
        addGifSample(gif, sample, kept.storeWidth * 3, gifSampleTicks(i, kept.rate));
        // A busy frame takes a good part of a second: the window answers between frames.
        keepAnswering();
    }
    addGifResult(gif, kept.width, kept.height);
    return gif;
}

}  // namespace

namespace {

// The samples a cut of the file to at most `maxBytes` would keep, the file left as it is.
int samplesFitting(const GifEncoder& encoder, long long maxBytes) {
    int samples = 0;
    for (const GifFrameEnd& end : encoder.frameEnds) {
        if (static_cast<long long>(end.bytes) >= maxBytes) break;  // a byte stays for the trailer
        samples = end.samples;
    }
    return samples;
}

// Writes the finished file as `name` (claimed, empty). Where the disk cannot take it whole
// or the write fails, asks: again, elsewhere (the claimed name is then given back), or the
// frames that fit. Returns the samples the written file shows; 0 when nothing was written
// (the claimed name removed).
int writeGifKeeping(GifEncoder& encoder, const char* name, KeepAsker ask) {
    const int total = encoder.frameEnds.empty() ? 0 : encoder.frameEnds.back().samples;
    bool retried = false;
    for (;;) {
        // The disk takes whole clusters: what does not fit them is not tried.
        char volume[MAX_PATH];
        long long room = 0, cluster = 1;
        const bool measured = volumeRoom(name, volume, &room, &cluster);
        const long long usable = measured ? room - room % cluster : LLONG_MAX;
        const char* reason = uiText(Text::KeepRoomFormat);
        if (static_cast<long long>(encoder.bytes.size()) <= usable) {
            if (writeEncodedFile(name, encoder.bytes.data(), static_cast<int>(encoder.bytes.size())) ==
                SaveOutcome::Written) {
                return total;
            }
            reason = uiText(Text::KeepWriteFormat);  // the user has been told the write failed
        }
        const int fits = reason == uiText(Text::KeepRoomFormat) ? samplesFitting(encoder, usable) : 0;
        if (retried && fits == 0) break;  // made no room: the samples are given up
        const int choice = ask ? ask(reason, total, fits, true) : IDABORT;
        retried = choice == IDRETRY;
        if (choice == IDC_KEEP_ELSEWHERE) {
            char path[MAX_PATH];
            bool usablePath = false;
            if (askGifPath(path, &usablePath) && usablePath &&
                writeEncodedFile(path, encoder.bytes.data(), static_cast<int>(encoder.bytes.size())) ==
                    SaveOutcome::Written) {
                DeleteFileA(name);
                return total;
            }
        } else if (choice == IDABORT) {
            // The whole frames that fit, as a file that reads whole.
            const int kept = fits > 0 ? gifCutToFit(encoder, static_cast<size_t>(usable)) : 0;
            if (kept > 0 &&
                writeEncodedFile(name, encoder.bytes.data(), static_cast<int>(encoder.bytes.size())) ==
                    SaveOutcome::Written) {
                return kept;
            }
            break;
        }
    }
    DeleteFileA(name);  // the claimed name holds nothing
    return 0;
}

}  // namespace

void finishNumberedGif(GifOutput* gif, KeepAsker ask, const char* path) {
    if (!gif) return;
    const std::vector<uint8_t>* bytes = finishedBytes(gif);
    if (bytes && !bytes->empty()) {
        // A folder too long for the names, or one without a root, takes nothing: the
        // user is told, since the samples are lost with it.
        char name[MAX_PATH];
        if (path) {
            writeGifKeeping(gif->encoder, path, ask);
        } else if (const char* problem = claimGifName(name)) {
            showMessage(mainWindow, problem, uiText(Text::FileSaveErrorTitle));
        } else {
            writeGifKeeping(gif->encoder, name, ask);
        }
    }
    delete gif;
}

void finishRecordingGif(GifOutput* gif, KeepAsker ask, const char* path) {
    if (!gif) return;
    GifEncoder& encoder = gif->encoder;
    // Why the file keeps fewer samples than were encoded: a format taking how many it keeps.
    const char* shortened = nullptr;
    int samples = 0;
    char name[MAX_PATH];
    try {
        if (!gif->lost) gifFinish(encoder);
    } catch (const std::bad_alloc&) {
        gif->lost = true;  // the last sample's buffers or the file's growth: the frames before it are whole
    }
    try {
        if (gif->lost) {
            gifCutToFit(encoder, static_cast<size_t>(-1));  // the frames encoded whole before memory ran out
            shortened = uiText(Text::AviNoMemoryMessage);
        }
        if (encoder.bytes.size() > static_cast<size_t>(INT_MAX)) {
            gifCutToFit(encoder, static_cast<size_t>(INT_MAX));
            shortened = uiText(Text::AviTooLargeMessage);
        }
    } catch (const std::bad_alloc&) {
        encoder.bytes.clear();
        encoder.frameEnds.clear();
    }
    if (!encoder.frameEnds.empty()) samples = encoder.frameEnds.back().samples;
    if (samples == 0) {
        showMessage(mainWindow, gif->lost ? uiText(Text::NoMemoryMessage) : uiText(Text::AviNotCreatedMessage), uiText(Text::AviErrorTitle));
    } else if (path ? (snprintf(name, sizeof name, "%s", path), false) : claimGifName(name) != nullptr) {
        showMessage(mainWindow, uiText(Text::AviNotCreatedMessage), uiText(Text::AviErrorTitle));
    } else {
        // Fewer samples than encoded: the user chose to keep what fits, and was told how many.
        samples = writeGifKeeping(encoder, name, ask);
        if (samples == 0) {
            showMessage(mainWindow, uiText(Text::AviNotCreatedMessage), uiText(Text::AviErrorTitle));
        } else if (shortened) {
            char text[256];
            snprintf(text, sizeof text, shortened, samples);
            showMessage(mainWindow, text, uiText(Text::AviErrorTitle));
        }
    }
    delete gif;
}

namespace {

size_t gifLimitBytes() { return static_cast<size_t>(settings.GIF_MAX_MB) * 1024 * 1024; }

// `source` with `result` (width x height, when not empty) as a last frame held for a second.
GifSource withResult(GifSource source, const std::vector<uint8_t>& result) {
    if (result.empty()) return source;
    const int count = source.count;
    const GifSampleAt samples = source.sampleAt;
    const GifTicksAt ticks = source.ticksAt;
    const uint8_t* pixels = result.data();
    source.sampleAt = [=](int i) { return i == count ? pixels : samples(i); };
    source.ticksAt = [=](int i) { return i == count ? kResultTicks : ticks(i); };
    ++source.count;
    return source;
}

// Encodes `source` to fit GIF_MAX_MB into `fitted`, telling the user what was given up, or
// why it could not be made. False (the user told) when it was not made.
bool encodeFitting(const GifSource& source, bool exactPasses, GifFitted& fitted) {
    bool made = false, unreadable = false;
    // The caption counts the samples of each step, then says again what it said.
    wchar_t caption[256] = L"";
    if (mainWindow) GetWindowTextW(mainWindow, caption, 256);
    auto progress = [](int done, int count) {
        setCaption(uiText(Text::CaptionFittingGif), done, count);
        keepAnswering();
    };
    try {
        made = gifEncodeFitting(source.sampleAt, source.ticksAt, source.count, source.stride, source.width,
                                source.height, gifLimitBytes(), fitted, progress, exactPasses);
        unreadable = !made;
    } catch (const std::bad_alloc&) {
        made = false;
    }
    if (mainWindow) SetWindowTextW(mainWindow, caption);
    if (!made) {
        showMessage(mainWindow, uiText(unreadable ? Text::StoreFailedMessage : Text::NoMemoryMessage),
                    uiText(Text::FileSaveErrorTitle));
        return false;
    }
    if (fitted.step.quality.lossy > 0 || !fitted.fits) {
        char text[512];
        snprintf(text, sizeof text, uiText(fitted.fits ? Text::GifFittedFormat : Text::GifNotFittedFormat),
                 settings.GIF_MAX_MB, static_cast<int>((fitted.encoder.bytes.size() + 1023) / 1024), fitted.frames,
                 fitted.step.quality.colours, fitted.width, fitted.height, fitted.step.quality.lossy);
        // Made to fit is what was asked for; a file still past the limit is a failure.
        showMessage(mainWindow, text, uiText(Text::GifFittedTitle),
                    MB_OK | (fitted.fits ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    return true;
}

// The kept samples' GIF made to fit GIF_MAX_MB, the user told what was given up.
bool fittedKeptSamplesGif(std::vector<uint8_t>& out) {
    const KeptSamples kept = keptSamples;
    std::vector<uint8_t> result;
    if (settings.GIF_WITH_RESULT && !resultPixels(kept.width, kept.height, result)) result.clear();
    GifFitted fitted;
    const GifSource source =
        withResult(storeGifSource(kept.count, kept.storeWidth, kept.width, kept.height, kept.rate, nullptr), result);
    if (!encodeFitting(source, false, fitted)) return false;
    out.swap(fitted.encoder.bytes);
    return !out.empty();
}

}  // namespace

void fitGifToLimit(GifOutput* gif, const GifSource& source) {
    if (!gif || gif->lost || settings.GIF_MAX_MB <= 0) return;
    try {
        if (gifFinish(gif->encoder).size() <= gifLimitBytes()) return;
    } catch (const std::bad_alloc&) {
        return;  // the file is cut where memory ran out when it is written
    }
    // Where it cannot be made smaller, the exact file is written as it is.
    GifFitted fitted;
    if (encodeFitting(withResult(source, gif->result), true, fitted)) gif->encoder = std::move(fitted.encoder);
}

bool keptSamplesGif(std::vector<uint8_t>& out) {
    out.clear();
    if (settings.GIF_MAX_MB > 0) return fittedKeptSamplesGif(out);
    GifOutput* gif = nullptr;
    try {
        gif = gifOfKeptSamples();
        const std::vector<uint8_t>* bytes = gif ? finishedBytes(gif) : nullptr;
        if (bytes) out.swap(gif->encoder.bytes);
    } catch (const std::bad_alloc&) {
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::FileSaveErrorTitle));
    }
    delete gif;
    return !out.empty();
}

void saveGifToFile() {
    if (app.captureBusy) {
        showMessage(nullptr, uiText(Text::BusyMessage), uiText(Text::FileSaveErrorTitle));
        return;
    }
    if (!mayStart(Start::Save)) return;  // a save already asks for its name or writes
    if (keptSamples.count <= 0) {
        showMessage(nullptr, uiText(Text::NoDataMessage), uiText(Text::FileSaveErrorTitle));
        return;
    }
    app.saveInProgress = 1;
    char path[MAX_PATH];
    bool usable = false;
    if (askGifPath(path, &usable)) {
        if (!usable) {
            showMessage(nullptr, uiText(Text::UnusableNameMessage), uiText(Text::FileSaveErrorTitle));
        } else {
            // The folder is remembered even if the write then fails.
            strcpy(settings.SAVEPATH, path);
            keepFolderPart(settings.SAVEPATH);
            try {
                std::vector<uint8_t> bytes;
                if (keptSamplesGif(bytes)) writeEncodedFile(path, bytes.data(), static_cast<int>(bytes.size()));
            } catch (const std::bad_alloc&) {
                showMessage(nullptr, uiText(Text::NoMemoryMessage), uiText(Text::FileSaveErrorTitle));
            }
        }
    }
    app.saveInProgress = 0;
}
