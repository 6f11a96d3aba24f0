// The file a viewer shows: its handle, its size as last seen and the one 64 KiB block of it
// held in memory. Every byte the viewer draws, moves over or searches from comes through here.
#pragma once

#include <cstdint>
#include <memory>

namespace kq::viewer {

inline constexpr int64_t kBlockSize = 65536;

class ViewerFile {
  public:
    ViewerFile() = default;
    ~ViewerFile();
    ViewerFile(const ViewerFile&) = delete;
    ViewerFile& operator=(const ViewerFile&) = delete;

    // Opens a regular file for reading; anything else (a directory, fifo, socket or device) is
    // refused without being opened for reading. Allocates the block.
    [[nodiscard]] bool Open(const char* path);
    void Close();
    bool IsOpen() const { return handle_ >= 0; }
    intptr_t Handle() const { return handle_; }

    // Reads the size again; true when it changed. A change drops the block, so bytes read
    // before it are never shown past a new, shorter end.
    bool CheckSize();
    int64_t Size() const { return size_; }

    // The byte at an absolute offset, or -1 at or past the end of the data (the last size
    // seen, a short read, a read error). Loads the block holding the offset when needed.
    int ByteAt(int64_t offset) {
        const int64_t relative = offset - base_;
        if (relative >= 0 && relative < valid_) return block_[relative];
        return Load(offset);
    }
    // The bytes from offset to the end of its block that hold data: their start, and their
    // count through *count (0 at the end of the data).
    const uint8_t* BytesFrom(int64_t offset, int64_t* count);

  private:
    int Load(int64_t offset);

    intptr_t handle_ = -1;
    std::unique_ptr<uint8_t[]> block_;
    int64_t base_ = 0;   // always a multiple of kBlockSize
    int64_t valid_ = 0;  // bytes of the block that hold data below the size: 0 when none
    int64_t size_ = 0;
};

}  // namespace kq::viewer
