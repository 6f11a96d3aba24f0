// ZClock: hours and minutes of the local time, the colon shown on odd seconds only.
#include "ui/ZClock.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "kq/text.h"

namespace {

// The same precise clock the desktop's loop wakes by, just after each full second: time()
// reads a coarse clock that may still show the second before for a few milliseconds, and the
// colon then missed its change (seen on a kernel with a 4 ms tick).
int64_t SystemTime() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(now).count();
}

}  // namespace

ZClock::ZClock() : now_(SystemTime) {}

ZClock::ZClock(TimeSource now) : now_(now ? std::move(now) : TimeSource(SystemTime)) {}

int ZClock::Tick() {
    const int64_t now = now_();
    if (now > lastShown_) {
        lastShown_ = now;
        Redraw();
    }
    return ZWindow::Tick();
}

int ZClock::Draw() {
    FillCells(' ', ColGetPalette()[kColour]);
    if (Width() < kMinimumWidth || Height() < 1) return 0;
    const auto seconds = static_cast<std::time_t>(lastShown_);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return 0;
    char text[32];
    std::snprintf(text, sizeof text, local.tm_sec % 2 != 0 ? "%02d:%02d" : "%02d %02d",
                  local.tm_hour, local.tm_min);
    PutText(0, 0, text, ColGetPalette()[kColour]);
    return 0;
}
