// The pieces the comparison benchmarks (view_compare_bench, edit_compare_bench and, for its
// options, start_compare_bench) share: waiting for and showing screens, starting kq with fresh
// settings folders in a pseudo-terminal, writing and warming the test files, timing a plain
// program, the table of results and the common command-line options.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "PtyTerminal.h"

namespace comparebench {

using namespace ptybench;

// How long the terminal must stay silent before a step counts as finished.
constexpr int kQuietMs = 300;
// The first pause in a program's answer to one key ends that answer.
constexpr int kAnswerPauseMs = 50;

// Set from the command line: print every step's screen, and the longest wait for one step.
inline bool dumpScreens = false;
inline int64_t stepTimeoutMs = 60000;
// When a wait gives up, also tell whether the program still runs (a hang) or has gone (an exit).
inline bool reportProcessOnGiveUp = false;

// Ordinary English text the test files are made of.
inline const std::string kPangrams =
    "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor jugs. "
    "How vexingly quick daft zebras jump! Sphinx of black quartz, judge my vow. ";

// ---- Screens ----

// The screen's text as UTF-8, one row after the other.
inline std::string ScreenText(const PtyTerminal& term) {
    std::string text;
    for (int row = 0; row < term.RowCount(); ++row) text += term.RowUtf8(row) + "\n";
    return text;
}

inline bool OnScreen(const PtyTerminal& term, const std::string& part) {
    return ScreenText(term).find(part) != std::string::npos;
}

inline void Dump(const PtyTerminal& term, const std::string& title) {
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
    if (reportProcessOnGiveUp) {
        const std::string fields = ProcStatFields(term.Pid());
        std::fprintf(stderr, "---- process %d: %s ----\n", static_cast<int>(term.Pid()),
                     fields.empty() ? "gone" : ("state" + fields.substr(0, 2)).c_str());
    }
    return false;
}

// Waits until the terminal is quiet; with --dump shows the screen under `title`.
inline void Step(PtyTerminal& term, const std::string& title) {
    term.WaitQuiet(kQuietMs, stepTimeoutMs);
    if (dumpScreens) Dump(term, title);
}

// Gets ready to count the answer to one key. kq's clock in the top right corner blinks once a
// second, so the key goes out just after a blink and the count ends at the first pause in the
// answer, well before the next blink.
inline void QuietAfterBlink(PtyTerminal& term) {
    term.WaitQuiet(kQuietMs, stepTimeoutMs);
    if (term.ReadOnce(1500) > 0) term.WaitQuiet(kAnswerPauseMs, stepTimeoutMs);
    term.ResetBytes();
}

// ---- Files ----

inline bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Reads the whole file once so that it is in the page cache.
inline void Warm(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    std::vector<char> buffer(size_t{1} << 20);
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    close(fd);
}

inline int64_t FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

// A new folder from a mkdtemp pattern; false (and a message) when it cannot be made.
inline bool MakeTempDir(std::string pattern, std::string& path) {
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("temporary directory");
        return false;
    }
    path = pattern;
    return true;
}

