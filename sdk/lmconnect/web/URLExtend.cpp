#include "sdk/lmconnect/web/URLExtend.h"

#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/Url.h"

std::string URLExtend::trim(std::string_view text)
{
    return std::string(pf::AsciiText::trimmed(text));
}

std::string URLExtend::stringByEncodeUrl(std::string_view text)
{
    auto plain = pf::Url::unescape(text);
    return MorrowRequest::escapeValue(plain ? std::string_view(*plain) : text);
}

pf::Dictionary URLExtend::dictionaryByParseUrlFromSeparator(const std::string& text, const std::string& separator)
{
    return OpenApi::dictionaryByParseUrlFromSeparator(text, separator);
}
