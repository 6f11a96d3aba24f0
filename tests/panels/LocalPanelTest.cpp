// File panels on the local plugin in a scratch tree: the real listing, entering and leaving
// directories, refusals and the reasons shown for them, new directories, one listing shared by
// two panels, and directory sizes.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <tuple>

#include "localfs/LocalPlugin.h"
#include "panels/PanelTestSupport.h"
#include "panels/ZFilePanelSizes.h"
#include "ui/WindowLock.h"

namespace kq::panels::testing {
namespace {

namespace fs = std::filesystem;

class LocalPanelTest : public PanelTest {
  protected:
    void TearDown() override {
        SetSizeListingObserver({});
        PanelTest::TearDown();
    }
    // tree/a holds 123 bytes and a/sub 1007 below it: a measures 1130, b 50.
    void PlaceOnSizeTree(ZFilePanel& panel) {
        temp.WriteFile("tree/a/f1", std::string(100, 'x'));
        temp.WriteFile("tree/a/f2", std::string(23, 'x'));
        temp.WriteFile("tree/a/sub/f3", std::string(1000, 'x'));
        temp.WriteFile("tree/a/sub/deep/f4", std::string(7, 'x'));
        temp.WriteFile("tree/b/g", std::string(50, 'x'));
        temp.WriteFile("tree/top.txt", "12345");
        PlaceOnTree(panel, {}, {});
    }
    static uint64_t SizeOf(const ZFilePanel& panel, const std::string& name) {
        const PluginItem* item = panel.ItemAt(RowOf(panel, name));
        return item != nullptr ? item->fileSize : UINT64_MAX - 7;
    }
    void Select(ZFilePanel& panel, const Names& names) {
        for (const std::string& name : names) panel.SetRowSelected(RowOf(panel, name), true);
    }
};

TEST_F(LocalPanelTest, ListingOrderColoursAndChangesAfterReload) {
    ZFilePanel panel;
    PlaceOnTree(panel, {"sub", "Zdir"}, {"a.txt", "B.EXE"});
    EXPECT_EQ(RowNames(panel), (Names{"..", "sub", "Zdir", "a.txt", "B.EXE"}));
    panel.SetSortOrder(1, true);  // directory streams list ".." anywhere: it still comes first
    EXPECT_EQ(RowNames(panel), (Names{"..", "Zdir", "sub", "B.EXE", "a.txt"}));
    ASSERT_EQ(panel.ChangeDirectory("sub", 0), 0);
    EXPECT_EQ(std::string(panel.GetTitle()), tree + "/sub");
    temp.WriteFile("tree/sub/new.txt", "new");
    EXPECT_EQ(panel.OnKey(Ctrl('r', 0x12)), 0);
    EXPECT_EQ(RowNames(panel), (Names{"..", "new.txt"}));
    // Fault caught: a panel whose directory another program removed showed a blank panel.
    fs::remove_all(tree + "/sub");
    EXPECT_EQ(panel.OnKey(Ctrl('r', 0x12)), 0);
    EXPECT_EQ(std::string(panel.GetTitle()), tree);
    EXPECT_EQ(RowNames(panel), (Names{"..", "Zdir", "B.EXE", "a.txt"}));
}

// Fault caught: a refused change moved the local instance's text to the directory it could not
// enter, so the next reload showed a blank panel without title or "..", and nothing was said.
// A path longer than the instance's 512-byte buffer stopped Enter without a word.
TEST_F(LocalPanelTest, RefusedDirectoryChangeKeepsThePanelAndSaysWhy) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    const std::string deep = tree + "/" + std::string(200, 'd') + "/" + std::string(200, 'e');
    fs::create_directories(deep + "/" + std::string(100, 'f'));
    ZFilePanel panel;
    PlaceOnTree(panel, {"old"}, {});
    const struct {
        std::string directory, name, reason;
    } cases[] = {{tree, "old", "No such file or directory"},  // removed after the listing
                 {deep, std::string(100, 'f'), "File name too long"}};
    for (const auto& c : cases) {
        ASSERT_EQ(panel.ChangeDirectory(c.directory.c_str(), 0), 0);
        panel.SetCurrentRow(RowOf(panel, c.name));
        if (c.name == "old") fs::remove(tree + "/old");
        EXPECT_TRUE(ShownWhile([&] { panel.OnKey(kEnter); }, c.reason)) << c.reason;
        panel.OnKey(Ctrl('r', 0x12));
        EXPECT_EQ(std::string(panel.GetTitle()), c.directory) << c.reason;
    }
}

// Fault caught: F7 said nothing when the directory could not be made, and made one named with
// blanks only.
TEST_F(LocalPanelTest, NewDirectoryGetsTheCursorOrTheReasonItCannotBeMade) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    RecordingPanel other;
    other.passOn = true;
    Place(other, 40);
    PlaceOnTree(panel, {"old"}, {"z.txt"});
    panel.SetOther(&other);
    other.SetOther(&panel);  // paired both ways, as the shell pairs them
    for (const auto& [name, message] : std::vector<std::pair<std::string, std::string>>{
             {"old", "File exists"}, {"   ", "A name of blanks only is refused"}}) {
        Answer(name, kEnter);
        EXPECT_TRUE(ShownWhile([&] { panel.OnKey(Key(KC_F7)); }, message)) << name;
    }
    EXPECT_FALSE(fs::exists(tree + "/   "));
    Answer("New Dir", kEnter);
    EXPECT_EQ(panel.OnKey(Key(KC_F7)), 0);
    EXPECT_TRUE(fs::is_directory(tree + "/New Dir"));
    EXPECT_EQ(Current(panel), "New Dir");
    EXPECT_EQ(other.commands, Ids{CMD_RELOAD});
}

