// The label: parent-coloured cells and word-wrapped text.
#include "ui/ZStatic.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

int ZStatic::Draw() {
    if (Chars().empty()) return 0;
    TakeParentAttributes();
    std::fill(Chars().begin(), Chars().end(), static_cast<uint8_t>(' '));
    WrapText();
    return 0;
}

void ZStatic::TakeParentAttributes() {
    ZWindow* parent = Parent();
    if (parent == nullptr) return;
    // The parent's cells are protected members of another object; naming them through this
    // class is the one way C++ grants a derived class that access.
    constexpr auto kAttrsOf = &ZStatic::Attrs;
    const std::vector<uint8_t>& parentAttrs = (parent->*kAttrsOf)();
    if (parentAttrs.empty()) return;
    ZRec pos;
    GetPos(pos);
    const int width = Width();
    const int parentWidth = parent->Width();
    const int parentHeight = parent->Height();
    std::vector<uint8_t>& attrs = Attrs();
    for (int y = 0; y < Height(); ++y) {
        const int parentY = pos.y + y;
        if (parentY < 0 || parentY >= parentHeight) continue;
        for (int x = 0; x < width; ++x) {
            const int parentX = pos.x + x;
            // Cells outside the parent keep what they had.
            if (parentX < 0 || parentX >= parentWidth) continue;
            attrs[static_cast<size_t>(y * width + x)] =
                parentAttrs[static_cast<size_t>(parentY * parentWidth + parentX)];
        }
    }
}

void ZStatic::WrapText() {
    const std::string_view text = GetTitle();
    std::vector<uint8_t>& chars = Chars();
    const int width = Width();
    const int length = static_cast<int>(text.size());
    const int area = static_cast<int>(chars.size());
    int start = 0;
    if (GetFlags() & WF_CENTER) start = std::max(area / 2 - length / 2, 0);

    if (length > area - 1) {
        // Too long to wrap: as much as fits, row after row.
        for (int p = start, i = 0; p < area && i < length; ++p, ++i) {
            chars[static_cast<size_t>(p)] = static_cast<uint8_t>(text[static_cast<size_t>(i)]);
        }
        return;
    }

    // The last column of every row stays blank; a word that would reach it moves to the next
    // row. A word that cannot fit in a row even from its first column is broken there instead,
    // so that no text is lost.
    int p = start;
    int i = 0;
    while (i < length && p < area) {
        const bool lastColumn = p % width == width - 1;
        if (lastColumn && text[static_cast<size_t>(i)] != ' ') {
            int wordStart = i;
            while (wordStart > 0 && text[static_cast<size_t>(wordStart - 1)] != ' ') --wordStart;
            const int wordPosition = p - (i - wordStart);
            const int rowStart = p - (width - 1);
            if (wordPosition > rowStart) {
                std::fill(chars.begin() + wordPosition, chars.begin() + p,
                          static_cast<uint8_t>(' '));
                i = wordStart;
            }
            ++p;
            continue;
        }
        chars[static_cast<size_t>(p)] = static_cast<uint8_t>(text[static_cast<size_t>(i)]);
        ++p;
        ++i;
    }
}
