// The file panel's table from the test plugin's listing: rows and their colours, sizes, dates,
// the selection, directory changes and failures.
#include <ctime>
#include <tuple>

#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

using PanelTableTest = PanelTest;

TEST_F(PanelTableTest, RowsCarryColoursSizeMarksDatesAndTotals) {
    FakeItem file = File("file", 12345, PLUGIN_ITEM_SELECTED);
    std::tm local{};  // 5 March 2024, 7:09 local time
    local.tm_year = 124, local.tm_mon = 2, local.tm_mday = 5, local.tm_hour = 7, local.tm_min = 9;
    local.tm_isdst = -1;
    file.modified = std::mktime(&local);
    const FakeItem old = File("old", 0, PLUGIN_ITEM_SELECTED);
    Fake().items = {Dir(".."),   Dir("empty"),     Dir("X.EXE", 4096), file,
                    old,         File("A.EXE"),    File("run.Com"),    File(".exe"),
                    File("exe"), File("a.exe.txt")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetSortOrder(0, false);  // directories first, otherwise the listing order
    ASSERT_EQ(RowNames(panel), (Names{"..", "empty", "X.EXE", "file", "old", "A.EXE", "run.Com",
                                      ".exe", "exe", "a.exe.txt"}));
    constexpr uint64_t in = ZListPanel::kNumberMarkInward, out = ZListPanel::kNumberMarkOutward;
    const uint64_t sizes[] = {out, in, 4096, 12345, 0};
    for (int row = 0; row < 5; ++row) EXPECT_EQ(*panel.CellNumber(row, 1), sizes[row]) << row;
    const uint8_t exe = ZFilePanel::kExecutableAttribute, dir = ZFilePanel::kDirectoryAttribute;
    const uint8_t text = Colour(ZPanel::kColourText);
    const uint8_t colours[] = {dir, dir, dir, text, text, exe, exe, exe, text, text};
    for (int row = 0; row < panel.RowCount(); ++row) {
        EXPECT_EQ(panel.RowColour(row), colours[row]) << RowNames(panel)[row];
    }
    EXPECT_EQ(std::string(panel.CellText(3, 2)) + panel.CellText(3, 3), "05.03.2407:09");
    // Selected items give selected rows and totals; selecting a row marks its item.
    EXPECT_EQ(SelectedNames(panel), (Names{"file", "old"}));
    const ZFilePanel::Totals& totals = panel.RowTotals();
    EXPECT_EQ(
        std::tie(totals.selectedSize, totals.fileCount, totals.directoryCount, totals.totalSize),
        std::make_tuple(12345u, 7, 2, 12345u + 4096u));
    panel.SetRowSelected(2, true);
    panel.SetRowSelected(4, true);  // already selected: counted once
    panel.SetRowSelected(3, false);
    panel.SetSortOrder(1, true);  // a re-sort keeps the selection, which lives in the items
    EXPECT_EQ(SelectedNames(panel), (Names{"X.EXE", "old"}));
    EXPECT_EQ(std::tie(totals.selectedCount, totals.selectedSize), std::make_tuple(2, 4096u));
}

TEST_F(PanelTableTest, FailuresKeepOrEmptyThePanelAndTheNextListingRecovers) {
    Fake().items = {File("a"), File("b"), File("c")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    host.active = &panel;
    panel.SetCurrentRow(2);
    Fake().setDirectoryResult = -1;
    EXPECT_EQ(panel.ChangeDirectory("/refused", 0), -1);
    EXPECT_EQ(panel.Cursor(), 2);
    Fake().setDirectoryResult = 0;
    EXPECT_EQ(panel.ChangeDirectory("/other", 0), 0);
    EXPECT_EQ(panel.Cursor(), 0);
    EXPECT_EQ(host.prompts, Names{"/other"});
    Fake().findResult = -1;
    EXPECT_EQ(panel.Reload(), -1);
    EXPECT_EQ(panel.RowCount(), 0);
    EXPECT_EQ(Fake().releases, 2);
    Fake().findResult = 0;
    EXPECT_EQ(panel.OnCommand(CMD_RELOAD), 0);
    EXPECT_EQ(panel.RowCount(), 3);
}

}  // namespace
}  // namespace kq::panels::testing
