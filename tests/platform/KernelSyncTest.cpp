// Tests of the recursive locks (KeInitCS ... KeFreeCS) and the auto-reset events
// (KeCreateEvent ... KeFreeEvent): ownership and recursion, exclusion under contention, and the
// rule that each signal releases exactly one waiter and is never lost.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <list>
#include <thread>

#include "kq/kernel.h"
#include "platform/Kernel.h"

namespace {

using namespace std::chrono_literals;
using kq::platform::KeEventWaiterCount;

// Polls until the condition holds. The limit only keeps a broken build from hanging the run;
// no test depends on how quickly anything happens.
template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// How long a test gives a thread to do what it must not do. Passing never depends on it: a
// loaded machine can only hide a fault, not invent one.
constexpr auto kGraceForWrongProgress = 50ms;

TEST(KeLockTest, ThreadThatEnteredTwiceMustLeaveTwiceBeforeAnotherEnters) {
    KeHandle lock = KeInitCS();
    ASSERT_NE(lock, 0);
    ASSERT_EQ(KeEnterCS(lock), 0);
    ASSERT_EQ(KeEnterCS(lock), 0);

    std::atomic<bool> trying{false};
    std::atomic<bool> entered{false};
    std::thread other([&] {
        trying.store(true);
        KeEnterCS(lock);
        entered.store(true);
        KeLeaveCS(lock);
    });
    ASSERT_TRUE(WaitUntil([&] { return trying.load(); }));
    std::this_thread::sleep_for(kGraceForWrongProgress);
    EXPECT_FALSE(entered.load()) << "entered while the owner held the lock twice";

    EXPECT_EQ(KeLeaveCS(lock), 0);
    std::this_thread::sleep_for(kGraceForWrongProgress);
    EXPECT_FALSE(entered.load()) << "entered after the owner left only once of twice";

    EXPECT_EQ(KeLeaveCS(lock), 0);
    EXPECT_TRUE(WaitUntil([&] { return entered.load(); }));
    other.join();
    EXPECT_EQ(KeFreeCS(lock), 0);
}

TEST(KeLockTest, KeepsCountersExactUnderContention) {
    KeHandle lock = KeInitCS();
    ASSERT_NE(lock, 0);
    constexpr int kIncrementsPerThread = 100000;
    long counter = 0;  // protected only by the lock under test
    auto increment = [&] {
        for (int i = 0; i < kIncrementsPerThread; ++i) {
            KeEnterCS(lock);
            KeEnterCS(lock);
            ++counter;
            KeLeaveCS(lock);
            KeLeaveCS(lock);
        }
    };
    std::thread first(increment);
    std::thread second(increment);
    first.join();
    second.join();
    EXPECT_EQ(counter, 2L * kIncrementsPerThread);
    EXPECT_EQ(KeFreeCS(lock), 0);
}

TEST(KeLockTest, InvalidHandlesAreRefusedWithoutCrashing) {
    for (KeHandle invalid : {KeHandle{0}, KeHandle{-1}}) {
        EXPECT_EQ(KeEnterCS(invalid), -1);
        EXPECT_EQ(KeLeaveCS(invalid), -1);
        EXPECT_EQ(KeFreeCS(invalid), -1);
    }
    KeHandle event = KeCreateEvent();  // a live handle of another kind
    ASSERT_NE(event, -1);
    EXPECT_EQ(KeEnterCS(event), -1);
    EXPECT_EQ(KeFreeCS(event), -1);
    EXPECT_EQ(KeFreeEvent(event), 0);
}

// Threads blocked in KeWaitEvent on one event. Whatever a test leaves behind, the destructor
// signals until every waiter has returned, so that a failing test cannot hang the run or free
// an event that is still waited on.
class EventWaiters {
  public:
    EventWaiters() : event_(KeCreateEvent()) {}
    ~EventWaiters() {
        while (returned_.load() < static_cast<int>(threads_.size())) {
            KeSetEvent(event_);
            std::this_thread::sleep_for(1ms);
        }
        for (std::thread& thread : threads_) thread.join();
        KeFreeEvent(event_);
    }
    EventWaiters(const EventWaiters&) = delete;
    EventWaiters& operator=(const EventWaiters&) = delete;

    KeHandle event() const { return event_; }
    int released() const { return released_.load(); }

