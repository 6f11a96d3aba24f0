// Whole-file copies in a thread of their own: FsCopy, its status record and both modes.
//
// Thread rules: FsCopy resolves both names in the caller's thread (relative names against the
// directory current at the call, held open as a descriptor), so the copy thread never looks
// at the process's current directory, which another thread may change meanwhile. The thread
// owns its job and frees it. It writes the caller's status record with atomic stores: done
// relaxed (a progress hint), state with release (the completion signal, written last).
//
// Neither mode opens a fifo, socket or device: the source must be a regular file before it is
// opened, and the open itself does not block should the name change in between. An existing
// destination that is not a regular file, or that is the source itself, is never written.
//
// Both modes write a new file beside the destination and put it in the destination's place
// only once the whole copy has succeeded: a replaced file stays as it was until then, and a
// copy that fails removes the new file and nothing else. Without the replace flag the new file
// takes the name only while the name is still free. Replacing puts a new file in the name's
// place: a symbolic link or a hard link of that name is replaced, not written through. The own
// loop gives the new file the permissions of the file it replaces (else the default ones).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <new>
#include <string>

#include "fs/FsInternal.h"
#include "fs/PendingFile.h"
#include "kq/fs.h"
#include "kq/kernel.h"

namespace kq::fs {
namespace {

static_assert(sizeof(FsCopyStatus) == 16 && offsetof(FsCopyStatus, state) == 8);

constexpr uint32_t kSmallBlock = 64 * 1024;
constexpr uint32_t kLargeBlock = 128 * 1024;
// The system copy moves this much per call between two progress reports.
constexpr size_t kSystemChunk = 8 * 1024 * 1024;

struct CopyJob {
    UniqueFd base;  // the directory relative names start from; none when both are absolute
    std::string source;
    std::string destination;
    FsCopyStatus* status = nullptr;  // FsCopy's record; null for a copy in the caller's thread
    const CopyProgressFn* progress = nullptr;  // the caller's thread: bytes copied so far
    uint32_t flags = 0;
    bool carryModeAndTimes = false;
    bool smallInPlace = false;  // see CopySmallFileInPlace
    int error = 0;              // why the copy failed (errno), 0 while it has not
    // System copy: FsCopy waits for the first progress report or the end.
    std::promise<void> started;
    bool startedSignalled = false;

    int BaseFd() const { return base ? base.Get() : AT_FDCWD; }
    void SignalStarted() {
        if (status != nullptr && !startedSignalled) {
            startedSignalled = true;
            started.set_value();
        }
    }
    void Report(uint64_t done) const {
        if (status != nullptr) {
            std::atomic_ref<uint64_t>(status->done).store(done, std::memory_order_relaxed);
        } else if (progress != nullptr && *progress) {
            (*progress)(done);
        }
    }
    // Records errno as the reason (the first one only) and passes state on.
    int Fail(int state) {
        if (error == 0) error = errno != 0 ? errno : EIO;
        return state;
    }
};

void StoreState(FsCopyStatus* status, int32_t state) {
    std::atomic_ref<int32_t>(status->state).store(state, std::memory_order_release);
}

// One block of memory for the own loop, locked in memory where the system allows it.
class CopyBuffer {
  public:
    explicit CopyBuffer(size_t size) : size_(size) {
        void* memory =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return;
        data_ = static_cast<char*>(memory);
        // Best effort: RLIMIT_MEMLOCK is small for ordinary users, and a copy never fails on it.
        locked_ = ::mlock(data_, size_) == 0;
    }
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;
    ~CopyBuffer() {
        if (data_ == nullptr) return;
        if (locked_) ::munlock(data_, size_);
        ::munmap(data_, size_);
    }

    char* Data() const { return data_; }

