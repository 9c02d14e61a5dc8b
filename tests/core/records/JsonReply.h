#pragma once

#include "platform/foundation/Json.h"

#include <gtest/gtest.h>

#include <string_view>

// Parses a JSON text written in a test; a typo in the test fails loudly.
inline pf::Value jsonReply(std::string_view text)
{
    std::string error;
    auto value = pf::Json::parse(text, &error);
    EXPECT_TRUE(value.has_value()) << error << " in " << text;
    return value.value_or(pf::Value());
}
