// Decodes the bytes a terminal sends into keyboard records shaped like a Windows console's
// (US layout), and into the replies to the console's start-up queries.
//
// The decoder keeps the raw bytes and decodes from the front. Whatever may still grow into a
// longer sequence stays pending until more bytes come or the caller's Esc timeout calls
// Expire(). Every step consumes at least one byte unless it is waiting, and a sequence that
// outgrows kMaxSequenceLength is cut down and skipped, so no input stalls the decoder or
// makes it hold more than a bounded number of bytes.
#include "console/KeyDecoder.h"

#include <algorithm>
#include <array>
#include <optional>

#include "console/KeySequenceTables.h"

namespace kq::console {

namespace {

using keytables::ModifierKey;
using keytables::NamedKey;

constexpr uint8_t kEsc = 0x1B;
constexpr size_t kMaxSequenceLength = 256;

// Modifier bits as the kitty protocol and xterm put them in a parameter (value = 1 + bits).
constexpr uint32_t kModShift = 0x01, kModAlt = 0x02, kModCtrl = 0x04;
constexpr uint32_t kModCapsLock = 0x40, kModNumLock = 0x80;
constexpr int64_t kMaxModifierParameter = 256;

// Bits of heldModifiers_: the physical modifier keys the kitty protocol reported as down.
constexpr uint32_t kHeldLeftShift = 0x01, kHeldRightShift = 0x02;
constexpr uint32_t kHeldLeftCtrl = 0x04, kHeldRightCtrl = 0x08;
constexpr uint32_t kHeldLeftAlt = 0x10, kHeldRightAlt = 0x20;
constexpr uint32_t kHeldShift = kHeldLeftShift | kHeldRightShift;
constexpr uint32_t kHeldCtrl = kHeldLeftCtrl | kHeldRightCtrl;
constexpr uint32_t kHeldAlt = kHeldLeftAlt | kHeldRightAlt;

// Per ModifierKey: its bit in heldModifiers_, the bits of both keys of its kind, and the
// kind's modifier bit.
struct ModifierKeyBits {
    uint32_t ownKey, sameKind, kindBit;
};
constexpr ModifierKeyBits kModifierKeyBits[] = {
    {0, 0, 0},
    {kHeldLeftShift, kHeldShift, kModShift},
    {kHeldRightShift, kHeldShift, kModShift},
    {kHeldLeftCtrl, kHeldCtrl, kModCtrl},
    {kHeldRightCtrl, kHeldCtrl, kModCtrl},
    {kHeldLeftAlt, kHeldAlt, kModAlt},
    {kHeldRightAlt, kHeldAlt, kModAlt},
};
static_assert(std::size(kModifierKeyBits) == static_cast<size_t>(ModifierKey::kRightAlt) + 1);

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kPrivateUseFirst = 0xE000, kPrivateUseLast = 0xF8FF;

bool IsParameterByte(uint8_t byte) {
    return byte >= 0x30 && byte <= 0x3F;
}
bool IsIntermediateByte(uint8_t byte) {
    return byte >= 0x20 && byte <= 0x2F;
}
bool IsFinalByte(uint8_t byte) {
    return byte >= 0x40 && byte <= 0x7E;
}
bool IsDigit(uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

// A code point that may be delivered as typed text: no C0 or C1 control, no surrogate,
// nothing past U+10FFFF.
bool IsTextCodePoint(int64_t codePoint) {
    if (codePoint < 0x20 || codePoint == 0x7F || codePoint > kMaxCodePoint) return false;
    if (codePoint >= 0x80 && codePoint <= 0x9F) return false;
    return codePoint < 0xD800 || codePoint > 0xDFFF;
}

enum class ScanStatus {
    kComplete,    // length is the whole sequence
    kIncomplete,  // the bytes end inside it
    kAborted,     // a byte that cannot belong to it; length counts the bytes before that byte
};

struct Scan {
    ScanStatus status;
    size_t length;
};

// What ESC + the next byte starts. Control strings (OSC, DCS, APC) are only taken as such
// when the byte after the introducer looks like the start of a reply, so that Alt+], Alt+P
// and Alt+_ typed by the user stay keys.
enum class Introducer { kNone, kUndecided, kControlSequence, kSingleShift, kControlString };

Introducer IntroducerAt(std::string_view bytes) {
    const auto second = static_cast<uint8_t>(bytes[1]);
    if (second == '[') return Introducer::kControlSequence;
    if (second == 'O') return Introducer::kSingleShift;
    if (second != ']' && second != 'P' && second != '_') return Introducer::kNone;
    if (bytes.size() < 3) return Introducer::kUndecided;
    const auto third = static_cast<uint8_t>(bytes[2]);
    bool isString = false;
    if (second == ']') isString = IsDigit(third);
    if (second == 'P') isString = IsParameterByte(third) || IsIntermediateByte(third);
    if (second == '_') isString = third == 'G';  // kitty graphics replies
    return isString ? Introducer::kControlString : Introducer::kNone;
}

// ESC [ parameters intermediates final. Any other byte breaks the sequence off: a terminal
// never puts one there, so it is taken as the start of the next input.
Scan ScanControlSequence(std::string_view bytes) {
    if (bytes.size() > 2 && bytes[2] == '[') {  // the Linux console's F1..F5: ESC [ [ A..E
        if (bytes.size() < 4) return {ScanStatus::kIncomplete, bytes.size()};
        if (IsFinalByte(static_cast<uint8_t>(bytes[3]))) return {ScanStatus::kComplete, 4};
        return {ScanStatus::kAborted, 3};
    }
    for (size_t i = 2; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (IsFinalByte(byte)) return {ScanStatus::kComplete, i + 1};
        if (!IsParameterByte(byte) && !IsIntermediateByte(byte)) return {ScanStatus::kAborted, i};
    }
    return {ScanStatus::kIncomplete, bytes.size()};
}

// ESC O, an optional modifier parameter (older xterms: ESC O 2 P), final byte.
Scan ScanSingleShift(std::string_view bytes) {
    for (size_t i = 2; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (IsFinalByte(byte)) return {ScanStatus::kComplete, i + 1};
        if (!IsParameterByte(byte)) return {ScanStatus::kAborted, i};
    }
    return {ScanStatus::kIncomplete, bytes.size()};
}

// OSC, DCS and APC run to ST (ESC \) or BEL; CAN and SUB cancel them. Any other ESC ends the
// string too and starts the next sequence, so a lost terminator costs only the string. Other
// control bytes never occur in a reply and break the string off as well.
Scan ScanControlString(std::string_view bytes) {
    for (size_t i = 2; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte == 0x07 || byte == 0x18 || byte == 0x1A) return {ScanStatus::kComplete, i + 1};
        if (byte == kEsc) {
            if (i + 1 == bytes.size()) break;
            if (bytes[i + 1] == '\\') return {ScanStatus::kComplete, i + 2};
            return {ScanStatus::kAborted, i};
        }
        if (byte < 0x20 || byte == 0x7F) return {ScanStatus::kAborted, i};
    }
    return {ScanStatus::kIncomplete, bytes.size()};
}

Scan ScanSequence(Introducer introducer, std::string_view bytes) {
    switch (introducer) {
        case Introducer::kControlSequence:
            return ScanControlSequence(bytes);
        case Introducer::kSingleShift:
            return ScanSingleShift(bytes);
        case Introducer::kControlString:
            return ScanControlString(bytes);
        case Introducer::kNone:
        case Introducer::kUndecided:
            break;
    }
    return {ScanStatus::kAborted, 1};
}

struct Utf8Scan {
    ScanStatus status;
    size_t length;
    char32_t codePoint;
};

// Strict UTF-8: overlong forms, surrogates and code points past U+10FFFF are invalid. An
// invalid sequence is dropped up to the first byte that cannot continue it.
Utf8Scan ScanUtf8(std::string_view bytes) {
    const auto lead = static_cast<uint8_t>(bytes[0]);
    size_t continuationCount = 0;
    char32_t codePoint = 0;
    uint8_t lowest = 0x80, highest = 0xBF;  // the range allowed for the first continuation
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuationCount = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuationCount = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) lowest = 0xA0;
        if (lead == 0xED) highest = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuationCount = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0) lowest = 0x90;
        if (lead == 0xF4) highest = 0x8F;
    } else {
        return {ScanStatus::kAborted, 1, 0};
    }
    for (size_t i = 1; i <= continuationCount; ++i) {
        if (i >= bytes.size()) return {ScanStatus::kIncomplete, bytes.size(), 0};
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte < lowest || byte > highest) return {ScanStatus::kAborted, i, 0};
        lowest = 0x80;
        highest = 0xBF;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    return {ScanStatus::kComplete, continuationCount + 1, codePoint};
}

