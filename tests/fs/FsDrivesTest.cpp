// Drives and disk figures: which mounts count as drives (tables of typical mount tables), the
// drive list's shape, FsGetDiskInfo against statvfs, large volumes in 32-bit counts, and volume
// labels from a by-label directory.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

bool AnyDirectory(const std::string&) {
    return true;
}

TEST(MountTableTest, FieldsAreSplitAndEscapesDecoded) {
    const auto mounts = ParseMounts(
        "/dev/sda1 / ext4 rw,relatime 0 0\n"
        "/dev/sdb1 /media/My\\040Disk vfat rw 0 0\n"
        "server:/share\\011x /mnt/back\\134slash nfs4 rw 0 0\n"
        "broken-line\n"
        "\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].source, "/dev/sda1");
    EXPECT_EQ(mounts[0].point, "/");
    EXPECT_EQ(mounts[0].type, "ext4");
    EXPECT_EQ(mounts[1].point, "/media/My Disk");
    EXPECT_EQ(mounts[2].source, "server:/share\tx");
    EXPECT_EQ(mounts[2].point, "/mnt/back\\slash");
}

struct DriveCase {
    const char* what;
    const char* table;
    std::vector<std::string> drives;
};

TEST(MountTableTest, PseudoAndSystemMountsAreLeftOutAndRootComesFirst) {
    const DriveCase cases[] = {
        {"a desktop",
         "sysfs /sys sysfs rw 0 0\n"
         "proc /proc proc rw 0 0\n"
         "udev /dev devtmpfs rw 0 0\n"
         "devpts /dev/pts devpts rw 0 0\n"
         "tmpfs /run tmpfs rw 0 0\n"
         "/dev/nvme0n1p2 / ext4 rw 0 0\n"
         "securityfs /sys/kernel/security securityfs rw 0 0\n"
         "tmpfs /dev/shm tmpfs rw 0 0\n"
         "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
         "/dev/loop3 /snap/core22/1122 squashfs ro 0 0\n"
         "/dev/nvme0n1p1 /boot/efi vfat rw 0 0\n"
         "/dev/nvme0n1p3 /home ext4 rw 0 0\n"
         "tmpfs /run/user/1000 tmpfs rw 0 0\n"
         "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
         "/dev/sdb1 /run/media/ann/USB\\040STICK vfat rw 0 0\n"
         "tmpfs /tmp tmpfs rw 0 0\n"
         "server:/export /mnt/nfs nfs4 rw 0 0\n"
         "ann@host: /home/ann/remote fuse.sshfs rw 0 0\n",
         {"/", "/boot/efi", "/home", "/run/media/ann/USB STICK", "/tmp", "/mnt/nfs",
          "/home/ann/remote"}},
        {"a container",
         "overlay / overlay rw 0 0\n"
         "proc /proc proc rw 0 0\n"
         "tmpfs /dev tmpfs rw 0 0\n"
         "shm /dev/shm tmpfs rw 0 0\n"
         "/dev/vda /work ext4 rw 0 0\n",
         {"/", "/work"}},
        {"root listed late and twice, a point mounted over",
         "/dev/sdc1 /data xfs rw 0 0\n"
         "rootfs / rootfs rw 0 0\n"
         "/dev/sda1 / btrfs rw 0 0\n"
         "/dev/sdd1 /data ext4 rw 0 0\n",
         {"/", "/data"}},
        {"no mount table at all", "", {"/"}},
    };
    for (const DriveCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DriveMountPoints(ParseMounts(c.table), AnyDirectory), c.drives);
    }
}

// Docker and similar bind-mount single files (/etc/hosts); a file is no drive.
TEST(MountTableTest, BindMountedFilesAreNoDrives) {
    const auto mounts = ParseMounts(
        "/dev/vda / ext4 rw 0 0\n/dev/vda /etc/hosts ext4 rw 0 0\n/dev/vda /srv ext4 rw 0 0\n");
    const auto onlySrv = [](const std::string& point) { return point == "/srv"; };
    EXPECT_EQ(DriveMountPoints(mounts, onlySrv), (std::vector<std::string>{"/", "/srv"}));
}

