#include "capture/retro_cost.h"

RetroCost retroCost(int width, int height, int fps, int seconds, long long capBytes) {
    const long long wholeBytes = static_cast<long long>(width) * height * 3;
    // The newest sample is kept beside the fps x seconds that make up the exposure.
    const long long wanted = static_cast<long long>(fps) * seconds + 1;
    RetroCost cost = {wanted * wholeBytes, wholeBytes, static_cast<double>(seconds), false};
    if (wholeBytes <= 0 || capBytes / wholeBytes >= wanted) return cost;

    const long long held = capBytes < 0 ? 0 : capBytes / wholeBytes;
    cost.mostBytes = held * wholeBytes;
    if (held == 0) cost.stillBytes = 0;
    // The first held sample only starts the exposure; each later one adds 1 / fps.
    cost.seconds = held < 2 ? 0.0 : static_cast<double>(held - 1) / fps;
    cost.shortened = true;
    return cost;
}
