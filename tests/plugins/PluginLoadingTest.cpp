// PluginsLoad, PluginGet and PluginsFree with real shared objects in temporary plugin trees:
// numbering, the exact log on standard output, hidden entries, failing, unloadable and
// refusing plugins.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kq/fs.h"
#include "kq/plugin.h"
#include "plugins/LocalCompare.h"
#include "plugins/PluginTable.h"

namespace kq::plugins {
namespace {

namespace fs = std::filesystem;

const char* const kInternalLog = " * Initializing internal 'plugins': [FS] ok\n";

enum class Kind { kEmpty, kFailing, kRefusing, kRecording, kNotALibrary };

const char* BuiltPlugin(Kind kind) {
    switch (kind) {
        case Kind::kEmpty:
            return KQ_PLUGIN_EMPTY;
        case Kind::kFailing:
            return KQ_PLUGIN_FAILING;
        case Kind::kRefusing:
            return KQ_PLUGIN_REFUSING;
        case Kind::kRecording:
            return KQ_PLUGIN_RECORDING;
        case Kind::kNotALibrary:
            return nullptr;
    }
    return nullptr;
}

struct LoadResult {
    int result = 0;
    std::string log;
};

LoadResult Load(const std::string& directory) {
    ::testing::internal::CaptureStdout();
    const int result = PluginsLoad(directory.c_str());
    return {result, ::testing::internal::GetCapturedStdout()};
}

LoadResult Free() {
    ::testing::internal::CaptureStdout();
    const int result = PluginsFree();
    return {result, ::testing::internal::GetCapturedStdout()};
}

int32_t CountThroughPluginGet() {
    PluginEntry entry{};
    int32_t number = 0;
    while (PluginGet(number, &entry) == 0) ++number;
    return number;
}

bool AllSlotsNull(const PluginEntry& entry) {
    const PluginEntry empty{};
    return std::memcmp(&entry, &empty, sizeof entry) == 0;
}

int32_t ReturnsSeven(PluginInfo*, intptr_t) {
    return 7;
}

class PluginLoadingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EmptyTable();
        char pattern[] = "/tmp/kq-plugins-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }

    void TearDown() override {
        EmptyTable();
        SetInternalPluginEntry(std::nullopt);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    static void EmptyTable() {
        ::testing::internal::CaptureStdout();
        for (int attempt = 0; attempt < 10 && PluginsFree() != 0; ++attempt) {
        }
        ::testing::internal::GetCapturedStdout();
    }

    // Places a copy of a test plugin (its own file, so its own instance once loaded) at the
    // relative path; a library that the scan must load is remembered with its kind.
    std::string Place(Kind kind, const std::string& relative, bool expectLoaded = true) {
        const fs::path path = fs::path(root_) / relative;
        fs::create_directories(path.parent_path());
        if (const char* built = BuiltPlugin(kind)) {
            fs::copy_file(built, path, fs::copy_options::overwrite_existing);
        } else {
            std::ofstream(path) << "not a library\n";
        }
        if (expectLoaded) expected_[path.string()] = kind;
        return path.string();
    }

    // The log the scan must write: entries in the order the file-system layer lists them
    // (hidden and system ones left out), sub-directories where they are met.
    void ExpectedLog(const std::string& directory, int32_t& number, std::string& log) const {
        const FsSearch search = FsFindInit(directory.c_str(), "*", 87);
        int count = 0;
        const FsFindEntry* entries = FsFind(search, 0, &count);
        for (int i = 0; entries != nullptr && i < count; ++i) {
            const std::string name = entries[i].name;
            if (name == "." || name == "..") continue;
            const std::string path = directory + "/" + name;
            if (entries[i].attributes & FA_DIR) {
                ExpectedLog(path, number, log);
                continue;
            }
            const auto found = expected_.find(path);
            if (found == expected_.end()) continue;
            log += " * Loading plugin " + path + ": ";
            switch (found->second) {
                case Kind::kEmpty:
                case Kind::kRefusing:
                    log += "ok\n";
                    ++number;
                    break;
                case Kind::kRecording:
                    log += "[recording " + std::to_string(number) +
                           "] ZInitialise size=24 name=" + path + " reserved=0\nok\n";
                    ++number;
                    break;
                case Kind::kFailing:
                    log += "Initialisation error 5!\n";
                    break;
                case Kind::kNotALibrary:
                    log += "Can't load module!\n";
                    break;
            }
        }
        FsFindClose(search);
    }

    std::string root_;
    std::map<std::string, Kind> expected_;
};

TEST_F(PluginLoadingTest, EmptyDirectoryRegistersOnlyTheInternalPlugin) {
    const LoadResult loaded = Load(root_);
    EXPECT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.log, kInternalLog);
    EXPECT_EQ(CountThroughPluginGet(), 1);
}

TEST_F(PluginLoadingTest, MissingDirectoryIsNotAnError) {
    const LoadResult loaded = Load(root_ + "/missing");
    EXPECT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.log, kInternalLog);
    EXPECT_EQ(CountThroughPluginGet(), 1);
}

