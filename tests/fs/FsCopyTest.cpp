#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <random>
#include <string>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

constexpr uint32_t kOwn = 0, kSystem = FS_COPY_SYSTEM, kModes[] = {kOwn, kSystem};

size_t Entries(const stdfs::path& dir) {
    return static_cast<size_t>(std::distance(stdfs::directory_iterator(dir), {}));
}

using States = std::pair<int32_t, int32_t>;  // the own loop's, the system copy's

States Both(const std::string& source, const std::string& target, uint32_t flags) {
    const int32_t own = CopyAndWait(source, target, kOwn | flags);
    return {own, CopyAndWait(source, target, kSystem | flags)};
}

class CopyTest : public FsTest {};

TEST_F(CopyTest, BothModesCopyTheContent) {
    std::mt19937 generator(7);
    for (const size_t size : {0, 65537, 13'107'200 + 7}) {
        std::string content(size, '\0');
        for (char& byte : content) byte = static_cast<char>(generator());
        const std::string source = WriteFile("source", content);
        for (const uint32_t mode : kModes) {
            FsCopyStatus status{};
            const std::string target = Path("target" + std::to_string(mode));
            EXPECT_EQ(CopyAndWait(source, target, mode | FS_COPY_REPLACE, &status), FS_COPY_OK);
            EXPECT_EQ(status.done, size);
            EXPECT_TRUE(Read(target) == content) << size << " " << mode;
        }
    }
}

// Without replace an existing destination is untouched (times too); with it, it gets the new
// content. A file is never copied onto itself (the replace would truncate it before the first
// read).
TEST_F(CopyTest, ExistingDestinationsAndCopyOntoItself) {
    const std::string source = WriteFile("source", "new content");
    const std::string target = WriteFile("target", "old");
    const timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 250}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
    EXPECT_EQ(Both(source, target, 0), States(FS_COPY_CREATE_FAILED, FS_COPY_FAILED));
    EXPECT_EQ(Read(target), "old");
    struct stat status;
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1'000'000'000);
    for (const uint32_t mode : kModes) {
        const std::string replaced = WriteFile("r" + std::to_string(mode), std::string(99999, 'o'));
        EXPECT_EQ(CopyAndWait(source, replaced, mode | FS_COPY_REPLACE), FS_COPY_OK);
        EXPECT_EQ(Read(replaced), "new content");
    }
    EXPECT_EQ(Entries(Dir()), 4u);  // nothing left beside
    ASSERT_EQ(::link(source.c_str(), Path("hardlink").c_str()), 0);
    EXPECT_EQ(Both(source, source, FS_COPY_REPLACE), States(FS_COPY_CREATE_FAILED, FS_COPY_FAILED));
    EXPECT_EQ(CopyAndWait(source, Path("hardlink"), FS_COPY_REPLACE), FS_COPY_CREATE_FAILED);
    EXPECT_EQ(Read(source), "new content");
}

// A fifo read would wait for a writer forever and /dev/zero never ends: special files are never
// opened as sources, nor written as destinations.
TEST_F(CopyTest, SpecialFilesAreNeverReadNorWritten) {
    const std::string fifo = MakeFifo("fifo");
    // Kept open with one byte in it: a copy that read it would take the byte.
    const int keeper = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(::write(keeper, "x", 1), 1);
    for (const std::string& source : {fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(Both(source, Path("to"), 0), States(FS_COPY_OPEN_FAILED, FS_COPY_FAILED))
            << source;
        EXPECT_FALSE(stdfs::exists(Path("to")));
    }
    char byte = 0;
    EXPECT_EQ(::read(keeper, &byte, 1), 1);
    ::close(keeper);
    for (const std::string& target : {fifo, std::string("/dev/null")}) {
        EXPECT_EQ(Both(WriteFile("source", "data"), target, FS_COPY_REPLACE),
                  States(FS_COPY_CREATE_FAILED, FS_COPY_FAILED));
    }
}

// Under a file size limit (SIGXFSZ ignored) every write past it fails; done then shows the
// block size the own loop used (full blocks only). The replaced file stays as it was.
TEST_F(CopyTest, AWriteErrorKeepsTheReplacedFileAndDoneShowsTheBlockSize) {
    constexpr rlim_t kLimit = 200'000;
    auto* shared = static_cast<FsCopyStatus*>(::mmap(
        nullptr, sizeof(FsCopyStatus), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(shared, MAP_FAILED);
    for (const auto& [size, block] :
         {std::pair<uint64_t, uint32_t>{13'107'200, 131072}, {13'107'200, 0}}) {
        const uint32_t flags = (block == 0 ? kSystem : kOwn) | FS_COPY_REPLACE;
        const std::string source = WriteFile("source", ""), target = WriteFile("target", "old");
        stdfs::resize_file(source, size);  // sparse zeros
        const pid_t child = ::fork();      // the limit and the signal only there
        if (child == 0) {
            ::alarm(60);
            const rlimit limit{kLimit, kLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
            ::_exit(FsCopy(source.c_str(), target.c_str(), shared, flags) == 0
                        ? WaitForCopy(*shared)
                        : 101);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                  block == 0 ? FS_COPY_FAILED : FS_COPY_WRITE_FAILED)
            << block;
        EXPECT_EQ(shared->done, block == 0 ? shared->done : kLimit / block * block);
        EXPECT_EQ(Read(target) + std::to_string(Entries(Dir())), "old2") << block;
    }
    ::munmap(shared, sizeof *shared);
}

// Relative names mean the directory current at the call; the copy thread never looks at the
// process's current directory, which the caller changes right after starting it.
TEST_F(CopyTest, RelativeNamesAreResolvedAtTheCall) {
    WriteFile("first/source", "from first");
    WriteFile("second/source", "from second");
    for (const uint32_t mode : kModes) {
        ASSERT_EQ(::chdir(Path("first").c_str()), 0);
        FsCopyStatus status{};
        ASSERT_EQ(FsCopy("source", "target", &status, mode), 0);
        ASSERT_EQ(::chdir(Path("second").c_str()), 0);
        EXPECT_EQ(WaitForCopy(status), FS_COPY_OK);
        EXPECT_EQ(Read(Path("first/target")) + Read(Path("second/target")), "from first<missing>");
        stdfs::remove(Path("first/target"));
    }
}

}  // namespace
}  // namespace kq::fs::test
