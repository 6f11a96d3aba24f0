// The screen as tmux's capture-pane -p -e shows it: every cell's character and its colours and
// attributes, parsed from the SGR sequences tmux writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kq::testing {

// The UTF-8 character that starts at text[i]; i moves past it.
inline char32_t DecodeUtf8At(std::string_view text, size_t& i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    char32_t character = byte;
    int length = 1;
    if (byte >= 0xF0) {
        character = byte & 0x07;
        length = 4;
    } else if (byte >= 0xE0) {
        character = byte & 0x0F;
        length = 3;
    } else if (byte >= 0xC0) {
        character = byte & 0x1F;
        length = 2;
    }
    for (int k = 1; k < length && i + static_cast<size_t>(k) < text.size(); ++k) {
        character = (character << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += static_cast<size_t>(length);
    return character;
}

inline std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) out += DecodeUtf8At(text, i);
    return out;
}

inline std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

inline std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    for (const char32_t c : text) out += Utf8(c);
    return out;
}

struct ScreenCell {
    char32_t character = U' ';
    int foreground = -1;  // colour index 0-255; -1 is the terminal's default; -2 direct RGB
    int background = -1;
    bool bold = false;
    bool blink = false;
    bool reverse = false;
    friend bool operator==(const ScreenCell&, const ScreenCell&) = default;
};

using ScreenRows = std::vector<std::vector<ScreenCell>>;

// Applies one SGR sequence's parameters (separated by ';' or ':') to the current cell style.
inline void ApplySgr(std::string_view parameters, ScreenCell& style) {
    std::vector<int> values;
    int value = 0;
    bool any = false;
    for (const char c : parameters) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            any = true;
        } else if (c == ';' || c == ':') {
            values.push_back(value);
            value = 0;
            any = false;
        }
    }
    if (any || values.empty()) values.push_back(value);

    for (size_t i = 0; i < values.size(); ++i) {
        const int code = values[i];
        // 38/48: 5;n (indexed) or 2;r;g;b (direct).
        const auto extended = [&](int& colour) {
            if (i + 2 < values.size() && values[i + 1] == 5) {
                colour = values[i + 2];
                i += 2;
            } else if (i + 1 < values.size() && values[i + 1] == 2) {
                colour = -2;
                i += 4;
            }
        };
        if (code == 0) {
            style = ScreenCell{};
        } else if (code == 1) {
            style.bold = true;
        } else if (code == 22) {
            style.bold = false;
        } else if (code == 5) {
            style.blink = true;
        } else if (code == 25) {
            style.blink = false;
        } else if (code == 7) {
            style.reverse = true;
        } else if (code == 27) {
            style.reverse = false;
        } else if (code >= 30 && code <= 37) {
            style.foreground = code - 30;
        } else if (code == 38) {
            extended(style.foreground);
        } else if (code == 39) {
            style.foreground = -1;
        } else if (code >= 40 && code <= 47) {
            style.background = code - 40;
        } else if (code == 48) {
            extended(style.background);
        } else if (code == 49) {
            style.background = -1;
        } else if (code >= 90 && code <= 97) {
            style.foreground = code - 90 + 8;
        } else if (code >= 100 && code <= 107) {
            style.background = code - 100 + 8;
        }
    }
}

// Decodes capture-pane -p -e output: SGR sequences set the style (tmux carries it from one
// line to the next), other escape sequences are skipped, UTF-8 text fills cells.
inline ScreenRows ParseCapture(std::string_view text) {
    ScreenRows rows(1);
    ScreenCell style;
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            rows.emplace_back();
            ++i;
        } else if (byte == 0x1B) {
            if (i + 1 < text.size() && text[i + 1] == '[') {
                size_t end = i + 2;
                while (end < text.size() && !(text[end] >= 0x40 && text[end] <= 0x7E)) {
                    ++end;
                }
                if (end < text.size() && text[end] == 'm') {
                    ApplySgr(text.substr(i + 2, end - i - 2), style);
                }
                i = end + 1;
            } else {
                i += 2;
            }
        } else {
            const char32_t character = DecodeUtf8At(text, i);
            ScreenCell cell = style;
            cell.character = character;
            rows.back().push_back(cell);
        }
    }
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

// A cell of the capture; tmux leaves out trailing cells that were never written.
inline ScreenCell CellAt(const ScreenRows& rows, int x, int y) {
    if (y < static_cast<int>(rows.size()) && x < static_cast<int>(rows[y].size())) {
        return rows[y][x];
    }
    return ScreenCell{};
}

}  // namespace kq::testing
