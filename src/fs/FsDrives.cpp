// Drives and disk figures: FsGetDrives, FsFreeDrives and FsGetDiskInfo.
//
// A drive is a mounted file system from /proc/self/mounts, "/" first. Left out are pseudo file
// systems (proc, sysfs, cgroup, ...), whatever is mounted below /proc, /sys, /dev and /run (the
// system's own: /dev/shm, /run/user/..., except removable media under /run/media), package
// images below /snap, and bind-mounted files. A volume label is the one udev lists for the
// block device a mount comes from (/dev/disk/by-label); a mount without one has an empty label.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FsInternal.h"
#include "kq/fs.h"

namespace kq::fs {
namespace {

static_assert(sizeof(FsDiskInfo) == 544 && offsetof(FsDiskInfo, clusterSize) == 532);

constexpr const char* kMountTable = "/proc/self/mounts";
constexpr const char* kLabelDirectory = "/dev/disk/by-label";

constexpr std::string_view kPseudoTypes[] = {
    "autofs",     "binfmt_misc", "bpf",        "cgroup",    "cgroup2",  "configfs",
    "cpuset",     "debugfs",     "devpts",     "devtmpfs",  "efivarfs", "fuse.gvfsd-fuse",
    "fuse.lxcfs", "fuse.portal", "fusectl",    "hugetlbfs", "mqueue",   "nfsd",
    "nsfs",       "overlay",     "pipefs",     "proc",      "pstore",   "ramfs",
    "rootfs",     "rpc_pipefs",  "securityfs", "selinuxfs", "sockfs",   "sysfs",
    "tracefs",    "usbfs"};

// Below these the system keeps its own mounts. Removable media under /run/media stay.
constexpr std::string_view kSystemTrees[] = {"/proc", "/sys", "/dev", "/run", "/snap"};

bool IsBelow(std::string_view path, std::string_view tree) {
    return path == tree || (path.size() > tree.size() && path.substr(0, tree.size()) == tree &&
                            path[tree.size()] == '/');
}

bool IsDrive(const MountEntry& mount) {
    if (mount.point == "/") return true;
    if (std::find(std::begin(kPseudoTypes), std::end(kPseudoTypes), mount.type) !=
        std::end(kPseudoTypes)) {
        return false;
    }
    if (IsBelow(mount.point, "/run/media")) return true;
    return std::none_of(std::begin(kSystemTrees), std::end(kSystemTrees),
                        [&](std::string_view tree) { return IsBelow(mount.point, tree); });
}

// Undoes the kernel's octal escapes of space, tab, newline and backslash (\040 and so on).
std::string DecodeMountField(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// udev writes unsafe bytes of a label as \xHH.
std::string DecodeLabelName(std::string_view name) {
    std::string decoded;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            HexValue(name[i + 2]) >= 0 && HexValue(name[i + 3]) >= 0) {
            decoded += static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3]));
            i += 3;
        } else {
            decoded += name[i];
        }
    }
    return decoded;
}

std::string ReadWholeFile(const char* path) {
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!fd) return text;
    char block[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(block, static_cast<size_t>(n));
    }
    return text;
}

bool IsDirectory(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The mount a canonical path lies on: the longest mount point that holds it, the later entry
// where one is mounted over another.
const MountEntry* MountOf(const std::vector<MountEntry>& mounts, std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts) {
        const bool holds = mount.point == "/" || IsBelow(path, mount.point);
        if (holds && (best == nullptr || mount.point.size() >= best->point.size())) best = &mount;
    }
    return best;
}

void CopyTruncated(char* destination, size_t size, const std::string& text) {
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

}  // namespace

std::vector<MountEntry> ParseMounts(std::string_view text) {
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        size_t end = text.find('\n');
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        std::string_view fields[3];
        int found = 0;
        while (found < 3 && !line.empty()) {
            const size_t start = line.find_first_not_of(" \t");
            if (start == std::string_view::npos) break;
            line.remove_prefix(start);
            const size_t stop = std::min(line.find_first_of(" \t"), line.size());
            fields[found++] = line.substr(0, stop);
            line.remove_prefix(stop);
        }
        if (found < 3) continue;
        mounts.push_back({DecodeMountField(fields[0]), DecodeMountField(fields[1]),
                          DecodeMountField(fields[2])});
    }
    return mounts;
}

