// What composing the window tree costs: the time of one full redraw of a 200 x 60 screen with
// two panels and a dialog, and the bytes that reach the terminal when a panel's cursor moves
// one row. The figures are reported as counters.
#include <benchmark/benchmark.h>

#include "bench/DesktopTree.h"
#include "ui/DesktopInternal.h"

namespace {

using kq::bench::PseudoTerminal;
using kq::bench::Tree;

void BM_RedrawAll(benchmark::State& state) {
    PseudoTerminal pty;
    if (!pty.Ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    kq::console::InstallBackend(pty.MakeConsole(nullptr));
    kq::ui::DesktopOpen(nullptr);
    {
        Tree tree;
        tree.Build();
        for (auto _ : state) ZDesktop::RedrawAll();
    }
    ZDesktop::Quit(1);
    kq::console::InstallBackend(nullptr);
}
BENCHMARK(BM_RedrawAll)->Unit(benchmark::kMicrosecond);

void BM_CursorRowChange(benchmark::State& state) {
    PseudoTerminal pty;
    if (!pty.Ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    // A simulated clock, so that every change goes out as its own frame.
    static int64_t now = 0;
    auto console = pty.MakeConsole([] { return now; });
    kq::console::InstallBackend(console);
    kq::ui::DesktopOpen(nullptr);
    {
        Tree tree;
        tree.Build();
        tree.left.Activate(true);
        now += 100;
        ConWaitInput(0);
        const auto before = console->GetStatistics();
        int64_t changes = 0;
        for (auto _ : state) {
            tree.left.cursorRow = 1 + static_cast<int>(changes % 40);
            tree.left.Redraw();
            now += 100;
            ConWaitInput(0);
            ++changes;
        }
        const auto after = console->GetStatistics();
        state.counters["bytes_per_change"] =
            static_cast<double>(after.bytes - before.bytes) / static_cast<double>(changes);
    }
    ZDesktop::Quit(1);
    kq::console::InstallBackend(nullptr);
}
BENCHMARK(BM_CursorRowChange)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
