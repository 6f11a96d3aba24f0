// The local plugin's instances on a temporary tree: opening, directory changes and their text
// rules, listings, directory creation, and plugin 0's record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kq/fs.h"
#include "localfs/LocalPlugin.h"
#include "plugins/PluginTable.h"

namespace kq::localfs {
namespace {

namespace fs = std::filesystem;

class LocalBrowseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
        std::string pattern = (fs::temp_directory_path() / "kq-localfs-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        work = root + "/work";
        fs::create_directories(work + "/sub");
        std::ofstream(work + "/file.txt") << "12345";
        handle = FS_ZOpenPlugin(0, 0, nullptr);
        ASSERT_NE(handle, 0);
    }
    void TearDown() override {
        FS_ZClosePlugin(handle);
        std::error_code ignored;
        fs::remove_all(root, ignored);
        FS_ZTerminate(0);
    }

    // Puts the instance's text at any value, as a sequence of refused changes could leave it.
    void Place(const std::string& text) {
        std::strcpy(reinterpret_cast<Instance*>(handle)->directory, text.c_str());
    }
    std::string Directory() const { return FS_ZGetDirectory(handle); }

    std::vector<std::string> Names() {
        PluginItem* items = nullptr;
        int32_t count = 0;
        std::vector<std::string> names;
        if (FS_ZFindFiles(handle, &items, &count, 0) != 0) return names;
        for (int32_t i = 0; i < count; ++i) names.emplace_back(items[i].name);
        FS_ZFindClose(handle, items, count);
        return names;
    }

    std::string root;
    std::string work;
    PluginHandle handle = 0;
};

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& listed : names) {
        if (listed == name) return true;
    }
    return false;
}

// ---- Opening ----

TEST_F(LocalBrowseTest, OpenTakesTheCurrentDirectoryAndKeepsTheOwner) {
    char cwd[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(cwd), 0);
    int panel = 0;
    const PluginHandle other = FS_ZOpenPlugin(0, 0, &panel);
    EXPECT_STREQ(FS_ZGetDirectory(other), cwd);
    EXPECT_EQ(reinterpret_cast<Instance*>(other)->owner, &panel);
    EXPECT_EQ(FS_ZClosePlugin(other), 0);
}

TEST_F(LocalBrowseTest, OpenWithADriveStaysWhenTheCurrentDirectoryLiesOnItElseGoesToItsRoot) {
    char saved[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(saved), 0);
    char* list = FsGetDrives();
    ASSERT_NE(list, nullptr);
    std::vector<std::string> drives;
    for (const char* drive = list; *drive != '\0'; drive += std::strlen(drive) + 1) {
        drives.emplace_back(drive);
    }
    FsFreeDrives(list);
    ASSERT_FALSE(drives.empty());
    ASSERT_EQ(drives[0], "/");
    for (size_t i = 0; i < drives.size(); ++i) {
        // At the mount point itself: stays there.
        if (FsSetCwd(drives[i].c_str()) != 0) continue;
        const PluginHandle at = FS_ZOpenPlugin(0, static_cast<uint32_t>(i + 1), nullptr);
        EXPECT_EQ(std::string(FS_ZGetDirectory(at)), drives[i]);
        FS_ZClosePlugin(at);
        if (i == 0) continue;
        // From "/", which lies on the first drive only: goes to the drive's mount point.
        ASSERT_EQ(FsSetCwd("/"), 0);
        const PluginHandle moved = FS_ZOpenPlugin(0, static_cast<uint32_t>(i + 1), nullptr);
        EXPECT_EQ(std::string(FS_ZGetDirectory(moved)), drives[i]);
        FS_ZClosePlugin(moved);
    }
    // A start value past the list keeps the current directory.
    ASSERT_EQ(FsSetCwd("/"), 0);
    const PluginHandle beyond = FS_ZOpenPlugin(0, 100000, nullptr);
    EXPECT_STREQ(FS_ZGetDirectory(beyond), "/");
    FS_ZClosePlugin(beyond);
    ASSERT_EQ(FsSetCwd(saved), 0);
}

TEST_F(LocalBrowseTest, OpeningAndChangingDirectoryLeaveTheProcessCurrentDirectoryAlone) {
    char before[FS_MAX_PATH];
    char after[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(before), 0);
    ASSERT_EQ(FS_ZSetDirectory(handle, work.c_str(), 0), 0);
    ASSERT_EQ(FS_ZSetDirectory(handle, "sub", 0), 0);
    ASSERT_EQ(FsGetCwd(after), 0);
    EXPECT_STREQ(before, after);
}

