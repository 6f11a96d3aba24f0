// FsCopy of a 1 GiB file, the own loop and the system copy, next to cp in the same run; each
// with the source in the page cache, and with caches dropped and the copy synced to disk.
//
// Every timed copy starts from the same state: the previous destination deleted and everything
// written back (sync), so no copy pays for its predecessor's dirty pages. "Cold" drops the page
// cache first (/proc/sys/vm/drop_caches where writable, else the source's pages alone through
// posix_fadvise) and counts the destination's fsync in the time. The summary gives each
// method's median throughput and its share of cp's.
//
// The files live under $KQ_BENCH_DIR (else the temporary directory); KQ_BENCH_COPY_MIB sets
// the size (default 1024).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kq/fs.h"

namespace {

namespace stdfs = std::filesystem;

uint64_t g_size = 1024ull * 1024 * 1024;
std::string g_directory;
std::string g_source;
std::string g_target;
std::map<std::pair<int, int>, std::vector<double>> g_seconds;  // by method and cache
bool g_dropCachesWorks = false;

enum Method { kCp = 0, kOwnLoop = 1, kSystemCopy = 2 };
enum Cache { kWarm = 0, kCold = 1 };

const char* const kMethodNames[] = {"cp", "own loop", "system copy"};

bool MakeSource() {
    const int fd = ::open(g_source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::vector<uint64_t> block(1 << 17);  // 1 MiB of incompressible data
    std::mt19937_64 generator(42);
    for (uint64_t written = 0; written < g_size;) {
        for (uint64_t& word : block) word = generator();
        const size_t chunk = std::min<uint64_t>(block.size() * 8, g_size - written);
        if (::write(fd, block.data(), chunk) != static_cast<ssize_t>(chunk)) return false;
        written += chunk;
    }
    ::fsync(fd);
    ::close(fd);
    return true;
}

void ReadThrough(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    std::vector<char> block(1 << 20);
    while (::read(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
}

bool DropCaches() {
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool done = ::write(fd, "3", 1) == 1;
    ::close(fd);
    return done;
}

void EvictSource() {
    const int fd = ::open(g_source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

void SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool RunCp() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("cp", "cp", g_source.c_str(), g_target.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunFsCopy(uint32_t flags) {
    FsCopyStatus status{};
    if (FsCopy(g_source.c_str(), g_target.c_str(), &status, flags) != 0) return false;
    auto state = [&status] {
        return std::atomic_ref<int32_t>(status.state).load(std::memory_order_acquire);
    };
    while (state() == FS_COPY_RUNNING) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return state() == FS_COPY_OK;
}

// One timed copy from the common starting state; its seconds, or a negative value on failure.
double TimedCopy(Method method, Cache cache) {
    std::error_code ignored;
    stdfs::remove(g_target, ignored);
    ::sync();
    if (cache == kCold) {
        if (!DropCaches()) EvictSource();
    } else {
        ReadThrough(g_source);
    }
    const auto start = std::chrono::steady_clock::now();
    bool copied = false;
    switch (method) {
        case kCp:
            copied = RunCp();
            break;
        case kOwnLoop:
            copied = RunFsCopy(0);
            break;
        case kSystemCopy:
            copied = RunFsCopy(FS_COPY_SYSTEM);
            break;
    }
    if (cache == kCold) SyncFile(g_target);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return copied ? elapsed : -1;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double GibPerSecond(double seconds) {
    return seconds > 0 ? static_cast<double>(g_size) / seconds / (1 << 30) : 0;
}

// Each iteration is one round: all three methods, the first one rotating from round to round,
// so that a slow phase of the disk or the machine falls on every method alike. The iteration
// time is the round's; the counters are each method's median throughput and share of cp's.
void BM_CopyRounds(benchmark::State& state) {
    const auto cache = static_cast<Cache>(state.range(0));
    int round = 0;
    for (auto _ : state) {
        double total = 0;
        for (int k = 0; k < 3; ++k) {
            const auto method = static_cast<Method>((round + k) % 3);
            const double seconds = TimedCopy(method, cache);
            if (seconds < 0) {
                state.SkipWithError("a copy failed");
                return;
            }
            g_seconds[{method, cache}].push_back(seconds);
            total += seconds;
        }
        state.SetIterationTime(total);
        ++round;
    }
    const double cp = GibPerSecond(Median(g_seconds[{kCp, cache}]));
    const double own = GibPerSecond(Median(g_seconds[{kOwnLoop, cache}]));
    const double system = GibPerSecond(Median(g_seconds[{kSystemCopy, cache}]));
    state.counters["cp_GiB/s"] = cp;
    state.counters["own_GiB/s"] = own;
    state.counters["system_GiB/s"] = system;
    state.counters["own_%cp"] = cp > 0 ? 100 * own / cp : 0;
    state.counters["system_%cp"] = cp > 0 ? 100 * system / cp : 0;
}

void PrintSummary() {
    std::printf("\nMedian throughput and share of cp's, %llu MiB; cold caches by %s\n",
                static_cast<unsigned long long>(g_size >> 20),
                g_dropCachesWorks ? "drop_caches" : "evicting the source (posix_fadvise)");
    for (const Cache cache : {kWarm, kCold}) {
        const double cp = GibPerSecond(Median(g_seconds[{kCp, cache}]));
        for (const Method method : {kCp, kOwnLoop, kSystemCopy}) {
            const std::vector<double>& runs = g_seconds[{method, cache}];
            if (runs.empty()) continue;
            const double rate = GibPerSecond(Median(runs));
            std::printf("  %-5s %-12s %6.2f GiB/s  %5.1f %%  (%zu runs)\n",
                        cache == kWarm ? "warm" : "cold", kMethodNames[method], rate,
                        cp > 0 ? 100.0 * rate / cp : 0.0, runs.size());
        }
    }
}

}  // namespace

// Argument: 0 the source in the page cache, 1 caches dropped and the copy synced.
BENCHMARK(BM_CopyRounds)->Arg(kWarm)->Iterations(15)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_CopyRounds)->Arg(kCold)->Iterations(5)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (const char* mib = std::getenv("KQ_BENCH_COPY_MIB")) {
        g_size = std::strtoull(mib, nullptr, 10) << 20;
    }
    const char* root = std::getenv("KQ_BENCH_DIR");
    std::string pattern =
        ((root && *root) ? stdfs::path(root) : stdfs::temp_directory_path()) / "kq-fs-copy-XXXXXX";
    if (g_size == 0 || ::mkdtemp(pattern.data()) == nullptr) return 1;
    g_directory = pattern;
    g_source = g_directory + "/source.bin";
    g_target = g_directory + "/target.bin";
    if (!MakeSource()) {
        std::fprintf(stderr, "cannot write the %llu-byte source\n",
                     static_cast<unsigned long long>(g_size));
        return 1;
    }
    g_dropCachesWorks = DropCaches();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    std::error_code ignored;
    stdfs::remove_all(g_directory, ignored);
    return 0;
}
