// Tests of the PE resource reader: real modules from windres + ld (PE32+, and PE32 rewritten
// by objcopy), images written by the tests in both formats, and damaged or hostile ones, which
// must give null or nothing without reading outside the file or looping. Also KeLoadDll's
// fallback to the reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Kernel.h"
#include "platform/PeImage.h"
#include "platform/PeImageWriter.h"

namespace kq::platform {
namespace {

using pe_test::BuildPeImage;
using pe_test::PeFile;
using pe_test::PeFormat;
using pe_test::Put16;
using pe_test::Put32;
using pe_test::TestResource;

constexpr const char* kModulePath = KQ_RESOURCE_TEST_MODULE;
constexpr const char* kModule32Path = KQ_RESOURCE_TEST_MODULE32;

std::vector<uint8_t> Bytes(std::span<const uint8_t> span) {
    return std::vector<uint8_t>(span.begin(), span.end());
}

std::vector<uint8_t> ReadFile(const char* path) {
    std::vector<uint8_t> bytes;
    if (FILE* file = std::fopen(path, "rb")) {
        for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(file);
    }
    return bytes;
}

// A file in the test's temporary directory, removed afterwards.
class TemporaryPath {
  public:
    explicit TemporaryPath(const std::string& name) : path_(testing::TempDir() + name) {
        unlink(path_.c_str());
    }
    ~TemporaryPath() { unlink(path_.c_str()); }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;

    const std::string& path() const { return path_; }
    bool Write(const std::vector<uint8_t>& bytes) const {
        FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) return false;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        return std::fclose(file) == 0 && written;
    }

  private:
    std::string path_;
};

// ---------------------------------------------------------------------------------------------
// Real modules.

class RealModuleTest : public testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (GetParam()[0] == '\0') GTEST_SKIP() << "the MinGW binutils are not installed";
    }
};

TEST_P(RealModuleTest, FindsEachKindOfResource) {
    std::unique_ptr<PeImage> image = PeImage::Load(GetParam());
    ASSERT_NE(image, nullptr);

    // An extended menu template starts with version 1 and offset 4.
    EXPECT_EQ(Bytes(image->Find(PeImage::kTypeMenu, 1)).at(0), 1);
    EXPECT_EQ(Bytes(image->Find(PeImage::kTypeMenu, 1)).at(2), 4);
    EXPECT_FALSE(image->Find(PeImage::kTypeDialog, 100).empty());
    EXPECT_FALSE(image->Find(PeImage::kTypeDialog, 104).empty());
    // String ids 1 and 65535 live in blocks 1 and 4096.
    EXPECT_FALSE(image->Find(PeImage::kTypeString, 1).empty());
    EXPECT_FALSE(image->Find(PeImage::kTypeString, 4096).empty());

    EXPECT_TRUE(image->Find(PeImage::kTypeDialog, 99).empty());
    EXPECT_TRUE(image->Find(PeImage::kTypeString, 3).empty());
    EXPECT_TRUE(image->Find(99, 1).empty());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RealModuleTest, testing::Values(kModulePath, kModule32Path),
                         [](const testing::TestParamInfo<const char*>& row) {
                             return row.index == 0 ? std::string("Pe32Plus") : std::string("Pe32");
                         });

TEST(RealModuleFormatTest, ThePe32ModuleIsPe32AndHoldsTheSameResources) {
    if (kModulePath[0] == '\0') GTEST_SKIP() << "the MinGW binutils are not installed";
    const std::vector<uint8_t> file = ReadFile(kModule32Path);
    ASSERT_GT(file.size(), 0x40u);
    const uint32_t peOffset = pe_test::Get32(file, 0x3C);
    ASSERT_LT(peOffset + 26u, file.size());
    EXPECT_EQ(file[peOffset + 24] | file[peOffset + 25] << 8, 0x10B);

    std::unique_ptr<PeImage> wide = PeImage::Load(kModulePath);
    std::unique_ptr<PeImage> narrow = PeImage::Load(kModule32Path);
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(narrow, nullptr);
    for (uint16_t id : {100, 101, 102, 103, 104, 105}) {
        EXPECT_EQ(Bytes(wide->Find(PeImage::kTypeDialog, id)),
                  Bytes(narrow->Find(PeImage::kTypeDialog, id)))
            << id;
    }
    EXPECT_EQ(Bytes(wide->Find(PeImage::kTypeMenu, 1)), Bytes(narrow->Find(PeImage::kTypeMenu, 1)));
}

