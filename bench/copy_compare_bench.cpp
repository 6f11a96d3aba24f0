// kq's copy and move next to cp, mv and mc, each figure measured in the same run with the
// programs alternating. kq and mc run in pseudo-terminals that this program renders with
// libvterm, with fresh settings folders (HOME, XDG_*, KQ_CONFIG_HOME) for every run. kq starts
// in the source directory; its other panel is sent to the destination with `cd` typed on the
// command line, and the active panel comes back with Tab.
//   1 GiB:   F5 on one 1 GiB file, timed from the Enter that confirms the dialog until both
//            panels have reloaded: the destination panel lists the copy with its full size in
//            its summary row and the progress window is gone. kq's own loop (no ApiCopy
//            setting) and the system copy (ApiCopy = 1) next to `cp FILE DIR/`, the source in the
//            page cache. Each time again after a final sync, from the same start until sync
//            returns. Nothing is left to flush when a run starts.
//   Tree:    F5 on a directory of 10,000 files of 1 to 8 KiB in 100 directories, until the
//            destination panel lists it, next to `cp -r` and to mc (F5 on the directory, Enter,
//            until mc's right panel lists it). Every copy is counted afterwards.
//   Move:    F6 on a 1 GiB file in a tmpfs (mounted by copy_compare.sh) to a directory on the
//            disk, until the destination panel shows the file and the source panel no longer
//            does, next to `mv FILE DIR/`. The file is put back into the tmpfs before each run.
//   Cursor:  F5 on the 1 GiB file, Enter, then Enter on the progress window's Background
//            button; while the copy runs, Down in the source panel, timed until the cursor bar
//            (a row of another background) lies on the next file. Only steps that end before
//            the copy appears under its own name count. Also timed, with those steps and again
//            with no key pressed: the Enter that confirms the dialog to the copy under its
//            name, and to both panels reloaded.
//   CPU:     the CPU time of kq's main thread (the user interface; /proc/PID/task/PID/stat
//            utime + stime, and schedstat for a finer clock) and of the whole process
//            (/proc/PID/stat) while copies run, as a share of one core.
//
//   copy_compare_bench [--runs N] [--size COLSxROWS] [--timeout SECONDS] [--mc PROGRAM]
//                      [--ram DIR] [--only big|tree|move|cursor] [--dump] KQ_BINARY
//     --runs     timed runs of each program per figure (default 5)
//     --size     the terminal size (default 120x30; the summary rows need 56 columns a panel)
//     --timeout  the longest wait for one step, such as one copy (default 120)
//     --mc       the other file manager (default mc)
//     --ram      an empty directory on another file system (a tmpfs) for the move; without it
//                the move is not measured
//     --only     measure one group alone (the goals of the others show "not measured")
//     --dump     print each program's screen once at every step
//
// bench/copy_compare.sh runs this program.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CompareSupport.h"
#include "kq/config.h"

namespace {

using namespace comparebench;

constexpr int64_t kBigBytes = int64_t{1} << 30;
const std::string kBigName = "big.bin";
// The destination panel's summary row once it holds the copy and nothing else.
const std::string kBigSummary = "1,073,741,824 bytes in 0 dirs and 1 files";
constexpr int kTreeDirectories = 100;
constexpr int kTreeFilesPerDirectory = 100;
const std::string kTreeName = "tree";
// Empty files after the big one, for the cursor to step over while a copy runs.
constexpr int kStepFiles = 40;
// The pause between two cursor steps, so that each answer stands alone.
constexpr int kStepPauseMs = 30;

struct Paths {
    std::string kq;
    std::string mc;
    std::string root;
    std::string source;       // the 1 GiB file and the step files
    std::string treeSource;   // holds only the tree
    std::string destination;  // empty when a run starts
    std::string ram;          // on a tmpfs; empty when the move is not measured
    int cols = 120;
    int rows = 30;
    std::string Big() const { return source + "/" + kBigName; }
};

// ---- Test data ----

bool WriteRandomFile(const std::string& path, int64_t size, Random& random) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    std::vector<uint64_t> buffer(size_t{1} << 17);  // 1 MiB
    bool ok = true;
    for (int64_t left = size; ok && left > 0;) {
        for (uint64_t& word : buffer) word = random.Next();
        const size_t chunk =
            static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size() * 8)));
        ok = WriteAll(fd, reinterpret_cast<const char*>(buffer.data()), chunk);
        left -= static_cast<int64_t>(chunk);
    }
    return close(fd) == 0 && ok;
}

