// The edit line: drawing with scrolling and selection, and its keys.
#include "kq/edit.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "console/Console.h"
#include "kq/keys.h"
#include "kq/text.h"
#include "ui/OverwriteMode.h"

namespace {

// Palette entries.
constexpr int kTextColour = 13;
constexpr int kSelectionColour = 14;

// Cursor heights in percent.
constexpr int16_t kOverwriteCursor = 100;
constexpr int16_t kInsertCursor = 10;

bool IsWordCharacter(char character) {
    const auto byte = static_cast<uint8_t>(character);
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
           (byte >= 'A' && byte <= 'Z') || byte >= 128;
}

}  // namespace

int ZEdit::Draw() {
    if (Chars().empty()) return 0;
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kTextColour]);
    const std::string_view text = GetTitle();
    const int length = static_cast<int>(text.size());
    CheckCaret(length);

    const int area = Area();
    if (caret_ >= scroll_ + area) scroll_ = caret_ - area + 1;
    if (caret_ < scroll_) scroll_ = caret_;
    if (GetFlags() & WF_LIMIT) {
        scroll_ = 0;
        if (caret_ >= area) caret_ = area - 1;
    }

    std::vector<uint8_t>& chars = Chars();
    const int shown = std::min(length - scroll_, area);
    const bool password = (GetFlags() & WF_PASSWORD) != 0;
    for (int i = 0; i < shown; ++i) {
        chars[static_cast<size_t>(i)] =
            password ? '*' : static_cast<uint8_t>(text[static_cast<size_t>(scroll_ + i)]);
    }
    if (HasSelection() && IsActive()) {
        const int first = std::max(selectionStart_, scroll_);
        const int last = std::min(selectionEnd_, scroll_ + shown - 1);
        std::vector<uint8_t>& attrs = Attrs();
        for (int i = first; i <= last; ++i) {
            attrs[static_cast<size_t>(i - scroll_)] = palette[kSelectionColour];
        }
    }

    // Last, and only on a change: SetCursor repaints the cell, which draws again.
    const int width = Width();
    const ZRec cursor(static_cast<int16_t>((caret_ - scroll_) % width),
                      static_cast<int16_t>((caret_ - scroll_) / width), 0,
                      kq::ui::OverwriteMode() ? kOverwriteCursor : kInsertCursor);
    if (!(Cursor() == cursor)) SetCursor(cursor);
    return 0;
}

int ZEdit::Activate(bool on) {
    Redraw();
    return ZWindow::Activate(on);
}

int ZEdit::OnKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    if ((GetFlags() & WF_DISABLED) || (flags & KF_ALT)) return PassToOwner(key);
    CheckCaret(static_cast<int>(std::string_view(GetTitle()).size()));

    if (KEY_CODE(key) == KC_PASTE) {
        // Text pasted into the terminal: inserted as it is, never acted on as keys.
        InsertText(ConTakePaste());
        return 0;
    }
    const auto character = static_cast<uint8_t>(KEY_CHAR(key));
    if (character >= 32) {
        TypeCharacter(character, (flags & KF_CTRL) != 0);
        return 0;
    }
    const int oldCaret = caret_;
    const KeyOutcome outcome = EditKey(key);
    if (outcome == KeyOutcome::kOwner) return PassToOwner(key);
    if (outcome == KeyOutcome::kExtendSelection) UpdateSelection(oldCaret, (flags & KF_SHIFT) != 0);
    Redraw();
    return 0;
}

void ZEdit::TypeCharacter(uint8_t character, bool ctrl) {
    if (ctrl) {
        Redraw();
        return;
    }
    std::string text = GetTitle();
    if (kq::ui::OverwriteMode() && !HasSelection() && caret_ < static_cast<int>(text.size())) {
        text[static_cast<size_t>(caret_)] = static_cast<char>(character);
        ++caret_;
        StoreText(text);
        return;
    }
    if (HasSelection()) {
        DeleteSelection();
        text = GetTitle();
    }
    if ((GetFlags() & WF_LIMIT) && static_cast<int>(text.size()) >= Area()) {
        Redraw();
        return;
    }
    text.insert(static_cast<size_t>(caret_), 1, static_cast<char>(character));
    ++caret_;
    StoreText(text);
}

