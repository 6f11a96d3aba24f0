// The window tree: z-order and focus, refresh clipping and overlays, moving, frames, and
// destruction with a refusing child.
#include <string>

#include "ui/WindowTestSupport.h"

namespace kq::ui::testing {
namespace {

using WindowTest = DesktopTest;

TEST_F(WindowTest, NewWindowStartsAtTheBottomAndComesUpWhenActivated) {
    Box dialog('D');
    Open(dialog, 10, 5, 40, 10);
    Box first('1');
    Box second('2');
    first.Create(nullptr, ZRec(1, 1, 0, 0), ZRec(0, 0, 5, 2), &dialog, WF_VISIBLE | WF_FOCUSABLE,
                 0);
    second.Create(nullptr, ZRec(3, 1, 0, 0), ZRec(0, 0, 5, 2), &dialog, WF_VISIBLE | WF_FOCUSABLE,
                  0);
    ASSERT_EQ(dialog.Children().size(), 2u);
    EXPECT_EQ(dialog.Children().front(), &second);
    EXPECT_EQ(ZDesktop::GetFocus(), &first);
    EXPECT_EQ(first.GetOrder(), 0);
    EXPECT_EQ(second.GetOrder(), 1);
    second.Activate(true);
    EXPECT_EQ(dialog.Children().back(), &second);
    EXPECT_EQ(ZDesktop::GetFocus(), &second);
    EXPECT_TRUE(dialog.IsActive());
    EXPECT_FALSE(first.IsActive());
}

TEST_F(WindowTest, FocusFollowsActivateShowAndHide) {
    Box a('a');
    Box b('b');
    Open(a, 0, 0, 20, 5);
    Open(b, 10, 2, 20, 5);
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    a.Activate(true);
    EXPECT_EQ(ZDesktop::GetFocus(), &a);
    EXPECT_EQ(console->Char(15, 3), 'a');  // a is drawn over b where they overlap
    a.Show(false);
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_EQ(console->Char(15, 3), 'b');
    EXPECT_EQ(console->Char(2, 1), ' ');  // the background came back where a was
    // Hiding gave b the top place: showing a again draws it below b.
    a.Show(true);
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_EQ(console->Char(2, 1), 'a');
    EXPECT_EQ(console->Char(15, 3), 'b');
}

TEST_F(WindowTest, RefreshIsClippedToTheParentAtEveryEdge) {
    Box parent('P');
    Open(parent, 10, 5, 20, 10);
    struct Case {
        const char* name;
        int x, y, w, h;
        // A cell inside the child but outside the parent, and one inside both.
        int outsideX, outsideY, insideX, insideY;
    };
    const Case cases[] = {
        {"left", -3, 2, 6, 2, 8, 7, 11, 7},
        {"right", 17, 2, 6, 2, 31, 7, 28, 7},
        {"top", 2, -2, 4, 4, 13, 4, 13, 5},
        {"bottom", 2, 8, 4, 4, 13, 15, 13, 14},
    };
    for (const Case& edge : cases) {
        SCOPED_TRACE(edge.name);
        Box child('c');
        Open(child, edge.x, edge.y, edge.w, edge.h, &parent);
        child.Redraw();
        EXPECT_EQ(console->Char(edge.outsideX, edge.outsideY), ' ');
        EXPECT_EQ(console->Char(edge.insideX, edge.insideY), 'c');
        child.Destroy();
    }
}

TEST_F(WindowTest, WindowPartlyOffTheScreenIsClippedToIt) {
    Box window('w');
    Open(window, 75, 22, 10, 6);
    EXPECT_EQ(console->Char(79, 24), 'w');
    EXPECT_EQ(console->Char(75, 22), 'w');
    EXPECT_EQ(console->Char(74, 22), ' ');
}

TEST_F(WindowTest, ChildOfAHiddenParentWritesNothing) {
    Box parent('P');
    Open(parent, 0, 0, 30, 10);
    Box child('c');
    Open(child, 1, 1, 5, 2, &parent);
    parent.Show(false);
    EXPECT_EQ(console->Char(2, 2), ' ');
    child.Redraw();
    EXPECT_EQ(console->Char(2, 2), ' ');
}

TEST_F(WindowTest, OverlaySiblingIsPaintedOverAWindowAbove) {
    Box overlay('O');
    Open(overlay, 0, 0, 10, 3, nullptr, WF_VISIBLE | WF_OVERLAY);
    Box window('W');
    Open(window, 5, 1, 10, 3);
    ASSERT_EQ(ZDesktop::Desktop()->Children().back(), &window);
    window.Redraw();
    EXPECT_EQ(console->Char(6, 1), 'O');   // the overlay stays over the window
    EXPECT_EQ(console->Char(12, 1), 'W');  // outside the overlay the window shows
}

TEST_F(WindowTest, MovingRepaintsTheStripsLeftBehind) {
    Box window('m');
    Open(window, 10, 5, 10, 4);
    window.SetPos(ZRec(10, 7, 0, 0), ZRec(0, 0, 10, 4));
    EXPECT_EQ(console->Char(12, 5), ' ');  // the two rows it left
    EXPECT_EQ(console->Char(12, 6), ' ');
    EXPECT_EQ(console->Char(12, 7), 'm');
    EXPECT_EQ(console->Char(12, 10), 'm');
    window.SetPos(ZRec(14, 7, 0, 0), ZRec(0, 0, 6, 3));  // right and smaller
    for (const auto& [x, y] : {std::pair{10, 8}, {13, 8}, {19, 10}, {14, 10}}) {
        EXPECT_EQ(console->Char(x, y), x >= 14 && y < 10 ? 'm' : ' ') << x << "," << y;
    }
}

TEST_F(WindowTest, ChildrenFollowTheirParentsScreenPosition) {
    Box parent('P');
    Open(parent, 10, 5, 20, 10);
    Box child('c');
    Open(child, 2, 3, 4, 2, &parent);
    parent.SetPos(ZRec(30, 8, 0, 0), ZRec(0, 0, 20, 10));
    EXPECT_EQ(child.ScreenRect(), ZRec(32, 11, 4, 2));
    EXPECT_EQ(console->Char(32, 11), 'c');
}

TEST_F(WindowTest, DestroyRefusedByAChildLeavesTheTreeFromThatChildOn) {
    Box parent('P');
    Open(parent, 0, 0, 30, 10);
    Box first('1');
    Box refusing('2');
    Box last('3');
    Open(first, 0, 0, 2, 2, &parent);
    Open(refusing, 3, 0, 2, 2, &parent);
    Open(last, 6, 0, 2, 2, &parent);
    refusing.refuseDestroy = true;
    // Destroy takes the child at index 0 each time: first, then the refusing one.
    ASSERT_EQ(parent.Children().front(), &first);
    EXPECT_EQ(parent.Destroy(), 1);
    EXPECT_TRUE(parent.IsAttached());
    EXPECT_FALSE(first.IsAttached());
    EXPECT_TRUE(refusing.IsAttached());
    EXPECT_TRUE(last.IsAttached());
    EXPECT_EQ(parent.Children().size(), 2u);
    refusing.refuseDestroy = false;
    EXPECT_EQ(parent.Destroy(), 0);
    EXPECT_FALSE(last.IsAttached());
}

TEST_F(WindowTest, DestroyRenumbersTheSiblingsAbove) {
    Box a('a'), b('b'), c('c');
    Open(a, 0, 0, 2, 2);
    Open(b, 0, 0, 2, 2);
    Open(c, 0, 0, 2, 2);
    const int orderA = a.GetOrder();
    b.Destroy();
    EXPECT_EQ(a.GetOrder(), orderA);
    EXPECT_EQ(c.GetOrder(), orderA + 1);
}

TEST_F(WindowTest, WindowDeletedWhileAttachedLeavesNoDanglingChild) {
    auto window = std::make_unique<Box>('x');
    Open(*window, 0, 0, 5, 5);
    const size_t before = ZDesktop::Desktop()->Children().size();
    window.reset();
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before - 1);
    ZDesktop::RedrawAll();
}

class FramedBox : public Box {
  public:
    FramedBox() : Box(' ') {}
    int Draw() override {
        Box::Draw();
        return DrawFrame(2, 0x1F);
    }
};

TEST_F(WindowTest, FrameTitleIsCentredCutAndInvertedWhenActive) {
    struct Case {
        int width;
        const char* title;
        const char* topRow;
    };
    const Case cases[] = {
        {20, "Copy",
         "\xC9\xCD\xCD\xCD\xCD\xCD\xCD\xCD"
         "Copy"
         "\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBB"},
        {10, "A long title",
         "\xC9\xCD"
         "A long"
         "\xCD\xBB"},
        {4, "x", "\xC9\xCD\xCD\xBB"},
    };
    for (const Case& frame : cases) {
        SCOPED_TRACE(frame.title);
        FramedBox window;
        Open(window, 0, 0, frame.width, 3, nullptr, WF_VISIBLE | WF_FOCUSABLE, frame.title);
        EXPECT_EQ(console->Text(0, 0, frame.width), frame.topRow);
        EXPECT_EQ(console->Char(0, 1), 0xBA);
        EXPECT_EQ(console->Char(frame.width - 1, 2), 0xBC);
        if (frame.width >= 10) {
            EXPECT_EQ(console->Attr(2, 0) == 0xF1, frame.width == 10);
        }
        window.Destroy();
    }
}

TEST_F(WindowTest, WindowWithoutCellsHasNoFrame) {
    Box empty('e');
    empty.Create(nullptr, ZRec(), ZRec(), nullptr, 0, 0);
    EXPECT_EQ(empty.DrawFrame(1, 0x07), -1);
}

TEST_F(WindowTest, CursorOfTheFocusedWindowReachesTheConsole) {
    Box window('w');
    Open(window, 10, 5, 20, 3);
    window.SetCursor(ZRec(4, 1, 0, 25));
    EXPECT_EQ(console->Cursor().x, 14);
    EXPECT_EQ(console->Cursor().y, 6);
    EXPECT_EQ(console->Cursor().size, 25);
}

}  // namespace
}  // namespace kq::ui::testing
