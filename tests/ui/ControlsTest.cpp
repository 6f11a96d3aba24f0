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
        {"hello world", 8, 2, 0, "hello   |world   "},  // a word reaching the last column moves
        {"hello world", 6, 2, 0, "hello |world "},      // a space may take the last column
        {"ab", 10, 1, WF_CENTER, "    ab    "},
        {"hi", 6, 3, WF_CENTER, "      |  hi  |      "},   // centred as a block
        {"abcdefghij", 5, 2, 0, "abcde|fghij"},            // as long as the area
        {"abcdefghijkl", 5, 2, WF_CENTER, "abcde|fghij"},  // longer: from 0
        {"abcdefgh", 4, 3, 0, "abc |def |gh  "},           // wider than a row: broken
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

// 20 columns: column c is filled when 5 * c <= percent. Out-of-range values store zero.
TEST_F(ControlTest, ProgressBarFollowsThePercentage) {
    const struct {
        int given, stored;
        const char* row;
        const char* filled;
    } cases[] = {
        {50, 50, "[         50%      ]", ".##########........."},
        {100, 100, "[         100%     ]", ".##################."},
        {101, 0, "[         0%       ]", "...................."},
        {-1, 0, "[         0%       ]", "...................."},
    };
    // '#' for every cell of row y from column 2 in the filled colour (28).
    const auto Filled = [this](int width, int y) {
        std::string filled;
        for (const uint8_t attribute : Attrs(2, y, width)) {
            filled += attribute == Colour(28) ? '#' : '.';
        }
        return filled;
    };
    ZProgressBar bar, tall, narrow;
    Place(bar, nullptr, 2, 1, 20, 1);
    for (const auto& c : cases) {
        bar.SetProgress(60);
        EXPECT_EQ(bar.SetProgress(c.given), c.stored);
        EXPECT_EQ(Row(2, 1, 20), c.row);
        EXPECT_EQ(Filled(20, 1), c.filled) << c.given;
    }
    EXPECT_EQ(AttrAt(2, 1), Colour(27));
    // Tall bars fill every row with the text in the middle; narrow ones have no text.
    Place(tall, nullptr, 2, 3, 10, 3);
    tall.SetProgress(40);
    EXPECT_EQ(Row(2, 3, 10) + "|" + Row(2, 4, 10) + "|" + Row(2, 5, 10),
              "[        ]|[    40% ]|[        ]");
    for (int y = 3; y <= 5; ++y) EXPECT_EQ(Filled(10, y), ".####.....") << y;
    Place(narrow, nullptr, 2, 7, 5, 1);
    narrow.SetProgress(100);
    EXPECT_EQ(Row(2, 7, 5), "[   ]");
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
    dialog.keyResult = 7;
    EXPECT_EQ(button.OnKey(Key(KC_F5)), 7);
    EXPECT_EQ(button.OnKey(kEnter), 0);
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
    // Narrow boxes show the mark only; narrower ones nothing.
    for (const auto& [width, row] : {std::pair{3, "[x]"}, {4, "[x] "}, {6, "[x] ab"}}) {
        Z3State narrow;
        Place(narrow, "abc", 2, 3, width, 1);
        narrow.SetState(1);
        EXPECT_EQ(Row(2, 3, width), row);
        narrow.Destroy();
    }
    Z3State tooNarrow;
    Place(tooNarrow, "abc", 2, 3, 2, 1);
    EXPECT_EQ(tooNarrow.Draw(), -1);
}

// The owner hears of the space while the state is still the old one.
TEST_F(CheckBoxTest, SpaceCyclesTheStatesAndOtherKeysGoToTheOwner) {
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
    dialog.keyResult = 3;
    EXPECT_EQ(three.OnKey(CharKey('x')), 3);
    EXPECT_EQ(three.OnKey(kEnter), 3);
    EXPECT_EQ(three.GetState(), 0);
}

// Given, then the three-state box's and the check box's state (set through the three-state
// box's interface, as a dialog holding either kind would call).
TEST_F(CheckBoxTest, SettersNormaliseTheState) {
    const int cases[][3] = {{0, 0, 0}, {2, 2, 1}, {3, 1, 1}, {-1, 1, 1}};
    for (const auto& value : cases) {
        Z3State three;
        ZCheckBox check;
        Z3State& asThree = check;
        EXPECT_EQ(three.SetState(value[0]), value[1]);
        EXPECT_EQ(asThree.SetState(value[0]), value[2]);
        EXPECT_EQ(check.GetState(), value[2]);
    }
}

}  // namespace
}  // namespace kq::ui::testing
