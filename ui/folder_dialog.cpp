#include "ui/folder_dialog.h"

#include <mbctype.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "resources/resource.h"
#include "ui/fit_text.h"

HWND folderDialog = nullptr;

namespace {

struct BrowseTarget {
    int button;
    int edit;
    Text title;
};

const BrowseTarget kTargets[] = {
    {IDC_AUTOSAVE_BROWSE, IDC_AUTOSAVE_FOLDER, Text::AutoSaveFolderTitle},
    {IDC_AVI_BROWSE, IDC_AVI_FOLDER, Text::AviFolderTitle},
    {IDC_TEMP_BROWSE, IDC_TEMP_FOLDER, Text::TempFolderTitle},
};

void browse(HWND dialog, const BrowseTarget& target) {
    char current[MAX_PATH] = "";
    GetDlgItemTextA(dialog, target.edit, current, MAX_PATH);
    const std::wstring currentWide = wideFromAnsi(current);
    const std::wstring title = wideFromShiftJis(uiText(target.title));

    wchar_t displayName[MAX_PATH] = L"";
    BROWSEINFOW info = {};
    info.hwndOwner = dialog;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = 0;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(currentWide.c_str());
    info.iImage = 0;

    char result[MAX_PATH];
    PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&info);
    if (folder) {
        wchar_t path[MAX_PATH] = L"";
        const bool hasPath = SHGetPathFromIDListW(folder, path) != FALSE;
        CoTaskMemFree(folder);
        browseResultText(current, hasPath ? path : nullptr, result);
    } else {
        browseResultText(current, nullptr, result);
    }
    SetDlgItemTextA(dialog, target.edit, result);
}

void readFolder(HWND dialog, int edit, char* field) {
    GetDlgItemTextA(dialog, edit, field, MAX_PATH);
    removeTrailingSeparator(field);
}

void onOk(HWND dialog) {
    readFolder(dialog, IDC_AUTOSAVE_FOLDER, settings.AUTOSAVEPATH);
    readFolder(dialog, IDC_AVI_FOLDER, settings.AVISAVEPATH);
    readFolder(dialog, IDC_TEMP_FOLDER, settings.TEMPPATH);
    EndDialog(dialog, 0);
}

void onCommand(HWND dialog, int id) {
    for (const BrowseTarget& target : kTargets) {
        if (id == target.button) {
            browse(dialog, target);
            return;
        }
    }
    if (id == IDOK) {
        onOk(dialog);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
    }
}

}  // namespace

bool removeTrailingSeparator(char* path) {
    // Walk the characters from the start: only a whole character can be a separator.
    size_t last = 0;
    size_t lastLength = 0;
    for (size_t i = 0; path[i] != '\0';) {
        const size_t length = (_ismbblead(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') ? 2 : 1;
        last = i;
        lastLength = length;
        i += length;
    }
    if (lastLength != 1 || path[last] != '\\') return false;
    path[last] = '\0';
    return true;
}

void browseResultText(const char* current, const wchar_t* chosen, char result[MAX_PATH]) {
    if (chosen && *chosen) {
        BOOL lossy = FALSE;
        const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, chosen, -1, result, MAX_PATH, nullptr,
                                              &lossy);
        if (bytes > 0 && !lossy) return;
    }
    lstrcpynA(result, current, MAX_PATH);
}

int CALLBACK browseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

INT_PTR CALLBACK folderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_AUTOSAVE_FOLDER, settings.AUTOSAVEPATH);
        SetDlgItemTextA(dialog, IDC_AVI_FOLDER, settings.AVISAVEPATH);
        SetDlgItemTextA(dialog, IDC_TEMP_FOLDER, settings.TEMPPATH);
        folderDialog = dialog;
        fitTextsToControls(dialog);
        return TRUE;
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
