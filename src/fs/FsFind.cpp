// Directory listings: FsFindInit, FsFind and FsFindClose.
//
// A search keeps its directory stream open between paged calls: a call that reaches its
// maximum stops before reading the next entry, so the next call goes on exactly there and no
// name is lost or listed twice. Names live in chunks that never move, so the array's name
// pointers stay valid until the next call; each call releases the previous call's memory.
//
// Symbolic links are listed as what they point to (a link to a directory can be entered); a
// dangling link is listed with its own status. Either way the entry's reserved word says that
// the name is a link, and what its own size is. "." is never listed; ".." is listed like any
// directory, except in the root of the tree, where it would be the directory itself.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "fs/FsInternal.h"
#include "kq/fs.h"
#include "platform/Kernel.h"
#include "platform/LargePages.h"

namespace kq::fs {
namespace {

// The record crosses module boundaries: its layout is fixed.
static_assert(sizeof(time_t) == 8 && sizeof(FsFindEntry) == 56);
static_assert(offsetof(FsFindEntry, reserved) == 8 && offsetof(FsFindEntry, size) == 16 &&
              offsetof(FsFindEntry, attributes) == 24 && offsetof(FsFindEntry, created) == 32 &&
              offsetof(FsFindEntry, modified) == 40 && offsetof(FsFindEntry, accessed) == 48);

constexpr uint32_t kSearchTag = 0x4B514653u;  // "KQFS"
constexpr size_t kNameChunk = 64 * 1024;

// Name storage for one call's entries: bump allocation in chunks that are never moved.
class NameArena {
  public:
    char* Add(std::string_view name) {
        const size_t needed = name.size() + 1;
        if (chunks_.empty() || used_ + needed > chunkSize_) {
            chunkSize_ = std::max(kNameChunk, needed);
            chunks_.push_back(std::make_unique<char[]>(chunkSize_));
            used_ = 0;
        }
        char* copy = chunks_.back().get() + used_;
        std::memcpy(copy, name.data(), name.size());
        copy[name.size()] = '\0';
        used_ += needed;
        return copy;
    }
    void Clear() {
        chunks_.clear();
        used_ = chunkSize_ = 0;
    }

