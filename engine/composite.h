#pragma once
// The compositing phase that finishes every capture: the samples replayed oldest
// first, weighted by age, summed and divided into the result.

// Runs the phase for the sampleTotal samples in the store, then ends the capture.
void finishSampling(int sampleTotal);
