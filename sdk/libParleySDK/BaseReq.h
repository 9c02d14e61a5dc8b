#pragma once

namespace parley {

// A request exchanged with Parley; the concrete class says which.
class BaseReq {
public:
    virtual ~BaseReq() = default;
    int type { 0 };
};

}
