// A program on a real terminal emulator: a tmux server of the test's own (its socket in a
// temporary folder, no configuration file, a minimal environment) runs one detached session
// whose shell saves the terminal settings, prints "hello before", waits for Start to let it run
// the program, prints "EXIT=<status>", saves the settings again and stays as a shell. The
// screen is read back cell by cell with capture-pane -e.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace kq::testing {

struct Cell {
    char32_t ch = U' ';
    int fg = -1, bg = -1;  // colour index 0-255; -1 the terminal's default; -2 direct RGB
    int attrs = 0;         // 1 bold, 2 blink, 4 reverse
    friend bool operator==(const Cell&, const Cell&) = default;
};

inline std::string Utf8(char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    std::string out(static_cast<size_t>(n), '\0');
    for (int k = n - 1; k > 0; --k, c >>= 6) out[k] = static_cast<char>(0x80 | (c & 0x3F));
    out[0] = static_cast<char>((0xF00 >> n) | c);
    return out;
}

// One SGR sequence's parameters applied to the current style.
inline void ApplySgr(const std::vector<int>& v, Cell& style) {
    for (size_t i = 0; i < v.size(); ++i) {
        const int c = v[i], bit = c % 10 == 1 ? 1 : c % 10 == 5 ? 2 : 4;
        int& colour = (c / 10 == 3 || c / 10 == 9) ? style.fg : style.bg;
        if (c == 0) style = Cell{};
        if (c == 1 || c == 5 || c == 7) style.attrs |= bit;
        if (c == 22 || c == 25 || c == 27) style.attrs &= ~(c == 22 ? 1 : bit);
        if ((c >= 30 && c <= 37) || (c >= 40 && c <= 47)) colour = c % 10;
        if ((c >= 90 && c <= 97) || (c >= 100 && c <= 107)) colour = c % 10 + 8;
        if (c == 39 || c == 49) colour = -1;
        if ((c == 38 || c == 48) && i + 2 < v.size() && v[i + 1] == 5)
            colour = v[i + 2], i += 2;
        else if ((c == 38 || c == 48) && i + 1 < v.size() && v[i + 1] == 2)
            colour = -2, i += 4;
    }
}

inline std::string Trim(std::string text) {
    text.erase(0, std::min(text.size(), text.find_first_not_of(' ')));
    return text.erase(text.find_last_not_of(' ') + 1);
}

struct Screen {
    std::vector<std::vector<Cell>> rows;

    Cell At(int x, int y) const {
        if (y < 0 || y >= static_cast<int>(rows.size())) return {};
        return x >= 0 && x < static_cast<int>(rows[y].size()) ? rows[y][x] : Cell{};
    }
    int Height() const { return static_cast<int>(rows.size()); }
    // Columns [left, right) of a row as UTF-8.
    std::string Slice(int y, int left, int right) const {
        std::string text;
        for (int x = left; x < right; ++x) text += Utf8(At(x, y).ch);
        return text;
    }
    int Width(int y) const { return y >= 0 && y < Height() ? static_cast<int>(rows[y].size()) : 0; }
    std::string Row(int y) const { return Trim(Slice(y, 0, Width(y))); }
    std::string Last() const { return Row(Height() - 1); }
    int Find(std::string_view line) const {
        for (int y = 0; y < Height(); ++y)
            if (Row(y) == line) return y;
        return -1;
    }
    bool Shows(std::string_view part) const {
        for (int y = 0; y < Height(); ++y)
            if (Row(y).find(part) != std::string::npos) return true;
        return false;
    }
    std::string Text() const {
        std::string text;
        for (int y = 0; y < Height(); ++y) text += "  |" + Slice(y, 0, Width(y)) + "\n";
        return text;
    }
};

// capture-pane -p -e output: SGR sequences set the style (carried from line to line), other
// escape sequences are skipped, UTF-8 text fills the cells.
inline Screen ParseCapture(std::string_view t) {
    Screen screen{{{}}};
    Cell style;
    for (size_t i = 0; i < t.size();) {
        const auto b = static_cast<unsigned char>(t[i]);
        if (b == '\n') {
            screen.rows.emplace_back(), ++i;
        } else if (b == 0x1B) {
            size_t end = i + 2;
            if (i + 1 < t.size() && t[i + 1] == '[') {
                std::vector<int> values{0};
                for (; end < t.size() && !(t[end] >= 0x40 && t[end] <= 0x7E); ++end) {
                    const bool digit = t[end] >= '0' && t[end] <= '9';
                    digit ? void(values.back() = values.back() * 10 + (t[end] - '0'))
                          : values.push_back(0);
                }
                if (end < t.size() && t[end] == 'm') ApplySgr(values, style);
                ++end;
            }
            i = end;
        } else {
            const int n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            Cell cell = style;
            cell.ch = n == 1 ? b : b & (0x7F >> n);
            for (int k = 1; k < n && i + k < t.size(); ++k)
                cell.ch = cell.ch << 6 | (t[i + k] & 0x3F);
            screen.rows.back().push_back(cell), i += static_cast<size_t>(n);
        }
    }
    if (screen.rows.back().empty()) screen.rows.pop_back();
    return screen;
}

