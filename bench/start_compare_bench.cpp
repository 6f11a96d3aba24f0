// Start-up time of kq next to `mc -u` (the reference program, run without its subshell), both
// started in the same empty directory in a pseudo-terminal that this program renders with
// libvterm and whose terminal queries it answers. Measured: the time from fork/exec to the
// first complete screen, each program's screen judged by what it shows when finished:
//   kq: the menu bar on the first row, the top and bottom frames of both panels with ".." in
//       each, and the command line "DIR>" on the last row;
//   mc: the top and bottom frames of both panels and the key bar ("1Help" ... "10Quit") on the
//       last row.
// Also reported (medians): the first byte, the CPU time of the main thread when the screen was
// complete (from /proc/PID/schedstat: what load changes least), the bytes written and the
// terminal answers sent up to then, and the minor page faults.
// Each program gets its own fresh settings folders (HOME, XDG_*, KQ_CONFIG_HOME) per terminal
// size; its first start there (which creates the settings) is reported on its own, then the two
// programs alternate for RUNS starts each with the settings in place.
//
//   start_compare_bench [--size COLSxROWS]... [--runs N] [--mc PROGRAM] [--dump] KQ_BINARY
//     --size   a terminal size; may be given several times (default 80x25 and 200x60)
//     --runs   timed starts of each program per size (default 25)
//     --mc     the reference program (default mc)
//     --dump   start each program once per size and print its complete screen
//
// bench/start_compare.sh runs this program.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "CompareSupport.h"

