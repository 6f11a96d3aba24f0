// Internal interface of the kernel services (the exported Ke* functions are declared in
// kq/kernel.h) for the other layers of the library.
//
// - The console layer reads its signals through a signalfd; every thread KeThread starts blocks
//   the same set, so no worker thread can take one of those signals away from it.
// - Language modules (PE files holding only resources) become module handles through a
//   resource reader: the PE reader (PeImage) unless another is installed. KeLoadDll reads a
//   file named "Lng*.dll" with it alone and falls back to it for any other file that is not a
//   shared object; KeFreeDll hands the image back to it.
#pragma once

#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "kq/kernel.h"

namespace kq::platform {

// Bytes of memory the system can give without swapping (MemAvailable), or the free memory where
// the system does not say; 0 when neither is known.
std::uint64_t AvailableMemory();

// SIGWINCH, SIGCHLD, SIGTERM, SIGHUP and SIGINT: the signals the console layer owns. Threads
// started by KeThread begin with all of them blocked.
const sigset_t& KeConsoleSignalSet();

// A stack of its own for the calling thread's fault handler (CrashReporter.cpp), so that a
// stack overflow in the thread is reported too; given when made, taken back when it goes. A
// thread that has one already (a sanitizer gives every thread its own) keeps that one. Every
// thread the library starts holds one for its whole run.
class ThreadFaultStack {
  public:
    ThreadFaultStack();
    ~ThreadFaultStack();
    ThreadFaultStack(const ThreadFaultStack&) = delete;
    ThreadFaultStack& operator=(const ThreadFaultStack&) = delete;

  private:
    std::unique_ptr<char[]> stack_;
};

// Reads a resource-only module. Returns the image, or null when the file is not such a module.
using ResourceImageLoad = void* (*)(const char* fileName);
// Releases an image that ResourceImageLoad returned.
using ResourceImageRelease = void (*)(void* image);

// What a module handle points to: a shared object (sharedObject set) or a resource-only module
// (resourceImage set), never both. The host program's record holds dlopen(nullptr).
struct LoadedModule {
    // Identifies a live module record; cleared when the record is freed.
    std::uint32_t tag = 0;
    // The dlopen handle; KeGetFn looks symbols up here only.
    void* sharedObject = nullptr;
    // Owned by the resource layer and handed back through releaseResourceImage, which is
    // captured when the image is loaded.
    void* resourceImage = nullptr;
    ResourceImageRelease releaseResourceImage = nullptr;
    // KeGetModule's record: created once, never freed.
    bool isHostProgram = false;
};

// Installs the resource reader KeLoadDll falls back to (both null restores the PE reader).
// Modules already loaded keep the release function they were loaded with.
void KeSetResourceImageReader(ResourceImageLoad load, ResourceImageRelease release);

// The record behind a module handle; null for 0, -1 and a handle that is not a live module.
const LoadedModule* KeModuleFromHandle(KeHandle module);

// How many thread records KeThread holds: one per thread running now, and the records of ended
// threads waiting to be taken again. The table grows only with the threads running at once.
// Stale as soon as it is read: for diagnostics and tests only.
std::size_t KeThreadRecordCount();

// How many threads are blocked in KeWaitEvent on the event and not yet released (0 for an
// invalid handle). The count is stale as soon as it is read: for diagnostics and tests only.
std::size_t KeEventWaiterCount(KeHandle event);

}  // namespace kq::platform
