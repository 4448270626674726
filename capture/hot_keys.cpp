#include "capture/hot_keys.h"

#include "core/settings.h"
#include "hook/hook_api.h"

void armHotKeys() {
    hookSetShotKey(settings.KEY_CODE);
    hookSetStartKey(settings.KEY_CODE2);
    hookSetStopKey(settings.KEY_CODE3);
    hookSetRetroKey(settings.RETRO ? settings.KEY_CODE4 : 0);
    hookSetRegionKey(settings.KEY_CODE5);
    hookSetSwallow(settings.CALLBACK_OP);
    clearHotKeyLatches();
}

void clearHotKeyLatches() {
    hookSetShotPressed(0);
    hookSetStartPressed(0);
    hookSetStopPressed(0);
    hookSetRetroPressed(0);
    hookSetRegionPressed(0);
}
