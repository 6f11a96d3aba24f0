// The shell on the in-memory console, with settings of its own, the English language module and
// the local file system plugin: the layout from the settings, the keys that move, hide, show
// and swap the panels, the command line's drawing, running commands and "cd".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/config.h"
#include "kq/host.h"
#include "kq/kernel.h"
#include "kq/keys.h"
#include "kq/plugin.h"
#include "kq/resources.h"
#include "kq/text.h"
#include "panels/ZFilePanel.h"
#include "plugins/PluginTable.h"
#include "shell/PromptLine.h"
#include "shell/PromptParts.h"
#include "support/TempFolder.h"
#include "ui/DesktopHooks.h"
#include "ui/DesktopInternal.h"
#include "ui/ZKeyBar.h"

namespace kq::shell {
namespace {

uint32_t Key(uint8_t code, uint32_t flags = 0, uint8_t character = 0) {
    return KEY_EVENT(code, character, KF_DOWN | flags);
}
const auto Ctrl = [](uint8_t code) { return Key(code, KF_LCTRL); };
const uint32_t kEnter = Key(KC_ENTER, 0, '\r');
const uint32_t kEndOfKeys = KEY_EVENT(KC_NONE, 0, KF_DOWN);
const uint32_t kEsc = Key(KC_ESC, 0, 27);
const auto Letter = [](char c) { return Key(static_cast<uint8_t>(c | 0x20), 0, c); };
const uint32_t kTab = Key(KC_TAB, 0, 9);
// A field's old text goes: End, then Backspace over it.
const std::vector<uint32_t> kClearField = {Key(KC_END), Key(KC_BACK, 0, 8), Key(KC_BACK, 0, 8),
                                           Key(KC_BACK, 0, 8)};
std::vector<uint32_t> Typed(std::string_view text) {
    std::vector<uint32_t> keys;
    for (const char c : text)
        keys.push_back(Key(static_cast<uint8_t>(c), 0, static_cast<uint8_t>(c)));
    return keys;
}

const auto RectOf = [](const ZWindow& window) {
    ZRec rect;
    window.GetPos(rect);
    return rect;
};
// "x,y,w,h" of each window, separated by blanks.
std::string Rects(std::initializer_list<const ZWindow*> windows) {
    std::string text;
    for (const ZWindow* window : windows) {
        const ZRec r = RectOf(*window);
        text += (text.empty() ? "" : " ") + std::to_string(r.x) + "," + std::to_string(r.y) + "," +
                std::to_string(r.w) + "," + std::to_string(r.h);
    }
    return text;
}
const auto Visible = [](const ZWindow& window) { return (window.GetFlags() & WF_VISIBLE) != 0; };

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KQ_CODEPAGE", "437", 1);
        ASSERT_EQ(CfgInit("kq-shell-test"), 0);
        ColDefaultPalette();
        if (*KQ_LANG_ENGLISH) language_ = KeLoadDll(KQ_LANG_ENGLISH);
        ASSERT_NE(language_, -1);
        ResSetLanguage(language_);
        ASSERT_EQ(PluginsLoad(folder_.Path("no-plugins").c_str()), 0);
        ASSERT_EQ(chdir(work_.c_str()), 0);
    }
    void TearDown() override {
        if (shell_) shell_->Destroy();
        if (console) ZDesktop::Quit(1), kq::console::InstallBackend(nullptr);
        while (PluginsFree() == 1) continue;
        // The language chosen in a test has replaced (and freed) the one loaded here.
        const KeHandle current = ResGetLanguage();
        ResSetLanguage(0);
        if (current > 0) KeFreeDll(current);
        CfgShutdown();
        (void)!chdir("/");
    }
    // The desktop on an in-memory console of this size, and the shell.
    void Start(int cols = 80, int rows = 25) {
        console = std::make_shared<kq::console::MemoryConsole>(cols, rows);
        kq::console::InstallBackend(console);
        ASSERT_EQ(kq::ui::DesktopOpen(nullptr), 0);
        shell_ = std::make_unique<ZPrompt>();
        ASSERT_EQ(shell_->Create(), 0);
    }
    // Queues the keys and lets the desktop's input loop dispatch them, up to an end marker.
    void Press(const std::vector<uint32_t>& keys) {
        static std::atomic<int> stop{0};
        stop = 0;
        kq::ui::SaverHooks hooks;
        hooks.takeKey = [](uint32_t event) { return event == kEndOfKeys && (stop = 1); };
        kq::ui::SetSaverHooks(hooks);
        for (const uint32_t key : keys) console->PushKey(key);
        console->PushKey(kEndOfKeys);
        ZDesktop::RunLoop(&stop);
        kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    }
    void Type(const std::string& text) { console->PushText(text), Press({}); }
    void Run(const std::string& command) { Type(command), Press({kEnter}); }
    std::string Line() { return console->RowText(24); }
    static bool Lists(ZFilePanel& panel, const std::string& name) {
        for (int row = 0; row < panel.RowCount(); ++row)
            if (name == panel.CellText(row, 0)) return true;
        return false;
    }

