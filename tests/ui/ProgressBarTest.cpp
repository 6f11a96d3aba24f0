// ZProgressBar: the filled part, the percentage text and out-of-range values.
#include <string>

#include "ui/ControlTestSupport.h"
#include "ui/ZProgressBar.h"

namespace kq::ui::testing {
namespace {

constexpr int kEmptyColour = 27;
constexpr int kFilledColour = 28;

class ProgressBarTest : public ControlTest {
  protected:
    // '#' for every filled cell of row y from column 2.
    std::string Filled(int width, int y) const {
        std::string filled;
        for (int x = 0; x < width; ++x) {
            filled += AttrAt(2 + x, y) == Colour(kFilledColour) ? '#' : '.';
        }
        return filled;
    }
};

// 20 columns: column c is filled when 5 * c <= percent. Out-of-range values store zero.
TEST_F(ProgressBarTest, FilledPartAndTextFollowThePercentage) {
    const struct {
        int given, stored;
        const char* row;
        const char* filled;
    } cases[] = {
        {0, 0, "[         0%       ]", "...................."},
        {50, 50, "[         50%      ]", ".##########........."},
        {100, 100, "[         100%     ]", ".##################."},
        {150, 0, "[         0%       ]", "...................."},
        {101, 0, "[         0%       ]", "...................."},
        {-1, 0, "[         0%       ]", "...................."},
    };
    ZProgressBar bar;
    Place(bar, nullptr, 2, 1, 20, 1);
    for (const auto& c : cases) {
        bar.SetProgress(60);
        EXPECT_EQ(bar.SetProgress(c.given), c.stored);
        EXPECT_EQ(bar.GetProgress(), c.stored);
        EXPECT_EQ(Row(2, 1, 20), c.row);
        EXPECT_EQ(Filled(20, 1), c.filled) << c.given;
        EXPECT_EQ(AttrAt(2, 1), Colour(kEmptyColour));
    }
}

TEST_F(ProgressBarTest, TallBarsFillEveryRowWithTheTextInTheMiddleAndNarrowOnesHaveNone) {
    ZProgressBar bar, narrow;
    Place(bar, nullptr, 2, 1, 10, 3);
    bar.SetProgress(40);
    EXPECT_EQ(Row(2, 1, 10) + "|" + Row(2, 2, 10) + "|" + Row(2, 3, 10),
              "[        ]|[    40% ]|[        ]");
    for (int y = 1; y <= 3; ++y) EXPECT_EQ(Filled(10, y), ".####.....") << y;
    Place(narrow, nullptr, 2, 5, 5, 1);
    narrow.SetProgress(100);
    EXPECT_EQ(Row(2, 5, 5), "[   ]");
}

}  // namespace
}  // namespace kq::ui::testing