std::vector<std::string> DriveMountPoints(
    const std::vector<MountEntry>& mounts,
    const std::function<bool(const std::string&)>& isDirectory) {
    std::vector<std::string> points{"/"};
    for (const MountEntry& mount : mounts) {
        if (mount.point.empty() || mount.point[0] != '/' || !IsDrive(mount)) continue;
        if (std::find(points.begin(), points.end(), mount.point) != points.end()) continue;
        if (!isDirectory(mount.point)) continue;
        points.push_back(mount.point);
    }
    return points;
}

ClusterFigures ScaleToClusters(uint64_t blockSize, uint64_t blocks, uint64_t available) {
    while (blocks > UINT32_MAX && blockSize <= UINT32_MAX / 2) {
        blockSize *= 2;
        blocks /= 2;
        available /= 2;
    }
    return {static_cast<uint32_t>(std::min<uint64_t>(blockSize, UINT32_MAX)),
            static_cast<uint32_t>(std::min<uint64_t>(blocks, UINT32_MAX)),
            static_cast<uint32_t>(std::min<uint64_t>(available, UINT32_MAX))};
}

std::string VolumeLabel(const std::string& source, const std::string& byLabelDirectory) {
    struct stat device;
    if (source.empty() || source[0] != '/' || ::stat(source.c_str(), &device) != 0 ||
        !S_ISBLK(device.st_mode)) {
        return {};
    }
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(byLabelDirectory.c_str()), ::closedir);
    if (!directory) return {};
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.') continue;
        struct stat labelled;
        const std::string link = byLabelDirectory + "/" + entry->d_name;
        if (::stat(link.c_str(), &labelled) == 0 && S_ISBLK(labelled.st_mode) &&
            labelled.st_rdev == device.st_rdev) {
            return DecodeLabelName(entry->d_name);
        }
    }
    return {};
}

}  // namespace kq::fs

extern "C" {

ZAPI char* ZCALL FsGetDrives(void) {
    try {
        const std::vector<std::string> points = kq::fs::DriveMountPoints(
            kq::fs::ParseMounts(kq::fs::ReadWholeFile(kq::fs::kMountTable)), kq::fs::IsDirectory);
        std::string block;
        for (const std::string& point : points) {
            block += kq::fs::ToCodePage(point);
            block += '\0';
        }
        block += '\0';
        auto* drives = static_cast<char*>(std::malloc(block.size()));
        if (drives != nullptr) std::memcpy(drives, block.data(), block.size());
        return drives;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

ZAPI int ZCALL FsFreeDrives(char* drives) {
    if (drives == nullptr) return -1;
    std::free(drives);
    return 0;
}

ZAPI int ZCALL FsGetDiskInfo(const char* root, FsDiskInfo* info) {
    if (info == nullptr) return -1;
    std::memset(info, 0, sizeof *info);
    if (root == nullptr) return -1;
    try {
        char canonical[PATH_MAX];
        if (::realpath(kq::fs::SystemPath(root).c_str(), canonical) == nullptr) return -1;
        struct statvfs figures;
        if (::statvfs(canonical, &figures) != 0) return -1;

        const std::vector<kq::fs::MountEntry> mounts =
            kq::fs::ParseMounts(kq::fs::ReadWholeFile(kq::fs::kMountTable));
        if (const kq::fs::MountEntry* mount = kq::fs::MountOf(mounts, canonical)) {
            kq::fs::CopyTruncated(info->fileSystem, sizeof info->fileSystem, mount->type);
            const std::string label = kq::fs::VolumeLabel(mount->source, kq::fs::kLabelDirectory);
            kq::fs::CopyTruncated(info->label, sizeof info->label, kq::fs::ToCodePage(label));
        }

        const kq::fs::ClusterFigures clusters =
            kq::fs::ScaleToClusters(figures.f_frsize ? figures.f_frsize : figures.f_bsize,
                                    figures.f_blocks, figures.f_bavail);
        info->clusterSize = clusters.clusterSize;
        info->totalClusters = clusters.total;
        info->freeClusters = clusters.available;
        return 0;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // extern "C"