  private:
    size_t size_;
    char* data_ = nullptr;
    bool locked_ = false;
};

// Opens the source for reading; invalid when it is missing or not a regular file (errno ENXIO
// then).
UniqueFd OpenSource(const CopyJob& job, struct stat& status) {
    if (::fstatat(job.BaseFd(), job.source.c_str(), &status, 0) != 0) return UniqueFd();
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
        return UniqueFd();
    }
    UniqueFd in(
        ::openat(job.BaseFd(), job.source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!in || ::fstat(in.Get(), &status) != 0) return UniqueFd();
    if (!S_ISREG(status.st_mode)) {
        errno = ENXIO;
        return UniqueFd();
    }
    ::fcntl(in.Get(), F_SETFL, ::fcntl(in.Get(), F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return in;
}

ssize_t ReadSome(int fd, char* data, size_t length) {
    for (;;) {
        const ssize_t n = ::read(fd, data, length);
        if (n >= 0 || errno != EINTR) return n;
    }
}

// The errors with which copy_file_range, sendfile and splice refuse a pair of files they cannot
// handle, before moving anything.
bool IsUnsupported(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == EBADF;
}

// A pipe that holds one block: the own loop reads a block into it and writes it out from it,
// so the data stays in the kernel (one copy instead of two through user memory). Unusable
// when the pipe cannot be made that large.
class BlockPipe {
  public:
    explicit BlockPipe(uint32_t blockSize) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        readEnd_.Reset(fds[0]);
        writeEnd_.Reset(fds[1]);
        if (::fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(blockSize)) <
            static_cast<int>(blockSize)) {
            readEnd_.Reset();
            writeEnd_.Reset();
        }
    }
    bool Usable() const { return static_cast<bool>(writeEnd_); }
    int ReadEnd() const { return readEnd_.Get(); }
    int WriteEnd() const { return writeEnd_.Get(); }

  private:
    UniqueFd readEnd_;
    UniqueFd writeEnd_;
};

ssize_t SpliceSome(int from, int to, size_t length) {
    for (;;) {
        const ssize_t n = ::splice(from, nullptr, to, nullptr, length, SPLICE_F_MOVE);
        if (n >= 0 || errno != EINTR) return n;
    }
}

enum class BlockResult { kMoved, kEnd, kReadFailed, kWriteFailed, kNoSplice };

// One block through the pipe: splice it in (the read), then out (the write). kNoSplice when
// the source takes no splicing; nothing has been read then. Where only the destination takes
// none, the block goes on through the buffer and the pipe is given up.
BlockResult MoveBlockThroughPipe(BlockPipe& pipe, int in, int out, const CopyBuffer& buffer,
                                 uint32_t blockSize, size_t& moved, bool& keepPipe) {
    const ssize_t n = SpliceSome(in, pipe.WriteEnd(), blockSize);
    if (n < 0) return IsUnsupported(errno) ? BlockResult::kNoSplice : BlockResult::kReadFailed;
    if (n == 0) return BlockResult::kEnd;
    moved = static_cast<size_t>(n);
    size_t left = moved;
    while (left > 0) {
        const ssize_t k = SpliceSome(pipe.ReadEnd(), out, left);
        if (k < 0 && left == moved && IsUnsupported(errno)) {
            keepPipe = false;
            size_t drained = 0;
            while (drained < moved) {
                const ssize_t r =
                    ReadSome(pipe.ReadEnd(), buffer.Data() + drained, moved - drained);
                if (r <= 0) return BlockResult::kReadFailed;
                drained += static_cast<size_t>(r);
            }
            return WriteAll(out, buffer.Data(), moved) ? BlockResult::kMoved
                                                       : BlockResult::kWriteFailed;
        }
        if (k <= 0) return BlockResult::kWriteFailed;
        left -= static_cast<size_t>(k);
    }
    return BlockResult::kMoved;
}

BlockResult MoveBlockThroughBuffer(int in, int out, char* buffer, uint32_t blockSize,
                                   size_t& moved) {
    const ssize_t n = ReadSome(in, buffer, blockSize);
    if (n < 0) return BlockResult::kReadFailed;
    if (n == 0) return BlockResult::kEnd;
    moved = static_cast<size_t>(n);
    return WriteAll(out, buffer, moved) ? BlockResult::kMoved : BlockResult::kWriteFailed;
}

// A file smaller than one block goes through this thread's own small buffer: a tree of many
// small files would otherwise spend more on making and locking buffers and pipes than on the
// data.
char* SmallFileBuffer() {
    thread_local std::unique_ptr<char[]> buffer(new (std::nothrow) char[kSmallBlock]);
    return buffer.get();
}

// Gives the new file the source's permissions (without the set-id bits, as the owner is not
// carried) and its access and modification times.
bool CarryModeAndTimes(int fd, const struct stat& source) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return ::fchmod(fd, source.st_mode & 01777) == 0 && ::futimens(fd, times) == 0;
}

// Moves the data block by block, through the pipe while both files take splicing, else
// through the buffer. FS_COPY_OK at the end of the source.
int MoveBlocks(CopyJob& job, int in, int out, char* buffer, uint32_t blockSize, BlockPipe* pipe,
               const CopyBuffer* pipeBuffer) {
    bool usePipe = pipe != nullptr && pipe->Usable();
    uint64_t done = 0;
    for (;;) {
        size_t moved = 0;
        BlockResult result = BlockResult::kNoSplice;
        if (usePipe) {
            result = MoveBlockThroughPipe(*pipe, in, out, *pipeBuffer, blockSize, moved, usePipe);
            if (result == BlockResult::kNoSplice) usePipe = false;
        }
        if (result == BlockResult::kNoSplice) {
            result = MoveBlockThroughBuffer(in, out, buffer, blockSize, moved);
        }
        switch (result) {
            case BlockResult::kEnd:
                return FS_COPY_OK;
            case BlockResult::kReadFailed:
                return job.Fail(FS_COPY_READ_FAILED);
            case BlockResult::kWriteFailed:
            case BlockResult::kNoSplice:
                return job.Fail(FS_COPY_WRITE_FAILED);
            case BlockResult::kMoved:
                done += moved;
                job.Report(done);
                break;
        }
    }
}

// A file of less than one block, copied for the engine of the copy jobs, is written under its
// own name at once (created, so that nothing that was there is ever touched) and removed again
// should the copy fail: its data takes a single write, so the name is never seen half written
// for long, and a tree of many small files is spared a second name and a rename per file.
int CopySmallFileInPlace(CopyJob& job, int in, const struct stat& source) {
    UniqueFd out(::open(job.destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                        S_IRUSR | S_IWUSR));
    if (!out) return job.Fail(FS_COPY_CREATE_FAILED);
    char* buffer = SmallFileBuffer();
    int state = buffer != nullptr
                    ? MoveBlocks(job, in, out.Get(), buffer, kSmallBlock, nullptr, nullptr)
                    : job.Fail(FS_COPY_FAILED);
    if (state == FS_COPY_OK && !CarryModeAndTimes(out.Get(), source)) {
        state = job.Fail(FS_COPY_WRITE_FAILED);
    }
    if (state == FS_COPY_OK && ::close(out.Release()) != 0) state = job.Fail(FS_COPY_WRITE_FAILED);
    if (state != FS_COPY_OK) ::unlink(job.destination.c_str());
    return state;
}

int RunOwnLoop(CopyJob& job) {
    struct stat source;
    UniqueFd in = OpenSource(job, source);
    if (!in) return job.Fail(FS_COPY_OPEN_FAILED);
    if (job.smallInPlace && !(job.flags & FS_COPY_REPLACE) &&
        source.st_size < static_cast<off_t>(kSmallBlock)) {
        return CopySmallFileInPlace(job, in.Get(), source);
    }
    // Default permissions (the umask applies), or a replaced file's, and the current time,
    // unless the caller asked for the source's.
    PendingDestination destination;
    if (!destination.Create(job.BaseFd(), job.destination, (job.flags & FS_COPY_REPLACE) != 0,
                            &source, 0666, true))
        return job.Fail(FS_COPY_CREATE_FAILED);
    const int out = destination.Fd();
    int state = FS_COPY_OK;
    if (source.st_size < static_cast<off_t>(kSmallBlock)) {
        char* buffer = SmallFileBuffer();
        if (buffer == nullptr) return job.Fail(FS_COPY_FAILED);
        state = MoveBlocks(job, in.Get(), out, buffer, kSmallBlock, nullptr, nullptr);
    } else {
        const uint32_t blockSize = CopyBlockSize(static_cast<uint64_t>(source.st_size));
        // The buffer is obtained (and its failure reported) even while the pipe carries the
        // blocks: it takes over whenever a file refuses splicing.
        CopyBuffer buffer(blockSize);
        if (buffer.Data() == nullptr) return job.Fail(FS_COPY_FAILED);
        BlockPipe pipe(blockSize);
        state = MoveBlocks(job, in.Get(), out, buffer.Data(), blockSize, &pipe, &buffer);
    }
    if (state != FS_COPY_OK) return state;
    if (job.carryModeAndTimes && !CarryModeAndTimes(out, source)) {
        return job.Fail(FS_COPY_WRITE_FAILED);
    }
    state = destination.Place(FS_COPY_WRITE_FAILED, FS_COPY_CREATE_FAILED);
    return state == FS_COPY_OK ? state : job.Fail(state);
}

// The system copy's data: copy_file_range, else sendfile, else read and write. Each step goes
// on from the descriptors' current offsets, so a fallback resumes where the last method ended.
bool CopyData(CopyJob& job, int in, int out) {
    uint64_t done = 0;
    bool useRange = true;
    bool useSendfile = true;
    bool confirmEnd = true;  // procfs-like files report no data to copy_file_range and sendfile
    std::unique_ptr<char[]> block;  // the last fallback's buffer
    for (;;) {
        ssize_t n = -1;
        if (useRange) {
            n = ::copy_file_range(in, nullptr, out, nullptr, kSystemChunk, 0);
            if (n < 0 && errno != EINTR && IsUnsupported(errno)) {
                useRange = false;
                continue;
            }
        } else if (useSendfile) {
            n = ::sendfile(out, in, nullptr, kSystemChunk);
            if (n < 0 && errno != EINTR && IsUnsupported(errno)) {
                useSendfile = false;
                continue;
            }
        } else {
            if (!block) block = std::make_unique<char[]>(kLargeBlock);
            n = ReadSome(in, block.get(), kLargeBlock);
            if (n > 0 && !WriteAll(out, block.get(), static_cast<size_t>(n))) return false;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            if (done == 0 && confirmEnd && (useRange || useSendfile)) {
                confirmEnd = false;
                useRange = useSendfile = false;
                continue;
            }
            return true;
        }
        confirmEnd = false;
        done += static_cast<uint64_t>(n);
        job.Report(done);
        job.SignalStarted();
    }
}

int RunSystemCopy(CopyJob& job) {
    struct stat source;
    UniqueFd in = OpenSource(job, source);
    if (!in) return job.Fail(FS_COPY_FAILED);
    PendingDestination destination;
    if (!destination.Create(job.BaseFd(), job.destination, (job.flags & FS_COPY_REPLACE) != 0,
                            &source, S_IRUSR | S_IWUSR, false))
        return job.Fail(FS_COPY_FAILED);
    // The first report: the copy is under way (as the system's progress routine reports at the
    // start of a stream), so FsCopy need not wait for the first chunk on a slow disk.
    job.SignalStarted();
    if (!CopyData(job, in.Get(), destination.Fd())) return job.Fail(FS_COPY_FAILED);
    // Mode and times always follow the source here; a copy that cannot carry them has failed.
    if (!CarryModeAndTimes(destination.Fd(), source)) return job.Fail(FS_COPY_FAILED);
    const int state = destination.Place(FS_COPY_FAILED, FS_COPY_FAILED);
    return state == FS_COPY_OK ? state : job.Fail(state);
}

uint32_t ZCALL CopyThread(intptr_t argument) {
    std::unique_ptr<CopyJob> job(reinterpret_cast<CopyJob*>(argument));
    int state = FS_COPY_FAILED;
    try {
        state = (job->flags & FS_COPY_SYSTEM) ? RunSystemCopy(*job) : RunOwnLoop(*job);
    } catch (const std::exception&) {
        state = FS_COPY_FAILED;
    }
    FsCopyStatus* status = job->status;
    job->SignalStarted();
    job.reset();  // closes the base directory before the caller learns of the end
    StoreState(status, state);
    return 0;
}

}  // namespace

