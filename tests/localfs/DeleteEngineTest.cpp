// The delete engine on real trees: links and mounts it must not reach through, trees deeper
// than any path, names that list lossily, and what stays after a refusal, exactly as it was.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "localfs/DeleteEngine.h"
#include "support/ChildProcess.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace kq::localfs {
namespace {

namespace stdfs = std::filesystem;
using kq::testing::kCannotHere;
using kq::testing::RunInChild;

// Answers every question with "delete" and counts them.
struct Answering final : DeleteHooks {
    void ShowPath(const std::string&) override {}
    DeleteAnswer Ask(DeleteQuestion, const std::string&) override {
        ++questions;
        return DeleteAnswer::kDelete;
    }
    bool Cancelled() override { return false; }
    int questions = 0;
};

class DeleteEngineTest : public ::testing::Test {
  protected:
    kq::test::TempFolder folder_{"kq-delete"};
    Answering hooks_;

    DeleteOutcome Run(std::vector<std::string> names, unsigned flags = 0) {
        return RunDeleteEngine(DeleteRequest{folder_.Path("tree"), std::move(names), flags},
                               hooks_);
    }
    bool Exists(const std::string& name) const {
        return stdfs::exists(stdfs::symlink_status(folder_.Path(name)));
    }
    static std::vector<int> Reasons(const DeleteOutcome& outcome) {
        std::vector<int> reasons;
        for (const JobFailure& failure : outcome.failures) reasons.push_back(failure.reason);
        return reasons;
    }
};

// Exactly what is named goes: links as themselves (never what they point to; a link to a
// directory asks nothing), names with control bytes, a leading '-' or invalid UTF-8. A listed
// '?' that two entries share is refused and both stay.
TEST_F(DeleteEngineTest, ExactlyWhatIsNamedGoes) {
    folder_.WriteFile("outside/keep.txt", "keep");
    for (const char* name :
         {"sub/file", "tab\there", "-rf", "bad\xff", "two\xfe", "two?", "other"}) {
        folder_.WriteFile(std::string("tree/") + name, "x");
    }
    stdfs::create_directory_symlink(folder_.Path("outside"), folder_.Path("tree/sub/to-dir"));
    stdfs::create_symlink(folder_.Path("outside/keep.txt"), folder_.Path("tree/sub/to-file"));
    stdfs::create_directory_symlink(folder_.Path("outside"), folder_.Path("tree/item-link"));
    const DeleteOutcome outcome = Run({"item-link", "sub", "tab\there", "-rf", "bad?", "two?"});
    EXPECT_EQ(Reasons(outcome), std::vector<int>{kReasonAmbiguousName});
    for (const char* gone : {"item-link", "sub", "tab\there", "-rf", "bad\xff"}) {
        EXPECT_FALSE(Exists(std::string("tree/") + gone)) << gone;
    }
    EXPECT_TRUE(Exists("tree/two\xfe") && Exists("tree/two?") && Exists("tree/other"));
    EXPECT_EQ(kq::testing::ReadFile(folder_.Path("outside/keep.txt")), "keep");
    EXPECT_EQ(hooks_.questions, 1);  // "sub" only
}

// Deeper than the path limit and than the descriptors held open at once; no recursion.
TEST_F(DeleteEngineTest, ATreeThousandsOfLevelsDeepGoes) {
    std::string path = folder_.MakeFolder("tree/deep");
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 3000 && fd >= 0; ++level) {
        ASSERT_EQ(::mkdirat(fd, "level-name", 0755), 0);
        const int inner = ::openat(fd, "level-name", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = inner;
    }
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::close(::openat(fd, "last", O_CREAT | O_WRONLY, 0644)), 0);
    ::close(fd);
    const DeleteOutcome outcome = Run({"deep"}, kDeleteNonEmpty);
    EXPECT_EQ(outcome.notDone, 0);
    EXPECT_FALSE(Exists("tree/deep"));
}

// As an ordinary user: a read-only directory keeps its read-only file, which keeps its mode
// (nothing is made writable first); the failure names it with the system's reason.
TEST_F(DeleteEngineTest, ARefusedDeletionLeavesTheFileAsItWasAndIsReported) {
    const std::string file = folder_.WriteFile("tree/locked/file", "x");
    ::chmod(file.c_str(), 0444);
    ::chmod(folder_.Path("tree/locked").c_str(), 0555);
    ::chmod(folder_.Path("tree").c_str(), 0777);
    ::chmod(folder_.root().c_str(), 0755);
    const int result = RunInChild([&] {
        if (!kq::testing::BecomeOrdinaryUser()) return kCannotHere;
        const DeleteOutcome outcome = Run({"locked"}, kDeleteNonEmpty | kDeleteReadOnly);
        struct stat status {};
        const bool kept = ::stat(file.c_str(), &status) == 0 && (status.st_mode & 0777) == 0444;
        return outcome.notDone == 1 && Reasons(outcome) == std::vector<int>{EACCES} &&
                       outcome.failures[0].path == file && kept
                   ? 0
                   : 1;
    });
    if (result == kCannotHere) GTEST_SKIP() << "cannot become an ordinary user here";
    EXPECT_EQ(result, 0);
}

// A directory something is mounted on stays with all it holds, a bind mount of a folder on
// the same file system included; the rest of the tree goes.
TEST_F(DeleteEngineTest, MountedDirectoriesInTheTreeSurvive) {
    folder_.WriteFile("home/notes.txt", "mine");
    folder_.MakeFolder("tree/top/bound");
    folder_.WriteFile("tree/top/other.txt", "x");
    folder_.MakeFolder("tree/top/tmp");
    const int result = RunInChild([&] {
        if (!kq::testing::MountPrivateTmpfs(folder_.Path("tree/top/tmp"), "size=64k") ||
            ::mount(folder_.Path("home").c_str(), folder_.Path("tree/top/bound").c_str(), nullptr,
                    MS_BIND, nullptr) != 0) {
            return kCannotHere;
        }
        if (::close(::creat(folder_.Path("tree/top/tmp/in-tmpfs").c_str(), 0644)) != 0) return 2;
        const DeleteOutcome outcome = Run({"top"}, kDeleteNonEmpty);
        const bool survived = Exists("home/notes.txt") && Exists("tree/top/tmp/in-tmpfs") &&
                              Exists("tree/top/bound/notes.txt");
        return outcome.notDone == 2 &&
                       Reasons(outcome) == std::vector<int>{kReasonMountPoint, kReasonMountPoint} &&
                       survived && !Exists("tree/top/other.txt")
                   ? 0
                   : 1;
    });
    if (result == kCannotHere) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace kq::localfs
