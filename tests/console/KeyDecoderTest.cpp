// The terminal key decoder (every input protocol, the Esc timeout, replies, malformed input fed
// whole, split and at random).
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

std::string Hex(uint32_t value, int digits = 2) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

// A record as "vk:char+flags": the character itself when printable, else #hex; flags S Shift,
// C/c left/right Ctrl, A/a left/right Alt, K Caps, N Num, E enhanced; "-" before a release,
// "*n" after a repeat count. Items are separated by spaces.
std::string Describe(const DecodedItem& item) {
    if (const auto* record = std::get_if<KeyRecord>(&item)) {
        std::string text = (record->keyDown ? "" : "-") + Hex(record->virtualKey);
        const char32_t ch = record->unicodeChar;
        if (ch > 0x20 && ch < 0x7F) text += ":" + std::string(1, static_cast<char>(ch));
        if (ch == 0x20 || ch >= 0x7F || (ch > 0 && ch < 0x20)) text += ":#" + Hex(ch, 1);
        std::string flags;
        const uint32_t bits[] = {cks::kShift,    cks::kLeftCtrl, cks::kRightCtrl, cks::kLeftAlt,
                                 cks::kRightAlt, cks::kCapsLock, cks::kNumLock,   cks::kEnhanced};
        for (int i = 0; i < 8; ++i) {
            if (record->controlState & bits[i]) flags += "SCcAaKNE"[i];
        }
        if (!flags.empty()) text += "+" + flags;
        if (record->repeatCount != 1) text += "*" + std::to_string(record->repeatCount);
        return text;
    }
    if (const auto* flags = std::get_if<KittyFlagsReply>(&item)) {
        return "kitty" + std::to_string(flags->flags);
    }
    if (std::holds_alternative<DeviceAttributesReply>(item)) return "DA";
    if (const auto* paste = std::get_if<PastedText>(&item)) {
        return "paste[" + paste->bytes + "]" + (paste->cut ? "cut" : "");
    }
    const auto& report = std::get<CursorPositionReply>(item);
    return "cursor" + std::to_string(report.row) + ";" + std::to_string(report.column);
}

std::string Join(const std::string& first, const std::string& second) {
    return first.empty() || second.empty() ? first + second : first + " " + second;
}

// Pushes the bytes and describes what they complete, separated by spaces.
std::string Feed(KeyDecoder& decoder, std::string_view bytes) {
    decoder.Push(bytes);
    std::string text;
    for (DecodedItem item; decoder.Next(item) == KeyDecoder::Result::kItem;) {
        text += (text.empty() ? "" : " ") + Describe(item);
    }
    return text;
}

// Everything the bytes decode to once the Esc timeout has passed after them.
std::string Decoded(std::string_view bytes, bool awaitingCursorReport = false) {
    KeyDecoder decoder;
    decoder.SetAwaitingCursorReport(awaitingCursorReport);
    const std::string items = Feed(decoder, bytes);
    decoder.Expire();
    return Join(items, Feed(decoder, ""));
}

std::string Escaped(std::string_view bytes) {
    return ::testing::PrintToString(std::string(bytes));
}

// Pairs of input and what it decodes to.
void Expect(const std::vector<std::pair<std::string, std::string>>& cases) {
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(Decoded(bytes), expected) << Escaped(bytes);
}

TEST(KeyDecoderBytes, TextControlsAndUtf8) {
    Expect({
        {"aZ0!;:\"|", "41:a 5A:Z+S 30:0 31:!+S BA:; BA::+S DE:\"+S DC:|+S"},
        {"\x7f\x08\t\r\n\x01\x1a\x1c\x1d\x1e\x1f",
         "08:#8 48:#8+C 09:#9 0D:#D 4A:#A+C 41:#1+C 5A:#1A+C DC:#1C+C DD:#1D+C 36:#1E+C "
         "BD:#1F+C"},
        {std::string(1, '\0'), "20+C"},
        {"\xc3\xa9\xd0\x96\xe4\xb8\xad\xf0\x9f\x98\x80\xf4\x8f\xbf\xbfz",
         "00:#E9 00:#416 00:#4E2D 00:#1F600 00:#10FFFF 5A:z"},
        // Invalid UTF-8 is dropped: a stray continuation byte, an overlong form, a surrogate,
        // beyond U+10FFFF, one cut short by a sequence or by the end.
        {"\x80z\xc0\x80z\xed\xa0\x80z\xf4\x90\x80\x80z\xe4\xb8\033[A\xc3\xa9\xc3",
         "5A:z 5A:z 5A:z 5A:z 26 00:#E9"},
    });
}

