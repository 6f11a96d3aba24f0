// The file panel on the screen: frame, lines and separators, titles, rows with their cut mark,
// the size column, row colours and the cursor bar, panel columns, the selection and
// information lines and the sort letter, with the settings that switch them.
#include <string>

#include "kq/resource_ids.h"
#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

// A 40 x 20 panel: the name field is columns 1-13, size 15-23, date 25-32, time 34-38, with
// separators in columns 14, 24 and 33; the horizontal line is row 17 and rows are drawn on rows
// 2 to 16 (1 to 16 without titles); the information line is the bottom frame row 19.
constexpr int kWidth = 40;
constexpr int kHeight = 20;
constexpr int kLineRow = 17;
constexpr int kFirstRowY = 2;
constexpr uint8_t kVertical = 179;
constexpr uint8_t kJoin = 193;
constexpr uint8_t kHorizontal = 196;

class PanelDrawTest : public PanelTest {
  protected:
    // Opens the panel at (0, 1) and makes it the host's active panel.
    void OpenActive(ZFilePanel& panel) {
        OpenPanel(panel, 0, 1, kWidth, kHeight);
        host.active = &panel;
        panel.Redraw();
    }
};

TEST_F(PanelDrawTest, FrameHorizontalLineAndSeparatorsJoinWhereTheyMeet) {
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(PanelChar(panel, 0, 0), 0xC9);
    EXPECT_EQ(PanelChar(panel, kWidth - 1, kHeight - 1), 0xBC);
    EXPECT_EQ(PanelAttr(panel, 0, 0), Colour(ZPanel::kColourFrame));
    for (const int x : {14, 24, 33}) {
        SCOPED_TRACE(x);
        for (int y = 1; y < kLineRow; ++y) EXPECT_EQ(PanelChar(panel, x, y), kVertical);
        EXPECT_EQ(PanelChar(panel, x, kLineRow), kJoin);
        EXPECT_EQ(PanelChar(panel, x, kLineRow + 1), ' ');
    }
    for (const int x : {1, 13, 15, 38}) EXPECT_EQ(PanelChar(panel, x, kLineRow), kHorizontal);
    // The last field ends at the frame, which stays.
    EXPECT_EQ(PanelChar(panel, kWidth - 1, 5), 0xBA);
    EXPECT_EQ(PanelAttr(panel, 5, 10), Colour(ZPanel::kColourText));
}

TEST_F(PanelDrawTest, TitlesAreCentredInTheirFieldsAndTheSortLetterSitsBeforeThem) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(PanelText(panel, 5, 1, 4), "Name");
    EXPECT_EQ(PanelText(panel, 17, 1, 4), "Size");
    EXPECT_EQ(PanelText(panel, 27, 1, 4), "Date");
    EXPECT_EQ(PanelText(panel, 34, 1, 4), "Time");
    EXPECT_EQ(PanelAttr(panel, 5, 1), Colour(ZPanel::kColourTitles));
    EXPECT_EQ(PanelChar(panel, 1, 1), 'n');
    EXPECT_EQ(PanelAttr(panel, 1, 1), Colour(ZPanel::kColourSelected));
}

TEST_F(PanelDrawTest, WithoutTitlesTheFirstRowMovesUpAndTheSortLetterGoesOnTheFrame) {
    Fake().items = {File("first"), File("second")};
    SetPanelSetting("ShowTitles", 0);
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(panel.TitleRows(), 0);
    EXPECT_EQ(PanelText(panel, 1, 1, 5), "first");
    EXPECT_EQ(PanelText(panel, 1, 2, 6), "second");
    EXPECT_EQ(PanelChar(panel, 1, 0), 'n');
    EXPECT_EQ(panel.RowsPerColumn(), 16);
    // Back on: read at the next drawing.
    SetPanelSetting("ShowTitles", 1);
    panel.Redraw();
    EXPECT_EQ(panel.TitleRows(), 1);
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY, 5), "first");
    EXPECT_EQ(PanelChar(panel, 1, 0), 0xCD);
}

TEST_F(PanelDrawTest, ShortPanelShowsNoTitles) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, kWidth, 4);  // h - R = 3
    EXPECT_NE(PanelText(panel, 5, 1, 4), "Name");
    ZFilePanel taller;
    OpenPanel(taller, 40, 1, kWidth, 5);  // h - R = 4
    EXPECT_EQ(PanelText(taller, 5, 1, 4), "Name");
}

TEST_F(PanelDrawTest, NameAsWideAsTheFieldShowsNoCutMarkOneMoreShowsIt) {
    Fake().items = {File("abcdefghijklm"), File("abcdefghijklmn")};
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY, 14), "abcdefghijklm\xB3");
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY + 1, 14), "abcdefghijklm}");
    EXPECT_EQ(PanelChar(panel, 14, kFirstRowY + 2), kVertical);
}

