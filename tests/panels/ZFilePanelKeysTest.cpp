// The file panel's keys: selecting with Insert and Shift, the commands its keys send to itself
// and to the shell, entering rows, running files and Ctrl+Enter on the command line, on the
// test plugin and on the local plugin in a temporary tree.
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
using Lines = std::vector<std::string>;

class FilePanelKeysTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        Fake().items = {Dir(".."), Dir("sub"), File("a"), File("b"), File("c")};
        host.commandLine = &shell;
    }

    void Place(ZFilePanel& panel, int x = 0) {
        OpenPanel(panel, x, 1, 40, 20);
        host.active = &panel;
    }

    static bool Selected(const ZFilePanel& panel, int row) {
        const bool flag = (panel.RowFlags(row) & ZListPanel::kRowSelected) != 0;
        // The row flag and the item's flag go together.
        EXPECT_EQ(flag, (panel.ItemAt(row)->flags & PLUGIN_ITEM_SELECTED) != 0) << row;
        return flag;
    }

    RecordingShell shell;
};

// ---- Selecting ----

TEST_F(FilePanelKeysTest, InsertTogglesAndMovesDownButStaysOnTheLastRow) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(2);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS)), 0);
    EXPECT_TRUE(Selected(panel, 2));
    EXPECT_EQ(panel.Cursor(), 3);
    EXPECT_EQ(panel.RowTotals().selectedCount, 1);

    panel.SetCurrentRow(4);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS)), 0);
    EXPECT_TRUE(Selected(panel, 4));
    EXPECT_EQ(panel.Cursor(), 4);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS)), 0);
    EXPECT_FALSE(Selected(panel, 4));
    EXPECT_EQ(panel.Cursor(), 4);
    EXPECT_EQ(panel.RowTotals().selectedCount, 1);
}

TEST_F(FilePanelKeysTest, KeypadZeroSelectsOnlyWithNumLockOff) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(2);
    EXPECT_EQ(panel.OnKey(Pressed(KC_NUM0)), 0);
    EXPECT_TRUE(Selected(panel, 2));
    EXPECT_EQ(panel.Cursor(), 3);
    EXPECT_EQ(panel.OnKey(Pressed(KC_NUM0, '0')), 1);
    EXPECT_FALSE(Selected(panel, 3));
    EXPECT_EQ(panel.Cursor(), 3);
}

TEST_F(FilePanelKeysTest, InsertNeverSelectsTheParentEntryNorWithModifiers) {
    ZFilePanel panel;
    Place(panel);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS)), 1);
    EXPECT_FALSE(Selected(panel, 0));
    EXPECT_EQ(panel.Cursor(), 0);
    panel.SetCurrentRow(2);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS, 0, KF_LCTRL)), 1);
    EXPECT_EQ(panel.OnKey(Pressed(KC_INS, 0, KF_SHIFT)), 1);
    EXPECT_FALSE(Selected(panel, 2));
}

TEST_F(FilePanelKeysTest, ShiftDownOnTheLastRowNeitherTogglesNorMoves) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(4);
    EXPECT_EQ(panel.OnKey(Shift(KC_DOWN)), 1);
    EXPECT_FALSE(Selected(panel, 4));
    EXPECT_EQ(panel.Cursor(), 4);

    panel.SetCurrentRow(2);
    EXPECT_EQ(panel.OnKey(Shift(KC_DOWN)), 0);
    EXPECT_TRUE(Selected(panel, 2));
    EXPECT_EQ(panel.Cursor(), 3);
}

TEST_F(FilePanelKeysTest, ShiftUpTogglesAndMovesUpButNotFromTheFirstRowOrTheParent) {
    ZFilePanel panel;
    Fake().items = {File("a"), File("b"), File("c")};
    Place(panel);
    EXPECT_EQ(panel.OnKey(Shift(KC_UP)), 1);
    EXPECT_FALSE(Selected(panel, 0));
    EXPECT_EQ(panel.Cursor(), 0);

    panel.SetCurrentRow(2);
    EXPECT_EQ(panel.OnKey(Shift(KC_UP)), 0);
    EXPECT_TRUE(Selected(panel, 2));
    EXPECT_EQ(panel.Cursor(), 1);
    EXPECT_EQ(panel.OnKey(Shift(KC_UP)), 0);
    EXPECT_TRUE(Selected(panel, 1));
    EXPECT_EQ(panel.Cursor(), 0);

    ZFilePanel withParent;
    Fake().items = {Dir(".."), File("a")};
    Place(withParent, 40);
    EXPECT_EQ(withParent.OnKey(Shift(KC_DOWN)), 1);
    EXPECT_FALSE(Selected(withParent, 0));
    EXPECT_EQ(withParent.Cursor(), 0);
}

