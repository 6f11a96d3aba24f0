// Small helpers of the shell's layout code: window rectangles in screen cells and the settings
// the layout reads.
#pragma once

#include <algorithm>
#include <cstdint>

#include "kq/config.h"
#include "kq/window.h"

namespace kq::shell {

inline int16_t Cell(int value) {
    return static_cast<int16_t>(std::clamp(value, -0x8000, 0x7FFF));
}

inline ZRec RectOf(const ZWindow& window) {
    ZRec rect;
    window.GetPos(rect);
    return rect;
}

inline void Place(ZWindow& window, int x, int y, int w, int h) {
    window.SetPos(ZRec(Cell(x), Cell(y), 0, 0),
                  ZRec(0, 0, Cell(std::max(w, 0)), Cell(std::max(h, 0))));
}

inline bool Visible(const ZWindow* window) {
    return window != nullptr && (window->GetFlags() & WF_VISIBLE) != 0;
}

// A number of an open section; fallback when the section, the value or a number is missing.
inline uint32_t ReadSetting(CfgSection section, const char* name, uint32_t fallback) {
    uint32_t value = fallback;
    if (section == 0 || CfgQueryDw(section, name, &value) != 0) return fallback;
    return value;
}

}  // namespace kq::shell
