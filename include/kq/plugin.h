/* The plugin interface: the records a plugin exchanges with the host, the types of its twenty
 * entry points, and the host's plugin exports. A plugin compiles against this header alone, from
 * C or from C++; every record has a fixed layout with explicit padding, so that separately built
 * modules agree on it. A plugin is a shared object exporting some of the entry points below under
 * exactly these names. */
#ifndef KQ_PLUGIN_H
#define KQ_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

/* The standard calling convention (empty on this platform) and the export attribute. */
#if defined(_WIN32)
#define ZPLUGIN_CALL __stdcall
#define ZPLUGIN_VISIBLE __attribute__((dllexport))
#else
#define ZPLUGIN_CALL
#define ZPLUGIN_VISIBLE __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define ZPLUGIN_EXTERN_C extern "C"
#define ZPLUGIN_BEGIN extern "C" {
#define ZPLUGIN_END }
#else
#define ZPLUGIN_EXTERN_C
#define ZPLUGIN_BEGIN
#define ZPLUGIN_END
#endif

/* Marks a plugin's entry-point definitions: unmangled and exported. */
#define ZPLUGIN_EXPORT ZPLUGIN_EXTERN_C ZPLUGIN_VISIBLE

ZPLUGIN_BEGIN

/* The opaque instance value ZOpenPlugin returns and every instance call gets back. */
typedef intptr_t PluginHandle;

/* Built by the host and passed to ZInitialise; valid only during that call. */
typedef struct PluginInfo {
    uint32_t size; /* sizeof(PluginInfo) */
    uint32_t padding1;
    const char* name; /* the library's path as found by the scan; "INTERNAL" for plugin 0 */
    uint32_t number;  /* the number the plugin gets in the table */
    uint32_t padding2;
} PluginInfo;

/* PluginItem flags. */
#define PLUGIN_ITEM_SELECTED 1u

/* PluginItem reserved11 bits, set by the local plugin (others leave the word 0).
 * PLUGIN_ITEM_LINK: a symbolic link, listed as what it points to (a link to a directory with
 * FA_DIR, so that it can be entered); its own size is in reserved3. A tree walk counts it as
 * itself, with that size, and never descends through it. */
#define PLUGIN_ITEM_LINK 1u

/* One file or directory of a listing, in an array that ZFindClose releases. */
typedef struct PluginItem {
    uint32_t size; /* sizeof(PluginItem) */
    uint32_t reserved1;
    char* name;         /* no directory; allocated by the plugin */
    uint32_t reserved3; /* PLUGIN_ITEM_LINK: the link's own size */
    uint32_t padding1;
    uint64_t fileSize;
    uint32_t attributes; /* FA_* bits; FA_DIR (4) marks a directory */
    uint32_t padding2;
    time_t created;
    time_t modified; /* the one a panel shows */
    time_t accessed;
    uint32_t flags;      /* PLUGIN_ITEM_SELECTED; other bits 0 */
    uint32_t reserved11; /* PLUGIN_ITEM_LINK */
    uint64_t secondSize; /* used only for sorting (mode 7) */
    char* text1;         /* may be null (mode 8) */
    char* text2;         /* may be null (mode 9) */
    uint32_t extraCount; /* 0: no extras */
    uint32_t padding3;
    void* extraBlock; /* owned by the plugin when extraCount is not 0 */
    intptr_t reserved18;
    char** extraStrings; /* extraCount strings, owned by the plugin */
} PluginItem;

/* A drive-menu item's type that draws a separator line. */
#define PLUGIN_MENU_SEPARATOR 0x800u

/* One drive-menu item; the plugin owns the array it returns. */
typedef struct PluginMenuItem {
    uint32_t id;
    uint32_t type;
    void* submenu; /* null */
    char* text;    /* '~' before the hot key; a Tab before a right-aligned second part */
} PluginMenuItem;

/* ZGetFlags: the instance's directories are local file-system paths. */
#define PLUGIN_FLAG_LOCAL_PATHS 1u

/* ZDeleteFiles, ZGetFiles and ZPutFiles flags. */
#define PLUGIN_OP_IN_CALLER_THREAD 4u  /* no worker thread, no progress window */
#define PLUGIN_OP_DELETE_READ_ONLY 8u  /* delete read-only files without asking */
#define PLUGIN_OP_DELETE_NON_EMPTY 16u /* delete non-empty directories without asking */
#define PLUGIN_OP_MOVE 0x20u           /* move instead of copy */

