#include "capture/retro_ring.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/pixel_rows.h"

namespace {

// The head of one older sample's change block; its tiles and then their pixels follow.
struct RingChange {
    size_t bytes;  // the whole block, head included
    int tileCount;
};

// An older sample: its change (null where nothing changed) and its time.
struct RingOlder {
    RingChange* change;
    long long ticks;
};

// A tile of a change: its number (row-major over the ring's tiles) and where its pixels
// start, counted from the end of the change's tile list.
struct RingChangeTile {
    uint32_t index;
    uint32_t offset;
};

// A tile of one step of a walk: where the next newer sample's pixels of it lie, packed at
// the tile's width, or null for the newest image.
struct RingWalkTile {
    const uint8_t* source;
    uint32_t index;
};

struct RingRect {
    int left, top, cols, rows;
};

struct RetroRing {
    int width = 0;
    int height = 0;
    int tilesAcross = 0;
    int tilesDown = 0;
    uint8_t* newest = nullptr;        // the newest sample, rows of 3 x width bytes
    bool hasNewest = false;           // false until the first push after a start
    long long newestTicks = 0;        // the newest sample's time
    uint8_t* changedTiles = nullptr;  // a push's scratch: one flag per tile
    RingOlder* changes = nullptr;     // the older samples, oldest first
    int changeCount = 0;
    int changeCapacity = 0;
    long long changeBytes = 0;        // the changes' blocks together
    // The walk: the sample now in its frame (-1: none), its rectangle, and its steps'
    // tiles, step k's at [walkFirst[k], walkFirst[k + 1]).
    int walkSample = -1;
    RingRect walkRect = {0, 0, 0, 0};
    RingWalkTile* walkTiles = nullptr;
    size_t* walkFirst = nullptr;
};
RetroRing ring;

size_t rowBytes() { return static_cast<size_t>(ring.width) * 3; }

int tileLeft(uint32_t index) { return static_cast<int>(index % static_cast<uint32_t>(ring.tilesAcross)) * kRingTile; }
int tileTop(uint32_t index) { return static_cast<int>(index / static_cast<uint32_t>(ring.tilesAcross)) * kRingTile; }
int tileWidth(uint32_t index) { return std::min(kRingTile, ring.width - tileLeft(index)); }
int tileHeight(uint32_t index) { return std::min(kRingTile, ring.height - tileTop(index)); }

RingChangeTile* changeTiles(RingChange* change) { return reinterpret_cast<RingChangeTile*>(change + 1); }
uint8_t* changePixels(RingChange* change) {
    return reinterpret_cast<uint8_t*>(changeTiles(change) + change->tileCount);
}

void endWalk() {
    free(ring.walkTiles);
    free(ring.walkFirst);
    ring.walkTiles = nullptr;
    ring.walkFirst = nullptr;
    ring.walkSample = -1;
}

void dropOldest(int count) {
    for (int k = 0; k < count; ++k) {
        RingChange* change = ring.changes[k].change;
        if (change) ring.changeBytes -= static_cast<long long>(change->bytes);
        free(change);
    }
    ring.changeCount -= count;
    memmove(ring.changes, ring.changes + count, sizeof(RingOlder) * static_cast<size_t>(ring.changeCount));
}

// Room in the list of changes for one more; a list that cannot grow drops its oldest.
bool makeRoomForChange() {
    if (ring.changeCount < ring.changeCapacity) return true;
    const int capacity = std::max(64, ring.changeCapacity * 2);
    void* grown = realloc(ring.changes, sizeof(RingOlder) * static_cast<size_t>(capacity));
    if (grown) {
        ring.changes = static_cast<RingOlder*>(grown);
        ring.changeCapacity = capacity;
        return true;
    }
    if (ring.changeCount == 0) return false;
    dropOldest(1);
    return true;
}

// Flags the tiles where image differs from the newest, row by row; returns how many, and
// the bytes of their pixels in pixelBytes.
int markChangedTiles(const uint8_t* image, int stride, size_t* pixelBytes) {
    memset(ring.changedTiles, 0, static_cast<size_t>(ring.tilesAcross) * ring.tilesDown);
    int count = 0;
    *pixelBytes = 0;
    for (int ty = 0; ty < ring.tilesDown; ++ty) {
        uint8_t* flags = ring.changedTiles + static_cast<size_t>(ty) * ring.tilesAcross;
        const int top = ty * kRingTile;
        const int bottom = std::min(top + kRingTile, ring.height);
        int unchanged = ring.tilesAcross;
        for (int y = top; y < bottom && unchanged > 0; ++y) {
            const uint8_t* held = ring.newest + rowBytes() * y;
            const uint8_t* given = image + static_cast<ptrdiff_t>(stride) * y;
            // Most rows of an idle screen are equal: one memcmp settles them.
            if (memcmp(held, given, rowBytes()) == 0) continue;
            for (int tx = 0; tx < ring.tilesAcross; ++tx) {
                if (flags[tx]) continue;
                const size_t from = static_cast<size_t>(tx) * kRingTile * 3;
                const size_t bytes = static_cast<size_t>(std::min(kRingTile, ring.width - tx * kRingTile)) * 3;
                if (memcmp(held + from, given + from, bytes) == 0) continue;
                flags[tx] = 1;
                --unchanged;
                ++count;
                *pixelBytes += bytes * static_cast<size_t>(bottom - top);
            }
        }
    }
    return count;
}

// A block for a change of tileCount tiles; while it is refused the oldest samples go.
RingChange* allocateChange(int tileCount, size_t pixelBytes) {
    const size_t bytes = sizeof(RingChange) + sizeof(RingChangeTile) * static_cast<size_t>(tileCount) + pixelBytes;
    for (;;) {
        RingChange* change = static_cast<RingChange*>(malloc(bytes));
        if (change) {
            change->bytes = bytes;
            change->tileCount = tileCount;
            return change;
        }
        if (ring.changeCount == 0) return nullptr;
        dropOldest(1);
    }
}

// Moves the newest's flagged tiles into the change (the older sample's pixels) and the
// image's into the newest.
void moveChangedTiles(RingChange* change, const uint8_t* image, int stride) {
    RingChangeTile* tiles = changeTiles(change);
    uint8_t* pixels = changePixels(change);
    uint32_t offset = 0;
    int n = 0;
    const uint32_t tileTotal = static_cast<uint32_t>(ring.tilesAcross) * static_cast<uint32_t>(ring.tilesDown);
    for (uint32_t index = 0; index < tileTotal; ++index) {
        if (!ring.changedTiles[index]) continue;
        const int left = tileLeft(index), top = tileTop(index);
        const int bytes = tileWidth(index) * 3, rows = tileHeight(index);
        uint8_t* held = ring.newest + rowBytes() * top + static_cast<size_t>(left) * 3;
        const uint8_t* given = image + static_cast<ptrdiff_t>(stride) * top + static_cast<ptrdiff_t>(left) * 3;
        tiles[n++] = {index, offset};
        copyRows(held, static_cast<int>(rowBytes()), pixels + offset, bytes, bytes, rows);
        copyRows(given, stride, held, static_cast<int>(rowBytes()), bytes, rows);
        offset += static_cast<uint32_t>(bytes * rows);
    }
}

bool insideRing(const RingRect& r) {
    return ring.hasNewest && r.left >= 0 && r.top >= 0 && r.cols > 0 && r.rows > 0 && r.cols <= ring.width - r.left &&
           r.rows <= ring.height - r.top;
}

// Copies the part of tile `index` inside the rectangle from source (the tile's top-left
// pixel, rows sourceStride apart) into a frame of the rectangle.
void copyTilePart(const uint8_t* source, int sourceStride, uint32_t index, const RingRect& r, uint8_t* frame) {
    const int tileX = tileLeft(index), tileY = tileTop(index);
    const int x0 = std::max(tileX, r.left), x1 = std::min(tileX + tileWidth(index), r.left + r.cols);
    const int y0 = std::max(tileY, r.top), y1 = std::min(tileY + tileHeight(index), r.top + r.rows);
    if (x0 >= x1 || y0 >= y1) return;
    const int frameStride = r.cols * 3;
    copyRows(source + static_cast<ptrdiff_t>(y0 - tileY) * sourceStride + (x0 - tileX) * 3, sourceStride,
             frame + static_cast<ptrdiff_t>(y0 - r.top) * frameStride + (x0 - r.left) * 3, frameStride,
             (x1 - x0) * 3, y1 - y0);
}

void copyNewestTilePart(uint32_t index, const RingRect& r, uint8_t* frame) {
    const uint8_t* source = ring.newest + rowBytes() * tileTop(index) + static_cast<size_t>(tileLeft(index)) * 3;
    copyTilePart(source, static_cast<int>(rowBytes()), index, r, frame);
}

void copyNewestRect(const RingRect& r, uint8_t* frame) {
    copyRows(ring.newest + rowBytes() * r.top + static_cast<size_t>(r.left) * 3, static_cast<int>(rowBytes()), frame,
             r.cols * 3, r.cols * 3, r.rows);
}

// Calls visit(tile, its pixels) for each tile of the change that meets the rectangle,
// finding the first of its tile rows by bisection so a band costs only its own tiles.
template <typename Visit>
void visitTilesIn(RingChange* change, const RingRect& r, Visit visit) {
    if (!change) return;
    const uint32_t across = static_cast<uint32_t>(ring.tilesAcross);
    const uint32_t firstColumn = static_cast<uint32_t>(r.left / kRingTile);
    const uint32_t lastColumn = static_cast<uint32_t>((r.left + r.cols - 1) / kRingTile);
    const uint32_t from = static_cast<uint32_t>(r.top / kRingTile) * across;
    const uint32_t to = static_cast<uint32_t>((r.top + r.rows - 1) / kRingTile + 1) * across;
    RingChangeTile* tiles = changeTiles(change);
    RingChangeTile* end = tiles + change->tileCount;
    RingChangeTile* tile =
        std::lower_bound(tiles, end, from, [](const RingChangeTile& t, uint32_t index) { return t.index < index; });
    for (; tile != end && tile->index < to; ++tile) {
        const uint32_t column = tile->index % across;
        if (column >= firstColumn && column <= lastColumn) visit(*tile, changePixels(change) + tile->offset);
    }
}

// Columns [x0, x1) of rows [y0, y1) (the ring's coordinates) from one frame of the
// rectangle into another.
void copyFramePart(const uint8_t* from, uint8_t* to, const RingRect& r, int x0, int x1, int y0, int y1) {
    if (x0 >= x1) return;
    const int stride = r.cols * 3;
    const ptrdiff_t at = static_cast<ptrdiff_t>(y0 - r.top) * stride + (x0 - r.left) * 3;
    copyRows(from + at, stride, to + at, stride, (x1 - x0) * 3, y1 - y0);
}

// The older sample's frame of the rectangle from the newer one's: its changed tiles from
// the change, every run of unchanged tiles from the newer frame, each byte written once.
void olderFrame(RingChange* change, const RingRect& r, const uint8_t* newer, uint8_t* frame) {
    if (!change) {
        memcpy(frame, newer, static_cast<size_t>(r.cols) * r.rows * 3);
        return;
    }
    const uint32_t across = static_cast<uint32_t>(ring.tilesAcross);
    const uint32_t firstColumn = static_cast<uint32_t>(r.left / kRingTile);
    const uint32_t lastColumn = static_cast<uint32_t>((r.left + r.cols - 1) / kRingTile);
    RingChangeTile* tiles = changeTiles(change);
    RingChangeTile* end = tiles + change->tileCount;
    for (int ty = r.top / kRingTile; ty <= (r.top + r.rows - 1) / kRingTile; ++ty) {
        const int y0 = std::max(ty * kRingTile, r.top), y1 = std::min(ty * kRingTile + kRingTile, r.top + r.rows);
        const uint32_t rowStart = static_cast<uint32_t>(ty) * across;
        RingChangeTile* tile = std::lower_bound(tiles, end, rowStart + firstColumn,
                                                [](const RingChangeTile& t, uint32_t index) { return t.index < index; });
        int unchangedFrom = r.left;
        for (; tile != end && tile->index <= rowStart + lastColumn; ++tile) {
            const int x = tileLeft(tile->index);
            copyFramePart(newer, frame, r, unchangedFrom, std::max(x, r.left), y0, y1);
            copyTilePart(changePixels(change) + tile->offset, tileWidth(tile->index) * 3, tile->index, r, frame);
            unchangedFrom = std::min(x + tileWidth(tile->index), r.left + r.cols);
        }
        copyFramePart(newer, frame, r, unchangedFrom, r.left + r.cols, y0, y1);
    }
}

}  // namespace

