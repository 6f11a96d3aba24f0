// The whole program on a real terminal: tmux runs kq on a prepared directory; the tests read
// the screen back, type and paste at it, signal it, and check the effects on disk and on the
// terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

#include "kq/config.h"
#include "support/TmuxSession.h"

#ifndef KQ_BINARY
#error "KQ_BINARY must name the kq program"
#endif

namespace {

using namespace kq::testing;

// A copy of kq elsewhere, with its library beside it as in the build tree.
void CopyKq(const std::string& path) {
    const std::filesystem::path built(KQ_BINARY);
    std::filesystem::copy_file(built, path);
    std::filesystem::create_symlink(built.parent_path() / "libzcomn.so.0",
                                    std::filesystem::path(path).parent_path() / "libzcomn.so.0");
}

struct Frame {
    int left, right, top, bottom;
};

// The panels by their double-line frames, on the first row that has any top-left corner.
std::vector<Frame> Panels(const Screen& s) {
    std::vector<Frame> panels;
    for (int y = 0; y < s.Height() && panels.empty(); ++y) {
        for (int x = 0; x < s.Width(y); ++x) {
            if (s.At(x, y).ch != U'╔') continue;
            Frame f{x, x + 1, y, y + 1};
            while (f.right < s.Width(y) && s.At(f.right, y).ch != U'╗') ++f.right;
            while (f.bottom < s.Height() && s.At(x, f.bottom).ch != U'╚') ++f.bottom;
            if (f.right < s.Width(y) && f.bottom < s.Height()) panels.push_back(f), x = f.right;
        }
    }
    return panels;
}

// The trimmed fields of each panel row that has a column line and is not blank.
std::vector<std::vector<std::string>> Table(const Screen& s, const Frame& f) {
    std::vector<std::vector<std::string>> table;
    for (int y = f.top + 1; y < f.bottom; ++y) {
        std::vector<std::string> fields{""};
        bool blank = true;
        for (int x = f.left + 1; x < f.right; ++x) {
            const char32_t c = s.At(x, y).ch;
            c == U'│' ? fields.emplace_back() : fields.back() += Utf8(c);
            blank = blank && (c == U' ' || c == U'│');
        }
        for (std::string& field : fields) field = Trim(field);
        if (fields.size() > 1 && !blank) table.push_back(fields);
    }
    return table;
}

// Rows whose first cell inside the frame has another background than the frame: the cursor bar.
std::vector<int> Highlighted(const Screen& s, const Frame& f) {
    std::vector<int> rows;
    for (int y = f.top + 1; y < f.bottom; ++y)
        if (s.At(f.left + 1, y).bg != s.At(f.left, y).bg) rows.push_back(y);
    return rows;
}

// Menu bar with the clock at its right end, two panels sharing the width between it and the
// command line on the last row, each listing the directory.
bool LaidOutFor(const Screen& s, int cols, int rows, const std::string& prompt) {
    const std::vector<Frame> p = Panels(s);
    if (s.Row(0).find("Files") == std::string::npos || s.Row(0).find("═") != std::string::npos ||
        !std::regex_match(Trim(s.Slice(0, cols - 6, cols)), std::regex("\\d\\d[: ]\\d\\d")) ||
        p.size() != 2)
        return false;
    for (const Frame& f : p)
        if (f.top != 1 || f.bottom != rows - 2 || Table(s, f).size() != 6) return false;
    return p[0].left == 0 && p[0].right + 1 == cols / 2 && p[1].left == cols / 2 &&
           p[1].right == cols - 1 && s.Last() == prompt;
}

class KqTmuxTest : public ::testing::Test {
  protected:
    // The listed directory: three files and a subdirectory with one file, all (and "..")
    // dated 2024-03-15 14:30 in the pane's zone, five hours east of UTC.
    void SetUp() override {
        if (!TmuxSession::TmuxPath()) GTEST_SKIP() << "tmux is not installed";
        if (!KQ_HAVE_LANGUAGE_MODULES) GTEST_SKIP() << "the language modules are not built";
        std::filesystem::create_directories(work_ + "/sub");
        const std::pair<const char*, size_t> files[] = {
            {"alpha.txt", 1234}, {"beta.bin", 0}, {"PROG.EXE", 56789}, {"sub/inner.dat", 4321}};
        for (const auto& [name, size] : files)
            std::ofstream(work_ + "/" + name) << std::string(size, 'x');
        const timespec times[2] = {{1710495000, 0}, {1710495000, 0}};
        for (const char* name : {"alpha.txt", "beta.bin", "PROG.EXE", "sub", ".."})
            ASSERT_EQ(utimensat(AT_FDCWD, (work_ + "/" + name).c_str(), times, 0), 0);
        ASSERT_NO_FATAL_FAILURE(s_.Start());
        ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    }

