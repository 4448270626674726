#include "capture/retro_capture.h"

#include <climits>

#include "core/app_state.h"
#include "core/gdi_guards.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/texts.h"
#include "capture/mouse_watch.h"
#include "capture/pointer.h"
#include "capture/retro_ring.h"
#include "capture/slot_pool.h"

namespace {

bool running = false;
int ringRate = 0;        // the RETRO_FPS the running ring samples at
int captionSeconds = 0;  // the RETRO_TIME the caption names
long long nextSampleTicks = 0;
bool toldShortened = false;  // the user learns once that the ring cannot keep what was asked

long long retroCapBytes() { return static_cast<long long>(settings.RETRO_MB) * 1024 * 1024; }

// The ring could not keep a sample: it starts again, and the user learns it once.
void restartShort() {
    const int w = ringWidth(), h = ringHeight();
    ringStop();
    running = ringStart(w, h);
    if (!toldShortened) {
        toldShortened = true;
        showMessage(mainWindow, uiText(Text::RetroShortMessage), uiText(Text::ErrorTitle));
    }
}

}  // namespace

void retroFollowSettings(bool restart) {
    const bool wanted = settings.RETRO != 0 && usableSlot(captureSlot) != nullptr;
    const int w = virtualScreenWidth(), h = virtualScreenHeight();
    if (!wanted) {
        retroStop();
        return;
    }
    if (running && !restart && ringWidth() == w && ringHeight() == h && ringRate == settings.RETRO_FPS) {
        watchMouseFor(settings.RETRO_TIME);
        return;
    }
    ringStop();
    running = ringStart(w, h);
    ringRate = settings.RETRO_FPS;
    nextSampleTicks = 0;
    // The ring draws the pointer for hours: what is known of shapes starts afresh with it.
    forgetPointerShapes();
    if (running) watchMouseFor(settings.RETRO_TIME);
    if (!running && !toldShortened) {
        toldShortened = true;
        showMessage(mainWindow, uiText(Text::RetroShortMessage), uiText(Text::ErrorTitle));
    }
}

void retroStop() {
    ringStop();
    stopMouseWatch();
    running = false;
}

bool retroInStep() {
    if ((settings.RETRO != 0) != running) return false;
    return !running || (ringRate == settings.RETRO_FPS && captionSeconds == settings.RETRO_TIME &&
                        mouseWatchInStep(settings.RETRO_TIME));
}

bool retroRunning() { return running; }

int retroTicksUntilSample(long long nowTicks) {
    if (!running) return INT_MAX;
    const long long left = nextSampleTicks - nowTicks;
    return left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

void retroTakeSample(long long nowTicks) {
    BitmapSlot* slot = usableSlot(captureSlot);
    const int interval = 10000 / (settings.RETRO_FPS < 1 ? 1 : settings.RETRO_FPS);
    // Late by more than an interval (a dialog held the program): the next one is due from now.
    nextSampleTicks = nextSampleTicks + interval > nowTicks ? nextSampleTicks + interval : nowTicks + interval;
    if (!running || !slot || slot->width < ringWidth() || slot->height < ringHeight()) return;
    {
        WindowDc screen(GetDesktopWindow());
        Selected into(workDC, slot->bitmap);
        BitBlt(workDC, 0, 0, ringWidth(), ringHeight(), screen, VirtualScreenRect.left, VirtualScreenRect.top, SRCCOPY);
        if (settings.CURSOR_CAPTURE) drawPointer(workDC, VirtualScreenRect);
    }
    GdiFlush();
    if (!ringPush(slot->bits, slot->stride, nowTicks)) {
        restartShort();
        return;
    }
    const long long wanted = static_cast<long long>(settings.RETRO_TIME) * settings.RETRO_FPS;
    ringTrim(wanted > INT_MAX ? INT_MAX : static_cast<int>(wanted), retroCapBytes());
}

void retroDropStale(long long nowTicks) {
    if (running) ringDropBefore(nowTicks - static_cast<long long>(settings.RETRO_TIME) * 10000);
}

void setReadyCaption() {
    if (running) {
        captionSeconds = settings.RETRO_TIME;
        setCaption(uiText(Text::CaptionRetro), settings.RETRO_TIME);
    } else {
        setCaption(uiText(Text::CaptionReady));
    }
}
