// Menus on the in-memory console: the bar and the pop-up as drawn, every key with its
// wrap-around and skipping, hot keys, menus with nothing to select, submenus opened, placed
// inside the screen and left again, the item operations, closing, modal runs, and the menu
// bar built from menu 1 of both language modules.
#include <deque>
#include <string>
#include <vector>

#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "ui/MenuTestSupport.h"
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

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

TEST_F(MenuTest, PopupShowsNameHotKeyAndKeyNameEndingThreeColumnsFromTheRight) {
    const MenuTree tree{{1, "~Copy\tF5"}, {2, "~Move\tF6"}};
    ZMenu popup;
    OpenPopup(popup, tree, 10, 5);
    // The longest text (8) + 4 columns; two items and the frame.
    EXPECT_EQ(popup.ScreenRect(), ZRec(10, 5, 12, 4));
    EXPECT_EQ(console->Text(10, 6, 12), "\xB3 Copy  F5 \xB3");
    EXPECT_EQ(console->Text(10, 7, 12), "\xB3 Move  F6 \xB3");
    // The selected first row: colour 3, its hot key colour 4; the other row 0 and 1.
    EXPECT_EQ(console->Attr(11, 6), Colour(ZMenu::kColourSelected));
    EXPECT_EQ(console->Attr(12, 6), Colour(ZMenu::kColourSelectedHotKey));
    EXPECT_EQ(console->Attr(13, 6), Colour(ZMenu::kColourSelected));
    EXPECT_EQ(console->Attr(19, 6), Colour(ZMenu::kColourSelected));
    EXPECT_EQ(console->Attr(12, 7), Colour(ZMenu::kColourHotKey));
    EXPECT_EQ(console->Attr(13, 7), Colour(ZMenu::kColourNormal));
    EXPECT_EQ(console->Text(10, 5, 12), "\xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xBF");
    EXPECT_EQ(console->Text(10, 8, 12), "\xC0\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xD9");
}

TEST_F(MenuTest, PopupDrawsSeparatorsGreyedCheckedAndSubmenuItems) {
    const MenuTree tree{{1, "~Open"},
                        {0, "", kSeparator},
                        {2, "~Greyed", kGreyed},
                        {3, "~Checked", kChecked},
                        {4, "~More", 0, {{5, "~Inner"}}}};
    ZMenu popup;
    OpenPopup(popup, tree, 10, 5);
    ASSERT_EQ(popup.ScreenRect(), ZRec(10, 5, 12, 7));
    EXPECT_EQ(console->Text(10, 7, 12), "\xC3\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xB4");
    for (int x = 11; x <= 20; ++x) EXPECT_EQ(console->Attr(x, 8), Colour(ZMenu::kColourGreyed));
    EXPECT_EQ(console->Text(10, 9, 12),
              "\xB3\xFB"
              "Checked  \xB3");
    EXPECT_EQ(console->Attr(12, 9), Colour(ZMenu::kColourHotKey));
    EXPECT_EQ(console->Char(20, 10), 0x10);
    EXPECT_EQ(console->Text(12, 10, 4), "More");
}

TEST_F(MenuTest, BarLaysItemsOutFromColumnOneWithSeparatorsAsABar) {
    const MenuTree tree{{1, "~Left"}, {2, "~Files"}, {0, "", kSeparator}, {3, "~Commands"}};
    ZMenu bar;
    OpenBar(bar, tree);
    EXPECT_EQ(console->Text(0, 0, 27), "  Left  Files  | Commands  ");
    for (int x = 1; x <= 6; ++x) {
        EXPECT_EQ(console->Attr(x, 0),
                  Colour(x == 2 ? ZMenu::kColourSelectedHotKey : ZMenu::kColourSelected));
    }
    EXPECT_EQ(console->Attr(8, 0), Colour(ZMenu::kColourHotKey));
    EXPECT_EQ(console->Attr(9, 0), Colour(ZMenu::kColourNormal));
    EXPECT_EQ(MenuBarItemColumn(bar, 3), 16);
}

TEST_F(MenuTest, BarStopsAtTheFirstItemThatDoesNotFit) {
    const MenuTree tree{{1, "~Left"}, {2, "~Files"}, {3, "~C"}};
    ZMenu bar;
    OpenBar(bar, tree, WF_VISIBLE, 0, 13);
    // Files would need columns 7 to 13; the short item after it is not drawn either.
    EXPECT_EQ(console->Text(0, 0, 13), "  Left       ");
}

