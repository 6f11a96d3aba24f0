// Menus: one window class for the horizontal menu bar and the vertical pop-up menu (WF_POPUP).
// A menu is built from a menu resource of the language module or from a node tree. Items may
// open submenus: pop-up menus created together with their parent menu, beside it in the same
// parent window, and hidden until opened. Choosing an item ends the menu's modal run with the
// item's id and sends the id to the menu's owner as a command, so that a command chosen in a
// submenu climbs through its parent menus to the window that owns the bar.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "kq/resources.h"
#include "kq/window.h"

class ZMenu;

// One entry of a menu. The type holds the MENU_TYPE_* bits (kq/resource_ids.h): a submenu, a
// separator, a greyed item, a check mark. Separators and greyed items cannot be selected.
struct ZMenuItem {
    uint32_t id = 0;
    uint32_t type = 0;
    // The pop-up this item opens (MENU_TYPE_SUBMENU), owned by the item; null for a command.
    std::unique_ptr<ZMenu> submenu;
    // '~' marks the hot key; in a pop-up a Tab separates the name from a right-aligned key
    // name.
    std::string text;
};

class ZMenu : public ZWindow {
  public:
    // Palette entries of the menu colours: normal text and frame, hot key, greyed row,
    // selected item, hot key of the selected item.
    static constexpr int kColourNormal = 0;
    static constexpr int kColourHotKey = 1;
    static constexpr int kColourGreyed = 2;
    static constexpr int kColourSelected = 3;
    static constexpr int kColourSelectedHotKey = 4;

    ZMenu() = default;
    ~ZMenu() override;

    int Draw() override;
    // Destroys the menu and, with it, every submenu.
    int Destroy() override;
    // Hiding a menu hides its open submenus first.
    int Show(bool show) override;
    // Turning on restores the selection the menu had when it was last used.
    int Activate(bool on) override;
    int OnKey(uint32_t key) override;
    // The chosen item's id, or -1 (Esc, or the menu was destroyed). On a bar, opening an
    // item's submenu also chooses that item: the run ends with its id while the submenu stays
    // open and keeps the focus.
    int Run() override;

    // Reads menu menuId with ResLoadMenu from module (0: the current language) and builds the
    // menu from it with the menu id as window id. -1 when the module has no such menu (the
    // window is then not attached), else 0.
    virtual int CreateFromResource(int menuId, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
                                   KeHandle module = 0);
    // Builds the menu from a node tree (null: no items) and attaches it. A pop-up (WF_POPUP)
    // is item count + 2 rows high and at least the longest text + 4 wide; a negative x or y
    // centres it in its parent. Every submenu node becomes a hidden pop-up in the same parent
    // window, owned by this menu. The node stays the caller's. Returns 0.
    virtual int CreateFromMenu(const ResMenu* node, ZRec pos, ZRec size, ZWindow* parent,
                               uint32_t flags, int id);
    // The first item with that id gets the type and the menu repaints; -1 when there is none.
    virtual int SetItemType(int id, uint32_t type);
    // The type of the first item with that id, or -1.
    virtual int GetItemType(int id);
    // Removes the first item with that id with its submenu; a pop-up shrinks by one row. -1
    // when there is none.
    virtual int RemoveItem(int id);
    // Inserts a copy of item before the first item with id beforeId: -1 or an id not found
    // appends it, any other id below 1 puts it first. A submenu item gets its pop-up built
    // from item.submenu at once. A pop-up grows by one row and widens to the text + 4 when
    // needed. Returns 0.
    virtual int InsertItem(const ResMenuItem& item, int beforeId);
    // The first item with that id, or null; valid until items are inserted or removed.
    virtual ZMenuItem* GetItem(int id);
    // Hides the menu (pop-ups and WF_AUTOHIDE bars) and its submenus, clears the selection and
    // gives the focus to the topmost visible sibling window. Returns 0.
    virtual int Close();

    int ItemCount() const { return static_cast<int>(items_.size()); }
    // The item at index, or null.
    const ZMenuItem* ItemAt(int index) const;
    // The highlighted item's index, -1 for none.
    int Selected() const { return selected_; }
    // The menu that opened this one, null for a top menu.
    ZMenu* ParentMenu() const { return parentMenu_; }
    bool IsPopup() const { return (GetFlags() & WF_POPUP) != 0; }

  private:
    // ZMenu.cpp: building, drawing, item operations.
    void ClearItems();
    void AddItem(const ResMenuItem& source, int index);
    std::unique_ptr<ZMenu> BuildSubmenu(const ResMenu* node, int id);
    bool CanSelect(int index) const;
    void DrawBar();
    void DrawPopup();
    void DrawPopupItem(int index);
    ZWindow* TopmostVisibleSibling() const;
    void ResizeForItems(int widestText);
    // Pop-ups: the rows for items, and the window of items scrolled to show the selection.
    int ItemRows() const { return std::max(Height() - 2, 0); }
    void ScrollToSelection();

    // ZMenuKeys.cpp: selection and the keys.
    int FindHotKey(char character) const;
    bool SelectedHasSubmenu() const;
    void Select(int index);
    void SelectNext(int direction);
    void SelectFirstFrom(int start, int direction);
    int Choose();
    void PlaceSubmenu(ZMenu& submenu) const;
    int PassToOwner(uint32_t key);
    int Escape();
    int LeaveToParent(uint32_t barKey);
    void EndRunIfRunning(int result);

    std::vector<ZMenuItem> items_;
    int selected_ = -1;
    int lastSelected_ = 0;
    // A pop-up taller than its parent shows a window of its items: the first one shown. The
    // selection always lies inside that window.
    int firstShown_ = 0;
    ZMenu* parentMenu_ = nullptr;
    // Modal runs in progress: EndRun outside a run would leave the done flag set and make the
    // next Run return at once.
    std::atomic<int> runs_{0};
};

namespace kq::ui {

// The length of a menu text as shown: without the '~' hot-key markers.
int MenuTextWidth(std::string_view text);
// The hot-key character of a menu text (the one after the first '~'), 0 when it has none.
char MenuHotKey(std::string_view text);
// The column at which item index of a menu bar begins (its leading blank).
int MenuBarItemColumn(const ZMenu& menu, int index);

}  // namespace kq::ui