// The parameters of a control sequence: fields separated by ';', sub-fields by ':'.
class Parameters {
  public:
    // False for a layout no terminal sends (a parameter after an intermediate byte, too
    // many fields); such a sequence is dropped.
    bool Parse(std::string_view bytes) {
        size_t i = 0;
        if (!bytes.empty() && bytes[0] >= '<' && bytes[0] <= '?') privateMarker_ = bytes[i++];
        if (i < bytes.size() && IsParameterByte(static_cast<uint8_t>(bytes[i]))) StartField(0);
        for (; i < bytes.size() && IsParameterByte(static_cast<uint8_t>(bytes[i])); ++i) {
            const char byte = bytes[i];
            if (IsDigit(static_cast<uint8_t>(byte))) {
                int64_t& value = values_[fieldCount_ - 1][subfieldCount_[fieldCount_ - 1] - 1];
                value = std::min<int64_t>((value < 0 ? 0 : value) * 10 + (byte - '0'), kMaxValue);
            } else if (byte == ';') {
                if (fieldCount_ == kMaxFields) return false;
                StartField(fieldCount_);
            } else if (byte == ':') {
                int& subfields = subfieldCount_[fieldCount_ - 1];
                if (subfields == kMaxSubfields) return false;
                values_[fieldCount_ - 1][subfields++] = -1;
            } else {
                return false;
            }
        }
        for (; i < bytes.size(); ++i) {
            if (!IsIntermediateByte(static_cast<uint8_t>(bytes[i]))) return false;
            hasIntermediates_ = true;
        }
        return true;
    }

