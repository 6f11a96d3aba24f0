// The local plugin's shared state and life cycle: FS_ZInitialise, FS_ZTerminate (with its
// question while jobs run), the running-jobs count and stop request, the drive-menu array and
// the key-bar labels.
#include <array>
#include <cstdlib>

#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "kq/resources.h"
#include "kq/window.h"
#include "kq/window_flags.h"
#include "localfs/LocalPlugin.h"

namespace kq::localfs {
namespace {

// One per process. Everything but the lock itself is read and written under the lock.
struct SharedState {
    KeHandle lock = 0;
    int32_t runningJobs = 0;
    bool stopRequest = false;
    PluginMenuItem* driveMenu = nullptr;
    int32_t driveMenuCount = 0;
    std::array<char*, 7> keyBar{};
};

SharedState& State() {
    static SharedState state;
    return state;
}

void FreeDriveMenu(SharedState& state) {
    if (state.driveMenu != nullptr) {
        for (int32_t i = 0; i < state.driveMenuCount; ++i) std::free(state.driveMenu[i].text);
        std::free(state.driveMenu);
    }
    state.driveMenu = nullptr;
    state.driveMenuCount = 0;
}

void FreeKeyBar(SharedState& state) {
    for (char*& label : state.keyBar) {
        if (label != nullptr) ResFreeString(label);
        label = nullptr;
    }
}

}  // namespace

void LockPlugin() {
    if (State().lock != 0) KeEnterCS(State().lock);
}

void UnlockPlugin() {
    if (State().lock != 0) KeLeaveCS(State().lock);
}

void JobStarted() {
    LockPlugin();
    ++State().runningJobs;
    UnlockPlugin();
}

void JobFinished() {
    LockPlugin();
    if (State().runningJobs > 0) --State().runningJobs;
    UnlockPlugin();
}

int32_t RunningJobs() {
    LockPlugin();
    const int32_t jobs = State().runningJobs;
    UnlockPlugin();
    return jobs;
}

bool StopRequested() {
    LockPlugin();
    const bool stop = State().stopRequest;
    UnlockPlugin();
    return stop;
}

void SetDriveMenu(PluginMenuItem* items, int32_t count) {
    LockPlugin();
    FreeDriveMenu(State());
    State().driveMenu = items;
    State().driveMenuCount = items != nullptr ? count : 0;
    UnlockPlugin();
}

uint32_t ZPLUGIN_CALL LocalGetFlags(PluginHandle /*handle*/) {
    return PLUGIN_FLAG_LOCAL_PATHS;
}

int32_t ZPLUGIN_CALL LocalGetKeyBar(const char** label1, const char** label2, const char** label3,
                                    const char** label4, const char** label5, const char** label6,
                                    const char** label7) {
    static constexpr std::array<int, 7> kIds = {
        IDS_KEYBAR_PANEL,         IDS_KEYBAR_PANEL_SHIFT,     IDS_KEYBAR_PANEL_ALT,
        IDS_KEYBAR_PANEL_CTRL,    IDS_KEYBAR_PANEL_ALT_SHIFT, IDS_KEYBAR_PANEL_CTRL_SHIFT,
        IDS_KEYBAR_PANEL_CTRL_ALT};
    const std::array<const char**, 7> out = {label1, label2, label3, label4,
                                             label5, label6, label7};
    LockPlugin();
    SharedState& state = State();
    FreeKeyBar(state);
    const KeHandle language = ResGetLanguage();
    for (size_t i = 0; i < kIds.size(); ++i) {
        state.keyBar[i] = language != 0 ? ResLoadString(language, kIds[i]) : nullptr;
        if (out[i] != nullptr) *out[i] = state.keyBar[i];
    }
    UnlockPlugin();
    return 0;
}

}  // namespace kq::localfs

using namespace kq::localfs;

extern "C" {

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZInitialise(PluginInfo* /*info*/, intptr_t /*reserved*/) {
    SharedState& state = State();
    state.runningJobs = 0;
    state.stopRequest = false;
    state.driveMenu = nullptr;
    state.driveMenuCount = 0;
    if (state.lock == 0) state.lock = KeInitCS();
    return 0;
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZTerminate(intptr_t /*reserved*/) {
    if (RunningJobs() > 0) {
        const KeHandle language = ResGetLanguage();
        char* text = language != 0 ? ResLoadString(language, IDS_STOP_JOBS) : nullptr;
        const int answer =
            ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 68, 6), nullptr,
                        text != nullptr ? text : "", 64 | 128, 64, WF_DEFAULT | WF_BEEP);
        if (text != nullptr) ResFreeString(text);
        // The user keeps the jobs: nothing changes and the host stops unloading.
        if (answer == 128) return 1;
    }
    LockPlugin();
    State().stopRequest = true;
    UnlockPlugin();
    // Jobs already past their last look at the stop request finish on their own; poll.
    while (RunningJobs() > 0) KeSleep(1);
    SharedState& state = State();
    if (state.lock != 0) KeFreeCS(state.lock);
    state.lock = 0;
    FreeDriveMenu(state);
    FreeKeyBar(state);
    return 0;
}

}  // extern "C"