// ---- Directory changes ----

struct SetDirectoryCase {
    const char* name;
    const char* from;  // relative to the temporary root; "/" is the root of the tree
    const char* path;  // "@" stands for the temporary root
    const char* expected;
    int32_t result;
};

TEST_F(LocalBrowseTest, SetDirectoryResolvesOrAdjustsTheText) {
    const SetDirectoryCase cases[] = {
        {"dot-dot from a subdirectory", "/work/sub", "..", "/work", 0},
        {"relative subdirectory", "/work", "sub", "/work/sub", 0},
        {"relative with dot-dot inside", "/work/sub", "../sub/.", "/work/sub", 0},
        {"absolute", "/work/sub", "@/work", "/work", 0},
        {"missing subdirectory appended", "/work", "NOSUCH", "/work/NOSUCH", -1},
        {"missing appended without a second slash", "/work/", "NOSUCH", "/work/NOSUCH", -1},
        {"missing absolute replaces", "/work", "@/gone/deeper", "/gone/deeper", -1},
        {"dot-dot from a missing tree cuts", "/gone/deeper/still", "..", "/gone/deeper", -1},
        {"empty path changes nothing", "/work", "", "/work", -1},
        {"a file is no directory", "/work", "file.txt", "/work/file.txt", -1},
    };
    for (const auto& c : cases) {
        Place(root + c.from);
        const std::string path = c.path[0] == '@' ? root + (c.path + 1) : std::string(c.path);
        EXPECT_EQ(FS_ZSetDirectory(handle, path.c_str(), 0), c.result) << c.name;
        EXPECT_EQ(Directory(), root + c.expected) << c.name;
    }
}

TEST_F(LocalBrowseTest, DotDotFromTheRootStaysAtTheRootAndSucceeds) {
    Place("/");
    EXPECT_EQ(FS_ZSetDirectory(handle, "..", 0), 0);
    EXPECT_EQ(Directory(), "/");
}

TEST_F(LocalBrowseTest, RefusedDotDotOnAShortTextLeavesItEmptyAndOnAnEmptyTextSucceeds) {
    Place("/kq-no-such-directory-at-all");
    // The parent "/" exists, so the change itself succeeds.
    EXPECT_EQ(FS_ZSetDirectory(handle, "..", 0), 0);
    EXPECT_EQ(Directory(), "/");
    // A refused ".." whose cut leaves one character leaves nothing.
    Place("x/kq-missing");
    EXPECT_EQ(FS_ZSetDirectory(handle, "../../kq-missing-too", 0), -1);
    EXPECT_EQ(Directory(), "");
    // From the empty text ".." changes nothing and succeeds; a name is appended after a slash.
    EXPECT_EQ(FS_ZSetDirectory(handle, "..", 0), 0);
    EXPECT_EQ(Directory(), "");
    EXPECT_EQ(FS_ZSetDirectory(handle, "tmp", 0), -1);
    EXPECT_EQ(Directory(), "/tmp");
    // An absolute path still resolves.
    Place("");
    EXPECT_EQ(FS_ZSetDirectory(handle, work.c_str(), 0), 0);
    EXPECT_EQ(Directory(), work);
}

TEST_F(LocalBrowseTest, MissingPathWithBackslashReplacesTheText) {
    Place(work);
    EXPECT_EQ(FS_ZSetDirectory(handle, "\\TMP", 0), -1);
    EXPECT_EQ(Directory(), "\\TMP");
}

TEST_F(LocalBrowseTest, NullPathIsRefusedWithoutChange) {
    Place(work);
    EXPECT_EQ(FS_ZSetDirectory(handle, nullptr, 0), -1);
    EXPECT_EQ(Directory(), work);
}

TEST_F(LocalBrowseTest, PathTooLongForTheBufferIsRefused) {
    Place(work);
    const std::string longName(600, 'a');
    EXPECT_EQ(FS_ZSetDirectory(handle, longName.c_str(), 0), -1);
    EXPECT_EQ(Directory(), work);
}

// ---- Listings ----

