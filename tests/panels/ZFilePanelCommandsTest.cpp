// The file panel's commands: sort mode and reverse flag, "ShowHidden", inverting, selecting and
// unselecting by mask through the dialogs, and on the local plugin a new directory through its
// dialog, refused directory changes and a directory removed from outside, with the messages
// that say why. The dialogs and messages come from the English language module: without it
// those tests skip.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "kq/fs.h"
#include "kq/resource_ids.h"
#include "panels/PanelKeysTestSupport.h"

namespace kq::panels::testing {
namespace {

namespace fs = std::filesystem;
using Ids = std::vector<int>;
using Names = std::vector<std::string>;

class FilePanelCommandsTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        Fake().items = {Dir(".."),     Dir("docs.txt"), Dir("src"),    File("a.txt"),
                        File("b.TXT"), File("c.cpp"),   File("readme")};
    }

    void Place(ZFilePanel& panel, int x = 0) {
        OpenPanel(panel, x, 1, 40, 20);
        host.active = &panel;
    }

    // The names of the selected rows, in row order.
    static Names SelectedNames(const ZFilePanel& panel) {
        Names names;
        for (int row = 0; row < panel.RowCount(); ++row) {
            const bool flag = (panel.RowFlags(row) & ZListPanel::kRowSelected) != 0;
            EXPECT_EQ(flag, (panel.ItemAt(row)->flags & PLUGIN_ITEM_SELECTED) != 0) << row;
            if (flag) names.emplace_back(panel.CellText(row, ZFilePanel::kFieldName));
        }
        return names;
    }

    // Queues the typed text and a last key for the next dialog's run.
    void Answer(const std::string& text, uint32_t last) {
        for (const char character : text) console->PushKey(Typed(character));
        console->PushKey(last);
    }

    std::string StoredMask() {
        char text[600] = {};
        if (CfgQuerySz(host.panels, "FileSelect", text, sizeof text) != 0) return "<absent>";
        return text;
    }

    static constexpr uint32_t kEnter = Pressed(KC_ENTER, 13);
    static constexpr uint32_t kEsc = Pressed(KC_ESC, 27);
};

// ---- Sorting and flags ----

TEST_F(FilePanelCommandsTest, SortCommandsSetTheModeAndKeepTheReverseFlag) {
    ZFilePanel panel;
    Place(panel);
    for (int mode = 0; mode < ZFilePanel::kSortModeCount; ++mode) {
        EXPECT_EQ(panel.OnCommand(CMD_SORT_RIGHT + mode), 0);
        EXPECT_EQ(panel.SortMode(), mode);
    }
    EXPECT_EQ(panel.OnCommand(CMD_REVERSE), 0);
    EXPECT_TRUE(panel.IsReversed());
    EXPECT_EQ(panel.OnCommand(CMD_SORT_RIGHT + 1), 0);
    EXPECT_TRUE(panel.IsReversed());
    EXPECT_EQ(RowNames(panel),
              (Names{"..", "src", "docs.txt", "readme", "c.cpp", "b.TXT", "a.txt"}));
    EXPECT_EQ(panel.OnCommand(CMD_REVERSE), 0);
    EXPECT_FALSE(panel.IsReversed());
    EXPECT_EQ(panel.SortLetter(), 'n');
}

// Whether the menu item with id, anywhere in the menu's pop-ups, carries a check mark.
bool Checked(ZMenu* menu, int id) {
    if (menu->GetItem(id) != nullptr) return (menu->GetItemType(id) & MENU_TYPE_CHECKED) != 0;
    for (int i = 0; i < menu->ItemCount(); ++i) {
        const ZMenuItem* item = menu->ItemAt(i);
        if (item != nullptr && item->submenu && Checked(item->submenu.get(), id)) return true;
    }
    return false;
}

TEST_F(FilePanelCommandsTest, ReverseKeepsTheCursorOnItsItemAndSetsTheCheckMark) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZMenu menuBar;
    ASSERT_EQ(menuBar.CreateFromResource(IDM_MENU_BAR, ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 1), nullptr,
                                         WF_VISIBLE),
              0);
    host.menuBar = &menuBar;
    ZFilePanel panel;
    Place(panel, 40);
    panel.SetCurrentRow(3);  // a.txt
    ASSERT_EQ(panel.OnKey(Ctrl(KC_F10)), 0);
    EXPECT_TRUE(panel.IsReversed());
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "a.txt");
    EXPECT_TRUE(Checked(&menuBar, CMD_REVERSE));
    EXPECT_FALSE(Checked(&menuBar, CMD_REVERSE_LEFT));
    ASSERT_EQ(panel.OnCommand(CMD_SORT_RIGHT + 6), 0);
    EXPECT_TRUE(Checked(&menuBar, CMD_SORT_RIGHT + 6));
    EXPECT_FALSE(Checked(&menuBar, CMD_SORT_RIGHT + 1));
    ASSERT_EQ(panel.OnKey(Ctrl(KC_F10)), 0);
    EXPECT_FALSE(Checked(&menuBar, CMD_REVERSE));
    host.menuBar = nullptr;
    menuBar.Destroy();
}

