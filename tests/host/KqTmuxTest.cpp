// The whole program on a real terminal emulator: tmux runs kq in a detached session of its own
// on a prepared directory. The tests read the screen back with capture-pane, type at the
// program with send-keys, and check the panels' listing, running commands from the command
// line (also one that reads from the terminal), the main screen behind the panels, the layout
// after a resize, and that the terminal is given back as it was found when the program ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/ProcessTestSupport.h"
#include "support/TmuxCapture.h"
#include "support/TmuxServer.h"

#ifndef KQ_BINARY
#error "KQ_BINARY must name the kq program"
#endif
#ifndef KQ_HAVE_LANGUAGE_MODULES
#error "KQ_HAVE_LANGUAGE_MODULES must say whether the language modules are built"
#endif

namespace {

// Hang guard for everything the tests wait for; generous, since CI machines are loaded.
constexpr int kWaitMs = 10000;
constexpr int kPollMs = 50;
constexpr const char* kSession = "kq";
constexpr const char* kTerm = "tmux-256color";
constexpr int kCols = 100;
constexpr int kRows = 30;

// The local time zone of the pane and of the prepared files' times: five hours east of UTC,
// written as a POSIX rule so that no time-zone database is needed. A program that shows the
// times in UTC instead of local time shows them five hours early.
constexpr const char* kTimeZone = "KQT-5";
// 2024-03-15 14:30:00 in that zone (09:30:00 UTC).
constexpr time_t kFileTime = 1710495000;
constexpr const char* kFileDate = "15.03.24";
constexpr const char* kFileClock = "14:30";
// The size of the one file inside the listed directory's subdirectory.
constexpr size_t kInnerSize = 4321;

// ---------------------------------------------------------------------------------------------
// Running programs: the shared helpers, waiting with this file's hang guard.

using namespace kq::testing;

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "  |" + line + "\n";
    return text;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
    return kq::testing::WaitUntil(condition, timeoutMs, kPollMs);
}

// ---------------------------------------------------------------------------------------------
// Screen text by column. capture-pane gives UTF-8; the frames are box-drawing characters, one
// cell each, so a line decoded to code points is indexed by column.

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The screen as text, one decoded line per row (rows tmux leaves out are empty).
struct Screen {
    std::vector<std::u32string> rows;

    explicit Screen(const std::vector<std::string>& lines, int height) {
        for (const std::string& line : lines) rows.push_back(DecodeUtf8(line));
        if (rows.size() < static_cast<size_t>(height)) rows.resize(static_cast<size_t>(height));
    }

    char32_t At(int x, int y) const {
        if (y < 0 || y >= static_cast<int>(rows.size())) return U' ';
        const std::u32string& row = rows[static_cast<size_t>(y)];
        return x >= 0 && x < static_cast<int>(row.size()) ? row[static_cast<size_t>(x)] : U' ';
    }

    std::string Row(int y) const {
        if (y < 0 || y >= static_cast<int>(rows.size())) return {};
        return EncodeUtf8(rows[static_cast<size_t>(y)]);
    }

    // Columns [left, right) of a row.
    std::u32string Slice(int y, int left, int right) const {
        std::u32string text;
        for (int x = left; x < right; ++x) text += At(x, y);
        return text;
    }

    int Height() const { return static_cast<int>(rows.size()); }

    bool Shows(std::string_view text) const {
        for (int y = 0; y < Height(); ++y) {
            if (Contains(Row(y), text)) return true;
        }
        return false;
    }

    bool HasLine(std::string_view line) const {
        for (int y = 0; y < Height(); ++y) {
            if (Trim(Row(y)) == line) return true;
        }
        return false;
    }

    std::string Text() const {
        std::vector<std::string> lines;
        for (int y = 0; y < Height(); ++y) lines.push_back(Row(y));
        return JoinLines(lines);
    }
};

// ---------------------------------------------------------------------------------------------
// Cell colours as capture-pane -e shows them; only the background is kept, which is what tells
// the cursor bar from the rest of a panel.

// The background of every cell of capture-pane -p -e output: a colour index 0-255, -1 for the
// terminal's default, -2 for a direct RGB colour.
std::vector<std::vector<int>> ParseBackgrounds(std::string_view text) {
    std::vector<std::vector<int>> rows;
    for (const std::vector<ScreenCell>& cells : ParseCapture(text)) {
        std::vector<int>& row = rows.emplace_back();
        for (const ScreenCell& cell : cells) row.push_back(cell.background);
    }
    return rows;
}

int BackgroundAt(const std::vector<std::vector<int>>& rows, int x, int y) {
    if (y < 0 || y >= static_cast<int>(rows.size())) return -1;
    const std::vector<int>& row = rows[static_cast<size_t>(y)];
    return x >= 0 && x < static_cast<int>(row.size()) ? row[static_cast<size_t>(x)] : -1;
}

// One panel found on the screen by its double-line frame.
struct PanelFrame {
    int left = -1;    // column of the left frame line
    int right = -1;   // column of the right frame line
    int top = -1;     // row of the top frame line
    int bottom = -1;  // row of the bottom frame line
};

