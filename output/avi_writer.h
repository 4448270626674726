#pragma once
// Uncompressed AVI recordings: one video stream "VIDEO" of 24-bit bottom-up DIB frames,
// every frame a key frame, written through the AVIFile library as savi0000.avi to
// savi9999.avi in the AVISAVEPATH folder. Rows of a frame are 3 x width bytes padded
// with zeros to a multiple of 4; the first row of the data is the bottom row.
#include <windows.h>
#include <vfw.h>

#include <string>
#include <vector>

// The AVIFile library has been initialised by a writer that still lives.
extern int aviLibraryReady;

// The AVIFile library writes one RIFF chunk with 32-bit sizes and seeks with signed
// 32-bit offsets, so a file must stay below 2 GiB.
const long long kAviFileByteLimit = 0x7FFFFFFFLL;

// A recording goes on in the next numbered file before its file would pass this size.
// The file's size is predicted from the headers and frames written; the libraries of
// different systems lay out headers, padding and the index a little differently, so
// the split keeps 64 MiB of the limit to spare.
const long long kAviSplitBytes = kAviFileByteLimit - 64LL * 1024 * 1024;

// Bytes the finished file takes before any frame (headers padded to 2048, room to
// spare) and after the last (index header and trailing filler).
const long long kAviFixedBytes = 4096 + 64;

// Free space the AVI's disk keeps, beside the index of the frames written, for what the
// library writes when it closes the file (the headers again, the index's header,
// filler): a file must always be able to close whole.
const long long kAviCloseReserveBytes = 64 * 1024;

// Whole frames of `frameBytes` a file can hold below `fileByteLimit`; at least 0.
int aviFramesPerFile(int frameBytes, long long fileByteLimit);

// Free bytes the disk must have before a frame of `frameBytes` is written into a file
// that holds `framesWritten` frames: the frame's chunk, the index of every frame, and
// kAviCloseReserveBytes.
long long aviRoomNeeded(int frameBytes, int framesWritten);

// Bytes one frame of `byteCount` adds to the file: its chunk header, its data padded
// to an even length, and its index entry.
long long aviFrameFileBytes(int byteCount);

// Fills a bottom-up frame of `height` rows of `frameStride` bytes from a top-down
// image whose rows start `sourceStride` bytes apart: frame row j is source row
// height - 1 - j. The bytes after the first 3 x width of each frame row become 0.
void flipRowsIntoFrame(const BYTE* source, int sourceStride, BYTE* frame, int frameStride, int width,
                       int height);

class AviWriter {
public:
    AviWriter();
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates the file and its stream, announcing `length` frames of width x height at
    // `rate` per second. False, with everything released and no file left, on any failure.
    bool open(const char* path, int rate, int length, int width, int height, const BITMAPINFOHEADER* format);
    // Writes one key frame at `position` in this file. False when the writer is closed,
    // when the recording has ended, or when the frame would take the file past
    // fileByteLimit (the recording then ends: later frames would leave a gap). A frame
    // the library refuses also ends the recording.
    bool writeFrame(int position, const void* pixels, int byteCount);
    // Finishes the file. False when it was not open.
    bool close();

    // Stops taking frames; the file keeps the frames written so far.
    void endRecording() { recordingEnded = 1; }

    int ownsLibraryInit = 0;
    int isOpen = 0;
    PAVIFILE aviFile = nullptr;
    PAVISTREAM aviStream = nullptr;
    // What the size ceiling needs: the predicted size of the finished file.
    long long fileBytes = 0;
    long long fileByteLimit = kAviSplitBytes;
    int framesWritten = 0;   // frames in this file
    int recordingEnded = 0;  // a frame could not be written; no later frame is taken
    char path[MAX_PATH] = "";  // the file being written, kept to check it once it is finished
    int fileNumber = -1;       // its serial number

