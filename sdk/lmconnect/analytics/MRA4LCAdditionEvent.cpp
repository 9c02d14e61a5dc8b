#include "sdk/lmconnect/analytics/MRA4LCAdditionEvent.h"

#include "sdk/lmconnect/analytics/MRA4LCConfig.h"

void MRA4LCAdditionEvent::encode(nlohmann::ordered_json& object) const
{
    if (auto lm = MRA4LCConfig::shared().lm())
        object["lm"] = *lm;
}