TEST_F(PanelDrawTest, SizeColumnShowsNumbersAndTheDirectoryMarks) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Fake().items = {Dir(".."),
                    Dir("dir"),
                    Dir("big", 5),
                    File("file", 12345),
                    File("huge", 1000000000000000ull),
                    File("vast", UINT64_MAX - 5)};
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(PanelText(panel, 15, kFirstRowY, 9), "  \x11Up\x10   ");
    EXPECT_EQ(PanelText(panel, 15, kFirstRowY + 1, 9), "        5");
    EXPECT_EQ(PanelText(panel, 15, kFirstRowY + 2, 9),
              "  \x10"
              "Dir\x11  ");
    EXPECT_EQ(PanelText(panel, 15, kFirstRowY + 3, 9), "    12345");
    EXPECT_EQ(PanelText(panel, 15, kFirstRowY + 4, 9), " 1000000G");
    // Too large even in units of G: the field stays blank.
    EXPECT_EQ(PanelText(panel, 15, kFirstRowY + 5, 9), "         ");
}

TEST_F(PanelDrawTest, DateAndTimeFieldsShowTheModificationTime) {
    FakeItem file = File("f");
    file.modified = LocalTime(2023, 11, 2, 14, 5);
    Fake().items = {file};
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(PanelText(panel, 25, kFirstRowY, 14),
              "02.11.23\xB3"
              "14:05");
}

TEST_F(PanelDrawTest, RowColoursSelectionAndTheCursorBarOfTheActivePanel) {
    Fake().items = {Dir("dir"), File("a.exe"), File("b", 1, PLUGIN_ITEM_SELECTED), File("c")};
    ZFilePanel panel;
    OpenActive(panel);
    const int dirY = kFirstRowY;
    const int exeY = kFirstRowY + 1;
    const int selectedY = kFirstRowY + 2;
    const int plainY = kFirstRowY + 3;
    // The cursor bar covers the column, separators included.
    for (int x = 1; x <= 38; ++x)
        EXPECT_EQ(PanelAttr(panel, x, dirY), Colour(ZPanel::kColourCursor));
    EXPECT_EQ(PanelAttr(panel, 1, exeY), ZFilePanel::kExecutableAttribute);
    EXPECT_EQ(PanelAttr(panel, 1, selectedY), Colour(ZPanel::kColourSelected));
    EXPECT_EQ(PanelAttr(panel, 1, plainY), Colour(ZPanel::kColourText));

    panel.SetCurrentRow(2);
    EXPECT_EQ(PanelAttr(panel, 1, dirY), ZFilePanel::kDirectoryAttribute);
    EXPECT_EQ(PanelAttr(panel, 1, selectedY), Colour(ZPanel::kColourSelectedCursor));
    EXPECT_EQ(PanelAttr(panel, 20, selectedY), Colour(ZPanel::kColourSelectedCursor));

    // Not the host's active panel: no cursor bar.
    host.active = nullptr;
    panel.Redraw();
    EXPECT_EQ(PanelAttr(panel, 1, selectedY), Colour(ZPanel::kColourSelected));
}

TEST_F(PanelDrawTest, TheTopRowFollowsTheCursor) {
    for (int i = 0; i < 40; ++i) Fake().items.push_back(File("f" + std::to_string(100 + i)));
    ZFilePanel panel;
    OpenActive(panel);
    panel.SetCurrentRow(30);
    EXPECT_EQ(panel.Top(), 16);  // 15 rows shown: 16 to 30
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY, 4), "f116");
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY + 14, 4), "f130");
    panel.SetCurrentRow(3);
    EXPECT_EQ(panel.Top(), 3);
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY, 4), "f103");
}

TEST_F(PanelDrawTest, PanelColumnsContinueTheListSideBySide) {
    for (int i = 0; i < 20; ++i) Fake().items.push_back(File("f" + std::to_string(100 + i)));
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 80, kHeight);
    panel.SetPanelColumns(2);
    // Column 0 spans cells 1-39 (its last separator in 39), column 1 cells 40-79.
    EXPECT_EQ(PanelChar(panel, 39, 5), kVertical);
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY + 14, 4), "f114");
    EXPECT_EQ(PanelText(panel, 40, kFirstRowY, 4), "f115");
    EXPECT_EQ(PanelChar(panel, 54, 5), kVertical);
}

