// kq's text editor next to vim.tiny and cp, each figure measured in the same run with the
// programs alternating. Every program runs in a pseudo-terminal that this program renders with
// libvterm, with fresh settings folders (HOME, XDG_*, KQ_CONFIG_HOME) for every run.
// The file: 100 MiB of text in 2,000,000 lines of 52 or 53 bytes, each starting with its line
// number, the last one holding a marker. It is read once beforehand, so every program finds it
// in the page cache.
//   Open:   kq starts in a directory holding only that file, Down and F4 open the editor; timed
//           from F4 to the editor's first screen ("Edit: " on row 0 and the file's first line).
//           Next to it `vim.tiny -u NONE -n FILE` from fork to its first screen.
//   Memory: kq's VmRSS in the panels, with the editor open on the file (and its peak, VmHWM),
//           and back in the panels after the editor closed; vim's VmRSS with the file loaded.
//   Type:   kq goes to the end of the text with Ctrl+PgDn and End; vim with G and A. Then one
//           character: the bytes the terminal receives for it and the time from the key to the
//           character on screen.
//   Save:   in kq, F2 after that one change, timed until the status row drops its "*" (the
//           save writes a new file beside the old one, syncs it and renames it over). Next to it
//           `cp FILE COPY && sync` from fork to exit. Both start with nothing left to flush.
// The saved character is cut off again (the file is truncated to its former size) after each
// save, so every run starts from the same file. The file is removed at the end.
//
//   edit_compare_bench [--runs N] [--size COLSxROWS] [--timeout SECONDS] [--dump] KQ_BINARY
//     --runs     timed runs of each program per figure (default 5)
//     --size     the terminal size (default 80x25)
//     --timeout  the longest wait for one step, such as opening or saving (default 60)
//     --dump     print each program's screen once at every step
//
// bench/edit_compare.sh runs this program.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PtyTerminal.h"