// Leaves the folder and removes it with all it holds.
inline void RemoveTempDir(const std::string& path) {
    if (chdir("/") != 0) std::perror("chdir /");
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

// ---- Programs ----

// The settings folders of one program inside one temporary folder, the terminal and the
// locale; `extra` follows, for what the other program must leave out (history, init files).
inline std::vector<std::string> Environment(const std::string& home,
                                            const std::vector<std::string>& extra) {
    std::vector<std::string> env{"HOME=" + home,
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
                                 "LC_ALL=C.UTF-8"};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

struct Setup {
    std::string kq;
    std::string dir;   // holds only `file`
    std::string file;  // its name
    int64_t size = 0;  // its size as written, where it matters
    std::string Path() const { return dir + "/" + file; }
};

// xorshift64: a fast, repeatable sequence for test data (bytes, sizes).
struct Random {
    uint64_t state;
    uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

// Whether one panel lists an entry: a row of its half starts with the frame and `entry`.
inline bool Listed(const PtyTerminal& term, int side, const std::u32string& entry) {
    const size_t half = static_cast<size_t>(term.Cols() / 2);
    for (int row = 2; row < term.RowCount() - 1; ++row) {
        if (term.Row(row).compare(side == 0 ? 0 : half, entry.size(), entry) == 0) return true;
    }
    return false;
}

// kq's command line names the active panel's directory.
inline bool KqPrompt(const PtyTerminal& term, const std::string& directory) {
    return term.RowUtf8(term.RowCount() - 1).rfind(directory + ">", 0) == 0;
}

// Whether the cursor bar of one panel lies on `name`: the row listing it has another
// background there than the panel's frame below the list.
inline bool KqCursorOn(const PtyTerminal& term, int side, const std::string& name) {
    const int half = term.Cols() / 2;
    const int frameRow = term.RowCount() - 4;
    for (int row = 3; row < frameRow; ++row) {
        const std::u32string text = term.Row(row).substr(static_cast<size_t>(side * half));
        if (text.compare(0, name.size() + 2, U"\u2551" + ToU32(name) + U" ") != 0) continue;
        const int col = side * half + 1;
        return term.BackgroundRgb(row, col) != term.BackgroundRgb(frameRow, col);
    }
    return false;
}

// The prompt on the last row, which kq shows with its panels.
inline bool KqPanelsShown(const PtyTerminal& term, const Setup& setup) {
    const std::u32string prompt = ToU32(setup.dir + ">");
    const std::u32string last = term.Row(term.RowCount() - 1);
    return last.compare(0, prompt.size(), prompt) == 0;
}

// kq started in setup.dir with its panels complete and quiet; `env` from Environment().
inline bool StartKq(PtyTerminal& term, const Setup& setup, const std::vector<std::string>& env) {
    if (!term.Start({setup.kq, setup.dir}, env)) return false;
    const bool ok = Expect(term, "kq's panels", [&] {
        return KqPanelsShown(term, setup) && OnScreen(term, setup.file);
    });
    Step(term, "kq: panels");
    return ok;
}

// Runs argv in the locale the terminal programs get and waits for it; the time from fork to
// exit. With `output`, the program's standard output is read from a pipe into it.
inline bool RunTimed(const std::vector<std::string>& argv, double& ms,
                     std::string* output = nullptr) {
    int pipeFds[2] = {-1, -1};
    if (output != nullptr && pipe(pipeFds) != 0) return false;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int64_t start = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("LC_ALL", "C.UTF-8", 1);
        if (output != nullptr) {
            dup2(pipeFds[1], STDOUT_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    if (output != nullptr) {
        close(pipeFds[1]);
        output->clear();
        char buffer[4096];
        for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
            if (got > 0) output->append(buffer, static_cast<size_t>(got));
            if (got < 0 && errno != EINTR) break;
        }
        close(pipeFds[0]);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
    ms = Ms(NowNs() - start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ---- Results ----

struct Figure {
    std::string group;
    std::string program;
    std::string unit;
    std::vector<double> values;
    int failures = 0;
};

// The figures of one benchmark, printed as a table: median, min, max and how many runs
// succeeded, one block per group.
class Results {
  public:
    // programWidth: the width of the program column; msDecimals: the decimals of times.
    Results(int programWidth, int msDecimals)
        : programWidth_(programWidth), msDecimals_(msDecimals) {}

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
            std::printf("    %-*s %12s %12s %12s  %s\n", programWidth_, "", "median", "min", "max",
                        "runs");
            for (const Figure& f : figures_) {
                if (f.group == group) allOk = PrintRow(f) && allOk;
            }
        }
        return allOk;
    }

    // A value with its unit: times with msDecimals, MiB and shares (%) with one decimal, the
    // rest whole.
    std::string Value(double value, const std::string& unit) const {
        char text[32];
        const int decimals = unit == "ms" ? msDecimals_ : unit == "MiB" || unit == "%" ? 1 : 0;
        std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit.c_str());
        return text;
    }

  private:
    bool PrintRow(const Figure& f) const {
        const size_t total = f.values.size() + static_cast<size_t>(f.failures);
        if (f.values.empty()) {
            std::printf("    %-*s %12s %12s %12s  0 of %zu\n", programWidth_, f.program.c_str(),
                        "failed", "-", "-", total);
            return false;
        }
        const auto [low, high] = std::minmax_element(f.values.begin(), f.values.end());
        std::printf("    %-*s %12s %12s %12s  %zu of %zu\n", programWidth_, f.program.c_str(),
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

    int programWidth_;
    int msDecimals_;
    std::vector<Figure> figures_;
};

// ---- Command line ----

struct Size {
    int cols;
    int rows;
};

// "COLSxROWS" with at least minCols columns and 10 rows.
inline bool ParseSize(const char* text, int minCols, Size& size) {
    return std::sscanf(text, "%dx%d", &size.cols, &size.rows) == 2 && size.cols >= minCols &&
           size.rows >= 10;
}

// Takes `arg` (argv[i]) and its value when `arg` is `name` followed by a size ParseSize accepts.
inline bool SizeOption(const std::string& name, const std::string& arg, bool hasValue, char** argv,
                       int& i, int minCols, Size& size) {
    return arg == name && hasValue && ParseSize(argv[++i], minCols, size);
}

// Takes `arg` (argv[i]) and its value when it is --size followed by a size ParseSize accepts,
// adding it to `sizes`: the option that may be given several times.
inline bool SizesOption(const std::string& arg, bool hasValue, char** argv, int& i, int minCols,
                        std::vector<Size>& sizes) {
    Size size{};
    if (!SizeOption("--size", arg, hasValue, argv, i, minCols, size)) return false;
    sizes.push_back(size);
    return true;
}

// Takes `arg` (argv[i]) and its value when it is --runs N, --timeout SECONDS (with `timeout`),
// --dump or, the first time, the kq binary; false for anything else.
inline bool CommonOption(const std::string& arg, int argc, char** argv, int& i, bool timeout,
                         int& runs, std::string& kq) {
    const bool hasValue = i + 1 < argc;
    if (arg == "--runs" && hasValue) {
        runs = std::max(1, std::atoi(argv[++i]));
    } else if (timeout && arg == "--timeout" && hasValue) {
        stepTimeoutMs = std::max(1, std::atoi(argv[++i])) * int64_t{1000};
    } else if (arg == "--dump") {
        dumpScreens = true;
    } else if (kq.empty() && !arg.empty() && arg[0] != '-') {
        kq = arg;
    } else {
        return false;
    }
    return true;
}

// Checks that the kq binary was given and makes a path with a slash absolute, as the programs
// run in other folders; also ignores SIGPIPE, so that a program that quits early ends no run.
inline bool PrepareKq(const std::string& tool, std::string& kq) {
    if (kq.empty()) {
        std::fprintf(stderr, "%s: the kq binary is missing\n", tool.c_str());
        return false;
    }
    char resolved[PATH_MAX];
    if (kq.find('/') != std::string::npos && realpath(kq.c_str(), resolved) != nullptr) {
        kq = resolved;
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// Reads the command line of `tool`: each argument goes to own(arg, hasValue, i) first, for the
// tool's own options (which take their value by advancing i), then to CommonOption. Prints
// `usage` for an argument that is neither, and checks the kq binary with PrepareKq; false when
// the tool should stop with exit status 2.
template <typename Own>
bool ReadCommandLine(int argc, char** argv, const std::string& tool, const std::string& usage,
                     bool timeout, int& runs, std::string& kq, Own own) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!own(arg, i + 1 < argc, i) && !CommonOption(arg, argc, argv, i, timeout, runs, kq)) {
            std::fprintf(stderr, "usage: %s %s\n", tool.c_str(), usage.c_str());
            return false;
        }
    }
    return PrepareKq(tool, kq);
}

}  // namespace comparebench