    // The value, or fallback when the field or sub-field is missing or empty.
    int64_t Get(int field, int subfield, int64_t fallback) const {
        if (field >= fieldCount_ || subfield >= subfieldCount_[field]) return fallback;
        const int64_t value = values_[field][subfield];
        return value < 0 ? fallback : value;
    }
    int FieldCount() const { return fieldCount_; }
    int SubfieldCount(int field) const { return field < fieldCount_ ? subfieldCount_[field] : 0; }
    char PrivateMarker() const { return privateMarker_; }
    bool HasIntermediates() const { return hasIntermediates_; }

  private:
    static constexpr int kMaxFields = 8;
    static constexpr int kMaxSubfields = 16;  // the kitty text field: one code point each
    static constexpr int64_t kMaxValue = 0x7FFFFFFF;

    void StartField(int field) {
        fieldCount_ = field + 1;
        subfieldCount_[field] = 1;
        values_[field][0] = -1;
    }

    char privateMarker_ = 0;
    bool hasIntermediates_ = false;
    int fieldCount_ = 0;
    std::array<int, kMaxFields> subfieldCount_{};
    std::array<std::array<int64_t, kMaxSubfields>, kMaxFields> values_{};
};

struct Modifiers {
    uint32_t bits = 0;  // kMod* bits
    bool release = false;
};

// modifiers[:event] in the given field; nothing for values no terminal sends.
std::optional<Modifiers> ModifiersOf(const Parameters& parameters, int field) {
    const int64_t value = parameters.Get(field, 0, 1);
    const int64_t event = parameters.Get(field, 1, 1);
    if (value > kMaxModifierParameter || event < 1 || event > 3) return std::nullopt;
    if (parameters.SubfieldCount(field) > 2) return std::nullopt;
    return Modifiers{static_cast<uint32_t>(std::max<int64_t>(value, 1) - 1), event == 3};
}

// The character a key types under the given modifiers, when the terminal did not say: Ctrl
// gives the control character (or none), Shift the shifted character, Caps Lock inverts the
// case of letters, Alt changes nothing.
char32_t CharacterOf(uint16_t virtualKey, char32_t plain, char32_t shifted, uint32_t bits) {
    if (bits & kModCtrl) return keytables::ControlCharOf(virtualKey);
    char32_t character = (bits & kModShift) && shifted != 0 ? shifted : plain;
    const bool isLetterKey = virtualKey >= vk::kLetterA && virtualKey < vk::kLetterA + 26;
    if ((bits & kModCapsLock) && isLetterKey && character < 0x80) {
        if (character >= 'a' && character <= 'z') {
            character -= 'a' - 'A';
        } else if (character >= 'A' && character <= 'Z') {
            character += 'a' - 'A';
        }
    }
    return character;
}

// One decoding step over the unread bytes, writing into the decoder's state. Separate from
// KeyDecoder so that the many helpers need no declarations in its header.
class FrontDecoder {
  public:
    FrontDecoder(std::deque<DecodedItem>& ready, uint32_t& heldModifiers,
                 bool& awaitingCursorReport, char16_t& pendingHighSurrogate, uint8_t eraseCharacter)
        : ready_(ready),
          heldModifiers_(heldModifiers),
          awaitingCursorReport_(awaitingCursorReport),
          pendingHighSurrogate_(pendingHighSurrogate),
          eraseCharacter_(eraseCharacter) {}

    // The number of bytes consumed at the front; 0 when they may start a longer sequence and
    // flush is false. With flush set, always at least 1.
    size_t Decode(std::string_view bytes, bool flush) {
        const auto first = static_cast<uint8_t>(bytes[0]);
        if (first == kEsc) return DecodeEscape(bytes, flush);
        if (first < 0x80) {
            EmitByteKey(first, 0);
            return 1;
        }
        return DecodeText(bytes, flush);
    }

    // Skips a sequence already known to be too long, producing nothing.
    static size_t Skip(std::string_view bytes, bool flush) {
        const size_t start = bytes.size() > 1 && static_cast<uint8_t>(bytes[1]) == kEsc ? 1 : 0;
        const std::string_view sequence = bytes.substr(start);
        if (sequence.size() < 2) return flush ? bytes.size() : 0;
        const Scan scan = ScanSequence(IntroducerAt(sequence), sequence);
        if (scan.status == ScanStatus::kIncomplete) return flush ? bytes.size() : 0;
        return std::max<size_t>(start + scan.length, 1);
    }

