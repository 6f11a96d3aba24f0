// ZMenu: building menus from resources and node trees, drawing the bar and the pop-up, the
// item operations, and showing, activating, closing and destroying menus with their
// submenus. The keys are in ZMenuKeys.cpp.
#include "ui/ZMenu.h"

#include <algorithm>

#include "kq/text.h"
#include "ui/WindowLock.h"

using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace kq::ui {

namespace {

// Code page 437 pieces of the pop-up: the single-line horizontal, the T pieces that join a
// separator to the frame, the submenu arrow and the check mark.
constexpr uint8_t kLineHorizontal = 0xC4;
constexpr uint8_t kTeeLeft = 0xC3;
constexpr uint8_t kTeeRight = 0xB4;
constexpr uint8_t kSubmenuArrow = 0x10;
constexpr uint8_t kCheckMark = 0xFB;

constexpr uint32_t kUnselectable = MENU_TYPE_SEPARATOR | MENU_TYPE_GRAYED;

}  // namespace

int MenuTextWidth(std::string_view text) {
    return static_cast<int>(text.size() -
                            static_cast<size_t>(std::count(text.begin(), text.end(), '~')));
}

char MenuHotKey(std::string_view text) {
    const size_t marker = text.find('~');
    if (marker == std::string_view::npos || marker + 1 >= text.size()) return 0;
    return text[marker + 1];
}

}  // namespace kq::ui

ZMenu::~ZMenu() {
    // The submenus go first, while every item is still whole: a submenu that had the focus
    // hands it back to this menu, which redraws its items. Then the items, then the base class
    // detaches this menu.
    for (ZMenuItem& item : items_) item.submenu.reset();
    items_.clear();
}

const ZMenuItem* ZMenu::ItemAt(int index) const {
    if (index < 0 || index >= ItemCount()) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

bool ZMenu::CanSelect(int index) const {
    const ZMenuItem* item = ItemAt(index);
    return item != nullptr && (item->type & kq::ui::kUnselectable) == 0;
}

// --- building ----------------------------------------------------------------------------

int ZMenu::CreateFromResource(int menuId, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
                              KeHandle module) {
    ResMenu* node = ResLoadMenu(module != 0 ? module : ResGetLanguage(), menuId);
    if (node == nullptr) return -1;
    const int result = CreateFromMenu(node, pos, size, parent, flags, menuId);
    ResFreeMenu(node);
    return result;
}

namespace {

// A pop-up's height for count items: the items and the frame, but no taller than the area it
// lies in (the screen, for a pop-up of the desktop); more items scroll.
int PopupRows(int count, const ZWindow* area) {
    const int rows = count + 2;
    return area != nullptr && area->Height() >= 3 ? std::min(rows, area->Height()) : rows;
}

}  // namespace

int ZMenu::CreateFromMenu(const ResMenu* node, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
                          int id) {
    WindowLockGuard lock(WindowLock());
    // Building an attached menu again replaces it.
    if (Parent() != nullptr) Destroy();
    ClearItems();
    const int count = node != nullptr ? std::max(node->itemCount, 0) : 0;
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        const ResMenuItem& source = node->items[i];
        ZMenuItem item;
        item.id = source.id;
        item.type = source.type;
        item.text = source.text != nullptr ? source.text : "";
        widest = std::max(widest, static_cast<int>(item.text.size()));
        items_.push_back(std::move(item));
    }
    selected_ = -1;
    lastSelected_ = 0;
    firstShown_ = 0;
    parentMenu_ = nullptr;
    if (flags & WF_POPUP) {
        const ZWindow* area = parent != nullptr ? parent : ZDesktop::Desktop();
        size.h = static_cast<int16_t>(PopupRows(count, area));
        size.w = static_cast<int16_t>(std::max<int>(size.w, widest + 4));
        if (area != nullptr && pos.x < 0) {
            pos.x = static_cast<int16_t>(std::max((area->Width() - size.w) / 2, 0));
        }
        if (area != nullptr && pos.y < 0) {
            pos.y = static_cast<int16_t>(std::max((area->Height() - size.h) / 2, 0));
        }
    }
    Create(node != nullptr ? node->title : nullptr, pos, size, parent, flags, id);
    for (int i = 0; i < count; ++i) {
        ZMenuItem& item = items_[static_cast<size_t>(i)];
        if (item.type & MENU_TYPE_SUBMENU) {
            item.submenu = BuildSubmenu(node->items[i].submenu, static_cast<int>(item.id));
        }
    }
    return 0;
}

