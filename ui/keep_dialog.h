#pragma once
// The question asked when a file cannot take every sample of a capture while the samples
// are still held (template 125): how many it keeps, and whether to try again once there is
// room (the default), to save them somewhere else, or to give up the rest. Closing it
// another way (Esc) answers nothing: only the discard button gives samples up.
#include <windows.h>

// Asks; `reasonFormat` takes the samples in all and those the file keeps, in that order.
// Without `elsewhere` (the samples could not be read: another place would not help) that
// button is greyed. Returns IDRETRY, IDC_KEEP_ELSEWHERE or IDABORT (resources/resource.h).
int askKeepSamples(const char* reasonFormat, int total, int kept, bool elsewhere = true);