class TmuxSession {
  public:
    // command: the shell lines that run the program in the session's folder; setup: lines
    // run before the terminal settings are saved.
    TmuxSession(const std::string& command, int cols, int rows, const std::string& setup = "") {
        std::ofstream(Path("run.sh"))
            << "cd " << ShellQuote(Path("")) << "\nulimit -c 0\n"
            << setup
            << "\nstty -g > before.tmp && mv before.tmp before.stty\nprintf 'hello before\\n'\n"
            << "while [ ! -e go ]; do sleep 0.05; done\n"
            << command << "\necho \"EXIT=$?\"\nstty -g > after.tmp && mv after.tmp after.stty\n"
            << "PS1='$ ' exec /bin/sh -i\n";
        std::vector<std::string> options;
        std::stringstream words(
            "set-option -g default-terminal tmux-256color ; set-option -g status off ; set-option "
            "-g remain-on-exit on ; set-option -s escape-time 0 ; new-session -d -s t -x " +
            std::to_string(cols) + " -y " + std::to_string(rows));
        for (std::string word; words >> word;) options.push_back(word);
        options.push_back("/bin/sh " + ShellQuote(Path("run.sh")));
        const CommandResult started = Tmux(options);
        startError_ = ExitedWith(started, 0) ? "" : "tmux did not start: " + started.errors;
    }
    ~TmuxSession() { Tmux({"kill-server"}); }

    static const std::optional<std::string>& TmuxPath() {
        static const std::optional<std::string> path = FindOnPath("tmux");
        return path;
    }
    CommandResult Tmux(std::vector<std::string> arguments) const {
        if (!TmuxPath()) return {};
        const char* path = std::getenv("PATH");
        const std::string home = folder_.root().string();
        arguments.insert(arguments.begin(),
                         {*TmuxPath(), "-u", "-f", "/dev/null", "-S", Path("sock")});
        return RunCommand(
            arguments, {"PATH=" + std::string(path ? path : "/usr/bin:/bin"), "HOME=" + home,
                        "TMUX_TMPDIR=" + home, "SHELL=/bin/sh", "LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
    }
    std::string Display(const std::string& format) const {
        std::string out = Tmux({"display-message", "-p", "-t", "t", format}).output;
        return out.substr(0, out.find('\n'));
    }
    // The pane's modes; the same before and after the program when it gave the terminal back.
    std::string PaneFlags() const {
        return Display(
            "alternate=#{alternate_on} cursor=#{cursor_flag} keypad=#{keypad_flag} "
            "#{keypad_cursor_flag} wrap=#{wrap_flag} insert=#{insert_flag} "
            "origin=#{origin_flag} mouse=#{mouse_any_flag} title=#{pane_title}");
    }
    bool Alternate() const { return Display("#{alternate_on}") == "1"; }
    Screen Capture(bool main = false) const {
        std::vector<std::string> args = {"capture-pane", "-p", "-e", "-N", "-t", "t"};
        if (main) args.insert(args.end(), {"-a", "-q"});  // the main screen behind the alternate
        return ParseCapture(Tmux(args).output);
    }
    void Keys(std::vector<std::string> keys, bool literal = false) const {
        keys.insert(keys.begin(), {"send-keys", "-t", "t"});
        if (literal) keys.insert(keys.begin() + 3, "-l");
        Tmux(keys);
    }
    void Text(const std::string& text) const { Keys({text}, true); }
    // Pastes text as the terminal does, bracketed when the program asked for it.
    void Paste(const std::string& text) const {
        Tmux({"set-buffer", "-b", "p", text});
        Tmux({"paste-buffer", "-p", "-d", "-b", "p", "-t", "t"});
    }
    void Resize(int cols, int rows) const {
        Tmux({"resize-window", "-t", "t", "-x", std::to_string(cols), "-y", std::to_string(rows)});
    }
    std::string Path(const std::string& name) const { return (folder_.root() / name).string(); }
    std::string File(const std::string& name) const { return ReadFile(Path(name)); }
    bool Has(const std::string& name) const { return std::filesystem::exists(Path(name)); }
    // The shell's "EXIT=n" wherever it landed; empty while the program runs.
    std::string ExitLine() const {
        const std::string text = Capture().Text();
        const size_t at = text.find("EXIT=");
        return at == std::string::npos ? "" : Trim(text.substr(at, text.find('\n', at) - at));
    }

    // Waits for the shell, notes the pane's modes and lets the program run.
    void Start() {
        ASSERT_EQ(startError_, "");
        ASSERT_TRUE(
            WaitUntil([&] { return Has("before.stty") && Capture().Row(0) == "hello before"; }));
        flagsBefore_ = PaneFlags();
        std::ofstream(Path("go")).put('\n');
    }
    // Waits until the program ended with the given "EXIT=n" and checks that the terminal is
    // as it was found: settings, modes, title, the main screen with nothing of the program's.
    void ExpectEndedAndRestored(const std::string& exitLine) const {
        ASSERT_TRUE(WaitUntil([&] { return !ExitLine().empty() && Has("after.stty"); }))
            << Capture().Text();
        EXPECT_EQ(ExitLine(), exitLine);
        EXPECT_EQ(File("after.stty"), File("before.stty"));
        EXPECT_EQ(PaneFlags(), flagsBefore_);
        const Screen screen = Capture();
        EXPECT_TRUE(screen.Find("hello before") >= 0 && !screen.Shows("═") && !screen.Shows("║"))
            << screen.Text();
    }

  private:
    kq::test::TempFolder folder_{"kq-tmux"};
    std::string startError_, flagsBefore_;
};

}  // namespace kq::testing
