// The text being edited and every change to it: positions, the marked block, typing, line
// splits and joins, inserting text that holds line breaks, and taking a range out or copying it.
// Pure text work: the window (ZEditor) decides what to repaint.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/EditorText.h"

namespace kq::editor {

struct TextPosition {
    int64_t line = 0;
    int64_t offset = 0;  // bytes from the start of the line
    auto operator<=>(const TextPosition&) const = default;
};

class EditorDocument {
  public:
    EditorDocument() { lines_.resize(1); }
    void Reset(std::vector<EditorLine> lines, LineEnding ending);

    const std::vector<EditorLine>& Lines() const { return lines_; }
    int64_t LineCount() const { return static_cast<int64_t>(lines_.size()); }
    const std::string& Text(int64_t line) const { return lines_[static_cast<size_t>(line)].text; }
    int64_t Length(int64_t line) const { return static_cast<int64_t>(Text(line).size()); }
    LineEnding FileEnding() const { return ending_; }
    // A position moved inside the text: a line that exists, an offset within it.
    TextPosition Clamp(TextPosition at) const;

    bool Changed() const { return changed_; }
    void SetChanged(bool changed) { changed_ = changed; }

    // The marked block, from its start up to (not including) its end; never empty.
    bool HasBlock() const { return hasBlock_; }
    TextPosition BlockStart() const { return blockStart_; }
    TextPosition BlockEnd() const { return blockEnd_; }
    bool InBlock(TextPosition at) const { return hasBlock_ && at >= blockStart_ && at < blockEnd_; }
    // Marks the text between two positions in either order; equal positions drop the block.
    void MarkBlock(TextPosition from, TextPosition to);
    void DropBlock() { hasBlock_ = false; }

    // Each returns the cursor after the change and sets the changed flag.
    // Inserts text at a position; CR, LF and CR LF each split the line once.
    TextPosition Insert(TextPosition at, std::string_view text);
    // One typed byte: replaces the byte at the cursor in overwrite mode (before the line's end),
    // else inserts it.
    TextPosition Type(TextPosition at, char byte, bool overwrite);
    // The bytes from the cursor on become a new line; the current line ends with the file's
    // ending and the new one keeps the line's former ending.
    TextPosition Split(TextPosition at);
    TextPosition Backspace(TextPosition at);
    TextPosition DeleteForward(TextPosition at);
    // Takes the text from one position up to another out; the lines between go.
    TextPosition Erase(TextPosition from, TextPosition to);
    // The text between two positions, lines joined by LF (the clipboard's line break here).
    std::string Copy(TextPosition from, TextPosition to) const;

  private:
    EditorLine& At(int64_t line) { return lines_[static_cast<size_t>(line)]; }

    std::vector<EditorLine> lines_;
    LineEnding ending_ = LineEnding::kLf;
    bool changed_ = false;
    bool hasBlock_ = false;
    TextPosition blockStart_;
    TextPosition blockEnd_;
};

// Display columns: a TAB runs to the next multiple of tabSize, every other byte takes one.
int64_t DisplayColumn(std::string_view text, int64_t offset, int tabSize);
// The first offset whose display column reaches column (at most the text's length).
int64_t OffsetForColumn(std::string_view text, int64_t column, int tabSize);
// Word moves within a line: a word byte is an ASCII letter or digit or any byte from 128 on.
int64_t WordLeft(std::string_view text, int64_t offset);
int64_t WordRight(std::string_view text, int64_t offset);

}  // namespace kq::editor
