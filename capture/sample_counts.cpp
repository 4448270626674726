#include "capture/sample_counts.h"

#include <climits>

int screenshotSampleCount(int fps, float seconds) {
    // The single-precision shutter time is widened, not the product rounded to float:
    // 10 x 0.7f is 6.99999988..., which must give 6.
    const double product = static_cast<double>(fps) * static_cast<double>(seconds);
    if (!(product > 0.0)) return 0;
    if (product >= 2147483647.0) return INT_MAX;
    return static_cast<int>(product);
}

int aviSampleCount(int seconds, int fps) {
    const long long product = static_cast<long long>(seconds) * fps;
    if (product <= 0) return 0;
    return product > INT_MAX ? INT_MAX : static_cast<int>(product);
}
