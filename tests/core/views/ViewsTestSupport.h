#pragma once

#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/UIEnvironment.h"

#include <gtest/gtest.h>

// A test with a manual clock, a fresh device (China time, a phone on system 7.0) and a clean
// toolkit.
class ViewsTest : public ::testing::Test {
protected:
    ViewsTest() { pf::UIEnvironment::reset(); }
    ~ViewsTest() override { pf::UIEnvironment::reset(); }

    pf::TaskEnvironment env;
};
