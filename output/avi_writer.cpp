#include "output/avi_writer.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "core/pixel_rows.h"
#include "encode/bmp_file.h"
#include "output/folder_path.h"
#include "output/serial_name.h"

int aviLibraryReady = 0;

namespace {

// OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE.
const UINT kCreateMode = 4113;

// The recording ends here; closeNumberedAvi says why, with the frames that remain.
void endWith(AviWriter* writer, const char* message) {
    writer->endRecording();
    if (!writer->endMessage) writer->endMessage = message;
}

}  // namespace

long long aviFrameFileBytes(int byteCount) {
    const long long data = byteCount < 0 ? 0 : byteCount;
    return 8 + (data + (data & 1)) + 16;
}

int aviFramesPerFile(int frameBytes, long long fileByteLimit) {
    const long long frames = (fileByteLimit - kAviFixedBytes) / aviFrameFileBytes(frameBytes);
    return frames < 0 ? 0 : frames > INT_MAX ? INT_MAX : static_cast<int>(frames);
}

long long aviRoomNeeded(int frameBytes, int framesWritten) {
    return aviFrameFileBytes(frameBytes) + 16LL * framesWritten + kAviCloseReserveBytes;
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

// What a reader finds in the file now: false only when its start was read and it is not
// that of a finished AVI file.
bool readsWhole(const char* path) {
    BYTE header[12] = {};
    FILE* file = fopen(path, "rb");
    if (!file) return true;  // it cannot be looked at: what it holds is kept
    long long size = -1;
    if (fread(header, 1, sizeof header, file) == sizeof header && fseek(file, 0, SEEK_END) == 0) size = ftell(file);
    fclose(file);
    return size < 0 || aviHeaderIsWhole(header, size);
}

// Closes the file and keeps it when it was finished whole and holds a frame or was meant
// to hold none. False when it was removed.
bool closeWhole(AviWriter* writer) {
    writer->close();
    if (writer->framesWritten == 0 && writer->endMessage) {
        // The recording ended before this file's first frame: it holds nothing.
        DeleteFileA(writer->path);
        return false;
    }
    if (readsWhole(writer->path)) return true;
    DeleteFileA(writer->path);
    showMessage(mainWindow, uiText(Text::AviRemovedMessage), uiText(Text::AviErrorTitle));
    return false;
}

// Closes the writer's file whole and counts it, with its frames, among the recording's.
void closeAndKeep(AviWriter* writer) {
    if (!writer->isOpen) return;
    if (!closeWhole(writer)) return;
    if (writer->filesBefore < static_cast<int>(sizeof writer->keptNumbers / sizeof writer->keptNumbers[0])) {
        writer->keptNumbers[writer->filesBefore] = writer->fileNumber;
    }
    writer->keptPaths.push_back(writer->path);
    ++writer->filesBefore;
    writer->framesBefore += writer->framesWritten;
    writer->framesWritten = 0;
}

// The file is full: closes it whole and opens the next numbered one for the frames
// still to come. False when the recording cannot go on.
bool continueInNextFile(AviWriter* writer) {
    const int kept = writer->framesBefore;
    closeAndKeep(writer);
    if (writer->framesBefore == kept) {
        endWith(writer, uiText(Text::AviWriteFailedMessage));  // the full file was not whole
        return false;
    }
    openNumberedAvi(writer, writer->rate, writer->length, writer->width, writer->height);
    if (writer->isOpen) return true;
    endWith(writer, uiText(Text::AviNextFileMessage));
    return false;
}

// The files kept, as a run ("savi0000.avi - savi0002.avi") when their numbers follow each other,
// else one after another.
void describeFiles(const AviKept& kept, char* out, size_t size) {
    const int listed = kept.files < 64 ? kept.files : 64;
    bool consecutive = kept.numbers[0] >= 0;  // a first file the user named has no number
    for (int i = 1; i < listed; ++i) consecutive = consecutive && kept.numbers[i] == kept.numbers[i - 1] + 1;
    if (consecutive && listed > 1 && listed == kept.files) {
        snprintf(out, size, uiText(Text::AviFileRangeFormat), kept.numbers[0], kept.numbers[listed - 1]);
        return;
    }
    out[0] = '\0';
    size_t used = 0;
    for (int i = 0; i < listed && used + 20 < size; ++i) {
        const char* path = i < static_cast<int>(kept.paths.size()) ? kept.paths[i].c_str() : "";
        used += static_cast<size_t>(snprintf(out + used, size - used, "%s%s", i ? uiText(Text::AviFileSeparator) : "", path + lastSeparatorIndex(path) + 1));
    }
    if (listed < kept.files && used + 8 < size) snprintf(out + used, size - used, "%s", uiText(Text::AviFileMore));
}

}  // namespace

