// FsCopy by the own loop and by the system copy: contents, the block size, the end states (read
// and write errors included), existing destinations, special files, progress, what the system
// copy carries over, and relative names.
#include <signal.h>
#include <sys/resource.h>

#include <random>
#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

constexpr uint32_t kOwnLoop = 0;
constexpr uint32_t kSystem = FS_COPY_SYSTEM;
constexpr uint32_t kModes[] = {kOwnLoop, kSystem};

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

size_t Entries(const stdfs::path& dir) {
    return static_cast<size_t>(std::distance(stdfs::directory_iterator(dir), {}));
}

TEST(CopyBlockSizeTest, AHundredthOfTheSizeHeldBetween64And128KiB) {
    const std::pair<uint64_t, uint32_t> cases[] = {
        {0, 65536},           {6'553'600, 65536},    {13'107'199, 65536},
        {13'107'200, 131072}, {100'000'000, 131072}, {uint64_t{1} << 40, 131072}};
    for (const auto& [size, block] : cases) EXPECT_EQ(CopyBlockSize(size), block) << size;
}

class CopyTest : public FsTest {};

TEST_F(CopyTest, BothModesCopyTheContent) {
    for (const size_t size : {0, 1, 65535, 65536, 65537, 3 * 131072 + 5, 13'107'200 + 7}) {
        const std::string content = RandomBytes(size, static_cast<unsigned>(size));
        const std::string source = WriteFile("source" + std::to_string(size), content);
        for (const uint32_t mode : kModes) {
            SCOPED_TRACE(::testing::Message() << "size " << size << " mode " << mode);
            const std::string target =
                Path("target" + std::to_string(size) + "-" + std::to_string(mode));
            FsCopyStatus status{};
            EXPECT_EQ(CopyAndWait(source, target, mode, &status), FS_COPY_OK);
            EXPECT_EQ(status.done, size);
            EXPECT_TRUE(Read(target) == content);
        }
    }
}

TEST_F(CopyTest, FsCopyClearsTheStatusRecord) {
    FsCopyStatus status{};
    status.done = 12345;
    status.reserved = 0xDEAD;
    ASSERT_EQ(FsCopy(Path("missing").c_str(), Path("x").c_str(), &status, kOwnLoop), 0);
    EXPECT_EQ(WaitForCopy(status), FS_COPY_OPEN_FAILED);
    EXPECT_EQ(status.done + status.reserved, 0u);
    EXPECT_EQ(FsCopy(Path("missing").c_str(), Path("x").c_str(), nullptr, kOwnLoop), -1);
}

TEST_F(CopyTest, AnExistingDestinationWithoutReplaceIsUntouched) {
    const std::string source = WriteFile("source", "new content");
    const std::string target = WriteFile("target", "old");
    const timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
    EXPECT_EQ(CopyAndWait(source, target, kOwnLoop), FS_COPY_CREATE_FAILED);
    EXPECT_EQ(CopyAndWait(source, target, kSystem), FS_COPY_FAILED);
    EXPECT_EQ(Read(target), "old");
    struct stat status;
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1'000'000'000);
}

// The own loop keeps the replaced file's permissions; the system copy carries the source's.
TEST_F(CopyTest, ReplaceOverwritesAnExistingDestination) {
    const std::string source = WriteFile("source", "new content");
    for (const uint32_t mode : kModes) {
        const std::string target =
            WriteFile("target" + std::to_string(mode), std::string(99999, 'o'));
        ASSERT_EQ(::chmod(target.c_str(), 0751), 0);
        EXPECT_EQ(CopyAndWait(source, target, mode | FS_COPY_REPLACE), FS_COPY_OK);
        EXPECT_EQ(Read(target), "new content");
        EXPECT_EQ(stdfs::status(target).permissions(),
                  stdfs::perms(mode == kOwnLoop ? 0751 : 0644));
    }
    EXPECT_EQ(Entries(Dir()), 3u);  // nothing left beside
}

// Replacing a file by itself would truncate it before the first read.
TEST_F(CopyTest, CopyOntoItselfIsRefused) {
    const std::string source = WriteFile("self", "precious");
    ASSERT_EQ(::link(source.c_str(), Path("hardlink").c_str()), 0);
    EXPECT_EQ(CopyAndWait(source, source, kOwnLoop | FS_COPY_REPLACE), FS_COPY_CREATE_FAILED);
    EXPECT_EQ(CopyAndWait(source, Path("hardlink"), kOwnLoop | FS_COPY_REPLACE),
              FS_COPY_CREATE_FAILED);
    EXPECT_EQ(CopyAndWait(source, source, kSystem | FS_COPY_REPLACE), FS_COPY_FAILED);
    EXPECT_EQ(Read(source), "precious");
}

// A fifo read would wait for a writer forever and /dev/zero never ends: special files are never
// opened as sources, nor written as destinations.
TEST_F(CopyTest, SpecialFilesAreNeverReadNorWritten) {
    const std::string fifo = MakeFifo("fifo");
    // Kept open with one byte in it: a copy that read it would take the byte.
    const int keeper = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(::write(keeper, "x", 1), 1);
    for (const std::string& source :
         {fifo, MakeSocket("socket"), std::string("/dev/zero"), MakeDir("dir"), Path("missing")}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(CopyAndWait(source, Path("own"), kOwnLoop), FS_COPY_OPEN_FAILED);
        EXPECT_EQ(CopyAndWait(source, Path("system"), kSystem), FS_COPY_FAILED);
        EXPECT_FALSE(stdfs::exists(Path("own")) || stdfs::exists(Path("system")));
    }
    char byte = 0;
    EXPECT_EQ(::read(keeper, &byte, 1), 1);
    ::close(keeper);
    const std::string source = WriteFile("source", "data");
    for (const std::string& target : {fifo, std::string("/dev/null")}) {
        EXPECT_EQ(CopyAndWait(source, target, kOwnLoop | FS_COPY_REPLACE), FS_COPY_CREATE_FAILED);
        EXPECT_EQ(CopyAndWait(source, target, kSystem | FS_COPY_REPLACE), FS_COPY_FAILED);
    }
}

