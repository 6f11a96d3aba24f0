// Tests of the terminal key decoder: every input protocol, the Esc timeout, replies, and
// malformed input fed whole, split and at random.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "console/KeyDecoder.h"
#include "kq/keys.h"

namespace kq::console {

// Reads the decoder's internals that bound its memory use.
struct KeyDecoderInspector {
    static size_t HeldBytes(const KeyDecoder& decoder) {
        return decoder.pending_.size() - decoder.readOffset_;
    }
};

namespace {

constexpr uint32_t kShift = cks::kShift, kLCtrl = cks::kLeftCtrl, kRCtrl = cks::kRightCtrl;
constexpr uint32_t kLAlt = cks::kLeftAlt, kRAlt = cks::kRightAlt;
constexpr uint32_t kCaps = cks::kCapsLock, kNum = cks::kNumLock;

constexpr uint16_t kVkA = 0x41, kVkC = 0x43, kVkH = 0x48, kVkJ = 0x4A, kVkO = 0x4F;
constexpr uint16_t kVkP = 0x50, kVkX = 0x58, kVkZ = 0x5A, kVkF13 = 0x7C;
constexpr uint16_t kVkKeypadEqual = 0x92;

KeyRecord Key(uint16_t virtualKey, char32_t character, uint32_t controlState = 0) {
    KeyRecord record;
    record.virtualKey = virtualKey;
    record.unicodeChar = character;
    record.controlState = controlState;
    return record;
}

KeyRecord Up(uint16_t virtualKey, char32_t character, uint32_t controlState = 0) {
    KeyRecord record = Key(virtualKey, character, controlState);
    record.keyDown = false;
    return record;
}

KeyRecord Repeated(KeyRecord record, uint16_t repeatCount) {
    record.repeatCount = repeatCount;
    return record;
}

std::string Hex(uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

std::string Describe(const DecodedItem& item) {
    if (const auto* record = std::get_if<KeyRecord>(&item)) {
        return std::string(record->keyDown ? "press" : "release") +
               " vk=" + Hex(record->virtualKey, 2) + " ch=U+" + Hex(record->unicodeChar, 4) +
               " cs=" + Hex(record->controlState, 3) + " rc=" + std::to_string(record->repeatCount);
    }
    if (const auto* flags = std::get_if<KittyFlagsReply>(&item)) {
        return "kitty flags " + std::to_string(flags->flags);
    }
    if (std::holds_alternative<DeviceAttributesReply>(item)) return "device attributes";
    if (const auto* paste = std::get_if<PastedText>(&item)) {
        return "paste [" + paste->bytes + "]" + (paste->cut ? " cut" : "");
    }
    const auto& report = std::get<CursorPositionReply>(item);
    return "cursor at " + std::to_string(report.row) + ";" + std::to_string(report.column);
}

std::vector<std::string> Describe(const std::vector<DecodedItem>& items) {
    std::vector<std::string> lines;
    for (const DecodedItem& item : items) lines.push_back(Describe(item));
    return lines;
}

void Drain(KeyDecoder& decoder, std::vector<DecodedItem>& items) {
    DecodedItem item;
    while (decoder.Next(item) == KeyDecoder::Result::kItem) items.push_back(item);
}

// Everything the bytes decode to once the Esc timeout has passed after them.
std::vector<DecodedItem> DecodeAll(std::string_view bytes, bool awaitingCursorReport = false) {
    KeyDecoder decoder;
    decoder.SetAwaitingCursorReport(awaitingCursorReport);
    decoder.Push(bytes);
    std::vector<DecodedItem> items;
    Drain(decoder, items);
    decoder.Expire();
    Drain(decoder, items);
    return items;
}

std::vector<std::string> Decoded(std::string_view bytes) {
    return Describe(DecodeAll(bytes));
}

std::vector<std::string> Expected(const std::vector<DecodedItem>& items) {
    return Describe(items);
}

uint8_t Latin1(char32_t character) {
    return character < 0x100 ? static_cast<uint8_t>(character) : '?';
}

std::string DescribeEvent(uint32_t event) {
    return "code=" + Hex(KEY_CODE(event), 2) + " ch=" + Hex(KEY_CHAR(event), 2) +
           " flags=" + Hex(KEY_FLAGS(event), 3);
}

// The events ConInput would deliver for the bytes, repeats included.
std::vector<std::string> Events(std::string_view bytes) {
    std::vector<std::string> events;
    for (const DecodedItem& item : DecodeAll(bytes)) {
        const auto* record = std::get_if<KeyRecord>(&item);
        if (!record) continue;
        uint32_t event = 0;
        int extraRepeats = 0;
        if (!TranslateKeyRecord(*record, Latin1, event, extraRepeats)) continue;
        for (int i = 0; i <= extraRepeats; ++i) events.push_back(DescribeEvent(event));
    }
    return events;
}

std::vector<std::string> EventList(const std::vector<uint32_t>& events) {
    std::vector<std::string> lines;
    for (uint32_t event : events) lines.push_back(DescribeEvent(event));
    return lines;
}

std::string Escaped(std::string_view bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        if (byte == 0x1B) {
            text += "\\e";
        } else if (byte < 0x20 || byte >= 0x7F) {
            text += "\\x" + Hex(byte, 2);
        } else {
            text += static_cast<char>(byte);
        }
    }
    return text;
}

struct RecordCase {
    std::string bytes;
    std::vector<DecodedItem> expected;
};

void ExpectRecords(const std::vector<RecordCase>& cases) {
    for (const RecordCase& entry : cases) {
        EXPECT_EQ(Decoded(entry.bytes), Expected(entry.expected)) << Escaped(entry.bytes);
    }
}

struct EventCase {
    std::string bytes;
    std::vector<uint32_t> events;
};

void ExpectEvents(const std::vector<EventCase>& cases) {
    for (const EventCase& entry : cases) {
        EXPECT_EQ(Events(entry.bytes), EventList(entry.events)) << Escaped(entry.bytes);
    }
}

uint32_t Press(uint8_t code, uint8_t character, uint32_t flags = 0) {
    return KEY_EVENT(code, character, KF_DOWN | flags);
}

// The xterm/kitty modifier parameters 2..8 and what each means.
struct ModifierCombination {
    int parameter;
    uint32_t keyFlags;
    uint32_t controlState;
};

const std::vector<ModifierCombination> kModifierCombinations = {
    {2, KF_SHIFT, kShift},
    {3, KF_LALT, kLAlt},
    {4, KF_SHIFT | KF_LALT, kShift | kLAlt},
    {5, KF_LCTRL, kLCtrl},
    {6, KF_SHIFT | KF_LCTRL, kShift | kLCtrl},
    {7, KF_LALT | KF_LCTRL, kLAlt | kLCtrl},
    {8, KF_SHIFT | KF_LALT | KF_LCTRL, kShift | kLAlt | kLCtrl},
};

// ---------------------------------------------------------------------------------------------
// Plain bytes: text, C0 controls, UTF-8.

TEST(KeyDecoderBytes, PrintableAsciiIsItsUsLayoutKey) {
    ExpectRecords({
        {"a", {Key(kVkA, 'a')}},
        {"A", {Key(kVkA, 'A', kShift)}},
        {"z", {Key(kVkZ, 'z')}},
        {"0", {Key('0', '0')}},
        {"!", {Key('1', '!', kShift)}},
        {"@", {Key('2', '@', kShift)}},
        {"^", {Key('6', '^', kShift)}},
        {" ", {Key(vk::kSpace, ' ')}},
        {";", {Key(vk::kOem1, ';')}},
        {":", {Key(vk::kOem1, ':', kShift)}},
        {"=", {Key(vk::kOemPlus, '=')}},
        {"+", {Key(vk::kOemPlus, '+', kShift)}},
        {"`", {Key(vk::kOem3, '`')}},
        {"~", {Key(vk::kOem3, '~', kShift)}},
        {"'", {Key(vk::kOem7, '\'')}},
        {"\"", {Key(vk::kOem7, '"', kShift)}},
        {"\\", {Key(vk::kOem5, '\\')}},
        {"|", {Key(vk::kOem5, '|', kShift)}},
        {"{", {Key(vk::kOem4, '{', kShift)}},
        {"]", {Key(vk::kOem6, ']')}},
        {"<", {Key(vk::kOemComma, '<', kShift)}},
        {"?", {Key(vk::kOem2, '?', kShift)}},
        {"_", {Key(vk::kOemMinus, '_', kShift)}},
        {"ab", {Key(kVkA, 'a'), Key(0x42, 'b')}},
    });
}

TEST(KeyDecoderBytes, EveryPrintableAsciiCharacterArrivesAsTyped) {
    for (int byte = 0x20; byte < 0x7F; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        const std::vector<DecodedItem> items = DecodeAll(bytes);
        ASSERT_EQ(items.size(), 1u) << bytes;
        const KeyRecord& record = std::get<KeyRecord>(items[0]);
        EXPECT_NE(record.virtualKey, 0) << bytes;
        EXPECT_EQ(record.unicodeChar, static_cast<char32_t>(byte)) << bytes;
        uint32_t event = 0;
        int extraRepeats = 0;
        ASSERT_TRUE(TranslateKeyRecord(record, Latin1, event, extraRepeats)) << bytes;
        EXPECT_EQ(KEY_CHAR(event), static_cast<uint32_t>(byte)) << bytes;
        EXPECT_NE(KEY_CODE(event), KC_NONE) << bytes;
    }
}

TEST(KeyDecoderBytes, ControlBytes) {
    ExpectRecords({
        {"\x7f", {Key(vk::kBack, 0x08)}},
        {"\x08", {Key(kVkH, 0x08, kLCtrl)}},
        {"\t", {Key(vk::kTab, '\t')}},
        {"\r", {Key(vk::kReturn, '\r')}},
        {"\n", {Key(kVkJ, '\n', kLCtrl)}},
        {"\x01", {Key(kVkA, 0x01, kLCtrl)}},
        {"\x1a", {Key(kVkZ, 0x1A, kLCtrl)}},
        {std::string(1, '\0'), {Key(vk::kSpace, 0, kLCtrl)}},
        {"\x1c", {Key(vk::kOem5, 0x1C, kLCtrl)}},
        {"\x1d", {Key(vk::kOem6, 0x1D, kLCtrl)}},
        {"\x1e", {Key('6', 0x1E, kLCtrl)}},
        {"\x1f", {Key(vk::kOemMinus, 0x1F, kLCtrl)}},
    });
}

TEST(KeyDecoderBytes, CtrlLettersAreLettersWithCtrl) {
    for (int letter = 0; letter < 26; ++letter) {
        const auto byte = static_cast<uint8_t>(letter + 1);
        if (byte == '\t' || byte == '\r') continue;  // the Tab and Enter keys themselves
        const std::string bytes(1, static_cast<char>(byte));
        EXPECT_EQ(Events(bytes),
                  EventList({Press(static_cast<uint8_t>('a' + letter), byte, KF_LCTRL)}))
            << "Ctrl+" << static_cast<char>('A' + letter);
    }
}

TEST(KeyDecoderBytes, BackspaceAndCtrlHAreDifferentKeys) {
    ExpectEvents({
        {"\x7f", {Press(KC_BACK, 0x08)}},
        {"\x08", {Press('h', 0x08, KF_LCTRL)}},
        {"\t", {Press(KC_TAB, '\t')}},
        {"\r", {Press(KC_ENTER, '\r')}},
        {"\x1b", {Press(KC_ESC, 0x1B)}},
        {" ", {Press(KC_SPACE, ' ')}},
    });
}

// Terminals whose erase character is ^H: Backspace toggled hidden files as Ctrl+H.
TEST(KeyDecoderBytes, TheTerminalsEraseCharacterIsBackspace) {
    KeyDecoder decoder;
    decoder.SetEraseCharacter(0x08);
    decoder.Push("\x08\x1b\x08\x7f");
    std::vector<DecodedItem> items;
    Drain(decoder, items);
    EXPECT_EQ(Describe(items),
              Expected({Key(0x08, 0x08), Key(0x08, 0x08, kLAlt), Key(0x08, 0x08)}));
}

TEST(KeyDecoderBytes, Utf8TextIsCharactersWithoutAKey) {
    ExpectRecords({
        {"\xc3\xa9", {Key(0, U'\u00e9')}},
        {"\xd0\x96", {Key(0, U'\u0416')}},
        {"\xe4\xb8\xad", {Key(0, U'\u4e2d')}},
        {"\xf0\x9f\x98\x80", {Key(0, U'\U0001F600')}},
        {"\xf4\x8f\xbf\xbf", {Key(0, U'\U0010FFFF')}},
        {"a\xc3\xa9z", {Key(kVkA, 'a'), Key(0, U'\u00e9'), Key(kVkZ, 'z')}},
    });
    ExpectEvents({
        {"\xc3\xa9", {Press(KC_NONE, 0xE9)}},
        {"\xe4\xb8\xad", {Press(KC_NONE, '?')}},
    });
}

TEST(KeyDecoderBytes, InvalidUtf8IsDropped) {
    ExpectRecords({
        {"\x80"
         "a",
         {Key(kVkA, 'a')}},  // stray continuation byte
        {"\xc0\x80"
         "a",
         {Key(kVkA, 'a')}},        // overlong NUL
        {"\xc1\xbf", {}},          // overlong '?'
        {"\xe0\x80\x80", {}},      // overlong three-byte form
        {"\xf0\x80\x80\x80", {}},  // overlong four-byte form
        {"\xed\xa0\x80", {}},      // a UTF-16 surrogate
        {"\xf4\x90\x80\x80", {}},  // beyond U+10FFFF
        {"\xf5\x80\x80\x80", {}},  // lead byte of no character
        {"\xff\xfe", {}},          // never in UTF-8
        {"\xc2\x80", {}},          // U+0080, a C1 control
        {"\xe4\xb8"
         "a",
         {Key(kVkA, 'a')}},                     // cut short by the next character
        {"\xe4\xb8\x1b[A", {Key(vk::kUp, 0)}},  // cut short by a sequence
        {"\xc3\xa9\xc3", {Key(0, U'\u00e9')}},  // the last one truncated
    });
}

// ---------------------------------------------------------------------------------------------
// Legacy xterm sequences.

TEST(KeyDecoderLegacy, FunctionKeysInEveryEncoding) {
    struct FunctionKeyEncodings {
        uint8_t code;
        std::vector<std::string> encodings;
    };
    const std::vector<FunctionKeyEncodings> keys = {
        {KC_F1, {"\x1bOP", "\x1b[P", "\x1b[11~", "\x1b[[A", "\x1b[1P"}},
        {KC_F2, {"\x1bOQ", "\x1b[Q", "\x1b[12~", "\x1b[[B"}},
        {KC_F3, {"\x1bOR", "\x1b[R", "\x1b[13~", "\x1b[[C"}},
        {KC_F4, {"\x1bOS", "\x1b[S", "\x1b[14~", "\x1b[[D"}},
        {KC_F5, {"\x1b[15~", "\x1b[[E"}},
        {KC_F6, {"\x1b[17~"}},
        {KC_F7, {"\x1b[18~"}},
        {KC_F8, {"\x1b[19~"}},
        {KC_F9, {"\x1b[20~"}},
        {KC_F10, {"\x1b[21~"}},
        {KC_F11, {"\x1b[23~"}},
        {KC_F12, {"\x1b[24~"}},
    };
    for (const FunctionKeyEncodings& key : keys) {
        for (const std::string& bytes : key.encodings) {
            EXPECT_EQ(Events(bytes), EventList({Press(key.code, 0)})) << Escaped(bytes);
        }
    }
}

TEST(KeyDecoderLegacy, FunctionKeysWithEveryModifier) {
    const std::vector<std::pair<std::string, std::string>> f1ToF4 = {
        {"P", "11"}, {"Q", "12"}, {"R", "13"}, {"S", "14"}};
    const std::vector<std::string> f5ToF12 = {"15", "17", "18", "19", "20", "21", "23", "24"};
    for (const ModifierCombination& modifiers : kModifierCombinations) {
        const std::string m = std::to_string(modifiers.parameter);
        for (size_t i = 0; i < f1ToF4.size(); ++i) {
            const auto code = static_cast<uint8_t>(KC_F1 + i);
            const auto expected = EventList({Press(code, 0, modifiers.keyFlags)});
            for (const std::string& bytes :
                 {"\x1b[1;" + m + f1ToF4[i].first, "\x1bO" + m + f1ToF4[i].first,
                  "\x1b[" + f1ToF4[i].second + ";" + m + "~"}) {
                EXPECT_EQ(Events(bytes), expected) << Escaped(bytes);
            }
        }
        for (size_t i = 0; i < f5ToF12.size(); ++i) {
            const auto code = static_cast<uint8_t>(KC_F5 + i);
            const std::string bytes = "\x1b[" + f5ToF12[i] + ";" + m + "~";
            EXPECT_EQ(Events(bytes), EventList({Press(code, 0, modifiers.keyFlags)}))
                << Escaped(bytes);
        }
    }
}

TEST(KeyDecoderLegacy, FunctionKeysPastF12HaveNoCode) {
    ExpectRecords({
        {"\x1b[25~", {Key(kVkF13, 0)}},
        {"\x1b[34;2~", {Key(kVkF13 + 7, 0, kShift)}},
        {"\x1b[57376u", {Key(kVkF13, 0)}},
        {"\x1b[57387;5u", {Key(kVkF13 + 11, 0, kLCtrl)}},
    });
    ExpectEvents({{"\x1b[25~", {Press(KC_NONE, 0)}}});
}

struct BlockKey {
    std::vector<std::string> plainEncodings;
    std::string modifiedPrefix, modifiedSuffix;  // modifier parameter goes between
    uint8_t code;
};

const std::vector<BlockKey> kCursorBlock = {
    {{"\x1b[A", "\x1bOA"}, "\x1b[1;", "A", KC_UP},
    {{"\x1b[B", "\x1bOB"}, "\x1b[1;", "B", KC_DOWN},
    {{"\x1b[C", "\x1bOC"}, "\x1b[1;", "C", KC_RIGHT},
    {{"\x1b[D", "\x1bOD"}, "\x1b[1;", "D", KC_LEFT},
    {{"\x1b[H", "\x1bOH", "\x1b[1~", "\x1b[7~"}, "\x1b[1;", "H", KC_HOME},
    {{"\x1b[F", "\x1bOF", "\x1b[4~", "\x1b[8~"}, "\x1b[1;", "F", KC_END},
    {{"\x1b[2~"}, "\x1b[2;", "~", KC_INS},
    {{"\x1b[3~"}, "\x1b[3;", "~", KC_DEL},
    {{"\x1b[5~"}, "\x1b[5;", "~", KC_PGUP},
    {{"\x1b[6~"}, "\x1b[6;", "~", KC_PGDN},
};

TEST(KeyDecoderLegacy, CursorBlockUnmodified) {
    for (const BlockKey& key : kCursorBlock) {
        for (const std::string& bytes : key.plainEncodings) {
            EXPECT_EQ(Events(bytes), EventList({Press(key.code, 0)})) << Escaped(bytes);
        }
    }
}

TEST(KeyDecoderLegacy, CursorBlockWithEveryModifier) {
    for (const BlockKey& key : kCursorBlock) {
        for (const ModifierCombination& modifiers : kModifierCombinations) {
            const std::string bytes =
                key.modifiedPrefix + std::to_string(modifiers.parameter) + key.modifiedSuffix;
            EXPECT_EQ(Events(bytes), EventList({Press(key.code, 0, modifiers.keyFlags)}))
                << Escaped(bytes);
            // Alt as an ESC prefix adds to what the sequence says.
            EXPECT_EQ(Events("\x1b" + bytes),
                      EventList({Press(key.code, 0, modifiers.keyFlags | KF_LALT)}))
                << Escaped("\x1b" + bytes);
        }
    }
}

TEST(KeyDecoderLegacy, ApplicationKeypad) {
    ExpectEvents({
        {"\x1bOp", {Press(KC_NUM0, '0')}},
        {"\x1bOq", {Press(KC_NUM1, '1')}},
        {"\x1bOu", {Press(KC_NUM5, '5')}},
        {"\x1bOy", {Press(KC_NUM9, '9')}},
        {"\x1bOj", {Press(KC_NUMMUL, '*')}},
        {"\x1bOk", {Press(KC_NUMADD, '+')}},
        {"\x1bOm", {Press(KC_NUMSUB, '-')}},
        {"\x1bOo", {Press(KC_NUMDIV, '/')}},
        {"\x1bOM", {Press(KC_ENTER, '\r')}},
        {"\x1bOn", {Press(KC_NONE, '.')}},
        {"\x1bOX", {Press(KC_NONE, '=')}},
        {"\x1bOl", {Press(KC_NONE, ',')}},
        {"\x1bO5k", {Press(KC_NUMADD, 0, KF_LCTRL)}},
        {"\x1bO2j", {Press(KC_NUMMUL, '*', KF_SHIFT)}},
        {"\x1bO3M", {Press(KC_ENTER, '\r', KF_LALT)}},
        {"\x1bO5M", {Press(KC_ENTER, '\n', KF_LCTRL)}},
        {"\x1b\x1bOk", {Press(KC_NUMADD, '+', KF_LALT)}},
    });
    ExpectRecords({
        {"\x1bOp", {Key(vk::kNumpad0, '0')}},
        {"\x1bOn", {Key(vk::kDecimal, '.')}},
        {"\x1bOX", {Key(kVkKeypadEqual, '=')}},
        {"\x1bOl", {Key(vk::kSeparator, ',')}},
        {"\x1bOE", {Key(vk::kClear, 0)}},
        {"\x1b[E", {Key(vk::kClear, 0)}},
        {"\x1b[G", {Key(vk::kClear, 0)}},
    });
}

TEST(KeyDecoderLegacy, ShiftTab) {
    ExpectEvents({
        {"\x1b[Z", {Press(KC_TAB, '\t', KF_SHIFT)}},
        {"\x1b\x1b[Z", {Press(KC_TAB, '\t', KF_SHIFT | KF_LALT)}},
        {"\x1b[1;5Z", {Press(KC_TAB, '\t', KF_SHIFT | KF_LCTRL)}},
    });
}

// ---------------------------------------------------------------------------------------------
// ESC as the Alt prefix, and what the Esc timeout resolves.

TEST(KeyDecoderAlt, EscPrefixAddsAlt) {
    ExpectRecords({
        {"\x1b"
         "a",
         {Key(kVkA, 'a', kLAlt)}},
        {"\x1b"
         "A",
         {Key(kVkA, 'A', kShift | kLAlt)}},
        {"\x1bx", {Key(kVkX, 'x', kLAlt)}},
        {"\x1b"
         "1",
         {Key('1', '1', kLAlt)}},
        {"\x1b;", {Key(vk::kOem1, ';', kLAlt)}},
        {"\x1b\x7f", {Key(vk::kBack, 0x08, kLAlt)}},
        {"\x1b\x01", {Key(kVkA, 0x01, kLAlt | kLCtrl)}},
        {"\x1b\r", {Key(vk::kReturn, '\r', kLAlt)}},
        {"\x1b\t", {Key(vk::kTab, '\t', kLAlt)}},
        {"\x1b ", {Key(vk::kSpace, ' ', kLAlt)}},
        {"\x1b\xc3\xa9", {Key(0, U'\u00e9', kLAlt)}},
        {"\x1b]x", {Key(vk::kOem6, ']', kLAlt), Key(kVkX, 'x')}},
        {"\x1bPx", {Key(kVkP, 'P', kShift | kLAlt), Key(kVkX, 'x')}},
        {"\x1b_x", {Key(vk::kOemMinus, '_', kShift | kLAlt), Key(kVkX, 'x')}},
        {"\x1bO\x01", {Key(kVkO, 'O', kShift | kLAlt), Key(kVkA, 0x01, kLCtrl)}},
        {"\x1b[\x7f", {Key(vk::kOem4, '[', kLAlt), Key(vk::kBack, 0x08)}},
        // Alt+] or Alt+Shift+P typed quickly before more keys: no reply holds a control byte.
        {"\x1b]1\r", {Key(vk::kOem6, ']', kLAlt), Key('1', '1'), Key(vk::kReturn, '\r')}},
        {"\x1bP1x\x7f",
         {Key(kVkP, 'P', kShift | kLAlt), Key('1', '1'), Key(kVkX, 'x'), Key(vk::kBack, 0x08)}},
    });
    ExpectEvents({
        {"\x1b"
         "a",
         {Press('a', 'a', KF_LALT)}},
        {"\x1b\x7f", {Press(KC_BACK, 0x08, KF_LALT)}},
        {"\x1b\x1b[A", {Press(KC_UP, 0, KF_LALT)}},
    });
}

TEST(KeyDecoderAlt, DoubleEscape) {
    ExpectRecords({
        {"\x1b\x1b", {Key(vk::kEscape, 0x1B), Key(vk::kEscape, 0x1B)}},
        {"\x1b\x1b"
         "a",
         {Key(vk::kEscape, 0x1B), Key(kVkA, 'a', kLAlt)}},
        {"\x1b\x1b[A", {Key(vk::kUp, 0, kLAlt)}},
        {"\x1b\x1bOP", {Key(vk::kF1, 0, kLAlt)}},
        {"\x1b\x1b[1;5A", {Key(vk::kUp, 0, kLCtrl | kLAlt)}},
        {"\x1b\x1b[", {Key(vk::kEscape, 0x1B), Key(vk::kOem4, '[', kLAlt)}},
        {"\x1b\x1b\x1b", {Key(vk::kEscape, 0x1B), Key(vk::kEscape, 0x1B), Key(vk::kEscape, 0x1B)}},
        // A reply or an unknown sequence after ESC: the ESC was the Esc key.
        {"\x1b\x1b[?1u", {Key(vk::kEscape, 0x1B), KittyFlagsReply{1}}},
        {"\x1b\x1b[5n", {Key(vk::kEscape, 0x1B)}},
        {"\x1b\x1b]0;t\x07", {Key(vk::kEscape, 0x1B)}},
        // A win32-input-mode record is whole; an ESC before it is a key of its own.
        {"\x1b\x1b[65;0;97;1;0;1_", {Key(vk::kEscape, 0x1B), Key(kVkA, 'a')}},
    });
}

TEST(KeyDecoderAlt, ExpireResolvesWhatIsPending) {
    ExpectRecords({
        {"\x1b", {Key(vk::kEscape, 0x1B)}},
        {"\x1b[", {Key(vk::kOem4, '[', kLAlt)}},
        {"\x1bO", {Key(kVkO, 'O', kShift | kLAlt)}},
        {"\x1bP", {Key(kVkP, 'P', kShift | kLAlt)}},
        {"\x1b]", {Key(vk::kOem6, ']', kLAlt)}},
        {"\x1b_", {Key(vk::kOemMinus, '_', kShift | kLAlt)}},
        {"\x1b[1;5", {}},
        {"\x1b[[", {}},
        {"\x1bO5", {}},
        {"\x1b]0;title", {}},
        {"\x1b\xe4\xb8", {}},
        {"\xe4\xb8", {}},
        {"\x1b\x1b[1", {}},
    });
}

TEST(KeyDecoderAlt, NeedMoreExactlyWhileASequenceMayContinue) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"\x1b", true},
        {"\x1b[", true},
        {"\x1b[1", true},
        {"\x1b[1;", true},
        {"\x1b[1;5", true},
        {"\x1bO", true},
        {"\x1bO5", true},
        {"\x1b\x1b", true},
        {"\x1b\x1b[", true},
        {"\x1b\x1b[1", true},
        {"\x1b]", true},
        {"\x1b]1", true},
        {"\x1bP", true},
        {"\x1bP1$r", true},
        {"\x1b[[", true},
        {"\xc3", true},
        {"\xf0\x9f\x98", true},
        {"\x1b\xc3", true},
        {"\x1b]0;x\x1b", true},
        {"a", false},
        {"\x1b"
         "a",
         false},
        {"\x1b[A", false},
        {"\x1b]x", false},
        {"\x80", false},
    };
    for (const auto& [bytes, needMore] : cases) {
        KeyDecoder decoder;
        decoder.Push(bytes);
        std::vector<DecodedItem> items;
        DecodedItem item;
        KeyDecoder::Result result;
        while ((result = decoder.Next(item)) == KeyDecoder::Result::kItem) items.push_back(item);
        if (needMore) {
            EXPECT_EQ(result, KeyDecoder::Result::kNeedMore) << Escaped(bytes);
            EXPECT_TRUE(items.empty()) << Escaped(bytes);
            EXPECT_TRUE(decoder.HasPendingBytes()) << Escaped(bytes);
        } else {
            EXPECT_EQ(result, KeyDecoder::Result::kEmpty) << Escaped(bytes);
            EXPECT_FALSE(decoder.HasPendingBytes()) << Escaped(bytes);
        }
        decoder.Expire();
        EXPECT_FALSE(decoder.HasPendingBytes()) << Escaped(bytes);
        Drain(decoder, items);
        EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kEmpty) << Escaped(bytes);
    }
}

