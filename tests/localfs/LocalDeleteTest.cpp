// The delete entry point behind its window on the in-memory console: the questions and their
// five answers as the user gives them, the flags that leave questions out, and the message
// about what stayed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "kq/resource_ids.h"
#include "localfs/LocalPlugin.h"
#include "support/LanguageDesktopTest.h"
#include "support/LocalInstanceTest.h"
#include "ui/LanguageTexts.h"

namespace kq::localfs {
namespace {

namespace stdfs = std::filesystem;
using kq::ui::testing::kEnter;
using kq::ui::testing::kEsc;
using kq::ui::testing::Letter;

// The question box starts on this row; the progress window's path shows above it.
constexpr int kQuestionRow = 13;

// The beginnings of the two questions' texts.
std::vector<std::string> Questions() {
    return {ui::LoadLanguageText(IDS_DELETE_READ_ONLY).substr(0, 20),
            ui::LoadLanguageText(IDS_DELETE_NOT_EMPTY).substr(0, 20)};
}

// Presses one key for each box showing one of the markers, in order, while the job runs in the
// test's thread; a box past the keys is answered with Esc and counted as well.
class Answerer {
  public:
    Answerer(kq::console::MemoryConsole& console, std::vector<uint32_t> keys,
             std::vector<std::string> markers = Questions())
        : thread_([this, &console, keys, markers] { Answer(console, keys, markers); }) {}
    int Stop() {
        done_ = true;
        thread_.join();
        return asked_;
    }
    std::string screen;  // as the last box was answered
    int jobs = 0;        // the running jobs then

  private:
    void Answer(kq::console::MemoryConsole& console, const std::vector<uint32_t>& keys,
                const std::vector<std::string>& markers) {
        std::string answered;  // the rows above the box at the last answer: they name the item
        std::string previous;  // the screen a moment ago
        while (!done_) {
            const std::string shown = console.ScreenText();
            std::string above;
            for (int row = 0; row < kQuestionRow; ++row) above += console.RowText(row);
            const bool question = std::any_of(markers.begin(), markers.end(), [&](auto& marker) {
                return shown.find(marker) != std::string::npos;
            });
            // A box is answered once the screen has settled: the window behind it may still be
            // catching up.
            const bool settled = shown == previous;
            previous = shown;
            if (question && settled && above != answered && console.PendingInput() == 0) {
                answered = above;
                screen = shown;
                jobs = RunningJobs();
                const size_t index = static_cast<size_t>(asked_++);
                console.PushKey(index < keys.size() ? keys[index] : kEsc);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::atomic<bool> done_{false};
    int asked_ = 0;
    std::thread thread_;
};

class LocalDeleteTest : public kq::test::LocalInstanceTest<kq::test::LanguageDesktopTest> {
  protected:
    // Deletes the names (the first one last, as a panel hands them over) while the keys answer
    // the questions; the number of questions asked.
    int Delete(std::vector<std::string> names, uint32_t flags, std::vector<uint32_t> keys) {
        std::vector<PluginItem> items;
        for (const std::string& name : names) items.push_back(Item(name.c_str()));
        Answerer answerer(*console, std::move(keys));
        EXPECT_EQ(FS_ZDeleteFiles(handle, items.data(), static_cast<int32_t>(items.size()), flags),
                  0);
        const int asked = answerer.Stop();
        questionScreen = answerer.screen;
        jobsWhileAsked = answerer.jobs;
        Press({});  // the screen without the job's windows: the next answerer sees no old box
        return asked;
    }
    std::vector<std::string> Left() const {
        std::vector<std::string> names;
        for (const auto& entry : stdfs::recursive_directory_iterator(temp.Path("from"))) {
            names.push_back(stdfs::relative(entry.path(), temp.Path("from")).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string questionScreen;  // as the last question of the last job was answered
    int jobsWhileAsked = 0;
};

// Files named r... are read-only; "name/" makes a directory.
TEST_F(LocalDeleteTest, QuestionsAndAnswers) {
    using Names = std::vector<std::string>;
    const Names r = {"r1", "r2", "r3"};
    const uint32_t noQuestions = PLUGIN_OP_DELETE_NON_EMPTY | PLUGIN_OP_DELETE_READ_ONLY;
    const struct {
        const char* what;
        Names files, items;
        uint32_t flags;
        std::vector<uint32_t> keys;
        int asked;
        Names left;
    } cases[] = {
        {"empty directory", {"d/"}, {"d"}, 0, {}, 0, {}},
        {"No keeps a directory", {"d/f"}, {"d"}, 0, {Letter('N')}, 1, {"d", "d/f"}},
        {"Yes deletes it", {"d/f"}, {"d"}, 0, {kEnter}, 1, {}},
        {"All at the first", r, r, 0, {Letter('A')}, 1, {}},
        {"Skip all at the first", r, r, 0, {Letter('S')}, 1, r},
        {"Cancel ends the job", r, r, 0, {kEsc}, 1, r},
        {"settings leave the questions out", {"d/e/f", "d/r"}, {"d"}, noQuestions, {}, 0, {}},
        {"no window, no question", {"d/r"}, {"d"}, PLUGIN_OP_IN_CALLER_THREAD, {}, 0, {}},
    };
    for (const auto& c : cases) {
        for (const std::string& name : c.files) {
            const std::string path = name.back() == '/' ? temp.MakeFolder("from/" + name)
                                                        : temp.WriteFile("from/" + name, "x");
            if (name[name.find_last_of('/') + 1] == 'r') ::chmod(path.c_str(), 0444);
        }
        EXPECT_EQ(Delete(c.items, c.flags, c.keys), c.asked) << c.what;
        // The window behind a question names the item asked about; the job counts as running.
        EXPECT_EQ(c.asked > 0, questionScreen.find("/from/") != std::string::npos) << c.what;
        EXPECT_EQ(jobsWhileAsked, c.asked > 0 ? 1 : 0) << c.what;
        EXPECT_EQ(Left(), c.left) << c.what;
        stdfs::remove_all(temp.Path("from"));
        temp.MakeFolder("from");
    }
}

// What stayed is told in one message once the window has gone; a caller that wanted no window
// learns it from the result.
TEST_F(LocalDeleteTest, WhatStayedIsToldWithItsReason) {
    PluginItem missing = Item("missing");
    errno = 0;
    EXPECT_EQ(FS_ZDeleteFiles(handle, &missing, 1, PLUGIN_OP_IN_CALLER_THREAD), -1);
    EXPECT_EQ(errno, ENOENT);
    const std::string told = ui::FormatCounts(ui::LoadLanguageText(IDS_DELETE_NOT_DONE), {1});
    Answerer message(*console, {kEnter}, {told});
    EXPECT_EQ(FS_ZDeleteFiles(handle, &missing, 1, 0), 0);
    EXPECT_EQ(message.Stop(), 1);
    EXPECT_NE(message.screen.find("missing"), std::string::npos);
}

}  // namespace
}  // namespace kq::localfs
