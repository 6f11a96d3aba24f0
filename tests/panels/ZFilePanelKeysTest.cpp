// The panels' keys and commands on the test plugin: cursor keys, selecting with Insert and
// Shift, the commands keys send, entering and running rows, the command line, sort modes,
// hidden names and selecting by mask through the dialog.
#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

class PanelKeysTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        Fake().items = {Dir(".."), Dir("sub"), File("a"), File("b"), File("c")};
        host.commandLine = &shell;
    }
    std::string StoredMask() {
        char text[600] = {};
        return CfgQuerySz(host.panels, "FileSelect", text, sizeof text) == 0 ? text : "<absent>";
    }
    Recording<ZWindow> shell;
};

TEST_F(PanelKeysTest, CursorKeysStayInsideTheTableAndMoveByPagesAndColumns) {
    Fake().items.clear();
    for (int i = 0; i < 40; ++i) Fake().items.push_back(File("f" + std::to_string(100 + i)));
    ZFilePanel panel;
    Place(panel);
    ASSERT_EQ(panel.RowsPerColumn(), 15);
    const struct {
        int columns, start;
        uint32_t code;
        int expected, top;  // top -1: not checked
    } cases[] = {{1, 0, KC_UP, 0, -1},      {1, 39, KC_DOWN, 39, -1}, {1, 3, KC_END, 39, -1},
                 {1, 14, KC_PGDN, 28, -1},  {1, 30, KC_PGDN, 39, -1}, {1, 39, KC_PGUP, 25, -1},
                 {1, 20, KC_LEFT, 5, -1},   {1, 14, KC_LEFT, 0, -1},  {2, 0, KC_PGDN, 29, -1},
                 {2, 15, KC_RIGHT, 30, 15}, {2, 30, KC_RIGHT, 39, -1}};
    for (const auto& c : cases) {
        panel.SetPanelColumns(c.columns);
        panel.SetCurrentRow(c.start);
        EXPECT_EQ(panel.OnKey(Key(c.code)), 0);
        EXPECT_EQ(panel.Cursor(), c.expected) << c.start << " " << std::hex << c.code;
        EXPECT_EQ(c.top < 0 ? -1 : panel.Top(), c.top) << c.start << " " << std::hex << c.code;
    }
    panel.SetPanelColumns(1);
    panel.SetCurrentRow(20);
    EXPECT_EQ(panel.OnKey(Key(KC_NUM8)), 0);       // Num Lock off: a cursor key
    EXPECT_EQ(panel.OnKey(Key(KC_NUM8, '8')), 1);  // on: it types its digit
    EXPECT_EQ(panel.Cursor(), 19);
    EXPECT_EQ(panel.ZListPanel::OnKey(Key(KC_DOWN, 0, KF_LALT)), 1);  // not a cursor key
    EXPECT_EQ(panel.Cursor(), 19);
    Fake().items.clear();  // an empty table takes the keys and has no cursor
    panel.Reload();
    EXPECT_EQ(panel.OnKey(Key(KC_END)), 0);
    EXPECT_EQ(panel.Cursor(), -1);
}

TEST_F(PanelKeysTest, InsertAndShiftToggleTheRowAndMove) {
    ZFilePanel panel;
    Place(panel);
    EXPECT_EQ(panel.OnKey(Key(KC_INS)), 1);  // ".." is never selected
    panel.SetCurrentRow(2);
    EXPECT_EQ(panel.OnKey(Shift(KC_DOWN)), 0);
    EXPECT_EQ(panel.Cursor(), 3);
    panel.SetCurrentRow(4);
    EXPECT_EQ(panel.OnKey(Key(KC_INS)), 0);  // on the last row the cursor stays
    EXPECT_EQ(panel.Cursor(), 4);
    EXPECT_EQ(SelectedNames(panel), (Names{"a", "c"}));
    EXPECT_EQ(panel.OnKey(Key(KC_INS)), 0);  // and a second Insert unselects
    EXPECT_EQ(SelectedNames(panel), Names{"a"});
}

