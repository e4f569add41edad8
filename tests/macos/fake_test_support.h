// The fixture of the macOS backend's tests: a fresh fake for every test, and at its end no
// fault and no object left alive, whatever the test did.
#pragma once

#include <gtest/gtest.h>

#include "fake_sdk.h"

namespace macostest {

class FakeSdkTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override {
        EXPECT_EQ(fake::faults(), std::vector<std::string>{});
        EXPECT_EQ(fake::liveObjects(), 0);
        fake::reset();
    }
};

}  // namespace macostest