/* ZCompare sort modes, in the order of the panel's sort letters "nxmacspdo". */
#define PLUGIN_SORT_NAME 1
#define PLUGIN_SORT_EXTENSION 2
#define PLUGIN_SORT_MODIFIED 3
#define PLUGIN_SORT_ACCESSED 4
#define PLUGIN_SORT_CREATED 5
#define PLUGIN_SORT_SIZE 6
#define PLUGIN_SORT_SECOND_SIZE 7
#define PLUGIN_SORT_TEXT1 8
#define PLUGIN_SORT_TEXT2 9

/* The entry points' types, slot by slot. Arguments named reserved are passed as 0.
 * ZSetDirectory and ZCreateDirectory return -1 when refused; a plugin may leave the system's
 * reason in errno then (0 there: no reason given), which the panel shows to the user. The
 * local plugin always does. */
typedef int32_t(ZPLUGIN_CALL* PluginInitialiseFn)(PluginInfo* info, intptr_t reserved);
typedef int32_t(ZPLUGIN_CALL* PluginTerminateFn)(intptr_t reserved);
typedef PluginHandle(ZPLUGIN_CALL* PluginOpenFn)(intptr_t reserved, uint32_t start, void* owner);
typedef int32_t(ZPLUGIN_CALL* PluginCloseFn)(PluginHandle handle);
typedef int32_t(ZPLUGIN_CALL* PluginSetDirectoryFn)(PluginHandle handle, const char* path,
                                                    intptr_t reserved);
typedef uint32_t(ZPLUGIN_CALL* PluginGetFlagsFn)(PluginHandle handle);
typedef const char*(ZPLUGIN_CALL* PluginGetDirectoryFn)(PluginHandle handle);
typedef int32_t(ZPLUGIN_CALL* PluginFindFilesFn)(PluginHandle handle, PluginItem** items,
                                                 int32_t* count, intptr_t reserved);
typedef int32_t(ZPLUGIN_CALL* PluginFindCloseFn)(PluginHandle handle, PluginItem* items,
                                                 int32_t count);
typedef int32_t(ZPLUGIN_CALL* PluginCreateDirectoryFn)(PluginHandle handle, const char* name,
                                                       intptr_t reserved);
typedef int32_t(ZPLUGIN_CALL* PluginDeleteFilesFn)(PluginHandle handle, PluginItem* items,
                                                   int32_t count, uint32_t flags);
typedef int32_t(ZPLUGIN_CALL* PluginGetFilesFn)(PluginHandle handle, PluginItem* items,
                                                int32_t count, const char* destination,
                                                uint32_t flags, uint32_t sizeLow,
                                                uint32_t sizeHigh);
typedef int32_t(ZPLUGIN_CALL* PluginPutFilesFn)(PluginHandle handle, PluginItem* items,
                                                int32_t count, uint32_t flags, uint32_t sizeLow,
                                                uint32_t sizeHigh);
typedef int32_t(ZPLUGIN_CALL* PluginCreateDiskMenuFn)(PluginMenuItem** items);
typedef int32_t(ZPLUGIN_CALL* PluginCompareFn)(const PluginItem* first, const PluginItem* second,
                                               int32_t mode);
typedef int32_t(ZPLUGIN_CALL* PluginProcessInputFn)(PluginHandle handle, uint32_t* key);
typedef int32_t(ZPLUGIN_CALL* PluginSaverFn)(void);
typedef int32_t(ZPLUGIN_CALL* PluginGetKeyBarFn)(const char** label1, const char** label2,
                                                 const char** label3, const char** label4,
                                                 const char** label5, const char** label6,
                                                 const char** label7);

/* The number of entry-point slots of a PluginEntry. */
#define PLUGIN_SLOT_COUNT 20

