// The file panel on the screen: frame, lines, titles, rows with their cut mark, sizes, dates,
// colours and the cursor bar, panel columns, the selection and information lines and the sort
// letter, with the settings that switch them.
#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

// A 40 x 20 panel: name in columns 1-13, size 15-23, date 25-32, time 34-38, separators in 14,
// 24 and 33; the line is row 17, rows are drawn on rows 2 to 16 (1 to 16 without titles).
constexpr int kLineRow = 17, kTop = 2;
constexpr uint8_t kVertical = 179, kHorizontal = 196;

using PanelDrawTest = PanelTest;

TEST_F(PanelDrawTest, FrameLinesTitlesAndTheSortLetter) {
    // Names as wide as the name field and one more.
    Fake().items = {File("abcdefghijklm"), File("abcdefghijklmn")};
    ZFilePanel panel;
    Place(panel);
    EXPECT_EQ(PanelChar(panel, 0, 0), 0xC9);
    EXPECT_EQ(PanelAttr(panel, 0, 0), Colour(ZPanel::kColourFrame));
    for (const int x : {14, 24, 33}) {
        EXPECT_EQ(PanelChar(panel, x, kLineRow - 1), kVertical) << x;
        EXPECT_EQ(PanelChar(panel, x, kLineRow), 193) << x;
        EXPECT_EQ(PanelChar(panel, x, kLineRow + 1), ' ') << x;
    }
    for (const int x : {1, 13, 15, 38}) EXPECT_EQ(PanelChar(panel, x, kLineRow), kHorizontal);
    EXPECT_EQ(PanelText(panel, 1, kTop, 14), "abcdefghijklm\xB3");
    EXPECT_EQ(PanelText(panel, 1, kTop + 1, 14), "abcdefghijklm}");
    EXPECT_EQ(PanelChar(panel, 1, 1), 'n');
    EXPECT_EQ(PanelAttr(panel, 1, 1), Colour(ZPanel::kColourSelected));
    if (HasLanguage()) {
        EXPECT_EQ(PanelText(panel, 5, 1, 34), "Name     \xB3  Size   \xB3  Date  \xB3Time ");
        EXPECT_EQ(PanelAttr(panel, 5, 1), Colour(ZPanel::kColourTitles));
    }
    SetPanelSetting("ShowTitles", 0);  // read at the next drawing
    panel.Redraw();
    EXPECT_EQ(panel.RowsPerColumn(), 16);
    EXPECT_EQ(PanelText(panel, 1, 1, 5), "abcde");
    EXPECT_EQ(PanelChar(panel, 1, 0), 'n');
    SetPanelSetting("ShowTitles", 1);
    panel.SetSortOrder(3, true);  // the mode's letter, upper case when reversed
    EXPECT_EQ(PanelChar(panel, 1, 1), 'M');
    panel.SetSortOrder(0, false);  // the listing order has no letter
    EXPECT_EQ(panel.SortLetter(), '\0');
    panel.SetSortOrder(1, false);
    SetPanelSetting("ShowSort", 0);
    panel.Redraw();
    EXPECT_EQ(PanelChar(panel, 1, 0), 0xCD);
    panel.Destroy();
    if (!HasLanguage()) return;
    ZFilePanel shorter, taller;  // titles need four rows besides the frame and the information
    OpenPanel(shorter, 0, 1, 40, 4);
    EXPECT_NE(PanelText(shorter, 5, 1, 4), "Name");
    OpenPanel(taller, 40, 1, 40, 5);
    EXPECT_EQ(PanelText(taller, 5, 1, 4), "Name");
}

TEST_F(PanelDrawTest, RowColoursSelectionAndTheCursorBarOfTheActivePanelOnly) {
    Fake().items = {Dir("dir"), File("a.exe"), File("b", 1, PLUGIN_ITEM_SELECTED),
                    File("c", UINT64_MAX - 5)};
    ZFilePanel panel;
    Place(panel);
    const uint8_t bar = Colour(ZPanel::kColourCursor);
    for (int x = 1; x <= 38; ++x) EXPECT_EQ(PanelAttr(panel, x, kTop), bar);
    EXPECT_EQ(PanelAttr(panel, 1, kTop + 1), ZFilePanel::kExecutableAttribute);
    EXPECT_EQ(PanelAttr(panel, 1, kTop + 2), Colour(ZPanel::kColourSelected));
    EXPECT_EQ(PanelAttr(panel, 1, kTop + 3), Colour(ZPanel::kColourText));
    EXPECT_EQ(PanelText(panel, 15, kTop + 3, 9), std::string(9, ' '));  // too large even in G
    panel.SetCurrentRow(2);
    EXPECT_EQ(PanelAttr(panel, 1, kTop), ZFilePanel::kDirectoryAttribute);
    EXPECT_EQ(PanelAttr(panel, 20, kTop + 2), Colour(ZPanel::kColourSelectedCursor));
    host.active = nullptr;
    panel.Redraw();
    EXPECT_EQ(PanelAttr(panel, 1, kTop + 2), Colour(ZPanel::kColourSelected));
}

