#pragma once

#include <optional>
#include <string>

namespace parley {

// A response exchanged with Parley; the concrete class says which.
class BaseResp {
public:
    virtual ~BaseResp() = default;
    int errCode { 0 };
    std::optional<std::string> errStr;
    int type { 0 };
};

}