// The panels whose top-left corners stand on the first row that has any, left to right.
std::vector<PanelFrame> FindPanels(const Screen& screen) {
    std::vector<PanelFrame> panels;
    for (int y = 0; y < screen.Height() && panels.empty(); ++y) {
        const std::u32string& row = screen.rows[static_cast<size_t>(y)];
        for (size_t x = 0; x < row.size(); ++x) {
            if (row[x] != U'╔') continue;
            PanelFrame panel;
            panel.left = static_cast<int>(x);
            panel.top = y;
            const size_t corner = row.find(U'╗', x);
            if (corner == std::u32string::npos) continue;
            panel.right = static_cast<int>(corner);
            for (int b = y + 1; b < screen.Height(); ++b) {
                if (screen.At(panel.left, b) == U'╚') {
                    panel.bottom = b;
                    break;
                }
            }
            if (panel.bottom < 0) continue;
            panels.push_back(panel);
            x = corner;
        }
    }
    return panels;
}

// The fields of each row inside a panel, split at the column lines and trimmed; rows with no
// column line (frame separators, the information rows) and blank rows are left out.
std::vector<std::vector<std::string>> PanelTable(const Screen& screen, const PanelFrame& panel) {
    std::vector<std::vector<std::string>> table;
    for (int y = panel.top + 1; y < panel.bottom; ++y) {
        const std::u32string inside = screen.Slice(y, panel.left + 1, panel.right);
        if (inside.find(U'│') == std::u32string::npos) continue;
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            const size_t bar = inside.find(U'│', start);
            fields.push_back(Trim(EncodeUtf8(inside.substr(start, bar - start))));
            if (bar == std::u32string::npos) break;
            start = bar + 1;
        }
        bool blank = true;
        for (const std::string& field : fields) blank = blank && field.empty();
        if (!blank) table.push_back(fields);
    }
    return table;
}

