#include "output/avi_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/settings.h"
#include "app/text.h"
#include "engine/capture.h"
#include "engine/slot_pool.h"
#include "output/folder_path.h"
#include "output/serial_name.h"

int aviLibraryReady = 0;

const char kAviFullMessage[] = "スクリーンショットビデオが一杯です。";
const char kAviErrorTitle[] = "ビデオファイル作成エラー";
const char kAviTooLargeMessage[] =
    "ビデオファイルが扱える大きさ（2GB）を超えるため、\n録画を %d フレームで終了しました。";
const char kAviNoMemoryMessage[] = "メモリが不足したため、\n録画を %d フレームで終了しました。";
const char kAviWriteFailedMessage[] = "ビデオファイルに書き込めなかったため、\n録画を %d フレームで終了しました。";
const char kAviRemovedMessage[] = "ビデオファイルを最後まで書き込めなかったため、\n壊れたファイルを削除しました。";

namespace {

// OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE.
const UINT kCreateMode = 4113;

void tellRecordingEnded(const char* format, int framesKept) {
    char text[256];
    snprintf(text, sizeof text, format, framesKept);
    showMessage(mainWindow, text, kAviErrorTitle);
}

}  // namespace

long long aviFrameFileBytes(int byteCount) {
    const long long data = byteCount < 0 ? 0 : byteCount;
    return 8 + (data + (data & 1)) + 16;
}

int aviRowBytes(int width) { return stride24(width); }

void flipRowsIntoFrame(const BYTE* source, int sourceStride, BYTE* frame, int frameStride, int width,
                       int height) {
    const int rowBytes = 3 * width;
    for (int j = 0; j < height; ++j) {
        BYTE* out = frame + static_cast<ptrdiff_t>(j) * frameStride;
        const BYTE* in = source + static_cast<ptrdiff_t>(height - 1 - j) * sourceStride;
        memcpy(out, in, static_cast<size_t>(rowBytes));
        memset(out + rowBytes, 0, static_cast<size_t>(frameStride - rowBytes));
    }
}

AviWriter::AviWriter() {
    if (!aviLibraryReady) {
        aviLibraryReady = 1;
        ownsLibraryInit = 1;
        AVIFileInit();
    }
}

AviWriter::~AviWriter() {
    if (isOpen) close();
    // Only the writer that initialised the library shuts it down, so the calls stay
    // balanced even if a second writer ever lived beside the first.
    if (ownsLibraryInit) {
        AVIFileExit();
        aviLibraryReady = 0;
    }
}

bool AviWriter::open(const char* path, int rate, int length, RECT captureRect, const BITMAPINFOHEADER* format) {
    if (isOpen) return false;
    if (AVIFileOpenA(&aviFile, path, kCreateMode, nullptr) != 0) {
        aviFile = nullptr;
        return false;
    }

    AVISTREAMINFOA info;
    memset(&info, 0, sizeof info);
    info.fccType = streamtypeVIDEO;
    info.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
    info.dwScale = 1;
    info.dwRate = static_cast<DWORD>(rate);
    info.dwStart = 0;
    info.dwLength = static_cast<DWORD>(length);
    info.dwQuality = static_cast<DWORD>(-1);
    SetRect(&info.rcFrame, 0, 0, captureRect.right - captureRect.left, captureRect.bottom - captureRect.top);
    strcpy(info.szName, "VIDEO");

    if (AVIFileCreateStreamA(aviFile, &aviStream, &info) != 0) {
        AVIFileRelease(aviFile);
        aviFile = nullptr;
        aviStream = nullptr;
        return false;
    }
    if (AVIStreamSetFormat(aviStream, 0, const_cast<BITMAPINFOHEADER*>(format), sizeof(BITMAPINFOHEADER)) != 0) {
        AVIStreamRelease(aviStream);
        AVIFileRelease(aviFile);
        aviFile = nullptr;
        aviStream = nullptr;
        return false;
    }
    isOpen = 1;
    snprintf(this->path, sizeof this->path, "%s", path);
    fileBytes = kAviFixedBytes;
    framesWritten = 0;
    recordingEnded = 0;
    return true;
}

bool AviWriter::writeFrame(int position, const void* pixels, int byteCount) {
    if (!isOpen || recordingEnded) return false;
    const long long grown = fileBytes + aviFrameFileBytes(byteCount);
    if (grown > fileByteLimit) {
        endRecording();
        return false;
    }
    const HRESULT result = AVIStreamWrite(aviStream, position, 1, const_cast<void*>(pixels), byteCount,
                                          AVIIF_KEYFRAME, nullptr, nullptr);
    if (result != 0) {
        // A frame the library refused would become a gap the next write fills with an
        // empty frame; the recording stops here instead.
        endRecording();
        return false;
    }
    fileBytes = grown;
    ++framesWritten;
    return true;
}

