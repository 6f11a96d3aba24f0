// Single-quote shell quoting of file names.
#include "panels/ShellQuote.h"

namespace kq::panels {

namespace {

bool IsSafeCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '.':
        case '_':
        case '+':
        case '-':
        case '/':
        case '@':
        case '%':
        case '=':
        case ':':
        case ',':
            return true;
        default:
            return false;
    }
}

bool StaysBare(std::string_view word) {
    if (word.empty() || word.front() == '-') return false;
    for (const char c : word) {
        if (!IsSafeCharacter(c)) return false;
    }
    return true;
}

}  // namespace

std::string ShellQuote(std::string_view word) {
    if (StaysBare(word)) return std::string(word);
    std::string quoted;
    quoted.reserve(word.size() + 2);
    quoted += '\'';
    for (const char c : word) {
        if (c == '\'') {
            // Close the quotes, an escaped quote, open them again.
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string ShellRunCommand(std::string_view name, bool inCurrentDirectory) {
    std::string command = inCurrentDirectory ? "./" : "";
    command += ShellQuote(name);
    return command;
}

}  // namespace kq::panels