  private:
    size_t DecodeEscape(std::string_view bytes, bool flush) {
        if (bytes.size() == 1) {
            if (!flush) return 0;
            EmitByteKey(kEsc, 0);
            return 1;
        }
        const auto second = static_cast<uint8_t>(bytes[1]);
        if (second == kEsc) return DecodeDoubleEscape(bytes, flush);

        const Introducer introducer = IntroducerAt(bytes);
        if (introducer == Introducer::kUndecided) {
            if (!flush) return 0;
            EmitByteKey(second, kModAlt);
            return 2;
        }
        if (introducer != Introducer::kNone) return DecodeSequence(introducer, bytes, flush);

        // ESC before a key of its own is how terminals send Alt+key.
        if (second < 0x80) {
            EmitByteKey(second, kModAlt);
            return 2;
        }
        const Utf8Scan text = ScanUtf8(bytes.substr(1));
        if (text.status == ScanStatus::kIncomplete) return flush ? bytes.size() : 0;
        if (text.status == ScanStatus::kAborted) {
            EmitByteKey(kEsc, 0);
            return 1;
        }
        EmitText(text.codePoint, kModAlt);
        return 1 + text.length;
    }

    size_t DecodeSequence(Introducer introducer, std::string_view bytes, bool flush) {
        const Scan scan = ScanSequence(introducer, bytes);
        switch (scan.status) {
            case ScanStatus::kComplete:
                // Held back this long, it would have been cut down while pending; dropping it
                // here too keeps the outcome independent of how the bytes were split.
                if (scan.length <= kMaxSequenceLength) {
                    Interpret(introducer, bytes.substr(0, scan.length));
                }
                return scan.length;
            case ScanStatus::kIncomplete:
                if (!flush) return 0;
                // ESC [ and ESC O with nothing after them were Alt+[ and Alt+Shift+O.
                if (bytes.size() == 2) EmitByteKey(static_cast<uint8_t>(bytes[1]), kModAlt);
                return bytes.size();
            case ScanStatus::kAborted: {
                // Nothing after the introducer belonged to a sequence, or a control string
                // met a control byte that no reply holds: it was Alt+key and then typing.
                const bool typedAfterAlt =
                    scan.length == 2 || (introducer == Introducer::kControlString &&
                                         static_cast<uint8_t>(bytes[scan.length]) != kEsc);
                if (typedAfterAlt) {
                    EmitByteKey(static_cast<uint8_t>(bytes[1]), kModAlt);
                    return 2;
                }
                return scan.length;
            }
        }
        return bytes.size();
    }

    // ESC ESC: Alt plus a key that the second ESC starts the sequence of (ESC ESC [ A is
    // Alt+Up), or else the Esc key followed by whatever the second ESC begins.
    size_t DecodeDoubleEscape(std::string_view bytes, bool flush) {
        const std::string_view inner = bytes.substr(1);
        if (inner.size() < 2) {
            if (!flush) return 0;
            EmitByteKey(kEsc, 0);
            return 1;
        }
        const Introducer introducer = IntroducerAt(inner);
        if (introducer != Introducer::kControlSequence && introducer != Introducer::kSingleShift) {
            EmitByteKey(kEsc, 0);
            return 1;
        }
        const Scan scan = ScanSequence(introducer, inner);
        if (scan.status == ScanStatus::kIncomplete) {
            if (!flush) return 0;
            if (inner.size() > 2) return bytes.size();
            EmitByteKey(kEsc, 0);  // ESC ESC [: Esc, then Alt+[
            return 1;
        }
        if (scan.status == ScanStatus::kAborted) {
            EmitByteKey(kEsc, 0);
            return 1;
        }

        if (1 + scan.length > kMaxSequenceLength) return 1 + scan.length;
        const std::string_view sequence = inner.substr(0, scan.length);
        const size_t mark = ready_.size();
        const uint32_t altState = AltState();  // before the sequence's own modifiers count
        // A win32-input-mode record is a whole key record; an ESC before it is an Esc key.
        const bool isWin32Record =
            introducer == Introducer::kControlSequence && sequence.back() == '_';
        if (!isWin32Record) Interpret(introducer, sequence);
        bool keyProduced = false;
        for (size_t i = mark; i < ready_.size(); ++i) {
            if (auto* record = std::get_if<KeyRecord>(&ready_[i])) {
                record->controlState |= altState;
                keyProduced = true;
            }
        }
        if (!keyProduced) {
            ready_.insert(ready_.begin() + static_cast<std::ptrdiff_t>(mark), ByteKey(kEsc, 0));
            if (isWin32Record) Interpret(introducer, sequence);
        }
        return 1 + scan.length;
    }

    size_t DecodeText(std::string_view bytes, bool flush) {
        const Utf8Scan text = ScanUtf8(bytes);
        if (text.status == ScanStatus::kIncomplete) return flush ? bytes.size() : 0;
        if (text.status == ScanStatus::kComplete) EmitText(text.codePoint, 0);
        return text.length;
    }

