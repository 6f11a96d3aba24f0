// How much processor time an idle desktop costs: the input loop runs for ten seconds with
// the benchmark tree on the screen and no key arriving; the program prints the CPU time the
// UI thread used, from the first pass of the loop on, as a share of one core.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/DesktopTree.h"

namespace {

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);  // the UI thread, not the terminal's drain thread
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Measures from the loop's first pass and quits the desktop once the time has passed; the
// loop calls Tick on every pass.
class Timer : public ZWindow {
  public:
    int Tick() override {
        const auto now = std::chrono::steady_clock::now();
        if (!started_) {
            started_ = true;
            cpuStart_ = ThreadCpuSeconds();
            wallStart_ = now;
        } else if (now - wallStart_ >= std::chrono::seconds(seconds)) {
            cpuUsed = ThreadCpuSeconds() - cpuStart_;
            wallUsed = std::chrono::duration<double>(now - wallStart_).count();
            ++passes;
            ZDesktop::Quit(1);
        } else {
            ++passes;
        }
        return 0;
    }
    int seconds = 10;
    long passes = 0;
    double cpuUsed = 0;
    double wallUsed = 0;

  private:
    bool started_ = false;
    double cpuStart_ = 0;
    std::chrono::steady_clock::time_point wallStart_;
};

kq::bench::Tree* g_tree = nullptr;
Timer* g_timer = nullptr;

}  // namespace

int main(int argc, char** argv) {
    kq::bench::PseudoTerminal pty;
    if (!pty.Ok()) return 1;
    kq::console::InstallBackend(pty.MakeConsole(nullptr));
    kq::bench::Tree tree;
    Timer timer;
    timer.seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    g_tree = &tree;
    g_timer = &timer;
    ZDesktop::Create(
        [] {
            g_tree->Build();
            g_timer->Create(nullptr, ZRec(), ZRec(), nullptr, 0, 0);
            return 0;
        },
        nullptr);
    std::printf("idle desktop: %.4f s CPU in %.1f s (%ld loop passes) = %.3f %% of one core\n",
                timer.cpuUsed, timer.wallUsed, timer.passes,
                100.0 * timer.cpuUsed / timer.wallUsed);
    kq::console::InstallBackend(nullptr);
    return 0;
}
