// Directory sizes (command 1067, and the totals of copy and move): ZFilePanel::ComputeSizes.
//
// Each measured directory is walked by a worker thread through fresh instances of the panel's
// plugin while the UI thread runs the size dialog modally; the worker writes its counts into
// the dialog's controls after every listing and ends the run with 1 when its walk is done,
// the user ends it with 2 (Esc or the button) to cancel. Whichever ending comes first counts:
// the other one is dropped, so a run ends exactly once and the worker sees the cancel before
// its next listing.
//
// Thread rules: the worker touches only its own plugin instances, its counters and (under the
// window lock) the dialog's controls; the panel's rows and items are read and written by the
// UI thread alone, under the window lock, and never while the dialog runs. ComputeSizes must
// not be called with the window lock held: the worker needs it to show its counts.
//
// The walk never descends through a symbolic link (PLUGIN_ITEM_LINK): a link is counted as one
// file of its own size, never its target's, so a link to an ancestor cannot make the walk
// endless and a link to a large file or tree adds only itself. Deeper than kMaxDepth levels,
// directories are counted but not entered.
#include "panels/ZFilePanelSizes.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "panels/PanelSort.h"
#include "panels/PanelTexts.h"
#include "panels/ZFilePanel.h"
#include "ui/FormatNumber.h"
#include "ui/WindowLock.h"
#include "ui/ZJobDialog.h"

using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

// Directory changes and listings of the measuring instances use this mode.
constexpr intptr_t kMeasureMode = 4;
// Directories this far below the measured one are counted but not entered: a guard against
// trees that loop without links (bind mounts) and against running out of stack.
constexpr int kMaxDepth = 256;
// The dialog's result once the worker has counted.
constexpr int kRunCounted = kq::ui::ZJobDialog::kRunDone;
// The width of the dialog's count and total fields.
constexpr int kFieldWidth = 9;

kq::panels::SizeListingObserver& Observer() {
    static kq::panels::SizeListingObserver observer;
    return observer;
}

// The size dialog (template 114): a run ends with 1 when the worker has counted, with 2 when the
// user cancelled.
using SizeDialog = kq::ui::ZJobDialog;

bool IsLink(const PluginItem& item) {
    return (item.reserved11 & PLUGIN_ITEM_LINK) != 0;
}

// What an item that is not walked adds: a file its size, a link its own size.
uint64_t CountedSize(const PluginItem& item) {
    return IsLink(item) ? item.reserved3 : item.fileSize;
}

// Moves an instance to directory and then into name; false when either change was refused
// (a refused change may have moved the instance's text anywhere, even to an ancestor).
bool EnterDirectory(const PluginEntry& plugin, PluginHandle instance, const std::string& directory,
                    const char* name) {
    return plugin.ZSetDirectory(instance, directory.c_str(), kMeasureMode) == 0 &&
           plugin.ZSetDirectory(instance, name, kMeasureMode) == 0;
}

// The tree walk of one ComputeSizes call. The counts add up over all directories measured by
// the call; the worker writes them, the UI thread reads them only after the worker has ended.
class SizeWalk {
  public:
    SizeWalk(const PluginEntry& plugin, void* owner, SizeDialog* dialog)
        : plugin_(plugin), owner_(owner), dialog_(dialog) {}

    // Measures the tree of an instance that is in its directory: the bytes of every file in
    // it and below it.
    uint64_t Measure(PluginHandle instance, int depth) {
        if (Cancelled()) return 0;
        PluginItem* items = nullptr;
        int32_t count = 0;
        if (plugin_.ZFindFiles(instance, &items, &count, kMeasureMode) != 0) return 0;
        uint64_t bytes = 0;
        std::vector<std::string> subdirectories;
        for (int32_t i = 0; i < count && items != nullptr; ++i) {
            const PluginItem& item = items[i];
            if (kq::panels::IsDirectoryItem(item) && !IsLink(item)) {
                if (kq::panels::IsParentEntry(item) || item.name == nullptr) continue;
                ++directories_;
                subdirectories.emplace_back(item.name);
            } else {
                ++files_;
                bytes += CountedSize(item);
            }
        }
        bytes_ += bytes;
        ShowCounts();
        if (plugin_.ZFindClose != nullptr) plugin_.ZFindClose(instance, items, count);
        ++listings_;
        if (const kq::panels::SizeListingObserver& observer = Observer()) {
            observer(listings_, [this] { return Cancelled(); });
        }
        if (depth >= kMaxDepth || subdirectories.empty()) return bytes;

        const char* here = plugin_.ZGetDirectory(instance);
        const std::string directory = here != nullptr ? here : "";
        for (const std::string& name : subdirectories) {
            if (Cancelled()) break;
            const PluginHandle child = plugin_.ZOpenPlugin(0, 0, owner_);
            if (child == 0) continue;
            if (EnterDirectory(plugin_, child, directory, name.c_str())) {
                bytes += Measure(child, depth + 1);
            }
            if (plugin_.ZClosePlugin != nullptr) plugin_.ZClosePlugin(child);
        }
        return bytes;
    }

