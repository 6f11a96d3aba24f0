// The copy and move engine on real trees: targets, masks, what a copy keeps, what it refuses or
// skips and reports, and faults injected on real file systems.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "localfs/CopyEngine.h"
#include "support/ChildProcess.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace kq::localfs {
namespace {

namespace stdfs = std::filesystem;
using kq::testing::ReadFile;

// Records the items started, acts at each start, cancels during a file above cancelAbove.
class Recorder final : public CopyProgress {
  public:
    std::vector<std::string> started;
    std::function<void(const std::string&)> onStart;
    uint64_t cancelAbove = UINT64_MAX;
    bool cancel = false;

    void StartItem(const std::string& source, const std::string&) override {
        started.push_back(source);
        if (onStart) onStart(source);
    }
    void Advance(uint64_t, uint64_t size, uint64_t) override {
        cancel = cancel || size > cancelAbove;
    }
    bool Cancelled() override { return cancel; }
};

class CopyEngineTest : public ::testing::Test {
  protected:
    kq::test::TempFolder folder_{"kq-copy"};
    Recorder progress_;

    std::string Path(const std::string& name) const { return folder_.Path(name); }
    CopyOutcome Run(std::vector<std::string> names, const std::string& destination,
                    bool move = false) {
        CopyRequest request;
        for (const std::string& name : names) request.sources.push_back(Path(name));
        request.destination = destination[0] == '/' ? destination : Path(destination);
        request.move = move;
        return RunCopyEngine(request, progress_);
    }
    static std::vector<int> Reasons(const CopyOutcome& outcome) {
        std::vector<int> reasons;
        for (const CopyFailure& failure : outcome.failures) reasons.push_back(failure.reason);
        return reasons;
    }
};

TEST(RenameMaskTest, MasksAndTargetsFollowTheSourceName) {
    const char* const cases[][3] = {
        // destination, source name, target
        {"/out/", "a.txt", "/out/a.txt"},      {"/out/b.txt", "a.txt", "/out/b.txt"},
        {"/out/*.bak", "a.txt", "/out/a.bak"}, {"/out/*.bak", "report.txt", "/out/report.bak"},
        {"/out/*.*", "a.txt", "/out/a.txt"},   {"/out/x?z.*", "abc.txt", "/out/xbz.txt"},
        {"/out/a*", "xyz", "/out/ayz"},        {"/out/*", "no dot", "/out/no dot"},
        {"/out/??????", "ab", "/out/ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(TargetFor(c[0], c[1]), c[2]) << c[0] << " " << c[1];
    // Past the 512-byte buffer: refused, never cut.
    int reason = 0;
    EXPECT_EQ(TargetFor("/" + std::string(505, 'd') + "/", "name.txt", &reason), "");
    EXPECT_EQ(reason, ENAMETOOLONG);
    EXPECT_EQ(TargetFor("/out/*" + std::string(500, '?'), std::string(20, 'n'), &reason), "");
    EXPECT_EQ(reason, kReasonMaskTooLong);
}

TEST_F(CopyEngineTest, ATreeKeepsDataModesTimesLinksAndExactNames) {
    const std::string odd = std::string("ctl\x01name\xff");
    ASSERT_EQ(::chmod(folder_.WriteFile("tree/" + odd, "odd").c_str(), 0751), 0);
    folder_.WriteFile("tree/sub/deep.txt", std::string(200000, 'd'));
    stdfs::create_symlink("sub/deep.txt", Path("tree/inside"));
    stdfs::create_symlink("..", Path("tree/sub/up"));  // a loop if it were followed
    stdfs::create_symlink("/etc", Path("tree/outside"));
    const struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("tree/" + odd).c_str(), old, 0), 0);
    folder_.MakeFolder("out");

    const CopyOutcome outcome = Run({"tree"}, "out/");
    EXPECT_EQ(outcome.notDone, 0);
    EXPECT_EQ(ReadFile(Path("out/tree/" + odd)), "odd");
    EXPECT_EQ(ReadFile(Path("out/tree/sub/deep.txt")), std::string(200000, 'd'));
    struct stat copied;
    ASSERT_EQ(::stat(Path("out/tree/" + odd).c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0751u);
    EXPECT_EQ(copied.st_mtim.tv_sec, 1000000);
    for (const auto& [link, text] : {std::pair{"inside", "sub/deep.txt"}, std::pair{"sub/up", ".."},
                                     std::pair{"outside", "/etc"}}) {
        EXPECT_EQ(stdfs::read_symlink(Path("out/tree/") + link), text);
    }
    EXPECT_EQ(progress_.started.size(), 7u);  // the walk never went through a link
}

TEST_F(CopyEngineTest, RefusedAndSkippedItemsAreReportedAndNothingIsReplaced) {
    folder_.WriteFile("tree/file", "x");
    folder_.WriteFile("taken", "source");
    folder_.WriteFile("out/taken", "was there");
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    const CopyOutcome outcome = Run({"tree"}, "tree/");
    EXPECT_EQ(Reasons(outcome), (std::vector<int>{kReasonIntoItself}));
    EXPECT_FALSE(stdfs::exists(Path("tree/tree")));

    const CopyOutcome second = Run({"taken", "fifo", "missing"}, "out/");
    EXPECT_EQ(Reasons(second), (std::vector<int>{EEXIST, kReasonSpecialFile, ENOENT}));
    EXPECT_EQ(ReadFile(Path("out/taken")), "was there");
    EXPECT_EQ(stdfs::directory_iterator(Path("out"))->path().filename(), "taken");
}

TEST_F(CopyEngineTest, AMoveRenamesWithinTheFileSystemAndMergesIntoAnExistingDirectory) {
    folder_.WriteFile("tree/a", "a");
    folder_.WriteFile("out/tree/b", "b");
    struct stat before;
    ASSERT_EQ(::stat(Path("tree/a").c_str(), &before), 0);
    EXPECT_EQ(Run({"tree"}, "out/", true).notDone, 0);
    struct stat after;
    ASSERT_EQ(::stat(Path("out/tree/a").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(Path("out/tree/b")), "b");
    EXPECT_FALSE(stdfs::exists(Path("tree")));
}

// A cancel during a large file lets that file end complete and starts no further item.
TEST_F(CopyEngineTest, ASourceRemovedMeanwhileIsReportedAndACancelLetsTheFileUnderWayEnd) {
    folder_.WriteFile("one", "1");
    folder_.WriteFile("two", "2");
    const std::string large(3 * 1024 * 1024, 'L');
    folder_.WriteFile("large", large);
    folder_.WriteFile("four", "4");
    folder_.MakeFolder("out");
    progress_.onStart = [&](const std::string&) { stdfs::remove(Path("two")); };
    progress_.cancelAbove = 1;
    const CopyOutcome outcome = Run({"one", "two", "large", "four"}, "out/");
    EXPECT_EQ(Reasons(outcome), (std::vector<int>{ENOENT}));
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(ReadFile(Path("out/large")), large);
    EXPECT_FALSE(stdfs::exists(Path("out/four")));
}

// Across file systems (a tmpfs in a private mount namespace): a move copies and then removes
// each source whose copy is complete; a file that does not fit leaves no partial copy and keeps
// its source and the directory that holds it.
TEST_F(CopyEngineTest, AMoveToAFullFileSystemKeepsWhatDidNotFit) {
    folder_.WriteFile("tree/small", "s");
    folder_.WriteFile("tree/large", std::string(256 * 1024, 'l'));
    folder_.WriteFile("tree/middle", std::string(40 * 1024, 'm'));  // written in place
    const std::string mount = folder_.MakeFolder("small-fs");
    const int step = kq::testing::RunInChild([&] {
        if (!kq::testing::MountPrivateTmpfs(mount, "size=16k")) return kq::testing::kCannotHere;
        const CopyOutcome outcome = Run({"tree"}, mount + "/", true);
        if (Reasons(outcome) != std::vector<int>{ENOSPC, ENOSPC}) return 1;
        if (ReadFile(mount + "/tree/small") != "s" || stdfs::exists(Path("tree/small"))) return 2;
        if (!stdfs::exists(Path("tree/large")) || stdfs::exists(mount + "/tree/large")) return 3;
        return std::distance(stdfs::directory_iterator(mount + "/tree"), {}) == 1 ? 0 : 4;
    });
    if (step == kq::testing::kCannotHere) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(step, 0);
}

// As an ordinary user: a source that cannot be read and a target folder that cannot be written
// are reported with the system's reason.
TEST_F(CopyEngineTest, PermissionDeniedOnSourceAndTargetIsReported) {
    folder_.WriteFile("secret", "s");
    folder_.WriteFile("open", "o");
    const std::string closed = folder_.MakeFolder("closed");
    ASSERT_EQ(::chmod(Path("secret").c_str(), 0), 0);
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(folder_.root().c_str(), 0777), 0);
    const int step = kq::testing::RunInChild([&] {
        if (!kq::testing::BecomeOrdinaryUser()) return kq::testing::kCannotHere;
        const CopyOutcome outcome = Run({"secret", "open"}, "closed/");
        return Reasons(outcome) == std::vector<int>{EACCES, EACCES} ? 0 : 1;
    });
    if (step == kq::testing::kCannotHere) GTEST_SKIP() << "cannot change the user here";
    EXPECT_EQ(step, 0);
}

}  // namespace
}  // namespace kq::localfs
