// ZProgressDialog: the non-modal window of a copy or move job (templates 116 and 118). It shows
// the file under way, both bars, the speed and the time left, and passes the user's choices to
// the job: button 1 hides the window (the job goes on unseen), button 2 and Esc cancel.
//
// Thread rules: the job's thread reports through the CopyProgress calls; the UI thread
// dispatches the user's keys. A report paints only when the window lock is free at once, and
// at most every kPaintInterval: a copy never waits for the screen, and a tree of small files
// does not repaint per file.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "localfs/CopyEngine.h"
#include "ui/ZDialog.h"

namespace kq::localfs {

class ZProgressDialog final : public ZDialog, public CopyProgress {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPaintInterval{40};

    // total: bytes to copy, 0 when unknown (then only the names are shown). cancel is the
    // job's flag, set by button 2.
    ZProgressDialog(uint64_t total, std::atomic<bool>* cancel);

    // Off hides the window as well.
    int Activate(bool on) override;
    // 1 hides the window, 2 sets the job's cancel flag; other ids do nothing.
    int OnCommand(int id) override;

    void StartItem(const std::string& source, const std::string& target) override;
    void Advance(uint64_t fileDone, uint64_t fileSize, uint64_t finished) override;
    bool Cancelled() override;

    // The figures as the window shows them, for the bytes processed so far.
    struct Figures {
        uint64_t speed = 0;        // bytes per second
        uint64_t secondsLeft = 0;  // never negative
        int totalPercent = 0;      // 0 to 100
        int filePercent = 0;       // 0 to 100
    };
    static Figures Compute(uint64_t total, uint64_t finished, uint64_t fileDone, uint64_t fileSize,
                           uint64_t elapsedMilliseconds);

  private:
    // Paints the stored state when the interval has passed and the lock is free.
    void Paint();

    const uint64_t total_;
    std::atomic<bool>* cancel_;
    const Clock::time_point start_;
    Clock::time_point lastPaint_{};
    // The state as last reported; the job's thread alone writes and paints it.
    std::string source_;
    std::string target_;
    bool namesChanged_ = false;
    uint64_t fileDone_ = 0;
    uint64_t fileSize_ = 0;
    uint64_t finished_ = 0;
};

}  // namespace kq::localfs
