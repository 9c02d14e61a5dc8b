#pragma once

#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"

// An audio message: its address and a preview.
class MorrowAudioMessageObjV1 : public MorrowBaseMessageObj {
public:
    static constexpr const char* kArchiveClassName = "MorrowAudioMessageObjV1";
    MorrowAudioMessageObjV1() : MorrowBaseMessageObj(2) { }

    std::optional<std::string> sUrl;
    std::optional<std::string> sImagePreviewUrl;
    std::optional<pf::Bytes> dataImagePreview;
    std::optional<std::string> sDescription;

    bool isVaild() const override;
    std::string_view archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(pf::KeyedArchiver& coder) const override;
    static std::shared_ptr<MorrowAudioMessageObjV1> initWithCoder(pf::KeyedUnarchiver& coder);
};