bool AviWriter::close() {
    if (!isOpen) return false;
    AVIStreamRelease(aviStream);
    AVIFileRelease(aviFile);
    aviStream = nullptr;
    aviFile = nullptr;
    isOpen = 0;
    return true;
}

bool aviHeaderIsWhole(const BYTE* header, long long fileSize) {
    if (fileSize < 12 || memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "AVI ", 4) != 0) return false;
    const long long riffSize = static_cast<long long>(header[4]) | static_cast<long long>(header[5]) << 8 |
                               static_cast<long long>(header[6]) << 16 | static_cast<long long>(header[7]) << 24;
    // The library may leave a few bytes after the chunk; a cut-off file holds less than it declares.
    return riffSize >= 4 && riffSize + 8 <= fileSize;
}

void closeNumberedAvi(AviWriter* writer) {
    if (!writer || !writer->isOpen) return;
    writer->close();
    BYTE header[12] = {};
    long long size = -1;
    FILE* file = fopen(writer->path, "rb");
    if (file) {
        if (fread(header, 1, sizeof header, file) == sizeof header && fseek(file, 0, SEEK_END) == 0) {
            size = ftell(file);
        }
        fclose(file);
    }
    if (aviHeaderIsWhole(header, size)) return;
    remove(writer->path);
    showMessage(mainWindow, kAviRemovedMessage, kAviErrorTitle);
}

void openNumberedAvi(AviWriter* writer, int frameCount) {
    if (!writer || writer->isOpen) return;
    // A folder too long for a serial name (or one without a drive or share) records
    // nothing and says nothing.
    if (!outputFolderFits(settings.AVISAVEPATH, MAX_PATH)) return;

    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s\\", settings.AVISAVEPATH);
    makeFolderPath(folder);
    SetCurrentDirectoryA(folder);

    char name[MAX_PATH];
    if (findFreeSerialName(name, settings.AVISAVEPATH, "savi", "avi") < 0) {
        showMessage(mainWindow, kAviFullMessage, kAviErrorTitle);
        return;
    }

    BitmapSlot* slot = usableSlot(captureSlot);
    if (!slot) return;  // no capture slot: there is no frame to write
    BITMAPINFOHEADER format = slot->info->bmiHeader;
    format.biWidth = CaptureRect.right - CaptureRect.left;
    format.biHeight = CaptureRect.bottom - CaptureRect.top;

    int rate = 0;
    int length = 0;
    if (app.aviOnlyMode) {
        rate = settings.AVI_FPS;
        length = frameCount;
    } else {
        rate = settings.S_FPS;
        length = screenshotSampleCount(settings.S_FPS, settings.S_TIME);
    }
    if (writer->open(name, rate, length, CaptureRect, &format)) app.aviFileOpen = 1;
}

void writeCaptureFrame(AviWriter* writer, int position) {
    if (!writer || !writer->isOpen || writer->recordingEnded) return;
    BitmapSlot* slot = usableSlot(captureSlot);
    const int width = CaptureRect.right - CaptureRect.left;
    const int height = CaptureRect.bottom - CaptureRect.top;
    if (!slot || width < 1 || height < 1 || width > slot->width || height > slot->height) {
        // Nothing that could be copied safely: the recording ends here.
        writer->endRecording();
        tellRecordingEnded(kAviNoMemoryMessage, writer->framesWritten);
        return;
    }
    const int stride = aviRowBytes(width);
    const long long size = static_cast<long long>(stride) * height;
    if (size > 0x7FFFFFFFLL || writer->fileBytes + aviFrameFileBytes(static_cast<int>(size)) > writer->fileByteLimit) {
        writer->endRecording();
        tellRecordingEnded(kAviTooLargeMessage, writer->framesWritten);
        return;
    }

    BITMAPINFO* header = static_cast<BITMAPINFO*>(calloc(1, sizeof(BITMAPINFO)));
    void* pixels = nullptr;
    HBITMAP frame = nullptr;
    if (header) {
        header->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header->bmiHeader.biWidth = width;
        header->bmiHeader.biHeight = height;
        header->bmiHeader.biPlanes = 1;
        header->bmiHeader.biBitCount = 24;
        header->bmiHeader.biCompression = BI_RGB;
        frame = CreateDIBSection(windowDC, header, DIB_RGB_COLORS, &pixels, nullptr, 0);
    }
    if (!frame || !pixels) {
        // Skipping would leave a gap the library fills with an empty frame, which
        // players cannot show; the file keeps the whole frames written so far.
        if (frame) DeleteObject(frame);
        free(header);
        writer->endRecording();
        tellRecordingEnded(kAviNoMemoryMessage, writer->framesWritten);
        return;
    }

    flipRowsIntoFrame(slot->bits, slot->stride, static_cast<BYTE*>(pixels), stride, width, height);
    const bool written = writer->writeFrame(position, pixels, static_cast<int>(size));
    DeleteObject(frame);
    free(header);
    if (!written) tellRecordingEnded(kAviWriteFailedMessage, writer->framesWritten);
}
