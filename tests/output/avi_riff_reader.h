#pragma once
// Test support: reads an AVI file's chunks straight from its bytes, without the
// AVIFile library, so the tests do not check the writer with the code that wrote it.
#include <cstdint>
#include <string>
#include <vector>

#include "support/files.h"

struct RiffChunk {
    std::string id;    // four characters; for RIFF and LIST the list type follows in `type`
    std::string type;
    size_t data = 0;   // offset of the chunk's data (after the list type for lists)
    uint32_t size = 0; // the size field as stored
};

struct AviFileBytes {
    std::vector<uint8_t> bytes;

    bool load(const std::string& path) {
        bytes = readFileBytes(path);
        return !bytes.empty();
    }

    uint32_t u32(size_t at) const {
        if (at + 4 > bytes.size()) return 0;
        return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
    }
    int32_t i32(size_t at) const { return static_cast<int32_t>(u32(at)); }
    uint16_t u16(size_t at) const { return at + 2 > bytes.size() ? 0 : bytes[at] | (bytes[at + 1] << 8); }
    std::string fourcc(size_t at) const {
        return at + 4 > bytes.size() ? std::string() : std::string(reinterpret_cast<const char*>(&bytes[at]), 4);
    }

    // The chunks directly inside [begin, end).
    std::vector<RiffChunk> children(size_t begin, size_t end) const {
        std::vector<RiffChunk> out;
        size_t at = begin;
        while (at + 8 <= end && at + 8 <= bytes.size()) {
            RiffChunk chunk;
            chunk.id = fourcc(at);
            chunk.size = u32(at + 4);
            chunk.data = at + 8;
            if (chunk.id == "RIFF" || chunk.id == "LIST") {
                chunk.type = fourcc(at + 8);
                chunk.data = at + 12;
            }
            out.push_back(chunk);
            at += 8 + chunk.size + (chunk.size & 1);
        }
        return out;
    }
    std::vector<RiffChunk> children(const RiffChunk& list) const {
        return children(list.data, list.data - 4 + list.size);
    }
    std::vector<RiffChunk> top() const { return children(0, bytes.size()); }

    // The first chunk (or list, by its type) of that name directly inside the list.
    bool find(const std::vector<RiffChunk>& within, const char* name, RiffChunk& found) const {
        for (const RiffChunk& chunk : within) {
            if (chunk.id == name || chunk.type == name) {
                found = chunk;
                return true;
            }
        }
        return false;
    }
};

// The parts of one video-stream AVI file the tests look at.
struct AviLayout {
    bool valid = false;
    uint32_t riffSize = 0;
    uint32_t totalFrames = 0;  // avih
    RiffChunk strh, strf, strn, movi, idx1;
    std::vector<RiffChunk> frames;  // the chunks inside movi, in order

    static AviLayout read(const AviFileBytes& avi) {
        AviLayout layout;
        RiffChunk riff, hdrl, avih, strl;
        const std::vector<RiffChunk> top = avi.top();
        if (!avi.find(top, "RIFF", riff) || riff.type != "AVI ") return layout;
        layout.riffSize = riff.size;
        const std::vector<RiffChunk> inRiff = avi.children(riff);
        if (!avi.find(inRiff, "hdrl", hdrl) || !avi.find(inRiff, "movi", layout.movi) ||
            !avi.find(inRiff, "idx1", layout.idx1))
            return layout;
        const std::vector<RiffChunk> inHdrl = avi.children(hdrl);
        if (!avi.find(inHdrl, "avih", avih) || !avi.find(inHdrl, "strl", strl)) return layout;
        layout.totalFrames = avi.u32(avih.data + 16);
        const std::vector<RiffChunk> inStrl = avi.children(strl);
        if (!avi.find(inStrl, "strh", layout.strh) || !avi.find(inStrl, "strf", layout.strf)) return layout;
        avi.find(inStrl, "strn", layout.strn);
        layout.frames = avi.children(layout.movi);
        layout.valid = true;
        return layout;
    }

    // AVIStreamHeader fields by offset inside strh.
    uint32_t rate(const AviFileBytes& avi) const { return avi.u32(strh.data + 24); }
    uint32_t scale(const AviFileBytes& avi) const { return avi.u32(strh.data + 20); }
    uint32_t length(const AviFileBytes& avi) const { return avi.u32(strh.data + 32); }
};