std::string DescribeTable(const std::vector<std::vector<std::string>>& table) {
    std::string text;
    for (const std::vector<std::string>& row : table) {
        text += " ";
        for (const std::string& field : row) text += " [" + field + "]";
        text += "\n";
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// One tmux server (own socket, no configuration, minimal environment) running kq.

class TmuxSession {
  public:
    // Prepares a temporary folder (the listed directory, the settings folder, the pane's
    // script) and starts a cols x rows session whose shell saves the terminal settings, prints
    // a line, waits for Go(), runs kq on the directory, prints its exit status, saves the
    // settings again and goes on as an interactive shell.
    // beforeKq: shell lines run just before kq (terminal settings a test needs).
    TmuxSession(int cols, int rows, const std::string& beforeKq = "") : rows_(rows) {
        if (server_.Folder().empty()) {
            startError_ = "cannot create the temporary folder";
            return;
        }
        dir_ = server_.Folder();
        work_ = (dir_ / "top" / "work").string();
        std::filesystem::create_directories(dir_ / "config");
        if (!PrepareDirectory()) {
            startError_ = "cannot prepare the listed directory";
            return;
        }

        const std::string d = dir_.string();
        std::ofstream script(dir_ / "run.sh");
        script << "ulimit -c 0\n"
               << "unset LC_ALL LC_MESSAGES LC_CTYPE\n"
               << "export LANG=C.UTF-8 KQ_CODEPAGE=437 TZ=" << kTimeZone
               << " KQ_CONFIG_HOME=" << ShellQuote(d + "/config") << "\n"
               << "cd " << ShellQuote(d) << "\n"
               << "stty -g > before.tmp && mv before.tmp before.stty\n"
               << "printf 'hello before\\n'\n"
               << "while [ ! -e go ]; do sleep 0.05; done\n"
               << beforeKq
               << "\n"
               // kq keeps the shell's process id, which the tests signal.
               << "sh -c 'echo $$ > kq.pid; exec \"$0\" \"$@\"' " << ShellQuote(KQ_BINARY) << ' '
               << ShellQuote(work_) << " 2> kq.err\n"
               << "echo \"EXIT=$?\"\n"
               << "stty -g > after.tmp && mv after.tmp after.stty\n"
               << "PS1='$ ' exec /bin/sh -i\n";
        script.close();

        started_ = server_.StartSession(kSession, kTerm, cols, rows,
                                        "/bin/sh " + ShellQuote(d + "/run.sh"), startError_);
    }

    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    bool Started() const { return started_; }
    const std::string& StartError() const { return startError_; }
    // The directory kq lists, as its command line shows it.
    const std::string& WorkDirectory() const { return work_; }

    CommandResult Tmux(const std::vector<std::string>& arguments) const {
        return server_.Tmux(arguments);
    }
    std::string Display(const std::string& format) const {
        return server_.Display(kSession, format);
    }
    std::string PaneFlags() const { return Display(kPaneFlagsFormat); }
    bool AlternateScreen() const { return Display("#{alternate_on}") == "1"; }

    std::vector<std::string> CaptureText() const {
        return SplitLines(Tmux({"capture-pane", "-p", "-N", "-t", kSession}).output);
    }
    Screen Capture() const { return Screen(CaptureText(), rows_); }
    std::vector<std::vector<int>> CaptureBackgrounds() const {
        return ParseBackgrounds(Tmux({"capture-pane", "-p", "-e", "-N", "-t", kSession}).output);
    }
    // The terminal's main screen while the program shows the alternate one: what the commands
    // really printed.
    Screen CaptureMainScreen() const {
        return Screen(
            SplitLines(Tmux({"capture-pane", "-p", "-a", "-q", "-N", "-t", kSession}).output),
            rows_);
    }

    void SendKeys(const std::vector<std::string>& keys) const {
        std::vector<std::string> arguments = {"send-keys", "-t", kSession};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        Tmux(arguments);
    }
    void SendText(const std::string& text) const {
        Tmux({"send-keys", "-t", kSession, "-l", text});
    }

    void Resize(int cols, int rows) {
        Tmux({"resize-window", "-t", kSession, "-x", std::to_string(cols), "-y",
              std::to_string(rows)});
        rows_ = rows;
    }

    // Lets the shell run kq.
    void Go() const { std::ofstream(dir_ / "go").put('\n'); }
    pid_t KqPid() const { return static_cast<pid_t>(std::stol(File("kq.pid"))); }
    void Signal(int signalNumber) const { ::kill(KqPid(), signalNumber); }
    // Pastes text as the terminal does, bracketed when the program asked for it.
    void Paste(const std::string& text) const {
        Tmux({"set-buffer", "-b", "pasted", text});
        Tmux({"paste-buffer", "-p", "-d", "-b", "pasted", "-t", kSession});
    }

    std::string File(const char* name) const { return ReadFile(dir_ / name); }
    bool HasFile(const char* name) const { return std::filesystem::exists(dir_ / name); }

    // The shell's "EXIT=n", wherever it landed on the screen; empty while kq runs.
    std::string ExitLine() const {
        for (const std::string& line : CaptureText()) {
            const size_t found = line.find("EXIT=");
            if (found != std::string::npos) return Trim(line.substr(found));
        }
        return {};
    }

  private:
    // The listed directory: three files of known sizes and a subdirectory, all with the same
    // modification time, as has the directory above it (which ".." stands for).
    bool PrepareDirectory() const {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(work_) / "sub", error);
        if (error) return false;
        const struct {
            const char* name;
            size_t size;
        } files[] = {{"alpha.txt", 1234}, {"beta.bin", 0}, {"PROG.EXE", 56789}};
        for (const auto& file : files) {
            std::ofstream out(std::filesystem::path(work_) / file.name, std::ios::binary);
            out << std::string(file.size, 'x');
            if (!out) return false;
        }
        // Something for the directory-size count to find.
        std::ofstream inner(std::filesystem::path(work_) / "sub" / "inner.dat", std::ios::binary);
        inner << std::string(kInnerSize, 'y');
        if (!inner) return false;
        inner.close();
        const timespec times[2] = {{kFileTime, 0}, {kFileTime, 0}};
        for (const char* name : {"alpha.txt", "beta.bin", "PROG.EXE", "sub", ".."}) {
            const std::string path = work_ + "/" + name;
            if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return false;
        }
        return true;
    }

    kq::testing::TmuxServer server_{"/tmp/kq-e2e-XXXXXX"};
    std::filesystem::path dir_;
    std::string work_;
    int rows_;
    bool started_ = false;
    std::string startError_;
};

// ---------------------------------------------------------------------------------------------

// Fault caught: a start directory too long for the panels' 512-byte buffers opened them at "/".
TEST(KqStartTest, StartDirectoryBeyondThePanelsBufferIsRefusedWithTheReason) {
    char folder[] = "/tmp/kq-start-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string part = "/" + std::string(200, 'd');
    const std::string deep = folder + part + part + part;
    std::filesystem::create_directories(deep);
    const CommandResult run = RunCommand({KQ_BINARY, deep}, {"TERM=dumb"});
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(ExitedWith(run, 2) && Contains(run.errors, "File name too long")) << run.errors;
}

class KqTmuxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxPath()) GTEST_SKIP() << "tmux is not installed";
        if (!KQ_HAVE_LANGUAGE_MODULES) GTEST_SKIP() << "the language modules are not built";
    }

    // Starts the session, records how the pane looks before kq runs, starts kq and waits
    // until both panels and the command line are drawn.
    void StartKq(int cols = kCols, int rows = kRows, const std::string& beforeKq = "") {
        session_ = std::make_unique<TmuxSession>(cols, rows, beforeKq);
        ASSERT_TRUE(session_->Started()) << "tmux did not start: " << session_->StartError();
        ASSERT_TRUE(WaitUntil([&] {
            const auto lines = session_->CaptureText();
            return session_->HasFile("before.stty") && !lines.empty() && lines[0] == "hello before";
        })) << "the shell did not start";
        flagsBefore_ = session_->PaneFlags();
        ASSERT_NE(flagsBefore_, "");
        session_->Go();
        ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    }

    std::string Prompt() const { return session_->WorkDirectory() + ">"; }
    std::string CommandLine() const {
        const Screen screen = session_->Capture();
        return Trim(screen.Row(screen.Height() - 1));
    }
    // Waits until the command line reads line (the prompt included).
    void WaitForCommandLine(const std::string& line) {
        ASSERT_TRUE(WaitUntil([&] { return CommandLine() == line; }))
            << "the command line shows [" << CommandLine() << "], not [" << line << "]";
    }
    std::string WorkFile(const std::string& name) const {
        return ReadFile(std::filesystem::path(session_->WorkDirectory()) / name);
    }

    // The interface is shown: two panels, column titles, and the command line on the last row
    // with nothing typed.
    bool InterfaceShown(const Screen& screen) const {
        if (!session_->AlternateScreen()) return false;
        if (FindPanels(screen).size() != 2) return false;
        if (!screen.Shows("Name")) return false;
        return Trim(screen.Row(screen.Height() - 1)) == Prompt();
    }

    void WaitForInterface() {
        Screen screen = session_->Capture();
        ASSERT_TRUE(WaitUntil([&] {
            screen = session_->Capture();
            return InterfaceShown(screen);
        })) << "the panels are not shown; screen:\n"
            << screen.Text() << "errors:\n"
            << session_->File("kq.err");
    }

    // Waits until the screen shows what the condition looks for; the screen in the message.
    void WaitForScreen(const std::function<bool(const Screen&)>& condition, const char* what) {
        Screen screen = session_->Capture();
        ASSERT_TRUE(WaitUntil([&] {
            screen = session_->Capture();
            return condition(screen);
        })) << what
            << "; screen:\n"
            << screen.Text();
    }

    // Types a command on the command line, waits until it is shown there and runs it.
    void TypeCommand(const std::string& command) {
        session_->SendText(command);
        ASSERT_NO_FATAL_FAILURE(WaitForScreen(
            [&](const Screen& screen) {
                return Trim(screen.Row(screen.Height() - 1)) == Prompt() + command;
            },
            "the command line does not show the typed command"));
        session_->SendKeys({"Enter"});
    }

    // Ctrl+O: the panels go away and the main screen shows behind the command line.
    void HidePanels() {
        session_->SendKeys({"C-o"});
        ASSERT_NO_FATAL_FAILURE(
            WaitForScreen([](const Screen& screen) { return FindPanels(screen).empty(); },
                          "Ctrl+O did not hide the panels"));
    }

    void ShowPanels() {
        session_->SendKeys({"C-o"});
        ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    }

    // F10 and Enter on the exit question's default button; waits until the shell has printed
    // kq's exit status and saved the terminal settings again.
    void Quit() {
        session_->SendKeys({"F10"});
        ASSERT_NO_FATAL_FAILURE(
            WaitForScreen([](const Screen& screen) { return screen.Shows("Yes"); },
                          "F10 did not ask the exit question"));
        session_->SendKeys({"Enter"});
        ASSERT_TRUE(WaitUntil([&] {
            return !session_->ExitLine().empty() && session_->HasFile("after.stty");
        })) << "kq did not end; screen:\n"
            << session_->Capture().Text() << "errors:\n"
            << session_->File("kq.err");
        EXPECT_EQ(session_->ExitLine(), "EXIT=0") << "errors:\n" << session_->File("kq.err");
    }

    std::unique_ptr<TmuxSession> session_;
    std::string flagsBefore_;
};

