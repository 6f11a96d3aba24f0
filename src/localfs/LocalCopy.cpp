// The local plugin's copy and move entry points, FS_ZGetFiles and FS_ZPutFiles: each builds a
// job from the items and the destination, starts it in a thread of its own behind the
// progress window (or runs it at once with PLUGIN_OP_IN_CALLER_THREAD), and at its end reloads
// both panels and tells the user what was not done and why.
//
// The job keeps copies of everything it needs (the sources as absolute paths, the destination,
// the owner): the instance it came from may be closed as soon as the entry point returns.
#include "localfs/LocalCopy.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fs/FsInternal.h"
#include "kq/config.h"
#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "localfs/CopyEngine.h"
#include "localfs/LocalPlugin.h"
#include "localfs/ZProgressDialog.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"
#include "ui/WindowLock.h"

namespace kq::localfs {
namespace {

// Bit 29 of the flags: the system's whole-file copy ("ApiCopy" shifted into place).
constexpr uint32_t kSystemCopyFlag = 0x20000000u;
constexpr int kSystemCopyShift = 29;

struct Job {
    CopyRequest request;
    uint64_t total = 0;
    void* owner = nullptr;
    std::atomic<bool> cancel{false};
    std::unique_ptr<ZProgressDialog> dialog;
};

// Reports into nothing: a job run in the caller's thread has no window.
class SilentProgress final : public CopyProgress {
  public:
    void StartItem(const std::string&, const std::string&) override {}
    void Advance(uint64_t, uint64_t, uint64_t) override {}
    bool Cancelled() override { return false; }
};

void (*g_reloadPanels)(void* owner) = nullptr;

void FinishJob(Job& job) {
    const CopyOutcome outcome = [&job] {
        if (job.dialog) return RunCopyEngine(job.request, *job.dialog, StopRequested);
        SilentProgress silent;
        return RunCopyEngine(job.request, silent, StopRequested);
    }();
    // While the program quits, the UI thread waits for this job and may hold the window lock
    // meanwhile: the window is then left to go with the desktop, and nothing is shown.
    if (StopRequested()) {
        static_cast<void>(job.dialog.release());
    } else {
        if (job.dialog) job.dialog->Destroy();
        if (g_reloadPanels != nullptr && job.owner != nullptr) g_reloadPanels(job.owner);
        if (outcome.notDone > 0) {
            ReportJobFailures(job.request.move ? IDS_MOVE_NOT_DONE : IDS_COPY_NOT_DONE,
                              outcome.notDone, outcome.failures);
        }
    }
    JobFinished();
}

uint32_t ZCALL JobThread(intptr_t argument) {
    std::unique_ptr<Job> job(reinterpret_cast<Job*>(argument));
    FinishJob(*job);
    return 0;
}

// The directory part of a destination typed by the user, resolved against base and converted
// to the file system's names.
std::string SystemDirectory(const std::string& base, std::string_view text) {
    return fs::SystemPath(ResolvePath(base, text).c_str());
}

// A job for the instance's items; the total is the caller's, 0 when it counted none.
std::unique_ptr<Job> NewJob(const Instance& instance, uint32_t totalLow, uint32_t totalHigh) {
    auto job = std::make_unique<Job>();
    job->owner = instance.owner;
    job->total = (static_cast<uint64_t>(totalHigh) << 32) | totalLow;
    return job;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// Starts the job: in this thread with PLUGIN_OP_IN_CALLER_THREAD, else behind its window in a
// thread of its own. 0 once started (or done); -1 when no thread could be started (said so).
int32_t StartJob(std::unique_ptr<Job> job, uint32_t flags) {
    if (const CfgSection main = CfgOpen("Main")) {
        uint32_t apiCopy = 0;
        if (CfgQueryDw(main, "ApiCopy", &apiCopy) == 0) flags += apiCopy << kSystemCopyShift;
        CfgClose(main);
    }
    job->request.move = (flags & PLUGIN_OP_MOVE) != 0;
    job->request.systemCopy = (flags & kSystemCopyFlag) != 0;
    JobStarted();
    if (flags & PLUGIN_OP_IN_CALLER_THREAD) {
        FinishJob(*job);
        return 0;
    }
    job->dialog = std::make_unique<ZProgressDialog>(job->total, &job->cancel);
    const int templateId = job->request.move ? IDD_MOVE_PROGRESS : IDD_COPY_PROGRESS;
    if (job->dialog->CreateFromResource(templateId, nullptr, 0) == 0) {
        job->dialog->Activate(true);
    } else {
        job->dialog.reset();  // no template in the language: the job runs without a window
    }
    Job* handedOver = job.release();
    if (KeThread(JobThread, reinterpret_cast<intptr_t>(handedOver)) != 0) return 0;
    const int error = errno;
    std::unique_ptr<Job> back(handedOver);
    if (back->dialog) back->dialog->Destroy();
    JobFinished();
    ui::ShowAlert(ui::FormatTexts(ui::LoadLanguageText(IDS_JOB_NOT_STARTED),
                                  {ui::ReasonText(error != 0 ? error : EAGAIN)}));
    return -1;
}

}  // namespace

void SetPanelReloader(void (*reload)(void* owner)) {
    g_reloadPanels = reload;
}

std::string NormalizeDestination(const std::string& base, std::string text) {
    // A text ending in a separator names a directory; the separators go before resolving.
    bool directory = false;
    while (!text.empty() && (text.back() == '/' || text.back() == '\\')) {
        text.pop_back();
        directory = true;
    }
    if (text.empty()) return directory ? "/" : WithSlash(fs::SystemPath(base.c_str()));
    if (directory) return WithSlash(SystemDirectory(base, text));
    const size_t slash = text.find_last_of('/');
    const std::string last = slash == std::string::npos ? text : text.substr(slash + 1);
    if (last.find_first_of("*?") != std::string::npos) {
        // A rename mask: its folder resolved, the mask itself kept as typed.
        const std::string folder =
            slash == std::string::npos ? base : ResolvePath(base, text.substr(0, slash + 1));
        return WithSlash(fs::SystemPath(folder.c_str())) + fs::FromCodePage(last);
    }
    std::string target = SystemDirectory(base, text);
    // An existing directory means "into it", as a copy on the command line takes it.
    struct stat status;
    if (::stat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) target = WithSlash(target);
    return target;
}

}  // namespace kq::localfs

using namespace kq::localfs;

extern "C" {

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZGetFiles(PluginHandle handle, PluginItem* items,
                                                  int32_t count, const char* destination,
                                                  uint32_t flags, uint32_t totalLow,
                                                  uint32_t totalHigh) {
    const auto* instance = reinterpret_cast<const Instance*>(handle);
    if (instance == nullptr || (items == nullptr && count > 0) || destination == nullptr) {
        return -1;
    }
    std::unique_ptr<Job> job = NewJob(*instance, totalLow, totalHigh);
    const std::string base = instance->directory;
    job->request.destination = NormalizeDestination(base, destination);
    const std::string folder = WithSlash(base);
    // The panel puts the first item last: the job takes them from the end.
    for (int32_t i = count - 1; i >= 0; --i) {
        if (items[i].name == nullptr) continue;
        job->request.sources.push_back(kq::fs::SystemPath((folder + items[i].name).c_str()));
    }
    return StartJob(std::move(job), flags);
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZPutFiles(PluginHandle handle, PluginItem* items,
                                                  int32_t count, uint32_t flags, uint32_t totalLow,
                                                  uint32_t totalHigh) {
    const auto* instance = reinterpret_cast<const Instance*>(handle);
    if (instance == nullptr || (items == nullptr && count > 0)) return -1;
    std::unique_ptr<Job> job = NewJob(*instance, totalLow, totalHigh);
    const std::string base = instance->directory;
    job->request.destination = WithSlash(kq::fs::SystemPath(base.c_str()));
    for (int32_t i = count - 1; i >= 0; --i) {
        if (items[i].name == nullptr) continue;
        // Full paths; a relative one is taken from the instance's directory.
        job->request.sources.push_back(
            kq::fs::SystemPath(ResolvePath(base, items[i].name).c_str()));
    }
    return StartJob(std::move(job), flags);
}

}  // extern "C"
