// The pending destination of copies and saves (see PendingFile.h).
#include "fs/PendingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "kq/fs.h"

namespace kq::fs {

bool PendingDestination::Create(int baseFd, const std::string& destination, bool replace,
                                const struct stat* source, mode_t permissions,
                                bool keepReplacedMode) {
    replace_ = replace;
    struct stat existing;
    const bool exists = ::fstatat(baseFd, destination.c_str(), &existing, 0) == 0;
    if (exists) {
        errno = EEXIST;
        if (!replace_ || !S_ISREG(existing.st_mode)) return false;
        if (source != nullptr && existing.st_dev == source->st_dev &&
            existing.st_ino == source->st_ino) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;  // the destination's folder cannot be searched (EACCES) or is missing
    }
    const size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : destination.substr(0, slash);
    name_ = slash == std::string::npos ? destination : destination.substr(slash + 1);
    if (name_.empty()) return false;
    folder_.Reset(::openat(baseFd, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder_ || !CreateBesideIt(permissions)) return false;
    if (exists && keepReplacedMode && ::fchmod(file_.Get(), existing.st_mode & 07777) != 0) {
        return false;
    }
    return true;
}

int PendingDestination::Place(int writeFailed, int placeFailed) {
    if (::close(file_.Release()) != 0) return writeFailed;
    bool placed = false;
    if (replace_) {
        placed = ::renameat(folder_.Get(), temporary_.c_str(), folder_.Get(), name_.c_str()) == 0;
    } else {
        placed = PlaceWithoutReplacing();
    }
    if (!placed) return placeFailed;
    temporary_.clear();
    return FS_COPY_OK;
}

bool PendingDestination::CreateBesideIt(mode_t permissions) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".kq-copy-%x-%x", static_cast<unsigned>(::getpid()),
                      counter.fetch_add(1));
        file_.Reset(::openat(folder_.Get(), name,
                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, permissions));
        if (file_) {
            temporary_ = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool PendingDestination::PlaceWithoutReplacing() {
    const int folder = folder_.Get();
    if (::renameat2(folder, temporary_.c_str(), folder, name_.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::linkat(folder, temporary_.c_str(), folder, name_.c_str(), 0) == 0) {
        ::unlinkat(folder, temporary_.c_str(), 0);
        return true;
    }
    if (errno == EEXIST) return false;
    struct stat existing;
    if (::fstatat(folder, name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return false;
    return ::renameat(folder, temporary_.c_str(), folder, name_.c_str()) == 0;
}

bool PendingDestination::KeepAs(const std::string& name) {
    if (temporary_.empty() || !folder_) return false;
    if (::renameat2(folder_.Get(), temporary_.c_str(), folder_.Get(), name.c_str(),
                    RENAME_NOREPLACE) != 0) {
        return false;
    }
    temporary_.clear();
    return true;
}

void PendingDestination::Discard() {
    file_.Reset();
    if (!temporary_.empty() && folder_) ::unlinkat(folder_.Get(), temporary_.c_str(), 0);
    temporary_.clear();
}

// Writes all of length; false on an error or when the system takes no more.
bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace kq::fs
