#pragma once
// The compositing phase that finishes every capture: the samples replayed oldest
// first, weighted by age, summed and divided into the result.

// Runs the phase for the sampleTotal samples in the store, then ends the capture.
void finishSampling(int sampleTotal);

// Adds weight x the top-left w x h pixels of a 24-bit slot into the accumulator
// (w * h * 3 elements, red first). Does nothing for a slot without pixels or one
// smaller than w x h.
void accumulateSample(float weight, int slotIndex, float* accumulator, int width, int height);
void accumulateSample(double weight, int slotIndex, double* accumulator, int width, int height);

// Writes accumulator / weight sum as bytes into the top-left w x h pixels of a 24-bit
// slot; the same refusals as accumulateSample.
void normaliseResult(float weightSum, const float* accumulator, int slotIndex, int width, int height);
void normaliseResult(double weightSum, const double* accumulator, int slotIndex, int width, int height);