    ZPrompt& Shell() { return *shell_; }
    PromptParts& Parts() { return *CurrentShell(); }
    ZFilePanel& Left() { return *Parts().LeftPanel(); }
    ZFilePanel& Right() { return *Parts().RightPanel(); }
    std::string Layout() { return Rects({&Left(), &Right(), &Shell()}); }
    // Runs a shell command whose dialog answers the keys.
    void Command(int id, std::vector<uint32_t> keys) {
        for (const uint32_t key : keys) console->PushKey(key);
        Shell().OnCommand(id);
    }
    // Stores a number, or a text where a number belongs (a hand-edited store).
    static void Store(const char* section, const char* name, uint32_t value,
                      const char* text = nullptr) {
        const CfgSection handle = CfgOpen(section);
        if (text != nullptr) {
            CfgSetSz(handle, name, text);
        } else {
            CfgSetDw(handle, name, value);
        }
        CfgClose(handle);
    }
    // A stored number as text ("-" when missing or of another kind).
    static std::string Stored(const char* section, const char* name) {
        const CfgSection handle = CfgOpen(section);
        uint32_t value = 0;
        const bool found = CfgQueryDw(handle, name, &value) == 0;
        CfgClose(handle);
        return found ? std::to_string(value) : "-";
    }
    static std::string Stored(const char* section, std::initializer_list<const char*> names) {
        std::string values;
        for (const char* name : names)
            values += (values.empty() ? "" : " ") + Stored(section, name);
        return values;
    }

    kq::test::SettingsHome settings_;
    kq::test::TempFolder folder_{"kq-shell"};
    std::string work_ = folder_.MakeFolder("work");
    std::shared_ptr<kq::console::MemoryConsole> console;
    KeHandle language_ = 0;
    std::unique_ptr<ZPrompt> shell_;
};

// The layout and the keys.
TEST_F(ShellTest, StartsWithMenuPanelsAndCommandLine) {
    Start(81, 25);  // the right panel takes the odd column
    EXPECT_EQ(Layout(), "0,1,40,23 40,1,41,23 0,24,81,1");
    EXPECT_EQ(Rects({&Parts().Menu(), &Parts().Clock()}), "0,0,81,1 76,0,6,1");
    EXPECT_TRUE(Visible(Parts().Menu()) && Visible(Parts().Clock()) && !Visible(*ZKeyBar::Get()));
    EXPECT_TRUE(Parts().Active() == &Right() && ZDesktop::GetFocus() == &Shell());
    EXPECT_TRUE(console->Char(0, 1) == 201 && console->Char(40, 1) == 201);
    EXPECT_EQ(Line().substr(0, work_.size() + 1), work_ + ">");
    Press({kEnter});  // an empty command line runs nothing
    EXPECT_EQ(console->CommandLog(), "");
}

