// kq's file viewer next to the usual terminal tools, each figure measured in the same run with
// the two programs alternating. Every program runs in a pseudo-terminal that this program renders
// with libvterm, with fresh settings folders (HOME, XDG_*, KQ_CONFIG_HOME) for every run, as kq's
// viewer remembers the place and the search text of the files it showed.
//   End:    a 2 GiB text file whose last line holds a marker. kq starts in a directory holding
//           only that file, Down and F3 open the viewer, then End; timed from End to the marker
//           on screen. Next to it `less -n FILE` and G, and `less +G FILE` from fork to the
//           marker on screen. On the way: F3 to the viewer's first screen, and `less -n FILE`
//           from fork to its first screen.
//   Memory: kq's VmRSS and Pss in the panels and while the viewer shows the end of that file.
//   Search: a 1 GiB text file with a text only in its last line. In kq's viewer F7, the text,
//           Enter (with "Case sensitive" ticked by Tab and Space, or left as it is); timed from
//           Enter to the text on screen. Next to it `grep -c -F` (and -i) from fork to exit.
//           The file is read once beforehand so that both find it in the page cache.
//   Bytes:  what the terminal receives for one Down and one PgDn in text mode and one PgDn in
//           hex mode (F4), near the start of the 1 GiB file; less for the first two.
// The files are written in a temporary folder (real text, not sparse) and removed at the end.
//
//   view_compare_bench [--runs N] [--size COLSxROWS]... [--bytes-size COLSxROWS] [--dump]
//                      [--timeout SECONDS] KQ_BINARY
//     --runs        timed runs of each program per figure (default 5)
//     --size        a terminal size for the End figure (default 80x25 and 120x40); the search
//                   uses the first one
//     --bytes-size  the terminal size for the byte counts (default 120x40)
//     --timeout     the longest wait for one step, such as End or a search (default 60)
//     --dump        print each program's screen once at every step instead of timing
//
// bench/view_compare.sh runs this program.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
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
constexpr size_t kLineBytes = 80;
constexpr uint64_t kEndFileBytes = uint64_t{2} << 30;
constexpr uint64_t kSearchFileBytes = uint64_t{1} << 30;

const std::string kMarker = "LAST-LINE-MARKER";
const std::string kNeedle = "Zebra-Quartz-Vortex-4711";
// The start of the first line of both files: how a program shows that the file is open.
const std::string kFirstLine = "000000 The quick brown fox";

bool dumpScreens = false;
int64_t stepTimeoutMs = 60000;  // the longest wait for one step

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The screen's text as UTF-8, one row after the other.
std::string ScreenText(const PtyTerminal& term) {
    std::string text;
    for (int row = 0; row < term.RowCount(); ++row) text += term.RowUtf8(row) + "\n";
    return text;
}

bool OnScreen(const PtyTerminal& term, const std::string& part) {
    return ScreenText(term).find(part) != std::string::npos;
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
    return false;
}

void Step(PtyTerminal& term, const std::string& title) {
    term.WaitQuiet(kQuietMs, stepTimeoutMs);
    if (dumpScreens) Dump(term, title);
}

// ---- The test files ----

// 1 MiB of 80-byte lines of ordinary text: a six-digit line number, then a run of pangrams
// starting at a different place on every line.
std::string FillerBuffer() {
    const std::string text =
        "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs. "
        "How vexingly quick daft zebras jump! Sphinx of black quartz, judge my vow. ";
    std::string buffer;
    const size_t lines = (size_t{1} << 20) / kLineBytes;
    for (size_t i = 0; i < lines; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%06zu ", i);
        std::string line = number;
        const size_t from = (i * 7) % text.size();
        while (line.size() < kLineBytes - 1) line += text.substr(from) + text;
        line.resize(kLineBytes - 1);
        buffer += line + "\n";
    }
    return buffer;
}

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

// A file of `size` bytes (less than one line short) ending with `lastLine`.
bool WriteTextFile(const std::string& path, uint64_t size, const std::string& lastLine) {
    static const std::string buffer = FillerBuffer();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    uint64_t left = (size - lastLine.size()) / kLineBytes * kLineBytes;
    bool ok = true;
    while (ok && left > 0) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        ok = WriteAll(fd, buffer.data(), chunk);
        left -= chunk;
    }
    ok = ok && WriteAll(fd, lastLine.data(), lastLine.size());
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

