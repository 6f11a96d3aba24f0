// The library's own screen saver: the falling characters, in plugin 0's three saver slots.
#pragma once

#include "kq/plugin.h"

extern "C" {
// Takes the screen's size, hides the cursor. Always 0.
int32_t ZPLUGIN_CALL InternalSaverLoad(void);
// Draws one frame with one console write, then lets 50 ms pass (the message frame stays 15 s
// longer). Keys wait meanwhile; signals and resizes do not. Always 0.
int32_t ZPLUGIN_CALL InternalSaverStep(void);
// Frees the frame's cells; the desktop's redraw brings the screen and the cursor back. Always 0.
int32_t ZPLUGIN_CALL InternalSaverUnload(void);
}
