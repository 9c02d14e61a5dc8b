#include "sdk/lmconnect/lmapi/LMApiURLDecoder.h"

#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"

std::shared_ptr<LMApiURLDecoder> LMApiURLDecoder::decoderWithUrl(const pf::Url& url)
{
    auto decoder = std::make_shared<LMApiURLDecoder>();
    decoder->scheme = url.scheme();
    decoder->host = url.host();
    decoder->path = url.path();
    // Names and values as written; the value runs to the end of its piece.
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithEquals, .names = pf::QueryString::Escapes::Kept,
        .values = pf::QueryString::Escapes::Kept };
    for (auto& item : pf::QueryString::parse(url.query().value_or(""), rules))
        decoder->m_queryItem[std::move(item.name)] = std::move(*item.value);
    return decoder;
}
