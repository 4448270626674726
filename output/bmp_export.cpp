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
#include "capture/slot_pool.h"
#include "output/folder_path.h"
#include "encode/png_file.h"
#include "output/serial_name.h"

namespace {

enum class SaveChoice { Chosen, Cancelled, Unusable };

const wchar_t* extensionOf(ImageType type) { return type == ImageType::Png ? L"png" : L"bmp"; }

// Offers both types, SAVE_TYPE's first selected; `type` is the one the name's extension
// names, else the one selected.
SaveChoice askSavePath(char* path, ImageType* type) {
    std::wstring filter = wideFromShiftJis(uiText(Text::SaveFilterName));
    filter += L'\0';
    filter += L"*.bmp";
    filter += L'\0';
    filter += wideFromShiftJis(uiText(Text::SavePngFilterName));
    filter += L'\0';
    filter += L"*.png";
    filter += L'\0';  // c_str() adds the second NUL that ends the list
    const ImageType offered = savedImageType();
    bool usable = false;
    const int row = askSaveName(filter, offered == ImageType::Png ? 2 : 1,
                                offered == ImageType::Png ? uiText(Text::SavePngDialogTitle) : uiText(Text::SaveDialogTitle),
                                extensionOf(offered), path, &usable);
    if (row == 0) return SaveChoice::Cancelled;
    if (!usable) return SaveChoice::Unusable;
    *type = imageTypeOfPath(path, row == 2 ? ImageType::Png : ImageType::Bmp);
    return SaveChoice::Chosen;
}

// A save over a file that holds something goes first into a new file beside it, which
// takes its place only once it is whole: a save that fails (a full disk) leaves whatever
// the target held. A target that is empty or not there yet (a serial name just claimed)
// has nothing to lose and is written in place. One that holds something is never written
// in place: where no file can be made beside it, the save fails and the old file stays.
struct OpenedFile {
    FILE* file = nullptr;
    char written[MAX_PATH] = "";  // the file the bytes go to: the staging file, or the target
};

OpenedFile openForWriting(const char* path) {
    OpenedFile opened;
    snprintf(opened.written, MAX_PATH, "%s", path);
    WIN32_FILE_ATTRIBUTE_DATA target;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &target) &&
        (target.nFileSizeHigh != 0 || target.nFileSizeLow != 0)) {
        char folder[MAX_PATH];
        snprintf(folder, sizeof folder, "%s", path);
        keepFolderPart(folder);
        if (strcmp(folder, path) == 0) snprintf(folder, sizeof folder, ".\\");
        // A folder past the system's limit for the name (MAX_PATH - 14) takes no staging
        // file; some systems then write the name past the end of the buffer instead.
        if (strlen(folder) > MAX_PATH - 14 || !GetTempFileNameA(folder, "kst", 0, opened.written)) {
            showMessage(nullptr, uiText(Text::WriteFailedMessage), uiText(Text::ErrorTitle));
            return opened;
        }
    }
    opened.file = fopen(opened.written, "wb");
    if (!opened.file) {
        if (strcmp(opened.written, path) != 0) DeleteFileA(opened.written);
        showMessage(nullptr, uiText(Text::WriteFailedMessage), uiText(Text::ErrorTitle));
    }
    return opened;
}

