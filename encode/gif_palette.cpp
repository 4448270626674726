#include "encode/gif_palette.h"

#include <algorithm>
#include <cstring>

namespace {

const int kHistogramBins = 1 << 18;  // 6 bits per channel
const int kCells = 1 << 15;          // 5 bits per channel
const int kCacheSlots = 1 << 16;
const int kExactColours = 8192;  // up to this many distinct colours are clustered as they are
const int kRefinePasses = 2;
const int kRefinePassesFewColours = 8;

int distance2(const uint8_t* entry, int red, int green, int blue) {
    const int dr = entry[0] - red, dg = entry[1] - green, db = entry[2] - blue;
    return dr * dr + dg * dg + db * db;
}

// One colour of the histogram: its weight and the mean of the exact colours it holds.
struct HistogramColour {
    double red, green, blue;
    uint64_t count;
};

// A box of the median cut: a range of the colour list and its squared error.
struct Box {
    int begin, end;
    double error;
};

double channelOf(const HistogramColour& c, int channel) {
    return channel == 0 ? c.red : channel == 1 ? c.green : c.blue;
}

// The box's squared error around its mean, summed over the three channels.
double boxError(const std::vector<HistogramColour>& colours, int begin, int end) {
    double n = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    for (int i = begin; i < end; ++i) {
        const HistogramColour& c = colours[i];
        n += c.count;
        for (int k = 0; k < 3; ++k) {
            const double v = channelOf(c, k);
            s[k] += v * c.count;
            q[k] += v * v * c.count;
        }
    }
    double error = 0;
    for (int k = 0; k < 3; ++k) error += q[k] - s[k] * s[k] / n;
    return error;
}

// Splits a box along its widest-spread channel where the two halves' error along that
// channel is least; returns the first index of the second half.
int splitBox(std::vector<HistogramColour>& colours, const Box& box) {
    double n = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    for (int i = box.begin; i < box.end; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double v = channelOf(colours[i], k);
            s[k] += v * colours[i].count;
            q[k] += v * v * colours[i].count;
        }
        n += colours[i].count;
    }
    int channel = 0;
    for (int k = 1; k < 3; ++k) {
        if (q[k] - s[k] * s[k] / n > q[channel] - s[channel] * s[channel] / n) channel = k;
    }
    std::sort(colours.begin() + box.begin, colours.begin() + box.end,
              [channel](const HistogramColour& a, const HistogramColour& b) {
                  return channelOf(a, channel) < channelOf(b, channel);
              });
    double leftN = 0, leftS = 0, leftQ = 0;
    double best = -1;
    int at = box.begin + 1;
    for (int i = box.begin; i + 1 < box.end; ++i) {
        const double v = channelOf(colours[i], channel);
        leftN += colours[i].count;
        leftS += v * colours[i].count;
        leftQ += v * v * colours[i].count;
        const double rightN = n - leftN, rightS = s[channel] - leftS, rightQ = q[channel] - leftQ;
        const double error = (leftQ - leftS * leftS / leftN) + (rightQ - rightS * rightS / rightN);
        if (best < 0 || error < best) {
            best = error;
            at = i + 1;
        }
    }
    return at;
}

uint8_t clampByte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); }

// The table's entries moved to the weighted means of the colours nearest to them.
void refine(const std::vector<HistogramColour>& colours, GifPalette& palette) {
    NearestColour nearest;
    std::vector<double> sums(static_cast<size_t>(palette.count) * 4);
    const int passes = colours.size() <= kExactColours ? kRefinePassesFewColours : kRefinePasses;
    for (int pass = 0; pass < passes; ++pass) {
        prepareNearest(nearest, palette);
        std::fill(sums.begin(), sums.end(), 0.0);
        for (const HistogramColour& c : colours) {
            const int i = nearestIndex(nearest, clampByte(c.red), clampByte(c.green), clampByte(c.blue));
            sums[i * 4] += c.red * c.count;
            sums[i * 4 + 1] += c.green * c.count;
            sums[i * 4 + 2] += c.blue * c.count;
            sums[i * 4 + 3] += c.count;
        }
        for (int i = 0; i < palette.count; ++i) {
            if (sums[i * 4 + 3] == 0) continue;
            for (int k = 0; k < 3; ++k) palette.rgb[i * 3 + k] = clampByte(sums[i * 4 + k] / sums[i * 4 + 3]);
        }
    }
}