    void Wait(const std::function<bool(const Screen&)>& condition, const std::string& what) {
        Screen screen;
        ASSERT_TRUE(WaitUntil([&] { return condition(screen = s_.Capture()); }))
            << what << "; screen:\n"
            << screen.Text() << s_.File("kq.err");
    }
    // Sends the keys, then waits for the text on the screen / the command line.
    void WaitShows(const std::string& t, const std::vector<std::string>& keys = {}) {
        if (!keys.empty()) s_.Keys(keys);
        Wait([&](const Screen& s) { return s.Shows(t); }, t);
    }
    void WaitLine(const std::string& line, const std::vector<std::string>& keys = {}) {
        if (!keys.empty()) s_.Keys(keys);
        Wait([&](const Screen& s) { return s.Last() == line; }, "command line " + line);
    }
    void WaitForInterface() {
        const auto ready = [&](const Screen& s) {
            return s_.Alternate() && Panels(s).size() == 2 && s.Shows("Name") &&
                   s.Last() == prompt_;
        };
        Wait(ready, "the panels");
    }
    void Run(const std::string& command) {  // typed, seen on the command line, run
        s_.Text(command);
        ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_ + command));
        s_.Keys({"Enter"});
    }
    // The cursor bar in the right panel only; it stands on "..".
    void ExpectCursorBarOnlyOnTheRight() {
        const Screen s = s_.Capture();
        const std::vector<Frame> p = Panels(s);
        ASSERT_EQ(p.size(), 2u) << s.Text();
        EXPECT_EQ(Highlighted(s, p[1]), std::vector<int>{p[1].top + 2}) << s.Text();
        EXPECT_EQ(Highlighted(s, p[0]), std::vector<int>{}) << s.Text();
    }
    // Waits until the right panel's cursor bar stands on name.
    void WaitForCursorOn(const std::string& name) {
        Wait(
            [&](const Screen& s) {
                const std::vector<Frame> p = Panels(s);
                const std::vector<int> rows =
                    p.size() == 2 ? Highlighted(s, p[1]) : std::vector<int>{};
                if (rows.size() != 1) return false;
                const std::string row = s.Slice(rows[0], p[1].left + 1, p[1].right);
                return Trim(row.substr(0, row.find("│"))) == name;
            },
            "the cursor on " + name);
    }
    void ResizeAndExpectLayout(int cols, int rows) {
        s_.Resize(cols, rows);
        Wait([&](const Screen& s) { return LaidOutFor(s, cols, rows, prompt_); },
             "layout for " + std::to_string(cols) + "x" + std::to_string(rows));
    }
    pid_t KqPid() const { return static_cast<pid_t>(std::stol(s_.File("kq.pid"))); }
    std::string WorkFile(const std::string& name) const { return ReadFile(work_ + "/" + name); }

    // kq keeps the process id of the shell that records it; Backspace arrives as ^H.
    TmuxSession s_{"sh -c 'echo $$ > kq.pid; exec \"$0\" \"$@\"' " + ShellQuote(KQ_BINARY) +
                       " \"$PWD/top/work\" 2> kq.err",
                   100, 30,
                   "unset LC_ALL LC_MESSAGES LC_CTYPE\nexport LANG=C.UTF-8 KQ_CODEPAGE=437 "
                   "TZ=KQT-5 KQ_CONFIG_HOME=\"$PWD/config\" XDG_STATE_HOME=\"$PWD/state\"\nmkdir "
                   "config\nstty erase '^H'"};
    std::string work_ = s_.Path("top/work");
    std::string prompt_ = work_ + ">";
};

