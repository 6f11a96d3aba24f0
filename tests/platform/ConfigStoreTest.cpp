// Tests of the configuration store in one process: where the settings file goes, the four kinds,
// sizes and kind mismatches, odd names, and the life cycle of the store and its handles.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kq/config.h"
#include "platform/ConfigDatabase.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kApplication = "/usr/bin/kq-store-test";
constexpr const char* kApplicationFolder = "kq-store-test";

// Sets or clears environment variables for one scope and puts the old values back afterwards.
class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }

    void Set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A temporary folder for one test with KQ_CONFIG_HOME pointing at "config" inside it, which does
// not exist yet. Everything goes away afterwards.
class ScopedConfigHome {
  public:
    ScopedConfigHome() {
        std::string pattern = (fs::temp_directory_path() / "kq-config-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) base_ = pattern;
        environment_.Set("KQ_CONFIG_HOME", root().string());
    }
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
    ~ScopedConfigHome() {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    const fs::path& base() const { return base_; }
    fs::path root() const { return base_ / "config"; }
    fs::path SettingsFile(const std::string& folder = kApplicationFolder) const {
        return root() / folder / "settings.sqlite";
    }
    ScopedEnvironment& environment() { return environment_; }

  private:
    fs::path base_;
    ScopedEnvironment environment_;
};

class ConfigStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CfgInit(kApplication), 0);
        section_ = CfgOpen("Main");
        ASSERT_NE(section_, 0);
    }
    void TearDown() override {
        CfgClose(section_);
        CfgShutdown();
    }

    ScopedConfigHome home_;
    CfgSection section_ = 0;
};

std::string SzOf(CfgSection section, const char* name) {
    int size = CfgQuerySz(section, name, nullptr, 0);
    if (size <= 0) return "<missing>";
    std::string text(static_cast<std::size_t>(size), '?');
    if (CfgQuerySz(section, name, text.data(), size) != 0) return "<failed>";
    text.pop_back();  // the terminator
    return text;
}

std::vector<unsigned char> BytesOf(CfgSection section, const char* name) {
    int size = CfgQueryBytes(section, name, nullptr, 0);
    if (size < 0) return {};
    std::vector<unsigned char> data(static_cast<std::size_t>(size));
    EXPECT_EQ(CfgQueryBytes(section, name, data.data(), size), 0);
    return data;
}

// ---------------------------------------------------------------------------------------------
// Where the settings file goes

TEST(ConfigLocationTest, ApplicationNameIsTheTextAfterTheLastSeparator) {
    const struct {
        const char* argument;
        const char* folder;
    } cases[] = {
        {"C:\\apps\\tool.exe", "tool.exe"},
        {"/usr/bin/kq", "kq"},
        {"plain", "plain"},
        {"mixed/dir\\name", "name"},
        {"back\\slash/last", "last"},
        {"with space", "with space"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.argument);
        ScopedConfigHome home;
        ASSERT_EQ(CfgInit(test.argument), 0);
        EXPECT_TRUE(fs::is_regular_file(home.SettingsFile(test.folder)));
        EXPECT_EQ(CfgShutdown(), 0);
    }
}

TEST(ConfigLocationTest, NameThatIsNoFolderFailsWithoutWritingAnything) {
    const char* const cases[] = {"", ".", "..", "/usr/bin/", "C:\\apps\\", "x/..", "x\\..", "x/."};
    for (const char* argument : cases) {
        SCOPED_TRACE(argument);
        ScopedConfigHome home;
        EXPECT_EQ(CfgInit(argument), -1);
        // ".." would have put settings.sqlite beside the root instead of below it.
        EXPECT_TRUE(fs::is_empty(home.base()));
    }
    ScopedConfigHome home;
    EXPECT_EQ(CfgInit(nullptr), -1);
}

