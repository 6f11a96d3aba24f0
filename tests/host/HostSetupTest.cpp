// The host's start-up decisions: where the language modules and plugins are, which language.
#include <gtest/gtest.h>

#include "host/HostSetup.h"

namespace kq::host {
namespace {

TEST(HostSetupTest, FoldersFollowTheProgramsPlace) {
    static bool inBuildTree = true;
    const auto exists = [](const std::string& path) {
        return inBuildTree && path == "/work/build/lang/LngEng.dll";
    };
    EXPECT_EQ(FindLanguageFolder("/work/build/src/kq", exists), "/work/build/lang");
    inBuildTree = false;
    EXPECT_EQ(FindLanguageFolder("/usr/local/bin/kq", exists), "/usr/local/share/kq/lang");
    EXPECT_EQ(FindLanguageFolder("/opt/kq/bin/kq", exists), "/opt/kq/share/kq/lang");
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
        const char *locale, *expected;
    } cases[] = {
        {std::nullopt, "", "LngEng.dll"},
        {std::nullopt, "C.UTF-8", "LngEng.dll"},
        {std::nullopt, "de_DE.UTF-8", "LngDeu.dll"},
        {std::nullopt, "de", "LngDeu.dll"},
        {std::nullopt, "den_XX", "LngEng.dll"},
        {"LngDeu.dll", "en_US", "LngDeu.dll"},
        {"lngfra.DLL", "", "lngfra.DLL"},
        // A stored value is a file name in the language folder and nothing else.
        {"../../tmp/LngEvil.dll", "", "LngEng.dll"},
        {"/tmp/LngEvil.dll", "de_DE", "LngDeu.dll"},
        {"libc.so.6", "", "LngEng.dll"},
        {"", "", "LngEng.dll"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseLanguageFile(c.stored, c.locale), c.expected)
            << c.stored.value_or("-") << c.locale;
    }
}

}  // namespace
}  // namespace kq::host
