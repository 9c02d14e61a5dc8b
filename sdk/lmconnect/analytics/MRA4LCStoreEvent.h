#pragma once

#include <cstdint>
#include <string>

// One stored event row.
struct MRA4LCStoreEvent {
    std::uint32_t eventId { 0 };
    std::string content;
    std::uint32_t status { 0 };
    std::uint32_t sendCount { 0 };
    std::uint32_t ts { 0 };
};