/* A plugin's record: its twenty entry points in slot order, null where the plugin lacks one. */
typedef struct PluginEntry {
    PluginInitialiseFn ZInitialise;           /* 0 */
    PluginTerminateFn ZTerminate;             /* 1 */
    PluginOpenFn ZOpenPlugin;                 /* 2 */
    PluginCloseFn ZClosePlugin;               /* 3 */
    PluginSetDirectoryFn ZSetDirectory;       /* 4 */
    PluginGetFlagsFn ZGetFlags;               /* 5 */
    PluginGetDirectoryFn ZGetDirectory;       /* 6 */
    PluginFindFilesFn ZFindFiles;             /* 7 */
    PluginFindCloseFn ZFindClose;             /* 8 */
    PluginCreateDirectoryFn ZCreateDirectory; /* 9 */
    PluginDeleteFilesFn ZDeleteFiles;         /* 10 */
    PluginGetFilesFn ZGetFiles;               /* 11 */
    PluginPutFilesFn ZPutFiles;               /* 12 */
    PluginCreateDiskMenuFn ZCreateDiskMenu;   /* 13 */
    PluginCompareFn ZCompare;                 /* 14 */
    PluginProcessInputFn ZProcessInput;       /* 15 */
    PluginSaverFn ZSaverLoad;                 /* 16 */
    PluginSaverFn ZSaverUnload;               /* 17 */
    PluginSaverFn ZSaverStep;                 /* 18 */
    PluginGetKeyBarFn ZGetKeyBar;             /* 19 */
} PluginEntry;

/* The 64-bit layout separately built plugins rely on, checked wherever the header compiles
 * (C or C++). */
#if UINTPTR_MAX > 0xFFFFFFFFu
#ifdef __cplusplus
#define ZPLUGIN_LAYOUT(condition) static_assert(condition, #condition)
#else
#define ZPLUGIN_LAYOUT(condition) _Static_assert(condition, #condition)
#endif
ZPLUGIN_LAYOUT(sizeof(PluginInfo) == 24 && offsetof(PluginInfo, name) == 8 &&
               offsetof(PluginInfo, number) == 16);
ZPLUGIN_LAYOUT(sizeof(PluginItem) == 128 && offsetof(PluginItem, name) == 8 &&
               offsetof(PluginItem, fileSize) == 24 && offsetof(PluginItem, attributes) == 32 &&
               offsetof(PluginItem, created) == 40 && offsetof(PluginItem, modified) == 48 &&
               offsetof(PluginItem, accessed) == 56 && offsetof(PluginItem, flags) == 64 &&
               offsetof(PluginItem, secondSize) == 72 && offsetof(PluginItem, text1) == 80 &&
               offsetof(PluginItem, text2) == 88 && offsetof(PluginItem, extraCount) == 96 &&
               offsetof(PluginItem, extraBlock) == 104 &&
               offsetof(PluginItem, extraStrings) == 120);
ZPLUGIN_LAYOUT(sizeof(PluginMenuItem) == 24 && offsetof(PluginMenuItem, submenu) == 8 &&
               offsetof(PluginMenuItem, text) == 16);
ZPLUGIN_LAYOUT(sizeof(PluginEntry) == PLUGIN_SLOT_COUNT * 8 &&
               offsetof(PluginEntry, ZCompare) == 14 * 8 &&
               offsetof(PluginEntry, ZGetKeyBar) == 19 * 8);
#undef ZPLUGIN_LAYOUT
#endif

/* The entry points a plugin may define, declared here so that a definition with the wrong
 * signature fails to compile. A plugin defines only the ones it has. */
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZInitialise(PluginInfo* info, intptr_t reserved);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZTerminate(intptr_t reserved);
ZPLUGIN_VISIBLE PluginHandle ZPLUGIN_CALL ZOpenPlugin(intptr_t reserved, uint32_t start,
                                                      void* owner);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZClosePlugin(PluginHandle handle);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZSetDirectory(PluginHandle handle, const char* path,
                                                   intptr_t reserved);
