// The configuration store in one process: where the file goes, the four kinds, sizes, values
// edited by hand, and the life cycle of store and handles.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

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

// With no KQ_CONFIG_HOME and a relative XDG_CONFIG_HOME the private folder is below HOME/.config.
// A name that is no folder writes nothing: ".." would put the settings beside the root.
TEST(ConfigLocationTest, FolderIsTheTextAfterTheLastSeparatorBelowTheChosenRoot) {
    TempFolder folder;
    {
        ScopedVariable own("KQ_CONFIG_HOME", std::nullopt);
        ScopedVariable xdg("XDG_CONFIG_HOME", "relative/xdg");
        ScopedVariable home("HOME", folder.root().string());
        ASSERT_EQ(CfgInit("C:\\apps\\tool.exe"), 0);
        CfgShutdown();
    }
    const fs::path file = folder.root() / ".config/tool.exe/settings.sqlite";
    EXPECT_TRUE(fs::is_regular_file(file));
    struct stat status {};
    ASSERT_EQ(stat(file.parent_path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ScopedVariable own("KQ_CONFIG_HOME", folder.Path("own"));
    EXPECT_EQ(CfgInit("x\\.."), -1);
    EXPECT_FALSE(fs::exists(folder.Path("own")));
}

class ConfigStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CfgInit("/usr/bin/kq"), 0);
        section_ = CfgOpen("Main");
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

// A value of another kind, or one too large for the buffer, leaves the output as it was.
TEST_F(ConfigStoreTest, AnotherKindOrASmallBufferFailsAndLeavesOutputUntouched) {
    ASSERT_EQ(CfgSetQw(section_, "q", 1, 0) | CfgSetSz(section_, "s", "1"), 0);
    uint32_t dw = 7;
    EXPECT_EQ(CfgQueryDw(section_, "q", &dw), -1);
    EXPECT_EQ(dw, 7u);
    char small[2] = {'#', '#'};
    EXPECT_EQ(CfgQuerySz(section_, "s", small, 1), -1);  // "1" needs two bytes
    EXPECT_EQ(std::string(small, 2), "##");
}

// A text written by hand without its terminator is read with one added, never past its end.
TEST_F(ConfigStoreTest, TextEditedByHandWithoutTerminatorIsReadSafely) {
    auto database = kq::platform::ConfigDatabase::Open(home_.database().string());
    ASSERT_TRUE(database);
    const std::string_view unterminated = "abc";
    ASSERT_TRUE(database->WriteBlob("Main", "Unterminated", kq::platform::ValueKind::kSz,
                                    std::as_bytes(std::span(unterminated))));
    EXPECT_EQ(SzOf(section_, "Unterminated"), "abc");
}

// Reading, writing and closing through this handle fail (ASan sees any touch of a freed one);
// all bits are set only when every call returned -1.
int EveryCall(CfgSection h) {
    return CfgQuerySz(h, "s", nullptr, 0) & CfgSetSz(h, "s", "t") & CfgClose(h);
}

// Closed handles and those of a replaced store are refused.
TEST(ConfigLifecycleTest, HandlesDieWithTheirStore) {
    SettingsHome home;
    ASSERT_EQ(CfgInit("first"), 0);
    CfgSection first = CfgOpen("Main");
    ASSERT_EQ(CfgSetSz(first, "s", "1"), 0);  // so that a live handle's read works
    CfgSection closed = CfgOpen("Main");
    ASSERT_EQ(CfgClose(closed), 0);
    EXPECT_EQ(EveryCall(closed), -1);
    ASSERT_EQ(CfgInit("second"), 0);
    EXPECT_EQ(EveryCall(first), -1);
    CfgShutdown();
}

}  // namespace
