// ZListPanel: the table's layout and drawing, and the cursor bookkeeping.
#include "panels/ZListPanel.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>

#include "kq/keys.h"
#include "kq/text.h"
#include "ui/FormatNumber.h"
#include "ui/WindowLock.h"

namespace {

const std::shared_ptr<const ZListTable>& EmptyTable() {
    static const auto empty = std::make_shared<const ZListTable>();
    return empty;
}

// Line characters (code page 437).
constexpr uint8_t kHorizontalLine = 196;
constexpr uint8_t kVerticalLine = 179;
constexpr uint8_t kLineJoin = 193;  // a vertical separator meeting the horizontal line
constexpr char kCutMark = '}';
// The arrows around a number mark.
constexpr char kArrowRight = 16;
constexpr char kArrowLeft = 17;

}  // namespace

void ZListPanel::SetPanelColumns(int columns) {
    panelColumns_ = std::max(1, columns);
    Redraw();
}

void ZListPanel::SetInfoRows(int rows) {
    infoRows_ = std::max(0, rows);
    Redraw();
}

bool ZListPanel::TitlesShown() {
    return PanelSetting("ShowTitles", 1) != 0;
}

ZListPanel::ZListPanel() : table_(EmptyTable()) {}

int ZListPanel::RowsPerColumn() const {
    return std::max(0, Height() - infoRows_ - (TitlesShown() ? 1 : 0) - 3);
}

void ZListPanel::SetTable(ZListTable&& table) {
    const size_t rows = table.rowColours.size();
    if (table.rowFlags.size() != rows || table.cells.size() != rows * table.fields.size()) {
        DropTable();
        return;
    }
    rowFlags_ = std::move(table.rowFlags);
    table_ = std::make_shared<const ZListTable>(std::move(table));
    rowCount_ = static_cast<int>(rows);
    rowOrder_.resize(rows);
    std::iota(rowOrder_.begin(), rowOrder_.end(), 0);
}

void ZListPanel::ShareTable(const ZListPanel& other) {
    table_ = other.table_;
    rowFlags_ = other.rowFlags_;
    rowCount_ = other.rowCount_;
    rowOrder_ = other.rowOrder_;
}

void ZListPanel::DropTable() {
    table_ = EmptyTable();
    rowFlags_ = {};
    rowOrder_ = {};
    rowCount_ = 0;
}

void ZListPanel::PlaceCursor(int row) {
    cursor_ = rowCount_ == 0 ? -1 : std::clamp(row, 0, rowCount_ - 1);
}

void ZListPanel::SetCurrentRow(int row) {
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    PlaceCursor(row);
    Redraw();
}

void ZListPanel::SetNumberMarks(std::string inward, std::string outward) {
    inwardMark_ = std::move(inward);
    outwardMark_ = std::move(outward);
}

const char* ZListPanel::CellText(int row, int field) const {
    if (row < 0 || row >= rowCount_ || field < 0 || field >= FieldCount()) return nullptr;
    if (Field(field).type != kFieldText) return nullptr;
    const size_t index =
        static_cast<size_t>(row) * table_->fields.size() + static_cast<size_t>(field);
    return static_cast<const char*>(table_->cells[index]);
}

const uint64_t* ZListPanel::CellNumber(int row, int field) const {
    if (row < 0 || row >= rowCount_ || field < 0 || field >= FieldCount()) return nullptr;
    if (Field(field).type != kFieldNumber) return nullptr;
    const size_t index =
        static_cast<size_t>(row) * table_->fields.size() + static_cast<size_t>(field);
    return static_cast<const uint64_t*>(table_->cells[index]);
}

// ---- Cursor keys ----

int ZListPanel::OnKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    if ((flags & KF_DOWN) == 0 || (flags & (KF_ALT | KF_CTRL | KF_SHIFT)) != 0) return 1;
    // The keypad's digits move only with Num Lock off: with it on they type their digit.
    const bool keypad = KEY_CHAR(key) == 0;
    switch (KEY_CODE(key)) {
        case KC_UP:
            return MoveCursor(CursorKey::kUp);
        case KC_DOWN:
            return MoveCursor(CursorKey::kDown);
        case KC_HOME:
            return MoveCursor(CursorKey::kHome);
        case KC_END:
            return MoveCursor(CursorKey::kEnd);
        case KC_PGUP:
            return MoveCursor(CursorKey::kPageUp);
        case KC_PGDN:
            return MoveCursor(CursorKey::kPageDown);
        case KC_LEFT:
            return MoveCursor(CursorKey::kLeft);
        case KC_RIGHT:
            return MoveCursor(CursorKey::kRight);
        case KC_NUM8:
            return keypad ? MoveCursor(CursorKey::kUp) : 1;
        case KC_NUM2:
            return keypad ? MoveCursor(CursorKey::kDown) : 1;
        case KC_NUM7:
            return keypad ? MoveCursor(CursorKey::kHome) : 1;
        case KC_NUM1:
            return keypad ? MoveCursor(CursorKey::kEnd) : 1;
        case KC_NUM9:
            return keypad ? MoveCursor(CursorKey::kPageUp) : 1;
        case KC_NUM3:
            return keypad ? MoveCursor(CursorKey::kPageDown) : 1;
        case KC_NUM4:
            return keypad ? MoveCursor(CursorKey::kLeft) : 1;
        case KC_NUM6:
            return keypad ? MoveCursor(CursorKey::kRight) : 1;
        default:
            return 1;
    }
}

