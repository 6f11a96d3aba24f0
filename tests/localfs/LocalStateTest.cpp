#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "kq/keys.h"
#include "localfs/LocalPlugin.h"
#include "ui/WindowTestSupport.h"

namespace kq::localfs {
namespace {

constexpr uint32_t kKeyEnter = KEY_EVENT(KC_ENTER, 13, KF_DOWN);

class LocalStateTest : public kq::ui::testing::DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
    }
    void TearDown() override {
        while (RunningJobs() > 0) JobFinished();
        FS_ZTerminate(0);
        DesktopTest::TearDown();
    }
    int32_t KeyBar() {
        return LocalGetKeyBar(&labels[0], &labels[1], &labels[2], &labels[3], &labels[4],
                              &labels[5], &labels[6]);
    }
    const char* labels[7] = {"stale", "stale", "stale", "stale", "stale", "stale", "stale"};
};

// Answered "keep" while a job runs, nothing changes and the shared state (the lock, the count
// and the key bar) still works.
TEST_F(LocalStateTest, JobsAreCountedAndTheQuestionAnsweredKeepChangesNothing) {
    KeyBar();
    JobStarted();
    console->PushKey(KEY_EVENT(KC_RIGHT, 0, KF_DOWN));
    console->PushKey(kKeyEnter);
    EXPECT_EQ(FS_ZTerminate(0), 1);
    EXPECT_EQ(console->BellCount(), 1);
    EXPECT_FALSE(StopRequested());
    JobStarted();
    EXPECT_EQ(RunningJobs(), 2);
    EXPECT_EQ(KeyBar(), 0);
}

TEST_F(LocalStateTest, TerminateAnsweredStopWaitsForTheRunningJob) {
    JobStarted();
    std::thread job([] {
        // The job sees the stop request at its next item and finishes.
        while (!StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        JobFinished();
    });
    console->PushKey(kKeyEnter);
    EXPECT_EQ(FS_ZTerminate(0), 0);
    job.join();
    EXPECT_EQ(RunningJobs(), 0);
    ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
}

}  // namespace
}  // namespace kq::localfs
