// ZRec and the ZWindow base class: the window tree, z-order and focus chain, frames, moving,
// and the modal run.
#include "kq/window.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "console/Console.h"
#include "ui/WindowLock.h"

namespace kq::ui {

std::recursive_mutex& WindowLock() {
    static std::recursive_mutex lock;
    return lock;
}

namespace {

// Frame characters (code page 437): top-left, top, top-right, right, bottom-right, bottom,
// bottom-left, left.
constexpr uint8_t kFrames[3][8] = {
    {0xDE, 0xDF, 0xDD, 0xDD, 0xDD, 0xDC, 0xDE, 0xDE},
    {0xDA, 0xC4, 0xBF, 0xB3, 0xD9, 0xC4, 0xC0, 0xB3},
    {0xC9, 0xCD, 0xBB, 0xBA, 0xBC, 0xCD, 0xC8, 0xBA},
};

uint8_t Inverse(uint8_t attribute) {
    return static_cast<uint8_t>((attribute << 4) | (attribute >> 4));
}

// Worker threads that Run a window wait here for EndRun on the UI thread.
std::mutex g_runMutex;
std::condition_variable g_runEnded;

}  // namespace

}  // namespace kq::ui

using kq::ui::WindowLockGuard;

ZRec::ZRec(int16_t left, int16_t top, int16_t width, int16_t height)
    : x(left), y(top), w(width), h(height) {}

ZWindow::~ZWindow() {
    // Nothing may keep pointing at a window that no longer exists.
    if (parent_ != nullptr && IsAttached()) DestroyBase();
    for (ZWindow* child : children_) child->parent_ = nullptr;
}

void ZWindow::AllocateCells() {
    const size_t area = rect_.w > 0 && rect_.h > 0 ? static_cast<size_t>(rect_.w) * rect_.h : 0;
    chars_.assign(area, ' ');
    attrs_.assign(area, 0);
}

void ZWindow::UpdateScreenRect() {
    const ZRec parentScreen = parent_ ? parent_->screenRect_ : ZRec();
    screenRect_ = ZRec(static_cast<int16_t>(parentScreen.x + rect_.x),
                       static_cast<int16_t>(parentScreen.y + rect_.y), rect_.w, rect_.h);
}

int ZWindow::Create(const char* title, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
                    int id) {
    WindowLockGuard lock(kq::ui::WindowLock());
    runDone_ = 0;
    if (parent == nullptr) parent = ZDesktop::Desktop();
    owner_ = parent_ = parent;
    title_ = title ? title : "";
    flags_ = flags;
    rect_ = ZRec(pos.x, pos.y, size.w, size.h);
    id_ = id;
    children_.clear();
    UpdateScreenRect();
    if (parent_) {
        order_ = static_cast<int>(parent_->children_.size());
        parent_->children_.insert(parent_->children_.begin(), this);
    }
    AllocateCells();
    SetFlags(flags);
    return 0;
}

bool ZWindow::IsAttached() const {
    if (this == ZDesktop::Desktop()) return true;
    if (parent_ == nullptr) return false;
    const auto& siblings = parent_->children_;
    return std::find(siblings.begin(), siblings.end(), this) != siblings.end();
}

int ZWindow::Destroy() {
    return DestroyBase();
}

int ZWindow::DestroyBase() {
    EndRun(-1);
    WindowLockGuard lock(kq::ui::WindowLock());
    if (!IsAttached()) return 0;
    while (!children_.empty()) {
        ZWindow* child = children_.front();
        if (child->Destroy() != 0) return 1;
        // A child that reports success but stays attached would loop forever.
        if (!children_.empty() && children_.front() == child) {
            children_.erase(children_.begin());
            child->parent_ = nullptr;
        }
    }
    Show(false);
    if (parent_ != nullptr) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        for (ZWindow* sibling : siblings) {
            if (sibling->order_ > order_) --sibling->order_;
        }
    }
    parent_ = nullptr;
    owner_ = nullptr;
    title_.clear();
    chars_.clear();
    attrs_.clear();
    return 0;
}

ZWindow* ZWindow::TopVisibleChild() const {
    for (auto child = children_.rbegin(); child != children_.rend(); ++child) {
        if ((*child)->flags_ & WF_VISIBLE) return *child;
    }
    return nullptr;
}

bool ZWindow::IsActive() {
    WindowLockGuard lock(kq::ui::WindowLock());
    for (ZWindow* window = ZDesktop::GetFocus(); window != nullptr; window = window->parent_) {
        if (window == this) return true;
    }
    return false;
}

