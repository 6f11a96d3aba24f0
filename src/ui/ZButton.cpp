// The push button: drawing with hot key and focus colours, and its two keys.
#include "ui/ZButton.h"

#include <algorithm>
#include <string_view>

#include "kq/keys.h"
#include "kq/text.h"

namespace {

// Palette entries.
constexpr int kButtonColour = 9;
constexpr int kHotKeyColour = 10;
constexpr int kFocusedColour = 11;
constexpr int kFocusedHotKeyColour = 12;

}  // namespace

int ZButton::Draw() {
    if (Chars().empty()) return 0;
    const uint8_t* palette = ColGetPalette();
    const bool focused = IsActive();
    const uint8_t normal = palette[focused ? kFocusedColour : kButtonColour];
    const uint8_t hotKey = palette[focused ? kFocusedHotKeyColour : kHotKeyColour];
    FillCells(' ', normal);

    const int width = Width();
    const int height = Height();
    const int innerWidth = width - 2;
    if (innerWidth > 0) {
        const std::string_view text = GetTitle();
        const int inner = innerWidth * height;
        const int length = static_cast<int>(text.size());
        int p = std::max(inner / 2 - length / 2, 0);
        bool hot = false;
        for (size_t i = 0; i < text.size() && p < inner; ++i) {
            if (text[i] == '~') {
                hot = true;
                continue;
            }
            PutText(p % innerWidth + 1, p / innerWidth, text.substr(i, 1), hot ? hotKey : normal);
            hot = false;
            ++p;
        }
    }

    const uint8_t bracket = (GetFlags() & WF_DEFAULT) ? hotKey : normal;
    for (int y = 0; y < height; ++y) {
        PutText(0, y, "[", bracket);
        PutText(width - 1, y, "]", bracket);
    }
    return 0;
}

int ZButton::Activate(bool on) {
    const int result = ZWindow::Activate(on);
    Redraw();
    return result;
}

int ZButton::OnKey(uint32_t key) {
    ZWindow* owner = Owner();
    if (KEY_CODE(key) == KC_ENTER || KEY_CHAR(key) == ' ') {
        if (owner != nullptr) owner->OnCommand(GetId());
        return 0;
    }
    return owner != nullptr ? owner->OnKey(key) : 0;
}
