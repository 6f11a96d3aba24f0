// The local plugin's instances and browsing: FS_ZOpenPlugin, FS_ZClosePlugin, FS_ZSetDirectory,
// FS_ZGetDirectory, FS_ZFindFiles, FS_ZFindClose and FS_ZCreateDirectory.
//
// No entry point here changes the process's current directory: job threads use instances too,
// and a current directory that another thread may change in between is never relied on. A
// relative path is resolved against the instance's own directory instead, lexically, and the
// result is checked to be a directory that can be entered.
//
// Listed symbolic links carry PLUGIN_ITEM_LINK in reserved11 and their own size in reserved3,
// so that the tree walks (directory sizes) count a link as itself and never descend through
// one. The file-system layer lists a link as what it points to (a panel can enter a link to a
// directory) and says which names are links in the same listing, so no name is ever unknown.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FsInternal.h"
#include "kq/fs.h"
#include "localfs/LocalListings.h"
#include "localfs/LocalPlugin.h"

namespace kq::localfs {
namespace {

Instance* FromHandle(PluginHandle handle) {
    return reinterpret_cast<Instance*>(handle);
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Copies text into the instance's buffer; false (buffer untouched) when it does not fit.
bool StoreDirectory(Instance& instance, std::string_view text) {
    if (text.size() >= kDirectorySize) return false;
    std::memcpy(instance.directory, text.data(), text.size());
    instance.directory[text.size()] = '\0';
    return true;
}

// What changing into the directory needs: that it is one, that it may be searched and that it
// may be listed (a directory that cannot be listed would show a panel with nothing in it).
// 0, or the system's reason.
int EnterError(const std::string& codePagePath) {
    const std::string system = kq::fs::SystemPath(codePagePath.c_str());
    struct stat status {};
    if (::stat(system.c_str(), &status) != 0) return errno;
    if (!S_ISDIR(status.st_mode)) return ENOTDIR;
    return ::access(system.c_str(), R_OK | X_OK) == 0 ? 0 : errno;
}

// The text rules of a refused change. Returns the entry point's result.
int32_t AdjustAfterRefusal(Instance& instance, std::string_view path) {
    std::string text = instance.directory;
    if (path.empty()) return -1;
    if (IsSeparator(path[0])) {
        text = path;
    } else if (path.starts_with("..")) {
        if (text.empty()) return 0;
        const size_t last = text.find_last_of("/\\");
        text = last == std::string::npos ? std::string{} : text.substr(0, last);
        if (text.size() == 1) text.clear();
    } else {
        if (text.empty() || !IsSeparator(text.back())) text += '/';
        text += path;
    }
    StoreDirectory(instance, text);
    return -1;
}

// The mount point among drives that directory lies on: the longest one that is a prefix of it
// at a separator ("/" always is).
std::string_view MountOf(std::string_view directory, const std::vector<std::string_view>& drives) {
    std::string_view best;
    for (const std::string_view drive : drives) {
        const bool onIt = drive == "/" || directory == drive ||
                          (directory.starts_with(drive) && directory[drive.size()] == '/');
        if (onIt && drive.size() > best.size()) best = drive;
    }
    return best;
}

void FreeItem(PluginItem& item) {
    std::free(item.name);
    std::free(item.text1);
    std::free(item.text2);
    if (item.extraCount != 0) {
        if (item.extraStrings != nullptr) {
            for (uint32_t i = 0; i < item.extraCount; ++i) std::free(item.extraStrings[i]);
            std::free(item.extraStrings);
        }
        std::free(item.extraBlock);
    }
}

// The directory's stamp; false when it cannot be read (the listing is then not shared).
bool StampOf(const std::string& codePagePath, DirectoryStamp& stamp) {
    struct stat status {};
    if (::stat(kq::fs::SystemPath(codePagePath.c_str()).c_str(), &status) != 0) return false;
    stamp.device = status.st_dev;
    stamp.inode = status.st_ino;
    stamp.modifiedNs =
        static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.changedNs =
        static_cast<int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
    return true;
}

}  // namespace

// The absolute path that path names from base: "." parts dropped, ".." taking away the part
// before it (never going above "/"). Only '/' separates: a backslash is part of a name here.
std::string ResolvePath(std::string_view base, std::string_view path) {
    std::string joined;
    if (!path.empty() && path[0] == '/') {
        joined = path;
    } else {
        joined = base;
        joined += '/';
        joined += path;
    }
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string resolved;
    for (const std::string_view part : parts) {
        resolved += '/';
        resolved += part;
    }
    return resolved.empty() ? "/" : resolved;
}
}  // namespace kq::localfs

using namespace kq::localfs;

extern "C" {

ZPLUGIN_VISIBLE PluginHandle ZPLUGIN_CALL FS_ZOpenPlugin(intptr_t /*reserved*/, uint32_t start,
                                                         void* owner) {
    auto* instance = static_cast<Instance*>(std::calloc(1, sizeof(Instance)));
    if (instance == nullptr) return 0;
    instance->owner = owner;
    if (FsGetCwd(instance->directory) != 0) StoreDirectory(*instance, "/");
    if (start > 0) {
        char* list = FsGetDrives();
        std::vector<std::string_view> drives;
        for (const char* drive = list; drive != nullptr && *drive != '\0';
             drive += std::strlen(drive) + 1) {
            drives.emplace_back(drive);
        }
        if (start <= drives.size()) {
            const std::string_view wanted = drives[start - 1];
            if (MountOf(instance->directory, drives) != wanted) {
                StoreDirectory(*instance, wanted);
            }
        }
        if (list != nullptr) FsFreeDrives(list);
    }
    return reinterpret_cast<PluginHandle>(instance);
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZClosePlugin(PluginHandle handle) {
    std::free(FromHandle(handle));
    return 0;
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZSetDirectory(PluginHandle handle, const char* path,
                                                      intptr_t /*reserved*/) {
    Instance* instance = FromHandle(handle);
    if (instance == nullptr) return -1;
    const std::string_view wanted = path != nullptr ? path : "";
    LockPlugin();
    int32_t result = -1;
    int error = ENOENT;
    // An empty text (left by a refused "..") is no base for a relative path: only the text
    // rules apply to it.
    const bool hasBase = instance->directory[0] != '\0' || wanted.starts_with('/');
    if (!wanted.empty() && hasBase) {
        const std::string resolved = ResolvePath(instance->directory, wanted);
        // The instance's buffer is the limit: a longer path is refused, never cut.
        error = resolved.size() >= kDirectorySize ? ENAMETOOLONG : EnterError(resolved);
        if (error == 0 && StoreDirectory(*instance, resolved)) result = 0;
    }
    if (result != 0) result = AdjustAfterRefusal(*instance, wanted);
    UnlockPlugin();
    if (result != 0) errno = error;
    return result;
}

ZPLUGIN_VISIBLE const char* ZPLUGIN_CALL FS_ZGetDirectory(PluginHandle handle) {
    Instance* instance = FromHandle(handle);
    return instance != nullptr ? instance->directory : nullptr;
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZFindFiles(PluginHandle handle, PluginItem** items,
                                                   int32_t* count, intptr_t /*reserved*/) {
    Instance* instance = FromHandle(handle);
    if (instance == nullptr || items == nullptr || count == nullptr) return -1;
    *items = nullptr;
    *count = 0;
    const std::string directory = instance->directory;
    // Taken before the entries are read: a change during the read makes the stamp stale.
    DirectoryStamp stamp;
    const bool stamped = StampOf(directory, stamp);
    if (stamped) {
        int32_t shared = 0;
        if (PluginItem* block = AcquireSharedListing(directory, stamp, shared)) {
            *items = block;
            *count = shared;
            return 0;
        }
    }
    const FsSearch search = FsFindInit(directory.c_str(), "*", 127);
    if (search == 0) return -1;
    int listed = 0;
    FsFindEntry* entries = FsFind(search, 0, &listed);
    if (entries == nullptr || listed <= 0) {
        FsFindClose(search);
        return -1;
    }
    int first = 0;
    if (directory == "/" && std::strcmp(entries[0].name, "..") == 0) first = 1;
    const int total = listed - first;
    // One empty text for every item's text1 and text2, then the names.
    size_t textBytes = 1;
    for (int i = 0; i < total; ++i) textBytes += std::strlen(entries[first + i].name) + 1;
    PluginItem* array = AllocateListing(total, textBytes);
    if (array == nullptr) {
        FsFindClose(search);
        return -1;
    }
    char* const empty = TextArea(array, total);
    char* next = empty + 1;
    for (int i = 0; i < total; ++i) {
        const FsFindEntry& entry = entries[first + i];
        PluginItem& item = array[i];
        item.size = sizeof(PluginItem);
        const size_t length = std::strlen(entry.name) + 1;
        std::memcpy(next, entry.name, length);
        item.name = next;
        next += length;
        item.fileSize = entry.size;
        item.attributes = entry.attributes;
        item.created = entry.created;
        item.modified = entry.modified;
        item.accessed = entry.accessed;
        item.text1 = empty;
        item.text2 = empty;
        if ((entry.reserved & FS_ENTRY_LINK) != 0) {
            item.reserved11 |= PLUGIN_ITEM_LINK;
            item.reserved3 = entry.reserved & FS_ENTRY_LINK_SIZE;
        }
    }
    FsFindClose(search);
    if (!RegisterListing(array, total, directory, stamp, stamped)) {
        std::free(array);
        return -1;
    }
    *items = array;
    *count = total;
    return 0;
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZFindClose(PluginHandle /*handle*/, PluginItem* items,
                                                   int32_t count) {
    if (items == nullptr || ReleaseListing(items)) return 0;
    // An array that was not listed here, built item by item.
    for (int32_t i = 0; i < count; ++i) FreeItem(items[i]);
    if (count > 0) std::free(items);
    return 0;
}

ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZCreateDirectory(PluginHandle handle, const char* name,
                                                         intptr_t /*reserved*/) {
    Instance* instance = FromHandle(handle);
    if (name == nullptr || name[0] == '\0') return 0;
    if (instance == nullptr) return -1;
    std::string path;
    if (name[0] == '/') {
        path = name;
    } else {
        path = instance->directory;
        if (path.empty() || path.back() != '/') path += '/';
        path += name;
    }
    return FsMkDir(path.c_str(), 0) == 0 ? 0 : -1;
}

}  // extern "C"
