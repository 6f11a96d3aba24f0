// ZStatic, ZProgressBar, ZButton, Z3State and ZCheckBox on the in-memory console.
#include <string>
#include <vector>

#include "ui/ControlTestSupport.h"
#include "ui/Z3State.h"
#include "ui/ZButton.h"
#include "ui/ZProgressBar.h"
#include "ui/ZStatic.h"

namespace kq::ui::testing {
namespace {

using LabelTest = ControlTest;
using ButtonTest = ControlTest;
using CheckBoxTest = ControlTest;

// Regression: the wrap step used to walk back to a space forever for a word wider than a row,
// pushing it along until the area ran out, so the word never appeared.
TEST_F(LabelTest, TextIsLaidOutOverTheAreaInTheParentsColours) {
    const struct {
        const char* text;
        int width, height;
        uint32_t flags;
        const char* rows;  // joined by '|'
    } cases[] = {
        {"hello world", 8, 2, 0, "hello   |world   "},    // a word reaching the last column moves
        {"hi", 6, 3, WF_CENTER, "      |  hi  |      "},  // centred as a block
        {"abcdefgh", 4, 3, 0, "abc |def |gh  "},          // wider than a row: broken
    };
    for (const auto& c : cases) {
        ZStatic label;
        Place(label, c.text, 2, 1, c.width, c.height, c.flags);
        std::string shown;
        for (int y = 0; y < c.height; ++y) shown += (y > 0 ? "|" : "") + Row(2, 1 + y, c.width);
        EXPECT_EQ(shown, c.rows) << c.text;
        label.Destroy();
    }
    // Cells take the parent's colour under them: the dialog is 40 wide, its colour changes at
    // column 20; its first row and column count too.
    ZStatic across, corner;
    Place(across, "across", 17, 3, 6, 1);
    Place(corner, "corner", 0, 0, 6, 1);
    EXPECT_EQ(Row(17, 3, 6) + Row(0, 0, 6), "acrosscorner");
    const uint8_t l = Dialog::kLeftColour, r = Dialog::kRightColour;
    EXPECT_EQ(Attrs(17, 3, 6), (std::vector<uint8_t>{l, l, l, r, r, r}));
    EXPECT_EQ(Attrs(0, 0, 6), std::vector<uint8_t>(6, l));
}

// 20 columns: column c is filled when 5 * c <= percent.
TEST_F(ControlTest, ProgressBarFollowsThePercentage) {
    ZProgressBar bar;
    Place(bar, nullptr, 2, 1, 20, 1);
    EXPECT_EQ(bar.SetProgress(50), 50);
    EXPECT_EQ(Row(2, 1, 20), "[         50%      ]");
    std::string filled;
    for (const uint8_t attribute : Attrs(2, 1, 20)) filled += attribute == Colour(28) ? '#' : '.';
    EXPECT_EQ(filled, ".##########.........");
    EXPECT_EQ(AttrAt(2, 1), Colour(27));
}

// Palette colours of buttons: 9 plain, 10 hot key, 11 focused, 12 focused hot key.
// The hot key is marked, the title centred between the brackets, and the colours follow the
// focus. The default button has hot-key coloured brackets; tall buttons bracket every row.
TEST_F(ButtonTest, DrawingFollowsTheFocusAndTheDefaultAndEnterOrSpacePresses) {
    ZButton ok, cancel, yes, tall;
    Place(ok, "~Ok", 2, 1, 8, 1);
    EXPECT_EQ(Row(2, 1, 8), "[  Ok  ]");
    EXPECT_EQ(Attrs(2, 1, 8), Colours({11, 11, 11, 12, 11, 11, 11, 11}));
    Place(cancel, "~Cancel", 12, 1, 10, 1);
    EXPECT_EQ(Attrs(5, 1, 2), Colours({10, 9}));
    EXPECT_EQ(Attrs(12, 1, 3), Colours({11, 11, 12}));
    ok.Activate(true);
    EXPECT_EQ(Attrs(14, 1, 2), Colours({10, 9}));
    Place(yes, "Yes", 2, 3, 7, 1, WF_DEFAULT);
    ok.Activate(true);
    EXPECT_EQ(Row(2, 3, 7), "[ Yes ]");
    EXPECT_EQ(Attrs(2, 3, 7), Colours({10, 9, 9, 9, 9, 9, 10}));
    Place(tall, "go", 2, 5, 6, 3);
    EXPECT_EQ(Row(2, 5, 6) + "|" + Row(2, 6, 6) + "|" + Row(2, 7, 6), "[    ]|[ go ]|[    ]");
    // Enter and Space press the button; other keys go to the owner.
    ZButton button;
    Place(button, "~Ok", 2, 1, 8, 1, 0, 42);
    Press({kEnter, CharKey(' '), CharKey('o'), kTab, kEsc});
    EXPECT_EQ(dialog.commands, (std::vector<int>{42, 42}));
    EXPECT_EQ(dialog.keys, (std::vector<uint32_t>{CharKey('o'), kTab, kEsc}));
}

// Boxes are drawn in palette colours 7, with the hot key in 8.
TEST_F(CheckBoxTest, BoxShowsTheMarkTheTitleWithItsHotKeyAndTheCursorOnTheMark) {
    ZCheckBox box;
    Place(box, "~Case sensitive", 2, 1, 20, 1);
    EXPECT_EQ(Row(2, 1, 20), "[ ] Case sensitive  ");
    EXPECT_EQ(Attrs(2, 1, 6), Colours({7, 7, 7, 7, 8, 7}));
    EXPECT_EQ(std::make_tuple(console->Cursor().x, console->Cursor().y, console->Cursor().size),
              std::make_tuple(kDialogX + 3, kDialogY + 1, 15));
    box.SetCheck(true);
    EXPECT_EQ(box.Draw(), 0);
    EXPECT_EQ(Row(2, 1, 3), "[x]");
}

// The owner hears of the space while the state is still the old one.
TEST_F(CheckBoxTest, SpaceCyclesTheStatesAndTellsTheOwnerFirst) {
    ZCheckBox check;
    Z3State three;
    Place(check, "two", 2, 1, 10, 1, 0, 7);
    Place(three, "three", 2, 2, 10, 1, 0, 8);
    std::vector<int> statesSeen;
    dialog.onCommand = [&](int id) { statesSeen.push_back((id == 7 ? check : three).GetState()); };
    const char* const marks[][2] = {{"[x]", "[x]"}, {"[ ]", "[*]"}, {"[x]", "[ ]"}};
    for (const auto& mark : marks) {
        check.Activate(true);
        Press({CharKey(' ')});
        three.Activate(true);
        Press({CharKey(' ')});
        EXPECT_EQ(Row(2, 1, 3) + Row(2, 2, 3), std::string(mark[0]) + mark[1]);
    }
    EXPECT_EQ(dialog.commands, (std::vector<int>{7, 8, 7, 8, 7, 8}));
    EXPECT_EQ(statesSeen, (std::vector<int>{0, 0, 1, 1, 0, 2}));
}

}  // namespace
}  // namespace kq::ui::testing
