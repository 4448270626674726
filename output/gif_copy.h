#pragma once
// The kept samples copied as an animated GIF, so that it pastes animated where people
// share: the registered "GIF" format holding the file's bytes, and the file itself
// (CF_HDROP of a copy kept in the temporary folder), beside the still's bitmap and PNG.
// The copy in the temporary folder lasts until the next GIF copy or the exit.
#include <windows.h>

#include <cstdint>
#include <vector>

// Ctrl+Shift+C and the menu's command: tells the user when it could not be done. Does
// nothing while a capture is under way.
void copyGifToClipboard();

// The clipboard's formats for `gif` (the GIF's bytes and, where the file could be
// written, its name to drop), the file written first in `folder` (the temporary folder's
// path; empty for the system's) and the copy before removed; then copied beside the still.
// The outcome is the still's copy's.
enum class CopyOutcome;
CopyOutcome copyGifBytes(const std::vector<uint8_t>& gif, const char* folder, DWORD patienceMs);

// The file the last GIF copy dropped; empty when none is kept.
const char* copiedGifPath();

// Removes the file the last GIF copy dropped (at the next copy and at the exit).
void removeCopiedGif();
