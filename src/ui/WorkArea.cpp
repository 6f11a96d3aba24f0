// The area of a full-screen tool window (see WorkArea.h).
#include "ui/WorkArea.h"

#include <algorithm>
#include <cstdint>

namespace kq::ui {

ZRec WorkArea(int x, int y, int width, int height) {
    ZRec rect;
    ZDesktop::GetPos(rect);
    rect.x = static_cast<int16_t>(x);
    rect.y = static_cast<int16_t>(y);
    if (width > 0 && height > 0) {
        rect.w = static_cast<int16_t>(width);
        rect.h = static_cast<int16_t>(height);
    } else if (ZWindow* keyBar = ZDesktop::KeyBar();
               keyBar != nullptr && (keyBar->GetFlags() & WF_VISIBLE) != 0) {
        rect.h = static_cast<int16_t>(rect.h - 1);
    }
    return rect;
}

ZRec WorkAreaWithin(int width, int height) {
    ZRec rect = WorkArea(0, 0, 0, 0);
    rect.w = static_cast<int16_t>(std::min<int>(rect.w, width));
    rect.h = static_cast<int16_t>(std::min<int>(rect.h, height));
    return rect;
}

std::string StatusTitle(std::string_view label, std::string_view title, int width) {
    std::string text(label);
    if (static_cast<int64_t>(title.size()) < static_cast<int64_t>(width) - 44) {
        return text.append(title);
    }
    const size_t tail = std::min(static_cast<size_t>(std::max(width - 46, 0)), title.size());
    return text.append("...").append(title.substr(title.size() - tail));
}

}  // namespace kq::ui
