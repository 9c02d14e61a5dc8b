#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <string>

// One statistics event. Subclasses name their type and add their own keys to the JSON object.
class MRA4LCEvent {
public:
    virtual ~MRA4LCEvent() = default;

    // The event is stamped with the current time (the main loop's clock) when made.
    MRA4LCEvent();

    virtual int getType() const { return 0; }
    virtual void encode(nlohmann::ordered_json& /*object*/) const { }

    // The event as one JSON object text: the common keys, then the subclass's.
    std::string toJsonString() const;

    std::uint32_t sid { 0 };
    std::uint32_t ts { 0 };
};
