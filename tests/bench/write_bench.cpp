// Times the write path with the program's own functions, beside the same bytes written
// by a plain fwrite loop into the same folder in the same run:
//   - a 1920 x 1080 BMP save through writeResultBmp,
//   - a PNG save of the same image through writeResultPng (the image and the PNG are
//     left in the folder as png-source.bmp and kestrin.png, for scripts/bench to give
//     the same image to ImageMagick and ffmpeg),
//   - a 15-frame 1920 x 1080 AVI through openNumberedAvi and writeCaptureFrame,
//   - the serial-name search with 9,999 names taken,
//   - sample copies into a fresh store mapping (first touch of its pages) and again.
// Each write is timed to the system's cache and, separately, with a flush to the disk
// after it. Prints medians; nothing here passes or fails on time.
// Usage: write_bench.exe <folder>   (a Windows path with a trailing backslash)
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/texts.h"
#include "capture/capture.h"
#include "capture/sample_store.h"
#include "capture/slot_pool.h"
#include "app/compositing_phase.h"
#include "core/pixel_rows.h"
#include "output/avi_writer.h"
#include "output/bmp_export.h"
#include "encode/png_file.h"
#include "output/serial_name.h"

#include "bench/bench_clock.h"
#include "support/display.h"
#include "support/files.h"

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const int kFrames = 15;
const int kRuns = 5;

// Writes the file's dirty pages to the disk (whoever wrote them).
void flushToDisk(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(file);
    CloseHandle(file);
}

// The baseline: `size` bytes from one buffer, fwrite in 1 MiB pieces, fclose.
void plainWrite(const std::string& path, const std::vector<BYTE>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return;
    const size_t piece = 1 << 20;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        fwrite(bytes.data() + at, 1, std::min(piece, bytes.size() - at), file);
    }
    fclose(file);
}

void report(const char* what, long long bytes, const Timing& cached, const Timing& flushed,
            const Timing& plainCached, const Timing& plainFlushed) {
    printf("%-6s %10lld bytes  to cache %7.2f ms (%.2f..%.2f)  plain %7.2f ms  ratio %.2f\n", what, bytes,
           cached.medianMs, cached.minMs, cached.maxMs, plainCached.medianMs, cached.medianMs / plainCached.medianMs);
    printf("%-6s %10s        to disk  %7.2f ms (%.2f..%.2f)  plain %7.2f ms  ratio %.2f\n", "", "",
           flushed.medianMs, flushed.minMs, flushed.maxMs, plainFlushed.medianMs,
           flushed.medianMs / plainFlushed.medianMs);
}

// What a screenshot holds besides flat colour: lines of text, window frames, and a
// photograph-like area (a smooth gradient with a little noise, which compresses
// poorly), so that the PNG numbers are not those of an empty screen.
void paintScreenLikeContent() {
    SetBkMode(displayDC, TRANSPARENT);
    HGDIOBJ font = SelectObject(displayDC, GetStockObject(DEFAULT_GUI_FONT));
    for (int window = 0; window < 3; ++window) {
        RECT frame = {60 + window * 600, 80 + window * 120, 60 + window * 600 + 560, 80 + window * 120 + 700};
        FillRect(displayDC, &frame, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RECT title = {frame.left, frame.top, frame.right, frame.top + 24};
        HBRUSH blue = CreateSolidBrush(RGB(40, 90, 200));
        FillRect(displayDC, &title, blue);
        DeleteObject(blue);
        for (int line = 0; line < 40; ++line) {
            char text[96];
            snprintf(text, sizeof text, "%d: int sample%d = accumulate(row + %d, weight * %d.%02d); // window %d", line,
                     line * 7 + window, line * 13, line % 9, (line * 37) % 100, window);
            TextOutA(displayDC, frame.left + 8, frame.top + 32 + line * 16, text, static_cast<int>(strlen(text)));
        }
    }
    SelectObject(displayDC, font);
    const int photoWidth = 640, photoHeight = 400;
    std::vector<BYTE> photo(static_cast<size_t>(photoWidth) * photoHeight * 4);
    unsigned int noise = 12345;
    for (int y = 0; y < photoHeight; ++y)
        for (int x = 0; x < photoWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            BYTE* p = &photo[(static_cast<size_t>(y) * photoWidth + x) * 4];
            const int grain = static_cast<int>((noise >> 16) & 7);
            p[0] = static_cast<BYTE>((x / 3 + y / 5 + grain) & 255);
            p[1] = static_cast<BYTE>((((x - 320) * (x - 320) + (y - 200) * (y - 200)) / 700 + grain) & 255);
            p[2] = static_cast<BYTE>((200 - y / 3 + grain) & 255);
        }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = photoWidth;
    info.bmiHeader.biHeight = -photoHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    SetDIBitsToDevice(displayDC, 1200, 620, photoWidth, photoHeight, 0, 0, 0, photoHeight, photo.data(), &info,
                      DIB_RGB_COLORS);
}

// A display image with something in it, the slots as at start-up, a full-size result.
bool setUpScreen() {
    VirtualScreenRect = {0, 0, kWidth, kHeight};
    ResultRect = {0, 0, kWidth, kHeight};
    CaptureRect = {0, 0, kWidth, kHeight};
    if (!setUpDisplay(nullptr)) return false;
    paintDisplay([](int, int y) {
        const int band = y / 8 * 8;  // bands 8 rows high
        return RGB(band & 255, (band * 3) & 255, 255 - (band & 255));
    });
    paintScreenLikeContent();
    captureSlot = allocSlot24(kWidth, kHeight);
    exportSlot = allocSlot32(kWidth, kHeight);
    BitmapSlot* slot = usableSlot(captureSlot);
    if (slot) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth * 3; ++x) slot->bits[y * slot->stride + x] = static_cast<BYTE>(x + y);
    }
    return usableSlot(captureSlot) && usableSlot(exportSlot);
}

