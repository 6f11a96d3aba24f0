// Reads language modules: the PE headers as far as the section table, then the three-level
// resource directory (type, id, language) into a table from (type, id) to the resource's bytes.
//
// All arithmetic on offsets taken from the file is done in 64 bits, so that no sum of two
// 32-bit fields can wrap around and pass a bounds check.
#include "platform/PeImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <unordered_set>

#include "platform/Kernel.h"

namespace kq::platform {
namespace {

// Language modules are a few hundred KiB; a file far larger than that is not one, and reading
// it whole would only waste memory.
constexpr uint64_t kMaxFileSize = uint64_t{64} << 20;

constexpr uint64_t kDosHeaderSize = 64;
constexpr uint64_t kNewHeaderOffsetField = 0x3C;
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint64_t kCoffHeaderSize = 20;
constexpr uint64_t kCoffSectionCountField = 2;
constexpr uint64_t kCoffOptionalSizeField = 16;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint64_t kDataDirectorySize = 8;
constexpr uint32_t kResourceDirectoryIndex = 2;

constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint64_t kSectionVirtualSizeField = 8;
constexpr uint64_t kSectionVirtualAddressField = 12;
constexpr uint64_t kSectionRawSizeField = 16;
constexpr uint64_t kSectionRawPointerField = 20;

constexpr uint64_t kDirectoryHeaderSize = 16;
constexpr uint64_t kDirectoryNamedCountField = 12;
constexpr uint64_t kDirectoryIdCountField = 14;
constexpr uint64_t kDirectoryEntrySize = 8;
constexpr uint64_t kDataEntrySize = 16;
// In a directory entry: a name that is a string, or a target that is a subdirectory.
constexpr uint32_t kHighBit = 0x80000000u;

using Bytes = std::span<const uint8_t>;

// Little-endian reads that fail rather than read past the end.
bool Read16(Bytes bytes, uint64_t offset, uint16_t& value) {
    if (offset > bytes.size() || bytes.size() - offset < 2) return false;
    value = static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
    return true;
}

bool Read32(Bytes bytes, uint64_t offset, uint32_t& value) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return false;
    value = static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
            static_cast<uint32_t>(bytes[offset + 2]) << 16 |
            static_cast<uint32_t>(bytes[offset + 3]) << 24;
    return true;
}

// The part of each section that the file actually holds: RVAs [virtualAddress,
// virtualAddress + size) are the file's bytes [fileOffset, fileOffset + size). Bytes of a
// section beyond its raw data (zero-filled when mapped) are not addressable here.
struct Section {
    uint64_t virtualAddress;
    uint64_t fileOffset;
    uint64_t size;
};

class SectionMap {
  public:
    // False when the section table does not lie inside the file.
    bool Read(Bytes file, uint64_t tableOffset, uint16_t count) {
        if (tableOffset > file.size() || (file.size() - tableOffset) / kSectionHeaderSize < count) {
            return false;
        }
        sections_.reserve(count);
        for (uint16_t index = 0; index < count; ++index) {
            const uint64_t header = tableOffset + index * kSectionHeaderSize;
            uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
            Read32(file, header + kSectionVirtualSizeField, virtualSize);
            Read32(file, header + kSectionVirtualAddressField, virtualAddress);
            Read32(file, header + kSectionRawSizeField, rawSize);
            Read32(file, header + kSectionRawPointerField, rawPointer);
            // A virtual size of 0 (some linkers) means the raw size; a smaller virtual size
            // means the raw data's tail is padding that is not part of the section.
            uint64_t size = virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize);
            if (rawPointer >= file.size()) continue;
            size = std::min<uint64_t>(size, file.size() - rawPointer);
            if (size != 0) sections_.push_back({virtualAddress, rawPointer, size});
        }
        return true;
    }

    // The file offset of size bytes at rva, when one section holds all of them.
    std::optional<uint64_t> FileOffset(uint64_t rva, uint64_t size) const {
        for (const Section& section : sections_) {
            if (rva < section.virtualAddress) continue;
            const uint64_t delta = rva - section.virtualAddress;
            if (delta < section.size && size <= section.size - delta) {
                return section.fileOffset + delta;
            }
        }
        return std::nullopt;
    }

    // The file's bytes from rva to the end of the section holding it; empty when none does.
    Bytes Tail(Bytes file, uint64_t rva) const {
        for (const Section& section : sections_) {
            if (rva < section.virtualAddress) continue;
            const uint64_t delta = rva - section.virtualAddress;
            if (delta < section.size) {
                return file.subspan(section.fileOffset + delta, section.size - delta);
            }
        }
        return {};
    }

