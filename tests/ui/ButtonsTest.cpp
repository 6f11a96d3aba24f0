// ZButton, Z3State and ZCheckBox: drawing with hot keys and focus colours, the keys that press
// them, and the states of the boxes.
#include <string>
#include <vector>

#include "ControlTestSupport.h"
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

TEST_F(ButtonTest, HotKeyIsMarkedAndTheTitleCentredBetweenTheBrackets) {
    ZButton button;
    Place(button, "~Ok", 2, 1, 8, 1);
    EXPECT_EQ(Row(2, 1, 8), "[  Ok  ]");
    EXPECT_EQ(AttrAt(5, 1), Palette(kFocusedHotKey));  // O
    EXPECT_EQ(AttrAt(6, 1), Palette(kFocusedButton));  // k
    EXPECT_EQ(AttrAt(2, 1), Palette(kFocusedButton));  // [
    EXPECT_EQ(AttrAt(9, 1), Palette(kFocusedButton));  // ]
}

TEST_F(ButtonTest, ColoursFollowTheFocus) {
    ZButton ok, cancel;
    Place(ok, "~Ok", 2, 1, 8, 1);
    Place(cancel, "~Cancel", 12, 1, 10, 1);
    EXPECT_EQ(AttrAt(5, 1), Palette(kButtonHotKey));
    EXPECT_EQ(AttrAt(6, 1), Palette(kButtonColour));
    EXPECT_EQ(AttrAt(14, 1), Palette(kFocusedHotKey));
    ok.Activate(true);
    EXPECT_EQ(AttrAt(5, 1), Palette(kFocusedHotKey));
    EXPECT_EQ(AttrAt(6, 1), Palette(kFocusedButton));
    EXPECT_EQ(AttrAt(14, 1), Palette(kButtonHotKey));
    EXPECT_EQ(AttrAt(15, 1), Palette(kButtonColour));
}

TEST_F(ButtonTest, DefaultButtonHasHotKeyColouredBrackets) {
    ZButton other, button;
    Place(button, "Yes", 2, 1, 7, 1, WF_DEFAULT);
    Place(other, "No", 12, 1, 6, 1);
    EXPECT_EQ(Row(2, 1, 7), "[ Yes ]");
    EXPECT_EQ(AttrAt(2, 1), Palette(kButtonHotKey));
    EXPECT_EQ(AttrAt(8, 1), Palette(kButtonHotKey));
    EXPECT_EQ(AttrAt(4, 1), Palette(kButtonColour));
    EXPECT_EQ(AttrAt(12, 1), Palette(kFocusedButton));  // an ordinary button's bracket
}

TEST_F(ButtonTest, TallButtonHasBracketsOnEveryRowAndTheTitleInTheMiddle) {
    ZButton button;
    Place(button, "go", 2, 1, 6, 3);
    EXPECT_EQ(Row(2, 1, 6), "[    ]");
    EXPECT_EQ(Row(2, 2, 6), "[ go ]");  // inner 4 x 3: from position 6 - 1 = 5
    EXPECT_EQ(Row(2, 3, 6), "[    ]");
}

TEST_F(ButtonTest, EnterAndSpacePressTheButtonOtherKeysGoToTheOwner) {
    ZButton button;
    Place(button, "~Ok", 2, 1, 8, 1, 0, 42);
    Press({Key(KC_ENTER), CharKey(' '), CharKey('o'), Key(KC_TAB), Key(KC_ESC)});
    EXPECT_EQ(dialog.commands, (std::vector<int>{42, 42}));
    EXPECT_EQ(dialog.keys, (std::vector<uint32_t>{CharKey('o'), Key(KC_TAB), Key(KC_ESC)}));
}

TEST_F(ButtonTest, UnusedKeyReturnsTheOwnersResult) {
    ZButton button;
    Place(button, "Ok", 2, 1, 6, 1);
    dialog.keyResult = 7;
    EXPECT_EQ(button.OnKey(Key(KC_F5)), 7);
    EXPECT_EQ(button.OnKey(Key(KC_ENTER)), 0);
}

using CheckBoxTest = ControlTest;

