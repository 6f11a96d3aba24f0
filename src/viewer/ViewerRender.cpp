// The viewer's renderers. Text rows come from ViewerText's layout; hexadecimal rows are 16
// bytes each, laid out for 80 columns and cut at the window's width.
#include "viewer/ViewerRender.h"

#include <algorithm>
#include <cstdio>

#include "ui/WorkArea.h"

namespace kq::viewer {

namespace {

constexpr uint16_t kQuestionMark = u'?';

uint16_t CellUnit(char32_t code) {
    return code > 0xFFFF ? kQuestionMark : static_cast<uint16_t>(code);
}

// Puts one text row's cells into the picture.
class PictureRow final : public RowSink {
  public:
    PictureRow(ViewerPicture& picture, int row, const ViewerView& view)
        : picture_(picture), first_(static_cast<size_t>(row) * picture.width), view_(view) {}

    void Place(int cell, char32_t code, int64_t offset) override {
        if (cell < 0 || cell >= picture_.width) return;
        picture_.cells[first_ + cell] = CellUnit(code);
        if (view_.Selected(offset)) picture_.attributes[first_ + cell] = kSelectionColour;
    }
    void Marker(int cell, char32_t code) override {
        if (cell < 0 || cell >= picture_.width) return;
        picture_.cells[first_ + cell] = CellUnit(code);
        picture_.attributes[first_ + cell] = kMarkerColour;
    }

  private:
    ViewerPicture& picture_;
    size_t first_;
    const ViewerView& view_;
};

constexpr int kHexLayoutWidth = 80;
constexpr int kCharacterColumn = 64;

// One hexadecimal row, laid out in 80 cells before it is cut at the window's width.
struct HexRow {
    std::array<uint16_t, kHexLayoutWidth> cells;
    std::array<bool, kHexLayoutWidth> selected{};

    HexRow() { cells.fill(u' '); }
    void Write(int column, const char* text) {
        for (; *text != '\0' && column < kHexLayoutWidth; ++column, ++text) {
            cells[static_cast<size_t>(column)] = static_cast<uint8_t>(*text);
        }
    }
};

void RenderHexRow(ViewerText& text, const ViewerView& view, int64_t offset, HexRow& row) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<uint32_t>(offset));
    row.Write(0, digits);
    int present = 0;
    std::array<int, 16> bytes{};
    for (; present < 16; ++present) {
        bytes[static_cast<size_t>(present)] = text.File().ByteAt(offset + present);
        if (bytes[static_cast<size_t>(present)] < 0) break;
    }
    // A separator stands between groups of four bytes while the bytes before it are there.
    const int separators[] = {22, 36, 50};
    for (int group = 1; group <= 3; ++group) {
        if (present >= 4 * group) row.Write(separators[group - 1], "|");
    }
    if (text.IsUtf16()) {
        for (int unit = 0; unit * 2 < present; ++unit) {
            const int column = 10 + 6 * unit + 2 * (unit / 2);
            const int low = bytes[static_cast<size_t>(unit * 2)];
            if (unit * 2 + 1 < present) {
                std::snprintf(
                    digits, sizeof digits, "%04X",
                    static_cast<unsigned>(low | (bytes[static_cast<size_t>(unit * 2 + 1)] << 8)));
            } else {
                std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(low));
            }
            row.Write(column, digits);
            const TextCharacter character = text.At(offset + unit * 2);
            // Each cell shows its own unit: the halves of a pair are not characters alone.
            const bool half =
                character.length == 4 || (character.code >= 0xD800 && character.code <= 0xDFFF);
            row.cells[static_cast<size_t>(kCharacterColumn + unit)] =
                half ? kQuestionMark : CellUnit(character.code);
        }
        for (int byte = 0; byte < present; ++byte) {
            if (view.Selected(offset + byte))
                row.selected[static_cast<size_t>(kCharacterColumn + byte / 2)] = true;
        }
        return;
    }
    for (int byte = 0; byte < present; ++byte) {
        std::snprintf(digits, sizeof digits, "%02X",
                      static_cast<unsigned>(bytes[static_cast<size_t>(byte)]));
        row.Write(10 + 3 * byte + 2 * (byte / 4), digits);
        if (view.Selected(offset + byte))
            row.selected[static_cast<size_t>(kCharacterColumn + byte)] = true;
    }
    if (!text.IsUtf8()) {
        for (int byte = 0; byte < present; ++byte) {
            row.cells[static_cast<size_t>(kCharacterColumn + byte)] = CellUnit(
                text.ByteCharacter(static_cast<uint8_t>(bytes[static_cast<size_t>(byte)])));
        }
        return;
    }
    // UTF-8: a character stands in the cell of its first byte, its other bytes stay blank.
    for (int byte = 0; byte < present;) {
        const TextCharacter character = text.At(offset + byte);
        row.cells[static_cast<size_t>(kCharacterColumn + byte)] = CellUnit(character.code);
        byte += std::max(character.length, 1);
    }
}

