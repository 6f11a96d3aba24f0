// The configuration store under pressure: threads sharing it, processes creating and writing
// one database at once, a writer killed mid-write, and damaged, foreign or inaccessible files,
// which must be refused and left byte for byte as they were.
//
// Children are forked while the parent has no store open (a SQLite connection must not cross a
// fork), open their own, and leave with _exit so that nothing of the test framework runs twice.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kq/config.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using kq::test::SettingsHome;

constexpr const char* kApplication = "kq";

// Runs `body` in a child process; WaitForChild gives its exit code (-1 when a signal ended it).
pid_t StartChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    return child;
}
int WaitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The body of a writing child: dw values "<prefix>i" = i for i below count in section
// "Shared", each commit reported as i + 1 on `reports` when that is a pipe.
int WriteValues(const std::string& prefix, uint32_t count, int reports = -1) {
    if (CfgInit(kApplication) != 0) return 2;
    CfgSection section = CfgOpen("Shared");
    for (uint32_t i = 0; i < count; ++i) {
        if (CfgSetDw(section, (prefix + std::to_string(i)).c_str(), i) != 0) return 1;
        const uint32_t committed = i + 1;
        if (reports >= 0 && write(reports, &committed, 4) != 4) return 1;
    }
    return CfgShutdown();
}

// How many of the dw values "<prefix>0" ... "<prefix><count - 1>" (value i) are missing or
// wrong in section "Shared".
int CountMissing(const std::string& prefix, int count) {
    if (CfgInit(kApplication) != 0) return count;
    CfgSection section = CfgOpen("Shared");
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        uint32_t value = 0;
        if (CfgQueryDw(section, (prefix + std::to_string(i)).c_str(), &value) != 0 ||
            value != static_cast<uint32_t>(i)) {
            ++missing;
        }
    }
    CfgClose(section);
    CfgShutdown();
    return missing;
}

// Threads share the store, opening sections around each use as the program does: for their
// first 100 rounds every call works and no value is lost. Then shutdown and init race with them:
// every call either works or fails with -1, and none touches a handle the shutdown freed
// (meaningful under AddressSanitizer).
TEST(ConfigThreadsTest, ThreadsSharingTheStoreLoseNothingEvenWhileItIsReplaced) {
    SettingsHome home;
    ASSERT_EQ(CfgInit(kApplication), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> ready{0}, unexpected{0};
    std::vector<std::thread> users;
    for (int t = 0; t < 4; ++t) {
        users.emplace_back([&, t] {
            for (uint32_t i = 0; i < 100 || !stop; ++i) {
                if (i == 100) ++ready;
                CfgSection section = CfgOpen(i % 2 ? "Shared" : "Other");
                const std::string name = std::to_string(t) + "-" + std::to_string(i);
                uint32_t read = 0;
                const int results[] = {CfgSetDw(section, name.c_str(), i),
                                       CfgQueryDw(section, name.c_str(), &read), CfgClose(section)};
                for (int result : results) {
                    if (result != 0 && (i < 100 || result != -1)) ++unexpected;
                }
                if (i < 100 && read != i) ++unexpected;
            }
        });
    }
    EXPECT_TRUE(kq::testing::WaitUntil([&] { return ready == 4; }, 30000, 1));
    EXPECT_EQ(unexpected.load(), 0);
    for (int round = 0; round < 50; ++round) {
        CfgShutdown();
        CfgInit(kApplication);
    }
    stop = true;
    for (auto& user : users) user.join();
    EXPECT_EQ(unexpected.load(), 0);
    CfgShutdown();
}

// Eight children wait on a gate and start together once the parent closes it; the database does
// not exist yet, so they race to create it as well as to write.
TEST(ConfigProcessesTest, ProcessesCreatingAndWritingAtOnceLoseNothing) {
    SettingsHome home;
    constexpr int kChildren = 8;
    constexpr uint32_t kValues = 250;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        children.push_back(StartChild([&gate, c] {
            close(gate[1]);
            char ignored;
            while (read(gate[0], &ignored, 1) < 0 && errno == EINTR) {
            }
            return WriteValues(std::to_string(c) + "-", kValues);
        }));
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t child : children) EXPECT_EQ(WaitForChild(child), 0);
    for (int c = 0; c < kChildren; ++c)
        EXPECT_EQ(CountMissing(std::to_string(c) + "-", static_cast<int>(kValues)), 0);
    // The temporary files the database is built in are gone.
    for (const auto& entry : fs::directory_iterator(home.database().parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << entry;
    }
}

// The child reports through a pipe after each commit; everything it reported must be there
// after SIGKILL, whatever it was doing at that moment. Three rounds, so that later writers also
// start on the WAL that a killed one left behind.
TEST(ConfigProcessesTest, WriterKilledMidWriteKeepsEveryReportedValue) {
    SettingsHome home;
    std::vector<uint32_t> reported;
    for (int round = 0; round < 3; ++round) {
        int reports[2];
        ASSERT_EQ(pipe(reports), 0);
        const std::string prefix = "r" + std::to_string(round) + "-";
        pid_t child = StartChild([&reports, prefix] {
            close(reports[0]);
            return WriteValues(prefix, UINT32_MAX, reports[1]);
        });
        close(reports[1]);
        uint32_t last = 0, message = 0;
        while (last < 300 && read(reports[0], &message, sizeof message) > 0) last = message;
        kill(child, SIGKILL);
        // Reports still in the pipe were sent after their commits as well.
        while (read(reports[0], &message, sizeof message) == sizeof message) last = message;
        close(reports[0]);
        EXPECT_EQ(WaitForChild(child), -1);
        ASSERT_GE(last, 300u) << "the writer stopped before it was killed";
        reported.push_back(last);
    }
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(
            CountMissing("r" + std::to_string(round) + "-", static_cast<int>(reported[round])), 0)
            << "round " << round;
    }
}