bool MakeDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

// The 1 GiB file, the step files beside it, and the tree of small files.
bool WriteData(const Paths& paths) {
    Random random{0x9E3779B97F4A7C15ull};
    if (!MakeDirectory(paths.source) || !MakeDirectory(paths.treeSource) ||
        !MakeDirectory(paths.destination) || !WriteRandomFile(paths.Big(), kBigBytes, random)) {
        return false;
    }
    for (int i = 1; i <= kStepFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/step%02d", i);
        if (!WriteRandomFile(paths.source + name, 0, random)) return false;
    }
    const std::string tree = paths.treeSource + "/" + kTreeName;
    if (!MakeDirectory(tree)) return false;
    for (int d = 0; d < kTreeDirectories; ++d) {
        char directory[32];
        std::snprintf(directory, sizeof directory, "/dir%03d", d);
        if (!MakeDirectory(tree + directory)) return false;
        for (int f = 0; f < kTreeFilesPerDirectory; ++f) {
            char file[32];
            std::snprintf(file, sizeof file, "/file%03d.dat", f);
            const auto size = static_cast<int64_t>(1024 + random.Next() % (7 * 1024 + 1));
            if (!WriteRandomFile(tree + directory + file, size, random)) return false;
        }
    }
    return true;
}

// Reads every file under path once, so that the tree is in the page cache.
void WarmTree(const std::string& path) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ignored)) {
        if (entry.is_regular_file(ignored)) Warm(entry.path().string());
    }
}

// Regular files under path and their bytes.
void CountTree(const std::string& path, int64_t& files, int64_t& bytes) {
    files = 0;
    bytes = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ignored)) {
        if (!entry.is_regular_file(ignored)) continue;
        ++files;
        bytes += static_cast<int64_t>(entry.file_size(ignored));
    }
}

// Empties the destination and writes back what its removal left dirty, so that no run pays
// for the one before.
void ClearDestination(const Paths& paths) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(paths.destination, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
    sync();
}

// ---- Screens ----

// The text of one half of a row: side 0 the left panel, 1 the right one.
std::string HalfRow(const PtyTerminal& term, int row, int side) {
    const std::u32string text = term.Row(row);
    const size_t half = text.size() / 2;
    std::string out;
    for (char32_t code : text.substr(side == 0 ? 0 : half, half)) {
        AppendUtf8(out, static_cast<uint32_t>(code));
    }
    return out;
}

// Whether one panel (rows 1 to the row above the command line) shows `text`.
bool HalfHas(const PtyTerminal& term, int side, const std::string& text) {
    for (int row = 1; row < term.RowCount() - 1; ++row) {
        if (HalfRow(term, row, side).find(text) != std::string::npos) return true;
    }
    return false;
}

// The side whose title (row 1) is the directory, -1 when neither.
int SideOf(const PtyTerminal& term, const std::string& directory) {
    for (int side = 0; side < 2; ++side) {
        if (HalfRow(term, 1, side).find(directory) != std::string::npos) return side;
    }
    return -1;
}

// ---- CPU ----

long ClockTicks() {
    return sysconf(_SC_CLK_TCK);
}

// utime + stime of a stat file under /proc, in milliseconds; -1 when it cannot be read.
double StatCpuMs(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    char line[1024];
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    const char* fields = read ? std::strrchr(line, ')') : nullptr;
    unsigned long user = 0;
    unsigned long system = 0;
    if (fields == nullptr ||
        std::sscanf(fields + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                    &system) != 2) {
        return -1;
    }
    return static_cast<double>(user + system) * 1000.0 / static_cast<double>(ClockTicks());
}

// The first field of a schedstat file: nanoseconds on a CPU; -1 when it cannot be read.
double SchedstatMs(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    unsigned long long ns = 0;
    const bool read = std::fscanf(file, "%llu", &ns) == 1;
    std::fclose(file);
    return read ? static_cast<double>(ns) / 1e6 : -1;
}

struct CpuSample {
    int64_t at = 0;
    double mainStatMs = -1;
    double mainSchedMs = -1;
    double processStatMs = -1;
};