    // The recording, which may go on over several numbered files.
    int rate = 0;
    int length = 0;            // frames the recording is to have in all
    int width = 0;
    int height = 0;
    int framesBefore = 0;      // frames in the recording's earlier files
    int filesBefore = 0;       // earlier files of the recording, all closed whole
    int keptNumbers[64] = {};  // the serial numbers of those files (the first 64)
    // Where the recording's next numbered file goes: AVISAVEPATH when empty, else the
    // folder of a file the user chose for it.
    char folder[MAX_PATH] = "";
    // Free bytes its disk keeps beside kAviCloseReserveBytes for a file written after it
    // there (a screenshot's own image, which comes first).
    long long roomKeptBeside = 0;
    // Every file the recording kept so far, whole; a recording written again removes them.
    std::vector<std::string> keptPaths;
    // Why the recording ended before its last frame: a message format taking the number
    // of frames the files keep, shown once the last file is closed. Null: it did not.
    const char* endMessage = nullptr;
    // One frame buffer for the whole recording, made at its first frame.
    BYTE* frameBuffer = nullptr;
    long long frameBufferBytes = 0;
};

// True when the first 12 bytes of a file of `fileSize` bytes are those of a finished
// AVI file: "RIFF", a chunk size the file holds in full, "AVI ".
bool aviHeaderIsWhole(const BYTE* header, long long fileSize);

// What a recording's files hold once it has ended: its frames, its files (with the serial
// numbers of the first 64 and the paths of all), and why it ended early (a message format
// taking the frames kept; null when it did not).
struct AviKept {
    int frames = 0;
    int files = 0;
    int numbers[64] = {};
    std::vector<std::string> paths;
    const char* endMessage = nullptr;
};

// True when the recording ended early for want of room or a file that would take its
// frames, which the user can mend: the disk filled, a write failed, the next file could not
// be made.
bool aviEndedForRoom(const AviKept& kept);

// Closes the writer's file, if open, and checks it as closeNumberedAvi does, but tells the
// user nothing: returns what the recording's files hold, and leaves the writer ready for
// another recording. Does nothing (returns nothing kept) for a null writer.
AviKept finishNumberedAvi(AviWriter* writer);

// Tells the user what closeNumberedAvi tells about a finished recording's files.
void tellAviKept(const AviKept& kept);

// Removes every file the recording kept.
void removeAviFiles(const AviKept& kept);

// Opens the writer on `path` (a name the user chose) for a recording as openNumberedAvi
// does; files after it, should it pass 2 GB, go into its folder under serial names. False
// when the file cannot be made.
bool openAviAt(AviWriter* writer, const char* path, int rate, int length, int width, int height);

// The end of a recording: closes the writer's file, if open, and checks that it was
// finished whole. A file the library could not finish would look like a recording to
// whoever opens it: it is removed and the user is told (a file that cannot be read back
// for the check is kept). A file of a recording that ended before its first frame holds
// nothing and is removed. Then the user is told once, naming the frames and the files
// that remain: why the recording ended early, or which files a recording that went on
// over several holds. Does nothing for a null writer.
void closeNumberedAvi(AviWriter* writer);

// Claims the next free savi####.avi in AVISAVEPATH and opens the writer on it for
// frames of width x height at `rate`, a recording of `length` frames (each file
// announces the frames it can hold of them). Sets app.aviFileOpen on success. Does
// nothing for a null writer or one already open. A folder without a drive or share root
// opens nothing and, when there are frames to keep, tells the user; so does any file an
// AVI-only recording cannot make, since the recording is lost without it. A folder too
// long for the names opens nothing silently beside a screenshot.
void openNumberedAvi(AviWriter* writer, int rate, int length, int width, int height);

// Writes the top-down 24-bit image `bits` (rows `stride` bytes apart, width x height)
// as the frame at `position` of the recording. A frame that would take the file past
// fileByteLimit (by the file's predicted size, or its real size as it grows) closes it
// whole and goes into the next numbered file, which starts its own frames at 0. Does
// nothing for a null or closed writer or an ended recording. When there is no image
// (null bits: the area is larger than the slots), no frame buffer, no next file, no room
// on the disk to close the file whole after this frame, or a frame no file could hold,
// the recording ends there; closeNumberedAvi tells the user.
void writeCaptureFrame(AviWriter* writer, int position, const BYTE* bits, int stride, int width, int height);
