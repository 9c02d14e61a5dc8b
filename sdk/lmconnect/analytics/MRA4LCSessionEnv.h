#pragma once

#include "sdk/lmconnect/analytics/MRA4LCEvent.h"

// The event that opens a session: the environment, the user's type and the configuration versions.
class MRA4LCSessionEnv : public MRA4LCEvent {
public:
    int getType() const override { return 2; }
    void encode(nlohmann::ordered_json& object) const override;
};
