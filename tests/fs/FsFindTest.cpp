// Listings through FsFindInit, FsFind and FsFindClose: "..", paging, attribute masks, each kind
// of file's bits, patterns, relative directories; and names between UTF-8 and the console code
// page (437 unless KQ_CODEPAGE says otherwise), where a lossy listed name still leads back to
// its file.
#include <string>
#include <vector>

#include "console/GlyphTable.h"
#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

class ListingTest : public FsTest {};

TEST_F(ListingTest, DirectoriesAndEntries) {
    const std::string path = WriteFile("sized", std::string(1234, 'z'));
    WriteFile("sub/inner.txt", "");
    const timespec times[2] = {{1'200'000'000, 0}, {1'100'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    EXPECT_EQ(listing.at("sized").size, 1234u);
    EXPECT_EQ(listing.at("sized").accessed, 1'200'000'000);
    EXPECT_EQ(listing.at("sized").modified, 1'100'000'000);
    EXPECT_GT(listing.at("sized").created, 1'100'000'000);  // birth or change time: now
    EXPECT_EQ(listing.at("sub").size, 0u);
    EXPECT_EQ(Names(ListAll(Dir().string() + "/", "*", kAll)),
              (std::set<std::string>{"..", "sized", "sub"}));
    EXPECT_EQ(Names(ListAll(Dir().string(), "sub/*.txt", kAll)),
              std::set<std::string>{"inner.txt"});
    EXPECT_EQ(Names(ListAll("/", "*", kAll)).count(".."), 0u);  // the root has no parent

    const FsSearch search = FsFindInit(Path("missing").c_str(), "*", kAll);
    int count = -1;
    for (int call = 0; call < 2; ++call) {  // and stays finished
        EXPECT_EQ(FsFind(search, 0, &count), nullptr);
        EXPECT_EQ(count, 0);
    }
    EXPECT_EQ(FsFindClose(search), 0);
}

// A relative directory is the one current at FsFindInit, whatever the current directory is by
// the time the listing is read.
TEST_F(ListingTest, RelativeDirectoryIsResolvedWhenTheSearchIsMade) {
    WriteFile("here/wanted", "");
    WriteFile("elsewhere/unwanted", "");
    ASSERT_EQ(::chdir(Dir().c_str()), 0);
    const FsSearch search = FsFindInit("here", "*", kAll);
    ASSERT_EQ(::chdir(Path("elsewhere").c_str()), 0);
    ASSERT_EQ(::mkdir("here", 0755), 0);
    int count = 0;
    std::set<std::string> names;
    for (const FsFindEntry* e = FsFind(search, 0, &count); e != nullptr && count-- > 0; ++e) {
        names.insert(e->name);
    }
    FsFindClose(search);
    EXPECT_EQ(names, (std::set<std::string>{"..", "wanted"}));
}

// ".." and one file with a maximum of 2 come back together; the next call finds nothing.
TEST_F(ListingTest, PagingAtItsEdgeAndWithMasks) {
    WriteFile("only", "");
    const FsSearch search = FsFindInit(Dir().c_str(), "*", kAll);
    int count = 0;
    const FsFindEntry* entries = FsFind(search, 2, &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ((std::set<std::string>{entries[0].name, entries[1].name}),
              (std::set<std::string>{"..", "only"}));
    EXPECT_EQ(FsFind(search, 2, &count), nullptr);
    EXPECT_EQ(count, 0);
    FsFindClose(search);
    // Every maximum pages through the same names; the mask filters inside each page rather
    // than shortening the walk.
    for (int i = 0; i < 24; ++i) WriteFile("f" + std::to_string(i), "");
    for (int i = 0; i < 5; ++i) MakeDir("d" + std::to_string(i));
    const std::set<std::string> all = Names(ListAll(Dir().string(), "*", kAll));
    const std::set<std::string> files = Names(ListAll(Dir().string(), "*", FA_ARCHIVE));
    ASSERT_EQ(all.size(), 31u);
    ASSERT_EQ(files.size(), 25u);
    for (const int maximum : {1, 3, 5, 6, 30, 31, 32}) {
        const auto paged = ListAll(Dir().string(), "*", kAll, maximum);
        EXPECT_EQ(paged.size(), all.size()) << maximum;
        EXPECT_EQ(Names(paged), all) << maximum;
        const auto pagedFiles = ListAll(Dir().string(), "*", FA_ARCHIVE, maximum);
        EXPECT_EQ(pagedFiles.size(), files.size()) << maximum;
        EXPECT_EQ(Names(pagedFiles), files) << maximum;
    }
}

// Large listings are examined in chunks by several threads while the names are still being
// read: every name comes back once, with its own status (the sizes tell the files apart).
TEST_F(ListingTest, ChunksExaminedWhileReadingKeepEveryNameWithItsOwnStatus) {
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i)
        SizedFile("s" + std::to_string(i), static_cast<uint64_t>(i % 97));
    MakeDir("dir");
    for (const int maximum : {0, 7, 4095, 4096, 4097, 9000}) {
        SCOPED_TRACE(maximum);
        const auto listing = ListAll(Dir().string(), "*", kAll, maximum);
        const auto byName = ByName(listing);
        EXPECT_EQ(listing.size(), static_cast<size_t>(kFiles) + 2);  // and ".." and "dir"
        ASSERT_EQ(byName.size(), listing.size());                    // nothing twice
        for (int i = 0; i < kFiles; i += 111) {
            EXPECT_EQ(byName.at("s" + std::to_string(i)).size, static_cast<uint64_t>(i % 97)) << i;
        }
        EXPECT_TRUE(byName.at("dir").attributes & FA_DIR);
    }
}

// "." is never listed; ".." (here a writable directory) is masked like any directory.
TEST_F(ListingTest, MasksSelectByPermittedAndRequiredBits) {
    WriteFile("plain", "");
    ::chmod(WriteFile("readonly", "").c_str(), 0444);
    WriteFile(".hidden", "");
    ::chmod(WriteFile(".hiddenro", "").c_str(), 0444);
    MakeDir("dir");
    ::chmod(MakeDir("rodir").c_str(), 0555);
    MakeFifo("fifo");
    const std::pair<uint32_t, std::set<std::string>> cases[] = {
        {127, {"..", "plain", "readonly", ".hidden", ".hiddenro", "dir", "rodir", "fifo"}},
        {87, {"..", "plain", "readonly", "dir", "rodir"}},  // all but hidden and system
        {(FA_ARCHIVE | FA_DIR | FA_RDONLY) | (FA_RDONLY << 16), {"readonly", "rodir"}},
        {FA_DIR, {"..", "dir"}},
        {FA_ARCHIVE, {"plain"}},
        {kAll | (FA_DIR << 16), {"..", "dir", "rodir"}},
        {kAll | (FA_SYSTEM << 16), {"fifo"}},
        {FA_HIDDEN | FA_ARCHIVE, {"plain", ".hidden"}},
        {kAll | (FA_HIDDEN << 16), {".hidden", ".hiddenro"}},
        {0, {}},
    };
    for (const auto& [mask, names] : cases)
        EXPECT_EQ(Names(ListAll(Dir().string(), "*", mask)), names) << mask;
}

TEST_F(ListingTest, EachKindOfFileGetsItsBits) {
    WriteFile("regular", "abc");
    ::chmod(WriteFile("locked", "").c_str(), 0444);
    WriteFile(".dotfile", "");
    MakeDir("directory");
    MakeFifo("pipe");
    MakeSocket("sock");
    for (const auto& [target, link] : {std::pair{"directory", "link-to-dir"},
                                       {"regular", "link-to-file"},
                                       {"nowhere", "dangling"},
                                       {"/dev/null", "device"}}) {
        ASSERT_EQ(::symlink(target, Path(link).c_str()), 0);
    }
    // clang-format off
    const std::map<std::string, uint32_t> expected = {
        {"regular", FA_ARCHIVE}, {"locked", FA_ARCHIVE | FA_RDONLY}, {"directory", FA_DIR},
        {".dotfile", FA_ARCHIVE | FA_HIDDEN}, {"pipe", FA_SYSTEM}, {"sock", FA_SYSTEM},
        {"link-to-dir", FA_DIR}, {"link-to-file", FA_ARCHIVE}, {"dangling", FA_ARCHIVE},
        {"device", FA_SYSTEM}, {"..", FA_DIR}};
    // clang-format on
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    EXPECT_EQ(listing.size(), expected.size());
    for (const auto& [name, bits] : expected) {
        // /dev/null may be read-only for its owner on some systems.
        const uint32_t ignored = name == "device" ? FA_RDONLY : 0;
        EXPECT_EQ(listing.at(name).attributes & ~ignored, bits) << name;
    }
    EXPECT_EQ(listing.at("link-to-file").size, 3u);  // the target's size
}

TEST(PatternTest, WildcardsMatchOneByteOrAnyRunOfBytes) {
    // clang-format off
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*", "anything", true}, {"*", "..", true}, {"*.*", "noextension", true},
        {"*.txt", "notes.txt", true}, {"*.txt", "notes.txt.bak", false},
        {"*.txt", "notes.TXT", false}, {"?", "a", true}, {"?", "ab", false}, {"a?c", "abc", true},
        {"a*c", "ac", true}, {"a*c", "abxbc", true}, {"a*c", "abxbd", false},
        {"*a*b*", "xxaxxbxx", true}, {"*a*b*", "xxbxxaxx", false}, {"plain", "plainer", false},
        {"", "", true}, {"**", "", true}, {"?*", "", false},
    };
    // clang-format on
    for (const auto& [pattern, name, matches] : cases) {
        EXPECT_EQ(MatchesPattern(pattern, name), matches)
            << '"' << pattern << "\" \"" << name << '"';
    }
}

bool ConsoleIs437() {
    return console::ConsoleGlyphs().CodePage() == 437;
}

TEST(NameConversionTest, BetweenUtf8AndCodePage437) {
    if (!ConsoleIs437()) GTEST_SKIP() << "the table is for code page 437";
    const std::pair<std::string, std::string> cases[] = {
        {"plain-name.txt", "plain-name.txt"},
        {"caf\xC3\xA9 \xC3\x84", "caf\x82 \x8E"},    // letters the page has
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "??.txt"},  // and lacks
        {"x\xF0\x9F\x98\x80y", "x?y"},               // outside the BMP
        {"a\nb\001c\177", "a\nb\001c\177"},          // control characters stay
        {"\xE2\x98\xBA", "?"},  // a glyph the page shows only for a control byte
        {"\xFF\xFE.bin", "??.bin"},
        {"\xC0\xAF", "??"},  // stray bytes, overlong slash
        {"\xED\xA0\x80", "???"},
        {"ab\xE2\x82", "ab??"},  // surrogate, truncated sequence
        {"\xC3(", "?("},
    };
    for (const auto& [system, listed] : cases) EXPECT_EQ(ToCodePage(system), listed) << system;
    EXPECT_EQ(FromCodePage("caf\x82"), "caf\xC3\xA9");
    EXPECT_EQ(FromCodePage("\xE1"), "\xC3\x9F");  // sharp s
    EXPECT_EQ(FromCodePage(std::string("a\nb\x01", 4)), std::string("a\nb\x01", 4));
}

class LossyNameTest : public FsTest {};

// A file's content as FsOpen and FsRead give it; "<missing>" when it does not open.
std::string ReadThrough(const std::string& path) {
    const intptr_t handle = FsOpen(path.c_str(), FS_OPEN_EXISTING | FS_READ, 0);
    if (handle == -1) return "<missing>";
    char buffer[64];
    const int32_t length = FsRead(handle, buffer, sizeof buffer);
    FsClose(handle);
    return std::string(buffer, length > 0 ? length : 0);
}

TEST_F(LossyNameTest, NamesAreListedWhateverTheirBytes) {
    const std::string controls("line\nbreak\x01\x1b[2J", 15);
    WriteFile(controls, "a");
    WriteFile("\xFF\xFE\xC0.bin", "b");
    std::set<std::string> expected{"..", controls, "???.bin"};
    if (ConsoleIs437()) {
        WriteFile("\xE6\x97\xA5\xE6\x9C\xAC.txt", "kanji");
        WriteFile("caf\xC3\xA9", "latin");
        expected.insert({"??.txt", "caf\x82"});
    }
    EXPECT_EQ(Names(ListAll(Dir().string(), "*", kAll)), expected);
}

// A name listed with '?' still opens, copies and deletes the file it stands for; a lossy
// directory on the way is found too.
TEST_F(LossyNameTest, ALossyListedNameLeadsBackToItsFile) {
    WriteFile("\xFF\xFE_data", "payload");
    WriteFile("\xE6\x97\xA5/inner", "deep");
    const std::string listed = Path("??_data");
    EXPECT_EQ(ReadThrough(listed), "payload");
    EXPECT_EQ(CopyAndWait(listed, Path("copy"), 0), FS_COPY_OK);
    EXPECT_EQ(CopyAndWait(Path("?/inner"), Path("out"), 0), FS_COPY_OK);
    EXPECT_EQ(Read(Path("copy")) + Read(Path("out")), "payloaddeep");
    EXPECT_EQ(FsDelete(listed.c_str()), 0);
    EXPECT_FALSE(stdfs::exists(Path("\xFF\xFE_data")));
}

// Two names that list alike make the listed name ambiguous: it touches neither. A literal '?'
// is an ordinary character, found as itself.
TEST_F(LossyNameTest, AmbiguousNamesTouchNothingAndALiteralQuestionMarkIsItself) {
    WriteFile("x\xFF", "first");
    WriteFile("x\xFE", "second");
    EXPECT_EQ(FsDelete(Path("x?").c_str()), -1);
    EXPECT_EQ(Read(Path("x\xFF")) + Read(Path("x\xFE")), "firstsecond");
    WriteFile("why?", "literal");
    WriteFile("why\xFF", "other");
    EXPECT_EQ(ReadThrough(Path("why?")), "literal");
}

TEST_F(LossyNameTest, TheCurrentDirectoryRoundTripsThroughItsListedName) {
    const std::string real = MakeDir("dir\xFF");
    ASSERT_EQ(::chdir(real.c_str()), 0);
    char cwd[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(cwd), 0);
    EXPECT_EQ(std::string(cwd), Path("dir?"));
    ASSERT_EQ(::chdir("/"), 0);
    ASSERT_EQ(FsSetCwd(cwd), 0);
    EXPECT_EQ(stdfs::current_path(), real);
}

}  // namespace
}  // namespace kq::fs::test
