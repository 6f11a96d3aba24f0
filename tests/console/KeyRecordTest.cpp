// Tests of the virtual-key table and of turning keyboard records into 32-bit key events.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "console/KeyRecord.h"
#include "kq/keys.h"

namespace kq::console {
namespace {

uint8_t Latin1(char32_t character) {
    return character < 0x100 ? static_cast<uint8_t>(character) : '?';
}

struct VirtualKeyCase {
    uint16_t virtualKey;
    uint8_t keyCode;
};

// Every virtual key that has a code of its own.
const std::vector<VirtualKeyCase> kMappedVirtualKeys = {
    {0x08, KC_BACK},   {0x09, KC_TAB},    {0x0D, KC_ENTER},  {0x1B, KC_ESC},    {0x20, KC_SPACE},
    {0x10, KC_SHIFT},  {0xA0, KC_SHIFT},  {0xA1, KC_SHIFT},  {0x11, KC_CTRL},   {0xA2, KC_CTRL},
    {0xA3, KC_RCTRL},  {0x12, KC_ALT},    {0xA4, KC_ALT},    {0xA5, KC_RALT},   {0x21, KC_PGUP},
    {0x22, KC_PGDN},   {0x24, KC_HOME},   {0x23, KC_END},    {0x2D, KC_INS},    {0x2E, KC_DEL},
    {0x25, KC_LEFT},   {0x26, KC_UP},     {0x28, KC_DOWN},   {0x27, KC_RIGHT},  {0x30, '0'},
    {0x31, '1'},       {0x32, '2'},       {0x33, '3'},       {0x34, '4'},       {0x35, '5'},
    {0x36, '6'},       {0x37, '7'},       {0x38, '8'},       {0x39, '9'},       {0x41, 'a'},
    {0x42, 'b'},       {0x43, 'c'},       {0x44, 'd'},       {0x45, 'e'},       {0x46, 'f'},
    {0x47, 'g'},       {0x48, 'h'},       {0x49, 'i'},       {0x4A, 'j'},       {0x4B, 'k'},
    {0x4C, 'l'},       {0x4D, 'm'},       {0x4E, 'n'},       {0x4F, 'o'},       {0x50, 'p'},
    {0x51, 'q'},       {0x52, 'r'},       {0x53, 's'},       {0x54, 't'},       {0x55, 'u'},
    {0x56, 'v'},       {0x57, 'w'},       {0x58, 'x'},       {0x59, 'y'},       {0x5A, 'z'},
    {0x60, KC_NUM0},   {0x61, KC_NUM1},   {0x62, KC_NUM2},   {0x63, KC_NUM3},   {0x64, KC_NUM4},
    {0x65, KC_NUM5},   {0x66, KC_NUM6},   {0x67, KC_NUM7},   {0x68, KC_NUM8},   {0x69, KC_NUM9},
    {0x6A, KC_NUMMUL}, {0x6B, KC_NUMADD}, {0x6D, KC_NUMSUB}, {0x6F, KC_NUMDIV}, {0x70, KC_F1},
    {0x71, KC_F2},     {0x72, KC_F3},     {0x73, KC_F4},     {0x74, KC_F5},     {0x75, KC_F6},
    {0x76, KC_F7},     {0x77, KC_F8},     {0x78, KC_F9},     {0x79, KC_F10},    {0x7A, KC_F11},
    {0x7B, KC_F12},    {0xBA, ':'},       {0xBB, '='},       {0xBC, ','},       {0xBD, '-'},
    {0xBE, '.'},       {0xBF, '/'},       {0xC0, '~'},       {0xDB, '['},       {0xDC, '\\'},
    {0xDD, ']'},       {0xDE, '\''},
};

TEST(KeyCodeOfVirtualKey, MapsEveryListedKey) {
    for (const VirtualKeyCase& entry : kMappedVirtualKeys) {
        EXPECT_EQ(KeyCodeOfVirtualKey(entry.virtualKey), entry.keyCode)
            << "virtual key 0x" << std::hex << entry.virtualKey;
    }
}

TEST(KeyCodeOfVirtualKey, EveryOtherKeyIsNone) {
    std::set<uint16_t> mapped;
    for (const VirtualKeyCase& entry : kMappedVirtualKeys) mapped.insert(entry.virtualKey);
    for (uint16_t virtualKey = 0; virtualKey < 256; ++virtualKey) {
        if (mapped.count(virtualKey)) continue;
        EXPECT_EQ(KeyCodeOfVirtualKey(virtualKey), KC_NONE)
            << "virtual key 0x" << std::hex << virtualKey;
    }
    // Keypad separator and decimal point, F13, the Windows keys: keys without a code.
    EXPECT_EQ(KeyCodeOfVirtualKey(vk::kSeparator), KC_NONE);
    EXPECT_EQ(KeyCodeOfVirtualKey(vk::kDecimal), KC_NONE);
    EXPECT_EQ(KeyCodeOfVirtualKey(0x7C), KC_NONE);
    EXPECT_EQ(KeyCodeOfVirtualKey(vk::kLeftWin), KC_NONE);
    EXPECT_EQ(KeyCodeOfVirtualKey(0x100), KC_NONE);
}

TEST(KeyCodeOfVirtualKey, NeverProducesTheTwoUnusedKeypadCodes) {
    for (uint16_t virtualKey = 0; virtualKey < 256; ++virtualKey) {
        const uint8_t code = KeyCodeOfVirtualKey(virtualKey);
        EXPECT_NE(code, 0x9D) << "virtual key 0x" << std::hex << virtualKey;
        EXPECT_NE(code, 0x9F) << "virtual key 0x" << std::hex << virtualKey;
    }
}

KeyRecord Record(uint16_t virtualKey, char32_t character, bool keyDown = true,
                 uint32_t controlState = 0, uint16_t repeatCount = 1) {
    KeyRecord record;
    record.virtualKey = virtualKey;
    record.unicodeChar = character;
    record.keyDown = keyDown;
    record.controlState = controlState;
    record.repeatCount = repeatCount;
    return record;
}

struct TranslationCase {
    const char* name;
    KeyRecord record;
    uint32_t event;
    int extraRepeats;
};

TEST(TranslateKeyRecord, DeliveredRecords) {
    const std::vector<TranslationCase> cases = {
        {"letter", Record(0x41, 'a'), KEY_EVENT('a', 'a', KF_DOWN), 0},
        {"shift+a", Record(0x41, 'A', true, cks::kShift), KEY_EVENT('a', 'A', KF_DOWN | KF_SHIFT),
         0},
        {"ctrl+a", Record(0x41, 0x01, true, cks::kLeftCtrl),
         KEY_EVENT('a', 0x01, KF_DOWN | KF_LCTRL), 0},
        {"right alt+x", Record(0x58, 'x', true, cks::kRightAlt),
         KEY_EVENT('x', 'x', KF_DOWN | KF_RALT), 0},
        {"held three times", Record(0x41, 'a', true, 0, 3), KEY_EVENT('a', 'a', KF_DOWN), 2},
        {"repeat count zero", Record(0x41, 'a', true, 0, 0), KEY_EVENT('a', 'a', KF_DOWN), 0},
        {"F1 has no character", Record(vk::kF1, 0), KEY_EVENT(KC_F1, 0, KF_DOWN), 0},
        {"Backspace", Record(vk::kBack, 0x08), KEY_EVENT(KC_BACK, 0x08, KF_DOWN), 0},
        {"keypad decimal keeps its character", Record(vk::kDecimal, '.'),
         KEY_EVENT(KC_NONE, '.', KF_DOWN), 0},
        {"text without a key", Record(0, U'\u00e9'), KEY_EVENT(KC_NONE, 0xE9, KF_DOWN), 0},
        {"character outside the code page", Record(0, U'\u4e2d'), KEY_EVENT(KC_NONE, '?', KF_DOWN),
         0},
        {"Shift release", Record(vk::kShift, 0, false), KEY_EVENT(KC_SHIFT, 0, 0), 0},
        {"left Shift release", Record(vk::kLShift, 0, false), KEY_EVENT(KC_SHIFT, 0, 0), 0},
        {"Shift press", Record(vk::kShift, 0, true, cks::kShift),
         KEY_EVENT(KC_SHIFT, 0, KF_DOWN | KF_SHIFT), 0},
        {"right Ctrl release", Record(vk::kRControl, 0, false), KEY_EVENT(KC_RCTRL, 0, 0), 0},
        {"Ctrl release", Record(vk::kControl, 0, false), KEY_EVENT(KC_CTRL, 0, 0), 0},
        {"Alt release", Record(vk::kMenu, 0, false), KEY_EVENT(KC_ALT, 0, 0), 0},
        {"right Alt release", Record(vk::kRMenu, 0, false, cks::kLeftCtrl),
         KEY_EVENT(KC_RALT, 0, KF_LCTRL), 0},
        {"lock states", Record(vk::kUp, 0, true, cks::kCapsLock | cks::kNumLock | cks::kScrollLock),
         KEY_EVENT(KC_UP, 0, KF_DOWN | KF_CAPSLOCK | KF_NUMLOCK | KF_SCROLLLOCK), 0},
        {"all modifiers",
         Record(vk::kHome, 0, true,
                cks::kLeftAlt | cks::kRightAlt | cks::kLeftCtrl | cks::kRightCtrl | cks::kShift),
         KEY_EVENT(KC_HOME, 0, KF_DOWN | KF_ALT | KF_CTRL | KF_SHIFT), 0},
        {"enhanced bit not reported", Record(vk::kDelete, 0, true, cks::kEnhanced),
         KEY_EVENT(KC_DEL, 0, KF_DOWN), 0},
        {"unknown control-state bits ignored", Record(vk::kDelete, 0, true, 0xFFFF0000u),
         KEY_EVENT(KC_DEL, 0, KF_DOWN), 0},
    };
    for (const TranslationCase& entry : cases) {
        uint32_t event = 0;
        int extraRepeats = -1;
        ASSERT_TRUE(TranslateKeyRecord(entry.record, Latin1, event, extraRepeats)) << entry.name;
        EXPECT_EQ(event, entry.event) << entry.name << std::hex << ": got 0x" << event;
        EXPECT_EQ(extraRepeats, entry.extraRepeats) << entry.name;
        EXPECT_EQ(event & 0xFE00u, 0u) << entry.name << ": bits 9..15 are always clear";
    }
}

TEST(TranslateKeyRecord, DroppedRecords) {
    const std::vector<std::pair<const char*, KeyRecord>> cases = {
        {"release of a", Record(0x41, 'a', false)},
        {"release of Enter", Record(vk::kReturn, '\r', false)},
        {"release of F1", Record(vk::kF1, 0, false)},
        {"release of text", Record(0, U'\u00e9', false)},
        {"release of a key without a code", Record(vk::kCapital, 0, false)},
        {"virtual key 256", Record(0x100, 'a')},
        {"virtual key 0xFFFF", Record(0xFFFF, 0)},
    };
    for (const auto& [name, record] : cases) {
        uint32_t event = 0xDEADBEEF;
        int extraRepeats = 0;
        EXPECT_FALSE(TranslateKeyRecord(record, Latin1, event, extraRepeats)) << name;
    }
}

TEST(TranslateKeyRecord, WithoutACodePageOnlyAsciiCharactersArrive) {
    uint32_t event = 0;
    int extraRepeats = 0;
    ASSERT_TRUE(TranslateKeyRecord(Record(0x41, 'a'), nullptr, event, extraRepeats));
    EXPECT_EQ(event, KEY_EVENT('a', 'a', KF_DOWN));
    ASSERT_TRUE(TranslateKeyRecord(Record(0, U'\u00e9'), nullptr, event, extraRepeats));
    EXPECT_EQ(event, KEY_EVENT(KC_NONE, 0, KF_DOWN));
}

TEST(TranslateKeyRecord, HeldModifierRepeatsCarryOver) {
    uint32_t event = 0;
    int extraRepeats = 0;
    ASSERT_TRUE(TranslateKeyRecord(Record(vk::kShift, 0, true, cks::kShift, 5), Latin1, event,
                                   extraRepeats));
    EXPECT_EQ(extraRepeats, 4);
}

}  // namespace
}  // namespace kq::console
