// The crash reporter in child processes that fault on purpose: each fault's name, the address and
// register block in the report on standard error, the same report with a backtrace in the crash
// log, and the end by the fault's own signal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <thread>

#include "kq/kernel.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace {

struct Crash {
    int signal = 0;
    std::string report;  // standard error
    std::string log;
};

// Runs fault in a child with the reporter installed and the crash log in a folder of its own.
Crash CrashWith(void (*fault)()) {
    const kq::test::TempFolder state("kq-crash");
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::setenv("XDG_STATE_HOME", state.Path("state").c_str(), 1);
        KeSetExceptionFilter();
        fault();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    Crash crash;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        crash.report.append(buffer, static_cast<size_t>(got));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    crash.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    crash.log = kq::testing::ReadFile(state.Path("state/kq/crash.log"));
    return crash;
}

void WriteToNull() {
    volatile int* volatile target = nullptr;
    *target = 1;
}
void DivideByZero() {
    // Both volatile: 1 / x alone is computed without a division.
    volatile int one = 1;
    volatile int zero = 0;
    volatile int result = one / zero;
    static_cast<void>(result);
}
void IllegalInstruction() {
    __builtin_trap();
}
// Deeper while the limit (never reached) allows: the stack runs out first.
int Recurse(int depth, volatile const int* limit) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth >= *limit) return frame[0];
    return Recurse(depth + 1, limit) + frame[0];
}
void OverflowTheStack() {
    static volatile const int limit = 1 << 30;
    static_cast<void>(Recurse(0, &limit));
}
void AbortInAThread() {
    std::thread([] { std::abort(); }).join();
}

TEST(CrashReporterTest, EachFaultIsNamedReportedLoggedAndEndsTheProcessByItsSignal) {
    const struct {
        void (*fault)();
        int signal;
        const char* name;
    } cases[] = {
        {WriteToNull, SIGSEGV, "EXCEPTION_ACCESS_VIOLATION"},
        {DivideByZero, SIGFPE, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
        {IllegalInstruction, SIGILL, "EXCEPTION_ILLEGAL_INSTRUCTION"},
        {OverflowTheStack, SIGSEGV, "EXCEPTION_STACK_OVERFLOW"},
        {AbortInAThread, SIGABRT, "EXCEPTION_UNKNOWN"},
    };
    for (const auto& c : cases) {
        const Crash crash = CrashWith(c.fault);
        EXPECT_EQ(crash.signal, c.signal) << c.name;
        const std::string first = crash.report.substr(0, crash.report.find('\n'));
        EXPECT_TRUE(std::regex_match(
            first, std::regex(std::string(c.name) + " at 0x[0-9a-f]{16} in thread [0-9a-f]{8}.*")))
            << first;
#if defined(__x86_64__)
        EXPECT_NE(crash.report.find("\nrax  "), std::string::npos) << crash.report;
        EXPECT_NE(crash.report.find("\ncs:rip   "), std::string::npos) << crash.report;
#endif
        EXPECT_EQ(crash.log.substr(0, crash.report.size()), crash.report) << c.name;
        EXPECT_GT(crash.log.size(), crash.report.size() + 1) << "no backtrace: " << c.name;
    }
    EXPECT_NE(CrashWith(WriteToNull).report.find(": write memory at 0x0000000000000000\n"),
              std::string::npos);
}

}  // namespace