TEST_F(PluginLoadingTest, InternalPluginHasTheLocalCompare) {
    Load(root_);
    PluginEntry entry{};
    ASSERT_EQ(PluginGet(0, &entry), 0);
    EXPECT_EQ(entry.ZCompare, &FS_ZCompare);
}

TEST_F(PluginLoadingTest, TreeIsScannedDepthFirstSkippingHiddenEntries) {
    Place(Kind::kRecording, "a.so");
    Place(Kind::kRecording, "Mixed.Dll");
    Place(Kind::kEmpty, "backup.dll.bak");
    Place(Kind::kRecording, "sub/c.so");
    Place(Kind::kRecording, "sub/deeper/d.so");
    Place(Kind::kRecording, "sub/deeper/e.so");
    Place(Kind::kRecording, "sub/f.so");
    Place(Kind::kRecording, "other/g.DLL");
    Place(Kind::kRecording, "other/libversioned.so.1");
    // Never loaded: hidden files, hidden directories, names without ".DLL" or ".SO", a fifo.
    Place(Kind::kRecording, ".hidden.so", false);
    Place(Kind::kRecording, ".hiddendir/inner.so", false);
    Place(Kind::kRecording, "sub/.x/deep.so", false);
    Place(Kind::kRecording, "plugin.dl", false);
    Place(Kind::kRecording, "plugin", false);
    Place(Kind::kNotALibrary, "notes.txt", false);
    ASSERT_EQ(mkfifo((root_ + "/pipe.so").c_str(), 0600), 0);

    const LoadResult loaded = Load(root_);
    EXPECT_EQ(loaded.result, 0);

    int32_t number = 1;
    std::string log = kInternalLog;
    ExpectedLog(root_, number, log);
    EXPECT_EQ(loaded.log, log);
    EXPECT_EQ(number, 10);
    EXPECT_EQ(CountThroughPluginGet(), 10);

    // Depth first: the libraries of one sub-directory come one after another.
    std::vector<std::string> order;
    for (size_t at = loaded.log.find("plugin "); at != std::string::npos;
         at = loaded.log.find("plugin ", at + 1)) {
        order.push_back(loaded.log.substr(at + 7, loaded.log.find(':', at) - at - 7));
    }
    ASSERT_EQ(order.size(), 9u);
    for (const std::string& prefix : {root_ + "/sub/", root_ + "/sub/deeper/", root_ + "/other/"}) {
        std::vector<size_t> positions;
        for (size_t i = 0; i < order.size(); ++i) {
            if (order[i].rfind(prefix, 0) == 0) positions.push_back(i);
        }
        ASSERT_FALSE(positions.empty());
        EXPECT_EQ(positions.back() - positions.front() + 1, positions.size()) << prefix;
    }
}

