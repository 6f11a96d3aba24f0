// The process-wide insert/overwrite switch.
#include "ui/OverwriteMode.h"

#include <atomic>

namespace kq::ui {
namespace {

// An int rather than a bool: std::atomic<bool> has no fetch_xor.
std::atomic<int> g_overwrite{0};

}  // namespace

bool OverwriteMode() {
    return g_overwrite.load() != 0;
}

void SetOverwriteMode(bool overwrite) {
    g_overwrite.store(overwrite ? 1 : 0);
}

bool ToggleOverwriteMode() {
    return g_overwrite.fetch_xor(1) == 0;
}

}  // namespace kq::ui
