#pragma once

#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"

// An image message: the picture itself (type 0 or 2) or its address (type 1).
class MorrowImageMessageObjV1 : public MorrowBaseMessageObj {
public:
    static constexpr const char* kArchiveClassName = "MorrowImageMessageObjV1";
    explicit MorrowImageMessageObjV1(std::int32_t type = 0) : MorrowBaseMessageObj(1), nType(type) { }

    std::optional<pf::Bytes> dataImage;
    std::optional<std::string> sUrl;
    std::optional<pf::Bytes> dataThumbImage;
    std::optional<std::string> sDescription;
    float width { 0 };
    float height { 0 };
    std::int32_t nType { 0 };

    bool isVaild() const override;
    std::string_view archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(pf::KeyedArchiver& coder) const override;
    static std::shared_ptr<MorrowImageMessageObjV1> initWithCoder(pf::KeyedUnarchiver& coder);
};