TEST(KeyDecoderAlt, MoreBytesAfterAWaitContinueTheSequence) {
    KeyDecoder decoder;
    DecodedItem item;
    decoder.Push("\x1b");
    EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kNeedMore);
    decoder.Push("[");
    EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kNeedMore);
    decoder.Push("A");
    ASSERT_EQ(decoder.Next(item), KeyDecoder::Result::kItem);
    EXPECT_EQ(Describe(item), Describe(Key(vk::kUp, 0)));
    EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kEmpty);
}

TEST(KeyDecoderAlt, ExpireDecodesCompleteInputBeforeResolving) {
    KeyDecoder decoder;
    decoder.Push("a\x1b[Bb\x1b");
    decoder.Expire();
    std::vector<DecodedItem> items;
    Drain(decoder, items);
    EXPECT_EQ(Describe(items), Expected({Key(kVkA, 'a'), Key(vk::kDown, 0), Key(0x42, 'b'),
                                         Key(vk::kEscape, 0x1B)}));
}

// ---------------------------------------------------------------------------------------------
// The kitty keyboard protocol.

TEST(KeyDecoderKitty, TextKeys) {
    ExpectRecords({
        {"\x1b[97u", {Key(kVkA, 'a')}},
        {"\x1b[97;;97u", {Key(kVkA, 'a')}},
        {"\x1b[97;1;97u", {Key(kVkA, 'a')}},
        {"\x1b[97;2u", {Key(kVkA, 'A', kShift)}},
        {"\x1b[97:65;2;65u", {Key(kVkA, 'A', kShift)}},
        {"\x1b[97;5u", {Key(kVkA, 0x01, kLCtrl)}},
        {"\x1b[97;6u", {Key(kVkA, 0x01, kShift | kLCtrl)}},
        {"\x1b[97;3u", {Key(kVkA, 'a', kLAlt)}},
        {"\x1b[97;4u", {Key(kVkA, 'A', kShift | kLAlt)}},
        {"\x1b[97;7u", {Key(kVkA, 0x01, kLAlt | kLCtrl)}},
        {"\x1b[97;9u", {Key(kVkA, 'a')}},  // Super has no Windows counterpart
        {"\x1b[49;2u", {Key('1', '!', kShift)}},
        {"\x1b[49:33;2;33u", {Key('1', '!', kShift)}},
        {"\x1b[59;2u", {Key(vk::kOem1, ':', kShift)}},
        {"\x1b[91;5u", {Key(vk::kOem4, 0x1B, kLCtrl)}},
        {"\x1b[92;5u", {Key(vk::kOem5, 0x1C, kLCtrl)}},
        {"\x1b[93;5u", {Key(vk::kOem6, 0x1D, kLCtrl)}},
        {"\x1b[54;6u", {Key('6', 0x1E, kShift | kLCtrl)}},
        {"\x1b[45;6u", {Key(vk::kOemMinus, 0x1F, kShift | kLCtrl)}},
        {"\x1b[50;5u", {Key('2', 0, kLCtrl)}},
        {"\x1b[49;5u", {Key('1', 0, kLCtrl)}},
        {"\x1b[32u", {Key(vk::kSpace, ' ')}},
        {"\x1b[32;5u", {Key(vk::kSpace, 0, kLCtrl)}},
    });
}

