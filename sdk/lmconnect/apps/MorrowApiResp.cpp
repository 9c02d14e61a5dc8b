#include "sdk/lmconnect/apps/MorrowApiResp.h"

std::shared_ptr<MorrowApiResp> MorrowApiResp::respFromReq(const std::shared_ptr<MorrowApiReq>& req)
{
    if (!req)
        return nullptr;
    auto resp = std::make_shared<MorrowApiResp>();
    resp->objReq = req;
    return resp;
}

void MorrowApiResp::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeInteger("nRetCode", nRetCode);
    coder.encodeText("sRetMsg", sRetMsg);
    coder.encodeObject("objReq", objReq);
}

std::shared_ptr<MorrowApiResp> MorrowApiResp::initWithCoder(pf::KeyedUnarchiver& coder)
{
    auto resp = std::make_shared<MorrowApiResp>();
    resp->nRetCode = std::int32_t(coder.decodeInteger("nRetCode"));
    resp->sRetMsg = coder.decodeText("sRetMsg");
    resp->objReq = coder.decodeObject<MorrowApiReq>("objReq");
    return resp;
}
