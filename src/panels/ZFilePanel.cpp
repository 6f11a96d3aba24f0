// ZFilePanel: binding to a plugin, listing, building the row table from the sorted listing,
// activation.
#include "panels/ZFilePanel.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string_view>

#include "kq/fs.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "localfs/LocalCopy.h"
#include "panels/PanelHost.h"
#include "panels/PanelMessages.h"
#include "panels/PanelSort.h"
#include "panels/PanelTexts.h"
#include "platform/LargePages.h"
#include "plugins/LocalCompare.h"
#include "plugins/LocalFallback.h"
#include "ui/FormatNumber.h"
#include "ui/WindowLock.h"
#include "ui/ZKeyBar.h"
#include "ui/ZMenu.h"

using kq::panels::GetPanelHost;
using kq::panels::PanelHost;
using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

// Each row keeps its date ("dd.mm.yy") and time ("hh:mm"), terminated, in one slot of the
// table's text arena.
constexpr size_t kDateOffset = 0;
constexpr size_t kTimeOffset = 9;
constexpr size_t kTextBytesPerRow = 15;
static_assert(kTimeOffset >= sizeof("dd.mm.yy") &&
              kTextBytesPerRow - kTimeOffset >= sizeof("hh:mm"));
// Menus nest only a few levels; the limit guards against a menu that contains itself.
constexpr int kMenuSearchDepth = 8;

void PutTwoDigits(char* out, int value) {
    value = std::abs(value) % 100;
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
}

// Writes the date and time texts of a modification time into a row's slot.
// The broken-down local time of a timestamp. Local time changes its offset only on whole
// minutes, so every timestamp of one minute shows the same date and time: the last minute's
// result is kept (a directory's files often share their minute by the thousand).
bool LocalMinute(time_t when, std::tm& local) {
    thread_local time_t cachedMinute = 0;
    thread_local std::tm cached{};
    thread_local bool valid = false;
    // Floor division: a time before 1970 belongs to the minute that starts before it.
    const time_t minute = when / 60 - (when % 60 < 0 ? 1 : 0);
    if (!valid || minute != cachedMinute) {
        const time_t start = minute * 60;
        if (localtime_r(&start, &cached) == nullptr) {
            valid = false;
            return false;
        }
        cachedMinute = minute;
        valid = true;
    }
    local = cached;
    return true;
}

void FormatTimestamp(time_t modified, char* slot) {
    std::tm local{};
    if (!LocalMinute(modified, local)) {
        slot[kDateOffset] = '\0';
        slot[kTimeOffset] = '\0';
        return;
    }
    char* date = slot + kDateOffset;
    PutTwoDigits(date, local.tm_mday);
    date[2] = '.';
    PutTwoDigits(date + 3, local.tm_mon + 1);
    date[5] = '.';
    PutTwoDigits(date + 6, (local.tm_year + 1900) % 100);
    date[8] = '\0';
    char* clock = slot + kTimeOffset;
    PutTwoDigits(clock, local.tm_hour);
    clock[2] = ':';
    PutTwoDigits(clock + 3, local.tm_min);
    clock[5] = '\0';
}

// Whether the name ends in ".com", ".exe", ".bat" or ".cmd", in any letter case; names of
// fewer than four characters never do.
bool IsExecutableName(std::string_view name) {
    if (name.size() < 4) return false;
    char ending[4];
    for (size_t i = 0; i < 4; ++i) {
        ending[i] =
            static_cast<char>(std::tolower(static_cast<unsigned char>(name[name.size() - 4 + i])));
    }
    const std::string_view tail(ending, 4);
    return tail == ".com" || tail == ".exe" || tail == ".bat" || tail == ".cmd";
}

// The menu among menu and its submenus that holds an item with id, or null.
ZMenu* FindMenuHolding(ZMenu* menu, int id, int depth) {
    if (menu == nullptr || depth > kMenuSearchDepth) return nullptr;
    if (menu->GetItem(id) != nullptr) return menu;
    for (int i = 0; i < menu->ItemCount(); ++i) {
        const ZMenuItem* item = menu->ItemAt(i);
        if (item == nullptr || !item->submenu) continue;
        if (ZMenu* holder = FindMenuHolding(item->submenu.get(), id, depth + 1)) return holder;
    }
    return nullptr;
}

