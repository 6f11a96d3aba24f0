// The editor's text: a file's lines, each with the exact line ending that followed it, so that
// a file saves back byte for byte where it was not edited. Loading detects the file's own ending;
// saving goes through the file layer's safe save.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FsSave.h"

namespace kq::editor {

enum class LineEnding : uint8_t { kNone, kCrLf, kLf, kNul };

std::string_view EndingBytes(LineEnding ending);

struct EditorLine {
    std::string text;
    LineEnding ending = LineEnding::kNone;  // kNone only for the last line
};

// Splits a file's bytes into lines as they arrive in chunks of any size. The file's ending is
// the first CR LF, LF or NUL in it (tested in that order at each position); after that, only
// that ending splits lines and the other two stay ordinary bytes.
class LineSplitter {
  public:
    void Feed(std::string_view bytes);
    // The lines (the last without an ending) and the file's ending: LF when it has none, so a
    // file of this system never gains a CR.
    std::vector<EditorLine> Finish(LineEnding& fileEnding);

  private:
    void Split(std::string_view bytes);

    std::vector<EditorLine> lines_{1};
    LineEnding ending_ = LineEnding::kNone;  // kNone while not yet known
};

struct LoadedText {
    std::vector<EditorLine> lines;
    LineEnding ending = LineEnding::kLf;
    kq::fs::FileStamp stamp;  // the file as it was read, to notice a change by another program
};

enum class LoadStatus { kLoaded, kCannotOpen, kTooLarge, kReadFailed };

// Loads a file (a path in the console code page; a missing file is created empty). Only
// regular files are opened. A file larger than half the memory the system can still give is
// refused before anything is allocated; a read error refuses the load rather than show a part
// that a save would then write over the whole. error receives errno on failure.
LoadStatus LoadText(const char* path, LoadedText& text, int& error);

// Saves the lines, each with its ending, through the file layer's safe save.
kq::fs::SaveResult SaveLines(const char* path, const std::vector<EditorLine>& lines);

}  // namespace kq::editor
