#pragma once

#include "sdk/lmconnect/apps/MorrowImageMessageObjV1.h"
#include "sdk/lmconnect/apps/MorrowVideoMessageV1.h"

// An image or a video, whichever was given last: a picture clears the video's address and an
// address clears the picture.
class MorrowImageAndVideoMessageObjV1 : public MorrowBaseMessageObj {
public:
    static constexpr const char* kArchiveClassName = "MorrowImageAndVideoMessageObjV1";
    MorrowImageAndVideoMessageObjV1() : MorrowBaseMessageObj(4) { }
    // The bytes when they are a picture, else the address.
    MorrowImageAndVideoMessageObjV1(const pf::Bytes& image, const std::string& videoUrl);

    std::shared_ptr<MorrowImageMessageObjV1> objImageMessage;
    std::shared_ptr<MorrowVideoMessageV1> objVideoMessage;

    void setObjImageMessage(std::shared_ptr<MorrowImageMessageObjV1> image);
    void setObjVideoMessage(std::shared_ptr<MorrowVideoMessageV1> video);
    void setDataImage(const pf::Bytes& data);
    void setVideoUrl(const std::string& url);

    bool isVaild() const override;
    std::string_view archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(pf::KeyedArchiver& coder) const override;
    static std::shared_ptr<MorrowImageAndVideoMessageObjV1> initWithCoder(pf::KeyedUnarchiver& coder);
};