// ---------------------------------------------------------------------------------------------
// Images written by the tests.

const std::vector<TestResource> kResources = {
    {PeImage::kTypeString, 1, {1, 0, 'A', 0}},
    {PeImage::kTypeDialog, 100, {1, 2, 3, 4, 5}},
    {PeImage::kTypeDialog, 101, {6}},
    {PeImage::kTypeMenu, 1, {7, 8}},
};

class WrittenImageTest : public testing::TestWithParam<PeFormat> {};

TEST_P(WrittenImageTest, FindsExactlyTheDataOfEachResource) {
    std::unique_ptr<PeImage> image = PeImage::FromBytes(BuildPeImage(kResources, GetParam()).bytes);
    ASSERT_NE(image, nullptr);
    for (const TestResource& resource : kResources) {
        EXPECT_EQ(Bytes(image->Find(resource.type, resource.id)), resource.data) << resource.id;
    }
    EXPECT_TRUE(image->Find(PeImage::kTypeDialog, 102).empty());
}

TEST_P(WrittenImageTest, TakesTheFirstLanguageListed) {
    const std::vector<TestResource> resources = {
        {PeImage::kTypeString, 1, {'d', 'e'}, 0x0407},
        {PeImage::kTypeString, 1, {'e', 'n'}, 0x0409},
    };
    std::unique_ptr<PeImage> image = PeImage::FromBytes(BuildPeImage(resources, GetParam()).bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes(image->Find(PeImage::kTypeString, 1)), (std::vector<uint8_t>{'d', 'e'}));
}

TEST_P(WrittenImageTest, AnEmptyResourceDirectoryLoadsAndFindsNothing) {
    std::unique_ptr<PeImage> image = PeImage::FromBytes(BuildPeImage({}, GetParam()).bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->Find(PeImage::kTypeString, 1).empty());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, WrittenImageTest,
                         testing::Values(PeFormat::kPe32, PeFormat::kPe32Plus),
                         [](const testing::TestParamInfo<PeFormat>& row) {
                             return row.param == PeFormat::kPe32 ? std::string("Pe32")
                                                                 : std::string("Pe32Plus");
                         });

// ---------------------------------------------------------------------------------------------
// Damaged headers: the file is refused.

struct HeaderDamage {
    const char* name;
    std::function<void(PeFile&)> damage;
};

void PrintTo(const HeaderDamage& row, std::ostream* out) {
    *out << row.name;
}

class DamagedHeaderTest : public testing::TestWithParam<HeaderDamage> {};

TEST_P(DamagedHeaderTest, FileIsRefused) {
    for (PeFormat format : {PeFormat::kPe32, PeFormat::kPe32Plus}) {
        PeFile file = BuildPeImage(kResources, format);
        GetParam().damage(file);
        EXPECT_EQ(PeImage::FromBytes(file.bytes), nullptr);
    }
}

