#pragma once

#include <cstdint>
#include <string_view>

// A request exchanged with the LM app; `type` tells the kind (0 get, 1 send, 2 show). Senders
// accept only the exact class of a kind, never a subclass, so each names its class.
class LMBaseReq {
public:
    static constexpr const char* kClassName = "LMBaseReq";
    virtual ~LMBaseReq() = default;
    virtual std::string_view className() const { return kClassName; }

    std::int32_t type { 0 };
};
