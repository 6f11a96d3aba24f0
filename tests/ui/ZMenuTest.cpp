// Menus on the in-memory console.
#include <deque>
#include <string>
#include <vector>

#include "ui/ControlTestSupport.h"
#include "ui/ZMenu.h"

namespace kq::ui::testing {
namespace {

// A menu node tree for CreateFromMenu, kept alive by the object.
struct Entry {
    uint32_t id;
    const char* text;
    uint32_t type = 0;
    std::vector<Entry> submenu = {};
};

class MenuTree {
  public:
    MenuTree(std::initializer_list<Entry> entries) : root_(Build(std::vector<Entry>(entries))) {}
    explicit MenuTree(const std::vector<Entry>& entries) : root_(Build(entries)) {}
    const ResMenu* Root() const { return root_; }

  private:
    ResMenu* Build(const std::vector<Entry>& entries) {
        std::vector<ResMenuItem>& items = itemArrays_.emplace_back(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            items[i].id = entry.id;
            items[i].type = entry.type | (entry.submenu.empty() ? 0u : MENU_TYPE_SUBMENU);
            items[i].submenu = entry.submenu.empty() ? nullptr : Build(entry.submenu);
            items[i].text = texts_.emplace_back(entry.text).data();
        }
        ResMenu& node = nodes_.emplace_back();
        node.itemCount = static_cast<int>(items.size());
        node.title = nullptr;
        node.items = items.data();
        return &node;
    }

    std::deque<std::vector<ResMenuItem>> itemArrays_;
    std::deque<std::string> texts_;
    std::deque<ResMenu> nodes_;
    const ResMenu* root_;
};

constexpr uint32_t kSeparator = MENU_TYPE_SEPARATOR;
constexpr uint32_t kGreyed = MENU_TYPE_GRAYED;
constexpr uint32_t kChecked = MENU_TYPE_CHECKED;

class MenuTest : public PaletteDesktopTest {
  protected:
    void SetUp() override {
        PaletteDesktopTest::SetUp();
        Open(app, 0, 1, 80, 23);
    }

    // A bar on the top row, owned by the application window, with the focus.
    void OpenBar(ZMenu& bar, const MenuTree& tree, uint32_t flags = WF_VISIBLE, int x = 0,
                 int width = 80) {
        bar.CreateFromMenu(tree.Root(), ZRec(static_cast<int16_t>(x), 0, 0, 0),
                           ZRec(0, 0, static_cast<int16_t>(width), 1), nullptr, flags, 100);
        bar.SetOwner(&app);
        bar.Activate(true);
    }
    // A pop-up with its top-left corner at (x, y), owned by the application window.
    void OpenPopup(ZMenu& popup, const MenuTree& tree, int x, int y) {
        popup.CreateFromMenu(tree.Root(),
                             ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
                             ZRec(0, 0, 0, 0), nullptr, WF_POPUP | WF_VISIBLE, 200);
        popup.SetOwner(&app);
        popup.Activate(true);
    }
    static bool Visible(const ZWindow* window) {
        return window != nullptr && (window->GetFlags() & WF_VISIBLE) != 0;
    }
    static ZMenu* Submenu(ZMenu& menu, int id) {
        ZMenuItem* item = menu.GetItem(id);
        return item != nullptr ? item->submenu.get() : nullptr;
    }