const HeaderDamage kHeaderDamages[] = {
    {"NoMzSignature", [](PeFile& file) { file.bytes[1] = 'X'; }},
    {"PeHeaderOffsetPastTheEnd",
     [](PeFile& file) { Put32(file.bytes, 0x3C, static_cast<uint32_t>(file.bytes.size() - 2)); }},
    {"PeHeaderOffsetThatWrapsAround", [](PeFile& file) { Put32(file.bytes, 0x3C, 0xFFFFFFFE); }},
    {"NoPeSignature", [](PeFile& file) { file.bytes[file.layout.peSignature + 1] = 'X'; }},
    {"UnknownOptionalHeaderMagic",
     [](PeFile& file) { Put16(file.bytes, file.layout.optionalHeader, 0x107); }},
    {"OnlyTwoDataDirectories",
     [](PeFile& file) { Put32(file.bytes, file.layout.directoryCount, 2); }},
    {"OptionalHeaderTooShortForTheResourceEntry",
     [](PeFile& file) { Put16(file.bytes, file.layout.coffHeader + 16, 96); }},
    {"NoResourceDirectory",
     [](PeFile& file) { Put32(file.bytes, file.layout.resourceDirectory, 0); }},
    {"ResourceDirectoryInNoSection",
     [](PeFile& file) { Put32(file.bytes, file.layout.resourceDirectory, 0x9000); }},
    {"NoSections", [](PeFile& file) { Put16(file.bytes, file.layout.coffHeader + 2, 0); }},
    {"SectionTablePastTheEnd",
     [](PeFile& file) { Put16(file.bytes, file.layout.coffHeader + 2, 0xFFFF); }},
    {"SectionDataPastTheEnd",
     [](PeFile& file) { Put32(file.bytes, file.layout.sectionTable + 20, 0x01000000); }},
    {"RootDirectoryCutOff",
     [](PeFile& file) { file.bytes.resize(file.layout.resourceSection + 8); }},
    {"RootEntriesPastTheEnd",
     [](PeFile& file) { Put16(file.bytes, file.layout.resourceSection + 12, 0xFFFF); }},
    {"TooLarge", [](PeFile& file) { file.bytes.resize(size_t{64} * 1024 * 1024 + 1); }},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedHeaderTest, testing::ValuesIn(kHeaderDamages),
                         [](const testing::TestParamInfo<HeaderDamage>& row) {
                             return std::string(row.param.name);
                         });

