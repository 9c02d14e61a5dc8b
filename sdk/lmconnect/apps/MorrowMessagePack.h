#pragma once

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

class MorrowApiReq;
class MorrowApiResp;

// Writes Morrow API messages: their archives, staged on the general pasteboard under the
// channel's type, and the address that tells LZone where a response lies.
class MorrowMessagePack {
public:
    static constexpr const char* kLZoneSupportSDK = "morrowapi.lzone.reqContent";
    static constexpr const char* kLMSupportSDK = "morrowapi.lm.reqContent";
    static constexpr const char* kHost = "kTecentReqContent";
    static constexpr const char* kReqPath = "kMorrowReqContent";
    static constexpr const char* kRespPath = "kMorrowRespContent";

    static pf::Bytes dataWithMorrowReqMessage(const MorrowApiReq& req);
    static pf::Bytes dataWithMorrowRespMessage(const MorrowApiResp& resp);
    static void packMorrowReqMessage(const pf::Bytes& data);
    // Stages the bytes; the response address for LZone (platform 1), none for any other.
    static std::optional<std::string> packMorrowRespMessage(const pf::Bytes& data, int platform);
    // Every message of the request (or of the response's request) within its limits.
    static bool messageVaild(const std::shared_ptr<MorrowApiReq>& req);
};
