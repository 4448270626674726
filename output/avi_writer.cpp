#include "output/avi_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "engine/kernels.h"
#include "output/folder_path.h"
#include "output/serial_name.h"

int aviLibraryReady = 0;

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
    free(frameBuffer);
    // Only the writer that initialised the library shuts it down, so the calls stay
    // balanced even if a second writer ever lived beside the first.
    if (ownsLibraryInit) {
        AVIFileExit();
        aviLibraryReady = 0;
    }
}

bool AviWriter::open(const char* path, int rate, int length, int width, int height, const BITMAPINFOHEADER* format) {
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
    SetRect(&info.rcFrame, 0, 0, width, height);
    strcpy(info.szName, "VIDEO");

    if (AVIFileCreateStreamA(aviFile, &aviStream, &info) != 0 ||
        AVIStreamSetFormat(aviStream, 0, const_cast<BITMAPINFOHEADER*>(format), sizeof(BITMAPINFOHEADER)) != 0) {
        // The file exists by now: a file without its stream would look like a recording.
        if (aviStream) AVIStreamRelease(aviStream);
        AVIFileRelease(aviFile);
        aviFile = nullptr;
        aviStream = nullptr;
        DeleteFileA(path);
        return false;
    }
    isOpen = 1;
    snprintf(this->path, sizeof this->path, "%s", path);
    this->rate = rate;
    this->width = width;
    this->height = height;
    if (filesBefore == 0) {
        this->length = length;
        snprintf(firstPath, sizeof firstPath, "%s", path);
    }
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

namespace {

// Closes the file and keeps it only when it was finished whole. False when it was removed.
bool closeWhole(AviWriter* writer) {
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
    if (aviHeaderIsWhole(header, size)) return true;
    remove(writer->path);
    showMessage(mainWindow, kAviRemovedMessage, kAviErrorTitle);
    return false;
}

const char* fileNameOf(const char* path) {
    const int separator = lastSeparatorIndex(path);
    return separator >= 0 ? path + separator + 1 : path;
}

// The file is full: closes it whole and opens the next numbered one for the frames
// still to come. False when the recording cannot go on.
bool continueInNextFile(AviWriter* writer) {
    const int kept = writer->framesBefore + writer->framesWritten;
    if (!closeWhole(writer)) return false;
    writer->framesBefore = kept;
    ++writer->filesBefore;
    const int left = writer->length - kept;
    openNumberedAvi(writer, writer->rate, left > 0 ? left : 0, writer->width, writer->height);
    return writer->isOpen != 0;
}

}  // namespace

void closeNumberedAvi(AviWriter* writer) {
    if (!writer || !writer->isOpen) return;
    if (!closeWhole(writer) || writer->filesBefore == 0) return;
    char text[512];
    snprintf(text, sizeof text, kAviSplitMessage, writer->filesBefore + 1, fileNameOf(writer->firstPath),
             fileNameOf(writer->path));
    showMessage(mainWindow, text, kAviInfoTitle, MB_OK | MB_ICONINFORMATION);
}

void openNumberedAvi(AviWriter* writer, int rate, int length, int width, int height) {
    if (!writer || writer->isOpen) return;
    if (!outputFolderFits(settings.AVISAVEPATH, MAX_PATH)) {
        // Too long: silently nothing. No root: recording into whatever the current
        // directory happens to be would lose the file, so the user is told, once a
        // capture and only when it has frames to keep.
        if (length > 0 && strlen(settings.AVISAVEPATH) + 30 < MAX_PATH) {
            showMessage(mainWindow, kAviNoRootMessage, kAviErrorTitle);
        }
        return;
    }

    enterOutputFolder(settings.AVISAVEPATH);

    char name[MAX_PATH];
    if (findFreeSerialName(name, settings.AVISAVEPATH, "savi", "avi") < 0) {
        showMessage(mainWindow, kAviFullMessage, kAviErrorTitle);
        return;
    }

    BITMAPINFOHEADER format = {};
    format.biSize = sizeof format;
    format.biWidth = width;
    format.biHeight = height;
    format.biPlanes = 1;
    format.biBitCount = 24;
    format.biCompression = BI_RGB;
    if (writer->open(name, rate, length, width, height, &format)) app.aviFileOpen = 1;
}

void writeCaptureFrame(AviWriter* writer, int position, const BYTE* bits, int stride, int width, int height) {
    if (!writer || !writer->isOpen || writer->recordingEnded) return;
    const int kept = writer->framesBefore + writer->framesWritten;
    if (!bits || width < 1 || height < 1) {
        // Nothing that could be copied safely: the recording ends here.
        writer->endRecording();
        tellRecordingEnded(kAviNoMemoryMessage, kept);
        return;
    }
    const int frameStride = stride24(width);
    const long long size = static_cast<long long>(frameStride) * height;
    if (size > 0x7FFFFFFFLL || kAviFixedBytes + aviFrameFileBytes(static_cast<int>(size)) > writer->fileByteLimit) {
        // Not even a file of its own could hold this frame.
        writer->endRecording();
        tellRecordingEnded(kAviTooLargeMessage, kept);
        return;
    }
    if (!writer->frameBuffer) {
        writer->frameBuffer = static_cast<BYTE*>(malloc(static_cast<size_t>(size)));
        writer->frameBufferBytes = writer->frameBuffer ? size : 0;
    }
    if (writer->frameBufferBytes < size) {
        // Skipping would leave a gap the library fills with an empty frame, which
        // players cannot show; the files keep the whole frames written so far.
        writer->endRecording();
        tellRecordingEnded(kAviNoMemoryMessage, kept);
        return;
    }
    if (writer->fileBytes + aviFrameFileBytes(static_cast<int>(size)) > writer->fileByteLimit &&
        !continueInNextFile(writer)) {
        tellRecordingEnded(kAviWriteFailedMessage, kept);
        return;
    }

    flipRowsIntoFrame(bits, stride, writer->frameBuffer, frameStride, width, height);
    if (!writer->writeFrame(position - writer->framesBefore, writer->frameBuffer, static_cast<int>(size))) {
        tellRecordingEnded(kAviWriteFailedMessage, writer->framesBefore + writer->framesWritten);
    }
}
