#include "app/compositing_phase.h"

#include "app/command_run.h"
#include "app/pointer_marks.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/gdi_guards.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/capture.h"
#include "capture/retro_ring.h"
#include "composite/mean_kernel.h"
#include "core/pixel_rows.h"
#include "capture/sample_store.h"
#include "composite/ring_composite.h"
#include "composite/store_composite.h"
#include "capture/slot_pool.h"
#include "output/avi_writer.h"
#include "output/bmp_export.h"
#include "output/clipboard_copy.h"
#include "output/folder_path.h"
#include "output/gif_file.h"
#include "resources/resource.h"
#include "ui/keep_dialog.h"

namespace {

// The region a capture composites: the capture rectangle's size as laid out in the
// store, and that size kept within the screen-sized slots.
struct CompositeExtent {
    int storeWidth;
    int storeHeight;
    int width;
    int height;
};

CompositeExtent compositeExtent() {
    CompositeExtent extent;
    extent.storeWidth = clampedSpan(CaptureRect.left, CaptureRect.right);
    extent.storeHeight = clampedSpan(CaptureRect.top, CaptureRect.bottom);
    extent.width = extent.storeWidth < virtualScreenWidth() ? extent.storeWidth : virtualScreenWidth();
    extent.height = extent.storeHeight < virtualScreenHeight() ? extent.storeHeight : virtualScreenHeight();
    if (extent.width < 0) extent.width = 0;
    if (extent.height < 0) extent.height = 0;
    return extent;
}

// True when the store holds all n samples of the capture.
bool storeHolds(int n, const CompositeExtent& extent) {
    if (n == 0) return true;
    const long long capacity = store.capacity;
    if (!store.storeMapping || capacity <= 0) return false;
    // Each side alone must fit before the products are formed, so none can overflow.
    if (extent.storeWidth > capacity / 3 || extent.storeHeight > capacity / 3) return false;
    return sampleBytes(extent.storeWidth, extent.storeHeight) <= capacity / n;
}

// A 24-bit slot with pixels and room for w x h, or null.
BitmapSlot* slotFor(int index, int width, int height) {
    BitmapSlot* slot = usableSlot(index);
    if (!slot || slot->stride <= 0 || width > slot->width || height > slot->height) return nullptr;
    return slot;
}

void replaySample(const BYTE* sample, const CompositeExtent& extent) {
    BitmapSlot* slot = slotFor(captureSlot, extent.width, extent.height);
    if (!slot) return;
    copyRows(sample, extent.storeWidth * 3, slot->bits, slot->stride, extent.width * 3, extent.height);
}

void showResult(const BitmapSlot* slot, const CompositeExtent& extent) {
    Selected into(workDC, slot->bitmap);
    BitBlt(displayDC, 0, 0, extent.width, extent.height, workDC, 0, 0, SRCCOPY);
    ResultRect = {0, 0, extent.width, extent.height};
}

// A name for the AVI somewhere else, through the save dialog the images have; false when
// the user cancels or names nothing the program can write to.
bool askAviPath(char* path) {
    std::wstring filter = wideFromShiftJis(uiText(Text::SaveAviFilterName));
    filter += L'\0';
    filter += L"*.avi";
    filter += L'\0';  // c_str() adds the second NUL that ends the list
    bool usable = false;
    if (!askSaveName(filter, 1, uiText(Text::SaveAviDialogTitle), L"avi", path, &usable)) return false;
    if (!usable) showMessage(mainWindow, uiText(Text::UnusableNameMessage), uiText(Text::FileSaveErrorTitle));
    return usable;
}

// What the AVI beside a screenshot leaves free for the result's image when both go to one
// disk: what the image can take at most, a BMP's rows or a PNG that packed nothing, with
// its headers. Nothing when no image is written or it goes to another disk.
long long roomForResult(const char* aviPath, const CompositeExtent& extent) {
    const char* image = resultImagePath();
    char aviVolume[MAX_PATH];
    char imageVolume[MAX_PATH];
    long long room = 0;
    if (!image || !volumeRoom(aviPath, aviVolume, &room) || !volumeRoom(image, imageVolume, &room) ||
        lstrcmpiA(aviVolume, imageVolume) != 0) {
        return 0;
    }
    return static_cast<long long>(stride24(extent.width) + 1) * extent.height + 64 * 1024;
}

// Why a file could not take every sample, as the question about them says it.
const char* keepReason(bool readable, const AviKept& kept) {
    if (!readable) return uiText(Text::KeepStoreFormat);
    return kept.endMessage == uiText(Text::AviDiskFullMessage) ? uiText(Text::KeepRoomFormat) : uiText(Text::KeepWriteFormat);
}

// The store's samples 1..n written once more as the capture's AVI: into the next numbered
// file, or into `path` when the user chose one. `readable` is cleared when the store stops
// giving samples.
AviKept writeStoreAvi(int n, const CompositeExtent& extent, const char* path, bool* readable) {
    AviKept kept;
    AviWriter* writer = new (std::nothrow) AviWriter();
    if (!writer) {
        kept.endMessage = uiText(Text::AviNoMemoryMessage);
        return kept;
    }
    openCaptureAvi(writer, n, path);
    const long long sampleSize = sampleBytes(extent.storeWidth, extent.storeHeight);
    for (int i = 1; i <= n && writer->isOpen && !writer->recordingEnded; ++i) {
        const BYTE* sample = storeBytes((i - 1) * sampleSize, sampleSize);
        *readable = sample != nullptr;
        if (!sample) break;
        replaySample(sample, extent);
        setCaption(uiText(Text::CaptionCompositing), i, n);
        keepAnswering();
        recordFrame(writer, i - 1);
    }
    kept = finishNumberedAvi(writer);
    delete writer;
    return kept;
}

// The AVI of samples 1..n kept `kept.frames` of them (the disk filled, a write failed, the
// store failed) while the store still holds them all: the user says whether to write it
// again once there is room, to write it somewhere else, or to keep what it has. Only that
// answer, or a retry that writes nothing at all, gives the samples up.
void keepAviWhole(int n, const CompositeExtent& extent, AviKept kept, bool readable) {
    for (;;) {
        const int choice = keepAsker()(keepReason(readable, kept), n, kept.frames, readable);
        if (choice == IDABORT) return;  // the files keep the frames written
        char path[MAX_PATH] = "";
        if (choice == IDC_KEEP_ELSEWHERE && !askAviPath(path)) continue;
        // A retry writes the whole again: the first files give their room back.
        if (!path[0]) removeAviFiles(kept);
        readable = true;
        AviKept again = writeStoreAvi(n, extent, path[0] ? path : nullptr, &readable);
        if (readable && again.frames == n && !again.endMessage) {
            if (path[0]) removeAviFiles(kept);  // the whole is elsewhere: the part is not kept beside it
            tellAviKept(again);                 // a recording split over several files says so
            return;
        }
        if (path[0]) {
            // Elsewhere took it only in part: that part goes, the first files stay.
            removeAviFiles(again);
            kept.endMessage = again.endMessage;
            continue;
        }
        kept = again;
        if (kept.frames == 0) {
            // The retry wrote nothing: the samples are given up, and the user told why.
            if (kept.endMessage) {
                tellAviKept(kept);
            } else {
                showMessage(mainWindow, readable ? uiText(Text::AviNotCreatedMessage) : uiText(Text::StoreFailedMessage), uiText(Text::AviErrorTitle));
            }
            return;
        }
    }
}

// The phase proper. Each sample is replayed oldest first from the store into the
// capture slot (and the AVI file), its weight formed as it goes; the sums are then
// formed straight from the store (composite/store_composite), so no full-size accumulator
// is needed. A store that cannot be read (no window can be mapped) ends the phase
// without a result, and the user is told; a recording's files keep the frames written,
// and the user may have the store read again.
template <typename Real>
void compositeSamples(int n, const CompositeExtent& extent, CompositeMode mode) {
    const bool aviOnly = app.aviOnlyMode != 0;
    const bool recordingGif = aviOnly && app.recordingGif;
    // A recording is written, not composited: it needs no weights.
    Real* weights = aviOnly ? nullptr : static_cast<Real*>(calloc(static_cast<size_t>(n) + 1, sizeof(Real)));
    // AVI-only recordings record as AVI unless written as GIF; a screenshot only with both
    // AVI_OUT and AUTO_SAVE.
    // A command names its files: they take the place of the numbered ones.
    const bool aviWanted = aviOnly ? !recordingGif : (settings.AVI_OUT && settings.AUTO_SAVE) || commandAviPath();
    AviWriter* writer = nullptr;
    if (aviWanted) writer = new (std::nothrow) AviWriter();
    if ((!aviOnly && !weights) || (aviOnly && !recordingGif && !writer)) {
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), aviOnly ? uiText(Text::AviErrorTitle) : uiText(Text::ErrorTitle));
        delete writer;
        free(weights);
        return;
    }
    openCaptureAvi(writer, n, commandAviPath());
    // The result's own image is written after the AVI's frames yet matters more: the AVI
    // leaves it room.
    if (writer && writer->isOpen && !aviOnly) writer->roomKeptBeside = roomForResult(writer->path, extent);
    // The GIF beside a screenshot goes with the AVI's condition; a recording's is the
    // recording. Its frames last as long as the samples.
    const int gifRate = aviOnly ? settings.AVI_FPS : settings.S_FPS;
    const bool gifWanted = n > 0 && (recordingGif || (!aviOnly && ((settings.GIF_OUT && settings.AUTO_SAVE) || commandGifPath())));
    const std::vector<long long>& ticks = captureSampleTicks();
    const size_t timed = static_cast<size_t>(n) < ticks.size() ? static_cast<size_t>(n) : ticks.size();
    const PointerMarks marks =
        pointerMarksFor(std::vector<long long>(ticks.begin(), ticks.begin() + timed), gifRate, CaptureRect);
    // A recording's GIF took what it could while it recorded: the rest comes from the store.
    int gifFed = 0;
    GifOutput* gif = takeRecordingGif(extent.width, extent.height, gifRate, &gifFed);
    // Frames fed while recording have no rings: with rings the store is read again.
    if (!recordingGif || gifFed > n || marksFrames(marks)) {
        delete gif;
        gif = nullptr;
        gifFed = 0;
    }
    if (gifWanted && !gif) gif = beginGifOutput(extent.width, extent.height);
    if (recordingGif && gifWanted && !gif) return;  // the user has been told
    // With samples the store holds them all, so a sample's size fits; with none the
    // rectangle may be any size and it is not used.
    const long long sampleSize = n > 0 ? sampleBytes(extent.storeWidth, extent.storeHeight) : 0;
    Real weightSum = 0;
    bool readable = true;
    // Frames with rings are drawn in the capture slot, which then feeds the GIF too.
    BitmapSlot* markedFrame = marksFrames(marks) ? slotFor(captureSlot, extent.width, extent.height) : nullptr;
    // A recording's frames exist nowhere but in the store: where it cannot be read, the user
    // may have it read again before the frames after go.
    const bool framesHeld = aviOnly;
    int samplesRead = 0;
    for (int i = 1; i <= n && readable; ++i) {
        if (i <= gifFed) {
            samplesRead = i;  // a recording's GIF has it already, and a recording has nothing else to do with it
            continue;
        }
        const BYTE* sample = storeBytes((i - 1) * sampleSize, sampleSize);
        while (!sample && framesHeld && keepAsker()(uiText(Text::KeepStoreFormat), n, i - 1, false) == IDRETRY) {
            sample = storeBytes((i - 1) * sampleSize, sampleSize);
        }
        readable = sample != nullptr;
        if (!readable) break;
        samplesRead = i;
        // A GIF recording has no AVI to feed from the slot, unless its frames are marked.
        if (!recordingGif || markedFrame) replaySample(sample, extent);
        if (markedFrame) markFrame(marks, i - 1, markedFrame->bits, markedFrame->stride, extent.width, extent.height);
        // Before any message is answered: the sample's window holds only until the store is read again.
        addGifSample(gif, markedFrame ? markedFrame->bits : sample, markedFrame ? markedFrame->stride : extent.storeWidth * 3,
                     gifSampleTicks(i - 1, gifRate));
        if (!aviOnly) {
            weights[i - 1] = sampleWeight<Real>(i, n, settings.REDUCE_PER, settings.REDUCE_FIXED, settings.EMPHASIS_ON,
                                                settings.EMPHASIS_LEVEL);
            weightSum += weights[i - 1];
        }
        setCaption(uiText(Text::CaptionCompositing), i, n);
        keepAnswering();
        recordFrame(writer, i - 1);
    }
    AviKept avi = finishNumberedAvi(writer);
    delete writer;
    // No pixels in the result slot: the previous result stays on display.
    BitmapSlot* result = aviOnly ? nullptr : slotFor(resultSlot, extent.width, extent.height);
    const bool composited = readable && result &&
                            compositeFromStore(mode, weights, n, extent.storeWidth, extent.width, extent.height,
                                               weightSum, result->bits, result->stride);
    if (composited) {
        markResult(marks, weights, mode, result->bits, result->stride, extent.width, extent.height);
        showResult(result, extent);
        keptSamples = {n, extent.storeWidth, extent.width, extent.height, gifRate};
        addGifResult(gif, extent.width, extent.height);
        // The result's own file first: on a nearly full disk the AVI and GIF beside it come second.
        deliverResult();
    }
    // Files that could not take every sample while the store holds them all: the user says
    // what becomes of them. A recording read only in part keeps the frames read.
    if (aviWanted && n > 0 && readable && aviEndedForRoom(avi)) {
        keepAviWhole(n, extent, avi, readable);
    } else {
        tellAviKept(avi);
    }
    // A GIF made smaller to fit GIF_MAX_MB reads the samples again, before the store shrinks.
    GifMarker marker = nullptr;
    if (marksFrames(marks)) {
        marker = [&](int i, uint8_t* bgr, int stride) { markFrame(marks, i, bgr, stride, extent.width, extent.height); };
    }
    if (samplesRead > 0 && (readable || recordingGif)) {
        fitGifToLimit(gif, storeGifSource(samplesRead, extent.storeWidth, extent.width, extent.height, gifRate, marker));
    }
    if (recordingGif) {
        // The samples are read: on one disk the file may need the room the store took.
        shrinkStoreToStartupSize();
        if (samplesRead > 0) {
            finishRecordingGif(gif, keepAsker(), commandGifPath());
        } else {
            delete gif;
        }
    } else if (readable) {
        finishNumberedGif(gif, keepAsker(), commandGifPath());
    } else {
        delete gif;
    }
    if (!composited && (!readable || result) && !(framesHeld && samplesRead > 0)) {
        showMessage(mainWindow, uiText(Text::StoreFailedMessage), uiText(Text::ErrorTitle));
    }
    free(weights);
}

