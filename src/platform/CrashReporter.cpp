// The crash reporter: KeSetExceptionFilter installs one handler for the faults nobody handles
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT). It names the fault as the designed fault
// names go, says where it happened and in which thread, prints the processor's registers to
// standard error and appends the same report, with a backtrace, to the crash log
// ($XDG_STATE_HOME/kq/crash.log, else ~/.local/state/kq/crash.log). Then the process ends by the
// same signal, so that its exit status and core dump are the fault's.
//
// Signal rules: the handler runs on an alternate stack (a stack overflow is reported too; every
// thread the library starts holds a ThreadFaultStack) and does only what is safe in a signal
// handler: fixed buffers, write(2), open(2), no allocation, no locks. The log's path is prepared
// at installation, and the backtrace machinery loaded then. The terminal is given back before the
// report by the console's own fault handler, which runs first and hands the fault on here with
// its record and context.
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "kq/kernel.h"
#include "platform/Kernel.h"

namespace kq::platform {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr size_t kAlternateStackSize = 64 * 1024;
// A fault this close below or above the stack pointer is taken as a stack overflow.
constexpr uintptr_t kStackReach = 64 * 1024;
constexpr int kBacktraceDepth = 64;

char g_logPath[4096] = {};

// A report built in a fixed buffer; what does not fit is cut.
class Report {
  public:
    void Text(const char* text) {
        while (*text != '\0' && length_ < sizeof buffer_) buffer_[length_++] = *text++;
    }
    // value in hexadecimal with exactly digits digits.
    void Hex(uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
            const char digit = "0123456789abcdef"[(value >> shift) & 0xF];
            if (length_ < sizeof buffer_) buffer_[length_++] = digit;
        }
    }
    void Register(const char* name, uint64_t value, bool last) {
        Text(name);
        Hex(value, 16);
        Text(last ? "\n" : "    ");
    }
    void WriteTo(int fd) const {
        const char* data = buffer_;
        size_t left = length_;
        while (left > 0) {
            const ssize_t written = ::write(fd, data, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return;
            data += written;
            left -= static_cast<size_t>(written);
        }
    }

  private:
    char buffer_[4096];
    size_t length_ = 0;
};

// The designed name of the fault.
const char* FaultName(int signalNumber, const siginfo_t* info, uintptr_t stackPointer) {
    const int code = info != nullptr ? info->si_code : 0;
    switch (signalNumber) {
        case SIGSEGV: {
            const auto address = reinterpret_cast<uintptr_t>(info != nullptr ? info->si_addr : 0);
            const uintptr_t distance =
                address > stackPointer ? address - stackPointer : stackPointer - address;
            return address != 0 && distance < kStackReach ? "EXCEPTION_STACK_OVERFLOW"
                                                          : "EXCEPTION_ACCESS_VIOLATION";
        }
        case SIGBUS:
            return code == BUS_ADRALN ? "EXCEPTION_DATATYPE_MISALIGNMENT"
                                      : "EXCEPTION_IN_PAGE_ERROR";
        case SIGFPE:
            switch (code) {
                case FPE_INTDIV:
                    return "EXCEPTION_INT_DIVIDE_BY_ZERO";
                case FPE_INTOVF:
                    return "EXCEPTION_INT_OVERFLOW";
                case FPE_FLTDIV:
                    return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
                case FPE_FLTOVF:
                    return "EXCEPTION_FLT_OVERFLOW";
                case FPE_FLTUND:
                    return "EXCEPTION_FLT_UNDERFLOW";
                case FPE_FLTRES:
                    return "EXCEPTION_FLT_INEXACT_RESULT";
                case FPE_FLTINV:
                    return "EXCEPTION_FLT_INVALID_OPERATION";
                case FPE_FLTSUB:
                    return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
                default:
                    return "EXCEPTION_UNKNOWN";
            }
        case SIGILL:
            return code == ILL_PRVOPC || code == ILL_PRVREG ? "EXCEPTION_PRIV_INSTRUCTION"
                                                            : "EXCEPTION_ILLEGAL_INSTRUCTION";
        case SIGTRAP:
            return code == TRAP_TRACE ? "EXCEPTION_SINGLE_STEP" : "EXCEPTION_BREAKPOINT";
        default:
            return "EXCEPTION_UNKNOWN";
    }
}

struct Processor {
    uint64_t codeAddress = 0;
    uint64_t stackPointer = 0;
    const char* access = "access";  // "read" or "write" where the processor tells
};

Processor ProcessorOf(const void* context) {
    Processor processor;
    if (context == nullptr) return processor;
    const auto& machine = static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
    processor.codeAddress = static_cast<uint64_t>(machine.gregs[REG_RIP]);
    processor.stackPointer = static_cast<uint64_t>(machine.gregs[REG_RSP]);
    processor.access = (machine.gregs[REG_ERR] & 2) != 0 ? "write" : "read";  // the W bit
#elif defined(__aarch64__)
    processor.codeAddress = machine.pc;
    processor.stackPointer = machine.sp;
#endif
    return processor;
}

void AddRegisters(Report& report, const void* context) {
    if (context == nullptr) return;
    const auto& machine = static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
    const auto* g = machine.gregs;
    const struct {
        const char* name;
        int index;
    } registers[] = {
        {"rax  ", REG_RAX}, {"rbx  ", REG_RBX}, {"rcx  ", REG_RCX}, {"rdx  ", REG_RDX},
        {"rsi  ", REG_RSI}, {"rdi  ", REG_RDI}, {"rbp  ", REG_RBP}, {"rsp  ", REG_RSP},
        {"r8   ", REG_R8},  {"r9   ", REG_R9},  {"r10  ", REG_R10}, {"r11  ", REG_R11},
        {"r12  ", REG_R12}, {"r13  ", REG_R13}, {"r14  ", REG_R14}, {"r15  ", REG_R15},
    };
    for (size_t i = 0; i < sizeof registers / sizeof registers[0]; ++i) {
        report.Register(registers[i].name, static_cast<uint64_t>(g[registers[i].index]),
                        i % 4 == 3);
    }
    // cs, gs and fs (and ss on newer kernels) share one word, 16 bits each.
    const auto segments = static_cast<uint64_t>(g[REG_CSGSFS]);
    report.Text("\ncs   ");
    report.Hex(segments & 0xFFFF, 4);
    report.Text("                gs   ");
    report.Hex((segments >> 16) & 0xFFFF, 4);
    report.Text("                fs   ");
    report.Hex((segments >> 32) & 0xFFFF, 4);
    report.Text("                ss   ");
    report.Hex((segments >> 48) & 0xFFFF, 4);
    report.Text("\n\ncs:rip   ");
    report.Hex(segments & 0xFFFF, 4);
    report.Text(":");
    report.Hex(static_cast<uint64_t>(g[REG_RIP]), 16);
    report.Text("\nss:rsp   ");
    report.Hex((segments >> 48) & 0xFFFF, 4);
    report.Text(":");
    report.Hex(static_cast<uint64_t>(g[REG_RSP]), 16);
    report.Text("\neflags   ");
    report.Hex(static_cast<uint64_t>(g[REG_EFL]), 8);
    report.Text("\n\n");
#elif defined(__aarch64__)
    char name[6] = "x00  ";
    for (int i = 0; i < 31; ++i) {
        name[1] = static_cast<char>('0' + i / 10);
        name[2] = static_cast<char>('0' + i % 10);
        report.Register(name, machine.regs[i], i % 4 == 3);
    }
    report.Text("\n");
    report.Register("sp   ", machine.sp, false);
    report.Register("pc   ", machine.pc, false);
    report.Register("pstate ", machine.pstate, true);
    report.Text("\n");
#else
    report.Text("(no registers for this processor)\n\n");
#endif
}

void OnFault(int signalNumber, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const Processor processor = ProcessorOf(context);
    Report report;
    report.Text(FaultName(signalNumber, info, processor.stackPointer));
    report.Text(" at 0x");
    report.Hex(processor.codeAddress, 16);
    report.Text(" in thread ");
    report.Hex(static_cast<uint64_t>(::syscall(SYS_gettid)), 8);
    if (signalNumber == SIGSEGV || signalNumber == SIGBUS) {
        report.Text(": ");
        report.Text(processor.access);
        report.Text(" memory at 0x");
        report.Hex(reinterpret_cast<uintptr_t>(info != nullptr ? info->si_addr : nullptr), 16);
    }
    report.Text("\n\n");
    AddRegisters(report, context);
    report.WriteTo(STDERR_FILENO);

    // The terminal that showed the report may be closed at once: the log keeps it.
    if (g_logPath[0] != '\0') {
        const int log = ::open(g_logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (log >= 0) {
            report.WriteTo(log);
            void* frames[kBacktraceDepth];
            const int depth = ::backtrace(frames, kBacktraceDepth);
            ::backtrace_symbols_fd(frames, depth, log);
            static constexpr char kEnd[] = "\n";
            static_cast<void>(::write(log, kEnd, 1));
            ::close(log);
        }
    }
    // Ends by the same signal: raised now, delivered with the default action once this
    // handler returns (a fault's instruction is not run again).
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
    errno = savedErrno;
}

// The crash log's folder, made now: the handler may not allocate.
void PrepareLogPath() {
    std::string folder;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        folder = std::string(state) + "/kq";
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        folder = std::string(home) + "/.local/state/kq";
    } else {
        return;
    }
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
    const std::string path = folder + "/crash.log";
    if (path.size() < sizeof g_logPath) std::memcpy(g_logPath, path.c_str(), path.size() + 1);
}

}  // namespace

