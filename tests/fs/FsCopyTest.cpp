// FsCopy in both modes: contents, the block size rule, the states 0 to 5 (read and write
// errors included), existing destinations, special files that must never be read, the status
// record's progress, what the system copy carries over, and relative names.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

constexpr uint32_t kOwnLoop = 0;
constexpr uint32_t kSystem = FS_COPY_SYSTEM;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

struct BlockCase {
    uint64_t size;
    uint32_t block;
};

TEST(CopyBlockSizeTest, AHundredthOfTheSizeHeldBetween64And128KiB) {
    const BlockCase cases[] = {
        {0, 65536},
        {1, 65536},
        {6'553'600, 65536},
        {13'107'199, 65536},
        {13'107'200, 131072},
        {100'000'000, 131072},
        {uint64_t{1} << 40, 131072},
    };
    for (const BlockCase& c : cases) EXPECT_EQ(CopyBlockSize(c.size), c.block) << c.size;
}

class CopyTest : public TempDirTest {};

TEST_F(CopyTest, BothModesCopyTheContent) {
    const size_t sizes[] = {1, 65535, 65536, 65537, 3 * 131072 + 5, 13'107'200 + 7};
    unsigned seed = 1;
    for (const size_t size : sizes) {
        const std::string content = RandomBytes(size, seed++);
        const std::string source = WriteFile("source" + std::to_string(size), content);
        for (const uint32_t mode : {kOwnLoop, kSystem}) {
            SCOPED_TRACE(testing::Message() << "size " << size << " mode " << mode);
            const std::string target =
                Path("target" + std::to_string(size) + "-" + std::to_string(mode));
            FsCopyStatus status{};
            EXPECT_EQ(CopyAndWait(source, target, mode, &status), FS_COPY_OK);
            EXPECT_EQ(status.done, size);
            EXPECT_TRUE(ReadFile(target) == content);
        }
    }
}

TEST_F(CopyTest, AnEmptyFileEndsInStateZeroWithZeroDone) {
    const std::string source = WriteFile("empty", "");
    for (const uint32_t mode : {kOwnLoop, kSystem}) {
        SCOPED_TRACE(mode);
        FsCopyStatus status{};
        EXPECT_EQ(CopyAndWait(source, Path("copy" + std::to_string(mode)), mode, &status),
                  FS_COPY_OK);
        EXPECT_EQ(status.done, 0u);
        EXPECT_EQ(ReadFile(Path("copy" + std::to_string(mode))), "");
    }
}

TEST_F(CopyTest, FsCopyClearsTheStatusRecord) {
    FsCopyStatus status{};
    status.done = 12345;
    status.reserved = 0xDEAD;
    ASSERT_EQ(FsCopy(Path("missing").c_str(), Path("x").c_str(), &status, kOwnLoop), 0);
    EXPECT_EQ(WaitForCopy(status), FS_COPY_OPEN_FAILED);
    EXPECT_EQ(status.done, 0u);
    EXPECT_EQ(status.reserved, 0u);
    EXPECT_EQ(FsCopy(Path("missing").c_str(), Path("x").c_str(), nullptr, kOwnLoop), -1);
}

TEST_F(CopyTest, AMissingSourceEndsInStateTwoOrOne) {
    EXPECT_EQ(CopyAndWait(Path("missing"), Path("a"), kOwnLoop), FS_COPY_OPEN_FAILED);
    EXPECT_EQ(CopyAndWait(Path("missing"), Path("b"), kSystem), FS_COPY_FAILED);
    EXPECT_FALSE(stdfs::exists(Path("a")));
    EXPECT_FALSE(stdfs::exists(Path("b")));
}

TEST_F(CopyTest, AnExistingDestinationWithoutFlagTwoIsUntouched) {
    const std::string source = WriteFile("source", "new content");
    const std::string target = WriteFile("target", "old");
    const timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
    EXPECT_EQ(CopyAndWait(source, target, kOwnLoop), FS_COPY_CREATE_FAILED);
    EXPECT_EQ(CopyAndWait(source, target, kSystem), FS_COPY_FAILED);
    EXPECT_EQ(ReadFile(target), "old");
    struct stat status;
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1'000'000'000);
}