// ---- Programs ----

// The settings folders of one program inside one temporary folder; less keeps no history and
// runs no input preprocessor.
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
            "LESS=",
            "LESSOPEN=",
            "LESSCLOSE=",
            "LESSHISTFILE=-"};
}

struct Setup {
    std::string kq;
    std::string dir;   // holds only `file`
    std::string file;  // its name
};

// kq started in setup.dir with its panels complete and quiet.
bool StartKq(PtyTerminal& term, const Setup& setup, const TempConfig& home) {
    if (!term.Start({setup.kq, setup.dir}, Environment(home.Path()))) return false;
    const std::u32string prompt = ToU32(setup.dir + ">");
    const bool ok = Expect(term, "kq's panels", [&] {
        const std::u32string last = term.Row(term.RowCount() - 1);
        return last.compare(0, prompt.size(), prompt) == 0 && OnScreen(term, setup.file);
    });
    Step(term, "kq: panels");
    return ok;
}

// From the panels (cursor on ".."): Down to the file, F3 to view it. openMs: from F3 to the
// viewer's first screen.
bool OpenKqViewer(PtyTerminal& term, double* openMs = nullptr) {
    term.SendKey(VTERM_KEY_DOWN);
    Step(term, "kq: Down in the panel");
    const int64_t sent = NowNs();
    term.SendFunctionKey(3);
    const bool ok = Expect(term, "kq's viewer", [&] {
        return term.RowUtf8(0).rfind("View: ", 0) == 0 && OnScreen(term, kFirstLine);
    });
    if (openMs != nullptr) *openMs = Ms(term.LastByteNs() - sent);
    Step(term, "kq: viewer open");
    return ok;
}