// /proc/self/mem is a regular file whose first page is never mapped, so reading it fails. A
// failed copy leaves no partial destination, and one with replace keeps the file it replaced.
TEST_F(CopyTest, AReadErrorKeepsTheReplacedFile) {
    const char* source = "/proc/self/mem";
    const int probe = ::open(source, O_RDONLY | O_CLOEXEC);
    char byte;
    const bool readFails = probe >= 0 && ::read(probe, &byte, 1) < 0;
    if (probe >= 0) ::close(probe);
    if (!readFails) GTEST_SKIP() << "no regular file that fails to read";
    EXPECT_EQ(CopyAndWait(source, Path("own"), kOwnLoop), FS_COPY_READ_FAILED);
    EXPECT_EQ(CopyAndWait(source, Path("system"), kSystem), FS_COPY_FAILED);
    const std::string kept = WriteFile("kept", "old");
    EXPECT_EQ(CopyAndWait(source, kept, kOwnLoop | FS_COPY_REPLACE), FS_COPY_READ_FAILED);
    EXPECT_EQ(CopyAndWait(source, kept, kSystem | FS_COPY_REPLACE), FS_COPY_FAILED);
    EXPECT_EQ(Read(kept), "old");
    EXPECT_EQ(Entries(Dir()), 1u);
}

// Under a file size limit (SIGXFSZ ignored) every write past it fails; done then shows the
// block size the own loop used (full blocks only). The replaced file stays as it was.
TEST_F(CopyTest, AWriteErrorKeepsTheReplacedFileAndDoneShowsTheBlockSize) {
    constexpr rlim_t kLimit = 200'000;
    auto* shared = static_cast<FsCopyStatus*>(::mmap(
        nullptr, sizeof(FsCopyStatus), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(shared, MAP_FAILED);
    for (const auto& [size, block] : {std::pair<uint64_t, uint32_t>{13'107'199, 65536},
                                      {13'107'200, 131072},
                                      {13'107'200, 0}}) {
        SCOPED_TRACE(::testing::Message() << size << " " << block);
        const uint32_t flags = (block == 0 ? kSystem : kOwnLoop) | FS_COPY_REPLACE;
        const std::string source = SizedFile("source", size);
        const std::string target = WriteFile("target", "old");
        const int state = RunInChild([&] {
            const rlimit limit{kLimit, kLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 100;
            ::signal(SIGXFSZ, SIG_IGN);
            if (FsCopy(source.c_str(), target.c_str(), shared, flags) != 0) return 101;
            return WaitForCopy(*shared);
        });
        EXPECT_EQ(state, block == 0 ? FS_COPY_FAILED : FS_COPY_WRITE_FAILED);
        if (block != 0) {
            EXPECT_EQ(shared->done, kLimit / block * block);
        }
        EXPECT_EQ(Read(target), "old");
        EXPECT_EQ(Entries(Dir()), 2u);
    }
    ::munmap(shared, sizeof *shared);
}

// Files of /proc report a size of 0 yet have content; some kernels' copy_file_range copies
// nothing from them, so the system copy must not take its first 0 for the end.
TEST_F(CopyTest, FilesThatReportNoSizeAreCopiedWhole) {
    const std::string expected = Read("/proc/version");
    for (const uint32_t mode : kModes) {
        const std::string target = Path("version" + std::to_string(mode));
        EXPECT_EQ(CopyAndWait("/proc/version", target, mode), FS_COPY_OK);
        EXPECT_EQ(Read(target), expected) << mode;
    }
}

TEST_F(CopyTest, TheSystemCopyCarriesModeAndTimesTheOwnLoopDoesNot) {
    const std::string source = WriteFile("source", "timed");
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    const timespec times[2] = {{1'100'000'000, 500}, {1'000'000'000, 250}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_EQ(CopyAndWait(source, Path("system"), kSystem), FS_COPY_OK);
    ASSERT_EQ(CopyAndWait(source, Path("own"), kOwnLoop), FS_COPY_OK);
    struct stat system, own;
    ASSERT_EQ(::stat(Path("system").c_str(), &system) | ::stat(Path("own").c_str(), &own), 0);
    EXPECT_EQ(system.st_mode & 07777, 0640u);
    EXPECT_EQ(system.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(system.st_mtim.tv_nsec, 250);
    EXPECT_EQ(system.st_atim.tv_sec, 1'100'000'000);
    EXPECT_GT(own.st_mtime, 1'000'000'000);
}

// Relative names mean the directory current at the call; the copy thread never looks at the
// process's current directory, which the caller changes right after starting it.
TEST_F(CopyTest, RelativeNamesAreResolvedAtTheCall) {
    WriteFile("first/source", "from first");
    WriteFile("second/source", "from second");
    for (const uint32_t mode : kModes) {
        ASSERT_EQ(::chdir(Path("first").c_str()), 0);
        FsCopyStatus status{};
        const std::string target = "target" + std::to_string(mode);
        ASSERT_EQ(FsCopy("source", target.c_str(), &status, mode), 0);
        ASSERT_EQ(::chdir(Path("second").c_str()), 0);
        EXPECT_EQ(WaitForCopy(status), FS_COPY_OK);
        EXPECT_EQ(Read(Path("first/" + target)), "from first");
        EXPECT_FALSE(stdfs::exists(Path("second/" + target)));
    }
}

}  // namespace
}  // namespace kq::fs::test
