// Attributes: the FA_* bits of a file, search masks and name patterns, and FsSetAttr.
//
// Only the read-only bit can be written on this system: it is the owner's write permission.
// Hidden comes from the name, directory and system from the file type, archive marks a regular
// file; writing those is accepted and has no effect. The creation time cannot be set either.
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "fs/FsInternal.h"
#include "kq/fs.h"

namespace kq::fs {

uint32_t AttributesOf(mode_t mode, std::string_view name) {
    uint32_t attributes = 0;
    if (S_ISDIR(mode)) {
        attributes |= FA_DIR;
    } else if (S_ISREG(mode)) {
        attributes |= FA_ARCHIVE;
    } else if (S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode)) {
        attributes |= FA_SYSTEM;
    } else {
        attributes |= FA_ARCHIVE;  // a dangling symbolic link, listed as the file it was
    }
    if (!name.empty() && name[0] == '.' && name != "..") attributes |= FA_HIDDEN;
    if ((mode & S_IWUSR) == 0) attributes |= FA_RDONLY;
    return attributes;
}

bool PassesMask(uint32_t attributes, uint32_t mask) {
    const uint32_t permitted = mask & 0xFFFF;
    const uint32_t required = mask >> 16;
    if ((attributes & ~permitted) != 0) return false;
    return required == 0 || (attributes & required) != 0;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
    if (pattern == "*" || pattern == "*.*") return true;
    // Iterative wildcard match with one backtracking point: the last '*' seen.
    size_t p = 0;
    size_t n = 0;
    size_t starAt = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starName = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace kq::fs

extern "C" {

int FsSetAttr(const char* path, uint32_t attributes, time_t created, time_t modified,
              time_t accessed) {
    (void)created;  // the system sets birth and change times itself
    const std::string systemPath = kq::fs::SystemPath(path);
    if (path == nullptr || systemPath.empty()) return -1;
    struct stat status;
    if (::stat(systemPath.c_str(), &status) != 0) return -1;

    // Read-only takes the write permission away from everyone; clearing it gives the owner's
    // back. The other permission bits stay as they are.
    mode_t mode = status.st_mode & 07777;
    if (attributes & FA_RDONLY) {
        mode &= ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH};
    } else {
        mode |= S_IWUSR;
    }
    if (mode != (status.st_mode & 07777) && ::chmod(systemPath.c_str(), mode) != 0) return -1;

    // The times are written as through a plain file open, which a directory refuses: a
    // directory keeps its times and the result is -1, as callers of the layer expect.
    if (S_ISDIR(status.st_mode)) return -1;

    // Set by name rather than through an open descriptor: a read-only file needs no write
    // access for it, and a fifo is never opened.
    const struct timespec times[2] = {{accessed, 0}, {modified, 0}};
    return ::utimensat(AT_FDCWD, systemPath.c_str(), times, 0) == 0 ? 0 : -1;
}

}  // extern "C"