CpuSample SampleCpu(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string mainThread = proc + "/task/" + std::to_string(pid);
    CpuSample sample;
    sample.mainStatMs = StatCpuMs(mainThread + "/stat");
    sample.mainSchedMs = SchedstatMs(mainThread + "/schedstat");
    sample.processStatMs = StatCpuMs(proc + "/stat");
    sample.at = NowNs();
    return sample;
}

// The CPU between two samples as a share of one core, into `group` under `what`.
void AddCpu(Results& results, const std::string& group, const std::string& what, bool ok,
            const CpuSample& from, const CpuSample& to) {
    const double wallMs = Ms(to.at - from.at);
    ok = ok && wallMs > 0 && from.mainStatMs >= 0 && to.mainStatMs >= 0 &&
         from.processStatMs >= 0 && to.processStatMs >= 0;
    const auto share = [wallMs](double a, double b) { return (b - a) * 100.0 / wallMs; };
    results.Add(group, what + ": UI thread (stat)", "%", ok, share(from.mainStatMs, to.mainStatMs));
    results.Add(group, what + ": UI thread (schedstat)", "%", ok && from.mainSchedMs >= 0,
                share(from.mainSchedMs, to.mainSchedMs));
    results.Add(group, what + ": whole process (stat)", "%", ok,
                share(from.processStatMs, to.processStatMs));
    results.Add(group, what + ": wall time measured", "ms", ok, wallMs);
}

// ---- kq ----

// Stores ApiCopy = 1 in section Main of the settings kq will find under configHome.
bool StoreSystemCopySetting(const std::string& kq, const std::string& configHome) {
    setenv("KQ_CONFIG_HOME", configHome.c_str(), 1);
    bool ok = CfgInit(kq.c_str()) == 0;
    const CfgSection main = ok ? CfgOpen("Main") : 0;
    ok = main != 0 && CfgSetDw(main, "ApiCopy", 1) == 0;
    if (main != 0) CfgClose(main);
    CfgShutdown();
    unsetenv("KQ_CONFIG_HOME");
    return ok;
}

// kq started in `source` with its other panel in `destination` and the source panel active
// again; destinationSide tells where the destination panel is.
bool StartKqPair(PtyTerminal& term, const Paths& paths, const std::string& home,
                 const std::string& source, const std::string& destination, int& destinationSide) {
    if (!term.Start({paths.kq, source}, Environment(home, {}))) return false;
    if (!Expect(term, "kq's panels", [&] { return KqPrompt(term, source); })) return false;
    Step(term, "kq: panels");
    term.Send("\t");
    Step(term, "kq: Tab to the other panel");
    term.Send("cd " + destination + "\r");
    if (!Expect(term, "the other panel in the destination",
                [&] { return KqPrompt(term, destination) && SideOf(term, destination) >= 0; })) {
        return false;
    }
    Step(term, "kq: cd in the other panel");
    term.Send("\t");
    if (!Expect(term, "the source panel active again", [&] { return KqPrompt(term, source); })) {
        return false;
    }
    Step(term, "kq: Tab back");
    destinationSide = SideOf(term, destination);
    return destinationSide >= 0 && SideOf(term, source) == 1 - destinationSide;
}

// Down from ".." onto the first item, which must be `name`.
bool KqCursorToFirst(PtyTerminal& term, int side, const std::string& name) {
    term.SendKey(VTERM_KEY_DOWN);
    const bool ok =
        Expect(term, "the cursor on " + name, [&] { return KqCursorOn(term, side, name); });
    Step(term, "kq: cursor on " + name);
    return ok;
}

// F5 or F6 and its dialog, ready for Enter.
bool KqOpenDialog(PtyTerminal& term, int key, const std::string& caption) {
    term.SendFunctionKey(key);
    const bool ok = Expect(term, "kq's" + caption + "dialog",
                           [&] { return OnScreen(term, caption) && OnScreen(term, "[ OK ]"); });
    Step(term, "kq:" + caption + "dialog");
    return ok;
}

bool KqProgressShown(const PtyTerminal& term) {
    return OnScreen(term, "Copying") || OnScreen(term, "Moving");
}

// The destination panel lists `name` (with `summary` when given) and the progress is gone.
bool KqReloaded(const PtyTerminal& term, int destinationSide, const std::string& name,
                const std::string& summary) {
    return !KqProgressShown(term) && Listed(term, destinationSide, U"\u2551" + ToU32(name + " ")) &&
           (summary.empty() || HalfHas(term, destinationSide, summary));
}