namespace {

using namespace ptybench;

constexpr int kQuietMs = 300;
constexpr int64_t kLines = 2000000;
constexpr uint64_t kFileBytes = uint64_t{100} << 20;
// The memory the editor may add for the file: 1.5 times its size plus 40 bytes a line.
constexpr double kMemoryGoalBytes = 1.5 * static_cast<double>(kFileBytes) + 40.0 * kLines;

// The character typed at the end of the text; it appears nowhere else on either screen.
constexpr char kTyped = '@';
// The start of the first line: how a program shows that the file is open.
const std::string kFirstLine = "0000001 The quick brown fox";
const std::string kMarker = "LAST-LINE-MARKER";

bool dumpScreens = false;
int64_t stepTimeoutMs = 60000;  // the longest wait for one step

// The screen's text as UTF-8, one row after the other.
std::string ScreenText(const PtyTerminal& term) {
    std::string text;
    for (int row = 0; row < term.RowCount(); ++row) text += term.RowUtf8(row) + "\n";
    return text;
}

bool OnScreen(const PtyTerminal& term, const std::string& part) {
    return ScreenText(term).find(part) != std::string::npos;
}

size_t CountOnScreen(const PtyTerminal& term, char32_t code) {
    size_t count = 0;
    for (int row = 0; row < term.RowCount(); ++row) count += Count(term.Row(row), code);
    return count;
}

void Dump(const PtyTerminal& term, const std::string& title) {
    std::fprintf(stderr, "---- %s ----\n", title.c_str());
    for (int row = 0; row < term.RowCount(); ++row) {
        std::fprintf(stderr, "%2d|%s\n", row, term.RowUtf8(row).c_str());
    }
}

// Waits for the screen to satisfy done(); on failure shows the screen so the cause is visible.
template <typename Done>
bool Expect(PtyTerminal& term, const std::string& what, Done done) {
    if (term.WaitFor(done, stepTimeoutMs) || done()) return true;
    Dump(term, "gave up waiting for " + what);
    // Whether the program still runs tells a hang from an exit.
    const std::string fields = ProcStatFields(term.Pid());
    std::fprintf(stderr, "---- process %d: %s ----\n", static_cast<int>(term.Pid()),
                 fields.empty() ? "gone" : ("state" + fields.substr(0, 2)).c_str());
    return false;
}

void Step(PtyTerminal& term, const std::string& title) {
    term.WaitQuiet(kQuietMs, stepTimeoutMs);
    if (dumpScreens) Dump(term, title);
}

// ---- The test file ----

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// kLines lines of ordinary text that add up to exactly kFileBytes: line i (from 0) takes the
// bytes from i * size / lines to (i + 1) * size / lines, newline included, so lengths are 52
// or 53. Each line is its number (from 1) and a run of pangrams starting at a different place;
// the last one holds the marker.
bool WriteTextFile(const std::string& path) {
    const std::string text =
        "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs. "
        "How vexingly quick daft zebras jump! Sphinx of black quartz, judge my vow. ";
    const std::string doubled = text + text;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    std::string buffer;
    bool ok = true;
    for (int64_t i = 0; ok && i < kLines; ++i) {
        const auto from = static_cast<uint64_t>(i) * kFileBytes / kLines;
        const auto to = static_cast<uint64_t>(i + 1) * kFileBytes / kLines;
        const size_t length = static_cast<size_t>(to - from) - 1;
        char number[16];
        std::snprintf(number, sizeof number, "%07lld ", static_cast<long long>(i + 1));
        std::string line = number;
        if (i + 1 == kLines) {
            line += "=== " + kMarker + " === ";
            line += doubled;
        } else {
            line += doubled.substr(static_cast<size_t>(i * 7) % text.size());
        }
        line.resize(length);
        buffer += line;
        buffer += '\n';
        if (buffer.size() >= (size_t{1} << 20) || i + 1 == kLines) {
            ok = WriteAll(fd, buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    return close(fd) == 0 && ok;
}

// Reads the whole file once so that it is in the page cache.
void Warm(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    std::vector<char> buffer(size_t{1} << 20);
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    close(fd);
}

int64_t FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

// ---- Programs ----

// The settings folders of one program inside one temporary folder.
std::vector<std::string> Environment(const std::string& home) {
    return {"HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config",
            "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache",
            "XDG_STATE_HOME=" + home + "/.local/state",
            "KQ_CONFIG_HOME=" + home + "/.config",
            "KQ_CODEPAGE=437",
            "TERM=xterm-256color",
            "COLORTERM=",
            "SHELL=/bin/sh",
            "LANG=C.UTF-8",
            "LC_ALL=C.UTF-8",
            "VIMINIT=",
            "EXINIT="};
}

struct Setup {
    std::string kq;
    std::string dir;   // holds only `file`
    std::string file;  // its name
    int64_t size = 0;  // its size as written
    std::string Path() const { return dir + "/" + file; }
};

// The prompt on the last row, which kq shows with its panels.
bool KqPanelsShown(const PtyTerminal& term, const Setup& setup) {
    const std::u32string prompt = ToU32(setup.dir + ">");
    const std::u32string last = term.Row(term.RowCount() - 1);
    return last.compare(0, prompt.size(), prompt) == 0;
}

// kq started in setup.dir with its panels complete and quiet.
bool StartKq(PtyTerminal& term, const Setup& setup, const TempConfig& home) {
    if (!term.Start({setup.kq, setup.dir}, Environment(home.Path()))) return false;
    const bool ok = Expect(term, "kq's panels", [&] {
        return KqPanelsShown(term, setup) && OnScreen(term, setup.file);
    });
    Step(term, "kq: panels");
    return ok;
}

bool KqEditing(const PtyTerminal& term) {
    return term.RowUtf8(0).rfind("Edit: ", 0) == 0;
}

// The editor's "text changed" mark on its status row.
bool KqChangedMark(const PtyTerminal& term) {
    return Count(term.Row(0), U'*') > 0;
}

// The start of the status row's line field with the cursor on line `line` (from 1). The line
// count after the slash may be cut short by the column field at narrow widths.
std::string KqLineField(int64_t line) {
    return "L:" + std::to_string(line) + "/";
}

// One typed character: the terminal output is counted from the key until the answer pauses, and
// timed from the key until shown() holds. kq's clock in the top right corner blinks once a
// second, so the key goes out just after a blink and the count ends at the first pause in the
// answer, well before the next blink.
template <typename Shown>
bool TypeOne(PtyTerminal& term, const std::string& what, Shown shown, double& ms, long& bytes) {
    constexpr int kAnswerPauseMs = 50;
    term.WaitQuiet(kQuietMs, stepTimeoutMs);
    if (term.ReadOnce(1500) > 0) term.WaitQuiet(kAnswerPauseMs, stepTimeoutMs);
    term.ResetBytes();
    const int64_t sent = NowNs();
    term.Send(std::string(1, kTyped));
    const bool ok = Expect(term, what, shown);
    ms = Ms(term.LastByteNs() - sent);
    term.WaitQuiet(kAnswerPauseMs, stepTimeoutMs);
    bytes = static_cast<long>(term.Bytes());
    return ok;
}

// ---- Results ----

struct Figure {
    std::string group;
    std::string program;
    std::string unit;
    std::vector<double> values;
    int failures = 0;
};

class Results {
  public:
    void Add(const std::string& group, const std::string& program, const std::string& unit, bool ok,
             double value) {
        Figure& figure = Find(group, program, unit);
        if (ok) {
            figure.values.push_back(value);
        } else {
            ++figure.failures;
        }
    }

    // The median of a figure; false when it has no values.
    bool MedianOf(const std::string& group, const std::string& program, double& value) const {
        for (const Figure& f : figures_) {
            if (f.group == group && f.program == program && !f.values.empty()) {
                value = Median(f.values);
                return true;
            }
        }
        return false;
    }

    // One block per group in the order the groups first came, one row per program.
    bool Print() const {
        std::vector<std::string> groups;
        for (const Figure& f : figures_) {
            if (std::find(groups.begin(), groups.end(), f.group) == groups.end()) {
                groups.push_back(f.group);
            }
        }
        bool allOk = true;
        for (const std::string& group : groups) {
            std::printf("%s\n", group.c_str());
            std::printf("    %-34s %12s %12s %12s  %s\n", "", "median", "min", "max", "runs");
            for (const Figure& f : figures_) {
                if (f.group == group) allOk = PrintRow(f) && allOk;
            }
        }
        return allOk;
    }

    static std::string Value(double value, const std::string& unit) {
        char text[32];
        const int decimals = unit == "ms" ? 2 : unit == "MiB" ? 1 : 0;
        std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit.c_str());
        return text;
    }

  private:
    static bool PrintRow(const Figure& f) {
        const size_t total = f.values.size() + static_cast<size_t>(f.failures);
        if (f.values.empty()) {
            std::printf("    %-34s %12s %12s %12s  0 of %zu\n", f.program.c_str(), "failed", "-",
                        "-", total);
            return false;
        }
        const auto [low, high] = std::minmax_element(f.values.begin(), f.values.end());
        std::printf("    %-34s %12s %12s %12s  %zu of %zu\n", f.program.c_str(),
                    Value(Median(f.values), f.unit).c_str(), Value(*low, f.unit).c_str(),
                    Value(*high, f.unit).c_str(), f.values.size(), total);
        return f.failures == 0;
    }

    Figure& Find(const std::string& group, const std::string& program, const std::string& unit) {
        for (Figure& f : figures_) {
            if (f.group == group && f.program == program) return f;
        }
        figures_.push_back({group, program, unit, {}, 0});
        return figures_.back();
    }

    std::vector<Figure> figures_;
};

const std::string kOpenGroup = "Open the 100 MiB file: first screen with its first line";
const std::string kMemoryGroup = "Memory for the 100 MiB file (VmRSS)";
const std::string kEndGroup = "Go to the end of the text";
const std::string kTypeTimeGroup = "Type one character at the end: key to character on screen";
const std::string kTypeBytesGroup = "Type one character at the end: bytes to the terminal";
const std::string kSaveGroup = "Save the 100 MiB file after one change (warm)";

double MiB(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

// ---- kq ----

void KqRun(const Setup& setup, int cols, int rows, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    const bool panels = StartKq(term, setup, home);
    const long panelsRss = term.StatusKiB("VmRSS");
    results.Add(kMemoryGroup, "kq in the panels", "MiB", panels, MiB(panelsRss));

    // Open: Down to the file, F4.
    bool ok = panels;
    int64_t sent = 0;
    if (ok) {
        term.SendKey(VTERM_KEY_DOWN);
        Step(term, "kq: Down in the panel");
        sent = NowNs();
        term.SendFunctionKey(4);
        ok = Expect(term, "kq's editor",
                    [&] { return KqEditing(term) && OnScreen(term, kFirstLine); });
    }
    results.Add(kOpenGroup, "kq: F4 to editor", "ms", ok, Ms(term.LastByteNs() - sent));
    Step(term, "kq: editor open");
    const long editRss = term.StatusKiB("VmRSS");
    const long editPeak = term.StatusKiB("VmHWM");
    results.Add(kMemoryGroup, "kq with the file in the editor", "MiB", ok, MiB(editRss));
    results.Add(kMemoryGroup, "kq added by the editor", "MiB", ok, MiB(editRss - panelsRss));
    results.Add(kMemoryGroup, "kq peak so far (VmHWM)", "MiB", ok, MiB(editPeak));

    // To the end: Ctrl+PgDn puts the cursor at the end of the last line; End stays there.
    // The file ends with a line break, so the editor's last line is the empty one after it.
    const std::string lastLine = KqLineField(kLines + 1);
    if (ok) {
        sent = NowNs();
        term.SendKey(VTERM_KEY_PAGEDOWN, VTERM_MOD_CTRL);
        ok = Expect(term, "kq's cursor on the last line", [&] {
            return term.RowUtf8(0).find(lastLine) != std::string::npos && OnScreen(term, kMarker);
        });
    }
    results.Add(kEndGroup, "kq: Ctrl+PgDn to the last line", "ms", ok,
                Ms(term.LastByteNs() - sent));
    if (ok) {
        Step(term, "kq: Ctrl+PgDn");
        term.SendKey(VTERM_KEY_END);
        Step(term, "kq: End");
    }

    // One character, shown with the changed mark.
    double typeMs = 0;
    long typeBytes = 0;
    ok = ok && CountOnScreen(term, static_cast<char32_t>(kTyped)) == 0;
    ok = ok && TypeOne(
                   term, "the typed character in kq",
                   [&] {
                       return CountOnScreen(term, static_cast<char32_t>(kTyped)) == 1 &&
                              KqChangedMark(term);
                   },
                   typeMs, typeBytes);
    results.Add(kTypeTimeGroup, "kq", "ms", ok, typeMs);
    results.Add(kTypeBytesGroup, "kq", "B", ok, static_cast<double>(typeBytes));
    Step(term, "kq: typed");

    // Save: F2, until the changed mark goes. The saved file is the old one and the character.
    if (ok) {
        sync();
        sent = NowNs();
        term.SendFunctionKey(2);
        ok = Expect(term, "kq's save", [&] { return KqEditing(term) && !KqChangedMark(term); });
    }
    const double saveMs = Ms(term.LastByteNs() - sent);
    Step(term, "kq: saved");
    const int64_t savedSize = FileSize(setup.Path());
    if (ok && savedSize != setup.size + 1) {
        std::fprintf(stderr, "kq saved %lld bytes, not %lld\n", static_cast<long long>(savedSize),
                     static_cast<long long>(setup.size + 1));
        ok = false;
    }
    results.Add(kSaveGroup, "kq: F2 to saved", "ms", ok, saveMs);

    // Esc closes the saved file without a question; the memory left afterwards.
    if (ok) {
        term.SendKey(VTERM_KEY_ESCAPE);
        ok = Expect(term, "kq's panels after the editor",
                    [&] { return !KqEditing(term) && KqPanelsShown(term, setup); });
        Step(term, "kq: editor closed");
    }
    results.Add(kMemoryGroup, "kq in the panels after closing", "MiB", ok,
                MiB(term.StatusKiB("VmRSS")));
    term.Stop();

    // The next run starts from the file as it was written.
    if (savedSize > setup.size && truncate(setup.Path().c_str(), setup.size) != 0) {
        std::perror("truncate");
    }
    sync();
}

// ---- vim ----

void VimRun(const Setup& setup, int cols, int rows, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    bool ok = term.Start({"vim.tiny", "-u", "NONE", "-n", setup.file}, Environment(home.Path()));
    ok = ok && Expect(term, "vim's first screen", [&] { return OnScreen(term, kFirstLine); });
    results.Add(kOpenGroup, "vim.tiny -u NONE -n: fork to screen", "ms", ok,
                Ms(term.LastByteNs() - term.StartNs()));
    Step(term, "vim: first screen");
    results.Add(kMemoryGroup, "vim.tiny with the file loaded", "MiB", ok,
                MiB(term.StatusKiB("VmRSS")));

    int64_t sent = 0;
    if (ok) {
        sent = NowNs();
        term.Send("G");
        ok = Expect(term, "the marker in vim", [&] { return OnScreen(term, kMarker); });
    }
    results.Add(kEndGroup, "vim: G to the last line", "ms", ok, Ms(term.LastByteNs() - sent));
    Step(term, "vim: G");
    if (ok) {
        term.Send("A");
        Step(term, "vim: A");
    }

    double typeMs = 0;
    long typeBytes = 0;
    ok = ok && CountOnScreen(term, static_cast<char32_t>(kTyped)) == 0;
    ok = ok &&
         TypeOne(
             term, "the typed character in vim",
             [&] { return OnScreen(term, kMarker) && OnScreen(term, std::string(1, kTyped)); },
             typeMs, typeBytes);
    results.Add(kTypeTimeGroup, "vim.tiny", "ms", ok, typeMs);
    results.Add(kTypeBytesGroup, "vim.tiny", "B", ok, static_cast<double>(typeBytes));
    Step(term, "vim: typed");

    term.Send("\x1b:q!\r");
    term.Reap(10000);
}

// ---- cp and sync ----

// Runs argv and waits for it; the time from fork to exit.
bool RunTimed(const std::vector<std::string>& argv, double& ms) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int64_t start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
    ms = Ms(NowNs() - start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void CopyRun(const Setup& setup, Results& results) {
    const std::string copy = setup.Path() + ".copy";
    sync();
    double ms = 0;
    bool ok = RunTimed({"sh", "-c", "cp \"$1\" \"$2\" && sync", "sh", setup.Path(), copy}, ms);
    ok = ok && FileSize(copy) == setup.size;
    results.Add(kSaveGroup, "cp FILE COPY && sync", "ms", ok, ms);
    unlink(copy.c_str());
    sync();
}

// ---- The goals, judged by the medians ----

void PrintGoals(const Results& results) {
    std::printf("Goals (medians)\n");
    const auto judge = [](bool known, bool met) {
        return !known ? "not measured" : met ? "met" : "NOT met";
    };
    double kqOpen = 0;
    double vimOpen = 0;
    bool known = results.MedianOf(kOpenGroup, "kq: F4 to editor", kqOpen) &&
                 results.MedianOf(kOpenGroup, "vim.tiny -u NONE -n: fork to screen", vimOpen);
    std::printf("    open faster than vim:            %s vs %s -> %s\n",
                Results::Value(kqOpen, "ms").c_str(), Results::Value(vimOpen, "ms").c_str(),
                judge(known, kqOpen < vimOpen));

    double added = 0;
    known = results.MedianOf(kMemoryGroup, "kq added by the editor", added);
    const double limit = kMemoryGoalBytes / (1024.0 * 1024.0);
    std::printf("    memory added <= 1.5 x size + 40 B/line: %s vs %s (%.0f bytes) -> %s\n",
                Results::Value(added, "MiB").c_str(), Results::Value(limit, "MiB").c_str(),
                kMemoryGoalBytes, judge(known, added <= limit));

    double typeMs = 0;
    double typeBytes = 0;
    known = results.MedianOf(kTypeTimeGroup, "kq", typeMs) &&
            results.MedianOf(kTypeBytesGroup, "kq", typeBytes);
    std::printf("    typing < 100 bytes and < 5 ms:   %s, %s -> %s\n",
                Results::Value(typeBytes, "B").c_str(), Results::Value(typeMs, "ms").c_str(),
                judge(known, typeBytes < 100 && typeMs < 5));

    double kqSave = 0;
    double cpSave = 0;
    known = results.MedianOf(kSaveGroup, "kq: F2 to saved", kqSave) &&
            results.MedianOf(kSaveGroup, "cp FILE COPY && sync", cpSave);
    std::printf("    save within 1.5 x cp && sync:    %s vs %s (ratio %.2f) -> %s\n",
                Results::Value(kqSave, "ms").c_str(), Results::Value(cpSave, "ms").c_str(),
                cpSave > 0 ? kqSave / cpSave : 0.0, judge(known, kqSave <= 1.5 * cpSave));
}

bool ParseSize(const char* text, int& cols, int& rows) {
    return std::sscanf(text, "%dx%d", &cols, &rows) == 2 && cols >= 80 && rows >= 10;
}

}  // namespace

int main(int argc, char** argv) {
    int cols = 80;
    int rows = 25;
    int runs = 5;
    std::string kq;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--size" && hasValue && ParseSize(argv[i + 1], cols, rows)) {
            ++i;
        } else if (arg == "--runs" && hasValue) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--timeout" && hasValue) {
            stepTimeoutMs = std::max(1, std::atoi(argv[++i])) * int64_t{1000};
        } else if (arg == "--dump") {
            dumpScreens = true;
        } else if (kq.empty() && !arg.empty() && arg[0] != '-') {
            kq = arg;
        } else {
            std::fprintf(stderr,
                         "usage: edit_compare_bench [--runs N] [--size COLSxROWS] "
                         "[--timeout SECONDS] [--dump] KQ_BINARY\n");
            return 2;
        }
    }
    if (kq.empty()) {
        std::fprintf(stderr, "edit_compare_bench: the kq binary is missing\n");
        return 2;
    }
    if (dumpScreens) runs = 1;
    char resolved[PATH_MAX];
    if (kq.find('/') != std::string::npos && realpath(kq.c_str(), resolved) != nullptr) {
        kq = resolved;
    }
    signal(SIGPIPE, SIG_IGN);

    // The file in a directory of its own, which is also the programs' working directory.
    char rootName[] = "/tmp/kq-edit-bench-XXXXXX";
    if (mkdtemp(rootName) == nullptr) {
        std::perror("temporary directory");
        return 1;
    }
    const std::string root = rootName;
    const Setup setup{kq, root, "big.txt", static_cast<int64_t>(kFileBytes)};
    const int64_t writeStart = NowNs();
    const bool written = WriteTextFile(setup.Path()) && FileSize(setup.Path()) == setup.size;
    std::printf("file: %lld lines, %llu bytes of text in %s, written in %.1f s\n",
                static_cast<long long>(kLines), static_cast<unsigned long long>(kFileBytes),
                root.c_str(), Ms(NowNs() - writeStart) / 1000);
    Results results;
    if (written && chdir(root.c_str()) == 0) {
        sync();
        Warm(setup.Path());
        for (int i = 0; i < runs; ++i) {
            KqRun(setup, cols, rows, results);
            VimRun(setup, cols, rows, results);
            CopyRun(setup, results);
        }
    }
    if (chdir("/") != 0) std::perror("chdir /");
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    if (!written) {
        std::fprintf(stderr, "edit_compare_bench: could not write the file in %s\n", root.c_str());
        return 1;
    }
    std::printf("%d runs of each program per figure, alternating, %dx%d; the file was removed\n",
                runs, cols, rows);
    const bool ok = results.Print();
    PrintGoals(results);
    return ok ? 0 : 1;
}
