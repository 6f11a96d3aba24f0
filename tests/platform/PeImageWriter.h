// Small resource-only PE images (PE32 or PE32+) written in memory: one resource section, built
// from a list of resources or given raw, and the offsets of the fields tests damage. Only the
// fields the reader looks at are written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace kq::pe_test {

enum class PeFormat { kPe32, kPe32Plus };

struct TestResource {
    uint16_t type;
    uint16_t id;
    std::vector<uint8_t> data;
};

// File offsets, then offsets within the resource section in directory order.
struct PeLayout {
    std::size_t peSignature = 0x40, coffHeader = 0x44, optionalHeader = 0x58;
    std::size_t directoryCount = 0, resourceDirectory = 0;
    std::size_t resourceSection = 0x200;  // the root directory
    std::vector<uint32_t> typeDirectories, idDirectories, dataEntries;
};

struct PeFile {
    std::vector<uint8_t> bytes;
    PeLayout layout;
};

inline void Put16(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
    if (bytes.size() < offset + 2) bytes.resize(offset + 2);
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
    Put16(bytes, offset, value & 0xFFFF);
    Put16(bytes, offset + 2, value >> 16);
}

constexpr uint32_t kTestResourceRva = 0x1000;

// Wraps a resource section (data RVAs based at kTestResourceRva) into a PE image.
inline PeFile WrapResourceSection(const std::vector<uint8_t>& section, PeFormat format) {
    PeFile file;
    PeLayout& layout = file.layout;
    std::vector<uint8_t>& bytes = file.bytes;
    const bool wide = format == PeFormat::kPe32Plus;
    const std::size_t optionalSize = wide ? 240 : 224;
    const std::size_t rawSize = (section.size() + 0x1FF) & ~std::size_t{0x1FF};
    bytes.assign(layout.resourceSection, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(bytes, 0x3C, static_cast<uint32_t>(layout.peSignature));
    Put32(bytes, layout.peSignature, 0x00004550);
    Put16(bytes, layout.coffHeader + 2, 1);  // one section
    Put16(bytes, layout.coffHeader + 16, static_cast<uint32_t>(optionalSize));
    const std::size_t optional = layout.optionalHeader;
    Put16(bytes, optional, wide ? 0x20B : 0x10B);
    layout.directoryCount = optional + (wide ? 108 : 92);
    Put32(bytes, layout.directoryCount, 16);
    layout.resourceDirectory = layout.directoryCount + 4 + 2 * 8;
    Put32(bytes, layout.resourceDirectory, kTestResourceRva);
    const std::size_t header = optional + optionalSize;  // the section table
    Put32(bytes, header + 8, static_cast<uint32_t>(section.size()));
    Put32(bytes, header + 12, kTestResourceRva);
    Put32(bytes, header + 16, static_cast<uint32_t>(rawSize));
    Put32(bytes, header + 20, static_cast<uint32_t>(layout.resourceSection));
    bytes.insert(bytes.end(), section.begin(), section.end());
    bytes.resize(layout.resourceSection + rawSize, 0);
    return file;
}

// A resource section as a linker lays it out: root, type directories, id directories (one
// language each), data entries, data.
inline PeFile BuildPeImage(const std::vector<TestResource>& resources, PeFormat format) {
    std::map<uint16_t, std::map<uint16_t, const TestResource*>> tree;
    for (const TestResource& resource : resources) tree[resource.type][resource.id] = &resource;
    PeLayout at;
    std::size_t next = 16 + 8 * tree.size();
    const auto place = [&next](std::vector<uint32_t>& offsets, std::size_t entries) {
        offsets.push_back(static_cast<uint32_t>(std::exchange(next, next + 16 + 8 * entries)));
    };
    for (const auto& [type, ids] : tree) place(at.typeDirectories, ids.size());
    for (const auto& [type, ids] : tree) {
        for (std::size_t i = 0; i < ids.size(); ++i) place(at.idDirectories, 1);
    }
    for (std::size_t i = 0; i < resources.size(); ++i) place(at.dataEntries, 0);
    std::vector<uint8_t> section(next, 0);
    // Entries are written in order, so each sets its directory's count to its slot + 1.
    const auto entry = [&section](uint32_t directory, std::size_t slot, uint32_t id,
                                  uint32_t offset) {
        Put16(section, directory + 14, static_cast<uint32_t>(slot + 1));
        Put32(section, directory + 16 + 8 * slot, id);
        Put32(section, directory + 20 + 8 * slot, offset);
    };
    std::size_t typeIndex = 0;
    std::vector<const TestResource*> data;
    for (const auto& [type, ids] : tree) {
        entry(0, typeIndex, type, 0x80000000u | at.typeDirectories[typeIndex]);
        std::size_t idSlot = 0;
        for (const auto& [id, resource] : ids) {
            const uint32_t idDirectory = at.idDirectories[data.size()];
            entry(at.typeDirectories[typeIndex], idSlot++, id, 0x80000000u | idDirectory);
            entry(idDirectory, 0, 0x0409, at.dataEntries[data.size()]);
            data.push_back(resource);
        }
        ++typeIndex;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        section.resize((section.size() + 7) & ~std::size_t{7}, 0);
        Put32(section, at.dataEntries[i], kTestResourceRva + static_cast<uint32_t>(section.size()));
        Put32(section, at.dataEntries[i] + 4, static_cast<uint32_t>(data[i]->data.size()));
        section.insert(section.end(), data[i]->data.begin(), data[i]->data.end());
    }
    PeFile file = WrapResourceSection(section, format);
    file.layout.dataEntries = std::move(at.dataEntries);
    return file;
}

}  // namespace kq::pe_test
