// The local plugin's command-line hook (ZProcessInput of plugin 0) against a recorded command
// line and owner panel: which lines it takes, the paths it hands to the owner, and the keys and
// lines it leaves to the command interpreter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kq/keys.h"
#include "localfs/LocalPlugin.h"
#include "support/TempFolder.h"

namespace kq::localfs {
namespace {

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

constexpr uint32_t Enter(uint32_t flags = 0) {
    return KEY_EVENT(KC_ENTER, 13, KF_DOWN | flags);
}

class LocalCommandHookTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Record() = Recorded{};
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
        root = temp.root().string();
        handle = FS_ZOpenPlugin(0, 0, &owner);
        ASSERT_EQ(FS_ZSetDirectory(handle, root.c_str(), 0), 0);
        for (const char* name : {"sub", "my dir", "it's", "~x", "a \"b\"", "home", "D:"}) {
            temp.MakeFolder(name);
        }
        temp.WriteFile("plain.txt", "x");
        SetCommandLineAccess({[] { return Record().line.c_str(); },
                              [](const char* text) {
                                  Record().line = text != nullptr ? text : "";
                                  ++Record().lineSets;
                              },
                              [](void* panel, const char* path) {
                                  Record().changes.emplace_back(panel, path);
                                  return 0;
                              }});
        if (const char* home = std::getenv("HOME")) savedHome = home;
        setenv("HOME", (root + "/home").c_str(), 1);
    }
    void TearDown() override {
        if (savedHome) {
            setenv("HOME", savedHome->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
        SetCommandLineAccess({});
        FS_ZClosePlugin(handle);
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
    // The line passed on untouched to the interpreter.
    void ExpectPassedOn(const std::string& line) const {
        EXPECT_EQ(Changed(), "<none>") << line;
        EXPECT_EQ(Record().line, line);
        EXPECT_EQ(Record().lineSets, 0) << line;
    }

    kq::test::TempFolder temp{"kq-cdhook"};
    int owner = 0;  // stands for the panel that opened the instance
    PluginHandle handle = 0;
    std::string root;
    std::optional<std::string> savedHome;
};

// A line the hook takes is cleared and becomes one change of the owner's directory ("@" is
// the home directory); any other goes to the interpreter untouched.
TEST_F(LocalCommandHookTest, WhichLinesAreTakenAndWhereTheyLead) {
    const std::pair<const char*, const char*> cases[] = {
        {"   cd ..", ".."},
        {"E:", "<none>"},  // a drive text is consumed but changes nothing here...
        {"  D:", "D:"},    // ...unless it names a directory here
        {"cd ~", "@"},
        {"cd ~x", "~x"},            // a tilde only on its own or before a slash
        {"cd 'it'\\''s'", "it's"},  // quoted as inserted from the panel
        {"cd \"a \\\"b\\\"\"", "a \"b\""},
        {"cd my dir  ", "my dir"},
    };
    for (const auto& [line, changed] : cases) {
        EXPECT_EQ(Press(line), 0) << line;
        const std::string expected(changed);
        EXPECT_EQ(Changed(), expected[0] == '@' ? root + "/home" + expected.substr(1) : expected)
            << line;
        EXPECT_EQ(Record().line, "") << line;
        EXPECT_EQ(Record().lineSets, 1) << line;
    }
    // No directory change, or one that cannot be made (taken once, such a change left the
    // instance on a missing directory).
    for (const char* line :
         {"cd", "cdx ..", "echo cd ..", "", "D:\\", "cd nosuch", "cd plain.txt"}) {
        EXPECT_EQ(Press(line), 1) << line;
        ExpectPassedOn(line);
    }
    EXPECT_STREQ(FS_ZGetDirectory(handle), root.c_str());
}

}  // namespace
}  // namespace kq::localfs