TEST_F(LocalBrowseTest, ListingFillsTheItemsAndListsDotDot) {
    Place(work);
    PluginItem* items = nullptr;
    int32_t count = 0;
    ASSERT_EQ(FS_ZFindFiles(handle, &items, &count, 0), 0);
    ASSERT_EQ(count, 3);
    bool sawFile = false;
    bool sawDotDot = false;
    for (int32_t i = 0; i < count; ++i) {
        const PluginItem& item = items[i];
        EXPECT_EQ(item.size, sizeof(PluginItem));
        EXPECT_EQ(item.flags, 0u);
        EXPECT_EQ(item.secondSize, 0u);
        EXPECT_EQ(item.extraCount, 0u);
        ASSERT_NE(item.text1, nullptr);
        ASSERT_NE(item.text2, nullptr);
        EXPECT_STREQ(item.text1, "");
        EXPECT_STREQ(item.text2, "");
        if (std::strcmp(item.name, "file.txt") == 0) {
            sawFile = true;
            EXPECT_EQ(item.fileSize, 5u);
            EXPECT_EQ(item.attributes & FA_DIR, 0u);
            EXPECT_NE(item.modified, 0);
        }
        if (std::strcmp(item.name, "..") == 0) {
            sawDotDot = true;
            EXPECT_NE(item.attributes & FA_DIR, 0u);
        }
    }
    EXPECT_TRUE(sawFile);
    EXPECT_TRUE(sawDotDot);
    EXPECT_EQ(FS_ZFindClose(handle, items, count), 0);
}

TEST_F(LocalBrowseTest, RootListsNoDotDot) {
    Place("/");
    const auto names = Names();
    ASSERT_FALSE(names.empty());
    EXPECT_FALSE(Contains(names, ".."));
}