TEST_F(PanelKeysTest, KeysSendTheirCommandsToThePanelOrTheShell) {
    RecordingPanel left, right;
    Place(right, 40);
    Place(left, 0);
    left.SetCurrentRow(1);  // F3 on a directory counts its size, on a file views it
    EXPECT_EQ(left.OnKey(Key(KC_F3)), 0);
    left.SetCurrentRow(2);
    for (const uint32_t key :
         {Key(KC_F3), Key(KC_NUMMUL, '*'), Key(KC_NUMADD, '+'), Key(KC_NUMSUB, '-'), Key(KC_F4),
          Key(KC_F5), Key(KC_F6), Key(KC_F7), Key(KC_F8), Ctrl(KC_F10), Ctrl('h', 0x08),
          Ctrl('q', 0x11), Ctrl('r', 0x12)}) {
        EXPECT_EQ(left.OnKey(key), 0) << std::hex << key;
    }
    EXPECT_EQ(left.commands,
              (Ids{CMD_DIR_SIZES, CMD_VIEW, CMD_INVERT_SELECTION, CMD_SELECT, CMD_UNSELECT,
                   CMD_EDIT, CMD_COPY, CMD_MOVE, CMD_MAKE_DIR, CMD_DELETE, CMD_REVERSE,
                   CMD_TOGGLE_HIDDEN, CMD_DIR_SIZES, CMD_RELOAD}));
    left.commands.clear();
    // Ctrl+F3 to F9 are sort modes for the shell, for the panel's side; other Ctrl+F keys are
    // no panel commands.
    const Ids modes = {1, 2, 3, 4, 5, 6, 0, 3};  // the last: Ctrl+F5 with the right Ctrl
    for (RecordingPanel* panel : {&left, &right}) {
        host.active = panel;
        for (uint32_t key = KC_F3; key <= KC_F9; ++key) EXPECT_EQ(panel->OnKey(Ctrl(key)), 0);
        for (const uint32_t key : {Ctrl(KC_F11), Key(KC_F5, 0, KF_RCTRL)}) panel->OnKey(key);
        EXPECT_TRUE(panel->commands.empty());
    }
    Ids expected;
    for (const int base : {CMD_SORT_LEFT, CMD_SORT_RIGHT}) {
        for (const int mode : modes) expected.push_back(base + mode);
    }
    EXPECT_EQ(shell.commands, expected);
}

TEST_F(PanelKeysTest, EnteringRowsAndTheCommandLine) {
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(1);
    host.line = "make";  // with text on the command line Enter is the shell's
    EXPECT_EQ(panel.OnKey(kEnter), 1);
    EXPECT_EQ(host.line, "make");
    host.line.clear();
    EXPECT_EQ(panel.OnKey(kEnter), 0);
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGDN)), 0);
    panel.SetCurrentRow(3);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGUP)), 0);  // leaves through "..", onto the directory left
    EXPECT_EQ(Current(panel), "sub");
    EXPECT_EQ(panel.OnKey(Ctrl('\\', 0x1C)), 0);  // as the terminal's decoder reports it
    EXPECT_EQ(Fake().directoryRequests, (Names{"sub", "sub", "..", "/"}));
    Fake().items = {File("my file"), File("plain")};  // a root: Ctrl+PgUp does nothing
    Fake().directoryRequests.clear();
    panel.Reload();
    EXPECT_EQ(panel.OnKey(Ctrl(KC_PGUP)), 1);
    host.line = "ls -l";  // Ctrl+Enter inserts the quoted name and a blank at the cursor
    host.cursor = 3;
    panel.SetCurrentRow(0);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_ENTER, 10)), 0);
    panel.SetCurrentRow(1);
    EXPECT_EQ(panel.OnKey(Ctrl(KC_ENTER, 10)), 0);
    EXPECT_EQ(host.line, "ls 'my file' plain -l");
    EXPECT_EQ(host.cursor, 19);
    host.line.clear();  // Enter on a file runs its quoted name, from the directory when local
    Fake().items = {File("a; touch pwned")};
    panel.Reload();
    for (const uint32_t flags : {0u, static_cast<uint32_t>(PLUGIN_FLAG_LOCAL_PATHS)}) {
        Fake().flags = flags;
        EXPECT_EQ(panel.OnKey(kEnter), 0);
    }
    EXPECT_EQ(host.executed, (Names{"'a; touch pwned'", "./'a; touch pwned'"}));
}