// The AVI frame at `rate` a second that a sample `ticks` after the first falls on, rounded.
int ringFrameAt(long long ticks, int rate) { return ticks <= 0 ? 0 : static_cast<int>((ticks * rate + 5000) / 10000); }

// How long the ring's sample `i` of `n` lasts in a GIF: until the next one, the newest one
// interval at `rate` a second.
int ringGifTicks(int i, int n, int rate) {
    const long long ticks = ringSampleTicks(i);
    const long long next = i == n - 1 ? ticks + 10000 / rate : ringSampleTicks(i + 1);
    return next > ticks ? static_cast<int>(next - ticks) : 0;
}

// The ring's samples of CaptureRect, oldest first, as the frames of an AVI at RETRO_FPS
// (with `avi`) and of `gif` (when not null): one frame at a time, each rebuilt from the
// one before and what changed. Both keep the samples' own times: the GIF's frames last
// until the next sample (the newest one interval), and each sample goes to the AVI frame
// its time falls on, repeated until the next one's, so the video lasts as long as the
// samples do (of two samples on one frame the later is kept).
void recordRing(int n, int left, int top, int width, int height, bool avi, GifOutput* gif, const PointerMarks& marks) {
    const int rate = settings.RETRO_FPS < 1 ? 1 : settings.RETRO_FPS;
    const long long first = ringSampleTicks(0);
    const int frames = ringFrameAt(ringSampleTicks(n - 1) - first, rate) + 1;
    AviWriter* writer = avi ? new (std::nothrow) AviWriter() : nullptr;
    BYTE* frame = static_cast<BYTE*>(malloc(static_cast<size_t>(width) * height * 3));
    // The next frame is rebuilt from this one: rings go onto a copy.
    const bool marked = marksFrames(marks);
    BYTE* shown = marked ? static_cast<BYTE*>(malloc(static_cast<size_t>(width) * height * 3)) : frame;
    if ((writer || !avi) && frame && shown) {
        openNumberedAvi(writer, rate, frames, width, height);
        bool more = ringWalkBegin(left, top, width, height, frame);
        int position = 0;  // the AVI's next frame
        for (int i = 0; i < n && more; ++i) {
            const long long ticks = ringSampleTicks(i);
            const bool newest = i == n - 1;
            const long long next = newest ? ticks + 10000 / rate : ringSampleTicks(i + 1);
            const int until = newest ? frames : ringFrameAt(next - first, rate);
            if (marked) {
                memcpy(shown, frame, static_cast<size_t>(width) * height * 3);
                markFrame(marks, i, shown, width * 3, width, height);
            }
            for (; position < until; ++position) writeCaptureFrame(writer, position, shown, width * 3, width, height);
            addGifSample(gif, shown, width * 3, ringGifTicks(i, n, rate));
            keepAnswering();
            more = ringWalkNext(frame);
        }
        closeNumberedAvi(writer);
    } else {
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::AviErrorTitle));
    }
    if (marked) free(shown);
    free(frame);
    delete writer;
}

