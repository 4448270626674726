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

// Only a name the file system says is not there is free: one it cannot look at (no
// access, a bad name) counts as taken.
bool nameIsFree(const char* name) {
    if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

int claimFreeSerialName(char* out, const char* folder, const char* prefix, const char* extension,
                        const char* alsoTaken) {
    char other[MAX_PATH];
    for (int i = 0; i <= 9999; ++i) {
        if (!serialName(out, folder, prefix, i, extension)) break;
        if (!nameIsFree(out)) continue;
        if (alsoTaken && (!serialName(other, folder, prefix, i, alsoTaken) || !nameIsFree(other))) continue;
        HANDLE file = CreateFileA(out, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return i;
        }
        // Taken since the look: the next number. A folder that takes no new file fails
        // the same way for every number: the name is given unclaimed, and writing it
        // then fails and says so.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return i;
    }
    out[0] = '\0';
    return -1;
}