  private:
    std::vector<Section> sections_;
};

// A walk over the resource directory. Offsets in it are relative to the root; every directory
// is entered at most once, so a subdirectory that points back at an ancestor (or two entries
// sharing one subdirectory) cannot make the walk loop or multiply its work: the walk is linear
// in the size of the section.
class DirectoryWalk {
  public:
    explicit DirectoryWalk(Bytes region) : region_(region) {}

    Bytes region() const { return region_; }

    // The entry array of the directory at offset; false when its header or entries leave the
    // section, or when the walk has been there before.
    bool Entries(uint32_t offset, Bytes& entries) {
        if (!visited_.insert(offset).second) return false;
        uint16_t namedCount = 0, idCount = 0;
        if (!Read16(region_, uint64_t{offset} + kDirectoryNamedCountField, namedCount) ||
            !Read16(region_, uint64_t{offset} + kDirectoryIdCountField, idCount)) {
            return false;
        }
        const uint64_t first = uint64_t{offset} + kDirectoryHeaderSize;
        const uint64_t size = (uint64_t{namedCount} + idCount) * kDirectoryEntrySize;
        if (first > region_.size() || size > region_.size() - first) return false;
        entries = region_.subspan(first, size);
        return true;
    }

  private:
    Bytes region_;
    std::unordered_set<uint32_t> visited_;
};

struct DirectoryEntry {
    uint32_t name;
    uint32_t target;
};

DirectoryEntry EntryAt(Bytes entries, std::size_t index) {
    DirectoryEntry entry{};
    Read32(entries, index * kDirectoryEntrySize, entry.name);
    Read32(entries, index * kDirectoryEntrySize + 4, entry.target);
    return entry;
}

// The integer id of an entry that leads to a subdirectory; nullopt for named entries (which
// the readers never ask for) and for entries that do not lead to a directory.
std::optional<uint16_t> SubdirectoryId(const DirectoryEntry& entry) {
    if ((entry.name & kHighBit) != 0 || entry.name > 0xFFFF) return std::nullopt;
    if ((entry.target & kHighBit) == 0) return std::nullopt;
    return static_cast<uint16_t>(entry.name);
}

struct FileCloser {
    int descriptor;
    ~FileCloser() { close(descriptor); }
};

