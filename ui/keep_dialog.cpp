#include "ui/keep_dialog.h"

#include <cstdio>

#include "core/app_state.h"
#include "core/text.h"
#include "core/texts.h"
#include "resources/resource.h"
#include "ui/fit_text.h"
#include "ui/language.h"

namespace {

struct KeepQuestion {
    const char* text;
    bool elsewhere;
};

INT_PTR CALLBACK keepDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const KeepQuestion* question = reinterpret_cast<const KeepQuestion*>(lParam);
        setWindowTextSjis(dialog, uiText(Text::AviErrorTitle));
        setWindowTextSjis(GetDlgItem(dialog, IDC_KEEP_TEXT), question->text);
        EnableWindow(GetDlgItem(dialog, IDC_KEEP_ELSEWHERE), question->elsewhere);
        fitTextsToControls(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        // Esc arrives as IDCANCEL: it answers nothing.
        if (LOWORD(wParam) == IDRETRY || LOWORD(wParam) == IDABORT ||
            (LOWORD(wParam) == IDC_KEEP_ELSEWHERE && IsWindowEnabled(GetDlgItem(dialog, IDC_KEEP_ELSEWHERE)))) {
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int askKeepSamples(const char* reasonFormat, int total, int kept, bool elsewhere) {
    char text[1024];
    const int length = snprintf(text, sizeof text, reasonFormat, total, kept);
    if (length > 0 && length < static_cast<int>(sizeof text)) snprintf(text + length, sizeof text - length, "%s", uiText(Text::KeepAdvice));
    KeepQuestion question = {text, elsewhere};
    const INT_PTR answer = dialogBoxInLanguage(IDD_KEEP_SAMPLES, mainWindow, keepDialogProc,
                                           reinterpret_cast<LPARAM>(&question));
    // A dialog that cannot be shown asks nothing: the samples are given up as before.
    return answer == IDRETRY || answer == IDC_KEEP_ELSEWHERE ? static_cast<int>(answer) : IDABORT;
}
