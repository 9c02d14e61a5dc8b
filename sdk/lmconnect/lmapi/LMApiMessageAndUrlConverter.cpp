#include "sdk/lmconnect/lmapi/LMApiMessageAndUrlConverter.h"

#include "sdk/lmconnect/lmapi/LMApiAudioObject.h"
#include "sdk/lmconnect/lmapi/LMApiCommonContentObject.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"
#include "sdk/lmconnect/lmapi/LMApiURLDecoder.h"
#include "sdk/lmconnect/lmapi/LMApiVideoObject.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/lmapi/LMWebViewKit.h"

#include "platform/foundation/Url.h"

namespace {

std::optional<std::string> item(const LMApiURLDecoder& decoder, const char* key)
{
    auto it = decoder.queryItem().find(key);
    if (it == decoder.queryItem().end())
        return std::nullopt;
    return it->second;
}

// The Base64-decoded UTF-8 text of a query item; empty when absent or not valid.
std::string decodedText(const LMApiURLDecoder& decoder, const char* key)
{
    auto value = item(decoder, key);
    return value ? LMOpenApiUtility::UTF8StringWithBase64String(*value).value_or("") : std::string();
}

pf::Bytes largeBytes(const pf::Dictionary& large, const char* key)
{
    const pf::Value* value = large.find(key);
    const pf::Bytes* bytes = value ? value->asData() : nullptr;
    return bytes ? *bytes : pf::Bytes {};
}

template <typename T>
std::shared_ptr<LMApiObject> urlContent(const LMApiURLDecoder& decoder, const pf::Dictionary& large, std::int32_t type)
{
    auto object = std::make_shared<T>();
    object->url = decodedText(decoder, "url");
    object->title = decodedText(decoder, "title");
    object->description = decodedText(decoder, "description");
    object->targetContentType = type;
    object->previewImageData = largeBytes(large, LMApiDatastore::kPreviewKey);
    return object;
}

template <typename T>
std::shared_ptr<LMApiObject> fileContent(const LMApiURLDecoder& decoder, const pf::Dictionary& large)
{
    auto object = std::make_shared<T>();
    object->title = decodedText(decoder, "title");
    object->description = decodedText(decoder, "description");
    object->data = largeBytes(large, LMApiDatastore::kFileDataKey);
    object->previewImageData = largeBytes(large, LMApiDatastore::kPreviewKey);
    return object;
}

}

std::shared_ptr<LMApiMessage> LMApiMessageAndUrlConverter::messageWithUrl(const pf::Url& url) { return messageWithUrlNoClipboard(url); }

std::shared_ptr<LMApiMessage> LMApiMessageAndUrlConverter::messageWithUrlNoClipboard(const pf::Url& url)
{
    if (LMWebViewKit::canHanleOpenUrlFromSafari(url))
        return LMWebViewKit::messageWithSafariUrl(url);
    auto decoder = LMApiURLDecoder::decoderWithUrl(url);
    if (decoder->host.empty() || decoder->queryItem().empty())
        return nullptr;
    if (decoder->host == "request_from_lm")
        return messageWithRequestFromLM(*decoder);
    if (decoder->host == "response_from_lm")
        return messageWithResponseFromLM(*decoder);
    return nullptr;
}

std::shared_ptr<LMApiMessage> LMApiMessageAndUrlConverter::messageWithUrlUsedClipboard(const pf::Url& url)
{
    if (LMWebViewKit::canHanleOpenUrlFromSafari(url))
        return LMWebViewKit::messageWithSafariUrl(url);
    auto decoder = LMApiURLDecoder::decoderWithUrl(url);
    if (item(*decoder, "NeedToGetData") == std::optional<std::string>("true"))
        return LMApiDatastore::instance().getApiMessage();
    return nullptr;
}