TEST_F(FilePanelCommandsTest, ShowHiddenFlipsFromAbsentToZeroAndBack) {
    ZFilePanel panel;
    Place(panel);
    uint32_t value = 99;
    ASSERT_NE(CfgQueryDw(host.panels, "ShowHidden", &value), 0);
    for (const uint32_t expected : {0u, 1u, 0u}) {
        EXPECT_EQ(panel.OnKey(Ctrl('h', 0x08)), 0);
        ASSERT_EQ(CfgQueryDw(host.panels, "ShowHidden", &value), 0);
        EXPECT_EQ(value, expected);
    }
    SetPanelSetting("ShowHidden", 7);
    EXPECT_EQ(panel.OnCommand(CMD_TOGGLE_HIDDEN), 0);
    ASSERT_EQ(CfgQueryDw(host.panels, "ShowHidden", &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(panel.RowCount(), 7);
}

// With "ShowHidden" 0 the panel leaves out hidden names (but never ".."); Ctrl+H brings them
// back, and the cursor stays on its file.
TEST_F(FilePanelCommandsTest, HiddenNamesAreLeftOutWhileShowHiddenIsOff) {
    Fake().items = {Dir(".."), FakeItem{".profile", FA_ARCHIVE | FA_HIDDEN, 10, 0, 0},
                    FakeItem{".config", FA_DIR | FA_HIDDEN, 0, 0, 0}, File("visible.txt", 5)};
    ZFilePanel panel;
    Place(panel);
    ASSERT_EQ(RowNames(panel),
              (std::vector<std::string>{"..", ".config", ".profile", "visible.txt"}));
    panel.SetCurrentRow(3);
    ASSERT_EQ(panel.OnKey(Ctrl('h', 0x08)), 0);
    EXPECT_EQ(RowNames(panel), (std::vector<std::string>{"..", "visible.txt"}));
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "visible.txt");
    EXPECT_EQ(panel.RowTotals().fileCount, 1);
    EXPECT_EQ(panel.RowTotals().directoryCount, 0);
    ASSERT_EQ(panel.OnKey(Ctrl('h', 0x08)), 0);
    EXPECT_EQ(panel.RowCount(), 4);
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "visible.txt");
}

TEST_F(FilePanelCommandsTest, ViewEditCopyMoveAndDeleteAreTakenAndDoNothingYet) {
    kq::ui::testing::Application owner;
    Open(owner, 0, 22, 80, 1);
    ZFilePanel panel;
    Place(panel);
    panel.SetOwner(&owner);
    panel.SetCurrentRow(3);
    const int listings = Fake().listings;
    for (const int id : {CMD_VIEW, CMD_EDIT, CMD_COPY, CMD_MOVE, CMD_DELETE}) {
        EXPECT_EQ(panel.OnCommand(id), 0) << id;
    }
    EXPECT_TRUE(owner.commands.empty());
    EXPECT_EQ(Fake().listings, listings);
    EXPECT_EQ(panel.Cursor(), 3);
    EXPECT_TRUE(SelectedNames(panel).empty());
}

// ---- Selection ----

TEST_F(FilePanelCommandsTest, InvertSkipsTheParentAndDirectoriesUnlessSelectFolders) {
    ZFilePanel panel;
    Place(panel);
    panel.SetRowSelected(3, true);
    EXPECT_EQ(panel.OnKey(Pressed(KC_NUMMUL, '*')), 0);
    EXPECT_EQ(SelectedNames(panel), (Names{"b.TXT", "c.cpp", "readme"}));
    EXPECT_EQ(panel.RowTotals().selectedCount, 3);

    SetPanelSetting("SelectFolders", 1);
    EXPECT_EQ(panel.OnCommand(CMD_INVERT_SELECTION), 0);
    EXPECT_EQ(SelectedNames(panel), (Names{"docs.txt", "src", "a.txt"}));
    EXPECT_EQ(panel.RowTotals().selectedCount, 3);
}

TEST_F(FilePanelCommandsTest, SelectByMaskStoresTheMaskAndSkipsDirectories) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    Place(panel);
    Answer("*.txt", kEnter);
    EXPECT_EQ(panel.OnKey(Pressed(KC_NUMADD, '+')), 0);
    EXPECT_EQ(SelectedNames(panel), (Names{"a.txt", "b.TXT"}));
    EXPECT_EQ(StoredMask(), "*.txt");

    // The stored mask comes back, all of it selected: typing replaces it.
    Answer("r*", kEnter);
    EXPECT_EQ(panel.OnCommand(CMD_SELECT), 0);
    EXPECT_EQ(SelectedNames(panel), (Names{"a.txt", "b.TXT", "readme"}));
    EXPECT_EQ(StoredMask(), "r*");
}

