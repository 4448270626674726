#include "ui/key_table.h"

#include "core/texts.h"

const KeyTable keyTable = {
    {"PrintScreen", "ScrollLock", "Pause", "F1", "F2", "F3", "F4", "F5", "F6", "F7",
     "F8", "F9", "F10", "F11", "F12", "ESCAPE", "TAB", "SPACE", "BackSpace", "Insert",
     "Delete", "Home", "End", "PageUp", "PageDown", nullptr, nullptr, nullptr, nullptr},
    {0x2C, 0x91, 0x13, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76,
     0x77, 0x78, 0x79, 0x7A, 0x7B, 0x1B, 0x09, 0x20, 0x08, 0x2D,
     0x2E, 0x24, 0x23, 0x21, 0x22, 0x26, 0x25, 0x28, 0x27},
};

namespace {

int tableRowOfCode(int code) {
    for (int row = 0; row < KeyTable::kCount; ++row) {
        if (keyTable.codes[row] == code) return row;
    }
    return -1;
}

}  // namespace

KeyChoices keyChoices(bool noKeyOffered, int suggested) {
    KeyChoices choices = {};
    if (noKeyOffered) choices.codes[choices.count++] = 0;
    const bool suggestedKnown = tableRowOfCode(suggested) >= 0;
    if (suggestedKnown) choices.codes[choices.count++] = suggested;
    for (int row = 0; row < KeyTable::kCount; ++row) {
        if (!suggestedKnown || keyTable.codes[row] != suggested) choices.codes[choices.count++] = keyTable.codes[row];
    }
    return choices;
}

const char* keyName(int code) {
    switch (code) {
    case 0: return uiText(Text::NoKeyName);
    case VK_UP: return uiText(Text::KeyUp);
    case VK_LEFT: return uiText(Text::KeyLeft);
    case VK_DOWN: return uiText(Text::KeyDown);
    case VK_RIGHT: return uiText(Text::KeyRight);
    default: break;
    }
    const int row = tableRowOfCode(code);
    return row >= 0 && keyTable.names[row] ? keyTable.names[row] : "";
}

int keyRowOfCode(const KeyChoices& choices, int code) {
    for (int row = 0; row < choices.count; ++row) {
        if (choices.codes[row] == code) return row;
    }
    return -1;
}

int keyCodeOfRow(const KeyChoices& choices, int row, int keptCode) {
    if (row < 0 || row >= choices.count) return keptCode;
    return choices.codes[row];
}
