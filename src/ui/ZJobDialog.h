// ZJobDialog: a dialog the UI thread runs modally while a worker thread does the job it shows.
// A run ends exactly once, by the worker (Finish with its result) or by the user (commands 1
// and 2, from a button or Esc), whichever comes first: the other ending is dropped, so the
// worker can tell a cancel from its own end. Arm starts the next run of the same dialog.
#pragma once

#include <atomic>

#include "ui/ZDialog.h"

namespace kq::ui {

class ZJobDialog : public ZDialog {
  public:
    static constexpr int kRunDone = 1;
    static constexpr int kRunCancelled = 2;

    void Arm() { ended_.store(0); }
    // Ends the current run with result unless it has ended already; true when this call did.
    // Any thread; before the run has started, the run returns at once.
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
    std::atomic<int> ended_{0};
};

}  // namespace kq::ui
