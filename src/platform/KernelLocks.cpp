// Recursive locks and auto-reset events behind the exported Ke* handles.
//
// A handle is the address of a heap record. Each record starts with a tag naming its kind, so
// that 0, -1 (the failure values) and a handle of the wrong kind are refused with -1 instead of
// being used. The tag is cleared when the record is freed; a freed handle must still not be
// used again, since its memory may already hold something else.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>

#include "platform/Kernel.h"

namespace kq::platform {
namespace {

constexpr std::uint32_t kLockTag = 0x4B514C4Bu;   // "KQLK"
constexpr std::uint32_t kEventTag = 0x4B514556u;  // "KQEV"

struct LockRecord {
    std::uint32_t tag = kLockTag;
    std::recursive_mutex mutex;
};

// Auto-reset event with the release rule of the platform the interface comes from: a signal
// that finds threads waiting is handed to exactly one of them at once, so two signals in a row
// release two waiters even if neither has run yet. A signal that finds nobody waiting is kept
// (signalled) for the next wait, and further signals before that wait add nothing.
struct EventRecord {
    std::uint32_t tag = kEventTag;
    std::mutex mutex;
    std::condition_variable released;
    bool signalled = false;           // a kept signal; only while no waiter is unreleased
    std::size_t waiters = 0;          // threads inside KeWaitEvent that have not returned
    std::size_t pendingReleases = 0;  // signals handed to waiters that have not yet woken
};

bool LooksLikeRecord(KeHandle handle) {
    return handle != 0 && handle != -1;
}

LockRecord* LockFromHandle(KeHandle handle) {
    if (!LooksLikeRecord(handle)) return nullptr;
    auto* lock = reinterpret_cast<LockRecord*>(handle);
    return lock->tag == kLockTag ? lock : nullptr;
}

EventRecord* EventFromHandle(KeHandle handle) {
    if (!LooksLikeRecord(handle)) return nullptr;
    auto* event = reinterpret_cast<EventRecord*>(handle);
    return event->tag == kEventTag ? event : nullptr;
}

}  // namespace

std::size_t KeEventWaiterCount(KeHandle handle) {
    EventRecord* event = EventFromHandle(handle);
    if (event == nullptr) return 0;
    std::lock_guard guard(event->mutex);
    return event->waiters - event->pendingReleases;
}

}  // namespace kq::platform

using kq::platform::EventFromHandle;
using kq::platform::EventRecord;
using kq::platform::LockFromHandle;
using kq::platform::LockRecord;

extern "C" {

ZAPI KeHandle ZCALL KeInitCS(void) {
    auto* lock = new (std::nothrow) LockRecord;
    return reinterpret_cast<KeHandle>(lock);  // 0 when the allocation failed
}

ZAPI int ZCALL KeEnterCS(KeHandle handle) {
    LockRecord* lock = LockFromHandle(handle);
    if (lock == nullptr) return -1;
    try {
        lock->mutex.lock();
    } catch (...) {  // the recursion limit, or a system error: never across the C boundary
        return -1;
    }
    return 0;
}

// Leaving a lock the calling thread does not hold is undefined, as with the platform's lock.
ZAPI int ZCALL KeLeaveCS(KeHandle handle) {
    LockRecord* lock = LockFromHandle(handle);
    if (lock == nullptr) return -1;
    lock->mutex.unlock();
    return 0;
}

// The lock must not be held, nor be waited for, when it is freed.
ZAPI int ZCALL KeFreeCS(KeHandle handle) {
    LockRecord* lock = LockFromHandle(handle);
    if (lock == nullptr) return -1;
    lock->tag = 0;
    delete lock;
    return 0;
}

ZAPI KeHandle ZCALL KeCreateEvent(void) {
    auto* event = new (std::nothrow) EventRecord;
    return event == nullptr ? -1 : reinterpret_cast<KeHandle>(event);
}

ZAPI int ZCALL KeSetEvent(KeHandle handle) {
    EventRecord* event = EventFromHandle(handle);
    if (event == nullptr) return -1;
    {
        std::lock_guard guard(event->mutex);
        if (event->waiters > event->pendingReleases) {
            ++event->pendingReleases;
        } else {
            event->signalled = true;
            return 0;
        }
    }
    event->released.notify_one();
    return 0;
}

// Clears a kept signal. Signals already handed to waiters are not taken back: those waiters
// count as released.
ZAPI int ZCALL KeResetEvent(KeHandle handle) {
    EventRecord* event = EventFromHandle(handle);
    if (event == nullptr) return -1;
    std::lock_guard guard(event->mutex);
    event->signalled = false;
    return 0;
}

ZAPI int ZCALL KeWaitEvent(KeHandle handle) {
    EventRecord* event = EventFromHandle(handle);
    if (event == nullptr) return -1;
    std::unique_lock guard(event->mutex);
    if (event->signalled) {
        event->signalled = false;
        return 0;
    }
    ++event->waiters;
    // Any woken waiter may take any handed-out release: each release still frees exactly one.
    event->released.wait(guard, [event] { return event->pendingReleases > 0; });
    --event->pendingReleases;
    --event->waiters;
    return 0;
}

// No thread may be waiting on the event, or wait on it later, when it is freed.
ZAPI int ZCALL KeFreeEvent(KeHandle handle) {
    EventRecord* event = EventFromHandle(handle);
    if (event == nullptr) return -1;
    event->tag = 0;
    delete event;
    return 0;
}

}  // extern "C"