TEST_F(ShellTest, WithoutMenuAndClockButWithKeyBar) {
    const CfgSection handle = CfgOpen("Interface");
    for (const auto& [name, value] :
         {std::pair{"ShowMenu", 0}, {"ShowKeyBar", 1}, {"ShowClock", 0}})
        CfgSetDw(handle, name, value);
    CfgClose(handle);
    Start(80, 25);
    EXPECT_TRUE(!Visible(Parts().Menu()) && Visible(*ZKeyBar::Get()) && !Visible(Parts().Clock()));
    EXPECT_EQ(Layout(), "0,0,40,23 40,0,40,23 0,23,80,1");
}

TEST_F(ShellTest, KeysSwitchHideShowAndSwapThePanels) {
    Start();
    Press({Key(KC_TAB)});
    EXPECT_EQ(Parts().Active(), &Left());
    Press({Key(KC_TAB)});
    EXPECT_EQ(Parts().Active(), &Right());
    Press({Ctrl(KC_F1), Key(KC_TAB)});  // no Tab to a hidden panel, nor to the command line
    EXPECT_TRUE(!Visible(Left()) && Parts().Active() == &Right());
    EXPECT_STREQ(Shell().GetTitle(), "");
    Press({Ctrl(KC_F1)});  // back on, the focus stays with the other
    EXPECT_TRUE(Visible(Left()) && Parts().Active() == &Right() &&
                ZDesktop::GetFocus() == &Shell());
    Press({Ctrl(KC_F2)});  // hiding the active one activates the other
    EXPECT_TRUE(!Visible(Right()) && Parts().Active() == &Left());
    Press({Ctrl(KC_F1), Ctrl(KC_F2)});  // with both hidden, the one back on is activated
    EXPECT_TRUE(!Visible(Left()) && Visible(Right()) && Parts().Active() == &Right());
    Press({Ctrl(KC_F1), Ctrl('p')});  // Ctrl+P: the passive panel
    EXPECT_TRUE(!Visible(Left()) && Visible(Right()));
    Press({Ctrl('p')});
    EXPECT_TRUE(Visible(Left()) && Parts().Active() == &Right());
    Press({Ctrl('o')});  // both hidden; keys then edit the command line
    EXPECT_TRUE(!Visible(Left()) && !Visible(Right()) && ZDesktop::GetFocus() == &Shell());
    Type("ls");
    EXPECT_STREQ(Shell().GetTitle(), "ls");
    Press({Ctrl('o'), Key(KC_ESC)});
    EXPECT_TRUE(Visible(Left()) && Visible(Right()) && Parts().Active() == &Right());
    EXPECT_STREQ(Shell().GetTitle(), "");  // Esc cleared it
    // Ctrl+U swaps them and keeps the active one; Ctrl+F1 then toggles the one now on the left.
    ZFilePanel* active = Parts().Active();
    ZFilePanel* created = &Left();
    Press({Ctrl('u')});
    EXPECT_TRUE(Parts().Active() == active && Rects({active, created}) == "0,1,40,23 40,1,40,23");
    Press({Ctrl(KC_F1)});
    EXPECT_TRUE(!Visible(*active) && Visible(*created));
    Press({Ctrl(KC_F1), Key(KC_F9), Key('c', 0, 'c'), Key('w', 0, 'w')});  // the menu's swap
    EXPECT_EQ(RectOf(*created).x, 0);
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());  // the menu closed
}

TEST_F(ShellTest, CtrlArrowsMoveTheDividerAndTheBottomWithinLimits) {
    Start();
    for (int i = 0; i < 37; ++i) Press({Ctrl(KC_LEFT)});
    ASSERT_EQ(RectOf(Left()).w, 3);
    Press({Ctrl(KC_LEFT), Ctrl(KC_LEFT)});  // stops at two columns
    EXPECT_EQ(Layout(), "0,1,2,23 2,1,78,23 0,24,80,1");
    Press({Ctrl(KC_RIGHT), Ctrl(KC_DOWN)});  // the panels already touch the command line
    EXPECT_EQ(Layout(), "0,1,3,23 3,1,77,23 0,24,80,1");
    for (int i = 0; i < 25; ++i) Press({Ctrl(KC_UP)});  // stops at two rows
    EXPECT_EQ(Layout(), "0,1,3,2 3,1,77,2 0,24,80,1");
}

