// The clock: a small window showing hours and minutes with a colon that blinks once a second.
// It repaints itself from Tick, and only when the second has changed since it last drew.
#pragma once

#include <cstdint>
#include <functional>

#include "kq/window.h"

class ZClock : public ZWindow {
  public:
    // Seconds since the epoch.
    using TimeSource = std::function<int64_t()>;

    // Palette entry of the clock.
    static constexpr int kColour = 26;
    // "hh:mm" and a blank: narrower clocks show only their background.
    static constexpr int kMinimumWidth = 6;

    // The clock reads the system time; tests give it a time source of their own.
    ZClock();
    explicit ZClock(TimeSource now);

    int Tick() override;
    int Draw() override;

    // The time the clock shows (0 until its first Tick).
    int64_t LastShown() const { return lastShown_; }

  private:
    TimeSource now_;
    int64_t lastShown_ = 0;
};