// less on the file, its first screen shown and quiet. openMs: from fork to that screen.
bool StartLess(PtyTerminal& term, const Setup& setup, const TempConfig& home,
               double* openMs = nullptr) {
    if (!term.Start({"less", "-n", setup.file}, Environment(home.Path()))) return false;
    const bool ok = Expect(term, "less", [&] { return OnScreen(term, kFirstLine); });
    if (openMs != nullptr) *openMs = Ms(term.LastByteNs() - term.StartNs());
    Step(term, "less: first screen");
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
            std::printf("    %-26s %12s %12s %12s  %s\n", "", "median", "min", "max", "runs");
            for (const Figure& f : figures_) {
                if (f.group == group) allOk = PrintRow(f) && allOk;
            }
        }
        return allOk;
    }

  private:
    static std::string Value(double value, const std::string& unit) {
        char text[32];
        std::snprintf(text, sizeof text, unit == "ms" ? "%.1f %s" : "%.0f %s", value, unit.c_str());
        return text;
    }

    static bool PrintRow(const Figure& f) {
        const size_t total = f.values.size() + static_cast<size_t>(f.failures);
        if (f.values.empty()) {
            std::printf("    %-26s %12s %12s %12s  0 of %zu\n", f.program.c_str(), "failed", "-",
                        "-", total);
            return false;
        }
        const auto [low, high] = std::minmax_element(f.values.begin(), f.values.end());
        std::printf("    %-26s %12s %12s %12s  %zu of %zu\n", f.program.c_str(),
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

// ---- Figure 1 and 3: End in a 2 GiB file, and kq's memory ----

void KqEnd(const Setup& setup, int cols, int rows, const std::string& size, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    const bool panels = StartKq(term, setup, home);
    const long panelsRss = term.StatusKiB("VmRSS");
    const long panelsPss = term.ProcKiB("smaps_rollup", "Pss");
    double openMs = 0;
    bool ok = panels && OpenKqViewer(term, &openMs);
    results.Add("Open the 2 GiB file, " + size + ": first screen", "kq: F3 to viewer", "ms", ok,
                openMs);
    int64_t sent = 0;
    if (ok) {
        sent = NowNs();
        term.SendKey(VTERM_KEY_END);
        ok = Expect(term, "the marker in kq", [&] { return OnScreen(term, kMarker); });
    }
    const double ms = Ms(term.LastByteNs() - sent);
    Step(term, "kq: after End");
    const long viewRss = term.StatusKiB("VmRSS");
    const long viewPss = term.ProcKiB("smaps_rollup", "Pss");
    const std::string group = "End in a 2 GiB file, " + size + ": key to last line";
    results.Add(group, "kq: End", "ms", ok, ms);
    const std::string memory = "Memory, " + size;
    results.Add(memory, "kq VmRSS panels", "KiB", panels, static_cast<double>(panelsRss));
    results.Add(memory, "kq VmRSS viewer at end", "KiB", ok, static_cast<double>(viewRss));
    results.Add(memory, "kq VmRSS added", "KiB", ok, static_cast<double>(viewRss - panelsRss));
    results.Add(memory, "kq Pss panels", "KiB", panels, static_cast<double>(panelsPss));
    results.Add(memory, "kq Pss viewer at end", "KiB", ok, static_cast<double>(viewPss));
    results.Add(memory, "kq Pss added", "KiB", ok, static_cast<double>(viewPss - panelsPss));
    term.Stop();
}

void LessEnd(const Setup& setup, int cols, int rows, const std::string& size, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    double openMs = 0;
    bool ok = StartLess(term, setup, home, &openMs);
    results.Add("Open the 2 GiB file, " + size + ": first screen", "less -n: fork to screen", "ms",
                ok, openMs);
    int64_t sent = 0;
    if (ok) {
        sent = NowNs();
        term.Send("G");
        ok = Expect(term, "the marker in less", [&] { return OnScreen(term, kMarker); });
    }
    const double ms = Ms(term.LastByteNs() - sent);
    Step(term, "less -n: after G");
    const long rss = term.StatusKiB("VmRSS");
    results.Add("End in a 2 GiB file, " + size + ": key to last line", "less -n: G", "ms", ok, ms);
    results.Add("Memory, " + size, "less VmRSS at end", "KiB", ok, static_cast<double>(rss));
    term.Stop();
}

void LessPlusG(const Setup& setup, int cols, int rows, const std::string& size, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    bool ok = term.Start({"less", "+G", setup.file}, Environment(home.Path()));
    ok = ok && Expect(term, "the marker in less +G", [&] { return OnScreen(term, kMarker); });
    const double ms = Ms(term.LastByteNs() - term.StartNs());
    Step(term, "less +G: first screen");
    results.Add("End in a 2 GiB file, " + size + ": fork to last line", "less +G", "ms", ok, ms);
    term.Stop();
}

// ---- Figure 2: search ----

std::string SearchGroup(bool caseSensitive) {
    return caseSensitive ? "Search a 1 GiB file (warm), case-sensitive: text at its end"
                         : "Search a 1 GiB file (warm), case-insensitive: text at its end";
}

void KqSearch(const Setup& setup, int cols, int rows, bool caseSensitive, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    const std::string text = caseSensitive ? kNeedle : Lower(kNeedle);
    bool ok = StartKq(term, setup, home) && OpenKqViewer(term);
    if (ok) {
        term.SendFunctionKey(7);
        ok = Expect(term, "kq's search dialog", [&] { return OnScreen(term, "Search for:"); });
        Step(term, "kq: search dialog");
    }
    if (ok) {
        term.Send(text);
        if (caseSensitive) {
            term.SendKey(VTERM_KEY_TAB);  // to "Case sensitive"
            term.Send(" ");
        }
        // The check box as the dialog shows it: ticked only for the case-sensitive search.
        const std::string box = caseSensitive ? "[x] Case sensitive" : "[ ] Case sensitive";
        ok = Expect(term, "the text and \"" + box + "\" in the dialog",
                    [&] { return OnScreen(term, text) && OnScreen(term, box); });
        Step(term, "kq: search dialog filled in");
    }
    int64_t sent = 0;
    bool notFound = false;
    if (ok) {
        sent = NowNs();
        term.SendKey(VTERM_KEY_ENTER);
        ok = Expect(term, "the found text in kq", [&] {
            const std::string screen = ScreenText(term);
            notFound = screen.find("Text not found.") != std::string::npos;
            return notFound || (screen.find("Search for:") == std::string::npos &&
                                Lower(screen).find(Lower(kNeedle)) != std::string::npos);
        });
        ok = ok && !notFound;
        if (notFound) Dump(term, "kq did not find the text");
    }
    const double ms = Ms(term.LastByteNs() - sent);
    Step(term, "kq: after the search");
    results.Add(SearchGroup(caseSensitive),
                "kq: Enter to found (" + std::to_string(cols) + "x" + std::to_string(rows) + ")",
                "ms", ok, ms);
    term.Stop();
}

// Runs argv with its output read from a pipe, in the locale kq and less get; the time from fork
// to exit.
bool RunTimed(const std::vector<std::string>& argv, std::string& output, double& ms) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int64_t start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("LC_ALL", "C.UTF-8", 1);
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output.clear();
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) output.append(buffer, static_cast<size_t>(got));
        if (got < 0 && errno != EINTR) break;
    }
    close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
    ms = Ms(NowNs() - start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void GrepSearch(const Setup& setup, bool caseSensitive, Results& results) {
    std::vector<std::string> argv{"grep", "-c", "-F", kNeedle, setup.file};
    if (!caseSensitive) argv = {"grep", "-c", "-i", "-F", Lower(kNeedle), setup.file};
    std::string output;
    double ms = 0;
    const bool ok = RunTimed(argv, output, ms) && output == "1\n";
    results.Add(SearchGroup(caseSensitive), caseSensitive ? "grep -c -F" : "grep -c -i -F", "ms",
                ok, ms);
}

// ---- Figure 4: bytes per key ----

// Bytes the terminal receives for one key. kq's clock in the top right corner blinks once a
// second, so the key goes out just after a blink and the count ends at the first pause in the
// answer, well before the next blink.
long BytesForKey(PtyTerminal& term, VTermKey key, const std::string& title) {
    constexpr int kAnswerPauseMs = 50;
    term.WaitQuiet(kQuietMs, stepTimeoutMs);
    if (term.ReadOnce(1500) > 0) term.WaitQuiet(kAnswerPauseMs, stepTimeoutMs);
    term.ResetBytes();
    term.SendKey(key);
    term.ReadOnce(1000);  // the first part of the answer
    term.WaitQuiet(kAnswerPauseMs, stepTimeoutMs);
    const long bytes = static_cast<long>(term.Bytes());
    Step(term, title);
    return bytes;
}

void KqBytes(const Setup& setup, int cols, int rows, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    const bool ok = StartKq(term, setup, home) && OpenKqViewer(term);
    const std::string size = std::to_string(cols) + "x" + std::to_string(rows);
    const long down = ok ? BytesForKey(term, VTERM_KEY_DOWN, "kq: Down in text mode") : 0;
    const long pageText = ok ? BytesForKey(term, VTERM_KEY_PAGEDOWN, "kq: PgDn in text mode") : 0;
    if (ok) {
        term.SendFunctionKey(4);
        Step(term, "kq: hex mode");
    }
    const long pageHex = ok ? BytesForKey(term, VTERM_KEY_PAGEDOWN, "kq: PgDn in hex mode") : 0;
    results.Add("Bytes to the terminal, " + size + ": Down, text", "kq", "B", ok,
                static_cast<double>(down));
    results.Add("Bytes to the terminal, " + size + ": PgDn, text", "kq", "B", ok,
                static_cast<double>(pageText));
    results.Add("Bytes to the terminal, " + size + ": PgDn, hex (F4)", "kq", "B", ok,
                static_cast<double>(pageHex));
    term.Stop();
}

void LessBytes(const Setup& setup, int cols, int rows, Results& results) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(cols, rows);
    const bool ok = StartLess(term, setup, home);
    const std::string size = std::to_string(cols) + "x" + std::to_string(rows);
    const long down = ok ? BytesForKey(term, VTERM_KEY_DOWN, "less: Down") : 0;
    const long page = ok ? BytesForKey(term, VTERM_KEY_PAGEDOWN, "less: PgDn") : 0;
    results.Add("Bytes to the terminal, " + size + ": Down, text", "less -n", "B", ok,
                static_cast<double>(down));
    results.Add("Bytes to the terminal, " + size + ": PgDn, text", "less -n", "B", ok,
                static_cast<double>(page));
    term.Stop();
}

