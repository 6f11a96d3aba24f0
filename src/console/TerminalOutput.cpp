// The diffing renderer.
#include "console/TerminalOutput.h"

#include <algorithm>

namespace kq::console {

namespace {

constexpr uint16_t kUnknownCell = 0xFFFF;
// Unchanged cells between two changed ones on a row are rewritten rather than skipped with a
// cursor move when there are at most this many of them (a move costs 6 to 9 bytes).
constexpr int kMaxRewrittenGap = 3;

// Console colours are BGR (bit 0 blue, bit 2 red); ANSI colours are RGB.
int AnsiColour(int consoleColour) {
    return ((consoleColour & 1) << 2) | (consoleColour & 2) | ((consoleColour & 4) >> 2);
}

uint16_t Cell(uint8_t character, uint8_t attribute) {
    return static_cast<uint16_t>(character | (attribute << 8));
}

void AppendNumber(std::string& out, int value) {
    out += std::to_string(value);
}

}  // namespace

TerminalOutput::TerminalOutput(const GlyphTable& glyphs, const TerminalQuirks& quirks)
    : glyphs_(glyphs), quirks_(quirks) {}

void TerminalOutput::Invalidate(int cols, int rows) {
    cols_ = cols;
    rows_ = rows;
    shadow_.assign(static_cast<size_t>(cols) * static_cast<size_t>(rows), kUnknownCell);
    currentAttribute_ = -1;
    cursorX_ = cursorY_ = -1;
    cursorKnown_ = false;
}

std::string TerminalOutput::ColourSequence(uint8_t attribute) const {
    const int foreground = attribute & 0x0F;
    const int background = (attribute >> 4) & 0x0F;
    std::string sequence = "\x1b[";
    if (quirks_.brightColours) {
        AppendNumber(sequence, ((foreground & 8) ? 90 : 30) + AnsiColour(foreground & 7));
        sequence += ';';
        AppendNumber(sequence, ((background & 8) ? 100 : 40) + AnsiColour(background & 7));
    } else {
        // Eight colours: bold brightens the foreground, blink the background. Both must be
        // switched off explicitly, hence the reset.
        sequence += '0';
        if (foreground & 8) sequence += ";1";
        if (background & 8) sequence += ";5";
        sequence += ';';
        AppendNumber(sequence, 30 + AnsiColour(foreground & 7));
        sequence += ';';
        AppendNumber(sequence, 40 + AnsiColour(background & 7));
    }
    sequence += 'm';
    return sequence;
}

void TerminalOutput::MoveTo(int x, int y, std::string& out) {
    if (x == cursorX_ && y == cursorY_) return;
    out += "\x1b[";
    if (y != 0 || x != 0) AppendNumber(out, y + 1);
    if (x != 0) {
        out += ';';
        AppendNumber(out, x + 1);
    }
    out += 'H';
    cursorX_ = x;
    cursorY_ = y;
}

void TerminalOutput::RenderRow(const ScreenMirror& mirror, int y, std::string& out) {
    const uint8_t* chars = mirror.RowChars(y);
    const uint8_t* attrs = mirror.RowAttrs(y);
    uint16_t* shadow = &shadow_[static_cast<size_t>(y) * static_cast<size_t>(cols_)];
    int x = 0;
    while (x < cols_) {
        if (shadow[x] == Cell(chars[x], attrs[x])) {
            ++x;
            continue;
        }
        // Reach x: rewrite a short gap of unchanged cells behind the cursor when they share
        // the current colour, else move.
        if (cursorY_ == y && cursorX_ >= 0 && cursorX_ < x && x - cursorX_ <= kMaxRewrittenGap &&
            std::all_of(attrs + cursorX_, attrs + x,
                        [this](uint8_t a) { return a == currentAttribute_; })) {
            for (int gap = cursorX_; gap < x; ++gap) out += glyphs_.Utf8(chars[gap]);
            cursorX_ = x;
        } else {
            MoveTo(x, y, out);
        }
        if (attrs[x] != currentAttribute_) {
            out += ColourSequence(attrs[x]);
            currentAttribute_ = attrs[x];
        }
        out += glyphs_.Utf8(chars[x]);
        shadow[x] = Cell(chars[x], attrs[x]);
        ++x;
        // Auto-wrap is off, so the cursor stays on the last column after writing it; some
        // terminals disagree about where exactly, so treat it as unknown.
        cursorX_ = x < cols_ ? x : -1;
        if (x >= cols_) cursorY_ = -1;
    }
}

void TerminalOutput::RenderCursor(const CursorState& cursor, std::string& out) {
    const bool visible = cursor.size != 0;
    if (!cursorKnown_ || cursor.size != sentCursor_.size) {
        if (!visible) {
            out += "\x1b[?25l";
        } else {
            if (cursor.size > 0 && quirks_.cursorShape) {
                // Steady underline up to half a cell, steady block above.
                out += cursor.size <= 50 ? "\x1b[4 q" : "\x1b[2 q";
            }
            out += "\x1b[?25h";
        }
    }
    if (visible && cursor.x >= 0 && cursor.y >= 0 && cursor.x < cols_ && cursor.y < rows_) {
        MoveTo(cursor.x, cursor.y, out);
    }
    sentCursor_ = cursor;
    cursorKnown_ = true;
}

void TerminalOutput::Render(const ScreenMirror& mirror, const CursorState& cursor,
                            std::string& out) {
    if (mirror.Cols() != cols_ || mirror.Rows() != rows_) Invalidate(mirror.Cols(), mirror.Rows());
    const size_t start = out.size();
    int rowsChanged = 0;
    for (int y = 0; y < rows_; ++y) {
        const size_t before = out.size();
        RenderRow(mirror, y, out);
        if (out.size() != before) ++rowsChanged;
    }
    // The cursor goes back where the program wants it after the cells moved it.
    const bool cellsChanged = rowsChanged > 0;
    if (cellsChanged || !cursorKnown_ || !(cursor == sentCursor_)) RenderCursor(cursor, out);
    if (rowsChanged > 1 && quirks_.synchronizedOutput) {
        out.insert(start, "\x1b[?2026h");
        out += "\x1b[?2026l";
    }
}

}  // namespace kq::console
