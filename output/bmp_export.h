#pragma once
// Saving the result as a BMP file: by hand from the menu (saveToFile) and as the next
// serially numbered ss####.bmp after a capture (autoSaveResult). Both go through
// writeResultBmp, which converts displayBitmap through exportSlot.
#include <windows.h>

#include "output/bmp_file.h"

enum class BmpOutcome {
    Written,
    NoMemory,      // the export buffer (or the export slot) is not there; nothing written
    NotOpened,     // the file could not be opened for writing; the user has been told
    NotCompleted,  // the disk stopped taking bytes; the partial file is deleted, the user told
};

// Where writeResultBmp's chunks go: fwrite into the FILE* it opened. Tests swap it.
extern ChunkWriter bmpFileWriter;
int writeChunkToFile(void* file, const BYTE* data, int size);

// Writes the top-left ResultRect region of the display image to `path`.
BmpOutcome writeResultBmp(const char* path);

// Converts a path chosen in the (wide) save dialog to the ANSI code page of the file
// functions. False when a character has no ANSI form or the result does not fit in
// `size` bytes; `out` is then empty.
bool ansiPathFromWide(const wchar_t* path, char* out, int size);

// The main window's save-to-file command.
void saveToFile();

// Saves the new result as the next ss####.bmp in AUTOSAVEPATH, making the folder first.
void autoSaveResult();
