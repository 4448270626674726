// winprobe's menu reader. Wine keeps a process's menus to itself, so winprobe hooks the
// program's thread with this library, which Wine then loads into the program: the hook
// writes the menu of the window sent kMenuTextMessage into the library's shared section,
// UTF-8, one item a line, a popup's items after a tab.
#include "e2e/menu_text/menu_text.h"

__attribute__((section(".shared"), shared)) char menuText[4096] = "";

namespace {

int writeMenu(HMENU menu, const char* indent, int at) {
    for (int i = 0; i < GetMenuItemCount(menu) && at < 3500; ++i) {
        wchar_t text[256] = L"";
        MENUITEMINFOW item = {sizeof item, MIIM_STRING | MIIM_SUBMENU, 0, 0, 0, nullptr, nullptr, nullptr, 0, text, 256, nullptr};
        GetMenuItemInfoW(menu, i, TRUE, &item);
        at += wsprintfA(menuText + at, "%s", indent);
        at += WideCharToMultiByte(CP_UTF8, 0, text, -1, menuText + at, 500, nullptr, nullptr);
        menuText[at - 1] = '\n';
        if (item.hSubMenu) at = writeMenu(item.hSubMenu, "\t", at);
    }
    menuText[at] = '\0';
    return at;
}

LRESULT CALLBACK writeMenuOnMessage(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == RegisterWindowMessageW(kMenuTextMessage)) {
        HMENU menu = GetMenu(call->hwnd);
        if (menu) writeMenu(menu, "", 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

HOOKPROC menuTextHook() { return writeMenuOnMessage; }
char* menuTextRead() { return menuText; }
