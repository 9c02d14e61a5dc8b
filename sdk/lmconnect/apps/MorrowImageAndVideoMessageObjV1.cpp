#include "sdk/lmconnect/apps/MorrowImageAndVideoMessageObjV1.h"

#include "platform/graphics/Image.h"

namespace {

bool isPicture(const std::optional<pf::Bytes>& data) { return data && pf::Image::decode(*data); }

}

MorrowImageAndVideoMessageObjV1::MorrowImageAndVideoMessageObjV1(const pf::Bytes& image, const std::string& videoUrl)
    : MorrowBaseMessageObj(4)
    , objImageMessage(std::make_shared<MorrowImageMessageObjV1>())
    , objVideoMessage(std::make_shared<MorrowVideoMessageV1>())
{
    if (isPicture(image))
        objImageMessage->dataImage = image;
    else
        objVideoMessage->sUrl = videoUrl;
}

void MorrowImageAndVideoMessageObjV1::setObjImageMessage(std::shared_ptr<MorrowImageMessageObjV1> image)
{
    objImageMessage = std::move(image);
    if (objImageMessage && isPicture(objImageMessage->dataImage) && objVideoMessage)
        objVideoMessage->sUrl.reset();
}

void MorrowImageAndVideoMessageObjV1::setObjVideoMessage(std::shared_ptr<MorrowVideoMessageV1> video)
{
    objVideoMessage = std::move(video);
    if (objVideoMessage && objVideoMessage->sUrl && !objVideoMessage->sUrl->empty() && objImageMessage)
        objImageMessage->dataImage.reset();
}

void MorrowImageAndVideoMessageObjV1::setDataImage(const pf::Bytes& data)
{
    if (!objImageMessage)
        objImageMessage = std::make_shared<MorrowImageMessageObjV1>();
    objImageMessage->dataImage = data;
    if (isPicture(data) && objVideoMessage)
        objVideoMessage->sUrl.reset();
}

void MorrowImageAndVideoMessageObjV1::setVideoUrl(const std::string& url)
{
    if (!objVideoMessage)
        objVideoMessage = std::make_shared<MorrowVideoMessageV1>();
    objVideoMessage->sUrl = url;
    if (!url.empty() && objImageMessage)
        objImageMessage->dataImage.reset();
}

bool MorrowImageAndVideoMessageObjV1::isVaild() const
{
    return MorrowBaseMessageObj::isVaild() && (!objImageMessage || objImageMessage->isVaild())
        && (!objVideoMessage || objVideoMessage->isVaild());
}

void MorrowImageAndVideoMessageObjV1::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    encodeBase(coder);
    coder.encodeObject("imageMessage", objImageMessage);
    coder.encodeObject("videoMessage", objVideoMessage);
}

std::shared_ptr<MorrowImageAndVideoMessageObjV1> MorrowImageAndVideoMessageObjV1::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto object = std::make_shared<MorrowImageAndVideoMessageObjV1>();
    object->decodeBase(coder);
    object->objImageMessage = coder.decodeObject<MorrowImageMessageObjV1>("imageMessage");
    object->objVideoMessage = coder.decodeObject<MorrowVideoMessageV1>("videoMessage");
    return object;
}
