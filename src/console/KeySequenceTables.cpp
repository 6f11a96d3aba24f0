// The key decoder's lookup tables: the US keyboard layout as Windows sees it, the legacy
// xterm sequences and the kitty protocol's key codes, each mapped to a virtual key.
#include "console/KeySequenceTables.h"

#include <array>

#include "console/KeyRecord.h"

namespace kq::console::keytables {

namespace {

// The keypad's '=' key of some keyboards; Windows names it although the US layout lacks it.
constexpr uint16_t kVirtualKeyKeypadEqual = 0x92;
constexpr uint16_t kVirtualKeyF13 = 0x7C;

constexpr char32_t kFirstPrintable = 0x20, kLastPrintable = 0x7E;

struct CharacterKey {
    char character;
    uint16_t virtualKey;
    bool shifted;
};

// Letters and digits are filled in by BuildLayout; this lists the rest of the US layout.
constexpr CharacterKey kPunctuationKeys[] = {
    {' ', vk::kSpace, false},
    {'!', '1', true},
    {'"', vk::kOem7, true},
    {'#', '3', true},
    {'$', '4', true},
    {'%', '5', true},
    {'&', '7', true},
    {'\'', vk::kOem7, false},
    {'(', '9', true},
    {')', '0', true},
    {'*', '8', true},
    {'+', vk::kOemPlus, true},
    {',', vk::kOemComma, false},
    {'-', vk::kOemMinus, false},
    {'.', vk::kOemPeriod, false},
    {'/', vk::kOem2, false},
    {':', vk::kOem1, true},
    {';', vk::kOem1, false},
    {'<', vk::kOemComma, true},
    {'=', vk::kOemPlus, false},
    {'>', vk::kOemPeriod, true},
    {'?', vk::kOem2, true},
    {'@', '2', true},
    {'[', vk::kOem4, false},
    {'\\', vk::kOem5, false},
    {']', vk::kOem6, false},
    {'^', '6', true},
    {'_', vk::kOemMinus, true},
    {'`', vk::kOem3, false},
    {'{', vk::kOem4, true},
    {'|', vk::kOem5, true},
    {'}', vk::kOem6, true},
    {'~', vk::kOem3, true},
};

struct Layout {
    std::array<LayoutKey, kLastPrintable - kFirstPrintable + 1> keyOfCharacter{};
    std::array<char32_t, 256> shifted{};
};

constexpr Layout BuildLayout() {
    Layout layout;
    auto add = [&layout](char character, uint16_t virtualKey, bool shifted) {
        layout.keyOfCharacter[static_cast<size_t>(character) - kFirstPrintable] = {virtualKey,
                                                                                   shifted};
        if (shifted) layout.shifted[virtualKey] = static_cast<char32_t>(character);
    };
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const auto virtualKey = static_cast<uint16_t>(vk::kLetterA + (letter - 'a'));
        add(letter, virtualKey, false);
        add(static_cast<char>(letter - 'a' + 'A'), virtualKey, true);
    }
    for (char digit = '0'; digit <= '9'; ++digit) {
        add(digit, static_cast<uint16_t>(vk::kDigit0 + (digit - '0')), false);
    }
    for (const CharacterKey& key : kPunctuationKeys)
        add(key.character, key.virtualKey, key.shifted);
    layout.shifted[vk::kSpace] = ' ';
    return layout;
}

constexpr Layout kUsLayout = BuildLayout();

struct KittyCodeKey {
    uint32_t code;
    FunctionalKey key;
};

constexpr NamedKey Key(uint16_t virtualKey, char32_t character = 0) {
    return NamedKey{virtualKey, character};
}

// Private-use codes of the kitty protocol, sorted by code; F13..F24 and the keypad digits are
// ranges handled in KittyFunctionalKey.
constexpr KittyCodeKey kKittyCodes[] = {
    {57358, {Key(vk::kCapital)}},
    {57359, {Key(vk::kScroll)}},
    {57360, {Key(vk::kNumLock)}},
    {57361, {Key(vk::kSnapshot)}},
    {57362, {Key(vk::kPause)}},
    {57363, {Key(vk::kApps)}},
    {57409, {Key(vk::kDecimal, '.')}},
    {57410, {Key(vk::kDivide, '/')}},
    {57411, {Key(vk::kMultiply, '*')}},
    {57412, {Key(vk::kSubtract, '-')}},
    {57413, {Key(vk::kAdd, '+')}},
    {57414, {Key(vk::kReturn, '\r')}},
    {57415, {Key(kVirtualKeyKeypadEqual, '=')}},
    {57416, {Key(vk::kSeparator, ',')}},
    // The keypad's cursor keys (Num Lock off) are the cursor block's keys to Windows.
    {57417, {Key(vk::kLeft)}},
    {57418, {Key(vk::kRight)}},
    {57419, {Key(vk::kUp)}},
    {57420, {Key(vk::kDown)}},
    {57421, {Key(vk::kPrior)}},
    {57422, {Key(vk::kNext)}},
    {57423, {Key(vk::kHome)}},
    {57424, {Key(vk::kEnd)}},
    {57425, {Key(vk::kInsert)}},
    {57426, {Key(vk::kDelete)}},
    {57427, {Key(vk::kClear)}},
    {57441, {Key(vk::kLShift), ModifierKey::kLeftShift}},
    {57442, {Key(vk::kLControl), ModifierKey::kLeftCtrl}},
    {57443, {Key(vk::kLMenu), ModifierKey::kLeftAlt}},
    {57444, {Key(vk::kLeftWin)}},
    {57447, {Key(vk::kRShift), ModifierKey::kRightShift}},
    {57448, {Key(vk::kRControl), ModifierKey::kRightCtrl}},
    {57449, {Key(vk::kRMenu), ModifierKey::kRightAlt}},
    {57450, {Key(vk::kRightWin)}},
};

constexpr uint32_t kKittyF13 = 57376, kKittyF24 = 57387;
constexpr uint32_t kKittyKeypad0 = 57399, kKittyKeypad9 = 57408;

struct NumberKey {
    uint32_t number;
    NamedKey key;
};

// xterm's numbering, which the VT220 started; 1 and 4 are the Linux console's Home and End,
// 25 and up the F-keys past F12 (Shift+F1.. on the Linux console).
constexpr NumberKey kTildeKeys[] = {
    {1, Key(vk::kHome)},
    {2, Key(vk::kInsert)},
    {3, Key(vk::kDelete)},
    {4, Key(vk::kEnd)},
    {5, Key(vk::kPrior)},
    {6, Key(vk::kNext)},
    {7, Key(vk::kHome)},
    {8, Key(vk::kEnd)},
    {11, Key(vk::kF1)},
    {12, Key(vk::kF1 + 1)},
    {13, Key(vk::kF1 + 2)},
    {14, Key(vk::kF1 + 3)},
    {15, Key(vk::kF1 + 4)},
    {17, Key(vk::kF1 + 5)},
    {18, Key(vk::kF1 + 6)},
    {19, Key(vk::kF1 + 7)},
    {20, Key(vk::kF1 + 8)},
    {21, Key(vk::kF1 + 9)},
    {23, Key(vk::kF1 + 10)},
    {24, Key(vk::kF1 + 11)},
    {25, Key(kVirtualKeyF13)},
    {26, Key(kVirtualKeyF13 + 1)},
    {28, Key(kVirtualKeyF13 + 2)},
    {29, Key(kVirtualKeyF13 + 3)},
    {31, Key(kVirtualKeyF13 + 4)},
    {32, Key(kVirtualKeyF13 + 5)},
    {33, Key(kVirtualKeyF13 + 6)},
    {34, Key(kVirtualKeyF13 + 7)},
    {57427, Key(vk::kClear)},
};

}  // namespace

