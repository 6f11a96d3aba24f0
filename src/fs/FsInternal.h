// The file-system layer's interface inside the library: name conversion, attribute translation,
// search masks and patterns, the copy block size and the mount table. The exported operations
// are declared in kq/fs.h.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kq::fs {

// Owns one file descriptor; closes it on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

// ---- Names (FsNames.cpp) ----

// A file-system name (UTF-8, or any bytes) in the console code page. ASCII, control characters
// included, stays as it is; a character the code page lacks and every byte that is not part of
// valid UTF-8 become '?'.
std::string ToCodePage(std::string_view systemName);
// Console code-page text in UTF-8: bytes below 0x80 as themselves, the others as the code
// page's characters.
std::string FromCodePage(std::string_view codePageText);
// The file-system path for a path in the console code page. '?' is all that a lossy listing
// leaves of a name, so when the plain conversion of such a path names nothing, each component
// with a '?' is looked up in its directory: the one entry whose listed name is that component
// stands for it. Ambiguous or unknown components stay as converted (a new name keeps its '?').
std::string SystemPath(const char* codePagePath);

// ---- Files (FsFiles.cpp) ----

// FsMove's way where renameat2 cannot refuse to replace: a hard link (or an empty placeholder
// where the file system has none) for a file, an empty placeholder directory for a directory.
// Never replaces anything that was there before; 0, or -1 with errno set.
int MoveWithoutReplacing(const std::string& from, const std::string& to);
// FsMove on the file system's own names: a rename that never replaces anything (renameat2,
// else MoveWithoutReplacing). 0, or -1 with errno set (EXDEV across file systems).
int RenameWithoutReplacing(const std::string& from, const std::string& to);

// ---- Attributes and searches (FsAttributes.cpp) ----

// The FA_* bits of a file from its (followed) status and its name.
uint32_t AttributesOf(mode_t mode, std::string_view name);
// A name passes when all its bits are permitted (low half) and, if the high half is not 0,
// it carries at least one of the required bits.
bool PassesMask(uint32_t attributes, uint32_t mask);
// Wildcards: '*' any run of bytes, '?' one byte; "*" and "*.*" match every name. Bytes compare
// exactly, as the file system does.
bool MatchesPattern(std::string_view pattern, std::string_view name);

// ---- Copy (FsCopy.cpp) ----

// The own loop's block: a hundredth of the size, down to a multiple of 64 KiB, held between
// 64 KiB and 128 KiB.
uint32_t CopyBlockSize(uint64_t size);

// Bytes of the file copied so far, after every block.
using CopyProgressFn = std::function<void(uint64_t done)>;
// FsCopy's work in the calling thread, for the copy jobs, on the file system's own names
// (absolute, or relative to the current directory), flags as FsCopy's. Both modes give the copy
// the source's permissions and times; a file of less than one block is written under its name
// at once (and removed again on failure) rather than beside it. FS_COPY_OK, or a failure state
// with error holding the reason (errno: ENOENT, EACCES, EEXIST, ENOSPC, EIO, ENXIO for a source
// that is not a regular file, EISDIR for a directory).
int CopyFileHere(const std::string& source, const std::string& destination, uint32_t flags,
                 const CopyProgressFn& progress, int& error);

// ---- Mounts and drives (FsDrives.cpp) ----

struct MountEntry {
    std::string source;
    std::string point;
    std::string type;
};

// The lines of /proc/self/mounts, with its octal escapes (\040 and the like) decoded.
std::vector<MountEntry> ParseMounts(std::string_view text);
// The mount points that count as drives, "/" first, then in the table's order, each once.
// isDirectory keeps out bind-mounted files.
std::vector<std::string> DriveMountPoints(
    const std::vector<MountEntry>& mounts,
    const std::function<bool(const std::string&)>& isDirectory);
struct ClusterFigures {
    uint32_t clusterSize;
    uint32_t total;
    uint32_t available;
};
// A volume's block counts as 32-bit cluster counts: the cluster is the block, doubled as often
// as the total needs to fit.
ClusterFigures ScaleToClusters(uint64_t blockSize, uint64_t blocks, uint64_t available);

// The label udev lists for the block device source in byLabelDirectory (normally
// /dev/disk/by-label), decoded from its \xHH escapes; empty when there is none.
std::string VolumeLabel(const std::string& source, const std::string& byLabelDirectory);

}  // namespace kq::fs
