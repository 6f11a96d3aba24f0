// ZJobDialog: a dialog the UI thread runs modally while a worker thread does the job it shows.
// A run ends exactly once, by the worker (Finish with its result) or by the user (commands 1
// and 2, from a button or Esc), whichever comes first: the other ending is dropped, so the
// worker can tell a cancel from its own end. Arm starts the next run of the same dialog.
//
// A worker that shows windows of its own (questions) waits for WaitUntilRaised first: a run
// raises its window when it starts, and a question shown before that would end up beneath it,
// with the keys going to the wrong window.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "kq/window.h"
#include "ui/ZDialog.h"

namespace kq::ui {

class ZJobDialog : public ZDialog {
  public:
    static constexpr int kRunDone = 1;
    static constexpr int kRunCancelled = 2;

    void Arm() {
        ended_.store(0);
        raised_.store(false);
    }
    // On the UI thread: raises the window, then runs the loop until the run ends. Elsewhere
    // as any window runs.
    int Run() override {
        if (!ZDesktop::IsUiThread()) return ZDialog::Run();
        Activate(true);
        raised_.store(true);
        ZDesktop::RunLoop(&ended_);
        return ended_.load();
    }
    // Any thread but the UI thread: returns once the current run has raised the window (or
    // has ended, or after a second at most).
    void WaitUntilRaised() const {
        for (int waited = 0; waited < kRaiseWaitMs && !raised_.load() && ended_.load() == 0;
             ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Ends the current run with result unless it has ended already; true when this call did.
    // Any thread; before the run has started, the run returns at once. EndRun wakes the loop.
    bool Finish(int result) {
        int expected = 0;
        if (!ended_.compare_exchange_strong(expected, result)) return false;
        EndRun(result);
        return true;
    }
    bool Cancelled() const { return ended_.load() == kRunCancelled; }
    int OnCommand(int id) override {
        if (id == kRunDone || id == kRunCancelled) {
            Finish(id);
            return 0;
        }
        return ZDialog::OnCommand(id);
    }

  private:
    static constexpr int kRaiseWaitMs = 1000;

    std::atomic<int> ended_{0};
    std::atomic<bool> raised_{false};
};

}  // namespace kq::ui
