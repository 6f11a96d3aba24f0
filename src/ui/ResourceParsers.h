// Parsers of the three resource kinds a language module holds: string-table blocks, standard
// dialog templates and extended menu templates. They take one resource's bytes and give its
// content with the texts still in UTF-16; Resources.cpp turns that into the heap records of
// kq/resources.h, and the fuzz target drives the parsers directly.
//
// The bytes are untrusted: every read is checked against the resource's size, and a template
// that is cut short, holds an unterminated string or claims more items than its bytes can hold
// gives nullopt, never a partly filled result. Kept inline in this header so that the fuzz
// target (built by another compiler, outside the library's layers) compiles the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kq::resources {

// UTF-16 units, without a terminator.
using Utf16 = std::vector<uint16_t>;

// A little-endian reader over one resource. Positions count from the resource's start, which
// is also what the templates' 4-byte alignment is relative to.
class ResourceReader {
  public:
    explicit ResourceReader(std::span<const uint8_t> data) : data_(data) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return data_.size() - position_; }

    bool Seek(std::size_t position) {
        if (position > data_.size()) return false;
        position_ = position;
        return true;
    }
    bool Skip(std::size_t count) { return count <= remaining() && Seek(position_ + count); }
    // Rounds the position up to the next multiple of 4 (staying within the data).
    bool AlignTo4() { return Seek((position_ + 3) & ~std::size_t{3}); }

    bool Read16(uint16_t& value) {
        if (remaining() < 2) return false;
        value = static_cast<uint16_t>(data_[position_] | data_[position_ + 1] << 8);
        position_ += 2;
        return true;
    }
    bool Read32(uint32_t& value) {
        uint16_t low = 0, high = 0;
        if (remaining() < 4) return false;
        Read16(low);
        Read16(high);
        value = static_cast<uint32_t>(high) << 16 | low;
        return true;
    }
    bool ReadSigned16(int& value) {
        uint16_t raw = 0;
        if (!Read16(raw)) return false;
        value = static_cast<int16_t>(raw);
        return true;
    }
    // A zero-terminated UTF-16 string; the terminator is consumed, not stored. Fails when the
    // data ends before the terminator.
    bool ReadString(Utf16& text) {
        text.clear();
        for (uint16_t unit = 0;;) {
            if (!Read16(unit)) return false;
            if (unit == 0) return true;
            text.push_back(unit);
        }
    }
    // The same when the first unit has been read already.
    bool ReadStringFrom(uint16_t first, Utf16& text) {
        if (first == 0) {
            text.clear();
            return true;
        }
        if (!ReadString(text)) return false;
        text.insert(text.begin(), first);
        return true;
    }

  private:
    std::span<const uint8_t> data_;
    std::size_t position_ = 0;
};

// A variable field of a dialog template: absent (a single 0 unit), an ordinal (0xFFFF and a
// 16-bit number) or a string.
struct TemplateField {
    enum class Kind { kAbsent, kOrdinal, kString };
    Kind kind = Kind::kAbsent;
    uint16_t ordinal = 0;
    Utf16 text;
};

inline bool ReadTemplateField(ResourceReader& reader, TemplateField& field) {
    uint16_t first = 0;
    if (!reader.Read16(first)) return false;
    if (first == 0) {
        field = TemplateField{};
        return true;
    }
    if (first == 0xFFFF) {
        field.kind = TemplateField::Kind::kOrdinal;
        field.text.clear();
        return reader.Read16(field.ordinal);
    }
    field.kind = TemplateField::Kind::kString;
    return reader.ReadStringFrom(first, field.text);
}

struct DialogItemTemplate {
    uint32_t style = 0;
    int x = 0, y = 0, w = 0, h = 0;
    int id = 0;
    TemplateField classField;
    TemplateField text;
};

struct DialogTemplate {
    int x = 0, y = 0, w = 0, h = 0;
    TemplateField className;
    TemplateField title;
    std::vector<DialogItemTemplate> items;
};

// The set-font style bit: a point size and a font name follow the title.
constexpr uint32_t kDialogSetFont = 0x40;
// style(4) extended style(4) item count(2) x, y, cx, cy (2 each)
constexpr std::size_t kDialogHeaderSize = 18;
// style(4) extended style(4) x, y, cx, cy (2 each) id(2)
constexpr std::size_t kDialogItemHeaderSize = 18;

