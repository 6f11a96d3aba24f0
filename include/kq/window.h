// Rectangles, the window base class and the desktop: the text-mode window toolkit's core.
//
// Every visible thing is a ZWindow: a rectangle with its own character and attribute arrays,
// a place in the tree of windows rooted at the desktop, flag bits (kq/window_flags.h), a
// title, an id and an owner that receives its commands. Refresh composes the tree onto the
// console. One recursive lock guards the whole tree; worker threads may create, update and
// run windows while the UI thread runs the input loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "kq/api.h"
#include "kq/window_flags.h"

struct ZRec {
    int16_t x = 0;
    int16_t y = 0;
    int16_t w = 0;
    int16_t h = 0;

    ZRec() = default;
    ZAPI ZRec(int16_t x, int16_t y, int16_t w, int16_t h);
    bool operator==(const ZRec& other) const = default;
};

class ZWindow {
  public:
    ZWindow() = default;
    ZWindow(const ZWindow&) = delete;
    ZWindow& operator=(const ZWindow&) = delete;

    // The twelve operations, in slot order; derived classes append their own after these.
    // Draws a frame of style 0 (half blocks), 1 (single) or 2 (double) around the cells and
    // the title centred in the top row; -1 when the window has no cells.
    virtual int DrawFrame(int style, uint8_t attribute);
    // Every pass of the input loop; the base passes it to every child.
    virtual int Tick();
    // Fills the window's own cells; called by Refresh every time the window is refreshed.
    virtual int Draw();
    // Attaches the window to parent (null: the desktop) at the bottom of its siblings.
    virtual int Create(const char* title, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
                       int id);
    // Detaches the window and its children; 1 when a child refused (the rest stays attached).
    virtual int Destroy();
    virtual int Show(bool show);
    virtual int Activate(bool on);
    // Whether the window is on the focus chain (the focused window or one of its ancestors).
    virtual bool IsActive();
    // A key for the focused window; 0 when used.
    virtual int OnKey(uint32_t key);
    // A command from a child; the base forwards it to the owner.
    virtual int OnCommand(int id);
    // Modal run: activates the window and returns the value given to EndRun.
    virtual int Run();
    virtual int EndRun(int result);

    // A window destroyed while attached detaches itself first.
    virtual ~ZWindow();
    // The screen changed size (the terminal was resized). The base keeps a top-level window
    // inside the screen; windows that lay themselves out override it.
    virtual int OnScreenResize(int width, int height);

    void GetPos(ZRec& rect) const;
    // Moves and resizes; the parent repaints the strips the window left.
    void SetPos(ZRec pos, ZRec size);
    void SetCursor(ZRec cursor);
    const char* GetTitle() const { return title_.c_str(); }
    void SetTitle(const char* title);
    uint32_t GetFlags() const { return flags_; }
    void SetFlags(uint32_t flags);
    int GetId() const { return id_; }
    void SetId(int id) { id_ = id; }
    int GetOrder() const { return order_; }
    // Null means the desktop.
    void SetOwner(ZWindow* owner);
    bool IsAttached() const;
    void Redraw();
    // Repaints a rectangle given in window coordinates, with everything above it.
    void Refresh(ZRec rect);

    ZWindow* Parent() const { return parent_; }
    ZWindow* Owner() const { return owner_; }
    const std::vector<ZWindow*>& Children() const { return children_; }
    ZRec ScreenRect() const { return screenRect_; }
    ZRec Cursor() const { return cursor_; }
    int Width() const { return rect_.w; }
    int Height() const { return rect_.h; }

  protected:
    // Cell access for Draw: row-major w x h arrays, empty when the window has no area.
    std::vector<uint8_t>& Chars() { return chars_; }
    std::vector<uint8_t>& Attrs() { return attrs_; }
    // Writes text into the cells from (x, y) on, cut at the row's end.
    void PutText(int x, int y, std::string_view text, uint8_t attribute);
    void FillCells(uint8_t character, uint8_t attribute);
    // The children in z-order, for containers that arrange their own (under the window lock).
    std::vector<ZWindow*>& ChildList() { return children_; }

  private:
    friend class ZDesktop;
    friend class DesktopWindow;

    void AllocateCells();
    ZWindow* TopVisibleChild() const;
    void UpdateScreenRect();
    // nested: refreshed by its parent's pass over its children, which paints what lies above.
    void RefreshLocked(ZRec rect, bool nested);
    int DestroyBase();

    std::atomic<int> runDone_{0};
    int runResult_ = 0;
    ZRec rect_;
    ZRec screenRect_;
    ZRec cursor_;  // x, y: cursor cell; h: height in percent (0 hidden)
    uint32_t flags_ = 0;
    std::string title_;
    int id_ = 0;
    int order_ = 0;
    ZWindow* owner_ = nullptr;
    ZWindow* parent_ = nullptr;
    std::vector<ZWindow*> children_;  // index 0 is the bottom, the last is the top
    std::vector<uint8_t> chars_;
    std::vector<uint8_t> attrs_;
};

// The static interface through which the host starts the user interface.
class ZDesktop {
  public:
    using Callback = int (*)();

    // Builds the desktop, calls start (which builds the application's windows) and runs the
    // input loop until the application quits. 0, or -1 when the console cannot be opened.
    ZAPI static int Create(Callback start, Callback exitQuery);
    ZAPI static int GetPos(ZRec& rect);
    // "kq/w32", followed by " - " and the text when one is given.
    ZAPI static int SetTitle(const char* text);
    // Hides the desktop and gives the terminal back (for an external program).
    ZAPI static int Suspend();
    // Takes the terminal again, with its current content as the new background.
    ZAPI static int Resume();

    // Inside the library:
    // The input loop; ends when *stop becomes non-zero or the console fails.
    static int RunLoop(std::atomic<int>* stop);
    static ZWindow* GetFocus();
    // 0 when the application ends, 1 when it goes on (a refusal or a veto).
    static int Quit(int force);
    static int SetScreenSize(ZRec size);
    static int RedrawAll();
    static ZWindow* Desktop();
    // The window on the bottom row that holds the key bar.
    static ZWindow* KeyBar();
    // Seconds since the epoch of the last key (0 asks the saver to start).
    static int64_t LastActivity();
    static bool IsUiThread();
};

extern "C" ZAPI void ZCALL ZScreenSaver(void);

// Shows a message box modally (parent null: the desktop; a negative x or y centres it): a
// text and a row of buttons, one per set bit of buttons, with captions from the current
// language. Returns the bit of the button pressed, 2 for Esc, -1 when the box was destroyed
// while it ran. WF_BEEP rings the bell, WF_DEFAULT gives alert colours.
extern "C" ZAPI int ZCALL ZMessageBox(ZWindow* parent, ZRec pos, ZRec size, const char* title,
                                      const char* text, uint32_t buttons, int defaultButton,
                                      uint32_t flags);