namespace {

using namespace comparebench;

constexpr int64_t kStartTimeoutMs = 10000;
constexpr int64_t kStopTimeoutMs = 2000;

bool Contains(const std::u32string& text, const std::string& part) {
    return text.find(ToU32(part)) != std::u32string::npos;
}

// The first row at or after `from` (and before `to`) that holds at least two of each corner.
int RowWithCorners(const PtyTerminal& term, int from, int to, char32_t left, char32_t right) {
    for (int row = from; row < to; ++row) {
        const std::u32string text = term.Row(row);
        if (Count(text, left) >= 2 && Count(text, right) >= 2) return row;
    }
    return -1;
}

// kq's finished screen (see the top of the file).
bool KqComplete(const PtyTerminal& term, const std::string& dir) {
    const int rows = term.RowCount();
    const std::u32string prompt = term.Row(rows - 1);
    const std::u32string commandLine = ToU32(dir + ">");
    if (prompt.compare(0, commandLine.size(), commandLine) != 0) return false;
    const std::u32string menu = term.Row(0);
    if (!Contains(menu, "Left") || !Contains(menu, "Files") || !Contains(menu, "Right")) {
        return false;
    }
    const int top = RowWithCorners(term, 1, rows - 1, U'\u2554', U'\u2557');
    if (top < 0) return false;
    const int bottom = RowWithCorners(term, top + 3, rows - 1, U'\u255A', U'\u255D');
    if (bottom < 0) return false;
    const std::u32string parent = term.Row(top + 2);
    const size_t half = parent.size() / 2;
    return Contains(parent.substr(0, half), "..") && Contains(parent.substr(half), "..");
}

// mc's finished screen (see the top of the file).
bool McComplete(const PtyTerminal& term) {
    const int rows = term.RowCount();
    const std::u32string keys = term.Row(rows - 1);
    if (!Contains(keys, "1Help") || !Contains(keys, "10Quit")) return false;
    const int top = RowWithCorners(term, 0, rows - 1, U'\u250C', U'\u2510');
    if (top < 0) return false;
    return RowWithCorners(term, top + 3, rows - 1, U'\u2514', U'\u2518') >= 0;
}

struct Program {
    std::string name;
    std::vector<std::string> argv;
    std::function<bool(const PtyTerminal&)> complete;
};

struct Run {
    bool complete = false;
    double ms = 0;       // fork to the first complete screen
    double firstMs = 0;  // fork to the first byte
    size_t bytes = 0;    // written up to the complete screen
    int answers = 0;     // terminal answers sent up to the complete screen
    double cpuMs = -1;   // CPU time of the main thread then (less sensitive to load)
    long faults = -1;    // minor page faults of the process then
};

// Minor page faults so far, field 10 of /proc/PID/stat.
long MinorFaults(pid_t pid) {
    const std::string fields = ProcStatFields(pid);
    long faults = -1;
    if (fields.empty() ||
        std::sscanf(fields.c_str(), " %*c %*d %*d %*d %*d %*d %*u %ld", &faults) != 1) {
        return -1;
    }
    return faults;
}

// The time the program's main thread has run, from /proc/PID/schedstat (nanoseconds).
double MainThreadCpuMs(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/schedstat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    unsigned long long ns = 0;
    const bool read = std::fscanf(file, "%llu", &ns) == 1;
    std::fclose(file);
    return read ? static_cast<double>(ns) / 1e6 : -1;
}

// The settings folders of one program: HOME and the XDG folders inside one temporary folder.
std::vector<std::string> Environment(const std::string& home) {
    return comparebench::Environment(home, {});
}

void Dump(const PtyTerminal& term, const std::string& title) {
    std::printf("---- %s ----\n", title.c_str());
    for (int row = 0; row < term.RowCount(); ++row) {
        std::printf("%2d|%s\n", row, term.RowUtf8(row).c_str());
    }
    std::printf("fingerprint of colours, attributes and cursor: %016llx\n",
                static_cast<unsigned long long>(term.Fingerprint()));
}

Run StartOnce(const Program& program, const std::string& home, int cols, int rows, bool dump) {
    Run run;
    PtyTerminal term(cols, rows);
    if (!term.Start(program.argv, Environment(home))) return run;
    run.complete = term.WaitFor([&] { return program.complete(term); }, kStartTimeoutMs);
    run.ms = Ms(term.LastByteNs() - term.StartNs());
    run.firstMs = term.Bytes() > 0 ? Ms(term.FirstByteNs() - term.StartNs()) : 0.0;
    run.bytes = term.Bytes();
    run.answers = term.Answers();
    run.cpuMs = MainThreadCpuMs(term.Pid());
    run.faults = MinorFaults(term.Pid());
    if (dump) {
        Dump(term, program.name + (run.complete ? ": complete" : ": NOT complete"));
    }
    kill(term.Pid(), SIGTERM);
    term.Reap(kStopTimeoutMs);
    return run;
}

void PrintRuns(const std::string& name, const std::vector<Run>& runs) {
    std::vector<double> ms;
    std::vector<double> first;
    std::vector<size_t> bytes;
    std::vector<int> answers;
    std::vector<double> cpu;
    std::vector<long> faults;
    for (const Run& r : runs) {
        if (!r.complete) continue;
        ms.push_back(r.ms);
        first.push_back(r.firstMs);
        bytes.push_back(r.bytes);
        answers.push_back(r.answers);
        cpu.push_back(r.cpuMs);
        faults.push_back(r.faults);
    }
    if (ms.empty()) {
        std::printf("  %-6s never reached its complete screen (%zu runs)\n", name.c_str(),
                    runs.size());
        return;
    }
    std::printf(
        "  %-6s median %6.1f ms  min %6.1f  max %6.1f   first byte %5.1f ms  CPU %5.1f ms  "
        "%6zu bytes  %d answers  %ld faults  (%zu of %zu runs)\n",
        name.c_str(), Median(ms), *std::min_element(ms.begin(), ms.end()),
        *std::max_element(ms.begin(), ms.end()), Median(first), Median(cpu), Median(bytes),
        Median(answers), Median(faults), ms.size(), runs.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Size> sizes;
    int runs = 25;
    std::string mc = "mc";
    std::string kq;
    const auto own = [&](const std::string& arg, bool hasValue, int& i) {
        if (SizesOption(arg, hasValue, argv, i, 40, sizes)) return true;
        if (arg == "--mc" && hasValue) {
            mc = argv[++i];
            return true;
        }
        return false;
    };
    if (!ReadCommandLine(argc, argv, "start_compare_bench",
                         "[--size COLSxROWS]... [--runs N] [--mc PROGRAM] [--dump] KQ_BINARY",
                         false, runs, kq, own)) {
        return 2;
    }
    if (sizes.empty()) sizes = {{80, 25}, {200, 60}};
    const bool dump = dumpScreens;

    // Both programs start in the same empty directory, also their working directory.
    char dirName[] = "/tmp/kq-start-empty-XXXXXX";
    if (mkdtemp(dirName) == nullptr || chdir(dirName) != 0) {
        std::perror("empty directory");
        return 1;
    }
    const std::string dir = dirName;

    const std::vector<Program> programs{
        {"kq", {kq, dir}, [&](const PtyTerminal& term) { return KqComplete(term, dir); }},
        {"mc -u", {mc, "-u", dir}, [](const PtyTerminal& term) { return McComplete(term); }},
    };

    int failures = 0;
    for (const Size& size : sizes) {
        std::vector<TempConfig> homes(programs.size());
        std::printf("terminal %dx%d, empty directory %s\n", size.cols, size.rows, dir.c_str());
        std::printf(" first start (fresh settings folders):\n");
        for (size_t p = 0; p < programs.size(); ++p) {
            const Run first = StartOnce(programs[p], homes[p].Path(), size.cols, size.rows, dump);
            PrintRuns(programs[p].name, {first});
            if (!first.complete) ++failures;
        }
        if (dump) continue;
        std::vector<std::vector<Run>> results(programs.size());
        for (int i = 0; i < runs; ++i) {
            for (size_t p = 0; p < programs.size(); ++p) {
                results[p].push_back(
                    StartOnce(programs[p], homes[p].Path(), size.cols, size.rows, false));
            }
        }
        std::printf(" %d starts each, alternating, settings in place:\n", runs);
        for (size_t p = 0; p < programs.size(); ++p) {
            PrintRuns(programs[p].name, results[p]);
            for (const Run& r : results[p]) failures += r.complete ? 0 : 1;
        }
    }
    rmdir(dir.c_str());
    return failures == 0 ? 0 : 1;
}
