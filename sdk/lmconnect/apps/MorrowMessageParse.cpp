#include "sdk/lmconnect/apps/MorrowMessageParse.h"

#include "sdk/lmconnect/apps/MorrowApiResp.h"
#include "sdk/lmconnect/apps/MorrowApiUtil.h"
#include "sdk/lmconnect/apps/MorrowMessagePack.h"
#include "sdk/lmconnect/apps/MorrowUrlDecoder.h"

#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"

#include <algorithm>

namespace {

constexpr const char* kSchemeName = "morrowApiIdentifier";

bool hasOurScheme(const std::string& scheme)
{
    auto schemes = MorrowApiUtil::scheme(kSchemeName);
    if (!schemes)
        return false;
    return std::any_of(schemes->begin(), schemes->end(), [&](const std::string& s) {
        return pf::Url::fromString(scheme + "://") && s.size() == scheme.size()
            && std::equal(s.begin(), s.end(), scheme.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    });
}

}

bool MorrowMessageParse::isMorrowApiAddress(const pf::Url& url)
{
    auto decoder = MorrowUrlDecoder::decoderWithUrl(url);
    return hasOurScheme(decoder->scheme) && decoder->host == MorrowMessagePack::kHost && decoder->path
        && (*decoder->path == MorrowMessagePack::kReqPath || *decoder->path == MorrowMessagePack::kRespPath);
}

MorrowMessageParse::Message MorrowMessageParse::parseMorrowMessage(const pf::Url& url)
{
    if (!isMorrowApiAddress(url))
        return {};
    auto decoder = MorrowUrlDecoder::decoderWithUrl(url);
    auto type = decoder->queryItem.find("kPastboardType");
    // Only the channel's own type is read and cleared: an address cannot empty other types.
    if (type == decoder->queryItem.end() || type->second != MorrowApiUtil::pasteboardType())
        return {};
    auto board = pf::Pasteboard::general();
    auto data = board->dataForType(type->second);
    board->removeType(type->second);
    if (!data)
        return {};
    // Another app's message, read once and never written back: a lone surrogate reads as U+FFFD.
    const auto lone = pf::LoneSurrogates::Replace;
    if (*decoder->path == MorrowMessagePack::kReqPath) {
        if (auto req = pf::KeyedUnarchiver::unarchivedObject<MorrowApiReq>(*data, nullptr, lone))
            return req;
        return {};
    }
    if (auto resp = pf::KeyedUnarchiver::unarchivedObject<MorrowApiResp>(*data, nullptr, lone))
        return resp;
    return {};
}
