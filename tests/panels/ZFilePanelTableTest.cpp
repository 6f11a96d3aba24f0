// The file panel's table from a listing: binding, rows and their colours, sizes, dates and
// times, the cursor across reloads and re-sorts, directory changes, failures and releasing the
// listing.
#include <algorithm>

#include "kq/keys.h"
#include "kq/resource_ids.h"
#include "panels/PanelSort.h"
#include "panels/PanelTestSupport.h"
#include "plugins/PluginTable.h"

namespace kq::panels::testing {
namespace {

using Names = std::vector<std::string>;

class PanelTableTest : public PanelTest {};

// ---- Binding ----

TEST_F(PanelTableTest, BindCopiesTheRecordOpensAnInstanceWithTheDriveAndLists) {
    Fake().items = {File("a")};
    ZFilePanel panel;
    panel.Create(nullptr, ZRec(0, 1, 0, 0), ZRec(0, 0, 40, 20), nullptr, WF_VISIBLE, 0);
    EXPECT_EQ(panel.Bind(kFakePlugin, 'C'), 0);
    EXPECT_TRUE(panel.IsBound());
    EXPECT_EQ(Fake().opens, 1);
    EXPECT_EQ(Fake().openStart, static_cast<uint32_t>('C'));
    EXPECT_EQ(Fake().owner, static_cast<void*>(&panel));
    EXPECT_EQ(panel.RowCount(), 1);
    EXPECT_STREQ(panel.GetTitle(), "/fake");
    EXPECT_EQ(panel.SortMode(), 1);
    EXPECT_FALSE(panel.IsReversed());
}

TEST_F(PanelTableTest, BindToAMissingPluginFailsAndKeepsThePanelAsItWas) {
    Fake().items = {File("a")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    EXPECT_EQ(panel.Bind(99, 0), -1);
    EXPECT_EQ(panel.Bind(-1, 0), -1);
    EXPECT_TRUE(panel.IsBound());
    EXPECT_EQ(panel.RowCount(), 1);
    EXPECT_EQ(Fake().closes, 0);
}

TEST_F(PanelTableTest, UnbindAndDestructionReturnEveryListingAndCloseTheInstance) {
    Fake().items = {File("a"), File("b")};
    {
        ZFilePanel panel;
        OpenPanel(panel, 0, 1, 40, 20);
        panel.Reload();
        panel.Reload();
        EXPECT_EQ(Fake().listings, 3);
        EXPECT_EQ(Fake().releases, 2);
        panel.Unbind();
        EXPECT_EQ(Fake().releases, 3);
        EXPECT_EQ(Fake().closes, 1);
        EXPECT_EQ(panel.RowCount(), 0);
        EXPECT_FALSE(panel.IsBound());
        panel.Unbind();  // a second time does nothing
        EXPECT_EQ(Fake().closes, 1);
        ASSERT_EQ(panel.Bind(kFakePlugin, 0), 0);
    }
    EXPECT_EQ(Fake().releases, Fake().listings);
    EXPECT_EQ(Fake().closes, Fake().opens);
}

TEST_F(PanelTableTest, DestroyReleasesTheListingBeforeDetaching) {
    Fake().items = {File("a")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    EXPECT_EQ(panel.Destroy(), 0);
    EXPECT_FALSE(panel.IsAttached());
    EXPECT_FALSE(panel.IsBound());
    EXPECT_EQ(Fake().releases, Fake().listings);
    EXPECT_EQ(Fake().closes, 1);
}

TEST_F(PanelTableTest, IsAFilePanel) {
    ZFilePanel panel;
    ZPanel& base = panel;
    EXPECT_TRUE(base.IsFilePanel());
    ZListPanel list;
    EXPECT_FALSE(list.IsFilePanel());
}

// ---- Rows ----

struct ColourCase {
    FakeItem item;
    uint8_t colour;  // 0: the palette's panel text
};

TEST_F(PanelTableTest, RowColoursMarkExecutablesAndDirectories) {
    const ColourCase cases[] = {
        {File("A.EXE"), ZFilePanel::kExecutableAttribute},
        {File("run.Com"), ZFilePanel::kExecutableAttribute},
        {File("x.bat"), ZFilePanel::kExecutableAttribute},
        {File("y.cMd"), ZFilePanel::kExecutableAttribute},
        {File(".exe"), ZFilePanel::kExecutableAttribute},
        {File("exe"), 0},
        {File("a.exe.txt"), 0},
        {File("notexe"), 0},
        {Dir("X.EXE"), ZFilePanel::kDirectoryAttribute},
        {Dir("plain"), ZFilePanel::kDirectoryAttribute},
    };
    for (const ColourCase& test : cases) Fake().items.push_back(test.item);
    Fake().directory = "/fake";
    SetPanelSetting("ShowTitles", 1);
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetSortOrder(0, false);
    // Mode 0: directories first, otherwise the listing order.
    ASSERT_EQ(panel.RowCount(), 10);
    EXPECT_EQ(RowNames(panel), (Names{"X.EXE", "plain", "A.EXE", "run.Com", "x.bat", "y.cMd",
                                      ".exe", "exe", "a.exe.txt", "notexe"}));
    for (int row = 0; row < panel.RowCount(); ++row) {
        const std::string name = panel.CellText(row, ZFilePanel::kFieldName);
        SCOPED_TRACE(name);
        uint8_t expected = 0;
        for (const ColourCase& test : cases) {
            if (test.item.name == name) expected = test.colour;
        }
        if (expected == 0) expected = Colour(ZPanel::kColourText);
        EXPECT_EQ(panel.RowColour(row), expected);
    }
}

TEST_F(PanelTableTest, SizesOfEmptyDirectoriesBecomeMarksAndDatesUseLocalTime) {
    FakeItem file = File("file", 12345);
    file.modified = LocalTime(2024, 3, 5, 7, 9);
    FakeItem old = File("old", 0);
    old.modified = LocalTime(1999, 12, 31, 23, 59);
    Fake().items = {Dir(".."), Dir("empty"), Dir("sized", 4096), file, old, Dir("...")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    ASSERT_EQ(RowNames(panel), (Names{"..", "...", "empty", "sized", "file", "old"}));
    EXPECT_EQ(*panel.CellNumber(0, ZFilePanel::kFieldSize), ZListPanel::kNumberMarkOutward);
    EXPECT_EQ(*panel.CellNumber(1, ZFilePanel::kFieldSize), ZListPanel::kNumberMarkInward);
    EXPECT_EQ(*panel.CellNumber(2, ZFilePanel::kFieldSize), ZListPanel::kNumberMarkInward);
    EXPECT_EQ(*panel.CellNumber(3, ZFilePanel::kFieldSize), 4096u);
    EXPECT_EQ(*panel.CellNumber(4, ZFilePanel::kFieldSize), 12345u);
    EXPECT_EQ(*panel.CellNumber(5, ZFilePanel::kFieldSize), 0u);
    EXPECT_STREQ(panel.CellText(4, ZFilePanel::kFieldDate), "05.03.24");
    EXPECT_STREQ(panel.CellText(4, ZFilePanel::kFieldTime), "07:09");
    EXPECT_STREQ(panel.CellText(5, ZFilePanel::kFieldDate), "31.12.99");
    EXPECT_STREQ(panel.CellText(5, ZFilePanel::kFieldTime), "23:59");
    // Text and number cells answer only as what they are.
    EXPECT_EQ(panel.CellText(0, ZFilePanel::kFieldSize), nullptr);
    EXPECT_EQ(panel.CellNumber(0, ZFilePanel::kFieldName), nullptr);
    EXPECT_EQ(panel.CellText(6, ZFilePanel::kFieldName), nullptr);
    // The row order is the identity, and row i shows sorted item i.
    for (int row = 0; row < panel.RowCount(); ++row) {
        EXPECT_EQ(panel.RowOrder(row), row);
        EXPECT_STREQ(panel.ItemAt(row)->name, panel.CellText(row, ZFilePanel::kFieldName));
    }
}

TEST_F(PanelTableTest, FieldsAreNameSizeDateAndTimeWithTheirTitles) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    ASSERT_EQ(panel.FieldCount(), 4);
    const struct {
        int width;
        int type;
        const char* title;
    } expected[] = {{0, ZListPanel::kFieldText, "Name"},
                    {9, ZListPanel::kFieldNumber, "Size"},
                    {8, ZListPanel::kFieldText, "Date"},
                    {5, ZListPanel::kFieldText, "Time"}};
    for (int field = 0; field < 4; ++field) {
        EXPECT_EQ(panel.Field(field).width, expected[field].width);
        EXPECT_EQ(panel.Field(field).type, expected[field].type);
        EXPECT_EQ(panel.Field(field).title, expected[field].title);
    }
}

TEST_F(PanelTableTest, SelectedItemsGiveSelectedRowsAndTotals) {
    Fake().items = {Dir(".."),
                    Dir("d1"),
                    Dir("d2", 10),
                    File("a", 1000, PLUGIN_ITEM_SELECTED),
                    File("b", 234, PLUGIN_ITEM_SELECTED),
                    File("c", 5)};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    EXPECT_EQ(panel.RowFlags(3) & ZListPanel::kRowSelected, ZListPanel::kRowSelected);
    EXPECT_EQ(panel.RowFlags(4) & ZListPanel::kRowSelected, ZListPanel::kRowSelected);
    EXPECT_EQ(panel.RowFlags(5), 0u);
    const ZFilePanel::Totals& totals = panel.RowTotals();
    EXPECT_EQ(totals.selectedCount, 2);
    EXPECT_EQ(totals.selectedSize, 1234u);
    EXPECT_EQ(totals.fileCount, 3);
    EXPECT_EQ(totals.directoryCount, 2);
    EXPECT_EQ(totals.totalSize, 1249u);
}

TEST_F(PanelTableTest, SelectingARowMarksItsItemAndUpdatesTheCounts) {
    Fake().items = {Dir("d"), File("a", 1000), File("b", 234)};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetRowSelected(1, true);
    panel.SetRowSelected(2, true);
    panel.SetRowSelected(2, true);  // already selected: counted once
    EXPECT_EQ(panel.RowTotals().selectedCount, 2);
    EXPECT_EQ(panel.RowTotals().selectedSize, 1234u);
    EXPECT_EQ(panel.ItemAt(1)->flags & PLUGIN_ITEM_SELECTED, PLUGIN_ITEM_SELECTED);
    EXPECT_EQ(panel.RowFlags(1) & ZListPanel::kRowSelected, ZListPanel::kRowSelected);
    panel.SetRowSelected(1, false);
    EXPECT_EQ(panel.RowTotals().selectedCount, 1);
    EXPECT_EQ(panel.RowTotals().selectedSize, 234u);
    EXPECT_EQ(panel.ItemAt(1)->flags & PLUGIN_ITEM_SELECTED, 0u);
    EXPECT_EQ(panel.RowFlags(1), 0u);
    // A re-sort keeps the selection, which lives in the items.
    panel.SetSortOrder(1, true);
    EXPECT_EQ(panel.RowTotals().selectedCount, 1);
    panel.SetRowSelected(99, true);  // outside the table: nothing
    EXPECT_EQ(panel.RowTotals().selectedCount, 1);
}

// ---- The cursor ----

TEST_F(PanelTableTest, ReloadThatRemovedTheCurrentFileKeepsTheIndexUpToTheLastRow) {
    Fake().items = {File("a"), File("b"), File("c"), File("d")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    EXPECT_EQ(panel.Cursor(), 0);
    panel.SetCurrentRow(3);
    Fake().items = {File("a"), File("b")};
    panel.Reload();
    EXPECT_EQ(panel.Cursor(), 1);
    // A reload keeps the index, not the item: a new first file moves the item down.
    Fake().items = {File("0"), File("a"), File("b")};
    panel.Reload();
    EXPECT_EQ(panel.Cursor(), 1);
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "a");
    Fake().items = {};
    panel.Reload();
    EXPECT_EQ(panel.Cursor(), -1);
    Fake().items = {File("x"), File("y")};
    panel.Reload();
    EXPECT_EQ(panel.Cursor(), 0);
}

TEST_F(PanelTableTest, ChangeOfSortOrderKeepsTheCursorOnTheSameFile) {
    Fake().items = {File("a"), File("b"), File("c"), File("d"), Dir("z")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetCurrentRow(2);  // z, a, [b], c, d
    ASSERT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "b");
    panel.SetSortOrder(1, true);  // z, d, c, [b], a
    EXPECT_EQ(panel.SortMode(), 1);
    EXPECT_TRUE(panel.IsReversed());
    EXPECT_EQ(RowNames(panel), (Names{"z", "d", "c", "b", "a"}));
    EXPECT_EQ(panel.Cursor(), 3);
    panel.SetSortOrder(0, false);
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "b");
    panel.SetSortOrder(42, false);  // limited to the last mode
    EXPECT_EQ(panel.SortMode(), 9);
}

TEST_F(PanelTableTest, SetCurrentRowIsLimitedToTheTable) {
    Fake().items = {File("a"), File("b")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetCurrentRow(10);
    EXPECT_EQ(panel.Cursor(), 1);
    panel.SetCurrentRow(-5);
    EXPECT_EQ(panel.Cursor(), 0);
}

// ---- Listing failures and directory changes ----

TEST_F(PanelTableTest, FailedListingLeavesAnEmptyTableAndTitleAndTheNextReloadRecovers) {
    Fake().items = {File("a")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    Fake().findResult = -1;
    EXPECT_EQ(panel.Reload(), -1);
    EXPECT_EQ(panel.RowCount(), 0);
    EXPECT_STREQ(panel.GetTitle(), "");
    EXPECT_EQ(Fake().releases, 1);
    Fake().findResult = 0;
    EXPECT_EQ(panel.Reload(), 0);
    EXPECT_EQ(panel.RowCount(), 1);
    EXPECT_STREQ(panel.GetTitle(), "/fake");
}

TEST_F(PanelTableTest, ChangeDirectoryMovesTheCursorToTheTopAndRelistsOrFailsWithoutChange) {
    Fake().items = {File("a"), File("b"), File("c")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetCurrentRow(2);
    Fake().setDirectoryResult = -1;
    EXPECT_EQ(panel.ChangeDirectory("/refused", 0), -1);
    EXPECT_EQ(panel.Cursor(), 2);
    EXPECT_STREQ(panel.GetTitle(), "/fake");
    EXPECT_EQ(Fake().listings, 1);

    Fake().setDirectoryResult = 0;
    Fake().items = {File("x"), File("y"), File("z"), File("w")};
    EXPECT_EQ(panel.ChangeDirectory("/other", 0), 0);
    EXPECT_EQ(Fake().directoryRequests, (Names{"/refused", "/other"}));
    EXPECT_EQ(panel.Cursor(), 0);
    EXPECT_EQ(panel.RowCount(), 4);
    EXPECT_STREQ(panel.GetTitle(), "/other");
}

TEST_F(PanelTableTest, ReloadOfTheActivePanelSetsThePromptDirectory) {
    Fake().items = {File("a")};
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    EXPECT_TRUE(host.prompts.empty());  // not active yet
    host.active = &panel;
    ASSERT_EQ(panel.ChangeDirectory("/elsewhere", 0), 0);
    ASSERT_FALSE(host.prompts.empty());
    EXPECT_EQ(host.prompts.back(), "/elsewhere");
}

TEST_F(PanelTableTest, CommandReloadRelistsAndOtherCommandsGoToTheOwner) {
    Fake().items = {File("a")};
    kq::ui::testing::Application owner;
    Open(owner, 0, 22, 80, 1);
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetOwner(&owner);
    Fake().items = {File("a"), File("b")};
    EXPECT_EQ(panel.OnCommand(CMD_RELOAD), 0);
    EXPECT_EQ(panel.RowCount(), 2);
    EXPECT_TRUE(owner.commands.empty());
    panel.OnCommand(CMD_QUIT);
    EXPECT_EQ(owner.commands, (std::vector<int>{CMD_QUIT}));
}

TEST_F(PanelTableTest, KeysGoToThePluginFirst) {
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    const uint32_t taken = kq::ui::testing::Key(KC_ENTER, 13);
    const uint32_t passed = kq::ui::testing::Key(KC_F12);
    Fake().consumedKey = taken;
    EXPECT_EQ(panel.OnKey(taken), 0);
    EXPECT_NE(panel.OnKey(passed), 0);
    EXPECT_EQ(Fake().keys, (std::vector<uint32_t>{taken, passed}));
}

TEST_F(PanelTableTest, PluginWithoutDirectoryEntryPointsGetsAnEmptyTitleAndPrompt) {
    Fake().items = {File("a")};
    PluginEntry entry = FakeEntry(true);
    entry.ZGetDirectory = nullptr;
    entry.ZSetDirectory = nullptr;
    entry.ZProcessInput = nullptr;
    ASSERT_TRUE(kq::plugins::RegisterPlugin(entry));
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20, kq::plugins::PluginCount() - 1);
    EXPECT_EQ(panel.RowCount(), 1);
    EXPECT_STREQ(panel.GetTitle(), "");
    EXPECT_EQ(panel.Directory(), "");
    EXPECT_EQ(panel.ChangeDirectory("/anywhere", 0), -1);
    EXPECT_TRUE(Fake().directoryRequests.empty());
    EXPECT_NE(panel.OnKey(kq::ui::testing::Key(KC_F12)), 0);
    panel.Activate(true);
    ASSERT_FALSE(host.prompts.empty());
    EXPECT_EQ(host.prompts.back(), "");
}

// ---- Sorting through the panel ----

TEST_F(PanelTableTest, PanelSortsByThePluginsCompareOrTheLocalOne) {
    // The test plugin's compare is case-sensitive, the local one is not.
    Fake().items = {File("b"), File("C"), File("a")};
    ZFilePanel own;
    OpenPanel(own, 0, 1, 40, 20, kFakePlugin);
    EXPECT_EQ(RowNames(own), (Names{"C", "a", "b"}));
    ZFilePanel local;
    OpenPanel(local, 40, 1, 40, 20, kFakePluginLocalCompare);
    EXPECT_EQ(RowNames(local), (Names{"a", "b", "C"}));
}

TEST_F(PanelTableTest, InconsistentCompareStillEndsWithEveryItemOnce) {
    Names names;
    for (int i = 0; i < 3000; ++i) {
        names.push_back("item" + std::to_string(i));
        Fake().items.push_back(i % 4 == 0 ? Dir(names.back()) : File(names.back()));
    }
    Fake().randomCompare = true;
    ZFilePanel panel;
    OpenPanel(panel, 0, 1, 40, 20);
    panel.SetSortOrder(1, true);
    Names rows = RowNames(panel);
    ASSERT_EQ(rows.size(), names.size());
    std::sort(rows.begin(), rows.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(rows, names);
    for (int row = 0; row < panel.RowCount(); ++row) {
        EXPECT_EQ(kq::panels::IsDirectoryItem(*panel.ItemAt(row)), row < 750) << row;
    }
}

}  // namespace
}  // namespace kq::panels::testing
