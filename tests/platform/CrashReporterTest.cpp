// The crash reporter in children that fault on purpose: the fault's name, address and registers
// on standard error, the same report and a backtrace in the crash log, the end by its signal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <thread>

#include "kq/kernel.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace {

void WriteToNull() {
    volatile int* volatile target = nullptr;
    *target = 1;
}
void DivideByZero() {
    volatile int one = 1, zero = 0;  // both volatile: 1 / x alone needs no division
    volatile int result = one / zero;
    static_cast<void>(result);
}
int Recurse(int depth, volatile const int* limit) {  // the stack runs out before the limit
    volatile char frame[1024] = {static_cast<char>(depth)};
    return depth >= *limit ? frame[0] : Recurse(depth + 1, limit) + frame[0];
}
void OverflowTheStack() {
    static volatile const int limit = 1 << 30;
    static_cast<void>(Recurse(0, &limit));
}

TEST(CrashReporterTest, EachFaultIsNamedReportedLoggedAndEndsTheProcessByItsSignal) {
    const struct {
        void (*fault)();
        int signal;
        const char* name;
        const char* rest = ".*";  // the first line's end
    } cases[] = {
        {WriteToNull, SIGSEGV, "EXCEPTION_ACCESS_VIOLATION", ": write memory at 0x0{16}"},
        {DivideByZero, SIGFPE, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
        {[] { __builtin_trap(); }, SIGILL, "EXCEPTION_ILLEGAL_INSTRUCTION"},
        {OverflowTheStack, SIGSEGV, "EXCEPTION_STACK_OVERFLOW"},
        {[] { KeWaitThread(KeThread([](intptr_t) { return OverflowTheStack(), 0u; }, 0)); },
         SIGSEGV, "EXCEPTION_STACK_OVERFLOW"},
        {[] { std::thread([] { std::abort(); }).join(); }, SIGABRT, "EXCEPTION_UNKNOWN"},
    };
    for (const auto& c : cases) {
        const kq::test::TempFolder state("kq-crash");
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        if (::fork() == 0) {
            ::dup2(out[1], STDERR_FILENO);
            ::setenv("XDG_STATE_HOME", state.Path("state").c_str(), 1);
            KeSetExceptionFilter();
            c.fault();
            ::_exit(0);
        }
        ::close(out[1]);
        std::string report;
        char buffer[4096];
        for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
            report.append(buffer, got);
        ::close(out[0]);
        int status = 0;
        ::wait(&status);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.name;
        const std::string first = report.substr(0, report.find('\n'));
        EXPECT_TRUE(std::regex_match(
            first,
            std::regex(std::string(c.name) + " at 0x[0-9a-f]{16} in thread [0-9a-f]{8}" + c.rest)))
            << report;
#if defined(__x86_64__)
        EXPECT_NE(report.find("\ncs:rip   "), std::string::npos) << report;
#endif
        const std::string log = kq::testing::ReadFile(state.Path("state/kq/crash.log"));
        EXPECT_EQ(log.substr(0, report.size()), report);
        EXPECT_GT(log.size(), report.size() + 1) << "no backtrace";
    }
}

}  // namespace
