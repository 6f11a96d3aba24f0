// The viewer window on the in-memory console: keys, dialogs, search, the refusals of
// ZViewFile and the history it keeps in the settings.
#include <sys/stat.h>

#include <filesystem>

#include "ViewerTestSupport.h"
#include "kq/config.h"
#include "kq/viewer.h"
#include "support/LanguageDesktopTest.h"
#include "ui/ZKeyBar.h"
#include "viewer/ZViewer.h"

namespace kq::viewer::testing {
namespace {

using kq::ui::testing::CharKey;
using kq::ui::testing::kEnter;
using kq::ui::testing::kEsc;
using kq::ui::testing::Key;

class ZViewerTest : public kq::test::LanguageDesktopTest {
  protected:
    void SetUp() override {
        std::string lines;
        for (int i = 0; i < 30; ++i) lines += "line " + std::to_string(i) + "\n";
        path_ = folder_.WriteFile("lines.txt", lines);
        LanguageDesktopTest::SetUp();
    }
    void Open(ZViewer& viewer, const std::string& path) {
        ASSERT_TRUE(viewer.Open(path.c_str()));
        viewer.Restore(ReadViewerHistory(path.c_str()));
        viewer.Create(path.c_str(), ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 24), nullptr, WF_FOCUSABLE, 0);
        viewer.Activate(true);
    }
    void Type(std::string_view text) {
        for (char c : text) console->PushKey(CharKey(c));
    }
    uint64_t Stored(const char* name) {
        const CfgSection section = CfgOpen("Viewer_Files");
        uint64_t value = UINT64_MAX;
        uint32_t small = 0;
        if (CfgQueryQw(section, name, &value) != 0 && CfgQueryDw(section, name, &small) == 0)
            value = small;
        CfgClose(section);
        return value;
    }

    kq::test::TempFolder folder_{"kq-viewer"};
    std::string path_;
};

TEST_F(ZViewerTest, KeysMoveSwitchModesAndCloseLeavingTheKeyBarNothingFreed) {
    ZViewer viewer;
    Open(viewer, path_);
    struct Step {
        std::vector<uint32_t> keys;
        const char* row1;
        const char* status;
    };
    const Step steps[] = {
        {{Key(KC_DOWN)}, "line 1", "Mode: NoWrap Col:0    CP437   4%"},
        {{Key(KC_PGDN)}, "line 23", "Mode: NoWrap"},
        {{Key(KC_END)}, "line 8", " 25%"},
        {{Key(KC_HOME), Key(KC_F4)}, "00000000  6C 69 6E 65 | 20 30 0A 6C", "Mode: Hex"},
        {{Key(KC_F4), Key(KC_RIGHT), Key(KC_NUMADD)}, "", "Col:8"},
        {{Key(KC_LEFT), Key(KC_F2), Key(KC_RIGHT)}, "ine 0", "Mode: Wrap   Col:0"},
        {{Key(KC_F5), CharKey('9'), kEnter}, "line 8", "Mode: Wrap"},
        {{Key(KC_F5), CharKey('9'), CharKey('9'), kEnter}, "line 0", "Mode: Wrap"},
    };
    for (const Step& step : steps) {
        Press(step.keys);
        EXPECT_EQ(console->RowText(1).substr(0, std::string(step.row1).size()), step.row1);
        EXPECT_NE(console->RowText(0).find(step.status), std::string::npos) << console->RowText(0);
    }
    Press({kEsc});
    EXPECT_FALSE(viewer.IsAttached());
    ZKeyBar* keyBar = ZKeyBar::Get();
    keyBar->Show(true);
    keyBar->Redraw();  // the viewer's labels are gone: nothing freed is read
    EXPECT_EQ(console->RowText(24).find("Wrap"), std::string::npos);
}

TEST_F(ZViewerTest, SearchSelectsTheMatchThreeRowsDownAndSaysWhenThereIsNoMore) {
    ZViewer viewer;
    Open(viewer, path_);
    console->PushKey(Key(KC_F7));
    Type("NE 15");
    Press({kEnter});
    EXPECT_EQ(console->RowText(4).substr(0, 7), "line 15");
    EXPECT_EQ(console->Attr(2, 4), kSelectionColour);
    EXPECT_EQ(console->Attr(7, 4), kTextColour);
    Press({Key(KC_F4)});  // in hex only the character column shows the match
    EXPECT_EQ(console->Attr(64, 3), kSelectionColour);
    EXPECT_EQ(console->Attr(10, 3), kTextColour);
    Press({Key(KC_F4)});
    console->PushKey(Key(KC_F7, 0, KF_SHIFT));
    console->PushKey(kEnter);  // closes "Text not found."
    Press({});
    EXPECT_EQ(console->Attr(2, 4), kTextColour);
    EXPECT_EQ(console->RowText(4).substr(0, 7), "line 15");
    Press({Key(KC_F5), CharKey('2'), CharKey('1'), kEnter, Key(KC_F7, 0, KF_LALT)});
    EXPECT_EQ(console->RowText(4).substr(0, 7), "line 15");
}

TEST_F(ZViewerTest, MatchPastTheRightEdgeStandsTwentyColumnsLeftOfIt) {
    ZViewer viewer;
    Open(viewer, folder_.WriteFile("wide.txt", "\t" + std::string(100, 'x') + "END\n"));
    console->PushKey(Key(KC_F7));
    Type("END");
    Press({kEnter});
    EXPECT_NE(console->RowText(0).find("Col:48"), std::string::npos) << console->RowText(0);
    EXPECT_EQ(console->Attr(60, 1), kSelectionColour);
}

// A search through a file too large to finish at once shows its progress and stops at Esc,
// with the view as it was.
TEST_F(ZViewerTest, LongSearchStopsAtEscapeLeavingTheView) {
    const std::string huge = folder_.WriteFile("huge", "start\n");
    std::filesystem::resize_file(huge, int64_t{64} << 30);  // sparse: zeros up to 64 GiB
    ZViewer viewer;
    Open(viewer, huge);
    console->PushKey(Key(KC_F7));
    Type("zz");
    Press({kEnter, kEsc});
    EXPECT_EQ(console->RowText(1).substr(0, 5), "start");
    EXPECT_EQ(viewer.View().selectionStart, -1);
    EXPECT_TRUE(viewer.IsAttached());
}

TEST_F(ZViewerTest, CodePageDialogTakesOnlyPagesTheSystemConverts) {
    ZViewer viewer;
    Open(viewer, path_);
    for (const auto& [typed, shown] :
         {std::pair{"1200", "UniCode"}, {"9999", "UniCode"}, {"65001", "CP65001"}}) {
        console->PushKey(Key(KC_F8));
        Type(typed);
        console->PushKey(kEnter);
        if (std::string(typed) == "9999") console->PushKey(kEnter);  // "not available"
        Press({});
        EXPECT_NE(console->RowText(0).find(shown), std::string::npos) << typed;
    }
}

TEST_F(ZViewerTest, RefusesWhatIsNotARegularFileWithABeep) {
    const std::string fifo = folder_.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {folder_.root().string(), fifo, std::string("/dev/zero")}) {
        const int bells = console->BellCount();
        console->PushKey(kEnter);
        EXPECT_EQ(ZViewFile(path.c_str(), 0, 0, -1, -1, 0), -1) << path;
        EXPECT_EQ(console->BellCount(), bells + 1);
    }
}

