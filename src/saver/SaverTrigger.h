// When the screen saver runs: after "SaverActive" and "SaverTime" (section "Main") allow it and
// no key has come for longer than the idle time, or at once after ZScreenSaver; until the next
// key, which reaches no window. The saver is the first plugin's whose step entry point is
// present, chosen at the start of every run of the desktop's loop.
#pragma once

#include <cstdint>

#include "kq/plugin.h"

namespace kq::saver {

struct SaverSettings {
    uint32_t active = 1;     // 0: never
    uint32_t seconds = 120;  // idle time before it starts
};

// Whether an idle pass starts the saver: there is one, it is allowed, and the time without a
// key (on the monotonic clock) is longer than the setting.
bool SaverDue(bool haveSaver, SaverSettings settings, int64_t idleMs);
// How long the loop may wait for a key before the next idle pass is due for the saver, in
// milliseconds; -1 when it asks for nothing.
int SaverIdleBudget(bool running, bool haveSaver, SaverSettings settings, int64_t idleMs);

// Joins the trigger to the desktop's loop; records come from getRecord (PluginGet).
void InstallSaverTrigger(int (*getRecord)(int32_t number, PluginEntry* entry));
// Stops a running saver (the desktop is shown again) and leaves the loop alone.
void RemoveSaverTrigger();

}  // namespace kq::saver