// Closes a file that should hold `size` bytes and has taken `written`, and puts it in
// its target's place.
SaveOutcome closeWhole(OpenedFile& opened, const char* path, int written, int size) {
    // The last bytes may only fail here: a file smaller than the stream's buffer is all
    // written at the flush, and a close may not report a flush that failed.
    const bool flushed = fflush(opened.file) == 0;
    const bool closed = fclose(opened.file) == 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool whole = GetFileAttributesExA(opened.written, GetFileExInfoStandard, &data) && data.nFileSizeHigh == 0 &&
                       data.nFileSizeLow == static_cast<DWORD>(size);
    const bool staged = strcmp(opened.written, path) != 0;
    if (written != size || !flushed || !closed || !whole ||
        (staged && !MoveFileExA(opened.written, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        // A cut-off file would look like a good one to whoever opens it next.
        remove(opened.written);
        showMessage(nullptr, uiText(Text::WriteFailedMessage), uiText(Text::ErrorTitle));
        return SaveOutcome::NotCompleted;
    }
    return SaveOutcome::Written;
}

SaveOutcome writeBmp(const char* path, const BitmapSlot* slot, int width, int height) {
    BYTE* buffer = static_cast<BYTE*>(malloc(kBmpChunkSize));
    if (!buffer) return SaveOutcome::NoMemory;
    OpenedFile opened = openForWriting(path);
    if (!opened.file) {
        free(buffer);
        return SaveOutcome::NotOpened;
    }
    const int written =
        writeBmpInChunks(buffer, slot->bits, 4 * slot->width, width, height, resultFileWriter, opened.file);
    free(buffer);
    return closeWhole(opened, path, written, bmpFileSize(width, height));
}

// The encoded file in chunks of at most kBmpChunkSize, yielding after each, up to the
// first chunk that makes no progress. Returns the bytes taken.
int writeBytesInChunks(const BYTE* data, int size, void* file) {
    int count = 0;
    while (count < size) {
        const int chunk = size - count < kBmpChunkSize ? size - count : kBmpChunkSize;
        const int taken = resultFileWriter(file, data + count, chunk);
        Sleep(0);
        if (taken <= 0 || taken > chunk) break;
        count += taken;
    }
    return count;
}

SaveOutcome writePng(const char* path, const BitmapSlot* slot, int width, int height) {
    EncodedPng png;
    if (!encodePng(slot->bits, 4 * slot->width, width, height, png)) return SaveOutcome::NotEncoded;
    OpenedFile opened = openForWriting(path);
    if (!opened.file) return SaveOutcome::NotOpened;
    return closeWhole(opened, path, writeBytesInChunks(png.bytes, png.size, opened.file), png.size);
}

// The message for an image that could not be made, or null when there is none to show.
const char* unsavedImageMessage(SaveOutcome outcome) {
    switch (outcome) {
    case SaveOutcome::NoMemory:
        return uiText(Text::NoMemoryMessage);
    case SaveOutcome::NotEncoded:
        return uiText(Text::PngEncodeFailedMessage);
    default:
        return nullptr;
    }
}

}  // namespace

int writeChunkToFile(void* file, const BYTE* data, int size) {
    return static_cast<int>(fwrite(data, 1, static_cast<size_t>(size), static_cast<FILE*>(file)));
}

ChunkWriter resultFileWriter = writeChunkToFile;

SaveOutcome writeEncodedFile(const char* path, const BYTE* data, int size) {
    OpenedFile opened = openForWriting(path);
    if (!opened.file) return SaveOutcome::NotOpened;
    return closeWhole(opened, path, writeBytesInChunks(data, size, opened.file), size);
}

int askSaveName(const std::wstring& filter, int offeredRow, const char* title, const wchar_t* extension, char* path,
                bool* usable) {
    const std::wstring wideTitle = wideFromShiftJis(title);
    wchar_t initialFolder[MAX_PATH] = L"";
    if (!MultiByteToWideChar(CP_ACP, 0, settings.SAVEPATH, -1, initialFolder, MAX_PATH)) initialFolder[0] = L'\0';
    wchar_t chosen[MAX_PATH] = L"";

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(offeredRow);
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = wideTitle.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    // A name typed without an extension gets the offered type's.
    dialog.lpstrDefExt = extension;
    if (!GetSaveFileNameW(&dialog)) return 0;
    *usable = ansiPathFromWide(chosen, path, MAX_PATH);
    return dialog.nFilterIndex > 0 ? static_cast<int>(dialog.nFilterIndex) : 1;
}

bool noResultYet() { return ResultRect.right == 1 && ResultRect.bottom == 1; }

const BitmapSlot* exportResult() {
    const int width = ResultRect.right;
    const int height = ResultRect.bottom;
    BitmapSlot* slot = usableSlot(exportSlot);
    if (!slot || bmpFileSize(width, height) < 0 || width > slot->width || height > slot->height) return nullptr;
    {
        Selected into(workDC, slot->bitmap);
        BitBlt(workDC, 0, 0, width, height, displayDC, 0, 0, SRCCOPY);
    }
    GdiFlush();  // the pixels are read straight from the DIB section next
    return slot;
}

SaveOutcome writeResultImage(const char* path, ImageType type) {
    const BitmapSlot* slot = exportResult();
    if (!slot) return SaveOutcome::NoMemory;
    const int width = ResultRect.right;
    const int height = ResultRect.bottom;
    return type == ImageType::Png ? writePng(path, slot, width, height) : writeBmp(path, slot, width, height);
}

ImageType savedImageType() { return settings.SAVE_TYPE == 1 ? ImageType::Png : ImageType::Bmp; }

ImageType imageTypeOfPath(const char* path, ImageType chosen) {
    const size_t length = strlen(path);
    if (length < 4 || path[length - 4] != '.') return chosen;
    const char* extension = path + length - 3;
    if (_stricmp(extension, "png") == 0) return ImageType::Png;
    if (_stricmp(extension, "bmp") == 0) return ImageType::Bmp;
    return chosen;
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
        showMessage(nullptr, uiText(Text::BusyMessage), uiText(Text::FileSaveErrorTitle));
        return;
    }
    if (!mayStart(Start::Save)) return;  // a save already asks for its name or writes
    if (noResultYet()) {
        showMessage(nullptr, uiText(Text::NoDataMessage), uiText(Text::FileSaveErrorTitle));
        return;
    }
    app.saveInProgress = 1;
    char path[MAX_PATH];
    ImageType type = ImageType::Bmp;
    switch (askSavePath(path, &type)) {
    case SaveChoice::Chosen: {
        // The folder is remembered even if the write then fails.
        strcpy(settings.SAVEPATH, path);
        keepFolderPart(settings.SAVEPATH);
        const char* unsaved = unsavedImageMessage(writeResultImage(path, type));
        if (unsaved) showMessage(nullptr, unsaved, uiText(Text::FileSaveErrorTitle));
        break;
    }
    case SaveChoice::Unusable:
        showMessage(nullptr, uiText(Text::UnusableNameMessage), uiText(Text::FileSaveErrorTitle));
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
            showMessage(mainWindow, uiText(Text::NoRootMessage), uiText(Text::AutoSaveErrorTitle));
        }
        return;
    }
    enterOutputFolder(settings.AUTOSAVEPATH);
    if (noResultYet()) return;

    app.saveInProgress = 1;
    char name[MAX_PATH];
    const ImageType type = savedImageType();
    const bool png = type == ImageType::Png;
    if (claimFreeSerialName(name, settings.AUTOSAVEPATH, "ss", png ? "png" : "bmp", png ? "bmp" : "png") < 0) {
        showMessage(mainWindow, uiText(Text::FullMessage), uiText(Text::AutoSaveErrorTitle));
    } else {
        const SaveOutcome outcome = writeResultImage(name, type);
        // The claimed name holds nothing when the result could not be written.
        if (outcome != SaveOutcome::Written) DeleteFileA(name);
        if (const char* unsaved = unsavedImageMessage(outcome)) showMessage(mainWindow, unsaved, uiText(Text::AutoSaveErrorTitle));
    }
    app.saveInProgress = 0;
}