// Terminals whose erase character is ^H: Backspace toggled hidden files as Ctrl+H.
TEST(KeyDecoderBytes, TheTerminalsEraseCharacterIsBackspace) {
    KeyDecoder decoder;
    decoder.SetEraseCharacter(0x08);
    EXPECT_EQ(Feed(decoder, "\x08\033\x08\x7f"), "08:#8 08:#8+A 08:#8");
}

TEST(KeyDecoderLegacy, FunctionAndCursorKeys) {
    Expect({
        {"\033OP\033[P\033[11~\033[[A\033[1P", "70 70 70 70 70"},
        {"\033OQ\033[R\033[14~\033[[D\033[15~\033[[E\033[17~\033[21~\033[24~",
         "71 72 73 73 74 74 75 79 7B"},
        // F13..F20: CSI 25, 26, 28, 29, 31..34 ~; the kitty codes 57376.. go on to F24.
        {"\033[25~\033[26~\033[28~\033[29~\033[31~\033[32~\033[33~\033[34~",
         "7C 7D 7E 7F 80 81 82 83"},
        {"\033[34;2~\033[57376u\033[57387;5u\033[27~\033[30~\033[35~", "83+S 7C 87+C"},
        // Modifier parameters 2..8 in each form; Alt as an ESC prefix adds to what they say.
        {"\033[1;2P\033O3Q\033[13;4~\033[24;5~\033[1;6H\033[6;7~\033\033[1;8B\033\033[1;2B",
         "70+S 71+A 72+SA 7B+C 24+SC 22+CA 28+SCA 28+SA"},
        {"\033[A\033OB\033[C\033OD\033[H\033OH\033[1~\033[7~\033[F\033OF\033[4~\033[8~",
         "26 28 27 25 24 24 24 24 23 23 23 23"},
        {"\033[2~\033[3~\033[5~\033[6~\033OE\033[E\033[G\033[57427~", "2D 2E 21 22 0C 0C 0C 0C"},
        {"\033Op\033Oy\033Oj\033OM\033On\033OX\033Ol", "60:0 69:9 6A:* 0D:#D 6E:. 92:= 6C:,"},
    });
}

TEST(KeyDecoderAlt, EscPrefixDoubleEscapeAndTimeout) {
    Expect({
        {"\033a\033A\0331\033;\033\x7f\033\x01\033\r\033\t\033 \033\xc3\xa9",
         "41:a+A 41:A+SA 31:1+A BA:;+A 08:#8+A 41:#1+CA 0D:#D+A 09:#9+A 20:#20+A 00:#E9+A"},
        // Alt+] or Alt+Shift+P typed quickly before more keys: no reply holds a control byte.
        {"\033]1\r\033P1x\x7f", "DD:]+A 31:1 0D:#D 50:P+SA 31:1 58:x 08:#8"},
        {"\033\033a\033\033[A\033\033OP\033\033[1;5A", "1B:#1B 41:a+A 26+A 70+A 26+CA"},
        // A reply, an unknown sequence or a win32-input-mode record after ESC: the ESC was Esc.
        {"\033\033[?1u\033\033[5n\033\033]0;t\x07\033\033[65;0;97;1;0;1_",
         "1B:#1B kitty1 1B:#1B 1B:#1B 1B:#1B 41:a"},
        // What the Esc timeout resolves.
        {"\033\033\033", "1B:#1B 1B:#1B 1B:#1B"},
        {"\033\033[", "1B:#1B DB:[+A"},
        {"\033O", "4F:O+SA"},
        {"\033[1;5", ""},
        {"\033]0;title", ""},
    });
}

