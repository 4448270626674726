#include "output/serial_name.h"

#include <windows.h>
#include <cstdio>

int findFreeSerialName(char* out, const char* folder, const char* prefix, const char* extension) {
    for (int i = 0; i <= 9999; ++i) {
        const int length = snprintf(out, MAX_PATH, "%s\\%s%04d.%s", folder, prefix, i, extension);
        // A cut-off name would be found "free" and written somewhere else.
        if (length < 0 || length >= MAX_PATH) break;
        FILE* existing = fopen(out, "rb");
        if (!existing) return i;
        fclose(existing);
    }
    out[0] = '\0';
    return -1;
}