// Whatever prefix of a file is read, the reader either refuses it or finds only bytes of the
// original resources: nothing cut off, nothing from outside.
TEST(TruncatedImageTest, NoPrefixYieldsBytesItDoesNotHold) {
    for (PeFormat format : {PeFormat::kPe32, PeFormat::kPe32Plus}) {
        const PeFile file = BuildPeImage(kResources, format);
        for (std::size_t length = 0; length <= file.bytes.size(); ++length) {
            std::vector<uint8_t> prefix(file.bytes.begin(),
                                        file.bytes.begin() + static_cast<std::ptrdiff_t>(length));
            std::unique_ptr<PeImage> image = PeImage::FromBytes(prefix);
            if (image == nullptr) continue;
            for (const TestResource& resource : kResources) {
                const std::vector<uint8_t> found = Bytes(image->Find(resource.type, resource.id));
                if (!found.empty()) {
                    EXPECT_EQ(found, resource.data) << length;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Damaged or hostile resource directories: the file loads, the damaged resources are missing.

struct DirectoryDamage {
    const char* name;
    std::function<void(PeFile&)> damage;
    // (type, id) pairs of kResources that must still be found.
    std::vector<std::pair<uint16_t, uint16_t>> stillFound;
};

void PrintTo(const DirectoryDamage& row, std::ostream* out) {
    *out << row.name;
}

class DamagedDirectoryTest : public testing::TestWithParam<DirectoryDamage> {};

TEST_P(DamagedDirectoryTest, DamagedResourcesAreMissing) {
    for (PeFormat format : {PeFormat::kPe32, PeFormat::kPe32Plus}) {
        PeFile file = BuildPeImage(kResources, format);
        GetParam().damage(file);
        std::unique_ptr<PeImage> image = PeImage::FromBytes(file.bytes);
        ASSERT_NE(image, nullptr);
        for (const TestResource& resource : kResources) {
            const std::pair<uint16_t, uint16_t> key{resource.type, resource.id};
            const bool expected =
                std::find(GetParam().stillFound.begin(), GetParam().stillFound.end(), key) !=
                GetParam().stillFound.end();
            EXPECT_EQ(!image->Find(resource.type, resource.id).empty(), expected)
                << resource.type << "/" << resource.id;
        }
    }
}

// kResources sorted by type: menu 1 (type directory 0), dialogs 100, 101 (type directory 1),
// string 1 (type directory 2); data entries in the same order.
constexpr std::size_t kRootEntries = 16;
const std::vector<std::pair<uint16_t, uint16_t>> kAllButDialogs = {{PeImage::kTypeMenu, 1},
                                                                   {PeImage::kTypeString, 1}};
const std::vector<std::pair<uint16_t, uint16_t>> kAllButDialog100 = {
    {PeImage::kTypeMenu, 1}, {PeImage::kTypeDialog, 101}, {PeImage::kTypeString, 1}};

std::size_t RootEntry(const PeFile& file, std::size_t index) {
    return file.layout.resourceSection + kRootEntries + 8 * index;
}
std::size_t InSection(const PeFile& file, uint32_t offset) {
    return file.layout.resourceSection + offset;
}

const DirectoryDamage kDirectoryDamages[] = {
    {"NamedTypeEntry",
     [](PeFile& file) { Put32(file.bytes, RootEntry(file, 1), 0x80000000u | 0x10); },
     kAllButDialogs},
    {"TypeEntryLeadingToDataInsteadOfADirectory",
     [](PeFile& file) { Put32(file.bytes, RootEntry(file, 1) + 4, file.layout.dataEntries[1]); },
     kAllButDialogs},
    {"TypeDirectoryThatIsTheRoot",
     [](PeFile& file) { Put32(file.bytes, RootEntry(file, 1) + 4, 0x80000000u); }, kAllButDialogs},
    {"IdDirectoryThatIsItsOwnTypeDirectory",
     [](PeFile& file) {
         const uint32_t typeDirectory = file.layout.typeDirectories[1];
         Put32(file.bytes, InSection(file, typeDirectory) + 16 + 4, 0x80000000u | typeDirectory);
     },
     kAllButDialog100},
    {"LanguageEntryLeadingToADirectory",
     [](PeFile& file) {
         const uint32_t idDirectory = file.layout.idDirectories[1];
         Put32(file.bytes, InSection(file, idDirectory) + 16 + 4, 0x80000000u | idDirectory);
     },
     kAllButDialog100},
    {"SubdirectoryPastTheEnd",
     [](PeFile& file) { Put32(file.bytes, RootEntry(file, 1) + 4, 0x80000000u | 0x7FFFFFF0u); },
     kAllButDialogs},
    {"HugeEntryCountInATypeDirectory",
     [](PeFile& file) {
         const uint32_t typeDirectory = file.layout.typeDirectories[1];
         Put16(file.bytes, InSection(file, typeDirectory) + 12, 0xFFFF);
         Put16(file.bytes, InSection(file, typeDirectory) + 14, 0xFFFF);
     },
     kAllButDialogs},
    {"DataEntryPastTheEnd",
     [](PeFile& file) {
         const uint32_t idDirectory = file.layout.idDirectories[1];
         Put32(file.bytes, InSection(file, idDirectory) + 16 + 4, 0x7FFFFFF8u);
     },
     kAllButDialog100},
    {"DataRvaInNoSection",
     [](PeFile& file) { Put32(file.bytes, InSection(file, file.layout.dataEntries[1]), 0x50000); },
     kAllButDialog100},
    {"DataRvaThatWrapsAround",
     [](PeFile& file) {
         Put32(file.bytes, InSection(file, file.layout.dataEntries[1]), 0xFFFFFFFEu);
     },
     kAllButDialog100},
    {"DataSizePastTheSection",
     [](PeFile& file) {
         Put32(file.bytes, InSection(file, file.layout.dataEntries[1]) + 4, 0xFFFFFFF0u);
     },
     kAllButDialog100},
    {"DataOfSizeZero",
     [](PeFile& file) { Put32(file.bytes, InSection(file, file.layout.dataEntries[1]) + 4, 0); },
     kAllButDialog100},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedDirectoryTest, testing::ValuesIn(kDirectoryDamages),
                         [](const testing::TestParamInfo<DirectoryDamage>& row) {
                             return std::string(row.param.name);
                         });

// Fault caught: without a record of the directories already walked, 4,000 type entries that
// all lead to one directory of 4,000 id entries, all leading to one language directory, make
// 16 million lookups out of a 64 KiB file.
TEST(HostileDirectoryTest, EntriesSharingOneSubdirectoryDoNotMultiplyTheWalk) {
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
    // Only the first path through the shared directories is walked.
    EXPECT_FALSE(image->Find(1, 1).empty());
    EXPECT_TRUE(image->Find(1, 2).empty());
    EXPECT_TRUE(image->Find(2, 1).empty());
}

// ---------------------------------------------------------------------------------------------
// Reading files.

TEST(PeImageLoadTest, ReadsAWrittenImageFromAFile) {
    TemporaryPath path("kq-pe-image.dll");
    ASSERT_TRUE(path.Write(BuildPeImage(kResources, PeFormat::kPe32).bytes));
    std::unique_ptr<PeImage> image = PeImage::Load(path.path());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes(image->Find(PeImage::kTypeMenu, 1)), (std::vector<uint8_t>{7, 8}));
}

TEST(PeImageLoadTest, RefusesWhatIsNoRegularFile) {
    EXPECT_EQ(PeImage::Load("/nonexistent-kq-directory/Lng.dll"), nullptr);
    EXPECT_EQ(PeImage::Load(""), nullptr);
    EXPECT_EQ(PeImage::Load(testing::TempDir()), nullptr);
    EXPECT_EQ(PeImage::Load("/dev/null"), nullptr);
}

// Fault caught: opening a fifo for reading blocks until a writer comes, so a fifo named like
// a language module would hang the program at start-up.
TEST(PeImageLoadTest, RefusesAFifoWithoutBlocking) {
    TemporaryPath path("kq-pe-fifo.dll");
    ASSERT_EQ(mkfifo(path.path().c_str(), 0600), 0);
    EXPECT_EQ(PeImage::Load(path.path()), nullptr);
}

// Fault caught: a huge file named like a language module read whole into memory.
TEST(PeImageLoadTest, RefusesAFileOverTheSizeLimit) {
    TemporaryPath path("kq-pe-huge.dll");
    ASSERT_TRUE(path.Write(BuildPeImage(kResources, PeFormat::kPe32).bytes));
    ASSERT_EQ(truncate(path.path().c_str(), off_t{65} * 1024 * 1024), 0);  // sparse
    EXPECT_EQ(PeImage::Load(path.path()), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Module handles.

TEST(PeModuleTest, KeLoadDllFallsBackToTheReader) {
    TemporaryPath path("kq-pe-module.dll");
    ASSERT_TRUE(path.Write(BuildPeImage(kResources, PeFormat::kPe32Plus).bytes));
    KeHandle module = KeLoadDll(path.path().c_str());
    ASSERT_NE(module, -1);

    const LoadedModule* record = KeModuleFromHandle(module);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->sharedObject, nullptr);
    const PeImage* image = PeImage::FromModule(module);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes(image->Find(PeImage::kTypeMenu, 1)), (std::vector<uint8_t>{7, 8}));
    EXPECT_EQ(KeGetFn(module, "ResLoadString"), nullptr);
    EXPECT_EQ(KeFreeDll(module), 0);
}

TEST(PeModuleTest, OtherHandlesHaveNoImage) {
    EXPECT_EQ(PeImage::FromModule(0), nullptr);
    EXPECT_EQ(PeImage::FromModule(-1), nullptr);
    EXPECT_EQ(PeImage::FromModule(KeGetModule()), nullptr);  // a shared object
    KeHandle lock = KeInitCS();
    EXPECT_EQ(PeImage::FromModule(lock), nullptr);
    KeFreeCS(lock);
}

TEST(PeModuleTest, KeLoadDllStillRefusesFilesThatAreNeitherKind) {
    TemporaryPath path("kq-pe-text.dll");
    ASSERT_TRUE(path.Write({'M', 'Z', ' ', 'n', 'o', 't', ' ', 'P', 'E'}));
    EXPECT_EQ(KeLoadDll(path.path().c_str()), -1);
}

}  // namespace
}  // namespace kq::platform