// The series of resizes and shrinking below the menu bar are checked in the tmux suite.
TEST_F(ShellTest, ResizesKeepTheDividerShareAndStretchToTheCommandLine) {
    Start(100, 30);
    Press({Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT)});  // 45 %
    console->SetSize(120, 40);
    Press({});
    EXPECT_EQ(Layout(), "0,1,54,38 54,1,66,38 0,39,120,1");
    EXPECT_EQ(Rects({&Parts().Menu(), &Parts().Clock()}), "0,0,120,1 115,0,6,1");
    console->SetSize(20, 6);
    Press({});
    EXPECT_EQ(Layout(), "0,1,9,4 9,1,11,4 0,5,20,1");
}

// What the panels do while the plugins stop at quit is checked with a real plugin in tmux.
TEST_F(ShellTest, F10QuitsWhenConfirmed) {
    Start();
    Press({Key(KC_F10), Key(KC_ESC)});
    EXPECT_TRUE(console->IsOpen() && Shell().IsAttached());
    Press({Key(KC_F10), kEnter});
    EXPECT_FALSE(console->IsOpen());
}

// The command line's drawing and the Prompt* functions.
TEST_F(ShellTest, CommandLineShowsDirectoryPromptAndTextWithTheCursorAfterIt) {
    Start();
    EXPECT_STREQ(PromptGetDir(), work_.c_str());  // the active panel's; the title follows
    EXPECT_NE(console->Title().find(work_), std::string::npos);
    PromptSetDir("C:\\WORK");
    Type("dir");
    EXPECT_EQ(Line().substr(0, 12), "C:\\WORK>dir ");
    EXPECT_TRUE(console->Cursor().x == 11 && console->Cursor().y == 24);
    EXPECT_EQ(
        PromptGetDir() + (">" + std::string(PromptGetLine())) + std::to_string(PromptGetCursor()),
        "C:\\WORK>dir3");
    PromptSetDir(nullptr);
    EXPECT_STREQ(PromptGetDir(), "");
    EXPECT_EQ(Line().substr(0, 1), ">");
    // Directories of half the line or more: the first three characters, "... " and the end;
    // beyond the shell's 512-byte buffer, the end of what it keeps.
    for (const size_t length : {40, 50, 600}) {
        std::string directory = "/ab";
        for (int i = 0; directory.size() < length; ++i)
            directory += static_cast<char>('a' + i % 26);
        PromptSetDir(directory.c_str());
        const size_t kept = std::min<size_t>(length, 511);
        EXPECT_EQ(Line().substr(0, 41), "/ab... " + directory.substr(kept - 33, 33) + ">")
            << length;
    }
}

TEST_F(ShellTest, LongTextScrollsWithTheCursor) {
    Start();
    PromptSetDir("/work");
    std::string text;
    for (int i = 0; i < 100; ++i) text += static_cast<char>('a' + i % 26);
    PromptSetLine(text.c_str());
    PromptSetCursor(100);
    // scroll = 100 - 80 + 5 + 2 = 27: the text from index 27 follows the prompt.
    EXPECT_EQ(Line().substr(0, 79), "/work>" + text.substr(27, 73));
    EXPECT_EQ(console->Cursor().x, 79);
    // Home scrolls back to the start; with the panels shown the active panel takes Home.
    Press({Ctrl('o'), Key(KC_HOME)});
    EXPECT_EQ(Line().substr(6, 10), text.substr(0, 10));
    EXPECT_EQ(console->Cursor().x, 6);
}