const std::string kBigGroup = "F5 of one 1 GiB file, warm: Enter to both panels reloaded";
const std::string kBigSyncGroup = "F5 of one 1 GiB file, warm, then sync: Enter to sync returned";
const std::string kTreeGroup = "F5 of 10,000 files of 1-8 KiB in 100 directories, warm";
const std::string kMoveGroup = "F6 of one 1 GiB file from a tmpfs to the disk";
const std::string kCursorGroup = "Down in the panel while a 1 GiB copy runs in the background";
const std::string kBackgroundGroup =
    "F5 of one 1 GiB file sent to the background, with Down steps while it runs or no keys";
const std::string kKqDown = "kq Down, copy in the background";
const std::string kCpuGroup = "kq's CPU while copying, share of one core";

const std::string kKqOwn = "kq F5, own loop";
const std::string kKqSystem = "kq F5, system copy (ApiCopy=1)";
const std::string kCp = "cp FILE DIR/";
const std::string kKqTree = "kq F5";
const std::string kCpTree = "cp -r DIR DEST/";
const std::string kMcTree = "mc F5";
const std::string kKqMove = "kq F6";
const std::string kMv = "mv FILE DIR/";

// What one F5 or F6 in kq took: from the Enter that confirms its dialog to the last byte of the
// screen that showed the job done, and kq's CPU meanwhile.
struct KqConfirmedRun {
    bool ok = false;
    int64_t sent = 0;
    double ms = 0;
    CpuSample before;
    CpuSample after;
};

// Confirms the open dialog with Enter and waits until done holds (nothing when !ok).
template <typename Done>
KqConfirmedRun ConfirmAndWait(PtyTerminal& term, bool ok, const std::string& what, Done done) {
    KqConfirmedRun run;
    if (!ok) return run;
    run.before = SampleCpu(term.Pid());
    run.sent = NowNs();
    term.Send("\r");
    run.ok = Expect(term, what, done);
    run.after = SampleCpu(term.Pid());
    run.ms = Ms(term.LastByteNs() - run.sent);
    return run;
}

// One F5 of the 1 GiB file with the progress window shown.
void KqBigRun(const Paths& paths, bool systemCopy, Results& results) {
    const std::string program = systemCopy ? kKqSystem : kKqOwn;
    const TempConfig home;  // removed after the program has stopped
    bool ok = !systemCopy || StoreSystemCopySetting(paths.kq, home.Path() + "/.config");
    PtyTerminal term(paths.cols, paths.rows);
    int destinationSide = -1;
    ok = ok &&
         StartKqPair(term, paths, home.Path(), paths.source, paths.destination, destinationSide);
    ok = ok && KqCursorToFirst(term, 1 - destinationSide, kBigName);
    ok = ok && KqOpenDialog(term, 5, " Copy ");
    const KqConfirmedRun run = ConfirmAndWait(term, ok, "kq's copy of the 1 GiB file", [&] {
        return KqReloaded(term, destinationSide, kBigName, kBigSummary);
    });
    sync();
    const double syncMs = Ms(NowNs() - run.sent);
    Step(term, "kq: copied");
    ok = run.ok && FileSize(paths.destination + "/" + kBigName) == kBigBytes;
    results.Add(kBigGroup, program, "ms", ok, run.ms);
    results.Add(kBigSyncGroup, program + " + sync", "ms", ok, syncMs);
    AddCpu(results, kCpuGroup,
           (systemCopy ? "1 GiB system copy, window shown" : "1 GiB own loop, window shown"), ok,
           run.before, run.after);
    term.Stop();
    ClearDestination(paths);
}

// One F5 of the tree with the progress window shown.
void KqTreeRun(const Paths& paths, Results& results) {
    const TempConfig home;
    PtyTerminal term(paths.cols, paths.rows);
    int destinationSide = -1;
    bool ok =
        StartKqPair(term, paths, home.Path(), paths.treeSource, paths.destination, destinationSide);
    ok = ok && KqCursorToFirst(term, 1 - destinationSide, kTreeName);
    ok = ok && KqOpenDialog(term, 5, " Copy ");
    const KqConfirmedRun run = ConfirmAndWait(term, ok, "kq's copy of the tree", [&] {
        return KqReloaded(term, destinationSide, kTreeName, "");
    });
    Step(term, "kq: tree copied");
    int64_t files = 0;
    int64_t bytes = 0;
    CountTree(paths.destination + "/" + kTreeName, files, bytes);
    ok = run.ok && files == kTreeDirectories * kTreeFilesPerDirectory;
    results.Add(kTreeGroup, kKqTree, "ms", ok, run.ms);
    AddCpu(results, kCpuGroup, "tree, window shown", ok, run.before, run.after);
    term.Stop();
    ClearDestination(paths);
}

