// Listings through FsFindInit, FsFind and FsFindClose: "." and "..", paging with a maximum,
// attribute masks, the attribute bits of each kind of file, patterns, and where a relative
// directory is looked up.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

constexpr uint32_t kAll = 127;

class ListingTest : public TempDirTest {};

TEST_F(ListingTest, DotIsNeverListedAndDotDotIsListedAsADirectory) {
    WriteFile("file", "x");
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    EXPECT_EQ(listing.count("."), 0u);
    ASSERT_EQ(listing.count(".."), 1u);
    EXPECT_TRUE(listing.at("..").attributes & FA_DIR);
    EXPECT_FALSE(listing.at("..").attributes & FA_HIDDEN);
    EXPECT_EQ(listing.size(), 2u);
}

TEST_F(ListingTest, DotDotIsMaskedLikeAnyDirectory) {
    MakeDir("sub");
    WriteFile("file", "x");
    // Directories not permitted: neither ".." nor "sub".
    EXPECT_EQ(Names(ListAll(Dir().string(), "*", FA_ARCHIVE)), std::set<std::string>{"file"});
    // Directories required: both.
    EXPECT_EQ(Names(ListAll(Dir().string(), "*", kAll | (FA_DIR << 16))),
              (std::set<std::string>{"..", "sub"}));
}

TEST_F(ListingTest, TheRootOfTheTreeHasNoParentEntry) {
    EXPECT_EQ(Names(ListAll("/", "*", kAll)).count(".."), 0u);
}

TEST_F(ListingTest, ADirectoryEndingInASeparatorListsTheSame) {
    WriteFile("a", "");
    WriteFile("b", "");
    EXPECT_EQ(Names(ListAll(Dir().string() + "/", "*", kAll)),
              Names(ListAll(Dir().string(), "*", kAll)));
}

