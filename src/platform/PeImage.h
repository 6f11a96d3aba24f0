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

private:
    PeImage() = default;
    // ... members chosen by the implementation.
};

}  // namespace kq::platform
