#include "sdk/lmconnect/apps/MorrowTextMessageObjV1.h"

void MorrowTextMessageObjV1::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    encodeBase(coder);
    coder.encodeText("sText", sText);
}

std::shared_ptr<MorrowTextMessageObjV1> MorrowTextMessageObjV1::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto object = std::make_shared<MorrowTextMessageObjV1>();
    object->decodeBase(coder);
    object->sText = coder.decodeText("sText");
    return object;
}
