// Files and directories by name: raw handles (FsOpen ... FsTell), FsMkDir, FsRmDir, FsDelete,
// FsMove, and the process's current directory.
//
// A handle is the file descriptor. Only regular files are opened: a fifo, socket or device is
// refused before anything opens it (a fifo would block the caller, a device has side effects
// of its own), and a directory is refused, as a file open refuses one in the layer's interface.
// The share bits are accepted and have no effect: the system has no share modes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "fs/FsInternal.h"
#include "kq/fs.h"

namespace kq::fs {
namespace {

constexpr uint32_t kMaxTransfer = 0x7FFFF000;  // the most one read or write moves on Linux

int OpenFlags(uint32_t mode) {
    const bool read = mode & FS_READ;
    const bool write = mode & FS_WRITE;
    int flags = write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (mode & 15) {
        case FS_CREATE_NEW:
            return flags | O_CREAT | O_EXCL;
        case FS_CREATE_ALWAYS:
            return flags | O_CREAT | O_TRUNC;
        case FS_OPEN_ALWAYS:
            return flags | O_CREAT;
        case FS_OPEN_EXISTING:
            return flags;
        case FS_TRUNCATE_EXISTING:
            // Truncation needs write access, as the layer's interface has it.
            return write ? flags | O_TRUNC : -1;
        default:
            return -1;
    }
}

// Moves a directory without replacing anything where renameat2 cannot refuse to replace: an
// empty placeholder claims the name (mkdir fails if it exists), and rename only ever replaces
// that placeholder. If someone fills it meanwhile, rename fails and the placeholder goes again.
int MoveDirectoryByPlaceholder(const char* from, const char* to) {
    if (::mkdir(to, 0700) != 0) return -1;
    if (::rename(from, to) == 0) return 0;
    const int error = errno;
    ::rmdir(to);
    errno = error;
    return -1;
}

// The same for a file: a hard link is a no-replace rename in two steps. Where the file system
// has no hard links an empty placeholder file claims the name first.
int MoveFileByLink(const char* from, const char* to) {
    if (::link(from, to) == 0) {
        if (::unlink(from) == 0) return 0;
        const int error = errno;
        ::unlink(to);
        errno = error;
        return -1;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return -1;
    const int placeholder = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (placeholder < 0) return -1;
    ::close(placeholder);
    if (::rename(from, to) == 0) return 0;
    const int error = errno;
    ::unlink(to);
    errno = error;
    return -1;
}

}  // namespace

int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    struct stat status;
    if (::lstat(from.c_str(), &status) != 0) return -1;
    return S_ISDIR(status.st_mode) ? MoveDirectoryByPlaceholder(from.c_str(), to.c_str())
                                   : MoveFileByLink(from.c_str(), to.c_str());
}

int RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    // EINVAL and ENOSYS: the file system (or kernel) cannot refuse to replace. EINVAL also
    // means a directory into itself; the fallbacks fail on that as well.
    if (errno != EINVAL && errno != ENOSYS) return -1;
    return MoveWithoutReplacing(from, to);
}

}  // namespace kq::fs

using kq::fs::SystemPath;

