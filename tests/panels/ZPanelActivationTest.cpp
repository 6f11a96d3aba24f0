// Activating a panel: the host's active panel, focus and the order windows rise in, and the
// menu bar's sort marks.
#include <algorithm>

#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

class PanelActivationTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        Open(commandLine, 0, 22, 80, 1);
        host.commandLine = &commandLine;
        OpenPanel(left, 0, 1, 40, 20);
        OpenPanel(right, 40, 1, 40, 20);
        left.SetOther(&right);
        right.SetOther(&left);
    }
    void TearDown() override {
        left.Destroy();
        right.Destroy();
        PanelTest::TearDown();
    }
    // The position among the desktop's children, bottom first.
    static int ZOrder(const ZWindow* window) {
        const auto& children = ZDesktop::Desktop()->Children();
        return static_cast<int>(std::find(children.begin(), children.end(), window) -
                                children.begin());
    }
    static bool Focusable(const ZWindow& window) { return window.GetFlags() & WF_FOCUSABLE; }

    kq::ui::testing::Application commandLine;
    ZFilePanel left, right;
};

TEST_F(PanelActivationTest, ActivatedPanelBecomesTheHostsActiveOneAndTheCommandLineKeepsTheFocus) {
    Fake().items = {File("a")};
    left.Reload();
    right.Reload();
    for (ZFilePanel* panel : {&left, &right}) {
        ZFilePanel* other = panel == &left ? &right : &left;
        panel->Activate(true);
        EXPECT_EQ(host.active, panel);
        EXPECT_TRUE(panel->IsActive() && Focusable(*panel));
        EXPECT_FALSE(other->IsActive() || Focusable(*other));
        EXPECT_EQ(ZDesktop::GetFocus(), &commandLine);
        // The other panel, this panel, the command line on top.
        EXPECT_LT(ZOrder(other), ZOrder(panel));
        EXPECT_LT(ZOrder(panel), ZOrder(&commandLine));
        // The other panel rises while this one takes over: it is drawn without a cursor bar.
        const int x = panel == &left ? 1 : 41;
        EXPECT_EQ(console->Attr(x, 3), Colour(ZPanel::kColourCursor));
        EXPECT_NE(console->Attr(x == 1 ? 41 : 1, 3), Colour(ZPanel::kColourCursor));
    }
}

TEST_F(PanelActivationTest, SortCheckMarksFollowEachPanelsModeAndReverseFlag) {
    if (!OpenMenuBar()) GTEST_SKIP() << "no language module";
    left.Activate(true);
    EXPECT_EQ(Checked(CMD_SORT_LEFT, CMD_REVERSE_LEFT), (Ids{CMD_SORT_LEFT + 1}));
    left.SetSortOrder(3, true);
    EXPECT_EQ(Checked(CMD_SORT_LEFT, CMD_REVERSE_LEFT), (Ids{CMD_SORT_LEFT + 3, CMD_REVERSE_LEFT}));
    // Fault caught: the passive panel's marks went stale when it was sorted from the menu.
    right.SetSortOrder(0, true);
    EXPECT_EQ(Checked(CMD_SORT_RIGHT, CMD_REVERSE), (Ids{CMD_SORT_RIGHT, CMD_REVERSE}));
    right.SetSortOrder(0, false);
    right.Activate(true);
    EXPECT_EQ(Checked(CMD_SORT_RIGHT, CMD_REVERSE), (Ids{CMD_SORT_RIGHT}));
    EXPECT_EQ(Checked(CMD_SORT_LEFT, CMD_REVERSE_LEFT), (Ids{CMD_SORT_LEFT + 3, CMD_REVERSE_LEFT}));
}

}  // namespace
}  // namespace kq::panels::testing
