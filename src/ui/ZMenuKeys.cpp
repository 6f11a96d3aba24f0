// ZMenu's keys: moving the highlight (wrapping, skipping what cannot be selected), hot keys,
// choosing an item and placing the submenu it opens, and leaving a pop-up for its bar.
#include <algorithm>

#include "kq/keys.h"
#include "kq/text.h"
#include "ui/WindowLock.h"
#include "ui/ZMenu.h"

using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

// The Enter a menu sends itself (after a hot key) and its bar (after Left or Right in a
// pop-up): the key code of Enter with a line feed as its character.
constexpr uint32_t kEnterEvent = KEY_EVENT(KC_ENTER, 10, KF_DOWN);

char UpperCase(char character) {
    UUpCase(&character, 1);
    return character;
}

}  // namespace

void ZMenu::Select(int index) {
    WindowLockGuard lock(WindowLock());
    selected_ = index;
    if (index >= 0) lastSelected_ = index;
    Redraw();
}

void ZMenu::SelectNext(int direction) {
    WindowLockGuard lock(WindowLock());
    const int count = ItemCount();
    if (count == 0) return;
    // From no selection, "next" starts at the first item and "previous" at the last.
    const int start =
        selected_ >= 0 && selected_ < count ? selected_ : (direction > 0 ? -1 : count);
    // At most one full turn: a menu with nothing selectable keeps its selection.
    for (int step = 1; step <= count; ++step) {
        const int candidate = ((start + direction * step) % count + count) % count;
        if (CanSelect(candidate)) {
            Select(candidate);
            return;
        }
    }
}

void ZMenu::SelectFirstFrom(int start, int direction) {
    WindowLockGuard lock(WindowLock());
    for (int index = start; index >= 0 && index < ItemCount(); index += direction) {
        if (CanSelect(index)) {
            Select(index);
            return;
        }
    }
}

int ZMenu::FindHotKey(char character) const {
    WindowLockGuard lock(WindowLock());
    // Greyed items and separators have no working hot key.
    const char wanted = UpperCase(character);
    for (int i = 0; i < ItemCount(); ++i) {
        const char hotKey = kq::ui::MenuHotKey(items_[static_cast<size_t>(i)].text);
        if (hotKey != 0 && CanSelect(i) && UpperCase(hotKey) == wanted) return i;
    }
    return -1;
}

bool ZMenu::SelectedHasSubmenu() const {
    WindowLockGuard lock(WindowLock());
    const ZMenuItem* item = ItemAt(selected_);
    return item != nullptr && item->submenu != nullptr;
}

void ZMenu::PlaceSubmenu(ZMenu& submenu) const {
    ZRec own;
    GetPos(own);
    ZRec rect;
    submenu.GetPos(rect);
    int x = 0;
    int y = 0;
    if (IsPopup()) {
        x = own.x + own.w;
        y = own.y + selected_ - firstShown_;
    } else {
        x = own.x + kq::ui::MenuBarItemColumn(*this, selected_);
        y = own.y + own.h;
    }
    // Kept inside the parent window: moved left to end at its right edge, up to end at its
    // bottom edge.
    if (const ZWindow* area = submenu.Parent()) {
        if (x + rect.w > area->Width()) x = area->Width() - rect.w;
        if (y + rect.h > area->Height()) y = area->Height() - rect.h;
    }
    x = std::max(x, 0);
    y = std::max(y, 0);
    submenu.SetPos(ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0), rect);
}

int ZMenu::Choose() {
    int id = 0;
    {
        WindowLockGuard lock(WindowLock());
        // Nothing to choose: no items, no selection, or a highlight left on an item that
        // cannot be selected.
        if (!CanSelect(selected_)) return 0;
        ZMenuItem& item = items_[static_cast<size_t>(selected_)];
        id = static_cast<int>(item.id);
        if (item.submenu) {
            PlaceSubmenu(*item.submenu);
            item.submenu->Activate(true);
        }
    }
    EndRunIfRunning(id);
    // The command may close or destroy this menu: nothing of it is used afterwards.
    if (ZWindow* owner = Owner(); owner != nullptr && owner != this) owner->OnCommand(id);
    return 0;
}

int ZMenu::PassToOwner(uint32_t key) {
    ZWindow* owner = Owner();
    if (owner == nullptr || owner == this) return 0;
    return owner->OnKey(key);
}

int ZMenu::Escape() {
    EndRunIfRunning(-1);
    WindowLockGuard lock(WindowLock());
    if (GetFlags() & (WF_POPUP | WF_AUTOHIDE)) Show(false);
    selected_ = -1;
    Redraw();
    if (ZWindow* sibling = TopmostVisibleSibling()) sibling->Activate(true);
    return 0;
}

int ZMenu::LeaveToParent(uint32_t barKey) {
    ZMenu* parent = parentMenu_;
    Show(false);
    parent->Activate(true);
    // From a bar's pop-up, the bar moves on and opens its neighbour's pop-up.
    if (!parent->IsPopup()) {
        parent->OnKey(barKey);
        parent->OnKey(kEnterEvent);
    }
    return 0;
}

int ZMenu::OnKey(uint32_t key) {
    const uint32_t character = KEY_CHAR(key);
    const uint32_t code = KEY_CODE(key);
    if (character > 32) {
        const int index = FindHotKey(static_cast<char>(character));
        if (index < 0) return 0;
        Select(index);
        return OnKey(kEnterEvent);
    }
    if (code < KC_ENTER || code > KC_RIGHT) return PassToOwner(key);
    const bool popup = IsPopup();
    switch (code) {
        case KC_ENTER:
            return Choose();
        case KC_ESC:
            return Escape();
        case KC_HOME:
            if (popup) {
                SelectFirstFrom(0, 1);
            } else {
                SelectNext(1);
            }
            return 0;
        case KC_END:
            if (popup) {
                SelectFirstFrom(ItemCount() - 1, -1);
            } else {
                SelectNext(1);
            }
            return 0;
        case KC_LEFT:
            if (!popup) {
                SelectNext(-1);
            } else if (parentMenu_ != nullptr) {
                LeaveToParent(key);
            }
            return 0;
        case KC_UP:
            if (!popup) return PassToOwner(key);
            SelectNext(-1);
            return 0;
        case KC_DOWN:
            if (!popup) return Choose();
            SelectNext(1);
            return 0;
        case KC_RIGHT: {
            if (!popup) {
                SelectNext(1);
                return 0;
            }
            if (SelectedHasSubmenu()) return Choose();
            if (parentMenu_ != nullptr && !parentMenu_->IsPopup()) LeaveToParent(key);
            return 0;
        }
        default:
            return PassToOwner(key);
    }
}
