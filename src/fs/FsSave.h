// Saving a whole text over a file so that a failure never costs the file: the text goes to a
// new file beside it, is flushed to disk and only then takes the file's name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kq::fs {

// What a file looked like when it was read: enough to notice that another program changed it.
struct FileStamp {
    bool exists = false;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file a path (console code page) names, links followed.
FileStamp StampOf(const char* path);

// Hands out the text piece by piece; false when there is no more.
using SaveSource = std::function<bool(std::string_view& piece)>;

struct SaveResult {
    int error = 0;          // errno of the first failure; 0 when the text was saved
    std::string keptCopy;   // a complete copy of the text left on disk when the file itself
                            // could not be rewritten (console code page); else empty
};

// Saves the text that makeSource produces (it may be asked twice) to path. A symbolic link is
// followed: its target is replaced and the link stays a link. The new file keeps the replaced
// file's permission bits, and its owner and group where the user may set them. A file with more
// than one hard link is rewritten in place, after a complete copy beside it was flushed to disk,
// so that every name keeps the new text. On any failure before the text is in place, the file
// is as it was and nothing is left behind.
SaveResult SaveText(const char* path, const std::function<SaveSource()>& makeSource);

}  // namespace kq::fs
