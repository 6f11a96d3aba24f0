// Activating a panel: the host's active panel, the focusable flag, the order the windows rise
// in, the command line keeping the keyboard, the prompt and current directory, the key bar and
// the sort check marks of the menu bar; and a panel working without a host.
#include <algorithm>
#include <string>

#include "kq/fs.h"
#include "kq/resource_ids.h"
#include "panels/PanelTestSupport.h"
#include "plugins/PluginTable.h"
#include "ui/ZKeyBar.h"

namespace kq::panels::testing {
namespace {

using kq::ui::testing::Application;

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

    // The position of a window among the desktop's children, bottom first.
    static int ZOrder(const ZWindow* window) {
        const auto& children = ZDesktop::Desktop()->Children();
        return static_cast<int>(std::find(children.begin(), children.end(), window) -
                                children.begin());
    }
    static bool Focusable(const ZWindow& window) { return (window.GetFlags() & WF_FOCUSABLE) != 0; }

    // The menu bar of the English module, for the sort check marks.
    bool OpenMenuBar() {
        if (menuBar.CreateFromResource(IDM_MENU_BAR, ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 1), nullptr,
                                       WF_VISIBLE) != 0) {
            return false;
        }
        host.menuBar = &menuBar;
        return true;
    }
    static ZMenu* Holding(ZMenu* menu, int id) {
        if (menu->GetItem(id) != nullptr) return menu;
        for (int i = 0; i < menu->ItemCount(); ++i) {
            const ZMenuItem* item = menu->ItemAt(i);
            if (item != nullptr && item->submenu) {
                if (ZMenu* found = Holding(item->submenu.get(), id)) return found;
            }
        }
        return nullptr;
    }
    // The ids among first .. first + 9 and reverse whose items carry a check mark.
    std::vector<int> Checked(int first, int reverse) {
        std::vector<int> ids;
        for (int id = first; id < first + 10; ++id) ids.push_back(id);
        ids.push_back(reverse);
        std::vector<int> checked;
        for (const int id : ids) {
            ZMenu* holder = Holding(&menuBar, id);
            EXPECT_NE(holder, nullptr) << id;
            if (holder != nullptr && (holder->GetItemType(id) & MENU_TYPE_CHECKED)) {
                checked.push_back(id);
            }
        }
        return checked;
    }

    Application commandLine;
    ZMenu menuBar;
    ZFilePanel left;
    ZFilePanel right;
};

TEST_F(PanelActivationTest, ActivatedPanelBecomesTheHostsActiveOneAndTheCommandLineKeepsTheFocus) {
    left.Activate(true);
    EXPECT_EQ(host.active, &left);
    EXPECT_TRUE(left.IsActive());
    EXPECT_FALSE(right.IsActive());
    EXPECT_TRUE(Focusable(left));
    EXPECT_FALSE(Focusable(right));
    EXPECT_EQ(ZDesktop::GetFocus(), &commandLine);
    // The other panel, then this one, then the command line on top.
    EXPECT_LT(ZOrder(&right), ZOrder(&left));
    EXPECT_LT(ZOrder(&left), ZOrder(&commandLine));

    right.Activate(true);
    EXPECT_EQ(host.active, &right);
    EXPECT_TRUE(right.IsActive());
    EXPECT_FALSE(left.IsActive());
    EXPECT_TRUE(Focusable(right));
    EXPECT_FALSE(Focusable(left));
    EXPECT_EQ(ZDesktop::GetFocus(), &commandLine);
    EXPECT_LT(ZOrder(&left), ZOrder(&right));
}

TEST_F(PanelActivationTest, MenuBarRisesBetweenTheTwoPanelsWithoutBeingOpened) {
    if (!HasLanguage() || !OpenMenuBar()) GTEST_SKIP() << "no language module";
    left.Activate(true);
    EXPECT_LT(ZOrder(&right), ZOrder(&menuBar));
    EXPECT_LT(ZOrder(&menuBar), ZOrder(&left));
    EXPECT_EQ(ZDesktop::GetFocus(), &commandLine);
    EXPECT_EQ(menuBar.Selected(), -1);
}

TEST_F(PanelActivationTest, HiddenOtherPanelStaysHidden) {
    right.Show(false);
    left.Activate(true);
    EXPECT_EQ(right.GetFlags() & WF_VISIBLE, 0u);
    EXPECT_FALSE(right.IsActive());
    EXPECT_TRUE(left.IsActive());
}

