// The viewer window: one file shown read-only over the desktop, with its keys, the search, the
// go-to and code-page dialogs. ZViewFile (kq/viewer.h) builds one, runs it and remembers where
// the file was left.
#pragma once

#include <array>
#include <string>

#include "kq/window.h"
#include "ui/ToolLabels.h"
#include "viewer/ViewerFile.h"
#include "viewer/ViewerHistory.h"
#include "viewer/ViewerRender.h"
#include "viewer/ViewerText.h"

class ZViewer : public ZWindow {
  public:
    ZViewer();
    ~ZViewer() override;

    int Draw() override;
    int Destroy() override;
    int Activate(bool on) override;
    int OnKey(uint32_t key) override;
    int OnScreenResize(int width, int height) override;

    // Opens the file; false when it is not a regular file the user may read.
    bool Open(const char* path);
    // Takes what the history remembers of the file; a file it does not know starts at the top,
    // in the code page GuessCodePage gives.
    void Restore(const kq::viewer::ViewerHistory& history);
    // The code page of a file seen for the first time: UTF-8 when its first block is valid
    // UTF-8 with text beyond ASCII, else the console's.
    int GuessCodePage();
    // Whether the window follows the desktop's size (it was given no size of its own).
    void FollowDesktop(bool follow) { followDesktop_ = follow; }

    const kq::viewer::ViewerView& View() const { return view_; }
    int CodePage() const { return text_.CodePage(); }
    const std::string& SearchText() const { return search_; }

    // The keys' actions, also reached by tests.
    void SearchForward() { Search(false); }
    void SearchBackward() { Search(true); }

  private:
    void MoveDown(int64_t rows);
    void MoveUp(int64_t rows);
    void MoveToEnd();
    void Search(bool backward);
    void ShowFound(int64_t start, int64_t length);
    void SearchDialog();
    void GoToDialog();
    void CodePageDialog();
    int TextRows() const { return Height() - 2; }
    int64_t UnitSize() const { return text_.UnitSize(); }

    kq::ui::ToolLabels labels_;
    std::string search_;
    bool caseSensitive_ = false;
    bool backward_ = false;
    kq::viewer::ViewerFile file_;
    kq::viewer::ViewerText text_{file_};
    kq::viewer::ViewerView view_;
    kq::viewer::ViewerPicture picture_;
    int consoleCodePage_ = 0;
    bool followDesktop_ = false;
};