    // The end of the outermost call: the dialog's run ends with 1 unless the user ended it.
    void Done() {
        if (dialog_ != nullptr) dialog_->Finish(kRunCounted);
    }

    bool Cancelled() const { return dialog_ != nullptr && dialog_->Cancelled(); }

  private:
    void ShowCounts() {
        if (dialog_ == nullptr) return;
        char directories[32];
        char files[32];
        std::snprintf(directories, sizeof directories, "%9llu",
                      static_cast<unsigned long long>(directories_));
        std::snprintf(files, sizeof files, "%9llu", static_cast<unsigned long long>(files_));
        // FormatNumber writes no terminator and leaves the buffer as it is when the value does
        // not fit: it starts out blank.
        char total[kFieldWidth + 1];
        std::memset(total, ' ', kFieldWidth);
        total[kFieldWidth] = '\0';
        kq::ui::FormatNumber(total, kFieldWidth, bytes_,
                             kq::ui::kFormatThousands | kq::ui::kFormatRightAlign);
        // Control texts are read by the UI thread's drawing: changed under the window lock.
        WindowLockGuard lock(WindowLock());
        dialog_->SetControlText(IDC_SIZE_DIRS, directories);
        dialog_->SetControlText(IDC_SIZE_FILES, files);
        dialog_->SetControlText(IDC_SIZE_TOTAL, total);
    }

    const PluginEntry plugin_;  // a copy: the worker never reads the panel
    void* owner_;
    SizeDialog* dialog_;
    uint64_t directories_ = 0;
    uint64_t files_ = 0;
    uint64_t bytes_ = 0;
    int listings_ = 0;
};

// One directory's walk as the worker thread runs it.
struct WalkJob {
    SizeWalk* walk = nullptr;
    PluginHandle instance = 0;
    uint64_t bytes = 0;  // read by the UI thread after the worker has ended
};

uint32_t ZCALL WalkThread(intptr_t argument) {
    auto* job = reinterpret_cast<WalkJob*>(argument);
    try {
        job->bytes = job->walk->Measure(job->instance, 0);
    } catch (...) {
        // Out of memory in the middle of a walk: what was counted stays, the run still ends.
    }
    job->walk->Done();
    return 0;
}

// Measures the directory the instance is in behind the dialog: the worker walks, the dialog
// runs until the walk is done or the user cancels. The bytes counted, also after a cancel.
uint64_t MeasureBehindDialog(SizeWalk& walk, SizeDialog* dialog, PluginHandle instance) {
    WalkJob job{&walk, instance, 0};
    if (dialog == nullptr) {
        // No dialog (no language module): measured here, without a way to cancel.
        WalkThread(reinterpret_cast<intptr_t>(&job));
        return job.bytes;
    }
    dialog->Arm();
    const KeHandle thread = KeThread(WalkThread, reinterpret_cast<intptr_t>(&job));
    // Without a thread the walk runs here; it ends the run before the run starts, which then
    // returns at once.
    if (thread == 0) WalkThread(reinterpret_cast<intptr_t>(&job));
    dialog->Run();
    if (thread != 0) KeWaitThread(thread);
    return job.bytes;
}

}  // namespace

namespace kq::panels {

void SetSizeListingObserver(SizeListingObserver observer) {
    Observer() = std::move(observer);
}

}  // namespace kq::panels

