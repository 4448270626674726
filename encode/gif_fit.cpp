#include "encode/gif_fit.h"

#include <algorithm>

namespace {

std::vector<GifFitStep> makeSteps() {
    std::vector<GifFitStep> steps;
    auto add = [&](int lossy, int colours, bool diffuse, int merged, int percent) {
        GifFitStep step;
        step.quality.lossy = lossy;
        step.quality.colours = colours;
        step.quality.diffuse = diffuse;
        step.samplesAFrame = merged;
        step.percent = percent;
        steps.push_back(step);
    };
    // Lossy packing first: a bound of 8 a channel is hard to see on moving parts; 16 on
    // smooth colour shows as faint grain, still less than fewer colours' bands.
    add(8, 256, true, 1, 100);
    add(16, 256, true, 1, 100);
    // Fewer colours with their error diffused save nothing on smooth colour: the grain of
    // a few entries everywhere packs worse than the exact colours did. The nearest of 128
    // entries bands a little yet packs in far fewer bytes (on a photograph 42 % fewer than
    // at 256, about 7 dB better than 32 diffused ones at that size, blurred 1.5 dB better).
    add(16, 128, false, 1, 100);
    add(16, 128, false, 2, 100);
    add(16, 128, false, 4, 100);
    // Where the colours are few to begin with (a desktop), 32 of them diffused still take
    // bytes off at full size, and cost less than a quarter of the pixels would; where they
    // are many this is no smaller, and the scaling below follows.
    add(16, 32, true, 4, 100);
    for (int percent : {75, 50, 35, 25, 18, 12}) add(16, 128, false, 4, percent);
    add(16, 32, false, 4, 12);  // the smallest file: a half to two thirds of 128 colours'
    return steps;
}

}  // namespace

bool gifEncodeStep(const GifSampleAt& sampleAt, const GifTicksAt& ticksAt, int count, int stride, int width,
                   int height, const GifFitStep& step, GifFitted& out, const GifProgress& between) {
    const int toWidth = std::max(1, width * step.percent / 100);
    const int toHeight = std::max(1, height * step.percent / 100);
    const bool scaled = toWidth != width || toHeight != height;
    std::vector<uint8_t> small(scaled ? static_cast<size_t>(toWidth) * toHeight * 3 : 0);
    GifEncoder& gif = out.encoder;
    gifBegin(gif, toWidth, toHeight, 0, step.quality);
    out.fits = false;
    for (int first = 0; first < count; first += step.samplesAFrame) {
        const int last = std::min(count, first + step.samplesAFrame) - 1;
        int ticks = 0;
        for (int i = first; i <= last; ++i) ticks += ticksAt(i);
        const uint8_t* sample = sampleAt(last);
        if (!sample) return false;
        if (scaled) gifScaleDown(sample, stride, width, height, small.data(), toWidth, toHeight);
        gifAddFrame(gif, scaled ? small.data() : sample, scaled ? toWidth * 3 : stride, ticks);
        if (between) between(last + 1, count);
    }
    gifFinish(gif);
    out.step = step;
    out.width = toWidth;
    out.height = toHeight;
    out.frames = static_cast<int>(gif.frameEnds.size());
    return true;
}

const std::vector<GifFitStep>& gifFitSteps() {
    static const std::vector<GifFitStep> steps = makeSteps();
    return steps;
}

bool gifEncodeFitting(const GifSampleAt& sampleAt, const GifTicksAt& ticksAt, int count, int stride, int width,
                      int height, size_t maxBytes, GifFitted& out, const GifProgress& between,
                      bool exactPasses) {
    if (!exactPasses) {
        if (!gifEncodeStep(sampleAt, ticksAt, count, stride, width, height, GifFitStep(), out, between)) return false;
        out.fits = maxBytes == 0 || out.encoder.bytes.size() <= maxBytes;
    }
    for (const GifFitStep& step : gifFitSteps()) {
        if (out.fits) return true;
        if (!gifEncodeStep(sampleAt, ticksAt, count, stride, width, height, step, out, between)) return false;
        out.fits = out.encoder.bytes.size() <= maxBytes;
    }
    return true;
}

void gifScaleDown(const uint8_t* bgr, int stride, int width, int height, uint8_t* out, int toWidth, int toHeight) {
    for (int y = 0; y < toHeight; ++y) {
        const int top = static_cast<int>(static_cast<long long>(y) * height / toHeight);
        const int bottom = std::max(top + 1, static_cast<int>(static_cast<long long>(y + 1) * height / toHeight));
        for (int x = 0; x < toWidth; ++x) {
            const int left = static_cast<int>(static_cast<long long>(x) * width / toWidth);
            const int right = std::max(left + 1, static_cast<int>(static_cast<long long>(x + 1) * width / toWidth));
            unsigned sum[3] = {0, 0, 0};
            for (int sy = top; sy < bottom; ++sy) {
                const uint8_t* p = bgr + static_cast<size_t>(sy) * stride + static_cast<size_t>(left) * 3;
                for (int sx = left; sx < right; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const unsigned area = static_cast<unsigned>((bottom - top) * (right - left));
            uint8_t* o = out + (static_cast<size_t>(y) * toWidth + x) * 3;
            for (int c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>((sum[c] + area / 2) / area);
        }
    }
}
