#pragma once

#include "sdk/lmconnect/host/MorrowBridgeValue.h"

#include <functional>
#include <string>
#include <vector>

// One script-visible native function: its name for the scripts, the codes by which each
// argument text is converted (1 text, 2 JSON, 3 bracketed list, 4 flag, 5 int, 6 float,
// 7 double, 8 registered object) and the code by which the result is written back (1 text,
// 2 JSON, 3 joined list, 4 "true"/"false", 5 "%d", 6 and 7 "%f", anything else "(null)").
struct MorrowMethodDescription {
    using Handler = std::function<MorrowBridgeValue(const std::vector<MorrowBridgeValue>& arguments)>;

    std::string jsMethodKey;
    std::vector<int> attribute; // argument codes, one per argument
    int returnType { 9 };
    Handler handler;

    size_t funcArgumentNumber() const { return attribute.size(); }
};