uint64_t ZFilePanel::ComputeSizes(bool pause) {
    if (!bound_ || plugin_.ZOpenPlugin == nullptr || plugin_.ZSetDirectory == nullptr ||
        plugin_.ZGetDirectory == nullptr || plugin_.ZFindFiles == nullptr) {
        return 0;
    }
    // The rows as they are now: the table may be rebuilt by a job's reload while a dialog runs,
    // so each row is remembered with its name.
    struct Target {
        int row = 0;
        std::string name;
        bool measured = false;  // a directory (not a link to one): walked
        uint64_t size = 0;      // a file's size, a link's own size
    };
    std::vector<Target> targets;
    bool anyDirectory = false;
    {
        WindowLockGuard lock(WindowLock());
        const auto targetOf = [](int row, const PluginItem& item) {
            Target target;
            target.row = row;
            target.name = item.name != nullptr ? item.name : "";
            target.measured =
                kq::panels::IsDirectoryItem(item) && !IsLink(item) && item.name != nullptr;
            target.size = CountedSize(item);
            return target;
        };
        for (int row = 0; row < RowCount(); ++row) {
            if ((RowFlags(row) & kRowSelected) == 0) continue;
            if (const PluginItem* item = ItemAt(row)) targets.push_back(targetOf(row, *item));
        }
        if (targets.empty()) {
            // Nothing selected: only a current directory is measured; a current file gives 0.
            const PluginItem* item = ItemAt(Cursor());
            if (item != nullptr && targetOf(Cursor(), *item).measured) {
                targets.push_back(targetOf(Cursor(), *item));
            }
        }
        anyDirectory = std::any_of(targets.begin(), targets.end(),
                                   [](const Target& target) { return target.measured; });
    }

    uint64_t total = 0;
    if (!anyDirectory) {
        for (const Target& target : targets) total += target.size;
        return total;
    }

    SizeDialog dialog;
    const bool withDialog = dialog.CreateFromResource(IDD_DIR_SIZE, nullptr, 0) == 0;
    SizeDialog* const shown = withDialog ? &dialog : nullptr;
    SizeWalk walk(plugin_, static_cast<void*>(this), shown);
    const std::string directory = Directory();
    bool cancelled = false;
    bool measuredAny = false;
    for (const Target& target : targets) {
        if (!target.measured) {
            total += target.size;
            continue;
        }
        const PluginHandle instance = plugin_.ZOpenPlugin(0, 0, static_cast<void*>(this));
        if (instance == 0) continue;
        uint64_t size = 0;
        bool measured = false;
        if (EnterDirectory(plugin_, instance, directory, target.name.c_str())) {
            if (shown != nullptr) {
                const char* reading = plugin_.ZGetDirectory(instance);
                WindowLockGuard lock(WindowLock());
                dialog.SetControlText(IDC_ITEM, reading != nullptr ? reading : "");
            }
            size = MeasureBehindDialog(walk, shown, instance);
            measured = true;
            measuredAny = true;
            cancelled = walk.Cancelled();
        }
        // Also after a cancel: the size column shows the part counted so far.
        if (measured) StoreMeasuredSize(target.row, target.name, size);
        if (plugin_.ZClosePlugin != nullptr) plugin_.ZClosePlugin(instance);
        total += size;
        if (cancelled) break;
    }

    if (!cancelled && measuredAny && pause && shown != nullptr) {
        {
            WindowLockGuard lock(WindowLock());
            const std::string close = kq::panels::LoadLanguageText(IDS_BUTTON_OK);
            dialog.SetControlText(IDC_CANCEL, close.c_str());
            dialog.SetControlText(IDC_ITEM, "");
        }
        // Any ending will do now: the counts stay on the screen until the user closes them.
        dialog.Arm();
        dialog.Run();
    }
    if (withDialog) dialog.Destroy();
    {
        WindowLockGuard lock(WindowLock());
        CountTotals();  // the selection line sums the sizes just stored
    }
    return cancelled ? UINT64_MAX : total;
}

void ZFilePanel::StoreMeasuredSize(int row, const std::string& name, uint64_t size) {
    WindowLockGuard lock(WindowLock());
    MakeItemsWritable();
    const auto named = [&name](const PluginItem* item) {
        return item != nullptr && item->name != nullptr && name == item->name;
    };
    PluginItem* item = ItemAt(row);
    if (!named(item)) {
        item = nullptr;
        for (int other = 0; other < ItemCount(); ++other) {
            if (named(ItemAt(other))) {
                item = ItemAt(other);
                break;
            }
        }
    }
    if (item != nullptr) item->fileSize = size;
}