TEST(KeyDecoderKitty, Keys) {
    Expect({
        {"\033[97u\033[97;;97u\033[97;1;97u\033[97;9u", "41:a 41:a 41:a 41:a"},  // 9: Super
        {"\033[97;2u\033[97:65;2;65u\033[97;5u\033[97;6u\033[97;3u\033[97;4u\033[97;7u",
         "41:A+S 41:A+S 41:#1+C 41:#1+SC 41:a+A 41:A+SA 41:#1+CA"},
        {"\033[27u\033[13u\033[13;5u\033[13;3u\033[9u\033[9;2u\033[127u\033[127;5u",
         "1B:#1B 0D:#D 0D:#A+C 0D:#D+A 09:#9 09:#9+S 08:#8 08:#7F+C"},
        // Event types (press, repeat, release) and lock states.
        {"\033[97;1:1u\033[97;1:2u\033[97;1:3u\033[97;5:3u\033[1;1:3A\033[3;1:3~\033[13;1:2u",
         "41:a 41:a -41:a -41:#1+C -26 -2E 0D:#D"},
        // Associated text and other layouts: a Cyrillic key is named by the US key in its
        // place; control characters are no text.
        {"\033[0;;228u\033[0;;104:105u\033[97;;229u\033[1089u\033[233u\033[97;;1u",
         "00:#E4 00:h 00:i 41:#E5 00:#441 00:#E9 41:a"},
        {"\033[1089::99u\033[1089::99;;1089u\033[1089:1057:99;2;1057u\033[1089::99;5u",
         "43:#441 43:#441 43:#421+S 43:#3+C"},
        // Left and right modifier keys; the release of right Ctrl never came (focus moved
        // away): a key without Ctrl proves it is up, so a later Ctrl is the left one again.
        {"\033[57441;2u\033[57441;1:3u\033[57448;5u\033[97;5u\033[97u\033[97;5u",
         "A0+S -A0 A3+c 41:#1+c 41:a 41:#1+C"},
        // modifyOtherKeys; 27 is no key number of its own.
        {"\033[27;5;97~\033[27;6;65~\033[27;2;33~\033[27;3;13~\033[27;5;13~\033[27;5;9~",
         "41:#1+C 41:#1+SC 31:!+S 0D:#D+A 0D:#A+C 09:#9+C"},
    });
}

TEST(KeyDecoderWin32, Records) {
    const std::string high = "\033[0;0;55357;1;0;1_", low = "\033[0;0;56832;1;0;1_";
    const std::string highUp = "\033[0;0;55357;0;0;1_", lowUp = "\033[0;0;56832;0;0;1_";
    Expect({
        {"\033[65;30;97;1;0;1_\033[65;30;65;1;16;1_\033[65;30;1;1;8;1_\033[65;30;97;1;0;3_",
         "41:a 41:A+S 41:#1+C 41:a*3"},
        {"\033[65;30;97;0;0;1_\033[16;42;0;0;0;1_\033[17;29;0;1;8;1_\033[17;29;0;1;268;1_",
         "-41:a -10 11+C 11+CcE"},
        // Surrogate pairs become one character; a lone half is dropped.
        {high + low + highUp + lowUp + low + high + "\033[65;30;97;1;0;1_", "00:#1F600 41:a"},
    });
}

TEST(KeyDecoderReplies, RepliesAndStrings) {
    Expect({
        {"\033[?31u\033[?62;22c\033[?u\033[?1;2ca\033[?62cb", "kitty31 DA kitty0 DA 41:a DA 42:b"},
        {"\033[1;2R\033[24;80R\033[?24;80R", "72+S"},  // no cursor report awaited
        // Other replies and strings are dropped; a string whose terminator was lost ends at
        // the next sequence.
        {"\033[>1;10;0ca\033[0na\033]11;rgb:0000/0000/0000\033\\a\033]11;rgb:ffff/ffff/ffff\x07z"
         "\033P>|kitty(0.26.5)\033\\a\033_Gi=1;OK\033\\a\033]0;x\x18z\033]0;x\033[Aa",
         "41:a 41:a 41:a 5A:z 41:a 41:a 5A:z 26 41:a"},
    });
    // One report answers the query; the next CSI 1;2R is the key again.
    EXPECT_EQ(Decoded("\033[5;7R\033[1;2R", true), "cursor5;7 72+S");
}