TEST_F(ListingTest, AMissingDirectoryListsNothingAndStaysFinished) {
    const FsSearch search = FsFindInit(Path("missing").c_str(), "*", kAll);
    int count = -1;
    EXPECT_EQ(FsFind(search, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FsFind(search, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FsFindClose(search), 0);
}

TEST_F(ListingTest, SizesAndTimesComeFromTheFile) {
    const std::string path = WriteFile("sized", std::string(1234, 'z'));
    MakeDir("dir");
    const timespec times[2] = {{1'200'000'000, 0}, {1'100'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    EXPECT_EQ(listing.at("sized").size, 1234u);
    EXPECT_EQ(listing.at("sized").accessed, 1'200'000'000);
    EXPECT_EQ(listing.at("sized").modified, 1'100'000'000);
    EXPECT_GT(listing.at("sized").created, 1'100'000'000);  // birth or change time: now
    EXPECT_EQ(listing.at("dir").size, 0u);
}

// A relative directory is the one current at FsFindInit, even when the process's current
// directory changes before the listing is read.
TEST_F(ListingTest, RelativeDirectoryIsResolvedWhenTheSearchIsMade) {
    MakeDir("here");
    WriteFile("here/wanted", "");
    MakeDir("elsewhere");
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

TEST_F(ListingTest, APatternWithADirectoryPartListsThatDirectory) {
    MakeDir("sub");
    WriteFile("sub/inner.txt", "");
    WriteFile("outer.txt", "");
    EXPECT_EQ(Names(ListAll(Dir().string(), "sub/*.txt", kAll)),
              std::set<std::string>{"inner.txt"});
}

class PagingTest : public TempDirTest {};

// Paging at its edge: ".." and one file with a maximum of 2 come back together and leave the
// search open; the next call finds nothing.
TEST_F(PagingTest, MaximumTwoOnParentAndOneFileReturnsBothThenNothing) {
    WriteFile("only", "");
    const FsSearch search = FsFindInit(Dir().c_str(), "*", kAll);
    int count = 0;
    const FsFindEntry* entries = FsFind(search, 2, &count);
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(count, 2);
    std::set<std::string> names{entries[0].name, entries[1].name};
    EXPECT_EQ(names, (std::set<std::string>{"..", "only"}));
    count = -1;
    EXPECT_EQ(FsFind(search, 2, &count), nullptr);
    EXPECT_EQ(count, 0);
    FsFindClose(search);
}

TEST_F(PagingTest, TenThousandNamesPagedBySevenLoseNoneAndRepeatNone) {
    std::set<std::string> expected{".."};
    for (int i = 0; i < 10000; ++i) {
        const std::string name = "n" + std::to_string(i);
        const int fd = ::open(Path(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        expected.insert(name);
    }
    const auto listing = ListAll(Dir().string(), "*", kAll, 7);
    EXPECT_EQ(listing.size(), expected.size());  // nothing twice
    EXPECT_EQ(Names(listing), expected);         // nothing lost
}

// Large listings are examined in chunks by several threads while the names are still being
// read: every name must come back once, with its own status, whatever the paging; the sizes
// tell the files apart.
TEST_F(PagingTest, ChunksExaminedWhileReadingKeepEveryNameWithItsOwnStatus) {
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i)
        SizedFile("s" + std::to_string(i), static_cast<uint64_t>(i % 97));
    MakeDir("dir");
    for (const int maximum : {0, 4095, 4096, 4097, 9000}) {
        SCOPED_TRACE(maximum);
        const auto listing = ListAll(Dir().string(), "*", kAll, maximum);
        EXPECT_EQ(listing.size(), static_cast<size_t>(kFiles) + 2);  // and ".." and "dir"
        const auto byName = ByName(listing);
        ASSERT_EQ(byName.size(), listing.size());
        for (int i = 0; i < kFiles; i += 111) {
            const auto found = byName.find("s" + std::to_string(i));
            ASSERT_NE(found, byName.end()) << i;
            EXPECT_EQ(found->second.size, static_cast<uint64_t>(i % 97)) << i;
        }
        EXPECT_TRUE(byName.at("dir").attributes & FA_DIR);
    }
}

// Every maximum, including ones that divide the count and ones larger than it, pages through
// the same names; the mask filters inside each page rather than shortening the walk.
TEST_F(PagingTest, EveryMaximumListsTheSameNames) {
    for (int i = 0; i < 25; ++i) WriteFile("f" + std::to_string(i), "");
    for (int i = 0; i < 5; ++i) MakeDir("d" + std::to_string(i));
    const std::set<std::string> all = Names(ListAll(Dir().string(), "*", kAll));
    const std::set<std::string> files = Names(ListAll(Dir().string(), "*", FA_ARCHIVE));
    ASSERT_EQ(all.size(), 31u);
    ASSERT_EQ(files.size(), 25u);
    for (const int maximum : {1, 2, 3, 5, 6, 30, 31, 32, 1000}) {
        SCOPED_TRACE(maximum);
        const auto paged = ListAll(Dir().string(), "*", kAll, maximum);
        EXPECT_EQ(paged.size(), all.size());
        EXPECT_EQ(Names(paged), all);
        const auto pagedFiles = ListAll(Dir().string(), "*", FA_ARCHIVE, maximum);
        EXPECT_EQ(pagedFiles.size(), files.size());
        EXPECT_EQ(Names(pagedFiles), files);
    }
}

class MaskTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        WriteFile("plain", "");
        ::chmod(WriteFile("readonly", "").c_str(), 0444);
        WriteFile(".hidden", "");
        ::chmod(WriteFile(".hiddenro", "").c_str(), 0444);
        MakeDir("dir");
        ::chmod(MakeDir("rodir").c_str(), 0555);
        MakeFifo("fifo");
        struct stat parent;
        ASSERT_EQ(::stat(Dir().parent_path().c_str(), &parent), 0);
        parentIsReadOnly_ = (parent.st_mode & S_IWUSR) == 0;
    }
    bool parentIsReadOnly_ = false;
};

struct MaskCase {
    const char* what;
    uint32_t mask;
    std::set<std::string> names;  // ".." (a writable directory here) where expected
};

TEST_F(MaskTest, MasksSelectByPermittedAndRequiredBits) {
    ASSERT_FALSE(parentIsReadOnly_) << "the table assumes a writable parent directory";
    const MaskCase cases[] = {
        {"everything",
         127,
         {"..", "plain", "readonly", ".hidden", ".hiddenro", "dir", "rodir", "fifo"}},
        {"87: all but hidden and system", 87, {"..", "plain", "readonly", "dir", "rodir"}},
        {"read-only names neither hidden nor system",
         (FA_ARCHIVE | FA_DIR | FA_RDONLY) | (FA_RDONLY << 16),
         {"readonly", "rodir"}},
        {"plain directories only", FA_DIR, {"..", "dir"}},
        {"any directory", kAll | (FA_DIR << 16), {"..", "dir", "rodir"}},
        {"system files", kAll | (FA_SYSTEM << 16), {"fifo"}},
        {"hidden or not, never read-only", FA_HIDDEN | FA_ARCHIVE, {"plain", ".hidden"}},
        {"hidden required", kAll | (FA_HIDDEN << 16), {".hidden", ".hiddenro"}},
        {"nothing permitted", 0, {}},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Names(ListAll(Dir().string(), "*", c.mask)), c.names);
    }
}

TEST_F(MaskTest, Mask87HidesAHiddenFileEvenIfReadOnly) {
    const auto names = Names(ListAll(Dir().string(), "*", 87));
    EXPECT_EQ(names.count(".hiddenro"), 0u);
    EXPECT_EQ(names.count("readonly"), 1u);
}

class AttributeTest : public TempDirTest {};

// The bits of each kind of file, as the platform maps them.
TEST_F(AttributeTest, EachKindOfFileGetsItsBits) {
    WriteFile("regular", "abc");
    ::chmod(WriteFile("locked", "").c_str(), 0444);
    WriteFile(".dotfile", "");
    MakeDir("directory");
    MakeFifo("pipe");
    MakeSocket("sock");
    ASSERT_EQ(::symlink("directory", Path("link-to-dir").c_str()), 0);
    ASSERT_EQ(::symlink("regular", Path("link-to-file").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", Path("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", Path("device").c_str()), 0);

    const std::map<std::string, uint32_t> expected = {
        {"regular", FA_ARCHIVE},
        {"locked", FA_ARCHIVE | FA_RDONLY},
        {".dotfile", FA_ARCHIVE | FA_HIDDEN},
        {"directory", FA_DIR},
        {"pipe", FA_SYSTEM},
        {"sock", FA_SYSTEM},
        {"link-to-dir", FA_DIR},
        {"link-to-file", FA_ARCHIVE},
        {"dangling", FA_ARCHIVE},
        {"device", FA_SYSTEM},
    };
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    for (const auto& [name, bits] : expected) {
        SCOPED_TRACE(name);
        ASSERT_EQ(listing.count(name), 1u);
        // /dev/null may be read-only for its owner on some systems; compare the rest.
        EXPECT_EQ(listing.at(name).attributes & ~uint32_t{FA_RDONLY}, bits & ~uint32_t{FA_RDONLY});
        if (name != "device") {
            EXPECT_EQ(listing.at(name).attributes, bits);
        }
    }
    EXPECT_EQ(listing.at("link-to-file").size, 3u);  // the target's size
}

struct PatternCase {
    const char* pattern;
    const char* name;
    bool matches;
};

TEST(PatternTest, WildcardsMatchOneByteOrAnyRunOfBytes) {
    const PatternCase cases[] = {
        {"*", "anything", true},
        {"*", "..", true},
        {"*.*", "noextension", true},
        {"*.*", "a.b", true},
        {"*.txt", "notes.txt", true},
        {"*.txt", "notes.txt.bak", false},
        {"*.txt", "notes.TXT", false},
        {"?", "a", true},
        {"?", "ab", false},
        {"a?c", "abc", true},
        {"a*c", "ac", true},
        {"a*c", "abxbc", true},
        {"a*c", "abxbd", false},
        {"*a*b*", "xxaxxbxx", true},
        {"*a*b*", "xxbxxaxx", false},
        {"plain", "plain", true},
        {"plain", "plainer", false},
        {"", "", true},
        {"**", "", true},
        {"?*", "", false},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches)
            << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
    }
}

}  // namespace
}  // namespace kq::fs::test