// "ShowHidden" goes from absent to 0 and back; while 0 hidden names (never "..") are left out,
// and the cursor stays on its file.
TEST_F(PanelKeysTest, CtrlHLeavesOutHiddenNamesAndBringsThemBack) {
    Fake().items = {Dir(".."), FakeItem{".profile", FA_ARCHIVE | FA_HIDDEN, 10},
                    FakeItem{".config", FA_DIR | FA_HIDDEN}, File("visible.txt", 5)};
    ZFilePanel panel;
    Place(panel);
    panel.SetCurrentRow(3);
    uint32_t value = 99;
    for (const uint32_t expected : {0u, 1u}) {
        EXPECT_EQ(panel.OnKey(Ctrl('h', 0x08)), 0);
        ASSERT_EQ(CfgQueryDw(host.panels, "ShowHidden", &value), 0);
        EXPECT_EQ(value, expected);
        EXPECT_EQ(RowNames(panel).size(), expected == 0 ? 2u : 4u);
        EXPECT_EQ(Current(panel), "visible.txt");
    }
}

TEST_F(PanelKeysTest, InvertAndMasksSkipTheParentAndDirectoriesUnlessSelectFolders) {
    Fake().items = {Dir(".."),     Dir("docs.txt"), Dir("src"),    File("a.txt"),
                    File("b.TXT"), File("c.cpp"),   File("readme")};
    ZFilePanel panel;
    Place(panel);
    panel.SetRowSelected(3, true);
    EXPECT_EQ(panel.OnKey(Key(KC_NUMMUL, '*')), 0);
    EXPECT_EQ(SelectedNames(panel), (Names{"b.TXT", "c.cpp", "readme"}));
    SetPanelSetting("SelectFolders", 1);
    EXPECT_EQ(panel.OnCommand(CMD_INVERT_SELECTION), 0);
    EXPECT_EQ(SelectedNames(panel), (Names{"docs.txt", "src", "a.txt"}));
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    for (int row = 0; row < panel.RowCount(); ++row) panel.SetRowSelected(row, false);
    const Names all = {"docs.txt", "src", "a.txt", "b.TXT", "c.cpp", "readme"};
    const Names rest = {"docs.txt", "src", "c.cpp", "readme"};
    const struct {
        std::string typed;
        uint32_t last;
        int command;
        bool folders;
        Names selected;
        std::string stored;
    } steps[] = {
        {"*", kEsc, CMD_SELECT, false, {}, "<absent>"},  // cancelled: nothing changes
        {"*.txt", kEnter, CMD_SELECT, false, {"a.txt", "b.TXT"}, "*.txt"},
        {"*", kEnter, CMD_SELECT, true, all, "*"},
        // Directories keep their selection without "SelectFolders".
        {"*.TXT", kEnter, CMD_UNSELECT, false, rest, "*.TXT"},
        {std::string(512, '*'), kEnter, CMD_SELECT, false, rest, "*.TXT"},  // too long: refused
    };
    for (const auto& s : steps) {
        SetPanelSetting("SelectFolders", s.folders ? 1 : 0);
        Answer(s.typed, s.last);
        EXPECT_EQ(panel.OnCommand(s.command), 0);
        EXPECT_EQ(SelectedNames(panel), s.selected) << s.typed;
        EXPECT_EQ(StoredMask(), s.stored) << s.typed;
    }
}

}  // namespace
}  // namespace kq::panels::testing