void SetCheckMark(ZMenu* menuBar, int id, bool checked) {
    ZMenu* holder = FindMenuHolding(menuBar, id, 0);
    if (holder == nullptr) return;
    const int type = holder->GetItemType(id);
    if (type < 0) return;
    const uint32_t old = static_cast<uint32_t>(type);
    const uint32_t wanted =
        checked ? (old | MENU_TYPE_CHECKED) : (old & ~static_cast<uint32_t>(MENU_TYPE_CHECKED));
    if (wanted != old) holder->SetItemType(id, wanted);
}

}  // namespace

namespace {

// The panels that exist, under the window lock: a job's owner is looked up here before use.
std::set<const void*>& LivePanels() {
    static std::set<const void*> panels;
    return panels;
}

// Reloads the panel a job was started from, and its other panel (a job's thread).
void ReloadAfterJob(void* owner) {
    WindowLockGuard lock(WindowLock());
    if (!LivePanels().contains(owner)) return;
    auto* panel = static_cast<ZFilePanel*>(owner);
    if (!panel->IsAttached()) return;
    panel->OnCommand(CMD_RELOAD);
    if (ZPanel* other = panel->Other(); other != nullptr && other != panel) {
        other->OnCommand(CMD_RELOAD);
    }
}

}  // namespace

ZFilePanel::ZFilePanel() {
    WindowLockGuard lock(WindowLock());
    LivePanels().insert(this);
    kq::localfs::SetPanelReloader(ReloadAfterJob);
}

ZFilePanel::~ZFilePanel() {
    {
        WindowLockGuard lock(WindowLock());
        LivePanels().erase(this);
    }
    if (bound_) Unbind();
}

bool ZFilePanel::IsFilePanel() {
    return true;
}

// ---- Binding and listing ----

int ZFilePanel::Bind(int plugin, char drive) {
    WindowLockGuard lock(WindowLock());
    PluginEntry entry{};
    if (PluginGet(plugin, &entry) != 0) return -1;
    if (bound_) Unbind();
    plugin_ = entry;
    bound_ = true;
    handle_ =
        plugin_.ZOpenPlugin != nullptr
            ? plugin_.ZOpenPlugin(0, static_cast<unsigned char>(drive), static_cast<void*>(this))
            : 0;
    SetKeyBarLabels();
    Reload();
    return 0;
}

int ZFilePanel::OpenPlace(int plugin, uint32_t start) {
    PluginEntry entry{};
    if (PluginGet(plugin, &entry) != 0 || entry.ZOpenPlugin == nullptr ||
        entry.ZFindFiles == nullptr) {
        return -1;
    }
    const PluginHandle handle = entry.ZOpenPlugin(0, start, static_cast<void*>(this));
    if (handle == 0) return -1;
    PluginItem* items = nullptr;
    int32_t count = 0;
    if (entry.ZFindFiles(handle, &items, &count, 0) != 0) {
        if (entry.ZClosePlugin != nullptr) entry.ZClosePlugin(handle);
        return -1;
    }
    if (entry.ZFindClose != nullptr) entry.ZFindClose(handle, items, count);
    WindowLockGuard lock(WindowLock());
    if (bound_) Unbind();
    plugin_ = entry;
    bound_ = true;
    handle_ = handle;
    PlaceCursor(0);
    SetKeyBarLabels();
    Reload();
    return 0;
}

void ZFilePanel::Unbind() {
    WindowLockGuard lock(WindowLock());
    ReleaseListing();
    if (bound_ && handle_ != 0 && plugin_.ZClosePlugin != nullptr) plugin_.ZClosePlugin(handle_);
    handle_ = 0;
    bound_ = false;
    plugin_ = PluginEntry{};
}

void ZFilePanel::ReleaseListing() {
    if (listing_ != nullptr && plugin_.ZFindClose != nullptr) {
        plugin_.ZFindClose(handle_, listing_, listingCount_);
    }
    listing_ = nullptr;
    ownItems_.reset();
    listingCount_ = 0;
    std::vector<PluginItem*>().swap(sorted_);
    totals_ = Totals{};
    DropTable();
}

std::string ZFilePanel::Directory() const {
    if (!bound_ || plugin_.ZGetDirectory == nullptr) return {};
    const char* directory = plugin_.ZGetDirectory(handle_);
    return directory != nullptr ? directory : "";
}