TEST(KeyDecoderKitty, KeysWithoutText) {
    ExpectRecords({
        {"\x1b[27u", {Key(vk::kEscape, 0x1B)}},
        {"\x1b[13u", {Key(vk::kReturn, '\r')}},
        {"\x1b[13;5u", {Key(vk::kReturn, '\n', kLCtrl)}},
        {"\x1b[13;3u", {Key(vk::kReturn, '\r', kLAlt)}},
        {"\x1b[9u", {Key(vk::kTab, '\t')}},
        {"\x1b[9;2u", {Key(vk::kTab, '\t', kShift)}},
        {"\x1b[127u", {Key(vk::kBack, 0x08)}},
        {"\x1b[127;5u", {Key(vk::kBack, 0x7F, kLCtrl)}},
        {"\x1b[A", {Key(vk::kUp, 0)}},
        {"\x1b[1;5A", {Key(vk::kUp, 0, kLCtrl)}},
        {"\x1b[2;3~", {Key(vk::kInsert, 0, kLAlt)}},
        {"\x1b[13;2~", {Key(vk::kF1 + 2, 0, kShift)}},
        {"\x1b[57427~", {Key(vk::kClear, 0)}},
        {"\x1b[57358;65u", {Key(vk::kCapital, 0, kCaps)}},
        {"\x1b[57359u", {Key(vk::kScroll, 0)}},
        {"\x1b[57360;129u", {Key(vk::kNumLock, 0, kNum)}},
        {"\x1b[57361u", {Key(vk::kSnapshot, 0)}},
        {"\x1b[57362u", {Key(vk::kPause, 0)}},
        {"\x1b[57363u", {Key(vk::kApps, 0)}},
        {"\x1b[57444;9u", {Key(vk::kLeftWin, 0)}},
    });
}

