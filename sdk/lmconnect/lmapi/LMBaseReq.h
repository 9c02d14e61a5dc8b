#pragma once

#include <cstdint>
#include <string_view>

// A request exchanged with the LM app; `type` tells the kind (0 get, 1 send, 2 show). Senders
// accept only the exact class of a kind (its dynamic type), never a subclass.
class LMBaseReq {
public:
    virtual ~LMBaseReq() = default;

    std::int32_t type { 0 };
};
