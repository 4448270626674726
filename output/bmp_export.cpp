#include "output/bmp_export.h"

#include <commdlg.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/gdi_guards.h"
#include "core/text.h"
#include "core/texts.h"
#include "engine/slot_pool.h"
#include "output/folder_path.h"
#include "output/serial_name.h"

namespace {

bool noResultYet() { return ResultRect.right == 1 && ResultRect.bottom == 1; }

enum class SaveChoice { Chosen, Cancelled, Unusable };

// The save dialog is the wide one, so its texts read right whatever the ANSI code
// page; the path it returns goes back to the ANSI code page of the file functions.
SaveChoice askSavePath(char* path) {
    std::wstring filter = wideFromShiftJis(kSaveFilterName);
    filter += L'\0';
    filter += L"*.bmp";
    filter += L'\0';  // c_str() adds the second NUL that ends the list
    const std::wstring title = wideFromShiftJis(kSaveDialogTitle);
    wchar_t initialFolder[MAX_PATH] = L"";
    if (!MultiByteToWideChar(CP_ACP, 0, settings.SAVEPATH, -1, initialFolder, MAX_PATH)) initialFolder[0] = L'\0';
    wchar_t chosen[MAX_PATH] = L"";

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = L"bmp";
    if (!GetSaveFileNameW(&dialog)) return SaveChoice::Cancelled;
    return ansiPathFromWide(chosen, path, MAX_PATH) ? SaveChoice::Chosen : SaveChoice::Unusable;
}

}  // namespace

int writeChunkToFile(void* file, const BYTE* data, int size) {
    return static_cast<int>(fwrite(data, 1, static_cast<size_t>(size), static_cast<FILE*>(file)));
}

ChunkWriter bmpFileWriter = writeChunkToFile;

BmpOutcome writeResultBmp(const char* path) {
    const int width = ResultRect.right;
    const int height = ResultRect.bottom;
    const int size = bmpFileSize(width, height);
    BitmapSlot* slot = usableSlot(exportSlot);
    if (!slot || size < 0 || width > slot->width || height > slot->height) return BmpOutcome::NoMemory;

    {
        Selected into(workDC, slot->bitmap);
        BitBlt(workDC, 0, 0, width, height, displayDC, 0, 0, SRCCOPY);
    }
    GdiFlush();  // the pixels are read straight from the DIB section next

    BYTE* buffer = static_cast<BYTE*>(malloc(kBmpChunkSize));
    if (!buffer) return BmpOutcome::NoMemory;

    FILE* file = fopen(path, "wb");
    if (!file) {
        showMessage(nullptr, kWriteFailedMessage, kErrorTitle);
        free(buffer);
        return BmpOutcome::NotOpened;
    }
    const int written = writeBmpInChunks(buffer, slot->bits, 4 * slot->width, width, height, bmpFileWriter, file);
    free(buffer);
    const bool closed = fclose(file) == 0;  // the last bytes may only fail here
    if (written != size || !closed) {
        // A cut-off file would look like a good one to whoever opens it next.
        remove(path);
        showMessage(nullptr, kWriteFailedMessage, kErrorTitle);
        return BmpOutcome::NotCompleted;
    }
    return BmpOutcome::Written;
}

bool ansiPathFromWide(const wchar_t* path, char* out, int size) {
    out[0] = '\0';
    const int length = WideCharToMultiByte(CP_ACP, 0, path, -1, out, size, nullptr, nullptr);
    if (length <= 0) {
        out[0] = '\0';
        return false;
    }
    // A character without an ANSI form comes out as '?' or a look-alike, which would
    // name another file: only a conversion that comes back unchanged is taken.
    wchar_t back[MAX_PATH + 1];
    const int backLength = MultiByteToWideChar(CP_ACP, 0, out, -1, back, MAX_PATH + 1);
    if (backLength <= 0 || wcscmp(back, path) != 0) {
        out[0] = '\0';
        return false;
    }
    return true;
}

void saveToFile() {
    if (app.captureBusy) {
        showMessage(nullptr, kBusyMessage, kFileSaveErrorTitle);
        return;
    }
    if (noResultYet()) {
        showMessage(nullptr, kNoDataMessage, kFileSaveErrorTitle);
        return;
    }
    app.saveInProgress = 1;
    char path[MAX_PATH];
    switch (askSavePath(path)) {
    case SaveChoice::Chosen:
        // The folder is remembered even if the write then fails.
        strcpy(settings.SAVEPATH, path);
        keepFolderPart(settings.SAVEPATH);
        if (writeResultBmp(path) == BmpOutcome::NoMemory) showMessage(nullptr, kNoMemoryMessage, kFileSaveErrorTitle);
        break;
    case SaveChoice::Unusable:
        showMessage(nullptr, kUnusableNameMessage, kFileSaveErrorTitle);
        break;
    case SaveChoice::Cancelled:
        break;
    }
    app.saveInProgress = 0;
}

void autoSaveResult() {
    if (!outputFolderFits(settings.AUTOSAVEPATH, MAX_PATH - 1)) {
        // Too long: silently nothing. No root: saving into whatever the current
        // directory happens to be would lose the file, so the user is told, when there
        // is a result to lose.
        if (!noResultYet() && strlen(settings.AUTOSAVEPATH) + 30 < MAX_PATH) {
            showMessage(mainWindow, kNoRootMessage, kAutoSaveErrorTitle);
        }
        return;
    }
    enterOutputFolder(settings.AUTOSAVEPATH);
    if (noResultYet()) return;

    app.saveInProgress = 1;
    char name[MAX_PATH];
    if (findFreeSerialName(name, settings.AUTOSAVEPATH, "ss", "bmp") < 0) {
        showMessage(mainWindow, kFullMessage, kAutoSaveErrorTitle);
    } else if (writeResultBmp(name) == BmpOutcome::NoMemory) {
        showMessage(mainWindow, kNoMemoryMessage, kAutoSaveErrorTitle);
    }
    app.saveInProgress = 0;
}