// The own loop keeps the replaced file's permissions; the system copy carries the source's.
TEST_F(CopyTest, FlagTwoReplacesAnExistingDestination) {
    const std::string source = WriteFile("source", "new content");
    for (const uint32_t mode : {kOwnLoop, kSystem}) {
        const std::string target =
            WriteFile("target" + std::to_string(mode), std::string(100000, 'o'));
        ASSERT_EQ(::chmod(target.c_str(), 0751), 0);
        EXPECT_EQ(CopyAndWait(source, target, mode | FS_COPY_REPLACE), FS_COPY_OK);
        EXPECT_EQ(ReadFile(target), "new content");
        EXPECT_EQ(stdfs::status(target).permissions(),
                  mode == kOwnLoop ? stdfs::perms(0751) : stdfs::perms(0644));
    }
    EXPECT_EQ(std::distance(stdfs::directory_iterator(Dir()), {}), 3);  // nothing left beside
}

// Replacing a file by itself would truncate it before the first read.
TEST_F(CopyTest, CopyOntoItselfWouldTruncateTheSourceAndIsRefused) {
    const std::string source = WriteFile("self", "precious");
    ASSERT_EQ(::link(source.c_str(), Path("hardlink").c_str()), 0);
    EXPECT_EQ(CopyAndWait(source, source, kOwnLoop | FS_COPY_REPLACE), FS_COPY_CREATE_FAILED);
    EXPECT_EQ(CopyAndWait(source, Path("hardlink"), kOwnLoop | FS_COPY_REPLACE),
              FS_COPY_CREATE_FAILED);
    EXPECT_EQ(CopyAndWait(source, source, kSystem | FS_COPY_REPLACE), FS_COPY_FAILED);
    EXPECT_EQ(ReadFile(source), "precious");
}

// A fifo, a socket or a device as source: nothing is opened or read and the copy ends. A fifo
// read would wait for a writer forever; /dev/zero would never end.
TEST_F(CopyTest, SpecialFilesAreNeverReadAndNothingHangs) {
    const std::string fifo = MakeFifo("fifo");
    // Keep the fifo open with one byte in it: a copy that read it would take the byte.
    const int keeper = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(keeper, 0);
    ASSERT_EQ(::write(keeper, "x", 1), 1);
    const std::string sources[] = {fifo, MakeSocket("socket"), "/dev/zero", "/dev/null",
                                   MakeDir("dir")};
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        EXPECT_EQ(CopyAndWait(source, Path("own"), kOwnLoop), FS_COPY_OPEN_FAILED);
        EXPECT_EQ(CopyAndWait(source, Path("system"), kSystem), FS_COPY_FAILED);
        EXPECT_FALSE(stdfs::exists(Path("own")));
        EXPECT_FALSE(stdfs::exists(Path("system")));
    }
    char byte = 0;
    EXPECT_EQ(::read(keeper, &byte, 1), 1);
    EXPECT_EQ(byte, 'x');
    ::close(keeper);
}

// Writing into a fifo without a reader would wait forever; writing into a device has effects.
TEST_F(CopyTest, SpecialFilesAreNeverWrittenAsDestinations) {
    const std::string source = WriteFile("source", "data");
    for (const std::string& target : {MakeFifo("fifo"), std::string("/dev/null")}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(CopyAndWait(source, target, kOwnLoop | FS_COPY_REPLACE), FS_COPY_CREATE_FAILED);
        EXPECT_EQ(CopyAndWait(source, target, kSystem | FS_COPY_REPLACE), FS_COPY_FAILED);
    }
}

