// kq's F8 on a tree next to `rm -rf` and to mc's F8, the three programs alternating in each
// round. The tree holds 100,000 empty files in 100 directories of 1,000 files, alone in its
// parent directory. It is written anew before every run of every program and followed by a
// `sync`, so that each program starts with the tree in the page cache and nothing of its
// creation left to write back; the page cache is not dropped. The files are empty by default
// because a file with data has a block on the disk once synced, and on a file system mounted
// with `discard` each such block freed costs a discard the deleting program waits for (about
// 3 ms each on a virtual disk), which would measure the disk instead of the programs;
// --max-bytes gives the files 0 to N bytes to see that cost.
//   kq:     started in the parent directory with fresh settings folders (HOME, XDG_*,
//           KQ_CONFIG_HOME, so the confirmations keep their defaults), Down onto the tree, F8,
//           then timed from the Enter that confirms the " Delete " dialog until the active
//           panel no longer lists the tree, no dialog or progress window is left and stat on
//           the tree fails. The question about a non-empty directory is answered with 'a'
//           (All) when it comes, inside the timed span; whether it came is counted.
//   rm:     `rm -rf TREE`, from fork to exit.
//   mc:     started in the parent directory (the other panel in the folder above it) with its
//           own fresh settings folders and without its subshell, Down onto the tree, F8, timed
//           from the Enter that confirms its dialog; its question whether to delete the
//           non-empty directory recursively is answered with its "All" button, until its
//           panel no longer lists the tree and stat on the tree fails.
// Besides the times, the CPU (user + system) kq and mc spent in the timed span.
//
//   delete_compare_bench [--runs N] [--files N] [--dirs N] [--max-bytes N] [--timeout SECONDS]
//                        [--mc PROGRAM] [--dump] KQ_BINARY
//     --runs       rounds, each one run of every program (default 5)
//     --files      files in the whole tree (default 100,000), spread evenly over the directories
//     --dirs       directories in the tree (default 100)
//     --max-bytes  each file gets 0 to N bytes, the sizes drawn at random (default 0: empty)
//     --timeout    the longest wait for one step, such as one whole delete (default 300)
//     --mc         the other file manager (default mc)
//     --dump       print each program's screen once at every step (one round only)
//
// bench/delete_compare.sh runs this program.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CompareSupport.h"

namespace {

using namespace comparebench;

const std::string kTreeName = "tree";
// How long the timed wait sleeps at most between two looks at the screen and the disk.
constexpr int kPollMs = 2;

struct Paths {
    std::string kq;
    std::string mc;
    std::string root;    // holds only `parent`
    std::string parent;  // holds only the tree
    int files = 100000;
    int dirs = 100;
    int maxBytes = 0;
    int cols = 120;
    int rows = 30;
    std::string Tree() const { return parent + "/" + kTreeName; }
};

// ---- The tree ----

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Writes the tree (removing what a failed run may have left of it) and syncs.
bool MakeTree(const Paths& paths) {
    std::error_code ignored;
    std::filesystem::remove_all(paths.Tree(), ignored);
    if (mkdir(paths.Tree().c_str(), 0755) != 0) return false;
    Random random{0x9E3779B97F4A7C15ull};
    const std::string filler(static_cast<size_t>(paths.maxBytes), 'x');
    for (int d = 0; d < paths.dirs; ++d) {
        char directory[32];
        std::snprintf(directory, sizeof directory, "/dir%03d", d);
        const std::string dirPath = paths.Tree() + directory;
        if (mkdir(dirPath.c_str(), 0755) != 0) return false;
        const int count = paths.files / paths.dirs + (d < paths.files % paths.dirs ? 1 : 0);
        for (int f = 0; f < count; ++f) {
            char file[32];
            std::snprintf(file, sizeof file, "/file%04d.dat", f);
            const int fd = open((dirPath + file).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) return false;
            const size_t size = random.Next() % (static_cast<uint64_t>(paths.maxBytes) + 1);
            const bool written = WriteAll(fd, filler.data(), size);
            if (close(fd) != 0 || !written) return false;
        }
    }
    sync();
    return true;
}

// Regular files under the tree.
int64_t CountFiles(const std::string& path) {
    int64_t files = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ignored)) {
        if (entry.is_regular_file(ignored)) ++files;
    }
    return files;
}