TEST(ConfigLocationTest, RootComesFromOwnVariableThenXdgThenHome) {
    const struct {
        const char* description;
        std::optional<std::string> own;  // KQ_CONFIG_HOME, relative to the test folder
        std::optional<std::string> xdg;  // XDG_CONFIG_HOME, relative to the test folder
        bool xdg_relative;               // pass XDG_CONFIG_HOME as given, not below the folder
        std::string expected;            // the settings file, relative to the test folder
    } cases[] = {
        {"own variable wins", "own", "xdg", false, "own/app/settings.sqlite"},
        {"xdg without own", std::nullopt, "xdg", false, "xdg/app/settings.sqlite"},
        {"home without either", std::nullopt, std::nullopt, false,
         "home/.config/app/settings.sqlite"},
        {"empty own is unset", "", "xdg", false, "xdg/app/settings.sqlite"},
        {"relative xdg is ignored", std::nullopt, "relative/xdg", true,
         "home/.config/app/settings.sqlite"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.description);
        ScopedConfigHome home;
        auto below = [&](const std::optional<std::string>& part) -> std::optional<std::string> {
            if (!part || part->empty()) return part;
            return (home.base() / *part).string();
        };
        home.environment().Set("KQ_CONFIG_HOME", below(test.own));
        home.environment().Set("XDG_CONFIG_HOME", test.xdg_relative ? test.xdg : below(test.xdg));
        home.environment().Set("HOME", (home.base() / "home").string());

        ASSERT_EQ(CfgInit("app"), 0);
        EXPECT_TRUE(fs::is_regular_file(home.base() / test.expected));
        CfgShutdown();
    }
}

TEST(ConfigLocationTest, FoldersItCreatesArePrivate) {
    ScopedConfigHome home;
    ASSERT_EQ(CfgInit(kApplication), 0);
    CfgShutdown();
    for (const fs::path& folder : {home.root(), home.root() / kApplicationFolder}) {
        struct stat status {};
        ASSERT_EQ(stat(folder.c_str(), &status), 0) << folder;
        EXPECT_EQ(status.st_mode & 0777, 0700u) << folder;
    }
}

// ---------------------------------------------------------------------------------------------
// The four kinds

TEST_F(ConfigStoreTest, DwRoundTrips) {
    for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        ASSERT_EQ(CfgSetDw(section_, "Width", value), 0);
        uint32_t read = 7;
        ASSERT_EQ(CfgQueryDw(section_, "Width", &read), 0);
        EXPECT_EQ(read, value);
    }
}

TEST_F(ConfigStoreTest, QwRoundTripsAllSixtyFourBits) {
    const struct {
        uint32_t low;
        uint32_t high;
        uint64_t expected;
    } cases[] = {
        {0, 0, 0},
        {0xFFFFFFFF, 0, 0x00000000FFFFFFFFull},
        {0, 1, 0x0000000100000000ull},
        {0x89ABCDEF, 0x01234567, 0x0123456789ABCDEFull},
        {0, 0x80000000, 0x8000000000000000ull},  // the sign bit of the stored integer
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.expected);
        ASSERT_EQ(CfgSetQw(section_, "Size", test.low, test.high), 0);
        uint64_t read = 7;
        ASSERT_EQ(CfgQueryQw(section_, "Size", &read), 0);
        EXPECT_EQ(read, test.expected);
    }
}

TEST_F(ConfigStoreTest, SzRoundTrips) {
    const std::string cases[] = {
        "abc",
        "",
        "C:\\Program Files\\kq",
        "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",  // UTF-8
        "\x8F\xE0\xA8\xA2\xA5\xE2",                          // code page 866: not UTF-8
        std::string(1 << 20, 'x'),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        ASSERT_EQ(CfgSetSz(section_, "Path", text.c_str()), 0);
        EXPECT_EQ(CfgQuerySz(section_, "Path", nullptr, 0), static_cast<int>(text.size() + 1));
        EXPECT_EQ(SzOf(section_, "Path"), text);
    }
}

TEST_F(ConfigStoreTest, BytesRoundTrip) {
    std::vector<unsigned char> large(4 << 20);
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<unsigned char>(i * 31);
    const std::vector<unsigned char> cases[] = {
        {}, {0}, {0, 0, 0}, {'a', 0, 'b', 0, 0xFF, 0}, large,
    };
    for (const auto& data : cases) {
        SCOPED_TRACE(data.size());
        ASSERT_EQ(CfgSetBytes(section_, "Blob", data.data(), static_cast<int>(data.size())), 0);
        EXPECT_EQ(CfgQueryBytes(section_, "Blob", nullptr, 0), static_cast<int>(data.size()));
        EXPECT_EQ(BytesOf(section_, "Blob"), data);
    }
}