// ---------------------------------------------------------------------------------------------
// The screen after the start: menu bar, both panels with the listing, the command line.

// The rows, top to bottom, whose first cell inside the panel has another background than the
// panel's frame: the cursor bar (and selected items, of which there are none here).
std::vector<int> HighlightedRows(const std::vector<std::vector<int>>& backgrounds,
                                 const PanelFrame& panel) {
    std::vector<int> rows;
    for (int y = panel.top + 1; y < panel.bottom; ++y) {
        if (BackgroundAt(backgrounds, panel.left + 1, y) !=
            BackgroundAt(backgrounds, panel.left, y)) {
            rows.push_back(y);
        }
    }
    return rows;
}

TEST_F(KqTmuxTest, ShowsBothPanelsWithTheDirectoryListing) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    const Screen screen = session_->Capture();
    SCOPED_TRACE("screen:\n" + screen.Text());

    // The menu bar on the first row, the clock "hh:mm" at its right end (the colon blinks).
    EXPECT_TRUE(Contains(screen.Row(0), "Files")) << screen.Row(0);
    const std::string clock = Trim(EncodeUtf8(screen.Slice(0, kCols - 6, kCols)));
    ASSERT_EQ(clock.size(), 5u) << "no clock at the top right: [" << clock << "]";
    for (const size_t digit : {0u, 1u, 3u, 4u}) {
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(clock[digit])))
            << "clock: [" << clock << "]";
    }
    EXPECT_TRUE(clock[2] == ':' || clock[2] == ' ') << "clock: [" << clock << "]";

    // Two panels side by side that share the width, from below the menu bar down to the row
    // above the command line.
    const std::vector<PanelFrame> panels = FindPanels(screen);
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_EQ(panels[0].left, 0);
    EXPECT_EQ(panels[1].right, kCols - 1);
    EXPECT_EQ(panels[0].right + 1, panels[1].left);
    EXPECT_EQ(panels[0].right + 1, kCols / 2);
    EXPECT_EQ(panels[0].top, 1);
    EXPECT_EQ(panels[1].top, 1);
    EXPECT_EQ(panels[0].bottom, kRows - 2);
    EXPECT_EQ(panels[1].bottom, kRows - 2);

    // Both panels list the directory: "..", the subdirectory, then the files by name, each
    // with its size (a mark for directories), date and time in local time.
    const std::vector<std::vector<std::string>> expectedItems = {
        {"..", "◄Up►", kFileDate, kFileClock},        {"sub", "►Dir◄", kFileDate, kFileClock},
        {"alpha.txt", "1234", kFileDate, kFileClock}, {"beta.bin", "0", kFileDate, kFileClock},
        {"PROG.EXE", "56789", kFileDate, kFileClock},
    };
    for (size_t i = 0; i < panels.size(); ++i) {
        SCOPED_TRACE(i == 0 ? "left panel" : "right panel");
        std::vector<std::vector<std::string>> table = PanelTable(screen, panels[i]);
        ASSERT_EQ(table.size(), expectedItems.size() + 1) << DescribeTable(table);

        // The column titles; the name's column starts with the sort mode's letter.
        std::vector<std::string> titles = table[0];
        ASSERT_EQ(titles.size(), 4u) << DescribeTable(table);
        EXPECT_TRUE(StartsWith(titles[0], "n")) << "sort letter: " << titles[0];
        titles[0] = Trim(titles[0].substr(1));
        EXPECT_EQ(titles, (std::vector<std::string>{"Name", "Size", "Date", "Time"}));

        table.erase(table.begin());
        EXPECT_EQ(table, expectedItems) << "the panel shows:\n" << DescribeTable(table);

        // The information line on the bottom frame: the total size and the counts, ".." left
        // out.
        const std::string bottom =
            EncodeUtf8(screen.Slice(panels[i].bottom, panels[i].left, panels[i].right + 1));
        EXPECT_TRUE(Contains(bottom, "58,023 bytes in 1 dirs and 3 files"))
            << "bottom frame: " << bottom;
    }

    // The command line: the current directory and ">".
    EXPECT_EQ(Trim(screen.Row(kRows - 1)), Prompt());
}