TEST_F(FilePanelCommandsTest, SelectFoldersLetsMasksReachDirectoriesButNeverTheParent) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    SetPanelSetting("SelectFolders", 1);
    ZFilePanel panel;
    Place(panel);
    Answer("*", kEnter);
    EXPECT_EQ(panel.OnCommand(CMD_SELECT), 0);
    EXPECT_EQ(SelectedNames(panel),
              (Names{"docs.txt", "src", "a.txt", "b.TXT", "c.cpp", "readme"}));
}

TEST_F(FilePanelCommandsTest, UnselectByTheStoredMaskAsItStands) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ASSERT_EQ(CfgSetSz(host.panels, "FileSelect", "*.TXT"), 0);
    ZFilePanel panel;
    Place(panel);
    for (int row = 1; row < panel.RowCount(); ++row) panel.SetRowSelected(row, true);
    console->PushKey(kEnter);
    EXPECT_EQ(panel.OnKey(Pressed(KC_NUMSUB, '-')), 0);
    // Directories keep their selection: the mask does not reach them.
    EXPECT_EQ(SelectedNames(panel), (Names{"docs.txt", "src", "c.cpp", "readme"}));
    EXPECT_EQ(StoredMask(), "*.TXT");
}

TEST_F(FilePanelCommandsTest, CancelledSelectDialogChangesNothing) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    Place(panel);
    Answer("*", kEsc);
    EXPECT_EQ(panel.OnCommand(CMD_SELECT), 0);
    EXPECT_TRUE(SelectedNames(panel).empty());
    EXPECT_EQ(StoredMask(), "<absent>");
}

TEST_F(FilePanelCommandsTest, MaskOf512CharactersEndsTheCommand) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    Place(panel);
    Answer(std::string(512, '*'), kEnter);
    EXPECT_EQ(panel.OnCommand(CMD_SELECT), 0);
    EXPECT_TRUE(SelectedNames(panel).empty());
    EXPECT_EQ(StoredMask(), "<absent>");
    // 511 characters are taken and stored (though far longer than any name here).
    Answer(std::string(511, '*'), kEnter);
    EXPECT_EQ(panel.OnCommand(CMD_SELECT), 0);
    EXPECT_TRUE(SelectedNames(panel).empty());
    EXPECT_EQ(StoredMask(), std::string(511, '*'));
}

// ---- New directory on the local plugin ----

class LocalPanelCommandsTest : public FilePanelCommandsTest {
  protected:
    void SetUp() override {
        FilePanelCommandsTest::SetUp();
        tree = folder + "/tree";
        fs::create_directories(tree + "/old");
        std::ofstream(tree + "/z.txt") << "x";
        ASSERT_EQ(FsGetCwd(saved), 0);
        OpenPanel(panel, 0, 1, 40, 20, 0);
        host.active = &panel;
        ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
        other.passOn = true;
        Place(other, 40);
        host.active = &panel;
        panel.SetOther(&other);
        other.SetOther(&panel);
    }
    void TearDown() override {
        FsSetCwd(saved);
        FilePanelCommandsTest::TearDown();
    }

    std::string tree;
    char saved[FS_MAX_PATH] = {};
    ZFilePanel panel;
    RecordingPanel other;
};

TEST_F(LocalPanelCommandsTest, NewDirectoryIsCreatedAndTheCursorGoesToIt) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    Answer("New Dir", kEnter);
    EXPECT_EQ(panel.OnKey(Pressed(KC_F7)), 0);
    EXPECT_TRUE(fs::is_directory(tree + "/New Dir"));
    ASSERT_GE(panel.Cursor(), 0);
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "New Dir");
    EXPECT_EQ(other.commands, Ids{CMD_RELOAD});
}

// Fault caught: a refused change moved the local instance's text to the directory it could not
// enter, so the next reload showed a blank panel without title or "..", and nothing was said.
// A path longer than the instance's 512-byte buffer stopped Enter without a word.
TEST_F(LocalPanelCommandsTest, RefusedDirectoryChangeKeepsThePanelAndSaysWhy) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    const std::string deep = tree + "/" + std::string(200, 'd') + "/" + std::string(200, 'e');
    fs::create_directories(deep + "/" + std::string(100, 'f'));
    fs::create_directories(tree + "/closed");
    fs::permissions(tree + "/closed", fs::perms::none);  // root enters it all the same
    const struct {
        std::string directory, name, reason;
    } cases[] = {{tree, "old", "No such file or directory"},  // removed after the listing
                 {deep, std::string(100, 'f'), "File name too long"},
                 {tree, "closed", ::geteuid() == 0 ? "" : "Permission denied"}};
    for (const auto& c : cases) {
        if (c.reason.empty()) continue;
        ASSERT_EQ(panel.ChangeDirectory(c.directory.c_str(), 0), 0);
        const Names rows = RowNames(panel);
        panel.SetCurrentRow(
            static_cast<int>(std::find(rows.begin(), rows.end(), c.name) - rows.begin()));
        if (c.name == "old") fs::remove(tree + "/old");
        EXPECT_TRUE(ShownWhile([&] { panel.OnKey(Pressed(KC_ENTER, 13)); }, c.reason)) << c.reason;
        panel.OnKey(Ctrl('r', 0x12));
        EXPECT_EQ(std::string(panel.GetTitle()), c.directory) << c.reason;
        EXPECT_FALSE(RowNames(panel).empty()) << c.reason;
    }
}