// The distinct colours of the region with their counts, when there are at most
// kExactColours; false when there are more.
bool exactColours(const uint8_t* bgr, int stride, int width, int height, std::vector<HistogramColour>& list) {
    const uint32_t kSlots = 4 * kExactColours;
    std::vector<uint32_t> keys(kSlots, 0xffffffffu), slotOf;
    std::vector<uint64_t> counts(kSlots, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bgr + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < width; ++x, p += 3) {
            const uint32_t colour = static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
            uint32_t h = (colour * 2654435761u) >> 17;
            while (keys[h] != 0xffffffffu && keys[h] != colour) h = (h + 1) & (kSlots - 1);
            if (keys[h] != colour) {
                if (slotOf.size() == static_cast<size_t>(kExactColours)) return false;
                keys[h] = colour;
                slotOf.push_back(h);
            }
            ++counts[h];
        }
    }
    list.clear();
    for (uint32_t h : slotOf) {
        list.push_back({static_cast<double>(keys[h] >> 16), static_cast<double>((keys[h] >> 8) & 255),
                        static_cast<double>(keys[h] & 255), counts[h]});
    }
    return true;
}

// Builds the candidate list of one 5-bit cell: the entries whose nearest point in the
// cell is no farther than the least farthest point of any entry.
void buildCell(NearestColour& nearest, int cell) {
    const GifPalette& palette = *nearest.palette;
    const int lo[3] = {(cell >> 10) << 3, ((cell >> 5) & 31) << 3, (cell & 31) << 3};
    int minD[256], bound = 1 << 30;
    for (int i = 0; i < palette.count; ++i) {
        int nearD = 0, farD = 0;
        for (int k = 0; k < 3; ++k) {
            const int v = palette.rgb[i * 3 + k];
            const int below = lo[k] - v, above = v - (lo[k] + 7);
            const int gap = below > 0 ? below : above > 0 ? above : 0;
            nearD += gap * gap;
            const int far = std::max(std::abs(v - lo[k]), std::abs(v - lo[k] - 7));
            farD += far * far;
        }
        minD[i] = nearD;
        bound = std::min(bound, farD);
    }
    nearest.cellStart[cell] = static_cast<int32_t>(nearest.candidates.size());
    nearest.candidates.push_back(0);
    for (int i = 0; i < palette.count; ++i) {
        if (minD[i] > bound) continue;
        nearest.candidates.push_back(static_cast<uint16_t>(i));
        ++nearest.candidates[nearest.cellStart[cell]];
    }
}

}  // namespace

bool exactPalette(const uint8_t* bgr, int stride, int width, int height, int limit, GifPalette& out) {
    // Open addressing at a quarter full at most: 1024 slots for 256 colours.
    uint32_t slots[1024];
    std::memset(slots, 0xff, sizeof slots);
    out.count = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bgr + static_cast<size_t>(y) * static_cast<size_t>(stride);
        uint32_t last = 0xffffffffu;
        for (int x = 0; x < width; ++x, p += 3) {
            const uint32_t colour = static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
            if (colour == last) continue;  // runs of one colour are the common case on screens
            last = colour;
            uint32_t h = (colour * 2654435761u) >> 22;
            while (slots[h] != 0xffffffffu && slots[h] != colour) h = (h + 1) & 1023;
            if (slots[h] == colour) continue;
            if (out.count == limit) return false;
            slots[h] = colour;
            out.rgb[out.count * 3] = p[2];
            out.rgb[out.count * 3 + 1] = p[1];
            out.rgb[out.count * 3 + 2] = p[0];
            ++out.count;
        }
    }
    return true;
}

