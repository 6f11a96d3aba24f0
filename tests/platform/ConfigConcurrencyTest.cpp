// Tests of the configuration store under pressure: threads sharing it, processes writing one
// database at once, a writer killed mid-write, and files that are damaged, foreign or
// inaccessible, which must be refused and left byte for byte as they were.
//
// Child processes are forked while the parent has no store open (a SQLite connection must not
// cross a fork), open their own, and leave with _exit so that nothing of the test framework
// runs twice.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kq/config.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kApplication = "kq-pressure-test";

// A temporary settings root for one test (KQ_CONFIG_HOME), removed with everything in it.
class ScopedConfigHome {
  public:
    ScopedConfigHome() {
        std::string pattern = (fs::temp_directory_path() / "kq-config-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) base_ = pattern;
        const char* old = std::getenv("KQ_CONFIG_HOME");
        if (old) saved_ = old;
        setenv("KQ_CONFIG_HOME", root().c_str(), 1);
    }
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
    ~ScopedConfigHome() {
        if (saved_) {
            setenv("KQ_CONFIG_HOME", saved_->c_str(), 1);
        } else {
            unsetenv("KQ_CONFIG_HOME");
        }
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    const fs::path& base() const { return base_; }
    fs::path root() const { return base_ / "config"; }
    fs::path folder() const { return root() / kApplication; }
    fs::path SettingsFile() const { return folder() / "settings.sqlite"; }

  private:
    fs::path base_;
    std::optional<std::string> saved_;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(byte(generator));
    return bytes;
}

// Runs `body` in a child process; its result is the child's exit code.
pid_t StartChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    return child;
}

// The child's exit code, or -1 when a signal ended it.
int WaitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Writes `count` dw values named "<prefix><i>" with the value i into the application's
// database; the exit code for a child: 0 when every write succeeded.
int WriteValues(const std::string& prefix, int count) {
    if (CfgInit(kApplication) != 0) return 2;
    CfgSection section = CfgOpen("Shared");
    if (section == 0) return 3;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        if (CfgSetDw(section, (prefix + std::to_string(i)).c_str(), static_cast<uint32_t>(i)) !=
            0) {
            ++failures;
        }
    }
    CfgClose(section);
    CfgShutdown();
    return failures == 0 ? 0 : 1;
}

// How many of the values "<prefix>0" ... "<prefix><count - 1>" are missing or wrong.
int CountMissing(CfgSection section, const std::string& prefix, int count) {
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        uint32_t value = 0;
        if (CfgQueryDw(section, (prefix + std::to_string(i)).c_str(), &value) != 0 ||
            value != static_cast<uint32_t>(i)) {
            ++missing;
        }
    }
    return missing;
}

// ---------------------------------------------------------------------------------------------
// Threads

