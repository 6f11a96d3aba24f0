// Start-up benchmark of the real kq program: it acts as the terminal (a pseudo-terminal read
// into a libvterm screen, whose answers to kq's probe go back to kq) and measures
//   - the time from fork/exec of `kq DIR` to the first complete file-manager screen,
//   - kq's resident memory with DIR shown, against an empty directory (bytes per entry),
//   - the bytes kq writes for one full redraw of both panels (Ctrl+O twice),
// next to `ls -l DIR` (into /dev/null, and into a pseudo-terminal that is only drained).
//
//   shell_start_bench [options] KQ_BINARY DIR [RUNS]
//     --empty DIR     also start kq in this (empty) directory for the memory per entry
//     --redraws N     Ctrl+O pairs per run (default 3)
//     --steps N       Down keys and PgDn keys per run, each measured alone (default 10)
//     --count TREE    also time kq measuring TREE's size (Ctrl+Q; TREE must be the only entry
//                     of its parent directory) next to `du -s TREE`
//     --size COLSxROWS  terminal size (default 120x40)
//     --first NAME    the first entry of DIR after ".." (default f000000)
//     --no-ls         skip the `ls -l` timings
//     --dump          start kq once and print its screen: when complete, while idle, after
//                     each Ctrl+O and after SIGTERM (to check the completeness criterion)
//
// bench/shell_start.sh prepares the directories and runs this program.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "PtyTerminal.h"

namespace {

using namespace ptybench;

constexpr int kQuietMs = 200;  // output is over when kq is silent this long
constexpr int64_t kStartTimeoutMs = 60000;
constexpr int64_t kRedrawTimeoutMs = 20000;
constexpr int64_t kDumpTimeoutMs = 10000;

// The numbers shown in text, digit groups joined ("100 000" and "100,000" give 100000).
std::vector<std::u32string> Numbers(const std::u32string& text) {
    std::vector<std::u32string> numbers;
    std::u32string current;
    const auto isDigit = [](char32_t c) { return c >= U'0' && c <= U'9'; };
    const auto isSeparator = [](char32_t c) {
        return c == U' ' || c == U',' || c == U'.' || c == U'\'' || c == U'\u00A0' ||
               c == U'\u202F';
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            current += text[i];
        } else if (!current.empty() && isSeparator(text[i]) && i + 1 < text.size() &&
                   isDigit(text[i + 1])) {
            continue;  // a group separator inside a number
        } else if (!current.empty()) {
            numbers.push_back(current);
            current.clear();
        }
    }
    if (!current.empty()) numbers.push_back(current);
    return numbers;
}

bool ShowsNumber(const std::u32string& text, size_t number) {
    const std::u32string wanted = ToU32(std::to_string(number));
    const std::vector<std::u32string> numbers = Numbers(text);
    return std::find(numbers.begin(), numbers.end(), wanted) != numbers.end();
}

bool Contains(const std::u32string& text, const std::string& part) {
    return text.find(ToU32(part)) != std::u32string::npos;
}

// What the complete screen of one directory shows.
struct Expected {
    std::string dir;         // full path, as on the command line
    size_t entries = 0;      // the number in the totals of both panels
    std::string firstEntry;  // the first name after "..", when the directory is not empty
};