// Each panel draws its cursor bar only while it is the active one; the left panel is not. The
// panels are drawn anew after a command ran and after Ctrl+O, so those draws are checked too.
void ExpectCursorBarOnlyInTheRightPanel(const TmuxSession& session) {
    const Screen screen = session.Capture();
    const std::vector<std::vector<int>> backgrounds = session.CaptureBackgrounds();
    const std::vector<PanelFrame> panels = FindPanels(screen);
    ASSERT_EQ(panels.size(), 2u) << screen.Text();
    // The cursor stands on "..", the first row below the column titles.
    EXPECT_EQ(HighlightedRows(backgrounds, panels[1]), std::vector<int>{panels[1].top + 2})
        << "the active (right) panel's cursor bar; screen:\n"
        << screen.Text();
    EXPECT_EQ(HighlightedRows(backgrounds, panels[0]), std::vector<int>{})
        << "the inactive (left) panel shows a cursor bar; screen:\n"
        << screen.Text();
}

TEST_F(KqTmuxTest, InactivePanelDrawsNoCursorBar) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    {
        SCOPED_TRACE("after the start");
        ExpectCursorBarOnlyInTheRightPanel(*session_);
    }
    ASSERT_NO_FATAL_FAILURE(TypeCommand("true"));
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    {
        SCOPED_TRACE("after a command");
        ExpectCursorBarOnlyInTheRightPanel(*session_);
    }
    ASSERT_NO_FATAL_FAILURE(HidePanels());
    ASSERT_NO_FATAL_FAILURE(ShowPanels());
    {
        SCOPED_TRACE("after Ctrl+O twice");
        ExpectCursorBarOnlyInTheRightPanel(*session_);
    }
}

// ---------------------------------------------------------------------------------------------
// Running commands from the command line; Ctrl+O shows their output behind the panels.

// The row of the screen whose text is line, -1 when there is none.
int RowOf(const Screen& screen, std::string_view line) {
    for (int y = 0; y < screen.Height(); ++y) {
        if (Trim(screen.Row(y)) == line) return y;
    }
    return -1;
}

TEST_F(KqTmuxTest, RunsACommandAndShowsItsOutputBehindThePanels) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    ASSERT_NO_FATAL_FAILURE(TypeCommand("echo hello"));
    // When the command has run, the interface comes back with an empty command line.
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    ASSERT_NO_FATAL_FAILURE(TypeCommand("echo again"));
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());

    ASSERT_NO_FATAL_FAILURE(HidePanels());
    const Screen behind = session_->Capture();
    SCOPED_TRACE("behind the panels:\n" + behind.Text());
    // Each command's line, its output and two empty lines, one command after the other.
    const int first = RowOf(behind, Prompt() + "echo hello");
    ASSERT_GE(first, 0);
    EXPECT_EQ(Trim(behind.Row(first + 1)), "hello");
    EXPECT_EQ(Trim(behind.Row(first + 2)), "");
    EXPECT_EQ(Trim(behind.Row(first + 3)), "");
    EXPECT_EQ(Trim(behind.Row(first + 4)), Prompt() + "echo again");
    EXPECT_EQ(Trim(behind.Row(first + 5)), "again");
    EXPECT_EQ(Trim(behind.Row(behind.Height() - 1)), Prompt());

    // What is shown is the terminal's own main screen, row for row, from the first command
    // down to the command line (what the terminal showed before the program started is not
    // known to it).
    const Screen main = session_->CaptureMainScreen();
    for (int y = first; y < behind.Height() - 1; ++y) {
        EXPECT_EQ(Trim(behind.Row(y)), Trim(main.Row(y)))
            << "row " << y << "; the terminal's main screen:\n"
            << main.Text();
    }

    ASSERT_NO_FATAL_FAILURE(ShowPanels());
    const Screen back = session_->Capture();
    EXPECT_FALSE(back.Shows("hello")) << back.Text();
    const std::vector<PanelFrame> panels = FindPanels(back);
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_EQ(PanelTable(back, panels[1]).size(), 6u) << back.Text();
}

