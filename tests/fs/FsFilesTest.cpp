// Files and directories by name: FsOpen's modes and what it refuses, reading, writing and
// seeking, FsMkDir, FsRmDir, FsDelete, FsMove (never replacing, never across file systems) and
// the current directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

class OpenTest : public TempDirTest {};

TEST_F(OpenTest, UndefinedDispositionsFailAndCreateNothing) {
    for (const uint32_t low : {0u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u}) {
        SCOPED_TRACE(low);
        const std::string path = Path("never-" + std::to_string(low));
        EXPECT_EQ(FsOpen(path.c_str(), low | FS_READ | FS_WRITE, 0), -1);
        EXPECT_NE(::access(path.c_str(), F_OK), 0);
    }
}

struct DispositionCase {
    const char* what;
    uint32_t mode;
    bool exists;           // whether the file exists before the open
    bool opens;            // whether the open succeeds
    const char* contents;  // the file afterwards ("<missing>" when absent)
};

TEST_F(OpenTest, EachDispositionCreatesTruncatesOrKeepsTheFile) {
    const DispositionCase cases[] = {
        {"create new, missing", FS_CREATE_NEW | FS_WRITE, false, true, ""},
        {"create new, existing", FS_CREATE_NEW | FS_WRITE, true, false, "old"},
        {"create always, missing", FS_CREATE_ALWAYS | FS_WRITE, false, true, ""},
        {"create always, existing", FS_CREATE_ALWAYS | FS_WRITE, true, true, ""},
        {"open always, missing", FS_OPEN_ALWAYS | FS_READ, false, true, ""},
        {"open always, existing", FS_OPEN_ALWAYS | FS_READ, true, true, "old"},
        {"open existing, missing", FS_OPEN_EXISTING | FS_READ, false, false, "<missing>"},
        {"open existing, existing", FS_OPEN_EXISTING | FS_READ, true, true, "old"},
        {"truncate existing, missing", FS_TRUNCATE_EXISTING | FS_WRITE, false, false, "<missing>"},
        {"truncate existing, existing", FS_TRUNCATE_EXISTING | FS_WRITE, true, true, ""},
        {"truncate without write access", FS_TRUNCATE_EXISTING | FS_READ, true, false, "old"},
    };
    int index = 0;
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("file" + std::to_string(index++));
        if (c.exists) WriteFile(path.substr(Dir().string().size() + 1), "old");
        const intptr_t handle = FsOpen(path.c_str(), c.mode, 0);
        EXPECT_EQ(handle != -1, c.opens);
        if (handle != -1) {
            EXPECT_EQ(FsClose(handle), 0);
        }
        EXPECT_EQ(ReadFile(path), c.contents);
    }
}

TEST_F(OpenTest, ReadOnlyAttributeAppliesToANewFile) {
    const std::string path = Path("created-read-only");
    const intptr_t handle = FsOpen(path.c_str(), FS_CREATE_NEW | FS_WRITE, FA_RDONLY);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(FsWrite(handle, "data", 4), 4);  // the creating handle still writes
    FsClose(handle);
    const auto listing = ByName(ListAll(Dir().string(), "*", 127));
    EXPECT_EQ(listing.at("created-read-only").attributes, uint32_t{FA_ARCHIVE | FA_RDONLY});
    EXPECT_EQ(ReadFile(path), "data");
}

// A fifo would block the open (or the first read) until a writer comes; a device has effects
// of its own; a directory is no file. All are refused at once.
TEST_F(OpenTest, DirectoriesFifosSocketsAndDevicesAreRefused) {
    const std::string paths[] = {MakeDir("dir"), MakeFifo("fifo"), MakeSocket("socket"),
                                 "/dev/null", "/dev/zero"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(FsOpen(path.c_str(), FS_OPEN_EXISTING | FS_READ, 0), -1);
        EXPECT_EQ(FsOpen(path.c_str(), FS_OPEN_ALWAYS | FS_READ | FS_WRITE, 0), -1);
    }
}