    Application app;
};

// The pop-up is as wide as the longest text (8) + 4 columns; the key name ends three columns from
// the right.
TEST_F(MenuTest, PopupDrawsItsItemsAndFrame) {
    const MenuTree tree{{1, "~Copy\tF5"},          {2, "~Move\tF6"},
                        {0, "", kSeparator},       {3, "~Greyed", kGreyed},
                        {4, "~Checked", kChecked}, {5, "~More", 0, {{6, "~Inner"}}}};
    ZMenu popup;
    OpenPopup(popup, tree, 10, 5);
    EXPECT_EQ(popup.ScreenRect(), ZRec(10, 5, 12, 8));
    const std::string line(10, '\xC4');
    EXPECT_EQ(console->Text(10, 5, 12), "\xDA" + line + "\xBF");
    EXPECT_EQ(console->Text(10, 6, 12), "\xB3 Copy  F5 \xB3");
    EXPECT_EQ(console->Text(10, 8, 12), "\xC3" + line + "\xB4");
    EXPECT_EQ(console->Text(10, 10, 12),
              "\xB3\xFB"
              "Checked  \xB3");
    EXPECT_EQ(console->Text(12, 11, 9), "More    \x10");
    EXPECT_EQ(console->Text(10, 12, 12), "\xC0" + line + "\xD9");
    EXPECT_EQ(console->Attr(12, 6), Colour(ZMenu::kColourSelectedHotKey));
    for (int x = 11; x <= 20; ++x) EXPECT_EQ(console->Attr(x, 9), Colour(ZMenu::kColourGreyed));
}

// A pop-up with more items than the screen has rows stays on the screen and scrolls to the
// selection; a submenu opens beside the row it is shown on.
TEST_F(MenuTest, APopupTallerThanTheScreenScrolls) {
    std::vector<std::string> names;
    for (int i = 1; i <= 40; ++i) names.push_back("Item " + std::to_string(i));
    std::vector<Entry> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back({static_cast<uint32_t>(i + 1), names[i].c_str()});
    entries.back().submenu = {{99, "~Inner"}};
    const MenuTree tree(entries);
    ZMenu popup;
    OpenPopup(popup, tree, 10, 0);
    EXPECT_EQ(popup.ScreenRect().h, 25);
    Press({kEnd});
    EXPECT_EQ(console->Text(12, 23, 7), "Item 40");
    EXPECT_EQ(console->Text(12, 1, 7), "Item 18");
    Press({Key(KC_RIGHT)});
    EXPECT_EQ(Submenu(popup, 40)->ScreenRect().y, 22);  // kept inside the screen
    Press({kEsc, kHome});
    EXPECT_EQ(console->Text(12, 1, 7), "Item 1 ");
}

// Items from column one, a separator as a bar; the first item that does not fit ends the row.
TEST_F(MenuTest, BarLaysItsItemsOut) {
    const MenuTree tree{{1, "~Left"}, {2, "~Files"}, {0, "", kSeparator}, {3, "~Commands"}};
    ZMenu bar, narrow;
    OpenBar(bar, tree);
    EXPECT_EQ(console->Text(0, 0, 27), "  Left  Files  | Commands  ");
    EXPECT_EQ(console->Attr(2, 0), Colour(ZMenu::kColourSelectedHotKey));
    EXPECT_EQ(console->Attr(9, 0), Colour(ZMenu::kColourNormal));
    EXPECT_EQ(MenuBarItemColumn(bar, 3), 16);
    const MenuTree cut{{1, "~Left"}, {2, "~Files"}, {3, "~C"}};
    bar.Destroy();
    OpenBar(narrow, cut, WF_VISIBLE, 0, 13);
    EXPECT_EQ(console->Text(0, 0, 13), "  Left       ");
}

// A menu whose items are all separators or greyed has nothing to select: every selection key
// must come back (no endless search) and leave nothing selected, in particular no index past the
// last item.
TEST_F(MenuTest, SelectionKeysWrapAroundAndSkipSeparatorsAndGreyedItems) {
    // 0 separator, 1 Alpha, 2 separator, 3 Beta greyed, 4 Gamma, 5 Delta, 6 Omega greyed.
    const MenuTree column{{0, "", kSeparator},   {1, "~Alpha"}, {0, "", kSeparator},
                          {3, "~Beta", kGreyed}, {4, "~Gamma"}, {5, "~Delta"},
                          {6, "~Omega", kGreyed}};
    // 0 Left, 1 Files, 2 separator, 3 Commands, 4 Options greyed.
    const MenuTree row{{1, "~Left"},
                       {2, "~Files"},
                       {0, "", kSeparator},
                       {3, "~Commands"},
                       {4, "~Options", kGreyed}};
    const MenuTree nothing{{0, "", kSeparator}, {2, "~Greyed", kGreyed}, {0, "", kSeparator}};
    const MenuTree empty{};
    const std::vector<uint32_t> all = {kDown,  kDown, kUp,    kHome,      kEnd,
                                       kRight, kLeft, kEnter, Letter('g')};
    const struct {
        const MenuTree* tree;
        bool bar;
        std::vector<uint32_t> keys;
        int selected;
    } cases[] = {
        {&column, false, {}, 1},  // opening skips the leading separator
        {&column, false, {kDown, kDown, kDown}, 1},
        {&column, false, {kUp}, 5},
        {&row, true, {kRight, kRight, kRight}, 0},
        {&row, true, {kLeft}, 3},
        {&nothing, false, all, -1},
        {&empty, true, all, -1},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        ZMenu menu;
        if (cases[i].bar) {
            OpenBar(menu, *cases[i].tree);
        } else {
            OpenPopup(menu, *cases[i].tree, 5, 3);
        }
        Press(cases[i].keys);
        EXPECT_EQ(menu.Selected(), cases[i].selected) << "case " << i;
    }
    EXPECT_TRUE(app.commands.empty());
}

// Hot keys choose their item in either case and skip greyed items.
TEST_F(MenuTest, HotKeysChooseTheirItem) {
    const MenuTree tree{{1, "~Open"}, {2, "~Save", kGreyed}, {3, "Save ~as"}, {4, "~quit"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    Press({Letter('Q')});
    EXPECT_EQ(popup.Selected(), 3);
    Press({Letter('a'), Letter('s'), Letter('z')});
    EXPECT_EQ(popup.Selected(), 2);
    EXPECT_EQ(app.commands, (std::vector<int>{4, 3}));
    EXPECT_TRUE(app.keys.empty());
}

class SubmenuTest : public MenuTest {
  protected:
    void SetUp() override {
        MenuTest::SetUp();
        OpenBar(bar, tree);
        left = Submenu(bar, 1);
        files = Submenu(bar, 2);
        sort = Submenu(*left, 11);
    }

    const MenuTree tree{
        {1, "~Left", 0, {{11, "~Sort", 0, {{111, "~Name"}, {112, "~Size"}}}, {12, "~Reread"}}},
        {2, "~Files", 0, {{21, "~View"}, {22, "~Copy"}}},
        {3, "~Commands", 0, {{31, "~Help"}}}};
    ZMenu bar;
    ZMenu* left = nullptr;
    ZMenu* files = nullptr;
    ZMenu* sort = nullptr;
};

// Opening an item chooses it: the owner hears of it, and of the command chosen in the pop-up.
// Submenus are at least 10 columns wide.
TEST_F(SubmenuTest, DownOnTheBarOpensThePopupBelowTheItemAndCommandsClimbToTheOwner) {
    Press({kRight, kDown});
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->ScreenRect(), ZRec(7, 1, 10, 4));
    EXPECT_EQ(ZDesktop::GetFocus(), files);
    EXPECT_EQ(files->ParentMenu(), &bar);
    Press({kDown, kEnter});
    EXPECT_EQ(app.commands, (std::vector<int>{2, 22}));
}

TEST_F(SubmenuTest, EscAndLeftInANestedSubmenuReturnToItsParentPopupOnly) {
    for (const uint32_t key : {kEsc, kLeft}) {
        Press({kDown, kRight});
        ASSERT_TRUE(Visible(sort));
        const ZRec rect = sort->ScreenRect();
        EXPECT_EQ(rect.x, left->ScreenRect().x + left->ScreenRect().w);
        Press({key});
        EXPECT_FALSE(Visible(sort));
        EXPECT_EQ(ZDesktop::GetFocus(), left);
        EXPECT_EQ(console->Char(rect.x + rect.w - 1, rect.y + 1), '.');
        EXPECT_EQ(bar.Selected(), 0);
        Press({kEsc});
        EXPECT_FALSE(Visible(left));
        EXPECT_EQ(ZDesktop::GetFocus(), &bar);
    }
}

TEST_F(SubmenuTest, LeftAndRightGoToTheNeighbouringPopupHotKeysOpenOneAndCloseHidesThemAll) {
    // Right on an item without submenu: the next bar item's pop-up; Left the previous one,
    // wrapping on the bar.
    Press({kDown, kDown, kRight});
    EXPECT_FALSE(Visible(left));
    EXPECT_EQ(ZDesktop::GetFocus(), files);
    Press({kLeft});
    EXPECT_EQ(ZDesktop::GetFocus(), left);
    Press({kLeft});
    EXPECT_FALSE(Visible(left));
    EXPECT_EQ(ZDesktop::GetFocus(), Submenu(bar, 3));
    EXPECT_EQ(bar.Selected(), 2);
    Press({kEsc, Key('f', 'f', KF_LALT)});
    EXPECT_EQ(ZDesktop::GetFocus(), files);
    EXPECT_EQ(bar.Selected(), 1);
    Press({kLeft, kHome, kRight});
    ASSERT_TRUE(Visible(sort));
    EXPECT_EQ(bar.Close(), 0);
    EXPECT_FALSE(Visible(left));
    EXPECT_FALSE(Visible(sort));
    EXPECT_TRUE(Visible(&bar));  // a bar without WF_AUTOHIDE stays
    EXPECT_EQ(ZDesktop::GetFocus(), &app);
}

// Choosing outside a modal run (the pop-up opened from the loop) must not leave the run's done
// flag behind: the next Run would return at once with the old id.
TEST_F(SubmenuTest, BarRunEndsWithTheItemWhosePopupOpened) {
    Press({kDown, kEsc});
    ASSERT_EQ(ZDesktop::GetFocus(), &bar);
    for (uint32_t key : {kRight, kRight, kDown}) console->PushKey(key);
    EXPECT_EQ(bar.Run(), 3);
    EXPECT_EQ(ZDesktop::GetFocus(), Submenu(bar, 3));
}

// A longer item widens the pop-up and keeps the highlight; a submenu item builds its menu.
TEST_F(MenuTest, InsertItemWidensThePopupAndBuildsTheSubmenu) {
    const MenuTree tree{{10, "~Alpha"}, {20, "~Beta"}};
    const MenuTree inner{{41, "~Inner"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    Press({kDown});
    char longer[] = "A much longer ~item";
    popup.InsertItem(ResMenuItem{30, 0, nullptr, longer}, 0);
    EXPECT_EQ(popup.ScreenRect(), ZRec(5, 3, 23, 5));
    EXPECT_EQ(popup.Selected(), 2);
    EXPECT_EQ(console->Text(7, 4, 19), "A much longer item ");
    char more[] = "~More";
    popup.InsertItem(ResMenuItem{40, MENU_TYPE_SUBMENU, const_cast<ResMenu*>(inner.Root()), more},
                     -1);
    ZMenu* submenu = Submenu(popup, 40);
    ASSERT_NE(submenu, nullptr);
    EXPECT_EQ(submenu->ParentMenu(), &popup);
    Press({kEnd, kRight});
    EXPECT_EQ(ZDesktop::GetFocus(), submenu);
    // Destroyed with the submenu open: the popup once redrew items it had already freed.
}

TEST_F(MenuTest, AutoHideBarHidesOnEscAndCloseAndDestroyDetachesTheSubmenus) {
    const size_t before = ZDesktop::Desktop()->Children().size();
    const MenuTree tree{{1, "~Left", 0, {{11, "~Sort", 0, {{111, "~Name"}}}}}, {2, "~Files"}};
    ZMenu bar;
    OpenBar(bar, tree, WF_VISIBLE | WF_AUTOHIDE);
    Press({kEsc});
    EXPECT_FALSE(Visible(&bar));
    EXPECT_EQ(ZDesktop::GetFocus(), &app);
    bar.Show(true);
    bar.Activate(true);
    EXPECT_EQ(bar.Close(), 0);
    EXPECT_FALSE(Visible(&bar));
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before + 3);
    EXPECT_EQ(bar.Destroy(), 0);
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before);
    EXPECT_EQ(bar.ItemCount(), 0);
    EXPECT_EQ(bar.Destroy(), 0);
}

}  // namespace
}  // namespace kq::ui::testing