TEST_F(KqTmuxTest, RunsACommandThatReadsFromTheTerminal) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    const std::string command = "read x; echo got$x";
    ASSERT_NO_FATAL_FAILURE(TypeCommand(command));
    // The command runs on the terminal's main screen, waiting for its input.
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [&](const Screen& screen) {
            return !session_->AlternateScreen() && screen.HasLine(Prompt() + command);
        },
        "the command's line is not shown on the main screen while it runs"));
    session_->SendText("42");
    session_->SendKeys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());

    ASSERT_NO_FATAL_FAILURE(HidePanels());
    const Screen behind = session_->Capture();
    SCOPED_TRACE("behind the panels:\n" + behind.Text());
    const int row = RowOf(behind, Prompt() + command);
    ASSERT_GE(row, 0);
    EXPECT_EQ(Trim(behind.Row(row + 1)), "42") << "the typed answer, echoed by the terminal";
    EXPECT_EQ(Trim(behind.Row(row + 2)), "got42");
    ASSERT_NO_FATAL_FAILURE(ShowPanels());
}

// ---------------------------------------------------------------------------------------------
// Ending the program gives the terminal back as it was found.

TEST_F(KqTmuxTest, RestoresTheTerminalAfterF10) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    ASSERT_NO_FATAL_FAILURE(Quit());

    EXPECT_EQ(session_->File("after.stty"), session_->File("before.stty"))
        << "the terminal settings were not restored";
    // The main screen, the cursor shown, and every other mode as before.
    EXPECT_EQ(session_->Display("#{alternate_on} #{cursor_flag}"), "0 1");
    EXPECT_EQ(session_->PaneFlags(), flagsBefore_);
    const Screen screen = session_->Capture();
    EXPECT_TRUE(screen.HasLine("hello before")) << "the main screen did not come back:\n"
                                                << screen.Text();
    EXPECT_FALSE(screen.Shows("║")) << "the panels are still shown:\n" << screen.Text();

    // The shell after kq reads and runs what is typed.
    session_->SendText("echo done-marker");
    session_->SendKeys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(
        WaitForScreen([](const Screen& shown) { return shown.HasLine("done-marker"); },
                      "the shell does not answer after kq ended"));
}

// ---------------------------------------------------------------------------------------------
// Resizes lay the screen out again for the new size.

// Whether the screen is laid out for cols x rows: the menu bar alone on the first row with the
// clock at its right end, the two panels sharing the width from the second row down to the row
// above the command line, each listing the directory, and the command line on the last row.
bool LaidOutFor(const Screen& screen, int cols, int rows, const std::string& prompt) {
    const std::string menuBar = screen.Row(0);
    if (!Contains(menuBar, "Files") || Contains(menuBar, "═")) return false;
    const std::string clock = Trim(EncodeUtf8(screen.Slice(0, cols - 6, cols)));
    if (clock.size() != 5 || (clock[2] != ':' && clock[2] != ' ')) return false;
    const std::vector<PanelFrame> panels = FindPanels(screen);
    if (panels.size() != 2) return false;
    if (panels[0].left != 0 || panels[0].right + 1 != cols / 2 || panels[1].left != cols / 2 ||
        panels[1].right != cols - 1) {
        return false;
    }
    for (const PanelFrame& panel : panels) {
        if (panel.top != 1 || panel.bottom != rows - 2) return false;
        if (PanelTable(screen, panel).size() != 6) return false;
    }
    return Trim(screen.Row(rows - 1)) == prompt;
}

// Resizes the window and waits until the screen is laid out for the new size.
void ResizeAndExpectLayout(TmuxSession& session, int cols, int rows, const std::string& prompt) {
    session.Resize(cols, rows);
    Screen screen = session.Capture();
    EXPECT_TRUE(WaitUntil([&] {
        screen = session.Capture();
        return LaidOutFor(screen, cols, rows, prompt);
    })) << "the screen is not laid out for "
        << cols << "x" << rows << "; screen:\n"
        << screen.Text();
}

TEST_F(KqTmuxTest, RelaysTheScreenOutAfterAResize) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    ASSERT_TRUE(LaidOutFor(session_->Capture(), kCols, kRows, Prompt()))
        << session_->Capture().Text();
    ResizeAndExpectLayout(*session_, 120, 40, Prompt());
    ASSERT_NO_FATAL_FAILURE(Quit());
}

// Making the window smaller moved the panels up over the menu bar and left them short of the
// command line; growing it again afterwards kept the panels of unequal widths.
TEST_F(KqTmuxTest, ShrinkingTheWindowKeepsThePanelsBetweenMenuBarAndCommandLine) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    ResizeAndExpectLayout(*session_, 80, 25, Prompt());
    ResizeAndExpectLayout(*session_, kCols, kRows, Prompt());
    ASSERT_NO_FATAL_FAILURE(Quit());
}

// ---------------------------------------------------------------------------------------------
// Working in the panels: moving into a directory and back, selecting by mask, measuring a
// directory.

// The right panel's row (a screen row) that carries the cursor bar, -1 when none does.
int CursorRowOfRightPanel(const TmuxSession& session) {
    const Screen screen = session.Capture();
    const std::vector<PanelFrame> panels = FindPanels(screen);
    if (panels.size() != 2) return -1;
    const std::vector<int> rows = HighlightedRows(session.CaptureBackgrounds(), panels[1]);
    return rows.size() == 1 ? rows[0] : -1;
}