int ZFilePanel::Reload() {
    WindowLockGuard lock(WindowLock());
    ReleaseListing();
    PluginItem* items = nullptr;
    int32_t count = 0;
    if (!bound_ || plugin_.ZFindFiles == nullptr || !ListClimbingUp(items, count)) {
        if (GetTitle()[0] == '\0') {
            Redraw();
        } else {
            SetTitle("");
        }
        return -1;
    }
    listing_ = items;
    listingCount_ = items != nullptr ? std::max<int32_t>(count, 0) : 0;
    BuildRows();

    std::string directory;
    if (plugin_.ZGetDirectory != nullptr) {
        directory = Directory();
        PanelHost* host = GetPanelHost();
        if (host != nullptr && host->ActivePanel() == this) {
            host->SetPromptDirectory(directory.c_str());
        }
    }
    if (directory == GetTitle()) {
        Redraw();
    } else {
        SetTitle(directory.c_str());
    }
    return 0;
}

bool ZFilePanel::ListClimbingUp(PluginItem*& items, int32_t& count) {
    if (plugin_.ZFindFiles(handle_, &items, &count, 0) == 0) return true;
    if (plugin_.ZSetDirectory == nullptr || plugin_.ZGetDirectory == nullptr) return false;
    const std::string start = Directory();
    // Each step leaves one component of the path behind, so the climb ends at the root.
    for (int step = 0; step < kMaxClimb; ++step) {
        const std::string before = Directory();
        if (before.empty()) break;
        // The local plugin moves its text up even when it refuses "..": the text counts.
        plugin_.ZSetDirectory(handle_, "..", 0);
        if (Directory() == before) break;
        items = nullptr;
        count = 0;
        if (plugin_.ZFindFiles(handle_, &items, &count, 0) == 0) {
            PlaceCursor(0);
            return true;
        }
    }
    // Nothing above lists either: the plugin goes back to where it was, for the next reload.
    if (!start.empty() && Directory() != start) plugin_.ZSetDirectory(handle_, start.c_str(), 0);
    return false;
}

int ZFilePanel::ChangeDirectory(const char* path, int mode) {
    if (!bound_ || plugin_.ZSetDirectory == nullptr) {
        errno = 0;
        return -1;
    }
    const std::string before = Directory();
    errno = 0;
    if (plugin_.ZSetDirectory(handle_, path, mode) != 0) {
        const int reason = errno;
        // The local plugin's rules for a refused change move its text anyway; listed, that
        // text would give a blank panel.
        if (!before.empty() && Directory() != before) {
            plugin_.ZSetDirectory(handle_, before.c_str(), mode);
        }
        errno = reason;
        return -1;
    }
    WindowLockGuard lock(WindowLock());
    PlaceCursor(0);
    Reload();
    return 0;
}

int ZFilePanel::GoToDirectory(const char* path) {
    if (path == nullptr) return -1;
    if (ChangeDirectory(path, 0) == 0) return 0;
    const int reason = errno;
    if (!bound_ || plugin_.ZSetDirectory == nullptr) return -1;
    kq::panels::ShowFailure(IDS_CANNOT_ENTER_DIR, PathShown(path), reason);
    return -1;
}

std::string ZFilePanel::PathShown(const std::string& name) const {
    const std::string directory = Directory();
    if (name.empty() || name[0] == '/' || !HasLocalPaths() || directory.empty()) return name;
    return directory + (directory.back() == '/' ? "" : "/") + name;
}

// ---- The row table ----

bool ZFilePanel::TakeOtherPanelsOrder() {
    // Sorting the same items the same way gives the same order: a panel showing the very listing
    // the other panel sorted (the local plugin shares one between readers of a directory), with
    // neither panel having changed an item, takes that order instead of sorting again.
    auto* other = dynamic_cast<ZFilePanel*>(Other());
    if (other == nullptr || other == this || other->listing_ != listing_ || listing_ == nullptr ||
        other->ownItems_ || ownItems_ || other->listingCount_ != listingCount_ ||
        other->sortMode_ != sortMode_ || other->reverse_ != reverse_ ||
        other->hiddenShown_ != hiddenShown_ ||
        kq::plugins::CompareOf(other->plugin_) != kq::plugins::CompareOf(plugin_)) {
        return false;
    }
    sorted_ = other->sorted_;
    return true;
}

