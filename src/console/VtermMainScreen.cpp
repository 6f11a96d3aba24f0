// The libvterm-backed model of the terminal's main screen.
#include "console/VtermMainScreen.h"

#include <vterm.h>

#include <algorithm>
#include <string>

#include "console/GlyphTable.h"

namespace kq::console {

namespace {

constexpr uint8_t kDefaultAttribute = 0x07;

// ANSI colour order is RGB in bits 0..2, the console's is BGR: swap bits 0 and 2.
uint8_t AnsiToConsole(unsigned index) {
    const unsigned low = index & 7;
    const unsigned swapped = ((low & 1) << 2) | (low & 2) | ((low & 4) >> 2);
    return static_cast<uint8_t>(swapped | (index >= 8 ? 8 : 0));
}

// The nearest of the 16 console colours by a simple rule: a channel counts when above half,
// intensity when the brightest channel is well above it.
uint8_t RgbToConsole(uint8_t r, uint8_t g, uint8_t b) {
    uint8_t colour =
        static_cast<uint8_t>((r > 127 ? 4 : 0) | (g > 127 ? 2 : 0) | (b > 127 ? 1 : 0));
    const uint8_t top = std::max({r, g, b});
    if (top > 191 && colour != 0) colour |= 8;
    if (colour == 0 && top > 63) colour = 8;  // dark grey rather than black
    return colour;
}

uint8_t ColourToConsole(const VTermScreen* screen, VTermColor colour, bool foreground) {
    if (foreground && VTERM_COLOR_IS_DEFAULT_FG(&colour)) return 0x07;
    if (!foreground && VTERM_COLOR_IS_DEFAULT_BG(&colour)) return 0x00;
    if (VTERM_COLOR_IS_INDEXED(&colour) && colour.indexed.idx < 16) {
        return AnsiToConsole(colour.indexed.idx);
    }
    vterm_screen_convert_color_to_rgb(screen, &colour);
    return RgbToConsole(colour.rgb.red, colour.rgb.green, colour.rgb.blue);
}

}  // namespace

void VtermMainScreen::Deleter::operator()(VTerm* vt) const {
    vterm_free(vt);
}

VtermMainScreen::VtermMainScreen(int cols, int rows)
    : cols_(std::max(cols, 1)), rows_(std::max(rows, 1)) {}

VtermMainScreen::~VtermMainScreen() = default;

VTerm* VtermMainScreen::Emulator() {
    if (vt_) return vt_.get();
    vt_.reset(vterm_new(rows_, cols_));
    vterm_set_utf8(vt_.get(), 1);
    // Replies to queries (device attributes, cursor reports) go nowhere.
    vterm_output_set_callback(
        vt_.get(), [](const char*, size_t, void*) {}, nullptr);
    VTermScreen* screen = vterm_obtain_screen(vt_.get());
    static const VTermScreenCallbacks callbacks = [] {
        VTermScreenCallbacks c{};
        c.settermprop = [](VTermProp prop, VTermValue* value, void* user) {
            return OnTermProp(static_cast<int>(prop), value, user);
        };
        return c;
    }();
    vterm_screen_set_callbacks(screen, &callbacks, this);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_reset(screen, 1);
    // A cursor-position sequence: where the cursor was kept.
    const std::string position =
        "\x1b[" + std::to_string(cursorY_ + 1) + ";" + std::to_string(cursorX_ + 1) + "H";
    vterm_input_write(vt_.get(), position.data(), position.size());
    return vt_.get();
}

int VtermMainScreen::OnTermProp(int prop, void* value, void* user) {
    auto* self = static_cast<VtermMainScreen*>(user);
    if (prop == VTERM_PROP_ALTSCREEN) {
        self->altScreen_ = static_cast<VTermValue*>(value)->boolean != 0;
    }
    return 1;
}

void VtermMainScreen::Feed(std::string_view bytes) {
    if (!bytes.empty()) vterm_input_write(Emulator(), bytes.data(), bytes.size());
}

void VtermMainScreen::Resize(int cols, int rows) {
    cols_ = std::max(cols, 1);
    rows_ = std::max(rows, 1);
    if (vt_) {
        vterm_set_size(vt_.get(), rows_, cols_);
        return;
    }
    // The emulator keeps its cursor on the screen when the screen shrinks.
    cursorX_ = std::min(cursorX_, cols_ - 1);
    cursorY_ = std::min(cursorY_, rows_ - 1);
}

void VtermMainScreen::SetCursor(int x, int y) {
    if (vt_) {
        // A cursor-position sequence: the emulator clamps it to the screen.
        Feed("\x1b[" + std::to_string(std::max(y, 0) + 1) + ";" +
             std::to_string(std::max(x, 0) + 1) + "H");
        return;
    }
    cursorX_ = std::clamp(x, 0, cols_ - 1);
    cursorY_ = std::clamp(y, 0, rows_ - 1);
}

int VtermMainScreen::CursorX() const {
    if (!vt_) return cursorX_;
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_.get()), &pos);
    return pos.col;
}

int VtermMainScreen::CursorY() const {
    if (!vt_) return cursorY_;
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_.get()), &pos);
    return pos.row;
}

std::vector<uint8_t> VtermMainScreen::Snapshot() const {
    if (!vt_) {
        // Nothing was fed: blanks in the default colours, as the emulator would give.
        std::vector<uint8_t> cells(static_cast<size_t>(cols_) * static_cast<size_t>(rows_) * 2);
        for (size_t i = 0; i < cells.size(); i += 2) {
            cells[i] = ' ';
            cells[i + 1] = kDefaultAttribute;
        }
        return cells;
    }
    const GlyphTable& glyphs = ConsoleGlyphs();
    const VTermScreen* screen = vterm_obtain_screen(vt_.get());
    std::vector<uint8_t> cells(static_cast<size_t>(cols_) * static_cast<size_t>(rows_) * 2);
    size_t i = 0;
    for (int row = 0; row < rows_; ++row) {
        for (int col = 0; col < cols_; ++col, i += 2) {
            VTermScreenCell cell{};
            uint8_t character = ' ';
            uint8_t attribute = kDefaultAttribute;
            if (vterm_screen_get_cell(screen, VTermPos{row, col}, &cell)) {
                const uint32_t c = cell.chars[0];
                if (c == 0 || c == 0xFFFFFFFFu) {
                    character = ' ';  // blank, or the right half of a wide character
                } else if (cell.width > 1 || c < 0x20 || c == 0x7F) {
                    character = '?';
                } else {
                    character = glyphs.FromUnicode(static_cast<char32_t>(c));
                    if (character < 0x20 || character == 0x7F) character = '?';
                }
                uint8_t fg = ColourToConsole(screen, cell.fg, true);
                uint8_t bg = ColourToConsole(screen, cell.bg, false);
                if (cell.attrs.bold && fg < 8) fg |= 8;
                if (cell.attrs.reverse) std::swap(fg, bg);
                attribute = static_cast<uint8_t>((bg << 4) | (fg & 0x0F));
            }
            cells[i] = character;
            cells[i + 1] = attribute;
        }
    }
    return cells;
}

}  // namespace kq::console
