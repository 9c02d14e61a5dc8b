#include "sdk/lmconnect/apps/MorrowUrlDecoder.h"

#include "platform/foundation/Url.h"

std::shared_ptr<MorrowUrlDecoder> MorrowUrlDecoder::decoderWithUrl(const pf::Url& url)
{
    auto decoder = std::make_shared<MorrowUrlDecoder>();
    decoder->scheme = url.scheme();
    decoder->host = url.host();
    const std::string& path = url.escapedPath();
    if (path.size() >= 2)
        decoder->path = path.substr(1);
    if (url.query()) {
        const std::string& query = *url.query();
        size_t start = 0;
        while (start <= query.size()) {
            size_t end = query.find('&', start);
            std::string part = query.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (size_t eq = part.find('='); eq != std::string::npos)
                decoder->queryItem[part.substr(0, eq)] = part.substr(eq + 1);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return decoder;
}
