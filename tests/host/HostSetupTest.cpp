// The host's start-up decisions: where the language modules are and which one is loaded.
#include <gtest/gtest.h>

#include <set>

#include "host/HostSetup.h"

namespace kq::host {
namespace {

std::set<std::string> g_existing;
bool Exists(const std::string& path) {
    return g_existing.count(path) > 0;
}

TEST(HostSetupTest, LanguageFolderIsTheBuildTreesWhenRunFromIt) {
    g_existing = {"/work/build/lang/LngEng.dll"};
    EXPECT_EQ(FindLanguageFolder("/work/build/src/kq", Exists), "/work/build/lang");
    g_existing.clear();
    EXPECT_EQ(FindLanguageFolder("/usr/local/bin/kq", Exists), "/usr/local/share/kq/lang");
    EXPECT_EQ(FindLanguageFolder("/opt/kq/bin/kq", Exists), "/opt/kq/share/kq/lang");
}

TEST(HostSetupTest, PluginFolderFollowsTheLanguageFolder) {
    EXPECT_EQ(FindPluginFolder("/work/build/src/kq", "/work/build/lang", "lib"),
              "/work/build/plugins");
    EXPECT_EQ(FindPluginFolder("/usr/local/bin/kq", "/usr/local/share/kq/lang", "lib"),
              "/usr/local/lib/kq/plugins");
    EXPECT_EQ(FindPluginFolder("/opt/kq/bin/kq", "/opt/kq/share/kq/lang", "lib64"),
              "/opt/kq/lib64/kq/plugins");
}

TEST(HostSetupTest, LanguageChoice) {
    const struct {
        std::optional<std::string> stored;
        const char* locale;
        const char* expected;
    } cases[] = {
        {std::nullopt, "", "LngEng.dll"},
        {std::nullopt, "C.UTF-8", "LngEng.dll"},
        {std::nullopt, "de_DE.UTF-8", "LngDeu.dll"},
        {std::nullopt, "de_AT", "LngDeu.dll"},
        {std::nullopt, "de", "LngDeu.dll"},
        {std::nullopt, "den_XX", "LngEng.dll"},  // a locale that only starts with "de"
        {std::nullopt, "en_GB.UTF-8", "LngEng.dll"},
        {std::string("LngDeu.dll"), "en_US", "LngDeu.dll"},
        {std::string("LngEng.dll"), "de_DE", "LngEng.dll"},
        {std::string("lngfra.DLL"), "", "lngfra.DLL"},
        // A stored value is a file name in the language folder and nothing else.
        {std::string("../../tmp/LngEvil.dll"), "", "LngEng.dll"},
        {std::string("/tmp/LngEvil.dll"), "de_DE", "LngDeu.dll"},
        {std::string("libc.so.6"), "", "LngEng.dll"},
        {std::string(""), "", "LngEng.dll"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ChooseLanguageFile(entry.stored, entry.locale), entry.expected)
            << entry.stored.value_or("<none>") << " / " << entry.locale;
    }
}

}  // namespace
}  // namespace kq::host