void RenderHex(ViewerText& text, const ViewerView& view, ViewerPicture& picture) {
    const int64_t size = text.File().Size();
    int64_t offset = view.top - view.top % 16;
    for (int row = 1; row < picture.height && offset < size; ++row, offset += 16) {
        HexRow hex;
        RenderHexRow(text, view, offset, hex);
        const size_t first = static_cast<size_t>(row) * picture.width;
        const int shown = std::min(picture.width, kHexLayoutWidth);
        for (int column = 0; column < shown; ++column) {
            picture.cells[first + column] = hex.cells[static_cast<size_t>(column)];
            if (hex.selected[static_cast<size_t>(column)]) {
                picture.attributes[first + column] = kSelectionColour;
            }
        }
    }
}

}  // namespace

void ViewerPicture::Resize(int newWidth, int newHeight) {
    width = std::max(newWidth, 0);
    height = std::max(newHeight, 0);
    cells.assign(static_cast<size_t>(width) * height, u' ');
    attributes.assign(cells.size(), kTextColour);
}

void RenderRows(ViewerText& text, const ViewerView& view, ViewerPicture& picture) {
    std::fill(picture.cells.begin(), picture.cells.end(), u' ');
    std::fill(picture.attributes.begin(), picture.attributes.end(), kTextColour);
    if (picture.width <= 0) return;
    if (view.mode == ViewMode::kHex) {
        RenderHex(text, view, picture);
        return;
    }
    const int64_t size = text.File().Size();
    int64_t offset = view.top;
    for (int row = 1; row < picture.height && offset >= 0 && offset < size; ++row) {
        PictureRow sink(picture, row, view);
        offset = text.LayoutRow(offset, view.mode, picture.width, view.horizontal, &sink);
    }
}

std::string StatusLine(const std::string& title, int width, const ViewerView& view, int codePage,
                       int64_t fileSize) {
    std::string line(static_cast<size_t>(std::max(width, 0)), ' ');
    const auto put = [&line, width](int column, const std::string& text) {
        for (size_t i = 0; i < text.size(); ++i) {
            const int64_t at = static_cast<int64_t>(column) + static_cast<int64_t>(i);
            if (at >= 0 && at < width) line[static_cast<size_t>(at)] = text[i];
        }
    };
    put(0, kq::ui::StatusTitle("View: ", title, width));
    static const char* const kModeNames[] = {"Mode: NoWrap", "Mode: Wrap", "Mode: Hex"};
    put(width - 37, kModeNames[static_cast<int>(view.mode)]);
    int percent = 0;
    if (fileSize > 0) {
        // In two steps, so that top x 100 cannot overflow for any 64-bit size.
        const int64_t top = std::clamp<int64_t>(view.top, 0, fileSize);
        const int64_t scaled = top / fileSize * 100 + (top % fileSize) * 100 / fileSize;
        percent = static_cast<int>(std::min<int64_t>(scaled + 1, 100));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%3d%%", percent);
    put(width - 9, text);
    std::snprintf(text, sizeof text, "Col:%lld", static_cast<long long>(view.horizontal));
    put(width - 24, text);
    if (codePage == kUtf16CodePage) {
        put(width - 15, "UniCode");
    } else {
        std::snprintf(text, sizeof text, "CP%d", codePage);
        put(width - 15, text);
    }
    return line;
}

}  // namespace kq::viewer