int ZWindow::Show(bool show) {
    WindowLockGuard lock(kq::ui::WindowLock());
    if (!show && !(flags_ & WF_VISIBLE)) return 0;
    ZWindow* focusBefore = ZDesktop::GetFocus();
    if (show) {
        flags_ |= WF_VISIBLE;
    } else {
        flags_ &= ~static_cast<uint32_t>(WF_VISIBLE);
    }
    ZWindow* focusAfter = ZDesktop::GetFocus();
    if (focusBefore == focusAfter) {
        if (show) {
            Redraw();
        } else if (parent_) {
            parent_->Refresh(rect_);
        }
    } else if (!show) {
        flags_ |= WF_VISIBLE;
        if (focusAfter) focusAfter->Activate(true);
        flags_ &= ~static_cast<uint32_t>(WF_VISIBLE);
        if (parent_) parent_->Refresh(rect_);
    } else {
        Activate(true);
        Redraw();
    }
    return show ? 1 : 0;
}

int ZWindow::Activate(bool on) {
    WindowLockGuard lock(kq::ui::WindowLock());
    if (!on) {
        if (ZWindow* top = TopVisibleChild()) top->Activate(false);
        return 0;
    }
    if (IsActive()) return 0;
    ZWindow* window = this;
    ZWindow* anchor = this;
    while (window->parent_ != nullptr) {
        auto& siblings = window->parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
        siblings.push_back(window);
        window->flags_ |= WF_VISIBLE;
        anchor = window->parent_;
        if (IsActive()) break;
        window = window->parent_;
    }
    ZWindow* top = anchor->TopVisibleChild();
    if (top == nullptr) return 0;
    top->Redraw();
    // The former top repaints as inactive.
    const auto& siblings = anchor->children_;
    for (auto below = siblings.rbegin(); below != siblings.rend(); ++below) {
        if (*below == top || !((*below)->flags_ & WF_VISIBLE)) continue;
        (*below)->Activate(false);
        break;
    }
    // The chain from the anchor's top child down to this window, then below this window.
    std::vector<ZWindow*> chain;
    for (ZWindow* link = this->parent_; link != nullptr && link != anchor; link = link->parent_) {
        chain.push_back(link);
    }
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) (*link)->Activate(true);
    for (ZWindow* below = TopVisibleChild(); below != nullptr; below = below->TopVisibleChild()) {
        below->Activate(true);
    }
    return 0;
}

int ZWindow::Tick() {
    WindowLockGuard lock(kq::ui::WindowLock());
    if (!IsAttached()) return 0;
    // A child's Tick may destroy windows: walk a copy.
    const std::vector<ZWindow*> children = children_;
    for (ZWindow* child : children) {
        if (std::find(children_.begin(), children_.end(), child) != children_.end()) child->Tick();
    }
    return 0;
}

int ZWindow::Draw() {
    return 0;
}

int ZWindow::OnKey(uint32_t) {
    return 0;
}

int ZWindow::OnCommand(int id) {
    if (owner_ != nullptr && owner_ != this) owner_->OnCommand(id);
    return 0;
}

int ZWindow::Run() {
    Activate(true);
    if (ZDesktop::IsUiThread()) {
        ZDesktop::RunLoop(&runDone_);
    } else {
        std::unique_lock wait(kq::ui::g_runMutex);
        while (runDone_ == 0) {
            // EndRun wakes this; the timeout covers a window destroyed without one.
            kq::ui::g_runEnded.wait_for(wait, std::chrono::milliseconds(1));
        }
    }
    runDone_ = 0;
    return runResult_;
}

int ZWindow::EndRun(int result) {
    {
        std::lock_guard wake(kq::ui::g_runMutex);
        runResult_ = result;
        runDone_ = 1;
    }
    kq::ui::g_runEnded.notify_all();
    // A run on the UI thread may be waiting for input: it must see the end now, not at the
    // next key or clock tick.
    if (!ZDesktop::IsUiThread()) ConWake();
    return 0;
}

