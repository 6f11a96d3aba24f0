// ZKeyBar: choosing the label set from the modifier keys and drawing the twelve cells.
#include "ui/ZKeyBar.h"

#include <algorithm>
#include <cstdio>

#include "kq/keys.h"
#include "kq/text.h"
#include "ui/WindowLock.h"

using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

// The flags of a key event that say which modifiers are held: both Alts, both Ctrls, Shift.
constexpr uint32_t kModifierFlags = KF_ALT | KF_CTRL | KF_SHIFT;

}  // namespace

ZKeyBar* ZKeyBar::Get() {
    // The desktop always attaches a ZKeyBar as its key bar.
    return static_cast<ZKeyBar*>(ZDesktop::KeyBar());
}

int ZKeyBar::LabelSetFor(uint32_t modifiers) {
    const bool shift = (modifiers & KF_SHIFT) != 0;
    const bool alt = (modifiers & KF_ALT) != 0;
    if (modifiers & KF_CTRL) return shift ? kCtrlShift : alt ? kCtrlAlt : kCtrl;
    if (alt) return shift ? kAltShift : kAlt;
    return shift ? kShift : kPlain;
}

int ZKeyBar::SetKeyBar(const char* plain, const char* shift, const char* alt, const char* ctrl,
                       const char* altShift, const char* ctrlShift, const char* ctrlAlt) {
    WindowLockGuard lock(WindowLock());
    labels_ = {plain, shift, alt, ctrl, altShift, ctrlShift, ctrlAlt};
    Redraw();
    return 0;
}

void ZKeyBar::UpdateModifiers(uint32_t event) {
    const auto modifiers = static_cast<uint16_t>(event & kModifierFlags);
    WindowLockGuard lock(WindowLock());
    if (modifiers == modifiers_) return;
    modifiers_ = modifiers;
    Redraw();
}

int ZKeyBar::Draw() {
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kColourLabel]);
    if (Chars().empty()) return 0;
    const int width = Width();
    const int cellWidth = std::max(width / kKeyCount, kMinimumCellWidth);
    const char* label = labels_[static_cast<size_t>(CurrentLabelSet())];
    for (int key = 1; key <= kKeyCount; ++key) {
        const int cell = (key - 1) * cellWidth;
        if (cell >= width) break;
        char number[12];
        std::snprintf(number, sizeof number, "%2d", key);
        PutText(cell, 0, number, palette[kColourNumber]);
        if (label == nullptr || *label == '\0') continue;
        // The label's characters from the cell's third column to its end; the rest of a
        // longer label is skipped up to the next separator.
        int column = cell + 2;
        for (; static_cast<unsigned char>(*label) >= 32; ++label) {
            if (column < cell + cellWidth) {
                PutText(column++, 0, std::string_view(label, 1), palette[kColourLabel]);
            }
        }
        if (*label != '\0') ++label;  // the separator
    }
    return 0;
}