struct Size {
    int cols;
    int rows;
};

bool ParseSize(const char* text, Size& size) {
    return std::sscanf(text, "%dx%d", &size.cols, &size.rows) == 2 && size.cols >= 40 &&
           size.rows >= 10;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Size> sizes;
    Size bytesSize{120, 40};
    int runs = 5;
    std::string kq;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        Size size{};
        if (arg == "--size" && hasValue && ParseSize(argv[++i], size)) {
            sizes.push_back(size);
        } else if (arg == "--bytes-size" && hasValue && ParseSize(argv[++i], size)) {
            bytesSize = size;
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
                         "usage: view_compare_bench [--runs N] [--size COLSxROWS]... "
                         "[--bytes-size COLSxROWS] [--timeout SECONDS] [--dump] KQ_BINARY\n");
            return 2;
        }
    }
    if (kq.empty()) {
        std::fprintf(stderr, "view_compare_bench: the kq binary is missing\n");
        return 2;
    }
    if (sizes.empty()) sizes = {{80, 25}, {120, 40}};
    if (dumpScreens) runs = 1;
    char resolved[PATH_MAX];
    if (kq.find('/') != std::string::npos && realpath(kq.c_str(), resolved) != nullptr) {
        kq = resolved;
    }
    signal(SIGPIPE, SIG_IGN);

    // Each file in a directory of its own, which is also the programs' working directory.
    char rootName[] = "/tmp/kq-view-bench-XXXXXX";
    if (mkdtemp(rootName) == nullptr) {
        std::perror("temporary directory");
        return 1;
    }
    const std::string root = rootName;
    const std::string endDir = root + "/end";
    const std::string searchDir = root + "/search";
    const std::string endFile = "big.txt";
    const std::string searchFile = "search.txt";
    mkdir(endDir.c_str(), 0755);
    mkdir(searchDir.c_str(), 0755);
    const int64_t writeStart = NowNs();
    const bool written =
        WriteTextFile(endDir + "/" + endFile, kEndFileBytes,
                      "=== " + kMarker + ": the last line of the 2 GiB file ===\n") &&
        WriteTextFile(searchDir + "/" + searchFile, kSearchFileBytes,
                      "The one line that holds " + kNeedle + ", at the very end.\n");
    std::printf("files: 2 GiB and 1 GiB of %zu-byte text lines in %s, written in %.1f s\n",
                kLineBytes, root.c_str(), Ms(NowNs() - writeStart) / 1000);
    Results results;
    if (written) {
        for (const Size& size : sizes) {
            const std::string name = std::to_string(size.cols) + "x" + std::to_string(size.rows);
            const Setup setup{kq, endDir, endFile};
            if (chdir(endDir.c_str()) != 0) break;
            for (int i = 0; i < runs; ++i) {
                KqEnd(setup, size.cols, size.rows, name, results);
                LessEnd(setup, size.cols, size.rows, name, results);
                LessPlusG(setup, size.cols, size.rows, name, results);
            }
        }

        Warm(searchDir + "/" + searchFile);
        const Setup setup{kq, searchDir, searchFile};
        if (chdir(searchDir.c_str()) == 0) {
            for (int i = 0; i < runs; ++i) {
                KqSearch(setup, sizes[0].cols, sizes[0].rows, true, results);
                GrepSearch(setup, true, results);
                KqSearch(setup, sizes[0].cols, sizes[0].rows, false, results);
                GrepSearch(setup, false, results);
            }
            for (int i = 0; i < runs; ++i) {
                KqBytes(setup, bytesSize.cols, bytesSize.rows, results);
                LessBytes(setup, bytesSize.cols, bytesSize.rows, results);
            }
        }
    }
    if (chdir("/") != 0) std::perror("chdir /");
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    if (!written) {
        std::fprintf(stderr, "view_compare_bench: could not write the files in %s\n", root.c_str());
        return 1;
    }
    std::printf("%d runs of each program per figure, alternating; the files were removed\n", runs);
    return results.Print() ? 0 : 1;
}