    void StartWaiter() {
        threads_.emplace_back([this] {
            if (KeWaitEvent(event_) == 0) ++released_;
            ++returned_;
        });
    }
    // True once `count` waiters are blocked and unreleased, or once one has returned (so that a
    // fault that lets a waiter through shows as a failed expectation, not as a hang).
    bool BlockedWaitersReach(std::size_t count, int releasedSoFar) {
        return WaitUntil([&] {
            return KeEventWaiterCount(event_) == count || released_.load() > releasedSoFar;
        });
    }

  private:
    KeHandle event_;
    std::atomic<int> released_{0};  // waits that returned 0
    std::atomic<int> returned_{0};  // waits that returned at all
    std::list<std::thread> threads_;
};

TEST(KeEventTest, IsCreatedNotSignalled) {
    EventWaiters waiters;
    ASSERT_NE(waiters.event(), -1);
    waiters.StartWaiter();
    ASSERT_TRUE(waiters.BlockedWaitersReach(1, 0));
    EXPECT_EQ(waiters.released(), 0);
}

TEST(KeEventTest, OneSetReleasesExactlyOneOfTwoWaiters) {
    EventWaiters waiters;
    waiters.StartWaiter();
    waiters.StartWaiter();
    ASSERT_TRUE(waiters.BlockedWaitersReach(2, 0));
    ASSERT_EQ(waiters.released(), 0);

    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    ASSERT_TRUE(WaitUntil([&] { return waiters.released() >= 1; }));
    std::this_thread::sleep_for(kGraceForWrongProgress);
    EXPECT_EQ(waiters.released(), 1);
    EXPECT_EQ(KeEventWaiterCount(waiters.event()), 1u);

    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    EXPECT_TRUE(WaitUntil([&] { return waiters.released() == 2; }));
}

// Fault caught: an event that is only a flag loses the second of two quick signals, because the
// first released waiter has not yet woken to clear it; one waiter then sleeps forever.
TEST(KeEventTest, SecondSetBeforeTheFirstWaiterWakesIsNotLost) {
    EventWaiters waiters;
    waiters.StartWaiter();
    waiters.StartWaiter();
    ASSERT_TRUE(waiters.BlockedWaitersReach(2, 0));

    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    EXPECT_TRUE(WaitUntil([&] { return waiters.released() == 2; }));
}

TEST(KeEventTest, SetBeforeAnyWaitIsKeptForTheNextWait) {
    EventWaiters waiters;
    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    waiters.StartWaiter();
    EXPECT_TRUE(WaitUntil([&] { return waiters.released() == 1; }));
}

TEST(KeEventTest, KeptSignalIsConsumedByOneWaitAndRepeatedSetsDoNotAddUp) {
    EventWaiters waiters;
    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    waiters.StartWaiter();
    ASSERT_TRUE(WaitUntil([&] { return waiters.released() == 1; }));

    waiters.StartWaiter();
    ASSERT_TRUE(waiters.BlockedWaitersReach(1, 1));
    EXPECT_EQ(waiters.released(), 1);
}

TEST(KeEventTest, ResetClearsAKeptSignal) {
    EventWaiters waiters;
    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    EXPECT_EQ(KeResetEvent(waiters.event()), 0);
    waiters.StartWaiter();
    ASSERT_TRUE(waiters.BlockedWaitersReach(1, 0));
    EXPECT_EQ(waiters.released(), 0);

    EXPECT_EQ(KeSetEvent(waiters.event()), 0);
    EXPECT_TRUE(WaitUntil([&] { return waiters.released() == 1; }));
}

TEST(KeEventTest, InvalidHandlesAreRefusedWithoutCrashing) {
    for (KeHandle invalid : {KeHandle{0}, KeHandle{-1}}) {
        EXPECT_EQ(KeSetEvent(invalid), -1);
        EXPECT_EQ(KeResetEvent(invalid), -1);
        EXPECT_EQ(KeWaitEvent(invalid), -1);
        EXPECT_EQ(KeFreeEvent(invalid), -1);
    }
    KeHandle lock = KeInitCS();  // a live handle of another kind
    ASSERT_NE(lock, 0);
    EXPECT_EQ(KeWaitEvent(lock), -1);
    EXPECT_EQ(KeFreeEvent(lock), -1);
    EXPECT_EQ(KeFreeCS(lock), 0);
}

}  // namespace
