// The local plugin's delete entry point, FS_ZDeleteFiles: the engine runs in a worker thread
// while the UI thread runs the progress window (template 107) modally; the worker asks its
// questions in message boxes of its own and ends the window's run when it is done. Without a
// window (PLUGIN_OP_IN_CALLER_THREAD) the engine runs in the caller's thread and asks nothing.
//
// Thread rules: the worker touches the job, the file system and, under the window lock, the
// window's path field; the UI thread sets the cancel flag when the run ends and waits for the
// worker before anything of the job goes.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "fs/FsInternal.h"
#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "kq/window.h"
#include "localfs/DeleteEngine.h"
#include "localfs/JobReport.h"
#include "localfs/LocalPlugin.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"
#include "ui/WindowLock.h"
#include "ui/ZJobDialog.h"

namespace kq::localfs {
namespace {

// The question box: 68 by 5 cells, centred across the screen, at row 13 on a screen of 25
// rows: just below the progress window's path, which it must leave visible. On other heights
// it keeps that place below the window.
constexpr int16_t kQuestionWidth = 68;
constexpr int16_t kQuestionHeight = 5;
constexpr int16_t kQuestionRow = 13;
constexpr int16_t kQuestionBelowWindowTop = 5;
// Its buttons: cancel (2), delete (64), skip (128), delete all (256), skip all (512).
constexpr uint32_t kQuestionButtons = 2u | 64u | 128u | 256u | 512u;
constexpr int kAnswerDelete = 64;
// The path field is rewritten at most this often: a tree of small files goes faster than
// anyone reads.
constexpr std::chrono::milliseconds kPathInterval{40};
// Before a question the path is shown for sure: the lock is tried this many milliseconds.
constexpr int kLockAttempts = 200;

// The engine's view of the progress window and the questions; with no window it asks nothing.
class DeleteWindow final : public DeleteHooks {
  public:
    explicit DeleteWindow(ui::ZJobDialog* dialog) : dialog_(dialog) {}

    void ShowPath(const std::string& path) override {
        if (dialog_ == nullptr) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastShown_ < kPathInterval) return;
        // Skipped, not waited for, while the UI thread holds the lock.
        std::unique_lock lock(ui::WindowLock(), std::try_to_lock);
        if (!lock.owns_lock()) return;
        lastShown_ = now;
        PutPath(path);
    }

    DeleteAnswer Ask(DeleteQuestion question, const std::string& path) override {
        // While the program quits nothing is asked and nothing more is deleted.
        if (StopRequested()) return DeleteAnswer::kSkip;
        // The window behind the box names the item asked about, whatever the interval.
        int16_t row = kQuestionRow;
        if (dialog_ != nullptr) {
            dialog_->WaitUntilRaised();
            std::unique_lock lock(ui::WindowLock(), std::defer_lock);
            for (int attempt = 0; attempt < kLockAttempts && !lock.try_lock(); ++attempt) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (lock.owns_lock()) {
                PutPath(path);
                row = static_cast<int16_t>(dialog_->ScreenRect().y + kQuestionBelowWindowTop);
            }
        }
        const std::string text =
            ui::LoadLanguageText(question == DeleteQuestion::kReadOnlyFile ? IDS_DELETE_READ_ONLY
                                                                           : IDS_DELETE_NOT_EMPTY);
        const int answer =
            ZMessageBox(nullptr, ZRec(-1, row, 0, 0), ZRec(0, 0, kQuestionWidth, kQuestionHeight),
                        "", text.c_str(), kQuestionButtons, kAnswerDelete, WF_DEFAULT | WF_MODAL);
        return AnswerOf(answer);
    }

    bool Cancelled() override {
        return StopRequested() || (dialog_ != nullptr && dialog_->Cancelled());
    }

    // The answer a box's result stands for. A box closed any other way (destroyed, or the
    // program quitting) keeps the item: only a deliberate answer deletes.
    static DeleteAnswer AnswerOf(int result) {
        switch (result) {
            case kAnswerDelete:
                return DeleteAnswer::kDelete;
            case 256:
                return DeleteAnswer::kDeleteAll;
            case 512:
                return DeleteAnswer::kSkipAll;
            case 2:
                return DeleteAnswer::kCancel;
            default:
                return DeleteAnswer::kSkip;
        }
    }