TEST(ConfigThreadsTest, ThreadsSharingTheStoreLoseNoValue) {
    ScopedConfigHome home;
    ASSERT_EQ(CfgInit(kApplication), 0);
    constexpr int kThreads = 8;
    constexpr int kValues = 200;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            const std::string prefix = "t" + std::to_string(t) + "-";
            for (int i = 0; i < kValues; ++i) {
                // Sections are opened around each use, as the program does.
                CfgSection section = CfgOpen(i % 2 ? "Shared" : "Other");
                std::string name = prefix + std::to_string(i);
                uint32_t read = 0;
                if (section == 0 || CfgSetDw(section, name.c_str(), static_cast<uint32_t>(i)) ||
                    CfgQueryDw(section, name.c_str(), &read) || read != static_cast<uint32_t>(i) ||
                    CfgClose(section)) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    CfgShutdown();
}

// Shutdown and init in one thread while others use handles: every call either works or fails
// with -1, and none touches a handle the shutdown freed (meaningful under AddressSanitizer).
TEST(ConfigThreadsTest, ShutdownRacingWithUseNeverTouchesFreedHandles) {
    ScopedConfigHome home;
    ASSERT_EQ(CfgInit(kApplication), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> users;
    for (int t = 0; t < 4; ++t) {
        users.emplace_back([&] {
            while (!stop) {
                CfgSection section = CfgOpen("Main");
                int set = CfgSetDw(section, "x", 1);
                uint32_t read = 0;
                int query = CfgQueryDw(section, "x", &read);
                int close = CfgClose(section);
                for (int result : {set, query, close}) {
                    if (result != 0 && result != -1) ++unexpected;
                }
            }
        });
    }
    for (int round = 0; round < 50; ++round) {
        CfgShutdown();
        CfgInit(kApplication);
    }
    stop = true;
    for (auto& user : users) user.join();
    EXPECT_EQ(unexpected.load(), 0);
    CfgShutdown();
}

// ---------------------------------------------------------------------------------------------
// Processes

TEST(ConfigProcessesTest, TwoProcessesWritingAtOnceLoseNothing) {
    ScopedConfigHome home;
    constexpr int kValues = 1000;
    // Both children wait on the gate and start together once the parent closes it; the database
    // does not exist yet, so they also race to create it.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    auto writer = [&](const std::string& prefix) {
        return StartChild([&gate, prefix] {
            close(gate[1]);
            char ignored;
            while (read(gate[0], &ignored, 1) < 0 && errno == EINTR) {
            }
            return WriteValues(prefix, kValues);
        });
    };
    pid_t first = writer("a");
    pid_t second = writer("b");
    close(gate[0]);
    close(gate[1]);
    EXPECT_EQ(WaitForChild(first), 0);
    EXPECT_EQ(WaitForChild(second), 0);

    ASSERT_EQ(CfgInit(kApplication), 0);
    CfgSection section = CfgOpen("Shared");
    EXPECT_EQ(CountMissing(section, "a", kValues), 0);
    EXPECT_EQ(CountMissing(section, "b", kValues), 0);
    CfgClose(section);
    CfgShutdown();
}

TEST(ConfigProcessesTest, ManyProcessesCreatingTheDatabaseAtOnceAllOpenIt) {
    ScopedConfigHome home;
    constexpr int kChildren = 8;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        children.push_back(StartChild([&gate, c] {
            close(gate[1]);
            char ignored;
            while (read(gate[0], &ignored, 1) < 0 && errno == EINTR) {
            }
            return WriteValues("child" + std::to_string(c) + "-", 1);
        }));
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t child : children) EXPECT_EQ(WaitForChild(child), 0);

    ASSERT_EQ(CfgInit(kApplication), 0);
    CfgSection section = CfgOpen("Shared");
    for (int c = 0; c < kChildren; ++c) {
        EXPECT_EQ(CountMissing(section, "child" + std::to_string(c) + "-", 1), 0) << c;
    }
    CfgClose(section);
    CfgShutdown();
    // The temporary files the database is built in are gone.
    for (const auto& entry : fs::directory_iterator(home.folder())) {
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos)
            << entry.path();
    }
}

// The child reports through a pipe after each commit; everything it reported must be there
// after SIGKILL, whatever it was doing at that moment. Three rounds, so that later writers also
// start on the WAL that a killed one left behind.
TEST(ConfigProcessesTest, WriterKilledMidWriteKeepsEveryReportedValue) {
    ScopedConfigHome home;
    constexpr uint32_t kReportsBeforeKill = 300;
    std::vector<uint32_t> reported;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        int reports[2];
        ASSERT_EQ(pipe(reports), 0);
        const std::string prefix = "r" + std::to_string(round) + "-";
        pid_t child = StartChild([&reports, prefix] {
            close(reports[0]);
            if (CfgInit(kApplication) != 0) return 2;
            CfgSection section = CfgOpen("Shared");
            for (uint32_t i = 0;; ++i) {
                if (CfgSetDw(section, (prefix + std::to_string(i)).c_str(), i) != 0) return 1;
                uint32_t committed = i + 1;
                if (write(reports[1], &committed, sizeof committed) != sizeof committed) return 1;
            }
        });
        close(reports[1]);
        uint32_t last = 0;
        uint32_t message = 0;
        while (last < kReportsBeforeKill && read(reports[0], &message, sizeof message) > 0) {
            last = message;
        }
        kill(child, SIGKILL);
        // Reports still in the pipe were sent after their commits as well.
        while (read(reports[0], &message, sizeof message) == sizeof message) last = message;
        close(reports[0]);
        EXPECT_EQ(WaitForChild(child), -1);
        ASSERT_GE(last, kReportsBeforeKill) << "the writer stopped before it was killed";
        reported.push_back(last);
    }

    ASSERT_EQ(CfgInit(kApplication), 0);
    CfgSection section = CfgOpen("Shared");
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(CountMissing(section, "r" + std::to_string(round) + "-",
                               static_cast<int>(reported[static_cast<std::size_t>(round)])),
                  0)
            << "round " << round;
    }
    CfgClose(section);
    CfgShutdown();
}

// ---------------------------------------------------------------------------------------------
// Damaged, foreign and inaccessible files

// A real settings database of several pages, closed, its bytes returned.
std::string MakeRealDatabase(const ScopedConfigHome& home) {
    if (CfgInit(kApplication) != 0) return {};
    CfgSection section = CfgOpen("Main");
    std::string filler(300, 'f');
    for (int i = 0; i < 400; ++i)
        CfgSetSz(section, ("v" + std::to_string(i)).c_str(), filler.c_str());
    CfgClose(section);
    CfgShutdown();
    return ReadFile(home.SettingsFile());
}