    void Interpret(Introducer introducer, std::string_view sequence) {
        if (introducer == Introducer::kControlSequence) InterpretControlSequence(sequence);
        if (introducer == Introducer::kSingleShift) InterpretSingleShift(sequence);
        // Control strings are replies to queries this program does not make: dropped.
    }

    void InterpretControlSequence(std::string_view sequence) {
        if (sequence[2] == '[') {  // the Linux console's F1..F5
            const char last = sequence[3];
            if (last >= 'A' && last <= 'E') {
                EmitNamedKey({static_cast<uint16_t>(vk::kF1 + (last - 'A')), 0}, {});
            }
            return;
        }
        Parameters parameters;
        if (!parameters.Parse(sequence.substr(2, sequence.size() - 3))) return;
        const char finalByte = sequence.back();
        if (parameters.PrivateMarker() == '?' && !parameters.HasIntermediates()) {
            InterpretReply(parameters, finalByte);
            return;
        }
        if (parameters.PrivateMarker() != 0 || parameters.HasIntermediates()) return;

        switch (finalByte) {
            case '_':
                EmitWin32Record(parameters);
                return;
            case 'u':
                InterpretKeyCode(parameters, 0, 1, 2);
                return;
            case '~':
                // xterm's modifyOtherKeys: CSI 27 ; modifiers ; key ~ (27 is no key number).
                if (parameters.Get(0, 0, 0) == 27 && parameters.FieldCount() == 3) {
                    if (parameters.SubfieldCount(2) == 1) InterpretKeyCode(parameters, 2, 1, -1);
                    return;
                }
                InterpretNumberedKey(parameters);
                return;
            case 'R':
                if (awaitingCursorReport_) {
                    EmitCursorReport(parameters);
                    return;
                }
                break;
            case 'Z':
                InterpretBackTab(parameters);
                return;
            default:
                break;
        }
        if (const auto key = keytables::CursorOrFunctionKey(finalByte)) {
            // CSI 1 ; modifiers X: the first parameter is always 1 or left out.
            if (parameters.FieldCount() > 2 || parameters.SubfieldCount(0) > 1) return;
            if (parameters.Get(0, 0, 1) != 1) return;
            const auto modifiers = ModifiersOf(parameters, 1);
            if (!modifiers) return;
            // An unexpected cursor report (row 1) must not become a key with modifiers that
            // xterm never sends; kitty reports F3 as CSI 13 ~ and never takes this path.
            if (finalByte == 'R' && modifiers->bits > (kModShift | kModAlt | kModCtrl | 0x08)) {
                return;
            }
            EmitNamedKey(*key, *modifiers);
        }
    }

    void InterpretReply(const Parameters& parameters, char finalByte) {
        if (finalByte == 'u') {
            ready_.emplace_back(KittyFlagsReply{static_cast<int>(parameters.Get(0, 0, 0))});
        } else if (finalByte == 'c') {
            ready_.emplace_back(DeviceAttributesReply{});
        } else if (finalByte == 'R' && awaitingCursorReport_) {
            EmitCursorReport(parameters);  // the DEC form CSI ? row ; column R
        }
    }

    void EmitCursorReport(const Parameters& parameters) {
        if (parameters.FieldCount() > 3) return;
        CursorPositionReply reply;
        reply.row = static_cast<int>(std::max<int64_t>(parameters.Get(0, 0, 1), 1));
        reply.column = static_cast<int>(std::max<int64_t>(parameters.Get(1, 0, 1), 1));
        ready_.emplace_back(reply);
        awaitingCursorReport_ = false;  // one query, one report
    }

    void InterpretSingleShift(std::string_view sequence) {
        Parameters parameters;
        if (!parameters.Parse(sequence.substr(2, sequence.size() - 3))) return;
        if (parameters.PrivateMarker() != 0 || parameters.FieldCount() > 2) return;
        // Older xterms send the modifier alone (ESC O 2 P), newer ones as 1 ; modifier.
        const auto modifiers = ModifiersOf(parameters, parameters.FieldCount() == 2 ? 1 : 0);
        if (!modifiers) return;
        const char finalByte = sequence.back();
        auto key = keytables::ApplicationKeypadKey(finalByte);
        if (!key) key = keytables::CursorOrFunctionKey(finalByte);
        if (key) EmitNamedKey(*key, *modifiers);
    }

    void InterpretNumberedKey(const Parameters& parameters) {
        if (parameters.FieldCount() > 2 || parameters.SubfieldCount(0) > 1) return;
        const int64_t number = parameters.Get(0, 0, -1);
        const auto modifiers = ModifiersOf(parameters, 1);
        if (number < 0 || !modifiers) return;
        if (const auto key = keytables::TildeKey(static_cast<uint32_t>(number))) {
            EmitNamedKey(*key, *modifiers);
        }
    }

    void InterpretBackTab(const Parameters& parameters) {
        if (parameters.FieldCount() > 2 || parameters.Get(0, 0, 1) != 1) return;
        auto modifiers = ModifiersOf(parameters, 1);
        if (!modifiers) return;
        modifiers->bits |= kModShift;
        EmitNamedKey({vk::kTab, '\t'}, *modifiers);
    }

