#include "encode/gif_encoder.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>

#include <windows.h>

namespace {

const int kMaxDelay = 65535;   // hundredths: the delay field is 16 bits
const int kShortestDelay = 2;  // viewers slow down anything shorter
const int kLzwSlots = 1 << 14;
const size_t kLzwCheckGap = 256;  // symbols between checks of a full table's compression

struct Rect {
    int left, top, width, height;
};

void put8(std::vector<uint8_t>& out, unsigned int value) { out.push_back(static_cast<uint8_t>(value)); }
void put16(std::vector<uint8_t>& out, unsigned int value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// The hundredth a point on the clip's clock (0.1 ms) falls in, rounded: differences of
// these carry each frame's remainder into the next.
long long hundredths(long long ticks) { return (ticks + 50) / 100; }

// The table-size field n of a table of 2^(n+1) entries holding `entries` (1 to 256).
int tableBits(int entries) {
    int n = 0;
    while ((2 << n) < entries) ++n;
    return n;
}

void putTable(std::vector<uint8_t>& out, const GifPalette& palette, int bits) {
    out.insert(out.end(), palette.rgb, palette.rgb + palette.count * 3);
    out.insert(out.end(), static_cast<size_t>((2 << bits) - palette.count) * 3, 0);
}

// What one thread keeps between the frames it encodes.
struct FrameScratch {
    GifPalette global;  // the file's table, once the first frame has made it
    NearestColour globalNearest;
    bool hasGlobal = false;
    GifPalette local;
    NearestColour localNearest;
    ColourHistogram histogram;
    std::vector<uint8_t> target, indices, unchanged, opaque, transparent;
    std::vector<int32_t> carried;  // the error diffused into two rows
    std::vector<int32_t> lzwKeys;
    std::vector<uint16_t> lzwCodes;
    GifQuality quality;
    // With a lossy bound: the table being packed, its entries in the order of their green
    // (and those greens), and the indices of the pixels as mapped, without transparency.
    const GifPalette* lossyTable = nullptr;
    uint8_t byGreen[256] = {}, greens[256] = {};
    std::vector<uint8_t> opaqueIndices;
};

// One frame: handed to the threads in the samples' order, put into the file in that order.
struct FrameJob {
    std::shared_ptr<std::vector<uint8_t>> sample, previous;  // previous is null for the first
    int delay = 0;    // hundredths
    int samples = 0;  // the samples the file shows once this frame is in
    // Filled by the thread that encodes it.
    bool done = false, failed = false;
    bool unchanged = false;  // the sample is the one before: `bytes` is a 1-pixel frame to carry the time
    std::vector<uint8_t> bytes;  // the frame (after the header, for the first)
    size_t delayAt = 0;          // where its delay is in `bytes`
};

}  // namespace

struct GifWorkers {
    int width = 0, height = 0;
    GifQuality quality;
    size_t limit = 0;  // frames handed over and not yet put into the file, at most
    std::mutex mutex;
    std::condition_variable work, finished;
    std::deque<std::shared_ptr<FrameJob>> queue;  // in order, until put into the file
    size_t nextToTake = 0;                        // in `queue`: the first no thread has taken
    bool stopping = false;
    bool hasGlobal = false, globalLost = false;
    GifPalette global;
    std::vector<std::thread> threads;

    ~GifWorkers() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        work.notify_all();
        for (std::thread& thread : threads) thread.join();
    }
};

