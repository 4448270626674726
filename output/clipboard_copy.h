#pragma once
// The result shown, copied whole to the clipboard: as a device-independent bitmap (CF_DIB:
// 24 bits, rows bottom-up) and as the registered "PNG" format, which chat programs,
// browsers and office programs take without loss. Nothing shown copies nothing.
#include <windows.h>

enum class CopyOutcome {
    Copied,
    NothingShown,   // no result yet: nothing is copied, and nobody is told
    NoMemory,       // the export slot or the clipboard's memory could not be had
    ClipboardBusy,  // another program kept the clipboard open all the while
    Copying,        // asked again while a copy waits for the clipboard: the one under way goes on
};

// How long a copy by hand waits for a clipboard another program holds.
const DWORD kClipboardPatienceMs = 500;

// Copies the top-left ResultRect region of the display image. A clipboard another
// program holds open is tried again for up to `patienceMs`, messages handled meanwhile;
// messages are handled while the images are built too, so the window keeps answering.
// One copy at a time: a copy asked for meanwhile (Ctrl+C held) does nothing.
CopyOutcome copyResultToClipboard(DWORD patienceMs);

// Another format put on the clipboard beside the still's. The clipboard takes `memory`
// when the copy succeeds; it is freed otherwise.
struct ClipboardExtra {
    UINT format;
    HGLOBAL memory;
};

// The same, with `count` more formats (the GIF's bytes, its file); each copy frees what it
// does not hand over, whatever its outcome.
CopyOutcome copyResultWith(DWORD patienceMs, ClipboardExtra* extras, int count);

// What the user is told of an outcome; null when nothing.
const char* copyFailureMessage(CopyOutcome outcome);

// Movable global memory holding a copy of `size` bytes; null when it cannot be had.
HGLOBAL globalCopy(const void* bytes, size_t size);

// Ctrl+C and the menu's command: copies the result shown, and tells the user when it
// could not be done. Does nothing while a capture is under way.
void copyToClipboard();

// After each new result, with AUTO_COPY: the same; a clipboard that stays busy is told
// once, and not again until a copy has succeeded.
void autoCopyResult();
