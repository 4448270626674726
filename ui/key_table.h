#pragma once
// The keys that can serve as hot keys: display names and virtual-key codes in the same
// order. The arrows' names differ by language and come from the texts (null here). A key box of the options dialog offers them as KeyChoices.

struct KeyTable {
    static constexpr int kCount = 29;
    const char* names[kCount];
    int codes[kCount];
};
extern const KeyTable keyTable;

// The codes one key box offers, top to bottom: 0 (no key, shown as uiText(Text::NoKeyName)) first
// where the key may be left unset, then `suggested` (when in the table), then the rest
// of the table in its order.
struct KeyChoices {
    int count;
    int codes[KeyTable::kCount + 1];
};
KeyChoices keyChoices(bool noKeyOffered, int suggested);

// The name a box shows for a code it offers, in the language shown now.
const char* keyName(int code);

// The row whose code is `code`, or -1 when the box does not offer it.
int keyRowOfCode(const KeyChoices& choices, int code);

// The code of a row. A row outside the box (no selection) keeps `keptCode`, the key
// the setting already holds: an untouched empty box changes nothing.
int keyCodeOfRow(const KeyChoices& choices, int row, int keptCode);