// ---------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------

struct SelectionCase {
    const char* name;
    std::vector<uint32_t> keys;
    int selected;
};

TEST_F(MenuTest, PopupKeysWrapAroundAndSkipSeparatorsAndGreyedItems) {
    // 0 separator, 1 Alpha, 2 separator, 3 Beta greyed, 4 Gamma, 5 Delta, 6 Omega greyed.
    const MenuTree tree{{0, "", kSeparator},   {1, "~Alpha"}, {0, "", kSeparator},
                        {3, "~Beta", kGreyed}, {4, "~Gamma"}, {5, "~Delta"},
                        {6, "~Omega", kGreyed}};
    const SelectionCase cases[] = {
        {"opening skips the leading separator", {}, 1},
        {"down skips separator and greyed", {kDown}, 4},
        {"down", {kDown, kDown}, 5},
        {"down from the last selectable wraps", {kDown, kDown, kDown}, 1},
        {"up from the first selectable wraps", {kUp}, 5},
        {"up", {kUp, kUp}, 4},
        {"end: the last selectable", {kEnd}, 5},
        {"home: the first selectable", {kEnd, kHome}, 1},
    };
    for (const SelectionCase& test : cases) {
        SCOPED_TRACE(test.name);
        ZMenu popup;
        OpenPopup(popup, tree, 5, 3);
        Press(test.keys);
        EXPECT_EQ(popup.Selected(), test.selected);
        EXPECT_TRUE(app.commands.empty());
    }
}

TEST_F(MenuTest, BarKeysWrapAroundAndHomeAndEndActAsRight) {
    // 0 Left, 1 Files, 2 separator, 3 Commands, 4 Options greyed.
    const MenuTree tree{{1, "~Left"},
                        {2, "~Files"},
                        {0, "", kSeparator},
                        {3, "~Commands"},
                        {4, "~Options", kGreyed}};
    const SelectionCase cases[] = {
        {"right", {kRight}, 1},
        {"right skips the separator", {kRight, kRight}, 3},
        {"right wraps past the greyed last item", {kRight, kRight, kRight}, 0},
        {"left wraps", {kLeft}, 3},
        {"home acts as right", {kHome}, 1},
        {"end acts as right", {kEnd, kEnd}, 3},
    };
    for (const SelectionCase& test : cases) {
        SCOPED_TRACE(test.name);
        ZMenu bar;
        OpenBar(bar, tree);
        Press(test.keys);
        EXPECT_EQ(bar.Selected(), test.selected);
    }
}

TEST_F(MenuTest, KeysTheMenuDoesNotUseGoToItsOwner) {
    const MenuTree tree{{1, "~Left"}};
    ZMenu bar;
    OpenBar(bar, tree);
    const uint32_t tab = Key(KC_TAB, 9);
    const uint32_t f3 = Key(KC_F3);
    const uint32_t insert = Key(KC_INS);
    const uint32_t alt = Key(KC_ALT, 0, KF_LALT);
    Press({kUp, tab, f3, insert, alt});
    EXPECT_EQ(app.keys, (std::vector<uint32_t>{kUp, tab, f3, insert, alt}));
    EXPECT_EQ(bar.Selected(), 0);
}