// One F6 of the 1 GiB file from the tmpfs to the disk.
void KqMoveRun(const Paths& paths, Results& results) {
    const TempConfig home;
    PtyTerminal term(paths.cols, paths.rows);
    int destinationSide = -1;
    bool ok = StartKqPair(term, paths, home.Path(), paths.ram, paths.destination, destinationSide);
    ok = ok && KqCursorToFirst(term, 1 - destinationSide, kBigName);
    ok = ok && KqOpenDialog(term, 6, " Move ");
    const KqConfirmedRun run = ConfirmAndWait(term, ok, "kq's move of the 1 GiB file", [&] {
        return KqReloaded(term, destinationSide, kBigName, kBigSummary) &&
               !Listed(term, 1 - destinationSide, U"\u2551" + ToU32(kBigName + " "));
    });
    Step(term, "kq: moved");
    ok = run.ok && FileSize(paths.destination + "/" + kBigName) == kBigBytes &&
         FileSize(paths.ram + "/" + kBigName) < 0;
    results.Add(kMoveGroup, kKqMove, "ms", ok, run.ms);
    term.Stop();
    ClearDestination(paths);
}

// F5 of the 1 GiB file sent to the background, then Down steps until the copy is in place
// (withSteps), or no key at all; then the wait for the panels' reload.
void KqCursorRun(const Paths& paths, bool withSteps, Results& results) {
    const std::string variant = withSteps ? "Down steps" : "no keys";
    const TempConfig home;
    PtyTerminal term(paths.cols, paths.rows);
    int destinationSide = -1;
    bool ok =
        StartKqPair(term, paths, home.Path(), paths.source, paths.destination, destinationSide);
    const int sourceSide = 1 - destinationSide;
    ok = ok && KqCursorToFirst(term, sourceSide, kBigName);
    ok = ok && KqOpenDialog(term, 5, " Copy ");
    const auto copied = [&] { return KqReloaded(term, destinationSide, kBigName, kBigSummary); };
    const std::string target = paths.destination + "/" + kBigName;
    CpuSample before;
    CpuSample after;
    int steps = 0;
    int64_t start = 0;
    if (ok) {
        start = NowNs();
        term.Send("\r");
        ok = Expect(term, "kq's progress window", [&] { return KqProgressShown(term); });
    }
    if (ok) {
        // Enter on the Background button, which has the focus.
        term.Send("\r");
        ok = Expect(term, "the progress window hidden", [&] { return !KqProgressShown(term); });
        before = SampleCpu(term.Pid());
    }
    // Steps while the copy grows; once it has its full size the panels are left alone, so
    // that no key wakes the reload.
    int64_t complete = 0;
    for (int next = 1; ok && withSteps && next <= kStepFiles && complete == 0; ++next) {
        char name[16];
        std::snprintf(name, sizeof name, "step%02d", next);
        term.WaitQuiet(kStepPauseMs, kStepPauseMs);
        if (FileSize(target) == kBigBytes) {
            complete = NowNs();
            break;
        }
        const int64_t sent = NowNs();
        term.SendKey(VTERM_KEY_DOWN);
        const bool moved = Expect(term, std::string("the cursor on ") + name,
                                  [&] { return KqCursorOn(term, sourceSide, name); });
        const double ms = Ms(term.LastByteNs() - sent);
        if (!moved) {
            results.Add(kCursorGroup, kKqDown, "ms", false, 0);
            ok = false;
        } else if (FileSize(target) < kBigBytes) {
            results.Add(kCursorGroup, kKqDown, "ms", true, ms);
            ++steps;
        } else {
            complete = NowNs();
        }
    }
    // The copy under its own name (kq writes it under another one and renames it at the end),
    // then the reload, watched every few milliseconds.
    const int64_t deadline = NowNs() + stepTimeoutMs * 1000000;
    while (ok && !copied() && NowNs() < deadline) {
        if (term.ReadOnce(2) < 0) break;
        if (complete == 0 && FileSize(target) == kBigBytes) complete = NowNs();
    }
    if (ok) {
        ok = Expect(term, "the end of the background copy", copied);
        after = SampleCpu(term.Pid());
    }
    if (complete == 0) complete = term.LastByteNs();
    results.Add(kBackgroundGroup, variant + ": Enter to the copy under its name", "ms", ok,
                Ms(complete - start));
    results.Add(kBackgroundGroup, variant + ": Enter to both panels reloaded", "ms", ok,
                Ms(term.LastByteNs() - start));
    results.Add(kBackgroundGroup, variant + ": copy under its name to reloaded", "ms", ok,
                Ms(term.LastByteNs() - complete));
    Step(term, "kq: background copy done");
    ok = ok && FileSize(paths.destination + "/" + kBigName) == kBigBytes;
    if (withSteps) results.Add(kCursorGroup, "steps counted in one copy", "", ok, steps);
    AddCpu(results, kCpuGroup, "1 GiB in the background, " + variant, ok, before, after);
    term.Stop();
    ClearDestination(paths);
}

