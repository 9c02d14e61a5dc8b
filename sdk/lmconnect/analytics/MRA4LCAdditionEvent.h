#pragma once

#include "sdk/lmconnect/analytics/MRA4LCEvent.h"

// The event that carries the signed-in account.
class MRA4LCAdditionEvent : public MRA4LCEvent {
public:
    int getType() const override { return 1001; }
    void encode(nlohmann::ordered_json& object) const override;
};