// The ring's samples as recordRing walks them, for a GIF made smaller to fit GIF_MAX_MB:
// asked for in order, the walk starts again when an earlier one is wanted.
GifSource ringGifSource(int n, int left, int top, int width, int height, const PointerMarks& marks) {
    struct Walk {
        std::vector<uint8_t> frame, shown;
        int at = -1;
    };
    auto walk = std::make_shared<Walk>();
    const int rate = settings.RETRO_FPS < 1 ? 1 : settings.RETRO_FPS;
    GifSource source;
    source.sampleAt = [=, &marks](int i) -> const uint8_t* {
        Walk& w = *walk;
        w.frame.resize(static_cast<size_t>(width) * height * 3);
        if (w.at < 0 || i < w.at) {
            if (!ringWalkBegin(left, top, width, height, w.frame.data())) return nullptr;
            w.at = 0;
        }
        for (; w.at < i; ++w.at) {
            if (!ringWalkNext(w.frame.data())) return nullptr;
        }
        if (!marksFrames(marks)) return w.frame.data();
        w.shown = w.frame;  // the next frame is rebuilt from this one
        markFrame(marks, i, w.shown.data(), width * 3, width, height);
        return w.shown.data();
    };
    source.ticksAt = [=](int i) { return ringGifTicks(i, n, rate); };
    source.count = n;
    source.stride = width * 3;
    source.width = width;
    source.height = height;
    return source;
}

