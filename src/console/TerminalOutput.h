// Turns the screen mirror into the bytes that bring a terminal from what it shows to what
// the mirror holds: only changed cells, the shortest cursor moves, colour changes only where
// the attribute changes, and synchronized-update mode around updates of more than one row.
//
// Pure: it keeps a shadow of the terminal's cells and cursor and appends bytes to a string;
// writing them is the caller's job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/GlyphTable.h"
#include "console/ScreenMirror.h"
#include "console/TerminalQuirks.h"

namespace kq::console {

struct CursorState {
    int x = 0;
    int y = 0;
    // Cursor height in percent: 0 hidden, 1..50 underline, above a block; -1 the terminal's
    // own shape, untouched.
    int size = -1;
    friend bool operator==(const CursorState&, const CursorState&) = default;
};

class TerminalOutput {
  public:
    TerminalOutput(const GlyphTable& glyphs, const TerminalQuirks& quirks);

    // The terminal shows nothing known: the next Render repaints every cell and resends the
    // colours and the cursor.
    void Invalidate(int cols, int rows);
    // Appends the bytes of the update; nothing when the terminal already matches.
    void Render(const ScreenMirror& mirror, const CursorState& cursor, std::string& out);

    // The SGR sequence of a console attribute (exposed for tests).
    std::string ColourSequence(uint8_t attribute) const;

  private:
    void MoveTo(int x, int y, std::string& out);
    void RenderRow(const ScreenMirror& mirror, int y, std::string& out);
    void RenderCursor(const CursorState& cursor, std::string& out);

    const GlyphTable& glyphs_;
    TerminalQuirks quirks_;
    int cols_ = 0;
    int rows_ = 0;
    // What the terminal shows; kUnknownCell forces a cell to be written.
    std::vector<uint16_t> shadow_;
    int currentAttribute_ = -1;  // -1: unknown
    int cursorX_ = -1;           // where the terminal's cursor is; -1: unknown
    int cursorY_ = -1;
    CursorState sentCursor_;
    bool cursorKnown_ = false;
};

}  // namespace kq::console