int ZWindow::DrawFrame(int style, uint8_t attribute) {
    if (chars_.empty() || style < 0 || style > 2) return -1;
    const uint8_t* frame = kq::ui::kFrames[style];
    const int w = rect_.w;
    const int h = rect_.h;
    const auto set = [&](int x, int y, uint8_t character, uint8_t cellAttribute) {
        chars_[static_cast<size_t>(y * w + x)] = character;
        attrs_[static_cast<size_t>(y * w + x)] = cellAttribute;
    };
    for (int x = 0; x < w; ++x) {
        set(x, 0, frame[1], attribute);
        set(x, h - 1, frame[5], attribute);
    }
    for (int y = 0; y < h; ++y) {
        set(0, y, frame[7], attribute);
        set(w - 1, y, frame[3], attribute);
    }
    set(0, 0, frame[0], attribute);
    set(w - 1, 0, frame[2], attribute);
    set(0, h - 1, frame[6], attribute);
    set(w - 1, h - 1, frame[4], attribute);
    const int length = static_cast<int>(title_.size());
    const int start = std::max(w / 2 - length / 2, 2);
    if (start < w - 2) {
        const uint8_t titleAttribute = IsActive() ? kq::ui::Inverse(attribute) : attribute;
        for (int i = 0; i < length && start + i < w - 2; ++i) {
            set(start + i, 0, static_cast<uint8_t>(title_[static_cast<size_t>(i)]), titleAttribute);
        }
    }
    return 0;
}

void ZWindow::GetPos(ZRec& rect) const {
    rect = rect_;
}

void ZWindow::SetPos(ZRec pos, ZRec size) {
    WindowLockGuard lock(kq::ui::WindowLock());
    const ZRec old = rect_;
    const ZRec wanted(pos.x, pos.y, size.w, size.h);
    rect_ = wanted;
    UpdateScreenRect();
    for (ZWindow* child : children_) child->SetPos(child->rect_, child->rect_);
    if (wanted == old) return;
    AllocateCells();
    if ((flags_ & WF_VISIBLE) && parent_ != nullptr) {
        const int x = old.x, y = old.y, w = old.w, h = old.h;
        const int nx = wanted.x, ny = wanted.y, nw = wanted.w, nh = wanted.h;
        const auto strip = [this](int sx, int sy, int sw, int sh) {
            if (sw > 0 && sh > 0) {
                parent_->Refresh(ZRec(static_cast<int16_t>(sx), static_cast<int16_t>(sy),
                                      static_cast<int16_t>(sw), static_cast<int16_t>(sh)));
            }
        };
        strip(x, y, w, ny - y);                   // above
        strip(x, ny + nh, w, y + h - ny - nh);    // below
        strip(x, ny, nx - x, nh);                 // left
        strip(nx + nw, ny, x + w - nx - nw, nh);  // right
    }
    Redraw();
}

void ZWindow::SetCursor(ZRec cursor) {
    WindowLockGuard lock(kq::ui::WindowLock());
    cursor_ = cursor;
    Refresh(ZRec(cursor.x, cursor.y, 1, 1));
}

void ZWindow::SetTitle(const char* title) {
    if (title == title_.c_str()) return;
    title_ = title ? title : "";
    Redraw();
}

void ZWindow::SetFlags(uint32_t flags) {
    WindowLockGuard lock(kq::ui::WindowLock());
    if ((flags ^ flags_) & WF_VISIBLE) Show((flags & WF_VISIBLE) != 0);
    flags_ = flags;
    Redraw();
}

void ZWindow::SetOwner(ZWindow* owner) {
    owner_ = owner ? owner : ZDesktop::Desktop();
}

void ZWindow::Redraw() {
    Refresh(ZRec(0, 0, rect_.w, rect_.h));
}

void ZWindow::PutText(int x, int y, std::string_view text, uint8_t attribute) {
    if (y < 0 || y >= rect_.h) return;
    for (size_t i = 0; i < text.size(); ++i) {
        const int column = x + static_cast<int>(i);
        if (column < 0) continue;
        if (column >= rect_.w) break;
        chars_[static_cast<size_t>(y * rect_.w + column)] = static_cast<uint8_t>(text[i]);
        attrs_[static_cast<size_t>(y * rect_.w + column)] = attribute;
    }
}

void ZWindow::FillCells(uint8_t character, uint8_t attribute) {
    std::fill(chars_.begin(), chars_.end(), character);
    std::fill(attrs_.begin(), attrs_.end(), attribute);
}

int ZWindow::OnScreenResize(int width, int height) {
    // Keep the window inside the screen: move it back in, and shrink it only when it is
    // larger than the screen.
    ZRec rect = rect_;
    rect.w = static_cast<int16_t>(std::min<int>(rect.w, width));
    rect.h = static_cast<int16_t>(std::min<int>(rect.h, height));
    rect.x = static_cast<int16_t>(std::clamp<int>(rect.x, 0, width - rect.w));
    rect.y = static_cast<int16_t>(std::clamp<int>(rect.y, 0, height - rect.h));
    if (!(rect == rect_)) SetPos(rect, rect);
    return 0;
}