// ---- mc ----

// mc's panels in its own settings folders, without its subshell.
void McTreeRun(const Paths& paths, Results& results) {
    const TempConfig home;
    PtyTerminal term(paths.cols, paths.rows);
    bool ok = term.Start({paths.mc, "-u", paths.treeSource, paths.destination},
                         Environment(home.Path(), {}));
    ok = ok && Expect(term, "mc's panels", [&] {
             return SideOf(term, paths.treeSource) == 0 && SideOf(term, paths.destination) == 1 &&
                    OnScreen(term, "10Quit");
         });
    Step(term, "mc: panels");
    if (ok) {
        term.SendKey(VTERM_KEY_DOWN);
        Step(term, "mc: Down");
        term.SendFunctionKey(5);
        ok = Expect(term, "mc's Copy dialog",
                    [&] { return OnScreen(term, " Copy ") && OnScreen(term, "[< OK >]"); });
        Step(term, "mc: Copy dialog");
    }
    int64_t sent = 0;
    if (ok) {
        sent = NowNs();
        term.Send("\r");
        ok = Expect(term, "mc's copy of the tree", [&] {
            return !OnScreen(term, " Copy ") &&
                   Listed(term, 1, U"\u2502/" + ToU32(kTreeName + " "));
        });
    }
    const double ms = Ms(term.LastByteNs() - sent);
    Step(term, "mc: tree copied");
    int64_t files = 0;
    int64_t bytes = 0;
    CountTree(paths.destination + "/" + kTreeName, files, bytes);
    ok = ok && files == kTreeDirectories * kTreeFilesPerDirectory;
    results.Add(kTreeGroup, kMcTree, "ms", ok, ms);
    term.Stop();
    ClearDestination(paths);
}

// ---- cp and mv ----

void CpBigRun(const Paths& paths, Results& results) {
    double ms = 0;
    bool ok = RunTimed({"cp", paths.Big(), paths.destination + "/"}, ms);
    const int64_t syncStart = NowNs();
    sync();
    const double syncMs = ms + Ms(NowNs() - syncStart);
    ok = ok && FileSize(paths.destination + "/" + kBigName) == kBigBytes;
    results.Add(kBigGroup, kCp, "ms", ok, ms);
    results.Add(kBigSyncGroup, kCp + " + sync", "ms", ok, syncMs);
    ClearDestination(paths);
}

void CpTreeRun(const Paths& paths, Results& results) {
    double ms = 0;
    bool ok =
        RunTimed({"cp", "-r", paths.treeSource + "/" + kTreeName, paths.destination + "/"}, ms);
    int64_t files = 0;
    int64_t bytes = 0;
    CountTree(paths.destination + "/" + kTreeName, files, bytes);
    ok = ok && files == kTreeDirectories * kTreeFilesPerDirectory;
    results.Add(kTreeGroup, kCpTree, "ms", ok, ms);
    ClearDestination(paths);
}

void MvRun(const Paths& paths, Results& results) {
    double ms = 0;
    bool ok = RunTimed({"mv", paths.ram + "/" + kBigName, paths.destination + "/"}, ms);
    ok = ok && FileSize(paths.destination + "/" + kBigName) == kBigBytes;
    results.Add(kMoveGroup, kMv, "ms", ok, ms);
    ClearDestination(paths);
}

