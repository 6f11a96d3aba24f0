// Threads, locks, events and the bell: waiting, the reuse of ended threads' records, signal
// masks, auto-reset events that hand each signal to one waiter and lose none, handles of the wrong kind.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <thread>
#include <vector>

#include "kq/kernel.h"
#include "platform/Kernel.h"
#include "support/ProcessTestSupport.h"

namespace {

using namespace std::chrono_literals;
using kq::platform::KeEventWaiterCount;

// The limit only keeps a broken build from hanging the run; nothing depends on speed.
bool Eventually(const std::function<bool()>& condition) {
    return kq::testing::WaitUntil(condition, 30000, 1);
}

// KeWaitThread(thread) returned 0 within the limit (a wait that hangs is left behind).
bool Ended(KeHandle thread) {
    auto result = std::make_shared<std::atomic<int>>(-2);
    std::thread([thread, result] { *result = KeWaitThread(thread); }).detach();
    return kq::testing::WaitUntil([&] { return *result != -2; }, 10000, 1) && *result == 0;
}

// A thread body held until the test opens the gate, so that waits really wait.
uint32_t ZCALL PassGate(intptr_t argument) {
    while (!*reinterpret_cast<std::atomic<bool>*>(argument)) std::this_thread::sleep_for(1ms);
    return 0;
}

uint32_t ZCALL DoNothing(intptr_t) {
    return 0;
}

// Fault caught: every thread kept its record for good, so copying a million files (a thread
// each) leaked a million. Old handles still answer at once while their record serves another,
// and the waiters of a running thread all return once it has ended, not before.
uint32_t ZCALL CaptureSignalMask(intptr_t argument) {
    pthread_sigmask(SIG_BLOCK, nullptr, reinterpret_cast<sigset_t*>(argument));
    return 0;
}

// Fault caught: a worker with the console's signals unblocked took them, and the console's
// signalfd never saw a resize or a child's end.
TEST(KeThreadTest, StartedThreadsBlockTheConsoleSignals) {
    sigset_t before, inThread;
    pthread_sigmask(SIG_UNBLOCK, &kq::platform::KeConsoleSignalSet(), &before);
    sigemptyset(&inThread);
    ASSERT_TRUE(Ended(KeThread(CaptureSignalMask, reinterpret_cast<intptr_t>(&inThread))));
    for (int signalNumber : {SIGWINCH, SIGCHLD, SIGTERM, SIGHUP, SIGINT}) {
        EXPECT_EQ(sigismember(&inThread, signalNumber), 1) << "signal " << signalNumber;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

TEST(KeWaitThreadTest, RecordsOfEndedThreadsServeLaterOnesAndOldHandlesStayValid) {
    std::vector<KeHandle> ended;
    for (intptr_t i = 0; i < 100; ++i) {
        ended.push_back(KeThread(DoNothing, i));
        ASSERT_TRUE(Ended(ended.back()));
    }
    const size_t held = kq::platform::KeThreadRecordCount();
    std::atomic<bool> gate{false};
    const KeHandle running = KeThread(PassGate, reinterpret_cast<intptr_t>(&gate));
    ASSERT_NE(running, 0);
    std::atomic<int> returned{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] { returned += KeWaitThread(running) == 0 ? 1 : 100; });
    }
    for (intptr_t i = 0; i < 1000; ++i) EXPECT_EQ(KeWaitThread(KeThread(DoNothing, i)), 0);
    EXPECT_LE(kq::platform::KeThreadRecordCount(), held + 1);
    for (const KeHandle thread : ended) EXPECT_EQ(KeWaitThread(thread), 0);
    EXPECT_EQ(returned.load(), 0) << "a wait returned while the thread was still held";
    gate = true;
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(returned.load(), 2);
}

// Threads blocked in KeWaitEvent on one event; the destructor signals until all have returned,
// so that a failing test cannot hang or free an event still waited on.
struct EventWaiters {
    ~EventWaiters() {
        while (returned < static_cast<int>(threads.size())) {
            KeSetEvent(event);
            std::this_thread::sleep_for(1ms);
        }
        for (std::thread& thread : threads) thread.join();
        KeFreeEvent(event);
    }
    void Start() {
        threads.emplace_back([this] {
            released += KeWaitEvent(event) == 0;
            ++returned;
        });
    }
    KeHandle event = KeCreateEvent();
    std::atomic<int> released{0}, returned{0};  // waits that returned 0, that returned at all
    std::list<std::thread> threads;
};

// Fault caught: an event that is only a flag lost the second of two quick signals. A set
// without waiters is kept once for the next wait; one with waiters releases one.
TEST(KeEventTest, EachSetReleasesExactlyOneWaiterAndOneWithoutWaitersIsKeptOnce) {
    EventWaiters waiters;
    EXPECT_EQ(KeSetEvent(waiters.event) | KeSetEvent(waiters.event), 0);
    waiters.Start();
    ASSERT_TRUE(Eventually([&] { return waiters.released == 1; }));
    for (int i = 0; i < 3; ++i) waiters.Start();
    // Three blocked, or one let through by a second set that added up (which then fails below).
    ASSERT_TRUE(
        Eventually([&] { return KeEventWaiterCount(waiters.event) == 3 || waiters.released > 1; }));
    EXPECT_EQ(KeSetEvent(waiters.event), 0);
    ASSERT_TRUE(Eventually([&] { return waiters.released >= 2; }));
    std::this_thread::sleep_for(50ms);  // a loaded machine can only hide a fault
    EXPECT_EQ(waiters.released, 2);
    EXPECT_EQ(KeEventWaiterCount(waiters.event), 2u);
    EXPECT_EQ(KeSetEvent(waiters.event) | KeSetEvent(waiters.event), 0);
    ASSERT_TRUE(Eventually([&] { return waiters.released == 4; }));
}

// The lock is recursive; a live handle of another kind is refused by every function.
TEST(KeHandleTest, LockIsRecursiveAndHandlesOfAnotherKindAreRefused) {
    const KeHandle lock = KeInitCS();
    const KeHandle event = KeCreateEvent();
    for (int step : {0, 0, 1, 1}) EXPECT_EQ(step ? KeLeaveCS(lock) : KeEnterCS(lock), 0);
    EXPECT_EQ(std::vector({KeEnterCS(event), KeLeaveCS(event), KeFreeCS(event), KeWaitThread(event),
                           KeSetEvent(lock), KeResetEvent(lock), KeWaitEvent(lock),
                           KeFreeEvent(lock), KeFreeDll(lock)}),
              std::vector(9, -1));
    EXPECT_EQ(KeGetFn(lock, "malloc"), nullptr);
    EXPECT_EQ(KeFreeCS(lock) | KeFreeEvent(event), 0);
}

// The bell goes to the controlling terminal only; a child of its own session has none.
TEST(KeSoundTest, FailsWithoutAControllingTerminal) {
    const pid_t child = fork();
    if (child == 0) _exit(setsid() < 0 || KeSound(440, 100) != -1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
