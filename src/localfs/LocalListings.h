// The local plugin's listings. Each listing is one block: the PluginItem array followed by the
// items' texts, so that a listing of 100,000 names costs two allocations, not 300,000.
//
// Both panels usually show the same directory and read it within moments of each other (at
// start, and after every command, when both re-read). The second reader then gets the first
// one's block when the directory itself is unchanged and the block was read less than a
// second ago; a count of holders keeps it alive until the last FS_ZFindClose. Holders must
// not write into a shared block (the panels copy their items before they change one).
#pragma once

#include <cstdint>
#include <string>

#include "kq/plugin.h"

namespace kq::localfs {

// What tells a directory's content apart over time: it changes with every entry added,
// removed or renamed.
struct DirectoryStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const DirectoryStamp&) const = default;
};

// A fresh listing of directory (the console code-page path) with this stamp that another
// holder still holds, with one holder more; null when there is none.
PluginItem* AcquireSharedListing(const std::string& directory, const DirectoryStamp& stamp,
                                 int32_t& count);
// A new block with room for count items and textBytes bytes of texts behind them, zeroed;
// null when memory ran out. The texts area starts at TextArea(block, count).
PluginItem* AllocateListing(int32_t count, size_t textBytes);
char* TextArea(PluginItem* block, int32_t count);
// Records the block with one holder; shareable blocks are handed to later readers of the same
// directory. False when memory ran out (the caller frees the block).
bool RegisterListing(PluginItem* block, int32_t count, const std::string& directory,
                     const DirectoryStamp& stamp, bool shareable);
// One holder lets go; the block is freed with the last one. False when the block is not one
// of these (an array built item by item, which the caller frees its own way).
bool ReleaseListing(PluginItem* block);

}  // namespace kq::localfs