// Everything in the application's folder, by name.
std::vector<std::string> FolderEntries(const ScopedConfigHome& home) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home.folder())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ConfigDamagedFileTest, DamagedOrForeignFileIsRefusedAndLeftUnchanged) {
    const struct {
        const char* description;
        std::function<std::string(const std::string& real)> damage;
    } cases[] = {
        {"random bytes", [](const std::string&) { return RandomBytes(8192, 1); }},
        {"a text file", [](const std::string&) { return std::string("Width=80\n"); }},
        {"shorter than the header", [](const std::string&) { return std::string("SQLite f"); }},
        {"header, then random bytes",
         [](const std::string& real) { return real.substr(0, 16) + RandomBytes(8176, 2); }},
        {"truncated at a page boundary",
         [](const std::string& real) { return real.substr(0, (real.size() / 2) & ~4095ul); }},
        {"truncated inside a page",
         [](const std::string& real) { return real.substr(0, real.size() / 2 + 100); }},
        {"first page only", [](const std::string& real) { return real.substr(0, 4096); }},
        {"pages overwritten with zeros",
         [](const std::string& real) {
             std::string damaged = real;
             std::fill(damaged.begin() + 4096, damaged.begin() + 3 * 4096, '\0');
             return damaged;
         }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.description);
        ScopedConfigHome home;
        std::string real = MakeRealDatabase(home);
        ASSERT_GT(real.size(), 8u * 4096) << "the real database should span several pages";
        const std::string damaged = test.damage(real);
        WriteFile(home.SettingsFile(), damaged);

        EXPECT_EQ(CfgInit(kApplication), -1);
        EXPECT_EQ(CfgInit(kApplication), -1);  // refused again: the first try changed nothing
        EXPECT_EQ(ReadFile(home.SettingsFile()), damaged);
        EXPECT_EQ(FolderEntries(home), std::vector<std::string>{"settings.sqlite"});
        EXPECT_EQ(CfgOpen("Main"), 0);
    }
}

TEST(ConfigDamagedFileTest, FolderInPlaceOfTheFileIsRefused) {
    ScopedConfigHome home;
    fs::create_directories(home.SettingsFile());
    EXPECT_EQ(CfgInit(kApplication), -1);
    EXPECT_TRUE(fs::is_directory(home.SettingsFile()));
}

// Runs `body` (a test that returns 0 when it passes) where file permissions apply: directly, or
// as root in a child process that has become the user nobody, since root may read and write any
// file. The application's folder and file are handed to nobody first, so that the child stands
// where a user stands before their own settings. Nullopt when root cannot be given up here.
std::optional<int> RunWithoutRoot(const ScopedConfigHome& home, const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    constexpr gid_t kNoGroup = 65534;
    constexpr int kCannotDrop = 77;
    const auto traversable = fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(home.base(), traversable);
    fs::permissions(home.root(), traversable);
    if (chown(home.folder().c_str(), kNobody, kNoGroup) != 0) return std::nullopt;
    for (const auto& entry : fs::directory_iterator(home.folder())) {
        if (chown(entry.path().c_str(), kNobody, kNoGroup) != 0) return std::nullopt;
    }
    int code = WaitForChild(StartChild([&body] {
        if (setgroups(0, nullptr) != 0 || setresgid(kNoGroup, kNoGroup, kNoGroup) != 0 ||
            setresuid(kNobody, kNobody, kNobody) != 0 || geteuid() == 0) {
            return kCannotDrop;
        }
        return body();
    }));
    if (code == kCannotDrop) return std::nullopt;
    return code;
}

TEST(ConfigDamagedFileTest, FileThatCannotBeReadOrWrittenIsRefusedAndLeftUnchanged) {
    const struct {
        const char* description;
        fs::perms permissions;
    } cases[] = {
        {"unreadable", fs::perms::none},
        {"write protected", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.description);
        ScopedConfigHome home;
        const std::string real = MakeRealDatabase(home);
        ASSERT_FALSE(real.empty());
        fs::permissions(home.SettingsFile(), test.permissions);

        std::optional<int> refused = RunWithoutRoot(home, [] {
            int result = CfgInit(kApplication);
            CfgShutdown();
            return result == -1 ? 0 : 1;
        });
        if (!refused) GTEST_SKIP() << "running as root and cannot give it up";
        EXPECT_EQ(*refused, 0);

        fs::permissions(home.SettingsFile(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(ReadFile(home.SettingsFile()), real);
        EXPECT_EQ(FolderEntries(home), std::vector<std::string>{"settings.sqlite"});
    }
}

}  // namespace
