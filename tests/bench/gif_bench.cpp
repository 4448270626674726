// Times the animated GIF encoder over two clips of 15 samples at 1024 x 768, one second
// in all: (a) a desktop with a 40 x 40 square moving 30 px a sample over it; (b) a
// photograph-like field of colour with a moving patch of its own. The desktop is a grab of
// the real screen (raw bgr24, 1024 x 768, top-down) when one is given, else drawn here:
// dialogs, title-bar gradients and anti-aliased "text" (a few hundred colours). Each clip is
// encoded on one thread and on the default count, which must give the same bytes.
// With a folder argument (a Windows path ending in a separator) it writes each clip there
// as raw bgr24 frames (clip-a.raw, clip-b.raw) and its GIF (kestrin-a.gif, kestrin-b.gif),
// so the script can run other encoders on the same frames and measure every result
// against them; and each step of the fitting (fit-a-NN.gif, ...) with the frames it shows
// and a list of the steps (fit-a.txt). With "minute" last, it also encodes a minute of each
// (900 samples at 15 a second) as an AVI-only recording's GIF: all after the stop on one
// thread and on the default count, and fed while it records in real time (a minute a clip).
//   gif_bench.exe [FOLDER\ [DESKTOP.raw]] [minute]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "encode/gif_encoder.h"
#include "encode/gif_fit.h"

#include "bench/bench_clock.h"
#include "support/files.h"

namespace {

const int kWidth = 1024;
const int kHeight = 768;
const int kSamples = 15;
const int kRuns = 5;
const size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 3;

void setPixel(uint8_t* frame, int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    uint8_t* p = frame + (static_cast<size_t>(y) * kWidth + x) * 3;
    p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r);
}

void fillRect(uint8_t* frame, int x0, int y0, int w, int h, int r, int g, int b) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) setPixel(frame, x, y, r, g, b);
}

// A dialog: frame, a title bar shading from dark to light blue, and lines of "text"
// whose glyphs are dots of eight grey levels, as anti-aliased type is.
void drawDialog(uint8_t* frame, int x0, int y0, int w, int h, uint32_t seed) {
    fillRect(frame, x0, y0, w, h, 100, 100, 100);
    fillRect(frame, x0 + 1, y0 + 1, w - 2, h - 2, 240, 240, 240);
    for (int x = 1; x < w - 1; ++x) {
        const int t = x * 255 / w;
        fillRect(frame, x0 + x, y0 + 1, 1, 22, t / 2, 40 + static_cast<int>(seed) * 30 + t / 3, 250 - t / 5);
    }
    for (int line = 0; line * 18 + 40 < h - 40; ++line) {
        for (int glyph = 0; glyph * 8 + 20 < w - 20 && glyph < 30 + line * 7 % 20; ++glyph) {
            for (int gy = 0; gy < 11; ++gy) {
                for (int gx = 0; gx < 6; ++gx) {
                    seed = seed * 1664525u + 1013904223u;
                    if ((seed >> 28) < 9) continue;
                    const int level = 240 - static_cast<int>((seed >> 25) & 7) * 30;
                    setPixel(frame, x0 + 14 + glyph * 8 + gx, y0 + 34 + line * 18 + gy, level, level, level);
                }
            }
        }
    }
    fillRect(frame, x0 + w - 90, y0 + h - 34, 76, 24, 60, 60, 60);  // a button
    fillRect(frame, x0 + w - 89, y0 + h - 33, 74, 22, 225, 225, 225);
}

std::vector<uint8_t> drawnDesktop() {
    std::vector<uint8_t> background(kFrameBytes);
    fillRect(background.data(), 0, 0, kWidth, kHeight, 0, 120, 128);
    drawDialog(background.data(), 60, 50, 460, 330, 1);
    drawDialog(background.data(), 420, 260, 520, 380, 2);
    drawDialog(background.data(), 120, 470, 300, 240, 3);
    fillRect(background.data(), 0, kHeight - 30, kWidth, 30, 30, 40, 60);  // the task bar
    return background;
}