    // CSI code[:shifted[:base]] ; modifiers[:event] ; text u (kitty, and xterm's CSI code ; m u)
    // and the key of modifyOtherKeys' CSI 27 ; m ; code ~.
    void InterpretKeyCode(const Parameters& parameters, int codeField, int modifierField,
                          int textField) {
        if (parameters.FieldCount() > 3 || parameters.SubfieldCount(codeField) > 3) return;
        const int64_t code = parameters.Get(codeField, 0, -1);
        const auto modifiers = ModifiersOf(parameters, modifierField);
        if (code < 0 || code > kMaxCodePoint || !modifiers) return;
        uint32_t bits = modifiers->bits;
        const bool release = modifiers->release;

        std::array<char32_t, 16> text{};
        size_t textLength = 0;
        if (textField >= 0) {
            for (int sub = 0; sub < parameters.SubfieldCount(textField); ++sub) {
                const int64_t codePoint = parameters.Get(textField, sub, 0);
                if (IsTextCodePoint(codePoint) && textLength < text.size()) {
                    text[textLength++] = static_cast<char32_t>(codePoint);
                }
            }
        }

        if (const auto functional = keytables::KittyFunctionalKey(static_cast<uint32_t>(code))) {
            if (functional->modifier != ModifierKey::kNone) {
                EmitModifierKey(functional->modifier, functional->key.virtualKey, *modifiers);
                return;
            }
            const NamedKey& key = functional->key;
            ForgetReleasedModifiers(bits);
            const char32_t character =
                textLength > 0 ? text[0]
                               : CharacterOf(key.virtualKey, key.character, key.character, bits);
            EmitKey(key.virtualKey, character, bits, release);
            return;
        }
        if (code >= kPrivateUseFirst && code <= kPrivateUseLast) return;  // keys Windows lacks
        ForgetReleasedModifiers(bits);

        uint16_t virtualKey = 0;
        char32_t plain = 0, shifted = 0;
        const int64_t shiftedKey = parameters.Get(codeField, 1, 0);
        if (code == 0) {
            // Text with no key behind it (an input method, a compose sequence).
            if (release) return;
            for (size_t i = 0; i < textLength; ++i) EmitKey(0, text[i], bits, false);
            return;
        }
        if (code == 0x08) {
            // Backspace as some terminals number it (a C0 byte would be Ctrl+H).
            virtualKey = vk::kBack;
            plain = shifted = 0x08;
        } else if (code < 0x20 || code == 0x7F) {
            const auto control = keytables::KeyOfControlByte(static_cast<uint8_t>(code));
            if (control.withCtrl) bits |= kModCtrl;
            virtualKey = control.key.virtualKey;
            plain = shifted = control.key.character;
        } else if (code < 0x7F) {
            const auto layoutKey = keytables::UsLayoutKeyOf(static_cast<char32_t>(code));
            virtualKey = layoutKey.virtualKey;
            plain = static_cast<char32_t>(code);
            if (layoutKey.shifted) {
                // modifyOtherKeys names the shifted character ('A', '!'); Shift was held.
                bits |= kModShift;
                shifted = plain;
            } else {
                shifted = IsTextCodePoint(shiftedKey) ? static_cast<char32_t>(shiftedKey)
                                                      : keytables::ShiftedCharOf(virtualKey);
            }
        } else {
            // A key of another layout: Windows names it by the US key in the same place.
            if (!IsTextCodePoint(code)) return;
            const int64_t baseKey = parameters.Get(codeField, 2, 0);
            if (baseKey > 0x20 && baseKey < 0x7F) {
                virtualKey = keytables::UsLayoutKeyOf(static_cast<char32_t>(baseKey)).virtualKey;
            }
            plain = static_cast<char32_t>(code);
            shifted = IsTextCodePoint(shiftedKey) ? static_cast<char32_t>(shiftedKey) : plain;
        }

        const char32_t character =
            textLength > 0 ? text[0] : CharacterOf(virtualKey, plain, shifted, bits);
        EmitKey(virtualKey, character, bits, release);
        if (!release) {
            for (size_t i = 1; i < textLength; ++i) EmitKey(0, text[i], bits, false);
        }
    }

    // Presses and releases of Shift, Ctrl and Alt themselves. Windows reports a modifier's
    // own state after the event (pressed on the press, clear on the release unless the key
    // on the other side is still down), whatever order the terminal reports it in.
    void EmitModifierKey(ModifierKey which, uint16_t virtualKey, Modifiers modifiers) {
        const ModifierKeyBits& key = kModifierKeyBits[static_cast<size_t>(which)];
        if (key.ownKey == 0) return;
        if (modifiers.release) {
            heldModifiers_ &= ~key.ownKey;
        } else {
            heldModifiers_ |= key.ownKey;
        }
        uint32_t bits = modifiers.bits & ~key.kindBit;
        if (heldModifiers_ & key.sameKind) bits |= key.kindBit;
        ForgetReleasedModifiers(bits);
        EmitKey(virtualKey, 0, bits, modifiers.release);
    }

