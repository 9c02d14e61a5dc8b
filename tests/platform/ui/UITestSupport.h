#pragma once

#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/UIEnvironment.h"

#include <gtest/gtest.h>

// A test with a manual clock and a clean toolkit.
class UITest : public ::testing::Test {
protected:
    UITest() { pf::UIEnvironment::reset(); }
    ~UITest() override { pf::UIEnvironment::reset(); }

    pf::TaskEnvironment env;
};