TEST(KeyDecoderKitty, KeysWindowsCannotNameAreDropped) {
    ExpectRecords({
        {"\x1b[57428u", {}},     // media play
        {"\x1b[57440u", {}},     // mute
        {"\x1b[57445;17u", {}},  // left hyper
        {"\x1b[57453u", {}},     // level-3 shift
        {"\x1b[57388u", {}},     // F25
        {"\x1b[63743u", {}},     // the last private-use code
        {"\x1b[1114112u", {}},   // beyond Unicode
        {"\x1b[55296u", {}},     // a surrogate
        {"\x1b[0u", {}},         // no key and no text
        {"\x1b[97;1:4u", {}},    // no such event type
        {"\x1b[97;300u", {}},    // no such modifiers
    });
}

TEST(KeyDecoderKitty, EventTypes) {
    ExpectRecords({
        {"\x1b[97;1:1u", {Key(kVkA, 'a')}},
        {"\x1b[97;1:2u", {Key(kVkA, 'a')}},
        {"\x1b[97;1:3u", {Up(kVkA, 'a')}},
        {"\x1b[97;5:3u", {Up(kVkA, 0x01, kLCtrl)}},
        {"\x1b[1;1:3A", {Up(vk::kUp, 0)}},
        {"\x1b[3;1:3~", {Up(vk::kDelete, 0)}},
        {"\x1b[13;1:2u", {Key(vk::kReturn, '\r')}},
    });
    // Repeats are presses; releases of ordinary keys reach no one.
    ExpectEvents({
        {"\x1b[97u\x1b[97;1:2u\x1b[97;1:2u\x1b[97;1:3u",
         {Press('a', 'a'), Press('a', 'a'), Press('a', 'a')}},
        {"\x1b[1;5:3A", {}},
    });
}

