// The local plugin's instances on a temporary tree: opening, directory changes and their text
// rules, listings (symbolic links included) and their sharing, directory creation, and plugin
// 0's record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kq/fs.h"
#include "localfs/LocalPlugin.h"
#include "plugins/PluginTable.h"
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

    // name -> (attributes, reserved11) of a listing of the instance's directory.
    std::map<std::string, std::pair<uint32_t, uint32_t>> List(PluginHandle from) {
        std::map<std::string, std::pair<uint32_t, uint32_t>> listed;
        PluginItem* items = nullptr;
        int32_t count = 0;
        if (FS_ZFindFiles(from, &items, &count, 0) != 0) return listed;
        for (int32_t i = 0; i < count; ++i) {
            listed[items[i].name] = {items[i].attributes, items[i].reserved11};
        }
        FS_ZFindClose(from, items, count);
        return listed;
    }

    kq::test::TempFolder temp{"kq-localfs"};
    std::string root, work;
    PluginHandle handle = 0;
};

TEST_F(LocalBrowseTest, OpenTakesTheCurrentDirectoryAndKeepsTheOwner) {
    char cwd[FS_MAX_PATH];
    ASSERT_EQ(FsGetCwd(cwd), 0);
    int panel = 0;
    const PluginHandle other = FS_ZOpenPlugin(0, 0, &panel);
    EXPECT_STREQ(FS_ZGetDirectory(other), cwd);
    EXPECT_EQ(reinterpret_cast<Instance*>(other)->owner, &panel);
    EXPECT_EQ(FS_ZClosePlugin(other), 0);
    // Changing directory leaves the process's current directory alone.
    ASSERT_EQ(FS_ZSetDirectory(handle, work.c_str(), 0), 0);
    ASSERT_EQ(FS_ZSetDirectory(handle, "sub", 0), 0);
    EXPECT_EQ(fs::current_path(), cwd);
}

// With a drive number the instance stays where it is if that lies on the drive, else goes to
// the drive's mount point; a number past the list keeps the current directory.
TEST_F(LocalBrowseTest, OpenWithADrive) {
    const fs::path saved = fs::current_path();
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
    fs::current_path(saved);
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
        {"@/work/sub", "..", "@/work", 0},
        {"@/work", "sub", "@/work/sub", 0},
        {"@/work/sub", "../sub/.", "@/work/sub", 0},
        {"@/work/sub", "@/work", "@/work", 0},
        {"@/work", "NOSUCH", "@/work/NOSUCH", -1},  // a missing name is appended
        {"@/work/", "NOSUCH", "@/work/NOSUCH", -1},
        {"@/work", "@/gone/deeper", "@/gone/deeper", -1},
        {"@/gone/deeper/still", "..", "@/gone/deeper", -1},  // from a missing tree: cut
        {"@/work", "", "@/work", -1},
        {"@/work", "file.txt", "@/work/file.txt", -1},
        {"@/work", "\\TMP", "\\TMP", -1},
        {"@/work", longName.c_str(), "@/work", -1},  // too long for the buffer
        {"/", "..", "/", 0},
        {"/kq-no-such-directory", "..", "/", 0},
        {"x/kq-missing", "../../kq-missing-too", "", -1},  // a cut leaving one character
        {"", "..", "", 0},
        {"", "tmp", "/tmp", -1},
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
    Place(work);
    EXPECT_EQ(FS_ZSetDirectory(handle, nullptr, 0), -1);
    EXPECT_EQ(Directory(), work);
}

TEST_F(LocalBrowseTest, ListingFillsTheItems) {
    Place(work);
    PluginItem* items = nullptr;
    int32_t count = 0;
    ASSERT_EQ(FS_ZFindFiles(handle, &items, &count, 0), 0);
    ASSERT_EQ(count, 3);
    std::map<std::string, const PluginItem*> byName;
    for (int32_t i = 0; i < count; ++i) {
        const PluginItem& item = items[i];
        byName[item.name] = &item;
        EXPECT_EQ(item.size, sizeof(PluginItem));
        EXPECT_EQ(item.flags + item.secondSize + item.extraCount, 0u);
        ASSERT_TRUE(item.text1 != nullptr && item.text2 != nullptr);
        EXPECT_STREQ(item.text1, "");
        EXPECT_STREQ(item.text2, "");
    }
    ASSERT_EQ(byName.count("file.txt") + byName.count(".."), 2u);
    EXPECT_EQ(byName["file.txt"]->fileSize, 5u);
    EXPECT_EQ(byName["file.txt"]->attributes & FA_DIR, 0u);
    EXPECT_NE(byName["file.txt"]->modified, 0);
    EXPECT_NE(byName[".."]->attributes & FA_DIR, 0u);
    EXPECT_EQ(FS_ZFindClose(handle, items, count), 0);

    Place("/");
    EXPECT_EQ(List(handle).count(".."), 0u);
    Place(root + "/gone");
    count = 7;
    EXPECT_EQ(FS_ZFindFiles(handle, &items, &count, 0), -1);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FS_ZFindClose(handle, nullptr, 5), 0);
    PluginItem none{};
    EXPECT_EQ(FS_ZFindClose(handle, &none, 0), 0);
    // Extras are freed with the items (leaks show under the sanitizers).
    items = static_cast<PluginItem*>(std::calloc(1, sizeof(PluginItem)));
    items[0].name = strdup("x");
    items[0].extraCount = 1;
    items[0].extraStrings = static_cast<char**>(std::calloc(1, sizeof(char*)));
    items[0].extraStrings[0] = strdup("a");
    items[0].extraBlock = std::malloc(16);
    EXPECT_EQ(FS_ZFindClose(handle, items, 1), 0);
}

