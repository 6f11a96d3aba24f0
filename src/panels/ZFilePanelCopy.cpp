// Copy and move (commands 1008 and 1009): ZFilePanel::CopyOrMove asks for the destination,
// measures the items, and hands them to the other panel's put operation or to this panel's
// get operation (each by the local fallback rule). The jobs reload both panels when they end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kq/edit.h"
#include "kq/resource_ids.h"
#include "panels/ItemCopies.h"
#include "panels/PanelSort.h"
#include "panels/ZFilePanel.h"
#include "plugins/LocalFallback.h"
#include "ui/WindowLock.h"
#include "ui/ZDialog.h"

using kq::panels::ItemCopies;
using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

constexpr uint64_t kSizesCancelled = ~uint64_t{0};

}  // namespace

void ZFilePanel::CopyOrMove(bool move) {
    int selected = 0;
    std::string currentName;
    uint64_t currentSize = 0;
    {
        WindowLockGuard lock(WindowLock());
        if (!bound_) return;
        for (int row = 0; row < RowCount(); ++row) {
            if (RowFlags(row) & kRowSelected) ++selected;
        }
        const PluginItem* current = ItemAt(Cursor());
        if (selected == 0) {
            if (current == nullptr || current->name == nullptr ||
                kq::panels::IsParentEntry(*current)) {
                return;
            }
            currentName = current->name;
            currentSize = current->fileSize;
        }
    }

    ZDialog dialog;
    if (dialog.CreateFromResource(move ? IDD_MOVE : IDD_COPY, nullptr, 0) != 0) return;
    char count[16];
    std::snprintf(count, sizeof count, "%5d", selected > 0 ? selected : 1);
    dialog.SetControlText(IDC_ITEM, count);
    auto* other = dynamic_cast<ZFilePanel*>(Other());
    if (other == this) other = nullptr;
    const std::string otherTitle = other != nullptr ? other->GetTitle() : "";
    std::string proposed = otherTitle;
    if (selected == 0 && other != nullptr && other->HasLocalPaths()) {
        if (proposed.empty() || proposed.back() != '/') proposed += '/';
        proposed += currentName;
    }
    dialog.SetControlText(IDC_NAME, proposed.c_str());
    if (auto* edit = dynamic_cast<ZEdit*>(dialog.GetControl(IDC_NAME))) edit->SetSelection(0, -1);
    const int result = dialog.Run();
    const char* typed = dialog.GetControlText(IDC_NAME);
    const std::string destination = typed != nullptr ? typed : "";
    dialog.Destroy();
    // A text past the jobs' 512-byte buffers is not cut (which would name another place):
    // every item is refused and reported as a name too long.
    if (result != 1) return;

    const bool intoOther = other != nullptr && destination == otherTitle;
    if (intoOther && !HasLocalPaths()) return;
    const uint64_t measured = ComputeSizes(false);
    if (measured == kSizesCancelled) return;

    // The rows again: a job's reload may have rebuilt the table while the dialogs ran.
    ItemCopies items;
    {
        WindowLockGuard lock(WindowLock());
        std::string folder = Directory();
        if (!folder.empty() && folder.back() != '/') folder += '/';
        const bool fullNames = intoOther && plugin_.ZGetDirectory != nullptr;
        const auto add = [&](const PluginItem& item) {
            if (fullNames) {
                items.Add(item, folder + (item.name != nullptr ? item.name : ""));
            } else {
                items.AddAsItIs(item);
            }
        };
        // The first selected row goes last: the jobs take the items from the end.
        for (int row = RowCount() - 1; row >= 0; --row) {
            const PluginItem* item = ItemAt(row);
            if ((RowFlags(row) & kRowSelected) && item != nullptr) add(*item);
        }
        if (selected == 0) {
            const PluginItem* current = ItemAt(Cursor());
            if (current == nullptr || current->name == nullptr || currentName != current->name) {
                return;
            }
            add(*current);
        }
    }
    if (items.Count() == 0) return;
    const uint64_t total = selected == 0 && measured == 0 ? currentSize : measured;

    PluginEntry local{};
    PluginGet(0, &local);
    kq::plugins::FileOperationCall call;
    call.operation =
        intoOther ? kq::plugins::FileOperation::kPutFiles : kq::plugins::FileOperation::kGetFiles;
    call.items = items.Data();
    call.count = items.Count();
    call.destination = destination.c_str();
    call.flags = move ? PLUGIN_OP_MOVE : 0;
    call.sizeLow = static_cast<uint32_t>(total);
    call.sizeHigh = static_cast<uint32_t>(total >> 32);
    if (intoOther) {
        kq::plugins::RunFileOperation(other->plugin_, other->handle_, other, call, local);
    } else {
        kq::plugins::RunFileOperation(plugin_, handle_, this, call, local);
    }
}