TEST_F(MenuTest, HotKeysChooseTheirItemInEitherCaseAndSkipGreyedItems) {
    const MenuTree tree{{1, "~Open"}, {2, "~Save", kGreyed}, {3, "Save ~as"}, {4, "~quit"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    Press({Letter('Q')});
    EXPECT_EQ(popup.Selected(), 3);
    Press({Letter('a')});
    EXPECT_EQ(popup.Selected(), 2);
    // The greyed item's hot key does nothing, and no other key reaches the owner.
    Press({Letter('s'), Letter('z')});
    EXPECT_EQ(popup.Selected(), 2);
    EXPECT_EQ(app.commands, (std::vector<int>{4, 3}));
    EXPECT_TRUE(app.keys.empty());
}

TEST_F(MenuTest, HotKeyOnTheBarOpensThatItemsPopup) {
    const MenuTree tree{{1, "~Left", 0, {{11, "~Sort"}}}, {2, "~Files", 0, {{21, "~View"}}}};
    ZMenu bar;
    OpenBar(bar, tree);
    Press({Key('f', 'f', KF_LALT)});
    ZMenu* files = Submenu(bar, 2);
    ASSERT_NE(files, nullptr);
    EXPECT_TRUE(Visible(files));
    EXPECT_EQ(ZDesktop::GetFocus(), files);
    EXPECT_EQ(bar.Selected(), 1);
}

// A menu whose items are all separators or greyed has nothing to select: every selection key
// must come back (no endless search) and leave nothing selected, in particular no index past
// the last item.
TEST_F(MenuTest, NothingSelectableMenuNeitherLoopsNorStepsPastItsLastItem) {
    const MenuTree nothing{{0, "", kSeparator}, {2, "~Greyed", kGreyed}, {0, "", kSeparator}};
    const MenuTree empty{};
    const std::vector<uint32_t> keys = {kDown,  kDown, kUp,    kHome,      kEnd,
                                        kRight, kLeft, kEnter, Letter('g')};
    for (const MenuTree* tree : {&nothing, &empty}) {
        ZMenu popup;
        OpenPopup(popup, *tree, 5, 3);
        EXPECT_EQ(popup.Selected(), -1);
        Press(keys);
        EXPECT_EQ(popup.Selected(), -1);
        ZMenu bar;
        OpenBar(bar, *tree);
        Press(keys);
        EXPECT_EQ(bar.Selected(), -1);
    }
    EXPECT_TRUE(app.commands.empty());
}

// ---------------------------------------------------------------------------------------------
// Submenus
// ---------------------------------------------------------------------------------------------

class SubmenuTest : public MenuTest {
  protected:
    void SetUp() override {
        MenuTest::SetUp();
        OpenBar(bar, tree);
    }

    const MenuTree tree{
        {1, "~Left", 0, {{11, "~Sort", 0, {{111, "~Name"}, {112, "~Size"}}}, {12, "~Reread"}}},
        {2, "~Files", 0, {{21, "~View"}, {22, "~Copy"}}},
        {3, "~Commands", 0, {{31, "~Help"}}}};
    ZMenu bar;
};

TEST_F(SubmenuTest, DownOnTheBarOpensThePopupBelowTheItemsFirstCell) {
    Press({kRight, kDown});
    ZMenu* files = Submenu(bar, 2);
    ASSERT_NE(files, nullptr);
    // Submenus are at least 10 columns wide.
    EXPECT_EQ(files->ScreenRect(), ZRec(7, 1, 10, 4));
    EXPECT_EQ(console->Char(7, 1), 0xDA);
    EXPECT_EQ(ZDesktop::GetFocus(), files);
    EXPECT_EQ(files->ParentMenu(), &bar);
    // Opening an item chooses it: the owner hears of it.
    EXPECT_EQ(app.commands, (std::vector<int>{2}));
}

TEST_F(SubmenuTest, CommandChosenInASubmenuClimbsToTheBarsOwner) {
    Press({kRight, kDown, kDown, kEnter});
    EXPECT_EQ(app.commands, (std::vector<int>{2, 22}));
}

TEST_F(SubmenuTest, EscInASubmenuHidesItAndGivesTheFocusBackToTheWindowBelow) {
    Press({kDown, kRight});
    ZMenu* left = Submenu(bar, 1);
    ZMenu* sort = Submenu(*left, 11);
    ASSERT_TRUE(Visible(sort));
    const ZRec sortRect = sort->ScreenRect();
    EXPECT_EQ(sortRect.x, left->ScreenRect().x + left->ScreenRect().w);
    Press({kEsc});
    EXPECT_FALSE(Visible(sort));
    EXPECT_EQ(ZDesktop::GetFocus(), left);
    EXPECT_EQ(console->Char(sortRect.x + sortRect.w - 1, sortRect.y + 1), '.');
    Press({kEsc});
    EXPECT_FALSE(Visible(left));
    EXPECT_EQ(ZDesktop::GetFocus(), &bar);
    EXPECT_EQ(bar.Selected(), 0);
}

TEST_F(SubmenuTest, LeftAndRightInAPopupMoveToTheNeighbouringPopupOfTheBar) {
    ZMenu* left = Submenu(bar, 1);
    ZMenu* files = Submenu(bar, 2);
    ZMenu* commands = Submenu(bar, 3);
    // Right on an item without submenu: the next bar item's pop-up.
    Press({kDown, kDown, kRight});
    EXPECT_FALSE(Visible(left));
    EXPECT_TRUE(Visible(files));
    EXPECT_EQ(ZDesktop::GetFocus(), files);
    EXPECT_EQ(bar.Selected(), 1);
    // Left: the previous one, wrapping on the bar.
    Press({kLeft});
    EXPECT_EQ(ZDesktop::GetFocus(), left);
    Press({kLeft});
    EXPECT_FALSE(Visible(left));
    EXPECT_EQ(ZDesktop::GetFocus(), commands);
    EXPECT_EQ(bar.Selected(), 2);
}

TEST_F(SubmenuTest, LeftInANestedSubmenuReturnsToItsParentPopupOnly) {
    Press({kDown, kRight});
    ZMenu* left = Submenu(bar, 1);
    ZMenu* sort = Submenu(*left, 11);
    ASSERT_EQ(ZDesktop::GetFocus(), sort);
    Press({kLeft});
    EXPECT_FALSE(Visible(sort));
    EXPECT_EQ(ZDesktop::GetFocus(), left);
    EXPECT_EQ(bar.Selected(), 0);
    // Right on the nested menu's plain item stays where it is.
    Press({kRight, kDown, kRight});
    EXPECT_EQ(ZDesktop::GetFocus(), sort);
    EXPECT_EQ(sort->Selected(), 1);
}

TEST_F(MenuTest, SubmenuAtTheScreensRightEdgeIsMovedLeftToEndAtTheEdge) {
    const MenuTree tree{{1, "~Right", 0, {{11, "~Reverse order\tCtrl+F10"}}}};
    ZMenu bar;
    OpenBar(bar, tree, WF_VISIBLE, 60, 20);
    Press({kDown});
    ZMenu* right = Submenu(bar, 1);
    ASSERT_NE(right, nullptr);
    // 61 + 27 would end beyond column 79.
    EXPECT_EQ(right->ScreenRect(), ZRec(53, 1, 27, 3));
    EXPECT_EQ(console->Char(79, 1), 0xBF);
}

TEST_F(MenuTest, NestedSubmenuNearTheBottomRightCornerStaysOnTheScreen) {
    const MenuTree tree{
        {1, "~a"},
        {2, "~b"},
        {3,
         "~Deep",
         0,
         {{31, "~one"}, {32, "~two"}, {33, "~three"}, {34, "~four"}, {35, "~five"}, {36, "~six"}}}};
    ZMenu popup;
    OpenPopup(popup, tree, 66, 18);
    Press({kEnd, kRight});
    ZMenu* deep = Submenu(popup, 3);
    ASSERT_NE(deep, nullptr);
    ASSERT_TRUE(Visible(deep));
    // Beside the pop-up at (75, 20) it would stick out at the right and at the bottom.
    EXPECT_EQ(deep->ScreenRect(), ZRec(70, 17, 10, 8));
    EXPECT_EQ(console->Char(79, 24), 0xD9);
}

// ---------------------------------------------------------------------------------------------
// Modal runs
// ---------------------------------------------------------------------------------------------

TEST_F(MenuTest, PopupRunReturnsTheChosenIdAndEscGivesMinusOne) {
    const MenuTree tree{{1, "~Open"}, {2, "~Save"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    console->PushKey(kDown);
    console->PushKey(kEnter);
    EXPECT_EQ(popup.Run(), 2);
    EXPECT_EQ(app.commands, (std::vector<int>{2}));
    console->PushKey(kEsc);
    EXPECT_EQ(popup.Run(), -1);
    EXPECT_FALSE(Visible(&popup));
    EXPECT_EQ(ZDesktop::GetFocus(), &app);
}

TEST_F(SubmenuTest, BarRunEndsWithTheItemWhosePopupOpened) {
    console->PushKey(kRight);
    console->PushKey(kDown);
    EXPECT_EQ(bar.Run(), 2);
    EXPECT_EQ(ZDesktop::GetFocus(), Submenu(bar, 2));
}

// Choosing outside a modal run (the pop-up opened from the loop) must not leave the run's done
// flag behind: the next Run would return at once with the old id.
TEST_F(SubmenuTest, ChoosingOutsideARunDoesNotEndTheNextRun) {
    Press({kDown, kEsc});
    ASSERT_EQ(ZDesktop::GetFocus(), &bar);
    console->PushKey(kRight);
    console->PushKey(kRight);
    console->PushKey(kDown);
    EXPECT_EQ(bar.Run(), 3);
}

// ---------------------------------------------------------------------------------------------
// Item operations
// ---------------------------------------------------------------------------------------------

std::vector<uint32_t> Ids(const ZMenu& menu) {
    std::vector<uint32_t> ids;
    for (int i = 0; i < menu.ItemCount(); ++i) ids.push_back(menu.ItemAt(i)->id);
    return ids;
}

TEST_F(MenuTest, InsertItemPutsTheCopyBeforeTheIdOrAtAnEnd) {
    struct Case {
        int before;
        std::vector<uint32_t> ids;
    };
    const Case cases[] = {
        {-1, {10, 20, 99}}, {0, {99, 10, 20}},  {-5, {99, 10, 20}},
        {20, {10, 99, 20}}, {10, {99, 10, 20}}, {77, {10, 20, 99}},
    };
    const MenuTree tree{{10, "~Alpha"}, {20, "~Beta"}};
    char text[] = "~Gamma";
    for (const Case& test : cases) {
        SCOPED_TRACE(test.before);
        ZMenu popup;
        OpenPopup(popup, tree, 5, 3);
        EXPECT_EQ(popup.InsertItem(ResMenuItem{99, 0, nullptr, text}, test.before), 0);
        EXPECT_EQ(Ids(popup), test.ids);
        EXPECT_EQ(popup.ScreenRect(), ZRec(5, 3, 10, 5));
    }
}

TEST_F(MenuTest, InsertItemWidensThePopupAndKeepsTheHighlightOnItsItem) {
    const MenuTree tree{{10, "~Alpha"}, {20, "~Beta"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    Press({kDown});
    ASSERT_EQ(popup.Selected(), 1);
    char text[] = "A much longer ~item";
    popup.InsertItem(ResMenuItem{30, 0, nullptr, text}, 0);
    EXPECT_EQ(popup.ScreenRect(), ZRec(5, 3, 23, 5));
    EXPECT_EQ(popup.Selected(), 2);
    EXPECT_EQ(console->Text(7, 4, 19), "A much longer item ");
    EXPECT_EQ(console->Char(27, 7), 0xD9);
}

TEST_F(MenuTest, InsertedSubmenuItemGetsItsPopupAtOnce) {
    const MenuTree tree{{10, "~Alpha"}};
    const MenuTree inner{{41, "~Inner"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    char text[] = "~More";
    popup.InsertItem(ResMenuItem{40, MENU_TYPE_SUBMENU, const_cast<ResMenu*>(inner.Root()), text},
                     -1);
    ZMenu* more = Submenu(popup, 40);
    ASSERT_NE(more, nullptr);
    EXPECT_FALSE(Visible(more));
    EXPECT_EQ(more->ParentMenu(), &popup);
    Press({kEnd, kRight});
    EXPECT_EQ(ZDesktop::GetFocus(), more);
    EXPECT_EQ(more->ItemAt(0)->text, "~Inner");
}

TEST_F(MenuTest, InsertItemOnABarKeepsItsSize) {
    const MenuTree tree{{10, "~Alpha"}};
    ZMenu bar;
    OpenBar(bar, tree);
    char text[] = "~Beta";
    bar.InsertItem(ResMenuItem{20, 0, nullptr, text}, -1);
    EXPECT_EQ(bar.ScreenRect(), ZRec(0, 0, 80, 1));
    EXPECT_EQ(console->Text(0, 0, 14), "  Alpha  Beta ");
}

TEST_F(MenuTest, RemoveItemAtEitherEndShrinksThePopupAndDestroysTheSubmenu) {
    const MenuTree tree{{10, "~Alpha", 0, {{11, "~Inner"}}}, {20, "~Beta"}, {30, "~Gamma"}};
    ZMenu popup;
    const size_t before = ZDesktop::Desktop()->Children().size();
    OpenPopup(popup, tree, 5, 3);
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before + 2);
    EXPECT_EQ(popup.RemoveItem(99), -1);
    EXPECT_EQ(popup.RemoveItem(10), 0);
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before + 1);
    EXPECT_EQ(popup.RemoveItem(30), 0);
    EXPECT_EQ(Ids(popup), (std::vector<uint32_t>{20}));
    EXPECT_EQ(popup.ScreenRect(), ZRec(5, 3, 10, 3));
    // The rows the pop-up left show the window below again.
    EXPECT_EQ(console->Char(6, 6), '.');
    EXPECT_EQ(popup.RemoveItem(20), 0);
    EXPECT_EQ(popup.ItemCount(), 0);
    Press({kDown, kEnter});
    EXPECT_TRUE(app.commands.empty());
}

TEST_F(MenuTest, SetItemTypeGreysAnItemWhichTheKeysThenSkip) {
    const MenuTree tree{{10, "~Alpha"}, {20, "~Beta"}, {30, "~Gamma"}};
    ZMenu popup;
    OpenPopup(popup, tree, 5, 3);
    EXPECT_EQ(popup.SetItemType(99, kGreyed), -1);
    EXPECT_EQ(popup.GetItemType(99), -1);
    EXPECT_EQ(popup.SetItemType(20, kGreyed), 0);
    EXPECT_EQ(popup.GetItemType(20), static_cast<int>(kGreyed));
    EXPECT_EQ(console->Attr(7, 5), Colour(ZMenu::kColourGreyed));
    EXPECT_EQ(popup.SetItemType(30, kChecked), 0);
    EXPECT_EQ(console->Char(6, 6), 0xFB);
    Press({kDown});
    EXPECT_EQ(popup.Selected(), 2);
    EXPECT_EQ(popup.GetItem(99), nullptr);
    ASSERT_NE(popup.GetItem(30), nullptr);
    EXPECT_EQ(popup.GetItem(30)->text, "~Gamma");
}

TEST_F(MenuTest, PopupWithANegativePositionIsCentredInItsParent) {
    const MenuTree tree{{10, "~Centred"}};
    ZMenu popup;
    popup.CreateFromMenu(tree.Root(), ZRec(-1, -1, 0, 0), ZRec(0, 0, 4, 0), nullptr, WF_POPUP, 1);
    EXPECT_EQ(popup.ScreenRect(), ZRec(34, 11, 12, 3));
}

// ---------------------------------------------------------------------------------------------
// Closing and destroying
// ---------------------------------------------------------------------------------------------

TEST_F(SubmenuTest, CloseHidesEveryPopupAndGivesTheFocusToTheApplication) {
    Press({kDown, kRight});
    ZMenu* left = Submenu(bar, 1);
    ZMenu* sort = Submenu(*left, 11);
    ASSERT_TRUE(Visible(sort));
    EXPECT_EQ(bar.Close(), 0);
    EXPECT_FALSE(Visible(left));
    EXPECT_FALSE(Visible(sort));
    EXPECT_TRUE(Visible(&bar));  // a bar without WF_AUTOHIDE stays
    EXPECT_EQ(bar.Selected(), -1);
    EXPECT_EQ(ZDesktop::GetFocus(), &app);
    EXPECT_EQ(console->Attr(2, 0), Colour(ZMenu::kColourHotKey));
}

TEST_F(MenuTest, AutoHideBarHidesItselfOnEscAndOnClose) {
    const MenuTree tree{{1, "~Left"}, {2, "~Files"}};
    ZMenu bar;
    OpenBar(bar, tree, WF_VISIBLE | WF_AUTOHIDE);
    Press({kEsc});
    EXPECT_FALSE(Visible(&bar));
    EXPECT_EQ(ZDesktop::GetFocus(), &app);
    bar.Show(true);
    bar.Activate(true);
    EXPECT_EQ(bar.Close(), 0);
    EXPECT_FALSE(Visible(&bar));
}

TEST_F(MenuTest, DestroyDetachesTheMenuWithItsSubmenus) {
    const size_t before = ZDesktop::Desktop()->Children().size();
    const MenuTree tree{{1, "~Left", 0, {{11, "~Sort", 0, {{111, "~Name"}}}}}, {2, "~Files"}};
    ZMenu bar;
    OpenBar(bar, tree);
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before + 3);
    EXPECT_EQ(bar.Destroy(), 0);
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before);
    EXPECT_EQ(bar.ItemCount(), 0);
    EXPECT_EQ(bar.Destroy(), 0);
}

// ---------------------------------------------------------------------------------------------
// Menu 1 of the language modules
// ---------------------------------------------------------------------------------------------

struct LanguageModule {
    const char* name;
    const char* path;
};

class MenuBarFromLanguageTest : public MenuTest,
                                public ::testing::WithParamInterface<LanguageModule> {
  protected:
    void SetUp() override {
        if (GetParam().path[0] == '\0') GTEST_SKIP() << "the language modules were not built";
        MenuTest::SetUp();
        opened_ = true;
        module_ = KeLoadDll(GetParam().path);
        ASSERT_NE(module_, 0);
        ASSERT_NE(module_, -1);
        ResSetLanguage(module_);
    }
    void TearDown() override {
        if (!opened_) return;
        MenuTest::TearDown();
        ResSetLanguage(0);
        if (module_ != 0 && module_ != -1) KeFreeDll(module_);
    }

    bool opened_ = false;
    KeHandle module_ = 0;
};

TEST_P(MenuBarFromLanguageTest, EveryTopItemOpensItsPopupInsideTheScreenAndEscClosesIt) {
    ZMenu bar;
    ASSERT_EQ(bar.CreateFromResource(IDM_MENU_BAR, ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 1), nullptr,
                                     WF_VISIBLE),
              0);
    bar.SetOwner(&app);
    bar.Activate(true);
    EXPECT_EQ(bar.GetId(), IDM_MENU_BAR);
    ASSERT_EQ(Ids(bar),
              (std::vector<uint32_t>{IDM_LEFT, IDM_FILES, IDM_COMMANDS, IDM_OPTIONS, IDM_RIGHT}));
    for (int i = 0; i < bar.ItemCount(); ++i) {
        SCOPED_TRACE(bar.ItemAt(i)->text);
        ZMenu* popup = bar.ItemAt(i)->submenu.get();
        ASSERT_NE(popup, nullptr);
        Press({kDown});
        ASSERT_EQ(ZDesktop::GetFocus(), popup);
        const ZRec rect = popup->ScreenRect();
        EXPECT_EQ(rect.x, std::min(MenuBarItemColumn(bar, i), 80 - rect.w));
        EXPECT_EQ(rect.y, 1);
        EXPECT_LE(rect.y + rect.h, 25);
        EXPECT_EQ(console->Char(rect.x, rect.y), 0xDA);
        EXPECT_EQ(console->Char(rect.x + rect.w - 1, rect.y + rect.h - 1), 0xD9);
        Press({kEsc});
        EXPECT_FALSE(Visible(popup));
        EXPECT_EQ(ZDesktop::GetFocus(), &bar);
        EXPECT_EQ(bar.Selected(), i);
        Press({kRight});
    }
    EXPECT_EQ(bar.Selected(), 0);
}

TEST_P(MenuBarFromLanguageTest, HotKeysOpenThePopupsAndTheSortModesOpenBesideTheirPanelMenu) {
    ZMenu bar;
    ASSERT_EQ(bar.CreateFromResource(IDM_MENU_BAR, ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 1), nullptr,
                                     WF_VISIBLE, module_),
              0);
    bar.SetOwner(&app);
    bar.Activate(true);
    for (int i = bar.ItemCount() - 1; i >= 0; --i) {
        const char hotKey = MenuHotKey(bar.ItemAt(i)->text);
        SCOPED_TRACE(hotKey);
        Press({Letter(hotKey)});
        EXPECT_EQ(ZDesktop::GetFocus(), bar.ItemAt(i)->submenu.get());
        Press({kEsc});
    }
    // Right in the right panel's menu opens its sort modes, ending at the right edge at most.
    Press({kEnd, kEnd, kEnd, kEnd, kDown, kRight});
    ZMenu* sort = Submenu(*Submenu(bar, IDM_RIGHT), IDM_RIGHT_SORT);
    ASSERT_NE(sort, nullptr);
    EXPECT_EQ(ZDesktop::GetFocus(), sort);
    EXPECT_EQ(sort->ScreenRect().x + sort->ScreenRect().w, 80);
    Press({kUp, kEnter});
    EXPECT_EQ(app.commands.back(), CMD_REVERSE);
}

TEST_P(MenuBarFromLanguageTest, MissingMenuLeavesTheWindowUnattached) {
    ZMenu bar;
    EXPECT_EQ(bar.CreateFromResource(4711, ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 1), nullptr, WF_VISIBLE,
                                     module_),
              -1);
    EXPECT_FALSE(bar.IsAttached());
}

INSTANTIATE_TEST_SUITE_P(Modules, MenuBarFromLanguageTest,
                         ::testing::Values(LanguageModule{"English", KQ_LANG_ENGLISH},
                                           LanguageModule{"German", KQ_LANG_GERMAN}),
                         [](const auto& module) { return std::string(module.param.name); });

}  // namespace
}  // namespace kq::ui::testing