// ---- Screens ----

// ---- The timed wait ----

// What one delete in a file manager took: from the confirming key to the later of the last
// byte of the screen that showed it done and the first failed stat on the tree.
struct TimedDelete {
    bool ok = false;
    double ms = 0;
    double cpuMs = 0;
};

// Sends the Enter that confirms the open dialog, then reads the screen and looks at the disk
// every few milliseconds until the tree is gone and screenDone() holds. answer() sees every new
// screen first and may send keys to the questions on it, so the span includes the moment the
// benchmark takes to notice a question, as a user's key press would.
template <typename Answer, typename ScreenDone>
TimedDelete ConfirmAndWaitGone(PtyTerminal& term, const Paths& paths, const std::string& what,
                               Answer answer, ScreenDone screenDone) {
    TimedDelete run;
    const double cpuBefore = term.CpuMs();
    const int64_t sent = NowNs();
    term.Send("\r");
    const int64_t deadline = sent + stepTimeoutMs * 1000000;
    int64_t goneNs = 0;
    int64_t shownNs = 0;
    while (NowNs() < deadline) {
        const long got = term.ReadOnce(kPollMs);
        if (got < 0) break;
        if (goneNs == 0 && !Exists(paths.Tree())) goneNs = NowNs();
        if (got > 0) {
            answer();
            shownNs = screenDone() ? term.LastByteNs() : 0;
        }
        if (goneNs != 0 && shownNs != 0) {
            run.ok = true;
            break;
        }
    }
    const double cpuAfter = term.CpuMs();
    if (!run.ok) {
        Dump(term,
             "gave up waiting for " + what + (goneNs == 0 ? " (the tree is still there)" : ""));
        return run;
    }
    run.ms = Ms(std::max(goneNs, shownNs) - sent);
    run.cpuMs = cpuBefore >= 0 && cpuAfter >= 0 ? cpuAfter - cpuBefore : -1;
    return run;
}

const std::string kTimeGroupPrefix = "F8 / rm -rf: confirming key to the tree gone, ";
const std::string kCpuGroup = "CPU (user + system) in the timed span";
const std::string kKq = "kq F8, dialogs shown";
const std::string kRm = "rm -rf TREE";
const std::string kMc = "mc F8";

// ---- kq ----

bool KqProgressShown(const PtyTerminal& term) {
    return OnScreen(term, " Deleting ");
}

bool KqQuestionShown(const PtyTerminal& term) {
    return OnScreen(term, "This directory is not empty");
}

void KqRun(const Paths& paths, const std::string& timeGroup, Results& results,
           int& questionsShown) {
    const TempConfig home;  // removed after the program has stopped
    PtyTerminal term(paths.cols, paths.rows);
    bool ok = term.Start({paths.kq, paths.parent}, Environment(home.Path(), {}));
    int side = -1;
    ok = ok && Expect(term, "kq's panels", [&] { return KqPrompt(term, paths.parent); });
    Step(term, "kq: panels");
    if (ok) {
        term.SendKey(VTERM_KEY_DOWN);
        ok = Expect(term, "kq's cursor on the tree", [&] {
            for (int s = 0; s < 2; ++s) {
                if (KqCursorOn(term, s, kTreeName)) side = s;
            }
            return side >= 0;
        });
        Step(term, "kq: cursor on the tree");
    }
    if (ok) {
        term.SendFunctionKey(8);
        ok = Expect(term, "kq's Delete dialog", [&] {
            return OnScreen(term, " Delete ") && OnScreen(term, "Do you want to delete");
        });
        Step(term, "kq: Delete dialog");
    }
    bool asked = false;
    TimedDelete run;
    if (ok) {
        const std::u32string entry = U"\u2551" + ToU32(kTreeName + " ");
        run = ConfirmAndWaitGone(
            term, paths, "kq's delete of the tree",
            [&] {
                if (!asked && KqQuestionShown(term)) {
                    asked = true;
                    if (dumpScreens) Dump(term, "kq: the question about the non-empty directory");
                    term.Send("a");
                }
            },
            [&] {
                return !OnScreen(term, " Delete ") && !KqProgressShown(term) &&
                       !KqQuestionShown(term) && KqPrompt(term, paths.parent) &&
                       Listed(term, side, U"\u2551..") && !Listed(term, side, entry);
            });
    }
    Step(term, "kq: tree deleted");
    if (asked) ++questionsShown;
    ok = run.ok && !Exists(paths.Tree());
    results.Add(timeGroup, kKq, "ms", ok, run.ms);
    results.Add(kCpuGroup, kKq, "ms", ok && run.cpuMs >= 0, run.cpuMs);
    term.Stop();
}