ThreadFaultStack::ThreadFaultStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) return;
    stack_ = std::make_unique<char[]>(kAlternateStackSize);
    stack_t alternate{};
    alternate.ss_sp = stack_.get();
    alternate.ss_size = kAlternateStackSize;
    if (sigaltstack(&alternate, nullptr) != 0) stack_.reset();
}

ThreadFaultStack::~ThreadFaultStack() {
    if (!stack_) return;
    stack_t none{};
    none.ss_flags = SS_DISABLE;
    sigaltstack(&none, nullptr);
}

}  // namespace kq::platform

extern "C" ZAPI int ZCALL KeSetExceptionFilter(void) {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return 0;
    kq::platform::PrepareLogPath();
    // The first backtrace loads the unwinder; later ones, in the handler, allocate nothing.
    void* frame = nullptr;
    ::backtrace(&frame, 1);
    static char mainStack[kq::platform::kAlternateStackSize];
    stack_t alternate{};
    alternate.ss_sp = mainStack;
    alternate.ss_size = sizeof mainStack;
    sigaltstack(&alternate, nullptr);
    for (const int signalNumber : kq::platform::kFaultSignals) {
        struct sigaction action {};
        action.sa_sigaction = kq::platform::OnFault;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
        sigaction(signalNumber, &action, nullptr);
    }
    return 0;
}
