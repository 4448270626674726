#include "engine/composite.h"

#include "engine/capture.h"

void finishSampling(int sampleTotal) {
    (void)sampleTotal;
    endCapture();
}