// /proc/self/mem is a regular file whose first page is never mapped: reading it fails.
TEST_F(CopyTest, AReadErrorEndsInStateFour) {
    const char* source = "/proc/self/mem";
    struct stat status;
    const int probe = ::open(source, O_RDONLY | O_CLOEXEC);
    char byte;
    const bool readFails = probe >= 0 && ::read(probe, &byte, 1) < 0;
    if (probe >= 0) ::close(probe);
    if (::stat(source, &status) != 0 || !S_ISREG(status.st_mode) || !readFails) {
        GTEST_SKIP() << "no regular file that fails to read";
    }
    EXPECT_EQ(CopyAndWait(source, Path("own"), kOwnLoop), FS_COPY_READ_FAILED);
    EXPECT_EQ(CopyAndWait(source, Path("system"), kSystem), FS_COPY_FAILED);
    // Fault caught: a failed copy left its partial destination, and one with the replace flag
    // had already truncated the file it was to replace.
    const std::string kept = WriteFile("kept", "old");
    EXPECT_EQ(CopyAndWait(source, kept, kOwnLoop | FS_COPY_REPLACE), FS_COPY_READ_FAILED);
    EXPECT_EQ(CopyAndWait(source, kept, kSystem | FS_COPY_REPLACE), FS_COPY_FAILED);
    EXPECT_EQ(ReadFile(kept), "old");
    EXPECT_EQ(std::distance(stdfs::directory_iterator(Dir()), {}), 1);
}

// In a child process with a file size limit (SIGXFSZ ignored) every write past the limit fails.
// The done field then shows the block size the loop really used: full blocks only. The file to
// be replaced stays as it was, and nothing of the failed copy is left.
TEST_F(CopyTest, AWriteErrorEndsInStateFiveAndDoneShowsTheBlockSize) {
    constexpr rlim_t kLimit = 200'000;
    const BlockCase cases[] = {{13'107'199, 65536}, {13'107'200, 131072}};
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string source = SizedFile("source" + std::to_string(c.size), c.size);
        const std::string target = WriteFile("target" + std::to_string(c.size), "old");
        SharedStatus shared;
        ASSERT_NE(shared.Get(), nullptr);
        const int state = RunInChild([&] {
            const rlimit limit{kLimit, kLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 100;
            ::signal(SIGXFSZ, SIG_IGN);
            const uint32_t flags = kOwnLoop | FS_COPY_REPLACE;
            if (FsCopy(source.c_str(), target.c_str(), shared.Get(), flags) != 0) return 101;
            return WaitForCopy(*shared.Get());
        });
        EXPECT_EQ(state, FS_COPY_WRITE_FAILED);
        EXPECT_EQ(shared.Get()->done, kLimit / c.block * c.block);
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_EQ(std::distance(stdfs::directory_iterator(Dir()), {}), 2);
        stdfs::remove(source);
        stdfs::remove(target);
    }
}

bool WriteText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

