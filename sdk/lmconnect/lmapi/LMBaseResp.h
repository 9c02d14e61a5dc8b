#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// An answer exchanged with the LM app; `type` tells the kind (0 show, 1 get, 2 send).
class LMBaseResp {
public:
    virtual ~LMBaseResp() = default;

    std::string result;
    std::string errorDescription;
    std::int32_t type { 0 };
    std::string extendInfo;
};