template <typename Real>
void compositeRing(int n, CompositeMode mode) {
    const int left = CaptureRect.left - VirtualScreenRect.left;
    const int top = CaptureRect.top - VirtualScreenRect.top;
    CompositeExtent extent = {};
    extent.storeWidth = extent.width = clampedSpan(CaptureRect.left, CaptureRect.right);
    extent.storeHeight = extent.height = clampedSpan(CaptureRect.top, CaptureRect.bottom);
    Real* weights = static_cast<Real*>(calloc(static_cast<size_t>(n), sizeof(Real)));
    if (!weights) {
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::ErrorTitle));
        return;
    }
    Real weightSum = 0;
    for (int i = 1; i <= n; ++i) {
        weights[i - 1] = sampleWeight<Real>(i, n, settings.REDUCE_PER, settings.REDUCE_FIXED, settings.EMPHASIS_ON,
                                            settings.EMPHASIS_LEVEL);
        weightSum += weights[i - 1];
    }
    const bool avi = settings.AVI_OUT && settings.AUTO_SAVE;
    GifOutput* gif = settings.GIF_OUT && settings.AUTO_SAVE ? beginGifOutput(extent.width, extent.height) : nullptr;
    std::vector<long long> ticks(n);
    for (int i = 0; i < n; ++i) ticks[i] = ringSampleTicks(i);
    const int rate = settings.RETRO_FPS < 1 ? 1 : settings.RETRO_FPS;
    const PointerMarks marks = pointerMarksFor(ticks, rate, CaptureRect);
    if (avi || gif) recordRing(n, left, top, extent.width, extent.height, avi, gif, marks);
    BitmapSlot* result = slotFor(resultSlot, extent.width, extent.height);
    const bool composited = result && compositeFromRing(mode, weights, n, left, top, extent.width, extent.height,
                                                        weightSum, result->bits, result->stride);
    if (composited) {
        markResult(marks, weights, mode, result->bits, result->stride, extent.width, extent.height);
        showResult(result, extent);
        addGifResult(gif, extent.width, extent.height);
        // The result's own file first: on a nearly full disk the GIF beside it comes second.
        deliverResult();
    } else {
        showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::ErrorTitle));
    }
    fitGifToLimit(gif, ringGifSource(n, left, top, extent.width, extent.height, marks));
    finishNumberedGif(gif, keepAsker(), commandGifPath());
    free(weights);
}

}  // namespace