ZPLUGIN_VISIBLE uint32_t ZPLUGIN_CALL ZGetFlags(PluginHandle handle);
ZPLUGIN_VISIBLE const char* ZPLUGIN_CALL ZGetDirectory(PluginHandle handle);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZFindFiles(PluginHandle handle, PluginItem** items,
                                                int32_t* count, intptr_t reserved);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZFindClose(PluginHandle handle, PluginItem* items,
                                                int32_t count);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZCreateDirectory(PluginHandle handle, const char* name,
                                                      intptr_t reserved);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZDeleteFiles(PluginHandle handle, PluginItem* items,
                                                  int32_t count, uint32_t flags);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZGetFiles(PluginHandle handle, PluginItem* items,
                                               int32_t count, const char* destination,
                                               uint32_t flags, uint32_t sizeLow, uint32_t sizeHigh);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZPutFiles(PluginHandle handle, PluginItem* items,
                                               int32_t count, uint32_t flags, uint32_t sizeLow,
                                               uint32_t sizeHigh);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZCreateDiskMenu(PluginMenuItem** items);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZCompare(const PluginItem* first, const PluginItem* second,
                                              int32_t mode);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZProcessInput(PluginHandle handle, uint32_t* key);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZSaverLoad(void);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZSaverUnload(void);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZSaverStep(void);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL ZGetKeyBar(const char** label1, const char** label2,
                                                const char** label3, const char** label4,
                                                const char** label5, const char** label6,
                                                const char** label7);

/* Exported by the host library. */

/* Copies the record of plugin number into entry: 0, or -1 (entry untouched) when the number is
 * negative or not below the plugin count. */
ZPLUGIN_VISIBLE int ZPLUGIN_CALL PluginGet(int32_t number, PluginEntry* entry);
/* Registers the internal plugin as number 0 when the table is empty, then every library found
 * in the directory tree, depth first, logging to standard output. 0, or -1 when the internal
 * plugin fails to initialise. */
ZPLUGIN_VISIBLE int ZPLUGIN_CALL PluginsLoad(const char* directory);
/* Terminates the plugins from the highest number down: 0 when the table is empty again, 1 when
 * a plugin refused (a later call resumes with it). */
ZPLUGIN_VISIBLE int ZPLUGIN_CALL PluginsFree(void);

/* The local file-system plugin (number 0), exported under its own names so that another plugin
 * can browse the local file system directly. They behave as the same slots of plugin 0. */
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZInitialise(PluginInfo* info, intptr_t reserved);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZTerminate(intptr_t reserved);
ZPLUGIN_VISIBLE PluginHandle ZPLUGIN_CALL FS_ZOpenPlugin(intptr_t reserved, uint32_t start,
                                                         void* owner);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZClosePlugin(PluginHandle handle);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZSetDirectory(PluginHandle handle, const char* path,
                                                      intptr_t reserved);
ZPLUGIN_VISIBLE const char* ZPLUGIN_CALL FS_ZGetDirectory(PluginHandle handle);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZFindFiles(PluginHandle handle, PluginItem** items,
                                                   int32_t* count, intptr_t reserved);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZFindClose(PluginHandle handle, PluginItem* items,
                                                   int32_t count);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZCreateDirectory(PluginHandle handle, const char* name,
                                                         intptr_t reserved);
/* Delete items of the instance's directory (names as listed, without directory) and whole
 * trees behind the progress window, asking before a read-only file or a non-empty directory
 * goes unless flags say otherwise; returns once the job has ended. 0, also when the user was
 * told what stayed; with PLUGIN_OP_IN_CALLER_THREAD (no window, no question) -1 with errno set
 * when anything stayed. */
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZDeleteFiles(PluginHandle handle, PluginItem* items,
                                                     int32_t count, uint32_t flags);
/* The drive menu: one item per mounted file system ("/" first) with its hot key by position,
 * mount point, file-system name and label, its id the start value FS_ZOpenPlugin takes; then a
 * separator. The plugin keeps the array until the next call. The count, separator included. */
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZCreateDiskMenu(PluginMenuItem** items);
/* Copy or move items of the instance's directory (names without directory) to a destination
 * text, or items given with full paths into the instance's directory. Both return once the
 * job has started in a thread of its own behind its progress window (with
 * PLUGIN_OP_IN_CALLER_THREAD once it is done); the job copies the items and may outlive the
 * instance. 0, or -1 when the job could not start. */
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZGetFiles(PluginHandle handle, PluginItem* items,
                                                  int32_t count, const char* destination,
                                                  uint32_t flags, uint32_t totalLow,
                                                  uint32_t totalHigh);
ZPLUGIN_VISIBLE int32_t ZPLUGIN_CALL FS_ZPutFiles(PluginHandle handle, PluginItem* items,
                                                  int32_t count, uint32_t flags, uint32_t totalLow,
                                                  uint32_t totalHigh);

ZPLUGIN_END

#endif
