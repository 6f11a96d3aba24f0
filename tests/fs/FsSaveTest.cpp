// Saving a text over a file: what a save keeps (mode, links), and that a failed save costs the
// file nothing and leaves nothing behind.
#include <fstream>
#include <iterator>
#include <memory>

#include "fs/FsSave.h"
#include "fs/FsTestSupport.h"
#include "support/ChildProcess.h"

namespace kq::fs::test {
namespace {

// A source handing out one text in two pieces.
std::function<SaveSource()> Text(const std::string& text) {
    return [text] {
        auto piece = std::make_shared<int>(0);
        return SaveSource([text, piece](std::string_view& out) {
            if (*piece == 2) return false;
            out = std::string_view(text).substr(*piece == 0 ? 0 : text.size() / 2,
                                                *piece == 0 ? text.size() / 2 : std::string::npos);
            ++*piece;
            return true;
        });
    };
}

using FsSaveTest = FsTest;

TEST_F(FsSaveTest, KeepsTheModeTheLinkAndEveryHardLink) {
    const std::string file = WriteFile("file", "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const bool owned = ::chown(file.c_str(), 4321, 4321) == 0;  // only where the user may
    ASSERT_EQ(::symlink("file", Path("link").c_str()), 0);
    EXPECT_EQ(SaveText(Path("link").c_str(), Text("through the link")).error, 0);
    EXPECT_TRUE(stdfs::is_symlink(Path("link")));
    EXPECT_EQ(Read(file), "through the link");
    EXPECT_EQ(stdfs::status(file).permissions(), stdfs::perms(0640));
    struct stat saved;
    ASSERT_EQ(::stat(file.c_str(), &saved), 0);
    if (owned) {
        EXPECT_TRUE(saved.st_uid == 4321 && saved.st_gid == 4321);
    }

    ASSERT_EQ(::link(file.c_str(), Path("second name").c_str()), 0);
    EXPECT_EQ(SaveText(file.c_str(), Text("both names")).error, 0);
    EXPECT_EQ(Read(Path("second name")), "both names");
    EXPECT_EQ(Names(ListAll(Dir().string(), "*", kAll | FA_HIDDEN)),
              (std::set<std::string>{"..", "file", "link", "second name"}));
}

// In a private mount namespace: a full file system and a read-only one. Each failed save
// reports why, leaves the file as it was and no file of its own.
TEST_F(FsSaveTest, AFailedSaveLeavesTheFileAsItWasAndNothingBehind) {
    const std::string mountPoint = MakeDir("mount");
    const int step = kq::testing::RunInChild([&] {
        if (!kq::testing::MountPrivateTmpfs(mountPoint, "size=64k"))
            return kq::testing::kCannotHere;
        const std::string file = mountPoint + "/file";
        std::ofstream(file) << "kept";
        const auto keptAlone = [&] {
            return Read(file) == "kept" && std::distance(stdfs::directory_iterator(mountPoint),
                                                         stdfs::directory_iterator{}) == 1;
        };
        if (SaveText(file.c_str(), Text(std::string(256 * 1024, 'x'))).error != ENOSPC ||
            !keptAlone())
            return 1;
        if (::mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return kq::testing::kCannotHere;
        if (SaveText(file.c_str(), Text("new")).error != EROFS || !keptAlone()) return 2;
        return 0;
    });
    if (step == kq::testing::kCannotHere) GTEST_SKIP() << "no private mounts here";
    EXPECT_EQ(step, 0);
}

}  // namespace
}  // namespace kq::fs::test
