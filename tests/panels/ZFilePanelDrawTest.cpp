// The file panel on the screen: frame, lines, titles, rows with their cut mark, the selection
// and information lines and the sort letter, with the settings that switch them.
#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

// A 40 x 20 panel: name in columns 1-13, size 15-23, date 25-32, time 34-38, separators in 14,
// 24 and 33; the line is row 17, rows are drawn on rows 2 to 16 (1 to 16 without titles).
constexpr int kLineRow = 17, kTop = 2;

using PanelDrawTest = PanelTest;

TEST_F(PanelDrawTest, FrameLinesTitlesAndTheSortLetter) {
    // Names as wide as the name field and one more.
    Fake().items = {File("abcdefghijklm"), File("abcdefghijklmn")};
    ZFilePanel panel;
    Place(panel);
    EXPECT_EQ(PanelChar(panel, 0, 0), 0xC9);
    EXPECT_EQ(PanelText(panel, 13, kLineRow, 3), "\xC4\xC1\xC4");
    EXPECT_EQ(PanelText(panel, 1, kTop, 14), "abcdefghijklm\xB3");
    EXPECT_EQ(PanelText(panel, 1, kTop + 1, 14), "abcdefghijklm}");
    EXPECT_EQ(PanelChar(panel, 1, 1), 'n');
    if (HasLanguage()) {
        EXPECT_EQ(PanelText(panel, 5, 1, 34), "Name     \xB3  Size   \xB3  Date  \xB3Time ");
    }
    SetPanelSetting("ShowTitles", 0);  // read at the next drawing
    panel.Redraw();
    EXPECT_EQ(PanelText(panel, 1, 1, 5), "abcde");
    SetPanelSetting("ShowTitles", 1);
    panel.SetSortOrder(3, true);  // the mode's letter, upper case when reversed
    EXPECT_EQ(PanelChar(panel, 1, 1), 'M');
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
    EXPECT_EQ(PanelText(panel, 23, 19, 33), "1,234 bytes in 1 dirs and 2 files");
    panel.SetPos(ZRec(0, 1, 0, 0), ZRec(0, 0, 40, 20));
    panel.Redraw();  // at least four cells for the number
    EXPECT_EQ(PanelText(panel, 5, kLineRow, 28), "1k bytes in 2 selected items");
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
