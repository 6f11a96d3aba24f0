// Block reading for the viewer. The size is read with one seek to the end; a block is read
// whole (a short read is retried until the end of the file or an error).
#include "viewer/ViewerFile.h"

#include <algorithm>

#include "kq/fs.h"

namespace kq::viewer {

ViewerFile::~ViewerFile() {
    Close();
}

bool ViewerFile::Open(const char* path) {
    Close();
    // Share bits as a reader that lets others write: a log being written stays viewable.
    handle_ = FsOpen(path, FS_OPEN_EXISTING | FS_READ | FS_SHARE_READ | FS_SHARE_WRITE, 0);
    if (handle_ < 0) return false;
    block_ = std::make_unique<uint8_t[]>(kBlockSize);
    size_ = -1;
    CheckSize();
    return true;
}

void ViewerFile::Close() {
    if (handle_ >= 0) FsClose(handle_);
    handle_ = -1;
    block_.reset();
    valid_ = 0;
    size_ = 0;
}

bool ViewerFile::CheckSize() {
    if (handle_ < 0) return false;
    int64_t size = FsSeek(handle_, 0, FS_SEEK_END);
    if (size < 0) size = 0;
    if (size == size_) return false;
    size_ = size;
    valid_ = 0;
    return true;
}

int ViewerFile::Load(int64_t offset) {
    if (handle_ < 0 || offset < 0 || offset >= size_) return -1;
    const int64_t base = offset - offset % kBlockSize;
    // The same block again means the file grew past a short read: read it once more.
    base_ = base;
    valid_ = 0;
    if (FsSeek(handle_, base, FS_SEEK_SET) != base) return -1;
    int64_t count = 0;
    while (count < kBlockSize) {
        const int32_t got =
            FsRead(handle_, block_.get() + count, static_cast<uint32_t>(kBlockSize - count));
        if (got <= 0) break;
        count += got;
    }
    valid_ = std::min(count, size_ - base);
    const int64_t relative = offset - base;
    return relative < valid_ ? block_[relative] : -1;
}

const uint8_t* ViewerFile::BytesFrom(int64_t offset, int64_t* count) {
    *count = 0;
    if (ByteAt(offset) < 0) return nullptr;
    *count = valid_ - (offset - base_);
    return block_.get() + (offset - base_);
}

}  // namespace kq::viewer