TEST(KeyDecoderKitty, LockStates) {
    ExpectRecords({
        {"\x1b[97;65;65u", {Key(kVkA, 'A', kCaps)}},
        {"\x1b[97;65u", {Key(kVkA, 'A', kCaps)}},
        {"\x1b[97;66u", {Key(kVkA, 'a', kShift | kCaps)}},
        {"\x1b[49;65u", {Key('1', '1', kCaps)}},
        {"\x1b[97;129u", {Key(kVkA, 'a', kNum)}},
        {"\x1b[57400;129;49u", {Key(vk::kNumpad0 + 1, '1', kNum)}},
        {"\x1b[1;193A", {Key(vk::kUp, 0, kCaps | kNum)}},
    });
    ExpectEvents({
        {"\x1b[97;65u", {Press('a', 'A', KF_CAPSLOCK)}},
        {"\x1b[1;129B", {Press(KC_DOWN, 0, KF_NUMLOCK)}},
    });
}

TEST(KeyDecoderKitty, ModifierKeysLeftAndRight) {
    ExpectRecords({
        {"\x1b[57441;2u\x1b[57441;1:3u", {Key(vk::kLShift, 0, kShift), Up(vk::kLShift, 0)}},
        {"\x1b[57447;2u\x1b[57447;1:3u", {Key(vk::kRShift, 0, kShift), Up(vk::kRShift, 0)}},
        // Terminals that report the state before the event say the same thing.
        {"\x1b[57441u\x1b[57441;2:3u", {Key(vk::kLShift, 0, kShift), Up(vk::kLShift, 0)}},
        {"\x1b[57442;5u\x1b[57442;1:3u", {Key(vk::kLControl, 0, kLCtrl), Up(vk::kLControl, 0)}},
        {"\x1b[57448;5u\x1b[57448;1:3u", {Key(vk::kRControl, 0, kRCtrl), Up(vk::kRControl, 0)}},
        {"\x1b[57443;3u\x1b[57443;1:3u", {Key(vk::kLMenu, 0, kLAlt), Up(vk::kLMenu, 0)}},
        {"\x1b[57449;3u\x1b[57449;1:3u", {Key(vk::kRMenu, 0, kRAlt), Up(vk::kRMenu, 0)}},
        {"\x1b[57448;5u\x1b[97;5u\x1b[57448;1:3u\x1b[97;5u",
         {Key(vk::kRControl, 0, kRCtrl), Key(kVkA, 0x01, kRCtrl), Up(vk::kRControl, 0),
          Key(kVkA, 0x01, kLCtrl)}},
        {"\x1b[57449;3u\x1b[120;3u", {Key(vk::kRMenu, 0, kRAlt), Key(kVkX, 'x', kRAlt)}},
        {"\x1b[57442;5u\x1b[57448;5u\x1b[97;5u",
         {Key(vk::kLControl, 0, kLCtrl), Key(vk::kRControl, 0, kLCtrl | kRCtrl),
          Key(kVkA, 0x01, kLCtrl | kRCtrl)}},
        // Releasing one Ctrl while the other stays down leaves Ctrl held.
        {"\x1b[57442;5u\x1b[57448;5u\x1b[57442;5:3u",
         {Key(vk::kLControl, 0, kLCtrl), Key(vk::kRControl, 0, kLCtrl | kRCtrl),
          Up(vk::kLControl, 0, kRCtrl)}},
        // Shift held while right Ctrl goes down.
        {"\x1b[57441;2u\x1b[57448;6u",
         {Key(vk::kLShift, 0, kShift), Key(vk::kRControl, 0, kShift | kRCtrl)}},
        // Legacy sequences in between still say right Ctrl.
        {"\x1b[57448;5u\x1b[1;5A", {Key(vk::kRControl, 0, kRCtrl), Key(vk::kUp, 0, kRCtrl)}},
        // The held right Alt also applies to an ESC prefix.
        {"\x1b[57449;3u\x1b\x1b[A", {Key(vk::kRMenu, 0, kRAlt), Key(vk::kUp, 0, kRAlt)}},
    });
    ExpectEvents({
        {"\x1b[57441;2u\x1b[57441;1:3u", {Press(KC_SHIFT, 0, KF_SHIFT), KEY_EVENT(KC_SHIFT, 0, 0)}},
        {"\x1b[57448;5u\x1b[57448;1:3u", {Press(KC_RCTRL, 0, KF_RCTRL), KEY_EVENT(KC_RCTRL, 0, 0)}},
        {"\x1b[57449;3u\x1b[57449;1:3u", {Press(KC_RALT, 0, KF_RALT), KEY_EVENT(KC_RALT, 0, 0)}},
        {"\x1b[57442;5u\x1b[57442;1:3u", {Press(KC_CTRL, 0, KF_LCTRL), KEY_EVENT(KC_CTRL, 0, 0)}},
        {"\x1b[57443;3u\x1b[57443;1:3u", {Press(KC_ALT, 0, KF_LALT), KEY_EVENT(KC_ALT, 0, 0)}},
    });
}

TEST(KeyDecoderKitty, MissedModifierReleaseIsForgotten) {
    // The release of right Ctrl never came (focus moved away); a key without Ctrl proves it
    // is up, so a later Ctrl is the left one again.
    ExpectRecords({
        {"\x1b[57448;5u\x1b[97u\x1b[97;5u",
         {Key(vk::kRControl, 0, kRCtrl), Key(kVkA, 'a'), Key(kVkA, 0x01, kLCtrl)}},
    });
}