// ---- rm ----

void RmRun(const Paths& paths, const std::string& timeGroup, Results& results) {
    double ms = 0;
    const bool ok = RunTimed({"rm", "-rf", paths.Tree()}, ms) && !Exists(paths.Tree());
    results.Add(timeGroup, kRm, "ms", ok, ms);
}

// ---- mc ----

// mc's dialogs: the title of its delete confirmation and of its progress window, and the
// question about a non-empty directory.
bool McDeleteDialogShown(const PtyTerminal& term) {
    return OnScreen(term, " Delete ");
}

bool McQuestionShown(const PtyTerminal& term) {
    return OnScreen(term, "not empty") || OnScreen(term, "recursively");
}

void McRun(const Paths& paths, const std::string& timeGroup, Results& results) {
    const TempConfig home;
    PtyTerminal term(paths.cols, paths.rows);
    const std::u32string entry = U"\u2502/" + ToU32(kTreeName + " ");
    bool ok = term.Start({paths.mc, "-u", paths.parent, paths.root}, Environment(home.Path(), {}));
    ok = ok && Expect(term, "mc's panels",
                      [&] { return OnScreen(term, "10Quit") && Listed(term, 0, entry); });
    Step(term, "mc: panels");
    if (ok) {
        term.SendKey(VTERM_KEY_DOWN);
        Step(term, "mc: Down onto the tree");
        term.SendFunctionKey(8);
        ok = Expect(term, "mc's Delete dialog", [&] { return McDeleteDialogShown(term); });
        Step(term, "mc: Delete dialog");
    }
    TimedDelete run;
    bool asked = false;
    if (ok) {
        run = ConfirmAndWaitGone(
            term, paths, "mc's delete of the tree",
            [&] {
                if (!asked && McQuestionShown(term)) {
                    asked = true;
                    if (dumpScreens) Dump(term, "mc: the question about the non-empty directory");
                    term.Send("l");  // the hot key of its "All" button ("a" is Abort)
                }
            },
            [&] {
                return !McDeleteDialogShown(term) && !McQuestionShown(term) &&
                       Listed(term, 0, U"\u2502/..") && !Listed(term, 0, entry);
            });
    }
    Step(term, "mc: tree deleted");
    ok = run.ok && !Exists(paths.Tree());
    results.Add(timeGroup, kMc, "ms", ok, run.ms);
    results.Add(kCpuGroup, kMc, "ms", ok && run.cpuMs >= 0, run.cpuMs);
    term.Stop();
}

// ---- The comparison, judged by the medians ----

