// PluginsLoad and PluginsFree: the internal plugin as number 0, then every library of a plugin
// directory tree, depth first, with a progress log on standard output; termination from the
// highest number down, stopping at a refusal and resuming there on the next call.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "kq/fs.h"
#include "kq/kernel.h"
#include "kq/text.h"
#include "plugins/PluginTable.h"
#include "saver/SaverTrigger.h"

namespace kq::plugins {
namespace {

// Entries the scan lists: everything but hidden and system entries.
constexpr uint32_t kScanMask = 87;

// The console still shows the plain text screen while plugins load: each message goes out at
// once.
void Log(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// The library's name test: ".DLL" anywhere in the upper-cased name, and ".SO" on this platform.
bool LooksLikeLibrary(const char* name) {
    std::string upper = name;
    UUpCase(upper.data(), static_cast<int>(upper.size()));
    return upper.find(".DLL") != std::string::npos || upper.find(".SO") != std::string::npos;
}

// Libraries loaded for good. The records keep no handle; this list exists only so that leak
// checkers see the modules as reachable. Never destroyed, like the libraries themselves.
void KeepLoaded(KeHandle module) {
    static auto* const modules = new std::vector<KeHandle>;
    try {
        modules->push_back(module);
    } catch (const std::bad_alloc&) {
        // Only the bookkeeping is lost; the library stays loaded all the same.
    }
}

int RegisterInternalPlugin() {
    Log(" * Initializing internal 'plugins': ");
    const PluginEntry entry = InternalPluginEntry();
    const int32_t number = PluginCount();
    if (!RegisterPlugin(entry)) return -1;
    std::string name = "INTERNAL";
    PluginInfo info{};
    info.size = sizeof info;
    info.name = name.c_str();
    info.number = static_cast<uint32_t>(number);
    // Without a ZInitialise (before the local plugin's entry points exist) there is nothing to
    // fail.
    const int32_t error = entry.ZInitialise ? entry.ZInitialise(&info, 0) : 0;
    if (error != 0) {
        std::printf("Internal plugin's number %d initialisation error %d!\n", number, error);
        std::fflush(stdout);
        Log("Terminating.\n");
        return -1;
    }
    Log("[FS] ");
    Log("ok\n");
    return 0;
}

void LoadLibraryPlugin(const std::string& path) {
    std::printf(" * Loading plugin %s: ", path.c_str());
    std::fflush(stdout);
    const KeHandle module = KeLoadDll(path.c_str());
    if (module == -1 || module == 0) {
        Log("Can't load module!\n");
        return;
    }
    const auto initialise = reinterpret_cast<PluginInitialiseFn>(KeGetFn(module, kSlotNames[0]));
    if (initialise != nullptr) {
        PluginInfo info{};
        info.size = sizeof info;
        info.name = path.c_str();
        info.number = static_cast<uint32_t>(PluginCount());
        if (const int32_t error = initialise(&info, 0); error != 0) {
            KeFreeDll(module);
            std::printf("Initialisation error %d!\n", error);
            std::fflush(stdout);
            return;
        }
    }
    Log("ok\n");
    KeepLoaded(module);
    // The library stays loaded for the life of the process; the record keeps no handle.
    RegisterPlugin(EntryFromLookup([module](const char* name) { return KeGetFn(module, name); }));
}

void ScanDirectory(const char* directory) {
    const FsSearch search = FsFindInit(directory, "*", kScanMask);
    if (search == 0) return;
    int count = 0;
    const FsFindEntry* entries = FsFind(search, 0, &count);
    // The entries (and their names) live until the search closes; sub-directories use
    // searches of their own.
    for (int i = 0; entries != nullptr && i < count; ++i) {
        const FsFindEntry& entry = entries[i];
        if (std::strcmp(entry.name, "..") == 0 || std::strcmp(entry.name, ".") == 0) continue;
        try {
            // An empty directory lists the current one; its names stay relative.
            std::string path = directory;
            if (!path.empty() && path.back() != '/') path += '/';
            path += entry.name;
            // Paths are limited to one path buffer; longer ones are skipped, and said so.
            if (path.size() >= FS_MAX_PATH) {
                std::printf(" * Skipping %s: its path is longer than %d bytes\n", path.c_str(),
                            FS_MAX_PATH - 1);
                std::fflush(stdout);
                continue;
            }
            if (entry.attributes & FA_DIR) {
                PluginsLoad(path.c_str());
            } else if (LooksLikeLibrary(entry.name)) {
                LoadLibraryPlugin(path);
            }
        } catch (const std::bad_alloc&) {
            // Out of memory for this entry's path: it is skipped, as an unloadable one would be.
        }
    }
    FsFindClose(search);
}

UnloadGuard g_unloadGuard;

}  // namespace

void SetUnloadGuard(const UnloadGuard& guard) {
    g_unloadGuard = guard;
}

}  // namespace kq::plugins

extern "C" {

ZPLUGIN_VISIBLE int ZPLUGIN_CALL PluginsLoad(const char* directory) {
    using namespace kq::plugins;
    if (PluginCount() == 0 && RegisterInternalPlugin() != 0) return -1;
    if (directory != nullptr) ScanDirectory(directory);
    kq::saver::InstallSaverTrigger(PluginGet);
    return 0;
}

ZPLUGIN_VISIBLE int ZPLUGIN_CALL PluginsFree(void) {
    using namespace kq::plugins;
    // Copied: a plugin's termination may run windows, which must not change the guard midway.
    const UnloadGuard guard = g_unloadGuard;
    if (guard.release != nullptr) guard.release();
    // No plugin's saver may run while the plugins go.
    kq::saver::RemoveSaverTrigger();
    for (int32_t number = PluginCount() - 1; number >= 0; --number) {
        PluginEntry entry{};
        PluginGet(number, &entry);
        if (entry.ZTerminate != nullptr && entry.ZTerminate(0) != 0) {
            if (guard.restore != nullptr) guard.restore();
            kq::saver::InstallSaverTrigger(PluginGet);
            return 1;
        }
        UnregisterLastPlugin();
    }
    return 0;
}

}  // extern "C"