TEST_F(OpenTest, ReadWriteSeekAndTell) {
    const intptr_t handle =
        FsOpen(Path("rw").c_str(), FS_CREATE_NEW | FS_READ | FS_WRITE | FS_SHARE_READ, 0);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(FsWrite(handle, "0123456789", 10), 10);
    EXPECT_EQ(FsTell(handle), 10);
    EXPECT_EQ(FsSeek(handle, 2, FS_SEEK_SET), 2);
    char buffer[8] = {};
    EXPECT_EQ(FsRead(handle, buffer, 3), 3);
    EXPECT_STREQ(buffer, "234");
    EXPECT_EQ(FsSeek(handle, 1, FS_SEEK_CUR), 6);
    EXPECT_EQ(FsSeek(handle, -4, FS_SEEK_END), 6);
    EXPECT_EQ(FsSeek(handle, -1, 2), 9);  // 2 counts as from the end
    EXPECT_EQ(FsRead(handle, buffer, sizeof buffer), 1);
    EXPECT_EQ(FsRead(handle, buffer, sizeof buffer), 0);  // end of file
    EXPECT_EQ(FsSeek(handle, 0, 3), -1);
    EXPECT_EQ(FsSeek(handle, -1, FS_SEEK_SET), -1);
    EXPECT_EQ(FsTell(handle), 10);
    EXPECT_EQ(FsClose(handle), 0);
    EXPECT_EQ(FsRead(handle, buffer, 1), -1);
}

TEST_F(OpenTest, UnbufferedAccessOpensWhereverTheFileSystemAllows) {
    WriteFile("plain", std::string(4096, 'u'));
    const intptr_t handle =
        FsOpen(Path("plain").c_str(), FS_OPEN_EXISTING | FS_READ | FS_UNBUFFERED, 0);
    ASSERT_NE(handle, -1);
    FsClose(handle);
}

class DirectoryTest : public TempDirTest {};

TEST_F(DirectoryTest, MakeAndRemoveDirectories) {
    EXPECT_EQ(FsMkDir(Path("new").c_str(), 0), 0);
    EXPECT_EQ(FsMkDir(Path("new").c_str(), 0), -1);  // exists
    WriteFile("new/content", "");
    EXPECT_EQ(FsRmDir(Path("new").c_str()), -1);  // not empty
    ASSERT_EQ(::unlink(Path("new/content").c_str()), 0);
    EXPECT_EQ(FsRmDir(Path("new").c_str()), 0);
    EXPECT_EQ(FsRmDir(Path("new").c_str()), -1);
}

// The system enforces a directory's write permission: a copy creates the directory with its
// source's attributes and then fills it, so FsMkDir leaves the read-only bit to FsSetAttr.
TEST_F(DirectoryTest, ReadOnlyNewDirectoryCanStillBeFilled) {
    ASSERT_EQ(FsMkDir(Path("ro").c_str(), FA_DIR | FA_RDONLY), 0);
    const intptr_t handle = FsOpen(Path("ro/inside").c_str(), FS_CREATE_NEW | FS_WRITE, 0);
    EXPECT_NE(handle, -1);
    if (handle != -1) FsClose(handle);
}

TEST_F(DirectoryTest, DeleteRemovesFilesAndLinksButNoDirectories) {
    WriteFile("target", "kept");
    ASSERT_EQ(::symlink("target", Path("link").c_str()), 0);
    MakeDir("dir");
    EXPECT_EQ(FsDelete(Path("link").c_str()), 0);
    EXPECT_EQ(ReadFile(Path("target")), "kept");  // the link went, not its target
    EXPECT_EQ(FsDelete(Path("dir").c_str()), -1);
    EXPECT_EQ(FsDelete(Path("target").c_str()), 0);
    EXPECT_EQ(FsDelete(Path("target").c_str()), -1);
}

TEST_F(DirectoryTest, CurrentDirectoryRoundTrip) {
    MakeDir("cwd");
    ASSERT_EQ(FsSetCwd(Path("cwd").c_str()), 0);
    char buffer[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(buffer), 0);
    EXPECT_EQ(std::string(buffer), Path("cwd"));
    EXPECT_EQ(FsSetCwd(Path("missing").c_str()), -1);
}

