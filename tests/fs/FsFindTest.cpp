#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

class ListingTest : public FsTest {
  protected:
    std::set<std::string> NamesOf(uint32_t mask) const {
        return Names(ListAll(Dir().string(), "*", mask));
    }
};

TEST_F(ListingTest, DirectoriesAndEntries) {
    const std::string path = WriteFile("sized", std::string(1234, 'z'));
    WriteFile("sub/inner.txt", "");
    const timespec times[2] = {{1'200'000'000, 0}, {1'100'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    const Listed& sized = listing.at("sized");
    EXPECT_EQ(sized.size + listing.at("sub").size, 1234u);
    EXPECT_EQ(sized.accessed, 1'200'000'000);
    EXPECT_EQ(sized.modified, 1'100'000'000);
    EXPECT_EQ(Names(ListAll(Dir().string() + "/", "*", kAll)),
              (std::set<std::string>{"..", "sized", "sub"}));
    EXPECT_EQ(Names(ListAll(Dir().string(), "sub/*.txt", kAll)),
              std::set<std::string>{"inner.txt"});
}

// Large listings are examined in chunks by several threads while the names are still being
// read: every name comes back once, with its own status (the sizes tell the files apart), and
// whatever the page size the mask filters inside each page rather than shortening the walk.
TEST_F(ListingTest, ChunksExaminedWhileReadingKeepEveryNameWithItsOwnStatus) {
    constexpr int kFiles = 4100;        // one chunk and a few names
    for (int i = 0; i < kFiles; ++i) {  // hard links to 97 sizes: quicker than new files
        const std::string name = Path(std::to_string(i));
        EXPECT_EQ(i < 97 ? ::truncate(WriteFile(std::to_string(i), "").c_str(), i)
                         : ::link(Path(std::to_string(i % 97)).c_str(), name.c_str()),
                  0);
    }
    MakeDir("dir");
    for (const int maximum : {0, 7, 4097}) {
        const auto listing = ListAll(Dir().string(), "*", kAll, maximum);
        const auto byName = ByName(listing);
        EXPECT_EQ(listing.size(), kFiles + 2u) << maximum;    // and ".." and "dir"
        ASSERT_EQ(byName.size(), listing.size()) << maximum;  // nothing twice
        for (int i = 0; i < kFiles; i += 41) {
            EXPECT_EQ(byName.at(std::to_string(i)).size, static_cast<uint64_t>(i % 97)) << i;
        }
        EXPECT_TRUE(byName.at("dir").attributes & FA_DIR);
        EXPECT_EQ(ListAll(Dir().string(), "*", FA_ARCHIVE, maximum).size(), size_t{kFiles});
    }
}

// Each kind of file gets its bits, and masks select by permitted and (above bit 16) required
// bits. "." is never listed; ".." (here a writable directory) is masked like any directory.
TEST_F(ListingTest, EachKindOfFileGetsItsBitsAndMasksSelect) {
    WriteFile("plain", "abc");
    ::chmod(WriteFile("readonly", "").c_str(), 0444);
    ::chmod(WriteFile(".hiddenro", "").c_str(), 0444);
    ::chmod(MakeDir("rodir").c_str(), 0555);
    MakeFifo("fifo");
    for (const auto& [target, link] :
         {std::pair{"rodir", "link-to-dir"}, {"plain", "link-to-file"}, {"nowhere", "dangling"}}) {
        ASSERT_EQ(::symlink(target, Path(link).c_str()), 0);
    }
    const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
    std::map<std::string, uint32_t> bits;
    for (const auto& [name, entry] : listing) bits[name] = entry.attributes;
    // clang-format off
    EXPECT_EQ(bits, (std::map<std::string, uint32_t>{
        {"plain", FA_ARCHIVE}, {"readonly", FA_ARCHIVE | FA_RDONLY},
        {".hiddenro", FA_ARCHIVE | FA_HIDDEN | FA_RDONLY}, {"rodir", FA_DIR | FA_RDONLY},
        {"fifo", FA_SYSTEM}, {"..", FA_DIR}, {"link-to-dir", FA_DIR | FA_RDONLY},
        {"link-to-file", FA_ARCHIVE}, {"dangling", FA_ARCHIVE}}));
    // clang-format on
    EXPECT_EQ(listing.at("link-to-file").size, 3u);  // the target's size
    const std::pair<uint32_t, std::set<std::string>> cases[] = {
        {87, {"..", "plain", "readonly", "rodir", "link-to-dir", "link-to-file", "dangling"}},
        {kAll | (FA_RDONLY << 16), {"readonly", ".hiddenro", "rodir", "link-to-dir"}},
    };
    for (const auto& [mask, names] : cases) EXPECT_EQ(NamesOf(mask), names) << mask;
}

class LossyNameTest : public FsTest {};

// Names are listed whatever their bytes (one '?' for each character the code page lacks and
// for each byte of a broken sequence); a name listed with '?' still opens, copies and deletes
// the file it stands for, and a lossy directory on the way is found too.
TEST_F(LossyNameTest, ALossyListedNameLeadsBackToItsFile) {
    const std::string controls("line\nbreak\x01\x1b[2J", 15);
    WriteFile(controls, "a");
    WriteFile("\xFF\xFE_data", "payload");
    MakeDir("dir\xFF");
    WriteFile("\xC0\xAF", "");  // an overlong slash is no separator
    std::set<std::string> expected{"..", controls, "??_data", "dir?", "??"};
    EXPECT_EQ(Names(ListAll(Dir().string(), "*", kAll)), expected);
    WriteFile("\xE6\x97\xA5/inner", "deep");
    const std::string listed = Path("??_data");
    const intptr_t handle = FsOpen(listed.c_str(), FS_OPEN_EXISTING | FS_READ, 0);
    char buffer[16] = {};
    EXPECT_EQ(FsRead(handle, buffer, sizeof buffer), 7);
    FsClose(handle);
    EXPECT_EQ(CopyAndWait(listed, Path("copy"), 0), FS_COPY_OK);
    EXPECT_EQ(CopyAndWait(Path("?/inner"), Path("out"), 0), FS_COPY_OK);
    EXPECT_EQ(buffer + Read(Path("copy")) + Read(Path("out")), "payloadpayloaddeep");
    EXPECT_EQ(FsDelete(listed.c_str()), 0);
    EXPECT_FALSE(stdfs::exists(Path("\xFF\xFE_data")));
}

// Two names that list alike make the listed name ambiguous: it touches neither.
TEST_F(LossyNameTest, AmbiguousNamesTouchNothing) {
    WriteFile("x\xFF", "first");
    WriteFile("x\xFE", "second");
    EXPECT_EQ(FsDelete(Path("x?").c_str()), -1);
    EXPECT_EQ(Read(Path("x\xFF")) + Read(Path("x\xFE")), "firstsecond");
}

}  // namespace
}  // namespace kq::fs::test
