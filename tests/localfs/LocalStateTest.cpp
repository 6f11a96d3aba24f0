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
};

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
