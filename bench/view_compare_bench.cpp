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
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "CompareSupport.h"

namespace {

using namespace comparebench;

constexpr size_t kLineBytes = 80;
constexpr uint64_t kEndFileBytes = uint64_t{2} << 30;
constexpr uint64_t kSearchFileBytes = uint64_t{1} << 30;

const std::string kMarker = "LAST-LINE-MARKER";
const std::string kNeedle = "Zebra-Quartz-Vortex-4711";
// The start of the first line of both files: how a program shows that the file is open.
const std::string kFirstLine = "000000 The quick brown fox";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// ---- The test files ----

// 1 MiB of 80-byte lines of ordinary text: a six-digit line number, then a run of pangrams
// starting at a different place on every line.
std::string FillerBuffer() {
    const std::string& text = kPangrams;
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

// ---- Programs ----

// The settings folders of one program inside one temporary folder; less keeps no history and
// runs no input preprocessor.
std::vector<std::string> Environment(const std::string& home) {
    return comparebench::Environment(home, {"LESS=", "LESSOPEN=", "LESSCLOSE=", "LESSHISTFILE=-"});
}

// kq started in setup.dir with its panels complete and quiet.
bool StartKq(PtyTerminal& term, const Setup& setup, const TempConfig& home) {
    return comparebench::StartKq(term, setup, Environment(home.Path()));
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

void GrepSearch(const Setup& setup, bool caseSensitive, Results& results) {
    std::vector<std::string> argv{"grep", "-c", "-F", kNeedle, setup.file};
    if (!caseSensitive) argv = {"grep", "-c", "-i", "-F", Lower(kNeedle), setup.file};
    std::string output;
    double ms = 0;
    const bool ok = RunTimed(argv, ms, &output) && output == "1\n";
    results.Add(SearchGroup(caseSensitive), caseSensitive ? "grep -c -F" : "grep -c -i -F", "ms",
                ok, ms);
}

// ---- Figure 4: bytes per key ----

// Bytes the terminal receives for one key, counted as QuietAfterBlink describes.
long BytesForKey(PtyTerminal& term, VTermKey key, const std::string& title) {
    QuietAfterBlink(term);
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<Size> sizes;
    Size bytesSize{120, 40};
    int runs = 5;
    std::string kq;
    const auto own = [&](const std::string& arg, bool hasValue, int& i) {
        if (SizesOption(arg, hasValue, argv, i, 40, sizes)) return true;
        Size size{};
        if (SizeOption("--bytes-size", arg, hasValue, argv, i, 40, size)) {
            bytesSize = size;
            return true;
        }
        return false;
    };
    if (!ReadCommandLine(argc, argv, "view_compare_bench",
                         "[--runs N] [--size COLSxROWS]... [--bytes-size COLSxROWS] "
                         "[--timeout SECONDS] [--dump] KQ_BINARY",
                         true, runs, kq, own)) {
        return 2;
    }
    if (sizes.empty()) sizes = {{80, 25}, {120, 40}};
    if (dumpScreens) runs = 1;

    // Each file in a directory of its own, which is also the programs' working directory.
    std::string root;
    if (!MakeTempDir("/tmp/kq-view-bench-XXXXXX", root)) return 1;
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
    Results results(26, 1);
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
    RemoveTempDir(root);
    if (!written) {
        std::fprintf(stderr, "view_compare_bench: could not write the files in %s\n", root.c_str());
        return 1;
    }
    std::printf("%d runs of each program per figure, alternating; the files were removed\n", runs);
    return results.Print() ? 0 : 1;
}
