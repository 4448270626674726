#include "ui/language.h"

#include "core/app_state.h"
#include "core/settings.h"
#include "capture/retro_capture.h"
#include "resources/resource.h"

namespace {

// The template stored under the language shown now, or under any language when that one
// is missing (a resource built without it is still usable).
const void* templateInLanguage(LPCWSTR type, int id) {
    HRSRC found = FindResourceExW(appInstance, type, MAKEINTRESOURCEW(id), resourceLanguage(app.language));
    if (!found) found = FindResourceW(appInstance, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(appInstance, found) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

}  // namespace

Language languageOfSettings() { return languageOfSetting(settings.LANGUAGE, GetUserDefaultUILanguage()); }

HMENU loadMainMenu() {
    const void* menu = templateInLanguage(MAKEINTRESOURCEW(4) /* RT_MENU */, IDR_MAIN_MENU);
    return menu ? LoadMenuIndirectW(menu) : nullptr;
}

HWND createDialogInLanguage(int templateId, HWND owner, DLGPROC procedure, LPARAM parameter) {
    const void* dialog = templateInLanguage(MAKEINTRESOURCEW(5) /* RT_DIALOG */, templateId);
    if (!dialog) return nullptr;
    return CreateDialogIndirectParamW(appInstance, static_cast<LPCDLGTEMPLATEW>(dialog), owner, procedure, parameter);
}

INT_PTR dialogBoxInLanguage(int templateId, HWND owner, DLGPROC procedure, LPARAM parameter) {
    const void* dialog = templateInLanguage(MAKEINTRESOURCEW(5) /* RT_DIALOG */, templateId);
    if (!dialog) return -1;
    return DialogBoxIndirectParamW(appInstance, static_cast<LPCDLGTEMPLATEW>(dialog), owner, procedure, parameter);
}

void applyLanguage(Language language) {
    app.language = language;
    if (!mainWindow) return;
    HMENU old = GetMenu(mainWindow);
    if (HMENU menu = loadMainMenu()) {
        SetMenu(mainWindow, menu);
        if (old) DestroyMenu(old);
    }
    if (!app.captureBusy && app.sampleCounter == 0) setReadyCaption();
}
