// Changes to the edited text (see EditorDocument.h).
#include "editor/EditorDocument.h"

#include <algorithm>
#include <cctype>

namespace kq::editor {

void EditorDocument::Reset(std::vector<EditorLine> lines, LineEnding ending) {
    lines_ = std::move(lines);
    if (lines_.empty()) lines_.resize(1);
    ending_ = ending;
    changed_ = false;
    hasBlock_ = false;
}

TextPosition EditorDocument::Clamp(TextPosition at) const {
    at.line = std::clamp<int64_t>(at.line, 0, LineCount() - 1);
    at.offset = std::clamp<int64_t>(at.offset, 0, Length(at.line));
    return at;
}

void EditorDocument::MarkBlock(TextPosition from, TextPosition to) {
    from = Clamp(from);
    to = Clamp(to);
    hasBlock_ = from != to;
    blockStart_ = std::min(from, to);
    blockEnd_ = std::max(from, to);
}

TextPosition EditorDocument::Insert(TextPosition at, std::string_view text) {
    changed_ = true;
    at = Clamp(at);
    while (!text.empty()) {
        const size_t breakAt = text.find_first_of("\r\n");
        At(at.line).text.insert(static_cast<size_t>(at.offset), text.substr(0, breakAt));
        if (breakAt == std::string_view::npos) {
            at.offset += static_cast<int64_t>(text.size());
            break;
        }
        at.offset += static_cast<int64_t>(breakAt);
        at = Split(at);
        const bool pair =
            text[breakAt] == '\r' && breakAt + 1 < text.size() && text[breakAt + 1] == '\n';
        text.remove_prefix(breakAt + (pair ? 2 : 1));
    }
    return at;
}

TextPosition EditorDocument::Type(TextPosition at, char byte, bool overwrite) {
    changed_ = true;
    at = Clamp(at);
    std::string& text = At(at.line).text;
    if (overwrite && at.offset < Length(at.line)) {
        text[static_cast<size_t>(at.offset)] = byte;
    } else {
        text.insert(text.begin() + at.offset, byte);
    }
    return {at.line, at.offset + 1};
}

TextPosition EditorDocument::Split(TextPosition at) {
    changed_ = true;
    at = Clamp(at);
    EditorLine next;
    next.text = Text(at.line).substr(static_cast<size_t>(at.offset));
    next.ending = At(at.line).ending;
    At(at.line).text.resize(static_cast<size_t>(at.offset));
    At(at.line).ending = ending_;
    lines_.insert(lines_.begin() + at.line + 1, std::move(next));
    return {at.line + 1, 0};
}

TextPosition EditorDocument::Erase(TextPosition from, TextPosition to) {
    changed_ = true;
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    EditorLine& first = At(from.line);
    std::string rest = Text(to.line).substr(static_cast<size_t>(to.offset));
    const LineEnding lastEnding = At(to.line).ending;
    first.text.resize(static_cast<size_t>(from.offset));
    first.text += rest;
    first.ending = lastEnding;
    lines_.erase(lines_.begin() + from.line + 1, lines_.begin() + to.line + 1);
    return from;
}

TextPosition EditorDocument::Backspace(TextPosition at) {
    changed_ = true;
    at = Clamp(at);
    if (at.offset > 0) return Erase({at.line, at.offset - 1}, at);
    if (at.line == 0) return at;
    const TextPosition joined{at.line - 1, Length(at.line - 1)};
    return Erase(joined, at);
}

TextPosition EditorDocument::DeleteForward(TextPosition at) {
    changed_ = true;
    at = Clamp(at);
    if (at.offset < Length(at.line)) return Erase(at, {at.line, at.offset + 1});
    if (at.line + 1 < LineCount()) return Erase(at, {at.line + 1, 0});
    return at;
}

std::string EditorDocument::Copy(TextPosition from, TextPosition to) const {
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    if (from.line == to.line) {
        return Text(from.line).substr(static_cast<size_t>(from.offset),
                                      static_cast<size_t>(to.offset - from.offset));
    }
    std::string copy = Text(from.line).substr(static_cast<size_t>(from.offset));
    for (int64_t line = from.line + 1; line < to.line; ++line) copy += "\n" + Text(line);
    copy += "\n" + Text(to.line).substr(0, static_cast<size_t>(to.offset));
    return copy;
}

int64_t DisplayColumn(std::string_view text, int64_t offset, int tabSize) {
    int64_t column = 0;
    const auto end = std::min<int64_t>(offset, static_cast<int64_t>(text.size()));
    for (int64_t i = 0; i < end; ++i) {
        column =
            text[static_cast<size_t>(i)] == '\t' ? (column / tabSize + 1) * tabSize : column + 1;
    }
    return column;
}

int64_t OffsetForColumn(std::string_view text, int64_t column, int tabSize) {
    int64_t reached = 0;
    int64_t offset = 0;
    for (; offset < static_cast<int64_t>(text.size()) && reached < column; ++offset) {
        reached = text[static_cast<size_t>(offset)] == '\t' ? (reached / tabSize + 1) * tabSize
                                                            : reached + 1;
    }
    return offset;
}

namespace {

bool IsWordByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 128 || std::isalnum(byte) != 0;
}

}  // namespace

int64_t WordLeft(std::string_view text, int64_t offset) {
    offset = std::clamp<int64_t>(offset - 1, 0, static_cast<int64_t>(text.size()));
    while (offset > 0 && !IsWordByte(text[static_cast<size_t>(offset)])) --offset;
    while (offset > 0 && IsWordByte(text[static_cast<size_t>(offset - 1)])) --offset;
    return offset;
}

int64_t WordRight(std::string_view text, int64_t offset) {
    const auto length = static_cast<int64_t>(text.size());
    offset = std::clamp<int64_t>(offset + 1, 0, length);
    while (offset < length && !IsWordByte(text[static_cast<size_t>(offset)])) ++offset;
    while (offset < length && IsWordByte(text[static_cast<size_t>(offset)])) ++offset;
    return offset;
}

}  // namespace kq::editor