extern "C" {

ZAPI intptr_t ZCALL FsOpen(const char* path, uint32_t mode, uint32_t attributes) {
    const int flags = kq::fs::OpenFlags(mode);
    if (path == nullptr || flags < 0) return -1;
    const std::string systemPath = SystemPath(path);
    struct stat status;
    if (::stat(systemPath.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
        return -1;
    }
    const mode_t permissions = (attributes & FA_RDONLY) ? 0444 : 0666;
    // O_NONBLOCK: should the name turn into a fifo after the test above, opening it must not
    // wait for a writer. The descriptor is refused below then.
    const int common = flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = -1;
    if (mode & FS_UNBUFFERED) {
        fd = ::open(systemPath.c_str(), common | O_DIRECT, permissions);
        if (fd < 0 && errno != EINVAL) return -1;  // EINVAL: the file system has no O_DIRECT
    }
    if (fd < 0) fd = ::open(systemPath.c_str(), common, permissions);
    if (fd < 0) return -1;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ZAPI int ZCALL FsClose(intptr_t handle) {
    if (handle < 0 || handle > INT_MAX) return -1;
    return ::close(static_cast<int>(handle)) == 0 ? 0 : -1;
}

ZAPI int32_t ZCALL FsRead(intptr_t handle, void* buffer, uint32_t count) {
    if (handle < 0 || handle > INT_MAX || (buffer == nullptr && count != 0)) return -1;
    count = count > kq::fs::kMaxTransfer ? kq::fs::kMaxTransfer : count;
    auto* bytes = static_cast<char*>(buffer);
    uint32_t total = 0;
    // A read of a regular file comes back short only at the end or when a signal interrupts
    // it; the loop hides the second case.
    while (total < count) {
        const ssize_t n = ::read(static_cast<int>(handle), bytes + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return total > 0 ? static_cast<int32_t>(total) : -1;
        if (n == 0) break;
        total += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(total);
}

int32_t FsWrite(intptr_t handle, const void* buffer, uint32_t count) {
    if (handle < 0 || handle > INT_MAX || (buffer == nullptr && count != 0)) return -1;
    count = count > kq::fs::kMaxTransfer ? kq::fs::kMaxTransfer : count;
    const auto* bytes = static_cast<const char*>(buffer);
    uint32_t total = 0;
    while (total < count) {
        const ssize_t n = ::write(static_cast<int>(handle), bytes + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return total > 0 ? static_cast<int32_t>(total) : -1;
        total += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(total);
}

ZAPI int64_t ZCALL FsSeek(intptr_t handle, int64_t offset, int origin) {
    if (handle < 0 || handle > INT_MAX) return -1;
    int whence = 0;
    switch (origin) {
        case FS_SEEK_CUR:
            whence = SEEK_CUR;
            break;
        case FS_SEEK_SET:
            whence = SEEK_SET;
            break;
        case FS_SEEK_END:
        case 2:
            whence = SEEK_END;
            break;
        default:
            return -1;
    }
    const off_t position = ::lseek(static_cast<int>(handle), offset, whence);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

ZAPI int64_t ZCALL FsTell(intptr_t handle) {
    return FsSeek(handle, 0, FS_SEEK_CUR);
}

// The read-only bit is not applied here: this system enforces it on directories (the layer's
// interface comes from one that did not), and a copy fills a new directory after creating it
// with its source's attributes. FsSetAttr applies it once the directory is complete.
ZAPI int ZCALL FsMkDir(const char* path, uint32_t attributes) {
    (void)attributes;
    if (path == nullptr) return -1;
    return ::mkdir(SystemPath(path).c_str(), 0777) == 0 ? 0 : -1;
}

ZAPI int ZCALL FsRmDir(const char* path) {
    if (path == nullptr) return -1;
    return ::rmdir(SystemPath(path).c_str()) == 0 ? 0 : -1;
}

// A symbolic link is deleted as a link; a directory is refused.
int FsDelete(const char* path) {
    if (path == nullptr) return -1;
    return ::unlink(SystemPath(path).c_str()) == 0 ? 0 : -1;
}

ZAPI int ZCALL FsMove(const char* oldPath, const char* newPath) {
    if (oldPath == nullptr || newPath == nullptr) return -1;
    return kq::fs::RenameWithoutReplacing(SystemPath(oldPath), SystemPath(newPath));
}

ZAPI int ZCALL FsSetCwd(const char* path) {
    if (path == nullptr) return -1;
    return ::chdir(SystemPath(path).c_str()) == 0 ? 0 : -1;
}

ZAPI int ZCALL FsGetCwd(char* buffer) {
    if (buffer == nullptr) return -1;
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return -1;
    const std::string listed = kq::fs::ToCodePage(cwd);
    if (listed.size() >= FS_MAX_PATH) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(buffer, listed.c_str(), listed.size() + 1);
    return 0;
}

}  // extern "C"
