#include "sdk/lmconnect/apps/MorrowUrlDecoder.h"

#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"

std::shared_ptr<MorrowUrlDecoder> MorrowUrlDecoder::decoderWithUrl(const pf::Url& url)
{
    auto decoder = std::make_shared<MorrowUrlDecoder>();
    decoder->scheme = url.scheme();
    decoder->host = url.host();
    const std::string& path = url.escapedPath();
    if (path.size() >= 2)
        decoder->path = path.substr(1);
    // Names and values as written; the value runs to the end of its piece.
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithEquals, .names = pf::QueryString::Escapes::Kept,
        .values = pf::QueryString::Escapes::Kept };
    for (auto& item : pf::QueryString::parse(url.query().value_or(""), rules))
        decoder->queryItem[std::move(item.name)] = std::move(*item.value);
    return decoder;
}