ZEdit::KeyOutcome ZEdit::EditKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    const bool shift = (flags & KF_SHIFT) != 0;
    const bool ctrl = (flags & KF_CTRL) != 0;
    std::string text = GetTitle();
    const int length = static_cast<int>(text.size());

    switch (KEY_CODE(key)) {
        case KC_BACK:
            if (caret_ == 0) {
                if (HasSelection()) SetSelection(-1, 0);
            } else {
                --caret_;
                text.erase(static_cast<size_t>(caret_), 1);
                StoreText(text);
            }
            return KeyOutcome::kExtendSelection;
        case KC_HOME:
            caret_ = 0;
            return KeyOutcome::kExtendSelection;
        case KC_END:
            caret_ = length;
            return KeyOutcome::kExtendSelection;
        case KC_LEFT:
            if (caret_ > 0) {
                --caret_;
                if (ctrl) MoveWordLeft(text);
            }
            return KeyOutcome::kExtendSelection;
        case KC_RIGHT:
            if (caret_ < length) {
                ++caret_;
                if (ctrl) MoveWordRight(text);
            }
            return KeyOutcome::kExtendSelection;
        case KC_INS:
            if (ctrl) {
                CopySelection();
            } else if (!shift) {
                kq::ui::ToggleOverwriteMode();
            } else {
                // Shift is part of the paste chord here, not a selection extension: extending
                // from the old caret would select pasted text, and the next typed character
                // would delete it.
                Paste();
                return KeyOutcome::kSelectionSettled;
            }
            return KeyOutcome::kExtendSelection;
        case KC_DEL:
            if (HasSelection()) {
                if (shift) CopySelection();
                DeleteSelection();
                return KeyOutcome::kSelectionSettled;
            }
            if (caret_ < length) {
                text.erase(static_cast<size_t>(caret_), 1);
                StoreText(text);
            }
            return KeyOutcome::kExtendSelection;
        default:
            return KeyOutcome::kOwner;
    }
}

void ZEdit::MoveWordLeft(const std::string& text) {
    // The caret has just passed text[caret_]: keep going over non-word characters, then to the
    // start of the word reached.
    while (caret_ > 0 && !IsWordCharacter(text[static_cast<size_t>(caret_)])) --caret_;
    while (caret_ > 0 && IsWordCharacter(text[static_cast<size_t>(caret_ - 1)])) --caret_;
}

void ZEdit::MoveWordRight(const std::string& text) {
    // The mirror image: the caret has just passed text[caret_ - 1]; it stops at a word's end.
    const int length = static_cast<int>(text.size());
    while (caret_ < length && !IsWordCharacter(text[static_cast<size_t>(caret_ - 1)])) ++caret_;
    while (caret_ < length && IsWordCharacter(text[static_cast<size_t>(caret_)])) ++caret_;
}

void ZEdit::CopySelection() {
    // A password never leaves the field; an empty range must not wipe the clipboard.
    if (!HasSelection() || (GetFlags() & WF_PASSWORD)) return;
    const std::string_view text = GetTitle();
    const int length = static_cast<int>(text.size());
    const int first = std::min(selectionStart_, length);
    const int last = std::min(selectionEnd_, length - 1);
    if (last < first) return;
    ClipBrdPut(text.data() + first, last - first + 1);
}