void quantisePalette(ColourHistogram& histogram, const uint8_t* bgr, int stride, int width, int height,
                     int colours, GifPalette& out) {
    std::vector<HistogramColour> list;
    if (!exactColours(bgr, stride, width, height, list)) {
        if (histogram.bins.empty()) histogram.bins.assign(static_cast<size_t>(kHistogramBins) * 4, 0);
        uint64_t* bins = histogram.bins.data();
        for (int y = 0; y < height; ++y) {
            const uint8_t* p = bgr + static_cast<size_t>(y) * static_cast<size_t>(stride);
            for (int x = 0; x < width; ++x, p += 3) {
                const uint32_t bin = static_cast<uint32_t>(p[2] >> 2) << 12 | (p[1] >> 2) << 6 | p[0] >> 2;
                uint64_t* b = bins + bin * 4;
                if (b[0]++ == 0) histogram.touched.push_back(bin);
                b[1] += p[2];
                b[2] += p[1];
                b[3] += p[0];
            }
        }
        list.reserve(histogram.touched.size());
        for (uint32_t bin : histogram.touched) {
            uint64_t* b = bins + bin * 4;
            const double n = static_cast<double>(b[0]);
            list.push_back({b[1] / n, b[2] / n, b[3] / n, b[0]});
            b[0] = b[1] = b[2] = b[3] = 0;
        }
        histogram.touched.clear();
    }

    std::vector<Box> boxes{{0, static_cast<int>(list.size()), boxError(list, 0, static_cast<int>(list.size()))}};
    while (static_cast<int>(boxes.size()) < colours) {
        // The box holding the most error is split next.
        int worst = -1;
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
            if (boxes[i].end - boxes[i].begin < 2 || boxes[i].error <= 0) continue;
            if (worst < 0 || boxes[i].error > boxes[worst].error) worst = i;
        }
        if (worst < 0) break;
        const Box box = boxes[worst];
        const int at = splitBox(list, box);
        boxes[worst] = {box.begin, at, boxError(list, box.begin, at)};
        boxes.push_back({at, box.end, boxError(list, at, box.end)});
    }
    out.count = static_cast<int>(boxes.size());
    for (int i = 0; i < out.count; ++i) {
        double n = 0, r = 0, g = 0, b = 0;
        for (int j = boxes[i].begin; j < boxes[i].end; ++j) {
            n += list[j].count;
            r += list[j].red * list[j].count;
            g += list[j].green * list[j].count;
            b += list[j].blue * list[j].count;
        }
        out.rgb[i * 3] = clampByte(r / n);
        out.rgb[i * 3 + 1] = clampByte(g / n);
        out.rgb[i * 3 + 2] = clampByte(b / n);
    }
    refine(list, out);
}

void prepareNearest(NearestColour& nearest, const GifPalette& palette) {
    nearest.palette = &palette;
    nearest.cellStart.assign(kCells, -1);
    nearest.candidates.clear();
    nearest.cacheKey.assign(kCacheSlots, 0);
    nearest.cacheIndex.resize(kCacheSlots);
}

int nearestIndex(NearestColour& nearest, int red, int green, int blue) {
    const uint32_t colour = static_cast<uint32_t>(red) << 16 | green << 8 | blue;
    const uint32_t slot = (colour * 2654435761u) >> 16;
    if (nearest.cacheKey[slot] == (colour | 1u << 24)) return nearest.cacheIndex[slot];
    const int cell = (red >> 3) << 10 | (green >> 3) << 5 | blue >> 3;
    if (nearest.cellStart[cell] < 0) buildCell(nearest, cell);
    const uint16_t* list = nearest.candidates.data() + nearest.cellStart[cell];
    const uint8_t* rgb = nearest.palette->rgb;
    int best = list[1], bestD = distance2(rgb + best * 3, red, green, blue);
    for (int i = 2; i <= list[0]; ++i) {
        const int d = distance2(rgb + list[i] * 3, red, green, blue);
        if (d < bestD || (d == bestD && list[i] < best)) {
            bestD = d;
            best = list[i];
        }
    }
    nearest.cacheKey[slot] = colour | 1u << 24;
    nearest.cacheIndex[slot] = static_cast<uint8_t>(best);
    return best;
}

int nearestIndexPlain(const GifPalette& palette, int red, int green, int blue) {
    int best = 0, bestD = distance2(palette.rgb, red, green, blue);
    for (int i = 1; i < palette.count; ++i) {
        const int d = distance2(palette.rgb + i * 3, red, green, blue);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}