bool aviEndedForRoom(const AviKept& kept) {
    return kept.endMessage == uiText(Text::AviDiskFullMessage) || kept.endMessage == uiText(Text::AviWriteFailedMessage) ||
           kept.endMessage == uiText(Text::AviNextFileMessage);
}

AviKept finishNumberedAvi(AviWriter* writer) {
    AviKept kept;
    if (!writer) return kept;
    closeAndKeep(writer);
    kept.frames = writer->framesBefore;
    kept.files = writer->filesBefore;
    memcpy(kept.numbers, writer->keptNumbers, sizeof kept.numbers);
    kept.paths.swap(writer->keptPaths);
    kept.endMessage = writer->endMessage;
    writer->endMessage = nullptr;
    writer->filesBefore = 0;
    writer->framesBefore = 0;
    writer->recordingEnded = 0;
    writer->folder[0] = '\0';
    return kept;
}

void tellAviKept(const AviKept& kept) {
    char files[1024] = "";
    if (kept.files > 1) describeFiles(kept, files, sizeof files);
    char text[1280];
    if (kept.endMessage) {
        const int length = snprintf(text, sizeof text, kept.endMessage, kept.frames);
        if (files[0] && length > 0 && length < static_cast<int>(sizeof text)) {
            snprintf(text + length, sizeof text - length, "\n%s", files);
        }
        showMessage(mainWindow, text, uiText(Text::AviErrorTitle));
    } else if (kept.files > 1) {
        snprintf(text, sizeof text, uiText(Text::AviSplitMessage), kept.files, files);
        showMessage(mainWindow, text, uiText(Text::AviInfoTitle), MB_OK | MB_ICONINFORMATION);
    }
}

void closeNumberedAvi(AviWriter* writer) {
    if (!writer) return;
    tellAviKept(finishNumberedAvi(writer));
}

void removeAviFiles(const AviKept& kept) {
    for (const std::string& path : kept.paths) DeleteFileA(path.c_str());
}

namespace {

// Opens the writer on `path` for the recording's next file: a first file sets the
// recording's length, and each file announces only the frames still to come that it can hold.
bool openAviFile(AviWriter* writer, const char* path, int rate, int length, int width, int height) {
    const BITMAPINFOHEADER format = dibHeader24(width, height);
    if (writer->filesBefore == 0) writer->length = length;
    const long long frameBytes = static_cast<long long>(stride24(width)) * height;
    const int left = writer->length - writer->framesBefore;
    const int fits = frameBytes > 0x7FFFFFFFLL ? 0 : aviFramesPerFile(static_cast<int>(frameBytes), writer->fileByteLimit);
    const int announced = left < 0 ? 0 : left < fits ? left : fits;
    if (!writer->open(path, rate, announced, width, height, &format)) return false;
    app.aviFileOpen = 1;
    return true;
}

}  // namespace