void ZFilePanel::BuildRows() {
    WindowLockGuard lock(WindowLock());
    // A table still held means a re-sort: the cursor follows its item by name.
    std::string remembered;
    bool remember = false;
    if (RowCount() > 0 && Cursor() >= 0) {
        if (const char* name = CellText(Cursor(), kFieldName)) {
            remembered = name;
            remember = true;
        }
    }
    const int previousCursor = Cursor();
    DropTable();

    kq::platform::ResizeLarge(sorted_, static_cast<size_t>(listingCount_));
    PluginItem* const items = Items();
    // Hidden names (those starting with '.') are left out when "ShowHidden" is 0; ".." stays.
    hiddenShown_ = PanelSetting("ShowHidden", 1) != 0;
    const bool sameOrder = TakeOtherPanelsOrder();
    if (!sameOrder) {
        for (int32_t i = 0; i < listingCount_; ++i) sorted_[static_cast<size_t>(i)] = items + i;
        // The local compare has keys that make large sorts cache-friendly.
        const PluginCompareFn compare = kq::plugins::CompareOf(plugin_);
        kq::panels::SortPanelItems(sorted_.data(), sorted_.size(), compare,
                                   compare == &FS_ZCompare ? &kq::plugins::LocalSortKey : nullptr,
                                   sortMode_, reverse_);
        if (!hiddenShown_) {
            std::erase_if(sorted_, [](const PluginItem* item) {
                return (item->attributes & FA_HIDDEN) != 0 && !kq::panels::IsParentEntry(*item);
            });
        }
    }

    texts_.titles[kFieldName] = kq::panels::LoadLanguageText(IDS_PANEL_NAME);
    texts_.titles[kFieldSize] = kq::panels::LoadLanguageText(IDS_PANEL_SIZE);
    texts_.titles[kFieldDate] = kq::panels::LoadLanguageText(IDS_PANEL_DATE);
    texts_.titles[kFieldTime] = kq::panels::LoadLanguageText(IDS_PANEL_TIME);
    texts_.directoryMark = kq::panels::LoadLanguageText(IDS_PANEL_DIR);
    texts_.parentMark = kq::panels::LoadLanguageText(IDS_PANEL_UP_DIR);
    texts_.selectionFormat = kq::panels::LoadLanguageText(IDS_PANEL_SELECTION);
    texts_.infoFormat = kq::panels::LoadLanguageText(IDS_PANEL_INFO);
    SetNumberMarks(texts_.directoryMark, texts_.parentMark);

    const size_t rows = sorted_.size();
    // With the other panel's order, the other panel's table holds exactly these rows.
    auto* other = sameOrder ? dynamic_cast<ZFilePanel*>(Other()) : nullptr;
    if (other != nullptr && other->RowCount() == static_cast<int>(rows)) {
        ShareTable(*other);
        totals_ = other->totals_;
    } else {
        SetTable(BuildTable());
        CountTotals();
    }

    int cursor = previousCursor < 0 ? 0 : previousCursor;
    if (remember) {
        for (int row = 0; row < RowCount(); ++row) {
            if (std::strcmp(CellText(row, kFieldName), remembered.c_str()) == 0) {
                cursor = row;
                break;
            }
        }
    }
    PlaceCursor(cursor);
}

