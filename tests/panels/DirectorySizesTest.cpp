// Directory sizes: a panel bound to the local plugin on a temporary tree measures its rows
// behind the size dialog, which the desktop's input loop runs on the in-memory console.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "kq/fs.h"
#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "panels/PanelTestSupport.h"
#include "panels/ZFilePanelSizes.h"

namespace kq::panels::testing {
namespace {

namespace fs = std::filesystem;
using kq::ui::testing::kEnter;
using kq::ui::testing::kEsc;

constexpr int kLocalPlugin = 0;
// A guard against a test that waits for something that never comes: the test fails instead of
// hanging. Not a time limit on the code under test.
constexpr int kPatience = 20000;
// The size dialog's width in the English module; it is centred on the screen.
constexpr int kDialogWidth = 64;

// tree/a holds 123 bytes and a/sub 1007 bytes below it: a measures 1130; b measures 50.
class DirectorySizesTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        tree = folder + "/tree";
        fs::create_directories(tree + "/a/sub/deep");
        fs::create_directories(tree + "/b");
        Write(tree + "/a/f1", 100);
        Write(tree + "/a/f2", 23);
        Write(tree + "/a/sub/f3", 1000);
        Write(tree + "/a/sub/deep/f4", 7);
        Write(tree + "/b/g", 50);
        Write(tree + "/top.txt", 5);
        ASSERT_EQ(FsGetCwd(saved), 0);
    }
    void TearDown() override {
        SetSizeListingObserver({});
        FsSetCwd(saved);
        PanelTest::TearDown();
    }

    static void Write(const std::string& path, size_t bytes) {
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    }

    void OpenTree(ZFilePanel& panel) {
        OpenPanel(panel, 0, 1, 40, 20, kLocalPlugin);
        ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
    }
    static int RowOf(const ZFilePanel& panel, const std::string& name) {
        for (int row = 0; row < panel.RowCount(); ++row) {
            if (name == panel.CellText(row, ZFilePanel::kFieldName)) return row;
        }
        return -1;
    }
    static uint64_t SizeOf(const ZFilePanel& panel, const std::string& name) {
        const PluginItem* item = panel.ItemAt(RowOf(panel, name));
        return item != nullptr ? item->fileSize : UINT64_MAX - 7;
    }
    // The screen row that shows the size dialog's top frame line, -1 when it is not shown.
    int DialogTop() const {
        for (int y = 0; y < console->Rows(); ++y) {
            if (console->RowText(y).find(" Directory size ") != std::string::npos) return y;
        }
        return -1;
    }

    std::string tree;
    char saved[FS_MAX_PATH] = {};
};

TEST_F(DirectorySizesTest, CurrentDirectoryRowGivesItsTreeTotalAndShowsItInTheSizeColumn) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetCurrentRow(RowOf(panel, "a"));
    EXPECT_EQ(panel.ComputeSizes(false), 1130u);
    EXPECT_EQ(SizeOf(panel, "a"), 1130u);
    EXPECT_EQ(SizeOf(panel, "b"), 0u);
    // The re-sort that follows the command puts the size into the column.
    panel.BuildRows();
    EXPECT_EQ(*panel.CellNumber(RowOf(panel, "a"), ZFilePanel::kFieldSize), 1130u);
    // The dialog is gone again.
    panel.Redraw();
    EXPECT_EQ(DialogTop(), -1);
}

TEST_F(DirectorySizesTest, SelectedRowsAreSummedAndEachDirectoryKeepsItsOwnSize) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetRowSelected(RowOf(panel, "a"), true);
    panel.SetRowSelected(RowOf(panel, "b"), true);
    panel.SetRowSelected(RowOf(panel, "top.txt"), true);
    panel.SetCurrentRow(RowOf(panel, ".."));
    EXPECT_EQ(panel.ComputeSizes(false), 1130u + 50u + 5u);
    EXPECT_EQ(SizeOf(panel, "a"), 1130u);
    EXPECT_EQ(SizeOf(panel, "b"), 50u);
    EXPECT_EQ(panel.RowTotals().selectedSize, 1130u + 50u + 5u);
}

TEST_F(DirectorySizesTest, CurrentFileWithNothingSelectedGivesZeroWithoutADialog) {
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetCurrentRow(RowOf(panel, "top.txt"));
    EXPECT_EQ(panel.ComputeSizes(true), 0u);
    EXPECT_EQ(SizeOf(panel, "top.txt"), 5u);
    EXPECT_EQ(DialogTop(), -1);
}

