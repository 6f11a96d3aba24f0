/* The file-system layer: directory listings, drives (mounted file systems) and disk figures,
 * the current directory, directories, raw file handles and whole-file copies in a thread of
 * their own. Every path handed in and every name handed out is in the console code page;
 * the layer converts to and from the file system's UTF-8. Caller buffers hold 512 bytes. */
#ifndef KQ_FS_H
#define KQ_FS_H

#include <time.h>

#include "kq/api.h"

ZEXTERN_C_BEGIN

/* The size of every path buffer this layer fills, terminator included. */
#define FS_MAX_PATH 512

/* Attribute bits of listings, search masks and FsSetAttr. 2 is not used. */
#define FA_ARCHIVE 1 /* a regular file */
#define FA_DIR 4     /* a directory, or a symbolic link to one */
#define FA_HIDDEN 8  /* the name starts with '.' (".." excepted) */
#define FA_RDONLY 16 /* the owner may not write */
#define FA_SYSTEM 32 /* a fifo, a socket or a device */

/* FsFindEntry reserved word: FS_ENTRY_LINK marks a symbolic link, which is otherwise listed as
 * what it points to; the bits of FS_ENTRY_LINK_SIZE then hold the link's own size (the length
 * of the path it holds). 0 for every other name. */
#define FS_ENTRY_LINK 0x80000000u
#define FS_ENTRY_LINK_SIZE 0x7FFFFFFFu

/* One listed name. The name belongs to the search and lives until its next FsFind or
 * FsFindClose. Times are the system's seconds since 1970 (UTC). */
typedef struct FsFindEntry {
    char* name;
    uint32_t reserved; /* FS_ENTRY_LINK and the link's own size, else 0 */
    uint64_t size;     /* 0 for directories and special files */
    uint32_t attributes;
    time_t created; /* birth time where the file system keeps one, else the change time */
    time_t modified;
    time_t accessed;
} FsFindEntry;

/* A search from FsFindInit; 0 when none could be made. */
typedef intptr_t FsSearch;

typedef struct FsDiskInfo {
    char label[FS_MAX_PATH]; /* the device's volume label; empty when it has none */
    char fileSystem[20];     /* the file-system type, e.g. "ext4" */
    uint32_t clusterSize;    /* bytes; doubled as often as the counts need to fit 32 bits */
    uint32_t totalClusters;
    uint32_t freeClusters; /* free for the calling user */
} FsDiskInfo;

/* Written by the copy thread while the caller polls: read the fields with atomic (or volatile)
 * loads. done is a progress hint; state is the only completion signal. */
typedef struct FsCopyStatus {
    uint64_t done;
    int32_t state;
    uint32_t reserved;
} FsCopyStatus;

#define FS_COPY_RUNNING (-1)
#define FS_COPY_OK 0
#define FS_COPY_FAILED 1 /* no thread, no buffer, or the system copy failed */
#define FS_COPY_OPEN_FAILED 2
#define FS_COPY_CREATE_FAILED 3
#define FS_COPY_READ_FAILED 4
#define FS_COPY_WRITE_FAILED 5

/* FsCopy flags. */
#define FS_COPY_SYSTEM 1  /* the system's own copy (copy_file_range), mode and times carried */
#define FS_COPY_REPLACE 2 /* an existing destination may be replaced */

/* FsOpen modes: one of the first five in the low 4 bits, plus access and sharing bits. */
#define FS_CREATE_NEW 1
#define FS_CREATE_ALWAYS 2
#define FS_OPEN_ALWAYS 3
#define FS_OPEN_EXISTING 4
#define FS_TRUNCATE_EXISTING 5
#define FS_READ 16
#define FS_WRITE 32
#define FS_SHARE_READ 64 /* accepted; the system has no share modes */
#define FS_SHARE_WRITE 128
#define FS_UNBUFFERED 256 /* O_DIRECT where the file system offers it */

/* FsSeek origins; 2 counts as FS_SEEK_END as well. */
#define FS_SEEK_CUR (-1)
#define FS_SEEK_SET 0
#define FS_SEEK_END 1

/* Returns 0, or -1 when the path does not exist or its file system cannot be queried. */
ZAPI int ZCALL FsGetDiskInfo(const char* root, FsDiskInfo* info);

/* The mask's low 16 bits are the permitted attributes, its high 16 bits (when not 0) the
 * required ones, of which a name must carry at least one. The pattern knows '*' and '?'. */
ZAPI FsSearch ZCALL FsFindInit(const char* directory, const char* pattern, uint32_t mask);
/* The next entries, at most maximum of them (0: all); null when there are none. Each call
 * frees the array of the previous one. */
ZAPI FsFindEntry* ZCALL FsFind(FsSearch search, int maximum, int* count);
ZAPI int ZCALL FsFindClose(FsSearch search);

/* The mount points, "/" first, each ended by a zero, the list by an empty name. */
ZAPI char* ZCALL FsGetDrives(void);
ZAPI int ZCALL FsFreeDrives(char* drives);

ZAPI int ZCALL FsSetCwd(const char* path);
/* Fills a buffer of FS_MAX_PATH bytes; -1 (errno ENAMETOOLONG) when the directory does not fit. */
ZAPI int ZCALL FsGetCwd(char* buffer);
ZAPI int ZCALL FsMkDir(const char* path, uint32_t attributes);
ZAPI int ZCALL FsRmDir(const char* path);
/* Never replaces an existing target; fails across file systems. */
ZAPI int ZCALL FsMove(const char* oldPath, const char* newPath);

/* Regular files only: directories, fifos, sockets and devices are refused. -1 on failure. */
ZAPI intptr_t ZCALL FsOpen(const char* path, uint32_t mode, uint32_t attributes);
ZAPI int ZCALL FsClose(intptr_t handle);
/* Bytes read, 0 at the end of the file, or -1. */
ZAPI int32_t ZCALL FsRead(intptr_t handle, void* buffer, uint32_t count);
ZAPI int64_t ZCALL FsSeek(intptr_t handle, int64_t offset, int origin);
ZAPI int64_t ZCALL FsTell(intptr_t handle);

/* Starts the copy in a thread of its own and returns 0; -1 (state 1) when no thread started.
 * The status record must stay valid until its state is no longer FS_COPY_RUNNING. The copy is
 * written beside the destination and takes its name only when complete: a failed copy leaves
 * the destination as it was. */
ZAPI int ZCALL FsCopy(const char* source, const char* destination, FsCopyStatus* status,
                      uint32_t flags);

ZEXTERN_C_END

/* Used inside the library only; not exported. */
#ifdef __cplusplus
extern "C" {
int FsDelete(const char* path);
/* Bytes written (all of them unless the system refused more), or -1. */
int32_t FsWrite(intptr_t handle, const void* buffer, uint32_t count);
/* Writes the read-only bit, then the modified and accessed times (the system keeps no settable
 * creation time). On a directory only the attributes are written and the result is -1. */
int FsSetAttr(const char* path, uint32_t attributes, time_t created, time_t modified,
              time_t accessed);
}
#endif

#endif