// A link to a directory is listed as a directory (a panel can enter it); every link is marked
// PLUGIN_ITEM_LINK (a tree walk counts it as itself and never descends through it).
TEST_F(LocalBrowseTest, SymbolicLinksAreListedAsTheirTargetsAndMarked) {
    for (const auto& [target, link] : {std::pair{"sub", "toDirectory"},
                                       {"..", "sub/up"},
                                       {"file.txt", "toFile"},
                                       {"missing", "dangling"}}) {
        ASSERT_EQ(::symlink(target, (work + "/" + link).c_str()), 0);
    }
    Place(work);
    const auto listed = List(handle);
    using Listed = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(listed.at("toDirectory"), Listed(FA_DIR, PLUGIN_ITEM_LINK));
    EXPECT_EQ(listed.at("toFile"), Listed(FA_ARCHIVE, PLUGIN_ITEM_LINK));
    EXPECT_EQ(listed.at("dangling"), Listed(FA_ARCHIVE, PLUGIN_ITEM_LINK));
    EXPECT_EQ(listed.at("sub"), Listed(FA_DIR, 0));
    EXPECT_EQ(listed.at("file.txt"), Listed(FA_ARCHIVE, 0));
    EXPECT_EQ(listed.at("..").second, 0u);
    Place(work + "/sub");
    EXPECT_EQ(List(handle).at("up"), Listed(FA_DIR, PLUGIN_ITEM_LINK));
}

TEST_F(LocalBrowseTest, CreateDirectory) {
    Place(work);
    const std::pair<std::string, int32_t> cases[] = {
        {root + "/absolute", 0}, {"relative", 0}, {"sub/inner", 0}, {"", 0}, {"sub", -1},
        {"gone/new", -1}};
    for (const auto& [name, result] : cases) {
        EXPECT_EQ(FS_ZCreateDirectory(handle, name.c_str(), 0), result) << name;
    }
    EXPECT_EQ(FS_ZCreateDirectory(handle, nullptr, 0), 0);
    Place(work + "/");
    EXPECT_EQ(FS_ZCreateDirectory(handle, "fresh", 0), 0);  // no second slash
    for (const std::string& made :
         {root + "/absolute", work + "/relative", work + "/sub/inner", work + "/fresh"}) {
        EXPECT_TRUE(fs::is_directory(made)) << made;
    }
    EXPECT_FALSE(fs::exists(work + "/gone"));
}

TEST_F(LocalBrowseTest, TheInternalRecordCarriesTheLocalEntryPoints) {
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
    EXPECT_EQ(entry.ZProcessInput, &FS_ZProcessInput);
    ASSERT_NE(entry.ZGetFlags, nullptr);
    EXPECT_EQ(entry.ZGetFlags(handle), PLUGIN_FLAG_LOCAL_PATHS);
    EXPECT_NE(entry.ZGetKeyBar, nullptr);
    EXPECT_NE(entry.ZCompare, nullptr);
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
    EXPECT_EQ(counts[0], counts[1]);
    EXPECT_EQ(FS_ZFindClose(handle, items[0], counts[0]), 0);
    // Still held by the second reader: its names are readable (ASan would see a freed block).
    std::map<std::string, int> names;
    for (int32_t i = 0; i < counts[1]; ++i) names[items[1][i].name] = i;
    EXPECT_EQ(names.count("file.txt"), 1u);

    ::usleep(20000);  // a new name changes the directory's modification and change times
    temp.WriteFile("work/added.txt", "x");
    ASSERT_EQ(FS_ZFindFiles(handle, &items[2], &counts[2], 0), 0);
    EXPECT_NE(items[2], items[1]);
    EXPECT_EQ(counts[2], counts[1] + 1);
    FS_ZFindClose(second, items[1], counts[1]);
    FS_ZFindClose(handle, items[2], counts[2]);
    FS_ZClosePlugin(second);
    EXPECT_EQ(List(handle).size(), 4u);
}

}  // namespace
}  // namespace kq::localfs
