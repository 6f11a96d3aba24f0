// ZProgressBar: the filled part, the percentage text and out-of-range values.
#include <string>

#include "ControlTestSupport.h"
#include "ui/ZProgressBar.h"

namespace kq::ui::testing {
namespace {

constexpr int kEmptyColour = 27;
constexpr int kFilledColour = 28;

using ProgressBarTest = ControlTest;

TEST_F(ProgressBarTest, FilledPartAndTextFollowThePercentage) {
    struct Case {
        int percent;
        std::string row;
        std::string filled;
    };
    // 20 columns: column c is filled when 5 * c <= percent.
    const Case cases[] = {
        {0, "[         0%       ]", "...................."},
        {50, "[         50%      ]", ".##########........."},
        {100, "[         100%     ]", ".##################."},
    };
    ZProgressBar bar;
    Place(bar, nullptr, 2, 1, 20, 1);
    for (const Case& step : cases) {
        SCOPED_TRACE(step.percent);
        EXPECT_EQ(bar.SetProgress(step.percent), step.percent);
        EXPECT_EQ(Row(2, 1, 20), step.row);
        std::string filled;
        for (int column = 0; column < 20; ++column) {
            filled += AttrAt(2 + column, 1) == Palette(kFilledColour) ? '#' : '.';
        }
        EXPECT_EQ(filled, step.filled);
        EXPECT_EQ(AttrAt(2, 1), Palette(kEmptyColour));
    }
}

TEST_F(ProgressBarTest, OutOfRangeValuesStoreZero) {
    ZProgressBar bar;
    Place(bar, nullptr, 2, 1, 20, 1);
    for (int value : {150, 101, -1}) {
        SCOPED_TRACE(value);
        bar.SetProgress(60);
        EXPECT_EQ(bar.SetProgress(value), 0);
        EXPECT_EQ(bar.GetProgress(), 0);
        EXPECT_EQ(Row(2, 1, 20), "[         0%       ]");
        EXPECT_NE(AttrAt(3, 1), Palette(kFilledColour));
    }
}

TEST_F(ProgressBarTest, TallBarFillsEveryRowAndWritesTheTextInTheMiddleRow) {
    ZProgressBar bar;
    Place(bar, nullptr, 2, 1, 10, 3);
    bar.SetProgress(40);
    EXPECT_EQ(Row(2, 1, 10), "[        ]");
    EXPECT_EQ(Row(2, 2, 10), "[    40% ]");
    EXPECT_EQ(Row(2, 3, 10), "[        ]");
    for (int y = 1; y <= 3; ++y) {
        EXPECT_EQ(AttrAt(2 + 4, y), Palette(kFilledColour)) << y;
        EXPECT_NE(AttrAt(2 + 5, y), Palette(kFilledColour)) << y;
    }
}

TEST_F(ProgressBarTest, NarrowBarHasNoText) {
    ZProgressBar bar;
    Place(bar, nullptr, 2, 1, 5, 1);
    bar.SetProgress(100);
    EXPECT_EQ(Row(2, 1, 5), "[   ]");
}

}  // namespace
}  // namespace kq::ui::testing
