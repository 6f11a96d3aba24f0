// Lookup tables of the key decoder: which Windows virtual key (US layout) stands behind a
// character, a legacy escape sequence or a kitty key code, and which character such a key
// types with Shift or Ctrl held, the way a Windows console reports it.
#pragma once

#include <cstdint>
#include <optional>

namespace kq::console::keytables {

// A key as a sequence names it, before any modifier is applied.
struct NamedKey {
    uint16_t virtualKey = 0;
    char32_t character = 0;  // what the key types unmodified; 0 for keys that type nothing
};

// The US-layout key typing a printable ASCII character, and whether Shift is part of it
// ('A' and '!' need Shift, 'a' and '1' do not). virtualKey is 0 for anything else.
struct LayoutKey {
    uint16_t virtualKey = 0;
    bool shifted = false;
};
LayoutKey UsLayoutKeyOf(char32_t character);

// What a key of the US layout types with Shift; 0 for keys outside the layout.
char32_t ShiftedCharOf(uint16_t virtualKey);

// The character a Windows console reports for a key pressed with Ctrl: the C0 control code
// for letters and a few punctuation keys (Ctrl+[ is ESC), Enter gives LF and Backspace DEL,
// and 0 for keys that type nothing with Ctrl held (digits, Space, the keypad).
char32_t ControlCharOf(uint16_t virtualKey);

// The key behind a C0 byte or DEL as a terminal sends it, and whether it implies Ctrl:
// 0x01..0x1A are Ctrl+letter, 0x7F is Backspace, 0x08 is Ctrl+H (not Backspace), 0x00 is
// Ctrl+Space. Tab, Enter and Esc are themselves.
struct ControlByteKey {
    NamedKey key;
    bool withCtrl = false;
};
ControlByteKey KeyOfControlByte(uint8_t byte);

// The physical modifier keys that the kitty protocol reports as keys of their own.
enum class ModifierKey : uint8_t {
    kNone,
    kLeftShift,
    kRightShift,
    kLeftCtrl,
    kRightCtrl,
    kLeftAlt,
    kRightAlt,
};

struct FunctionalKey {
    NamedKey key;
    ModifierKey modifier = ModifierKey::kNone;
};

// A key code of the kitty protocol above the ASCII range that names a key without text: the
// private-use codes of the keypad, the lock keys, F13 and up and the modifier keys. Codes of
// keys that have no virtual key here (media keys, hyper, meta, level shifts) give nothing.
std::optional<FunctionalKey> KittyFunctionalKey(uint32_t code);

// CSI number ~ (Insert, Delete, Home, End, Page Up/Down, F1..F20, the keypad's centre key).
std::optional<NamedKey> TildeKey(uint32_t number);

// The final byte of CSI 1;m X and SS3 X for the cursor block, F1..F4 and the keypad centre.
std::optional<NamedKey> CursorOrFunctionKey(char finalByte);

// The final byte of SS3 X for the application keypad (digits, operators, Enter, '.', '=').
std::optional<NamedKey> ApplicationKeypadKey(char finalByte);

}  // namespace kq::console::keytables
