// Shared pieces of the window and desktop tests: the desktop opened on the in-memory console,
// and a window that fills itself with one character and records what happens to it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/keys.h"
#include "kq/window.h"
#include "ui/DesktopInternal.h"

namespace kq::ui::testing {

class Box : public ZWindow {
  public:
    explicit Box(char fill, uint8_t attribute = 0x17) : fill_(fill), attribute_(attribute) {}

    int Draw() override {
        FillCells(static_cast<uint8_t>(fill_), attribute_);
        ++draws;
        return 0;
    }
    int OnKey(uint32_t key) override {
        keys.push_back(key);
        if (endOnKey) EndRun(static_cast<int>(KEY_CHAR(key)));
        return 0;
    }
    int Destroy() override {
        if (refuseDestroy) return 1;
        return ZWindow::Destroy();
    }

    int draws = 0;
    std::vector<uint32_t> keys;
    bool endOnKey = false;
    bool refuseDestroy = false;

  private:
    char fill_;
    uint8_t attribute_;
};

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        console = std::make_shared<kq::console::MemoryConsole>(80, 25);
        kq::console::InstallBackend(console);
        ASSERT_EQ(DesktopOpen(nullptr), 0);
    }
    void TearDown() override {
        ZDesktop::Quit(1);
        kq::console::InstallBackend(nullptr);
    }

    // Creates a visible window and brings it to the top.
    static void Open(ZWindow& window, int x, int y, int w, int h, ZWindow* parent = nullptr,
                     uint32_t flags = WF_VISIBLE | WF_FOCUSABLE, const char* title = nullptr) {
        window.Create(title, ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
                      ZRec(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h)), parent, flags,
                      0);
        window.Activate(true);
    }

    std::shared_ptr<kq::console::MemoryConsole> console;
};

}  // namespace kq::ui::testing
