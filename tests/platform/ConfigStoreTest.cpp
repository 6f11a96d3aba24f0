// The configuration store in one process: where the file goes, the four kinds, sizes, odd
// names, values edited by hand, and the life cycle of store and handles.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include "kq/config.h"
#include "platform/ConfigDatabase.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using kq::test::SettingsHome;
using kq::test::TempFolder;

// Sets (or, given nullopt, unsets) one environment variable for a scope.
struct ScopedVariable {
    ScopedVariable(const char* variable, const std::optional<std::string>& value) : name(variable) {
        if (const char* old = getenv(name)) saved = old;
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    ~ScopedVariable() { saved ? setenv(name, saved->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> saved;
};

std::string SzOf(CfgSection section, const char* name) {
    const int size = CfgQuerySz(section, name, nullptr, 0);
    if (size <= 0) return "<missing>";
    std::string text(static_cast<std::size_t>(size), '?');
    if (CfgQuerySz(section, name, text.data(), size) != 0) return "<failed>";
    text.pop_back();  // the terminator
    return text;
}

// One value of each kind, named after its kind: "d", "q", "s" and "b".
void SetOneOfEachKind(CfgSection section) {
    ASSERT_EQ(CfgSetDw(section, "d", 1) | CfgSetQw(section, "q", 1, 1) |
                  CfgSetSz(section, "s", "1") | CfgSetBytes(section, "b", "1", 1),
              0);
}

// True when a query of the kind ('d', 'q', 's' or 'b') fails and leaves its output untouched.
bool FailsUntouched(char kind, CfgSection section, const char* name) {
    alignas(std::uint64_t) std::array<unsigned char, 64> out;
    out.fill(0xA5);
    void* buffer = out.data();
    const int result = kind == 'd'   ? CfgQueryDw(section, name, static_cast<uint32_t*>(buffer))
                       : kind == 'q' ? CfgQueryQw(section, name, static_cast<uint64_t*>(buffer))
                       : kind == 's' ? CfgQuerySz(section, name, static_cast<char*>(buffer), 64)
                                     : CfgQueryBytes(section, name, buffer, 64);
    return result == -1 && std::count(out.begin(), out.end(), 0xA5) == 64;
}

// The folders made are private; a name that is no folder writes nothing: ".." would have put
// the settings beside the root instead of below it.
TEST(ConfigLocationTest, FolderIsTheTextAfterTheLastSeparatorBelowTheChosenRoot) {
    const struct {
        const char* argument;
        std::optional<std::string> own, xdg;  // the variables; '@' stands for the test folder
        const char* expected;                 // the settings file below the test folder, if any
    } cases[] = {
        {"C:\\apps\\tool.exe", "@/own", "@/xdg", "own/tool.exe/settings.sqlite"},
        {"app", "", "@/xdg", "xdg/app/settings.sqlite"},  // an empty variable is no variable
        {"app", std::nullopt, "relative/xdg", "home/.config/app/settings.sqlite"},
        {"x\\..", "@/own", std::nullopt, nullptr},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.argument);
        TempFolder folder;
        auto below = [&](std::optional<std::string> value) {
            if (value && value->starts_with('@')) value = folder.root().string() + value->substr(1);
            return value;
        };
        ScopedVariable own("KQ_CONFIG_HOME", below(test.own));
        ScopedVariable xdg("XDG_CONFIG_HOME", below(test.xdg));
        ScopedVariable home("HOME", folder.Path("home"));
        if (!test.expected) {
            EXPECT_EQ(CfgInit(test.argument), -1);
            EXPECT_TRUE(fs::is_empty(folder.root()));
            continue;
        }
        ASSERT_EQ(CfgInit(test.argument), 0);
        CfgShutdown();
        const fs::path file = folder.root() / test.expected;
        EXPECT_TRUE(fs::is_regular_file(file));
        struct stat status {};
        ASSERT_EQ(stat(file.parent_path().c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0700u);
    }
}

class ConfigStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CfgInit("/usr/bin/kq"), 0);
        section_ = CfgOpen("Main");
        ASSERT_NE(section_, 0);
    }
    void TearDown() override {
        CfgClose(section_);
        CfgShutdown();
    }

    SettingsHome home_;
    CfgSection section_ = 0;
};

