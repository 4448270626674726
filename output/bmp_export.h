#pragma once
// Saving the result as a BMP or PNG file: by hand from the menu (saveToFile) and as the
// next serially numbered ss####.bmp or ss####.png after a capture (autoSaveResult). Both
// go through writeResultImage, which converts displayBitmap through exportSlot, so the
// two types of one result hold the same pixels.
#include <windows.h>

#include <string>

#include "encode/bmp_file.h"

enum class ImageType { Bmp, Png };

enum class SaveOutcome {
    Written,
    NoMemory,      // the export buffer (or the export slot) is not there; nothing written
    NotEncoded,    // the PNG encoder is not there or failed; nothing written
    NotOpened,     // the file could not be opened for writing; the user has been told
    NotCompleted,  // the disk stopped taking bytes: the new file is deleted, the target keeps what it
                   // held, and the user is told
};

// Where writeResultImage's chunks go: fwrite into the FILE* it opened. Tests swap it.
extern ChunkWriter resultFileWriter;
int writeChunkToFile(void* file, const BYTE* data, int size);

// Writes `size` bytes encoded elsewhere (a GIF) to `path` the way an image is written: into
// a new file beside a target that holds something, removed and told when not whole.
SaveOutcome writeEncodedFile(const char* path, const BYTE* data, int size);

// True while no capture has produced a result (ResultRect is still 1 x 1).
bool noResultYet();

struct BitmapSlot;
// The top-left ResultRect region of the display image, converted into exportSlot (32-bit,
// top-down); null when there is no export slot or it cannot hold the region.
const BitmapSlot* exportResult();

// Writes the top-left ResultRect region of the display image to `path` as `type`: into a
// new file beside it, which replaces `path` only once it is whole.
SaveOutcome writeResultImage(const char* path, ImageType type);
inline SaveOutcome writeResultBmp(const char* path) { return writeResultImage(path, ImageType::Bmp); }
inline SaveOutcome writeResultPng(const char* path) { return writeResultImage(path, ImageType::Png); }

// The type SAVE_TYPE names: 1 is PNG, anything else BMP.
ImageType savedImageType();
// The type a file name's extension names (".bmp" or ".png", in any case), else `chosen`.
ImageType imageTypeOfPath(const char* path, ImageType chosen);

// Converts a path chosen in the (wide) save dialog to the ANSI code page of the file
// functions. False when a character has no ANSI form or the result does not fit in
// `size` bytes; `out` is then empty.
bool ansiPathFromWide(const wchar_t* path, char* out, int size);

// The save dialog, starting in SAVEPATH: the wide one, so its texts read right whatever
// the ANSI code page. `filter` is its list of name and pattern pairs (each NUL-ended),
// `offeredRow` the one selected first (from 1), `title` in Shift-JIS. Returns the row
// chosen, 0 when cancelled; `usable` says whether the name has a form in the ANSI code
// page of the file functions (`path`, MAX_PATH bytes; empty when it has none).
int askSaveName(const std::wstring& filter, int offeredRow, const char* title, const wchar_t* extension, char* path,
                bool* usable);

// The main window's save-to-file command.
void saveToFile();

// Saves the new result as the next ss####.bmp or ss####.png (SAVE_TYPE) in AUTOSAVEPATH,
// making the folder first. A number is free only when nothing holds either type's name;
// it is claimed before the write, and given back when the write fails.
void autoSaveResult();