// ---- Commands sent by keys ----

TEST_F(FilePanelKeysTest, KeysSendTheirCommandsToThePanel) {
    const struct {
        uint32_t key;
        int row;
        int command;
    } cases[] = {
        {Pressed(KC_NUMMUL, '*'), 2, CMD_INVERT_SELECTION},
        {Pressed(KC_NUMADD, '+'), 2, CMD_SELECT},
        {Pressed(KC_NUMSUB, '-'), 2, CMD_UNSELECT},
        {Pressed(KC_F3), 1, CMD_DIR_SIZES},  // a directory
        {Pressed(KC_F3), 0, CMD_DIR_SIZES},  // ".." is one too
        {Pressed(KC_F3), 2, CMD_VIEW},       // a file
        {Pressed(KC_F4), 2, CMD_EDIT},
        {Pressed(KC_F5), 2, CMD_COPY},
        {Pressed(KC_F6), 2, CMD_MOVE},
        {Pressed(KC_F7), 2, CMD_MAKE_DIR},
        {Pressed(KC_F8), 2, CMD_DELETE},
        {Pressed(KC_F8, 0, KF_SHIFT), 2, CMD_DELETE},
        {Ctrl(KC_F10), 2, CMD_REVERSE},
        {Ctrl('h', 0x08), 2, CMD_TOGGLE_HIDDEN},
        {Ctrl('q', 0x11), 2, CMD_DIR_SIZES},
        {Ctrl('r', 0x12), 2, CMD_RELOAD},
    };
    RecordingPanel panel;
    Place(panel);
    for (const auto& entry : cases) {
        panel.commands.clear();
        panel.SetCurrentRow(entry.row);
        EXPECT_EQ(panel.OnKey(entry.key), 0) << entry.command;
        EXPECT_EQ(panel.commands, Ids{entry.command}) << std::hex << entry.key;
    }
    EXPECT_TRUE(shell.commands.empty());
}

TEST_F(FilePanelKeysTest, FunctionKeysWithCtrlAreNoPanelCommands) {
    RecordingPanel panel;
    Place(panel);
    panel.SetCurrentRow(2);
    for (const uint32_t key :
         {Ctrl(KC_F4), Ctrl(KC_F8), Ctrl(KC_F11), Pressed(KC_F5, 0, KF_RCTRL)}) {
        panel.OnKey(key);
    }
    // Ctrl+F4 and Ctrl+F8 are sort modes for the shell; nothing reaches the panel.
    EXPECT_TRUE(panel.commands.empty());
}

TEST_F(FilePanelKeysTest, CtrlF3ToF9SendSortModesToTheShellForTheirSide) {
    const uint32_t keys[] = {Ctrl(KC_F3), Ctrl(KC_F4), Ctrl(KC_F5), Ctrl(KC_F6),
                             Ctrl(KC_F7), Ctrl(KC_F8), Ctrl(KC_F9)};
    RecordingPanel left;
    Place(left, 0);
    for (const uint32_t key : keys) EXPECT_EQ(left.OnKey(key), 0);
    EXPECT_EQ(shell.commands, (Ids{1041, 1042, 1043, 1044, 1045, 1046, 1040}));

    shell.commands.clear();
    RecordingPanel right;
    Place(right, 40);
    for (const uint32_t key : keys) EXPECT_EQ(right.OnKey(key), 0);
    EXPECT_EQ(shell.commands, (Ids{1031, 1032, 1033, 1034, 1035, 1036, 1030}));
    EXPECT_TRUE(left.commands.empty());
    EXPECT_TRUE(right.commands.empty());
}

