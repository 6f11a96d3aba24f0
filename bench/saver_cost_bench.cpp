// What kq's screen saver costs while it runs, next to kq sitting idle with the saver switched
// off: the real kq in a pseudo-terminal rendered by libvterm, for each screen size
//   saver on:  SaverActive = 1 and SaverTime = 1 stored in a fresh settings folder before kq
//              starts; after the panels, the wait until the saver has taken the screen (no
//              panel frame and no prompt left), one more second for its first frames, then
//              the measuring window;
//   saver off: SaverActive = 0; after the panels and a quiet terminal, the measuring window,
//              during which the panels must stay on the screen.
// In the window the terminal is drained as soon as anything arrives, so kq never waits on its
// output. Measured there:
//   CPU      utime + stime of kq's process (all threads, /proc/PID/stat, clock ticks) as a
//            share of one core, and the sum of the threads' run times from
//            /proc/PID/task/*/schedstat (nanoseconds, the finer of the two)
//   bytes/s  bytes read from the pseudo-terminal
//   frames/s bursts of output, a burst being output after at least 10 ms of silence
//   reads/s  wake-ups of the reader that found output (each drained until nothing is left)
//   writes/s kq's write calls (syscw of /proc/PID/io: every write of the process, the
//            eventfd that wakes its own loop and any file included, not only the terminal's)
//   bench    the CPU of this program itself in the window (the rendering included), as a
//            share of one core, to see what the observer takes from the two cores
//
//   saver_cost_bench [--seconds N] [--size COLSxROWS]... [--runs N] [--timeout SECONDS]
//                    [--dump] KQ_BINARY
//     --seconds  the measuring window (default 10)
//     --size     a screen size, may be given several times (default 80x25 and 200x60)
//     --runs     runs of every case, the table shows medians (default 1)
//     --timeout  the longest wait for one step, such as the saver to start (default 30)
//     --dump     print the screen at every step
//
// bench/saver_cost.sh runs this program.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CompareSupport.h"
#include "kq/config.h"

namespace {

using namespace comparebench;

// Output after this much silence starts a new frame; the saver draws one every 50 ms.
constexpr int64_t kFrameGapNs = 10 * 1000000LL;
// How long the saver runs before the window opens: its first frame repaints every cell.
constexpr int kSaverSettleMs = 1000;

// ---- Settings ----

// Stores SaverActive and SaverTime in section Main of the settings kq will find under
// configHome, and reads them back from a second opening of the store.
bool StoreSaverSettings(const std::string& kq, const std::string& configHome, uint32_t active,
                        uint32_t seconds) {
    setenv("KQ_CONFIG_HOME", configHome.c_str(), 1);
    bool ok = CfgInit(kq.c_str()) == 0;
    CfgSection main = ok ? CfgOpen("Main") : 0;
    ok = main != 0 && CfgSetDw(main, "SaverActive", active) == 0 &&
         CfgSetDw(main, "SaverTime", seconds) == 0;
    if (main != 0) CfgClose(main);
    CfgShutdown();
    uint32_t storedActive = ~active;
    uint32_t storedSeconds = ~seconds;
    ok = ok && CfgInit(kq.c_str()) == 0;
    main = ok ? CfgOpen("Main") : 0;
    ok = main != 0 && CfgQueryDw(main, "SaverActive", &storedActive) == 0 &&
         CfgQueryDw(main, "SaverTime", &storedSeconds) == 0;
    if (main != 0) CfgClose(main);
    CfgShutdown();
    unsetenv("KQ_CONFIG_HOME");
    return ok && storedActive == active && storedSeconds == seconds;
}

// ---- The process ----

// utime + stime of the whole process in milliseconds; -1 when it is gone.
double StatCpuMs(pid_t pid) {
    const std::string fields = ProcStatFields(pid);
    unsigned long user = 0;
    unsigned long system = 0;
    if (fields.empty() ||
        std::sscanf(fields.c_str(), " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                    &system) != 2) {
        return -1;
    }
    return static_cast<double>(user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The run time of every thread the process has now, from schedstat, in milliseconds; -1 when
// the kernel keeps no schedstat. Threads that ended before the call are not in it.
double SchedCpuMs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = opendir(tasks.c_str());
    if (folder == nullptr) return -1;
    double total = 0;
    bool any = false;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        FILE* file = std::fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r");
        if (file == nullptr) continue;
        unsigned long long ns = 0;
        if (std::fscanf(file, "%llu", &ns) == 1) {
            total += static_cast<double>(ns) / 1e6;
            any = true;
        }
        std::fclose(file);
    }
    closedir(folder);
    return any ? total : -1;
}

// One "name: N" line of /proc/PID/io; -1 when it cannot be read.
long long ProcIo(pid_t pid, const char* field) {
    const std::string path = "/proc/" + std::to_string(pid) + "/io";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    char line[128];
    long long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::atoll(line + length + 1);
            break;
        }
    }
    std::fclose(file);
    return value;
}

double SelfCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct Sample {
    int64_t at = 0;
    double statMs = -1;
    double schedMs = -1;
    long long writes = -1;
    double selfMs = 0;
};

Sample Take(pid_t pid) {
    Sample sample;
    sample.at = NowNs();
    sample.statMs = StatCpuMs(pid);
    sample.schedMs = SchedCpuMs(pid);
    sample.writes = ProcIo(pid, "syscw");
    sample.selfMs = SelfCpuMs();
    return sample;
}

// ---- Screens ----

// The saver owns the screen: no panel frame and no command line are left on it.
bool SaverShown(const PtyTerminal& term, const std::string& dir) {
    return !KqPrompt(term, dir) && !OnScreen(term, "\u2551");
}

bool PanelsShown(const PtyTerminal& term, const std::string& dir) {
    return KqPrompt(term, dir) && OnScreen(term, "\u2551");
}

// ---- One case ----

struct Case {
    Size size;
    bool saver;
};

struct Figures {
    bool ok = false;
    double cpu = -1;           // % of a core, /proc/PID/stat
    double sched = -1;         // % of a core, schedstat of the threads
    double bytes = 0;          // per second
    double frames = 0;         // bursts per second
    double reads = 0;          // reader wake-ups with output per second
    double writes = -1;        // kq's write calls per second
    double bench = 0;          // this program's CPU, % of a core
    double saverStartMs = -1;  // from the panels to the saver's first screen
};

struct Options {
    std::string kq;
    std::string dir;  // kq's panels show it; it holds one file
    int seconds = 10;
};

// Reads everything kq writes for the window, counting bytes, bursts and wake-ups; `check`
// sees the screen after every burst's first chunk.
template <typename Check>
void MeasureWindow(PtyTerminal& term, int seconds, Figures& figures, Check check) {
    const pid_t pid = term.Pid();
    const Sample from = Take(pid);
    const int64_t deadline = from.at + int64_t{seconds} * 1000000000;
    const size_t bytesBefore = term.Bytes();
    long long bursts = 0;
    long long reads = 0;
    int64_t previousByteNs = 0;
    for (int64_t now = NowNs(); now < deadline; now = NowNs()) {
        const int waitMs = static_cast<int>(std::min<int64_t>((deadline - now) / 1000000 + 1, 20));
        const long got = term.ReadOnce(waitMs);
        if (got < 0) return;  // kq closed the terminal
        if (got == 0) continue;
        ++reads;
        const int64_t byteNs = term.LastByteNs();
        if (previousByteNs == 0 || byteNs - previousByteNs > kFrameGapNs) {
            ++bursts;
            check();
        }
        previousByteNs = byteNs;
    }
    const Sample to = Take(pid);
    const double wallS = static_cast<double>(to.at - from.at) / 1e9;
    if (from.statMs < 0 || to.statMs < 0 || wallS <= 0) return;
    const auto share = [wallS](double a, double b) { return (b - a) / 10.0 / wallS; };
    figures.cpu = share(from.statMs, to.statMs);
    if (from.schedMs >= 0 && to.schedMs >= 0) figures.sched = share(from.schedMs, to.schedMs);
    figures.bytes = static_cast<double>(term.Bytes() - bytesBefore) / wallS;
    figures.frames = static_cast<double>(bursts) / wallS;
    figures.reads = static_cast<double>(reads) / wallS;
    if (from.writes >= 0 && to.writes >= 0) {
        figures.writes = static_cast<double>(to.writes - from.writes) / wallS;
    }
    figures.bench = share(from.selfMs, to.selfMs);
    figures.ok = true;
}