TEST_F(KqTmuxTest, ListsRunsCommandsFollowsResizesAndGivesTheTerminalBack) {
    const Screen first = s_.Capture();
    EXPECT_TRUE(LaidOutFor(first, 100, 30, prompt_)) << first.Text();
    for (const Frame& f : Panels(first)) {
        std::vector<std::vector<std::string>> table = Table(first, f);
        ASSERT_FALSE(table.empty());
        EXPECT_EQ(table[0][0].substr(0, 1), "n");  // the sort mode's letter
        table[0][0] = Trim(table[0][0].substr(1));
        EXPECT_EQ(table, (std::vector<std::vector<std::string>>{
                             {"Name", "Size", "Date", "Time"},
                             {"..", "◄Up►", "15.03.24", "14:30"},
                             {"sub", "►Dir◄", "15.03.24", "14:30"},
                             {"alpha.txt", "1234", "15.03.24", "14:30"},
                             {"beta.bin", "0", "15.03.24", "14:30"},
                             {"PROG.EXE", "56789", "15.03.24", "14:30"}}));
        EXPECT_NE(
            first.Slice(f.bottom, f.left, f.right + 1).find("58,023 bytes in 1 dirs and 3 files"),
            std::string::npos);
    }
    ExpectCursorBarOnlyOnTheRight();

    // Commands run on the terminal's main screen, one that reads the terminal too; Ctrl+O
    // shows that screen behind the command line, row for row.
    ASSERT_NO_FATAL_FAILURE(Run("echo hello"));
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    ExpectCursorBarOnlyOnTheRight();
    ASSERT_NO_FATAL_FAILURE(Run("echo again"));
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    ASSERT_NO_FATAL_FAILURE(Run("read x; echo got$x"));
    Wait(
        [&](const Screen& s) {
            return !s_.Alternate() && s.Find(prompt_ + "read x; echo got$x") >= 0;
        },
        "the command on the main screen");
    s_.Keys({"42", "Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    s_.Keys({"C-o"});
    ASSERT_NO_FATAL_FAILURE(Wait([](const Screen& s) { return Panels(s).empty(); }, "Ctrl+O"));
    const Screen behind = s_.Capture(), main = s_.Capture(true);
    const int top = behind.Find(prompt_ + "echo hello");
    ASSERT_GE(top, 0) << behind.Text();
    const std::string expected[] = {"hello", "",     "", prompt_ + "echo again",
                                    "again", "",     "", prompt_ + "read x; echo got$x",
                                    "42",    "got42"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(behind.Row(top + 1 + i), expected[i]) << behind.Text();
    EXPECT_EQ(behind.Last(), prompt_);
    for (int y = top; y < behind.Height() - 1; ++y) EXPECT_EQ(behind.Row(y), main.Row(y)) << y;
    s_.Keys({"C-o"});
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    EXPECT_FALSE(s_.Capture().Shows("hello"));
    ExpectCursorBarOnlyOnTheRight();

    // With the terminal's erase character ^H, Backspace came as Ctrl+H and switched hidden
    // files instead of erasing.
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_ + "ab", {"abc", "C-h"}));
    s_.Keys({"Escape"});

    // Shrinking moved the panels over the menu bar; narrow panels lost the names and the
    // information line's figures; resizes back to the first width left unequal panels.
    ASSERT_NO_FATAL_FAILURE(ResizeAndExpectLayout(120, 40));
    ASSERT_NO_FATAL_FAILURE(ResizeAndExpectLayout(80, 25));
    for (const int cols : {44, 37, 61}) {
        s_.Resize(cols, 30);
        ASSERT_NO_FATAL_FAILURE(Wait(
            [cols](const Screen& s) {
                const std::vector<Frame> p = Panels(s);
                return p.size() == 2 && p[1].right == cols - 1 &&
                       s.Slice(p[1].top + 4, p[1].left, cols).starts_with("║alpha.txt") &&
                       s.Slice(p[1].bottom, p[1].left, cols).find("3 f") != std::string::npos;
            },
            "narrow panels at " + std::to_string(cols)));
    }
    ASSERT_NO_FATAL_FAILURE(ResizeAndExpectLayout(100, 30));

    ASSERT_NO_FATAL_FAILURE(WaitShows("Yes", {"F10"}));
    s_.Keys({"Enter"});
    s_.ExpectEndedAndRestored("EXIT=0");
    s_.Keys({"echo done-marker", "Enter"});
    Wait([](const Screen& s) { return s.Find("done-marker") >= 0; }, "the shell after kq");
}

TEST_F(KqTmuxTest, WorksInThePanelsRefusesWhatItMustAndAnswersSignals) {
    s_.Keys({"Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("sub"));
    s_.Keys({"Enter"});
    Wait([&](const Screen& s) { return s.Last() == work_ + "/sub>" && s.Shows("inner.dat"); },
         "sub");
    // Commands ran in the directory of the last panel activation, not where the panel moved.
    prompt_ = work_ + "/sub>";
    ASSERT_NO_FATAL_FAILURE(Run("pwd > ../where"));
    EXPECT_TRUE(WaitUntil([&] { return WorkFile("where") == work_ + "/sub\n"; }))
        << WorkFile("where");
    prompt_ = work_ + ">";
    ASSERT_NO_FATAL_FAILURE(WaitLine(work_ + "/sub>"));
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_, {"Enter"}));  // on ".."
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("sub"));

    // The counts show while the walk still runs; its button becomes OK once it is done.
    ASSERT_NO_FATAL_FAILURE(WaitShows("4,321", {"C-q"}));
    Wait([](const Screen& s) { return s.Shows("Directory size") && s.Shows("OK"); }, "sizes, OK");
    s_.Keys({"Enter"});
    Wait(
        [](const Screen& s) {
            const std::vector<Frame> p = Panels(s);
            const auto table = p.size() == 2 ? Table(s, p[1]) : decltype(Table(s, p[1])){};
            return !s.Shows("Directory size") && table.size() > 2 && table[2][0] == "sub" &&
                   table[2][1] == "4321";
        },
        "the measured size in the panel");
    ASSERT_NO_FATAL_FAILURE(WaitShows("Select the files matching", {"KP+"}));
    s_.Keys({"*.txt", "Enter"});
    Wait(
        [](const Screen& s) {
            return !s.Shows("Select the files matching") &&
                   (s.Shows("1,234 bytes in 1 selected items") ||
                    s.Shows("1k bytes in 1 selected items"));
        },
        "alpha.txt alone selected");

    // Characters the code page lacks became '?' ("touch made-Привет" made "made-??????"):
    // they are refused. A paste is text that runs only on Enter; its escape sequences do nothing.
    s_.Text("touch made-Привет");
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_ + "touch made-"));
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_, {"Escape"}));
    s_.Paste("echo A > pasted1\x1b[21~\necho B > pasted2");
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_ + "echo A > pasted1[21~\u25D9echo B > pasted2"));
    EXPECT_FALSE(s_.Capture().Shows("Yes")) << "the paste's F10 asked to quit";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(std::filesystem::exists(work_ + "/pasted2"));
    s_.Keys({"Enter"});
    EXPECT_TRUE(WaitUntil([&] { return WorkFile("pasted2") == "B\n"; }));
    EXPECT_EQ(WorkFile("pasted1[21~"), "A\n");
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());

    // Stopped and continued, kq left raw mode off (keys echoed as ^[[B) and drew nothing.
    ::kill(KqPid(), SIGTSTP);
    ASSERT_TRUE(WaitUntil([&] {
        return ReadFile("/proc/" + std::to_string(KqPid()) + "/stat").find(") T ") !=
               std::string::npos;
    }));
    EXPECT_FALSE(s_.Alternate());
    EXPECT_GE(s_.Capture().Find("hello before"), 0);
    ::kill(KqPid(), SIGCONT);
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    ASSERT_NO_FATAL_FAILURE(WaitLine(work_ + "/sub>", {"Home", "Down", "Enter"}));
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_, {"Enter"}));

    // Enter on a directory removed since it was listed and F7 on a name that exists said
    // nothing; a panel whose directory was removed stayed blank after Ctrl+R.
    std::filesystem::remove_all(work_ + "/sub");
    ASSERT_NO_FATAL_FAILURE(
        WaitShows("sub: No such file or directory.", {"Home", "Down", "Enter"}));
    ASSERT_NO_FATAL_FAILURE(
        WaitShows("alpha.txt: File exists.", {"Enter", "F7", "alpha.txt", "Enter"}));
    s_.Keys({"Enter"});
    std::filesystem::create_directories(work_ + "/deep/er");
    ASSERT_NO_FATAL_FAILURE(Run("cd  deep/er"));
    ASSERT_NO_FATAL_FAILURE(WaitLine(work_ + "/deep/er>"));
    std::filesystem::remove_all(work_ + "/deep");
    ASSERT_NO_FATAL_FAILURE(WaitLine(prompt_, {"C-r"}));
    WaitShows("PROG.EXE");  // the panel went blank

    // kill -TERM during a command did nothing and kq ran on: both end, the terminal given back.
    const std::string sleep = "sleep 9" + std::to_string(getpid());  // no other test's
    const auto sleeping = [&] {
        return ExitedWith(RunCommand({"/usr/bin/pgrep", "-f", sleep}, {}), 0);
    };
    ASSERT_NO_FATAL_FAILURE(Run(sleep));
    ASSERT_TRUE(WaitUntil([&] { return !s_.Alternate() && sleeping(); }));
    ::kill(KqPid(), SIGTERM);
    s_.ExpectEndedAndRestored("EXIT=143");
    EXPECT_FALSE(sleeping());
}