int ZListPanel::MoveCursor(CursorKey move) {
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    // An empty table has nothing to move, but the key still belongs to the panel.
    if (rowCount_ == 0) return 0;
    const int last = rowCount_ - 1;
    const int column = RowsPerColumn();
    const int page = column * std::max(1, panelColumns_);
    int row = std::max(cursor_, 0);
    switch (move) {
        case CursorKey::kUp:
            row -= 1;
            break;
        case CursorKey::kDown:
            row += 1;
            break;
        case CursorKey::kHome:
            row = 0;
            break;
        case CursorKey::kEnd:
            row = last;
            break;
        case CursorKey::kPageUp:
            row -= std::max(0, page - 1);
            break;
        case CursorKey::kPageDown:
            row += std::max(0, page - 1);
            break;
        case CursorKey::kLeft:
            if (row >= column && column > 0) {
                row -= column;
                // The view moves back with the cursor by whole columns.
                if (row < top_) top_ = std::max(0, top_ - column);
            } else {
                row = 0;
            }
            break;
        case CursorKey::kRight:
            row = std::min(row + column, last);
            // Passing the last shown row moves the view on by one column.
            if (row >= top_ + page) top_ += column;
            break;
    }
    PlaceCursor(row);
    Redraw();
    return 0;
}

std::vector<ZListPanel::FieldSlot> ZListPanel::LayOutColumn(int start, int span) const {
    const size_t count = table_->fields.size();
    std::vector<FieldSlot> slots(count);
    if (count == 0) return slots;
    // Every shown field is followed by one separator cell; the last one's is the column's edge.
    int fixed = 0;
    int shared = 0;
    for (const ZListField& field : table_->fields) {
        fixed += 1 + std::max(0, field.width);
        if (field.width <= 0) ++shared;
    }
    // The shared fields (the name) keep priority: fields of a width of their own give way, the
    // last one first, while the shared ones would get fewer than kMinimumShare cells each.
    for (size_t i = count; i-- > 0 && shared > 0 && span - fixed < shared * kMinimumShare;) {
        if (table_->fields[i].width <= 0) continue;
        slots[i].shown = false;
        fixed -= 1 + table_->fields[i].width;
    }
    const int share = shared > 0 ? std::max(0, (span - fixed) / shared) : 0;
    size_t lastShown = count - 1;
    while (lastShown > 0 && !slots[lastShown].shown) --lastShown;
    const int end = start + span - 1;  // the last field ends before this cell
    int x = start;
    for (size_t i = 0; i < count; ++i) {
        if (!slots[i].shown) {
            slots[i] = FieldSlot{x, 0, false};
            continue;
        }
        int width = table_->fields[i].width > 0 ? table_->fields[i].width : share;
        if (i == lastShown) width = end - x;  // the last field takes the rest
        width = std::clamp(width, 0, std::max(0, end - x));
        slots[i] = FieldSlot{x, width, true};
        x += width + 1;
    }
    return slots;
}

void ZListPanel::PutCell(int x, int y, uint8_t character, uint8_t attribute) {
    if (x < 0 || x >= Width() || y < 0 || y >= Height()) return;
    const size_t index =
        static_cast<size_t>(y) * static_cast<size_t>(Width()) + static_cast<size_t>(x);
    Chars()[index] = character;
    Attrs()[index] = attribute;
}

void ZListPanel::DrawLines(int columnWidth) {
    const uint8_t attribute = ColGetPalette()[kColourFrame];
    const int w = Width();
    const int lineRow = Height() - infoRows_ - 2;
    if (lineRow < 1) return;
    for (int x = 1; x <= w - 2; ++x) PutCell(x, lineRow, kHorizontalLine, attribute);
    const int columns = std::max(1, panelColumns_);
    for (int column = 0; column < columns; ++column) {
        const int start = 1 + column * columnWidth;
        const int span = column + 1 == columns ? w - start : columnWidth;
        for (const FieldSlot& slot : LayOutColumn(start, span)) {
            if (!slot.shown) continue;
            const int x = slot.x + slot.width;
            if (x <= 0 || x >= w - 1) continue;  // the frame stays
            for (int y = 1; y <= lineRow; ++y) {
                PutCell(x, y, y == lineRow ? kLineJoin : kVerticalLine, attribute);
            }
        }
    }
}

