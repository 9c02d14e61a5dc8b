#include "sdk/lmconnect/apps/MorrowApiReq.h"

#include "sdk/lmconnect/apps/MorrowAudioMessageObjV1.h"
#include "sdk/lmconnect/apps/MorrowImageAndVideoMessageObjV1.h"
#include "sdk/lmconnect/apps/MorrowTextMessageObjV1.h"

void MorrowApiReq::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeInteger("nMessageType", nMessageType);
    coder.encodeInteger("nPlatform", nPlatform);
    coder.encodeInteger("nSdkVersion", nSdkVersion);
    coder.encodeInteger("nSeq", nSeq);
    coder.encodeObjects("arrMessage", arrMessage);
    coder.encodeText("sAppID", sAppID);
    coder.encodeText("description", sDescription);
}

std::shared_ptr<MorrowApiReq> MorrowApiReq::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto req = std::make_shared<MorrowApiReq>();
    req->nMessageType = std::int32_t(coder.decodeInteger("nMessageType"));
    req->nPlatform = std::int32_t(coder.decodeInteger("nPlatform"));
    req->nSdkVersion = std::int32_t(coder.decodeInteger("nSdkVersion"));
    req->nSeq = std::int32_t(coder.decodeInteger("nSeq"));
    req->arrMessage = coder.decodeObjectsOfClasses<MorrowBaseMessageObj, MorrowBaseMessageObj, MorrowTextMessageObjV1,
        MorrowImageMessageObjV1, MorrowAudioMessageObjV1, MorrowVideoMessageV1, MorrowImageAndVideoMessageObjV1>("arrMessage")
                          .value_or(std::vector<std::shared_ptr<MorrowBaseMessageObj>> {});
    req->sAppID = coder.decodeText("sAppID");
    req->sDescription = coder.decodeText("description");
    return req;
}
