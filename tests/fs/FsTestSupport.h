// The file-system tests' fixture (a temporary folder, the current directory restored), listings
// read whole, and waiting for a copy.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kq/fs.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace kq::fs::test {

namespace stdfs = std::filesystem;
constexpr uint32_t kAll = 127;

class FsTest : public ::testing::Test {
  protected:
    FsTest() : cwd_(stdfs::current_path()) {}
    ~FsTest() override {
        std::error_code ignored;
        stdfs::current_path(cwd_, ignored);
    }
    const stdfs::path& Dir() const { return dir_.root(); }
    std::string Path(const std::string& name) const { return dir_.Path(name); }
    std::string WriteFile(const std::string& name, const std::string& content) const {
        return dir_.WriteFile(name, content);
    }
    std::string MakeDir(const std::string& name) const { return dir_.MakeFolder(name); }
    std::string MakeFifo(const std::string& name) const {
        EXPECT_EQ(::mkfifo(Path(name).c_str(), 0644), 0);
        return Path(name);
    }

  private:
    kq::test::TempFolder dir_{"kq-fs"};
    stdfs::path cwd_;
};

// A file's content, "<missing>" when it cannot be opened (never blocks on a fifo).
inline std::string Read(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return "<missing>";
    ::close(fd);
    return kq::testing::ReadFile(path);
}

struct Listed {
    std::string name;
    uint32_t attributes;
    uint64_t size;
    time_t created, modified, accessed;
};

// Every entry of a search, fetched maximum at a time, in listing order; duplicates kept.
inline std::vector<Listed> ListAll(const std::string& directory, const char* pattern, uint32_t mask,
                                   int maximum = 0) {
    std::vector<Listed> all;
    const FsSearch search = FsFindInit(directory.c_str(), pattern, mask);
    int count = -1;
    while (const FsFindEntry* e = FsFind(search, maximum, &count)) {
        if (maximum > 0) {
            EXPECT_LE(count, maximum);
        }
        for (int i = 0; i < count; ++i, ++e) {
            all.push_back({e->name, e->attributes, e->size, e->created, e->modified, e->accessed});
        }
    }
    FsFindClose(search);
    return all;
}

inline std::set<std::string> Names(const std::vector<Listed>& listing) {
    std::set<std::string> names;
    for (const Listed& entry : listing) names.insert(entry.name);
    return names;
}

inline std::map<std::string, Listed> ByName(const std::vector<Listed>& listing) {
    std::map<std::string, Listed> byName;
    for (const Listed& entry : listing) byName[entry.name] = entry;
    return byName;
}

inline int32_t LoadState(const FsCopyStatus& status) {
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(status.state)).load();
}

// The copy's final state. A hanging copy is left to the test's time limit.
inline int32_t WaitForCopy(const FsCopyStatus& status) {
    while (LoadState(status) == FS_COPY_RUNNING) {
        std::this_thread::yield();
    }
    return LoadState(status);
}

inline int32_t CopyAndWait(const std::string& source, const std::string& destination,
                           uint32_t flags, FsCopyStatus* status = nullptr) {
    FsCopyStatus local{};
    FsCopyStatus* record = status ? status : &local;
    if (FsCopy(source.c_str(), destination.c_str(), record, flags) != 0) return LoadState(*record);
    return WaitForCopy(*record);
}

}  // namespace kq::fs::test
