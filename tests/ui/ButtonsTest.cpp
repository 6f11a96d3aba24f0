// ZButton, Z3State and ZCheckBox: drawing with hot keys and focus colours, the keys that press
// them, and the states of the boxes.
#include <string>
#include <vector>

#include "ui/ControlTestSupport.h"
#include "ui/Z3State.h"
#include "ui/ZButton.h"

namespace kq::ui::testing {
namespace {

constexpr int kButtonColour = 9;
constexpr int kButtonHotKey = 10;
constexpr int kFocusedButton = 11;
constexpr int kFocusedHotKey = 12;
constexpr int kBoxColour = 7;
constexpr int kBoxHotKey = 8;

using ButtonTest = ControlTest;

// The colours of the cells from x on row y, as palette indexes.
#define EXPECT_COLOURS(x, y, ...)                                                 \
    do {                                                                          \
        const std::vector<int> expected = {__VA_ARGS__};                          \
        for (size_t i = 0; i < expected.size(); ++i) {                            \
            EXPECT_EQ(AttrAt((x) + static_cast<int>(i), y), Colour(expected[i])) \
                << "column " << (x) + static_cast<int>(i);                        \
        }                                                                         \
    } while (false)

// The hot key is marked, the title centred between the brackets, and the colours follow the
// focus. The default button has hot-key coloured brackets.
TEST_F(ButtonTest, DrawingFollowsTheFocusAndTheDefault) {
    ZButton ok, cancel, yes;
    Place(ok, "~Ok", 2, 1, 8, 1);
    EXPECT_EQ(Row(2, 1, 8), "[  Ok  ]");
    EXPECT_COLOURS(2, 1, kFocusedButton, kFocusedButton, kFocusedButton, kFocusedHotKey,
                   kFocusedButton, kFocusedButton, kFocusedButton, kFocusedButton);
    Place(cancel, "~Cancel", 12, 1, 10, 1);
    EXPECT_COLOURS(5, 1, kButtonHotKey, kButtonColour);
    EXPECT_COLOURS(12, 1, kFocusedButton, kFocusedButton, kFocusedHotKey);
    ok.Activate(true);
    EXPECT_COLOURS(14, 1, kButtonHotKey, kButtonColour);
    Place(yes, "Yes", 2, 3, 7, 1, WF_DEFAULT);
    ok.Activate(true);
    EXPECT_EQ(Row(2, 3, 7), "[ Yes ]");
    EXPECT_COLOURS(2, 3, kButtonHotKey, kButtonColour, kButtonColour);
    EXPECT_COLOURS(8, 3, kButtonHotKey);
}

TEST_F(ButtonTest, TallButtonHasBracketsOnEveryRowAndTheTitleInTheMiddle) {
    ZButton button;
    Place(button, "go", 2, 1, 6, 3);
    EXPECT_EQ(Row(2, 1, 6) + "|" + Row(2, 2, 6) + "|" + Row(2, 3, 6), "[    ]|[ go ]|[    ]");
}

TEST_F(ButtonTest, EnterAndSpacePressTheButtonOtherKeysGoToTheOwner) {
    ZButton button;
    Place(button, "~Ok", 2, 1, 8, 1, 0, 42);
    Press({kEnter, CharKey(' '), CharKey('o'), kTab, kEsc});
    EXPECT_EQ(dialog.commands, (std::vector<int>{42, 42}));
    EXPECT_EQ(dialog.keys, (std::vector<uint32_t>{CharKey('o'), kTab, kEsc}));
    dialog.keyResult = 7;
    EXPECT_EQ(button.OnKey(Key(KC_F5)), 7);
    EXPECT_EQ(button.OnKey(kEnter), 0);
}

using CheckBoxTest = ControlTest;

TEST_F(CheckBoxTest, BoxShowsTheMarkTheTitleWithItsHotKeyAndTheCursorOnTheMark) {
    ZCheckBox box;
    Place(box, "~Case sensitive", 2, 1, 20, 1);
    EXPECT_EQ(Row(2, 1, 20), "[ ] Case sensitive  ");
    EXPECT_COLOURS(2, 1, kBoxColour, kBoxColour, kBoxColour, kBoxColour, kBoxHotKey, kBoxColour);
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
    EXPECT_EQ(check.GetState(), 1);
    EXPECT_EQ(three.GetState(), 0);
    EXPECT_EQ(dialog.commands, (std::vector<int>{7, 8, 7, 8, 7, 8}));
    EXPECT_EQ(statesSeen, (std::vector<int>{0, 0, 1, 1, 0, 2}));
    dialog.keyResult = 3;
    EXPECT_EQ(three.OnKey(CharKey('x')), 3);
    EXPECT_EQ(three.OnKey(kEnter), 3);
    EXPECT_EQ(three.GetState(), 0);
    EXPECT_EQ(dialog.commands.size(), 6u);
}

TEST_F(CheckBoxTest, SettersNormaliseTheState) {
    // Given, then the three-state box's and the check box's state.
    const int cases[][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 1}, {3, 1, 1}, {-1, 1, 1}};
    for (const auto& value : cases) {
        Z3State three;
        ZCheckBox check;
        EXPECT_EQ(three.SetState(value[0]), value[1]) << value[0];
        EXPECT_EQ(three.GetState(), value[1]) << value[0];
        // Through the three-state box's interface, as a dialog holding either kind would call.
        Z3State& asThree = check;
        EXPECT_EQ(asThree.SetState(value[0]), value[2]) << value[0];
        EXPECT_EQ(check.GetState(), value[2]) << value[0];
    }
    ZCheckBox check;
    EXPECT_EQ(check.SetCheck(true), 1);
    EXPECT_EQ(check.SetCheck(false), 0);
}

}  // namespace
}  // namespace kq::ui::testing
