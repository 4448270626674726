#include "output/folder_path.h"

#include <windows.h>
#include <direct.h>
#include <mbctype.h>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// The next path separator at or after `p`, or the terminating NUL. The scan walks
// forward a character at a time, so a 0x5C that is the second byte of a double-byte
// character is never taken for a separator, even after a character whose own second
// byte looks like a lead byte.
const char* nextSeparator(const char* p) {
    while (*p && *p != '\\') {
        if (_ismbblead(static_cast<unsigned char>(*p)) && p[1] != '\0') ++p;
        ++p;
    }
    return p;
}

}  // namespace

int pathRootLength(const char* path) {
    if (!path) return 0;
    const bool driveLetter = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (driveLetter && path[1] == ':' && path[2] == '\\') return 3;
    if (path[0] == '\\' && path[1] == '\\') {
        // \\server\share\ : the server and the share cannot be created, only entered.
        const char* server = path + 2;
        const char* afterServer = nextSeparator(server);
        if (*afterServer != '\\' || afterServer == server) return 0;
        const char* share = afterServer + 1;
        const char* afterShare = nextSeparator(share);
        if (*afterShare != '\\' || afterShare == share) return 0;
        return static_cast<int>(afterShare - path) + 1;
    }
    return 0;
}

bool makeFolderPath(const char* folder) {
    const int rootLength = pathRootLength(folder);
    if (rootLength == 0 || rootLength >= MAX_PATH) return false;
    char component[MAX_PATH];
    memcpy(component, folder, static_cast<size_t>(rootLength));
    component[rootLength] = '\0';
    // Without the root entered, the folders below would be made wherever the current
    // directory happens to be.
    if (!SetCurrentDirectoryA(component)) return false;

    const char* p = folder + rootLength;
    for (;;) {
        Sleep(0);
        const char* end = nextSeparator(p);
        const size_t length = static_cast<size_t>(end - p);
        if (length >= MAX_PATH) return false;
        memcpy(component, p, length);
        component[length] = '\0';
        if (length > 0 && !SetCurrentDirectoryA(component)) {
            _mkdir(component);
            // A level that cannot be made stops the walk, so its children are not
            // made one level too high.
            if (!SetCurrentDirectoryA(component)) return false;
        }
        if (*end == '\0') break;
        p = end + 1;
    }
    return true;
}

bool outputFolderFits(const char* folder, int limit) {
    if (!folder) return false;
    const size_t length = strlen(folder);
    if (static_cast<long long>(length) + 30 > limit) return false;
    // The folder is used with a backslash appended, so "C:" and "\\server\share" have a root.
    char joined[MAX_PATH + 1];
    if (length + 1 >= sizeof joined) return false;
    memcpy(joined, folder, length);
    joined[length] = '\\';
    joined[length + 1] = '\0';
    return pathRootLength(joined) > 0;
}

void enterOutputFolder(const char* folder) {
    char withSeparator[MAX_PATH];
    snprintf(withSeparator, sizeof withSeparator, "%s\\", folder);
    makeFolderPath(withSeparator);
    SetCurrentDirectoryA(withSeparator);
}

bool volumeRoom(const char* path, char* volume, long long* room, long long* cluster) {
    ULARGE_INTEGER available;
    if (!path || !GetVolumePathNameA(path, volume, MAX_PATH) ||
        !GetDiskFreeSpaceExA(volume, &available, nullptr, nullptr)) {
        return false;
    }
    *room = available.QuadPart > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX
                                                                          : static_cast<long long>(available.QuadPart);
    if (cluster) {
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        if (!GetDiskFreeSpaceA(volume, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return false;
        *cluster = static_cast<long long>(sectorsPerCluster) * bytesPerSector;
        if (*cluster <= 0) *cluster = 1;
    }
    return true;
}