void openNumberedAvi(AviWriter* writer, int rate, int length, int width, int height) {
    if (!writer || writer->isOpen) return;
    const bool continuing = writer->filesBefore > 0;
    const char* folder = writer->folder[0] ? writer->folder : settings.AVISAVEPATH;
    // A recording's frames exist nowhere else: a file it cannot make loses them all.
    const bool framesLost = !continuing && length > 0 && app.aviOnlyMode;
    if (!outputFolderFits(folder, MAX_PATH)) {
        // Too long: silently nothing beside a screenshot. No root: recording into
        // whatever the current directory happens to be would lose the file, so the user
        // is told, once a capture and only when it has frames to keep.
        if (!continuing && length > 0 && strlen(folder) + 30 <= MAX_PATH) {
            showMessage(mainWindow, uiText(Text::AviNoRootMessage), uiText(Text::AviErrorTitle));
        } else if (framesLost) {
            showMessage(mainWindow, uiText(Text::AviNotCreatedMessage), uiText(Text::AviErrorTitle));
        }
        return;
    }

    enterOutputFolder(folder);

    char name[MAX_PATH];
    const int number = claimFreeSerialName(name, folder, "savi", "avi");
    if (number < 0) {
        // A recording under way says so once it ends, with the files it already has.
        if (!continuing) showMessage(mainWindow, uiText(Text::AviFullMessage), uiText(Text::AviErrorTitle));
        return;
    }

    if (!openAviFile(writer, name, rate, length, width, height)) {
        DeleteFileA(name);  // the claimed name holds nothing
        if (framesLost) showMessage(mainWindow, uiText(Text::AviNotCreatedMessage), uiText(Text::AviErrorTitle));
        return;
    }
    writer->fileNumber = number;
}

bool openAviAt(AviWriter* writer, const char* path, int rate, int length, int width, int height) {
    if (!writer || writer->isOpen || !openAviFile(writer, path, rate, length, width, height)) return false;
    writer->fileNumber = -1;
    // Its folder as the settings hold one: without the last separator, unless it is a root's.
    snprintf(writer->folder, sizeof writer->folder, "%s", path);
    const int separator = lastSeparatorIndex(writer->folder);
    if (separator > 0) writer->folder[separator > 2 ? separator : separator + 1] = '\0';
    return true;
}

void writeCaptureFrame(AviWriter* writer, int position, const BYTE* bits, int stride, int width, int height) {
    if (!writer || !writer->isOpen || writer->recordingEnded) return;
    if (!bits || width < 1 || height < 1) {
        // Nothing that could be copied safely: the recording ends here.
        endWith(writer, uiText(Text::AviAreaTooLargeMessage));
        return;
    }
    const int frameStride = stride24(width);
    const long long size = static_cast<long long>(frameStride) * height;
    if (size > 0x7FFFFFFFLL || kAviFixedBytes + aviFrameFileBytes(static_cast<int>(size)) > writer->fileByteLimit) {
        // Not even a file of its own could hold this frame.
        endWith(writer, uiText(Text::AviTooLargeMessage));
        return;
    }
    const int frameBytes = static_cast<int>(size);
    if (!writer->frameBuffer) {
        writer->frameBuffer = static_cast<BYTE*>(malloc(static_cast<size_t>(size)));
        writer->frameBufferBytes = writer->frameBuffer ? size : 0;
    }
    if (writer->frameBufferBytes < size) {
        // Skipping would leave a gap the library fills with an empty frame, which
        // players cannot show; the files keep the whole frames written so far.
        endWith(writer, uiText(Text::AviNoMemoryMessage));
        return;
    }
    // The file as the library really writes it, should it lay out more than predicted:
    // what is on the disk now, and the index still to come.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(writer->path, GetFileExInfoStandard, &data)) {
        const long long onDisk = static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        const long long real = onDisk + 16LL * writer->framesWritten + 64;
        if (real > writer->fileBytes) writer->fileBytes = real;
    }
    if (writer->fileBytes + aviFrameFileBytes(frameBytes) > writer->fileByteLimit && !continueInNextFile(writer)) {
        return;
    }
    // The frame only when the file can still be closed whole after it.
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s", writer->path);
    keepFolderPart(folder);
    ULARGE_INTEGER available;
    if (GetDiskFreeSpaceExA(folder, &available, nullptr, nullptr) &&
        available.QuadPart <
            static_cast<unsigned long long>(aviRoomNeeded(frameBytes, writer->framesWritten) + writer->roomKeptBeside)) {
        endWith(writer, uiText(Text::AviDiskFullMessage));
        return;
    }

    flipRowsIntoFrame(bits, stride, writer->frameBuffer, frameStride, width, height);
    if (!writer->writeFrame(position - writer->framesBefore, writer->frameBuffer, frameBytes)) {
        endWith(writer, uiText(Text::AviWriteFailedMessage));
    }
}