void ZListPanel::DrawTitles(const std::vector<FieldSlot>& slots) {
    const uint8_t attribute = ColGetPalette()[kColourTitles];
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string& title = table_->fields[i].title;
        const int length = std::min(static_cast<int>(title.size()), slots[i].width);
        if (length <= 0) continue;
        const int x = slots[i].x + (slots[i].width - length) / 2;
        PutText(x, 1, std::string_view(title).substr(0, static_cast<size_t>(length)), attribute);
    }
}

void ZListPanel::DrawNumber(const FieldSlot& slot, int y, uint64_t value, uint8_t attribute) {
    if (slot.width <= 0) return;
    std::string text;
    if (value == kNumberMarkInward || value == kNumberMarkOutward) {
        const bool inward = value == kNumberMarkInward;
        text += inward ? kArrowRight : kArrowLeft;
        text += inward ? inwardMark_ : outwardMark_;
        text += inward ? kArrowLeft : kArrowRight;
        if (static_cast<int>(text.size()) > slot.width)
            text.resize(static_cast<size_t>(slot.width));
        const int x = slot.x + (slot.width - static_cast<int>(text.size())) / 2;
        PutText(x, y, text, attribute);
        return;
    }
    // A number too large even in units of "G" leaves the field blank.
    text.assign(static_cast<size_t>(slot.width), ' ');
    kq::ui::FormatNumber(text.data(), slot.width, value, kq::ui::kFormatRightAlign);
    PutText(slot.x, y, text, attribute);
}

void ZListPanel::DrawRow(int row, int y, int start, int span, const std::vector<FieldSlot>& slots) {
    const uint8_t* palette = ColGetPalette();
    const bool selected = (RowFlags(row) & kRowSelected) != 0;
    uint8_t attribute = selected ? palette[kColourSelected] : RowColour(row);
    if (row == cursor_ && IsActive()) {
        attribute = selected ? palette[kColourSelectedCursor] : palette[kColourCursor];
        // The cursor bar covers the whole column, separators included.
        for (int x = start; x < start + span - 1; ++x) {
            const size_t index =
                static_cast<size_t>(y) * static_cast<size_t>(Width()) + static_cast<size_t>(x);
            if (x > 0 && x < Width() - 1) Attrs()[index] = attribute;
        }
    }
    for (size_t field = 0; field < slots.size(); ++field) {
        const FieldSlot& slot = slots[field];
        if (!slot.shown) continue;
        for (int x = slot.x; x < slot.x + slot.width; ++x) PutCell(x, y, ' ', attribute);
        const int fieldIndex = static_cast<int>(field);
        if (const char* text = CellText(row, fieldIndex)) {
            const size_t length = std::strlen(text);
            const size_t shown = std::min(length, static_cast<size_t>(slot.width));
            PutText(slot.x, y, std::string_view(text, shown), attribute);
            const int after = slot.x + slot.width;
            if (length > shown && after < Width() - 1) PutCell(after, y, kCutMark, attribute);
        } else if (const uint64_t* number = CellNumber(row, fieldIndex)) {
            DrawNumber(slot, y, *number, attribute);
        }
    }
}

void ZListPanel::KeepCursorVisible(int visibleRows) {
    if (rowCount_ == 0 || visibleRows <= 0) {
        top_ = 0;
        return;
    }
    if (cursor_ >= 0) {
        if (cursor_ < top_) top_ = cursor_;
        if (cursor_ >= top_ + visibleRows) top_ = cursor_ - visibleRows + 1;
    }
    top_ = std::clamp(top_, 0, rowCount_ - 1);
}

int ZListPanel::Draw() {
    ZPanel::Draw();
    if (Chars().empty()) return 0;
    const int w = Width();
    const int h = Height();
    titleRows_ = TitlesShown() ? 1 : 0;
    const int columns = std::max(1, panelColumns_);
    const int columnWidth = (w - 1) / columns;
    if (columnWidth <= 0) return 0;
    DrawLines(columnWidth);

    const int perColumn = std::max(0, h - infoRows_ - titleRows_ - 3);
    KeepCursorVisible(perColumn * columns);
    for (int column = 0; column < columns; ++column) {
        const int start = 1 + column * columnWidth;
        const int span = column + 1 == columns ? w - start : columnWidth;
        const std::vector<FieldSlot> slots = LayOutColumn(start, span);
        if (titleRows_ == 1 && h - infoRows_ >= 4) DrawTitles(slots);
        for (int i = 0; i < perColumn; ++i) {
            const int row = top_ + column * perColumn + i;
            if (row >= rowCount_) break;
            DrawRow(row, titleRows_ + 1 + i, start, span, slots);
        }
    }
    return 0;
}
