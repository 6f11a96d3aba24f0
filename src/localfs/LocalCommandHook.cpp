// The local plugin's command-line hook (ZProcessInput of plugin 0): Enter on a command line
// that reads "cd <path>", "chdir <path>" or a bare drive text "X:" changes the owner panel's
// directory, clears the line and keeps the command from the interpreter.
//
// The command line and the panels live above this plugin; the shell hands them in through
// SetCommandLineAccess. Everything here runs on the UI thread (the panel offers keys there).
//
// Beyond the letter of the command forms, the path is taken as a shell user types it:
// - any run of blanks (characters below 33) separates the command from the path, and blanks
//   after the path are dropped ("cd  sub " is "cd sub"); a path of blanks only is no path, and
//   the line goes to the interpreter as "cd" alone does;
// - shell quoting is undone when the path is one quoted word ("cd 'my dir'", as Ctrl+Enter
//   inserts names, or "cd my\ dir"); anything that is not one well-formed word stays as typed;
// - "~" and "~/..." (unquoted) name the user's home directory: $HOME, or the password
//   database's entry when HOME is unset or empty;
// - a path that names no directory goes to the interpreter, which says why; a directory the
//   panel cannot enter (no permission, a path too long for the panel) is taken here, and the
//   panel refuses it with the reason. Either way the panel stays as it is.
// A drive text has no meaning on this file system (drives are mount points, chosen from the
// drive menu). "X:" is still consumed as the command form says, so it never reaches the
// interpreter, but the panel changes only when its directory holds a directory of that very
// name; otherwise it stays where it is.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FsInternal.h"
#include "kq/keys.h"
#include "localfs/LocalPlugin.h"

namespace kq::localfs {
namespace {

CommandLineAccess& Access() {
    static CommandLineAccess access;
    return access;
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) < 33;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i]) return false;
    }
    return true;
}

// The word the shell would make of text: single quotes keep everything, double quotes keep
// all but \" \\ \$ \` escapes, a backslash outside quotes keeps the next character. Nothing
// when text is not exactly one well-formed word (an unquoted blank, an open quote, a trailing
// backslash).
std::optional<std::string> ShellWord(std::string_view text) {
    std::string word;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i++];
        if (c == '\'') {
            const size_t end = text.find('\'', i);
            if (end == std::string_view::npos) return std::nullopt;
            word.append(text.substr(i, end - i));
            i = end + 1;
        } else if (c == '"') {
            bool closed = false;
            while (i < text.size()) {
                const char d = text[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < text.size() &&
                    std::string_view("\"\\$`").find(text[i]) != std::string_view::npos) {
                    word += text[i++];
                } else {
                    word += d;
                }
            }
            if (!closed) return std::nullopt;
        } else if (c == '\\') {
            if (i == text.size()) return std::nullopt;
            word += text[i++];
        } else if (IsBlank(c)) {
            return std::nullopt;
        } else {
            word += c;
        }
    }
    return word;
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

// The directory the text after "cd " or "chdir " names; nothing when it names none. Any run of
// blanks may stand between the command and the path.
std::optional<std::string> PathOf(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    const bool quoted = text.find_first_of("'\"\\") != std::string_view::npos;
    std::string path(text);
    if (quoted) {
        if (std::optional<std::string> word = ShellWord(text)) path = std::move(*word);
    }
    // Only an unquoted tilde is the home directory, as in the shell.
    if (text[0] == '~' && (text.size() == 1 || text[1] == '/')) {
        path = HomeDirectory() + path.substr(1);
    }
    if (path.empty()) return std::nullopt;
    return path;
}

// Whether path, absolute or relative to the instance's directory, names a directory.
bool NamesDirectory(const Instance& instance, std::string_view path) {
    std::string full;
    if (path.empty() || path[0] != '/') {
        full = instance.directory;
        if (full.empty()) return false;
        if (full.back() != '/') full += '/';
    }
    full += path;
    const std::string system = kq::fs::SystemPath(full.c_str());
    struct stat status {};
    return ::stat(system.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

void SetCommandLineAccess(const CommandLineAccess& access) {
    Access() = access;
}

int32_t ZPLUGIN_CALL FS_ZProcessInput(PluginHandle handle, uint32_t* key) {
    if (key == nullptr) return 1;
    const uint32_t flags = KEY_FLAGS(*key);
    if (KEY_CODE(*key) != KC_ENTER || (flags & KF_DOWN) == 0 ||
        (flags & (KF_ALT | KF_CTRL | KF_SHIFT)) != 0) {
        return 1;
    }
    const CommandLineAccess access = Access();
    const auto* instance = reinterpret_cast<const Instance*>(handle);
    if (access.getLine == nullptr || access.setLine == nullptr ||
        access.changeDirectory == nullptr || instance == nullptr || instance->owner == nullptr) {
        return 1;
    }
    const char* line = access.getLine();
    std::string_view text = line != nullptr ? line : "";
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    if (text.empty()) return 1;

    std::optional<std::string> path;
    bool drive = false;
    if (text.size() == 2 && text[1] == ':') {
        drive = true;
        if (NamesDirectory(*instance, text)) path = std::string(text);
    } else if (text.size() > 3 && StartsWithIgnoringCase(text, "cd") && IsBlank(text[2])) {
        path = PathOf(text.substr(3));
    } else if (text.size() >= 7 && StartsWithIgnoringCase(text, "chdir") && IsBlank(text[5])) {
        path = PathOf(text.substr(6));
    }
    if (!path && !drive) return 1;
    // A path that names no directory is left to the interpreter, which says why.
    if (path && !drive && !NamesDirectory(*instance, *path)) return 1;

    // The line is cleared first: a directory change reloads the panel, which redraws the
    // prompt with the new directory, and that must not show the command any more.
    void* const owner = instance->owner;
    access.setLine("");
    if (path) access.changeDirectory(owner, path->c_str());
    return 0;
}

}  // namespace kq::localfs
