// The copy and move entry points: the destination as typed becomes the job's, and jobs started
// through FS_ZGetFiles and FS_ZPutFiles run in threads of their own, side by side.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "kq/fs.h"
#include "kq/resource_ids.h"
#include "localfs/LocalCopy.h"
#include "localfs/LocalPlugin.h"
#include "localfs/ZProgressDialog.h"
#include "support/LocalInstanceTest.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"
#include "ui/WindowTestSupport.h"

namespace kq::localfs {
namespace {

namespace stdfs = std::filesystem;

TEST(NormalizeDestinationTest, TypedTextsBecomeAbsoluteDirectoriesNamesOrMasks) {
    const kq::test::TempFolder temp("kq-destination");
    const std::string base = temp.MakeFolder("base");
    temp.MakeFolder("base/existing");
    const struct {
        const char* typed;
        std::string wanted;
    } cases[] = {
        {"", base + "/"},
        {"new.txt", base + "/new.txt"},
        {"existing", base + "/existing/"},  // an existing directory: into it
        {"missing/", base + "/missing/"},
        {"sub\\", base + "/sub/"},
        {"*.bak", base + "/*.bak"},
        {"../base/./existing/x?.*", base + "/existing/x?.*"},
        {"/", "/"},
        {"/tmp//", "/tmp/"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizeDestination(base, c.typed), c.wanted) << c.typed;
}

// The window's figures stay within their ends when a file grows during the job.
TEST(ProgressFiguresTest, SpeedTimeLeftAndBars) {
    const struct {
        uint64_t total, finished, fileDone, fileSize, elapsed;
        std::vector<uint64_t> wanted;  // speed, seconds left, total and file percent
    } cases[] = {
        {1000, 500, 0, 0, 999, {501, 0, 50, 0}},
        {10000000, 0, 1000, 4000, 999, {1001, 9989, 0, 24}},
        {1000, 900, 500, 100, 0, {1000001, 0, 100, 100}},  // the file grew past its size
    };
    for (const auto& c : cases) {
        const auto f =
            ZProgressDialog::Compute(c.total, c.finished, c.fileDone, c.fileSize, c.elapsed);
        EXPECT_EQ((std::vector<uint64_t>{f.speed, f.secondsLeft, uint64_t(f.totalPercent),
                                         uint64_t(f.filePercent)}),
                  c.wanted);
    }
}

class LocalCopyTest : public kq::test::LocalInstanceTest<kq::ui::testing::DesktopTest> {
  protected:
    static void WaitForJobs() {
        for (int i = 0; i < 20000 && RunningJobs() > 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(RunningJobs(), 0);
    }
};

// Background hides the window while the job goes on; Cancel (and Esc) sets the job's flag.
TEST_F(LocalCopyTest, TheWindowHidesOnBackgroundAndCancelsOnCancel) {
    std::atomic<bool> cancel{false};
    ZProgressDialog dialog(100, &cancel);
    ASSERT_EQ(dialog.Create("", ZRec(2, 2, 0, 0), ZRec(0, 0, 30, 6), nullptr, WF_VISIBLE, 0), 0);
    dialog.OnCommand(IDC_OK);
    EXPECT_EQ(dialog.GetFlags() & WF_VISIBLE, 0u);
    EXPECT_FALSE(dialog.Cancelled());
    dialog.OnCommand(IDC_CANCEL);
    EXPECT_TRUE(cancel.load());
    dialog.Destroy();
}

// Two jobs at once, one getting a tree out of the instance and one putting a file into it,
// while the instance they came from is closed at once: neither disturbs the other.
TEST_F(LocalCopyTest, TwoJobsRunSideBySideAndOutliveTheirInstance) {
    for (int i = 0; i < 200; ++i) temp.WriteFile("from/tree/f" + std::to_string(i), "tree");
    const std::string outside = temp.WriteFile("outside.txt", "put");
    PluginItem tree = Item("tree");
    temp.MakeFolder("to");
    ASSERT_EQ(FS_ZGetFiles(handle, &tree, 1, "../to/", 0, 0, 0), 0);
    PluginItem put = Item(outside.c_str());
    ASSERT_EQ(FS_ZPutFiles(handle, &put, 1, PLUGIN_OP_MOVE, 3, 0), 0);
    FS_ZClosePlugin(handle);
    handle = FS_ZOpenPlugin(0, 0, nullptr);
    WaitForJobs();
    EXPECT_EQ(std::distance(stdfs::directory_iterator(temp.Path("to/tree")), {}), 200);
    EXPECT_EQ(kq::testing::ReadFile(temp.Path("from/outside.txt")), "put");
    EXPECT_FALSE(stdfs::exists(outside));
}

// Quitting while a job runs asks the stop question; stopping ends the job at its next item.
TEST_F(LocalCopyTest, QuittingDuringAJobStopsItBeforeItsNextItem) {
    std::vector<std::string> names(2000);
    std::vector<PluginItem> items;
    for (std::string& name : names) {
        name = "f" + std::to_string(items.size());
        temp.WriteFile("from/" + name, "x");
        items.push_back(Item(name.c_str()));
    }
    temp.MakeFolder("to");
    ASSERT_EQ(FS_ZGetFiles(handle, items.data(), 2000, "../to/", 0, 0, 0), 0);
    console->PushKey(kq::ui::testing::kEnter);
    EXPECT_EQ(FS_ZTerminate(0), 0);
    EXPECT_EQ(RunningJobs(), 0);
    EXPECT_LT(std::distance(stdfs::directory_iterator(temp.Path("to")), {}), 2000);
    ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
}

}  // namespace
}  // namespace kq::localfs