TEST_F(ConfigStoreTest, EmptyBytesMayComeWithoutAPointer) {
    ASSERT_EQ(CfgSetBytes(section_, "Blob", nullptr, 0), 0);
    EXPECT_EQ(CfgQueryBytes(section_, "Blob", nullptr, 0), 0);
    EXPECT_EQ(CfgSetBytes(section_, "Blob", nullptr, 1), -1);
    EXPECT_EQ(CfgSetBytes(section_, "Blob", "x", -1), -1);
}

TEST_F(ConfigStoreTest, ValuesSurviveShutdownAndInitAgain) {
    ASSERT_EQ(CfgSetDw(section_, "Dw", 42), 0);
    ASSERT_EQ(CfgSetQw(section_, "Qw", 1, 2), 0);
    ASSERT_EQ(CfgSetSz(section_, "Sz", "text"), 0);
    ASSERT_EQ(CfgSetBytes(section_, "Bytes", "\0\1", 2), 0);
    CfgClose(section_);
    ASSERT_EQ(CfgShutdown(), 0);

    ASSERT_EQ(CfgInit(kApplication), 0);
    section_ = CfgOpen("Main");
    uint32_t dw = 0;
    uint64_t qw = 0;
    EXPECT_EQ(CfgQueryDw(section_, "Dw", &dw), 0);
    EXPECT_EQ(dw, 42u);
    EXPECT_EQ(CfgQueryQw(section_, "Qw", &qw), 0);
    EXPECT_EQ(qw, 0x0000000200000001ull);
    EXPECT_EQ(SzOf(section_, "Sz"), "text");
    EXPECT_EQ(BytesOf(section_, "Bytes"), (std::vector<unsigned char>{0, 1}));
}

// ---------------------------------------------------------------------------------------------
// Missing values, other kinds and sizes: a failed query writes nothing

enum class Kind { kDw, kQw, kSz, kBytes };

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::kDw:
            return "dw";
        case Kind::kQw:
            return "qw";
        case Kind::kSz:
            return "sz";
        case Kind::kBytes:
            return "bytes";
    }
    return "?";
}

int SetAs(Kind kind, CfgSection section, const char* name) {
    switch (kind) {
        case Kind::kDw:
            return CfgSetDw(section, name, 1);
        case Kind::kQw:
            return CfgSetQw(section, name, 1, 1);
        case Kind::kSz:
            return CfgSetSz(section, name, "1");
        case Kind::kBytes:
            return CfgSetBytes(section, name, "1", 1);
    }
    return -1;
}

// Queries with an output full of a sentinel byte; true when the query failed and the output
// still holds nothing but the sentinel.
::testing::AssertionResult FailsUntouched(Kind kind, CfgSection section, const char* name) {
    constexpr unsigned char kSentinel = 0xA5;
    alignas(std::uint64_t) std::array<unsigned char, 64> output;
    output.fill(kSentinel);
    int result = -1;
    switch (kind) {
        case Kind::kDw:
            result = CfgQueryDw(section, name, reinterpret_cast<uint32_t*>(output.data()));
            break;
        case Kind::kQw:
            result = CfgQueryQw(section, name, reinterpret_cast<uint64_t*>(output.data()));
            break;
        case Kind::kSz:
            result = CfgQuerySz(section, name, reinterpret_cast<char*>(output.data()),
                                static_cast<int>(output.size()));
            break;
        case Kind::kBytes:
            result = CfgQueryBytes(section, name, output.data(), static_cast<int>(output.size()));
            break;
    }
    if (result != -1) return ::testing::AssertionFailure() << "the query returned " << result;
    for (unsigned char byte : output) {
        if (byte != kSentinel) return ::testing::AssertionFailure() << "the output was written";
    }
    return ::testing::AssertionSuccess();
}

constexpr Kind kKinds[] = {Kind::kDw, Kind::kQw, Kind::kSz, Kind::kBytes};

TEST_F(ConfigStoreTest, QueryOfAnotherKindFailsAndLeavesOutputUntouched) {
    for (Kind written : kKinds) {
        for (Kind queried : kKinds) {
            if (written == queried) continue;
            SCOPED_TRACE(std::string("written ") + KindName(written) + ", queried " +
                         KindName(queried));
            ASSERT_EQ(SetAs(written, section_, "Value"), 0);
            EXPECT_TRUE(FailsUntouched(queried, section_, "Value"));
        }
    }
}