std::unique_ptr<ZMenu> ZMenu::BuildSubmenu(const ResMenu* node, int id) {
    auto submenu = std::make_unique<ZMenu>();
    submenu->CreateFromMenu(node, ZRec(0, 0, 0, 0), ZRec(0, 0, 10, 10), Parent(), WF_POPUP, id);
    submenu->parentMenu_ = this;
    submenu->SetOwner(this);
    return submenu;
}

void ZMenu::ClearItems() {
    for (ZMenuItem& item : items_) {
        if (item.submenu) item.submenu->Destroy();
    }
    items_.clear();
}

// --- item operations ---------------------------------------------------------------------

ZMenuItem* ZMenu::GetItem(int id) {
    WindowLockGuard lock(WindowLock());
    for (ZMenuItem& item : items_) {
        if (item.id == static_cast<uint32_t>(id)) return &item;
    }
    return nullptr;
}

int ZMenu::SetItemType(int id, uint32_t type) {
    WindowLockGuard lock(WindowLock());
    ZMenuItem* item = GetItem(id);
    if (item == nullptr) return -1;
    item->type = type;
    Redraw();
    return 0;
}

int ZMenu::GetItemType(int id) {
    WindowLockGuard lock(WindowLock());
    const ZMenuItem* item = GetItem(id);
    return item != nullptr ? static_cast<int>(item->type) : -1;
}

void ZMenu::ResizeForItems(int widestText) {
    if (!IsPopup()) {
        // A bar lays its items out along its row and keeps its size.
        Redraw();
        return;
    }
    ZRec rect;
    GetPos(rect);
    const ZRec size(0, 0, static_cast<int16_t>(std::max<int>(rect.w, widestText + 4)),
                    static_cast<int16_t>(PopupRows(ItemCount(), Parent())));
    if (size.w == rect.w && size.h == rect.h) {
        Redraw();
    } else {
        SetPos(rect, size);  // repaints
    }
}

int ZMenu::InsertItem(const ResMenuItem& source, int beforeId) {
    WindowLockGuard lock(WindowLock());
    int index = ItemCount();
    if (beforeId != -1 && beforeId < 1) {
        index = 0;
    } else if (beforeId != -1) {
        for (int i = 0; i < ItemCount(); ++i) {
            if (items_[static_cast<size_t>(i)].id == static_cast<uint32_t>(beforeId)) {
                index = i;
                break;
            }
        }
    }
    AddItem(source, index);
    return 0;
}

void ZMenu::AddItem(const ResMenuItem& source, int index) {
    ZMenuItem item;
    item.id = source.id;
    item.type = source.type;
    item.text = source.text != nullptr ? source.text : "";
    const int width = static_cast<int>(item.text.size());
    if (item.type & MENU_TYPE_SUBMENU) {
        item.submenu = BuildSubmenu(source.submenu, static_cast<int>(item.id));
    }
    const bool wasEmpty = items_.empty();
    items_.insert(items_.begin() + index, std::move(item));
    // The highlight stays on the item it was on.
    if (selected_ >= index) ++selected_;
    if (!wasEmpty && lastSelected_ >= index) ++lastSelected_;
    ResizeForItems(width);
}

int ZMenu::RemoveItem(int id) {
    WindowLockGuard lock(WindowLock());
    int index = -1;
    for (int i = 0; i < ItemCount(); ++i) {
        if (items_[static_cast<size_t>(i)].id == static_cast<uint32_t>(id)) {
            index = i;
            break;
        }
    }
    if (index < 0) return -1;
    ZMenuItem& item = items_[static_cast<size_t>(index)];
    if (item.submenu) item.submenu->Destroy();
    items_.erase(items_.begin() + index);
    if (selected_ > index) {
        --selected_;
    } else if (selected_ == index) {
        selected_ = -1;
    }
    if (lastSelected_ > index) --lastSelected_;
    lastSelected_ = std::clamp(lastSelected_, 0, std::max(ItemCount() - 1, 0));
    ResizeForItems(0);
    return 0;
}