// Reads a regular file of at most kMaxFileSize bytes. The file is checked before it is opened,
// so that a fifo or a device is never opened at all, and again after, in case the name was
// switched in between; O_NONBLOCK keeps even that case from blocking in open.
std::optional<std::vector<uint8_t>> ReadRegularFile(const std::string& fileName) {
    struct stat named {};
    if (stat(fileName.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return std::nullopt;
    if (named.st_size < 0 || static_cast<uint64_t>(named.st_size) > kMaxFileSize) {
        return std::nullopt;
    }
    const int descriptor = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return std::nullopt;
    FileCloser closer{descriptor};
    struct stat opened {};
    if (fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino || opened.st_size < 0 ||
        static_cast<uint64_t>(opened.st_size) > kMaxFileSize) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(opened.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = read(descriptor, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return std::nullopt;
        if (count == 0) break;  // the file shrank while being read
        done += static_cast<std::size_t>(count);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace

std::unique_ptr<PeImage> PeImage::Load(const std::string& fileName) {
    try {
        std::optional<std::vector<uint8_t>> bytes = ReadRegularFile(fileName);
        if (!bytes) return nullptr;
        return FromBytes(std::move(*bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<PeImage> PeImage::FromBytes(std::vector<uint8_t> bytes) {
    if (bytes.size() > kMaxFileSize) return nullptr;
    try {
        std::unique_ptr<PeImage> image(new PeImage);
        image->bytes_ = std::move(bytes);
        if (!image->Index()) return nullptr;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool PeImage::Index() {
    const Bytes file(bytes_);
    if (file.size() < kDosHeaderSize || file[0] != 'M' || file[1] != 'Z') return false;

    uint32_t peOffset = 0, signature = 0;
    if (!Read32(file, kNewHeaderOffsetField, peOffset) || !Read32(file, peOffset, signature) ||
        signature != kPeSignature) {
        return false;
    }
    const uint64_t coffHeader = uint64_t{peOffset} + 4;
    uint16_t sectionCount = 0, optionalSize = 0;
    if (!Read16(file, coffHeader + kCoffSectionCountField, sectionCount) ||
        !Read16(file, coffHeader + kCoffOptionalSizeField, optionalSize)) {
        return false;
    }

    // The optional header differs between PE32 and PE32+ only in the width of a few fields
    // before the data directories, which moves them by 16 bytes.
    const uint64_t optionalHeader = coffHeader + kCoffHeaderSize;
    uint16_t magic = 0;
    if (!Read16(file, optionalHeader, magic)) return false;
    uint64_t directoryCountField = 0;
    if (magic == kMagicPe32) {
        directoryCountField = 92;
    } else if (magic == kMagicPe32Plus) {
        directoryCountField = 108;
    } else {
        return false;
    }
    const uint64_t directories = directoryCountField + 4;
    const uint64_t resourceDirectory = directories + kResourceDirectoryIndex * kDataDirectorySize;
    if (optionalSize < resourceDirectory + kDataDirectorySize) return false;
    uint32_t directoryCount = 0, resourceRva = 0;
    if (!Read32(file, optionalHeader + directoryCountField, directoryCount) ||
        directoryCount <= kResourceDirectoryIndex ||
        !Read32(file, optionalHeader + resourceDirectory, resourceRva) || resourceRva == 0) {
        return false;
    }

    SectionMap sections;
    if (!sections.Read(file, optionalHeader + optionalSize, sectionCount)) return false;
    DirectoryWalk walk(sections.Tail(file, resourceRva));

    Bytes types;
    if (!walk.Entries(0, types)) return false;
    for (std::size_t typeIndex = 0; typeIndex < types.size() / kDirectoryEntrySize; ++typeIndex) {
        const DirectoryEntry typeEntry = EntryAt(types, typeIndex);
        const std::optional<uint16_t> type = SubdirectoryId(typeEntry);
        Bytes ids;
        if (!type || !walk.Entries(typeEntry.target & ~kHighBit, ids)) continue;

        for (std::size_t idIndex = 0; idIndex < ids.size() / kDirectoryEntrySize; ++idIndex) {
            const DirectoryEntry idEntry = EntryAt(ids, idIndex);
            const std::optional<uint16_t> id = SubdirectoryId(idEntry);
            Bytes languages;
            if (!id || !walk.Entries(idEntry.target & ~kHighBit, languages)) continue;
            if (languages.empty()) continue;

            // The first language only; its entry must lead to data, not to a directory.
            const DirectoryEntry language = EntryAt(languages, 0);
            if ((language.target & kHighBit) != 0) continue;
            const Bytes region = walk.region();
            if (language.target > region.size() ||
                region.size() - language.target < kDataEntrySize) {
                continue;
            }
            uint32_t dataRva = 0, dataSize = 0;
            Read32(region, language.target, dataRva);
            Read32(region, uint64_t{language.target} + 4, dataSize);
            if (dataSize == 0) continue;
            const std::optional<uint64_t> dataOffset = sections.FileOffset(dataRva, dataSize);
            if (!dataOffset) continue;
            entries_.push_back(Entry{*type, *id, static_cast<uint32_t>(*dataOffset), dataSize});
        }
    }

    // Stable, so that of two entries for one (type, id) the one listed first stays first.
    const auto byKey = [](const Entry& a, const Entry& b) {
        return a.type != b.type ? a.type < b.type : a.id < b.id;
    };
    std::stable_sort(entries_.begin(), entries_.end(), byKey);
    const auto sameKey = [](const Entry& a, const Entry& b) {
        return a.type == b.type && a.id == b.id;
    };
    entries_.erase(std::unique(entries_.begin(), entries_.end(), sameKey), entries_.end());
    return true;
}

std::span<const uint8_t> PeImage::Find(uint16_t type, uint16_t id) const {
    const Entry key{type, id, 0, 0};
    const auto found =
        std::lower_bound(entries_.begin(), entries_.end(), key, [](const Entry& a, const Entry& b) {
            return a.type != b.type ? a.type < b.type : a.id < b.id;
        });
    if (found == entries_.end() || found->type != type || found->id != id) return {};
    return std::span<const uint8_t>(bytes_).subspan(found->offset, found->size);
}

void* PeImage::LoadModuleImage(const char* fileName) {
    if (fileName == nullptr) return nullptr;
    try {
        return Load(fileName).release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void PeImage::ReleaseModuleImage(void* image) {
    delete static_cast<PeImage*>(image);
}

const PeImage* PeImage::FromModule(KeHandle module) {
    const LoadedModule* record = KeModuleFromHandle(module);
    if (record == nullptr || record->resourceImage == nullptr ||
        record->releaseResourceImage != &PeImage::ReleaseModuleImage) {
        return nullptr;
    }
    return static_cast<const PeImage*>(record->resourceImage);
}

}  // namespace kq::platform