TEST_F(PluginLoadingTest, FailingPluginIsUnloadedAndTheNextTakesItsNumber) {
    const std::string failing = Place(Kind::kFailing, "fail.so");
    const std::string recording = Place(Kind::kRecording, "rec.so");
    const LoadResult loaded = Load(root_);
    EXPECT_EQ(loaded.result, 0);
    EXPECT_NE(loaded.log.find(" * Loading plugin " + failing + ": Initialisation error 5!\n"),
              std::string::npos)
        << loaded.log;
    EXPECT_NE(loaded.log.find("[recording 1] ZInitialise size=24 name=" + recording +
                              " reserved=0\nok\n"),
              std::string::npos)
        << loaded.log;
    int32_t number = 1;
    std::string log = kInternalLog;
    ExpectedLog(root_, number, log);
    EXPECT_EQ(loaded.log, log);
    EXPECT_EQ(CountThroughPluginGet(), 2);
    // Unloaded again: the system no longer has it.
    EXPECT_EQ(dlopen(failing.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(PluginLoadingTest, DirectoryEndingInASlashGetsNoSecondSlash) {
    const std::string empty = Place(Kind::kEmpty, "empty.so");
    EXPECT_EQ(Load(root_ + "/").log,
              std::string(kInternalLog) + " * Loading plugin " + empty + ": ok\n");
}

TEST_F(PluginLoadingTest, PathsLongerThanAPathBufferAreSkipped) {
    const std::string part(200, 'd');
    const std::string deep = part + "/" + part + "/" + part;
    Place(Kind::kEmpty, deep + "/far.so", false);
    const std::string near = Place(Kind::kEmpty, part + "/near.so");
    const std::string log = Load(root_).log;
    EXPECT_NE(log.find(" * Loading plugin " + near + ": ok\n"), std::string::npos) << log;
    // Said, not silent.
    EXPECT_NE(log.find(" * Skipping " + root_ + "/" + deep + ": its path is longer than 511"),
              std::string::npos)
        << log;
    EXPECT_EQ(CountThroughPluginGet(), 2);
}

TEST_F(PluginLoadingTest, FileThatIsNoLibraryCannotBeLoaded) {
    const std::string junk = Place(Kind::kNotALibrary, "junk.so");
    const LoadResult loaded = Load(root_);
    EXPECT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.log,
              std::string(kInternalLog) + " * Loading plugin " + junk + ": Can't load module!\n");
    EXPECT_EQ(CountThroughPluginGet(), 1);
}

TEST_F(PluginLoadingTest, LibraryExportingNothingGetsTwentyNullSlots) {
    const std::string empty = Place(Kind::kEmpty, "empty.so");
    const LoadResult loaded = Load(root_);
    EXPECT_EQ(loaded.log, std::string(kInternalLog) + " * Loading plugin " + empty + ": ok\n");
    PluginEntry entry{};
    ASSERT_EQ(PluginGet(1, &entry), 0);
    EXPECT_TRUE(AllSlotsNull(entry));
}

TEST_F(PluginLoadingTest, SlotsHoldExactlyTheExportedEntryPoints) {
    Place(Kind::kRecording, "rec.so");
    Load(root_);
    PluginEntry entry{};
    ASSERT_EQ(PluginGet(1, &entry), 0);
    EXPECT_NE(entry.ZInitialise, nullptr);
    EXPECT_NE(entry.ZTerminate, nullptr);
    EXPECT_NE(entry.ZGetFlags, nullptr);
    EXPECT_NE(entry.ZGetDirectory, nullptr);
    EXPECT_NE(entry.ZCompare, nullptr);
    EXPECT_EQ(entry.ZGetFlags(0), PLUGIN_FLAG_LOCAL_PATHS);
    EXPECT_STREQ(entry.ZGetDirectory(0), "/recorded");
    // The other fifteen are null.
    PluginEntry rest = entry;
    rest.ZInitialise = nullptr;
    rest.ZTerminate = nullptr;
    rest.ZGetFlags = nullptr;
    rest.ZGetDirectory = nullptr;
    rest.ZCompare = nullptr;
    EXPECT_TRUE(AllSlotsNull(rest));
}

TEST_F(PluginLoadingTest, SecondLoadAppendsWithoutTheInternalPlugin) {
    const std::string first = Place(Kind::kEmpty, "one/a.so");
    const std::string second = Place(Kind::kRecording, "two/b.so");
    EXPECT_EQ(Load(root_ + "/one").log,
              std::string(kInternalLog) + " * Loading plugin " + first + ": ok\n");
    EXPECT_EQ(Load(root_ + "/two").log, " * Loading plugin " + second +
                                            ": [recording 2] ZInitialise size=24 name=" + second +
                                            " reserved=0\nok\n");
    EXPECT_EQ(CountThroughPluginGet(), 3);
}

TEST_F(PluginLoadingTest, InternalPluginFailingStopsBeforeTheScan) {
    Place(Kind::kRecording, "rec.so");
    PluginEntry internal{};
    internal.ZInitialise = ReturnsSeven;
    SetInternalPluginEntry(internal);
    const LoadResult loaded = Load(root_);
    EXPECT_EQ(loaded.result, -1);
    EXPECT_EQ(loaded.log,
              " * Initializing internal 'plugins': Internal plugin's number 0 initialisation "
              "error 7!\nTerminating.\n");
    // The record stays.
    EXPECT_EQ(CountThroughPluginGet(), 1);
}

TEST_F(PluginLoadingTest, InternalPluginIsInitialisedWithItsName) {
    static std::string seenName;
    static uint32_t seenSize = 0;
    static uint32_t seenNumber = 99;
    PluginEntry internal{};
    internal.ZInitialise = [](PluginInfo* info, intptr_t) -> int32_t {
        seenName = info->name;
        seenSize = info->size;
        seenNumber = info->number;
        return 0;
    };
    SetInternalPluginEntry(internal);
    EXPECT_EQ(Load(root_).log, kInternalLog);
    EXPECT_EQ(seenName, "INTERNAL");
    EXPECT_EQ(seenSize, sizeof(PluginInfo));
    EXPECT_EQ(seenNumber, 0u);
}

TEST_F(PluginLoadingTest, PluginGetRefusesNumbersOutsideTheTable) {
    Place(Kind::kEmpty, "a.so");
    Load(root_);
    PluginEntry sentinel{};
    sentinel.ZCompare = FS_ZCompare;
    for (const int32_t number : {2, 3, -1, INT32_MIN, INT32_MAX}) {
        PluginEntry entry = sentinel;
        EXPECT_EQ(PluginGet(number, &entry), -1) << number;
        EXPECT_EQ(std::memcmp(&entry, &sentinel, sizeof entry), 0) << number;
    }
    PluginEntry entry = sentinel;
    EXPECT_EQ(PluginGet(1, &entry), 0);
    EXPECT_TRUE(AllSlotsNull(entry));
}

TEST_F(PluginLoadingTest, PluginGetOnAnEmptyTableFails) {
    PluginEntry entry{};
    EXPECT_EQ(PluginGet(0, &entry), -1);
}

TEST_F(PluginLoadingTest, RefusedTerminationStopsAndTheNextCallResumes) {
    Place(Kind::kRecording, "one/rec.so");
    Place(Kind::kRefusing, "two/refusing.so");
    Place(Kind::kRecording, "three/rec.so");
    Load(root_ + "/one");
    Load(root_ + "/two");
    Load(root_ + "/three");
    ASSERT_EQ(CountThroughPluginGet(), 4);

    const LoadResult refused = Free();
    EXPECT_EQ(refused.result, 1);
    EXPECT_EQ(refused.log, "[recording 3] ZTerminate\n[refusing 2] ZTerminate refused\n");
    // Plugin 3 is gone; the refusing plugin and the ones below it stay callable.
    EXPECT_EQ(CountThroughPluginGet(), 3);
    PluginEntry entry{};
    ASSERT_EQ(PluginGet(1, &entry), 0);
    EXPECT_EQ(entry.ZGetFlags(0), PLUGIN_FLAG_LOCAL_PATHS);
    ASSERT_EQ(PluginGet(2, &entry), 0);
    EXPECT_NE(entry.ZTerminate, nullptr);

    const LoadResult resumed = Free();
    EXPECT_EQ(resumed.result, 0);
    EXPECT_EQ(resumed.log, "[refusing 2] ZTerminate\n[recording 1] ZTerminate\n");
    EXPECT_EQ(CountThroughPluginGet(), 0);
    EXPECT_EQ(PluginCount(), 0);
}

TEST_F(PluginLoadingTest, FreeingAnEmptyTableSucceeds) {
    EXPECT_EQ(Free().result, 0);
    EXPECT_EQ(PluginCount(), 0);
}

TEST_F(PluginLoadingTest, LoadingAfterFreeStartsAgainAtZero) {
    Load(root_);
    ASSERT_EQ(Free().result, 0);
    EXPECT_EQ(Load(root_).log, kInternalLog);
    EXPECT_EQ(CountThroughPluginGet(), 1);
}

}  // namespace
}  // namespace kq::plugins
