// A resource-only PE module (a language module) read into memory: the reader of its resource
// directory. Both PE32 and PE32+ files are accepted.
//
// The file is untrusted input: every offset, size and count is checked against the file's
// bounds, the directory walk is bounded in depth and visits no node twice, and anything that
// does not check out makes Load return null or Find return an empty span. Nothing here ever
// reads outside the bytes of the file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "kq/kernel.h"

namespace kq::platform {

class PeImage {
  public:
    // Reads and validates a file; null when it is not a PE file with a usable resource
    // directory (or cannot be read).
    static std::unique_ptr<PeImage> Load(const std::string& fileName);
    // The same from bytes already in memory (tests and the fuzzer).
    static std::unique_ptr<PeImage> FromBytes(std::vector<uint8_t> bytes);

    // The data of the resource of this type and integer id, in the first language the
    // directory lists for it; empty when there is none.
    std::span<const uint8_t> Find(uint16_t type, uint16_t id) const;

    static constexpr uint16_t kTypeMenu = 4;
    static constexpr uint16_t kTypeDialog = 5;
    static constexpr uint16_t kTypeString = 6;

    // The resource reader KeLoadDll falls back to (the ResourceImageLoad and
    // ResourceImageRelease of platform/Kernel.h): Load as an opaque image, and its release.
    static void* LoadModuleImage(const char* fileName);
    static void ReleaseModuleImage(void* image);
    // The image behind a module handle when this reader loaded it; null for a shared object,
    // an image of another reader, or a handle that is not a live module.
    static const PeImage* FromModule(KeHandle module);

  private:
    // Where one resource's data lies in bytes_.
    struct Entry {
        uint16_t type;
        uint16_t id;
        uint32_t offset;
        uint32_t size;
    };

    PeImage() = default;
    // Walks the resource directory into entries_; false when the headers do not check out.
    bool Index();

    std::vector<uint8_t> bytes_;
    // Sorted by (type, id), one entry per pair: the first the directory lists.
    std::vector<Entry> entries_;
};

}  // namespace kq::platform