// The complete file-manager screen (120x40: menu bar, the panels' frames from row 1 to the
// row above the command line, the command line on the last row):
//   - the last row is the command line: the directory path followed by '>';
//   - a row holds the bottom frames of both panels (two U+255A and two U+255D), and the
//     totals written into each of them show the directory's number of entries;
//   - the row below the top frames (U+2554 ... U+2557) holds the column titles; the row below
//     it shows ".." in both panels, and the next one the first entry of the directory.
bool ScreenComplete(const PtyTerminal& term, const Expected& expected) {
    const int rows = term.RowCount();
    const std::u32string prompt = term.Row(rows - 1);
    const std::u32string commandLine = ToU32(expected.dir + ">");
    if (prompt.compare(0, commandLine.size(), commandLine) != 0) return false;

    int bottom = -1;
    for (int row = rows - 2; row > 0; --row) {
        const std::u32string text = term.Row(row);
        if (Count(text, U'\u255A') >= 2 && Count(text, U'\u255D') >= 2) {
            bottom = row;
            break;
        }
    }
    if (bottom < 3) return false;
    const std::u32string totals = term.Row(bottom);
    const size_t half = totals.size() / 2;
    if (!ShowsNumber(totals.substr(0, half), expected.entries) ||
        !ShowsNumber(totals.substr(half), expected.entries)) {
        return false;
    }

    int top = -1;
    for (int row = 0; row < bottom; ++row) {
        const std::u32string text = term.Row(row);
        if (Count(text, U'\u2554') >= 2 && Count(text, U'\u2557') >= 2) {
            top = row;
            break;
        }
    }
    if (top < 0 || top + 3 >= bottom) return false;
    const std::u32string parent = term.Row(top + 2);
    if (!Contains(parent.substr(0, half), "..") || !Contains(parent.substr(half), "..")) {
        return false;
    }
    if (expected.firstEntry.empty()) return true;
    const std::u32string first = term.Row(top + 3);
    return Contains(first.substr(0, half), expected.firstEntry) &&
           Contains(first.substr(half), expected.firstEntry);
}

struct Options {
    std::string kq;
    std::string dir;
    std::string emptyDir;
    std::string firstEntry = "f000000";
    int runs = 5;
    int redraws = 3;
    int steps = 10;         // Down and PgDn keys per run
    std::string countTree;  // --count: a directory whose size kq measures
    int cols = 120;
    int rows = 40;
    bool ls = true;
    bool dump = false;
};

std::vector<std::string> KqEnvironment(const TempConfig& config) {
    return {"KQ_CONFIG_HOME=" + config.Path(), "KQ_CODEPAGE=437", "TERM=xterm-256color",
            "LANG=C.UTF-8", "LC_ALL=C.UTF-8"};
}

struct StartResult {
    bool complete = false;
    double startMs = 0;      // fork to the first complete screen
    double settleMs = 0;     // fork to the last byte before kq fell quiet
    size_t firstBytes = 0;   // bytes written up to the first complete screen
    size_t settleBytes = 0;  // bytes written until quiet
    long rssKiB = -1;        // VmRSS once the screen is complete and kq is quiet
    long hwmKiB = -1;        // VmHWM at the same time
    double cpuMs = 0;        // kq's CPU time (user + system) at the same time
    std::vector<size_t> redrawBytes;
    std::vector<double> redrawMs;
    std::vector<bool> redrawComplete;
    // One cursor step (Down) and one page (PgDn): bytes written and time to the last byte.
    std::vector<size_t> stepBytes;
    std::vector<double> stepMs;
    std::vector<double> stepFirstMs;  // to the first byte
    std::vector<size_t> pageBytes;
    std::vector<double> pageMs;
    std::vector<double> pageFirstMs;
    int exitStatus = 0;
    double quitMs = 0;  // SIGTERM to exit
};

void DumpScreen(const PtyTerminal& term, const char* title) {
    std::printf("---- %s ----\n", title);
    for (int row = 0; row < term.RowCount(); ++row) {
        std::printf("%2d|%s\n", row, term.RowUtf8(row).c_str());
    }
}

// kq shows the directory by its full path: compare against the same.
std::string FullPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