void benchBmp(const std::string& folder) {
    const std::string path = folder + "bench.bmp";
    const std::string plain = folder + "plain.bmp";
    std::vector<BYTE> bytes(static_cast<size_t>(bmpFileSize(kWidth, kHeight)), 0x5A);
    auto clear = [&] { DeleteFileA(path.c_str()); DeleteFileA(plain.c_str()); };
    const Timing cached = timeRuns(kRuns, clear, [&] { writeResultBmp(path.c_str()); });
    const long long bytesWritten = fileSize(path);
    const Timing flushed = timeRuns(kRuns, clear, [&] { writeResultBmp(path.c_str()); flushToDisk(path); });
    const Timing plainCached = timeRuns(kRuns, clear, [&] { plainWrite(plain, bytes); });
    const Timing plainFlushed = timeRuns(kRuns, clear, [&] { plainWrite(plain, bytes); flushToDisk(plain); });
    clear();
    report("BMP", bytesWritten, cached, flushed, plainCached, plainFlushed);
}

// The PNG save beside the BMP save of the same image, and the encoding alone (into
// memory, from the export slot as the save does).
void benchPng(const std::string& folder) {
    const std::string path = folder + "bench.png";
    auto clear = [&] { DeleteFileA(path.c_str()); };
    const Timing cached = timeRuns(kRuns, clear, [&] { writeResultPng(path.c_str()); });
    const long long bytesWritten = fileSize(path);
    const Timing flushed = timeRuns(kRuns, clear, [&] { writeResultPng(path.c_str()); flushToDisk(path); });
    const Timing bmp = timeRuns(kRuns, [&] { DeleteFileA((folder + "bench.bmp").c_str()); },
                                [&] { writeResultBmp((folder + "bench.bmp").c_str()); });
    BitmapSlot* slot = usableSlot(exportSlot);
    const Timing encode = timeRuns(kRuns, [] {}, [&] {
        EncodedPng png;
        encodePng(slot->bits, 4 * slot->width, kWidth, kHeight, png);
    });
    clear();
    DeleteFileA((folder + "bench.bmp").c_str());
    printf("PNG    %10lld bytes  to cache %7.2f ms (%.2f..%.2f)  to disk %7.2f ms; BMP save %.2f ms (%lld bytes)\n",
           bytesWritten, cached.medianMs, cached.minMs, cached.maxMs, flushed.medianMs, bmp.medianMs,
           static_cast<long long>(bmpFileSize(kWidth, kHeight)));
    printf("  PNG parts: encoding into memory %.2f ms (%.2f..%.2f)\n", encode.medianMs, encode.minMs, encode.maxMs);
    // The image for the other encoders, and Kestrin's PNG of it to compare sizes and pixels.
    writeResultBmp((folder + "png-source.bmp").c_str());
    writeResultPng((folder + "kestrin.png").c_str());
}