    // CSI Vk ; Sc ; Uc ; Kd ; Cs ; Rc _ : a Windows key record, taken over as it is.
    void EmitWin32Record(const Parameters& parameters) {
        if (parameters.FieldCount() > 6) return;
        for (int field = 0; field < parameters.FieldCount(); ++field) {
            if (parameters.SubfieldCount(field) > 1) return;
        }
        const int64_t virtualKey = parameters.Get(0, 0, 0);
        const int64_t unit = parameters.Get(2, 0, 0);
        const int64_t repeatCount = parameters.Get(5, 0, 1);
        if (virtualKey > 0xFFFF || unit > 0xFFFF || repeatCount > 0xFFFF) return;
        KeyRecord record;
        record.virtualKey = static_cast<uint16_t>(virtualKey);
        record.unicodeChar = static_cast<char32_t>(unit);
        record.keyDown = parameters.Get(3, 0, 0) != 0;
        record.controlState = static_cast<uint32_t>(parameters.Get(4, 0, 0));
        record.repeatCount = static_cast<uint16_t>(std::max<int64_t>(repeatCount, 1));

        // Characters beyond the BMP come as two records, one per UTF-16 unit. The press of
        // the high half waits for the press of the low half; releases of either half carry
        // no key and are dropped, as is a half without its partner.
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (record.keyDown) pendingHighSurrogate_ = static_cast<char16_t>(unit);
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (!record.keyDown || pendingHighSurrogate_ == 0) return;
            record.unicodeChar = 0x10000 +
                                 ((static_cast<char32_t>(pendingHighSurrogate_) - 0xD800) << 10) +
                                 (static_cast<char32_t>(unit) - 0xDC00);
            pendingHighSurrogate_ = 0;
            ready_.emplace_back(record);
            return;
        }
        pendingHighSurrogate_ = 0;
        ready_.emplace_back(record);
    }

    // The kitty protocol says which physical keys are down; a report without a modifier
    // proves its keys are up even if their releases were missed (focus moved away).
    void ForgetReleasedModifiers(uint32_t bits) {
        if (!(bits & kModShift)) heldModifiers_ &= ~kHeldShift;
        if (!(bits & kModCtrl)) heldModifiers_ &= ~kHeldCtrl;
        if (!(bits & kModAlt)) heldModifiers_ &= ~kHeldAlt;
    }

    // Left unless only the right-hand key is known to be down.
    uint32_t CtrlState() const {
        const bool left = heldModifiers_ & kHeldLeftCtrl, right = heldModifiers_ & kHeldRightCtrl;
        if (!right) return cks::kLeftCtrl;
        return left ? cks::kLeftCtrl | cks::kRightCtrl : cks::kRightCtrl;
    }
    uint32_t AltState() const {
        const bool left = heldModifiers_ & kHeldLeftAlt, right = heldModifiers_ & kHeldRightAlt;
        if (!right) return cks::kLeftAlt;
        return left ? cks::kLeftAlt | cks::kRightAlt : cks::kRightAlt;
    }

    uint32_t ControlStateOf(uint32_t bits) const {
        uint32_t state = 0;
        if (bits & kModShift) state |= cks::kShift;
        if (bits & kModAlt) state |= AltState();
        if (bits & kModCtrl) state |= CtrlState();
        if (bits & kModCapsLock) state |= cks::kCapsLock;
        if (bits & kModNumLock) state |= cks::kNumLock;
        return state;
    }

    KeyRecord MakeRecord(uint16_t virtualKey, char32_t character, uint32_t bits,
                         bool release) const {
        KeyRecord record;
        record.virtualKey = virtualKey;
        record.unicodeChar = character;
        record.keyDown = !release;
        record.controlState = ControlStateOf(bits);
        return record;
    }

    void EmitKey(uint16_t virtualKey, char32_t character, uint32_t bits, bool release) {
        ready_.emplace_back(MakeRecord(virtualKey, character, bits, release));
    }

    void EmitNamedKey(const NamedKey& key, Modifiers modifiers) {
        ForgetReleasedModifiers(modifiers.bits);
        const char32_t character =
            CharacterOf(key.virtualKey, key.character, key.character, modifiers.bits);
        EmitKey(key.virtualKey, character, modifiers.bits, modifiers.release);
    }

    // A single byte below 0x80 as a key: its character is the byte itself (DEL, the
    // Backspace key, reports the backspace character as Windows does).
    KeyRecord ByteKey(uint8_t byte, uint32_t bits) const {
        if (byte == eraseCharacter_) return MakeRecord(vk::kBack, 0x08, bits, false);
        if (byte < 0x20 || byte == 0x7F) {
            const auto control = keytables::KeyOfControlByte(byte);
            if (control.withCtrl) bits |= kModCtrl;
            return MakeRecord(control.key.virtualKey, control.key.character, bits, false);
        }
        const auto layoutKey = keytables::UsLayoutKeyOf(byte);
        if (layoutKey.shifted) bits |= kModShift;
        return MakeRecord(layoutKey.virtualKey, byte, bits, false);
    }

    void EmitByteKey(uint8_t byte, uint32_t bits) { ready_.emplace_back(ByteKey(byte, bits)); }

    // Text that no US key types: no virtual key, only the character. C1 controls are no
    // text and are dropped.
    void EmitText(char32_t codePoint, uint32_t bits) {
        if (!IsTextCodePoint(codePoint)) return;
        EmitKey(0, codePoint, bits, false);
    }

    std::deque<DecodedItem>& ready_;
    uint32_t& heldModifiers_;
    bool& awaitingCursorReport_;
    char16_t& pendingHighSurrogate_;
    uint8_t eraseCharacter_;
};

