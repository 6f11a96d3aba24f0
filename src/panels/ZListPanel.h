// ZListPanel: a panel that shows a table of rows and fields with a cursor, a top row, side by
// side panel columns, column titles and rows reserved for information at the bottom. The table
// comes whole from the derived class (SetTable); this class draws it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "panels/ZPanel.h"

// One field (column) of the table.
struct ZListField {
    int width = 0;  // cells; 0 takes an equal share of what the fixed fields leave
    int type = 1;   // ZListPanel::kFieldText or kFieldNumber
    std::string title;
};

// A whole table as the derived class builds it. Cells are row-major (row * field count +
// field): a text field's cell is a const char*, a number field's a const uint64_t*. They may
// point into the two arenas, which move into the panel with the table (a moved vector keeps
// its buffer, so the pointers stay valid), or at texts that outlive the table.
struct ZListTable {
    std::vector<ZListField> fields;
    std::vector<const void*> cells;
    std::vector<uint8_t> rowColours;  // attribute of each unselected row
    std::vector<uint32_t> rowFlags;   // bit 0: selected
    std::vector<char> texts;
    std::vector<uint64_t> numbers;
};

class ZListPanel : public ZPanel {
  public:
    static constexpr int kFieldText = 1;
    static constexpr int kFieldNumber = 4;
    // Number cells with these values show the marks set by SetNumberMarks instead.
    static constexpr uint64_t kNumberMarkInward = UINT64_MAX;       // -1: between 16 and 17
    static constexpr uint64_t kNumberMarkOutward = UINT64_MAX - 1;  // -2: between 17 and 16
    static constexpr uint32_t kRowSelected = 1;

    ZListPanel();

    // The pane, then the table: separators, the horizontal line, titles and the rows from the
    // top row on, the cursor row marked when the panel is active.
    int Draw() override;
    // The cursor keys, each only with no Alt, Ctrl or Shift: Up, Down, Home, End, PgUp, PgDn
    // (a page less one row), Left and Right (one panel column back or on), and the keypad's
    // 8, 2, 7, 1, 9, 3, 4, 6 for them when the key carries no character (Num Lock off). Every
    // movement repaints; 0 for these keys, 1 for every other key and for releases.
    int OnKey(uint32_t key) override;

    int PanelColumns() const { return panelColumns_; }
    void SetPanelColumns(int columns);
    // Index of the current row, -1 for an empty table.
    int Cursor() const { return cursor_; }
    // Moves the cursor to row (limited to the table) and repaints.
    void SetCurrentRow(int row);
    int Top() const { return top_; }
    int RowCount() const { return rowCount_; }
    int FieldCount() const { return static_cast<int>(table_->fields.size()); }
    const ZListField& Field(int field) const { return table_->fields[static_cast<size_t>(field)]; }
    // The text of a text cell, null for a number cell or outside the table.
    const char* CellText(int row, int field) const;
    // The value of a number cell, null for a text cell or outside the table.
    const uint64_t* CellNumber(int row, int field) const;
    uint8_t RowColour(int row) const { return table_->rowColours[static_cast<size_t>(row)]; }
    uint32_t RowFlags(int row) const { return rowFlags_[static_cast<size_t>(row)]; }
    int RowOrder(int row) const { return rowOrder_[static_cast<size_t>(row)]; }
    int InfoRows() const { return infoRows_; }
    void SetInfoRows(int rows);
    // 1 when the last drawing reserved row 1 for column titles ("ShowTitles").
    int TitleRows() const { return titleRows_; }
    // Rows shown in one panel column for the panel's current height and title setting.
    int RowsPerColumn() const;

  protected:
    // Replaces the table; the cursor keeps its index (see PlaceCursor). No repaint.
    void SetTable(ZListTable&& table);
    // Empties the table; the cursor keeps its index for the next table.
    void DropTable();
    // Puts the cursor on row, limited to the last row; -1 when the table is empty. No repaint.
    void PlaceCursor(int row);
    // The texts the number marks show between their arrows.
    void SetNumberMarks(std::string inward, std::string outward);
    // Sets or clears the selected bit of a row's flags.
    void SetRowFlags(int row, uint32_t flags) { rowFlags_[static_cast<size_t>(row)] = flags; }
    // Shows the other panel's table: the rows, cells and arenas are shared (they never change
    // once built), the row flags are copied (each panel selects on its own).
    void ShareTable(const ZListPanel& other);
    // "ShowTitles" (missing: on).
    static bool TitlesShown();

  private:
    enum class CursorKey { kUp, kDown, kHome, kEnd, kPageUp, kPageDown, kLeft, kRight };
    // Moves the cursor as the key says, limited to the table, and repaints. Always 0 (used).
    int MoveCursor(CursorKey move);

    // Where a field lies on a row: its first cell and width. The separator follows it. A field
    // left out for want of room is not shown at all, separator included.
    struct FieldSlot {
        int x = 0;
        int width = 0;
        bool shown = true;
    };
    // The fewest cells a shared field (the name) is left with while fields of a width of their
    // own can still give way: room for an 8.3 name.
    static constexpr int kMinimumShare = 12;

    std::vector<FieldSlot> LayOutColumn(int start, int span) const;
    void DrawLines(int columnWidth);
    void DrawTitles(const std::vector<FieldSlot>& slots);
    void DrawRow(int row, int y, int start, int span, const std::vector<FieldSlot>& slots);
    void DrawNumber(const FieldSlot& slot, int y, uint64_t value, uint8_t attribute);
    void KeepCursorVisible(int visibleRows);
    void PutCell(int x, int y, uint8_t character, uint8_t attribute);

    int panelColumns_ = 1;
    int cursor_ = -1;
    int top_ = 0;
    int rowCount_ = 0;
    // Built once, then only read: two panels may show one table. Its rowFlags are moved out
    // into rowFlags_, which belong to this panel alone.
    std::shared_ptr<const ZListTable> table_;
    std::vector<uint32_t> rowFlags_;
    std::vector<int32_t> rowOrder_;  // row -> item index: the identity after every rebuild
    int infoRows_ = 1;
    int titleRows_ = 1;
    std::string inwardMark_;
    std::string outwardMark_;
};
