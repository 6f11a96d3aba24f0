// Tests of KeThread, KeWaitThread, KeThreadId and KeSleep: thread identities, argument passing,
// waiting (repeatedly, from several threads, never for oneself) and the signal mask that keeps
// worker threads away from the console's signals.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "kq/kernel.h"
#include "platform/Kernel.h"

namespace {

using namespace std::chrono_literals;

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

// A thread body held at a gate until the test opens it, so that waits really wait.
struct GatedWork {
    std::atomic<bool> gateOpen{false};
    int effect = 0;  // written by the thread without synchronisation of its own
};

uint32_t ZCALL RunGatedWork(intptr_t argument) {
    auto* work = reinterpret_cast<GatedWork*>(argument);
    while (!work->gateOpen.load()) std::this_thread::sleep_for(1ms);
    work->effect = 1234;
    return 0;
}

TEST(KeThreadIdTest, IsTheSameTwiceOnOneThread) {
    EXPECT_EQ(KeThreadId(), KeThreadId());
}

TEST(KeThreadIdTest, DiffersBetweenTwoLiveThreads) {
    const intptr_t mainId = KeThreadId();
    intptr_t otherId = mainId;
    std::thread other([&otherId] { otherId = KeThreadId(); });
    other.join();
    EXPECT_NE(mainId, otherId);
}

std::atomic<intptr_t> g_receivedArgument{0};
std::atomic<intptr_t> g_receivedThreadId{0};

uint32_t ZCALL RecordArgument(intptr_t argument) {
    g_receivedArgument.store(argument);
    g_receivedThreadId.store(KeThreadId());
    return 0;
}

TEST(KeThreadTest, ArgumentArrivesIntactAtFullPointerWidth) {
    int local = 0;
    const std::vector<intptr_t> arguments = {
        0,
        -1,
        INTPTR_MIN,
        INTPTR_MAX,
        static_cast<intptr_t>(UINTPTR_MAX / 3),  // alternating bits across the whole width
        reinterpret_cast<intptr_t>(&local),
    };
    for (intptr_t argument : arguments) {
        g_receivedArgument.store(argument == 0 ? 1 : 0);
        KeHandle thread = KeThread(RecordArgument, argument);
        ASSERT_NE(thread, 0);
        ASSERT_EQ(KeWaitThread(thread), 0);
        EXPECT_EQ(g_receivedArgument.load(), argument);
    }
}

TEST(KeThreadTest, RunsOnAThreadOfItsOwn) {
    KeHandle thread = KeThread(RecordArgument, 0);
    ASSERT_NE(thread, 0);
    ASSERT_EQ(KeWaitThread(thread), 0);
    EXPECT_NE(g_receivedThreadId.load(), KeThreadId());
}

TEST(KeThreadTest, RefusesANullStartRoutine) {
    EXPECT_EQ(KeThread(nullptr, 0), 0);
}

TEST(KeWaitThreadTest, ReturnsOnlyAfterTheThreadEndsAndSeesItsEffect) {
    GatedWork work;
    KeHandle thread = KeThread(RunGatedWork, reinterpret_cast<intptr_t>(&work));
    ASSERT_NE(thread, 0);

    std::atomic<bool> waitReturned{false};
    int waitResult = -2;
    std::thread waiter([&] {
        waitResult = KeWaitThread(thread);
        waitReturned.store(true);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(waitReturned.load()) << "the wait returned while the thread was still held";

    work.gateOpen.store(true);
    waiter.join();
    EXPECT_EQ(waitResult, 0);
    EXPECT_EQ(work.effect, 1234);
}

TEST(KeWaitThreadTest, WorksFromTwoThreadsAtOnceAndAgainAfterTheEnd) {
    GatedWork work;
    KeHandle thread = KeThread(RunGatedWork, reinterpret_cast<intptr_t>(&work));
    ASSERT_NE(thread, 0);

    int firstResult = -2;
    int secondResult = -2;
    std::thread firstWaiter([&] { firstResult = KeWaitThread(thread); });
    std::thread secondWaiter([&] { secondResult = KeWaitThread(thread); });
    work.gateOpen.store(true);
    firstWaiter.join();
    secondWaiter.join();
    EXPECT_EQ(firstResult, 0);
    EXPECT_EQ(secondResult, 0);

    // The handle stays valid after the end: later waits return at once.
    EXPECT_EQ(KeWaitThread(thread), 0);
    EXPECT_EQ(KeWaitThread(thread), 0);
    EXPECT_EQ(work.effect, 1234);
}

// Fault caught: every thread left its record behind for good, so a copy of a million files (a
// thread each) leaked a million records. Ended threads' records serve later threads, and a
// handle of an ended thread still answers at once while its record serves another.
TEST(KeWaitThreadTest, RecordsOfEndedThreadsServeLaterOnesAndOldHandlesStayValid) {
    std::vector<KeHandle> ended;
    for (intptr_t i = 0; i < 100; ++i) {
        ended.push_back(KeThread(RecordArgument, i));
        ASSERT_EQ(KeWaitThread(ended.back()), 0);
    }
    const size_t held = kq::platform::KeThreadRecordCount();
    GatedWork work;
    const KeHandle running = KeThread(RunGatedWork, reinterpret_cast<intptr_t>(&work));
    ASSERT_NE(running, 0);
    for (intptr_t i = 0; i < 1000; ++i) ASSERT_EQ(KeWaitThread(KeThread(RecordArgument, i)), 0);
    EXPECT_LE(kq::platform::KeThreadRecordCount(), held + 1);
    for (const KeHandle thread : ended) EXPECT_EQ(KeWaitThread(thread), 0);
    work.gateOpen.store(true);
    EXPECT_EQ(KeWaitThread(running), 0);
    EXPECT_EQ(KeWaitThread(running), 0);
}

std::atomic<KeHandle> g_selfHandle{0};
std::atomic<int> g_selfWaitResult{-2};

uint32_t ZCALL WaitForSelf(intptr_t) {
    while (g_selfHandle.load() == 0) std::this_thread::sleep_for(1ms);
    g_selfWaitResult.store(KeWaitThread(g_selfHandle.load()));
    return 0;
}

TEST(KeWaitThreadTest, WaitForTheCallingThreadItselfIsRefusedInsteadOfDeadlocking) {
    g_selfHandle.store(0);
    KeHandle thread = KeThread(WaitForSelf, 0);
    ASSERT_NE(thread, 0);
    g_selfHandle.store(thread);
    ASSERT_TRUE(WaitUntil([] { return g_selfWaitResult.load() != -2; }));
    EXPECT_EQ(g_selfWaitResult.load(), -1);
    EXPECT_EQ(KeWaitThread(thread), 0);
}

TEST(KeWaitThreadTest, InvalidHandlesAreRefused) {
    EXPECT_EQ(KeWaitThread(0), -1);
    EXPECT_EQ(KeWaitThread(-1), -1);
    KeHandle event = KeCreateEvent();  // a live handle of another kind
    EXPECT_EQ(KeWaitThread(event), -1);
    KeFreeEvent(event);
}

// The signal mask as the thread sees it, captured inside the thread.
uint32_t ZCALL CaptureSignalMask(intptr_t argument) {
    pthread_sigmask(SIG_BLOCK, nullptr, reinterpret_cast<sigset_t*>(argument));
    return 0;
}

// Fault caught: a worker thread that leaves the console's signals unblocked receives them
// itself, and the console's signalfd never sees a resize or a child's end.
TEST(KeThreadSignalTest, ConsoleSignalsAreBlockedInsideStartedThreads) {
    // Start from a creator that has them unblocked, as the UI thread does.
    sigset_t creatorMask;
    pthread_sigmask(SIG_UNBLOCK, &kq::platform::KeConsoleSignalSet(), &creatorMask);

    sigset_t threadMask;
    sigemptyset(&threadMask);
    KeHandle thread = KeThread(CaptureSignalMask, reinterpret_cast<intptr_t>(&threadMask));
    ASSERT_NE(thread, 0);
    ASSERT_EQ(KeWaitThread(thread), 0);
    for (int signalNumber : {SIGWINCH, SIGCHLD, SIGTERM, SIGHUP, SIGINT}) {
        EXPECT_EQ(sigismember(&threadMask, signalNumber), 1) << "signal " << signalNumber;
        EXPECT_EQ(sigismember(&kq::platform::KeConsoleSignalSet(), signalNumber), 1)
            << "signal " << signalNumber;
    }

    pthread_sigmask(SIG_SETMASK, &creatorMask, nullptr);
}

// Fault caught: blocking the signals around thread creation and forgetting to restore the
// creator's own mask, which would leave the UI thread deaf to them.
TEST(KeThreadSignalTest, CreatorKeepsItsOwnSignalMask) {
    sigset_t before;
    pthread_sigmask(SIG_UNBLOCK, &kq::platform::KeConsoleSignalSet(), &before);
    sigset_t unblocked;
    pthread_sigmask(SIG_BLOCK, nullptr, &unblocked);

    KeHandle thread = KeThread(RecordArgument, 0);
    ASSERT_NE(thread, 0);
    sigset_t after;
    pthread_sigmask(SIG_BLOCK, nullptr, &after);
    for (int signalNumber = 1; signalNumber < SIGRTMIN; ++signalNumber) {
        EXPECT_EQ(sigismember(&after, signalNumber), sigismember(&unblocked, signalNumber))
            << "signal " << signalNumber;
    }
    EXPECT_EQ(KeWaitThread(thread), 0);

    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

TEST(KeSleepTest, LastsAtLeastTheRequestedTime) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(KeSleep(20), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
    EXPECT_EQ(KeSleep(0), 0);
}

}  // namespace
