// The local plugin's command-line hook (ZProcessInput of plugin 0) against a recorded command
// line and owner panel: which lines it takes, the paths it hands to the owner, and the keys and
// lines it leaves to the command interpreter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kq/keys.h"
#include "localfs/LocalPlugin.h"
#include "plugins/PluginTable.h"

namespace kq::localfs {
namespace {

namespace fs = std::filesystem;

// The command line and the owner panels' directory changes, as the shell would provide them.
struct Recorded {
    std::string line;
    int lineSets = 0;
    std::vector<std::pair<void*, std::string>> changes;
};

Recorded& Record() {
    static Recorded recorded;
    return recorded;
}

const char* GetLine() {
    return Record().line.c_str();
}
void SetLine(const char* text) {
    Record().line = text != nullptr ? text : "";
    ++Record().lineSets;
}
int ChangeDirectory(void* owner, const char* path) {
    Record().changes.emplace_back(owner, path);
    return 0;
}

constexpr uint32_t Enter(uint32_t flags = 0) {
    return KEY_EVENT(KC_ENTER, 13, KF_DOWN | flags);
}

class LocalCommandHookTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Record() = Recorded{};
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
        std::string pattern = (fs::temp_directory_path() / "kq-cdhook-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        handle = FS_ZOpenPlugin(0, 0, &owner);
        ASSERT_NE(handle, 0);
        ASSERT_EQ(FS_ZSetDirectory(handle, root.c_str(), 0), 0);
        // The directories the lines below change to.
        for (const char* name :
             {"sub", "my dir", "it's", "~x", "~", "a \"b\"", "home/sub/deeper"}) {
            fs::create_directories(fs::path(root) / name);
        }
        SetCommandLineAccess({GetLine, SetLine, ChangeDirectory});
        if (const char* home = std::getenv("HOME")) savedHome = home;
    }
    void TearDown() override {
        if (savedHome) {
            setenv("HOME", savedHome->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
        SetCommandLineAccess({});
        FS_ZClosePlugin(handle);
        std::error_code ignored;
        fs::remove_all(root, ignored);
        FS_ZTerminate(0);
    }

    // Enter (or another key) on a command line of that text: the hook's result.
    int32_t Press(const std::string& line, uint32_t key = Enter()) {
        Record().line = line;
        Record().lineSets = 0;
        Record().changes.clear();
        uint32_t offered = key;
        return FS_ZProcessInput(handle, &offered);
    }
    // The one directory change asked for, or "<none>" / "<several>".
    std::string Changed() const {
        if (Record().changes.empty()) return "<none>";
        if (Record().changes.size() > 1) return "<several>";
        EXPECT_EQ(Record().changes[0].first, static_cast<const void*>(&owner));
        return Record().changes[0].second;
    }

    int owner = 0;  // stands for the panel that opened the instance
    PluginHandle handle = 0;
    std::string root;
    std::optional<std::string> savedHome;
};

TEST_F(LocalCommandHookTest, BlanksThenCdDotDotChangesUpAndClearsTheLine) {
    EXPECT_EQ(Press("   cd .."), 0);
    EXPECT_EQ(Changed(), "..");
    EXPECT_EQ(Record().line, "");
    EXPECT_EQ(Record().lineSets, 1);
}

TEST_F(LocalCommandHookTest, CdOrChdirAloneGoToTheInterpreter) {
    for (const char* line : {"cd", "chdir", "cd ", "chdir ", "  cd", "cd    "}) {
        EXPECT_EQ(Press(line), 1) << '"' << line << '"';
        EXPECT_EQ(Changed(), "<none>") << line;
        EXPECT_EQ(Record().line, line);
        EXPECT_EQ(Record().lineSets, 0) << line;
    }
}

TEST_F(LocalCommandHookTest, LetterCaseOfTheCommandIsIgnored) {
    EXPECT_EQ(Press("CD .."), 0);
    EXPECT_EQ(Changed(), "..");
    EXPECT_EQ(Press("ChDir sub"), 0);
    EXPECT_EQ(Changed(), "sub");
    EXPECT_EQ(Record().line, "");
}

// Fault caught as well: "cd  sub" (two blanks) went to the interpreter and did nothing.
TEST_F(LocalCommandHookTest, AnyRunOfBlanksSeparatesTheCommandFromThePath) {
    for (const char* line : {"chdir /tmp", "cd  /tmp", "chdir\t /tmp ", "CD   /tmp"}) {
        EXPECT_EQ(Press(line), 0) << line;
        EXPECT_EQ(Changed(), "/tmp") << line;
    }
}

TEST_F(LocalCommandHookTest, OtherCommandsGoToTheInterpreter) {
    for (const char* line : {"ls -l", "cdx ..", "cd..", "echo cd ..", "", "   "}) {
        EXPECT_EQ(Press(line), 1) << '"' << line << '"';
        EXPECT_EQ(Changed(), "<none>");
        EXPECT_EQ(Record().lineSets, 0);
    }
}

TEST_F(LocalCommandHookTest, DriveTextIsConsumedAndClearedButChangesNothingHere) {
    EXPECT_EQ(Press("D:"), 0);
    EXPECT_EQ(Record().line, "");
    EXPECT_EQ(Changed(), "<none>");
}

TEST_F(LocalCommandHookTest, DriveTextNamingADirectoryHereEntersIt) {
    fs::create_directory(root + "/D:");
    EXPECT_EQ(Press("  D:"), 0);
    EXPECT_EQ(Changed(), "D:");
}

TEST_F(LocalCommandHookTest, DriveTextWithABackslashGoesToTheInterpreter) {
    EXPECT_EQ(Press("D:\\"), 1);
    EXPECT_EQ(Record().line, "D:\\");
    EXPECT_EQ(Changed(), "<none>");
}

TEST_F(LocalCommandHookTest, EnterWithAModifierOrOtherKeysAreNotHandled) {
    EXPECT_EQ(Press("cd ..", Enter(KF_SHIFT)), 1);
    EXPECT_EQ(Press("cd ..", Enter(KF_LCTRL)), 1);
    EXPECT_EQ(Press("cd ..", Enter(KF_RALT)), 1);
    EXPECT_EQ(Press("cd ..", KEY_EVENT(KC_ENTER, 13, 0)), 1);  // the release
    EXPECT_EQ(Press("cd ..", KEY_EVENT('a', 'a', KF_DOWN)), 1);
    EXPECT_EQ(Press("cd ..", KEY_EVENT(KC_F3, 0, KF_DOWN)), 1);
    EXPECT_EQ(Changed(), "<none>");
    EXPECT_EQ(Record().line, "cd ..");
}

TEST_F(LocalCommandHookTest, TildeIsTheHomeDirectory) {
    const std::string home = root + "/home";
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(Press("cd ~"), 0);
    EXPECT_EQ(Changed(), home);
    EXPECT_EQ(Press("cd ~/sub/deeper"), 0);
    EXPECT_EQ(Changed(), home + "/sub/deeper");
    // Only a tilde of its own or before a slash; quoted it is a name.
    EXPECT_EQ(Press("cd ~x"), 0);
    EXPECT_EQ(Changed(), "~x");
    EXPECT_EQ(Press("cd '~'"), 0);
    EXPECT_EQ(Changed(), "~");
}

TEST_F(LocalCommandHookTest, TildeWithoutHomeTakesThePasswordEntry) {
    unsetenv("HOME");
    EXPECT_EQ(Press("cd ~"), 0);
    const std::string home = Changed();
    EXPECT_FALSE(home.empty());
    EXPECT_EQ(home[0], '/');
}

TEST_F(LocalCommandHookTest, QuotedNamesAsInsertedFromThePanelAreUnquoted) {
    EXPECT_EQ(Press("cd 'my dir' "), 0);
    EXPECT_EQ(Changed(), "my dir");
    EXPECT_EQ(Press("cd 'it'\\''s'"), 0);
    EXPECT_EQ(Changed(), "it's");
    EXPECT_EQ(Press("cd my\\ dir"), 0);
    EXPECT_EQ(Changed(), "my dir");
    EXPECT_EQ(Press("cd \"a \\\"b\\\"\""), 0);
    EXPECT_EQ(Changed(), "a \"b\"");
}

TEST_F(LocalCommandHookTest, TextThatIsNotOneShellWordIsTakenAsTyped) {
    EXPECT_EQ(Press("cd it's"), 0);
    EXPECT_EQ(Changed(), "it's");
    EXPECT_EQ(Press("cd my dir  "), 0);
    EXPECT_EQ(Changed(), "my dir");
}

// Taken by the hook, a refused change used to leave the instance's text on the missing
// directory, and the panel's next reload showed a listing that failed.
TEST_F(LocalCommandHookTest, CdToADirectoryThatCannotBeEnteredGoesToTheInterpreter) {
    std::ofstream(root + "/plain.txt") << "x";
    for (const char* line : {"cd nosuch", "cd plain.txt", "chdir /nosuch/at/all"}) {
        EXPECT_EQ(Press(line), 1) << line;
        EXPECT_EQ(Changed(), "<none>") << line;
        EXPECT_EQ(Record().line, line);
    }
    EXPECT_STREQ(FS_ZGetDirectory(handle), root.c_str());
}

TEST_F(LocalCommandHookTest, WithoutTheShellEveryKeyIsPassedOn) {
    SetCommandLineAccess({});
    EXPECT_EQ(Press("cd .."), 1);
    EXPECT_EQ(Changed(), "<none>");
}

TEST_F(LocalCommandHookTest, AnInstanceWithoutOwnerPassesTheLineOn) {
    const PluginHandle job = FS_ZOpenPlugin(0, 0, nullptr);
    Record().line = "cd ..";
    uint32_t key = Enter();
    EXPECT_EQ(FS_ZProcessInput(job, &key), 1);
    EXPECT_EQ(Record().line, "cd ..");
    FS_ZClosePlugin(job);
}

TEST_F(LocalCommandHookTest, PluginZeroRecordCarriesTheHook) {
    const PluginEntry entry = kq::plugins::InternalPluginEntry();
    EXPECT_EQ(entry.ZProcessInput, &FS_ZProcessInput);
}

}  // namespace
}  // namespace kq::localfs
