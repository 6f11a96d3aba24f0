// FS_ZCreateDiskMenu: one drive-menu item per mounted file system ("/" first), each with its
// hot key by position (1 to 9, then a to z), its mount point, file-system name and label. The
// item's id is the drive's number, the start value FS_ZOpenPlugin takes.
//
// A mount whose hot key "NoLabel" (section "Main") lists is not queried ("-" and "?"). Every
// other query runs in a thread of its own and is given kQueryLimit: a hung network mount shows
// "?" instead of blocking the menu (its thread ends whenever the system lets it).
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kq/config.h"
#include "kq/fs.h"
#include "localfs/LocalPlugin.h"
#include "platform/Kernel.h"

namespace kq::localfs {
namespace {

constexpr std::chrono::milliseconds kQueryLimit{400};
// The longest item text, terminator included.
constexpr size_t kTextSize = 100;
// The longest "NoLabel" text, terminator included.
constexpr int kNoLabelSize = 30;
constexpr const char kHotKeys[] = "123456789abcdefghijklmnopqrstuvwxyz";

// One query, shared by the menu and the thread that may outlive its wait.
struct DiskQuery {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int result = -1;
    FsDiskInfo info{};
};

// The file-system name and label of the mount, or "?" for both when the system does not answer
// in time; "-" and "?" when it answers with a failure.
std::pair<std::string, std::string> QueryDisk(const std::string& root) {
    auto query = std::make_shared<DiskQuery>();
    try {
        std::thread([query, root] {
            const kq::platform::ThreadFaultStack faultStack;
            FsDiskInfo info{};
            const int result = FsGetDiskInfo(root.c_str(), &info);
            std::lock_guard lock(query->mutex);
            query->info = info;
            query->result = result;
            query->finished = true;
            query->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return {"?", "?"};  // no thread: not asked rather than risk blocking
    }
    std::unique_lock lock(query->mutex);
    if (!query->done.wait_for(lock, kQueryLimit, [&] { return query->finished; })) {
        return {"?", "?"};
    }
    if (query->result != 0) return {"-", "?"};
    return {query->info.fileSystem, query->info.label};
}

std::string NoLabelText() {
    char text[kNoLabelSize] = {};
    if (const CfgSection main = CfgOpen("Main")) {
        if (CfgQuerySz(main, "NoLabel", text, sizeof text) != 0) text[0] = '\0';
        CfgClose(main);
    }
    return text;
}

bool Listed(const std::string& keys, char key) {
    for (const char listed : keys) {
        if (std::tolower(static_cast<unsigned char>(listed)) == key) return true;
    }
    return false;
}

}  // namespace
}  // namespace kq::localfs

using namespace kq::localfs;

extern "C" {

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZCreateDiskMenu(PluginMenuItem** items) {
    if (items == nullptr) return 0;
    const std::string noLabel = NoLabelText();
    std::vector<std::string> roots;
    if (char* list = FsGetDrives()) {
        for (const char* drive = list; *drive != '\0'; drive += std::strlen(drive) + 1) {
            roots.emplace_back(drive);
        }
        FsFreeDrives(list);
    }
    // Drives past the last hot key are left out: a menu cannot reach them by key either.
    if (roots.size() > sizeof kHotKeys - 1) roots.resize(sizeof kHotKeys - 1);
    const size_t count = roots.size() + 1;
    auto* array = static_cast<PluginMenuItem*>(std::calloc(count, sizeof(PluginMenuItem)));
    if (array == nullptr) {
        *items = nullptr;
        return 0;
    }
    for (size_t i = 0; i < roots.size(); ++i) {
        const char key = kHotKeys[i];
        const auto [fileSystem, label] = Listed(noLabel, key)
                                             ? std::pair<std::string, std::string>{"-", "?"}
                                             : QueryDisk(roots[i]);
        char text[kTextSize];
        std::snprintf(text, sizeof text, "~%c %s %s\t%s", key, roots[i].c_str(), fileSystem.c_str(),
                      label.c_str());
        array[i].id = static_cast<uint32_t>(i + 1);
        array[i].text = strdup(text);
    }
    array[roots.size()].type = PLUGIN_MENU_SEPARATOR;
    SetDriveMenu(array, static_cast<int32_t>(count));
    *items = array;
    return static_cast<int32_t>(count);
}

}  // extern "C"
