#include "capture/sample_store.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/app_state.h"

SampleStore store;
long long storeWindowBytes = 64LL * 1024 * 1024;
long long storeViewsMapped = 0;

namespace {
char storeFolder[MAX_PATH] = "";  // the full path of the folder of "tmp.map", for its disk's free space
char storePath[MAX_PATH] = "";    // "tmp.map" in it, or empty when the name does not fit
bool fileGivenUp = false;         // the store left its file for the paging file (its disk was full)
long long startupBytes = 0;       // the size the store was made at start-up
}

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

long long allocationGranularity() {
    static const long long granularity = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<long long>(info.dwAllocationGranularity ? info.dwAllocationGranularity : 65536);
    }();
    return granularity;
}

void unmapWindow() {
    if (store.window) UnmapViewOfFile(store.window);
    store.window = nullptr;
    store.windowOffset = 0;
    store.windowBytes = 0;
}

// A view of `length` bytes of `mapping` from `offset` (a multiple of the granularity).
BYTE* mapView(HANDLE mapping, long long offset, long long length) {
    return static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, static_cast<DWORD>(offset >> 32),
                                            static_cast<DWORD>(offset & 0xFFFFFFFF), static_cast<SIZE_T>(length)));
}

// The bytes of store that can be had: what the file's disk has free beside what the file
// holds, or what the paging file has left; the most there is when it cannot be told.
// Windows refuses a mapping it has no room for; elsewhere a file may be mapped far past
// its disk and fault later, so the room is asked for first.
long long roomOf(HANDLE file) {
    unsigned long long room;
    if (file && file != INVALID_HANDLE_VALUE) {
        ULARGE_INTEGER available;
        LARGE_INTEGER held = {};
        if (!GetDiskFreeSpaceExA(storeFolder[0] ? storeFolder : nullptr, &available, nullptr, nullptr)) return LLONG_MAX;
        GetFileSizeEx(file, &held);
        room = available.QuadPart + static_cast<unsigned long long>(held.QuadPart);
    } else {
        MEMORYSTATUSEX memory = {};
        memory.dwLength = sizeof memory;
        if (!GlobalMemoryStatusEx(&memory)) return LLONG_MAX;
        room = memory.ullAvailPageFile;
    }
    return room > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(room);
}

bool roomFor(HANDLE file, long long size) { return size <= roomOf(file); }

// Makes a mapping of `size` bytes of `file` (the paging file for an invalid handle) the
// store, its first window mapped. False, with nothing mapped, when there is no room for
// it or the mapping or the window fails.
bool mapOnto(HANDLE file, long long size) {
    store.storeMapping = nullptr;
    store.capacity = 0;
    if (!roomFor(file, size)) return false;
    store.storeMapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                            static_cast<DWORD>(size & 0xFFFFFFFF), nullptr);
    store.capacity = store.storeMapping ? size : 0;
    store.preparedBytes = 0;
    if (store.storeMapping && storeBytes(0, size < storeWindowBytes ? size : storeWindowBytes)) return true;
    // An unusable store holds nothing: no sample is ever written into it.
    if (store.storeMapping) CloseHandle(store.storeMapping);
    store.storeMapping = nullptr;
    store.capacity = 0;
    return false;
}

void giveUpFile() {
    CloseHandle(store.storeFile);  // it deletes itself
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    fileGivenUp = true;
}

// Maps the store in "tmp.map", or in the paging file where there is none. A file that
// cannot be mapped at that size (Windows grows it on a full disk only to fail) is given
// up for the paging file, as a full disk during a capture gives it up.
void mapStore(long long size) {
    if (mapOnto(store.storeFile, size) || !storeFileOpen()) return;
    giveUpFile();
    mapOnto(INVALID_HANDLE_VALUE, size);
}

HANDLE createStoreFile() {
    if (!storePath[0]) return INVALID_HANDLE_VALUE;
    return CreateFileA(storePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, kStoreFileFlags, nullptr);
}

