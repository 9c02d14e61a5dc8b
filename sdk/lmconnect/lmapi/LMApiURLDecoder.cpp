#include "sdk/lmconnect/lmapi/LMApiURLDecoder.h"

#include "platform/foundation/Url.h"

std::shared_ptr<LMApiURLDecoder> LMApiURLDecoder::decoderWithUrl(const pf::Url& url)
{
    auto decoder = std::make_shared<LMApiURLDecoder>();
    decoder->scheme = url.scheme();
    decoder->host = url.host();
    decoder->path = url.path();
    const std::string query = url.query().value_or("");
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        std::string piece = query.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t equals = piece.find('=');
        if (equals != std::string::npos)
            decoder->m_queryItem[piece.substr(0, equals)] = piece.substr(equals + 1);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return decoder;
}