std::shared_ptr<LMApiMessage> LMApiMessageAndUrlConverter::messageWithRequestFromLM(const LMApiURLDecoder& decoder)
{
    if (decoder.path == "/pick")
        return LMApiMessage::messageWithObject(nullptr, LMApiMessage::GetFromLM);
    if (decoder.path == "/view")
        return LMApiMessage::messageWithObject(getObjectByUrl(decoder), LMApiMessage::ShowFromLM);
    return nullptr;
}

std::shared_ptr<LMApiMessage> LMApiMessageAndUrlConverter::messageWithResponseFromLM(const LMApiURLDecoder& decoder)
{
    auto result = std::make_shared<LMApiResultObject>();
    result->error = item(decoder, "error").value_or("");
    result->errorDescription = decodedText(decoder, "error_description");
    result->extendInfo = decodedText(decoder, "error_extend_info");
    return LMApiMessage::messageWithObject(result, LMApiMessage::AnswerFromLM);
}

std::shared_ptr<LMApiObject> LMApiMessageAndUrlConverter::getObjectByUrl(const LMApiURLDecoder& decoder)
{
    std::string type = item(decoder, "file_type").value_or("");
    pf::Dictionary large = LMApiDatastore::instance().getApiLargeData().value_or(pf::Dictionary {});
    if (type == "text") {
        auto object = std::make_shared<LMApiTextObject>();
        object->text = decodedText(decoder, "file_data");
        object->title = decodedText(decoder, "title");
        object->description = decodedText(decoder, "description");
        return object;
    }
    if (type == "img" || type == "image")
        return fileContent<LMApiImageObject>(decoder, large);
    if (type == "file")
        return fileContent<LMApiExtendObject>(decoder, large);
    if (type == "audio")
        return urlContent<LMApiAudioObject>(decoder, large, LMApiURLObject::Audio);
    if (type == "video")
        return urlContent<LMApiVideoObject>(decoder, large, LMApiURLObject::Video);
    if (type == "news")
        return urlContent<LMApiNewsObject>(decoder, large, LMApiURLObject::News);
    if (type == "url")
        return urlContent<LMApiURLObject>(decoder, large, LMApiURLObject::Plain);
    if (type == "common")
        return LMApiCommonContentObject::objectWithDictionary(pf::Value(large));
    return nullptr;
}

void LMApiMessageAndUrlConverter::setPasteBoardPrevImageData(const pf::Bytes& preview, const pf::Bytes& fileData,
    const std::vector<pf::Bytes>& imageDataArray)
{
    pf::Dictionary large;
    if (!preview.empty())
        large.set(LMApiDatastore::kPreviewKey, preview);
    if (!fileData.empty())
        large.set(LMApiDatastore::kFileDataKey, fileData);
    if (!imageDataArray.empty()) {
        pf::Array list;
        for (const auto& image : imageDataArray)
            list.push_back(image);
        large.set(LMApiDatastore::kImageListKey, list);
    }
    LMApiDatastore::instance().setApiLargeData(large);
}

void LMApiMessageAndUrlConverter::setTitle(const std::string& title, const std::string& description, const std::string& appName,
    std::map<std::string, std::string>& queryItem)
{
    setString(title, "title", queryItem);
    setString(description, "description", queryItem);
    setString(appName, "thirdAppDisplayName", queryItem);
}

void LMApiMessageAndUrlConverter::setPreviewImageData(const pf::Bytes& data, std::map<std::string, std::string>& queryItem)
{
    if (!data.empty())
        queryItem["previewimageData"] = LMOpenApiUtility::base64EncodedStringWithData(data);
}

void LMApiMessageAndUrlConverter::setString(const std::string& text, const std::string& key, std::map<std::string, std::string>& queryItem)
{
    if (!text.empty() && !key.empty())
        queryItem[key] = LMOpenApiUtility::base64EncodedStringWithUTF8String(text);
}

void LMApiMessageAndUrlConverter::setURLForKeyToQueryItem(const std::optional<pf::Url>& url, const std::string& key, std::map<std::string, std::string>& queryItem)
{
    if (url && !key.empty())
        queryItem[key] = LMOpenApiUtility::base64EncodedStringWithUTF8String(url->absoluteString());
}
