// The clock on the in-memory console: hours and minutes of the injected time with the colon
// on odd seconds only, repainting only when the second changes, the background alone when it
// is too narrow, and ticking from the desktop's input loop.
#include <ctime>
#include <string>

#include "ui/MenuTestSupport.h"
#include "ui/ZClock.h"

namespace kq::ui::testing {
namespace {

// 2023-11-14 22:13:21 UTC: an odd second.
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

TEST_F(ClockTest, ColonIsShownOnOddSecondsOnly) {
    Open(clock, 72, 0, 6, 1);
    clock.Tick();
    EXPECT_EQ(console->Text(72, 0, 6), LocalTime(now, ':') + " ");
    EXPECT_EQ(console->Attr(72, 0), Colour(ZClock::kColour));
    EXPECT_EQ(console->Attr(77, 0), Colour(ZClock::kColour));
    ++now;
    clock.Tick();
    EXPECT_EQ(console->Text(72, 0, 5), LocalTime(now, ' '));
    ++now;
    clock.Tick();
    EXPECT_EQ(console->Text(72, 0, 5), LocalTime(now, ':'));
}

TEST_F(ClockTest, RepaintsOnlyWhenTheSecondChanges) {
    Open(clock, 72, 0, 6, 1);
    EXPECT_EQ(clock.LastShown(), 0);
    clock.Tick();
    const int draws = clock.draws;
    clock.Tick();
    now -= 5;  // the system clock set back: the clock keeps what it shows
    clock.Tick();
    EXPECT_EQ(clock.draws, draws);
    EXPECT_EQ(clock.LastShown(), kOddSecond);
    now = kOddSecond + 1;
    clock.Tick();
    EXPECT_EQ(clock.draws, draws + 1);
}

TEST_F(ClockTest, NarrowerThanSixColumnsShowsOnlyItsBackground) {
    Open(clock, 70, 0, 5, 1);
    clock.Tick();
    EXPECT_EQ(console->Text(70, 0, 5), "     ");
    EXPECT_EQ(console->Attr(70, 0), Colour(ZClock::kColour));
}

TEST_F(ClockTest, DesktopLoopTicksTheClock) {
    Open(clock, 72, 0, 6, 1);
    Press({});
    EXPECT_EQ(clock.LastShown(), kOddSecond);
    EXPECT_EQ(console->Text(72, 0, 5), LocalTime(now, ':'));
}

}  // namespace
}  // namespace kq::ui::testing