// Puts the 1 GiB file into the tmpfs for the next move.
bool FillRam(const Paths& paths) {
    double ms = 0;
    return RunTimed({"cp", paths.Big(), paths.ram + "/"}, ms) &&
           FileSize(paths.ram + "/" + kBigName) == kBigBytes;
}

// ---- The goals, judged by the medians ----

void PrintGoals(const Results& results, bool moveMeasured) {
    std::printf("Goals (medians)\n");
    const auto judge = [](bool known, bool met) {
        return !known ? "not measured" : met ? "met" : "NOT met";
    };
    double cp = 0;
    double own = 0;
    double system = 0;
    const bool cpKnown = results.MedianOf(kBigGroup, kCp, cp);
    bool known = cpKnown && results.MedianOf(kBigGroup, kKqOwn, own);
    const double ownShare = own > 0 ? cp * 100 / own : 0;
    std::printf("    1 GiB, own loop >= 90 %% of cp's speed:     %.0f %% (%s vs %s) -> %s\n",
                ownShare, results.Value(own, "ms").c_str(), results.Value(cp, "ms").c_str(),
                judge(known, ownShare >= 90));
    known = cpKnown && results.MedianOf(kBigGroup, kKqSystem, system);
    const double systemShare = system > 0 ? cp * 100 / system : 0;
    std::printf("    1 GiB, system copy >= 95 %% of cp's speed:  %.0f %% (%s vs %s) -> %s\n",
                systemShare, results.Value(system, "ms").c_str(), results.Value(cp, "ms").c_str(),
                judge(known, systemShare >= 95));
    double cpSync = 0;
    double ownSync = 0;
    double systemSync = 0;
    if (results.MedianOf(kBigSyncGroup, kCp + " + sync", cpSync) &&
        results.MedianOf(kBigSyncGroup, kKqOwn + " + sync", ownSync) &&
        results.MedianOf(kBigSyncGroup, kKqSystem + " + sync", systemSync)) {
        std::printf("    1 GiB with sync: own loop %.0f %%, system copy %.0f %% of cp's speed\n",
                    cpSync * 100 / ownSync, cpSync * 100 / systemSync);
    }

    double kqTree = 0;
    double cpTree = 0;
    double mcTree = 0;
    known = results.MedianOf(kTreeGroup, kKqTree, kqTree) &&
            results.MedianOf(kTreeGroup, kCpTree, cpTree);
    const double treeShare = kqTree > 0 ? cpTree * 100 / kqTree : 0;
    std::printf("    tree, >= 80 %% of cp -r's speed:            %.0f %% (%s vs %s) -> %s\n",
                treeShare, results.Value(kqTree, "ms").c_str(), results.Value(cpTree, "ms").c_str(),
                judge(known, treeShare >= 80));
    known = known && results.MedianOf(kTreeGroup, kMcTree, mcTree);
    std::printf("    tree, kq ahead of mc:                      %s vs %s -> %s\n",
                results.Value(kqTree, "ms").c_str(), results.Value(mcTree, "ms").c_str(),
                judge(known, kqTree < mcTree));

    double kqMove = 0;
    double mv = 0;
    known = moveMeasured && results.MedianOf(kMoveGroup, kKqMove, kqMove) &&
            results.MedianOf(kMoveGroup, kMv, mv);
    std::printf(
        "    move across file systems, kq vs mv:        %s vs %s -> %.0f %% of mv's speed%s\n",
        results.Value(kqMove, "ms").c_str(), results.Value(mv, "ms").c_str(),
        kqMove > 0 ? mv * 100 / kqMove : 0.0, known ? "" : " (not measured)");

    double step = 0;
    known = results.MedianOf(kCursorGroup, kKqDown, step);
    std::printf("    Down during a background copy < 20 ms:     %s -> %s\n",
                results.Value(step, "ms").c_str(), judge(known, step < 20));
    double ui = 0;
    known = results.MedianOf(kCpuGroup,
                             "1 GiB in the background, Down steps: UI thread (schedstat)", ui);
    double uiShown = 0;
    const bool shownKnown =
        results.MedianOf(kCpuGroup, "1 GiB own loop, window shown: UI thread (schedstat)", uiShown);
    double uiTree = 0;
    const bool treeKnown =
        results.MedianOf(kCpuGroup, "tree, window shown: UI thread (schedstat)", uiTree);
    std::printf(
        "    UI thread well under 5 %% of a core:        background %.1f %%, 1 GiB shown "
        "%.1f %%, tree shown %.1f %% -> %s\n",
        ui, uiShown, uiTree,
        judge(known && shownKnown && treeKnown, ui < 5 && uiShown < 5 && uiTree < 5));
}

}  // namespace