// --- drawing -----------------------------------------------------------------------------

int ZMenu::Draw() {
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kColourNormal]);
    if (Chars().empty()) return 0;
    if (IsPopup()) {
        DrawPopup();
    } else {
        DrawBar();
    }
    return 0;
}

namespace kq::ui {
namespace {

// One row of a menu's cells, clipped to the menu's width.
struct MenuRow {
    std::vector<uint8_t>& chars;
    std::vector<uint8_t>& attrs;
    int width;
    int row;

    void Put(int x, uint8_t character, uint8_t attribute) {
        if (x < 0 || x >= width) return;
        const size_t cell = static_cast<size_t>(row * width + x);
        chars[cell] = character;
        attrs[cell] = attribute;
    }
    void Fill(int from, int to, uint8_t attribute) {
        for (int x = std::max(from, 0); x < std::min(to, width); ++x) {
            attrs[static_cast<size_t>(row * width + x)] = attribute;
        }
    }
    // Writes a menu text from column x on, up to (not including) column end: '~' is not shown
    // and the character after it gets the hot-key attribute. Stops at a Tab.
    void Text(int x, std::string_view text, int end, uint8_t attribute, uint8_t hotAttribute) {
        bool hot = false;
        for (const char character : text) {
            if (character == '\t') break;
            if (character == '~') {
                hot = true;
                continue;
            }
            if (x >= end) break;
            Put(x++, static_cast<uint8_t>(character), hot ? hotAttribute : attribute);
            hot = false;
        }
    }
};

// The attributes of an item's row and of its hot key. A greyed item is greyed throughout: it
// has no working hot key to show.
struct ItemColours {
    uint8_t text;
    uint8_t hotKey;
};

ItemColours ColoursOf(const ZMenuItem& item, bool selected) {
    const uint8_t* palette = ColGetPalette();
    if (item.type & MENU_TYPE_GRAYED) {
        return {palette[ZMenu::kColourGreyed], palette[ZMenu::kColourGreyed]};
    }
    if (selected) {
        return {palette[ZMenu::kColourSelected], palette[ZMenu::kColourSelectedHotKey]};
    }
    return {palette[ZMenu::kColourNormal], palette[ZMenu::kColourHotKey]};
}

// The columns a bar item takes: a blank, the text without '~', a blank; a separator takes two.
int BarItemWidth(const ZMenuItem& item) {
    if (item.type & MENU_TYPE_SEPARATOR) return 2;
    return MenuTextWidth(item.text) + 2;
}

}  // namespace

int MenuBarItemColumn(const ZMenu& menu, int index) {
    int column = 1;
    const int end = std::min(index, menu.ItemCount());
    for (int i = 0; i < end; ++i) column += BarItemWidth(*menu.ItemAt(i));
    return column;
}

}  // namespace kq::ui

void ZMenu::DrawBar() {
    const uint8_t* palette = ColGetPalette();
    kq::ui::MenuRow row{Chars(), Attrs(), Width(), 0};
    int column = 1;
    for (int i = 0; i < ItemCount(); ++i) {
        const ZMenuItem& item = items_[static_cast<size_t>(i)];
        const int width = kq::ui::BarItemWidth(item);
        if (column + width > Width()) break;
        if (item.type & MENU_TYPE_SEPARATOR) {
            row.Put(column + 1, '|', palette[kColourNormal]);
        } else {
            const kq::ui::ItemColours colours = kq::ui::ColoursOf(item, i == selected_);
            row.Fill(column, column + width, colours.text);
            row.Text(column + 1, item.text, column + width - 1, colours.text, colours.hotKey);
        }
        column += width;
    }
}

void ZMenu::DrawPopup() {
    DrawFrame(1, ColGetPalette()[kColourNormal]);
    ScrollToSelection();
    for (int row = 0; row < ItemRows() && firstShown_ + row < ItemCount(); ++row) {
        DrawPopupItem(firstShown_ + row);
    }
}