TEST_F(ConfigStoreTest, MissingValueFailsAndLeavesOutputUntouched) {
    for (Kind queried : kKinds) {
        SCOPED_TRACE(KindName(queried));
        EXPECT_TRUE(FailsUntouched(queried, section_, "Missing"));
    }
}

TEST_F(ConfigStoreTest, SettingAnotherKindReplacesTheValue) {
    ASSERT_EQ(CfgSetSz(section_, "Value", "text"), 0);
    ASSERT_EQ(CfgSetDw(section_, "Value", 5), 0);
    uint32_t read = 0;
    EXPECT_EQ(CfgQueryDw(section_, "Value", &read), 0);
    EXPECT_EQ(read, 5u);
    EXPECT_TRUE(FailsUntouched(Kind::kSz, section_, "Value"));
}

TEST_F(ConfigStoreTest, SzQueryReportsSizeAndRefusesSmallBuffers) {
    const struct {
        const char* stored;
        int buffer_size;  // -1: no buffer at all
        int expected;
        const char* output;  // null: the buffer must be untouched
    } cases[] = {
        {"abc", -1, 4, nullptr},  // the size: three bytes and the terminator
        {"abc", 4, 0, "abc"},     // exactly enough
        {"abc", 64, 0, "abc"},    // more than enough
        {"abc", 3, -1, nullptr},  // no room for the terminator
        {"abc", 0, -1, nullptr},  // no room at all
        {"", -1, 1, nullptr},     // an empty text still needs its terminator
        {"", 1, 0, ""},           // which fits into one byte
        {"", 0, -1, nullptr},     // but not into none
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.stored) + " into " + std::to_string(test.buffer_size));
        ASSERT_EQ(CfgSetSz(section_, "Text", test.stored), 0);
        std::string buffer(64, '#');
        char* output = test.buffer_size < 0 ? nullptr : buffer.data();
        EXPECT_EQ(CfgQuerySz(section_, "Text", output, test.buffer_size), test.expected);
        if (test.output) {
            EXPECT_STREQ(buffer.c_str(), test.output);
        } else {
            EXPECT_EQ(buffer, std::string(64, '#'));
        }
    }
}

TEST_F(ConfigStoreTest, BytesQueryReportsSizeAndRefusesSmallBuffers) {
    const unsigned char stored[] = {1, 0, 2};
    ASSERT_EQ(CfgSetBytes(section_, "Blob", stored, 3), 0);
    EXPECT_EQ(CfgQueryBytes(section_, "Blob", nullptr, 0), 3);
    std::array<unsigned char, 3> small{9, 9, 9};
    EXPECT_EQ(CfgQueryBytes(section_, "Blob", small.data(), 2), -1);
    EXPECT_EQ(small, (std::array<unsigned char, 3>{9, 9, 9}));
}

// ---------------------------------------------------------------------------------------------
// Names

TEST_F(ConfigStoreTest, NamesCompareCaseInsensitively) {
    ASSERT_EQ(CfgSetDw(section_, "Width", 80), 0);
    CfgSection other = CfgOpen("MAIN");
    ASSERT_NE(other, 0);
    uint32_t read = 0;
    EXPECT_EQ(CfgQueryDw(other, "WIDTH", &read), 0);
    EXPECT_EQ(read, 80u);
    ASSERT_EQ(CfgSetDw(other, "width", 100), 0);
    EXPECT_EQ(CfgQueryDw(section_, "Width", &read), 0);
    EXPECT_EQ(read, 100u);
    CfgClose(other);
}

TEST_F(ConfigStoreTest, OddNamesAreStoredAsGivenWithoutReachingTheSql) {
    const char* const names[] = {
        "",
        "it's",
        "say \"hi\"",
        "'); DROP TABLE entries; --",
        "\"; DELETE FROM sections; --",
        "percent % and underscore _",
        "?1 :name @name $name",
        "back\\slash/and/slash",
        "\xE6\x97\xA5\xE6\x9C\xAC",
        "tab\tnew\nline",
    };
    CfgSection odd = CfgOpen("'); DROP TABLE sections; --");
    ASSERT_NE(odd, 0);
    ASSERT_EQ(CfgSetSz(section_, "Untouched", "still here"), 0);
    for (const char* name : names) {
        ASSERT_EQ(CfgSetSz(odd, name, name), 0) << name;
    }
    for (const char* name : names) {
        EXPECT_EQ(SzOf(odd, name), name);
    }
    EXPECT_EQ(SzOf(section_, "Untouched"), "still here");
    EXPECT_TRUE(FailsUntouched(Kind::kSz, section_, "it's"));  // sections stay apart
    CfgClose(odd);
}

