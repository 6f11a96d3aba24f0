// Symbolic links in the local plugin's listings: a link to a directory is listed as a
// directory (so a panel can enter it); every link is marked PLUGIN_ITEM_LINK (so a tree walk
// counts it as itself and does not descend through it); real directories and files carry no
// mark.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "kq/fs.h"
#include "localfs/LocalPlugin.h"

namespace kq::localfs {
namespace {

namespace fs = std::filesystem;

class LocalListingLinksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
        std::string pattern = (fs::temp_directory_path() / "kq-links-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        fs::create_directories(root + "/real");
        std::ofstream(root + "/file.txt") << "12345";
        ASSERT_EQ(::symlink("real", (root + "/toDirectory").c_str()), 0);
        ASSERT_EQ(::symlink("..", (root + "/real/up").c_str()), 0);
        ASSERT_EQ(::symlink("file.txt", (root + "/toFile").c_str()), 0);
        ASSERT_EQ(::symlink("missing", (root + "/dangling").c_str()), 0);
        handle = FS_ZOpenPlugin(0, 0, nullptr);
        ASSERT_NE(handle, 0);
    }
    void TearDown() override {
        FS_ZClosePlugin(handle);
        std::error_code ignored;
        fs::remove_all(root, ignored);
        FS_ZTerminate(0);
    }

    // name -> (attributes, reserved11) of the listing of directory.
    std::map<std::string, std::pair<uint32_t, uint32_t>> List(const std::string& directory) {
        std::map<std::string, std::pair<uint32_t, uint32_t>> listed;
        EXPECT_EQ(FS_ZSetDirectory(handle, directory.c_str(), 0), 0);
        PluginItem* items = nullptr;
        int32_t count = 0;
        if (FS_ZFindFiles(handle, &items, &count, 0) != 0) return listed;
        for (int32_t i = 0; i < count; ++i) {
            listed[items[i].name] = {items[i].attributes, items[i].reserved11};
        }
        FS_ZFindClose(handle, items, count);
        return listed;
    }

    PluginHandle handle = 0;
    std::string root;
};

TEST_F(LocalListingLinksTest, LinkToADirectoryIsListedAsADirectoryMarkedAsALink) {
    auto listed = List(root);
    ASSERT_EQ(listed.count("toDirectory"), 1u);
    EXPECT_NE(listed["toDirectory"].first & FA_DIR, 0u);
    EXPECT_EQ(listed["toDirectory"].second, PLUGIN_ITEM_LINK);
    EXPECT_NE(listed["real"].first & FA_DIR, 0u);
    EXPECT_EQ(listed["real"].second, 0u);
    EXPECT_EQ(listed[".."].second, 0u);
    EXPECT_EQ(listed["file.txt"].second, 0u);
    // Links to files and dangling links are files, marked as links too.
    EXPECT_EQ(listed["toFile"], std::make_pair(uint32_t{FA_ARCHIVE}, PLUGIN_ITEM_LINK));
    EXPECT_EQ(listed["dangling"].first & FA_DIR, 0u);
    EXPECT_EQ(listed["dangling"].second, PLUGIN_ITEM_LINK);
}

TEST_F(LocalListingLinksTest, LinkToAnAncestorIsMarked) {
    auto listed = List(root + "/real");
    ASSERT_EQ(listed.count("up"), 1u);
    EXPECT_NE(listed["up"].first & FA_DIR, 0u);
    EXPECT_EQ(listed["up"].second, PLUGIN_ITEM_LINK);
}

}  // namespace
}  // namespace kq::localfs