TEST(KeyDecoderKitty, Keypad) {
    struct KeypadKey {
        std::string code;
        uint8_t keyCode;
        uint8_t character;
        uint8_t characterWithCtrl;
    };
    const std::vector<KeypadKey> keys = {
        {"57399", KC_NUM0, '0', 0},      {"57400", KC_NUM1, '1', 0},   {"57404", KC_NUM5, '5', 0},
        {"57408", KC_NUM9, '9', 0},      {"57409", KC_NONE, '.', 0},   {"57410", KC_NUMDIV, '/', 0},
        {"57411", KC_NUMMUL, '*', 0},    {"57412", KC_NUMSUB, '-', 0}, {"57413", KC_NUMADD, '+', 0},
        {"57414", KC_ENTER, '\r', '\n'}, {"57415", KC_NONE, '=', 0},   {"57416", KC_NONE, ',', 0},
        {"57417", KC_LEFT, 0, 0},        {"57418", KC_RIGHT, 0, 0},    {"57419", KC_UP, 0, 0},
        {"57420", KC_DOWN, 0, 0},        {"57421", KC_PGUP, 0, 0},     {"57422", KC_PGDN, 0, 0},
        {"57423", KC_HOME, 0, 0},        {"57424", KC_END, 0, 0},      {"57425", KC_INS, 0, 0},
        {"57426", KC_DEL, 0, 0},         {"57427", KC_NONE, 0, 0},
    };
    for (const KeypadKey& key : keys) {
        const std::string plain = "\x1b[" + key.code + "u";
        EXPECT_EQ(Events(plain), EventList({Press(key.keyCode, key.character)})) << Escaped(plain);
        for (const ModifierCombination& modifiers : kModifierCombinations) {
            const std::string bytes =
                "\x1b[" + key.code + ";" + std::to_string(modifiers.parameter) + "u";
            const uint8_t character =
                (modifiers.keyFlags & KF_LCTRL) ? key.characterWithCtrl : key.character;
            EXPECT_EQ(Events(bytes), EventList({Press(key.keyCode, character, modifiers.keyFlags)}))
                << Escaped(bytes);
        }
    }
    ExpectRecords({
        {"\x1b[57409u", {Key(vk::kDecimal, '.')}},
        {"\x1b[57416u", {Key(vk::kSeparator, ',')}},
        {"\x1b[57427u", {Key(vk::kClear, 0)}},
    });
}

TEST(KeyDecoderKitty, AssociatedTextAndOtherLayouts) {
    ExpectRecords({
        {"\x1b[0;;228u", {Key(0, U'\u00e4')}},
        {"\x1b[0;;104:105u", {Key(0, 'h'), Key(0, 'i')}},
        {"\x1b[97;;229u", {Key(kVkA, U'\u00e5')}},
        // Cyrillic layout: the key is named by the US key in its place.
        {"\x1b[1089::99u", {Key(kVkC, U'\u0441')}},
        {"\x1b[1089::99;;1089u", {Key(kVkC, U'\u0441')}},
        {"\x1b[1089:1057:99;2;1057u", {Key(kVkC, U'\u0421', kShift)}},
        {"\x1b[1089::99;5u", {Key(kVkC, 0x03, kLCtrl)}},
        {"\x1b[1089u", {Key(0, U'\u0441')}},
        {"\x1b[233u", {Key(0, U'\u00e9')}},
        // Control characters are no text: the key still counts.
        {"\x1b[97;;1u", {Key(kVkA, 'a')}},
    });
}

TEST(KeyDecoderKitty, ModifyOtherKeys) {
    ExpectRecords({
        {"\x1b[27;5;97~", {Key(kVkA, 0x01, kLCtrl)}},
        {"\x1b[27;6;65~", {Key(kVkA, 0x01, kShift | kLCtrl)}},
        {"\x1b[27;2;33~", {Key('1', '!', kShift)}},
        {"\x1b[27;3;13~", {Key(vk::kReturn, '\r', kLAlt)}},
        {"\x1b[27;5;13~", {Key(vk::kReturn, '\n', kLCtrl)}},
        {"\x1b[27;5;9~", {Key(vk::kTab, '\t', kLCtrl)}},
        {"\x1b[27;6;9~", {Key(vk::kTab, '\t', kShift | kLCtrl)}},
        {"\x1b[27;5;127~", {Key(vk::kBack, 0x7F, kLCtrl)}},
        {"\x1b[27;5;8~", {Key(vk::kBack, 0x7F, kLCtrl)}},
        {"\x1b[27;7;120~", {Key(kVkX, 0x18, kLAlt | kLCtrl)}},
        {"\x1b[27;5;49~", {Key('1', 0, kLCtrl)}},
        {"\x1b[27;5;27~", {Key(vk::kEscape, 0x1B, kLCtrl)}},
        {"\x1b[97;5u", {Key(kVkA, 0x01, kLCtrl)}},
        {"\x1b[65;6u", {Key(kVkA, 0x01, kShift | kLCtrl)}},
        {"\x1b[27;5~", {}},  // 27 is no key number of its own
        {"\x1b[27;5;97;1~", {}},
    });
    ExpectEvents({
        {"\x1b[27;5;97~", {Press('a', 0x01, KF_LCTRL)}},
        {"\x1b[27;5;104~", {Press('h', 0x08, KF_LCTRL)}},
    });
}

// ---------------------------------------------------------------------------------------------
// win32-input-mode.

TEST(KeyDecoderWin32, RecordsAreTakenOverOneToOne) {
    ExpectRecords({
        {"\x1b[65;30;97;1;0;1_", {Key(kVkA, 'a')}},
        {"\x1b[65;30;65;1;16;1_", {Key(kVkA, 'A', kShift)}},
        {"\x1b[65;30;1;1;8;1_", {Key(kVkA, 0x01, kLCtrl)}},
        {"\x1b[65;30;97;1;0;3_", {Repeated(Key(kVkA, 'a'), 3)}},
        {"\x1b[65;30;97;0;0;1_", {Up(kVkA, 'a')}},
        {"\x1b[16;42;0;0;0;1_", {Up(vk::kShift, 0)}},
        {"\x1b[17;29;0;1;8;1_", {Key(vk::kControl, 0, kLCtrl)}},
        {"\x1b[17;29;0;1;268;1_", {Key(vk::kControl, 0, kLCtrl | cks::kEnhanced | kRCtrl)}},
        {"\x1b[38;72;0;1;288;1_", {Key(vk::kUp, 0, cks::kEnhanced | kNum)}},
        {"\x1b[0;0;233;1;0;1_", {Key(0, U'\u00e9')}},
        {"\x1b[300;0;0;1;0;1_", {Key(300, 0)}},
        {"\x1b[_", {Up(0, 0)}},
        {"\x1b[65;;97;1_", {Key(kVkA, 'a')}},
        {"\x1b[65;30;97;1;0;0_", {Key(kVkA, 'a')}},
    });
}

TEST(KeyDecoderWin32, TranslatedEvents) {
    ExpectEvents({
        {"\x1b[65;30;97;1;0;3_", {Press('a', 'a'), Press('a', 'a'), Press('a', 'a')}},
        {"\x1b[65;30;97;0;0;1_", {}},
        {"\x1b[16;42;0;1;16;1_\x1b[16;42;0;0;0;1_",
         {Press(KC_SHIFT, 0, KF_SHIFT), KEY_EVENT(KC_SHIFT, 0, 0)}},
        {"\x1b[163;29;0;0;0;1_", {KEY_EVENT(KC_RCTRL, 0, 0)}},
        {"\x1b[112;59;0;1;0;1_", {Press(KC_F1, 0)}},
        {"\x1b[300;0;0;1;0;1_", {}},
    });
}

TEST(KeyDecoderWin32, SurrogatePairsBecomeOneCharacter) {
    const std::string high = "\x1b[0;0;55357;1;0;1_", low = "\x1b[0;0;56832;1;0;1_";
    const std::string highUp = "\x1b[0;0;55357;0;0;1_", lowUp = "\x1b[0;0;56832;0;0;1_";
    ExpectRecords({
        {high + low, {Key(0, U'\U0001F600')}},
        {high + highUp + low + lowUp, {Key(0, U'\U0001F600')}},
        {high + low + highUp + lowUp, {Key(0, U'\U0001F600')}},
        {low, {}},
        {high, {}},
        {high + "\x1b[65;30;97;1;0;1_" + low, {Key(kVkA, 'a')}},
    });
}

