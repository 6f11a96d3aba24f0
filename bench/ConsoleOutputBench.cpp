// What drawing costs on the terminal: bytes for a whole-screen change and for one changed
// cell, and how many writes reach the terminal when a progress display is redrawn every
// millisecond for a second. The figures are reported as counters.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "console/Console.h"
#include "console/GlyphTable.h"
#include "console/TerminalConsole.h"
#include "console/TerminalOutput.h"

namespace {

using kq::console::CursorState;
using kq::console::GlyphTable;
using kq::console::ScreenMirror;
using kq::console::TerminalOutput;
using kq::console::TerminalQuirks;

void Fill(ScreenMirror& mirror, uint8_t character, uint8_t attribute) {
    std::vector<uint8_t> cells(static_cast<size_t>(mirror.Cols() * mirror.Rows()) * 2);
    for (size_t i = 0; i < cells.size(); i += 2) {
        // A realistic screen: text in a few colours, not one uniform run.
        cells[i] = static_cast<uint8_t>(character + (i / 2) % 26);
        cells[i + 1] = static_cast<uint8_t>(attribute + ((i / 2) / 40) % 3);
    }
    mirror.Load(cells);
}

// (a) every cell of a 200 x 60 screen changes.
void BM_FullScreenChange(benchmark::State& state) {
    const auto glyphs = GlyphTable::Create(437);
    size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TerminalOutput output(*glyphs, TerminalQuirks{});
        ScreenMirror mirror(200, 60);
        Fill(mirror, 'a', 0x17);
        std::string first;
        output.Render(mirror, CursorState{0, 0, 0}, first);
        Fill(mirror, 'A', 0x1E);
        state.ResumeTiming();
        std::string update;
        output.Render(mirror, CursorState{0, 0, 0}, update);
        bytes = update.size();
        benchmark::DoNotOptimize(update);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_FullScreenChange);

// (b) one cell of an otherwise unchanged 200 x 60 screen, with a visible cursor elsewhere.
void BM_OneCellChange(benchmark::State& state) {
    const auto glyphs = GlyphTable::Create(437);
    TerminalOutput output(*glyphs, TerminalQuirks{});
    ScreenMirror mirror(200, 60);
    Fill(mirror, 'a', 0x17);
    const CursorState cursor{10, 58, 20};
    std::string first;
    output.Render(mirror, cursor, first);
    size_t bytes = 0;
    uint8_t toggle = 0;
    for (auto _ : state) {
        const uint8_t cell[2] = {static_cast<uint8_t>(0xB0 + (toggle++ & 1)), 0x4E};
        mirror.Write(137, 33, cell, 1);
        std::string update;
        output.Render(mirror, cursor, update);
        bytes = update.size();
        benchmark::DoNotOptimize(update);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_OneCellChange);

// (c) 1,000 ConWrite calls of one row within one second, the input loop polling between them,
// through the whole console layer onto a pseudo-terminal. The clock is simulated so that the
// second is exact.
void BM_ProgressRowEveryMillisecond(benchmark::State& state) {
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 60;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::atomic<bool> done{false};
    std::thread drain([&] {
        char buffer[65536];
        while (!done) {
            pollfd descriptor{master, POLLIN, 0};
            if (poll(&descriptor, 1, 10) > 0 && read(master, buffer, sizeof buffer) <= 0) break;
        }
    });
    int64_t now = 0;
    uint64_t writes = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        kq::console::TerminalConsole::Options options;
        options.inputFd = slave;
        options.outputFd = slave;
        options.quirks = TerminalQuirks{};
        options.probeTerminal = false;
        options.clock = [&now] { return now; };
        auto terminal = std::make_shared<kq::console::TerminalConsole>(options);
        kq::console::InstallBackend(terminal);
        ConInit(nullptr, nullptr);
        const auto start = terminal->GetStatistics();
        std::vector<uint8_t> row(200 * 2);
        for (int ms = 0; ms < 1000; ++ms) {
            ++now;
            for (int x = 0; x < 200; ++x) {
                row[2 * x] = x < ms / 5 ? 0xDB : 0xB0;  // a progress bar
                row[2 * x + 1] = 0x1F;
            }
            ConWrite(0, 30, row.data(), 200);
            uint32_t event = 0;
            ConInput(&event);
        }
        const auto end = terminal->GetStatistics();
        writes = end.writes - start.writes;
        bytes = end.bytes - start.bytes;
        ConShutdown();
        kq::console::InstallBackend(nullptr);
    }
    done = true;
    drain.join();
    close(master);
    close(slave);
    state.counters["writes"] = static_cast<double>(writes);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ProgressRowEveryMillisecond)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