TEST_F(ConfigStoreTest, EachKindKeepsEveryBitAcrossShutdownAndInit) {
    ASSERT_EQ(CfgSetDw(section_, "Dw", 0xFFFFFFFFu) |
                  CfgSetQw(section_, "Qw", 0x89ABCDEF, 0x81234567) |  // both words' top bits set
                  CfgSetSz(section_, "Sz", "\x8F\xE0\xA8 is no UTF-8") |
                  CfgSetBytes(section_, "Bytes", "a\0\xFF\0", 4),
              0);
    CfgClose(section_);
    ASSERT_EQ(CfgShutdown(), 0);
    ASSERT_EQ(CfgInit("kq"), 0);
    section_ = CfgOpen("Main");
    uint32_t dw = 0;
    uint64_t qw = 0;
    std::string bytes(4, '?');
    EXPECT_EQ(CfgQueryDw(section_, "Dw", &dw) | CfgQueryQw(section_, "Qw", &qw) |
                  CfgQueryBytes(section_, "Bytes", bytes.data(), 4),
              0);
    EXPECT_EQ(std::tuple(dw, qw, bytes),
              std::tuple(0xFFFFFFFFu, 0x8123456789ABCDEFull, std::string("a\0\xFF\0", 4)));
    EXPECT_EQ(SzOf(section_, "Sz"), "\x8F\xE0\xA8 is no UTF-8");
}

TEST_F(ConfigStoreTest, MissingValueAnotherKindOrASmallBufferFailsAndLeavesOutputUntouched) {
    SetOneOfEachKind(section_);  // so that only the bad argument can make a call fail
    for (char queried : {'d', 'q', 's', 'b'}) {
        EXPECT_TRUE(FailsUntouched(queried, section_, "Missing")) << queried;
        for (const char* other : {"d", "q", "s", "b"}) {
            EXPECT_TRUE(*other == queried || FailsUntouched(queried, section_, other)) << other;
        }
    }
    char small[2] = {'#', '#'};
    EXPECT_EQ(CfgQuerySz(section_, "s", small, 1), -1);  // "1" needs two bytes
    EXPECT_EQ(std::string(small, 2), "##");
}

TEST_F(ConfigStoreTest, OddNamesAreStoredAsGivenWithoutReachingTheSqlAndCaseDoesNotMatter) {
    const char* const names[] = {"it's", "'); DROP TABLE entries; --", "?1 :name @name $name"};
    CfgSection odd = CfgOpen("'); DROP TABLE sections; --");
    for (const char* name : names) ASSERT_EQ(CfgSetSz(odd, name, name), 0) << name;
    for (const char* name : names) EXPECT_EQ(SzOf(odd, name), name);
    ASSERT_EQ(CfgSetDw(CfgOpen("MAIN"), "WIDTH", 100), 0);
    uint32_t read = 0;
    EXPECT_TRUE(CfgQueryDw(section_, "width", &read) == 0 && read == 100) << read;
}

// A text written by hand without its terminator is read with one added, never past its end.
TEST_F(ConfigStoreTest, TextEditedByHandWithoutTerminatorIsReadSafely) {
    using kq::platform::ValueKind;
    auto database = kq::platform::ConfigDatabase::Open(home_.database().string());
    ASSERT_TRUE(database);
    const std::string_view unterminated = "abc";
    ASSERT_TRUE(database->WriteBlob("Main", "Unterminated", ValueKind::kSz,
                                    std::as_bytes(std::span(unterminated))));
    EXPECT_EQ(SzOf(section_, "Unterminated"), "abc");
}

// Reading, writing and closing through this handle fail (ASan sees any touch of a closed
// store); all bits are set only when every call returned -1.
void ExpectEveryCallFails(CfgSection h) {
    uint32_t dw = 0;
    EXPECT_EQ(CfgQueryDw(h, "d", &dw) & CfgQuerySz(h, "s", nullptr, 0) & CfgSetSz(h, "s", "t") &
                  CfgClose(h),
              -1);
}

// Handles not from CfgOpen, closed, or of a replaced store are refused.
TEST(ConfigLifecycleTest, HandlesDieWithTheirStore) {
    SettingsHome home;
    ASSERT_EQ(CfgInit("first"), 0);
    CfgSection first = CfgOpen("Main");
    SetOneOfEachKind(first);
    CfgSection closed = CfgOpen("Main");
    ASSERT_EQ(CfgClose(closed), 0);
    for (CfgSection handle : {CfgSection{0}, first + 8, closed}) {
        SCOPED_TRACE(handle);
        ExpectEveryCallFails(handle);
    }
    ASSERT_EQ(CfgInit("second"), 0);
    ExpectEveryCallFails(first);
    CfgShutdown();
}

}  // namespace
