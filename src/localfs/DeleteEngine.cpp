// The delete engine: a loop over a stack of open directories (see DeleteEngine.h).
#include "localfs/DeleteEngine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "fs/FsInternal.h"

namespace kq::localfs {
namespace {

using fs::UniqueFd;

// Directories held open at once; those further up are closed and opened again through ".."
// on the way back, so that no tree depth runs into the descriptor limit.
constexpr size_t kOpenLevels = 64;

// Where an entry's file lives: its file system, its mount and its inode.
struct Identity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t mountId = 0;  // 0 where the kernel does not report mounts
    mode_t mode = 0;

    bool SameMount(const Identity& other) const {
        return device == other.device && mountId == other.mountId;
    }
};

// AT_NO_AUTOMOUNT: an automount point is never triggered by looking at it.
[[nodiscard]] int Examine(int directoryFd, const char* name, int flags, Identity& identity) {
    struct statx status;
    if (::statx(directoryFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MODE | STATX_INO | STATX_MNT_ID, &status) != 0) {
        return errno;
    }
    identity.device = ::makedev(status.stx_dev_major, status.stx_dev_minor);
    identity.inode = status.stx_ino;
    identity.mountId = (status.stx_mask & STATX_MNT_ID) != 0 ? status.stx_mnt_id : 0;
    identity.mode = status.stx_mode;
    return 0;
}

// The owner may not write it: what a panel shows as read-only. A link's own mode means nothing.
bool IsReadOnly(mode_t mode) {
    return !S_ISLNK(mode) && !S_ISDIR(mode) && (mode & S_IWUSR) == 0;
}

struct Entry {
    size_t nameOffset = 0;
    unsigned char type = DT_UNKNOWN;
};

// One directory the walk is in, with the entries still to go.
struct Level {
    UniqueFd fd;  // closed while more than kOpenLevels levels lie below
    Identity identity;
    std::string names;  // the entries' names, each ended by '\0'
    std::vector<Entry> entries;
    size_t next = 0;
    size_t pathLength = 0;  // the walk's path up to this directory
    std::string nameInParent;
    bool somethingStayed = false;

    const char* NameOf(const Entry& entry) const { return names.c_str() + entry.nameOffset; }
    void Add(std::string_view name, unsigned char type) {
        entries.push_back(Entry{names.size(), type});
        names.append(name);
        names.push_back('\0');
    }
};

// Reads a directory's entries (without "." and "..") through a descriptor of its own.
[[nodiscard]] int ReadEntries(int directoryFd, Level& level) {
    const int readFd = ::dup(directoryFd);
    if (readFd < 0) return errno;
    std::unique_ptr<DIR, int (*)(DIR*)> stream(::fdopendir(readFd), ::closedir);
    if (!stream) {
        const int error = errno;
        ::close(readFd);
        return error;
    }
    // A duplicate shares its position with the original: a second reading starts over.
    ::rewinddir(stream.get());
    for (;;) {
        errno = 0;
        const dirent* record = ::readdir(stream.get());
        if (record == nullptr) return errno;
        const std::string_view name = record->d_name;
        if (name == "." || name == "..") continue;
        level.Add(name, record->d_type);
    }
}

class DeleteWalk {
  public:
    DeleteWalk(const DeleteRequest& request, DeleteHooks& hooks)
        : request_(request), hooks_(hooks), flags_(request.flags) {}