// F5 on a file proposes the other panel's directory and the file's name; F6 of a selection to
// exactly the other panel's directory puts the items there. The jobs reload both panels.
TEST_F(LocalPanelTest, CopyAndMoveGoToTheOtherPanelAndBothPanelsShowIt) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel left, right;
    PlaceOnTree(left, {"out"}, {"a.txt", "b.txt", "c.txt"});
    OpenPanel(right, 40, 1, 40, 20, kLocal);
    ASSERT_EQ(right.ChangeDirectory((tree + "/out").c_str(), 0), 0);
    left.SetOther(&right);
    right.SetOther(&left);
    const auto runJob = [&](uint32_t key) {
        console->PushKey(kEnter);
        EXPECT_EQ(left.OnKey(key), 0);
        for (int i = 0; i < 20000 && kq::localfs::RunningJobs() > 0; ++i) KeSleep(1);
    };
    left.SetCurrentRow(RowOf(left, "a.txt"));
    runJob(Key(KC_F5));
    EXPECT_EQ(RowNames(right), (Names{"..", "a.txt"}));
    Select(left, {"b.txt", "c.txt"});
    runJob(Key(KC_F6));
    EXPECT_EQ(RowNames(right), (Names{"..", "a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(RowNames(left), (Names{"..", "out", "a.txt"}));
}

// F8 deletes the current item or the selection once confirmed; the cursor stays on the
// nearest row that is left, below before above.
TEST_F(LocalPanelTest, DeleteConfirmsAndTheCursorLandsOnTheNearestRowLeft) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    PlaceOnTree(panel, {"empty"}, {"a.txt", "b.txt", "c.txt", "d.txt"});
    const auto pressF8 = [&](uint32_t answer) {
        console->PushKey(answer);
        EXPECT_EQ(panel.OnKey(Key(KC_F8)), 0);
    };
    panel.SetCurrentRow(RowOf(panel, "b.txt"));
    pressF8(kEsc);
    EXPECT_EQ(RowNames(panel), (Names{"..", "empty", "a.txt", "b.txt", "c.txt", "d.txt"}));
    pressF8(kEnter);
    EXPECT_EQ(Current(panel), "c.txt");
    Select(panel, {"c.txt", "d.txt", "empty"});
    panel.SetCurrentRow(RowOf(panel, "c.txt"));
    pressF8(kEnter);
    EXPECT_EQ(RowNames(panel), (Names{"..", "a.txt"}));
    EXPECT_EQ(Current(panel), "a.txt");
    EXPECT_FALSE(std::filesystem::exists(tree + "/empty"));
}

// With "DeleteFile" and "DeleteDirs" at 0, F8 deletes a full directory without a word.
TEST_F(LocalPanelTest, DeleteSettingsLeaveTheConfirmationAndTheQuestionOut) {
    ZFilePanel panel;
    PlaceOnTree(panel, {"full"}, {"full/inner.txt"});
    ASSERT_EQ(CfgSetDw(host.confirmations, "DeleteFile", 0), 0);
    ASSERT_EQ(CfgSetDw(host.confirmations, "DeleteDirs", 0), 0);
    panel.SetCurrentRow(RowOf(panel, "full"));
    EXPECT_EQ(panel.OnKey(Key(KC_F8)), 0);
    EXPECT_EQ(RowNames(panel), Names{".."});
    EXPECT_FALSE(std::filesystem::exists(tree + "/full"));
}

// The local plugin hands both panels of one directory one listing block; a selection used to be
// written into that block and turn up in the other panel, whose table must also outlive the
// first panel's next rebuild.
TEST_F(LocalPanelTest, PanelsSharingAListingKeepTheirOwnTablesAndSelections) {
    ZFilePanel left, right;
    PlaceOnTree(left, {"sub"}, {"a.txt", "b.txt"});
    OpenPanel(right, 40, 1, 40, 20, kLocal);
    ASSERT_EQ(right.ChangeDirectory(tree.c_str(), 0), 0);
    ASSERT_EQ(left.ItemAt(0)->name, right.ItemAt(0)->name);  // one block for both
    const Names rows = RowNames(right);
    ASSERT_EQ(RowNames(left), rows);
    EXPECT_EQ(left.OnCommand(CMD_INVERT_SELECTION), 0);
    EXPECT_EQ(SelectedNames(left), (Names{"a.txt", "b.txt"}));
    EXPECT_TRUE(SelectedNames(right).empty());
    right.SetRowSelected(1, true);
    left.SetSortOrder(1, true);  // the left panel's table is rebuilt
    EXPECT_EQ(SelectedNames(left), (Names{"b.txt", "a.txt"}));
    EXPECT_EQ(RowNames(right), rows);
    EXPECT_EQ(SelectedNames(right), Names{"sub"});
}

TEST_F(LocalPanelTest, SizesOfTheCurrentDirectoryOrTheSelectionGoToTheirRows) {
    ZFilePanel panel;
    PlaceOnSizeTree(panel);
    SetPanelSetting("PauseAfterCalc", 0);  // the dialog closes itself after the count
    panel.SetCurrentRow(RowOf(panel, "a"));
    EXPECT_EQ(panel.OnKey(Ctrl('q', 0x11)), 0);
    EXPECT_EQ(*panel.CellNumber(panel.Cursor(), 1), 1130u);
    EXPECT_EQ(*panel.CellNumber(RowOf(panel, "b"), 1), ZListPanel::kNumberMarkInward);
    Select(panel, {"a", "b", "top.txt"});
    panel.SetCurrentRow(0);
    EXPECT_EQ(panel.ComputeSizes(false), 1130u + 50u + 5u);
    EXPECT_EQ(panel.RowTotals().selectedSize, 1130u + 50u + 5u);
}

// A link to the directory holding it made the walk endless; a link to a file counted its
// target's size. Every link adds the length of its own path, selected or found by the walk.
TEST_F(LocalPanelTest, LinksAreCountedAsThemselvesAndTheWalkNeverFollowsThem) {
    temp.MakeFolder("tree/a/sub");
    ASSERT_EQ(::symlink("..", (tree + "/a/sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("../b", (tree + "/a/other").c_str()), 0);
    ASSERT_EQ(::symlink("sub/f3", (tree + "/a/big").c_str()), 0);
    ASSERT_EQ(::symlink("a", (tree + "/alias").c_str()), 0);
    ASSERT_EQ(::symlink("a/sub/f3", (tree + "/big").c_str()), 0);
    ZFilePanel panel;
    PlaceOnSizeTree(panel);
    Select(panel, {"alias", "big"});
    EXPECT_EQ(panel.ComputeSizes(false), 1u + 8);
    for (int row = 0; row < panel.RowCount(); ++row) panel.SetRowSelected(row, false);
    panel.SetCurrentRow(RowOf(panel, "a"));
    EXPECT_EQ(panel.ComputeSizes(false), 1130u + 2 + 4 + 6);
    EXPECT_EQ(SizeOf(panel, "a"), 1130u + 2 + 4 + 6);
}

// A directory that is entered but cannot be listed adds nothing; the rest is counted.
TEST_F(LocalPanelTest, UnlistableSubdirectoryAddsNothing) {
    Fake().tree = {{"/fake", {Dir(".."), Dir("a"), File("f", 5)}},
                   {"/fake/a", {Dir(".."), File("x", 100), Dir("closed"), Dir("open")}},
                   {"/fake/a/open", {Dir(".."), File("y", 20), Dir("empty")}},
                   {"/fake/a/open/empty", {Dir("..")}},
                   {"/fake/a/..", {File("outside", 1000)}}};  // for a walk that enters ".."
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(RowOf(panel, "a"));
    EXPECT_EQ(panel.ComputeSizes(false), 120u);
    EXPECT_EQ(SizeOf(panel, "a"), 120u);
    EXPECT_EQ(Fake().releases + 1, Fake().listings);  // only the panel's listing is held
    EXPECT_EQ(Fake().closes + 1, Fake().opens);
}

// A relisting while the count runs moves rows: each size still goes to its own name.
TEST_F(LocalPanelTest, RelistingWhileACountRunsKeepsEachSizeWithItsName) {
    ZFilePanel panel;
    PlaceOnSizeTree(panel);
    Select(panel, {"a", "b"});
    SetSizeListingObserver([&](int listings, const std::function<bool()>&) {
        if (listings != 1) return;
        temp.MakeFolder("tree/0new");  // sorts first: a and b move down a row
        kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
        panel.Reload();
    });
    EXPECT_EQ(panel.ComputeSizes(false), 1130u + 50u);
    ASSERT_EQ(RowOf(panel, "0new"), 1);
    EXPECT_EQ(std::make_tuple(SizeOf(panel, "a"), SizeOf(panel, "b"), SizeOf(panel, "0new")),
              std::make_tuple(1130u, 50u, 0u));
}

// Esc in the size dialog stops a count (of a whole file system, say) after the listing that
// is running; what was counted stays.
TEST_F(LocalPanelTest, EscStopsACountAndKeepsThePartCounted) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    PlaceOnSizeTree(panel);
    Select(panel, {"a", "b"});
    std::atomic<int> last{0};
    SetSizeListingObserver([&](int listings, const std::function<bool()>& cancelled) {
        last = listings;
        if (listings != 1) return;
        console->PushKey(kEsc);
        for (int i = 0; i < 20000 && !cancelled(); ++i) KeSleep(1);  // fails, never hangs
    });
    EXPECT_EQ(panel.ComputeSizes(true), UINT64_MAX);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(std::make_tuple(SizeOf(panel, "a"), SizeOf(panel, "b")), std::make_tuple(123u, 0u));
}

}  // namespace
}  // namespace kq::panels::testing
