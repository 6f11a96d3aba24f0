// The copy and move jobs' progress window (see ZProgressDialog.h).
#include "localfs/ZProgressDialog.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "fs/FsInternal.h"
#include "kq/resource_ids.h"
#include "ui/AlertBox.h"
#include "ui/FormatNumber.h"
#include "ui/WindowLock.h"
#include "ui/ZProgressBar.h"

namespace kq::localfs {
namespace {

constexpr int kSpeedWidth = 10;

}  // namespace

ZProgressDialog::ZProgressDialog(uint64_t total, std::atomic<bool>* cancel)
    : total_(total), cancel_(cancel), start_(Clock::now()) {}

int ZProgressDialog::Activate(bool on) {
    const int result = ZDialog::Activate(on);
    if (!on) Show(false);
    return result;
}

int ZProgressDialog::OnCommand(int id) {
    if (id == IDC_OK) {
        Show(false);
    } else if (id == IDC_CANCEL) {
        cancel_->store(true);
    }
    return 0;
}

bool ZProgressDialog::Cancelled() {
    return cancel_->load();
}

void ZProgressDialog::StartItem(const std::string& source, const std::string& target) {
    source_ = source;
    target_ = target;
    namesChanged_ = true;
    fileDone_ = 0;
    fileSize_ = 0;
    Paint();
}

void ZProgressDialog::Advance(uint64_t fileDone, uint64_t fileSize, uint64_t finished) {
    fileDone_ = fileDone;
    fileSize_ = fileSize;
    finished_ = finished;
    Paint();
}

ZProgressDialog::Figures ZProgressDialog::Compute(uint64_t total, uint64_t finished,
                                                  uint64_t fileDone, uint64_t fileSize,
                                                  uint64_t elapsedMilliseconds) {
    Figures figures;
    // A file that grows while it is copied brings more bytes than the total counted: the
    // figures stay at their ends instead of running past them.
    const uint64_t processed = std::min(finished + fileDone, total);
    figures.speed = processed * 1000 / (elapsedMilliseconds + 1) + 1;
    figures.secondsLeft = (total - processed) / figures.speed;
    figures.totalPercent = total == 0 ? 0 : static_cast<int>(processed * 100 / total);
    figures.filePercent =
        static_cast<int>(std::min<uint64_t>(fileDone * 100 / (fileSize + 1), 100));
    return figures;
}

void ZProgressDialog::Paint() {
    const Clock::time_point now = Clock::now();
    if (now - lastPaint_ < kPaintInterval) return;
    // The UI thread may hold the lock for long (a question asked while quitting waits for this
    // very job): then this report is skipped, not waited for.
    std::unique_lock lock(ui::WindowLock(), std::try_to_lock);
    if (!lock.owns_lock() || !IsAttached() || !(GetFlags() & WF_VISIBLE)) return;
    lastPaint_ = now;
    if (namesChanged_) {
        namesChanged_ = false;
        for (const auto& [id, name] :
             {std::pair{IDC_PROGRESS_SOURCE, &source_}, std::pair{IDC_ITEM, &target_}}) {
            ZWindow* field = GetControl(id);
            const size_t width = field != nullptr ? static_cast<size_t>(field->Width()) : 0;
            if (width > 0) {
                SetControlText(id, ui::ShortenedFromStart(fs::ToCodePage(*name), width).c_str());
            }
        }
    }
    if (total_ == 0) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_);
    const Figures figures =
        Compute(total_, finished_, fileDone_, fileSize_, static_cast<uint64_t>(elapsed.count()));
    if (auto* bar = dynamic_cast<ZProgressBar*>(GetControl(IDC_PROGRESS_FILE))) {
        bar->SetProgress(figures.filePercent);
    }
    if (auto* bar = dynamic_cast<ZProgressBar*>(GetControl(IDC_PROGRESS_TOTAL))) {
        bar->SetProgress(figures.totalPercent);
    }
    char speed[kSpeedWidth + 1] = {};
    std::fill_n(speed, kSpeedWidth, ' ');
    ui::FormatNumber(speed, kSpeedWidth, figures.speed,
                     ui::kFormatThousands | ui::kFormatRightAlign);
    SetControlText(IDC_PROGRESS_SPEED, speed);
    char left[32];
    std::snprintf(left, sizeof left, "%02llu:%02llu:%02llu",
                  static_cast<unsigned long long>(figures.secondsLeft / 3600),
                  static_cast<unsigned long long>(figures.secondsLeft / 60 % 60),
                  static_cast<unsigned long long>(figures.secondsLeft % 60));
    SetControlText(IDC_PROGRESS_TIME_LEFT, left);
}

}  // namespace kq::localfs