TEST_F(ZViewerTest, ReopenedFileComesBackWhereItWasLeftAndKeepsItsSlot) {
    for (uint32_t key : {Key(KC_PGDN), Key(KC_F8)}) console->PushKey(key);
    Type("1252");
    for (uint32_t key : {kEnter, kEsc}) console->PushKey(key);
    ASSERT_EQ(ZViewFile(path_.c_str(), 0, 0, -1, -1, 0), 0);
    EXPECT_EQ(Stored("FilePos0"), 174u);  // "line 23": ten lines of 7 bytes, then 13 of 8
    EXPECT_EQ(Stored("FileCp0"), 1252u);
    console->PushKey(kEsc);
    ASSERT_EQ(ZViewFile(path_.c_str(), 0, 0, -1, -1, 0), 0);
    EXPECT_EQ(Stored("FilePos0"), 174u);
    EXPECT_EQ(Stored("FileCp0"), 1252u);

    // All 50 slots in use: a new file takes the slot "NextRec" names; a known one keeps its own
    // and leaves the rotation alone.
    const CfgSection section = CfgOpen("Viewer_Files");
    for (int slot = 1; slot < kHistorySlots; ++slot) {
        const std::string n = std::to_string(slot);
        CfgSetSz(section, ("FileName" + n).c_str(), ("/other/" + n).c_str());
        CfgSetQw(section, ("FilePos" + n).c_str(), 0, 0);
        CfgSetDw(section, ("FileCp" + n).c_str(), 437);
    }
    CfgSetDw(section, "NextRec", 7);
    CfgClose(section);
    const std::string other = folder_.WriteFile("other.txt", "x");
    console->PushKey(kEsc);
    ASSERT_EQ(ZViewFile(other.c_str(), 0, 0, -1, -1, 0), 0);
    console->PushKey(kEsc);
    ASSERT_EQ(ZViewFile(path_.c_str(), 0, 0, -1, -1, 0), 0);
    EXPECT_EQ(ReadViewerHistory(other.c_str()).slot, 7);
    EXPECT_EQ(ReadViewerHistory(path_.c_str()).slot, 0);
    EXPECT_EQ(Stored("NextRec"), 8u);
}

TEST_F(ZViewerTest, FollowsTheScreenWhenTheTerminalIsResized) {
    ZViewer viewer;
    viewer.FollowDesktop(true);
    Open(viewer, path_);
    console->SetSize(100, 30);
    Press({});
    EXPECT_EQ(viewer.Width(), 100);
    EXPECT_EQ(console->RowText(0).substr(91, 4), "  1%");
}

}  // namespace
}  // namespace kq::viewer::testing
