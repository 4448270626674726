#pragma once
// What the ring of the last seconds takes in memory, worked out before it exists (the
// options dialog shows it as the values are edited). The ring keeps fps x seconds samples
// of the whole virtual screen plus the newest, each as what changed since the sample
// before it: a still screen costs about one whole sample (3 bytes a pixel), a screen
// changing everywhere one whole sample per sample. Past the cap the oldest samples go
// first, so a capped ring holds a shorter exposure.

struct RetroCost {
    long long mostBytes;   // everything changing: every sample whole, as many as the cap holds
    long long stillBytes;  // nothing changing: the newest sample alone (0 when the cap holds none)
    double seconds;        // the exposure held when everything changes
    bool shortened;        // the cap holds fewer than fps x seconds + 1 whole samples
};

// The cost on a width x height screen of `fps` (at least 1) samples a second kept for
// `seconds`, within `capBytes`. A shortened exposure is (samples the cap holds - 1) / fps,
// never below 0; an empty screen costs nothing.
RetroCost retroCost(int width, int height, int fps, int seconds, long long capBytes);
