// The list panel's cursor keys on a file panel of 40 files: limits, pages, panel columns, the
// keypad with and without Num Lock, modifiers, releases and the repaint of the cursor bar.
#include <cstdio>

#include "panels/PanelKeysTestSupport.h"

namespace kq::panels::testing {
namespace {

class ListPanelKeysTest : public PanelTest {
  protected:
    static constexpr int kRows = 40;
    // Height 20: one information row, the titles and three lines leave 15 rows per column.
    static constexpr int kPerColumn = 15;

    void SetUp() override {
        PanelTest::SetUp();
        for (int i = 0; i < kRows; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "f%02d", i);
            Fake().items.push_back(File(name));
        }
        OpenPanel(panel, 0, 1, 40, 20);
        host.active = &panel;
        ASSERT_EQ(panel.RowCount(), kRows);
        ASSERT_EQ(panel.RowsPerColumn(), kPerColumn);
    }

    // Moves the cursor to row first, then presses the key; the cursor afterwards.
    int After(int start, uint32_t key) {
        panel.SetCurrentRow(start);
        EXPECT_EQ(panel.OnKey(key), 0) << std::hex << key;
        return panel.Cursor();
    }

    ZFilePanel panel;
};

TEST_F(ListPanelKeysTest, UpDownHomeEndStayInsideTheTable) {
    const struct {
        int start;
        uint32_t key;
        int expected;
    } cases[] = {
        {0, Pressed(KC_UP), 0},
        {5, Pressed(KC_UP), 4},
        {5, Pressed(KC_DOWN), 6},
        {kRows - 1, Pressed(KC_DOWN), kRows - 1},
        {17, Pressed(KC_HOME), 0},
        {3, Pressed(KC_END), kRows - 1},
        {0, Pressed(KC_PGDN), 14},
        {14, Pressed(KC_PGDN), 28},
        {30, Pressed(KC_PGDN), kRows - 1},
        {39, Pressed(KC_PGUP), 25},
        {10, Pressed(KC_PGUP), 0},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(After(entry.start, entry.key), entry.expected)
            << "from " << entry.start << " key " << std::hex << entry.key;
    }
}

TEST_F(ListPanelKeysTest, TwoPanelColumnsMakeThePageTwiceAsLong) {
    panel.SetPanelColumns(2);
    EXPECT_EQ(After(0, Pressed(KC_PGDN)), 2 * kPerColumn - 1);
    EXPECT_EQ(After(35, Pressed(KC_PGUP)), 35 - (2 * kPerColumn - 1));
}

TEST_F(ListPanelKeysTest, RightAndLeftMoveByOnePanelColumnAndTheViewFollows) {
    panel.SetPanelColumns(2);
    EXPECT_EQ(After(0, Pressed(KC_RIGHT)), 15);
    EXPECT_EQ(panel.Top(), 0);
    // Row 30 is beyond the two shown columns (0-29): the view moves on by one column.
    EXPECT_EQ(panel.OnKey(Pressed(KC_RIGHT)), 0);
    EXPECT_EQ(panel.Cursor(), 30);
    EXPECT_EQ(panel.Top(), 15);
    // Limited to the last row.
    EXPECT_EQ(panel.OnKey(Pressed(KC_RIGHT)), 0);
    EXPECT_EQ(panel.Cursor(), kRows - 1);

    panel.SetCurrentRow(30);
    ASSERT_EQ(panel.Top(), 15);
    EXPECT_EQ(panel.OnKey(Pressed(KC_LEFT)), 0);
    EXPECT_EQ(panel.Cursor(), 15);
    EXPECT_EQ(panel.Top(), 15);
    // Row 0 is above the view: it moves back by one column.
    EXPECT_EQ(panel.OnKey(Pressed(KC_LEFT)), 0);
    EXPECT_EQ(panel.Cursor(), 0);
    EXPECT_EQ(panel.Top(), 0);
    // Within the first column's rows Left goes to the first row.
    EXPECT_EQ(After(7, Pressed(KC_LEFT)), 0);
    EXPECT_EQ(After(0, Pressed(KC_LEFT)), 0);
}

TEST_F(ListPanelKeysTest, OneColumnLeftAndRightMoveByTheColumnsRows) {
    EXPECT_EQ(After(3, Pressed(KC_RIGHT)), 3 + kPerColumn);
    EXPECT_EQ(After(20, Pressed(KC_LEFT)), 20 - kPerColumn);
    EXPECT_EQ(After(14, Pressed(KC_LEFT)), 0);
}

TEST_F(ListPanelKeysTest, KeypadDigitsMoveOnlyWithoutACharacter) {
    const struct {
        uint32_t keypad;
        uint32_t key;
        char digit;
    } pairs[] = {
        {KC_NUM8, KC_UP, '8'},   {KC_NUM2, KC_DOWN, '2'},  {KC_NUM7, KC_HOME, '7'},
        {KC_NUM1, KC_END, '1'},  {KC_NUM9, KC_PGUP, '9'},  {KC_NUM3, KC_PGDN, '3'},
        {KC_NUM4, KC_LEFT, '4'}, {KC_NUM6, KC_RIGHT, '6'},
    };
    for (const auto& pair : pairs) {
        const int expected = After(20, Pressed(pair.key));
        EXPECT_EQ(After(20, Pressed(pair.keypad)), expected) << pair.digit;
        // Num Lock on: the key types its digit and stays the command line's.
        panel.SetCurrentRow(20);
        EXPECT_EQ(panel.OnKey(Pressed(pair.keypad, static_cast<uint8_t>(pair.digit))), 1)
            << pair.digit;
        EXPECT_EQ(panel.Cursor(), 20) << pair.digit;
    }
}

TEST_F(ListPanelKeysTest, ModifiedKeysReleasesAndOtherKeysAreNotUsed) {
    const uint32_t unused[] = {
        Pressed(KC_DOWN, 0, KF_LALT),
        Pressed(KC_DOWN, 0, KF_RCTRL),
        Pressed(KC_END, 0, KF_LCTRL),
        Pressed(KC_HOME, 0, KF_SHIFT),
        Pressed(KC_PGDN, 0, KF_RALT),
        KEY_EVENT(KC_DOWN, 0, 0),
        KEY_EVENT(KC_END, 0, 0),
        Pressed(KC_F12),
        Pressed('a', 'a'),
        Pressed(KC_SPACE, ' '),
    };
    for (const uint32_t key : unused) {
        panel.SetCurrentRow(5);
        EXPECT_EQ(panel.ZListPanel::OnKey(key), 1) << std::hex << key;
        EXPECT_EQ(panel.Cursor(), 5) << std::hex << key;
    }
}

TEST_F(ListPanelKeysTest, EveryMovementRepaintsTheCursorBar) {
    panel.Redraw();
    const uint8_t cursor = Colour(ZPanel::kColourCursor);
    // Rows start below the frame and the titles.
    EXPECT_EQ(PanelAttr(panel, 2, 2), cursor);
    ASSERT_EQ(panel.OnKey(Pressed(KC_DOWN)), 0);
    EXPECT_NE(PanelAttr(panel, 2, 2), cursor);
    EXPECT_EQ(PanelAttr(panel, 2, 3), cursor);
    ASSERT_EQ(panel.OnKey(Pressed(KC_END)), 0);
    // The view scrolled: the last row is at the bottom of the column.
    EXPECT_EQ(PanelText(panel, 1, 2 + kPerColumn - 1, 3), "f39");
    EXPECT_EQ(PanelAttr(panel, 2, 2 + kPerColumn - 1), cursor);
}

TEST_F(ListPanelKeysTest, AnEmptyTableTakesTheKeysAndHasNoCursor) {
    Fake().items.clear();
    panel.Reload();
    ASSERT_EQ(panel.RowCount(), 0);
    EXPECT_EQ(panel.OnKey(Pressed(KC_DOWN)), 0);
    EXPECT_EQ(panel.OnKey(Pressed(KC_END)), 0);
    EXPECT_EQ(panel.Cursor(), -1);
}

}  // namespace
}  // namespace kq::panels::testing
