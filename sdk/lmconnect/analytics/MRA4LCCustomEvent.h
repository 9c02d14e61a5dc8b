#pragma once

#include "sdk/lmconnect/analytics/MRA4LCEvent.h"

#include "platform/foundation/Value.h"

#include <optional>

// A custom event: its id, and a list of arguments or a dictionary of values, and for timed
// events their duration in seconds.
class MRA4LCCustomEvent : public MRA4LCEvent {
public:
    int getType() const override { return 1000; }
    void encode(nlohmann::ordered_json& object) const override;

    std::string eventID;
    std::optional<pf::Array> args;
    std::optional<pf::Dictionary> kvs;
    std::uint32_t duration { 0 };
};