size_t CountEntries(const std::string& dir) {
    std::error_code error;
    size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(dir, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}

Expected ExpectedScreen(const Options& options, const std::string& dir) {
    Expected expected;
    expected.dir = dir;
    expected.entries = CountEntries(dir);
    if (expected.entries > 0) expected.firstEntry = options.firstEntry;
    return expected;
}

StartResult RunKq(const Options& options, const std::string& dir, int redraws, bool dump) {
    StartResult result;
    // One settings folder for every run, as a user has: the first run creates the database.
    static TempConfig config;
    PtyTerminal term(options.cols, options.rows);
    if (!term.Start({options.kq, dir}, KqEnvironment(config))) return result;
    const Expected expected = ExpectedScreen(options, dir);
    const auto complete = [&] { return ScreenComplete(term, expected); };

    result.complete = term.WaitFor(complete, dump ? kDumpTimeoutMs : kStartTimeoutMs);
    result.startMs = Ms(term.LastByteNs() - term.StartNs());
    result.firstBytes = term.Bytes();
    term.WaitQuiet(kQuietMs, kStartTimeoutMs);
    result.settleMs = Ms(term.LastByteNs() - term.StartNs());
    result.settleBytes = term.Bytes();
    result.rssKiB = term.StatusKiB("VmRSS");
    result.hwmKiB = term.StatusKiB("VmHWM");
    result.cpuMs = term.CpuMs();
    if (dump) {
        DumpScreen(term, result.complete ? "first screen, quiet" : "NOT complete");
        // What kq writes while idle (the clock), over three seconds.
        const int64_t idleStart = NowNs();
        std::printf("idle output:");
        while (NowNs() - idleStart < 3000000000) {
            const size_t before = term.Bytes();
            if (term.ReadOnce(100) > 0) {
                std::printf(" %zu bytes at +%.0f ms;", term.Bytes() - before,
                            Ms(term.LastByteNs() - idleStart));
            }
        }
        std::printf("\n");
    }

    for (int i = 0; i < redraws && result.complete; ++i) {
        term.Send("\x0f");  // hide both panels
        term.WaitQuiet(kQuietMs, kRedrawTimeoutMs);
        if (dump && i == 0) DumpScreen(term, "after the first Ctrl+O");
        term.ResetBytes();
        const int64_t sent = NowNs();
        term.Send("\x0f");  // show them again: both drawn completely
        term.WaitQuiet(kQuietMs, kRedrawTimeoutMs);
        result.redrawBytes.push_back(term.Bytes());
        result.redrawMs.push_back(term.Bytes() > 0 ? Ms(term.LastByteNs() - sent) : 0.0);
        result.redrawComplete.push_back(complete());
        if (dump && i == 0) DumpScreen(term, "after the second Ctrl+O");
    }

    // Cursor steps and pages through the listing: each key is sent once kq is quiet again.
    const auto measureKey = [&](const char* key, std::vector<size_t>& bytes,
                                std::vector<double>& ms, std::vector<double>& firstMs) {
        term.ResetBytes();
        const int64_t sent = NowNs();
        term.Send(key);
        term.WaitQuiet(kQuietMs, kRedrawTimeoutMs);
        bytes.push_back(term.Bytes());
        ms.push_back(term.Bytes() > 0 ? Ms(term.LastByteNs() - sent) : 0.0);
        firstMs.push_back(term.Bytes() > 0 ? Ms(term.FirstByteNs() - sent) : 0.0);
    };
    for (int i = 0; i < options.steps && result.complete; ++i) {
        measureKey("\x1b[B", result.stepBytes, result.stepMs, result.stepFirstMs);
    }
    for (int i = 0; i < options.steps && result.complete; ++i) {
        measureKey("\x1b[6~", result.pageBytes, result.pageMs, result.pageFirstMs);
    }

    const int64_t quit = NowNs();
    result.exitStatus = term.Stop();
    result.quitMs = Ms(term.ExitNs() - quit);
    if (dump) DumpScreen(term, "after SIGTERM (the terminal as kq left it)");
    return result;
}

struct LsResult {
    double wallMs = -1;
    double cpuMs = -1;  // user + system
};

// A program (`ls -l DIR`, `du -s DIR`), either into /dev/null or into a pseudo-terminal that is
// drained, not rendered.
LsResult RunTimed(const Options& options, const std::vector<std::string>& argv, bool intoPty) {
    const std::vector<std::string> env{"LANG=C.UTF-8", "LC_ALL=C.UTF-8"};
    if (intoPty) {
        PtyTerminal term(options.cols, options.rows);
        term.SetRender(false);
        if (!term.Start(argv, env)) return {};
        term.Reap(kStartTimeoutMs);
        return {Ms(term.ExitNs() - term.StartNs()), term.ReapedCpuMs()};
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int64_t start = NowNs();
    const pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {
        for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = Ms(NowNs() - start);
    return {wall,
            static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0};
}

LsResult RunLs(const Options& options, bool intoPty) {
    return RunTimed(options, {"ls", "-l", options.dir}, intoPty);
}

// kq measuring a directory: started in the directory's parent, of which it must be the only
// entry, the cursor moved onto it and Ctrl+Q pressed; the time from the key to the screen that
// shows the count of every file.
struct CountResult {
    bool done = false;
    double ms = 0;
};

CountResult RunCount(const Options& options, size_t files) {
    CountResult result;
    const std::filesystem::path tree(options.countTree);
    const std::string parent = tree.parent_path().string();
    // One settings folder for every run, as a user has: the first run creates the database.
    static TempConfig config;
    PtyTerminal term(options.cols, options.rows);
    if (!term.Start({options.kq, parent}, KqEnvironment(config))) return result;
    const auto prompt = [&] { return Contains(term.Row(options.rows - 1), parent + ">"); };
    if (!term.WaitFor(prompt, kStartTimeoutMs)) return result;
    term.WaitQuiet(kQuietMs, kStartTimeoutMs);
    term.Send("\x1b[B");  // from ".." to the directory
    term.WaitQuiet(kQuietMs, kRedrawTimeoutMs);
    const std::string count = std::to_string(files);
    const auto counted = [&] {
        for (int row = 0; row < options.rows; ++row) {
            const std::u32string text = term.Row(row);
            if (Contains(text, "Files:") && Contains(text, count)) return true;
        }
        return false;
    };
    const int64_t sent = NowNs();
    term.Send("\x11");  // Ctrl+Q
    result.done = term.WaitFor(counted, 120000);
    result.ms = Ms(term.LastByteNs() - sent);
    term.Stop();
    return result;
}

size_t CountFilesBelow(const std::string& dir) {
    size_t files = 0;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        if (!it->is_directory(error) || it->is_symlink(error)) ++files;
    }
    return files;
}

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: shell_start_bench [--empty DIR] [--redraws N] [--steps N]\n"
                 "                         [--size COLSxROWS] [--first NAME] [--no-ls] [--dump]\n"
                 "                         [--count TREE] KQ_BINARY DIR [RUNS]\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--empty" && hasValue) {
            options.emptyDir = argv[++i];
        } else if (arg == "--steps" && hasValue) {
            options.steps = std::atoi(argv[++i]);
        } else if (arg == "--count" && hasValue) {
            options.countTree = argv[++i];
        } else if (arg == "--redraws" && hasValue) {
            options.redraws = std::atoi(argv[++i]);
        } else if (arg == "--first" && hasValue) {
            options.firstEntry = argv[++i];
        } else if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &options.cols, &options.rows) != 2) return false;
        } else if (arg == "--no-ls") {
            options.ls = false;
        } else if (arg == "--dump") {
            options.dump = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() < 2 || positional.size() > 3) return false;
    options.kq = positional[0];
    options.dir = positional[1];
    if (positional.size() == 3) options.runs = std::max(1, std::atoi(positional[2].c_str()));
    return options.cols >= 20 && options.rows >= 10;
}

