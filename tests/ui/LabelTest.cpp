// ZStatic: word wrap, centring, long text, and the parent's colours under the label.
#include <string>

#include "ui/ControlTestSupport.h"
#include "ui/ZStatic.h"

namespace kq::ui::testing {
namespace {

using LabelTest = ControlTest;

// Regression: the wrap step used to walk back to a space forever for a word wider than a row,
// pushing it along until the area ran out, so the word never appeared.
TEST_F(LabelTest, TextIsLaidOutOverTheArea) {
    const struct {
        const char* text;
        int width, height;
        uint32_t flags;
        const char* rows;  // joined by '|'
    } cases[] = {
        {"hello world", 8, 2, 0, "hello   |world   "},  // a word reaching the last column moves
        {"hello world", 6, 2, 0, "hello |world "},      // a space may take the last column
        {"a bb ccc dddd", 6, 3, 0, "a bb  |ccc   |dddd  "},
        {"ab", 10, 1, WF_CENTER, "    ab    "},
        {"hi", 6, 3, WF_CENTER, "      |  hi  |      "},  // centred as a block
        {"abcdefghij", 5, 2, 0, "abcde|fghij"},             // as long as the area
        {"abcdefghijkl", 5, 2, WF_CENTER, "abcde|fghij"},   // longer: from 0
        {"abcdefgh", 4, 3, 0, "abc |def |gh  "},            // wider than a row: broken
        {"abcdefg hi", 4, 4, 0, "abc |def |g   |hi  "},
    };
    for (const auto& c : cases) {
        ZStatic label;
        Place(label, c.text, 2, 1, c.width, c.height, c.flags);
        std::string shown;
        for (int y = 0; y < c.height; ++y) shown += (y > 0 ? "|" : "") + Row(2, 1 + y, c.width);
        EXPECT_EQ(shown, c.rows) << c.text;
        label.Destroy();
    }
    ZStatic label;
    Place(label, "one", 2, 1, 8, 2);
    label.SetTitle("first second");
    EXPECT_EQ(Row(2, 1, 8) + "|" + Row(2, 2, 8), "first   |second  ");
}

// The dialog is 40 wide: its colour changes at column 20; its first row and column count too.
TEST_F(LabelTest, CellsTakeTheParentsColourUnderThem) {
    ZStatic across, corner;
    Place(across, "across", 17, 3, 6, 1);
    Place(corner, "corner", 0, 0, 6, 1);
    EXPECT_EQ(Row(17, 3, 6) + Row(0, 0, 6), "acrosscorner");
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(AttrAt(17 + x, 3), x < 3 ? Dialog::kLeftColour : Dialog::kRightColour) << x;
        EXPECT_EQ(AttrAt(x, 0), Dialog::kLeftColour) << x;
    }
}

}  // namespace
}  // namespace kq::ui::testing