// The text of the right panel's name column on a screen row.
std::string RightPanelNameAt(const Screen& screen, int y) {
    const std::vector<PanelFrame> panels = FindPanels(screen);
    if (panels.size() != 2) return {};
    const std::u32string inside = screen.Slice(y, panels[1].left + 1, panels[1].right);
    return Trim(EncodeUtf8(inside.substr(0, inside.find(U'│'))));
}

TEST_F(KqTmuxTest, EntersADirectoryAndComesBackWithTheCursorOnIt) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    const std::string work = session_->WorkDirectory();
    session_->SendKeys({"Down"});  // from ".." to "sub"
    ASSERT_TRUE(WaitUntil([&] {
        const int row = CursorRowOfRightPanel(*session_);
        return row >= 0 && RightPanelNameAt(session_->Capture(), row) == "sub";
    })) << "the cursor did not reach sub; screen:\n"
        << session_->Capture().Text();
    session_->SendKeys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [&](const Screen& screen) {
            return Trim(screen.Row(screen.Height() - 1)) == work + "/sub>" &&
                   screen.Shows("inner.dat");
        },
        "Enter did not open sub"));
    session_->SendKeys({"Enter"});  // the cursor stands on ".." in the new directory
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [&](const Screen& screen) { return Trim(screen.Row(screen.Height() - 1)) == work + ">"; },
        "Enter on .. did not go back"));
    ASSERT_TRUE(WaitUntil([&] {
        const int row = CursorRowOfRightPanel(*session_);
        return row >= 0 && RightPanelNameAt(session_->Capture(), row) == "sub";
    })) << "the cursor is not on the directory left; screen:\n"
        << session_->Capture().Text();
}

TEST_F(KqTmuxTest, SelectsTheFilesMatchingAMask) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    session_->SendKeys({"KP+"});
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [](const Screen& screen) { return screen.Shows("Select the files matching"); },
        "keypad + did not ask for a mask"));
    session_->SendText("*.txt");
    session_->SendKeys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [](const Screen& screen) {
            return !screen.Shows("Select the files matching") &&
                   screen.Shows("bytes in 1 selected items");
        },
        "the mask did not select exactly alpha.txt"));
    // The count's size is alpha.txt's.
    EXPECT_TRUE(session_->Capture().Shows("1,234 bytes in 1 selected items") ||
                session_->Capture().Shows("1k bytes in 1 selected items"))
        << session_->Capture().Text();
}

TEST_F(KqTmuxTest, CountsTheSizeOfADirectory) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    session_->SendKeys({"Down"});
    ASSERT_TRUE(WaitUntil([&] {
        const int row = CursorRowOfRightPanel(*session_);
        return row >= 0 && RightPanelNameAt(session_->Capture(), row) == "sub";
    }));
    session_->SendKeys({"C-q"});
    // Without "PauseAfterCalc" the dialog stays open after the count, with the result.
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [](const Screen& screen) {
            return screen.Shows("Directory size") && screen.Shows("4,321") && screen.Shows("OK");
        },
        "Ctrl+Q did not show the counted size"));
    session_->SendKeys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(
        [](const Screen& screen) {
            if (screen.Shows("Directory size")) return false;
            const std::vector<PanelFrame> panels = FindPanels(screen);
            if (panels.size() != 2) return false;
            for (const std::vector<std::string>& row : PanelTable(screen, panels[1])) {
                if (row.size() >= 2 && row[0] == "sub") return row[1] == "4321";
            }
            return false;
        },
        "the size column does not show the measured size"));
}

// ---------------------------------------------------------------------------------------------
// What the user types, pastes and does to the process reaches the right place.

// Commands ran in the directory of the last panel activation: after Enter on sub, pwd printed
// the directory above it.
TEST_F(KqTmuxTest, CommandRunsInTheDirectoryThePanelMovedTo) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    const std::string work = session_->WorkDirectory();
    session_->SendKeys({"Down", "Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(work + "/sub>"));
    session_->SendText("pwd > ../where");
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(work + "/sub>pwd > ../where"));
    session_->SendKeys({"Enter"});
    EXPECT_TRUE(WaitUntil([&] { return WorkFile("where") == work + "/sub\n"; }))
        << "pwd printed [" << WorkFile("where") << "]";
}

// Characters the code page lacks became '?': "touch made-Привет" under 437 created
// "made-??????" (and rm -r would have globbed). They are refused; a paste is text that runs
// only on Enter, and its escape sequences do nothing.
TEST_F(KqTmuxTest, LackingCharactersAndPastesNeverRunAsSomethingElse) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    session_->SendText("touch made-Привет");
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(Prompt() + "touch made-"));
    session_->SendKeys({"Escape"});
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(Prompt()));

    session_->Paste("echo A > pasted1\x1b[21~\necho B > pasted2");
    // The line end shows as the code page's glyph for byte 0x0A; ESC is left out.
    ASSERT_NO_FATAL_FAILURE(
        WaitForCommandLine(Prompt() + "echo A > pasted1[21~\u25D9echo B > pasted2"));
    EXPECT_FALSE(session_->Capture().Shows("Yes")) << "the paste's F10 asked to quit";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(std::filesystem::exists(session_->WorkDirectory() + "/pasted2"));
    session_->SendKeys({"Enter"});
    EXPECT_TRUE(WaitUntil([&] { return WorkFile("pasted2") == "B\n"; }));
    EXPECT_EQ(WorkFile("pasted1[21~"), "A\n");
}

