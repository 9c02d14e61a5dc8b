#include "sdk/lmconnect/apps/MorrowAudioMessageObjV1.h"

bool MorrowAudioMessageObjV1::isVaild() const
{
    return MorrowBaseMessageObj::isVaild() && withinText(sUrl) && withinText(sImagePreviewUrl) && withinData(dataImagePreview)
        && withinText(sDescription);
}

void MorrowAudioMessageObjV1::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    encodeBase(coder);
    coder.encodeText("sUrl", sUrl);
    coder.encodeText("sImagePreviewUrl", sImagePreviewUrl);
    if (dataImagePreview)
        coder.encodeData("dataImagePreview", *dataImagePreview);
    coder.encodeText("description", sDescription);
}

std::shared_ptr<MorrowAudioMessageObjV1> MorrowAudioMessageObjV1::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto object = std::make_shared<MorrowAudioMessageObjV1>();
    object->decodeBase(coder);
    object->sUrl = coder.decodeText("sUrl");
    object->sImagePreviewUrl = coder.decodeText("sImagePreviewUrl");
    object->dataImagePreview = coder.decodeData("dataImagePreview");
    object->sDescription = coder.decodeText("description");
    return object;
}