TEST(KeyDecoderWin32, MalformedRecordsAreDropped) {
    ExpectRecords({
        {"\x1b[65;30;97;1;0;1;7_", {}},   // a seventh field
        {"\x1b[70000;0;97;1;0;1_", {}},   // virtual key beyond 16 bits
        {"\x1b[65;0;70000;1;0;1_", {}},   // character beyond one UTF-16 unit
        {"\x1b[65;0;97;1;0;70000_", {}},  // repeat count beyond 16 bits
        {"\x1b[65:1;0;97;1;0;1_", {}},    // sub-fields
    });
}

// ---------------------------------------------------------------------------------------------
// Replies to the console's queries.

TEST(KeyDecoderReplies, KittyFlagsThenDeviceAttributes) {
    ExpectRecords({
        {"\x1b[?31u\x1b[?62;22c", {KittyFlagsReply{31}, DeviceAttributesReply{}}},
        {"\x1b[?u", {KittyFlagsReply{0}}},
        {"\x1b[?1;2c", {DeviceAttributesReply{}}},
        {"\x1b[?62;22c", {DeviceAttributesReply{}}},
        {"a\x1b[?62cb", {Key(kVkA, 'a'), DeviceAttributesReply{}, Key(0x42, 'b')}},
    });
}

TEST(KeyDecoderReplies, CursorReportOnlyWhileAwaited) {
    const auto awaited = [](std::string_view bytes) { return Describe(DecodeAll(bytes, true)); };
    EXPECT_EQ(awaited("\x1b[1;2R"), Expected({CursorPositionReply{1, 2}}));
    EXPECT_EQ(awaited("\x1b[24;80R"), Expected({CursorPositionReply{24, 80}}));
    EXPECT_EQ(awaited("\x1b[?24;80R"), Expected({CursorPositionReply{24, 80}}));
    EXPECT_EQ(awaited("\x1b[R"), Expected({CursorPositionReply{1, 1}}));
    // One report answers the query; the next CSI 1;2R is the key again.
    EXPECT_EQ(awaited("\x1b[5;7R\x1b[1;2R"),
              Expected({CursorPositionReply{5, 7}, Key(vk::kF1 + 2, 0, kShift)}));

    ExpectRecords({
        {"\x1b[1;2R", {Key(vk::kF1 + 2, 0, kShift)}},
        {"\x1b[24;80R", {}},
        {"\x1b[?24;80R", {}},
    });
    ExpectEvents({{"\x1b[1;2R", {Press(KC_F3, 0, KF_SHIFT)}}});
}

TEST(KeyDecoderReplies, OtherRepliesAndStringsAreDropped) {
    ExpectRecords({
        {"\x1b[>1;10;0ca", {Key(kVkA, 'a')}},
        {"\x1b[?2026;2$ya", {Key(kVkA, 'a')}},
        {"\x1b[0na", {Key(kVkA, 'a')}},
        {"\x1b[Ia", {Key(kVkA, 'a')}},
        {"\x1b]11;rgb:0000/0000/0000\x1b\\a", {Key(kVkA, 'a')}},
        {"\x1b]11;rgb:ffff/ffff/ffff\x07"
         "a",
         {Key(kVkA, 'a')}},
        {"\x1bP>|kitty(0.26.5)\x1b\\a", {Key(kVkA, 'a')}},
        {"\x1bP1$r0m\x1b\\a", {Key(kVkA, 'a')}},
        {"\x1b_Gi=1;OK\x1b\\a", {Key(kVkA, 'a')}},
        {"\x1b]0;\xc3\xa9t\xc3\xa9\x07"
         "a",
         {Key(kVkA, 'a')}},
        {"\x1b]0;x\x18"
         "a",
         {Key(kVkA, 'a')}},
        // A string whose terminator was lost ends at the next sequence.
        {"\x1b]0;x\x1b[Aa", {Key(vk::kUp, 0), Key(kVkA, 'a')}},
    });
}

// ---------------------------------------------------------------------------------------------
// Malformed input, split input, random input.

TEST(KeyDecoderRobustness, BrokenSequencesGiveWayToWhatFollows) {
    ExpectRecords({
        {"\x1b[1;5\r", {Key(vk::kReturn, '\r')}},
        {"\x1b[1;\x1b[A", {Key(vk::kUp, 0)}},
        {"\x1b[1;5\xc3\xa9", {Key(0, U'\u00e9')}},
        {"\x1bO5\x1bOP", {Key(vk::kF1, 0)}},
        {"\x1b[[\x1b[B", {Key(vk::kDown, 0)}},
        {"\x1b[[Z", {}},
        {"\x1b[1;2;3;4;5;6;7;8;9u", {}},
        {"\x1b[99999999999999999999u", {}},
        {"\x1b[1;999A", {}},
        {"\x1b[2A", {}},
        {"\x1b[1;5;1A", {}},
        {"\x1b[1;2R", {Key(vk::kF1 + 2, 0, kShift)}},
        {"\x1b[1;80R", {}},
        {"\x1b[2;2R", {}},
        {"\x1b[5;5?~", {}},
        {"\x1b[99~", {}},
        {"\x1b[3 ~", {}},
        {"\x1b[1;5:9A", {}},
        {"\x1b[1;5:1:1A", {}},
        {"\x1b[0;5A", {}},
        {"\x1bO1;2;3P", {}},
        {"\x1bOz", {}},
        {"\x1b[<0;10;20M", {}},
    });
}

TEST(KeyDecoderRobustness, OverlongSequenceIsDroppedAndHeldBytesStayBounded) {
    KeyDecoder decoder;
    std::vector<DecodedItem> items;
    decoder.Push("\x1b[");
    for (int chunk = 0; chunk < 5000; ++chunk) {
        decoder.Push("1;2:3;");
        Drain(decoder, items);
        ASSERT_LE(KeyDecoderInspector::HeldBytes(decoder), 300u) << "after chunk " << chunk;
    }
    decoder.Push("Ab");
    Drain(decoder, items);
    EXPECT_EQ(Describe(items), Expected({Key(0x42, 'b')}));
    EXPECT_FALSE(decoder.HasPendingBytes());
}

TEST(KeyDecoderRobustness, OverlongStringIsDroppedAndHeldBytesStayBounded) {
    for (const std::string& terminator : {std::string("\x1b\\"), std::string("\x07")}) {
        KeyDecoder decoder;
        std::vector<DecodedItem> items;
        decoder.Push("\x1b]52;c;");
        for (int chunk = 0; chunk < 2000; ++chunk) {
            decoder.Push("QUJDREVGR0g=");
            Drain(decoder, items);
            ASSERT_LE(KeyDecoderInspector::HeldBytes(decoder), 300u);
        }
        // The terminator split across pushes still ends the string.
        decoder.Push(terminator.substr(0, 1));
        Drain(decoder, items);
        decoder.Push(terminator.substr(1) + "a");
        Drain(decoder, items);
        EXPECT_EQ(Describe(items), Expected({Key(kVkA, 'a')})) << Escaped(terminator);
    }
}

TEST(KeyDecoderRobustness, OverlongSequenceStillPendingAtTimeoutIsDropped) {
    KeyDecoder decoder;
    std::vector<DecodedItem> items;
    decoder.Push("\x1b\x1b[" + std::string(1000, '5'));
    Drain(decoder, items);
    EXPECT_TRUE(decoder.HasPendingBytes());
    decoder.Expire();
    Drain(decoder, items);
    EXPECT_FALSE(decoder.HasPendingBytes());
    decoder.Push("5~");
    Drain(decoder, items);
    EXPECT_EQ(Describe(items), Expected({Key('5', '5'), Key(vk::kOem3, '~', kShift)}));
}

TEST(KeyDecoderRobustness, OverlongSequenceIsDroppedWhetherWholeOrSplit) {
    // Leading zeros keep the number valid: only the length makes it garbage.
    for (const std::string& prefix : {std::string("\x1b["), std::string("\x1b\x1b[")}) {
        const std::string sequence = prefix + std::string(300, '0') + "97u";
        EXPECT_EQ(Decoded(sequence + "b"), Expected({Key(0x42, 'b')})) << Escaped(prefix);
        KeyDecoder decoder;
        std::vector<DecodedItem> items;
        for (char byte : sequence + "b") {
            decoder.Push(std::string_view(&byte, 1));
            Drain(decoder, items);
        }
        EXPECT_EQ(Describe(items), Expected({Key(0x42, 'b')})) << Escaped(prefix);
    }
    // Just within the bound it is still a key.
    const std::string longest = "\x1b[" + std::string(256 - 5, '0') + "97u";
    ASSERT_EQ(longest.size(), 256u);
    EXPECT_EQ(Decoded(longest), Expected({Key(kVkA, 'a')}));
}

