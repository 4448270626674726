#pragma once
// The language the program speaks: its menu and dialogs come from the templates stored
// under that language in the resources, its other texts from that language's table
// (core/texts.h). Switching takes effect at once, without a restart.
#include <windows.h>

#include "core/texts.h"

// The language the LANGUAGE setting names on this system (0 follows the user's Windows
// display language).
Language languageOfSettings();

// The main menu in the language shown now; null when the resources lack it.
HMENU loadMainMenu();

// A dialog from the template stored under the language shown now, as CreateDialogParamW
// and DialogBoxParamW make it from a template id.
HWND createDialogInLanguage(int templateId, HWND owner, DLGPROC procedure, LPARAM parameter);
INT_PTR dialogBoxInLanguage(int templateId, HWND owner, DLGPROC procedure, LPARAM parameter);

// Speaks `language` from now on: the main window's menu is replaced and its caption set
// again. Open dialogs rebuild themselves (the options dialog does so in place).
void applyLanguage(Language language);
