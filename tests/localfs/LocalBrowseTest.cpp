#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "kq/config.h"
#include "kq/fs.h"
#include "localfs/LocalPlugin.h"
#include "support/TempFolder.h"

namespace kq::localfs {
namespace {

namespace fs = std::filesystem;

class LocalBrowseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
        root = temp.root().string();
        work = root + "/work";
        temp.MakeFolder("work/sub");
        temp.WriteFile("work/file.txt", "12345");
        handle = FS_ZOpenPlugin(0, 0, nullptr);
        ASSERT_NE(handle, 0);
    }
    void TearDown() override {
        FS_ZClosePlugin(handle);
        FS_ZTerminate(0);
    }

    // Puts the instance's text at any value, as a sequence of refused changes could leave it.
    void Place(const std::string& text) {
        std::strcpy(reinterpret_cast<Instance*>(handle)->directory, text.c_str());
    }
    std::string Directory() const { return FS_ZGetDirectory(handle); }

    // "name attributes link size modified;" for each item of a listing, by name (FA_ARCHIVE is 1,
    // FA_DIR 4, PLUGIN_ITEM_LINK 1).
    std::string List(PluginHandle from) {
        std::map<std::string, std::string> listed;
        PluginItem* items = nullptr;
        int32_t count = 0;
        if (FS_ZFindFiles(from, &items, &count, 0) != 0) return "<failed>";
        for (const PluginItem& item : std::span(items, count)) {
            listed[item.name] =
                std::to_string(item.attributes) + " " + std::to_string(item.reserved11) + " " +
                std::to_string(item.fileSize) + " " + std::to_string(item.modified != 0) + ";";
        }
        EXPECT_EQ(FS_ZFindClose(from, items, count), 0);
        std::string all;
        for (const auto& [name, fields] : listed) all += name + " " + fields;
        return all;
    }

    kq::test::TempFolder temp{"kq-localfs"};
    std::string root, work;
    PluginHandle handle = 0;
};

TEST_F(LocalBrowseTest, OpenTakesTheCurrentDirectoryOrTheDrivesAndKeepsTheOwner) {
    char cwd[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(cwd), 0);
    int panel = 0;
    const PluginHandle other = FS_ZOpenPlugin(0, 0, &panel);
    EXPECT_STREQ(FS_ZGetDirectory(other), cwd);
    EXPECT_EQ(reinterpret_cast<Instance*>(other)->owner, &panel);
    EXPECT_EQ(FS_ZClosePlugin(other), 0);

    // With a drive number the instance stays where it is if that lies on the drive, else goes
    // to the drive's mount point; a number past the list keeps the current directory.
    char* list = FsGetDrives();
    std::vector<std::string> drives;
    for (const char* drive = list; *drive != '\0'; drive += std::strlen(drive) + 1) {
        drives.emplace_back(drive);
    }
    FsFreeDrives(list);
    for (size_t i = 0; i < drives.size(); ++i) {
        for (const std::string& from : {drives[i], std::string("/")}) {
            if (FsSetCwd(from.c_str()) != 0 || (i == 0 && from != drives[i])) continue;
            const PluginHandle at = FS_ZOpenPlugin(0, static_cast<uint32_t>(i + 1), nullptr);
            EXPECT_EQ(std::string(FS_ZGetDirectory(at)), drives[i]) << from;
            FS_ZClosePlugin(at);
        }
    }
    ASSERT_EQ(FsSetCwd("/"), 0);
    const PluginHandle beyond = FS_ZOpenPlugin(0, 100000, nullptr);
    EXPECT_STREQ(FS_ZGetDirectory(beyond), "/");
    FS_ZClosePlugin(beyond);
    fs::current_path(cwd);
}

