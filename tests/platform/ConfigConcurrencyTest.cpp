// The configuration store under pressure: threads and processes sharing it, a writer killed
// mid-write, and a damaged file, which is refused and left as it was.
// Children fork while the parent has no store open and leave with _exit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "kq/config.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using kq::test::SettingsHome;

// Runs `body` in a child; WaitForChild gives its exit code, -1 when a signal ended it.
pid_t StartChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    return child;
}
int WaitForChild(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sets dw "<prefix>i" = i in section "Shared" for i below count, reporting i + 1 on `reports`
// after each commit when that is a pipe.
int WriteValues(const std::string& prefix, uint32_t count, int reports = -1) {
    if (CfgInit("kq") != 0) return 2;
    CfgSection section = CfgOpen("Shared");
    for (uint32_t i = 0; i < count; ++i) {
        if (CfgSetDw(section, (prefix + std::to_string(i)).c_str(), i) != 0) return 1;
        const uint32_t committed = i + 1;
        if (reports >= 0 && write(reports, &committed, 4) != 4) return 1;
    }
    return CfgShutdown();
}

// How many of the values WriteValues(prefix, count) sets are missing or wrong.
int CountMissing(const std::string& prefix, uint32_t count) {
    if (CfgInit("kq") != 0) return static_cast<int>(count);
    CfgSection section = CfgOpen("Shared");
    int missing = 0;
    for (uint32_t i = 0, value = 0; i < count; ++i) {
        missing +=
            CfgQueryDw(section, (prefix + std::to_string(i)).c_str(), &value) != 0 || value != i;
    }
    CfgShutdown();
    return missing;
}

// For 100 rounds every call works and nothing is lost; then shutdown and init race with the
// threads, and each call either works or fails with -1 without touching freed handles (ASan).
TEST(ConfigThreadsTest, ThreadsSharingTheStoreLoseNothingEvenWhileItIsReplaced) {
    SettingsHome home;
    ASSERT_EQ(CfgInit("kq"), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> ready{0}, unexpected{0};
    std::vector<std::thread> users;
    for (int t = 0; t < 4; ++t) {
        users.emplace_back([&, t] {
            for (uint32_t i = 0; i < 100 || !stop; ++i) {
                ready += i == 100;
                CfgSection section = CfgOpen(i % 2 ? "Shared" : "Other");
                const std::string name = std::to_string(t) + "-" + std::to_string(i);
                uint32_t read = 0;
                for (int result : {CfgSetDw(section, name.c_str(), i),
                                   CfgQueryDw(section, name.c_str(), &read), CfgClose(section)}) {
                    unexpected += result != 0 && (i < 100 || result != -1);
                }
                unexpected += i < 100 && read != i;
            }
        });
    }
    EXPECT_TRUE(kq::testing::WaitUntil([&] { return ready == 4; }, 30000, 1));
    for (int round = 0; round < 50; ++round) CfgShutdown(), CfgInit("kq");
    stop = true;
    for (auto& user : users) user.join();
    EXPECT_EQ(unexpected.load(), 0);
    CfgShutdown();
}

// Eight children start together at a gate and race to create the database as well as to write.
TEST(ConfigProcessesTest, ProcessesCreatingAndWritingAtOnceLoseNothing) {
    SettingsHome home;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < 8; ++c) {
        children.push_back(StartChild([&gate, c] {
            close(gate[1]);
            char ignored;
            while (read(gate[0], &ignored, 1) < 0 && errno == EINTR) continue;
            return WriteValues(std::to_string(c) + "-", 250);
        }));
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t child : children) EXPECT_EQ(WaitForChild(child), 0);
    for (int c = 0; c < 8; ++c) EXPECT_EQ(CountMissing(std::to_string(c) + "-", 250), 0);
}

// Everything the child reported committed survives SIGKILL; later rounds start on the WAL a
// killed writer left behind.
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
        while (read(reports[0], &message, sizeof message) == sizeof message) last = message;
        close(reports[0]);
        EXPECT_EQ(WaitForChild(child), -1);
        ASSERT_GE(last, 300u) << "the writer stopped before it was killed";
        reported.push_back(last);
    }
    for (uint32_t round = 0; round < 3; ++round) {
        EXPECT_EQ(CountMissing("r" + std::to_string(round) + "-", reported[round]), 0) << round;
    }
}

// A real settings database of several pages, closed, its bytes returned.
std::string MakeRealDatabase(const SettingsHome& home) {
    if (CfgInit("kq") != 0) return {};
    CfgSection section = CfgOpen("Main");
    for (int i = 0; i < 400; ++i)
        CfgSetSz(section, ("v" + std::to_string(i)).c_str(), std::string(300, 'f').c_str());
    CfgShutdown();
    return kq::testing::ReadFile(home.database());
}

TEST(ConfigDamagedFileTest, DamagedFileIsRefusedAndLeftUnchanged) {
    SettingsHome home;
    const std::string real = MakeRealDatabase(home);
    ASSERT_GT(real.size(), 8u * 4096);
    const std::string damaged = real.substr(0, 4096) + std::string(8192, '\0') + real.substr(12288);
    home.folder().WriteFile("kq/settings.sqlite", damaged);
    EXPECT_EQ(CfgInit("kq"), -1);
    EXPECT_EQ(CfgInit("kq"), -1);  // the first try changed nothing
    EXPECT_EQ(kq::testing::ReadFile(home.database()), damaged);
    const fs::directory_iterator beside(home.database().parent_path());
    EXPECT_EQ(std::distance(beside, fs::directory_iterator()), 1) << "files added beside it";
}

}  // namespace