// Where a BMP save's time goes: the blit into the export slot, the file assembled in a
// fresh buffer (its pages touched for the first time) or in one already touched, and
// the chunked writes of the finished buffer.
void bmpBreakdown(const std::string& folder) {
    BitmapSlot* slot = usableSlot(exportSlot);
    const int size = bmpFileSize(kWidth, kHeight);
    std::vector<BYTE> reused(static_cast<size_t>(size), 0);
    const Timing blit = timeRuns(kRuns, [] {}, [&] {
        HGDIOBJ previous = SelectObject(workDC, slot->bitmap);
        BitBlt(workDC, 0, 0, kWidth, kHeight, displayDC, 0, 0, SRCCOPY);
        SelectObject(workDC, previous);
        GdiFlush();
    });
    const Timing fresh = timeRuns(kRuns, [] {}, [&] {
        BYTE* buffer = static_cast<BYTE*>(malloc(static_cast<size_t>(size)));
        buildBmpRange(buffer, 0, size, slot->bits, 4 * slot->width, kWidth, kHeight);
        free(buffer);
    });
    const Timing build = timeRuns(kRuns, [] {}, [&] {
        buildBmpRange(reused.data(), 0, size, slot->bits, 4 * slot->width, kWidth, kHeight);
    });
    const std::string path = folder + "chunks.bmp";
    const Timing chunks = timeRuns(kRuns, [&] { DeleteFileA(path.c_str()); }, [&] {
        FILE* file = fopen(path.c_str(), "wb");
        for (int at = 0; at < size; at += kBmpChunkSize) {
            fwrite(reused.data() + at, 1, static_cast<size_t>(size - at < kBmpChunkSize ? size - at : kBmpChunkSize), file);
        }
        fclose(file);
    });
    DeleteFileA(path.c_str());
    printf("  BMP parts: blit %.2f ms, assembly in a fresh buffer %.2f ms (in a touched one %.2f ms),"
           " chunked writes %.2f ms\n", blit.medianMs, fresh.medianMs, build.medianMs, chunks.medianMs);
}

// Where an AVI frame's time goes: a fresh DIB section filled with the flipped rows, the
// same rows flipped into a buffer already touched, and the library's write alone.
void aviBreakdown(const std::string& folder) {
    BitmapSlot* slot = usableSlot(captureSlot);
    const int stride = stride24(kWidth);
    const int size = stride * kHeight;
    std::vector<BYTE> reused(static_cast<size_t>(size), 0);
    const Timing fresh = timeRuns(kRuns, [] {}, [&] {
        BITMAPINFO header = {};
        header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header.bmiHeader.biWidth = kWidth;
        header.bmiHeader.biHeight = kHeight;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 24;
        void* pixels = nullptr;
        HBITMAP frame = CreateDIBSection(windowDC, &header, DIB_RGB_COLORS, &pixels, nullptr, 0);
        flipRowsIntoFrame(slot->bits, slot->stride, static_cast<BYTE*>(pixels), stride, kWidth, kHeight);
        DeleteObject(frame);
    });
    const Timing flip = timeRuns(kRuns, [] {}, [&] {
        flipRowsIntoFrame(slot->bits, slot->stride, reused.data(), stride, kWidth, kHeight);
    });
    const std::string path = folder + "library.avi";
    const Timing library = timeRuns(kRuns, [&] { DeleteFileA(path.c_str()); }, [&] {
        AviWriter writer;
        BITMAPINFOHEADER format = slot->info->bmiHeader;
        format.biWidth = kWidth;
        format.biHeight = kHeight;
        writer.open(path.c_str(), kFrames, kFrames, kWidth, kHeight, &format);
        for (int i = 0; i < kFrames; ++i) writer.writeFrame(i, reused.data(), size);
        writer.close();
    });
    DeleteFileA(path.c_str());
    printf("  AVI parts per frame: fresh DIB section + flip %.2f ms (flip into a touched buffer %.2f ms);"
           " library open + 15 writes + close %.2f ms\n", fresh.medianMs, flip.medianMs, library.medianMs);
}

void writeAvi() {
    AviWriter writer;
    openCaptureAvi(&writer, kFrames);
    for (int i = 0; i < kFrames; ++i) recordFrame(&writer, i);
    writer.close();
}

void benchAvi(const std::string& folder) {
    std::string base = folder;
    base.pop_back();  // AVISAVEPATH is held without its trailing backslash
    snprintf(settings.AVISAVEPATH, sizeof settings.AVISAVEPATH, "%s", base.c_str());
    settings.S_FPS = kFrames;
    settings.S_TIME = 1.0f;
    app.aviOnlyMode = 0;
    const std::string path = folder + "savi0000.avi";
    const std::string plain = folder + "plain.avi";
    auto clear = [&] { DeleteFileA(path.c_str()); DeleteFileA(plain.c_str()); };
    clear();
    writeAvi();
    const long long size = fileSize(path);
    std::vector<BYTE> bytes(static_cast<size_t>(size > 0 ? size : 1), 0x5A);
    const Timing cached = timeRuns(kRuns, clear, writeAvi);
    const Timing flushed = timeRuns(kRuns, clear, [&] { writeAvi(); flushToDisk(path); });
    const Timing plainCached = timeRuns(kRuns, clear, [&] { plainWrite(plain, bytes); });
    const Timing plainFlushed = timeRuns(kRuns, clear, [&] { plainWrite(plain, bytes); flushToDisk(plain); });
    clear();
    report("AVI", size, cached, flushed, plainCached, plainFlushed);
}

