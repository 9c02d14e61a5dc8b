#include "sdk/lmconnect/apps/MorrowVideoMessageV1.h"

bool MorrowVideoMessageV1::isVaild() const
{
    return MorrowBaseMessageObj::isVaild() && withinText(sUrl) && withinText(sImagePreviewUrl) && withinData(dataImagePreview)
        && withinText(sDescription);
}

void MorrowVideoMessageV1::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    encodeBase(coder);
    coder.encodeText("sUrl", sUrl);
    coder.encodeInteger("nType", nType);
    coder.encodeText("sImagePreviewUrl", sImagePreviewUrl);
    if (dataImagePreview)
        coder.encodeData("dataImagePreview", *dataImagePreview);
    coder.encodeText("description", sDescription);
}

std::shared_ptr<MorrowVideoMessageV1> MorrowVideoMessageV1::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto object = std::make_shared<MorrowVideoMessageV1>();
    object->decodeBase(coder);
    object->sUrl = coder.decodeText("sUrl");
    object->nType = std::int32_t(coder.decodeInteger("nType"));
    object->sImagePreviewUrl = coder.decodeText("sImagePreviewUrl");
    object->dataImagePreview = coder.decodeData("dataImagePreview");
    object->sDescription = coder.decodeText("description");
    return object;
}