// A link to the directory that holds it made the walk endless before links were marked in
// the listing: the local plugin lists a link to a directory as a directory.
// Fault caught as well: a link to a file counted its target's size, so a link to a 1,000-byte
// file added 1,000 bytes instead of its own 6. Every link adds the length of its path.
TEST_F(DirectorySizesTest, LinksAreCountedAsThemselvesAndTheWalkNeverFollowsThem) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ASSERT_EQ(::symlink("..", (tree + "/a/sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("../b", (tree + "/a/other").c_str()), 0);
    ASSERT_EQ(::symlink("sub/f3", (tree + "/a/big").c_str()), 0);
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetCurrentRow(RowOf(panel, "a"));
    EXPECT_EQ(panel.ComputeSizes(false), 1130u + 2 + 4 + 6);
    EXPECT_EQ(SizeOf(panel, "a"), 1130u + 2 + 4 + 6);
}

TEST_F(DirectorySizesTest, SelectedLinksAreCountedAsThemselvesNotMeasured) {
    ASSERT_EQ(::symlink("a", (tree + "/alias").c_str()), 0);
    ASSERT_EQ(::symlink("a/sub/f3", (tree + "/big").c_str()), 0);
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetRowSelected(RowOf(panel, "alias"), true);
    panel.SetRowSelected(RowOf(panel, "big"), true);
    EXPECT_EQ(panel.ComputeSizes(false), 1u + 8);
    EXPECT_EQ(DialogTop(), -1);
}

TEST_F(DirectorySizesTest, CancelKeepsThePartCountedAndMeasuresNoFurtherRow) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetRowSelected(RowOf(panel, "a"), true);
    panel.SetRowSelected(RowOf(panel, "b"), true);
    // After the first listing (a's own files) the user presses Esc; the walk goes on only once
    // the dialog has taken it.
    static std::atomic<int> listings{0};
    static std::atomic<bool> cancelSeen{false};
    static kq::console::MemoryConsole* input = nullptr;
    listings = 0;
    cancelSeen = false;
    input = console.get();
    SetSizeListingObserver([](int count, const std::function<bool()>& cancelled) {
        listings = count;
        if (count != 1) return;
        input->PushKey(kEsc);
        for (int i = 0; i < kPatience && !cancelled(); ++i) KeSleep(1);
        cancelSeen = cancelled();
    });
    EXPECT_EQ(panel.ComputeSizes(true), UINT64_MAX);
    EXPECT_TRUE(cancelSeen);
    EXPECT_EQ(listings, 1);
    EXPECT_EQ(SizeOf(panel, "a"), 123u);
    EXPECT_EQ(SizeOf(panel, "b"), 0u);
    // A cancelled count does not pause: the dialog is gone.
    panel.Redraw();
    EXPECT_EQ(DialogTop(), -1);
}

TEST_F(DirectorySizesTest, WithPauseTheDialogStaysAfterTheCountUntilClosed) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetCurrentRow(RowOf(panel, "a"));
    // Another thread plays the user: it waits for the paused dialog (the button now reads
    // OK), takes down what it shows and presses Enter.
    std::string item;
    std::string total;
    std::string button;
    bool sawPause = false;
    std::thread user([&] {
        for (int i = 0; i < kPatience && !sawPause; ++i) {
            const int top = DialogTop();
            if (top >= 0 && console->RowText(top + 8).find("OK") != std::string::npos) {
                const int left = (console->Cols() - kDialogWidth) / 2;
                item = console->Text(left + 2, top + 2, 60);
                total = console->Text(left + 34, top + 6, 9);
                button = console->RowText(top + 8);
                sawPause = true;
                break;
            }
            KeSleep(1);
        }
        console->PushKey(kEnter);
    });
    const uint64_t result = panel.ComputeSizes(true);
    user.join();
    EXPECT_EQ(result, 1130u);
    ASSERT_TRUE(sawPause);
    EXPECT_EQ(item, std::string(60, ' '));
    EXPECT_EQ(total, "    1,130");
    EXPECT_EQ(button.find("Cancel"), std::string::npos);
    panel.Redraw();
    EXPECT_EQ(DialogTop(), -1);
}

TEST_F(DirectorySizesTest, WithoutPauseTheDialogClosesWhenTheCountEnds) {
    if (!HasLanguage()) GTEST_SKIP() << "no language module";
    ZFilePanel panel;
    OpenTree(panel);
    panel.SetCurrentRow(RowOf(panel, "b"));
    EXPECT_EQ(panel.ComputeSizes(false), 50u);
    // No key was needed and none was taken.
    EXPECT_EQ(console->PendingInput(), 0u);
    panel.Redraw();
    EXPECT_EQ(DialogTop(), -1);
}

}  // namespace
}  // namespace kq::panels::testing