TEST_F(PanelActivationTest, PassivePanelRisingDuringActivationIsNotDrawnWithACursorBar) {
    Fake().items = {File("a")};
    left.Reload();
    right.Reload();
    left.Activate(true);
    const auto barAt = [this](int x) { return console->Attr(x, 3); };
    EXPECT_EQ(barAt(1), Colour(ZPanel::kColourCursor));
    EXPECT_NE(barAt(41), Colour(ZPanel::kColourCursor));
    right.Activate(true);
    EXPECT_NE(barAt(1), Colour(ZPanel::kColourCursor));
    EXPECT_EQ(barAt(41), Colour(ZPanel::kColourCursor));
}

TEST_F(PanelActivationTest, ActivationSetsThePromptAndForLocalPathsTheCurrentDirectory) {
    char saved[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(saved), 0);
    Fake().directory = folder;
    Fake().flags = 0;
    left.Reload();
    left.Activate(true);
    ASSERT_FALSE(host.prompts.empty());
    EXPECT_EQ(host.prompts.back(), folder);
    char now[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(now), 0);
    EXPECT_STREQ(now, saved);

    Fake().flags = PLUGIN_FLAG_LOCAL_PATHS;
    right.Activate(true);
    ASSERT_EQ(FsGetCwd(now), 0);
    EXPECT_EQ(std::string(now), folder);
    ASSERT_EQ(FsSetCwd(saved), 0);
}

TEST_F(PanelActivationTest, KeyBarShowsThePluginsLabelsOrTheLocalOnes) {
    ZKeyBar* keyBar = ZKeyBar::Get();
    ASSERT_NE(keyBar, nullptr);
    keyBar->Show(true);
    left.Activate(true);
    EXPECT_EQ(console->Text(0, 24, 5), " 1One");
    if (!HasLanguage()) return;
    PluginEntry withoutKeyBar = FakeEntry(true);
    withoutKeyBar.ZGetKeyBar = nullptr;
    ASSERT_TRUE(kq::plugins::RegisterPlugin(withoutKeyBar));
    ASSERT_EQ(right.Bind(kq::plugins::PluginCount() - 1, 0), 0);
    right.Activate(true);
    EXPECT_EQ(console->Text(0, 24, 6), " 1Help");
}

TEST_F(PanelActivationTest, SortCheckMarksFollowEachPanelsModeAndReverseFlag) {
    if (!HasLanguage() || !OpenMenuBar()) GTEST_SKIP() << "no language module";
    left.Activate(true);
    EXPECT_EQ(Checked(CMD_SORT_LEFT, CMD_REVERSE_LEFT), (std::vector<int>{CMD_SORT_LEFT + 1}));
    left.SetSortOrder(3, true);
    EXPECT_EQ(Checked(CMD_SORT_LEFT, CMD_REVERSE_LEFT),
              (std::vector<int>{CMD_SORT_LEFT + 3, CMD_REVERSE_LEFT}));
    // Fault caught: the passive panel's marks went stale when it was sorted from the menu.
    right.SetSortOrder(0, true);
    EXPECT_EQ(Checked(CMD_SORT_RIGHT, CMD_REVERSE),
              (std::vector<int>{CMD_SORT_RIGHT, CMD_REVERSE}));
    right.SetSortOrder(0, false);
    right.Activate(true);
    EXPECT_EQ(Checked(CMD_SORT_RIGHT, CMD_REVERSE), (std::vector<int>{CMD_SORT_RIGHT}));
    // The left panel's marks stay as they were.
    EXPECT_EQ(Checked(CMD_SORT_LEFT, CMD_REVERSE_LEFT),
              (std::vector<int>{CMD_SORT_LEFT + 3, CMD_REVERSE_LEFT}));
}

TEST_F(PanelActivationTest, WithoutAHostThePanelActivatesItself) {
    SetPanelHost(nullptr);
    left.Activate(true);
    EXPECT_EQ(ZDesktop::GetFocus(), &left);
    EXPECT_TRUE(left.IsActive());
    EXPECT_FALSE(right.IsActive());
    EXPECT_TRUE(Focusable(left));
    EXPECT_FALSE(Focusable(right));
    // Settings read as defaults: titles, information and the sort letter are shown.
    EXPECT_EQ(left.TitleRows(), 1);
    EXPECT_EQ(console->Char(1, 2), 'n');
    SetPanelHost(&host);
}

TEST_F(PanelActivationTest, DestroyedPanelIsNoLongerTheHostsActivePanel) {
    {
        ZFilePanel third;
        OpenPanel(third, 20, 5, 30, 10);
        third.Activate(true);
        EXPECT_EQ(host.active, &third);
    }
    EXPECT_EQ(host.active, nullptr);
}

}  // namespace
}  // namespace kq::panels::testing