int CopyFileHere(const std::string& source, const std::string& destination, uint32_t flags,
                 const CopyProgressFn& progress, int& error) {
    CopyJob job;
    job.source = source;
    job.destination = destination;
    job.flags = flags;
    job.carryModeAndTimes = true;
    job.smallInPlace = true;
    job.progress = &progress;
    errno = 0;
    int state = FS_COPY_FAILED;
    try {
        state = (flags & FS_COPY_SYSTEM) ? RunSystemCopy(job) : RunOwnLoop(job);
    } catch (const std::bad_alloc&) {
        job.error = ENOMEM;
    }
    error = state == FS_COPY_OK ? 0 : (job.error != 0 ? job.error : EIO);
    return state;
}

uint32_t CopyBlockSize(uint64_t size) {
    uint64_t block = size / 100;
    block -= block % kSmallBlock;
    if (block < kSmallBlock) return kSmallBlock;
    if (block > kLargeBlock) return kLargeBlock;
    return static_cast<uint32_t>(block);
}

}  // namespace kq::fs

extern "C" {

ZAPI int ZCALL FsCopy(const char* source, const char* destination, FsCopyStatus* status,
                      uint32_t flags) {
    if (status == nullptr) return -1;
    status->done = 0;
    status->reserved = 0;
    kq::fs::StoreState(status, FS_COPY_RUNNING);
    if (source == nullptr || destination == nullptr) {
        kq::fs::StoreState(status, FS_COPY_FAILED);
        return -1;
    }
    std::unique_ptr<kq::fs::CopyJob> job;
    std::future<void> started;
    try {
        job = std::make_unique<kq::fs::CopyJob>();
        started = job->started.get_future();
        job->source = kq::fs::SystemPath(source);
        job->destination = kq::fs::SystemPath(destination);
        if (job->source.empty() || job->source[0] != '/' || job->destination.empty() ||
            job->destination[0] != '/') {
            job->base.Reset(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
    } catch (const std::exception&) {  // out of memory
        kq::fs::StoreState(status, FS_COPY_FAILED);
        return -1;
    }
    job->status = status;
    job->flags = flags;
    const bool waitForStart = flags & FS_COPY_SYSTEM;
    kq::fs::CopyJob* handedOver = job.release();
    if (KeThread(kq::fs::CopyThread, reinterpret_cast<intptr_t>(handedOver)) == 0) {
        delete handedOver;
        kq::fs::StoreState(status, FS_COPY_FAILED);
        return -1;
    }
    if (waitForStart) started.wait();
    return 0;
}

}  // extern "C"