bool ringStart(int width, int height) {
    ringStop();
    // A sample's bytes fit an int, so tile offsets and row strides never overflow.
    if (width < 1 || height < 1 || static_cast<long long>(width) * height * 3 > INT_MAX) return false;
    ring.width = width;
    ring.height = height;
    ring.tilesAcross = (width + kRingTile - 1) / kRingTile;
    ring.tilesDown = (height + kRingTile - 1) / kRingTile;
    ring.newest = static_cast<uint8_t*>(malloc(rowBytes() * height));
    ring.changedTiles = static_cast<uint8_t*>(malloc(static_cast<size_t>(ring.tilesAcross) * ring.tilesDown));
    if (ring.newest && ring.changedTiles) return true;
    ringStop();
    return false;
}

void ringStop() {
    endWalk();
    if (ring.changes) dropOldest(ring.changeCount);
    free(ring.changes);
    free(ring.newest);
    free(ring.changedTiles);
    ring = RetroRing();
}

bool ringPush(const uint8_t* image, int stride, long long ticks) {
    if (!ring.newest || !image || stride < ring.width * 3) return false;
    endWalk();
    if (!ring.hasNewest) {
        copyRows(image, stride, ring.newest, static_cast<int>(rowBytes()), static_cast<int>(rowBytes()), ring.height);
        ring.hasNewest = true;
        ring.newestTicks = ticks;
        return true;
    }
    if (!makeRoomForChange()) return false;
    size_t pixelBytes = 0;
    const int tileCount = markChangedTiles(image, stride, &pixelBytes);
    RingChange* change = nullptr;
    if (tileCount > 0) {
        change = allocateChange(tileCount, pixelBytes);
        if (!change) return false;
        moveChangedTiles(change, image, stride);
        ring.changeBytes += static_cast<long long>(change->bytes);
    }
    ring.changes[ring.changeCount++] = {change, ring.newestTicks};
    ring.newestTicks = ticks;
    return true;
}