// Running commands.
TEST_F(ShellTest, EchoesTheCommandShowsItsOutputBehindAndReadsThePanelsAgain) {
    Start();
    ASSERT_FALSE(Lists(Left(), "made"));
    Run("echo hello; touch made");
    EXPECT_EQ(console->CommandLog(), work_ + ">echo hello; touch made\nhello\n\n\n");
    EXPECT_STREQ(Shell().GetTitle(), "");
    EXPECT_TRUE(console->IsOpen() && ZDesktop::GetFocus() == &Shell());
    EXPECT_NE(console->Title().find(work_), std::string::npos);
    EXPECT_TRUE(Lists(Left(), "made") && Lists(Right(), "made"));
    EXPECT_EQ(console->ScreenText().find("hello\n"), std::string::npos);
    Press({Ctrl('o')});  // the echo went under the menu bar, the output follows it
    EXPECT_EQ(console->RowText(1).substr(0, 6), "hello ");
    EXPECT_EQ(Line().substr(0, work_.size() + 1), work_ + ">");
    // Metacharacters reach the shell as typed, code page text as UTF-8 (437's u-umlaut).
    Run("printf '%s|' \"a b\" 'c;d'");
    EXPECT_NE(console->CommandLog().find("a b|c;d|"), std::string::npos);
    const auto execute = [](const char* line) { return PromptSetLine(line), PromptExecute(); };
    execute("printf '\x81' | od -An -tx1");
    EXPECT_NE(console->CommandLog().find("c3 bc"), std::string::npos);
    EXPECT_EQ(execute("exit 3"), 3);
    EXPECT_EQ(execute("kill -TERM $$"), 128 + 15);
    EXPECT_STREQ(PromptGetLine(), "");
}

