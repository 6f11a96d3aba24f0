// Reading and writing the viewer's per-file history.
#include "viewer/ViewerHistory.h"

#include <cstdio>

#include "kq/config.h"
#include "kq/fs.h"

namespace kq::viewer {

namespace {

constexpr int kTextLimit = 512;

std::string SlotName(const char* stem, int slot) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%d", stem, slot);
    return name;
}

// Opens the section for one use and closes it again.
class HistorySection {
  public:
    HistorySection() : section_(CfgOpen("Viewer_Files")) {}
    ~HistorySection() {
        if (section_ != 0) CfgClose(section_);
    }
    HistorySection(const HistorySection&) = delete;
    HistorySection& operator=(const HistorySection&) = delete;
    CfgSection Get() const { return section_; }

  private:
    CfgSection section_;
};

}  // namespace

ViewerHistory ReadViewerHistory(const char* path) {
    ViewerHistory history;
    HistorySection section;
    if (section.Get() == 0) return history;
    char text[kTextLimit] = {};
    if (CfgQuerySz(section.Get(), "SearchString", text, sizeof text) == 0) history.search = text;

    int slot = 0;
    for (; slot < kHistorySlots; ++slot) {
        uint64_t top = 0;
        uint32_t codePage = 0;
        if (CfgQueryQw(section.Get(), SlotName("FilePos", slot).c_str(), &top) != 0) break;
        if (CfgQueryDw(section.Get(), SlotName("FileCp", slot).c_str(), &codePage) != 0) break;
        char name[FS_MAX_PATH] = {};
        if (CfgQuerySz(section.Get(), SlotName("FileName", slot).c_str(), name, sizeof name) == 0 &&
            std::string_view(name) == path) {
            history.known = true;
            history.top = static_cast<int64_t>(top & INT64_MAX);
            history.codePage = static_cast<int>(codePage);
            history.slot = slot;
            // A file viewed again keeps its slot and leaves the rotation where it was, so the
            // file just viewed is not the next one forgotten.
            return history;
        }
    }
    if (slot < kHistorySlots) {
        history.slot = slot;
        history.nextRecord = slot;
        return history;
    }
    uint32_t next = 0;
    if (CfgQueryDw(section.Get(), "NextRec", &next) != 0 || next >= kHistorySlots) next = 0;
    history.slot = static_cast<int>(next);
    history.nextRecord = next + 1;
    return history;
}

void WriteViewerHistory(const char* path, const ViewerHistory& history, int64_t top, int codePage,
                        const std::string& search) {
    HistorySection section;
    if (section.Get() == 0) return;
    const auto position = static_cast<uint64_t>(top < 0 ? 0 : top);
    CfgSetSz(section.Get(), SlotName("FileName", history.slot).c_str(), path);
    CfgSetQw(section.Get(), SlotName("FilePos", history.slot).c_str(),
             static_cast<uint32_t>(position & 0xFFFFFFFFu), static_cast<uint32_t>(position >> 32));
    CfgSetDw(section.Get(), SlotName("FileCp", history.slot).c_str(),
             static_cast<uint32_t>(codePage));
    if (history.nextRecord >= 0) {
        CfgSetDw(section.Get(), "NextRec", static_cast<uint32_t>(history.nextRecord));
    }
    CfgSetSz(section.Get(), "SearchString", search.c_str());
}

}  // namespace kq::viewer
