// The clock on the in-memory console: hours and minutes of the injected time with the colon on
// odd seconds only, repainting only when the second changes, the background alone when it is
// too narrow, and ticking from the desktop's input loop.
#include <ctime>
#include <string>

#include "ui/ControlTestSupport.h"
#include "ui/ZClock.h"

namespace kq::ui::testing {
namespace {

constexpr int64_t kOddSecond = 1700000001;

// "hh:mm" or "hh mm" of the local time at seconds, as the clock must show it.
std::string LocalTime(int64_t seconds, char separator) {
    const auto value = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&value, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d%c%02d", local.tm_hour, separator, local.tm_min);
    return text;
}

class CountingClock : public ZClock {
  public:
    explicit CountingClock(TimeSource now) : ZClock(std::move(now)) {}
    int Draw() override {
        ++draws;
        return ZClock::Draw();
    }
    int draws = 0;
};

class ClockTest : public PaletteDesktopTest {
  protected:
    int64_t now = kOddSecond;
    CountingClock clock{[this] { return now; }};
};

// The desktop's loop ticks the clock; a second set back keeps what it shows.
TEST_F(ClockTest, ColonOnOddSecondsAndRepaintsOnlyWhenTheSecondChanges) {
    Open(clock, 72, 0, 6, 1);
    EXPECT_EQ(clock.LastShown(), 0);
    Press({});
    EXPECT_EQ(clock.LastShown(), kOddSecond);
    EXPECT_EQ(console->Text(72, 0, 6), LocalTime(now, ':') + " ");
    EXPECT_EQ(console->Attr(72, 0), Colour(ZClock::kColour));
    EXPECT_EQ(console->Attr(77, 0), Colour(ZClock::kColour));
    const int draws = clock.draws;
    clock.Tick();
    now -= 5;
    clock.Tick();
    EXPECT_EQ(clock.draws, draws);
    EXPECT_EQ(clock.LastShown(), kOddSecond);
    now = kOddSecond + 1;
    clock.Tick();
    EXPECT_EQ(clock.draws, draws + 1);
    EXPECT_EQ(console->Text(72, 0, 5), LocalTime(now, ' '));
    ++now;
    clock.Tick();
    EXPECT_EQ(console->Text(72, 0, 5), LocalTime(now, ':'));
}

TEST_F(ClockTest, NarrowerThanSixColumnsShowsOnlyItsBackground) {
    Open(clock, 70, 0, 5, 1);
    clock.Tick();
    EXPECT_EQ(console->Text(70, 0, 5), "     ");
    EXPECT_EQ(console->Attr(70, 0), Colour(ZClock::kColour));
}

}  // namespace
}  // namespace kq::ui::testing
