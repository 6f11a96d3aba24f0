// A desktop test (Desktop: the fixture it builds on) with the local plugin initialised and one
// instance of it in the scratch folder's directory "from".
#pragma once

#include <gtest/gtest.h>

#include "kq/plugin.h"
#include "support/TempFolder.h"

namespace kq::test {

template <class Desktop>
class LocalInstanceTest : public Desktop {
  protected:
    void SetUp() override {
        Desktop::SetUp();
        if (this->IsSkipped() || this->HasFatalFailure()) return;
        ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
        handle = FS_ZOpenPlugin(0, 0, nullptr);
        ASSERT_EQ(FS_ZSetDirectory(handle, temp.MakeFolder("from").c_str(), 0), 0);
    }
    void TearDown() override {
        if (handle != 0) {
            FS_ZClosePlugin(handle);
            FS_ZTerminate(0);
        }
        Desktop::TearDown();
    }
    // An item of that name, nothing else filled in.
    static PluginItem Item(const char* name) {
        PluginItem item{};
        item.name = const_cast<char*>(name);
        return item;
    }

    TempFolder temp{"kq-local"};
    PluginHandle handle = 0;
};

}  // namespace kq::test
