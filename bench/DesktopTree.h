// The window tree the desktop benchmarks draw: two 100 x 50 panels side by side and a dialog
// on top, on a 200 x 60 screen. The console is the real terminal backend on a pseudo-terminal
// whose other end is drained by a thread.
#pragma once

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "console/Console.h"
#include "console/TerminalConsole.h"
#include "kq/window.h"

namespace kq::bench {

// A panel-like window: a double frame and fifty rows of names, one row highlighted.
class ListWindow : public ZWindow {
  public:
    int Draw() override {
        FillCells(' ', 0x1B);
        for (int row = 1; row < Height() - 1; ++row) {
            const std::string name = "file-" + std::to_string(row) + ".txt";
            PutText(2, row, name, row == cursorRow ? 0x30 : 0x1B);
        }
        return DrawFrame(2, 0x1B);
    }
    int cursorRow = 1;
};

class DialogWindow : public ZWindow {
  public:
    int Draw() override {
        FillCells(' ', 0x70);
        PutText(3, 2, "Copy 12 files to /home/user/target?", 0x70);
        return DrawFrame(2, 0x70);
    }
};

class PseudoTerminal {
  public:
    PseudoTerminal() {
        winsize size{};
        size.ws_col = 200;
        size.ws_row = 60;
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) master_ = slave_ = -1;
        drain_ = std::thread([this] {
            char buffer[65536];
            while (!done_) {
                pollfd descriptor{master_, POLLIN, 0};
                if (poll(&descriptor, 1, 10) > 0 && read(master_, buffer, sizeof buffer) <= 0) {
                    break;
                }
            }
        });
    }
    ~PseudoTerminal() {
        done_ = true;
        drain_.join();
        close(master_);
        close(slave_);
    }
    bool Ok() const { return master_ >= 0; }

    std::shared_ptr<kq::console::TerminalConsole> MakeConsole(std::function<int64_t()> clock) {
        kq::console::TerminalConsole::Options options;
        options.inputFd = slave_;
        options.outputFd = slave_;
        options.quirks = kq::console::TerminalQuirks{};
        options.probeTerminal = false;
        options.clock = std::move(clock);
        return std::make_shared<kq::console::TerminalConsole>(options);
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::atomic<bool> done_{false};
    std::thread drain_;
};

struct Tree {
    ListWindow left;
    ListWindow right;
    DialogWindow dialog;

    void Build() {
        const uint32_t flags = WF_VISIBLE | WF_FOCUSABLE;
        left.Create("left", ZRec(0, 0, 0, 0), ZRec(0, 0, 100, 50), nullptr, flags, 0);
        right.Create("right", ZRec(100, 0, 0, 0), ZRec(0, 0, 100, 50), nullptr, flags, 0);
        dialog.Create("Copy", ZRec(70, 20, 0, 0), ZRec(0, 0, 60, 8), nullptr, flags, 0);
        left.Activate(true);
        right.Activate(true);
        dialog.Activate(true);
    }
};

}  // namespace kq::bench