LayoutKey UsLayoutKeyOf(char32_t character) {
    if (character < kFirstPrintable || character > kLastPrintable) return {};
    return kUsLayout.keyOfCharacter[character - kFirstPrintable];
}

char32_t ShiftedCharOf(uint16_t virtualKey) {
    return virtualKey < kUsLayout.shifted.size() ? kUsLayout.shifted[virtualKey] : 0;
}

char32_t ControlCharOf(uint16_t virtualKey) {
    if (virtualKey >= vk::kLetterA && virtualKey < vk::kLetterA + 26) {
        return virtualKey - vk::kLetterA + 1;
    }
    switch (virtualKey) {
        case vk::kOem4:
            return 0x1B;
        case vk::kOem5:
            return 0x1C;
        case vk::kOem6:
            return 0x1D;
        case vk::kDigit0 + 6:
            return 0x1E;
        case vk::kOemMinus:
            return 0x1F;
        case vk::kBack:
            return 0x7F;
        case vk::kReturn:
            return 0x0A;
        case vk::kEscape:
            return 0x1B;
        case vk::kTab:
            return 0x09;
        default:
            return 0;
    }
}

ControlByteKey KeyOfControlByte(uint8_t byte) {
    switch (byte) {
        case 0x00:
            return {Key(vk::kSpace), true};
        case 0x08:
            return {Key(vk::kLetterA + ('H' - 'A'), 0x08), true};
        case 0x09:
            return {Key(vk::kTab, 0x09), false};
        case 0x0D:
            return {Key(vk::kReturn, 0x0D), false};
        case 0x1B:
            return {Key(vk::kEscape, 0x1B), false};
        case 0x1C:
            return {Key(vk::kOem5, 0x1C), true};
        case 0x1D:
            return {Key(vk::kOem6, 0x1D), true};
        case 0x1E:
            return {Key(vk::kDigit0 + 6, 0x1E), true};
        case 0x1F:
            return {Key(vk::kOemMinus, 0x1F), true};
        case 0x7F:
            return {Key(vk::kBack, 0x08), false};
        default:
            break;
    }
    if (byte >= 0x01 && byte <= 0x1A) {
        return {Key(static_cast<uint16_t>(vk::kLetterA + byte - 1), byte), true};
    }
    return {};
}