TEST_F(FilePanelKeysTest, CopyMoveAndDeleteOnTheParentWithNothingSelectedDoNothing) {
    kq::ui::testing::Application owner;
    Open(owner, 0, 22, 80, 1);
    RecordingPanel panel;
    panel.passOn = true;
    Place(panel);
    panel.SetOwner(&owner);
    const int listings = Fake().listings;
    for (const uint32_t key : {Pressed(KC_F5), Pressed(KC_F6), Pressed(KC_F8)}) {
        EXPECT_EQ(panel.OnKey(key), 0);
    }
    EXPECT_EQ(panel.commands, (Ids{CMD_COPY, CMD_MOVE, CMD_DELETE}));
    EXPECT_TRUE(owner.commands.empty());
    EXPECT_EQ(Fake().listings, listings);
    EXPECT_TRUE(Fake().directoryRequests.empty());
    EXPECT_EQ(panel.RowTotals().selectedCount, 0);
    EXPECT_EQ(panel.Cursor(), 0);
    EXPECT_TRUE(host.executed.empty());
}

// ---- Entering rows ----

TEST_F(FilePanelKeysTest, EnterOnADirectoryEntersIt) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Pressed(KC_ENTER, 13)), 0);
    EXPECT_EQ(Fake().directoryRequests, Lines{"sub"});
    EXPECT_TRUE(host.executed.empty());
}

TEST_F(FilePanelKeysTest, EnterWithTextOnTheCommandLineIsTheShells) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(1);
    host.line = "make";
    EXPECT_EQ(panel.OnKey(Pressed(KC_ENTER, 13)), 1);
    EXPECT_EQ(host.line, "make");
    EXPECT_TRUE(Fake().directoryRequests.empty());
    // And Shift+Enter or Alt+Enter are not the panel's either.
    host.line.clear();
    EXPECT_EQ(panel.OnKey(Pressed(KC_ENTER, 13, KF_SHIFT)), 1);
    EXPECT_EQ(panel.OnKey(Pressed(KC_ENTER, 13, KF_LALT)), 1);
    EXPECT_TRUE(Fake().directoryRequests.empty());
}

TEST_F(FilePanelKeysTest, EnterOnAFileRunsItsQuotedName) {
    const struct {
        const char* name;
        uint32_t flags;
        const char* line;
    } cases[] = {
        {"prog", 0, "prog"},
        {"prog", PLUGIN_FLAG_LOCAL_PATHS, "./prog"},
        {"a; touch pwned", PLUGIN_FLAG_LOCAL_PATHS, "./'a; touch pwned'"},
        {"$(x)", PLUGIN_FLAG_LOCAL_PATHS, "./'$(x)'"},
        {"it's", 0, "'it'\\''s'"},
        {"-rf", PLUGIN_FLAG_LOCAL_PATHS, "./'-rf'"},
        {"my prog", 0, "'my prog'"},
    };
    for (const auto& entry : cases) {
        Fake().items = {File(entry.name)};
        Fake().flags = entry.flags;
        host.executed.clear();
        ZFilePanel panel;
        Place(panel);
        EXPECT_EQ(panel.OnKey(Pressed(KC_ENTER, 13)), 0) << entry.name;
        EXPECT_EQ(host.executed, Lines{entry.line}) << entry.name;
        panel.Destroy();
    }
}

TEST_F(FilePanelKeysTest, CtrlEnterInsertsTheQuotedNameAndABlankAtTheCursor) {
    Fake().items = {File("my file"), File("plain")};
    ZFilePanel panel;
    Place(panel);
    host.line = "ls -l";
    host.cursor = 3;
    EXPECT_EQ(panel.OnKey(Ctrl(KC_ENTER, 10)), 0);
    EXPECT_EQ(host.line, "ls 'my file' -l");
    EXPECT_EQ(host.cursor, 13);
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_ENTER, 10)), 0);
    EXPECT_EQ(host.line, "ls 'my file' plain -l");
    EXPECT_EQ(host.cursor, 19);
    EXPECT_TRUE(host.executed.empty());
}

