// The local plugin's compare (ZCompare of plugin 0): names, extensions and texts compare
// case-insensitively by the console code page's upper-casing, times and sizes as signed numbers.
#include "plugins/LocalCompare.h"

#include <algorithm>
#include <array>
#include <compare>
#include <cstring>

#include "kq/text.h"

namespace kq::plugins {
namespace {

// The console code page's upper case of every byte, made once per thread and code page:
// UUpCase converts through the system's tables, far too slow for each compare of a sort.
class UpperCaseTable {
  public:
    const std::array<unsigned char, 256>& For(int codePage) {
        if (codePage != codePage_) Build(codePage);
        return table_;
    }

  private:
    void Build(int codePage) {
        for (int c = 0; c < 256; ++c) {
            char one = static_cast<char>(c);
            if (c != 0) UUpCase(&one, 1);
            table_[static_cast<size_t>(c)] = static_cast<unsigned char>(one);
        }
        // Only the terminator may compare as 0, so that a shorter text sorts first.
        for (int c = 1; c < 256; ++c) {
            if (table_[static_cast<size_t>(c)] == 0)
                table_[static_cast<size_t>(c)] = static_cast<unsigned char>(c);
        }
        codePage_ = codePage;
    }

    int codePage_ = -1;
    std::array<unsigned char, 256> table_{};
};

int Sign(std::strong_ordering order) {
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

const char* TextOf(const char* text) {
    return text == nullptr ? "" : text;
}

// Two terminated texts, upper-cased byte by byte; a text that is a prefix of the other sorts
// first. The sort calls this about n log n times, so it reads each byte once and no length.
int CompareText(const char* first, const char* second) {
    thread_local UpperCaseTable upper;
    const std::array<unsigned char, 256>& table = upper.For(UGetConCp());
    for (;; ++first, ++second) {
        const unsigned char a = table[static_cast<unsigned char>(*first)];
        const unsigned char b = table[static_cast<unsigned char>(*second)];
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
}

// The text from the last '.' of the name; empty when the name has none.
const char* ExtensionOf(const char* name) {
    const char* dot = std::strrchr(TextOf(name), '.');
    return dot == nullptr ? "" : dot;
}

template <typename T>
int CompareNumbers(T first, T second) {
    return Sign(first <=> second);
}

// The first eight bytes of an upper-cased text, the first one highest; a text's end and the
// bytes after it count as 0, the lowest value, as the terminator does in CompareText.
uint64_t TextKey(const char* text) {
    thread_local UpperCaseTable upper;
    const std::array<unsigned char, 256>& table = upper.For(UGetConCp());
    uint64_t key = 0;
    bool ended = false;
    for (int i = 0; i < 8; ++i) {
        const unsigned char byte = ended ? 0 : table[static_cast<unsigned char>(text[i])];
        ended = ended || byte == 0;
        key = (key << 8) | byte;
    }
    return key;
}

// Signed numbers as unsigned keys in the same order.
uint64_t NumberKey(int64_t value) {
    return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63);
}

}  // namespace

bool LocalSortKey(const PluginItem& item, int32_t mode, uint64_t& key, bool& exact) {
    exact = false;
    switch (mode) {
        case PLUGIN_SORT_NAME:
            key = TextKey(TextOf(item.name));
            return true;
        case PLUGIN_SORT_EXTENSION:
            key = TextKey(ExtensionOf(item.name));
            return true;
        case PLUGIN_SORT_TEXT1:
            key = TextKey(TextOf(item.text1));
            return true;
        case PLUGIN_SORT_TEXT2:
            key = TextKey(TextOf(item.text2));
            return true;
        case PLUGIN_SORT_MODIFIED:
            key = NumberKey(item.modified);
            break;
        case PLUGIN_SORT_ACCESSED:
            key = NumberKey(item.accessed);
            break;
        case PLUGIN_SORT_CREATED:
            key = NumberKey(item.created);
            break;
        case PLUGIN_SORT_SIZE:
            key = NumberKey(static_cast<int64_t>(item.fileSize));
            break;
        case PLUGIN_SORT_SECOND_SIZE:
            key = NumberKey(static_cast<int64_t>(item.secondSize));
            break;
        default:
            return false;
    }
    exact = true;
    return true;
}

}  // namespace kq::plugins

extern "C" {

int32_t ZPLUGIN_CALL FS_ZCompare(const PluginItem* first, const PluginItem* second, int32_t mode) {
    using namespace kq::plugins;
    if (first == nullptr || second == nullptr) return 0;
    switch (mode) {
        case PLUGIN_SORT_NAME:
            return CompareText(TextOf(first->name), TextOf(second->name));
        case PLUGIN_SORT_EXTENSION:
            return CompareText(ExtensionOf(first->name), ExtensionOf(second->name));
        // Times are the system's signed 64-bit time_t: dates before 1970 sort first.
        case PLUGIN_SORT_MODIFIED:
            return CompareNumbers<int64_t>(first->modified, second->modified);
        case PLUGIN_SORT_ACCESSED:
            return CompareNumbers<int64_t>(first->accessed, second->accessed);
        case PLUGIN_SORT_CREATED:
            return CompareNumbers<int64_t>(first->created, second->created);
        case PLUGIN_SORT_SIZE:
            return CompareNumbers(static_cast<int64_t>(first->fileSize),
                                  static_cast<int64_t>(second->fileSize));
        case PLUGIN_SORT_SECOND_SIZE:
            return CompareNumbers(static_cast<int64_t>(first->secondSize),
                                  static_cast<int64_t>(second->secondSize));
        case PLUGIN_SORT_TEXT1:
            return CompareText(TextOf(first->text1), TextOf(second->text1));
        case PLUGIN_SORT_TEXT2:
            return CompareText(TextOf(first->text2), TextOf(second->text2));
        default:
            return 0;
    }
}

}  // extern "C"