  private:
    // Under the window lock.
    void PutPath(const std::string& path) {
        ZWindow* field = dialog_->GetControl(IDC_ITEM);
        const size_t width = field != nullptr ? static_cast<size_t>(field->Width()) : 0;
        if (width > 0) {
            dialog_->SetControlText(IDC_ITEM,
                                    ui::ShortenedFromStart(fs::ToCodePage(path), width).c_str());
        }
    }

    ui::ZJobDialog* dialog_;
    std::chrono::steady_clock::time_point lastShown_{};
};

struct Worker {
    const DeleteRequest* request = nullptr;
    DeleteWindow* window = nullptr;
    ui::ZJobDialog* dialog = nullptr;
    DeleteOutcome outcome;
};

uint32_t ZCALL WorkerThread(intptr_t argument) {
    auto* worker = reinterpret_cast<Worker*>(argument);
    try {
        worker->outcome = RunDeleteEngine(*worker->request, *worker->window);
    } catch (const std::bad_alloc&) {
        worker->outcome.notDone = std::max(worker->outcome.notDone, 1);
        worker->outcome.failures = {JobFailure{worker->request->directory, ENOMEM}};
    }
    if (worker->dialog != nullptr) worker->dialog->Finish(ui::ZJobDialog::kRunDone);
    return 0;
}

// Runs the job behind the window: the worker deletes, the window runs until the worker is
// done or the user cancels; a cancel stops the worker before its next item.
void RunBehindWindow(Worker& worker, ui::ZJobDialog& dialog) {
    worker.dialog = &dialog;
    dialog.Arm();
    const KeHandle thread = KeThread(WorkerThread, reinterpret_cast<intptr_t>(&worker));
    // Without a thread the job runs here, its questions still asked; its end ends the run
    // before the run starts, which then returns at once.
    if (thread == 0) WorkerThread(reinterpret_cast<intptr_t>(&worker));
    dialog.Run();
    dialog.Finish(ui::ZJobDialog::kRunCancelled);
    if (thread != 0) KeWaitThread(thread);
}

}  // namespace
}  // namespace kq::localfs

using namespace kq::localfs;

extern "C" {

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZDeleteFiles(PluginHandle handle, PluginItem* items,
                                                     int32_t count, uint32_t flags) {
    const auto* instance = reinterpret_cast<const Instance*>(handle);
    if (instance == nullptr || (items == nullptr && count > 0)) {
        errno = EINVAL;
        return -1;
    }
    DeleteRequest request;
    request.directory = kq::fs::SystemPath(instance->directory);
    request.flags = flags;
    // The panel puts the first item last: the job takes them from the end.
    for (int32_t i = count - 1; i >= 0; --i) {
        if (items[i].name != nullptr) request.names.emplace_back(items[i].name);
    }

    JobStarted();
    Worker worker;
    worker.request = &request;
    if (flags & PLUGIN_OP_IN_CALLER_THREAD) {
        DeleteWindow silent(nullptr);
        worker.window = &silent;
        WorkerThread(reinterpret_cast<intptr_t>(&worker));
    } else {
        kq::ui::ZJobDialog dialog;
        const bool shown = dialog.CreateFromResource(IDD_DELETE_PROGRESS, nullptr, 0) == 0;
        DeleteWindow window(shown ? &dialog : nullptr);
        worker.window = &window;
        if (shown) {
            RunBehindWindow(worker, dialog);
            dialog.Destroy();
        } else {
            WorkerThread(reinterpret_cast<intptr_t>(&worker));
        }
    }
    JobFinished();

    const DeleteOutcome& outcome = worker.outcome;
    if (outcome.notDone == 0) return 0;
    // A caller that wanted no window learns from the result; the user from one message.
    if (flags & PLUGIN_OP_IN_CALLER_THREAD) {
        const int reason = outcome.failures.empty() ? 0 : outcome.failures.front().reason;
        errno = reason > 0 ? reason : EIO;
        return -1;
    }
    if (!StopRequested()) ReportJobFailures(IDS_DELETE_NOT_DONE, outcome.notDone, outcome.failures);
    return 0;
}

}  // extern "C"