// kill -TERM during "sleep" did nothing and kq ran on afterwards. The command ends by the
// signal and so does kq, with the terminal given back.
TEST_F(KqTmuxTest, TerminationDuringACommandEndsItAndKq) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    ASSERT_NO_FATAL_FAILURE(TypeCommand("sleep 7531"));
    ASSERT_TRUE(WaitUntil([&] { return !session_->AlternateScreen(); }));
    session_->Signal(SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return session_->HasFile("after.stty"); }))
        << session_->Capture().Text();
    EXPECT_EQ(session_->ExitLine(), "EXIT=143");
    EXPECT_EQ(session_->File("after.stty"), session_->File("before.stty"));
    EXPECT_EQ(session_->PaneFlags(), flagsBefore_);
    const CommandResult sleeping = RunCommand({"/usr/bin/pgrep", "-f", "sleep 7531"}, {});
    EXPECT_TRUE(ExitedWith(sleeping, 1)) << "still running: " << sleeping.output;
}

// Stopped with SIGTSTP and continued, kq left raw mode off (keys echoed as ^[[B) and drew
// nothing. The terminal is given back while stopped and taken again after.
TEST_F(KqTmuxTest, StoppedAndContinuedKqTakesTheTerminalAgain) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    session_->Signal(SIGTSTP);
    ASSERT_TRUE(WaitUntil([&] {
        const std::string status = ReadFile("/proc/" + std::to_string(session_->KqPid()) + "/stat");
        return status.find(") T ") != std::string::npos;
    })) << "kq did not stop";
    EXPECT_FALSE(session_->AlternateScreen());
    EXPECT_TRUE(session_->Capture().HasLine("hello before")) << session_->Capture().Text();
    session_->Signal(SIGCONT);
    ASSERT_NO_FATAL_FAILURE(WaitForInterface());
    session_->SendKeys({"Down", "Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(session_->WorkDirectory() + "/sub>"));
}

// With the terminal's erase character ^H, Backspace arrived as Ctrl+H and switched hidden
// files instead of erasing.
TEST_F(KqTmuxTest, BackspaceSentAsCtrlHErases) {
    ASSERT_NO_FATAL_FAILURE(StartKq(kCols, kRows, "stty erase '^H'"));
    session_->SendText("abc");
    session_->SendKeys({"C-h"});
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(Prompt() + "ab"));
}

TEST(KqStartTest, CodePageThatCannotBeDrawnInIsRefusedWithAMessage) {
    for (const char* setting : {"65001", "932", "4711", "cp437"}) {
        const CommandResult run =
            RunCommand({KQ_BINARY}, {"KQ_CODEPAGE=" + std::string(setting), "TERM=xterm"});
        EXPECT_TRUE(ExitedWith(run, 2)) << setting;
        EXPECT_TRUE(Contains(run.errors, "KQ_CODEPAGE=" + std::string(setting) + " cannot be used"))
            << run.errors;
    }
}

// Faults caught: Enter on a directory removed since it was listed, and F7 on a name that
// exists, said nothing; a panel whose directory was removed stayed blank after Ctrl+R. Each
// message fits one row of the box at this width.
TEST_F(KqTmuxTest, RefusalsAreExplainedAndPanelsNeverGoBlank) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    const std::string work = session_->WorkDirectory();
    const auto shows = [](const char* text) {
        return [text](const Screen& screen) { return screen.Shows(text); };
    };
    std::filesystem::remove_all(work + "/sub");
    session_->SendKeys({"Down", "Enter"});  // from ".." to "sub", listed before it went
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(shows("sub: No such file or directory."), "Enter"));
    session_->SendKeys({"Enter", "F7"});
    session_->SendText("alpha.txt");
    session_->SendKeys({"Enter"});
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(shows("alpha.txt: File exists."), "F7"));
    session_->SendKeys({"Enter"});
    std::filesystem::create_directories(work + "/deep/er");
    ASSERT_NO_FATAL_FAILURE(TypeCommand("cd  deep/er"));
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(work + "/deep/er>"));
    std::filesystem::remove_all(work + "/deep");
    session_->SendKeys({"C-r"});
    ASSERT_NO_FATAL_FAILURE(WaitForCommandLine(Prompt()));
    ASSERT_NO_FATAL_FAILURE(WaitForScreen(shows("PROG.EXE"), "the panel went blank"));
}

// Faults caught: narrow panels lost the names and the information line's figures, and a series
// of resizes back to the first width left the panels of unequal widths.
TEST_F(KqTmuxTest, NarrowPanelsKeepNamesAndFiguresAndTheWidthComesBackEven) {
    ASSERT_NO_FATAL_FAILURE(StartKq());
    for (const int cols : {44, 37, 61}) {
        session_->Resize(cols, kRows);
        ASSERT_NO_FATAL_FAILURE(WaitForScreen(
            [cols](const Screen& screen) {
                const std::vector<PanelFrame> panels = FindPanels(screen);
                if (panels.size() != 2 || panels[1].right != cols - 1) return false;
                const auto row = [&](int y) {
                    return EncodeUtf8(screen.Slice(y, panels[1].left, cols));
                };
                return StartsWith(row(panels[1].top + 4), "║alpha.txt") &&
                       Contains(row(panels[1].bottom), "3 f");
            },
            "a narrow panel lost its names or its figures"));
    }
    ResizeAndExpectLayout(*session_, kCols, kRows, Prompt());
}

}  // namespace
