// Composing the window tree onto the console: a refreshed rectangle is redrawn by its window,
// clipped to the parent's area and the screen, written row by row, and everything above it
// (children, higher siblings, overlay windows) is painted over it again.
#include <algorithm>
#include <vector>

#include "console/Console.h"
#include "kq/window.h"
#include "ui/DesktopInternal.h"
#include "ui/WindowLock.h"

namespace {

// Clips r (window coordinates) to a window of size w x h.
ZRec ClipToSize(ZRec r, int w, int h) {
    int x = r.x, y = r.y, width = r.w, height = r.h;
    if (x + width > w) width = w - x;
    if (y + height > h) height = h - y;
    if (x < 0) {
        width += x;
        x = 0;
    }
    if (y < 0) {
        height += y;
        y = 0;
    }
    return ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(width),
                static_cast<int16_t>(height));
}

ZRec Intersect(ZRec a, ZRec b) {
    const int left = std::max<int>(a.x, b.x);
    const int top = std::max<int>(a.y, b.y);
    const int right = std::min<int>(a.x + a.w, b.x + b.w);
    const int bottom = std::min<int>(a.y + a.h, b.y + b.h);
    return ZRec(static_cast<int16_t>(left), static_cast<int16_t>(top),
                static_cast<int16_t>(std::max(right - left, 0)),
                static_cast<int16_t>(std::max(bottom - top, 0)));
}

ZRec Translate(ZRec r, ZRec from, ZRec to) {
    return ZRec(static_cast<int16_t>(r.x + from.x - to.x),
                static_cast<int16_t>(r.y + from.y - to.y), r.w, r.h);
}

}  // namespace

void ZWindow::Refresh(ZRec rect) {
    if (!IsAttached()) return;
    if (kq::ui::RedrawsHeld()) return;  // drawn all at once when the desktop is built
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    for (const ZWindow* window = this; window != nullptr; window = window->parent_) {
        if (!(window->flags_ & WF_VISIBLE)) return;
    }
    RefreshLocked(rect, false);
}

void ZWindow::RefreshLocked(ZRec rect, bool nested) {
    ZRec screen;
    ZDesktop::GetPos(screen);
    const ZRec r = ClipToSize(rect, rect_.w, rect_.h);
    // The area this window may paint: the screen for the desktop, else its parent's area.
    const ZRec clip = parent_ == nullptr ? screen : Intersect(parent_->screenRect_, screen);
    if (clip.w <= 0 || clip.h <= 0) return;

    Draw();
    if (this == ZDesktop::GetFocus()) {
        const int cursorX = screenRect_.x + cursor_.x;
        const int cursorY = screenRect_.y + cursor_.y;
        if (cursorX >= clip.x && cursorX < clip.x + clip.w && cursorY >= clip.y &&
            cursorY < clip.y + clip.h) {
            ConSetCursorPos(static_cast<int16_t>(cursorX), static_cast<int16_t>(cursorY));
            ConSetCursorSize(cursor_.h);
        }
    }
    if (r.w > 0 && r.h > 0 && !chars_.empty()) {
        std::vector<uint8_t> run;
        for (int row = 0; row < r.h; ++row) {
            const int screenY = screenRect_.y + r.y + row;
            if (screenY < clip.y || screenY >= clip.y + clip.h) continue;
            const int firstX = std::max<int>(screenRect_.x + r.x, clip.x);
            const int endX = std::min<int>(screenRect_.x + r.x + r.w, clip.x + clip.w);
            if (endX <= firstX) continue;
            run.clear();
            for (int screenX = firstX; screenX < endX; ++screenX) {
                const size_t index =
                    static_cast<size_t>((r.y + row) * rect_.w + (screenX - screenRect_.x));
                run.push_back(chars_[index]);
                run.push_back(attrs_[index]);
            }
            ConWrite(static_cast<int16_t>(firstX), static_cast<int16_t>(screenY), run.data(),
                     endX - firstX);
        }
    }
    // Children, bottom to top. Draw may have changed the child list: walk a copy. A child
    // refreshed here does not repaint the siblings above it itself: this loop paints them next.
    // (Letting every child repaint all the siblings above it, which repaint all above them, and
    // so on, costs 2^n refreshes for n children.) The overlay child that such a walk would
    // repaint last is repainted once after the loop instead.
    const std::vector<ZWindow*> children = children_;
    ZWindow* overlayChild = nullptr;
    for (ZWindow* child : children) {
        if (child->parent_ != this || !(child->flags_ & WF_VISIBLE)) continue;
        child->RefreshLocked(Translate(r, screenRect_, child->screenRect_), true);
        if (child->flags_ & WF_OVERLAY) overlayChild = child;
    }
    if (overlayChild != nullptr && overlayChild != children.back()) {
        overlayChild->RefreshLocked(Translate(r, screenRect_, overlayChild->screenRect_), true);
    }
    if (nested || (flags_ & WF_OVERLAY)) return;
    // Whatever lies above this window in each ancestor, and the overlay sibling below it, is
    // painted again over the refreshed area.
    const ZWindow* current = this;
    for (ZWindow* ancestor = parent_; ancestor != nullptr;
         current = ancestor, ancestor = ancestor->parent_) {
        const std::vector<ZWindow*> siblings = ancestor->children_;
        const auto position = std::find(siblings.begin(), siblings.end(), current);
        if (position == siblings.end()) break;
        ZWindow* overlay = nullptr;
        for (auto sibling = siblings.begin(); sibling <= position; ++sibling) {
            if ((*sibling)->flags_ & WF_OVERLAY) overlay = *sibling;
        }
        for (auto above = position + 1; above != siblings.end(); ++above) {
            (*above)->Refresh(Translate(r, screenRect_, (*above)->screenRect_));
        }
        if (overlay != nullptr && overlay != current) {
            overlay->Refresh(Translate(r, screenRect_, overlay->screenRect_));
        }
    }
}
