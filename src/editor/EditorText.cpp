// Loading, splitting and saving the editor's lines.
#include "editor/EditorText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "kq/fs.h"
#include "platform/Kernel.h"

namespace kq::editor {

namespace {

constexpr size_t kChunkSize = 1 << 20;

}  // namespace

std::string_view EndingBytes(LineEnding ending) {
    switch (ending) {
        case LineEnding::kCrLf:
            return "\r\n";
        case LineEnding::kLf:
            return "\n";
        case LineEnding::kNul:
            return std::string_view("\0", 1);
        case LineEnding::kNone:
            break;
    }
    return {};
}

void LineSplitter::Feed(std::string_view bytes) {
    if (ending_ == LineEnding::kNone) {
        const auto first =
            std::find_if(bytes.begin(), bytes.end(), [](char c) { return c == '\n' || c == '\0'; });
        if (first == bytes.end()) {
            lines_.back().text.append(bytes);
            return;
        }
        if (*first == '\0') {
            ending_ = LineEnding::kNul;
        } else {
            // The CR may have come with the previous chunk, at the end of the line so far.
            const bool afterCr = first != bytes.begin() ? first[-1] == '\r'
                                                        : !lines_.back().text.empty() &&
                                                              lines_.back().text.back() == '\r';
            ending_ = afterCr ? LineEnding::kCrLf : LineEnding::kLf;
        }
    }
    Split(bytes);
}

void LineSplitter::Split(std::string_view bytes) {
    const char separator = ending_ == LineEnding::kNul ? '\0' : '\n';
    while (!bytes.empty()) {
        const void* hit = std::memchr(bytes.data(), separator, bytes.size());
        if (hit == nullptr) {
            lines_.back().text.append(bytes);
            return;
        }
        const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - bytes.data());
        std::string& text = lines_.back().text;
        text.append(bytes.substr(0, at));
        bytes.remove_prefix(at + 1);
        if (ending_ == LineEnding::kCrLf) {
            if (text.empty() || text.back() != '\r') {
                text += '\n';  // a LF alone is an ordinary byte in a CR LF file
                continue;
            }
            text.pop_back();
        }
        lines_.back().ending = ending_;
        lines_.emplace_back();
    }
}

std::vector<EditorLine> LineSplitter::Finish(LineEnding& fileEnding) {
    fileEnding = ending_ == LineEnding::kNone ? LineEnding::kLf : ending_;
    std::vector<EditorLine> lines;
    lines.swap(lines_);
    lines_.resize(1);
    ending_ = LineEnding::kNone;
    return lines;
}

LoadStatus LoadText(const char* path, LoadedText& text, int& error) {
    errno = 0;
    const intptr_t handle = FsOpen(path, FS_OPEN_ALWAYS | FS_READ | FS_SHARE_READ, 0);
    if (handle < 0) {
        error = errno != 0 ? errno : ENOENT;
        return LoadStatus::kCannotOpen;
    }
    const int64_t size = FsSeek(handle, 0, FS_SEEK_END);
    const uint64_t available = kq::platform::AvailableMemory();
    if (size < 0 || FsSeek(handle, 0, FS_SEEK_SET) != 0 ||
        (available != 0 && static_cast<uint64_t>(size) > available / 2)) {
        FsClose(handle);
        error = ENOMEM;
        return LoadStatus::kTooLarge;
    }
    text.stamp = kq::fs::StampOf(path);
    LineSplitter splitter;
    const auto chunk = std::make_unique<char[]>(kChunkSize);
    for (;;) {
        const int32_t got = FsRead(handle, chunk.get(), kChunkSize);
        if (got == 0) break;
        if (got < 0) {
            error = errno != 0 ? errno : EIO;
            FsClose(handle);
            return LoadStatus::kReadFailed;
        }
        splitter.Feed(std::string_view(chunk.get(), static_cast<size_t>(got)));
    }
    FsClose(handle);
    text.lines = splitter.Finish(text.ending);
    return LoadStatus::kLoaded;
}

kq::fs::SaveResult SaveLines(const char* path, const std::vector<EditorLine>& lines) {
    // Lines are gathered into large pieces: one write per line would cost a system call each.
    const auto makeSource = [&lines]() -> kq::fs::SaveSource {
        auto buffer = std::make_shared<std::string>();
        auto next = std::make_shared<size_t>(0);
        return [&lines, buffer, next](std::string_view& piece) {
            buffer->clear();
            while (*next < lines.size() && buffer->size() < kChunkSize) {
                const EditorLine& line = lines[(*next)++];
                buffer->append(line.text);
                buffer->append(EndingBytes(line.ending));
            }
            piece = *buffer;
            return !buffer->empty();
        };
    };
    return kq::fs::SaveText(path, makeSource);
}

}  // namespace kq::editor
