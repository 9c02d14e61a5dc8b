#pragma once

#include <memory>

class MorrowApiReq;
class MorrowApiResp;

// Receives the requests of the Morrow API channel.
class MorrowApiInterfaceDelegate {
public:
    virtual ~MorrowApiInterfaceDelegate() = default;
    // True when the receiver answers the request itself; false sends a refusal (-1).
    virtual bool onMorrowReq(const std::shared_ptr<MorrowApiReq>& req) { return true; }
    virtual bool onMorrowResp(const std::shared_ptr<MorrowApiResp>& resp) { return true; }
};
