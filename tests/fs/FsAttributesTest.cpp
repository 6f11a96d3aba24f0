// FsSetAttr against the listing: what is written comes back (the read-only bit, the modified
// and accessed times); on a directory the attributes take effect and the result is -1.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fs/FsTestSupport.h"

namespace kq::fs::test {
namespace {

constexpr uint32_t kAll = 127;

class SetAttrTest : public TempDirTest {
  protected:
    Listed Listing(const std::string& name) {
        const auto listing = ByName(ListAll(Dir().string(), "*", kAll));
        EXPECT_EQ(listing.count(name), 1u) << name;
        return listing.count(name) ? listing.at(name) : Listed{};
    }
};

struct AttrCase {
    const char* what;
    uint32_t attributes;
    time_t modified;
    time_t accessed;
    uint32_t listed;
};

TEST_F(SetAttrTest, ListingGivesBackTheTimesAndTheReadOnlyBit) {
    const AttrCase cases[] = {
        {"plain", 0, 1'000'000'000, 1'100'000'000, FA_ARCHIVE},
        {"archive", FA_ARCHIVE, 946'684'800, 946'684'801, FA_ARCHIVE},
        {"read-only", FA_RDONLY, 1'500'000'000, 1'400'000'000, FA_ARCHIVE | FA_RDONLY},
        {"bits the system cannot keep", FA_ARCHIVE | FA_HIDDEN | FA_SYSTEM | FA_RDONLY,
         2'000'000'000, 2'000'000'000, FA_ARCHIVE | FA_RDONLY},
        {"before 1970", 0, -86'400, 0, FA_ARCHIVE},
        {"after 2038", 0, 4'102'444'800, 4'102'444'800, FA_ARCHIVE},
    };
    int index = 0;
    for (const AttrCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "file" + std::to_string(index++);
        const std::string path = WriteFile(name, "content");
        ASSERT_EQ(FsSetAttr(path.c_str(), c.attributes, 0, c.modified, c.accessed), 0);
        const Listed listed = Listing(name);
        EXPECT_EQ(listed.attributes, c.listed);
        EXPECT_EQ(listed.modified, c.modified);
        EXPECT_EQ(listed.accessed, c.accessed);
    }
}

TEST_F(SetAttrTest, ClearingReadOnlyGivesTheOwnerWriteAccessBack) {
    const std::string path = WriteFile("locked", "");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(FsSetAttr(path.c_str(), FA_ARCHIVE, 0, 1'000'000'000, 1'000'000'000), 0);
    struct stat status;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    EXPECT_EQ(Listing("locked").attributes, uint32_t{FA_ARCHIVE});
}

// The times are written as through a plain file open, which a directory refuses after its
// attributes were written.
TEST_F(SetAttrTest, OnADirectoryTheAttributesTakeEffectAndTheResultIsMinusOne) {
    const std::string path = MakeDir("dir");
    const Listed before = Listing("dir");
    EXPECT_EQ(FsSetAttr(path.c_str(), FA_DIR | FA_RDONLY, 0, 1'000'000'000, 1'000'000'000), -1);
    const Listed after = Listing("dir");
    EXPECT_EQ(after.attributes, uint32_t{FA_DIR | FA_RDONLY});
    EXPECT_EQ(after.modified, before.modified);
    EXPECT_EQ(FsSetAttr(path.c_str(), FA_DIR, 0, 1'000'000'000, 1'000'000'000), -1);
    EXPECT_EQ(Listing("dir").attributes, uint32_t{FA_DIR});
}

// Times are written by name: a fifo is never opened (which would wait for a writer).
TEST_F(SetAttrTest, AFifoGetsItsTimesWithoutBeingOpened) {
    const std::string path = MakeFifo("fifo");
    EXPECT_EQ(FsSetAttr(path.c_str(), 0, 0, 1'234'567'890, 1'234'567'890), 0);
    EXPECT_EQ(Listing("fifo").modified, 1'234'567'890);
}

TEST_F(SetAttrTest, AMissingPathFails) {
    EXPECT_EQ(FsSetAttr(Path("missing").c_str(), 0, 0, 0, 0), -1);
}

}  // namespace
}  // namespace kq::fs::test