TEST_F(LocalBrowseTest, SetDirectoryResolvesOrAdjustsTheText) {
    struct Case {
        const char* from;  // "@" stands for the temporary root
        const char* path;
        const char* expected;
        int32_t result;
    };
    const std::string longName(600, 'a');
    const Case cases[] = {
        {"@/work/sub", "../sub/.", "@/work/sub", 0},
        {"@/work", "NOSUCH", "@/work/NOSUCH", -1},           // a missing name is appended
        {"@/gone/deeper/still", "..", "@/gone/deeper", -1},  // from a missing tree: cut
        {"@/work", "", "@/work", -1},
        {"@/work", longName.c_str(), "@/work", -1},  // too long for the buffer
        {"", "@/work", "@/work", 0},
    };
    const auto expand = [&](const char* text) {
        return text[0] == '@' ? root + (text + 1) : std::string(text);
    };
    for (const Case& c : cases) {
        Place(expand(c.from));
        EXPECT_EQ(FS_ZSetDirectory(handle, expand(c.path).c_str(), 0), c.result)
            << c.from << " " << c.path;
        EXPECT_EQ(Directory(), expand(c.expected)) << c.from << " " << c.path;
    }
}

TEST_F(LocalBrowseTest, ListingFillsTheItems) {
    ASSERT_EQ(::symlink("file.txt", (work + "/link").c_str()), 0);  // listed as its target, marked
    Place(work);
    EXPECT_EQ(List(handle), ".. 4 0 0 1;file.txt 1 0 5 1;link 1 1 5 1;sub 4 0 0 1;");
    Place(root + "/gone");
    EXPECT_EQ(List(handle), "<failed>");
}

// Both panels read one directory within moments of each other: the second reader gets the
// first one's block, which lives until both have let go. A changed directory is read again,
// and a block nobody holds is never handed out again.
TEST_F(LocalBrowseTest, ReadersOfAnUnchangedDirectoryShareOneListing) {
    const PluginHandle second = FS_ZOpenPlugin(0, 0, nullptr);
    ASSERT_EQ(FS_ZSetDirectory(handle, work.c_str(), 0), 0);
    ASSERT_EQ(FS_ZSetDirectory(second, work.c_str(), 0), 0);
    PluginItem* items[3] = {};
    int32_t counts[3] = {};
    ASSERT_EQ(FS_ZFindFiles(handle, &items[0], &counts[0], 0), 0);
    ASSERT_EQ(FS_ZFindFiles(second, &items[1], &counts[1], 0), 0);
    EXPECT_EQ(items[0], items[1]);
    EXPECT_EQ(FS_ZFindClose(handle, items[0], counts[0]), 0);
    ::usleep(20000);  // a new name changes the directory's modification and change times
    temp.WriteFile("work/added.txt", "x");
    ASSERT_EQ(FS_ZFindFiles(handle, &items[2], &counts[2], 0), 0);
    EXPECT_NE(items[2], items[1]);
    EXPECT_EQ(counts[2], counts[1] + 1);
    FS_ZFindClose(second, items[1], counts[1]);
    FS_ZFindClose(handle, items[2], counts[2]);
    FS_ZClosePlugin(second);
}

// The drive menu lists the mounts ("/" first) with hot keys by position and their numbers as
// ids, then a separator; a hot key in "NoLabel" keeps its mount from being queried.
TEST_F(LocalBrowseTest, DriveMenuListsTheMountsByPosition) {
    const kq::test::SettingsHome settings;
    ASSERT_EQ(CfgInit("kq-drive-menu-test"), 0);
    const CfgSection main = CfgOpen("Main");
    ASSERT_EQ(CfgSetSz(main, "NoLabel", "1"), 0);
    CfgClose(main);
    PluginMenuItem* items = nullptr;
    const int32_t count = FS_ZCreateDiskMenu(&items);
    CfgShutdown();
    ASSERT_GE(count, 2);
    EXPECT_STREQ(items[0].text, "~1 / -\t?");
    char* drives = FsGetDrives();
    const std::string second = drives + std::strlen(drives) + 1;  // "" with "/" alone
    FsDiskInfo info{};
    if (!second.empty() && FsGetDiskInfo(second.c_str(), &info) == 0) {  // queried: its type
        EXPECT_NE(std::string(items[1].text).find(info.fileSystem), std::string::npos);
    }
    FsFreeDrives(drives);
    for (int32_t i = 0; i + 1 < count; ++i) EXPECT_EQ(items[i].id, static_cast<uint32_t>(i + 1));
    EXPECT_EQ(items[count - 1].type, PLUGIN_MENU_SEPARATOR);
    EXPECT_EQ(FS_ZCreateDiskMenu(&items), count);  // the first array is freed
}

}  // namespace
}  // namespace kq::localfs
