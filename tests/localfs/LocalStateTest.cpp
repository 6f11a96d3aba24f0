// The local plugin's shared state: the running-jobs count, the question FS_ZTerminate asks
// while jobs run (on the in-memory console), and the key-bar labels.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "kq/kernel.h"
#include "kq/keys.h"
#include "kq/resource_ids.h"
#include "kq/resources.h"
#include "localfs/LocalPlugin.h"
#include "ui/WindowTestSupport.h"

namespace kq::localfs {
namespace {

constexpr uint32_t kKeyEnter = KEY_EVENT(KC_ENTER, 13, KF_DOWN);
constexpr uint32_t kKeyRight = KEY_EVENT(KC_RIGHT, 0, KF_DOWN);

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

int32_t KeyBar(const char* (&labels)[7]) {
    return LocalGetKeyBar(&labels[0], &labels[1], &labels[2], &labels[3], &labels[4], &labels[5],
                          &labels[6]);
}

TEST_F(LocalStateTest, JobsAreCountedAndInitialiseClearsThemAndTheStopRequest) {
    JobStarted();
    JobStarted();
    JobFinished();
    EXPECT_EQ(RunningJobs(), 1);
    JobFinished();
    ASSERT_EQ(FS_ZTerminate(0), 0);  // without jobs nothing is asked
    EXPECT_EQ(console->BellCount(), 0);
    EXPECT_TRUE(StopRequested());
    JobStarted();
    ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
    EXPECT_EQ(RunningJobs(), 0);
    EXPECT_FALSE(StopRequested());
}

TEST_F(LocalStateTest, TerminateAnsweredKeepWhileAJobRunsChangesNothing) {
    const char* labels[7] = {};
    KeyBar(labels);
    JobStarted();
    console->PushKey(kKeyRight);
    console->PushKey(kKeyEnter);
    EXPECT_EQ(FS_ZTerminate(0), 1);
    EXPECT_EQ(console->BellCount(), 1);
    EXPECT_EQ(RunningJobs(), 1);
    EXPECT_FALSE(StopRequested());
    // The shared state still works: the lock, the count and the key bar.
    JobStarted();
    EXPECT_EQ(RunningJobs(), 2);
    EXPECT_EQ(KeyBar(labels), 0);
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

TEST_F(LocalStateTest, KeyBarWithoutLanguageGivesNullLabels) {
    const KeHandle saved = ResGetLanguage();
    ResSetLanguage(0);
    const char* labels[7] = {"stale", "stale", "stale", "stale", "stale", "stale", "stale"};
    EXPECT_EQ(KeyBar(labels), 0);
    for (const char* label : labels) EXPECT_EQ(label, nullptr);
    ResSetLanguage(saved);
    // The drive menu is taken over; replacing it frees the previous one, terminating the last
    // (checked under the sanitizers).
    auto* items = static_cast<PluginMenuItem*>(std::calloc(2, sizeof(PluginMenuItem)));
    items[0].text = strdup("~/");
    items[1].text = strdup("~/home");
    SetDriveMenu(items, 2);
    SetDriveMenu(nullptr, 0);
}

#ifdef KQ_LANG_ENGLISH
TEST_F(LocalStateTest, KeyBarReturnsTheLabelSetsInTheirOrder) {
    const KeHandle module = KeLoadDll(KQ_LANG_ENGLISH);
    ASSERT_NE(module, 0);
    const KeHandle saved = ResGetLanguage();
    ResSetLanguage(module);
    const char* labels[7] = {};
    ASSERT_EQ(KeyBar(labels), 0);
    const int ids[7] = {1020, 1023, 1022, 1021, 1024, 1025, 1026};
    for (int i = 0; i < 7; ++i) {
        char* expected = ResLoadString(module, ids[i]);
        ASSERT_TRUE(expected != nullptr && labels[i] != nullptr) << ids[i];
        EXPECT_STREQ(labels[i], expected) << ids[i];
        ResFreeString(expected);
    }
    // The labels stay until the next call or FS_ZTerminate.
    ASSERT_EQ(FS_ZTerminate(0), 0);
    ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
    ResSetLanguage(saved);
    KeFreeDll(module);
}
#endif

}  // namespace
}  // namespace kq::localfs