// A standard dialog template. The extended template (which starts with 1, 0xFFFF) has another
// layout; it is refused rather than misread.
inline std::optional<DialogTemplate> ParseDialog(std::span<const uint8_t> data) {
    ResourceReader reader(data);
    uint32_t style = 0, extendedStyle = 0;
    uint16_t itemCount = 0;
    DialogTemplate dialog;
    if (!reader.Read32(style) || !reader.Read32(extendedStyle) || !reader.Read16(itemCount) ||
        !reader.ReadSigned16(dialog.x) || !reader.ReadSigned16(dialog.y) ||
        !reader.ReadSigned16(dialog.w) || !reader.ReadSigned16(dialog.h)) {
        return std::nullopt;
    }
    if (style == 0xFFFF0001u) return std::nullopt;

    TemplateField menu;
    if (!ReadTemplateField(reader, menu) || !ReadTemplateField(reader, dialog.className) ||
        !ReadTemplateField(reader, dialog.title)) {
        return std::nullopt;
    }
    if ((style & kDialogSetFont) != 0) {
        uint16_t pointSize = 0;
        Utf16 fontName;
        if (!reader.Read16(pointSize) || !reader.ReadString(fontName)) return std::nullopt;
    }

    // Each item takes at least its fixed header, so a count the remaining bytes cannot hold
    // is refused before anything is reserved for it.
    if (itemCount > reader.remaining() / kDialogItemHeaderSize) return std::nullopt;
    dialog.items.reserve(itemCount);
    for (uint16_t index = 0; index < itemCount; ++index) {
        DialogItemTemplate item;
        uint32_t itemExtendedStyle = 0;
        uint16_t id = 0;
        if (!reader.AlignTo4() || !reader.Read32(item.style) || !reader.Read32(itemExtendedStyle) ||
            !reader.ReadSigned16(item.x) || !reader.ReadSigned16(item.y) ||
            !reader.ReadSigned16(item.w) || !reader.ReadSigned16(item.h) || !reader.Read16(id) ||
            !ReadTemplateField(reader, item.classField) || !ReadTemplateField(reader, item.text)) {
            return std::nullopt;
        }
        item.id = id;
        // The creation-data size counts from the size field itself: a non-zero size n moves
        // the reader n bytes on from the field, a zero size just past the field.
        const std::size_t sizeField = reader.position();
        uint16_t creationSize = 0;
        if (!reader.Read16(creationSize)) return std::nullopt;
        if (creationSize != 0 && !reader.Seek(sizeField + creationSize)) return std::nullopt;
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

struct MenuTemplate;

struct MenuItemTemplate {
    uint32_t type = 0;  // with kMenuItemOpensSubmenu added when submenu is set
    uint32_t state = 0;
    uint32_t id = 0;
    Utf16 text;
    std::unique_ptr<MenuTemplate> submenu;
};

struct MenuTemplate {
    std::vector<MenuItemTemplate> items;
};

constexpr uint16_t kMenuExVersion = 1;
constexpr uint16_t kMenuFlagSubmenu = 0x01;
constexpr uint16_t kMenuFlagLast = 0x80;
constexpr uint32_t kMenuItemOpensSubmenu = 0x10;
// Menus nest two or three levels; a deeper template is malformed (or built to exhaust the
// stack).
constexpr int kMaxMenuDepth = 16;

// One level of items, up to and including the one flagged last.
inline bool ParseMenuLevel(ResourceReader& reader, int depth, MenuTemplate& menu) {
    if (depth > kMaxMenuDepth) return false;
    for (;;) {
        MenuItemTemplate item;
        uint16_t flags = 0;
        if (!reader.AlignTo4() || !reader.Read32(item.type) || !reader.Read32(item.state) ||
            !reader.Read32(item.id) || !reader.Read16(flags) || !reader.ReadString(item.text)) {
            return false;
        }
        if ((flags & kMenuFlagSubmenu) != 0) {
            uint32_t helpId = 0;
            item.submenu = std::make_unique<MenuTemplate>();
            if (!reader.AlignTo4() || !reader.Read32(helpId) ||
                !ParseMenuLevel(reader, depth + 1, *item.submenu)) {
                return false;
            }
            item.type |= kMenuItemOpensSubmenu;
        }
        menu.items.push_back(std::move(item));
        if ((flags & kMenuFlagLast) != 0) return true;
    }
}

// An extended menu template. A standard one (version 0) has another layout and is refused.
inline std::optional<MenuTemplate> ParseMenu(std::span<const uint8_t> data) {
    ResourceReader reader(data);
    uint16_t version = 0, offset = 0;
    if (!reader.Read16(version) || !reader.Read16(offset) || version != kMenuExVersion) {
        return std::nullopt;
    }
    // The items start offset + 2 bytes into the resource, rounded up to a multiple of 4.
    MenuTemplate menu;
    if (!reader.Seek(std::size_t{offset} + 2) || !ParseMenuLevel(reader, 0, menu)) {
        return std::nullopt;
    }
    return menu;
}

// String tables come in blocks of 16: string id n is entry n % 16 of block n / 16 + 1.
constexpr int kStringsPerBlock = 16;

inline uint16_t StringBlockId(int stringId) {
    return static_cast<uint16_t>((stringId >> 4) + 1);
}

// Entry index (0..15) of a string-table block: each entry is a 16-bit length and that many
// UTF-16 units. nullopt when the entry is empty (as for the system's loader, an empty string
// is a missing one) or the block is cut short before the entry ends.
inline std::optional<Utf16> ParseStringBlock(std::span<const uint8_t> data, int index) {
    if (index < 0 || index >= kStringsPerBlock) return std::nullopt;
    ResourceReader reader(data);
    for (int entry = 0;; ++entry) {
        uint16_t length = 0;
        if (!reader.Read16(length)) return std::nullopt;
        if (entry < index) {
            if (!reader.Skip(std::size_t{length} * 2)) return std::nullopt;
            continue;
        }
        if (length == 0 || length > reader.remaining() / 2) return std::nullopt;
        Utf16 text(length);
        for (uint16_t& unit : text) reader.Read16(unit);
        return text;
    }
}

}  // namespace kq::resources