void PrintComparison(const Results& results, const std::string& timeGroup, int questionsShown,
                     int runs) {
    std::printf("Comparison (medians)\n");
    double kq = 0;
    double rm = 0;
    double mc = 0;
    const bool kqKnown = results.MedianOf(timeGroup, kKq, kq);
    const bool rmKnown = results.MedianOf(timeGroup, kRm, rm);
    const bool mcKnown = results.MedianOf(timeGroup, kMc, mc);
    if (kqKnown && rmKnown && kq > 0) {
        const double share = rm * 100 / kq;
        std::printf("    kq F8 at >= 80 %% of rm -rf's speed:  %.0f %% (%s vs %s) -> %s\n", share,
                    results.Value(kq, "ms").c_str(), results.Value(rm, "ms").c_str(),
                    share >= 80 ? "met" : "NOT met");
    } else {
        std::printf("    kq F8 at >= 80 %% of rm -rf's speed:  not measured\n");
    }
    if (kqKnown && mcKnown && kq > 0) {
        std::printf(
            "    kq F8 next to mc F8:                 %s vs %s, kq at %.0f %% of mc's speed "
            "(%s)\n",
            results.Value(kq, "ms").c_str(), results.Value(mc, "ms").c_str(), mc * 100 / kq,
            kq < mc ? "kq ahead" : "mc ahead");
    } else {
        std::printf("    kq F8 next to mc F8:                 not measured\n");
    }
    std::printf("    kq asked about the non-empty directory in %d of %d runs\n", questionsShown,
                runs);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string kq;
    Paths paths;
    paths.mc = "mc";
    stepTimeoutMs = 300000;
    reportProcessOnGiveUp = true;
    const auto own = [&](const std::string& arg, bool hasValue, int& i) {
        if (arg == "--files" && hasValue) {
            paths.files = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--dirs" && hasValue) {
            paths.dirs = std::clamp(std::atoi(argv[++i]), 1, 1000);
        } else if (arg == "--max-bytes" && hasValue) {
            paths.maxBytes = std::clamp(std::atoi(argv[++i]), 0, 1 << 20);
        } else if (arg == "--mc" && hasValue) {
            paths.mc = argv[++i];
        } else {
            return false;
        }
        return true;
    };
    if (!ReadCommandLine(argc, argv, "delete_compare_bench",
                         "[--runs N] [--files N] [--dirs N] [--max-bytes N] [--timeout SECONDS] "
                         "[--mc PROGRAM] [--dump] KQ_BINARY",
                         true, runs, kq, own)) {
        return 2;
    }
    if (dumpScreens) runs = 1;
    paths.kq = kq;
    if (!MakeTempDir("/tmp/kq-delete-bench-XXXXXX", paths.root)) return 1;
    paths.parent = paths.root + "/parent";
    if (mkdir(paths.parent.c_str(), 0755) != 0) {
        std::perror(paths.parent.c_str());
        RemoveTempDir(paths.root);
        return 1;
    }

    const int64_t writeStart = NowNs();
    bool written = MakeTree(paths);
    const int64_t files = written ? CountFiles(paths.Tree()) : 0;
    written = written && files == paths.files;
    std::printf(
        "tree: %lld files of 0-%d bytes in %d directories, in %s, written and synced in "
        "%.1f s; written anew and synced before every run\n",
        static_cast<long long>(files), paths.maxBytes, paths.dirs, paths.parent.c_str(),
        Ms(NowNs() - writeStart) / 1000);
    std::fflush(stdout);

    char group[128];
    std::snprintf(group, sizeof group, "%s%d files in %d directories", kTimeGroupPrefix.c_str(),
                  paths.files, paths.dirs);
    const std::string timeGroup = group;
    Results results(24, 1);
    int questionsShown = 0;
    for (int i = 0; written && i < runs; ++i) {
        // The first round deletes the tree written above.
        written = i == 0 || MakeTree(paths);
        if (written) KqRun(paths, timeGroup, results, questionsShown);
        written = written && MakeTree(paths);
        if (written) RmRun(paths, timeGroup, results);
        written = written && MakeTree(paths);
        if (written) McRun(paths, timeGroup, results);
        std::fprintf(stderr, "round %d of %d done\n", i + 1, runs);
    }
    RemoveTempDir(paths.root);
    if (!written) {
        std::fprintf(stderr, "delete_compare_bench: could not write the tree in %s\n",
                     paths.parent.c_str());
        return 1;
    }
    std::printf("%d rounds of kq, rm and mc in turn, %dx%d; the data was removed\n", runs,
                paths.cols, paths.rows);
    const bool ok = results.Print();
    PrintComparison(results, timeGroup, questionsShown, runs);
    return ok ? 0 : 1;
}
