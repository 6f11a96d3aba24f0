// ZStatic: word wrap, centring, long text, and the parent's colours under the label.
#include <string>

#include "ControlTestSupport.h"
#include "ui/ZStatic.h"

namespace kq::ui::testing {
namespace {

using LabelTest = ControlTest;

TEST_F(LabelTest, TextIsLaidOutOverTheArea) {
    struct Case {
        const char* name;
        const char* text;
        int width, height;
        uint32_t flags;
        const char* rows;  // joined by '|'
    };
    const Case cases[] = {
        {"a word reaching the last column moves", "hello world", 8, 2, 0, "hello   |world   "},
        {"a space may take the last column", "hello world", 6, 2, 0, "hello |world "},
        {"every last column stays blank", "a bb ccc dddd", 6, 3, 0, "a bb  |ccc   |dddd  "},
        {"centred on one row", "ab", 10, 1, WF_CENTER, "    ab    "},
        {"centred as a block over the area", "hi", 6, 3, WF_CENTER, "      |  hi  |      "},
        {"as long as the area: no wrapping", "abcdefghij", 5, 2, 0, "abcde|fghij"},
        {"longer than the area: from 0", "abcdefghijkl", 5, 2, WF_CENTER, "abcde|fghij"},
    };
    for (const Case& layout : cases) {
        SCOPED_TRACE(layout.name);
        ZStatic label;
        Place(label, layout.text, 2, 1, layout.width, layout.height, layout.flags);
        std::string shown;
        for (int y = 0; y < layout.height; ++y) {
            shown += (y > 0 ? "|" : "") + Row(2, 1 + y, layout.width);
        }
        EXPECT_EQ(shown, layout.rows);
        label.Destroy();
    }
}

// The wrap step used to walk back to a space forever for a word wider than a row, pushing it
// along until the area ran out, so the word never appeared.
TEST_F(LabelTest, WordWiderThanARowIsBrokenNotLost) {
    ZStatic label;
    Place(label, "abcdefgh", 2, 1, 4, 3);
    EXPECT_EQ(Row(2, 1, 4), "abc ");
    EXPECT_EQ(Row(2, 2, 4), "def ");
    EXPECT_EQ(Row(2, 3, 4), "gh  ");
}

TEST_F(LabelTest, WordAfterAWideWordStillWraps) {
    ZStatic label;
    Place(label, "abcdefg hi", 2, 1, 4, 4);
    EXPECT_EQ(Row(2, 1, 4), "abc ");
    EXPECT_EQ(Row(2, 2, 4), "def ");
    EXPECT_EQ(Row(2, 3, 4), "g   ");  // "hi" would reach the last column
    EXPECT_EQ(Row(2, 4, 4), "hi  ");
}

TEST_F(LabelTest, CellsTakeTheParentsColourUnderThem) {
    // The dialog is 40 wide: its colour changes at column 20.
    ZStatic label;
    Place(label, "across", 17, 3, 6, 1);
    EXPECT_EQ(Row(17, 3, 6), "across");
    for (int x = 17; x < 20; ++x) EXPECT_EQ(AttrAt(x, 3), Dialog::kLeftColour) << x;
    for (int x = 20; x < 23; ++x) EXPECT_EQ(AttrAt(x, 3), Dialog::kRightColour) << x;
}

TEST_F(LabelTest, CellsOnTheParentsFirstRowAndColumnTakeItsColourToo) {
    ZStatic label;
    Place(label, "corner", 0, 0, 6, 1);
    EXPECT_EQ(Row(0, 0, 6), "corner");
    for (int x = 0; x < 6; ++x) EXPECT_EQ(AttrAt(x, 0), Dialog::kLeftColour) << x;
}

TEST_F(LabelTest, NewTitleIsWrappedAgain) {
    ZStatic label;
    Place(label, "one", 2, 1, 8, 2);
    label.SetTitle("first second");
    EXPECT_EQ(Row(2, 1, 8), "first   ");
    EXPECT_EQ(Row(2, 2, 8), "second  ");
}

}  // namespace
}  // namespace kq::ui::testing
