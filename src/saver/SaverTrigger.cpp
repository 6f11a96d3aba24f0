// The screen-saver trigger's hooks in the desktop's loop. All of it runs on the UI thread.
#include "saver/SaverTrigger.h"

#include <algorithm>
#include <climits>

#include "console/Console.h"
#include "kq/config.h"
#include "kq/window.h"
#include "ui/DesktopHooks.h"

namespace kq::saver {

bool SaverDue(bool haveSaver, SaverSettings settings, int64_t idleMs) {
    return haveSaver && settings.active != 0 && idleMs > int64_t{settings.seconds} * 1000;
}

int SaverIdleBudget(bool running, bool haveSaver, SaverSettings settings, int64_t idleMs) {
    if (running) return 0;
    if (!haveSaver || settings.active == 0) return -1;
    const int64_t left = int64_t{settings.seconds} * 1000 + 1 - idleMs;
    return static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
}

namespace {

struct TriggerState {
    int (*getRecord)(int32_t, PluginEntry*) = nullptr;
    PluginSaverFn load = nullptr;
    PluginSaverFn unload = nullptr;
    PluginSaverFn step = nullptr;
    bool running = false;
    // The screen size the running saver was loaded for.
    int16_t width = 0;
    int16_t height = 0;
    // As the last idle pass read them; the budget between passes uses these.
    SaverSettings settings;
};

TriggerState& Trigger() {
    static TriggerState state;
    return state;
}

SaverSettings ReadSettings() {
    SaverSettings settings;
    if (const CfgSection main = CfgOpen("Main")) {
        uint32_t value = 0;
        if (CfgQueryDw(main, "SaverActive", &value) == 0) settings.active = value;
        if (CfgQueryDw(main, "SaverTime", &value) == 0) settings.seconds = value;
        CfgClose(main);
    }
    return settings;
}

void LoadSaver(TriggerState& state) {
    if (ConGetSize(&state.width, &state.height) != 0) state.width = state.height = 0;
    if (state.load) state.load();
}

void StopSaver(TriggerState& state) {
    state.running = false;
    if (state.unload) state.unload();
    kq::ui::DesktopSetVisible(true);
    ZDesktop::RedrawAll();
}

void Choose() {
    TriggerState& state = Trigger();
    // A loop that starts while the saver runs (a worker's message) keeps that saver.
    if (state.running) return;
    state.load = state.unload = state.step = nullptr;
    PluginEntry entry{};
    for (int32_t number = 0; state.getRecord && state.getRecord(number, &entry) == 0; ++number) {
        if (entry.ZSaverStep != nullptr) {
            state.load = entry.ZSaverLoad;
            state.unload = entry.ZSaverUnload;
            state.step = entry.ZSaverStep;
            break;
        }
    }
    state.settings = ReadSettings();
}

void IdlePass() {
    TriggerState& state = Trigger();
    if (state.running) {
        // After a resize the saver starts again for the new size rather than draw for the old.
        int16_t width = 0;
        int16_t height = 0;
        if (ConGetSize(&width, &height) == 0 && (width != state.width || height != state.height)) {
            if (state.unload) state.unload();
            LoadSaver(state);
        }
        state.step();
        return;
    }
    state.settings = ReadSettings();
    if (!SaverDue(state.step != nullptr, state.settings, kq::ui::DesktopIdleMilliseconds())) return;
    kq::ui::DesktopSetVisible(false);
    state.running = true;
    LoadSaver(state);
}

bool TakeKey(uint32_t /*event*/) {
    TriggerState& state = Trigger();
    if (!state.running) return false;
    StopSaver(state);
    return true;
}

int IdleBudget() {
    const TriggerState& state = Trigger();
    return SaverIdleBudget(state.running, state.step != nullptr, state.settings,
                           kq::ui::DesktopIdleMilliseconds());
}

}  // namespace

void InstallSaverTrigger(int (*getRecord)(int32_t number, PluginEntry* entry)) {
    Trigger().getRecord = getRecord;
    kq::ui::SaverHooks hooks;
    hooks.choose = Choose;
    hooks.idlePass = IdlePass;
    hooks.takeKey = TakeKey;
    hooks.idleBudget = IdleBudget;
    kq::ui::SetSaverHooks(hooks);
}

void RemoveSaverTrigger() {
    TriggerState& state = Trigger();
    if (state.running) StopSaver(state);
    kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    state = TriggerState{};
}

}  // namespace kq::saver