void unmapStore() {
    unmapWindow();
    if (store.storeMapping) CloseHandle(store.storeMapping);
    store.storeMapping = nullptr;
    store.capacity = 0;
    store.preparedBytes = 0;
}

}  // namespace

BYTE* storeBytes(long long offset, long long length) {
    if (!store.storeMapping || offset < 0 || length < 0 || offset > store.capacity - length) return nullptr;
    if (store.window && offset >= store.windowOffset &&
        offset + length <= store.windowOffset + store.windowBytes) {
        return store.window + (offset - store.windowOffset);
    }
    unmapWindow();
    const long long granularity = allocationGranularity();
    const long long start = offset / granularity * granularity;
    long long size = offset + length - start;
    if (size < storeWindowBytes) size = storeWindowBytes;
    if (size > store.capacity - start) size = store.capacity - start;
    if (size <= 0 || static_cast<unsigned long long>(size) > static_cast<SIZE_T>(-1)) return nullptr;
    store.window = mapView(store.storeMapping, start, size);
    if (!store.window) return nullptr;
    ++storeViewsMapped;
    store.windowOffset = start;
    store.windowBytes = size;
    return store.window + (offset - start);
}

// The store leaves a file that has no room and goes on in the paging file, keeping every
// sample written so far (all of them lie below the reserved mark), a window at a time.
bool moveStoreToPagingFile() {
    if (!storeFileOpen() || !store.storeMapping) return false;
    const long long size = store.capacity;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                        static_cast<DWORD>(size & 0xFFFFFFFF), nullptr);
    if (!mapping) return false;
    const long long kept = store.reservedBytes < size ? store.reservedBytes : size;
    const long long step = (storeWindowBytes + allocationGranularity() - 1) / allocationGranularity() *
                           allocationGranularity();
    for (long long at = 0; at < kept; at += step) {
        const long long length = kept - at < step ? kept - at : step;
        const BYTE* from = storeBytes(at, length);
        BYTE* to = mapView(mapping, at, length);
        if (to && from) memcpy(to, from, static_cast<size_t>(length));
        if (to) UnmapViewOfFile(to);
        if (!to || !from) {
            CloseHandle(mapping);
            return false;
        }
        // Gigabytes may be copied here: the window keeps answering, and the hot keys live.
        keepAnswering();
    }
    unmapStore();
    giveUpFile();
    store.storeMapping = mapping;
    store.capacity = size;
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
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
    fileGivenUp = false;
    startupBytes = mapSize > 0 ? mapSize : 0;
    storePath[0] = '\0';
    storeFolder[0] = '\0';
    // Held as a full path: a relative folder would otherwise mean wherever the current
    // directory is at the moment (the auto-save moves it).
    char folder[MAX_PATH];
    const DWORD length = GetFullPathNameA(tempFolder, MAX_PATH, folder, nullptr);
    if (length == 0 || length >= MAX_PATH) snprintf(folder, sizeof folder, "%s", tempFolder);
    snprintf(storeFolder, sizeof storeFolder, "%s\\", folder);
    if (buildStorePath(storePath, folder)) {
        store.storeFile = createStoreFile();
    } else {
        storePath[0] = '\0';
    }
    if (mapSize > 0) mapStore(mapSize);
}

void releaseSampleStore() {
    unmapStore();
    if (storeFileOpen()) CloseHandle(store.storeFile);
    store.storeFile = INVALID_HANDLE_VALUE;
    store.reservedBytes = 0;
}

namespace {

// A store that had to leave its file (its disk was full) goes back into a new "tmp.map"
// as soon as that disk has room for `size` bytes again.
void returnToFile(long long size) {
    HANDLE file = createStoreFile();
    if (file == INVALID_HANDLE_VALUE) return;
    if (!roomFor(file, size)) {
        CloseHandle(file);  // it deletes itself
        return;
    }
    unmapStore();
    store.storeFile = file;
    store.reservedBytes = 0;
    fileGivenUp = false;
    mapStore(size);
}

}  // namespace

