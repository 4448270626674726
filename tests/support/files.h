#pragma once
// Files and folders for the tests, the benchmarks and the end-to-end helper programs,
// through the same calls the program uses: one reader and one writer of a whole file,
// one removal of a folder tree, and a fresh temporary folder that removes itself.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"

// A whole file's bytes; empty when it cannot be opened.
inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return bytes;
}

// Makes `path` a file holding exactly `size` bytes from `data`; false when it cannot
// be written whole.
inline bool writeFileBytes(const std::string& path, const void* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && written;
}
inline bool writeFileBytes(const std::string& path, const std::string& bytes) {
    return writeFileBytes(path, bytes.data(), bytes.size());
}

inline bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A file's size in bytes, or -1 when there is no such file.
inline long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// `folder` with exactly one trailing backslash. A 0x5C that ends a double-byte character
// ("表" is 95 5C in Shift-JIS) is no separator.
inline std::string withSeparator(std::string folder) {
    if (folder.empty() || lastSeparatorIndex(folder.c_str()) != static_cast<int>(folder.size()) - 1) folder += '\\';
    return folder;
}

// Names in `folder` (with or without its trailing backslash), without "." and "..".
inline std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((withSeparator(folder) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Deletes `folder` (with or without its trailing backslash) and everything in it.
inline void removeTree(const std::string& folder) {
    const std::string inside = withSeparator(folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((inside + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
            const std::string path = inside + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(inside.c_str());
}

inline std::string currentDirectory() {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, folder);
    return folder;
}

// A fresh folder under the temporary folder (drive C: of the prefix), removed with
// everything in it when the object ends.
struct TempFolder {
    std::string path;  // ends with a backslash

    TempFolder() {
        static int counter = 0;
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        char name[MAX_PATH];
        // Both builds' test programs share the prefix, and their process ids repeat.
        snprintf(name, sizeof name, "%skestrin-%lu-%lu-%d\\", base, GetCurrentProcessId(), GetTickCount(), ++counter);
        path = name;
        removeTree(path);
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        SetCurrentDirectoryA(base);  // a current directory inside would keep the tree
        removeTree(path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return path + name; }
    // The folder as the settings hold their output folders: without the trailing backslash.
    std::string held() const { return path.substr(0, path.size() - 1); }
};

// A folder (without its trailing backslash) in which every serial name, ss0000.bmp ...
// ss9999.bmp and savi0000.avi ... savi9999.avi, is taken by an empty file: the one the
// suite made beforehand (tests/output/taken_names.sh), or, run alone, one made here in
// `scratch`, slowly (Wine looks for each new name through the whole folder).
inline std::string folderOfTakenNames(const TempFolder& scratch) {
    if (const char* made = getenv("KESTRIN_FULL_FOLDER")) return made;
    const std::string folder = scratch / "full";
    CreateDirectoryA(folder.c_str(), nullptr);
    char name[MAX_PATH];
    for (int i = 0; i <= 9999; ++i) {
        for (const char* pattern : {"%s\\ss%04d.bmp", "%s\\savi%04d.avi"}) {
            snprintf(name, sizeof name, pattern, folder.c_str(), i);
            CloseHandle(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        }
    }
    return folder;
}
