// Listing one directory of 100,000 entries with FsFind (no maximum), next to `ls -f` on the
// same directory in the same run: wall time and peak memory of each.
//
// Both are measured the same way, as a process of their own (this program started again with
// --list, and ls), timed from fork to exit, peak memory from wait4's ru_maxrss. The listing
// process also reports how far its peak grew over its size before the listing, which is the
// memory the listing itself takes. A third benchmark times FsFind in this process.
//
// The directory is made under $KQ_BENCH_DIR (else the temporary directory) and removed again.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kq/fs.h"

namespace {

namespace stdfs = std::filesystem;

constexpr int kEntries = 100'000;

std::string g_self;       // this program, for the --list child
std::string g_directory;  // the directory of kEntries files

long PeakKib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child's side: list the directory with FsFind and report the entry count, the peak before
// and the peak after on stdout.
int ListAndReport(const char* directory) {
    const long before = PeakKib();
    const FsSearch search = FsFindInit(directory, "*", 127);
    int count = 0;
    FsFind(search, 0, &count);
    const long after = PeakKib();
    FsFindClose(search);
    std::printf("%d %ld %ld\n", count, before, after);
    return 0;
}

struct ChildRun {
    double seconds = 0;
    long peakKib = 0;
    std::string output;
};

// Runs a program with stdout into a pipe (or /dev/null), stderr to /dev/null.
ChildRun RunChild(const std::vector<std::string>& arguments, bool captureOutput) {
    int pipeFds[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(captureOutput ? pipeFds[1] : devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ChildRun run;
    if (captureOutput) {
        ::close(pipeFds[1]);
        char block[256];
        ssize_t n;
        while ((n = ::read(pipeFds[0], block, sizeof block)) > 0) run.output.append(block, n);
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKib = usage.ru_maxrss;
    return run;
}

void BM_FsFindProcess(benchmark::State& state) {
    long peak = 0;
    long growth = 0;
    int count = 0;
    for (auto _ : state) {
        const ChildRun run = RunChild({g_self, "--list", g_directory}, true);
        long before = 0;
        long after = 0;
        if (std::sscanf(run.output.c_str(), "%d %ld %ld", &count, &before, &after) != 3) {
            state.SkipWithError("the listing process reported nothing");
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakKib);
        growth = std::max(growth, after - before);
    }
    state.counters["entries"] = count;
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
    state.counters["listing_KiB"] = static_cast<double>(growth);
}

void BM_LsF(benchmark::State& state) {
    long peak = 0;
    for (auto _ : state) {
        const ChildRun run = RunChild({"ls", "-f", g_directory}, false);
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakKib);
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(peak);
}

void BM_FsFindInProcess(benchmark::State& state) {
    int count = 0;
    for (auto _ : state) {
        const FsSearch search = FsFindInit(g_directory.c_str(), "*", 127);
        benchmark::DoNotOptimize(FsFind(search, 0, &count));
        FsFindClose(search);
    }
    state.counters["entries"] = count;
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_FsFindProcess)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LsF)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FsFindInProcess)->Iterations(10)->Unit(benchmark::kMillisecond);

bool MakeDirectory() {
    const char* root = std::getenv("KQ_BENCH_DIR");
    std::string pattern =
        ((root && *root) ? stdfs::path(root) : stdfs::temp_directory_path()) / "kq-fs-find-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    g_directory = pattern;
    char name[32];
    for (int i = 0; i < kEntries - 1; ++i) {  // with "..", kEntries names are listed
        std::snprintf(name, sizeof name, "/entry-%06d.dat", i);
        const int fd = ::open((g_directory + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        ::close(fd);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0) return ListAndReport(argv[2]);
    g_self = stdfs::canonical("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    if (!MakeDirectory()) {
        std::fprintf(stderr, "cannot make the directory of %d entries\n", kEntries);
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    stdfs::remove_all(g_directory, ignored);
    return 0;
}
