#pragma once
// How many samples a capture takes: counted from the settings, with no window in sight.

// N for a screenshot: the integer rate times the single-precision shutter time,
// truncated toward zero; saturates at INT_MAX instead of overflowing.
int screenshotSampleCount(int fps, float seconds);
// N for an AVI-only recording: AVI_TIME x AVI_FPS, saturating at INT_MAX.
int aviSampleCount(int seconds, int fps);
