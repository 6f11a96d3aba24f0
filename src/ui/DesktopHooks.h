// Where later parts of the toolkit join the desktop's loop and quit procedure. Each hook has
// one function, filled in by the part that owns the behaviour.
#pragma once

#include <cstdint>

namespace kq::ui {

// The exit question asked by an ordinary quit: true when the user confirms. Filled in by the
// dialogs (until then every quit is confirmed).
bool AskExitQuestion();

// The screen-saver trigger's points in the loop.
struct SaverHooks {
    // At the start of every run of the loop: choose the saver.
    void (*choose)() = nullptr;
    // After an idle wait.
    void (*idlePass)() = nullptr;
    // A key arrived: true when it stopped the saver (the key then reaches no window).
    bool (*takeKey)(uint32_t event) = nullptr;
    // How long the loop may wait for input while the saver runs or is about to start, in
    // milliseconds; -1 when the saver asks for nothing.
    int (*idleBudget)() = nullptr;
};
void SetSaverHooks(const SaverHooks& hooks);
// Milliseconds since the last key (or since the desktop opened or resumed), on the monotonic
// clock so that setting the system time neither starts nor stops the saver; INT64_MAX once
// ZScreenSaver has asked for the saver, until the next key.
int64_t DesktopIdleMilliseconds();
// A hidden desktop draws nothing to the console (the saver has the screen meanwhile).
void DesktopSetVisible(bool visible);

// The key bar's modifier update: every Shift, Ctrl and Alt press or release goes here first.
void SetKeyBarModifierHook(void (*update)(uint32_t event));

}  // namespace kq::ui