TEST_F(FilePanelKeysTest, CtrlPgUpLeavesThroughTheParentOnly) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(3);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGUP)), 0);
    EXPECT_EQ(Fake().directoryRequests, Lines{".."});

    // Without ".." first (a root) the key does nothing.
    Fake().items = {File("a"), File("b")};
    Fake().directoryRequests.clear();
    panel.Reload();
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGUP)), 1);
    EXPECT_EQ(panel.Cursor(), 1);
    EXPECT_TRUE(Fake().directoryRequests.empty());
    EXPECT_TRUE(host.executed.empty());
}

TEST_F(FilePanelKeysTest, CtrlPgDnEntersTheCurrentRow) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGDN)), 0);
    EXPECT_EQ(Fake().directoryRequests, Lines{"sub"});
}

TEST_F(FilePanelKeysTest, CtrlBackslashChangesToTheRoot) {
    ZFilePanel panel;
    Place(panel);
    // As the terminal's decoder reports it: the backslash key with the FS control byte.
    EXPECT_EQ(panel.OnKey(Ctrl('\\', 0x1C)), 0);
    EXPECT_EQ(Fake().directoryRequests, Lines{"/"});
    EXPECT_STREQ(panel.GetTitle(), "/");
}

// ---- The local plugin on a temporary tree ----

class LocalPanelKeysTest : public FilePanelKeysTest {
  protected:
    void SetUp() override {
        FilePanelKeysTest::SetUp();
        tree = folder + "/tree";
        fs::create_directories(tree + "/sub/deeper");
        fs::create_directories(tree + "/another");
        std::ofstream(tree + "/run me") << "x";
        ASSERT_EQ(FsGetCwd(saved), 0);
        OpenPanel(panel, 0, 1, 40, 20, 0);
        host.active = &panel;
        ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
    }
    void TearDown() override {
        FsSetCwd(saved);
        FilePanelKeysTest::TearDown();
    }

    int RowNamed(const std::string& name) const {
        const std::vector<std::string> names = RowNames(panel);
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) return static_cast<int>(i);
        }
        return -1;
    }

    std::string tree;
    char saved[FS_MAX_PATH] = {};
    ZFilePanel panel;
};

TEST_F(LocalPanelKeysTest, EnterOnTheParentLeavesTheCursorOnTheDirectoryLeft) {
    panel.SetCurrentRow(RowNamed("sub"));
    ASSERT_EQ(panel.OnKey(Pressed(KC_ENTER, 13)), 0);
    ASSERT_EQ(std::string(panel.GetTitle()), tree + "/sub");
    ASSERT_EQ(RowNames(panel)[0], "..");
    panel.SetCurrentRow(0);
    ASSERT_EQ(panel.OnKey(Pressed(KC_ENTER, 13)), 0);
    EXPECT_EQ(std::string(panel.GetTitle()), tree);
    ASSERT_GE(panel.Cursor(), 0);
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "sub");
    // "another" sorts before "sub": the cursor followed the name, not the index.
    EXPECT_EQ(panel.Cursor(), RowNamed("sub"));
    EXPECT_GT(panel.Cursor(), 1);
}

TEST_F(LocalPanelKeysTest, CtrlPgUpFromADeeperDirectoryGoesUpOnTheDirectoryLeft) {
    ASSERT_EQ(panel.ChangeDirectory((tree + "/sub/deeper").c_str(), 0), 0);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGUP)), 0);
    EXPECT_EQ(std::string(panel.GetTitle()), tree + "/sub");
    EXPECT_STREQ(panel.CellText(panel.Cursor(), ZFilePanel::kFieldName), "deeper");
}

TEST_F(LocalPanelKeysTest, EnterOnAFileRunsItFromTheCurrentDirectory) {
    panel.SetCurrentRow(RowNamed("run me"));
    EXPECT_EQ(panel.OnKey(Pressed(KC_ENTER, 13)), 0);
    EXPECT_EQ(host.executed, Lines{"./'run me'"});
}

TEST_F(LocalPanelKeysTest, CtrlBackslashListsTheRoot) {
    EXPECT_EQ(panel.OnKey(Ctrl('\\', 0x1C)), 0);
    EXPECT_STREQ(panel.GetTitle(), "/");
}

}  // namespace
}  // namespace kq::panels::testing