Figures RunCase(const Options& options, const Case& c) {
    Figures figures;
    const TempConfig home;  // removed after kq has stopped
    const std::string configHome = home.Path() + "/.config";
    if (!StoreSaverSettings(options.kq, configHome, c.saver ? 1 : 0, 1)) {
        std::fprintf(stderr, "could not store the saver settings under %s\n", configHome.c_str());
        return figures;
    }
    const std::string label = std::to_string(c.size.cols) + "x" + std::to_string(c.size.rows) +
                              (c.saver ? ", saver on" : ", saver off");
    PtyTerminal term(c.size.cols, c.size.rows);
    bool ok = term.Start({options.kq, options.dir}, Environment(home.Path(), {}));
    ok = ok && Expect(term, "kq's panels (" + label + ")",
                      [&] { return PanelsShown(term, options.dir); });
    const int64_t panelsNs = term.LastByteNs();
    if (dumpScreens) Dump(term, label + ": panels");
    if (ok && c.saver) {
        ok = Expect(term, "the saver (" + label + ")",
                    [&] { return SaverShown(term, options.dir); });
        figures.saverStartMs = Ms(term.LastByteNs() - panelsNs);
        const int64_t settle = NowNs() + kSaverSettleMs * 1000000LL;
        while (ok && NowNs() < settle) ok = term.ReadOnce(20) >= 0;
        if (dumpScreens) Dump(term, label + ": the saver running");
    } else if (ok) {
        term.WaitQuiet(kQuietMs, stepTimeoutMs);
    }
    bool panelsLeft = false;
    if (ok) {
        MeasureWindow(term, options.seconds, figures, [&] {
            if (!c.saver && !PanelsShown(term, options.dir)) panelsLeft = true;
        });
        if (dumpScreens) Dump(term, label + ": the end of the window");
    }
    // The saver must still own the screen at the end, and without it the panels never left.
    if (figures.ok && c.saver && !SaverShown(term, options.dir)) {
        Dump(term, label + ": the saver no longer runs at the end of the window");
        figures.ok = false;
    }
    if (figures.ok && !c.saver && (panelsLeft || !PanelsShown(term, options.dir))) {
        Dump(term, label + ": the panels left the screen although the saver is off");
        figures.ok = false;
    }
    term.Stop();
    return figures;
}

// ---- The table ----

