#include "capture/mouse_watch.h"

#include "core/settings.h"
#include "hook/hook_api.h"

namespace {

// At most 2^21 records (48 MB, 35 minutes at 1000 a second): a longer exposure keeps the
// newest of them.
const double kMostRecords = 2097152;
const double kRecordsPerSecond = 1000;

int watchedRecords = 0;  // the watch's capacity, 0 while off

int recordsFor(double seconds) {
    if (!settings.CLICK_MARKS && !settings.POINTER_PATH) return 0;
    const double records = (seconds + 1) * kRecordsPerSecond;
    return static_cast<int>(records < kMostRecords ? records : kMostRecords);
}

}  // namespace

void watchMouseFor(double seconds) {
    const int records = recordsFor(seconds);
    if (records == watchedRecords) return;
    if (records == 0) {
        stopMouseWatch();
        return;
    }
    watchedRecords = hookMouseWatch(records) ? records : 0;
}

void stopMouseWatch() {
    if (watchedRecords) hookMouseWatch(0);
    watchedRecords = 0;
}

bool mouseWatchInStep(double seconds) { return recordsFor(seconds) == watchedRecords; }