void compositeRetro() {
    app.captureBusy = 1;
    app.aviOnlyMode = 0;
    keptSamples = KeptSamples();  // the ring's result is not the store's samples
    const int n = ringSampleCount();
    // The ring holds the virtual screen as it was when it started; the cut lies inside it.
    const RECT ring = {VirtualScreenRect.left, VirtualScreenRect.top, VirtualScreenRect.left + ringWidth(),
                       VirtualScreenRect.top + ringHeight()};
    CaptureRect = clipToScreen(chooseCaptureRect(), ring);
    if (CaptureRect.right <= CaptureRect.left || CaptureRect.bottom <= CaptureRect.top) {
        showMessage(mainWindow, uiText(Text::EmptyRectMessage), uiText(Text::ErrorTitle));
    } else if (n > 0) {
        setCaption(uiText(Text::CaptionRetroCompositing), n);
        try {
            if (settings.COLOR_DOUBLE) {
                compositeRing<double>(n, compositeModeOf(settings.COMPOSITE_MODE));
            } else {
                compositeRing<float>(n, compositeModeOf(settings.COMPOSITE_MODE));
            }
        } catch (const std::bad_alloc&) {
            // Memory a part of the work could not have: the program goes on without it.
            showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::ErrorTitle));
        }
    }
    endCapture(false);
}