// ---------------------------------------------------------------------------------------------
// Sections and handles

TEST_F(ConfigStoreTest, OpeningAMissingSectionCreatesIt) {
    CfgSection fresh = CfgOpen("Viewer_Files");
    ASSERT_NE(fresh, 0);
    CfgClose(fresh);

    auto database = kq::platform::ConfigDatabase::Open(home_.SettingsFile().string());
    ASSERT_TRUE(database);
    EXPECT_TRUE(database->HasSection("Viewer_Files"));
    EXPECT_FALSE(database->HasSection("Never_Opened"));
}

// Rows written with the sqlite3 shell need not look like the store's own: a text without its
// terminator, a dw out of range. They are read as far as they make sense and refused otherwise.
TEST_F(ConfigStoreTest, ValuesEditedByHandAreReadSafely) {
    using kq::platform::ValueKind;
    auto database = kq::platform::ConfigDatabase::Open(home_.SettingsFile().string());
    ASSERT_TRUE(database);
    const std::string_view unterminated = "abc";
    ASSERT_TRUE(database->WriteBlob("Main", "Unterminated", ValueKind::kSz,
                                    std::as_bytes(std::span(unterminated))));
    ASSERT_TRUE(database->WriteNumber("Main", "Negative", ValueKind::kDw, -1));
    ASSERT_TRUE(database->WriteNumber("Main", "TooLarge", ValueKind::kDw, 1ll << 32));
    ASSERT_TRUE(database->WriteBlob("Main", "BlobDw", ValueKind::kDw, {}));

    EXPECT_EQ(CfgQuerySz(section_, "Unterminated", nullptr, 0), 4);
    EXPECT_EQ(SzOf(section_, "Unterminated"), "abc");
    for (const char* name : {"Negative", "TooLarge", "BlobDw"}) {
        EXPECT_TRUE(FailsUntouched(Kind::kDw, section_, name)) << name;
    }
}

TEST_F(ConfigStoreTest, NullArgumentsFail) {
    uint32_t dw = 0;
    uint64_t qw = 0;
    char text[8];
    const std::pair<const char*, std::function<int()>> calls[] = {
        {"open null", [] { return CfgOpen(nullptr) == 0 ? -1 : 0; }},
        {"query dw, null handle", [&] { return CfgQueryDw(0, "dw", &dw); }},
        {"query dw, null name", [&] { return CfgQueryDw(section_, nullptr, &dw); }},
        {"query dw, null output", [&] { return CfgQueryDw(section_, "dw", nullptr); }},
        {"query qw, null handle", [&] { return CfgQueryQw(0, "qw", &qw); }},
        {"query qw, null name", [&] { return CfgQueryQw(section_, nullptr, &qw); }},
        {"query qw, null output", [&] { return CfgQueryQw(section_, "qw", nullptr); }},
        {"query sz, null handle", [&] { return CfgQuerySz(0, "sz", text, 8); }},
        {"query sz, null name", [&] { return CfgQuerySz(section_, nullptr, text, 8); }},
        {"query bytes, null handle", [&] { return CfgQueryBytes(0, "bytes", text, 8); }},
        {"query bytes, null name", [&] { return CfgQueryBytes(section_, nullptr, text, 8); }},
        {"set dw, null handle", [] { return CfgSetDw(0, "dw", 1); }},
        {"set dw, null name", [&] { return CfgSetDw(section_, nullptr, 1); }},
        {"set qw, null name", [&] { return CfgSetQw(section_, nullptr, 1, 1); }},
        {"set sz, null name", [&] { return CfgSetSz(section_, nullptr, "t"); }},
        {"set sz, null text", [&] { return CfgSetSz(section_, "sz", nullptr); }},
        {"set bytes, null name", [&] { return CfgSetBytes(section_, nullptr, "b", 1); }},
        {"close null", [] { return CfgClose(0); }},
    };
    // Every value exists with its kind, so only the null argument can make a call fail.
    ASSERT_EQ(CfgSetDw(section_, "dw", 1), 0);
    ASSERT_EQ(CfgSetQw(section_, "qw", 1, 1), 0);
    ASSERT_EQ(CfgSetSz(section_, "sz", "t"), 0);
    ASSERT_EQ(CfgSetBytes(section_, "bytes", "b", 1), 0);
    for (const auto& [description, call] : calls) {
        EXPECT_EQ(call(), -1) << description;
    }
}

