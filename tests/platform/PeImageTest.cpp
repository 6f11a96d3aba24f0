// The PE resource reader on damaged or hostile images in both formats, which give null or
// nothing without reading outside the file or looping.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/PeImage.h"
#include "platform/PeImageWriter.h"
#include "support/TempFolder.h"

namespace kq::platform {
namespace {

using pe_test::BuildPeImage;
using pe_test::PeFile;
using pe_test::PeFormat;
using pe_test::Put16;
using pe_test::Put32;
using pe_test::TestResource;

constexpr PeFormat kFormats[] = {PeFormat::kPe32, PeFormat::kPe32Plus};

const std::vector<TestResource> kResources = {
    {PeImage::kTypeString, 1, {1, 0, 'A', 0}},
    {PeImage::kTypeDialog, 100, {1, 2, 3, 4, 5}},
    {PeImage::kTypeDialog, 101, {6}},
    {PeImage::kTypeMenu, 1, {7, 8}},
};

TEST(HostilePeTest, DamagedHeadersAreRefused) {
    const struct {
        const char* name;
        std::function<void(PeFile&)> damage;
    } cases[] = {
        {"no MZ", [](auto& f) { f.bytes[1] = 'X'; }},
        {"PE offset that wraps", [](auto& f) { Put32(f.bytes, 0x3C, 0xFFFFFFFE); }},
        {"no PE signature", [](auto& f) { f.bytes[f.layout.peSignature + 1] = 'X'; }},
        {"unknown magic", [](auto& f) { Put16(f.bytes, f.layout.optionalHeader, 0x107); }},
        {"two data directories", [](auto& f) { Put32(f.bytes, f.layout.directoryCount, 2); }},
        {"short optional", [](auto& f) { Put16(f.bytes, f.layout.coffHeader + 16, 96); }},
        {"resources outside", [](auto& f) { Put32(f.bytes, f.layout.resourceDirectory, 0x9000); }},
        {"sections past the end", [](auto& f) { Put16(f.bytes, f.layout.coffHeader + 2, 0xFFFF); }},
        {"entries past end",
         [](auto& f) { Put16(f.bytes, f.layout.resourceSection + 12, 0xFFFF); }},
    };
    for (PeFormat format : kFormats) {
        for (const auto& test : cases) {
            PeFile file = BuildPeImage(kResources, format);
            test.damage(file);
            EXPECT_EQ(PeImage::FromBytes(file.bytes), nullptr) << test.name;
        }
    }
}

// Any prefix of a file is refused or gives only whole original resources.
TEST(HostilePeTest, NoPrefixYieldsBytesItDoesNotHold) {
    for (PeFormat format : kFormats) {
        const PeFile file = BuildPeImage(kResources, format);
        for (std::size_t length = 0; length <= file.bytes.size(); ++length) {
            std::unique_ptr<PeImage> image = PeImage::FromBytes(std::vector<uint8_t>(
                file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(length)));
            for (const TestResource& resource : kResources) {
                const auto found =
                    image ? image->Find(resource.type, resource.id) : std::span<const uint8_t>{};
                EXPECT_TRUE(found.empty() || std::ranges::equal(found, resource.data)) << length;
            }
        }
    }
}

// Damaged resource directories: the file loads and only the resources below them are missing.
// kResources by type: menu 1, dialogs 100 and 101, string 1; so the root's entry [1] and data
// entry [1] are the dialogs' and dialog 100's.
TEST(HostilePeTest, DamagedDirectoriesLoseOnlyTheResourcesBelowThem) {
    constexpr uint32_t kDir = 0x80000000u;
    enum Base { kRoot, kData };  // where the damaged field is, and what value adds
    const struct {
        const char* name;
        Base at;
        uint32_t offset, value;
        Base plus;
        bool bothLost;  // or only dialog 100
    } cases[] = {
        {"type entry leading to data", kRoot, 28, 0, kData, true},
        {"type directory that is the root", kRoot, 28, kDir, kRoot, true},
        {"subdirectory past the end", kRoot, 28, kDir | 0x7FFFFFF0u, kRoot, true},
        {"data size past the section", kData, 4, 0xFFFFFFF0u, kRoot, false},
    };
    for (PeFormat format : kFormats) {
        for (const auto& test : cases) {
            SCOPED_TRACE(test.name);
            PeFile file = BuildPeImage(kResources, format);
            const auto& l = file.layout;
            const uint32_t bases[] = {0, l.dataEntries[1]};
            Put32(file.bytes, l.resourceSection + bases[test.at] + test.offset,
                  test.value | bases[test.plus]);
            std::unique_ptr<PeImage> image = PeImage::FromBytes(file.bytes);
            ASSERT_NE(image, nullptr);
            EXPECT_TRUE(image->Find(PeImage::kTypeDialog, 100).empty());
            EXPECT_EQ(image->Find(PeImage::kTypeDialog, 101).empty(), test.bothLost);
        }
    }
}

// Fault caught: 4,000 type entries leading to one directory of 4,000 id entries made 16 million
// lookups out of a 64 KiB file; only the first path through a shared directory is walked.
TEST(HostilePeTest, EntriesSharingOneSubdirectoryDoNotMultiplyTheWalk) {
    constexpr uint32_t kCount = 4000;
    const uint32_t typeDirectory = 16 + 8 * kCount;
    const uint32_t languageDirectory = typeDirectory + 16 + 8 * kCount;
    const uint32_t dataEntry = languageDirectory + 16 + 8;
    std::vector<uint8_t> section(dataEntry + 16 + 4, 0);
    Put16(section, 14, kCount);
    Put16(section, typeDirectory + 14, kCount);
    for (uint32_t index = 0; index < kCount; ++index) {
        Put32(section, 16 + 8 * index, index + 1);
        Put32(section, 16 + 8 * index + 4, 0x80000000u | typeDirectory);
        Put32(section, typeDirectory + 16 + 8 * index, index + 1);
        Put32(section, typeDirectory + 16 + 8 * index + 4, 0x80000000u | languageDirectory);
    }
    Put16(section, languageDirectory + 14, 1);
    Put32(section, languageDirectory + 16 + 4, dataEntry);
    Put32(section, dataEntry, pe_test::kTestResourceRva + dataEntry + 16);
    Put32(section, dataEntry + 4, 4);

    std::unique_ptr<PeImage> image =
        PeImage::FromBytes(pe_test::WrapResourceSection(section, PeFormat::kPe32Plus).bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->Find(1, 1).empty());
    EXPECT_TRUE(image->Find(1, 2).empty());
    EXPECT_TRUE(image->Find(2, 1).empty());
}

// Faults caught: a fifo named like a language module blocked the start; a huge one was read
// whole into memory.
TEST(PeImageTest, LoadReadsRegularFilesUpToTheSizeLimitOnly) {
    kq::test::TempFolder folder;
    const std::vector<uint8_t> bytes = BuildPeImage(kResources, PeFormat::kPe32).bytes;
    const std::string image = folder.WriteFile("Lng.dll", std::string(bytes.begin(), bytes.end()));
    ASSERT_NE(PeImage::Load(image), nullptr);
    const std::string fifo = folder.Path("LngFifo.dll"), huge = folder.Path("LngHuge.dll");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::copy_file(image, huge);
    ASSERT_EQ(truncate(huge.c_str(), off_t{65} * 1024 * 1024), 0);  // sparse
    EXPECT_EQ(PeImage::Load(fifo), nullptr);
    EXPECT_EQ(PeImage::Load(huge), nullptr);
}

}  // namespace
}  // namespace kq::platform