std::string Number(double value, int decimals) {
    if (value < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

template <typename Field>
double MedianOf(const std::vector<Figures>& runs, Field field) {
    std::vector<double> values;
    for (const Figures& f : runs) {
        if (f.ok) values.push_back(field(f));
    }
    return values.empty() ? -1 : Median(values);
}

void PrintRow(const Case& c, const std::vector<Figures>& runs) {
    const size_t good = static_cast<size_t>(
        std::count_if(runs.begin(), runs.end(), [](const Figures& f) { return f.ok; }));
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", c.size.cols, c.size.rows);
    if (good == 0) {
        std::printf("%-8s %-6s  failed (%zu runs)\n", size, c.saver ? "on" : "off", runs.size());
        return;
    }
    const auto median = [&runs](auto field) { return MedianOf(runs, field); };
    std::printf(
        "%-8s %-6s %9s %9s %11s %9s %8s %9s %8s %10s  %zu of %zu\n", size, c.saver ? "on" : "off",
        Number(median([](const Figures& f) { return f.cpu; }), 2).c_str(),
        Number(median([](const Figures& f) { return f.sched; }), 2).c_str(),
        Number(median([](const Figures& f) { return f.bytes; }), 0).c_str(),
        Number(median([](const Figures& f) { return f.frames; }), 1).c_str(),
        Number(median([](const Figures& f) { return f.reads; }), 1).c_str(),
        Number(median([](const Figures& f) { return f.writes; }), 1).c_str(),
        Number(median([](const Figures& f) { return f.bench; }), 1).c_str(),
        c.saver ? Number(median([](const Figures& f) { return f.saverStartMs; }), 0).c_str() : "-",
        good, runs.size());
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 1;
    Options options;
    std::vector<Size> sizes;
    stepTimeoutMs = 30000;
    reportProcessOnGiveUp = true;
    const auto own = [&](const std::string& arg, bool hasValue, int& i) {
        if (arg == "--seconds" && hasValue) {
            options.seconds = std::max(1, std::atoi(argv[++i]));
            return true;
        }
        return SizesOption(arg, hasValue, argv, i, 20, sizes);
    };
    if (!ReadCommandLine(argc, argv, "saver_cost_bench",
                         "[--seconds N] [--size COLSxROWS]... [--runs N] [--timeout SECONDS] "
                         "[--dump] KQ_BINARY",
                         true, runs, options.kq, own)) {
        return 2;
    }
    if (sizes.empty()) sizes = {{80, 25}, {200, 60}};
    if (!MakeTempDir("/tmp/kq-saver-bench-XXXXXX", options.dir)) return 1;
    // One small file, so that the panels list something besides "..".
    const int fd = open((options.dir + "/notes.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || !WriteAll(fd, kPangrams.data(), kPangrams.size()) || close(fd) != 0) {
        std::perror("notes.txt");
        RemoveTempDir(options.dir);
        return 1;
    }

    std::vector<Case> cases;
    for (const Size& size : sizes) {
        cases.push_back({size, true});
        cases.push_back({size, false});
    }
    std::vector<std::vector<Figures>> results(cases.size());
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < cases.size(); ++i) {
            results[i].push_back(RunCase(options, cases[i]));
            std::fprintf(stderr, "%dx%d, saver %s: run %d of %d done\n", cases[i].size.cols,
                         cases[i].size.rows, cases[i].saver ? "on" : "off", run + 1, runs);
        }
    }
    RemoveTempDir(options.dir);

    std::printf("%d s windows, %d run%s per case (medians); CPU as %% of one core\n",
                options.seconds, runs, runs == 1 ? "" : "s");
    std::printf("%-8s %-6s %9s %9s %11s %9s %8s %9s %8s %10s  %s\n", "size", "saver", "CPU %",
                "sched %", "bytes/s", "frames/s", "reads/s", "writes/s", "bench %", "start ms",
                "runs");
    bool allOk = true;
    for (size_t i = 0; i < cases.size(); ++i) {
        PrintRow(cases[i], results[i]);
        allOk = allOk && std::all_of(results[i].begin(), results[i].end(),
                                     [](const Figures& f) { return f.ok; });
    }
    std::printf(
        "CPU %%: utime + stime of /proc/PID/stat; sched %%: run time of kq's threads from "
        "schedstat; frames: bursts after >= 10 ms of silence; reads: reader wake-ups with "
        "output; writes: all of kq's write calls (syscw, its loop's wake-ups included); bench %%: "
        "this program's own CPU; start ms: "
        "from the panels to the saver's first screen (SaverTime = 1)\n");
    return allOk ? 0 : 1;
}
