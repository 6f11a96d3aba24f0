// The local plugin's compare (ZCompare of plugin 0): names, extensions and texts compare
// case-insensitively by the console code page's upper-casing, times and sizes as signed numbers.
#include "plugins/LocalCompare.h"

#include <algorithm>
#include <array>
#include <compare>
#include <cstring>
#include <string_view>

#include "kq/text.h"

namespace kq::plugins {
namespace {

// The console code page's upper case of every byte, made once per thread and code page:
// UUpCase converts through the system's tables, far too slow for each compare of a sort.
class UpperCaseTable {
  public:
    unsigned char operator()(unsigned char c) {
        const int codePage = UGetConCp();
        if (codePage != codePage_) Build(codePage);
        return table_[c];
    }

  private:
    void Build(int codePage) {
        for (int c = 0; c < 256; ++c) {
            char one = static_cast<char>(c);
            if (c != 0) UUpCase(&one, 1);
            table_[static_cast<size_t>(c)] = static_cast<unsigned char>(one);
        }
        codePage_ = codePage;
    }

    int codePage_ = -1;
    std::array<unsigned char, 256> table_{};
};

int Sign(std::strong_ordering order) {
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string_view TextOf(const char* text) {
    return text == nullptr ? std::string_view{} : std::string_view{text};
}

int CompareText(std::string_view first, std::string_view second) {
    thread_local UpperCaseTable upper;
    const size_t common = std::min(first.size(), second.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char a = upper(static_cast<unsigned char>(first[i]));
        const unsigned char b = upper(static_cast<unsigned char>(second[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    return Sign(first.size() <=> second.size());
}

// The text from the last '.' of the name; empty when the name has none.
std::string_view ExtensionOf(const char* name) {
    const std::string_view text = TextOf(name);
    const size_t dot = text.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : text.substr(dot);
}

template <typename T>
int CompareNumbers(T first, T second) {
    return Sign(first <=> second);
}

}  // namespace
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
