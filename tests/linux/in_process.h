// For tests that call the Linux backend in their own process: the backend connects to the first
// desktop it is pointed at and keeps that connection, so a process takes part in one desktop
// only. Each such test is its own process under CTest; run together, the later ones are skipped.
#pragma once

#include <gtest/gtest.h>

#include "desktop.h"

namespace linuxdesktop {

class InProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (entered()) {
            GTEST_SKIP() << "one desktop per process: run each test on its own (ctest does)";
        }
    }

    /// Points this process at the desktop, as the helper would be pointed at it.
    static void enter(const Desktop& desktop) {
        entered() = true;
        desktop.enter(true);
    }

  private:
    static bool& entered() {
        static bool once = false;
        return once;
    }
};

}  // namespace linuxdesktop
