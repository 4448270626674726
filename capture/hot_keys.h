#pragma once
// The hot keys, watched by the keyboard-hook library: which keys it latches and
// whether it keeps them from other programs come from the settings; the latches are
// polled by the capture step and cleared where a press must start nothing.

// Gives the hook library the configured keys and the swallow option, and clears its
// latches, so that presses made before (under a dialog, during start-up) start nothing.
void armHotKeys();

// Clears the latches of every key.
void clearHotKeyLatches();
