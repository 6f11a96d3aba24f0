// The one recursive lock that guards the window tree. Every tree operation (create, destroy,
// show, activate, tick, refresh, move) holds it for its whole run, so worker threads may
// create, update and run windows while the UI thread dispatches keys.
#pragma once

#include <mutex>

namespace kq::ui {

std::recursive_mutex& WindowLock();

using WindowLockGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace kq::ui
