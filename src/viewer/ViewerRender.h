// Drawing the viewer: the text rows in NoWrap and Wrap, the hexadecimal rows, and the status
// line, into a picture of UTF-16 cells that the window converts to the console code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/ViewerText.h"

namespace kq::viewer {

// The viewer's fixed colours.
inline constexpr uint8_t kTextColour = 0x1B;
inline constexpr uint8_t kSelectionColour = 0x30;
inline constexpr uint8_t kMarkerColour = 0x1E;
inline constexpr uint8_t kStatusColour = 0x3F;

// What is shown: the mode, the first byte shown, the columns scrolled off (NoWrap) and the
// found text (inclusive offsets, both -1 when there is none).
struct ViewerView {
    ViewMode mode = ViewMode::kNoWrap;
    int64_t top = 0;
    int64_t horizontal = 0;
    int64_t selectionStart = -1;
    int64_t selectionEnd = -1;

    bool Selected(int64_t offset) const {
        return selectionStart >= 0 && offset >= selectionStart && offset <= selectionEnd;
    }
};

struct ViewerPicture {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> cells;  // width x height UTF-16 units, row 0 the status line
    std::vector<uint8_t> attributes;

    void Resize(int newWidth, int newHeight);
};

// Fills the whole picture with blanks, then rows 1 and below from the view's top (in Hex,
// from the top rounded down to 16 bytes), up to the end of the file.
void RenderRows(ViewerText& text, const ViewerView& view, ViewerPicture& picture);

// The status line's text, width characters: the title, the mode, the scrolled columns, the
// code page and the position in percent. Fields that do not fit are cut at the row's edges.
std::string StatusLine(const std::string& title, int width, const ViewerView& view, int codePage,
                       int64_t fileSize);

}  // namespace kq::viewer
