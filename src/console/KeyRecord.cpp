// Turns keyboard records (Windows console layout) into the library's 32-bit key events: the
// virtual-key to key-code table and the release, repeat and modifier rules of ConInput.
#include "console/KeyRecord.h"

#include <array>

#include "kq/keys.h"

namespace kq::console {

namespace {

constexpr std::array<uint8_t, 256> BuildKeyCodeTable() {
    std::array<uint8_t, 256> table{};
    for (uint8_t& code : table) code = KC_NONE;

    table[vk::kBack] = KC_BACK;
    table[vk::kTab] = KC_TAB;
    table[vk::kReturn] = KC_ENTER;
    table[vk::kEscape] = KC_ESC;
    table[vk::kSpace] = KC_SPACE;

    // The generic modifier codes and the left-hand ones share a code; only Ctrl and Alt tell
    // the right-hand key apart.
    table[vk::kShift] = KC_SHIFT;
    table[vk::kLShift] = KC_SHIFT;
    table[vk::kRShift] = KC_SHIFT;
    table[vk::kControl] = KC_CTRL;
    table[vk::kLControl] = KC_CTRL;
    table[vk::kRControl] = KC_RCTRL;
    table[vk::kMenu] = KC_ALT;
    table[vk::kLMenu] = KC_ALT;
    table[vk::kRMenu] = KC_RALT;

    table[vk::kPrior] = KC_PGUP;
    table[vk::kNext] = KC_PGDN;
    table[vk::kHome] = KC_HOME;
    table[vk::kEnd] = KC_END;
    table[vk::kInsert] = KC_INS;
    table[vk::kDelete] = KC_DEL;
    table[vk::kLeft] = KC_LEFT;
    table[vk::kUp] = KC_UP;
    table[vk::kDown] = KC_DOWN;
    table[vk::kRight] = KC_RIGHT;

    for (int digit = 0; digit < 10; ++digit) {
        table[vk::kDigit0 + digit] = static_cast<uint8_t>('0' + digit);
        table[vk::kNumpad0 + digit] = static_cast<uint8_t>(KC_NUM0 + digit);
    }
    // Letters always give the lower-case letter, whatever Shift and Caps Lock say.
    for (int letter = 0; letter < 26; ++letter) {
        table[vk::kLetterA + letter] = static_cast<uint8_t>('a' + letter);
    }
    table[vk::kMultiply] = KC_NUMMUL;
    table[vk::kAdd] = KC_NUMADD;
    table[vk::kSubtract] = KC_NUMSUB;
    table[vk::kDivide] = KC_NUMDIV;
    for (int function = 0; function < 12; ++function) {
        table[vk::kF1 + function] = static_cast<uint8_t>(KC_F1 + function);
    }

    table[vk::kOem1] = ':';
    table[vk::kOemPlus] = '=';
    table[vk::kOemComma] = ',';
    table[vk::kOemMinus] = '-';
    table[vk::kOemPeriod] = '.';
    table[vk::kOem2] = '/';
    table[vk::kOem3] = '~';
    table[vk::kOem4] = '[';
    table[vk::kOem5] = '\\';
    table[vk::kOem6] = ']';
    table[vk::kOem7] = '\'';
    return table;
}

constexpr std::array<uint8_t, 256> kKeyCodeOfVirtualKey = BuildKeyCodeTable();

static_assert(kKeyCodeOfVirtualKey[vk::kSeparator] == KC_NONE);
static_assert(kKeyCodeOfVirtualKey[vk::kDecimal] == KC_NONE);

constexpr bool IsModifierCode(uint8_t code) {
    return code >= KC_SHIFT && code <= KC_RALT;
}

struct ControlStateFlag {
    uint32_t controlState;
    uint32_t keyFlag;
};

constexpr std::array<ControlStateFlag, 8> kControlStateFlags = {{
    {cks::kCapsLock, KF_CAPSLOCK},
    {cks::kLeftAlt, KF_LALT},
    {cks::kLeftCtrl, KF_LCTRL},
    {cks::kNumLock, KF_NUMLOCK},
    {cks::kRightAlt, KF_RALT},
    {cks::kRightCtrl, KF_RCTRL},
    {cks::kScrollLock, KF_SCROLLLOCK},
    {cks::kShift, KF_SHIFT},
}};

}  // namespace

uint8_t KeyCodeOfVirtualKey(uint16_t virtualKey) {
    return virtualKey < kKeyCodeOfVirtualKey.size() ? kKeyCodeOfVirtualKey[virtualKey] : KC_NONE;
}

bool TranslateKeyRecord(const KeyRecord& record, CharToCodePage toCodePage, uint32_t& event,
                        int& extraRepeats) {
    event = 0;
    extraRepeats = 0;
    if (record.virtualKey >= kKeyCodeOfVirtualKey.size()) return false;

    const uint8_t code = kKeyCodeOfVirtualKey[record.virtualKey];
    // Only the modifier keys report their release; the windows above track Shift, Ctrl and
    // Alt by them. Every other release is of no interest to anyone.
    if (!record.keyDown && !IsModifierCode(code)) return false;

    uint8_t character = 0;
    if (record.unicodeChar != 0) {
        if (toCodePage != nullptr) {
            character = toCodePage(record.unicodeChar);
        } else if (record.unicodeChar < 0x80) {
            character = static_cast<uint8_t>(record.unicodeChar);
        }
    }

    uint32_t flags = record.keyDown ? KF_DOWN : 0;
    for (const ControlStateFlag& mapping : kControlStateFlags) {
        if (record.controlState & mapping.controlState) flags |= mapping.keyFlag;
    }

    event = KEY_EVENT(code, character, flags);
    extraRepeats = record.repeatCount > 0 ? record.repeatCount - 1 : 0;
    return true;
}

}  // namespace kq::console
