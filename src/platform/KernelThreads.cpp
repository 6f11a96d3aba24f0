// Threads, thread identities, sleeping and the terminal bell.
//
// Thread handles: the interface has no call that closes a thread handle, and KeWaitThread may
// be called on one at any later time, from any number of threads. A handle therefore names a
// slot of one table together with the slot's generation: the slot is the thread's record while
// it runs and is taken by later threads once it has ended (FsCopy alone starts one thread per
// copied file). A handle whose generation the slot has passed names a thread that has ended,
// so every handle stays valid for the life of the process while the table holds only as many
// records as threads ever ran at once. A slot whose generation counter is used up is retired,
// never reused, so no handle ever names a second thread.
//
// All records share one mutex and one condition variable (a thread's end is rare enough for a
// broadcast). The threads themselves are detached, so nothing joins them.
//
// Every thread started here blocks KeConsoleSignalSet(): the mask is set around the creation,
// so the new thread inherits it before it runs a single instruction.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Kernel.h"

namespace kq::platform {
namespace {

static_assert(sizeof(KeHandle) >= 8, "a thread handle carries a slot and its generation");

// The low half of a handle is the slot's index plus one (never 0), the high half the slot's
// generation when the thread started. Indexes stay below 2^31, so no handle is -1.
constexpr std::uint32_t kMaxSlots = 0x7FFFFFFFu;

struct ThreadSlot {
    // The generation of the thread in the slot, or of the next one when the slot is free.
    std::uint32_t generation = 1;
    bool running = false;
    pid_t systemId = 0;  // set by the thread itself before its start routine runs
};

// Never destroyed: detached threads may still end while the process runs its exit handlers.
struct ThreadTable {
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<ThreadSlot> slots;         // as many as threads ever ran at once
    std::vector<std::uint32_t> freeSlots;  // indexes of slots with no thread in them
};

ThreadTable& Threads() {
    static auto* table = new ThreadTable;
    return *table;
}

KeHandle MakeHandle(std::uint32_t index, std::uint32_t generation) {
    return static_cast<KeHandle>((static_cast<std::uint64_t>(generation) << 32) | (index + 1u));
}

struct HandleParts {
    std::uint32_t index;
    std::uint32_t generation;
};

bool SplitHandle(KeHandle handle, HandleParts& parts) {
    const auto bits = static_cast<std::uint64_t>(handle);
    const auto low = static_cast<std::uint32_t>(bits);
    if (low == 0 || low > kMaxSlots) return false;
    parts = HandleParts{low - 1u, static_cast<std::uint32_t>(bits >> 32)};
    return true;
}

// Takes a free slot (or a new one) for a thread about to start; false when the table is full.
// Called with the table's mutex held.
bool TakeSlot(ThreadTable& table, std::uint32_t& index) {
    if (!table.freeSlots.empty()) {
        index = table.freeSlots.back();
        table.freeSlots.pop_back();
    } else {
        if (table.slots.size() >= kMaxSlots) return false;
        index = static_cast<std::uint32_t>(table.slots.size());
        table.slots.emplace_back();
        // Room for every slot to be free at once: a thread's end never allocates.
        table.freeSlots.reserve(table.slots.size());
    }
    ThreadSlot& slot = table.slots[index];
    slot.running = true;
    slot.systemId = 0;
    return true;
}

// The thread in the slot has ended (or never started): later handles of the slot are new ones.
// Called with the table's mutex held.
void ReleaseSlot(ThreadTable& table, std::uint32_t index) {
    ThreadSlot& slot = table.slots[index];
    slot.running = false;
    slot.systemId = 0;
    ++slot.generation;
    // A slot whose next generation is the last one is retired: that one is never handed out.
    if (slot.generation != std::numeric_limits<std::uint32_t>::max()) {
        table.freeSlots.push_back(index);
    }
}

sigset_t MakeConsoleSignalSet() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signalNumber : {SIGWINCH, SIGCHLD, SIGTERM, SIGHUP, SIGINT, SIGTSTP, SIGCONT}) {
        sigaddset(&signals, signalNumber);
    }
    return signals;
}

void RunThread(std::uint32_t index, KeThreadStart start, intptr_t argument) {
    ThreadTable& table = Threads();
    {
        std::lock_guard guard(table.mutex);
        table.slots[index].systemId = gettid();
    }
    {
        const ThreadFaultStack faultStack;
        start(argument);
    }
    {
        std::lock_guard guard(table.mutex);
        ReleaseSlot(table, index);
    }
    table.ended.notify_all();
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

std::size_t KeThreadRecordCount() {
    ThreadTable& table = Threads();
    std::lock_guard guard(table.mutex);
    return table.slots.size();
}

const sigset_t& KeConsoleSignalSet() {
    static const sigset_t signals = MakeConsoleSignalSet();
    return signals;
}

}  // namespace kq::platform

using kq::platform::HandleParts;
using kq::platform::Threads;
using kq::platform::ThreadTable;

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
    ThreadTable& table = Threads();
    std::uint32_t index = 0;
    std::uint32_t generation = 0;
    try {
        std::lock_guard guard(table.mutex);
        if (!kq::platform::TakeSlot(table, index)) return 0;
        generation = table.slots[index].generation;
    } catch (...) {  // no memory for another slot
        return 0;
    }
    try {
        kq::platform::ConsoleSignalsBlocked blocked;
        std::thread(kq::platform::RunThread, index, start, argument).detach();
    } catch (...) {  // the system refused another thread
        std::lock_guard guard(table.mutex);
        kq::platform::ReleaseSlot(table, index);
        return 0;
    }
    return kq::platform::MakeHandle(index, generation);
}

// Returns 0 once the thread has ended. A thread waiting for itself would wait forever: -1.
ZAPI int ZCALL KeWaitThread(KeHandle handle) {
    HandleParts parts{};
    if (!kq::platform::SplitHandle(handle, parts)) return -1;
    ThreadTable& table = Threads();
    std::unique_lock guard(table.mutex);
    if (parts.index >= table.slots.size()) return -1;
    // The slot is looked up afresh after every wake-up: the table may have grown meanwhile.
    const auto slot = [&]() -> const kq::platform::ThreadSlot& { return table.slots[parts.index]; };
    // A generation the slot has not reached was never handed out.
    if (parts.generation > slot().generation) return -1;
    if (parts.generation < slot().generation) return 0;  // that thread has ended
    if (!slot().running) return -1;
    if (slot().systemId == gettid()) return -1;
    table.ended.wait(guard, [&] { return slot().generation != parts.generation; });
    return 0;
}

}  // extern "C"
