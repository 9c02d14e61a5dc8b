#include "tools/peers/PeerExchange.h"

#include "platform/foundation/AsciiText.h"

#include <strings.h>

namespace peers {

namespace {

std::string queryDecode(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && pf::AsciiText::hexDigitValue(text[i + 1]) >= 0 && pf::AsciiText::hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(pf::AsciiText::hexDigitValue(text[i + 1]) * 16 + pf::AsciiText::hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

}

std::optional<std::string> PeerRequest::header(const std::string& name) const
{
    for (auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    }
    return std::nullopt;
}

std::optional<std::string> PeerRequest::queryValue(const std::string& name) const
{
    std::string_view rest = query;
    while (!rest.empty()) {
        size_t amp = rest.find('&');
        std::string_view pair = rest.substr(0, amp);
        size_t eq = pair.find('=');
        if (queryDecode(pair.substr(0, eq)) == name)
            return eq == std::string_view::npos ? std::string() : queryDecode(pair.substr(eq + 1));
        if (amp == std::string_view::npos)
            break;
        rest.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

PeerReply PeerReply::json(std::string body, int status)
{
    PeerReply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.contentType = "application/json; charset=utf-8";
    return reply;
}

PeerReply PeerReply::bytes(std::string body, std::string contentType, int status)
{
    PeerReply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.contentType = std::move(contentType);
    return reply;
}

}