int ringSampleCount() { return ring.hasNewest ? ring.changeCount + 1 : 0; }

long long ringSampleTicks(int k) {
    if (k < 0 || k >= ringSampleCount()) return 0;
    return k == ring.changeCount ? ring.newestTicks : ring.changes[k].ticks;
}

long long ringBytes() {
    if (!ring.newest) return 0;
    return static_cast<long long>(rowBytes()) * ring.height + static_cast<long long>(ring.tilesAcross) * ring.tilesDown +
           static_cast<long long>(sizeof(RingOlder)) * ring.changeCapacity + ring.changeBytes;
}

void ringTrim(int maxSamples, long long maxBytes) {
    endWalk();
    const int over = ringSampleCount() - std::max(maxSamples, 1);
    if (over > 0) dropOldest(over);
    while (ring.changeCount > 0 && ringBytes() > maxBytes) dropOldest(1);
}

void ringDropBefore(long long ticks) {
    endWalk();
    if (!ring.hasNewest) return;
    int old = 0;
    while (old < ring.changeCount && ring.changes[old].ticks < ticks) ++old;
    if (old > 0) dropOldest(old);
    // The older samples all went before it; the next push starts from a whole sample.
    if (ring.newestTicks < ticks) ring.hasNewest = false;
}

int ringWidth() { return ring.width; }
int ringHeight() { return ring.height; }