ZListTable ZFilePanel::BuildTable() const {
    const size_t rows = sorted_.size();
    ZListTable table;
    table.fields = {
        {0, kFieldText, texts_.titles[kFieldName]},
        {9, kFieldNumber, texts_.titles[kFieldSize]},
        {8, kFieldText, texts_.titles[kFieldDate]},
        {5, kFieldText, texts_.titles[kFieldTime]},
    };
    constexpr size_t kFields = 4;
    // Names stay in the listing; dates, times and sizes go into the two arenas, sized once.
    kq::platform::ResizeLarge(table.texts, rows * kTextBytesPerRow);
    kq::platform::ResizeLarge(table.numbers, rows);
    kq::platform::ResizeLarge(table.cells, rows * kFields);
    kq::platform::ResizeLarge(table.rowColours, rows);
    kq::platform::ResizeLarge(table.rowFlags, rows);
    const uint8_t textColour = ColGetPalette()[kColourText];
    static constexpr char kNoName[] = "";
    for (size_t row = 0; row < rows; ++row) {
        const PluginItem& item = *sorted_[row];
        const char* name = item.name != nullptr ? item.name : kNoName;
        const bool directory = kq::panels::IsDirectoryItem(item);
        uint64_t size = item.fileSize;
        if (directory && size == 0) {
            size = kq::panels::IsParentEntry(item) ? kNumberMarkOutward : kNumberMarkInward;
        }
        table.numbers[row] = size;
        char* slot = table.texts.data() + row * kTextBytesPerRow;
        FormatTimestamp(item.modified, slot);

        const void** cells = table.cells.data() + row * kFields;
        cells[kFieldName] = name;
        cells[kFieldSize] = &table.numbers[row];
        cells[kFieldDate] = slot + kDateOffset;
        cells[kFieldTime] = slot + kTimeOffset;

        uint8_t colour = textColour;
        if (IsExecutableName(name)) colour = kExecutableAttribute;
        if (directory) colour = kDirectoryAttribute;
        table.rowColours[row] = colour;
        table.rowFlags[row] = (item.flags & PLUGIN_ITEM_SELECTED) ? kRowSelected : 0;
    }
    return table;
}

void ZFilePanel::CountTotals() {
    totals_ = Totals{};
    for (int row = 0; row < RowCount(); ++row) {
        const PluginItem& item = *sorted_[static_cast<size_t>(row)];
        if (RowFlags(row) & kRowSelected) {
            ++totals_.selectedCount;
            totals_.selectedSize += item.fileSize;
        }
        if (kq::panels::IsParentEntry(item)) continue;
        if (kq::panels::IsDirectoryItem(item)) {
            ++totals_.directoryCount;
        } else {
            ++totals_.fileCount;
        }
        totals_.totalSize += item.fileSize;
    }
}

PluginItem* ZFilePanel::ItemAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= sorted_.size()) return nullptr;
    return sorted_[static_cast<size_t>(row)];
}

void ZFilePanel::SetSortOrder(int mode, bool reverse) {
    WindowLockGuard lock(WindowLock());
    sortMode_ = std::clamp(mode, 0, kSortModeCount - 1);
    reverse_ = reverse;
    BuildRows();
    // Each panel has its own marks in the menu: a passive panel sorted from the menu keeps its
    // marks current too.
    SetSortCheckMarks();
    Redraw();
}

void ZFilePanel::MakeItemsWritable() {
    if (ownItems_ || listing_ == nullptr || listingCount_ <= 0) return;
    ownItems_ = std::make_unique<PluginItem[]>(static_cast<size_t>(listingCount_));
    std::copy_n(listing_, listingCount_, ownItems_.get());
    for (PluginItem*& item : sorted_) item = ownItems_.get() + (item - listing_);
}

void ZFilePanel::SetRowSelected(int row, bool selected) {
    WindowLockGuard lock(WindowLock());
    if (ChangeRowSelection(row, selected)) Redraw();
}

bool ZFilePanel::ChangeRowSelection(int row, bool selected) {
    WindowLockGuard lock(WindowLock());
    MakeItemsWritable();
    PluginItem* item = ItemAt(row);
    if (item == nullptr || row >= RowCount()) return false;
    const bool was = (RowFlags(row) & kRowSelected) != 0;
    if (was == selected) return false;
    SetRowFlags(row, selected ? (RowFlags(row) | kRowSelected) : (RowFlags(row) & ~kRowSelected));
    if (selected) {
        item->flags |= PLUGIN_ITEM_SELECTED;
        ++totals_.selectedCount;
        totals_.selectedSize += item->fileSize;
    } else {
        item->flags &= ~static_cast<uint32_t>(PLUGIN_ITEM_SELECTED);
        --totals_.selectedCount;
        totals_.selectedSize -= item->fileSize;
    }
    return true;
}

char ZFilePanel::SortLetter() const {
    if (sortMode_ <= 0 || sortMode_ >= kSortModeCount) return '\0';
    const char letter = kSortLetters[sortMode_ - 1];
    return reverse_ ? static_cast<char>(std::toupper(static_cast<unsigned char>(letter))) : letter;
}

// ---- Activation ----