std::vector<uint8_t> makeDesktopClip(const std::vector<uint8_t>& background) {
    std::vector<uint8_t> clip(kFrameBytes * kSamples);
    for (int k = 0; k < kSamples; ++k) {
        uint8_t* frame = clip.data() + kFrameBytes * k;
        std::copy(background.begin(), background.end(), frame);
        fillRect(frame, 80 + 30 * k, 300, 40, 40, 150, 20, 20);
        fillRect(frame, 82 + 30 * k, 302, 36, 36, 230, 40, 40);
    }
    return clip;
}

// A photograph-like field of smooth colour with the sensor's grain (0 to 3), the same in
// every sample: the photograph stays still.
std::vector<uint8_t> colourfulField() {
    std::vector<uint8_t> field(kFrameBytes);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 30);
            const double r = 128 + 100 * std::sin(x / 150.0) * std::cos(y / 210.0);
            const double g = 110 + 90 * std::sin((x + y) / 260.0);
            const double b = 140 + 100 * std::cos(x / 330.0 - y / 170.0);
            setPixel(field.data(), x, y, static_cast<int>(r) + grain, static_cast<int>(g) + grain,
                     static_cast<int>(b) + grain);
        }
    }
    return field;
}

// The colourful 200 x 150 patch with its top left corner at (px, py), over the field's grain.
void drawPatch(uint8_t* frame, int px, int py) {
    uint32_t noise = 12345;
    for (int y = 0; y < py + 150 && y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            if (y < py || x < px || x >= px + 200) continue;
            const int grain = static_cast<int>(noise >> 30);
            const double u = (x - px) / 200.0, v = (y - py) / 150.0;
            setPixel(frame, x, y, static_cast<int>(255 * u) + grain, static_cast<int>(200 * (1 - v)) + grain,
                     static_cast<int>(128 + 127 * std::sin(6.28 * (u + v))) + grain);
        }
    }
}

std::vector<uint8_t> makeColourfulClip() {
    const std::vector<uint8_t> field = colourfulField();
    std::vector<uint8_t> clip(kFrameBytes * kSamples);
    for (int k = 0; k < kSamples; ++k) {
        uint8_t* frame = clip.data() + kFrameBytes * k;
        std::copy(field.begin(), field.end(), frame);
        drawPatch(frame, 100 + 30 * k, 200 + 10 * k);
    }
    return clip;
}

// Each sample's duration in 0.1 ms: 15 over one second, the remainders spread.
int durationOf(int k) { return (k + 1) * 10000 / kSamples - k * 10000 / kSamples; }

void encode(GifEncoder& gif, const std::vector<uint8_t>& clip, int threads) {
    gifBegin(gif, kWidth, kHeight, threads);
    for (int k = 0; k < kSamples; ++k) gifAddFrame(gif, clip.data() + kFrameBytes * k, kWidth * 3, durationOf(k));
    gifFinish(gif);
}

void runClip(const char* name, const std::vector<uint8_t>& clip, const std::string& folder) {
    GifEncoder gif, single;
    const Timing t = timeRuns(kRuns, [] {}, [&] { encode(gif, clip, 0); });
    std::printf("clip %s: Kestrin GIF %8zu bytes  %7.1f ms to encode 15 frames on %d threads (median of %d, fastest %.1f)\n",
                name, gif.bytes.size(), t.medianMs, gifDefaultThreads(), kRuns, t.minMs);
    const Timing one = timeRuns(kRuns, [] {}, [&] { encode(single, clip, 1); });
    std::printf("clip %s, one thread: %7.1f ms (median of %d, fastest %.1f): %.2fx faster on %d; %s\n", name,
                one.medianMs, kRuns, one.minMs, one.medianMs / t.medianMs, gifDefaultThreads(),
                single.bytes == gif.bytes ? "the same bytes" : "OTHER BYTES");
    if (folder.empty()) return;
    writeFileBytes(folder + "clip-" + name + ".raw", clip.data(), clip.size());
    writeFileBytes(folder + "kestrin-" + name + ".gif", gif.bytes.data(), gif.bytes.size());
}

