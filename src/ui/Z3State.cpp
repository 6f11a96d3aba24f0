// The three-state box and the check box: drawing, Space and the state setters.
#include "ui/Z3State.h"

#include <string_view>

#include "kq/keys.h"
#include "kq/text.h"

namespace {

// Palette entries.
constexpr int kBoxColour = 7;
constexpr int kHotKeyColour = 8;

constexpr char kMarks[] = {' ', 'x', '*'};

}  // namespace

Z3State::Z3State() : Z3State(3) {}

Z3State::Z3State(int stateCount) : stateCount_(stateCount) {
    SetCursor(ZRec(1, 0, 0, 15));
}

int Z3State::Draw() {
    if (Chars().empty()) return 0;
    const uint8_t* palette = ColGetPalette();
    const uint8_t normal = palette[kBoxColour];
    const uint8_t hotKey = palette[kHotKeyColour];
    FillCells(' ', normal);
    const int width = Width();
    if (width < 3) return -1;

    const char box[] = {'[', kMarks[state_], ']'};
    PutText(0, 0, std::string_view(box, sizeof box), normal);
    if (width >= 5) {
        const std::string_view text = GetTitle();
        int column = 4;
        bool hot = false;
        for (size_t i = 0; i < text.size() && column < width; ++i) {
            if (text[i] == '~') {
                hot = true;
                continue;
            }
            PutText(column++, 0, text.substr(i, 1), hot ? hotKey : normal);
            hot = false;
        }
    }
    return 0;
}

int Z3State::OnKey(uint32_t key) {
    ZWindow* owner = Owner();
    if (KEY_CHAR(key) != ' ') return owner != nullptr ? owner->OnKey(key) : 0;
    if (owner != nullptr) owner->OnCommand(GetId());
    StoreState((state_ + 1) % stateCount_);
    return 0;
}

int Z3State::SetState(int state) {
    StoreState(state == 0 || state == 2 ? state : 1);
    return state_;
}

int Z3State::GetState() {
    return state_;
}

void Z3State::StoreState(int state) {
    state_ = state;
    Refresh(ZRec(0, 0, 3, 1));  // '[', the mark and ']'
}

ZCheckBox::ZCheckBox() : Z3State(2) {}

int ZCheckBox::SetState(int state) {
    StoreState(state != 0 ? 1 : 0);
    return GetState();
}
