// A pure decoder from the bytes a terminal sends to keyboard records and terminal replies.
//
// Push bytes as they arrive, then pull items until Next says NeedMore or Empty. Nothing here
// reads a clock or a file: the caller owns the Esc timeout. When bytes have waited in the
// decoder for the timeout (50 ms) without more arriving, the caller calls Expire(), which
// resolves what is pending (a lone ESC is the Esc key, ESC + one byte an Alt key) or drops an
// incomplete sequence. No input, however malformed, makes the decoder produce a key that the
// sequence does not name, grow without bound, or stop making progress.
//
// Understood, in order of richness: win32-input-mode (CSI Vk;Sc;Uc;Kd;Cs;Rc _), the kitty
// keyboard protocol (CSI ... u and its functional-key forms, with event types and
// modifier-only keys), xterm modifyOtherKeys (CSI 27;m;k ~ and CSI k;m u), legacy CSI/SS3
// sequences with modifier parameters and the application keypad, ESC as an Alt prefix,
// C0 control bytes and UTF-8 text. Text the terminal brackets as pasted (CSI 200~ ... CSI
// 201~) is one item of its own, never keys.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <variant>

#include "console/KeyRecord.h"

namespace kq::console {

// Replies the terminal sends to the queries made when the console opens.
struct KittyFlagsReply {  // CSI ? flags u: the terminal speaks the kitty keyboard protocol
    int flags = 0;
};
struct DeviceAttributesReply {  // CSI ? ... c: primary device attributes (every terminal answers)
};
struct CursorPositionReply {  // CSI row ; col R, 1-based; only while one is awaited
    int row = 0;
    int column = 0;
};

using DecodedItem = std::variant<KeyRecord, KittyFlagsReply, DeviceAttributesReply,
                                 CursorPositionReply, PastedText>;

class KeyDecoder {
  public:
    enum class Result {
        kItem,      // an item was stored
        kNeedMore,  // bytes are pending that may start a longer sequence; wait or Expire()
        kEmpty,     // nothing pending at all
    };

    // The most a paste may hold; the rest of a longer one is dropped and the paste marked cut.
    static constexpr size_t kMaxPasteLength = 256 * 1024;

    void Push(std::string_view bytes);
    Result Next(DecodedItem& item);
    // The Esc timeout has passed with no new byte: resolve or drop what is pending. Inside a
    // paste whose end never came, what arrived is the paste.
    void Expire();
    // Bytes wait for more, or a paste has begun and not ended: Next says kNeedMore.
    bool HasPendingBytes() const { return !pending_.empty() || inPaste_; }
    // Inside a paste the caller waits longer before Expire: a paste may arrive in pieces.
    bool InPaste() const { return inPaste_; }
    // The terminal's erase character (from its saved modes): the Backspace key. ^H is Ctrl+H
    // unless the terminal says Backspace sends it.
    void SetEraseCharacter(uint8_t erase);

    // A cursor-position report is recognised only while awaited; otherwise CSI 1;2R is
    // Shift+F3 (the legacy form of modified F3).
    void SetAwaitingCursorReport(bool awaiting) { awaitingCursorReport_ = awaiting; }

  private:
    std::string pending_;
    std::deque<DecodedItem> ready_;
    bool awaitingCursorReport_ = false;
    // Physical modifier keys the kitty protocol reported as held, so that a modified key can
    // say left or right Ctrl/Alt.
    uint32_t heldModifiers_ = 0;
    // Bytes of pending_ already decoded; dropped from the front when more bytes are pushed, so
    // that a long burst of input is not shifted once per key.
    size_t readOffset_ = 0;
    // The sequence at the front of the unread bytes outgrew the length bound: its middle was
    // cut away and the rest of it is skipped without producing anything.
    bool discardingSequence_ = false;
    // The high half of a UTF-16 surrogate pair that win32-input-mode sent as a record of its
    // own; the record with the low half completes the character.
    char16_t pendingHighSurrogate_ = 0;
    uint8_t eraseCharacter_ = 0x7F;
    // Between the paste brackets: bytes go into paste_ until the closing bracket.
    bool inPaste_ = false;
    PastedText paste_;

    // Decodes what is at the front of the unread bytes into ready_. Returns false (only when
    // not flushing) when those bytes may still be the start of a longer sequence.
    bool DecodeFront(bool flush);
    // DecodeFront inside a paste.
    bool DecodePaste(std::string_view unread, bool flush);
    void EndPaste();
    void ConsumeBytes(size_t count);

    friend struct KeyDecoderInspector;  // lets the tests see how many bytes are held
};

}  // namespace kq::console
