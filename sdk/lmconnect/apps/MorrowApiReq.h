#pragma once

#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"

#include <vector>

// A request a vendor app stages for the application. Only ever made by decoding (and by the
// stand-in apps of the tests).
class MorrowApiReq {
public:
    static constexpr const char* kArchiveClassName = "MorrowApiReq";

    std::int32_t nMessageType { 0 };
    std::int32_t nPlatform { 0 }; // 1: LZone, the only platform answered
    std::int32_t nSdkVersion { 0 };
    std::int32_t nSeq { 0 };
    std::vector<std::shared_ptr<MorrowBaseMessageObj>> arrMessage;
    std::optional<std::string> sAppID;
    std::optional<std::string> sDescription;

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    // The messages may be of the five kinds and the base; anything else refuses the archive.
    static std::shared_ptr<MorrowApiReq> initWithCoder(pf::KeyedUnarchiver& coder);
};