void openCaptureAvi(AviWriter* writer, int frameCount, const char* path) {
    if (!usableSlot(captureSlot)) return;  // no capture slot: there is no frame to write
    const bool aviOnly = app.aviOnlyMode != 0;
    const int rate = aviOnly ? settings.AVI_FPS : settings.S_FPS;
    const int length = aviOnly ? frameCount : screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    const int width = clampedSpan(CaptureRect.left, CaptureRect.right);
    const int height = clampedSpan(CaptureRect.top, CaptureRect.bottom);
    if (path) {
        openAviAt(writer, path, rate, length, width, height);
    } else {
        openNumberedAvi(writer, rate, length, width, height);
    }
}

void recordFrame(AviWriter* writer, int position) {
    const BitmapSlot* slot = usableSlot(captureSlot);
    const int width = clampedSpan(CaptureRect.left, CaptureRect.right);
    const int height = clampedSpan(CaptureRect.top, CaptureRect.bottom);
    const bool fits = slot && width <= slot->width && height <= slot->height;
    writeCaptureFrame(writer, position, fits ? slot->bits : nullptr, fits ? slot->stride : 0, width, height);
}

void finishSampling(int sampleTotal) {
    // One precision and one mode for the whole phase, however the settings change while
    // it pumps messages.
    const bool doublePrecision = settings.COLOR_DOUBLE != 0;
    const CompositeMode mode = compositeModeOf(settings.COMPOSITE_MODE);
    const int n = sampleTotal > 0 ? sampleTotal : 0;
    GdiFlush();  // the last grab into captureSlot may still be queued
    const CompositeExtent extent = compositeExtent();
    // An empty rectangle or a store that lost the samples composes nothing: the
    // previous result stays, and the capture ends as usual.
    if (extent.width > 0 && extent.height > 0 && storeHolds(n, extent)) {
        try {
            if (doublePrecision) {
                compositeSamples<double>(n, extent, mode);
            } else {
                compositeSamples<float>(n, extent, mode);
            }
        } catch (const std::bad_alloc&) {
            // Memory a part of the work could not have: the program goes on without it.
            showMessage(mainWindow, uiText(Text::NoMemoryMessage), uiText(Text::ErrorTitle));
        }
    }
    endCapture();
}
