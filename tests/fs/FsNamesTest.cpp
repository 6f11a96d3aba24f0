// Names between UTF-8 and the console code page (437 unless KQ_CODEPAGE says otherwise):
// characters the code page lacks become '?', control characters and invalid UTF-8 are listed
// without breaking anything, and a lossy listed name still leads back to its file.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "console/GlyphTable.h"
#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

constexpr uint32_t kAll = 127;

bool ConsoleIs437() {
    return console::ConsoleGlyphs().CodePage() == 437;
}

struct NameCase {
    const char* what;
    std::string system;
    std::string listed;
};

TEST(NameConversionTest, SystemNamesInCodePage437) {
    if (!ConsoleIs437()) GTEST_SKIP() << "the table is for code page 437";
    const NameCase cases[] = {
        {"ASCII", "plain-name.txt", "plain-name.txt"},
        {"Latin letters the page has", "caf\xC3\xA9 \xC3\x84", "caf\x82 \x8E"},
        {"letters it lacks", "\xE6\x97\xA5\xE6\x9C\xAC.txt", "??.txt"},
        {"a character outside the BMP", "x\xF0\x9F\x98\x80y", "x?y"},
        {"control characters stay", "a\nb\001c\177", "a\nb\001c\177"},
        {"a glyph the page shows only for a control byte", "\xE2\x98\xBA", "?"},
        {"stray bytes", "\xFF\xFE.bin", "??.bin"},
        {"an overlong slash", "\xC0\xAF", "??"},
        {"a surrogate", "\xED\xA0\x80", "???"},
        {"a truncated sequence", "ab\xE2\x82", "ab??"},
        {"a lead byte before ASCII", "\xC3(", "?("},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ToCodePage(c.system), c.listed);
    }
}

TEST(NameConversionTest, CodePageTextBackToUtf8) {
    if (!ConsoleIs437()) GTEST_SKIP() << "the table is for code page 437";
    EXPECT_EQ(FromCodePage("caf\x82"), "caf\xC3\xA9");
    EXPECT_EQ(FromCodePage("\xE1"), "\xC3\x9F");  // sharp s
    EXPECT_EQ(FromCodePage(std::string("a\nb\x01", 4)), std::string("a\nb\x01", 4));
    EXPECT_EQ(FromCodePage("/usr/lib"), "/usr/lib");
}

class LossyNameTest : public TempDirTest {};

TEST_F(LossyNameTest, ANameWithCharactersThePageLacksIsListedWithQuestionMarks) {
    if (!ConsoleIs437()) GTEST_SKIP() << "expects code page 437";
    WriteFile("\xE6\x97\xA5\xE6\x9C\xAC.txt", "kanji");
    WriteFile("caf\xC3\xA9", "latin");
    const auto names = Names(ListAll(Dir().string(), "*", kAll));
    EXPECT_EQ(names, (std::set<std::string>{"..", "??.txt", "caf\x82"}));
}

TEST_F(LossyNameTest, ControlCharactersAndInvalidUtf8AreListed) {
    const std::string withControls("line\nbreak\x01\x1b[2J", 15);
    const std::string invalid = "\xFF\xFE\xC0.bin";
    WriteFile(withControls, "a");
    WriteFile(invalid, "b");
    WriteFile("ordinary", "c");
    const auto names = Names(ListAll(Dir().string(), "*", kAll));
    EXPECT_EQ(names.count(withControls), 1u);
    EXPECT_EQ(names.count("???.bin"), 1u);
    EXPECT_EQ(names.count("ordinary"), 1u);
    EXPECT_EQ(names.size(), 4u);
}

// A name listed with '?' still opens, copies and deletes the file it stands for.
TEST_F(LossyNameTest, ALossyListedNameLeadsBackToItsFile) {
    const std::string real =
        "\xFF\xFE"
        "_data";
    WriteFile(real, "payload");
    const std::string listed = Path("??_data");
    const intptr_t handle = FsOpen(listed.c_str(), FS_OPEN_EXISTING | FS_READ, 0);
    ASSERT_NE(handle, -1);
    char buffer[16] = {};
    EXPECT_EQ(FsRead(handle, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "payload");
    FsClose(handle);
    EXPECT_EQ(CopyAndWait(listed, Path("copy"), 0), FS_COPY_OK);
    EXPECT_EQ(ReadFile(Path("copy")), "payload");
    EXPECT_EQ(FsDelete(listed.c_str()), 0);
    EXPECT_EQ(ReadFile(Path(real)), "<missing>");
}

TEST_F(LossyNameTest, ALossyDirectoryOnTheWayIsFoundToo) {
    MakeDir("\xE6\x97\xA5");
    WriteFile("\xE6\x97\xA5/inner", "deep");
    const std::string listed = Path("?/inner");
    EXPECT_EQ(CopyAndWait(listed, Path("out"), 0), FS_COPY_OK);
    EXPECT_EQ(ReadFile(Path("out")), "deep");
}

// Two names that list alike: the listed name is ambiguous, so it must touch neither.
TEST_F(LossyNameTest, AnAmbiguousListedNameTouchesNoFile) {
    WriteFile("x\xFF", "first");
    WriteFile("x\xFE", "second");
    EXPECT_EQ(FsDelete(Path("x?").c_str()), -1);
    EXPECT_EQ(ReadFile(Path("x\xFF")), "first");
    EXPECT_EQ(ReadFile(Path("x\xFE")), "second");
}

// A literal '?' in a name is an ordinary character: it is found as itself.
TEST_F(LossyNameTest, ALiteralQuestionMarkIsItself) {
    WriteFile("why?", "literal");
    WriteFile("why\xFF", "other");
    const intptr_t handle = FsOpen(Path("why?").c_str(), FS_OPEN_EXISTING | FS_READ, 0);
    ASSERT_NE(handle, -1);
    char buffer[16] = {};
    EXPECT_EQ(FsRead(handle, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "literal");
    FsClose(handle);
}

TEST_F(LossyNameTest, TheCurrentDirectoryRoundTripsThroughItsListedName) {
    const std::string real = MakeDir("dir\xFF");
    ASSERT_EQ(::chdir(real.c_str()), 0);
    char cwd[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(cwd), 0);
    EXPECT_EQ(std::string(cwd), Path("dir?"));
    ASSERT_EQ(::chdir("/"), 0);
    ASSERT_EQ(FsSetCwd(cwd), 0);
    char back[4096];
    ASSERT_NE(::getcwd(back, sizeof back), nullptr);
    EXPECT_EQ(std::string(back), real);
}

}  // namespace
}  // namespace kq::fs::test
