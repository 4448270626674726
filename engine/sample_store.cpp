#include "engine/sample_store.h"

#include <climits>
#include <cstdio>
#include <cstring>

SampleStore store;

namespace {

const DWORD kStoreFileFlags = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN;

// A page of a mapped file gets its disk space only when it is first written, and on a
// full disk that write cannot be refused: it faults. So no page of "tmp.map" is written
// before the file has room behind it. Where the mapping itself took the room (Windows
// allocates a mapped file's clusters when the mapping sets its size) the file says so;
// where the file stays sparse the room is taken by writing zeros through the handle,
// which fails cleanly when the disk is full. Samples only ever go below the reserved
// mark, so the zeros never cover one.
const char kZeros[64 * 1024] = {};

bool storeFileOpen() { return store.storeFile && store.storeFile != INVALID_HANDLE_VALUE; }

}  // namespace

bool reserveStoreBytes(long long through, long long budget) {
    if (!storeFileOpen() || through <= store.reservedBytes) return true;
    FILE_STANDARD_INFO info;
    if (GetFileInformationByHandleEx(store.storeFile, FileStandardInfo, &info, sizeof info) &&
        info.AllocationSize.QuadPart >= through && info.EndOfFile.QuadPart >= through) {
        store.reservedBytes = through;
        return true;
    }
    LARGE_INTEGER at;
    at.QuadPart = store.reservedBytes;
    if (!SetFilePointerEx(store.storeFile, at, nullptr, FILE_BEGIN)) return false;
    while (store.reservedBytes < through && budget > 0) {
        const long long left = through - store.reservedBytes;
        const DWORD chunk = static_cast<DWORD>(left < static_cast<long long>(sizeof kZeros) ? left : sizeof kZeros);
        DWORD written = 0;
        if (!WriteFile(store.storeFile, kZeros, chunk, &written, nullptr) || written != chunk) return false;
        store.reservedBytes += chunk;
        budget -= chunk;
    }
    return true;
}

namespace {

// Maps `size` bytes of `file` (the paging file for an invalid handle) as the store.
// False, with nothing mapped, when the mapping or its view cannot be made.
bool mapOnto(HANDLE file, int size) {
    store.storeMapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr);
    store.storeView = store.storeMapping ? static_cast<BYTE*>(MapViewOfFile(store.storeMapping, FILE_MAP_ALL_ACCESS,
                                                                            0, 0, static_cast<SIZE_T>(size)))
                                         : nullptr;
    if (!store.storeView) {
        // An unusable store holds nothing: no sample is ever written into it.
        if (store.storeMapping) CloseHandle(store.storeMapping);
        store.storeMapping = nullptr;
        store.mappedSize = 0;
        return false;
    }
    store.mappedSize = size;
    store.preparedBytes = 0;
    return true;
}

// Maps the store in "tmp.map", or in the paging file where there is none. A file that
// cannot be mapped at that size (Windows grows it on a full disk only to fail) is given
// up for the paging file, as a full disk during a capture gives it up.
void mapStore(int size) {
    if (mapOnto(store.storeFile, size) || !storeFileOpen()) return;
    CloseHandle(store.storeFile);  // it deletes itself
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    mapOnto(INVALID_HANDLE_VALUE, size);
}

void unmapStore() {
    if (store.storeView) UnmapViewOfFile(store.storeView);
    if (store.storeMapping) CloseHandle(store.storeMapping);
    store.storeView = nullptr;
    store.storeMapping = nullptr;
    store.mappedSize = 0;
    store.preparedBytes = 0;
}

}  // namespace

// The store leaves a file that has no room and goes on in the paging file, keeping every
// sample written so far (all of them lie below the reserved mark).
bool moveStoreToPagingFile() {
    if (!storeFileOpen() || !store.storeView) return false;
    const int size = store.mappedSize;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                        nullptr);
    BYTE* view = mapping ? static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size)) : nullptr;
    if (!view) {
        if (mapping) CloseHandle(mapping);
        return false;
    }
    const long long kept = store.reservedBytes < size ? store.reservedBytes : size;
    memcpy(view, store.storeView, static_cast<size_t>(kept));
    unmapStore();
    CloseHandle(store.storeFile);  // it deletes itself
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    store.storeMapping = mapping;
    store.storeView = view;
    store.mappedSize = size;
    return true;
}

long long sampleBytes(int width, int height) {
    const long long pixels = static_cast<long long>(width) * height;  // fits: both are ints
    return pixels > LLONG_MAX / 3 ? LLONG_MAX : pixels * 3;
}

bool buildStorePath(char* out, const char* tempFolder) {
    const int written = snprintf(out, MAX_PATH, "%s\\%s", tempFolder, "tmp.map");
    return written > 0 && written < MAX_PATH;
}

void createSampleStore(const char* tempFolder, int mapSize) {
    char path[MAX_PATH];
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    if (buildStorePath(path, tempFolder)) {
        store.storeFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      kStoreFileFlags, nullptr);
    }
    if (mapSize > 0) mapStore(mapSize);
}

void releaseSampleStore() {
    unmapStore();
    if (storeFileOpen()) CloseHandle(store.storeFile);
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
}

bool ensureStoreCapacity(int width, int height, int sampleTotal) {
    const long long needed = sampleBytes(width, height) * sampleTotal;
    if (store.storeView && needed <= store.mappedSize) return true;
    // One sample of room to spare, so the next capture of this size does not remap.
    const long long grown = sampleBytes(width, height) * (static_cast<long long>(sampleTotal) + 1);
    if (grown > INT_MAX) return false;  // the store that exists is left as it is
    unmapStore();
    mapStore(static_cast<int>(grown));
    return store.storeView != nullptr;
}

bool nextSampleSpan(int k, int width, int height, int mappedSize, long long prepared, long long* from,
                    long long* to) {
    if (k < 2 || width <= 0 || height <= 0) return false;
    const long long bytes = sampleBytes(width, height);
    const long long begin = bytes * (k - 1);
    const long long end = begin + bytes;
    if (end > mappedSize) return false;
    *from = prepared > begin ? prepared : begin;
    *to = end;
    return *from < *to;
}

bool prepareSampleSpan(int k, int width, int height, int pageBudget) {
    static const long long pageSize = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<long long>(info.dwPageSize ? info.dwPageSize : 4096);
    }();
    if (!store.storeView) return false;
    long long from = 0;
    long long to = 0;
    if (!nextSampleSpan(k, width, height, store.mappedSize, store.preparedBytes, &from, &to)) return false;
    const long long spanEnd = to;
    if (!reserveStoreBytes(to, pageBudget * pageSize) && !moveStoreToPagingFile()) return false;
    if (storeFileOpen() && store.reservedBytes < to) to = store.reservedBytes;
    // A write fault per page: read each byte back into its place.
    volatile BYTE* view = store.storeView;
    long long at = from;
    for (int page = 0; page < pageBudget && at < to; ++page) {
        view[at] = view[at];
        at = (at / pageSize + 1) * pageSize;
    }
    store.preparedBytes = at < to ? at : to;
    return store.preparedBytes < spanEnd;
}
