// The live colour palette: one console attribute per role (low nibble foreground, high nibble
// background). It stays all zero until the host asks for the defaults.
//
// The palette is a plain array handed out by pointer, so it has no lock: the host fills it
// once at start, before anything draws, and later changes are the caller's own business.
#include "ui/Palette.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "kq/text.h"

namespace kq::ui {
namespace {

constexpr std::array<uint8_t, PALETTE_SIZE> kDefaultPalette = {
    0x3F, 0x3E, 0x37, 0x0F, 0x0E,  // menu: text and frame, hot key, greyed, selected, its hot key
    0x70, 0x70,                    // dialog background and frame
    0x70, 0x74,                    // check box, its hot key
    0x70, 0x74, 0x30, 0x3E,        // button, hot key, focused button, its hot key
    0x30, 0x03,                    // edit line text, selection
    0x47, 0x4F,                    // alert message box background, frame
    0x1B, 0x1B,                    // panel background, frame
    0x07, 0x70,                    // shell command line, its second colour
    0x30, 0x1E, 0x3E, 0x1E,        // panels
    0x00,                          // not used
    0x30,                          // clock
    0x70, 0x07,                    // progress bar: empty part, filled part
    0x3F, 0x1B, 0x30,              // editor, editor text, editor second colour
    0x30, 0x07,                    // key bar labels, numbers
    0x00, 0x00,                    // not used
};

std::array<uint8_t, PALETTE_SIZE> livePalette{};

}  // namespace

void ClearPaletteForTesting() {
    livePalette.fill(0);
}

}  // namespace kq::ui

extern "C" {

ZAPI uint8_t* ZCALL ColGetPalette(void) {
    return kq::ui::livePalette.data();
}

ZAPI int ZCALL ColDefaultPalette(void) {
    std::copy(kq::ui::kDefaultPalette.begin(), kq::ui::kDefaultPalette.end(),
              kq::ui::livePalette.begin());
    return 0;
}

}  // extern "C"
