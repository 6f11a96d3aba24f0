// The local file-system plugin (plugin number 0) inside the library: the functions reached only
// through plugin 0's record, and the shared state that the copy, move and delete jobs and the
// drive menu use. Its exported FS_Z* entry points are declared in kq/plugin.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kq/plugin.h"

namespace kq::localfs {

// The size of an instance's directory buffer, terminator included.
inline constexpr size_t kDirectorySize = 512;

// An instance: the handle FS_ZOpenPlugin returns. The directory is always an absolute path in
// the console code page (or empty after a refused ".." that cut it away).
struct Instance {
    char directory[kDirectorySize];
    void* owner;  // the panel that opened it; null for a job's temporary instance
};

// The absolute path that path names from base, lexically: "." parts dropped, ".." taking away
// the part before it (never above "/"). Only '/' separates.
std::string ResolvePath(std::string_view base, std::string_view path);

// Always PLUGIN_FLAG_LOCAL_PATHS.
uint32_t ZPLUGIN_CALL LocalGetFlags(PluginHandle handle);
// Fresh copies of the language strings 1020, 1023, 1022, 1021, 1024, 1025, 1026; the previous
// call's copies are freed. The plugin keeps them until the next call or FS_ZTerminate.
int32_t ZPLUGIN_CALL LocalGetKeyBar(const char** label1, const char** label2, const char** label3,
                                    const char** label4, const char** label5, const char** label6,
                                    const char** label7);

// ZProcessInput of plugin 0 (LocalCommandHook.cpp): "cd", "chdir" and a bare drive text typed
// on the command line change the owner panel's directory instead of reaching the command
// interpreter. 0 when the key was used, 1 when not.
int32_t ZPLUGIN_CALL FS_ZProcessInput(PluginHandle handle, uint32_t* key);

// What the command-line hook needs from the layers above the plugin: the command line and the
// owner panel's directory change. The shell registers them when it is built and clears them
// when it goes; while any member is null the hook passes every key on. UI thread only.
struct CommandLineAccess {
    const char* (*getLine)() = nullptr;
    void (*setLine)(const char* text) = nullptr;
    // Changes the directory of owner (an instance's owner, the panel that opened it) to path
    // through that panel's plugin; 0 when changed, -1 when refused.
    int (*changeDirectory)(void* owner, const char* path) = nullptr;
};
void SetCommandLineAccess(const CommandLineAccess& access);

// The plugin lock, held around every change of shared state and every directory change. Taking
// it before FS_ZInitialise (or after FS_ZTerminate) is a no-op.
void LockPlugin();
void UnlockPlugin();

// The running-jobs count, under the lock: a copy, move or delete job calls JobStarted before
// its first item and JobFinished after its last.
void JobStarted();
void JobFinished();
int32_t RunningJobs();
// Set by FS_ZTerminate; jobs stop at their next item. Cleared by FS_ZInitialise.
bool StopRequested();

// The drive menu's last array: the plugin takes ownership of the
// items, their texts and the array (all from malloc), freeing the previous ones.
void SetDriveMenu(PluginMenuItem* items, int32_t count);

}  // namespace kq::localfs
