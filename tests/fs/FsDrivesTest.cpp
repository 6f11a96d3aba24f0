#include <sys/statvfs.h>

#include <cstring>
#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

std::vector<MountEntry> SystemMounts() {
    return ParseMounts(kq::testing::ReadFile("/proc/self/mounts"));
}

TEST(MountTableTest, FieldsAreSplitAndEscapesDecoded) {
    const auto mounts = ParseMounts(
        "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /media/My\\040Disk vfat rw 0 0\n"
        "server:/share\\011x /mnt/back\\134slash nfs4 rw 0 0\nbroken-line\n\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].source + " " + mounts[0].point + " " + mounts[0].type, "/dev/sda1 / ext4");
    EXPECT_EQ(mounts[1].point, "/media/My Disk");
    EXPECT_EQ(mounts[2].source, "server:/share\tx");
    EXPECT_EQ(mounts[2].point, "/mnt/back\\slash");
}

TEST(DriveListTest, RootFirstEveryDriveADirectory) {
    char* drives = FsGetDrives();
    ASSERT_NE(drives, nullptr);
    EXPECT_STREQ(drives, "/");
    for (const char* p = drives; *p != '\0'; p += std::strlen(p) + 1) {
        EXPECT_TRUE(stdfs::is_directory(p)) << p;
        const std::string drive = p;
        EXPECT_FALSE(drive.starts_with("/proc") || drive.starts_with("/sys")) << drive;
    }
    EXPECT_EQ(FsFreeDrives(drives), 0);
}

TEST(DiskInfoTest, TheTypeIsTheMountTablesAndAMissingPathZeroesTheRecord) {
    FsDiskInfo info;
    ASSERT_EQ(FsGetDiskInfo("/usr/..", &info), 0);  // any directory on the volume will do
    struct statvfs figures;
    ASSERT_EQ(::statvfs("/", &figures), 0);
    const ClusterFigures expected =
        ScaleToClusters(figures.f_frsize, figures.f_blocks, figures.f_bavail);
    EXPECT_EQ(info.clusterSize, expected.clusterSize);
    EXPECT_EQ(info.totalClusters, expected.total);
    EXPECT_LE(info.freeClusters, info.totalClusters);  // free space moves while tests run
    std::string rootType;
    for (const MountEntry& mount : SystemMounts()) {
        if (mount.point == "/") rootType = mount.type;
    }
    if (!rootType.empty()) {
        EXPECT_EQ(std::string(info.fileSystem), rootType.substr(0, 19));
    }

    std::memset(&info, 0x55, sizeof info);
    EXPECT_EQ(FsGetDiskInfo("/no/such/kq/path", &info), -1);
    const FsDiskInfo zero{};
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
}

}  // namespace
}  // namespace kq::fs::test
