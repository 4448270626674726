#pragma once
// Sampling timeline for the benchmarks. When the environment variable
// KESTRIN_CADENCE_LOG names a file at start-up, every sample's times (start of the step,
// screen grab done, copy into the store done, in high-resolution counter ticks) are
// kept in memory and appended to that file when the capture ends. Otherwise nothing is
// recorded and each call returns at once.

void cadenceLogStart();
void cadenceSampleBegin();
void cadenceGrabDone();
void cadenceStoreDone();
void cadenceFlush();