std::optional<FunctionalKey> KittyFunctionalKey(uint32_t code) {
    if (code >= kKittyKeypad0 && code <= kKittyKeypad9) {
        const uint32_t digit = code - kKittyKeypad0;
        return FunctionalKey{Key(static_cast<uint16_t>(vk::kNumpad0 + digit), U'0' + digit)};
    }
    if (code >= kKittyF13 && code <= kKittyF24) {
        return FunctionalKey{Key(static_cast<uint16_t>(kVirtualKeyF13 + (code - kKittyF13)))};
    }
    for (const KittyCodeKey& entry : kKittyCodes) {
        if (entry.code == code) return entry.key;
    }
    return std::nullopt;
}

std::optional<NamedKey> TildeKey(uint32_t number) {
    for (const NumberKey& entry : kTildeKeys) {
        if (entry.number == number) return entry.key;
    }
    return std::nullopt;
}

std::optional<NamedKey> CursorOrFunctionKey(char finalByte) {
    switch (finalByte) {
        case 'A':
            return Key(vk::kUp);
        case 'B':
            return Key(vk::kDown);
        case 'C':
            return Key(vk::kRight);
        case 'D':
            return Key(vk::kLeft);
        case 'E':
            return Key(vk::kClear);  // keypad 5 with Num Lock off (xterm)
        case 'G':
            return Key(vk::kClear);  // the same key on the Linux console
        case 'F':
            return Key(vk::kEnd);
        case 'H':
            return Key(vk::kHome);
        case 'P':
            return Key(vk::kF1);
        case 'Q':
            return Key(vk::kF1 + 1);
        case 'R':
            return Key(vk::kF1 + 2);
        case 'S':
            return Key(vk::kF1 + 3);
        default:
            return std::nullopt;
    }
}

std::optional<NamedKey> ApplicationKeypadKey(char finalByte) {
    if (finalByte >= 'p' && finalByte <= 'y') {
        const int digit = finalByte - 'p';
        return Key(static_cast<uint16_t>(vk::kNumpad0 + digit), static_cast<char32_t>('0' + digit));
    }
    switch (finalByte) {
        case 'j':
            return Key(vk::kMultiply, '*');
        case 'k':
            return Key(vk::kAdd, '+');
        case 'l':
            return Key(vk::kSeparator, ',');
        case 'm':
            return Key(vk::kSubtract, '-');
        case 'n':
            return Key(vk::kDecimal, '.');
        case 'o':
            return Key(vk::kDivide, '/');
        case 'M':
            return Key(vk::kReturn, '\r');
        case 'X':
            return Key(kVirtualKeyKeypadEqual, '=');
        case 'I':
            return Key(vk::kTab, '\t');
        default:
            return std::nullopt;
    }
}

}  // namespace kq::console::keytables
