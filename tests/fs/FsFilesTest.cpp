#include <string>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

class FilesTest : public FsTest {
  protected:
    Listed Listing(const std::string& name) const {
        const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
        return listing.at(name);
    }
};

TEST_F(FilesTest, EachDispositionCreatesTruncatesOrKeepsTheFile) {
    struct Case {
        uint32_t mode;
        bool exists, opens;    // before the open; whether it succeeds
        const char* contents;  // the file afterwards
    };
    const Case cases[] = {
        {FS_CREATE_NEW | FS_WRITE, true, false, "old"},
        {FS_CREATE_ALWAYS | FS_WRITE, true, true, ""},
        {FS_OPEN_ALWAYS | FS_READ, true, true, "old"},
        {FS_OPEN_EXISTING | FS_READ, false, false, "<missing>"},
        {FS_TRUNCATE_EXISTING | FS_WRITE, true, true, ""},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "file" + std::to_string(index++);
        if (c.exists) WriteFile(name, "old");
        const intptr_t handle = FsOpen(Path(name).c_str(), c.mode, 0);
        EXPECT_EQ(handle != -1, c.opens) << name;
        EXPECT_EQ(handle == -1 ? 0 : FsClose(handle), 0);
        EXPECT_EQ(Read(Path(name)), c.contents) << name;
    }
    // A fifo would block the open until a writer comes, a device has effects of its own, and a
    // directory is no file: all are refused at once.
    for (const std::string& path : {MakeDir("dir"), MakeFifo("fifo"), std::string("/dev/zero")}) {
        EXPECT_EQ(FsOpen(path.c_str(), FS_OPEN_EXISTING | FS_READ, 0), -1) << path;
        EXPECT_EQ(FsOpen(path.c_str(), FS_OPEN_ALWAYS | FS_READ | FS_WRITE, 0), -1) << path;
    }
}

TEST_F(FilesTest, MakeRemoveAndDelete) {
    EXPECT_EQ(FsMkDir(Path("new").c_str(), 0), 0);
    WriteFile("new/content", "");
    EXPECT_EQ(FsRmDir(Path("new").c_str()), -1);  // not empty
    EXPECT_EQ(FsDelete(Path("new/content").c_str()), 0);
    EXPECT_EQ(FsRmDir(Path("new").c_str()), 0);
    WriteFile("target", "kept");
    ASSERT_EQ(::symlink("target", Path("link").c_str()), 0);
    EXPECT_EQ(FsDelete(Path("link").c_str()), 0);
    EXPECT_EQ(Read(Path("target")), "kept");  // the link went, not its target
    // A copy makes a directory with its source's attributes and then fills it, so the
    // read-only bit is left to FsSetAttr.
    ASSERT_EQ(FsMkDir(Path("ro").c_str(), FA_DIR | FA_RDONLY), 0);
    const intptr_t handle = FsOpen(Path("ro/inside").c_str(), FS_CREATE_NEW | FS_WRITE, 0);
    EXPECT_NE(handle, -1);
    FsClose(handle);
}

// FsMove and its fallback for file systems that cannot refuse to replace (called directly)
// rename files and directories but never replace a file or an empty directory, nor leave a
// placeholder behind when a directory is moved into itself.
TEST_F(FilesTest, MovesRenameButNeverReplace) {
    const std::function<int(const std::string&, const std::string&)> movers[] = {
        [](const std::string& from, const std::string& to) {
            return FsMove(from.c_str(), to.c_str());
        },
        [](const std::string& from, const std::string& to) {
            return MoveWithoutReplacing(from, to);
        }};
    for (const auto& move : movers) {
        WriteFile("a", "A");
        WriteFile("d/inner", "I");
        WriteFile("to", "target");
        MakeDir("empty");
        EXPECT_EQ(move(Path("a"), Path("b")) + move(Path("d"), Path("e")), 0);
        EXPECT_EQ(move(Path("b"), Path("to")), -1);
        EXPECT_EQ(move(Path("e"), Path("empty")), -1);  // rename(2) would replace it
        EXPECT_EQ(move(Path("e"), Path("e/inside")), -1);
        EXPECT_EQ(Read(Path("b")) + Read(Path("e/inner")) + Read(Path("to")), "AItarget");
        EXPECT_TRUE(stdfs::is_empty(Path("empty")));
        EXPECT_FALSE(stdfs::exists(Path("a")) || stdfs::exists(Path("d")) ||
                     stdfs::exists(Path("e/inside")));
        stdfs::remove_all(Path("e")), stdfs::remove(Path("b"));
    }
}

TEST_F(FilesTest, SetAttrGivesTheListingItsTimesAndTheReadOnlyBit) {
    const std::string path = WriteFile("file", "x");
    ASSERT_EQ(FsSetAttr(path.c_str(), FA_ARCHIVE | FA_HIDDEN | FA_SYSTEM | FA_RDONLY, 0,
                        1'000'000'000, 1'100'000'000),
              0);
    const Listed listed = Listing("file");
    EXPECT_EQ(listed.attributes, uint32_t{FA_ARCHIVE | FA_RDONLY});  // what the system can keep
    EXPECT_EQ(listed.modified, 1'000'000'000);
    EXPECT_EQ(listed.accessed, 1'100'000'000);
    // Clearing read-only gives the owner write access back.
    ASSERT_EQ(FsSetAttr(path.c_str(), FA_ARCHIVE, 0, 0, 0), 0);
    EXPECT_EQ(stdfs::status(path).permissions(), stdfs::perms(0644));
    // Times are written by name: a fifo is never opened (which would wait for a writer).
    EXPECT_EQ(FsSetAttr(MakeFifo("fifo").c_str(), 0, 0, 1'234'567'890, 1'234'567'890), 0);
    EXPECT_EQ(Listing("fifo").modified, 1'234'567'890);
}

}  // namespace
}  // namespace kq::fs::test