TEST_F(PanelDrawTest, TheViewFollowsTheCursorAndColumnsContinueTheList) {
    for (int i = 0; i < 40; ++i) Fake().items.push_back(File("f" + std::to_string(100 + i)));
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 80, 20);
    host.active = &panel;
    panel.SetCurrentRow(30);
    EXPECT_EQ(panel.Top(), 16);  // 15 rows shown: 16 to 30
    EXPECT_EQ(PanelText(panel, 1, kTop, 4), "f116");
    panel.SetCurrentRow(3);
    EXPECT_EQ(panel.Top(), 3);
    panel.SetCurrentRow(0);
    panel.SetPanelColumns(2);  // column 0 spans cells 1-39 (its last separator in 39), 1 40-79
    EXPECT_EQ(PanelChar(panel, 39, 5), kVertical);
    EXPECT_EQ(PanelText(panel, 40, kTop, 4), "f115");
    EXPECT_EQ(PanelChar(panel, 54, 5), kVertical);
}

TEST_F(PanelDrawTest, SelectionAndInformationLinesFitTheirWidth) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Fake().items = {Dir(".."), Dir("d"), File("a", 1000, PLUGIN_ITEM_SELECTED),
                    File("b", 234, PLUGIN_ITEM_SELECTED)};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 80, 20);
    host.active = &panel;
    panel.Redraw();
    // Centred at (w - 2) / 2 - length / 2; a number of w - 41 cells shows in full.
    EXPECT_EQ(PanelText(panel, 23, kLineRow, 33), "\3041,234 bytes in 2 selected items\304");
    EXPECT_EQ(PanelAttr(panel, 24, kLineRow), Colour(ZPanel::kColourSelectedCursor));
    EXPECT_EQ(PanelText(panel, 23, 19, 33), "1,234 bytes in 1 dirs and 2 files");
    panel.SetPos(ZRec(0, 1, 0, 0), ZRec(0, 0, 40, 20));
    panel.Redraw();  // at least four cells for the number
    EXPECT_EQ(PanelText(panel, 5, kLineRow, 28), "1k bytes in 2 selected items");
    SetPanelSetting("ShowInfo", 0);
    panel.SetRowSelected(2, false);
    panel.SetRowSelected(3, false);
    for (int x = 1; x < 39; ++x) {
        EXPECT_EQ(PanelChar(panel, x, 19), 0xCD) << x;
        EXPECT_EQ(PanelChar(panel, x, kLineRow), x == 14 || x == 24 || x == 33 ? 193 : kHorizontal);
    }
}

// Fault caught: in a narrow panel the name field shrank to nothing while size, date and time
// kept their cells, and the information line was cut before its figures.
TEST_F(PanelDrawTest, NarrowPanelKeepsTheNameColumnAndTheInformationFigures) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Fake().items = {Dir("d"), File("a", 1000), File("b", 234)};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 32, 20);
    EXPECT_EQ(PanelText(panel, 9, 1, 19), "Name" + std::string(8, ' ') + "\xB3  Size");
    EXPECT_EQ(PanelText(panel, 1, 19, 30), "1k bytes in 1 dirs and 2 files");
    panel.SetPos(ZRec(0, 1, 0, 0), ZRec(0, 0, 20, 20));
    panel.Redraw();  // the size gives way too; the figures stay, the words shorten
    EXPECT_EQ(PanelText(panel, 1, kTop, 18), "d" + std::string(17, ' '));
    EXPECT_EQ(PanelText(panel, 1, 19, 18), "1k byt 1 dir 2 fil");
}

}  // namespace
}  // namespace kq::panels::testing
