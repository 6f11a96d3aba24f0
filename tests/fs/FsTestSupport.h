// Shared helpers of the file-system tests: a temporary directory per test, files of given
// content and kind, complete listings, waiting for a copy, and running a step in a child
// process (for limits and mounts that must not touch the test process).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kq/fs.h"

namespace kq::fs::test {

namespace stdfs = std::filesystem;

// A new directory under the system's temporary directory, removed (made writable first) at
// the end of the test.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (stdfs::temp_directory_path() / "kq-fs-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        savedCwd_ = cwd;
    }
    void TearDown() override {
        if (::chdir(savedCwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << savedCwd_;
        std::error_code ignored;
        for (const auto& entry : stdfs::recursive_directory_iterator(dir_, ignored)) {
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
                stdfs::permissions(entry.path(), stdfs::perms::owner_all, stdfs::perm_options::add,
                                   ignored);
            }
        }
        stdfs::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    const stdfs::path& Dir() const { return dir_; }

    std::string WriteFile(const std::string& name, const std::string& content) const {
        const std::string path = Path(name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(fd, 0) << path;
        if (fd < 0) return path;
        EXPECT_EQ(::write(fd, content.data(), content.size()),
                  static_cast<ssize_t>(content.size()));
        ::close(fd);
        return path;
    }
    // A file of size bytes without writing them (sparse): the content is all zeros.
    std::string SizedFile(const std::string& name, uint64_t size) const {
        const std::string path = Path(name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
        return path;
    }
    std::string MakeDir(const std::string& name) const {
        const std::string path = Path(name);
        EXPECT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
        return path;
    }
    std::string MakeFifo(const std::string& name) const {
        const std::string path = Path(name);
        EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
        return path;
    }
    // A bound socket; the descriptor stays open for the test's lifetime.
    std::string MakeSocket(const std::string& name) {
        const std::string path = Path(name);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        EXPECT_LT(path.size(), sizeof address.sun_path);
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return path;
    }
    ~TempDirTest() override {
        if (socket_ >= 0) ::close(socket_);
    }

  private:
    stdfs::path dir_;
    std::string savedCwd_;
    int socket_ = -1;
};

inline std::string ReadFile(const std::string& path) {
    std::string content;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return "<missing>";
    char block[65536];
    ssize_t n;
    while ((n = ::read(fd, block, sizeof block)) > 0) content.append(block, n);
    ::close(fd);
    return content;
}

struct Listed {
    uint32_t attributes;
    uint64_t size;
    time_t created;
    time_t modified;
    time_t accessed;
};

// Every entry of a search, fetched maximum at a time, in listing order; duplicates kept.
inline std::vector<std::pair<std::string, Listed>> ListAll(const std::string& directory,
                                                           const char* pattern, uint32_t mask,
                                                           int maximum = 0) {
    std::vector<std::pair<std::string, Listed>> all;
    const FsSearch search = FsFindInit(directory.c_str(), pattern, mask);
    EXPECT_NE(search, 0);
    for (int calls = 0; calls < 1000000; ++calls) {
        int count = -1;
        const FsFindEntry* entries = FsFind(search, maximum, &count);
        if (entries == nullptr) {
            EXPECT_EQ(count, 0);
            break;
        }
        EXPECT_GT(count, 0);
        if (maximum > 0) {
            EXPECT_LE(count, maximum);
        }
        for (int i = 0; i < count; ++i) {
            const FsFindEntry& e = entries[i];
            all.push_back({e.name, {e.attributes, e.size, e.created, e.modified, e.accessed}});
        }
    }
    FsFindClose(search);
    return all;
}

inline std::set<std::string> Names(const std::vector<std::pair<std::string, Listed>>& listing) {
    std::set<std::string> names;
    for (const auto& [name, info] : listing) names.insert(name);
    return names;
}

inline std::map<std::string, Listed> ByName(
    const std::vector<std::pair<std::string, Listed>>& listing) {
    std::map<std::string, Listed> byName;
    for (const auto& [name, info] : listing) byName[name] = info;
    return byName;
}

inline int32_t LoadState(const FsCopyStatus& status) {
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(status.state))
        .load(std::memory_order_acquire);
}

inline uint64_t LoadDone(const FsCopyStatus& status) {
    return std::atomic_ref<uint64_t>(const_cast<uint64_t&>(status.done))
        .load(std::memory_order_relaxed);
}

// Polls until the copy ends and returns its state. The limit only keeps a broken build (a copy
// that hangs on a fifo, say) from hanging the run; no test depends on how fast a copy is.
inline int32_t WaitForCopy(const FsCopyStatus& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (LoadState(status) == FS_COPY_RUNNING) {
        if (std::chrono::steady_clock::now() > deadline) return -100;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return LoadState(status);
}

// Starts a copy and waits for its end; the final state.
inline int32_t CopyAndWait(const std::string& source, const std::string& destination,
                           uint32_t flags, FsCopyStatus* status = nullptr) {
    FsCopyStatus local{};
    FsCopyStatus* record = status ? status : &local;
    if (FsCopy(source.c_str(), destination.c_str(), record, flags) != 0) return LoadState(*record);
    return WaitForCopy(*record);
}

// A copy status in memory shared with child processes.
class SharedStatus {
  public:
    SharedStatus() {
        void* memory = ::mmap(nullptr, sizeof(FsCopyStatus), PROT_READ | PROT_WRITE,
                              MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        status_ = memory == MAP_FAILED ? nullptr : static_cast<FsCopyStatus*>(memory);
    }
    SharedStatus(const SharedStatus&) = delete;
    SharedStatus& operator=(const SharedStatus&) = delete;
    ~SharedStatus() {
        if (status_) ::munmap(status_, sizeof(FsCopyStatus));
    }
    FsCopyStatus* Get() const { return status_; }

  private:
    FsCopyStatus* status_;
};

// Runs step in a child process and returns its exit code (or 128 + signal). The child must
// not use gtest assertions; it reports through its exit code and shared memory.
inline int RunInChild(const std::function<int()>& step) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(step());
    if (child < 0) return -1;
    // The limit only ends a child that hangs (it would otherwise hang the run).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace kq::fs::test