// A stream with every kind of input, used to compare whole and split decoding.
const std::string kMixedStream =
    "ab\x1b[A\x1bOP\x1b[15;5~\x1b"
    "a\x1b\x1b[B\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"
    "\x1b[97;5u\x1b[57448;5u\x1b[120;5u\x1b[57448;1:3u\x1b[27;5;97~"
    "\x1b[65;30;97;1;0;2_\x1b[0;0;55357;1;0;1_\x1b[0;0;56832;1;0;1_"
    "\x1b[?31u\x1b[?62c\x1b]0;title\x1b\\\x1bOq\x1b[[A\x7f\x08\r\t\x01"
    "\x1b[1;5\x1b[Z\x80z\x1b[1089::99;5u\x1b";

TEST(KeyDecoderRobustness, SplitInputDecodesAsWhole) {
    const std::vector<std::string> whole = Describe(DecodeAll(kMixedStream));
    ASSERT_GT(whole.size(), 20u);

    KeyDecoder byteByByte;
    std::vector<DecodedItem> items;
    for (char byte : kMixedStream) {
        byteByByte.Push(std::string_view(&byte, 1));
        Drain(byteByByte, items);
    }
    byteByByte.Expire();
    Drain(byteByByte, items);
    EXPECT_EQ(Describe(items), whole);

    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        KeyDecoder decoder;
        std::vector<DecodedItem> chunked;
        size_t position = 0;
        while (position < kMixedStream.size()) {
            const size_t length = std::uniform_int_distribution<size_t>(1, 9)(random);
            decoder.Push(std::string_view(kMixedStream).substr(position, length));
            position += length;
            Drain(decoder, chunked);
        }
        decoder.Expire();
        Drain(decoder, chunked);
        ASSERT_EQ(Describe(chunked), whole) << "round " << round;
    }
}

TEST(KeyDecoderRobustness, NoProperPrefixOfASequenceYieldsAnything) {
    const std::vector<std::string> sequences = {
        "\x1b[1;5A",        "\x1b[15;2~",         "\x1bOP",          "\x1bO5k",
        "\x1b[[A",          "\x1b[97:65;2;65u",   "\x1b[27;5;97~",   "\x1b[65;30;97;1;0;1_",
        "\x1b[?31u",        "\x1b[?62;22c",       "\x1b\x1b[A",      "\x1b\xc3\xa9",
        "\xf0\x9f\x98\x80", "\x1b]0;title\x1b\\", "\x1b[57448;5:3u", "\x1b[0;;104:105u",
    };
    for (const std::string& sequence : sequences) {
        const std::vector<std::string> whole = Describe(DecodeAll(sequence));
        ASSERT_FALSE(whole.empty() && sequence.find(']') == std::string::npos) << Escaped(sequence);
        for (size_t cut = 1; cut < sequence.size(); ++cut) {
            KeyDecoder decoder;
            decoder.Push(sequence.substr(0, cut));
            std::vector<DecodedItem> items;
            DecodedItem item;
            EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kNeedMore)
                << Escaped(sequence.substr(0, cut));
            decoder.Push(sequence.substr(cut));
            Drain(decoder, items);
            decoder.Expire();
            Drain(decoder, items);
            EXPECT_EQ(Describe(items), whole) << Escaped(sequence) << " cut at " << cut;
        }
    }
}

TEST(KeyDecoderRobustness, RandomBytesNeverStallOrPileUp) {
    // Bytes weighted towards the ones that build sequences, so that the random input walks
    // deep into every parser.
    const std::string alphabet =
        "\x1b\x1b\x1b[[[OO]P_\\;;;::0123456789uu~~_ABCDHFPQRSZ?>$ \x07\x18"
        "\x7f\x08\r\xc3\xa9\xe4\xb8\xf0\x9f\x80\xff";
    std::mt19937 random(20240611);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<int> chunkLength(1, 64);
    KeyDecoder decoder;
    size_t itemCount = 0;
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string chunk;
        const int length = chunkLength(random);
        for (int i = 0; i < length; ++i) {
            chunk +=
                (random() % 4 == 0) ? static_cast<char>(anyByte(random)) : alphabet[pick(random)];
        }
        decoder.Push(chunk);
        DecodedItem item;
        KeyDecoder::Result result;
        while ((result = decoder.Next(item)) == KeyDecoder::Result::kItem) {
            ++itemCount;
            if (const auto* record = std::get_if<KeyRecord>(&item)) {
                uint32_t event = 0;
                int extraRepeats = 0;
                if (TranslateKeyRecord(*record, Latin1, event, extraRepeats)) {
                    ASSERT_GE(extraRepeats, 0);
                    ASSERT_LE(extraRepeats, 0xFFFE);
                }
                ASSERT_LE(record->unicodeChar, 0x10FFFFu);
            }
        }
        ASSERT_LE(KeyDecoderInspector::HeldBytes(decoder), 300u) << "iteration " << iteration;
        ASSERT_EQ(result == KeyDecoder::Result::kNeedMore, decoder.HasPendingBytes());
        if (iteration % 7 == 0) decoder.Expire();
    }
    decoder.Expire();
    DecodedItem item;
    while (decoder.Next(item) == KeyDecoder::Result::kItem) ++itemCount;
    EXPECT_FALSE(decoder.HasPendingBytes());
    EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kEmpty);
    EXPECT_GT(itemCount, 0u);
}

// Pasted text used to arrive as keys: a line end ran a command, ESC[21~ was F10. Between the
// paste brackets everything is one item, however the bytes are split.
TEST(KeyDecoderPaste, BracketedTextIsOneItemWhereverTheBytesAreSplit) {
    const std::string input = "a\x1b[200~echo A\recho B\x1b[21~\x1b[201~\x1b[A";
    const std::vector<std::string> whole = {
        Describe(Key(kVkA, 'a')), "paste [echo A\recho B\x1b[21~]", Describe(Key(0x26, 0))};
    EXPECT_EQ(Decoded(input), whole);
    for (size_t cut = 1; cut < input.size(); ++cut) {
        KeyDecoder decoder;
        std::vector<DecodedItem> items;
        decoder.Push(input.substr(0, cut));
        Drain(decoder, items);
        decoder.Push(input.substr(cut));
        Drain(decoder, items);
        EXPECT_EQ(Describe(items), whole) << "cut at " << cut;
    }
}

// A paste whose end never comes must not swallow the keyboard, nor grow without bound.
TEST(KeyDecoderPaste, UnendedPasteEndsAtExpireCutToItsBound) {
    KeyDecoder decoder;
    decoder.Push("\x1b[200~");
    decoder.Push(std::string(KeyDecoder::kMaxPasteLength + 10, 'x'));
    DecodedItem item;
    EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kNeedMore);
    EXPECT_TRUE(decoder.InPaste());
    decoder.Expire();
    ASSERT_EQ(decoder.Next(item), KeyDecoder::Result::kItem);
    const auto* paste = std::get_if<PastedText>(&item);
    ASSERT_NE(paste, nullptr);
    EXPECT_TRUE(paste->cut);
    EXPECT_EQ(paste->bytes.size(), KeyDecoder::kMaxPasteLength);
    decoder.Push("q");
    ASSERT_EQ(decoder.Next(item), KeyDecoder::Result::kItem);
    EXPECT_EQ(Describe(item), Describe(Key(0x51, 'q')));
}

TEST(KeyDecoderRobustness, LargeBurstIsDecodedInOnePass) {
    std::string burst;
    for (int i = 0; i < 100000; ++i) burst += "x\x1b[A";
    KeyDecoder decoder;
    decoder.Push(burst);
    std::vector<DecodedItem> items;
    Drain(decoder, items);
    EXPECT_EQ(items.size(), 200000u);
    EXPECT_FALSE(decoder.HasPendingBytes());
}

}  // namespace
}  // namespace kq::console