// ---------------------------------------------------------------------------------------------
// Damaged, foreign and inaccessible files

// A real settings database of several pages, closed, its bytes returned.
std::string MakeRealDatabase(const SettingsHome& home) {
    if (CfgInit(kApplication) != 0) return {};
    CfgSection section = CfgOpen("Main");
    const std::string filler(300, 'f');
    for (int i = 0; i < 400; ++i)
        CfgSetSz(section, ("v" + std::to_string(i)).c_str(), filler.c_str());
    CfgClose(section);
    CfgShutdown();
    return kq::testing::ReadFile(home.database().string());
}

// The file is as it was and nothing was added beside it.
void ExpectLeftAlone(const SettingsHome& home, const std::string& bytes) {
    EXPECT_EQ(kq::testing::ReadFile(home.database().string()), bytes);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home.database().parent_path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"settings.sqlite"});
}

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
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
             return real.substr(0, 4096) + std::string(8192, '\0') + real.substr(3 * 4096);
         }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.description);
        SettingsHome home;
        const std::string real = MakeRealDatabase(home);
        ASSERT_GT(real.size(), 8u * 4096) << "the real database should span several pages";
        const std::string damaged = test.damage(real);
        home.folder().WriteFile("kq/settings.sqlite", damaged);

        EXPECT_EQ(CfgInit(kApplication), -1);
        EXPECT_EQ(CfgInit(kApplication), -1);  // refused again: the first try changed nothing
        ExpectLeftAlone(home, damaged);
        EXPECT_EQ(CfgOpen("Main"), 0);
    }
    SettingsHome home;
    fs::create_directories(home.database());  // a folder in place of the file
    EXPECT_EQ(CfgInit(kApplication), -1);
    EXPECT_TRUE(fs::is_directory(home.database()));
}

// Runs `body` (0 when it passes) where file permissions apply: directly, or as root in a child
// that has become the user nobody, to whom the settings folder and file are handed first.
// Nullopt when root cannot be given up here.
std::optional<int> RunWithoutRoot(const SettingsHome& home, const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    constexpr gid_t kNoGroup = 65534;
    constexpr int kCannotDrop = 77;
    fs::permissions(home.folder().root(), fs::perms::others_exec, fs::perm_options::add);
    const fs::path folder = home.database().parent_path();
    if (chown(folder.c_str(), kNobody, kNoGroup) != 0) return std::nullopt;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (chown(entry.path().c_str(), kNobody, kNoGroup) != 0) return std::nullopt;
    }
    const int code = WaitForChild(StartChild([&body] {
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
    for (fs::perms permissions :
         {fs::perms::none, fs::perms::owner_read | fs::perms::others_read}) {
        SettingsHome home;
        const std::string real = MakeRealDatabase(home);
        ASSERT_FALSE(real.empty());
        fs::permissions(home.database(), permissions);
        const std::optional<int> refused = RunWithoutRoot(home, [] {
            const int result = CfgInit(kApplication);
            CfgShutdown();
            return result == -1 ? 0 : 1;
        });
        if (!refused) GTEST_SKIP() << "running as root and cannot give it up";
        EXPECT_EQ(*refused, 0) << static_cast<int>(permissions);
        fs::permissions(home.database(), fs::perms::owner_read | fs::perms::owner_write);
        ExpectLeftAlone(home, real);
    }
}

}  // namespace
