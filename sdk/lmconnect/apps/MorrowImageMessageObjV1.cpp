#include "sdk/lmconnect/apps/MorrowImageMessageObjV1.h"

#include "platform/graphics/Image.h"

bool MorrowImageMessageObjV1::isVaild() const
{
    if (!MorrowBaseMessageObj::isVaild() || !withinData(dataImage, kImageLimit) || !withinText(sUrl) || !withinData(dataThumbImage)
        || !withinText(sDescription))
        return false;
    if (nType == 1 && (!sUrl || sUrl->empty()))
        return false;
    if (nType == 2 && (!dataImage || !pf::Image::decode(*dataImage)))
        return false;
    return true;
}

void MorrowImageMessageObjV1::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    encodeBase(coder);
    if (dataImage)
        coder.encodeData("dataImage", *dataImage);
    coder.encodeText("sUrl", sUrl);
    if (dataThumbImage)
        coder.encodeData("dataThumbImage", *dataThumbImage);
    coder.encodeText("description", sDescription);
    coder.encodeDouble("imageWidth", width);
    coder.encodeDouble("imageHeight", height);
    coder.encodeInteger("nType", nType);
}

std::shared_ptr<MorrowImageMessageObjV1> MorrowImageMessageObjV1::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto object = std::make_shared<MorrowImageMessageObjV1>();
    object->decodeBase(coder);
    object->dataImage = coder.decodeData("dataImage");
    object->sUrl = coder.decodeText("sUrl");
    object->dataThumbImage = coder.decodeData("dataThumbImage");
    object->sDescription = coder.decodeText("description");
    object->width = float(coder.decodeDouble("imageWidth"));
    object->height = float(coder.decodeDouble("imageHeight"));
    object->nType = std::int32_t(coder.decodeInteger("nType"));
    return object;
}
