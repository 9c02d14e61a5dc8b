#pragma once

#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"

// A text message.
class MorrowTextMessageObjV1 : public MorrowBaseMessageObj {
public:
    static constexpr const char* kArchiveClassName = "MorrowTextMessageObjV1";
    MorrowTextMessageObjV1() : MorrowBaseMessageObj(0) { }
    explicit MorrowTextMessageObjV1(std::string text) : MorrowBaseMessageObj(0), sText(std::move(text)) { }

    std::optional<std::string> sText;

    bool isVaild() const override { return MorrowBaseMessageObj::isVaild() && withinText(sText); }
    std::string_view archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(pf::KeyedArchiver& coder) const override;
    static std::shared_ptr<MorrowTextMessageObjV1> initWithCoder(pf::KeyedUnarchiver& coder);
};