// Each step of the fitting on the clip: its file, the samples it shows (the last of each
// merged run, scaled as the step scales them) and, for merged steps, those samples at full
// size, so the script compares each frame with what it shows. fit-X.txt lists the steps:
// index, lossy, colours, samples a frame, percent, width, height, frames, bytes, ms.
void runFitting(const char* name, const std::vector<uint8_t>& clip, const std::string& folder) {
    std::vector<GifFitStep> steps(1, GifFitStep());  // the exact file first
    steps.insert(steps.end(), gifFitSteps().begin(), gifFitSteps().end());
    std::string list;
    for (size_t i = 0; i < steps.size(); ++i) {
        const GifFitStep& step = steps[i];
        GifFitted out;
        const double start = now();
        gifEncodeStep([&](int k) { return clip.data() + kFrameBytes * k; }, durationOf, kSamples, kWidth * 3, kWidth,
                      kHeight, step, out);
        const double ms = (now() - start) * 1000.0;
        char stem[64], line[160];
        std::snprintf(stem, sizeof stem, "fit-%s-%02d", name, static_cast<int>(i));
        std::snprintf(line, sizeof line, "%02d %d %d %d %d %d %d %d %zu %.0f\n", static_cast<int>(i), step.quality.lossy,
                      step.quality.colours, step.samplesAFrame, step.percent, out.width, out.height, out.frames,
                      out.encoder.bytes.size(), ms);
        list += line;
        writeFileBytes(folder + stem + ".gif", out.encoder.bytes.data(), out.encoder.bytes.size());
        if (step.samplesAFrame == 1 && step.percent == 100) continue;  // it shows the clip itself
        std::vector<uint8_t> shown, full, small(static_cast<size_t>(out.width) * out.height * 3);
        for (int first = 0; first < kSamples; first += step.samplesAFrame) {
            const uint8_t* sample = clip.data() + kFrameBytes * (std::min(kSamples, first + step.samplesAFrame) - 1);
            full.insert(full.end(), sample, sample + kFrameBytes);
            gifScaleDown(sample, kWidth * 3, kWidth, kHeight, small.data(), out.width, out.height);
            shown.insert(shown.end(), small.begin(), small.end());
        }
        writeFileBytes(folder + stem + ".raw", shown.data(), shown.size());
        writeFileBytes(folder + stem + "-full.raw", full.data(), full.size());
    }
    writeFileBytes(folder + "fit-" + name + ".txt", list);
    std::printf("clip %s: the %zu fitting steps written (fit-%s.txt)\n", name, steps.size(), name);
}

const int kMinute = 900;  // samples: a minute at 15 a second

int minuteTicks(int k) { return (k + 1) * 10000 / 15 - k * 10000 / 15; }

// Sample k of a minute's recording: clip (a)'s square or clip (b)'s patch moving on and on.
void drawMinuteSample(uint8_t* frame, const std::vector<uint8_t>& background, bool patch, int k) {
    std::copy(background.begin(), background.end(), frame);
    if (patch) {
        drawPatch(frame, 100 + 30 * k % 700, 200 + 10 * k % 450);
    } else {
        fillRect(frame, 80 + 30 * k % 900, 300, 40, 40, 150, 20, 20);
        fillRect(frame, 82 + 30 * k % 900, 302, 36, 36, 230, 40, 40);
    }
}

// A minute's AVI-only recording written as GIF the old way: all 900 samples encoded after
// the stop, on `threads` (0: the default). The time includes drawing the samples, as the
// program's includes reading them from the store. One run: the time, the file, and the
// memory the encoder holds at the end (the file and where its frames end).
double minuteAfterStop(const char* name, const std::vector<uint8_t>& background, bool patch, int threads,
                       GifEncoder& gif) {
    std::vector<uint8_t> frame(kFrameBytes);
    const double start = now();
    gifBegin(gif, kWidth, kHeight, threads);
    for (int k = 0; k < kMinute; ++k) {
        drawMinuteSample(frame.data(), background, patch, k);
        gifAddFrame(gif, frame.data(), kWidth * 3, minuteTicks(k));
    }
    gifFinish(gif);
    const double took = now() - start;
    const size_t held = gif.bytes.capacity() + gif.frameEnds.capacity() * sizeof(GifFrameEnd);
    std::printf("clip %s, a minute (900 samples) encoded after the stop on %d thread(s): %zu bytes, %.1f s "
                "(with drawing the samples), %.1f MB held\n", name, threads ? threads : gifDefaultThreads(),
                gif.bytes.size(), took, held / 1048576.0);
    return took;
}

