#pragma once
// A whole file's bytes, or nothing when it cannot be opened.
#include <cstdio>
#include <string>

inline std::string readFileBytes(const char* path) {
    std::string bytes;
    FILE* file = fopen(path, "rb");
    if (!file) return bytes;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    fclose(file);
    return bytes;
}
