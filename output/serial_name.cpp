#include "output/serial_name.h"

#include <windows.h>
#include <cstdio>

namespace {

// Builds the name of number `i` into `out`; false when it does not fit.
bool serialName(char* out, const char* folder, const char* prefix, int i, const char* extension) {
    const int length = snprintf(out, MAX_PATH, "%s\\%s%04d.%s", folder, prefix, i, extension);
    // A cut-off name would be found "free" and written somewhere else.
    return length >= 0 && length < MAX_PATH;
}

bool opensForReading(const char* name) {
    FILE* existing = fopen(name, "rb");
    if (!existing) return false;
    fclose(existing);
    return true;
}

}  // namespace

int findFreeSerialName(char* out, const char* folder, const char* prefix, const char* extension,
                       const char* alsoTaken) {
    char other[MAX_PATH];
    for (int i = 0; i <= 9999; ++i) {
        if (!serialName(out, folder, prefix, i, extension)) break;
        if (opensForReading(out)) continue;
        if (alsoTaken && (!serialName(other, folder, prefix, i, alsoTaken) || opensForReading(other))) continue;
        return i;
    }
    out[0] = '\0';
    return -1;
}
