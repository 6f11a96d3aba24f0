// Names between the file system (UTF-8, or whatever bytes a name holds) and the console code
// page, and the way back from a lossy listed name to the file it stands for.
//
// The glyph table is built once and only read afterwards, so every thread may convert.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "console/GlyphTable.h"
#include "fs/FsInternal.h"

namespace kq::fs {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 character at text[i] and advances i past it. An invalid or incomplete
// sequence, an overlong form, a surrogate or a value past U+10FFFF gives kInvalid and advances
// by one byte, so that each stray byte becomes one '?'.
char32_t DecodeUtf8(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return kInvalid;
    }
    if (i + length > text.size()) {
        ++i;
        return kInvalid;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kInvalid;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
        ++i;
        return kInvalid;
    }
    i += length;
    return value;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

// The one entry of directory whose listed name is codePageName; empty when none or several.
std::string FindListedName(const std::string& directory, std::string_view codePageName) {
    std::unique_ptr<DIR, int (*)(DIR*)> stream(
        ::opendir(directory.empty() ? "." : directory.c_str()), ::closedir);
    if (!stream) return {};
    std::string found;
    int matches = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        if (ToCodePage(entry->d_name) == codePageName && ++matches == 1) found = entry->d_name;
    }
    return matches == 1 ? found : std::string();
}

}  // namespace

std::string ToCodePage(std::string_view systemName) {
    if (IsAscii(systemName)) return std::string(systemName);
    const console::GlyphTable& glyphs = console::ConsoleGlyphs();
    std::string result;
    result.reserve(systemName.size());
    for (size_t i = 0; i < systemName.size();) {
        const char32_t character = DecodeUtf8(systemName, i);
        result += character == kInvalid ? '?' : static_cast<char>(glyphs.FromUnicode(character));
    }
    return result;
}

std::string FromCodePage(std::string_view codePageText) {
    if (IsAscii(codePageText)) return std::string(codePageText);
    const console::GlyphTable& glyphs = console::ConsoleGlyphs();
    std::string result;
    result.reserve(codePageText.size() * 2);
    for (const char c : codePageText) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            console::AppendUtf8(result, glyphs.Unicode(byte));
        }
    }
    return result;
}

std::string SystemPath(const char* codePagePath) {
    if (codePagePath == nullptr) return {};
    const std::string_view path(codePagePath);
    std::string plain = FromCodePage(path);
    if (path.find('?') == std::string_view::npos || Exists(plain)) return plain;

    // Component by component, so that each lossy name is looked up in its real directory.
    std::string resolved;
    size_t start = 0;
    if (!path.empty() && path[0] == '/') {
        resolved = "/";
        start = 1;
    }
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view component = path.substr(start, end - start);
        if (!component.empty()) {
            const std::string directory = resolved;
            if (!resolved.empty() && resolved.back() != '/') resolved += '/';
            std::string converted = FromCodePage(component);
            if (component.find('?') != std::string_view::npos && !Exists(resolved + converted)) {
                std::string listed = FindListedName(directory, component);
                if (!listed.empty()) converted = std::move(listed);
            }
            resolved += converted;
        }
        if (end < path.size() && end + 1 == path.size()) resolved += '/';  // keep a final '/'
        start = end + 1;
    }
    return resolved;
}

}  // namespace kq::fs
