// Threads, thread identities, sleeping and the terminal bell.
//
// Thread handles: the interface has no call that closes a thread handle, and KeWaitThread may
// be called on one at any later time, from any number of threads. A handle is therefore the
// address of a small record that is never freed: it lives until the process exits (about 24
// bytes per thread ever started). To keep that cost low the record holds only the thread's
// identity and whether it has finished; the start routine and its argument travel with the
// thread itself, and all records share one mutex and one condition variable (a thread's end is
// rare enough for a broadcast). The threads themselves are detached, so nothing joins them.
//
// Every thread started here blocks KeConsoleSignalSet(): the mask is set around the creation,
// so the new thread inherits it before it runs a single instruction.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

#include "platform/Kernel.h"

namespace kq::platform {
namespace {

constexpr std::uint32_t kThreadTag = 0x4B515448u;  // "KQTH"

struct ThreadRecord {
    std::uint32_t tag = kThreadTag;
    std::atomic<pid_t> systemId{0};  // set by the thread itself before its start routine runs
    bool finished = false;           // guarded by ThreadEnds().mutex
    ThreadRecord* older = nullptr;   // the record created before this one; guarded likewise
};

// Shared by all thread records. Never destroyed: detached threads may still end while the
// process runs its exit handlers.
struct ThreadEndSignal {
    std::mutex mutex;
    std::condition_variable ended;
    // Every record ever handed out, newest first. Nothing walks the list: it keeps the records
    // reachable, which is what they are, for leak checkers.
    ThreadRecord* newest = nullptr;
};

ThreadEndSignal& ThreadEnds() {
    static auto* signal = new ThreadEndSignal;
    return *signal;
}

ThreadRecord* ThreadFromHandle(KeHandle handle) {
    if (handle == 0 || handle == -1) return nullptr;
    auto* thread = reinterpret_cast<ThreadRecord*>(handle);
    return thread->tag == kThreadTag ? thread : nullptr;
}

sigset_t MakeConsoleSignalSet() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signalNumber : {SIGWINCH, SIGCHLD, SIGTERM, SIGHUP, SIGINT, SIGTSTP, SIGCONT}) {
        sigaddset(&signals, signalNumber);
    }
    return signals;
}

void RunThread(ThreadRecord* thread, KeThreadStart start, intptr_t argument) {
    thread->systemId.store(gettid(), std::memory_order_release);
    start(argument);
    ThreadEndSignal& ends = ThreadEnds();
    {
        std::lock_guard guard(ends.mutex);
        thread->finished = true;
    }
    ends.ended.notify_all();
}

// Blocks the console's signals in the calling thread for its lifetime and restores the mask
// it had before.
class ConsoleSignalsBlocked {
  public:
    ConsoleSignalsBlocked() { pthread_sigmask(SIG_BLOCK, &KeConsoleSignalSet(), &previous_); }
    ~ConsoleSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    ConsoleSignalsBlocked(const ConsoleSignalsBlocked&) = delete;
    ConsoleSignalsBlocked& operator=(const ConsoleSignalsBlocked&) = delete;

  private:
    sigset_t previous_;
};

}  // namespace

const sigset_t& KeConsoleSignalSet() {
    static const sigset_t signals = MakeConsoleSignalSet();
    return signals;
}

}  // namespace kq::platform

using kq::platform::ThreadEnds;
using kq::platform::ThreadEndSignal;
using kq::platform::ThreadFromHandle;
using kq::platform::ThreadRecord;

extern "C" {

ZAPI int ZCALL KeSleep(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    return 0;
}

// Rings the terminal's bell by writing BEL to the controlling terminal. Nothing else is
// written, and never to standard output: that is the screen the UI draws on. The frequency and
// duration cannot be honoured by a terminal.
ZAPI int ZCALL KeSound(uint32_t /*frequency*/, uint32_t /*duration*/) {
    int terminal = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return -1;
    static constexpr char kBell = '\a';
    ssize_t written;
    do {
        written = write(terminal, &kBell, 1);
    } while (written < 0 && errno == EINTR);
    close(terminal);
    return written == 1 ? 0 : -1;
}

ZAPI intptr_t ZCALL KeThreadId(void) {
    return static_cast<intptr_t>(gettid());
}

ZAPI KeHandle ZCALL KeThread(KeThreadStart start, intptr_t argument) {
    if (start == nullptr) return 0;
    auto* thread = new (std::nothrow) ThreadRecord;
    if (thread == nullptr) return 0;
    try {
        kq::platform::ConsoleSignalsBlocked blocked;
        std::thread(kq::platform::RunThread, thread, start, argument).detach();
    } catch (...) {  // the system refused another thread
        delete thread;
        return 0;
    }
    ThreadEndSignal& ends = ThreadEnds();
    std::lock_guard guard(ends.mutex);
    thread->older = ends.newest;
    ends.newest = thread;
    return reinterpret_cast<KeHandle>(thread);
}

// Returns 0 once the thread has ended. A thread waiting for itself would wait forever: -1.
ZAPI int ZCALL KeWaitThread(KeHandle handle) {
    ThreadRecord* thread = ThreadFromHandle(handle);
    if (thread == nullptr) return -1;
    ThreadEndSignal& ends = ThreadEnds();
    std::unique_lock guard(ends.mutex);
    // Checked under the mutex and before the identity: once a thread has ended, its system id
    // may belong to another thread, which must then see the end, not a refusal.
    if (thread->finished) return 0;
    if (thread->systemId.load(std::memory_order_acquire) == gettid()) return -1;
    ends.ended.wait(guard, [thread] { return thread->finished; });
    return 0;
}

}  // extern "C"
