#pragma once

#include "sdk/lmconnect/apps/MorrowApiReq.h"

// The application's answer to a request: 0 as made, -1 when the application refused it.
class MorrowApiResp {
public:
    static constexpr const char* kArchiveClassName = "MorrowApiResp";

    std::int32_t nRetCode { 0 };
    std::optional<std::string> sRetMsg;
    std::shared_ptr<MorrowApiReq> objReq;

    // A response to `req`; none without a request.
    static std::shared_ptr<MorrowApiResp> respFromReq(const std::shared_ptr<MorrowApiReq>& req);

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<MorrowApiResp> initWithCoder(pf::KeyedUnarchiver& coder);
};