TEST(KeyDecoderRobustness, BrokenSequencesGiveWayToWhatFollows) {
    Expect({
        {"\033[1;5\r\033[1;\033[A\033[1;5\xc3\xa9\033O5\033OP\033[[\033[B",
         "0D:#D 26 00:#E9 70 28"},
        {"\033[[Z\033[1;2;3;4;5;6;7;8;9u\033[99999999999999999999u\033[1;999A\033[5;5?~\033[99~",
         ""},
    });
}

// The decoder holds at most a few hundred bytes, whatever arrives.
TEST(KeyDecoderRobustness, OverlongSequencesAndStringsAreDroppedWithBoundedMemory) {
    for (const auto& [start, chunk, end] :
         {std::tuple{"\033[", "1;2:3;", "Ab"}, {"\033]52;c;", "QUJDREVGR0g=", "\033\\b"}}) {
        KeyDecoder decoder;
        Feed(decoder, start);
        for (int count = 0; count < 3000; ++count) {
            ASSERT_EQ(Feed(decoder, chunk), "");
            ASSERT_LE(KeyDecoderInspector::HeldBytes(decoder), 300u) << count;
        }
        // The end split across pushes still ends it.
        const std::string first = Feed(decoder, std::string_view(end, 1));
        EXPECT_EQ(Join(first, Feed(decoder, end + 1)), "42:b") << Escaped(start);
        EXPECT_FALSE(decoder.HasPendingBytes());
    }
    KeyDecoder pending;
    EXPECT_EQ(Feed(pending, "\033\033[" + std::string(1000, '5')), "");
    pending.Expire();
    EXPECT_EQ(Feed(pending, ""), "");
    EXPECT_EQ(Feed(pending, "5~"), "35:5 C0:~+S");
    // Leading zeros keep the number valid: only the length makes it garbage.
    EXPECT_EQ(Decoded("\033[" + std::string(300, '0') + "97ub"), "42:b");
}

// However the bytes are split, they decode as when they came whole. Pasted text used to
// arrive as keys: a line end ran a command, ESC[21~ was F10; between the paste brackets
// everything is one item.
TEST(KeyDecoderRobustness, SplitInputDecodesAsWhole) {
    const std::string stream =
        "ab\033[A\033OP\033[15;5~\033a\033\033[B\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"
        "\033[97;5u\033[57448;5u\033[120;5u\033[57448;1:3u\033[27;5;97~"
        "\033[65;30;97;1;0;2_\033[0;0;55357;1;0;1_\033[0;0;56832;1;0;1_"
        "\033[?31u\033[?62c\033]0;title\033\\\033Oq\033[[A\x7f\x08\r\t\x01"
        "\033[1;5\033[Z\x80z\033[1089::99;5u\033[97:65;2;65u\033[0;;104:105u\033[57448;5:3u"
        "a\033[200~echo A\recho B\033[21~\033[201~\033[A"
        "\033O5k\033[15;2~\033[?62;22c\033\xc3\xa9\033";
    const std::string whole = Decoded(stream);
    EXPECT_NE(whole.find(" 41:a paste[echo A\recho B\033[21~] 26 "), std::string::npos) << whole;
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {  // byte by byte first, then at random
        KeyDecoder decoder;
        std::string items;
        for (size_t position = 0; position < stream.size();) {
            const size_t length = round == 0 ? 1 : 1 + random() % 9;
            items = Join(items, Feed(decoder, std::string_view(stream).substr(position, length)));
            position += length;
        }
        decoder.Expire();
        ASSERT_EQ(Join(items, Feed(decoder, "")), whole) << "round " << round;
    }
}

// A paste whose end never comes must not swallow the keyboard, nor grow without bound.
TEST(KeyDecoderPaste, UnendedPasteEndsAtExpireCutToItsBound) {
    KeyDecoder decoder;
    decoder.Push("\033[200~" + std::string(KeyDecoder::kMaxPasteLength + 10, 'x'));
    DecodedItem item;
    EXPECT_EQ(decoder.Next(item), KeyDecoder::Result::kNeedMore);
    decoder.Expire();
    const std::string cut = "paste[" + std::string(KeyDecoder::kMaxPasteLength, 'x') + "]cut";
    EXPECT_TRUE(Feed(decoder, "q") == cut + " 51:q");
}

}  // namespace
}  // namespace kq::console