bool ensureStoreCapacity(int width, int height, int sampleTotal, bool spareSample) {
    const long long bytes = sampleBytes(width, height);
    if (sampleTotal < 0 || (bytes > 0 && bytes > LLONG_MAX / (static_cast<long long>(sampleTotal) + 1))) return false;
    // One sample of room to spare, so the next capture of this size does not remap.
    const long long size = bytes * (static_cast<long long>(sampleTotal) + (spareSample ? 1 : 0));
    if (fileGivenUp) returnToFile(size > startupBytes ? size : startupBytes);
    if (store.storeMapping && bytes * sampleTotal <= store.capacity) return true;
    // A size the store's disk (or the paging file) has no room for is refused, and the
    // store stays as it was; a file is given up only when a size it has room for fails.
    if (!roomFor(store.storeFile, size)) return false;
    unmapStore();
    mapStore(size);
    return store.storeMapping != nullptr;
}

bool storeCanGrow() { return storeFileOpen(); }

bool growStore(long long size) {
    if (size <= store.capacity && store.storeMapping) return true;
    if (!storeFileOpen() || !store.storeMapping || !roomFor(store.storeFile, size)) return false;
    // The file keeps every sample written so far; only the mapping over it is larger. The
    // old mapping goes only once the new one and a view of it exist: a recording's samples
    // are never left without a store.
    HANDLE grown = CreateFileMappingA(store.storeFile, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                      static_cast<DWORD>(size & 0xFFFFFFFF), nullptr);
    if (!grown) return false;
    const long long first = size < storeWindowBytes ? size : storeWindowBytes;
    BYTE* view = mapView(grown, 0, first);
    if (!view) {
        CloseHandle(grown);
        return false;
    }
    unmapWindow();
    CloseHandle(store.storeMapping);
    store.storeMapping = grown;
    store.capacity = size;
    store.window = view;
    store.windowOffset = 0;
    store.windowBytes = first;
    return true;
}

void shrinkStoreToStartupSize() {
    if (!store.storeMapping || startupBytes <= 0 || store.capacity <= startupBytes) return;
    unmapStore();
    if (storeFileOpen()) {
        LARGE_INTEGER end;
        end.QuadPart = startupBytes;
        if (SetFilePointerEx(store.storeFile, end, nullptr, FILE_BEGIN)) SetEndOfFile(store.storeFile);
        if (store.reservedBytes > startupBytes) store.reservedBytes = startupBytes;
    }
    mapStore(startupBytes);
}

long long storeRoom() { return roomOf(store.storeFile); }

const char* storeFolderPath() { return storeFileOpen() ? storeFolder : nullptr; }

bool nextSampleSpan(int k, int width, int height, long long capacity, long long prepared, long long* from,
                    long long* to) {
    if (k < 2 || width <= 0 || height <= 0) return false;
    const long long bytes = sampleBytes(width, height);
    const long long begin = bytes * (k - 1);
    const long long end = begin + bytes;
    if (end > capacity) return false;
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
    if (!store.storeMapping) return false;
    long long from = 0;
    long long to = 0;
    if (!nextSampleSpan(k, width, height, store.capacity, store.preparedBytes, &from, &to)) return false;
    const long long spanEnd = to;
    if (!reserveStoreBytes(to, pageBudget * pageSize) && !moveStoreToPagingFile()) return false;
    if (storeFileOpen() && store.reservedBytes < to) to = store.reservedBytes;
    if (to <= from) return true;
    // The window that will take the whole sample, so the copy does not move it again.
    BYTE* span = storeBytes(from, spanEnd - from);
    if (!span) return false;
    // A write fault per page: read each byte back into its place. Windows start on
    // granularity boundaries, so page boundaries in the store are page boundaries here.
    volatile BYTE* view = span;
    long long at = from;
    for (int page = 0; page < pageBudget && at < to; ++page) {
        view[at - from] = view[at - from];
        at = (at / pageSize + 1) * pageSize;
    }
    store.preparedBytes = at < to ? at : to;
    return store.preparedBytes < spanEnd;
}