// A mount namespace of the calling (single-threaded, forked) process: directly where it may
// mount, else inside a user namespace that maps the user to itself.
bool PrivateMountNamespace() {
    if (::unshare(CLONE_NEWNS) == 0) return true;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
           WriteText("/proc/self/setgroups", "deny") &&
           WriteText("/proc/self/uid_map",
                     std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
           WriteText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
}

// A real full file system where the test may mount one: a 1 MiB tmpfs in a private mount
// namespace of a child process.
TEST_F(CopyTest, AFullFileSystemEndsInStateFiveOrOne) {
    const std::string source = SizedFile("source", 3 * 1024 * 1024);
    const std::string mountPoint = MakeDir("small");
    constexpr int kCannotMount = 200;
    for (const uint32_t mode : {kOwnLoop, kSystem}) {
        SCOPED_TRACE(mode);
        SharedStatus shared;
        const int state = RunInChild([&] {
            if (!PrivateMountNamespace() ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0) {
                return kCannotMount;
            }
            const std::string target = mountPoint + "/target";
            if (FsCopy(source.c_str(), target.c_str(), shared.Get(), mode) != 0) return 101;
            return WaitForCopy(*shared.Get());
        });
        if (state == kCannotMount) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        EXPECT_EQ(state, mode == kOwnLoop ? FS_COPY_WRITE_FAILED : FS_COPY_FAILED);
        EXPECT_LE(shared.Get()->done, 1024u * 1024u);
    }
}

TEST_F(CopyTest, DoneOnlyGrowsAndEndsAtTheSize) {
    constexpr uint64_t kSize = 96ull * 1024 * 1024;
    const std::string source = WriteFile("big", RandomBytes(kSize, 7));
    for (const uint32_t mode : {kOwnLoop, kSystem}) {
        SCOPED_TRACE(mode);
        FsCopyStatus status{};
        ASSERT_EQ(
            FsCopy(source.c_str(), Path("copy" + std::to_string(mode)).c_str(), &status, mode), 0);
        std::vector<uint64_t> seen;
        while (LoadState(status) == FS_COPY_RUNNING) {
            const uint64_t done = LoadDone(status);
            if (seen.empty() || seen.back() != done) seen.push_back(done);
        }
        EXPECT_EQ(LoadState(status), FS_COPY_OK);
        seen.push_back(LoadDone(status));
        for (size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i - 1], seen[i]) << i;
        EXPECT_EQ(seen.back(), kSize);
    }
}

// Files of /proc report a size of 0 and still have content; some kernels' copy_file_range
// copies nothing from them, so the system copy must not take its first 0 for the end.
TEST_F(CopyTest, FilesThatReportNoSizeAreCopiedWhole) {
    const std::string expected = ReadFile("/proc/version");
    ASSERT_FALSE(expected.empty());
    for (const uint32_t mode : {kOwnLoop, kSystem}) {
        SCOPED_TRACE(mode);
        const std::string target = Path("version" + std::to_string(mode));
        EXPECT_EQ(CopyAndWait("/proc/version", target, mode), FS_COPY_OK);
        EXPECT_EQ(ReadFile(target), expected);
    }
}

TEST_F(CopyTest, TheSystemCopyCarriesModeAndTimesTheOwnLoopDoesNot) {
    const std::string source = WriteFile("source", "timed");
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    const timespec times[2] = {{1'100'000'000, 500}, {1'000'000'000, 250}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_EQ(CopyAndWait(source, Path("system"), kSystem), FS_COPY_OK);
    ASSERT_EQ(CopyAndWait(source, Path("own"), kOwnLoop), FS_COPY_OK);
    struct stat system;
    struct stat own;
    ASSERT_EQ(::stat(Path("system").c_str(), &system), 0);
    ASSERT_EQ(::stat(Path("own").c_str(), &own), 0);
    EXPECT_EQ(system.st_mode & 07777, 0640u);
    EXPECT_EQ(system.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(system.st_mtim.tv_nsec, 250);
    EXPECT_EQ(system.st_atim.tv_sec, 1'100'000'000);
    EXPECT_GT(own.st_mtime, 1'000'000'000);
}

// Relative names mean the directory current at the call; the copy thread never looks at the
// process's current directory, which the caller changes right after starting it.
TEST_F(CopyTest, RelativeNamesAreResolvedAtTheCall) {
    MakeDir("first");
    MakeDir("second");
    WriteFile("first/source", "from first");
    WriteFile("second/source", "from second");
    for (const uint32_t mode : {kOwnLoop, kSystem}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chdir(Path("first").c_str()), 0);
        FsCopyStatus status{};
        const std::string target = "target" + std::to_string(mode);
        ASSERT_EQ(FsCopy("source", target.c_str(), &status, mode), 0);
        ASSERT_EQ(::chdir(Path("second").c_str()), 0);
        EXPECT_EQ(WaitForCopy(status), FS_COPY_OK);
        EXPECT_EQ(ReadFile(Path("first/" + target)), "from first");
        EXPECT_FALSE(stdfs::exists(Path("second/" + target)));
    }
}

}  // namespace
}  // namespace kq::fs::test
