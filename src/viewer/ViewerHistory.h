// The viewer's memory across runs, in the settings section "Viewer_Files": the last search
// text (shared with the editor) and, for up to 50 files, where each was left and in which code
// page it was read.
#pragma once

#include <cstdint>
#include <string>

namespace kq::viewer {

inline constexpr int kHistorySlots = 50;

struct ViewerHistory {
    std::string search;
    bool known = false;  // the file has a slot: top and codePage come from it
    int64_t top = 0;
    int codePage = 0;
    int slot = 0;             // the slot this file is written to
    int64_t nextRecord = -1;  // "NextRec" to write back; -1 leaves it as it is
};

// Reads the search text and what is remembered of path (compared byte for byte).
ViewerHistory ReadViewerHistory(const char* path);
// Stores the file's place in its slot and the search text. Failures are ignored: the store
// may be read-only.
void WriteViewerHistory(const char* path, const ViewerHistory& history, int64_t top, int codePage,
                        const std::string& search);

}  // namespace kq::viewer