TEST_F(DirectoryTest, ACurrentDirectoryLongerThanTheBufferFails) {
    std::string deep = Dir().string();
    while (deep.size() < FS_MAX_PATH + 10) {
        deep += "/" + std::string(60, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    ASSERT_EQ(::chdir(deep.c_str()), 0);
    char buffer[FS_MAX_PATH];
    EXPECT_EQ(FsGetCwd(buffer), -1);
}

class MoveTest : public TempDirTest {};

TEST_F(MoveTest, RenamesFilesAndDirectories) {
    WriteFile("a", "A");
    MakeDir("d");
    WriteFile("d/inner", "I");
    EXPECT_EQ(FsMove(Path("a").c_str(), Path("b").c_str()), 0);
    EXPECT_EQ(ReadFile(Path("b")), "A");
    EXPECT_EQ(FsMove(Path("d").c_str(), Path("e").c_str()), 0);
    EXPECT_EQ(ReadFile(Path("e/inner")), "I");
}

TEST_F(MoveTest, NeverReplacesAnExistingFile) {
    WriteFile("from", "source");
    WriteFile("to", "target");
    EXPECT_EQ(FsMove(Path("from").c_str(), Path("to").c_str()), -1);
    EXPECT_EQ(ReadFile(Path("from")), "source");
    EXPECT_EQ(ReadFile(Path("to")), "target");
}

// rename(2) itself would replace an empty directory.
TEST_F(MoveTest, NeverReplacesAnExistingDirectoryEvenAnEmptyOne) {
    MakeDir("from");
    WriteFile("from/inner", "x");
    MakeDir("empty");
    EXPECT_EQ(FsMove(Path("from").c_str(), Path("empty").c_str()), -1);
    EXPECT_EQ(ReadFile(Path("from/inner")), "x");
    EXPECT_TRUE(stdfs::is_empty(Path("empty")));
}

// Finds a directory on another file system than the test directory; empty when none.
std::string OtherFileSystemDirectory(const stdfs::path& here) {
    struct stat mine;
    if (::stat(here.c_str(), &mine) != 0) return {};
    for (const char* candidate : {"/dev/shm", "/run/user", "/run", "/tmp", "/var/tmp"}) {
        struct stat other;
        if (::stat(candidate, &other) == 0 && S_ISDIR(other.st_mode) &&
            other.st_dev != mine.st_dev && ::access(candidate, W_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

TEST_F(MoveTest, AMoveToAnotherFileSystemFailsAndLeavesTheSource) {
    const std::string other = OtherFileSystemDirectory(Dir());
    if (other.empty()) GTEST_SKIP() << "no second writable file system found";
    WriteFile("file", "stays");
    MakeDir("dir");
    WriteFile("dir/inner", "stays too");
    const std::string fileTarget = other + "/kq-fs-move-" + std::to_string(::getpid());
    const std::string dirTarget = fileTarget + "-dir";
    EXPECT_EQ(FsMove(Path("file").c_str(), fileTarget.c_str()), -1);
    EXPECT_EQ(FsMove(Path("dir").c_str(), dirTarget.c_str()), -1);
    EXPECT_EQ(ReadFile(Path("file")), "stays");
    EXPECT_EQ(ReadFile(Path("dir/inner")), "stays too");
    EXPECT_NE(::access(fileTarget.c_str(), F_OK), 0);
    EXPECT_NE(::access(dirTarget.c_str(), F_OK), 0);
}

// The fallback for file systems that cannot refuse to replace, called directly.
TEST_F(MoveTest, FallbackMoveNeverReplacesEither) {
    WriteFile("from", "source");
    WriteFile("to", "target");
    MakeDir("dir");
    MakeDir("empty");
    EXPECT_EQ(MoveWithoutReplacing(Path("from"), Path("to")), -1);
    EXPECT_EQ(ReadFile(Path("to")), "target");
    EXPECT_EQ(MoveWithoutReplacing(Path("dir"), Path("empty")), -1);
    EXPECT_TRUE(stdfs::exists(Path("dir")));
    EXPECT_EQ(MoveWithoutReplacing(Path("from"), Path("moved")), 0);
    EXPECT_EQ(ReadFile(Path("moved")), "source");
    EXPECT_FALSE(stdfs::exists(Path("from")));
    EXPECT_EQ(MoveWithoutReplacing(Path("dir"), Path("moved-dir")), 0);
    EXPECT_TRUE(stdfs::is_directory(Path("moved-dir")));
    EXPECT_FALSE(stdfs::exists(Path("dir")));
    // A directory into itself fails and leaves no placeholder behind.
    EXPECT_EQ(MoveWithoutReplacing(Path("moved-dir"), Path("moved-dir/inside")), -1);
    EXPECT_FALSE(stdfs::exists(Path("moved-dir/inside")));
}

}  // namespace
}  // namespace kq::fs::test