// F4 edits the file under the cursor: what is typed and saved with F2 is on disk, the panel
// shows the new size once the editor is closed, and a signal never costs unsaved changes.
TEST_F(KqTmuxTest, EditsTheFileUnderTheCursorAndThePanelShowsItsNewSize) {
    s_.Keys({"Down", "Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
    ASSERT_NO_FATAL_FAILURE(WaitShows("Edit: " + work_ + "/alpha.txt", {"F4"}));
    s_.Text("hello");
    ASSERT_NO_FATAL_FAILURE(WaitShows("*U"));
    s_.Keys({"F2"});
    EXPECT_TRUE(
        WaitUntil([&] { return WorkFile("alpha.txt") == "hello" + std::string(1234, 'x'); }));
    s_.Keys({"Escape"});
    ASSERT_NO_FATAL_FAILURE(WaitShows("1239"));
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
    // Ended by a signal while changes are unsaved: they are kept beside the file.
    ASSERT_NO_FATAL_FAILURE(WaitShows("Edit:", {"F4"}));
    s_.Text("Z");
    ASSERT_NO_FATAL_FAILURE(WaitShows("*U"));
    ::kill(KqPid(), SIGTERM);
    s_.ExpectEndedAndRestored("EXIT=143");
    EXPECT_EQ(WorkFile("alpha.txt.kq-unsaved").substr(0, 6), "Zhello");
}

// F5 copies a tree and a file into the other panel's directory and F6 moves a file there, each
// through its dialog and a job; a directory copied into itself is refused with the reason.
TEST_F(KqTmuxTest, CopiesAndMovesIntoTheOtherPanelAndRefusesACopyIntoItself) {
    std::filesystem::create_directories(work_ + "/tree/inner");
    std::ofstream(work_ + "/tree/inner/deep.txt") << "deep";
    s_.Keys({"Tab"});
    ASSERT_NO_FATAL_FAILURE(Run("cd sub"));
    s_.Keys({"Tab", "C-r", "Down", "Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("tree"));
    const auto job = [&](const std::string& key, const std::string& dialog,
                         const std::function<bool()>& done) {
        ASSERT_NO_FATAL_FAILURE(WaitShows(dialog, {key}));
        s_.Keys({"Enter"});
        EXPECT_TRUE(WaitUntil(done)) << dialog;
    };
    job("F5", "to be copied to:", [&] { return WorkFile("sub/tree/inner/deep.txt") == "deep"; });
    s_.Keys({"Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
    job("F5",
        "to be copied to:", [&] { return WorkFile("sub/alpha.txt") == WorkFile("alpha.txt"); });
    const std::string moved = WorkFile("beta.bin");
    s_.Keys({"Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("beta.bin"));
    job("F6", "to be moved to:", [&] {
        return WorkFile("sub/beta.bin") == moved && !std::filesystem::exists(work_ + "/beta.bin");
    });
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("PROG.EXE"));  // the panel shows the move
    s_.Keys({"Home", "Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("sub"));
    ASSERT_NO_FATAL_FAILURE(WaitShows("to be copied to:", {"F5"}));
    ASSERT_NO_FATAL_FAILURE(WaitShows("a directory cannot go into", {"Enter"}));
    s_.Keys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    EXPECT_FALSE(std::filesystem::exists(work_ + "/sub/sub"));
}

// F8 deletes the tree under the cursor (confirmed, then its question answered with All) and
// then the file the cursor lands on: both are gone from the disk and from the panel.
TEST_F(KqTmuxTest, DeletesATreeAndAFileOnceConfirmed) {
    std::filesystem::create_directories(work_ + "/tree/inner");
    std::ofstream(work_ + "/tree/inner/deep.txt") << "deep";
    s_.Keys({"C-r", "Down", "Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("tree"));
    ASSERT_NO_FATAL_FAILURE(WaitShows("Do you want to delete", {"F8"}));
    ASSERT_NO_FATAL_FAILURE(WaitShows("is not empty", {"Enter"}));
    s_.Text("a");
    EXPECT_TRUE(WaitUntil([&] { return !std::filesystem::exists(work_ + "/tree"); }));
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
    ASSERT_NO_FATAL_FAILURE(WaitShows("Do you want to delete", {"F8"}));
    s_.Keys({"Enter"});
    EXPECT_TRUE(WaitUntil([&] { return !std::filesystem::exists(work_ + "/alpha.txt"); }));
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("beta.bin"));
}

// A value of each option dialog, and the language, changed through the menu take effect at
// once, are stored, and the next start shows them: no exit question, no hidden file, the key bar,
// the drive that is not queried, German.
TEST_F(KqTmuxTest, OptionsChangedThroughTheMenuHoldAfterARestart) {
    std::ofstream(work_ + "/.hidden") << "x";
    s_.Keys({"C-r"});
    ASSERT_NO_FATAL_FAILURE(WaitShows(".hidden"));
    const auto option = [&](const std::string& item, const std::string& title,
                            const std::vector<std::string>& keys) {
        ASSERT_NO_FATAL_FAILURE(WaitShows(title, {"F9", "o", item}));
        s_.Keys(keys);
        Wait([&](const Screen& s) { return !s.Shows(title); }, "closed " + title);
    };
    ASSERT_NO_FATAL_FAILURE(option("c", "Confirmations", {"q", "Enter"}));
    ASSERT_NO_FATAL_FAILURE(option("p", "Panel settings", {"h", "Enter"}));
    Wait([](const Screen& s) { return !s.Shows(".hidden"); }, "the hidden file gone at once");
    ASSERT_NO_FATAL_FAILURE(option("i", "Interface", {"k", "Enter"}));
    ASSERT_NO_FATAL_FAILURE(
        option("s", "System settings", {"Tab", "Tab", "Tab", "Tab", "Tab", "1", "Enter"}));
    ASSERT_NO_FATAL_FAILURE(WaitShows("Deutsch", {"F9", "o", "l"}));
    s_.Keys({"Home", "Enter"});  // LngDeu.dll comes first
    ASSERT_NO_FATAL_FAILURE(WaitShows("Links"));
    s_.Keys({"F10"});  // no question any more
    s_.ExpectEndedAndRestored("EXIT=0");

    s_.Text(ShellQuote(KQ_BINARY) + " \"$PWD/top/work\" 2>> kq.err; echo AGAIN=$?");
    s_.Keys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitShows("Links"));
    Wait([](const Screen& s) { return s.Shows("alpha.txt") && !s.Shows(".hidden"); },
         "the panels without the hidden file");
    EXPECT_NE(s_.Capture().Row(29).find("1"), std::string::npos);  // the key bar's numbers
    ASSERT_NO_FATAL_FAILURE(WaitShows("/ -", {"M-F1"}));           // "/" is not queried
    s_.Keys({"Escape"});
    Wait([](const Screen& s) { return !s.Shows("/ -"); }, "the drive menu closed");
    s_.Keys({"F10"});
    Wait([](const Screen& s) { return s.Shows("AGAIN=0"); }, "the second run's end");
}

// With the idle time set to a second the saver takes the screen; the key that ends it reaches
// no window (the command line stays empty) and the panels come back.
TEST_F(KqTmuxTest, TheSaverStartsAfterTheIdleTimeAndAKeyBringsThePanelsBack) {
    ASSERT_NO_FATAL_FAILURE(WaitShows("System settings", {"F9", "o", "s"}));
    s_.Keys({"Tab", "End", "BSpace", "BSpace", "BSpace", "1", "Enter"});
    Wait([](const Screen& s) { return Panels(s).empty() && !s.Shows("Name"); }, "the saver");
    s_.Text("x");
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
}

// A fault gives the terminal back, then reports to standard error (here kq.err) and the crash
// log; kq ends by the fault's signal.
TEST_F(KqTmuxTest, AFaultGivesTheTerminalBackThenReports) {
    ::kill(KqPid(), SIGSEGV);
    s_.ExpectEndedAndRestored("EXIT=139");
    EXPECT_NE(s_.File("kq.err").find("EXCEPTION_ACCESS_VIOLATION at 0x"), std::string::npos);
    EXPECT_NE(s_.File("state/kq/crash.log").find("EXCEPTION_ACCESS_VIOLATION"), std::string::npos);
}

// F3 views the file under the cursor: End shows its last line, F4 its bytes, a search its
// text; Esc gives the panels back with the cursor where it was, and F3 again opens the file
// where it was left.
TEST_F(KqTmuxTest, ViewsTheFileUnderTheCursorAndComesBackToThePanels) {
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += "entry " + std::to_string(i) + "\n";
    std::ofstream(work_ + "/alpha.txt") << lines;
    s_.Keys({"Down", "Down"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
    ASSERT_NO_FATAL_FAILURE(WaitShows("View: " + work_ + "/alpha.txt", {"F3"}));
    ASSERT_NO_FATAL_FAILURE(WaitShows("entry 199", {"End"}));
    ASSERT_NO_FATAL_FAILURE(WaitShows("Mode: Hex", {"F4"}));
    ASSERT_NO_FATAL_FAILURE(WaitShows("Search for:", {"F4", "Home", "F7"}));
    s_.Text("entry 150");
    s_.Keys({"Enter"});
    Wait([&](const Screen& s) { return s.Row(4).starts_with("entry 150") && !s.Shows("Search"); },
         "the match three rows down");
    s_.Keys({"Escape"});
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
    s_.Keys({"F3"});
    Wait([&](const Screen& s) { return s.Row(1).starts_with("entry 147"); }, "the place kept");
    s_.Keys({"F10"});
    ASSERT_NO_FATAL_FAILURE(WaitForCursorOn("alpha.txt"));
}

TEST(KqStartTest, RefusesCodePagesItCannotDrawInAndStartDirectoriesBeyondThePanels) {
    for (const std::string setting : {"65001", "932", "4711", "cp437"}) {
        const CommandResult run = RunCommand({KQ_BINARY}, {"KQ_CODEPAGE=" + setting, "TERM=xterm"});
        EXPECT_TRUE(ExitedWith(run, 2)) << setting;
        EXPECT_NE(run.errors.find("KQ_CODEPAGE=" + setting + " cannot be used"), std::string::npos);
    }
    // A start directory too long for the panels' 512-byte buffers opened them at "/".
    const kq::test::TempFolder folder("kq-start");
    const std::string part(200, 'd');
    const std::string deep = folder.MakeFolder(part + "/" + part + "/" + part);
    const CommandResult run = RunCommand({KQ_BINARY, deep}, {"TERM=dumb"});
    EXPECT_TRUE(ExitedWith(run, 2)) << run.errors;
    EXPECT_NE(run.errors.find("File name too long"), std::string::npos) << run.errors;
    // A program so deep that its language folder does not fit the 512-byte home folder says so.
    const std::string copy = folder.MakeFolder(deep + "/bin") + "/kq";
    CopyKq(copy);
    const CommandResult deepRun = RunCommand(
        {copy}, {"TERM=dumb", "KQ_CODEPAGE=437", "KQ_CONFIG_HOME=" + folder.MakeFolder("config")});
    EXPECT_NE(deepRun.errors.find("longer than 511 bytes"), std::string::npos) << deepRun.errors;
}

// kq and the plugins share one library: a plugin asked to stop at quit shows its message box
// on kq's desktop and stores its counts in the settings kq opened. Its refusal keeps kq running
// with working panels; the next quit ends it.
TEST(KqPluginTest, APluginUsesTheDesktopAndTheSettingsOfTheKqItRunsIn) {
    if (!TmuxSession::TmuxPath()) GTEST_SKIP() << "tmux is not installed";
    if (!KQ_HAVE_LANGUAGE_MODULES) GTEST_SKIP() << "the language modules are not built";
    // A build tree of its own: kq finds lang/ and plugins/ beside its src/ folder.
    TmuxSession s("tree/src/kq \"$PWD/tree\" 2> kq.err", 80, 25,
                  "export LANG=C.UTF-8 KQ_CODEPAGE=437 KQ_CONFIG_HOME=\"$PWD/config\"");
    for (const char* folder : {"tree/src", "tree/lang", "tree/plugins", "config"})
        std::filesystem::create_directories(s.Path(folder));
    CopyKq(s.Path("tree/src/kq"));
    std::filesystem::copy_file(KQ_LANG_FOLDER "/LngEng.dll", s.Path("tree/lang/LngEng.dll"));
    std::filesystem::copy_file(KQ_SHARED_STATE_PLUGIN, s.Path("tree/plugins/check.so"));
    ASSERT_NO_FATAL_FAILURE(s.Start());
    const auto waitFor = [&](const std::string& text, bool shown) {
        ASSERT_TRUE(WaitUntil([&] { return s.Capture().Shows(text) == shown; }))
            << text << "\n"
            << s.Capture().Text() << s.File("kq.err");
    };
    ASSERT_NO_FATAL_FAILURE(waitFor("Name", true));
    s.Keys({"F10"});
    ASSERT_NO_FATAL_FAILURE(waitFor("Yes", true));
    s.Keys({"Enter"});
    std::ofstream(s.Path("viewed.txt")) << "shown by the plugin\nsecond line\n";
    ASSERT_NO_FATAL_FAILURE(waitFor("The check plugin stays.", true));
    s.Keys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(waitFor("shown by the plugin", true));
    s.Keys({"Down"});
    ASSERT_NO_FATAL_FAILURE(waitFor("shown by the plugin", false));
    s.Keys({"Escape"});
    ASSERT_NO_FATAL_FAILURE(waitFor("Edit:", true));  // then the plugin's editor
    s.Text("X");
    s.Keys({"F2"});
    ASSERT_NO_FATAL_FAILURE(waitFor("*U", false));
    s.Keys({"Escape"});
    ASSERT_NO_FATAL_FAILURE(waitFor("second line", false));
    // The panels took their plugin back: Ctrl+R lists a folder made meanwhile.
    std::filesystem::create_directories(s.Path("tree/made-later"));
    s.Keys({"C-r"});
    ASSERT_NO_FATAL_FAILURE(waitFor("made-later", true));
    s.Keys({"F10"});
    ASSERT_NO_FATAL_FAILURE(waitFor("Yes", true));
    s.Keys({"Enter"});
    s.ExpectEndedAndRestored("EXIT=0");

    setenv("KQ_CONFIG_HOME", s.Path("config").c_str(), 1);
    ASSERT_EQ(CfgInit("kq"), 0);
    const CfgSection section = CfgOpen("PluginCheck");
    uint32_t calls = 0, answer = 0;
    EXPECT_TRUE(CfgQueryDw(section, "Calls", &calls) == 0 && calls == 2) << calls;
    EXPECT_TRUE(CfgQueryDw(section, "Answer", &answer) == 0 && answer == 1) << answer;
    EXPECT_TRUE(CfgQueryDw(section, "Viewed", &answer) == 0 && answer == 0) << answer;
    EXPECT_TRUE(CfgQueryDw(section, "Edited", &answer) == 0 && answer == 0) << answer;
    EXPECT_EQ(ReadFile(s.Path("viewed.txt")).substr(0, 3), "Xsh");
    CfgClose(section);
    const CfgSection viewer = CfgOpen("Viewer_Files");  // the plugin's viewer kept its place
    uint64_t place = 0;
    EXPECT_TRUE(CfgQueryQw(viewer, "FilePos0", &place) == 0 && place == 20) << place;
    CfgClose(viewer);
    CfgShutdown();
    unsetenv("KQ_CONFIG_HOME");
}

}  // namespace