  private:
    std::vector<std::unique_ptr<char[]>> chunks_;
    size_t used_ = 0;
    size_t chunkSize_ = 0;
};

enum class SearchState { kNotStarted, kOpen, kFinished };

struct Search {
    uint32_t tag = kSearchTag;
    std::string directory;  // file-system path; relative ones made absolute at FsFindInit
    std::string pattern;    // console code page, matched against listed names
    uint32_t mask = 0;
    SearchState state = SearchState::kNotStarted;
    std::unique_ptr<DIR, int (*)(DIR*)> stream{nullptr, ::closedir};
    std::vector<FsFindEntry> entries;
    NameArena names;
};

Search* SearchFromHandle(FsSearch handle) {
    if (handle == 0) return nullptr;
    auto* search = reinterpret_cast<Search*>(handle);
    return search->tag == kSearchTag ? search : nullptr;
}

// A relative directory names the directory current when the search was made, not whatever
// another thread has changed to by the time it is read.
std::string AbsoluteDirectory(std::string directory) {
    if (!directory.empty() && directory[0] == '/') return directory;
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return directory.empty() ? "." : directory;
    std::string absolute = cwd;
    if (!directory.empty()) {
        if (absolute.back() != '/') absolute += '/';
        absolute += directory;
    }
    return absolute;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ".." of the tree's root is the root itself.
bool ParentIsSelf(int directoryFd) {
    struct stat self;
    struct stat parent;
    return ::fstat(directoryFd, &self) == 0 && ::fstatat(directoryFd, "..", &parent, 0) == 0 &&
           self.st_dev == parent.st_dev && self.st_ino == parent.st_ino;
}

// Fills an entry's size, attributes and times; false when the name has gone meanwhile. The
// name's own status comes first, so a symbolic link is known for certain (and costs a second
// call for its target's status); every other name costs one.
bool ReadStatus(int directoryFd, const char* name, std::string_view listedName,
                FsFindEntry& entry) {
    constexpr unsigned kWanted = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME |
                                 STATX_CTIME | STATX_BTIME;
    constexpr int kFlags = AT_NO_AUTOMOUNT | AT_STATX_SYNC_AS_STAT;
    struct statx status;
    if (::statx(directoryFd, name, kFlags | AT_SYMLINK_NOFOLLOW, kWanted, &status) != 0) {
        return false;
    }
    entry.reserved = 0;
    if (S_ISLNK(status.stx_mode)) {
        entry.reserved = FS_ENTRY_LINK | static_cast<uint32_t>(std::min<uint64_t>(
                                             status.stx_size, FS_ENTRY_LINK_SIZE));
        // A dangling link keeps its own status.
        struct statx target;
        if (::statx(directoryFd, name, kFlags, kWanted, &target) == 0) status = target;
    }
    const mode_t mode = status.stx_mode;
    entry.attributes = AttributesOf(mode, listedName);
    entry.size = S_ISREG(mode) || S_ISLNK(mode) ? status.stx_size : 0;
    entry.created =
        (status.stx_mask & STATX_BTIME) ? status.stx_btime.tv_sec : status.stx_ctime.tv_sec;
    entry.modified = status.stx_mtime.tv_sec;
    entry.accessed = status.stx_atime.tv_sec;
    return true;
}

// A name read from the stream, waiting for its status: the listed name is already in the
// search's arena; the file system's own name is kept apart only when the two differ.
struct PendingName {
    char* listed = nullptr;
    const char* system = nullptr;  // null: the listed name
};

// Names read from the stream, examined while the reading goes on: the reader publishes
// chunks of names, helper threads (and the reader, once the stream has ended) take them in
// turn and read their statuses. One status call per name is most of a listing's time.
class ChunkedExamination {
  public:
    static constexpr size_t kChunkSize = 4096;

    struct Chunk {
        std::vector<PendingName> names;
        std::vector<FsFindEntry> entries;  // one per name
        std::vector<char> examined;        // whether the name's status could be read
    };

    explicit ChunkedExamination(int directoryFd) : directoryFd_(directoryFd) {}
    ~ChunkedExamination() { Finish(); }
    ChunkedExamination(const ChunkedExamination&) = delete;
    ChunkedExamination& operator=(const ChunkedExamination&) = delete;

    // Hands a chunk of names to the examiners. The first full chunk starts the helpers: a
    // directory smaller than one chunk is examined by the reader alone, without a thread
    // (a tree walk lists thousands of small directories).
    void Publish(std::vector<PendingName>&& names) {
        const bool full = names.size() >= kChunkSize;
        auto chunk = std::make_unique<Chunk>();
        chunk->names = std::move(names);
        {
            std::lock_guard lock(mutex_);
            chunks_.push_back(std::move(chunk));
        }
        published_.notify_one();
        if (full && !helpersTried_) StartHelpers();
    }

    // The stream has ended: the reader examines what is left alongside the helpers and waits
    // for them. Returns every chunk, examined, in the stream's order.
    std::vector<std::unique_ptr<Chunk>>& Finish() {
        {
            std::lock_guard lock(mutex_);
            readingDone_ = true;
        }
        published_.notify_all();
        ExamineChunks();
        for (std::thread& helper : helpers_) helper.join();
        helpers_.clear();
        return chunks_;
    }

  private:
    void StartHelpers() {
        helpersTried_ = true;
        const size_t hardware = std::max(1u, std::thread::hardware_concurrency());
        // The reader examines too once it has read everything.
        const size_t count = std::clamp<size_t>(hardware - 1, 1, 3);
        try {
            for (size_t i = 0; i < count; ++i)
                helpers_.emplace_back([this] {
                    const kq::platform::ThreadFaultStack faultStack;
                    ExamineChunks();
                });
        } catch (const std::system_error&) {
            // No more threads: the reader examines the rest when the stream has ended.
        }
    }

    // Takes chunks in turn until the reading is done and none is left.
    void ExamineChunks() {
        for (;;) {
            Chunk* chunk = nullptr;
            {
                std::unique_lock lock(mutex_);
                published_.wait(lock, [this] { return next_ < chunks_.size() || readingDone_; });
                if (next_ >= chunks_.size()) return;
                chunk = chunks_[next_++].get();
            }
            const size_t count = chunk->names.size();
            chunk->entries.resize(count);
            chunk->examined.resize(count);
            for (size_t i = 0; i < count; ++i) {
                const PendingName& pending = chunk->names[i];
                chunk->examined[i] =
                    ReadStatus(directoryFd_, pending.system ? pending.system : pending.listed,
                               pending.listed, chunk->entries[i]);
            }
        }
    }

    const int directoryFd_;
    std::mutex mutex_;
    std::condition_variable published_;
    std::vector<std::unique_ptr<Chunk>> chunks_;  // each chunk stays where it was put
    size_t next_ = 0;                             // the next chunk to examine
    bool readingDone_ = false;
    bool helpersTried_ = false;
    std::vector<std::thread> helpers_;
};

// Step 3 and 4 of a listing: examines entries until the stream ends or the maximum is reached.
// Names are read in chunks (all of them when there is no maximum) that are examined while the
// reading goes on; the entries are then put together in the stream's order, without the names
// that could not be examined or that the mask refuses.
void Collect(Search& search, int maximum) {
    const int directoryFd = ::dirfd(search.stream.get());
    // Hidden names are known without a status: skip them early when the mask refuses them.
    const bool hiddenPermitted = (search.mask & FA_HIDDEN) != 0;
    bool streamEnded = false;
    NameArena systemNames;  // names that differ from their listed form
    while (!streamEnded) {
        const size_t wanted =
            maximum > 0 ? static_cast<size_t>(maximum) - search.entries.size() : SIZE_MAX;
        if (wanted == 0) return;
        ChunkedExamination examination(directoryFd);
        std::vector<PendingName> chunk;
        size_t read = 0;
        while (read < wanted) {
            errno = 0;
            const dirent* record = ::readdir(search.stream.get());
            if (record == nullptr) {
                streamEnded = true;
                break;
            }
            const char* name = record->d_name;
            if (std::strcmp(name, ".") == 0) continue;
            const bool isParent = std::strcmp(name, "..") == 0;
            if (!hiddenPermitted && name[0] == '.' && !isParent) continue;
            // Most names are ASCII and list as they are; only the others are converted.
            std::string converted;
            std::string_view listed = name;
            const bool ascii = IsAscii(listed);
            if (!ascii) listed = converted = ToCodePage(name);
            if (!MatchesPattern(search.pattern, listed)) continue;
            if (isParent && ParentIsSelf(directoryFd)) continue;
            PendingName pending;
            pending.listed = search.names.Add(listed);
            if (!ascii) pending.system = systemNames.Add(name);
            chunk.push_back(pending);
            ++read;
            if (chunk.size() == ChunkedExamination::kChunkSize) {
                examination.Publish(std::move(chunk));
                chunk = {};
            }
        }
        if (!chunk.empty()) examination.Publish(std::move(chunk));
        const std::vector<std::unique_ptr<ChunkedExamination::Chunk>>& chunks =
            examination.Finish();

        size_t kept = search.entries.size();
        kq::platform::ResizeLarge(search.entries, kept + read);
        for (const auto& examined : chunks) {
            for (size_t i = 0; i < examined->names.size(); ++i) {
                FsFindEntry entry = examined->entries[i];
                if (!examined->examined[i] || !PassesMask(entry.attributes, search.mask)) continue;
                entry.name = examined->names[i].listed;
                search.entries[kept++] = entry;
            }
        }
        search.entries.resize(kept);
    }
    search.stream.reset();
    search.state = SearchState::kFinished;
}

}  // namespace
}  // namespace kq::fs

using kq::fs::Search;
using kq::fs::SearchFromHandle;
using kq::fs::SearchState;

extern "C" {

ZAPI FsSearch ZCALL FsFindInit(const char* directory, const char* pattern, uint32_t mask) {
    try {
        auto search = std::make_unique<Search>();
        std::string path = kq::fs::SystemPath(directory);
        // A pattern may carry directories of its own ("sub/*.txt"); they join the directory.
        std::string namePattern = pattern ? pattern : "*";
        if (const size_t slash = namePattern.rfind('/'); slash != std::string::npos) {
            if (!path.empty() && path.back() != '/') path += '/';
            path += kq::fs::SystemPath(namePattern.substr(0, slash + 1).c_str());
            namePattern.erase(0, slash + 1);
        }
        search->directory = kq::fs::AbsoluteDirectory(std::move(path));
        search->pattern = std::move(namePattern);
        search->mask = mask;
        return reinterpret_cast<FsSearch>(search.release());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

ZAPI FsFindEntry* ZCALL FsFind(FsSearch handle, int maximum, int* count) {
    if (count) *count = 0;
    Search* search = SearchFromHandle(handle);
    if (search == nullptr) return nullptr;
    search->entries.clear();
    search->entries.shrink_to_fit();
    search->names.Clear();
    if (search->state == SearchState::kFinished) return nullptr;
    if (search->state == SearchState::kNotStarted) {
        const int fd =
            ::open(search->directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        DIR* stream = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (stream == nullptr) {
            if (fd >= 0) ::close(fd);
            search->state = SearchState::kFinished;
            return nullptr;
        }
        search->stream.reset(stream);
        search->state = SearchState::kOpen;
    }
    try {
        kq::fs::Collect(*search, maximum);
    } catch (const std::bad_alloc&) {
        // Out of memory: what was collected is dropped and the search ends.
        search->entries.clear();
        search->names.Clear();
        search->stream.reset();
        search->state = SearchState::kFinished;
        return nullptr;
    }
    if (search->entries.empty()) return nullptr;
    if (count) *count = static_cast<int>(search->entries.size());
    return search->entries.data();
}

ZAPI int ZCALL FsFindClose(FsSearch handle) {
    Search* search = SearchFromHandle(handle);
    if (search == nullptr) return -1;
    search->tag = 0;
    delete search;
    return 0;
}

}  // extern "C"
