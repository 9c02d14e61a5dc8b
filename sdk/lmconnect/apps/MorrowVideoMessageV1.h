#pragma once

#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"

// A video message: its address, type and a preview.
class MorrowVideoMessageV1 : public MorrowBaseMessageObj {
public:
    static constexpr const char* kArchiveClassName = "MorrowVideoMessageV1";
    explicit MorrowVideoMessageV1(std::int32_t type = 0) : MorrowBaseMessageObj(3), nType(type) { }

    std::optional<std::string> sUrl;
    std::int32_t nType { 0 };
    std::optional<std::string> sImagePreviewUrl;
    std::optional<pf::Bytes> dataImagePreview;
    std::optional<std::string> sDescription;

    bool isVaild() const override;
    std::string_view archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(pf::KeyedArchiver& coder) const override;
    static std::shared_ptr<MorrowVideoMessageV1> initWithCoder(pf::KeyedUnarchiver& coder);
};
