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
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CompareSupport.h"

namespace {

using namespace comparebench;

constexpr int64_t kLines = 2000000;
constexpr uint64_t kFileBytes = uint64_t{100} << 20;
// The memory the editor may add for the file: 1.5 times its size plus 40 bytes a line.
constexpr double kMemoryGoalBytes = 1.5 * static_cast<double>(kFileBytes) + 40.0 * kLines;

// The character typed at the end of the text; it appears nowhere else on either screen.
constexpr char kTyped = '@';
// The start of the first line: how a program shows that the file is open.
const std::string kFirstLine = "0000001 The quick brown fox";
const std::string kMarker = "LAST-LINE-MARKER";

size_t CountOnScreen(const PtyTerminal& term, char32_t code) {
    size_t count = 0;
    for (int row = 0; row < term.RowCount(); ++row) count += Count(term.Row(row), code);
    return count;
}

// ---- The test file ----

// kLines lines of ordinary text that add up to exactly kFileBytes: line i (from 0) takes the
// bytes from i * size / lines to (i + 1) * size / lines, newline included, so lengths are 52
// or 53. Each line is its number (from 1) and a run of pangrams starting at a different place;
// the last one holds the marker.
bool WriteTextFile(const std::string& path) {
    const std::string& text = kPangrams;
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

// ---- Programs ----

// The settings folders of one program inside one temporary folder; vim reads no init files.
std::vector<std::string> Environment(const std::string& home) {
    return comparebench::Environment(home, {"VIMINIT=", "EXINIT="});
}

// kq started in setup.dir with its panels complete and quiet.
bool StartKq(PtyTerminal& term, const Setup& setup, const TempConfig& home) {
    return comparebench::StartKq(term, setup, Environment(home.Path()));
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

// One typed character: the terminal output is counted from the key until the answer pauses (as
// QuietAfterBlink describes), and timed from the key until shown() holds.
template <typename Shown>
bool TypeOne(PtyTerminal& term, const std::string& what, Shown shown, double& ms, long& bytes) {
    QuietAfterBlink(term);
    const int64_t sent = NowNs();
    term.Send(std::string(1, kTyped));
    const bool ok = Expect(term, what, shown);
    ms = Ms(term.LastByteNs() - sent);
    term.WaitQuiet(kAnswerPauseMs, stepTimeoutMs);
    bytes = static_cast<long>(term.Bytes());
    return ok;
}

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
                results.Value(kqOpen, "ms").c_str(), results.Value(vimOpen, "ms").c_str(),
                judge(known, kqOpen < vimOpen));

    double added = 0;
    known = results.MedianOf(kMemoryGroup, "kq added by the editor", added);
    const double limit = kMemoryGoalBytes / (1024.0 * 1024.0);
    std::printf("    memory added <= 1.5 x size + 40 B/line: %s vs %s (%.0f bytes) -> %s\n",
                results.Value(added, "MiB").c_str(), results.Value(limit, "MiB").c_str(),
                kMemoryGoalBytes, judge(known, added <= limit));

    double typeMs = 0;
    double typeBytes = 0;
    known = results.MedianOf(kTypeTimeGroup, "kq", typeMs) &&
            results.MedianOf(kTypeBytesGroup, "kq", typeBytes);
    std::printf("    typing < 100 bytes and < 5 ms:   %s, %s -> %s\n",
                results.Value(typeBytes, "B").c_str(), results.Value(typeMs, "ms").c_str(),
                judge(known, typeBytes < 100 && typeMs < 5));

    double kqSave = 0;
    double cpSave = 0;
    known = results.MedianOf(kSaveGroup, "kq: F2 to saved", kqSave) &&
            results.MedianOf(kSaveGroup, "cp FILE COPY && sync", cpSave);
    std::printf("    save within 1.5 x cp && sync:    %s vs %s (ratio %.2f) -> %s\n",
                results.Value(kqSave, "ms").c_str(), results.Value(cpSave, "ms").c_str(),
                cpSave > 0 ? kqSave / cpSave : 0.0, judge(known, kqSave <= 1.5 * cpSave));
}

}  // namespace

int main(int argc, char** argv) {
    Size size{80, 25};
    int runs = 5;
    std::string kq;
    reportProcessOnGiveUp = true;
    const auto own = [&](const std::string& arg, bool hasValue, int& i) {
        Size given{};
        if (SizeOption("--size", arg, hasValue, argv, i, 80, given)) {
            size = given;
            return true;
        }
        return false;
    };
    if (!ReadCommandLine(argc, argv, "edit_compare_bench",
                         "[--runs N] [--size COLSxROWS] [--timeout SECONDS] [--dump] KQ_BINARY",
                         true, runs, kq, own)) {
        return 2;
    }
    if (dumpScreens) runs = 1;
    const int cols = size.cols;
    const int rows = size.rows;

    // The file in a directory of its own, which is also the programs' working directory.
    std::string root;
    if (!MakeTempDir("/tmp/kq-edit-bench-XXXXXX", root)) return 1;
    const Setup setup{kq, root, "big.txt", static_cast<int64_t>(kFileBytes)};
    const int64_t writeStart = NowNs();
    const bool written = WriteTextFile(setup.Path()) && FileSize(setup.Path()) == setup.size;
    std::printf("file: %lld lines, %llu bytes of text in %s, written in %.1f s\n",
                static_cast<long long>(kLines), static_cast<unsigned long long>(kFileBytes),
                root.c_str(), Ms(NowNs() - writeStart) / 1000);
    Results results(34, 2);
    if (written && chdir(root.c_str()) == 0) {
        sync();
        Warm(setup.Path());
        for (int i = 0; i < runs; ++i) {
            KqRun(setup, cols, rows, results);
            VimRun(setup, cols, rows, results);
            CopyRun(setup, results);
        }
    }
    RemoveTempDir(root);
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