void ZEdit::Paste() {
    const int size = ClipBrdGet(nullptr, 0);
    if (size <= 1) return;  // empty, no text, or unreadable
    std::string pasted(static_cast<size_t>(size), '\0');
    const int full = ClipBrdGet(pasted.data(), size);
    if (full <= 1) return;
    // The clipboard may have changed between the two calls: a longer text arrives cut, without
    // its terminating zero.
    pasted.resize(static_cast<size_t>(full > size ? size : full - 1));
    for (char& character : pasted) {
        if (static_cast<uint8_t>(character) < 32) character = ' ';
    }
    InsertText(pasted);
}

void ZEdit::InsertText(const std::string& pasted) {
    if (pasted.empty()) return;
    std::string text = GetTitle();
    int kept = static_cast<int>(text.size());
    if (HasSelection()) {
        const int first = std::clamp(selectionStart_, 0, kept);
        const int last = std::min(selectionEnd_, kept - 1);
        kept -= std::max(last - first + 1, 0);
    }
    // Checked before the selection goes, so that a paste that cannot fit loses nothing.
    if ((GetFlags() & WF_LIMIT) && kept + static_cast<int>(pasted.size()) > Area()) {
        ConBell();
        return;
    }
    if (HasSelection()) {
        DeleteSelection();
        text = GetTitle();
    }
    text.insert(static_cast<size_t>(caret_), pasted);
    StoreText(text);
}

void ZEdit::UpdateSelection(int oldCaret, bool shift) {
    if (!shift) {
        selectionStart_ = selectionEnd_ = -1;
        return;
    }
    const bool existed = HasSelection();
    if (!existed) {
        // An empty range when the caret did not move; it counts until it is cleared.
        if (oldCaret >= caret_) {
            selectionStart_ = caret_;
            selectionEnd_ = oldCaret - 1;
        } else {
            selectionStart_ = oldCaret;
            selectionEnd_ = caret_ - 1;
        }
        return;
    }
    if (oldCaret == selectionStart_) {
        // The far end stays where it was; the caret may cross it.
        if (caret_ > selectionEnd_) {
            selectionStart_ = selectionEnd_ + 1;
            selectionEnd_ = caret_ - 1;
        } else {
            selectionStart_ = caret_;
        }
    } else if (caret_ <= selectionStart_) {
        selectionEnd_ = selectionStart_ - 1;
        selectionStart_ = caret_;
    } else {
        selectionEnd_ = caret_ - 1;
    }
    if (selectionStart_ > selectionEnd_) selectionStart_ = selectionEnd_ = -1;
}

int ZEdit::GetSelection(int* start, int* end) {
    if (start != nullptr) *start = selectionStart_;
    if (end != nullptr) *end = selectionEnd_;
    return 0;
}

int ZEdit::SetSelection(int start, int end) {
    const int length = static_cast<int>(std::string_view(GetTitle()).size());
    if (end == -1 || end >= length) end = length - 1;
    if (start < 0) start = end = -1;
    selectionStart_ = start;
    selectionEnd_ = end;
    Redraw();
    return 0;
}

int ZEdit::DeleteSelection() {
    if (!HasSelection()) return -1;
    std::string text = GetTitle();
    const int length = static_cast<int>(text.size());
    CheckCaret(length);
    // The range may predate a SetTitle that shortened the text.
    const int first = std::min(selectionStart_, length);
    const int last = std::min(selectionEnd_, length - 1);
    if (caret_ > first) caret_ = first;
    selectionStart_ = selectionEnd_ = -1;
    if (last >= first)
        text.erase(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
    StoreText(text);
    return 0;
}

void ZEdit::SetCaret(int caret) {
    caret_ = std::max(caret, 0);
    Redraw();
}

void ZEdit::CheckCaret(int length) {
    if (caret_ > length) caret_ = 0;
}

void ZEdit::StoreText(const std::string& text) {
    SetTitle(text.c_str());
}

int ZEdit::PassToOwner(uint32_t key) {
    ZWindow* owner = Owner();
    return owner != nullptr ? owner->OnKey(key) : 0;
}