// Commands ran in the directory of the last panel activation: after Enter on a directory,
// "..", Ctrl+PgDn/PgUp, Ctrl+\ or "cd", "pwd" printed the old one and Enter on go.sh ran the
// old directory's go.sh. Every way the active panel moves, the next command runs there.
TEST_F(ShellTest, CommandsRunWhereTheActivePanelMovedTo) {
    Start();
    folder_.WriteFile("work/go.sh", "");
    folder_.WriteFile("work/sub/go.sh", "#!/bin/sh\necho ran-in-$(pwd)\n");
    ASSERT_EQ(chmod((work_ + "/sub/go.sh").c_str(), 0755), 0);
    const uint32_t down = Key(KC_DOWN);
    const struct {
        std::vector<uint32_t> keys;
        const char* typed;  // then typed and run
        std::string printed;
    } cases[] = {
        {{down, kEnter}, "pwd", work_ + "/sub\n"},
        {{down, kEnter, kEnter}, "pwd", work_ + "\n"},
        {{down, Ctrl(KC_PGDN)}, "pwd", work_ + "/sub\n"},
        {{down, Ctrl(KC_PGDN), Ctrl(KC_PGUP)}, "pwd", work_ + "\n"},
        {{Key('\\', KF_LCTRL, 0x1C)}, "pwd", "/\n"},
        {{}, "cd sub", work_ + "/sub\n"},
        {{down, kEnter, down, down, kEnter}, "", "ran-in-" + work_ + "/sub\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.printed);
        ASSERT_EQ(Parts().Active()->ChangeDirectory(work_.c_str(), 0), 0);
        const size_t logged = console->CommandLog().size();
        Press(entry.keys);
        if (*entry.typed != '\0') Run(entry.typed);
        if (entry.typed == std::string("cd sub")) Run("pwd");
        const std::string log = console->CommandLog().substr(logged);
        EXPECT_NE(log.find("\n" + entry.printed), std::string::npos) << log;
    }
}

TEST_F(ShellTest, CdMovesTheActivePanelAndRunsNothingButCdAloneRuns) {
    folder_.MakeFolder("work/sub");
    Start();
    ZFilePanel* passive = Parts().Passive();
    Run("cd sub");
    EXPECT_EQ(Parts().Active()->Directory(), work_ + "/sub");
    EXPECT_EQ(std::string(Parts().Active()->GetTitle()), work_ + "/sub");
    EXPECT_STREQ(PromptGetDir(), (work_ + "/sub").c_str());
    EXPECT_EQ(passive->Directory(), work_);
    Run("   CD ..");
    EXPECT_EQ(Parts().Active()->Directory(), work_);
    EXPECT_STREQ(PromptGetLine(), "");
    EXPECT_EQ(console->CommandLog(), "");
    Run("cd");
    EXPECT_EQ(Parts().Active()->Directory(), work_);
    EXPECT_NE(console->CommandLog().find(">cd"), std::string::npos);
}

// The active panel's directory was removed: the command is refused with the reason and stays
// on the command line, instead of running somewhere else.
TEST_F(ShellTest, CommandForADirectoryThatIsGoneIsNotRunAnywhere) {
    Start();
    ASSERT_EQ(Parts().Active()->ChangeDirectory(folder_.MakeFolder("work/gone").c_str(), 0), 0);
    ASSERT_EQ(rmdir((work_ + "/gone").c_str()), 0);
    static std::string shown;
    static kq::console::MemoryConsole* screen = nullptr;
    screen = console.get();
    kq::ui::SaverHooks hooks;
    hooks.takeKey = [](uint32_t) { return shown = screen->ScreenText(), false; };  // at the Esc
    kq::ui::SetSaverHooks(hooks);
    console->PushKey(Key(KC_ESC));
    PromptSetLine("touch made");
    EXPECT_EQ(PromptExecute(), kCommandDirectoryRefused);
    kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    EXPECT_EQ(console->CommandLog(), "");
    EXPECT_STREQ(PromptGetLine(), "touch made");
    EXPECT_NE(shown.find("cannot be entered"), std::string::npos) << shown;
}

// The option dialogs: stored values in (the defaults where missing or not numbers), keys, every
// value out on OK and nothing on Esc.
TEST_F(ShellTest, OptionDialogsShowTheStoredValuesAndWriteThemOnOk) {
    Start();
    Store("Confirmations", "DeleteDirs", 0);
    Store("Panels", "ShowHidden", 0, "yes");  // not a number: shown as its default
    const auto deletes = {"DeleteFile", "DeleteSelected", "DeleteDirs", "DeleteRO", "Exit"};
    Command(1066, {Letter('f'), kEsc});
    EXPECT_EQ(Stored("Confirmations", deletes), "- - 0 - -");
    Command(1066, {Letter('f'), kEnter});
    EXPECT_EQ(Stored("Confirmations", deletes), "0 1 0 1 1");
    Command(1077, {Letter('d'), kEnter});
    EXPECT_EQ(Stored("Panels", {"ShowHidden", "Highlight", "ShowTitles", "ShowInfo",
                                "SelectFolders", "ShowSort", "PauseAfterCalc"}),
              "1 1 1 1 1 1 1");
    // Without the menu bar and with the key bar, the panels move up to row 0 without growing
    // and the command line one row up.
    Command(1076, {Letter('m'), Letter('k'), kEnter});
    EXPECT_EQ(Stored("Interface", {"ShowMenu", "ShowClock", "ShowKeyBar"}), "0 1 1");
    EXPECT_EQ(Layout(), "0,0,40,23 40,0,40,23 0,23,80,1");
    EXPECT_TRUE(Visible(*ZKeyBar::Get()) && Visible(Parts().Clock()));
}

// The system dialog stores what was typed: letters as a saver time give 0, the screen size, the
// drives without labels. The terminal (the in-memory one obeys) takes the size, and the panels
// share it: 50 and 50 columns, H - M - K - 1 rows.
TEST_F(ShellTest, SystemDialogStoresWhatWasTyped) {
    Start();
    // A negative saver time and a size that is text (a hand-edited store) show the defaults.
    Store("Main", "SaverTime", static_cast<uint32_t>(-5));
    Store("Main", "Xsize", 0, "abc");
    Command(1080, {kEnter});
    EXPECT_EQ(Stored("Main", {"SaverTime", "Xsize", "Ysize"}), "120 80 25");
    std::vector<uint32_t> keys = {kTab};
    for (const auto& part : {kClearField,
                             Typed("abc"),
                             {kTab, kTab},
                             kClearField,
                             Typed("100"),
                             {kTab},
                             kClearField,
                             Typed("30"),
                             {kTab},
                             Typed("ab"),
                             {kEnter}}) {
        keys.insert(keys.end(), part.begin(), part.end());
    }
    Command(1080, keys);
    EXPECT_EQ(Stored("Main", {"SaverActive", "SaverTime", "Xsize", "Ysize"}), "1 0 100 30");
    const CfgSection main = CfgOpen("Main");
    char labels[32] = {};
    EXPECT_EQ(CfgQuerySz(main, "NoLabel", labels, sizeof labels), 0);
    CfgClose(main);
    EXPECT_STREQ(labels, "ab");
    EXPECT_EQ(Layout(), "0,1,50,28 50,1,50,28 0,29,100,1");
}

// The language list offers the modules of the home folder: one that cannot be read is refused
// with a message and the language stays; German switches the menu bar at once and is stored.
TEST_F(ShellTest, LanguageListSwitchesAtOnceAndRefusesAnUnreadableModule) {
    if (!*KQ_LANG_GERMAN) GTEST_SKIP() << "no language modules";
    const std::string folder = folder_.MakeFolder("lang");
    std::filesystem::copy_file(KQ_LANG_ENGLISH, folder + "/LngEng.dll");
    std::filesystem::copy_file(KQ_LANG_GERMAN, folder + "/LngDeu.dll");
    folder_.WriteFile("lang/LngBad.dll", "MZ but nothing more");
    std::snprintf(homeDir, sizeof homeDir, "%s", folder.c_str());
    Start();
    Command(1087, {kEnter, kEnter});  // LngBad.dll, then the message's OK
    EXPECT_NE(console->RowText(0).find("Left"), std::string::npos);
    Command(1087, {Key(KC_DOWN), kEnter});
    EXPECT_NE(console->RowText(0).find("Links"), std::string::npos);
    const CfgSection main = CfgOpen("Main");
    char stored[32] = {};
    EXPECT_EQ(CfgQuerySz(main, "Language", stored, sizeof stored), 0);
    CfgClose(main);
    EXPECT_STREQ(stored, "LngDeu.dll");
    homeDir[0] = '\0';
}

// A plugin's drive-menu items: offered after the local drives with the plugin's number in their
// ids. Choosing one opens the plugin with the item's own id as start value; a place that cannot
// be listed leaves the panel where it was and says so.
struct MenuPlugin {
    static inline PluginMenuItem items[2] = {{0x43, 0, nullptr, const_cast<char*>("~Fake place")},
                                             {0, PLUGIN_MENU_SEPARATOR, nullptr, nullptr}};
    static inline uint32_t opened = 0;
    static inline bool listable = true;
    static int32_t ZPLUGIN_CALL Menu(PluginMenuItem** out) {
        items[0].id = 0x43;  // the shell rewrites it in this array
        *out = items;
        return 2;
    }
    static PluginHandle ZPLUGIN_CALL Open(intptr_t, uint32_t start, void*) {
        opened = start;
        return 1;
    }
    static int32_t ZPLUGIN_CALL Find(PluginHandle, PluginItem** list, int32_t* count, intptr_t) {
        *list = nullptr, *count = 0;
        return listable ? 0 : -1;
    }
};

TEST_F(ShellTest, DriveMenuOpensAPluginsPlaceOrKeepsThePanel) {
    PluginEntry entry{};
    entry.ZCreateDiskMenu = MenuPlugin::Menu;
    entry.ZOpenPlugin = MenuPlugin::Open;
    entry.ZFindFiles = MenuPlugin::Find;
    ASSERT_TRUE(kq::plugins::RegisterPlugin(entry));
    Start();
    const std::string before = Left().Directory();
    MenuPlugin::listable = false;
    Command(1101, {Key(KC_END), kEnter, kEnter});  // the last item, then the message's OK
    EXPECT_EQ(MenuPlugin::opened, 0x43u);
    EXPECT_EQ(Left().Directory(), before);
    EXPECT_EQ(MenuPlugin::items[0].id, 2u * 65536 + 0x43);  // plugin number 1
    MenuPlugin::listable = true;
    Command(1101, {Key(KC_END), kEnter});
    EXPECT_EQ(Left().Plugin().ZCreateDiskMenu, MenuPlugin::Menu);
    kq::plugins::UnregisterLastPlugin();
}

}  // namespace
}  // namespace kq::shell
