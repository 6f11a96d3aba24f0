// Saving a text over a file (see FsSave.h).
#include "fs/FsSave.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "fs/FsInternal.h"
#include "fs/PendingFile.h"
#include "kq/fs.h"

namespace kq::fs {

namespace {

// The file a save writes: the path itself, or the target of the symbolic link it names (also
// when that target does not exist yet).
std::string SaveTarget(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return path;
    const std::string link(target, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    if (link.front() == '/' || slash == std::string::npos) return link;
    return path.substr(0, slash + 1) + link;
}

// Writes every piece to fd; the bytes written, or -1 with errno set.
int64_t WriteText(int fd, const SaveSource& source) {
    int64_t total = 0;
    std::string_view piece;
    while (source(piece)) {
        if (!piece.empty() && !WriteAll(fd, piece.data(), piece.size())) {
            if (errno == 0) errno = EIO;
            return -1;
        }
        total += static_cast<int64_t>(piece.size());
    }
    return total;
}

// The owner and group of the replaced file, where the user may set them; the permission bits
// again afterwards, since a change of owner clears the set-id bits.
void KeepOwnership(int fd, const struct stat& replaced) {
    if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
        if (::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0) return;
    }
    ::fchmod(fd, replaced.st_mode & 07777);
}

}  // namespace

FileStamp StampOf(const char* path) {
    FileStamp stamp;
    struct stat status;
    if (path == nullptr || ::stat(SystemPath(path).c_str(), &status) != 0) return stamp;
    stamp.exists = true;
    stamp.size = status.st_size;
    stamp.modifiedSeconds = status.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = status.st_mtim.tv_nsec;
    return stamp;
}

SaveResult SaveText(const char* path, const std::function<SaveSource()>& makeSource) {
    SaveResult result;
    if (path == nullptr || *path == '\0') {
        result.error = ENOENT;
        return result;
    }
    const std::string target = SaveTarget(SystemPath(path));
    struct stat replaced;
    const bool exists = ::stat(target.c_str(), &replaced) == 0;
    if (exists && !S_ISREG(replaced.st_mode)) {
        result.error = S_ISDIR(replaced.st_mode) ? EISDIR : EINVAL;
        return result;
    }
    const auto fail = [&result](int error) {
        result.error = error != 0 ? error : EIO;
        return result;
    };

    errno = 0;
    PendingDestination copy;
    if (!copy.Create(AT_FDCWD, target, true, nullptr, 0666, true)) return fail(errno);
    if (exists) KeepOwnership(copy.Fd(), replaced);
    if (WriteText(copy.Fd(), makeSource()) < 0 || ::fsync(copy.Fd()) != 0) return fail(errno);

    if (!exists || replaced.st_nlink <= 1) {
        if (copy.Place(EIO, -1) != FS_COPY_OK) return fail(errno);
        ::fsync(copy.FolderFd());
        return result;
    }

    // Several names share the file: a rename would take this name away from the others, so the
    // file is rewritten where it is. The copy beside it, already on disk, proves the space and
    // stays should the rewrite fail.
    UniqueFd file(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    int64_t length = -1;
    if (file) length = WriteText(file.Get(), makeSource());
    if (length >= 0 && ::ftruncate(file.Get(), length) == 0 && ::fsync(file.Get()) == 0) {
        return result;
    }
    result.error = errno != 0 ? errno : EIO;
    const size_t slash = target.rfind('/');
    const std::string name =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + ".kq-saved";
    if (copy.KeepAs(name)) {
        result.keptCopy =
            ToCodePage(slash == std::string::npos ? name : target.substr(0, slash + 1) + name);
    }
    return result;
}

}  // namespace kq::fs