constexpr std::string_view kPasteStart = "\x1b[200~";
constexpr std::string_view kPasteEnd = "\x1b[201~";

}  // namespace

void KeyDecoder::Push(std::string_view bytes) {
    if (readOffset_ > 0) {
        pending_.erase(0, readOffset_);
        readOffset_ = 0;
    }
    pending_.append(bytes);
}

KeyDecoder::Result KeyDecoder::Next(DecodedItem& item) {
    while (ready_.empty() && !pending_.empty()) {
        if (!DecodeFront(false)) break;
    }
    if (!ready_.empty()) {
        item = std::move(ready_.front());
        ready_.pop_front();
        return Result::kItem;
    }
    return HasPendingBytes() ? Result::kNeedMore : Result::kEmpty;
}

void KeyDecoder::Expire() {
    while (!pending_.empty()) DecodeFront(true);
    if (inPaste_) EndPaste();
}

void KeyDecoder::SetEraseCharacter(uint8_t erase) {
    // Only the two bytes terminals send for Backspace; anything else would take a key away.
    if (erase == 0x08 || erase == 0x7F) eraseCharacter_ = erase;
}

void KeyDecoder::EndPaste() {
    ready_.emplace_back(std::move(paste_));
    paste_ = PastedText{};
    inPaste_ = false;
}

bool KeyDecoder::DecodePaste(std::string_view unread, bool flush) {
    const size_t end = unread.find(kPasteEnd);
    // Without the end, hold back a tail that may be its beginning.
    size_t keep = 0;
    if (end == std::string_view::npos && !flush) {
        for (size_t n = std::min(kPasteEnd.size() - 1, unread.size()); n > 0 && keep == 0; --n) {
            if (kPasteEnd.starts_with(unread.substr(unread.size() - n))) keep = n;
        }
    }
    std::string_view part =
        unread.substr(0, end == std::string_view::npos ? unread.size() - keep : end);
    const size_t taken = part.size();
    const size_t room = kMaxPasteLength - paste_.bytes.size();
    if (part.size() > room) {
        part = part.substr(0, room);
        paste_.cut = true;
    }
    paste_.bytes.append(part);
    if (end != std::string_view::npos) {
        ConsumeBytes(end + kPasteEnd.size());
        EndPaste();
        return true;
    }
    if (taken > 0) ConsumeBytes(taken);
    if (flush) EndPaste();
    return taken > 0 || flush;
}

bool KeyDecoder::DecodeFront(bool flush) {
    const std::string_view unread = std::string_view(pending_).substr(readOffset_);
    if (inPaste_) return DecodePaste(unread, flush);
    size_t consumed = 0;
    if (discardingSequence_) {
        consumed = FrontDecoder::Skip(unread, flush);
        if (consumed > 0) discardingSequence_ = false;
    } else if (unread.starts_with(kPasteStart)) {
        inPaste_ = true;
        consumed = kPasteStart.size();
    } else {
        FrontDecoder decoder(ready_, heldModifiers_, awaitingCursorReport_, pendingHighSurrogate_,
                             eraseCharacter_);
        consumed = decoder.Decode(unread, flush);
    }
    if (consumed == 0 && flush) consumed = unread.size();
    if (consumed > 0) {
        ConsumeBytes(consumed);
        return true;
    }
    if (unread.size() > kMaxSequenceLength) {
        // Nothing a terminal sends is this long. Keep the introducer, the byte after it that
        // decided its kind, and the last byte, which may begin the terminator; cut the rest
        // and skip what follows up to the end of the sequence.
        const size_t introducer = static_cast<uint8_t>(unread[1]) == kEsc ? 3 : 2;
        const size_t keep = introducer + 1;
        pending_.erase(readOffset_ + keep, unread.size() - keep - 1);
        discardingSequence_ = true;
    }
    return false;
}

void KeyDecoder::ConsumeBytes(size_t count) {
    readOffset_ += count;
    if (readOffset_ >= pending_.size()) {
        pending_.clear();
        readOffset_ = 0;
    }
}

}  // namespace kq::console