void benchSerialSearch(const std::string& folder) {
    const std::string names = folder + "names";
    CreateDirectoryA(names.c_str(), nullptr);
    char path[MAX_PATH];
    for (int i = 0; i < 9999; ++i) {
        snprintf(path, sizeof path, "%s\\ss%04d.bmp", names.c_str(), i);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    int found = -2;
    const Timing search = timeRuns(kRuns, [] {}, [&] { found = claimFreeSerialName(path, names.c_str(), "ss", "bmp", "png"); DeleteFileA(path); });
    printf("serial search, 9,999 names taken: %.1f ms (%.1f..%.1f), %.1f us per name tried; found %04d\n",
           search.medianMs, search.minMs, search.maxMs, search.medianMs * 1000.0 / 10000.0, found);
    removeTree(names);
}

// What one capture's copies cost in a store made as at start-up: the first pass
// touches every page of the file for the first time, the second writes over them.
void benchStoreTouch(const std::string& folder, int width, int height, int samples) {
    BitmapSlot* slot = usableSlot(captureSlot);
    if (!slot) return;
    std::string temp = folder;
    temp.pop_back();
    createSampleStore(temp.c_str(), 15728640);
    if (!ensureStoreCapacity(width, height, samples)) {
        printf("store: no mapping for %dx%d x %d\n", width, height, samples);
        releaseSampleStore();
        return;
    }
    double pass[2][2];  // [pass][median, worst] per sample in ms
    for (int p = 0; p < 2; ++p) {
        std::vector<double> times;
        for (int k = 0; k < samples; ++k) {
            BYTE* sample = storeBytes(k * sampleBytes(width, height), sampleBytes(width, height));
            const double start = now();
            copyRows(slot->bits, slot->stride, sample, 3 * width, 3 * width, height);
            times.push_back((now() - start) * 1000.0);
        }
        std::sort(times.begin(), times.end());
        pass[p][0] = times[times.size() / 2];
        pass[p][1] = times.back();
    }
    printf("store copy %dx%d (%lld bytes): first touch %.2f ms median, %.2f worst; rewrite %.2f ms median, %.2f worst\n",
           width, height, sampleBytes(width, height), pass[0][0], pass[0][1], pass[1][0], pass[1][1]);
    releaseSampleStore();
}

// What a screenshot's store costs when the store grows for it and shrinks after it, as
// against one kept at its size from the screenshot before: the store sized, every
// sample copied in, and (when given back) the file cut to its start-up size again.
void benchStoreRegrow(const std::string& folder, int width, int height, int samples) {
    BitmapSlot* slot = usableSlot(captureSlot);
    if (!slot) return;
    std::string temp = folder;
    temp.pop_back();
    createSampleStore(temp.c_str(), 15728640);
    const auto screenshot = [&](bool giveBack) {
        if (!ensureStoreCapacity(width, height, samples)) return;
        for (int k = 0; k < samples; ++k) {
            BYTE* sample = storeBytes(k * sampleBytes(width, height), sampleBytes(width, height));
            if (sample) copyRows(slot->bits, slot->stride, sample, 3 * width, 3 * width, height);
        }
        if (giveBack) shrinkStoreToStartupSize();
    };
    const Timing regrown = timeRuns(kRuns, [] {}, [&] { screenshot(true); });
    screenshot(false);
    const Timing kept = timeRuns(kRuns, [] {}, [&] { screenshot(false); });
    printf("store for a %dx%d screenshot of %d samples: grown and given back %.1f ms (%.1f..%.1f), "
           "kept %.1f ms (%.1f..%.1f)\n",
           width, height, samples, regrown.medianMs, regrown.minMs, regrown.maxMs, kept.medianMs, kept.minMs,
           kept.maxMs);
    releaseSampleStore();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: write_bench <folder\\>\n");
        return 2;
    }
    const std::string folder = argv[1];
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as the program does at start-up
    if (!setUpScreen()) {
        fprintf(stderr, "the display or the slots could not be made\n");
        return 1;
    }
    printf("write path, %d runs each, median (min..max); ratio = program / plain fwrite of the same bytes\n", kRuns);
    benchBmp(folder);
    bmpBreakdown(folder);
    benchPng(folder);
    benchAvi(folder);
    aviBreakdown(folder);
    benchSerialSearch(folder);
    benchStoreTouch(folder, 640, 480, 60);
    benchStoreTouch(folder, 1024, 768, 60);
    benchStoreRegrow(folder, 1920, 1080, 15);
    return 0;
}