TEST(DriveListTest, RootFirstEveryDriveADirectoryEndedByAnEmptyName) {
    char* drives = FsGetDrives();
    ASSERT_NE(drives, nullptr);
    std::vector<std::string> names;
    for (const char* p = drives; *p != '\0'; p += std::strlen(p) + 1) names.emplace_back(p);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "/");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        struct stat status;
        EXPECT_EQ(::stat(name.c_str(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_NE(name.rfind("/proc", 0), 0u);
        EXPECT_NE(name.rfind("/sys", 0), 0u);
    }
    EXPECT_EQ(FsFreeDrives(drives), 0);
}

TEST(DiskInfoTest, FiguresMatchTheFileSystem) {
    FsDiskInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(FsGetDiskInfo("/", &info), 0);
    struct statvfs figures;
    ASSERT_EQ(::statvfs("/", &figures), 0);
    const ClusterFigures expected =
        ScaleToClusters(figures.f_frsize, figures.f_blocks, figures.f_bavail);
    EXPECT_EQ(info.clusterSize, expected.clusterSize);
    EXPECT_EQ(info.totalClusters, expected.total);
    // Free space moves while the tests run; the order of magnitude is what matters.
    EXPECT_LE(info.freeClusters, info.totalClusters);
    EXPECT_GT(std::strlen(info.fileSystem), 0u);
    EXPECT_LT(std::strlen(info.fileSystem), sizeof info.fileSystem);
    EXPECT_LT(std::strlen(info.label), sizeof info.label);

    // The type is the one the mount table gives for "/".
    std::ifstream table("/proc/self/mounts");
    std::stringstream text;
    text << table.rdbuf();
    std::string rootType;
    for (const MountEntry& mount : ParseMounts(text.str())) {
        if (mount.point == "/") rootType = mount.type;
    }
    if (!rootType.empty()) {
        EXPECT_EQ(std::string(info.fileSystem), rootType.substr(0, 19));
    }
}

TEST(DiskInfoTest, AnyDirectoryOnAVolumeWillDo) {
    FsDiskInfo root;
    FsDiskInfo below;
    ASSERT_EQ(FsGetDiskInfo("/", &root), 0);
    ASSERT_EQ(FsGetDiskInfo("/usr/..", &below), 0);
    EXPECT_STREQ(root.fileSystem, below.fileSystem);
}

TEST(DiskInfoTest, AMissingPathFailsWithTheRecordZeroed) {
    FsDiskInfo info;
    std::memset(&info, 0x55, sizeof info);
    EXPECT_EQ(FsGetDiskInfo("/no/such/kq/path", &info), -1);
    const FsDiskInfo zero{};
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
}

struct ClusterCase {
    uint64_t blockSize;
    uint64_t blocks;
    uint64_t available;
    ClusterFigures clusters;
};

TEST(DiskInfoTest, LargeVolumesAreCountedInLargerClusters) {
    const ClusterCase cases[] = {
        {4096, 1000, 10, {4096, 1000, 10}},
        {4096, 0xFFFFFFFFull, 5, {4096, 0xFFFFFFFF, 5}},
        {4096, 0x100000000ull, 0x100000000ull, {8192, 0x80000000, 0x80000000}},
        // 64 TiB in 4 KiB blocks: 2^34 blocks, so clusters of 32 KiB.
        {4096, 1ull << 34, 1ull << 33, {32768, 1u << 31, 1u << 30}},
    };
    for (const ClusterCase& c : cases) {
        const ClusterFigures got = ScaleToClusters(c.blockSize, c.blocks, c.available);
        EXPECT_EQ(got.clusterSize, c.clusters.clusterSize) << c.blocks;
        EXPECT_EQ(got.total, c.clusters.total) << c.blocks;
        EXPECT_EQ(got.available, c.clusters.available) << c.blocks;
        // The volume's size survives the scaling, to within one cluster.
        EXPECT_LE(c.blockSize * c.blocks - uint64_t{got.clusterSize} * got.total,
                  uint64_t{got.clusterSize});
    }
}

class VolumeLabelTest : public TempDirTest {};

// A block device this system has, taken from the mount table; empty when there is none.
std::string SomeBlockDevice() {
    std::ifstream table("/proc/self/mounts");
    std::stringstream text;
    text << table.rdbuf();
    for (const MountEntry& mount : ParseMounts(text.str())) {
        struct stat status;
        if (::stat(mount.source.c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
            return mount.source;
        }
    }
    return {};
}

TEST_F(VolumeLabelTest, TheLabelIsTheLinkNamingTheDeviceWithEscapesDecoded) {
    const std::string device = SomeBlockDevice();
    if (device.empty()) GTEST_SKIP() << "no block device is mounted";
    MakeDir("by-label");
    ASSERT_EQ(::symlink("/dev/null", Path("by-label/Other").c_str()), 0);
    ASSERT_EQ(::symlink(device.c_str(), Path("by-label/My\\x20Disk").c_str()), 0);
    EXPECT_EQ(VolumeLabel(device, Path("by-label")), "My Disk");
}

TEST_F(VolumeLabelTest, NoLabelGivesAnEmptyOne) {
    const std::string device = SomeBlockDevice();
    MakeDir("by-label");
    if (!device.empty()) {
        EXPECT_EQ(VolumeLabel(device, Path("by-label")), "");
    }
    EXPECT_EQ(VolumeLabel(device, Path("missing-directory")), "");
    EXPECT_EQ(VolumeLabel("tmpfs", Path("by-label")), "");      // no device at all
    EXPECT_EQ(VolumeLabel("/dev/null", Path("by-label")), "");  // not a block device
}

}  // namespace
}  // namespace kq::fs::test