TEST_F(CheckBoxTest, BoxShowsTheMarkAndTheTitleWithItsHotKey) {
    ZCheckBox box;
    Place(box, "~Case sensitive", 2, 1, 20, 1);
    EXPECT_EQ(Row(2, 1, 20), "[ ] Case sensitive  ");
    EXPECT_EQ(AttrAt(6, 1), Palette(kBoxHotKey));
    EXPECT_EQ(AttrAt(7, 1), Palette(kBoxColour));
    EXPECT_EQ(AttrAt(2, 1), Palette(kBoxColour));
    box.SetCheck(true);
    EXPECT_EQ(Row(2, 1, 3), "[x]");
}

TEST_F(CheckBoxTest, NarrowBoxesShowTheMarkOnly) {
    struct Case {
        int width;
        std::string row;
    };
    const Case cases[] = {{3, "[x]"}, {4, "[x] "}, {6, "[x] ab"}};
    for (const Case& narrow : cases) {
        SCOPED_TRACE(narrow.width);
        Z3State box;
        Place(box, "abc", 2, 1, narrow.width, 1);
        box.SetState(1);
        EXPECT_EQ(Row(2, 1, narrow.width), narrow.row);
        box.Destroy();
    }
    Z3State tooNarrow;
    Place(tooNarrow, "abc", 2, 1, 2, 1);
    EXPECT_EQ(tooNarrow.Draw(), -1);
}

TEST_F(CheckBoxTest, SpaceCyclesTheStates) {
    ZCheckBox check;
    Z3State three;
    Place(check, "two", 2, 1, 10, 1);
    Place(three, "three", 2, 2, 10, 1);
    struct Step {
        int checkState;
        const char* checkMark;
        int threeState;
        const char* threeMark;
    };
    const Step steps[] = {{1, "[x]", 1, "[x]"}, {0, "[ ]", 2, "[*]"}, {1, "[x]", 0, "[ ]"}};
    for (const Step& step : steps) {
        check.Activate(true);
        Press({CharKey(' ')});
        three.Activate(true);
        Press({CharKey(' ')});
        EXPECT_EQ(check.GetState(), step.checkState);
        EXPECT_EQ(Row(2, 1, 3), step.checkMark);
        EXPECT_EQ(three.GetState(), step.threeState);
        EXPECT_EQ(Row(2, 2, 3), step.threeMark);
    }
}

TEST_F(CheckBoxTest, OwnerHearsOfTheSpaceWhileTheStateIsStillTheOldOne) {
    ZCheckBox box;
    Place(box, "x", 2, 1, 10, 1, 0, 7);
    std::vector<int> statesSeen;
    dialog.onCommand = [&](int) { statesSeen.push_back(box.GetState()); };
    Press({CharKey(' '), CharKey(' ')});
    EXPECT_EQ(dialog.commands, (std::vector<int>{7, 7}));
    EXPECT_EQ(statesSeen, (std::vector<int>{0, 1}));
}

TEST_F(CheckBoxTest, KeysOtherThanSpaceGoToTheOwner) {
    Z3State box;
    Place(box, "x", 2, 1, 10, 1);
    dialog.keyResult = 3;
    EXPECT_EQ(box.OnKey(CharKey('x')), 3);
    EXPECT_EQ(box.OnKey(Key(KC_ENTER)), 3);
    EXPECT_EQ(box.GetState(), 0);
    EXPECT_TRUE(dialog.commands.empty());
}

TEST_F(CheckBoxTest, SettersNormaliseTheState) {
    struct Case {
        int given;
        int threeState;
        int checkState;
    };
    const Case cases[] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 1}, {3, 1, 1}, {-1, 1, 1}};
    for (const Case& value : cases) {
        SCOPED_TRACE(value.given);
        Z3State three;
        ZCheckBox check;
        EXPECT_EQ(three.SetState(value.given), value.threeState);
        EXPECT_EQ(three.GetState(), value.threeState);
        // Through the three-state box's interface, as a dialog holding either kind would call.
        Z3State& asThree = check;
        EXPECT_EQ(asThree.SetState(value.given), value.checkState);
        EXPECT_EQ(check.GetState(), value.checkState);
    }
    ZCheckBox check;
    EXPECT_EQ(check.SetCheck(true), 1);
    EXPECT_EQ(check.SetCheck(false), 0);
}

TEST_F(CheckBoxTest, CursorSitsOnTheMark) {
    ZCheckBox box;
    Place(box, "x", 2, 1, 10, 1);
    EXPECT_EQ(console->Cursor().x, kDialogX + 3);
    EXPECT_EQ(console->Cursor().y, kDialogY + 1);
    EXPECT_EQ(console->Cursor().size, 15);
}

}  // namespace
}  // namespace kq::ui::testing