bool ringRebuild(int left, int top, int cols, int rows, uint8_t* out) {
    const RingRect r = {left, top, cols, rows};
    if (!insideRing(r) || !out) return false;
    const size_t frameBytes = static_cast<size_t>(cols) * rows * 3;
    // Newest first, each older sample from its newer one and its change.
    uint8_t* frame = out + frameBytes * ring.changeCount;
    copyNewestRect(r, frame);
    for (int k = ring.changeCount - 1; k >= 0; --k) {
        frame -= frameBytes;
        olderFrame(ring.changes[k].change, r, frame + frameBytes, frame);
    }
    return true;
}

bool ringWalkBegin(int left, int top, int cols, int rows, uint8_t* frame) {
    endWalk();
    const RingRect r = {left, top, cols, rows};
    if (!insideRing(r) || !frame) return false;
    const int steps = ring.changeCount;
    ring.walkFirst = static_cast<size_t*>(malloc(sizeof(size_t) * (static_cast<size_t>(steps) + 1)));
    if (!ring.walkFirst) return false;
    size_t tileTotal = 0;
    for (int k = 0; k < steps; ++k) {
        ring.walkFirst[k] = tileTotal;
        visitTilesIn(ring.changes[k].change, r, [&](const RingChangeTile&, const uint8_t*) { ++tileTotal; });
    }
    ring.walkFirst[steps] = tileTotal;
    // Per tile of the rectangle, the nearest newer sample's pixels of it seen so far (null: the newest).
    const int firstColumn = left / kRingTile, firstRow = top / kRingTile;
    const int across = (left + cols - 1) / kRingTile - firstColumn + 1;
    const int down = (top + rows - 1) / kRingTile - firstRow + 1;
    const uint8_t** newer = static_cast<const uint8_t**>(calloc(static_cast<size_t>(across) * down, sizeof(uint8_t*)));
    ring.walkTiles = static_cast<RingWalkTile*>(malloc(sizeof(RingWalkTile) * std::max<size_t>(tileTotal, 1)));
    if (!newer || !ring.walkTiles) {
        free(newer);
        endWalk();
        return false;
    }
    // From the newest back to the oldest, noting for each changed tile where the sample
    // after it keeps that tile.
    copyNewestRect(r, frame);
    for (int k = steps - 1; k >= 0; --k) {
        size_t n = ring.walkFirst[k];
        visitTilesIn(ring.changes[k].change, r, [&](const RingChangeTile& tile, const uint8_t* pixels) {
            const int column = tileLeft(tile.index) / kRingTile - firstColumn;
            const int row = tileTop(tile.index) / kRingTile - firstRow;
            const uint8_t*& seen = newer[row * across + column];
            ring.walkTiles[n++] = {seen, tile.index};
            seen = pixels;
            copyTilePart(pixels, tileWidth(tile.index) * 3, tile.index, r, frame);
        });
    }
    free(newer);
    ring.walkRect = r;
    ring.walkSample = 0;
    return true;
}

bool ringWalkNext(uint8_t* frame) {
    if (ring.walkSample < 0 || !frame) return false;
    if (ring.walkSample >= ring.changeCount) {
        endWalk();
        return false;
    }
    const int k = ring.walkSample;
    for (size_t i = ring.walkFirst[k]; i < ring.walkFirst[k + 1]; ++i) {
        const RingWalkTile& tile = ring.walkTiles[i];
        if (tile.source) {
            copyTilePart(tile.source, tileWidth(tile.index) * 3, tile.index, ring.walkRect, frame);
        } else {
            copyNewestTilePart(tile.index, ring.walkRect, frame);
        }
    }
    ++ring.walkSample;
    return true;
}