void PrintStart(const char* label, const std::vector<StartResult>& results) {
    std::vector<double> start;
    std::vector<double> settle;
    std::vector<size_t> firstBytes;
    std::vector<size_t> settleBytes;
    std::vector<long> rss;
    std::vector<long> hwm;
    std::vector<double> cpu;
    int complete = 0;
    for (const StartResult& r : results) {
        if (!r.complete) continue;
        ++complete;
        start.push_back(r.startMs);
        settle.push_back(r.settleMs);
        firstBytes.push_back(r.firstBytes);
        settleBytes.push_back(r.settleBytes);
        rss.push_back(r.rssKiB);
        hwm.push_back(r.hwmKiB);
        cpu.push_back(r.cpuMs);
    }
    std::printf("%s: %d of %zu runs reached the complete screen\n", label, complete,
                results.size());
    if (complete == 0) return;
    std::printf("  start to first complete screen   median %8.1f ms  (min %.1f, max %.1f)\n",
                Median(start), *std::min_element(start.begin(), start.end()),
                *std::max_element(start.begin(), start.end()));
    std::printf("  start to last byte before quiet  median %8.1f ms\n", Median(settle));
    std::printf("  kq CPU time (user+system) then   median %8.1f ms\n", Median(cpu));
    std::printf("  bytes of the first complete screen %9zu   (until quiet: %zu)\n",
                Median(firstBytes), Median(settleBytes));
    std::printf("  VmRSS with the screen complete   median %8ld KiB  (VmHWM %ld KiB)\n",
                Median(rss), Median(hwm));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage();
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    options.dir = FullPath(options.dir);
    if (!options.emptyDir.empty()) options.emptyDir = FullPath(options.emptyDir);

    if (options.dump) {
        const StartResult r = RunKq(options, options.dir, 1, true);
        std::printf("complete: %s, start %.1f ms, %zu bytes, VmRSS %ld KiB, exit status %d\n",
                    r.complete ? "yes" : "NO", r.startMs, r.firstBytes, r.rssKiB, r.exitStatus);
        return r.complete ? 0 : 1;
    }

    const size_t entries = CountEntries(options.dir);
    std::printf("kq %s in %s (%zu entries), terminal %dx%d, %d runs after one warm-up\n",
                options.kq.c_str(), options.dir.c_str(), entries, options.cols, options.rows,
                options.runs);

    RunKq(options, options.dir, 0, false);  // warm-up: caches, first settings database
    std::vector<StartResult> big;
    for (int i = 0; i < options.runs; ++i) {
        big.push_back(RunKq(options, options.dir, options.redraws, false));
    }
    PrintStart("big directory", big);

    std::vector<size_t> redrawBytes;
    std::vector<double> redrawMs;
    int redrawIncomplete = 0;
    std::vector<double> quitMs;
    int badExits = 0;
    for (const StartResult& r : big) {
        redrawBytes.insert(redrawBytes.end(), r.redrawBytes.begin(), r.redrawBytes.end());
        redrawMs.insert(redrawMs.end(), r.redrawMs.begin(), r.redrawMs.end());
        redrawIncomplete +=
            static_cast<int>(std::count(r.redrawComplete.begin(), r.redrawComplete.end(), false));
        if (r.complete) quitMs.push_back(r.quitMs);
        // kq restores the terminal and then dies of the SIGTERM it was sent: both are fine.
        const bool byTerm = WIFSIGNALED(r.exitStatus) && WTERMSIG(r.exitStatus) == SIGTERM;
        const bool byExit = WIFEXITED(r.exitStatus) && WEXITSTATUS(r.exitStatus) == 0;
        if (!byTerm && !byExit) ++badExits;
    }
    if (!redrawBytes.empty()) {
        std::printf(
            "  full redraw (second Ctrl+O)      median %8zu bytes, last byte after "
            "%.1f ms  (%zu samples, min %zu, max %zu bytes)\n",
            Median(redrawBytes), Median(redrawMs), redrawBytes.size(),
            *std::min_element(redrawBytes.begin(), redrawBytes.end()),
            *std::max_element(redrawBytes.begin(), redrawBytes.end()));
        if (redrawIncomplete > 0) {
            std::printf("  WARNING: %d redraws did not leave the complete screen\n",
                        redrawIncomplete);
        }
    }
    std::vector<size_t> stepBytes;
    std::vector<double> stepMs;
    std::vector<double> stepFirstMs;
    std::vector<size_t> pageBytes;
    std::vector<double> pageMs;
    std::vector<double> pageFirstMs;
    for (const StartResult& r : big) {
        stepBytes.insert(stepBytes.end(), r.stepBytes.begin(), r.stepBytes.end());
        stepMs.insert(stepMs.end(), r.stepMs.begin(), r.stepMs.end());
        stepFirstMs.insert(stepFirstMs.end(), r.stepFirstMs.begin(), r.stepFirstMs.end());
        pageBytes.insert(pageBytes.end(), r.pageBytes.begin(), r.pageBytes.end());
        pageMs.insert(pageMs.end(), r.pageMs.begin(), r.pageMs.end());
        pageFirstMs.insert(pageFirstMs.end(), r.pageFirstMs.begin(), r.pageFirstMs.end());
    }
    if (!stepBytes.empty()) {
        std::printf(
            "  cursor step (Down)               median %8zu bytes, first byte after "
            "%.2f ms, last after %.2f ms  (%zu samples)\n",
            Median(stepBytes), Median(stepFirstMs), Median(stepMs), stepBytes.size());
    }
    if (!pageBytes.empty()) {
        std::printf(
            "  page (PgDn)                      median %8zu bytes, first byte after "
            "%.2f ms, last after %.2f ms  (%zu samples)\n",
            Median(pageBytes), Median(pageFirstMs), Median(pageMs), pageBytes.size());
    }
    if (!quitMs.empty()) {
        std::printf(
            "  SIGTERM to exit                  median %8.1f ms; %d runs ended "
            "otherwise than by SIGTERM or status 0\n",
            Median(quitMs), badExits);
    }

    if (!options.emptyDir.empty()) {
        std::vector<StartResult> empty;
        for (int i = 0; i < std::min(options.runs, 3); ++i) {
            empty.push_back(RunKq(options, options.emptyDir, 0, false));
        }
        PrintStart("empty directory", empty);
        std::vector<long> bigRss;
        std::vector<long> emptyRss;
        for (const StartResult& r : big) {
            if (r.complete) bigRss.push_back(r.rssKiB);
        }
        for (const StartResult& r : empty) {
            if (r.complete) emptyRss.push_back(r.rssKiB);
        }
        if (!bigRss.empty() && !emptyRss.empty() && entries > 0) {
            const double perEntry = static_cast<double>(Median(bigRss) - Median(emptyRss)) *
                                    1024.0 / static_cast<double>(entries);
            std::printf(
                "memory: VmRSS big %ld KiB, empty %ld KiB -> %.0f bytes per entry "
                "(target < 350)\n",
                Median(bigRss), Median(emptyRss), perEntry);
        }
    }

    if (!options.countTree.empty()) {
        options.countTree = FullPath(options.countTree);
        const size_t files = CountFilesBelow(options.countTree);
        RunCount(options, files);  // warm-up
        std::vector<double> kqMs;
        int failed = 0;
        for (int i = 0; i < options.runs; ++i) {
            const CountResult r = RunCount(options, files);
            if (r.done) {
                kqMs.push_back(r.ms);
            } else {
                ++failed;
            }
        }
        std::vector<double> duMs;
        RunTimed(options, {"du", "-s", options.countTree}, false);  // warm-up
        for (int i = 0; i < std::max(options.runs, 5); ++i) {
            duMs.push_back(RunTimed(options, {"du", "-s", options.countTree}, false).wallMs);
        }
        if (!kqMs.empty()) {
            std::printf(
                "directory size of %s (%zu files): kq Ctrl+Q median %8.1f ms  (min %.1f, "
                "max %.1f; %d runs did not finish)\n",
                options.countTree.c_str(), files, Median(kqMs),
                *std::min_element(kqMs.begin(), kqMs.end()),
                *std::max_element(kqMs.begin(), kqMs.end()), failed);
        } else {
            std::printf("directory size of %s: kq never showed the count\n",
                        options.countTree.c_str());
        }
        std::printf("du -s %s  median %8.1f ms\n", options.countTree.c_str(), Median(duMs));
    }

    if (options.ls) {
        for (const bool pty : {false, true}) {
            RunLs(options, pty);  // warm-up
            std::vector<double> times;
            std::vector<double> cpu;
            for (int i = 0; i < std::max(options.runs, 5); ++i) {
                const LsResult r = RunLs(options, pty);
                times.push_back(r.wallMs);
                cpu.push_back(r.cpuMs);
            }
            std::printf("ls -l %s %s  median %8.1f ms  (min %.1f, max %.1f), CPU %.1f ms\n",
                        options.dir.c_str(), pty ? "into a pty (drained)" : "> /dev/null",
                        Median(times), *std::min_element(times.begin(), times.end()),
                        *std::max_element(times.begin(), times.end()), Median(cpu));
        }
    }
    return 0;
}
