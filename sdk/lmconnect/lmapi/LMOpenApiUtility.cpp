#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"

#include "sdk/lmconnect/lmapi/LMApiLog.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/Url.h"

#include <cstdlib>
#include <cstring>

bool LMOpenApiUtility::canOpenURL(const std::optional<pf::Url>& url)
{
    return url && pf::Application::shared().canOpenURL(*url);
}

std::int32_t LMOpenApiUtility::openURL(const std::optional<pf::Url>& url)
{
    if (!url)
        return -1;
    if (!pf::Application::shared().canOpenURL(*url)) {
        LMAPI_LOG("unable to open url:%s", url->absoluteString().c_str());
        return -1;
    }
    return pf::Application::shared().openURL(*url) ? 0 : -1;
}

std::string LMOpenApiUtility::base64EncodedStringWithData(const pf::Bytes& data) { return pf::Base64::encode(data); }

std::string LMOpenApiUtility::base64EncodedStringWithUTF8String(std::string_view text) { return pf::Base64::encode(text); }

std::optional<pf::Bytes> LMOpenApiUtility::dataWithBase64EncodedString(std::string_view text)
{
    size_t length = 0;
    std::uint8_t* bytes = mrosdk_base64_decode(text.data(), text.size(), &length);
    if (!bytes)
        return std::nullopt;
    pf::Bytes out(bytes, bytes + length);
    std::free(bytes);
    return out;
}

std::optional<std::string> LMOpenApiUtility::UTF8StringWithBase64String(std::string_view text)
{
    auto data = dataWithBase64EncodedString(text);
    if (!data)
        return std::nullopt;
    if (!pf::TextEncoding::isValidUtf8(*data))
        return std::nullopt;
    return std::string(data->begin(), data->end());
}

std::string LMOpenApiUtility::urlStringWithLMUinsArray(const std::vector<std::string>& uins)
{
    std::string url = MorrowHostConfig::shared().presenceBase() + "getonline?Type=1&";
    for (const auto& uin : uins)
        url += uin + ":";
    return url;
}

std::map<std::string, std::string> LMOpenApiUtility::dictionaryWithReturnString(std::string_view reply, const std::vector<std::string>& uins)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (;;) {
        size_t end = reply.find(';', start);
        pieces.push_back(reply.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    std::map<std::string, std::string> out;
    if (pieces.size() < 2)
        return out;
    for (size_t i = 0; i + 1 < pieces.size() && i < uins.size(); ++i) {
        if (pieces[i].size() < 11)
            continue;
        std::string_view state = pieces[i].substr(10);
        if (state == "0")
            out[uins[i]] = "NO";
        else if (state == "1")
            out[uins[i]] = "YES";
    }
    return out;
}

char* mrosdk_base64_encode(const std::uint8_t* data, size_t length, size_t* outLength)
{
    std::string text = pf::Base64::encode(std::string_view(reinterpret_cast<const char*>(data), data ? length : 0));
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (!out)
        return nullptr;
    std::memcpy(out, text.c_str(), text.size() + 1);
    if (outLength)
        *outLength = text.size();
    return out;
}

std::uint8_t* mrosdk_base64_decode(const char* text, size_t length, size_t* outLength)
{
    if (!text)
        return nullptr;
    // Only the alphabet and "=" count; padding is accepted only as the last one or two
    // characters of the last group.
    std::string kept;
    kept.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=')
            kept += c;
    }
    if (kept.empty() || kept.size() % 4 != 0)
        return nullptr;
    size_t firstPad = kept.find('=');
    if (firstPad != std::string::npos && (firstPad < kept.size() - 2 || kept.find_first_not_of('=', firstPad) != std::string::npos))
        return nullptr;
    auto bytes = pf::Base64::decode(kept);
    if (!bytes)
        return nullptr;
    auto* out = static_cast<std::uint8_t*>(std::malloc(bytes->empty() ? 1 : bytes->size()));
    if (!out)
        return nullptr;
    if (!bytes->empty())
        std::memcpy(out, bytes->data(), bytes->size());
    if (outLength)
        *outLength = bytes->size();
    return out;
}