void ZFilePanel::SetKeyBarLabels() const {
    ZKeyBar* keyBar = ZKeyBar::Get();
    if (keyBar == nullptr) return;
    PluginEntry local{};
    PluginGet(0, &local);
    const PluginGetKeyBarFn labelsOf = kq::plugins::KeyBarOf(plugin_, local);
    if (labelsOf == nullptr) return;
    const char* labels[ZKeyBar::kLabelSetCount] = {};
    labelsOf(&labels[0], &labels[1], &labels[2], &labels[3], &labels[4], &labels[5], &labels[6]);
    keyBar->SetKeyBar(labels[0], labels[1], labels[2], labels[3], labels[4], labels[5], labels[6]);
}

void ZFilePanel::SetSortCheckMarks() const {
    PanelHost* host = GetPanelHost();
    ZMenu* menuBar = host != nullptr ? host->MenuBar() : nullptr;
    if (menuBar == nullptr) return;
    ZRec position;
    GetPos(position);
    const bool left = position.x == 0;
    const int first = left ? CMD_SORT_LEFT : CMD_SORT_RIGHT;
    for (int mode = 0; mode < kSortModeCount; ++mode) {
        SetCheckMark(menuBar, first + mode, mode == sortMode_);
    }
    SetCheckMark(menuBar, left ? CMD_REVERSE_LEFT : CMD_REVERSE, reverse_);
}

int ZFilePanel::Activate(bool on) {
    if (on) {
        const std::string directory = Directory();
        if (PanelHost* host = GetPanelHost()) host->SetPromptDirectory(directory.c_str());
        if (bound_ && plugin_.ZGetFlags != nullptr &&
            (plugin_.ZGetFlags(handle_) & PLUGIN_FLAG_LOCAL_PATHS) != 0 && !directory.empty()) {
            FsSetCwd(directory.c_str());
        }
        SetKeyBarLabels();
        SetSortCheckMarks();
    }
    return ZListPanel::Activate(on);
}

int ZFilePanel::Destroy() {
    if (IsAttached() && bound_) Unbind();
    return ZListPanel::Destroy();
}

// ---- Drawing: the two bottom lines and the sort letter ----

std::string ZFilePanel::SizeLine(uint64_t size, const std::string& format,
                                 std::initializer_list<long long> counts) const {
    const int width = std::max(4, Width() - static_cast<int>(format.size()) - 14);
    std::string number(static_cast<size_t>(width), '\0');
    kq::ui::FormatNumber(number.data(), width, size, kq::ui::kFormatThousands);
    number.resize(std::strlen(number.c_str()));
    return number + kq::panels::FormatCounts(format, counts);
}

std::string ZFilePanel::SelectionText() const {
    if (totals_.selectedCount == 0) return {};
    return SizeLine(totals_.selectedSize, texts_.selectionFormat, {totals_.selectedCount});
}

std::string ZFilePanel::InfoText() const {
    return SizeLine(totals_.totalSize, texts_.infoFormat,
                    {totals_.directoryCount, totals_.fileCount});
}

void ZFilePanel::PutCentred(int y, const std::string& text, uint8_t attribute) {
    const int w = Width();
    // In a narrow panel the words give way before the figures.
    const std::string shown = kq::panels::FitToWidth(text, static_cast<size_t>(std::max(0, w - 2)));
    const int length = static_cast<int>(shown.size());
    const int x = std::max(1, (w - 2) / 2 - length / 2);
    PutText(x, y, shown, attribute);
}

int ZFilePanel::Draw() {
    ZListPanel::Draw();
    if (Chars().empty()) return 0;
    const uint8_t* palette = ColGetPalette();
    const int w = Width();
    const int h = Height();
    const int infoRows = InfoRows();
    if (infoRows != 0 && RowCount() > 0) {
        if (totals_.selectedCount > 0 && h - infoRows - 2 >= 0) {
            PutCentred(h - infoRows - 2, SelectionText(), palette[kColourSelectedCursor]);
        }
        if (PanelSetting("ShowInfo", 1) != 0) PutCentred(h - 1, InfoText(), palette[kColourText]);
    }
    if (PanelSetting("ShowSort", 1) != 0 && w > 2 && h > 1) {
        const char letter = SortLetter();
        PutText(1, TitleRows() == 1 ? 1 : 0, std::string_view(&letter, 1),
                palette[kColourSelected]);
    }
    return 0;
}
