// A panel bound to the local plugin on a temporary tree: the real listing, its order and
// colours, directory changes, reloads and the current directory at activation.
#include <filesystem>
#include <fstream>
#include <string>

#include "kq/fs.h"
#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class PanelLocalListingTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        tree = folder + "/tree";
        fs::create_directories(tree + "/sub");
        fs::create_directories(tree + "/Zdir");
        std::ofstream(tree + "/a.txt") << "12345";
        std::ofstream(tree + "/B.EXE") << "x";
        ASSERT_EQ(FsGetCwd(saved), 0);
    }
    void TearDown() override {
        FsSetCwd(saved);
        PanelTest::TearDown();
    }

    std::string tree;
    char saved[FS_MAX_PATH] = {};
};

TEST_F(PanelLocalListingTest, ListsTheDirectoryWithParentThenDirectoriesThenFiles) {
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20, 0);
    ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
    EXPECT_EQ(std::string(panel.GetTitle()), tree);
    EXPECT_EQ(RowNames(panel), (Names{"..", "sub", "Zdir", "a.txt", "B.EXE"}));
    EXPECT_EQ(*panel.CellNumber(0, ZFilePanel::kFieldSize), ZListPanel::kNumberMarkOutward);
    EXPECT_EQ(*panel.CellNumber(3, ZFilePanel::kFieldSize), 5u);
    EXPECT_EQ(panel.RowColour(1), ZFilePanel::kDirectoryAttribute);
    EXPECT_EQ(panel.RowColour(4), ZFilePanel::kExecutableAttribute);
    EXPECT_EQ(panel.RowColour(3), Colour(ZPanel::kColourText));
}

TEST_F(PanelLocalListingTest, ParentEntryListedAfterOtherNamesStillComesFirst) {
    // Directory streams here list ".." wherever the file system keeps it.
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20, 0);
    ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
    panel.SetSortOrder(1, true);
    EXPECT_EQ(RowNames(panel), (Names{"..", "Zdir", "sub", "B.EXE", "a.txt"}));
    panel.SetSortOrder(0, false);
    EXPECT_EQ(RowNames(panel)[0], "..");
}

TEST_F(PanelLocalListingTest, EnteringASubdirectoryAndReloadingAfterChanges) {
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20, 0);
    ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(panel.ChangeDirectory("sub", 0), 0);
    EXPECT_EQ(std::string(panel.GetTitle()), tree + "/sub");
    EXPECT_EQ(RowNames(panel), (Names{".."}));
    std::ofstream(tree + "/sub/new.txt") << "new";
    EXPECT_EQ(panel.OnCommand(CMD_RELOAD), 0);
    EXPECT_EQ(RowNames(panel), (Names{"..", "new.txt"}));
    EXPECT_EQ(panel.ChangeDirectory((tree + "/missing").c_str(), 0), -1);
    EXPECT_EQ(std::string(panel.GetTitle()), tree + "/sub");
}

TEST_F(PanelLocalListingTest, ActivationMakesThePanelsDirectoryTheCurrentOne) {
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20, 0);
    ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
    panel.Activate(true);
    char now[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(now), 0);
    EXPECT_EQ(std::string(now), tree);
    ASSERT_FALSE(host.prompts.empty());
    EXPECT_EQ(host.prompts.back(), tree);
}

// The local plugin hands both panels one listing block when they read one directory; a
// selection made in one panel used to be written into that block and turned up in the other
// panel's next table.
TEST_F(PanelLocalListingTest, SelectionInOnePanelStaysOutOfTheOtherSharingItsListing) {
    std::ofstream(tree + "/a.txt") << "a";
    ZFilePanel left;
    ZFilePanel right;
    OpenPanel(left, 0, 1, 40, 20, 0);
    OpenPanel(right, 40, 1, 40, 20, 0);
    ASSERT_EQ(left.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(right.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(left.ItemAt(0)->name, right.ItemAt(0)->name);  // one block for both
    int row = 0;
    while (row < left.RowCount() && std::string(left.CellText(row, 0)) != "a.txt") ++row;
    ASSERT_LT(row, left.RowCount());
    left.SetRowSelected(row, true);
    EXPECT_TRUE(left.ItemAt(row)->flags & PLUGIN_ITEM_SELECTED);
    right.SetSortOrder(2, false);
    right.SetSortOrder(1, false);
    for (int r = 0; r < right.RowCount(); ++r) {
        EXPECT_FALSE(right.ItemAt(r)->flags & PLUGIN_ITEM_SELECTED) << right.CellText(r, 0);
        EXPECT_EQ(right.RowTotals().selectedCount, 0);
    }
    // The selecting panel keeps its selection through a re-sort.
    left.SetSortOrder(2, false);
    EXPECT_EQ(left.RowTotals().selectedCount, 1);
}

// The second panel on the same listing shows the first one's table: the table must outlive the
// first panel's next rebuild, and a selection must stay with the panel that made it.
TEST_F(PanelLocalListingTest, SecondPanelOnTheSameListingKeepsTheTableAndItsOwnSelection) {
    std::ofstream(tree + "/a.txt") << "abc";
    ZFilePanel left;
    ZFilePanel right;
    OpenPanel(left, 0, 1, 40, 20, 0);
    OpenPanel(right, 40, 1, 40, 20, 0);
    ASSERT_EQ(left.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(right.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(left.RowCount(), right.RowCount());
    std::vector<std::string> dates;
    for (int row = 0; row < right.RowCount(); ++row) {
        EXPECT_STREQ(right.CellText(row, 0), left.CellText(row, 0));
        EXPECT_EQ(*right.CellNumber(row, 1), *left.CellNumber(row, 1));
        dates.emplace_back(right.CellText(row, 2));
    }
    const int last = right.RowCount() - 1;
    right.SetRowSelected(last, true);
    EXPECT_EQ(right.RowFlags(last) & ZListPanel::kRowSelected, ZListPanel::kRowSelected);
    EXPECT_EQ(left.RowFlags(last) & ZListPanel::kRowSelected, 0u);
    left.SetSortOrder(2, true);  // the left panel's table is rebuilt
    for (int row = 0; row < right.RowCount(); ++row) {
        EXPECT_EQ(dates[static_cast<size_t>(row)], right.CellText(row, 2));
    }
    EXPECT_EQ(left.RowTotals().fileCount, right.RowTotals().fileCount);
    EXPECT_EQ(right.RowTotals().selectedCount, 1);
}

}  // namespace
}  // namespace kq::panels::testing
