// The copy and move engine (see CopyEngine.h).
//
// A move within one file system is a rename that never replaces anything. Across file systems
// (and wherever a rename is refused with EXDEV, as between two bind mounts of one file system)
// it is a copy, after which each source goes only once its own copy is complete: a file after
// its data, times and permissions are in place, a directory after everything in it went.
//
// Symbolic links are recreated as links and never followed, so a tree walk stays inside its
// tree and cannot loop. Fifos, sockets and devices are never opened: a move within the file
// system renames them, a copy skips and reports them.
#include "localfs/CopyEngine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "fs/FsInternal.h"
#include "kq/fs.h"

namespace kq::localfs {
namespace {

// More ".." steps than any directory chain has: the walk to the root stops here.
constexpr int kMaxAncestors = 4096;

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

size_t LastSeparator(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash;
}

std::string BaseName(const std::string& path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the directory that will hold target is directory itself or lies inside it, followed
// physically ("..") so that links in the typed path change nothing.
bool LiesInside(const std::string& target, const struct stat& directory) {
    fs::UniqueFd current(::open(ParentOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int step = 0; current && step < kMaxAncestors; ++step) {
        struct stat here;
        if (::fstat(current.Get(), &here) != 0) return false;
        if (SameFile(here, directory)) return true;
        fs::UniqueFd up(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above;
        if (!up || ::fstat(up.Get(), &above) != 0 || SameFile(above, here)) return false;
        current = std::move(up);
    }
    return false;
}

// The entries of a directory other than "." and "..", without following a link to it.
bool ListDirectory(const std::string& path, std::vector<std::string>& names) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> stream(::fdopendir(fd), ::closedir);
    if (!stream) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
        errno = 0;
    }
    return errno == 0;
}

class Engine {
  public:
    Engine(const CopyRequest& request, CopyProgress& progress, bool (*stopRequested)())
        : request_(request), progress_(progress), stopRequested_(stopRequested) {}

    CopyOutcome Run() {
        for (const std::string& source : request_.sources) {
            if (Stopping()) break;
            Handle(source, request_.destination, true);
        }
        return std::move(outcome_);
    }

  private:
    bool Stopping() {
        if (!outcome_.cancelled &&
            (progress_.Cancelled() || (stopRequested_ != nullptr && stopRequested_()))) {
            outcome_.cancelled = true;
        }
        return outcome_.cancelled;
    }

    bool Fail(const std::string& source, int reason) {
        ++outcome_.notDone;
        if (outcome_.failures.size() < CopyOutcome::kKeptFailures) {
            outcome_.failures.push_back(CopyFailure{source, reason});
        }
        return false;
    }

    bool FailWithErrno(const std::string& source) { return Fail(source, errno != 0 ? errno : EIO); }

    // Whether the target's folder is on the source's file system.
    static bool SameFileSystem(const struct stat& source, const std::string& target) {
        struct stat folder;
        return ::stat(ParentOf(target).c_str(), &folder) == 0 && folder.st_dev == source.st_dev;
    }

    // A move by rename when source and target share a file system. Done: renamed. Otherwise
    // the item is copied unless the rename failed for a reason a copy would meet as well.
    enum class Rename { kDone, kCopy, kFailed };
    Rename TryRename(const std::string& source, const struct stat& status,
                     const std::string& target) {
        if (!request_.move || !SameFileSystem(status, target)) return Rename::kCopy;
        if (fs::RenameWithoutReplacing(source, target) == 0) return Rename::kDone;
        const int error = errno;
        // A directory whose name is taken by another directory is merged item by item.
        const bool merge = S_ISDIR(status.st_mode) && (error == EEXIST || error == ENOTEMPTY);
        if (error == EXDEV || merge) return Rename::kCopy;
        Fail(source, error);
        return Rename::kFailed;
    }

    // Removes a moved item's source once its copy is complete.
    bool RemoveSource(const std::string& source, bool directory) {
        if (!request_.move) return true;
        const int result = directory ? ::rmdir(source.c_str()) : ::unlink(source.c_str());
        return result == 0 || FailWithErrno(source);
    }

    // One item: true when it was copied or moved completely.
    bool Handle(const std::string& source, const std::string& destination, bool topLevel) {
        const std::string name = BaseName(source);
        if (name.empty() || name == "..") return true;
        if (source.size() >= kJobPathSize) return Fail(source, ENAMETOOLONG);
        int reason = 0;
        const std::string target = TargetFor(destination, name, &reason);
        if (target.empty()) return Fail(source, reason);
        struct stat status;
        if (::lstat(source.c_str(), &status) != 0) return FailWithErrno(source);
        progress_.StartItem(source, target);
        if (S_ISDIR(status.st_mode)) return HandleDirectory(source, status, target, topLevel);
        switch (TryRename(source, status, target)) {
            case Rename::kDone:
                if (S_ISREG(status.st_mode)) Finish(static_cast<uint64_t>(status.st_size), false);
                return true;
            case Rename::kFailed:
                return false;
            case Rename::kCopy:
                break;
        }
        if (S_ISLNK(status.st_mode)) return CopyLink(source, status, target);
        if (S_ISREG(status.st_mode)) return CopyFile(source, status, target);
        return Fail(source, kReasonSpecialFile);
    }

    void Finish(uint64_t size, bool copied) {
        finished_ += size;
        if (copied) outcome_.bytes += size;
        progress_.Advance(size, size, finished_);
    }

    bool CopyFile(const std::string& source, const struct stat& status, const std::string& target) {
        const uint64_t size = static_cast<uint64_t>(status.st_size);
        const fs::CopyProgressFn report = [this, size](uint64_t done) {
            progress_.Advance(done, size, finished_);
        };
        int error = 0;
        const int state = fs::CopyFileHere(source, target, request_.systemCopy ? FS_COPY_SYSTEM : 0,
                                           report, error);
        if (state != FS_COPY_OK) return Fail(source, error);
        Finish(size, true);
        return RemoveSource(source, false);
    }

    bool CopyLink(const std::string& source, const struct stat& status, const std::string& target) {
        std::string text(static_cast<size_t>(status.st_size > 0 ? status.st_size : 4095) + 1, '\0');
        const ssize_t length = ::readlink(source.c_str(), text.data(), text.size());
        if (length < 0) return FailWithErrno(source);
        if (static_cast<size_t>(length) >= text.size()) return Fail(source, ENAMETOOLONG);
        text.resize(static_cast<size_t>(length));
        if (::symlink(text.c_str(), target.c_str()) != 0) return FailWithErrno(source);
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        ::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);  // best effort
        return RemoveSource(source, false);
    }

    bool HandleDirectory(const std::string& source, const struct stat& status,
                         const std::string& target, bool topLevel) {
        // Below the top the targets lie in directories this walk made, outside the source.
        if (topLevel && LiesInside(target, status)) return Fail(source, kReasonIntoItself);
        switch (TryRename(source, status, target)) {
            case Rename::kDone:
                return true;
            case Rename::kFailed:
                return false;
            case Rename::kCopy:
                break;
        }
        // Writable while it fills; the source's permissions come at the end.
        bool created = ::mkdir(target.c_str(), 0700) == 0;
        if (!created) {
            struct stat existing;
            if (errno != EEXIST || ::lstat(target.c_str(), &existing) != 0 ||
                !S_ISDIR(existing.st_mode)) {
                return Fail(source, errno == 0 ? EEXIST : errno);
            }
        }
        std::vector<std::string> names;
        if (!ListDirectory(source, names)) return FailWithErrno(source);
        bool complete = true;
        const std::string into = target + '/';
        for (const std::string& name : names) {
            if (Stopping()) {
                complete = false;
                break;
            }
            complete = Handle(source + '/' + name, into, false) && complete;
        }
        if (created) {
            const struct timespec times[2] = {status.st_atim, status.st_mtim};
            ::chmod(target.c_str(), status.st_mode & 07777);
            ::utimensat(AT_FDCWD, target.c_str(), times, 0);
        }
        return complete && RemoveSource(source, true);
    }

    const CopyRequest& request_;
    CopyProgress& progress_;
    bool (*stopRequested_)();
    CopyOutcome outcome_;
    uint64_t finished_ = 0;
};

}  // namespace

std::string ApplyRenameMask(const std::string& mask, const std::string& name, size_t limit) {
    std::string result = mask;
    size_t m = 0;
    size_t n = 0;
    while (n < name.size() && m < result.size()) {
        if (result[m] == '*') {
            if (m + 1 < result.size() && result[m + 1] == name[n]) {
                result.erase(m, 1);
            } else {
                result.insert(m, 1, name[n]);
                ++m;
                ++n;
                if (result.size() >= limit) return {};
            }
        } else {
            if (result[m] == '?') result[m] = name[n];
            ++m;
            ++n;
        }
    }
    std::erase_if(result, [](char c) { return c == '*' || c == '?'; });
    return result.size() < limit ? result : std::string();
}

std::string TargetFor(const std::string& destination, const std::string& sourceName, int* reason) {
    std::string target;
    int why = ENAMETOOLONG;
    if (!destination.empty() && IsSeparator(destination.back())) {
        target = destination + sourceName;
    } else {
        const size_t slash = LastSeparator(destination);
        const std::string folder =
            slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
        const std::string last =
            slash == std::string::npos ? destination : destination.substr(slash + 1);
        if (last.find_first_of("*?") == std::string::npos) {
            target = destination;
        } else {
            const std::string masked = ApplyRenameMask(last, sourceName);
            // A mask that leaves no name at all names no file either.
            why = masked.empty() ? kReasonMaskTooLong : why;
            if (!masked.empty()) target = folder + masked;
        }
    }
    if (target.empty() || target.size() >= kJobPathSize) {
        if (reason != nullptr) *reason = why;
        return {};
    }
    return target;
}

CopyOutcome RunCopyEngine(const CopyRequest& request, CopyProgress& progress,
                          bool (*stopRequested)()) {
    return Engine(request, progress, stopRequested).Run();
}

}  // namespace kq::localfs