TEST_F(ConfigStoreTest, HandleNotFromCfgOpenIsRefused) {
    ASSERT_EQ(CfgSetDw(section_, "x", 1), 0);
    const CfgSection made_up[] = {1, section_ + 8, -1};
    for (CfgSection handle : made_up) {
        uint32_t read = 0;
        EXPECT_EQ(CfgQueryDw(handle, "x", &read), -1);
        EXPECT_EQ(CfgSetDw(handle, "x", 2), -1);
        EXPECT_EQ(CfgClose(handle), -1);
    }
}

TEST_F(ConfigStoreTest, ClosedHandleIsRefusedAndClosingTwiceFails) {
    CfgSection handle = CfgOpen("Other");
    ASSERT_EQ(CfgClose(handle), 0);
    EXPECT_EQ(CfgSetDw(handle, "x", 1), -1);
    EXPECT_EQ(CfgClose(handle), -1);
}

// ---------------------------------------------------------------------------------------------
// Life cycle of the store

// Every call that takes a handle, run on `handle`; each must fail while the store is closed.
void ExpectEveryCallFails(CfgSection handle) {
    uint32_t dw = 0;
    uint64_t qw = 0;
    char text[8] = {};
    EXPECT_EQ(CfgOpen("Main"), 0);
    EXPECT_EQ(CfgQueryDw(handle, "x", &dw), -1);
    EXPECT_EQ(CfgQueryQw(handle, "x", &qw), -1);
    EXPECT_EQ(CfgQuerySz(handle, "x", text, 8), -1);
    EXPECT_EQ(CfgQuerySz(handle, "x", nullptr, 0), -1);
    EXPECT_EQ(CfgQueryBytes(handle, "x", text, 8), -1);
    EXPECT_EQ(CfgSetDw(handle, "x", 1), -1);
    EXPECT_EQ(CfgSetQw(handle, "x", 1, 1), -1);
    EXPECT_EQ(CfgSetSz(handle, "x", "t"), -1);
    EXPECT_EQ(CfgSetBytes(handle, "x", "b", 1), -1);
    EXPECT_EQ(CfgClose(handle), -1);
}

TEST(ConfigLifecycleTest, EveryCallFailsBeforeInit) {
    ScopedConfigHome home;
    ExpectEveryCallFails(1);
    EXPECT_EQ(CfgShutdown(), 0);  // closing a closed store is harmless
    EXPECT_FALSE(fs::exists(home.root()));
}

// The handle was freed by CfgShutdown; using or closing it afterwards must not touch that memory
// (meaningful under AddressSanitizer).
TEST(ConfigLifecycleTest, HandleFromBeforeShutdownIsNotUsedAfterItIsFreed) {
    ScopedConfigHome home;
    ASSERT_EQ(CfgInit(kApplication), 0);
    CfgSection handle = CfgOpen("Main");
    ASSERT_EQ(CfgSetDw(handle, "x", 1), 0);
    ASSERT_EQ(CfgShutdown(), 0);
    ExpectEveryCallFails(handle);
}

TEST(ConfigLifecycleTest, SecondInitReplacesTheFirst) {
    ScopedConfigHome home;
    ASSERT_EQ(CfgInit("first"), 0);
    CfgSection old_handle = CfgOpen("Main");
    ASSERT_EQ(CfgSetDw(old_handle, "x", 1), 0);

    ASSERT_EQ(CfgInit("second"), 0);
    EXPECT_EQ(CfgSetDw(old_handle, "x", 2), -1);
    EXPECT_EQ(CfgClose(old_handle), -1);
    CfgSection handle = CfgOpen("Main");
    uint32_t read = 0;
    EXPECT_EQ(CfgQueryDw(handle, "x", &read), -1);  // "second" has its own database
    CfgClose(handle);

    // A second init that fails leaves the store closed rather than on the old database.
    ASSERT_EQ(CfgInit(".."), -1);
    EXPECT_EQ(CfgOpen("Main"), 0);
    CfgShutdown();
}

}  // namespace