void ZMenu::ScrollToSelection() {
    const int rows = std::max(ItemRows(), 1);
    if (selected_ >= 0 && selected_ < firstShown_) firstShown_ = selected_;
    if (selected_ >= firstShown_ + rows) firstShown_ = selected_ - rows + 1;
    firstShown_ = std::clamp(firstShown_, 0, std::max(ItemCount() - rows, 0));
}

void ZMenu::DrawPopupItem(int index) {
    const uint8_t* palette = ColGetPalette();
    const ZMenuItem& item = items_[static_cast<size_t>(index)];
    const int width = Width();
    kq::ui::MenuRow row{Chars(), Attrs(), width, index - firstShown_ + 1};
    if (item.type & MENU_TYPE_SEPARATOR) {
        for (int x = 0; x < width; ++x) row.Put(x, kq::ui::kLineHorizontal, palette[kColourNormal]);
        row.Put(0, kq::ui::kTeeLeft, palette[kColourNormal]);
        row.Put(width - 1, kq::ui::kTeeRight, palette[kColourNormal]);
        return;
    }
    const kq::ui::ItemColours colours = kq::ui::ColoursOf(item, index == selected_);
    const uint8_t attribute = colours.text;
    row.Fill(1, width - 1, attribute);
    // The name from column 2; the part after a Tab ends at column w - 3.
    row.Text(2, item.text, width - 1, attribute, colours.hotKey);
    const size_t tab = item.text.find('\t');
    if (tab != std::string::npos) {
        const std::string_view keyName = std::string_view(item.text).substr(tab + 1);
        int x = width - 2 - static_cast<int>(keyName.size());
        for (const char character : keyName) {
            if (x >= 1 && x < width - 1) row.Put(x, static_cast<uint8_t>(character), attribute);
            ++x;
        }
    }
    if (item.type & MENU_TYPE_SUBMENU) row.Put(width - 2, kq::ui::kSubmenuArrow, attribute);
    if (item.type & MENU_TYPE_CHECKED) row.Put(1, kq::ui::kCheckMark, attribute);
}

// --- showing, activating, closing, destroying ------------------------------------------

int ZMenu::Show(bool show) {
    WindowLockGuard lock(WindowLock());
    if (!show) {
        for (ZMenuItem& item : items_) {
            if (item.submenu) item.submenu->Show(false);
        }
    }
    return ZWindow::Show(show);
}

int ZMenu::Activate(bool on) {
    WindowLockGuard lock(WindowLock());
    if (on) {
        // Back to the item last used; an item greyed since then passes the highlight on.
        selected_ = -1;
        const int count = ItemCount();
        for (int step = 0; step < count; ++step) {
            const int candidate = (std::clamp(lastSelected_, 0, count - 1) + step) % count;
            if (CanSelect(candidate)) {
                selected_ = candidate;
                break;
            }
        }
        Redraw();
    }
    return ZWindow::Activate(on);
}

ZWindow* ZMenu::TopmostVisibleSibling() const {
    if (Parent() == nullptr) return nullptr;
    const auto& siblings = Parent()->Children();
    for (auto sibling = siblings.rbegin(); sibling != siblings.rend(); ++sibling) {
        if (*sibling != this && ((*sibling)->GetFlags() & WF_VISIBLE)) return *sibling;
    }
    return nullptr;
}

int ZMenu::Close() {
    WindowLockGuard lock(WindowLock());
    if (GetFlags() & (WF_POPUP | WF_AUTOHIDE)) Show(false);
    for (ZMenuItem& item : items_) {
        if (item.submenu) item.submenu->Show(false);
    }
    selected_ = -1;
    Redraw();
    if (ZWindow* sibling = TopmostVisibleSibling()) sibling->Activate(true);
    return 0;
}

int ZMenu::Destroy() {
    WindowLockGuard lock(WindowLock());
    if (!IsAttached()) return 0;
    const int result = ZWindow::Destroy();
    if (result != 0) return result;
    ClearItems();
    selected_ = -1;
    lastSelected_ = 0;
    parentMenu_ = nullptr;
    return 0;
}

int ZMenu::Run() {
    ++runs_;
    const int result = ZWindow::Run();
    --runs_;
    return result;
}

void ZMenu::EndRunIfRunning(int result) {
    if (runs_ > 0) EndRun(result);
}
