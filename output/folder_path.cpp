#include "output/folder_path.h"

#include <windows.h>
#include <direct.h>
#include <mbctype.h>
#include <cstring>

int pathRootLength(const char* path) {
    if (!path) return 0;
    const bool driveLetter = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (driveLetter && path[1] == ':' && path[2] == '\\') return 3;
    if (path[0] == '\\' && path[1] == '\\') {
        // \\server\share\ : the server and the share cannot be created, only entered.
        const char* server = path + 2;
        const char* afterServer = strchr(server, '\\');
        if (!afterServer || afterServer == server) return 0;
        const char* share = afterServer + 1;
        const char* afterShare = strchr(share, '\\');
        if (!afterShare || afterShare == share) return 0;
        return static_cast<int>(afterShare - path) + 1;
    }
    return 0;
}

bool makeFolderPath(const char* folder) {
    const int rootLength = pathRootLength(folder);
    if (rootLength == 0) return false;
    char component[MAX_PATH];
    if (rootLength >= MAX_PATH) return false;
    memcpy(component, folder, static_cast<size_t>(rootLength));
    component[rootLength] = '\0';
    SetCurrentDirectoryA(component);

    const char* p = folder + rootLength;
    for (;;) {
        Sleep(0);
        int length = 0;
        while (*p) {
            const unsigned char byte = static_cast<unsigned char>(*p);
            // A 0x5C that follows a lead byte is the second half of a character.
            const bool separator =
                byte == '\\' && !(length > 0 && _ismbblead(static_cast<unsigned char>(component[length - 1])) &&
                                  _ismbbtrail(byte));
            if (separator) break;
            if (length < MAX_PATH - 1) component[length++] = static_cast<char>(byte);
            ++p;
        }
        component[length] = '\0';
        if (length > 0 && !SetCurrentDirectoryA(component)) {
            _mkdir(component);
            SetCurrentDirectoryA(component);
        }
        if (*p == '\0') break;
        ++p;
    }
    return true;
}

bool outputFolderFits(const char* folder, int limit) {
    return pathRootLength(folder) > 0 && static_cast<int>(strlen(folder)) + 30 <= limit;
}