// The same recording fed to the encoder while it records, as the program feeds it: each
// sample arrives at its time (the bench sleeps until then and draws it), and up to three a
// step are offered from the oldest not yet taken, never waiting; one the threads cannot
// take yet stays in the store (here drawn again when taken). At the stop the rest is added
// waiting and the file finished: the time from the last sample's arrival to the bytes.
void minuteWhileRecording(const char* name, const std::vector<uint8_t>& background, bool patch,
                          const std::vector<uint8_t>& expected) {
    std::vector<uint8_t> current(kFrameBytes), stored(kFrameBytes);
    GifEncoder gif;
    gifBegin(gif, kWidth, kHeight);
    int fed = 0, refused = 0, mostBehind = 0;
    double arrived = 0, late = 0;
    const double start = now();
    for (int k = 1; k <= kMinute; ++k) {
        const double due = start + (k - 1) / 15.0;
        const double wait = due - now();
        if (wait > 0) Sleep(static_cast<DWORD>(wait * 1000));
        drawMinuteSample(current.data(), background, patch, k - 1);
        arrived = now();
        late = std::max(late, arrived - due);
        for (int taken = 0; taken < 3 && fed < k; ++taken) {
            const int next = fed + 1;
            if (next != k) drawMinuteSample(stored.data(), background, patch, next - 1);
            if (!gifTryAddFrame(gif, next == k ? current.data() : stored.data(), kWidth * 3, minuteTicks(next - 1))) {
                ++refused;
                break;
            }
            ++fed;
        }
        mostBehind = std::max(mostBehind, k - fed);
    }
    const int behind = kMinute - fed;
    for (int k = fed + 1; k <= kMinute; ++k) {
        drawMinuteSample(stored.data(), background, patch, k - 1);
        gifAddFrame(gif, stored.data(), kWidth * 3, minuteTicks(k - 1));
    }
    gifFinish(gif);
    std::printf("clip %s, a minute fed while recording at 15/s: %.3f s from the last sample to the file; "
                "%d samples not yet taken at the stop, at most %d behind, %d offers refused, samples up to "
                "%.0f ms late; %s\n", name, now() - arrived, behind, mostBehind, refused, late * 1000,
                gif.bytes == expected ? "the same bytes as encoded after the stop" : "OTHER BYTES");
}

void runMinute(const char* name, const std::vector<uint8_t>& background, bool patch) {
    GifEncoder single, many;
    const double one = minuteAfterStop(name, background, patch, 1, single);
    const double all = minuteAfterStop(name, background, patch, 0, many);
    std::printf("clip %s, a minute: %.2fx faster on %d threads; %s\n", name, one / all, gifDefaultThreads(),
                single.bytes == many.bytes ? "the same bytes" : "OTHER BYTES");
    minuteWhileRecording(name, background, patch, many.bytes);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // the minute runs report as they go
    const std::string folder = argc > 1 ? argv[1] : "";
    // "minute" as the last argument adds the minute's recordings.
    const bool minute = argc > 2 && std::string(argv[argc - 1]) == "minute";
    if (minute) --argc;
    std::vector<uint8_t> desktop;
    if (argc > 2) {
        desktop = readFileBytes(argv[2]);
        if (desktop.size() != kFrameBytes) {
            std::printf("%s: not a 1024 x 768 bgr24 grab (%zu bytes)\n", argv[2], desktop.size());
            return 1;
        }
        std::printf("clip a: the desktop grabbed in %s\n", argv[2]);
    } else {
        desktop = drawnDesktop();
        std::printf("clip a: no desktop grab given: drawn dialogs stand in for the desktop\n");
    }
    const std::vector<uint8_t> clipA = makeDesktopClip(desktop), clipB = makeColourfulClip();
    runClip("a", clipA, folder);
    runClip("b", clipB, folder);
    if (!folder.empty()) {
        runFitting("a", clipA, folder);
        runFitting("b", clipB, folder);
    }
    if (minute) {
        runMinute("a", desktop, false);
        runMinute("b", colourfulField(), true);
    }
    return 0;
}
