#include "sdk/lmconnect/apps/MorrowMessagePack.h"

#include "sdk/lmconnect/apps/MorrowApiResp.h"
#include "sdk/lmconnect/apps/MorrowApiUtil.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Pasteboard.h"

pf::Bytes MorrowMessagePack::dataWithMorrowReqMessage(const MorrowApiReq& req) { return pf::KeyedArchiver::archivedData(req); }
pf::Bytes MorrowMessagePack::dataWithMorrowRespMessage(const MorrowApiResp& resp) { return pf::KeyedArchiver::archivedData(resp); }

void MorrowMessagePack::packMorrowReqMessage(const pf::Bytes& data)
{
    pf::Pasteboard::general()->setData(data, MorrowApiUtil::pasteboardType());
}

std::optional<std::string> MorrowMessagePack::packMorrowRespMessage(const pf::Bytes& data, int platform)
{
    auto board = pf::Pasteboard::general();
    std::string type = MorrowApiUtil::pasteboardType();
    board->setData(data, type);
    if (platform != 1)
        return std::nullopt;
    std::string base = std::string(kLZoneSupportSDK) + "://" + kHost + "/" + kRespPath;
    return MrApiTool::GetURLWithParam(base, pf::Dictionary { { "kPastboardName", board->name() }, { "kPastboardType", type } });
}

bool MorrowMessagePack::messageVaild(const std::shared_ptr<MorrowApiReq>& req)
{
    if (!req)
        return true;
    for (const auto& message : req->arrMessage) {
        if (message && !message->isVaild())
            return false;
    }
    return true;
}