int main(int argc, char** argv) {
    Size size{120, 30};
    int runs = 5;
    std::string kq;
    std::string mc = "mc";
    std::string ram;
    std::string only;
    stepTimeoutMs = 120000;
    reportProcessOnGiveUp = true;
    const auto own = [&](const std::string& arg, bool hasValue, int& i) {
        Size given{};
        if (SizeOption("--size", arg, hasValue, argv, i, 112, given)) {
            size = given;
        } else if (arg == "--mc" && hasValue) {
            mc = argv[++i];
        } else if (arg == "--ram" && hasValue) {
            ram = argv[++i];
        } else if (arg == "--only" && hasValue) {
            only = argv[++i];
        } else {
            return false;
        }
        return true;
    };
    if (!ReadCommandLine(argc, argv, "copy_compare_bench",
                         "[--runs N] [--size COLSxROWS] [--timeout SECONDS] [--mc PROGRAM] "
                         "[--ram DIR] [--only big|tree|move|cursor] [--dump] KQ_BINARY",
                         true, runs, kq, own)) {
        return 2;
    }
    if (dumpScreens) runs = 1;

    Paths paths;
    paths.kq = kq;
    paths.mc = mc;
    paths.ram = ram;
    paths.cols = size.cols;
    paths.rows = size.rows;
    if (!MakeTempDir("/tmp/kq-copy-bench-XXXXXX", paths.root)) return 1;
    paths.source = paths.root + "/src";
    paths.treeSource = paths.root + "/trees";
    paths.destination = paths.root + "/dst";

    const int64_t writeStart = NowNs();
    const bool written = WriteData(paths);
    std::printf(
        "data: a 1 GiB file and %d empty ones, %d files of 1-8 KiB in %d directories, in "
        "%s, written in %.1f s\n",
        kStepFiles, kTreeDirectories * kTreeFilesPerDirectory, kTreeDirectories, paths.root.c_str(),
        Ms(NowNs() - writeStart) / 1000);
    int64_t treeFiles = 0;
    int64_t treeBytes = 0;
    CountTree(paths.treeSource, treeFiles, treeBytes);
    std::printf("tree: %lld files, %lld bytes; move: %s\n", static_cast<long long>(treeFiles),
                static_cast<long long>(treeBytes),
                ram.empty() ? "not measured (no --ram)" : ("from " + ram).c_str());
    std::fflush(stdout);

    Results results(56, 1);
    if (written) {
        sync();
        Warm(paths.Big());
        WarmTree(paths.treeSource);
        const auto chosen = [&only](const char* group) { return only.empty() || only == group; };
        for (int i = 0; chosen("big") && i < runs; ++i) {
            KqBigRun(paths, false, results);
            KqBigRun(paths, true, results);
            CpBigRun(paths, results);
        }
        for (int i = 0; chosen("tree") && i < runs; ++i) {
            KqTreeRun(paths, results);
            CpTreeRun(paths, results);
            McTreeRun(paths, results);
        }
        for (int i = 0; chosen("move") && !ram.empty() && i < runs; ++i) {
            if (FillRam(paths)) KqMoveRun(paths, results);
            if (FillRam(paths)) MvRun(paths, results);
        }
        for (int i = 0; chosen("cursor") && i < runs; ++i) {
            KqCursorRun(paths, true, results);
            KqCursorRun(paths, false, results);
        }
    }
    if (!ram.empty()) {
        std::error_code ignored;
        std::filesystem::remove(ram + "/" + kBigName, ignored);
    }
    RemoveTempDir(paths.root);
    if (!written) {
        std::fprintf(stderr, "copy_compare_bench: could not write the data in %s\n",
                     paths.root.c_str());
        return 1;
    }
    std::printf("%d runs of each program per figure, alternating, %dx%d; the data was removed\n",
                runs, paths.cols, paths.rows);
    const bool ok = results.Print();
    PrintGoals(results, !ram.empty());
    return ok ? 0 : 1;
}
