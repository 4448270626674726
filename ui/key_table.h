#pragma once
// The keys that can serve as hot keys: display names (Shift-JIS) and virtual-key
// codes in the same order. A combo-box row of the options dialog is a row here.

struct KeyTable {
    static constexpr int kCount = 29;
    const char* names[kCount];
    int codes[kCount];
};
extern const KeyTable keyTable;

// The row whose code is `code`, or -1 when the key is not in the table.
int keyRowOfCode(int code);

// The code of a combo-box row. A row outside the table (no selection) keeps
// `keptCode`, the key the setting already holds: an untouched empty box changes nothing.
int keyCodeOfRow(int row, int keptCode);