    DeleteOutcome Run() {
        std::string directory = request_.directory;
        while (!directory.empty() && directory.back() == '/') directory.pop_back();
        path_ = directory;
        Level& root = levels_.emplace_back();
        root.pathLength = path_.size();
        root.fd.Reset(::open(request_.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        int error = root.fd ? Examine(root.fd.Get(), "", AT_EMPTY_PATH, root.identity) : errno;
        for (const std::string& listed : request_.names) {
            if (listed == "..") continue;
            if (error != 0) {
                Stayed(root, directory + '/' + fs::FromCodePage(listed), error);
            } else {
                root.Add(listed, DT_UNKNOWN);
            }
        }
        if (error == 0) Walk();
        outcome_.cancelled = cancelled_;
        return std::move(outcome_);
    }

  private:
    void Walk() {
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == level.entries.size() || stopped_) {
                Leave();
                continue;
            }
            if (hooks_.Cancelled()) cancelled_ = true;
            if (cancelled_) {
                stopped_ = true;
                continue;
            }
            const Entry entry = level.entries[level.next++];
            std::string name = level.NameOf(entry);
            if (levels_.size() == 1 && !FindListedName(level, name)) continue;
            path_.resize(level.pathLength);
            path_ += '/';
            path_ += name;
            hooks_.ShowPath(path_);
            Delete(level, name, entry.type);
        }
    }

    // The root level's names are as listed: each becomes the one entry it stands for.
    bool FindListedName(Level& root, std::string& name) {
        int reason = 0;
        if (name.empty() || name == "." || name.find('/') != std::string::npos) {
            reason = EINVAL;
        } else if (name.find('?') == std::string::npos) {
            name = fs::FromCodePage(name);
        } else {
            reason = MatchLossyName(root.fd.Get(), name);
        }
        if (reason != 0) Stayed(root, path_.substr(0, root.pathLength) + '/' + name, reason);
        return reason == 0;
    }

    // The one entry whose listed form is name, which then becomes its real name. A literal
    // name with '?' lists as itself and counts as one of the candidates.
    [[nodiscard]] static int MatchLossyName(int directoryFd, std::string& name) {
        Level listing;
        if (const int error = ReadEntries(directoryFd, listing); error != 0) return error;
        std::string found;
        int matches = 0;
        for (const Entry& entry : listing.entries) {
            const char* candidate = listing.NameOf(entry);
            if (fs::ToCodePage(candidate) == name) {
                found = candidate;
                ++matches;
            }
        }
        if (matches == 0) return ENOENT;
        if (matches > 1) return kReasonAmbiguousName;
        name = std::move(found);
        return 0;
    }

    void Delete(Level& level, const std::string& name, unsigned char type) {
        const int directoryFd = level.fd.Get();
        const bool readOnlyMatters = (flags_ & (kDeleteReadOnly | kDeleteWithoutQuestions)) == 0;
        Identity identity;
        bool examined = false;
        if (type == DT_DIR || type == DT_UNKNOWN || (readOnlyMatters && type != DT_LNK)) {
            if (const int error = Examine(directoryFd, name.c_str(), 0, identity); error != 0) {
                Failed(level, error);
                return;
            }
            examined = true;
            type = S_ISDIR(identity.mode) ? DT_DIR : DT_REG;
        }
        if (type == DT_DIR) {
            EnterOrRemove(level, name, identity);
            return;
        }
        if (examined && IsReadOnly(identity.mode) &&
            !Decide(DeleteQuestion::kReadOnlyFile, kDeleteReadOnly, kSkipReadOnly)) {
            level.somethingStayed = true;
            return;
        }
        if (::unlinkat(directoryFd, name.c_str(), 0) != 0) Failed(level, errno);
    }