// Fault caught: a panel whose directory another program removed showed a blank panel.
TEST_F(LocalPanelCommandsTest, DirectoryRemovedFromOutsideMovesThePanelUpOnReload) {
    fs::create_directories(tree + "/x/y");
    ASSERT_EQ(panel.ChangeDirectory((tree + "/x/y").c_str(), 0), 0);
    fs::remove_all(tree + "/x");
    EXPECT_EQ(panel.OnKey(Ctrl('r', 0x12)), 0);
    EXPECT_EQ(panel.Directory(), tree);
    EXPECT_EQ(std::string(panel.GetTitle()), tree);
    EXPECT_EQ(RowNames(panel), (Names{"..", "old", "z.txt"}));
}

// Fault caught: F7 said nothing when the directory could not be made, and made one named with
// blanks only.
TEST_F(LocalPanelCommandsTest, NewDirectoryThatCannotBeMadeSaysWhy) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    for (const auto& [name, message] : std::vector<std::pair<std::string, std::string>>{
             {"old", "File exists"},
             {"missing/new", "No such file or directory"},
             {"z.txt/new", "Not a directory"},
             {"   ", "A name of blanks only is refused"}}) {
        Answer(name, kEnter);
        EXPECT_TRUE(ShownWhile([&] { panel.OnKey(Pressed(KC_F7)); }, message)) << name;
    }
    EXPECT_FALSE(fs::exists(tree + "/   "));
    EXPECT_TRUE(other.commands.empty());
}

TEST_F(LocalPanelCommandsTest, CancelledNewDirectoryCreatesNothing) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    const int cursor = panel.Cursor();
    Answer("never", kEsc);
    EXPECT_EQ(panel.OnCommand(CMD_MAKE_DIR), 0);
    EXPECT_FALSE(fs::exists(tree + "/never"));
    EXPECT_EQ(panel.Cursor(), cursor);
    EXPECT_TRUE(other.commands.empty());
}

TEST_F(LocalPanelCommandsTest, CtrlQShowsTheMeasuredSizesAndKeepsTheCursorOnItsRow) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    fs::create_directories(tree + "/big/inner");
    std::ofstream(tree + "/big/inner/data") << std::string(1000, 'x');
    std::ofstream(tree + "/big/more") << std::string(24, 'y');
    SetPanelSetting("PauseAfterCalc", 0);  // the dialog closes itself after the count
    panel.OnCommand(CMD_RELOAD);
    const auto rowOf = [this](const char* name) {
        const Names names = RowNames(panel);
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    panel.SetCurrentRow(rowOf("big"));
    ASSERT_EQ(*panel.CellNumber(panel.Cursor(), ZFilePanel::kFieldSize),
              ZListPanel::kNumberMarkInward);
    EXPECT_EQ(panel.OnKey(Ctrl('q', 0x11)), 0);
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "big");
    EXPECT_EQ(*panel.CellNumber(panel.Cursor(), ZFilePanel::kFieldSize), 1024u);
    // Only the current directory was measured.
    EXPECT_EQ(*panel.CellNumber(rowOf("old"), ZFilePanel::kFieldSize),
              ZListPanel::kNumberMarkInward);
}

TEST_F(LocalPanelCommandsTest, SelectionInOnePanelNeverReachesTheOtherOnTheSameDirectory) {
    // The local plugin may hand one listing block to both panels of a directory.
    ZFilePanel second;
    OpenPanel(second, 40, 1, 40, 20, 0);
    ASSERT_EQ(second.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(RowNames(second), RowNames(panel));
    EXPECT_EQ(panel.OnCommand(CMD_INVERT_SELECTION), 0);
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS)), 0);
    EXPECT_FALSE(SelectedNames(panel).empty());
    EXPECT_TRUE(SelectedNames(second).empty());
    second.SetSortOrder(second.SortMode(), true);
    EXPECT_TRUE(SelectedNames(second).empty());
}

}  // namespace
}  // namespace kq::panels::testing
