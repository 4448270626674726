#include "output/gif_copy.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "output/bmp_export.h"
#include "output/clipboard_copy.h"
#include "output/gif_file.h"

namespace {

char copiedPath[MAX_PATH] = "";
unsigned copiesMade = 0;

// Writes `gif` as a fresh file in the folder, named for this process and copy so that a
// program still reading the copy before never sees this one's bytes. False when it cannot.
bool writeCopyFile(const std::vector<uint8_t>& gif, const char* folder, char* path) {
    char full[MAX_PATH];
    DWORD length = 0;
    if (folder && folder[0]) length = GetFullPathNameA(folder, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) length = GetTempPathA(MAX_PATH, full);
    if (length == 0 || length >= MAX_PATH) return false;
    const bool endsInSeparator = lastSeparatorIndex(full) == static_cast<int>(length) - 1;
    const int written = snprintf(path, MAX_PATH, "%s%skestrin_%lu_%u.gif", full, endsInSeparator ? "" : "\\",
                                 GetCurrentProcessId(), ++copiesMade);
    if (written <= 0 || written >= MAX_PATH) return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const bool whole = WriteFile(file, gif.data(), static_cast<DWORD>(gif.size()), &done, nullptr) && done == gif.size();
    CloseHandle(file);
    if (!whole) DeleteFileA(path);
    return whole;
}

// CF_HDROP naming the one file: the list's header, then the wide name and two NULs.
HGLOBAL dropOf(const char* path) {
    const std::wstring name = wideFromAnsi(path);
    const size_t size = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    std::vector<BYTE> bytes(size, 0);
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    memcpy(bytes.data(), &header, sizeof header);
    memcpy(bytes.data() + sizeof header, name.c_str(), name.size() * sizeof(wchar_t));
    return globalCopy(bytes.data(), size);
}

}  // namespace

CopyOutcome copyGifBytes(const std::vector<uint8_t>& gif, const char* folder, DWORD patienceMs) {
    removeCopiedGif();
    char path[MAX_PATH];
    const bool filed = writeCopyFile(gif, folder, path);
    // Without its file the GIF still pastes where programs take the "GIF" format.
    ClipboardExtra extras[2] = {{RegisterClipboardFormatA("GIF"), globalCopy(gif.data(), gif.size())},
                                {CF_HDROP, filed ? dropOf(path) : nullptr}};
    if (!extras[0].memory) {
        if (extras[1].memory) GlobalFree(extras[1].memory);
        if (filed) DeleteFileA(path);
        return CopyOutcome::NoMemory;
    }
    const CopyOutcome outcome = copyResultWith(patienceMs, extras, 2);
    if (filed && outcome == CopyOutcome::Copied) {
        strcpy(copiedPath, path);
    } else if (filed) {
        DeleteFileA(path);
    }
    return outcome;
}

const char* copiedGifPath() { return copiedPath; }

void removeCopiedGif() {
    if (copiedPath[0]) DeleteFileA(copiedPath);
    copiedPath[0] = '\0';
}

void copyGifToClipboard() {
    if (!mayStart(Start::Copy)) return;
    if (keptSamples.count <= 0) {
        showMessage(mainWindow, uiText(Text::NoDataMessage), uiText(Text::CopyErrorTitle));
        return;
    }
    std::vector<uint8_t> gif;
    if (!keptSamplesGif(gif)) return;  // the user has been told
    const char* message = copyFailureMessage(copyGifBytes(gif, settings.TEMPPATH, kClipboardPatienceMs));
    if (message) showMessage(mainWindow, message, uiText(Text::CopyErrorTitle));
}