    // A directory: removed when empty, else entered once the question allows it.
    void EnterOrRemove(Level& level, const std::string& name, const Identity& identity) {
        if (!identity.SameMount(level.identity)) {
            Stayed(level, path_, kReasonMountPoint);
            return;
        }
        Level inner;
        inner.fd.Reset(::openat(level.fd.Get(), name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!inner.fd) {
            Failed(level, errno);
            return;
        }
        // The directory examined is the one opened, not something renamed into its place.
        int error = Examine(inner.fd.Get(), "", AT_EMPTY_PATH, inner.identity);
        if (error == 0 &&
            (inner.identity.inode != identity.inode || !inner.identity.SameMount(identity))) {
            error = kReasonTreeMoved;
        }
        if (error == 0) error = ReadEntries(inner.fd.Get(), inner);
        if (error != 0) {
            Failed(level, error);
            return;
        }
        if (inner.entries.empty()) {
            if (::unlinkat(level.fd.Get(), name.c_str(), AT_REMOVEDIR) != 0) Failed(level, errno);
            return;
        }
        if (!Decide(DeleteQuestion::kNonEmptyDirectory, kDeleteNonEmpty, kSkipNonEmpty)) {
            level.somethingStayed = true;
            return;
        }
        inner.pathLength = path_.size();
        inner.nameInParent = name;
        levels_.push_back(std::move(inner));
        if (levels_.size() > kOpenLevels) levels_[levels_.size() - 1 - kOpenLevels].fd.Reset();
    }

    // The walk is done with the innermost level: it goes when all of it went.
    void Leave() {
        Level finished = std::move(levels_.back());
        levels_.pop_back();
        if (levels_.empty()) return;
        Level& parent = levels_.back();
        if (!parent.fd && !Reopen(parent, finished)) return;
        path_.resize(finished.pathLength);
        if (finished.somethingStayed || stopped_) {
            parent.somethingStayed = true;
            return;
        }
        if (::unlinkat(parent.fd.Get(), finished.nameInParent.c_str(), AT_REMOVEDIR) != 0) {
            Failed(parent, errno);
        }
    }

    // Opens a closed level again through its child's "..", and makes sure it is the same
    // directory: if the tree was moved meanwhile, the walk stops rather than work elsewhere.
    bool Reopen(Level& parent, const Level& child) {
        parent.fd.Reset(::openat(child.fd.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        Identity found;
        if (parent.fd && Examine(parent.fd.Get(), "", AT_EMPTY_PATH, found) == 0 &&
            found.inode == parent.identity.inode && found.SameMount(parent.identity)) {
            return true;
        }
        path_.resize(parent.pathLength);
        Stayed(parent, path_, kReasonTreeMoved);
        stopped_ = true;
        parent.fd.Reset();
        return false;
    }

    // Whether a read-only file or a non-empty directory goes: by the flags, else by the answer.
    bool Decide(DeleteQuestion question, unsigned withoutQuestion, unsigned skipAll) {
        if (flags_ & skipAll) return false;
        if (flags_ & (withoutQuestion | kDeleteWithoutQuestions)) return true;
        switch (hooks_.Ask(question, path_)) {
            case DeleteAnswer::kDelete:
                return true;
            case DeleteAnswer::kDeleteAll:
                flags_ |= withoutQuestion;
                return true;
            case DeleteAnswer::kSkipAll:
                flags_ |= skipAll;
                return false;
            case DeleteAnswer::kCancel:
                cancelled_ = true;
                return false;
            case DeleteAnswer::kSkip:
                break;
        }
        return false;
    }

    // The current path stayed for error; one that vanished meanwhile is gone as wished.
    void Failed(Level& level, int error) {
        if (error == ENOENT && levels_.size() > 1) return;
        Stayed(level, path_, error);
    }

    void Stayed(Level& level, const std::string& path, int reason) {
        level.somethingStayed = true;
        ++outcome_.notDone;
        if (outcome_.failures.size() < DeleteOutcome::kKeptFailures) {
            outcome_.failures.push_back(JobFailure{path, reason});
        }
    }

    const DeleteRequest& request_;
    DeleteHooks& hooks_;
    unsigned flags_;
    std::vector<Level> levels_;
    std::string path_;  // the entry being handled
    DeleteOutcome outcome_;
    bool cancelled_ = false;
    bool stopped_ = false;  // cancelled, or the tree moved under the walk: every level ends
};

}  // namespace

DeleteOutcome RunDeleteEngine(const DeleteRequest& request, DeleteHooks& hooks) {
    return DeleteWalk(request, hooks).Run();
}

}  // namespace kq::localfs
