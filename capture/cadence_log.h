#pragma once
// Sampling timeline, for the benchmarks and for tests that must know when a capture
// ended. It is built in only when the build is configured with KESTRIN_CADENCE_LOG=ON
// (the test and benchmark build); in the released program every call returns at once.
// When built in and the environment variable KESTRIN_CADENCE_LOG names a file at
// start-up, every sample's times (start of the step, screen grab done, copy into the
// store done, in high-resolution counter ticks) are kept in memory and appended to that
// file when the capture ends, after a line "capture FREQUENCY"; a capture that took no
// sample leaves that line alone, so every capture that ended shows. Otherwise nothing is
// recorded and each call returns at once.

void cadenceLogStart();
void cadenceSampleBegin();
void cadenceGrabDone();
void cadenceStoreDone();
void cadenceFlush();