TEST_F(LocalBrowseTest, MissingDirectoryListsNothing) {
    Place(root + "/gone");
    PluginItem* items = nullptr;
    int32_t count = 7;
    EXPECT_EQ(FS_ZFindFiles(handle, &items, &count, 0), -1);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(LocalBrowseTest, FindCloseWithNothingDoesNothing) {
    EXPECT_EQ(FS_ZFindClose(handle, nullptr, 5), 0);
    PluginItem item{};
    EXPECT_EQ(FS_ZFindClose(handle, &item, 0), 0);
}

TEST_F(LocalBrowseTest, FindCloseFreesExtras) {
    auto* items = static_cast<PluginItem*>(std::calloc(1, sizeof(PluginItem)));
    items[0].name = strdup("x");
    items[0].extraCount = 2;
    items[0].extraStrings = static_cast<char**>(std::calloc(2, sizeof(char*)));
    items[0].extraStrings[0] = strdup("a");
    items[0].extraStrings[1] = strdup("b");
    items[0].extraBlock = std::malloc(16);
    // Leaks show under the sanitizers; here it must simply not crash.
    EXPECT_EQ(FS_ZFindClose(handle, items, 1), 0);
}

// ---- Directory creation ----

TEST_F(LocalBrowseTest, CreateDirectoryWithAbsoluteRelativeAndEmptyNames) {
    Place(work);
    struct Case {
        const char* name;
        std::string argument;
        std::string created;  // empty: nothing is created
        int32_t result;
    };
    const Case cases[] = {
        {"absolute", root + "/absolute", root + "/absolute", 0},
        {"relative", "relative", work + "/relative", 0},
        {"relative nested", "sub/inner", work + "/sub/inner", 0},
        {"empty", "", "", 0},
        {"existing", "sub", "", -1},
        {"missing parent", "gone/new", "", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FS_ZCreateDirectory(handle, c.argument.c_str(), 0), c.result) << c.name;
        if (!c.created.empty()) {
            EXPECT_TRUE(fs::is_directory(c.created)) << c.name;
        }
    }
    EXPECT_FALSE(fs::exists(work + "/gone"));
    EXPECT_EQ(FS_ZCreateDirectory(handle, nullptr, 0), 0);
}

TEST_F(LocalBrowseTest, CreateDirectoryAfterTrailingSlashAddsNoSecondOne) {
    Place(work + "/");
    EXPECT_EQ(FS_ZCreateDirectory(handle, "fresh", 0), 0);
    EXPECT_TRUE(fs::is_directory(work + "/fresh"));
}

// ---- Plugin 0's record ----

TEST_F(LocalBrowseTest, InternalRecordCarriesTheLocalEntryPoints) {
    const PluginEntry entry = kq::plugins::InternalPluginEntry();
    EXPECT_EQ(entry.ZInitialise, &FS_ZInitialise);
    EXPECT_EQ(entry.ZTerminate, &FS_ZTerminate);
    EXPECT_EQ(entry.ZOpenPlugin, &FS_ZOpenPlugin);
    EXPECT_EQ(entry.ZClosePlugin, &FS_ZClosePlugin);
    EXPECT_EQ(entry.ZSetDirectory, &FS_ZSetDirectory);
    EXPECT_EQ(entry.ZGetDirectory, &FS_ZGetDirectory);
    EXPECT_EQ(entry.ZFindFiles, &FS_ZFindFiles);
    EXPECT_EQ(entry.ZFindClose, &FS_ZFindClose);
    EXPECT_EQ(entry.ZCreateDirectory, &FS_ZCreateDirectory);
    ASSERT_NE(entry.ZGetFlags, nullptr);
    EXPECT_EQ(entry.ZGetFlags(handle), PLUGIN_FLAG_LOCAL_PATHS);
    EXPECT_NE(entry.ZGetKeyBar, nullptr);
    EXPECT_NE(entry.ZCompare, nullptr);
}

// Both panels read one directory within moments of each other: the second reader gets the
// first one's block, which lives until both have let go.
TEST_F(LocalBrowseTest, TwoReadersOfAnUnchangedDirectoryShareOneListing) {
    const PluginHandle second = FS_ZOpenPlugin(0, 0, nullptr);
    ASSERT_EQ(FS_ZSetDirectory(handle, work.c_str(), 0), 0);
    ASSERT_EQ(FS_ZSetDirectory(second, work.c_str(), 0), 0);
    PluginItem* first = nullptr;
    PluginItem* other = nullptr;
    int32_t firstCount = 0;
    int32_t otherCount = 0;
    ASSERT_EQ(FS_ZFindFiles(handle, &first, &firstCount, 0), 0);
    ASSERT_EQ(FS_ZFindFiles(second, &other, &otherCount, 0), 0);
    EXPECT_EQ(first, other);
    EXPECT_EQ(firstCount, otherCount);
    EXPECT_EQ(FS_ZFindClose(handle, first, firstCount), 0);
    // Still held by the second reader: its names are readable (ASan would see a freed block).
    std::vector<std::string> names;
    for (int32_t i = 0; i < otherCount; ++i) names.emplace_back(other[i].name);
    EXPECT_NE(std::find(names.begin(), names.end(), "file.txt"), names.end());
    EXPECT_EQ(FS_ZFindClose(second, other, otherCount), 0);
    FS_ZClosePlugin(second);
}

TEST_F(LocalBrowseTest, ADirectoryChangedSinceTheFirstReadIsReadAgain) {
    const PluginHandle second = FS_ZOpenPlugin(0, 0, nullptr);
    ASSERT_EQ(FS_ZSetDirectory(handle, work.c_str(), 0), 0);
    ASSERT_EQ(FS_ZSetDirectory(second, work.c_str(), 0), 0);
    PluginItem* first = nullptr;
    int32_t firstCount = 0;
    ASSERT_EQ(FS_ZFindFiles(handle, &first, &firstCount, 0), 0);
    // A new name changes the directory's modification and change times.
    struct timespec pause {
        0, 20000000
    };
    nanosleep(&pause, nullptr);
    std::ofstream(work + "/added.txt") << "x";
    PluginItem* other = nullptr;
    int32_t otherCount = 0;
    ASSERT_EQ(FS_ZFindFiles(second, &other, &otherCount, 0), 0);
    EXPECT_NE(first, other);
    EXPECT_EQ(otherCount, firstCount + 1);
    FS_ZFindClose(handle, first, firstCount);
    FS_ZFindClose(second, other, otherCount);
    FS_ZClosePlugin(second);
}

TEST_F(LocalBrowseTest, AListingIsNotHandedOutAgainOnceItsLastReaderLetGo) {
    PluginItem* first = nullptr;
    int32_t firstCount = 0;
    ASSERT_EQ(FS_ZFindFiles(handle, &first, &firstCount, 0), 0);
    std::vector<std::string> before;
    for (int32_t i = 0; i < firstCount; ++i) before.emplace_back(first[i].name);
    FS_ZFindClose(handle, first, firstCount);
    PluginItem* again = nullptr;
    int32_t againCount = 0;
    ASSERT_EQ(FS_ZFindFiles(handle, &again, &againCount, 0), 0);
    std::vector<std::string> after;
    for (int32_t i = 0; i < againCount; ++i) after.emplace_back(again[i].name);
    EXPECT_EQ(before, after);
    FS_ZFindClose(handle, again, againCount);
}

}  // namespace
}  // namespace kq::localfs
