// Keyboard records as the terminal decoders produce them, and their translation into the
// library's 32-bit key events.
//
// Every input protocol the terminal may speak (win32-input-mode, the kitty keyboard protocol,
// modifyOtherKeys, legacy xterm sequences, plain UTF-8 text) is decoded into a KeyRecord with
// the fields of a Windows console key record. One function then turns records into events, so
// that a key means the same thing whichever protocol reported it.
#pragma once

#include <cstdint>
#include <string>

namespace kq::console {

// Windows virtual-key codes the decoders produce (the subset with a key code of their own).
namespace vk {
inline constexpr uint16_t kBack = 0x08, kTab = 0x09, kClear = 0x0C, kReturn = 0x0D;
inline constexpr uint16_t kShift = 0x10, kControl = 0x11, kMenu = 0x12, kPause = 0x13;
inline constexpr uint16_t kCapital = 0x14, kEscape = 0x1B, kSpace = 0x20;
inline constexpr uint16_t kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
inline constexpr uint16_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
inline constexpr uint16_t kSnapshot = 0x2C, kInsert = 0x2D, kDelete = 0x2E;
inline constexpr uint16_t kDigit0 = 0x30;   // '0'..'9' are 0x30..0x39
inline constexpr uint16_t kLetterA = 0x41;  // 'A'..'Z' are 0x41..0x5A
inline constexpr uint16_t kLeftWin = 0x5B, kRightWin = 0x5C, kApps = 0x5D;
inline constexpr uint16_t kNumpad0 = 0x60;  // keypad digits 0x60..0x69
inline constexpr uint16_t kMultiply = 0x6A, kAdd = 0x6B, kSeparator = 0x6C, kSubtract = 0x6D;
inline constexpr uint16_t kDecimal = 0x6E, kDivide = 0x6F;
inline constexpr uint16_t kF1 = 0x70;  // F1..F24 are 0x70..0x87
inline constexpr uint16_t kNumLock = 0x90, kScroll = 0x91;
inline constexpr uint16_t kLShift = 0xA0, kRShift = 0xA1, kLControl = 0xA2, kRControl = 0xA3;
inline constexpr uint16_t kLMenu = 0xA4, kRMenu = 0xA5;
inline constexpr uint16_t kOem1 = 0xBA, kOemPlus = 0xBB, kOemComma = 0xBC, kOemMinus = 0xBD;
inline constexpr uint16_t kOemPeriod = 0xBE, kOem2 = 0xBF, kOem3 = 0xC0, kOem4 = 0xDB;
inline constexpr uint16_t kOem5 = 0xDC, kOem6 = 0xDD, kOem7 = 0xDE, kOem102 = 0xE2;
}  // namespace vk

// Windows control-key state bits, as win32-input-mode reports them.
namespace cks {
inline constexpr uint32_t kRightAlt = 0x0001, kLeftAlt = 0x0002;
inline constexpr uint32_t kRightCtrl = 0x0004, kLeftCtrl = 0x0008;
inline constexpr uint32_t kShift = 0x0010, kNumLock = 0x0020, kScrollLock = 0x0040;
inline constexpr uint32_t kCapsLock = 0x0080, kEnhanced = 0x0100;
}  // namespace cks

struct KeyRecord {
    uint16_t virtualKey = 0;    // Windows virtual-key code; 0 for text without a key
    char32_t unicodeChar = 0;   // the character the key produced (Unicode), 0 when none
    bool keyDown = true;        // press (or repeat) versus release
    uint16_t repeatCount = 1;   // the terminal's repeat count, at least 1
    uint32_t controlState = 0;  // cks:: bits
    friend bool operator==(const KeyRecord&, const KeyRecord&) = default;
};

// Text the terminal marked as pasted, as it came (normally UTF-8): text for the focused edit
// line, never keys. A paste longer than the decoder holds is cut and marked.
struct PastedText {
    std::string bytes;
    bool cut = false;
};

// The key code (KC_*) of a virtual key: the 256-entry table; KC_NONE for codes it lacks.
uint8_t KeyCodeOfVirtualKey(uint16_t virtualKey);

// Maps a Unicode character to the console code page's byte (0 when the character is 0).
using CharToCodePage = uint8_t (*)(char32_t);

// Turns one record into an event the way ConInput delivers it:
//  - the key code from the table, the character converted to the code page,
//  - releases only for the modifier codes 0x81..0x85 (any other release is dropped),
//  - the control-key state mapped to the KF_ flags (the enhanced bit is not reported).
// Returns false when the record is dropped. extraRepeats receives repeatCount - 1.
bool TranslateKeyRecord(const KeyRecord& record, CharToCodePage toCodePage, uint32_t& event,
                        int& extraRepeats);

}  // namespace kq::console