namespace {

// The slot of `key` in the LZW table's open addressing, or the empty slot where it would go.
uint32_t lzwSlot(const std::vector<int32_t>& keys, int32_t key) {
    uint32_t slot = (static_cast<uint32_t>(key) * 2654435761u) >> 18;
    while (keys[slot] != -1 && keys[slot] != key) slot = (slot + 1) & (kLzwSlots - 1);
    return slot;
}

// The table's entries in the order of their green, for finding those near a colour.
void prepareLossy(FrameScratch& gif, const GifPalette& table) {
    gif.lossyTable = &table;
    std::pair<uint8_t, uint8_t> entries[256];
    for (int i = 0; i < table.count; ++i) entries[i] = {table.rgb[i * 3 + 1], static_cast<uint8_t>(i)};
    std::sort(entries, entries + table.count);
    for (int i = 0; i < table.count; ++i) {
        gif.greens[i] = entries[i].first;
        gif.byGreen[i] = entries[i].second;
    }
}

// The image data: the minimum code size, then LZW codes (least significant bit first,
// widths growing from minCodeSize + 1 to 12, a clear code once a full table compresses
// worse than it did) in
// sub-blocks of up to 255 bytes, then the empty block.
void putLzw(std::vector<uint8_t>& out, uint8_t* indices, size_t count, int minCodeSize, FrameScratch& gif,
            bool lossy = false, int transparentIndex = -1) {
    std::vector<int32_t>& keys = gif.lzwKeys;
    std::vector<uint16_t>& codes = gif.lzwCodes;
    keys.assign(kLzwSlots, -1);
    codes.resize(kLzwSlots);
    const int clear = 1 << minCodeSize, end = clear + 1;
    int next = end + 1, width = minCodeSize + 1;
    uint32_t bits = 0;
    int bitCount = 0;
    size_t blockAt = 0;
    // Symbols taken and bits written since the last clear code, checked every so often.
    size_t clearedAt = 0, checkAt = 0;
    double outBits = 0, lastRatio = 0;
    put8(out, static_cast<unsigned int>(minCodeSize));
    auto emit = [&](int code) {
        bits |= static_cast<uint32_t>(code) << bitCount;
        bitCount += width;
        while (bitCount >= 8) {
            if (blockAt == 0 || out.size() - blockAt == 256) {
                blockAt = out.size();
                out.push_back(0);
            }
            out.push_back(static_cast<uint8_t>(bits));
            ++out[blockAt];
            bits >>= 8;
            bitCount -= 8;
        }
    };
    emit(clear);
    int prefix = indices[0];
    for (size_t i = 1; i < count; ++i) {
        int32_t key = prefix << 8 | indices[i];
        uint32_t slot = lzwSlot(keys, key);
        if (keys[slot] == key) {
            prefix = codes[slot];
            continue;
        }
        if (lossy) {
            // The string goes on with an entry whose channels differ from the sample's pixel
            // by at most the bound, the nearest such; for a pixel the sample before had, with
            // its own entry or the transparent one first (what the exact packing shows).
            const int own = gif.opaqueIndices[i];
            const bool unchanged = !gif.unchanged.empty() && gif.unchanged[i];
            int found = -1, foundDistance = INT_MAX;
            auto tryIndex = [&](int candidate, int distance) {
                if (distance >= foundDistance || candidate < 0 || candidate == indices[i]) return;
                if (candidate == transparentIndex && !unchanged) return;
                const int32_t k = prefix << 8 | candidate;
                const uint32_t at = lzwSlot(keys, k);
                if (keys[at] != k) return;
                found = static_cast<int>(at);
                foundDistance = distance;
            };
            if (unchanged) {
                tryIndex(own, -1);
                tryIndex(transparentIndex, -1);
            }
            const GifPalette& table = *gif.lossyTable;
            const uint8_t* pixel = gif.target.data() + i * 3;  // blue, green, red
            const int bound = gif.quality.lossy;
            const int r = pixel[2], g = pixel[1], b = pixel[0];
            const uint8_t* lowest = std::lower_bound(gif.greens, gif.greens + table.count, g - bound);
            for (int k = static_cast<int>(lowest - gif.greens); k < table.count && gif.greens[k] <= g + bound; ++k) {
                const uint8_t* entry = table.rgb + gif.byGreen[k] * 3;
                const int dr = entry[0] - r, dg = entry[1] - g, db = entry[2] - b;
                if (std::abs(dr) > bound || std::abs(db) > bound) continue;
                tryIndex(gif.byGreen[k], dr * dr + dg * dg + db * db);
            }
            if (found >= 0) {
                indices[i] = static_cast<uint8_t>(keys[found] & 0xff);
                prefix = codes[found];
                continue;
            }
        }
        emit(prefix);
        outBits += width;
        if (next < 4096) {
            keys[slot] = key;
            codes[slot] = static_cast<uint16_t>(next++);
            // The reader widens its codes one code later than the table grows.
            if (next > (1 << width) && width < 12) ++width;
        } else if (i >= checkAt) {
            // A full table is kept while it compresses as well as it did; once it
            // does worse, a fresh one adapts to what the image has become.
            const double ratio = static_cast<double>(i - clearedAt) / outBits;
            checkAt = i + kLzwCheckGap;
            if (ratio < lastRatio) {
                emit(clear);
                keys.assign(kLzwSlots, -1);
                next = end + 1;
                width = minCodeSize + 1;
                clearedAt = i;
                outBits = 0;
                lastRatio = 0;
            } else {
                lastRatio = ratio;
            }
        }
        prefix = indices[i];
    }
    emit(prefix);
    // The reader adds an entry for this last code too (unless it is the first since a
    // clear code), and widens its codes before it reads the end code when that fills the
    // table to a power of two.
    if (next > end + 1 && next == (1 << width) && width < 12) ++width;
    emit(end);
    if (bitCount > 0) {
        width = 8 - bitCount;  // pads the last byte
        emit(0);
    }
    put8(out, 0);
}

// The smallest rectangle holding every pixel where `now` differs from `before`; width 0
// when none does.
Rect changedRect(const uint8_t* now, int stride, const uint8_t* before, int width, int height) {
    const size_t row = static_cast<size_t>(width) * 3;
    auto nowRow = [&](int y) { return now + static_cast<size_t>(y) * static_cast<size_t>(stride); };
    int top = 0, bottom = height - 1;
    while (top < height && std::memcmp(nowRow(top), before + top * row, row) == 0) ++top;
    if (top == height) return {0, 0, 0, 0};
    while (std::memcmp(nowRow(bottom), before + bottom * row, row) == 0) --bottom;
    int left = width, right = -1;
    for (int y = top; y <= bottom; ++y) {
        const uint8_t* a = nowRow(y);
        const uint8_t* b = before + y * row;
        int x = 0;
        while (x < left && std::memcmp(a + x * 3, b + x * 3, 3) == 0) ++x;
        left = x < left ? x : left;
        int r = width - 1;
        while (r > right && std::memcmp(a + r * 3, b + r * 3, 3) == 0) --r;
        right = r > right ? r : right;
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

// Whether a pixel lies in a smooth part of the image, where a quantisation error is
// carried on: no channel differs from its left and upper neighbours by more than
// kSmoothStep (no edge, no text), yet it differs from one of its four neighbours (inside a
// flat area a mix of entries would only be noise).
const int kSmoothStep = 12;
bool smoothAt(const uint8_t* t, int x, int y, int width, int height) {
    const long row = static_cast<long>(width) * 3;
    for (int c = 0; c < 3; ++c) {
        if (x > 0 && std::abs(t[c] - t[c - 3]) > kSmoothStep) return false;
        if (y > 0 && std::abs(t[c] - t[c - row]) > kSmoothStep) return false;
    }
    const bool sameLeft = x == 0 || std::memcmp(t, t - 3, 3) == 0;
    const bool sameRight = x == width - 1 || std::memcmp(t, t + 3, 3) == 0;
    const bool sameUp = y == 0 || std::memcmp(t, t - row, 3) == 0;
    const bool sameDown = y == height - 1 || std::memcmp(t, t + row, 3) == 0;
    return !(sameLeft && sameRight && sameUp && sameDown);
}

// Sixteenths of a pixel's error carried on: three quarters keep the mix of entries finer,
// which costs fewer bytes, and smooth colour still shows no bands (measured: less carried
// shows them again, more costs bytes and a blurred view gains nothing).
const int kCarried = 12;
// Maps the width x height target to the table; returns the squared error. Where a colour
// is not in the table and the image is smooth around it (a gradient, a photograph), its
// error is carried on to the pixels right of and below it (Floyd and Steinberg's
// weights), so that a band of one entry becomes a mix whose average is the colour: what
// the eye sees. A colour the table holds takes its entry exactly and carries nothing, and
// so does a pixel at an edge or inside a flat area: flat areas, text and lines get no noise.
double mapTarget(FrameScratch& gif, NearestColour& nearest, int width, int height) {
    const uint8_t* t = gif.target.data();
    const uint8_t* rgb = nearest.palette->rgb;
    // The error carried into this row and the next, per channel (blue, green, red), in 1/256.
    gif.carried.assign(static_cast<size_t>(width + 2) * 6, 0);
    int32_t* now = gif.carried.data();
    int32_t* next = now + static_cast<size_t>(width + 2) * 3;
    double error = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, t += 3) {
            const size_t i = static_cast<size_t>(y) * width + x;
            int32_t* in = now + (x + 1) * 3;
            int index = nearestIndex(nearest, t[2], t[1], t[0]);
            const uint8_t* entry = rgb + index * 3;
            const bool exact = entry[0] == t[2] && entry[1] == t[1] && entry[2] == t[0];
            if (!exact && gif.quality.diffuse && smoothAt(t, x, y, width, height)) {
                int v[3];
                for (int c = 0; c < 3; ++c) {
                    const int shifted = t[c] + (in[c] >= 0 ? in[c] + 128 : in[c] - 128) / 256;
                    v[c] = shifted < 0 ? 0 : shifted > 255 ? 255 : shifted;
                }
                index = nearestIndex(nearest, v[2], v[1], v[0]);
                entry = rgb + index * 3;
                int32_t* below = next + (x + 1) * 3;
                for (int c = 0; c < 3; ++c) {
                    const int e = (v[c] - entry[2 - c]) * kCarried;
                    in[c + 3] += e * 7;
                    below[c - 3] += e * 3;
                    below[c] += e * 5;
                    below[c + 3] += e;
                }
            }
            gif.indices[i] = static_cast<uint8_t>(index);
            const int dr = entry[0] - t[2], dg = entry[1] - t[1], db = entry[2] - t[0];
            error += dr * dr + dg * dg + db * db;
        }
        std::swap(now, next);
        std::fill(next, next + static_cast<size_t>(width + 2) * 3, 0);
    }
    return error;
}

// The image data of the rectangle mapped to `table` (in gif.indices), pixels the sample
// before already had transparent where that is smaller: returns whether they are, leaves
// the indices written in gif.indices, the data in `data` and the table's size field in `bits`.
bool packRect(FrameScratch& gif, const GifPalette& table, const Rect& rect, bool first, std::vector<uint8_t>& data,
              int& bits) {
    // Unchanged pixels may become transparent, in the table's first free entry.
    const int transparentIndex = table.count < 256 ? table.count : -1;
    bits = tableBits(transparentIndex >= 0 ? table.count + 1 : table.count);
    const int minCodeSize = bits + 1 < 2 ? 2 : bits + 1;
    const bool lossy = gif.quality.lossy > 0;
    if (lossy) {
        prepareLossy(gif, table);
        gif.opaqueIndices = gif.indices;
    }
    std::vector<uint8_t> withHoles(gif.indices);
    gif.opaque.clear();
    putLzw(gif.opaque, gif.indices.data(), gif.indices.size(), minCodeSize, gif, lossy, -1);
    bool useTransparency = false;
    if (!first && transparentIndex >= 0) {
        for (size_t i = 0; i < withHoles.size(); ++i) {
            if (gif.unchanged[i]) withHoles[i] = static_cast<uint8_t>(transparentIndex);
        }
        gif.transparent.clear();
        putLzw(gif.transparent, withHoles.data(), withHoles.size(), minCodeSize, gif, lossy, transparentIndex);
        useTransparency = gif.transparent.size() < gif.opaque.size();
        if (useTransparency) gif.indices.swap(withHoles);
    }
    data.swap(useTransparency ? gif.transparent : gif.opaque);
    return useTransparency;
}

void writeHeader(std::vector<uint8_t>& out, int width, int height, const GifPalette& global, int globalBits) {
    out.insert(out.end(), {'G', 'I', 'F', '8', '9', 'a'});
    put16(out, static_cast<unsigned int>(width));   // logical screen width
    put16(out, static_cast<unsigned int>(height));  // logical screen height
    put8(out, 0x80u | 7u << 4 | static_cast<unsigned int>(globalBits));  // global table, 8-bit colour
    put8(out, 0);                                                        // background colour index
    put8(out, 0);                                                        // no aspect ratio
    putTable(out, global, globalBits);
    // The application extension that makes viewers loop the animation for ever.
    out.insert(out.end(), {0x21, 0xff, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'});
    put8(out, 3);   // sub-block size
    put8(out, 1);   // loop sub-block
    put16(out, 0);  // loop count 0: for ever
    put8(out, 0);   // block terminator
}

// Encodes one frame: the sample's rectangle that differs from the sample before (the whole
// sample for the first, which also makes the file's table and writes the header).
void encodeFrame(FrameScratch& gif, FrameJob& job, int width, int height) {
    const bool first = !job.previous;
    const uint8_t* pixels = job.sample->data();
    const uint8_t* before = first ? nullptr : job.previous->data();
    const size_t row = static_cast<size_t>(width) * 3;
    Rect rect = {0, 0, width, height};
    if (!first) {
        rect = changedRect(pixels, static_cast<int>(row), before, width, height);
        if (rect.width == 0) {
            job.unchanged = true;  // the frame before lasts longer, or else this pixel carries the time on
            rect = {0, 0, 1, 1};
        }
    }
    const size_t pixelCount = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
    gif.target.resize(pixelCount * 3);
    gif.indices.resize(pixelCount);
    gif.unchanged.resize(first ? 0 : pixelCount);
    for (int y = 0; y < rect.height; ++y) {
        const size_t at = (rect.top + y) * row + static_cast<size_t>(rect.left) * 3;
        uint8_t* t = gif.target.data() + static_cast<size_t>(y) * rect.width * 3;
        std::memcpy(t, pixels + at, static_cast<size_t>(rect.width) * 3);
        if (first) continue;
        for (int x = 0; x < rect.width; ++x) {
            gif.unchanged[static_cast<size_t>(y) * rect.width + x] = std::memcmp(t + x * 3, before + at + x * 3, 3) == 0;
        }
    }

    // The table: the global one when it holds the rectangle's colours exactly (or, for a
    // few colours, a small table of their own when that is smaller), else the rectangle's
    // own colours, else the better of the global and a quantised local table.
    const GifPalette* table = &gif.global;
    NearestColour* nearest = &gif.globalNearest;
    const uint8_t* t = gif.target.data();
    bool fewInGlobal = false;  // the rectangle's exact colours, all in the global table
    const int colours = gif.quality.colours;
    if (exactPalette(t, rect.width * 3, rect.width, rect.height, colours, gif.local)) {
        if (first) {
            gif.global = gif.local;
            prepareNearest(gif.globalNearest, gif.global);
            mapTarget(gif, gif.globalNearest, rect.width, rect.height);
        } else {
            bool inGlobal = true;
            for (int i = 0; i < gif.local.count && inGlobal; ++i) {
                const uint8_t* c = gif.local.rgb + i * 3;
                const int g = nearestIndex(gif.globalNearest, c[0], c[1], c[2]);
                inGlobal = std::memcmp(gif.global.rgb + g * 3, c, 3) == 0;
            }
            fewInGlobal = inGlobal && tableBits(gif.local.count + 1) < 7;
            if (!inGlobal) {
                table = &gif.local;
                nearest = &gif.localNearest;
                prepareNearest(gif.localNearest, gif.local);
            }
            mapTarget(gif, *nearest, rect.width, rect.height);
        }
    } else if (first) {
        // One entry stays free for the transparency later frames use.
        quantisePalette(gif.histogram, t, rect.width * 3, rect.width, rect.height, colours - 1, gif.global);
        prepareNearest(gif.globalNearest, gif.global);
        mapTarget(gif, gif.globalNearest, rect.width, rect.height);
    } else {
        const double globalError = mapTarget(gif, gif.globalNearest, rect.width, rect.height);
        quantisePalette(gif.histogram, t, rect.width * 3, rect.width, rect.height, colours - 1, gif.local);
        prepareNearest(gif.localNearest, gif.local);
        std::vector<uint8_t> globalIndices;
        globalIndices.swap(gif.indices);
        gif.indices.resize(pixelCount);
        if (mapTarget(gif, gif.localNearest, rect.width, rect.height) < globalError) {
            table = &gif.local;
            nearest = &gif.localNearest;
        } else {
            gif.indices.swap(globalIndices);
        }
    }
    std::vector<uint8_t>& out = job.bytes;
    out.clear();
    if (first) {
        gif.hasGlobal = true;
        writeHeader(out, width, height, gif.global, tableBits(gif.global.count < 256 ? gif.global.count + 1 : 256));
    }

    std::vector<uint8_t> data;
    int bits = 0;
    bool useTransparency = packRect(gif, *table, rect, first, data, bits);
    if (fewInGlobal) {
        // A few colours may cost less as a small table of their own with shorter codes.
        std::vector<uint8_t> localData;
        int localBits = 0;
        prepareNearest(gif.localNearest, gif.local);
        mapTarget(gif, gif.localNearest, rect.width, rect.height);
        const bool localTransparency = packRect(gif, gif.local, rect, first, localData, localBits);
        if (localData.size() + (static_cast<size_t>(3) << (localBits + 1)) < data.size()) {
            table = &gif.local;
            data.swap(localData);
            bits = localBits;
            useTransparency = localTransparency;
        }
    }
    const int transparentIndex = table->count;

    out.insert(out.end(), {0x21, 0xf9, 4});  // graphic control extension, 4 bytes
    put8(out, 1u << 2 | (useTransparency ? 1u : 0u));  // disposal 1: left in place for the next frame
    job.delayAt = out.size();
    put16(out, static_cast<unsigned int>(job.delay));
    put8(out, useTransparency ? static_cast<unsigned int>(transparentIndex) : 0u);
    put8(out, 0);  // block terminator
    put8(out, 0x2c);  // image descriptor
    put16(out, static_cast<unsigned int>(rect.left));
    put16(out, static_cast<unsigned int>(rect.top));
    put16(out, static_cast<unsigned int>(rect.width));
    put16(out, static_cast<unsigned int>(rect.height));
    const bool localTable = table == &gif.local;
    put8(out, localTable ? 0x80u | static_cast<unsigned int>(bits) : 0u);
    if (localTable) putTable(out, gif.local, bits);
    out.insert(out.end(), data.begin(), data.end());
}

// A thread's loop: the oldest frame no thread has taken, once the file's table exists
// (the first frame makes it, and is always taken first).
void encodeFrames(GifWorkers* workers) {
    // Below the sampling thread: a sample taken late is lost, a frame encoded late is not.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    FrameScratch scratch;
    scratch.quality = workers->quality;
    std::unique_lock<std::mutex> lock(workers->mutex);
    for (;;) {
        workers->work.wait(lock, [&] { return workers->stopping || workers->nextToTake < workers->queue.size(); });
        if (workers->stopping) return;  // the file is finished or given up: what is left is not wanted
        std::shared_ptr<FrameJob> job = workers->queue[workers->nextToTake++];
        const bool first = !job->previous;
        if (!first) {
            workers->work.wait(lock, [&] { return workers->hasGlobal || workers->globalLost || workers->stopping; });
            if (workers->stopping) return;
            if (!scratch.hasGlobal && workers->hasGlobal) {
                scratch.global = workers->global;
                prepareNearest(scratch.globalNearest, scratch.global);
                scratch.hasGlobal = true;
            }
        }
        lock.unlock();
        bool failed = !first && !scratch.hasGlobal;
        if (!failed) {
            try {
                encodeFrame(scratch, *job, workers->width, workers->height);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
        }
        lock.lock();
        job->done = true;
        job->failed = failed;
        if (first) {
            workers->hasGlobal = !failed;
            workers->globalLost = failed;
            if (!failed) workers->global = scratch.global;
            workers->work.notify_all();
        }
        workers->finished.notify_all();
    }
}

// Puts a finished frame into the file: its bytes, or for a sample that changed nothing the
// frame before made longer.
void putFrame(GifEncoder& gif, FrameJob& job) {
    if (gif.failed) return;
    if (job.failed) {
        gif.failed = true;
        return;
    }
    if (job.unchanged && gif.lastDelayAt != 0) {
        const int lengthened = (gif.bytes[gif.lastDelayAt] | gif.bytes[gif.lastDelayAt + 1] << 8) + job.delay;
        if (lengthened <= kMaxDelay) {
            gif.bytes[gif.lastDelayAt] = static_cast<uint8_t>(lengthened);
            gif.bytes[gif.lastDelayAt + 1] = static_cast<uint8_t>(lengthened >> 8);
            gif.samplesWritten = job.samples;
            if (!gif.frameEnds.empty()) gif.frameEnds.back().samples = job.samples;
            return;
        }
    }
    const size_t before = gif.bytes.size();
    gif.bytes.insert(gif.bytes.end(), job.bytes.begin(), job.bytes.end());
    gif.lastDelayAt = before + job.delayAt;
    gif.samplesWritten = job.samples;
    gif.frameEnds.push_back({gif.bytes.size(), gif.samplesWritten});
}

// Puts the finished frames at the head of the queue into the file; with `all`, waits for
// every frame handed over first.
void collectFrames(GifEncoder& gif, bool all) {
    GifWorkers* workers = gif.workers.get();
    if (!workers) return;
    for (;;) {
        std::shared_ptr<FrameJob> job;
        {
            std::unique_lock<std::mutex> lock(workers->mutex);
            if (all) {
                workers->finished.wait(lock, [&] { return workers->queue.empty() || workers->queue.front()->done; });
            }
            if (workers->queue.empty() || !workers->queue.front()->done) return;
            job = workers->queue.front();
            workers->queue.pop_front();
            --workers->nextToTake;
        }
        putFrame(gif, *job);
    }
}

// Hands the pending sample to the threads as a frame of its own; false, nothing done,
// when the queue is full and `wait` is not set.
bool queuePending(GifEncoder& gif, bool wait) {
    GifWorkers* workers = gif.workers.get();
    for (;;) {
        collectFrames(gif, false);
        std::unique_lock<std::mutex> lock(workers->mutex);
        if (workers->queue.size() < workers->limit) break;
        if (!wait) return false;
        workers->finished.wait(lock, [&] { return workers->queue.front()->done; });
    }
    std::shared_ptr<FrameJob> job = std::make_shared<FrameJob>();
    const long long delay = hundredths(gif.pendingEnd) - hundredths(gif.pendingStart);
    job->delay = static_cast<int>(delay < kMaxDelay ? delay : kMaxDelay);
    job->sample = gif.pending;
    job->previous = gif.previous;
    gif.samplesQueued += gif.samplesPending;
    job->samples = gif.samplesQueued;
    {
        std::lock_guard<std::mutex> lock(workers->mutex);
        workers->queue.push_back(job);
    }
    workers->work.notify_one();
    gif.previous = gif.pending;
    gif.pending = std::make_shared<std::vector<uint8_t>>(gif.previous->size());
    gif.hasPending = false;
    gif.samplesPending = 0;
    return true;
}

bool addFrame(GifEncoder& gif, const uint8_t* bgr, int stride, int durationTicks, bool wait) {
    if (gif.failed) throw std::bad_alloc();
    const bool merge = gif.hasPending && hundredths(gif.pendingEnd) - hundredths(gif.pendingStart) < kShortestDelay;
    if (gif.hasPending && !merge && !queuePending(gif, wait)) return false;
    if (!merge) gif.pendingStart = gif.pendingEnd;
    gif.pendingEnd += durationTicks;
    const size_t row = static_cast<size_t>(gif.width) * 3;
    for (int y = 0; y < gif.height; ++y) {
        std::memcpy(gif.pending->data() + y * row, bgr + static_cast<size_t>(y) * static_cast<size_t>(stride), row);
    }
    gif.hasPending = true;
    ++gif.samplesPending;
    return true;
}

}  // namespace

int gifDefaultThreads() {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const int most = sizeof(void*) == 4 ? 4 : 8;
    return cores < 1 ? 1 : cores > most ? most : cores;
}

void gifBegin(GifEncoder& gif, int width, int height, int threads, GifQuality quality) {
    gif.workers.reset();  // ends the threads of an earlier file
    gif.width = width;
    gif.height = height;
    gif.bytes.clear();
    const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    gif.pending = std::make_shared<std::vector<uint8_t>>(size);
    gif.previous.reset();
    gif.hasPending = false;
    gif.pendingStart = gif.pendingEnd = 0;
    gif.lastDelayAt = 0;
    gif.frameEnds.clear();
    gif.samplesPending = gif.samplesQueued = gif.samplesWritten = 0;
    gif.failed = false;
    gif.finished = false;
    std::shared_ptr<GifWorkers> workers = std::make_shared<GifWorkers>();
    workers->width = width;
    workers->height = height;
    quality.lossy = quality.lossy < 0 ? 0 : quality.lossy;
    quality.colours = quality.colours < 4 ? 4 : quality.colours > 256 ? 256 : quality.colours;
    workers->quality = quality;
    const int count = threads > 0 ? threads : gifDefaultThreads();
    // Two frames queued for each thread keep them busy while the file is put together.
    workers->limit = static_cast<size_t>(count) * 2 + 1;
    for (int i = 0; i < count; ++i) workers->threads.emplace_back(encodeFrames, workers.get());
    gif.workers = workers;
}

void gifAddFrame(GifEncoder& gif, const uint8_t* bgr, int stride, int durationTicks) {
    addFrame(gif, bgr, stride, durationTicks, true);
}

bool gifTryAddFrame(GifEncoder& gif, const uint8_t* bgr, int stride, int durationTicks) {
    return addFrame(gif, bgr, stride, durationTicks, false);
}

const std::vector<uint8_t>& gifFinish(GifEncoder& gif) {
    if (gif.finished) return gif.bytes;
    collectFrames(gif, true);
    if (gif.hasPending && !gif.failed) {
        const long long delay = hundredths(gif.pendingEnd) - hundredths(gif.pendingStart);
        if (delay < kShortestDelay && gif.lastDelayAt != 0) {
            const long long lengthened = (gif.bytes[gif.lastDelayAt] | gif.bytes[gif.lastDelayAt + 1] << 8) + delay;
            if (lengthened <= kMaxDelay) {
                gif.bytes[gif.lastDelayAt] = static_cast<uint8_t>(lengthened);
                gif.bytes[gif.lastDelayAt + 1] = static_cast<uint8_t>(lengthened >> 8);
                gif.hasPending = false;
                gif.samplesWritten += gif.samplesPending;
                gif.samplesQueued = gif.samplesWritten;
                gif.samplesPending = 0;
                if (!gif.frameEnds.empty()) gif.frameEnds.back().samples = gif.samplesWritten;
            }
        }
        if (gif.hasPending && gif.workers) {
            queuePending(gif, true);
            collectFrames(gif, true);
        }
    }
    gif.workers.reset();
    gif.pending.reset();
    gif.previous.reset();
    if (gif.failed) throw std::bad_alloc();
    if (gif.lastDelayAt != 0) put8(gif.bytes, 0x3b);  // trailer
    gif.finished = true;
    return gif.bytes;
}

int gifCutToFit(GifEncoder& gif, size_t maxBytes) {
    collectFrames(gif, true);
    gif.workers.reset();
    size_t kept = gif.frameEnds.size();
    while (kept > 0 && gif.frameEnds[kept - 1].bytes >= maxBytes) --kept;  // a byte stays for the trailer
    gif.frameEnds.resize(kept);
    gif.hasPending = false;
    if (kept == 0) {
        gif.bytes.clear();
        return 0;
    }
    gif.bytes.resize(gif.frameEnds.back().bytes);
    put8(gif.bytes, 0x3b);
    gif.finished = true;
    return gif.frameEnds.back().samples;
}

long long gifOneFrameBytesBound(int width, int height) {
    const long long pixels = static_cast<long long>(width) * height;
    // Each code stands for at least one pixel; clear codes and the sub-blocks' length bytes
    // add well under a 64th.
    return 2048 + pixels * 3 / 2 + pixels / 64;
}