TEST_F(PanelDrawTest, SelectionLineAndInformationLineAreCentredWithTheirCounts) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Fake().items = {Dir(".."), Dir("d"), File("a", 1000, PLUGIN_ITEM_SELECTED),
                    File("b", 234, PLUGIN_ITEM_SELECTED)};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 80, kHeight);
    host.active = &panel;
    panel.Redraw();
    // The number's width is w - 27 - 14 = 39 (the format's length is 27): written in full.
    const std::string selection = "1,234 bytes in 2 selected items";
    EXPECT_EQ(panel.SelectionText(), selection);
    // Starts at (w - 2) / 2 - length / 2.
    EXPECT_EQ(PanelText(panel, 24, kLineRow, 31), selection);
    EXPECT_EQ(PanelAttr(panel, 24, kLineRow), Colour(ZPanel::kColourSelectedCursor));
    EXPECT_EQ(PanelChar(panel, 23, kLineRow), kHorizontal);
    const std::string info = "1,234 bytes in 1 dirs and 2 files";
    EXPECT_EQ(panel.InfoText(), info);
    EXPECT_EQ(PanelText(panel, 23, kHeight - 1, 33), info);
}

TEST_F(PanelDrawTest, SelectionSizeGetsAtLeastFourCellsInAHalfScreenPanel) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Fake().items = {File("a", 1000, PLUGIN_ITEM_SELECTED), File("b", 234, PLUGIN_ITEM_SELECTED)};
    ZFilePanel panel;
    OpenActive(panel);
    // w - 27 - 14 is below 4: the size shortens to four cells.
    const std::string selection = "1k bytes in 2 selected items";
    EXPECT_EQ(panel.SelectionText(), selection);
    EXPECT_EQ(PanelText(panel, 5, kLineRow, 28), selection);
}

// Fault caught: in a narrow panel the name field shrank to nothing while size, date and time
// kept their cells, and the information line was cut before its figures.
TEST_F(PanelDrawTest, NarrowPanelKeepsTheNameColumnAndTheInformationFigures) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Fake().items = {Dir("d"), File("a", 1000), File("b", 234)};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 32, kHeight);
    // Time and date give way: the name gets columns 1-20, the size 22-30.
    EXPECT_EQ(PanelText(panel, 9, 1, 4), "Name");
    EXPECT_EQ(PanelText(panel, 24, 1, 4), "Size");
    EXPECT_EQ(PanelChar(panel, 21, kFirstRowY), kVertical);
    EXPECT_EQ(PanelText(panel, 1, kHeight - 1, 30), "1k bytes in 1 dirs and 2 files");
    panel.SetPos(ZRec(0, 1, 0, 0), ZRec(0, 0, 20, kHeight));
    panel.Redraw();
    // The size gives way too; the number is kept (1,234 as 1k), its words shorten.
    EXPECT_EQ(PanelText(panel, 1, kFirstRowY, 18), "d" + std::string(17, ' '));
    EXPECT_EQ(PanelText(panel, 1, kHeight - 1, 18), "1k byt 1 dir 2 fil");
}

TEST_F(PanelDrawTest, NoSelectionLineWithoutSelectedRowsAndNoInformationWhenSwitchedOff) {
    Fake().items = {File("a", 5)};
    SetPanelSetting("ShowInfo", 0);
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_TRUE(panel.SelectionText().empty());
    for (int x = 1; x < kWidth - 1; ++x) {
        EXPECT_EQ(PanelChar(panel, x, kHeight - 1), 0xCD) << x;
        if (x != 14 && x != 24 && x != 33) {
            EXPECT_EQ(PanelChar(panel, x, kLineRow), kHorizontal) << x;
        }
    }
}

TEST_F(PanelDrawTest, SortLetterShowsTheModeUpperCaseWhenReversed) {
    ZFilePanel panel;
    OpenActive(panel);
    const char letters[] = "nxmacspdo";
    for (int mode = 0; mode < ZFilePanel::kSortModeCount; ++mode) {
        for (const bool reverse : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (reverse ? " reversed" : ""));
            panel.SetSortOrder(mode, reverse);
            char expected = mode == 0 ? '\0' : letters[mode - 1];
            if (reverse && mode != 0) expected = static_cast<char>(expected - 'a' + 'A');
            EXPECT_EQ(panel.SortLetter(), expected);
            EXPECT_EQ(PanelChar(panel, 1, 1), static_cast<uint8_t>(expected));
        }
    }
    SetPanelSetting("ShowSort", 0);
    panel.SetSortOrder(1, false);
    EXPECT_NE(PanelChar(panel, 1, 1), 'n');
}

TEST_F(PanelDrawTest, EmptyOrFailedListingDrawsThePaneAlone) {
    Fake().findResult = -1;
    ZFilePanel panel;
    OpenActive(panel);
    EXPECT_EQ(panel.RowCount(), 0);
    EXPECT_STREQ(panel.GetTitle(), "");
    // No table, so no fields and no separators: the horizontal line alone.
    EXPECT_EQ(PanelChar(panel, 14, 5), ' ');
    EXPECT_EQ(PanelChar(panel, 14, kLineRow), kHorizontal);
    EXPECT_EQ(PanelChar(panel, 3, kHeight - 1), 0xCD);
}

}  // namespace
}  // namespace kq::panels::testing
