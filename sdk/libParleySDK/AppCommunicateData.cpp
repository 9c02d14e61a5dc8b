#include "sdk/libParleySDK/AppCommunicateData.h"

#include "platform/graphics/Image.h"
#include "sdk/libParleySDK/GetMessageFromPXReq.h"
#include "sdk/libParleySDK/GetMessageFromPXResp.h"
#include "sdk/libParleySDK/LaunchFromPXReq.h"
#include "sdk/libParleySDK/PXAppExtendObject.h"
#include "sdk/libParleySDK/PXEmoticonObject.h"
#include "sdk/libParleySDK/PXFileObject.h"
#include "sdk/libParleySDK/PXImageObject.h"
#include "sdk/libParleySDK/PXMusicObject.h"
#include "sdk/libParleySDK/PXVideoObject.h"
#include "sdk/libParleySDK/PXWebpageObject.h"
#include "sdk/libParleySDK/ParleyApiUtil.h"
#include "sdk/libParleySDK/SendMessageToPXReq.h"
#include "sdk/libParleySDK/SendMessageToPXResp.h"
#include "sdk/libParleySDK/ShowMessageFromPXReq.h"
#include "sdk/libParleySDK/ShowMessageFromPXResp.h"

namespace parley {

namespace {

bool within(const std::optional<std::string>& text, size_t limit)
{
    return !text || AppCommunicateData::textLength(*text) <= limit;
}

bool within(const std::optional<pf::Bytes>& data, size_t limit)
{
    return !data || data->size() <= limit;
}

}

size_t AppCommunicateData::textLength(const std::string& text)
{
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            units += (c >= 0xF0) ? 2 : 1; // four-byte sequences are surrogate pairs
    }
    return units;
}

AppCommunicateData::AppCommunicateData(const pf::Dictionary& list)
{
    const pf::Value* commandValue = list.find("command");
    if (!commandValue || !commandValue->asString())
        return;
    m_list = list;
    command = static_cast<unsigned>(pf::text::longValue(*commandValue->asString()));
    conversationAccount = text("account");
    returnFromApp = text("returnFromApp") == std::optional<std::string>("1");
    openID = text("openID");
    sdkVer = text("sdkver");
    if (auto r = text("result"))
        result = pf::text::intValue(*r);
    else
        result = 0;
    if (auto s = text("scene"))
        scene = pf::text::intValue(*s);
}

std::optional<std::string> AppCommunicateData::text(const char* key) const
{
    if (!m_list)
        return std::nullopt;
    const pf::Value* v = m_list->find(key);
    if (!v || !v->asString())
        return std::nullopt;
    return *v->asString();
}

std::optional<pf::Bytes> AppCommunicateData::data(const char* key) const
{
    if (!m_list)
        return std::nullopt;
    const pf::Value* v = m_list->find(key);
    if (!v || !v->asData())
        return std::nullopt;
    return *v->asData();
}

void AppCommunicateData::setText(const char* key, const std::optional<std::string>& value)
{
    if (value)
        m_list->set(key, *value);
}

void AppCommunicateData::setData(const char* key, const std::optional<pf::Bytes>& value)
{
    if (value)
        m_list->set(key, *value);
}

void AppCommunicateData::initCommonField(unsigned code)
{
    command = code;
    m_list = pf::Dictionary {};
    m_list->set("command", std::to_string(code));
    m_list->set("returnFromApp", returnFromApp ? "1" : "0");
    m_list->set("result", std::to_string(result));
    setText("account", conversationAccount);
    m_list->set("sdkver", kSdkVersion);
}

bool AppCommunicateData::makeCommand(unsigned code)
{
    initCommonField(code);
    return true;
}

bool AppCommunicateData::reqToData(const std::shared_ptr<BaseReq>& request,
    const std::shared_ptr<PXMediaInternalMessage>& internalMessage)
{
    if (auto send = std::dynamic_pointer_cast<SendMessageToPXReq>(request)) {
        bool ok;
        if (send->bText) {
            initCommonField(kCommandTextMessage);
            ok = makeTextMessage(send->text);
        } else {
            initCommonField(kCommandMediaMessage);
            ok = makeMediaMessage(send->message);
        }
        m_list->set("scene", std::to_string(send->scene));
        return ok;
    }
    if (std::dynamic_pointer_cast<GetMessageFromPXReq>(request))
        return makeCommand(kCommandGetMessageReq);
    if (auto show = std::dynamic_pointer_cast<ShowMessageFromPXReq>(request)) {
        // Checked on what is actually sent: the internal message when one is given, else the
        // request's own message. A record without content is never reported as made.
        initCommonField(kCommandMediaMessage);
        if (internalMessage)
            return makeMediaInternalMessage(internalMessage);
        return makeMediaMessage(show->message);
    }
    if (std::dynamic_pointer_cast<LaunchFromPXReq>(request))
        return makeCommand(kCommandLaunchReq);
    return false;
}

bool AppCommunicateData::respToData(const std::shared_ptr<BaseResp>& response)
{
    if (auto get = std::dynamic_pointer_cast<GetMessageFromPXResp>(response)) {
        if (get->bText) {
            initCommonField(kCommandTextMessage);
            return makeTextMessage(get->text);
        }
        initCommonField(kCommandMediaMessage);
        return makeMediaMessage(get->message);
    }
    if (std::dynamic_pointer_cast<ShowMessageFromPXResp>(response))
        return makeCommand(kCommandShowMessageResp);
    if (std::dynamic_pointer_cast<SendMessageToPXResp>(response))
        return makeCommand(kCommandSendMessageResp);
    return false;
}

bool AppCommunicateData::makeTextMessage(const std::optional<std::string>& text)
{
    if (!text || text->empty() || textLength(*text) > kMaxText)
        return false;
    m_list->set("title", *text);
    return true;
}

bool AppCommunicateData::makeMediaMessage(const std::shared_ptr<PXMediaMessage>& message)
{
    if (!message)
        return false;
    if (!within(message->title, kMaxTitle) || !within(message->description, kMaxDescription)
        || !within(message->thumbData, kMaxThumbData))
        return false;
    if (message->thumbData && !pf::Image::decode(*message->thumbData))
        return false;
    if (!within(message->mediaTagName, kMaxTagName))
        return false;
    setText("title", message->title);
    setText("description", message->description);
    setData("thumbData", message->thumbData);
    setText("mediaTagName", message->mediaTagName);
    return makeLinkObject(message->mediaObject);
}

bool AppCommunicateData::makeLinkObject(const std::shared_ptr<PXMediaObject>& object)
{
    if (!object)
        return false;
    unsigned code = object->objectType();
    if (code < PXImageObject::kObjectType || code > PXEmoticonObject::kObjectType)
        return false;
    auto url = object->listMediaUrl();
    auto file = object->listFileData();
    auto ext = object->listExtInfo();
    if (!url && !file && !ext)
        return false;
    auto lowBandUrl = object->listMediaLowBandUrl();
    auto dataUrl = object->listMediaDataUrl();
    auto lowBandDataUrl = object->listMediaLowBandDataUrl();
    auto fileExt = object->listFileExt();
    if (!within(url, kMaxUrl) || !within(lowBandUrl, kMaxUrl) || !within(dataUrl, kMaxUrl)
        || !within(lowBandDataUrl, kMaxUrl) || !within(ext, kMaxExtInfo) || !within(fileExt, kMaxFileExt)
        || !within(file, kMaxFileData))
        return false;
    m_list->set("objectType", std::to_string(code));
    setText("mediaUrl", url);
    setText("mediaLowBandUrl", lowBandUrl);
    setText("mediaDataUrl", dataUrl);
    setText("mediaLowBandDataUrl", lowBandDataUrl);
    setText("extInfo", ext);
    setText("fileExt", fileExt);
    putFileData(file);
    return true;
}

bool AppCommunicateData::makeMediaInternalMessage(const std::shared_ptr<PXMediaInternalMessage>& message)
{
    if (!message)
        return false;
    if (!m_list)
        initCommonField(kCommandMediaMessage);
    setText("title", message->title);
    setText("description", message->description);
    setData("thumbData", message->thumbData);
    m_list->set("objectType", std::to_string(message->objectType));
    setText("mediaTagName", message->mediaTagName);
    setText("mediaUrl", message->mediaUrl);
    setText("mediaLowBandUrl", message->mediaLowBandUrl);
    setText("mediaDataUrl", message->mediaDataUrl);
    setText("mediaLowBandDataUrl", message->mediaLowBandDataUrl);
    setText("extInfo", message->extInfo);
    setText("fileExt", message->fileExt);
    putFileData(message->fileData);
    return true;
}

void AppCommunicateData::putFileData(const std::optional<pf::Bytes>& data)
{
    if (ParleyApiUtil::isSystem7plus()) {
        setData("fileData", data);
        return;
    }
    fileData = data;
}

std::shared_ptr<BaseReq> AppCommunicateData::dataToReq() const
{
    switch (command) {
    case kCommandLaunchReq:
        return std::make_shared<LaunchFromPXReq>();
    case kCommandGetMessageReq:
        return std::make_shared<GetMessageFromPXReq>();
    case kCommandMediaMessage: {
        auto message = mediaMessage();
        if (!message || !std::dynamic_pointer_cast<PXAppExtendObject>(message->mediaObject))
            return nullptr;
        auto show = std::make_shared<ShowMessageFromPXReq>();
        show->message = message;
        return show;
    }
    default:
        return nullptr;
    }
}

std::shared_ptr<BaseResp> AppCommunicateData::dataToResp() const
{
    if (command != kCommandSendMessageResp && command != kCommandSendMessageRespOld)
        return nullptr;
    auto response = std::make_shared<SendMessageToPXResp>();
    response->errCode = result;
    return response;
}

std::shared_ptr<PXMediaMessage> AppCommunicateData::mediaMessage() const
{
    auto typeText = text("objectType");
    if (!m_list || command != kCommandMediaMessage || !typeText)
        return nullptr;
    auto message = PXMediaMessage::message();
    message->title = text("title");
    message->description = text("description");
    message->thumbData = data("thumbData");
    message->mediaTagName = text("mediaTagName");
    switch (pf::text::intValue(*typeText)) {
    case PXImageObject::kObjectType: {
        auto o = PXImageObject::object();
        o->imageUrl = text("mediaUrl");
        o->imageData = fileData;
        message->mediaObject = o;
        break;
    }
    case PXMusicObject::kObjectType: {
        auto o = PXMusicObject::object();
        o->musicUrl = text("mediaUrl");
        o->musicLowBandUrl = text("mediaLowBandUrl");
        o->musicDataUrl = text("mediaDataUrl");
        o->musicLowBandDataUrl = text("mediaLowBandDataUrl");
        message->mediaObject = o;
        break;
    }
    case PXVideoObject::kObjectType: {
        auto o = PXVideoObject::object();
        o->videoUrl = text("mediaUrl");
        o->videoLowBandUrl = text("mediaLowBandUrl");
        message->mediaObject = o;
        break;
    }
    case PXWebpageObject::kObjectType: {
        auto o = PXWebpageObject::object();
        o->webpageUrl = text("mediaUrl");
        message->mediaObject = o;
        break;
    }
    case PXFileObject::kObjectType: {
        auto o = PXFileObject::object();
        o->fileExtension = text("fileExt");
        o->fileData = fileData;
        message->mediaObject = o;
        break;
    }
    case PXAppExtendObject::kObjectType: {
        auto o = PXAppExtendObject::object();
        o->url = text("mediaUrl");
        o->extInfo = text("extInfo");
        o->fileData = fileData;
        message->mediaObject = o;
        break;
    }
    case PXEmoticonObject::kObjectType: {
        auto o = PXEmoticonObject::object();
        o->emoticonData = fileData;
        message->mediaObject = o;
        break;
    }
    default:
        return nullptr;
    }
    return message;
}

std::optional<std::string> AppCommunicateData::textMessage() const
{
    if (command != kCommandTextMessage)
        return std::nullopt;
    auto title = text("title");
    if (!title || textLength(*title) > kMaxText)
        return std::nullopt;
    return title;
}

std::shared_ptr<PXMediaInternalMessage> AppCommunicateData::mediaInternalMessage() const
{
    auto typeText = text("objectType");
    if (command != kCommandMediaMessage || !typeText)
        return nullptr;
    auto m = PXMediaInternalMessage::message();
    m->title = text("title");
    m->description = text("description");
    m->thumbData = data("thumbData");
    m->mediaTagName = text("mediaTagName");
    m->objectType = static_cast<unsigned>(pf::text::longValue(*typeText));
    m->extInfo = text("extInfo");
    m->fileExt = text("fileExt");
    m->fileData = fileData;
    m->mediaUrl = text("mediaUrl");
    m->mediaLowBandUrl = text("mediaLowBandUrl");
    m->mediaDataUrl = text("mediaDataUrl");
    m->mediaLowBandDataUrl = text("mediaLowBandDataUrl");
    if (!within(m->title, kMaxTitle) || !within(m->description, kMaxDescription) || !within(m->thumbData, kMaxThumbData))
        return nullptr;
    if (!m->mediaUrl && !m->fileData && !m->extInfo)
        return nullptr;
    if (!within(m->mediaTagName, kMaxTagName) || !within(m->mediaUrl, kMaxUrl) || !within(m->mediaLowBandUrl, kMaxUrl)
        || !within(m->mediaDataUrl, kMaxUrl) || !within(m->mediaLowBandDataUrl, kMaxUrl)
        || !within(m->extInfo, kMaxExtInfo) || !within(m->fileExt, kMaxFileExt) || !within(m->fileData, kMaxFileData))
        return nullptr;
    return m;
}

std::shared_ptr<PXAuthInternal> AppCommunicateData::authRequest() const
{
    if (command != kCommandAuthRequest)
        return nullptr;
    auto scope = text("scope");
    auto state = text("state");
    if (!scope || !within(scope, kMaxAuthField) || !within(state, kMaxAuthField))
        return nullptr;
    auto auth = std::make_shared<PXAuthInternal>();
    auth->scope = scope;
    auth->state = state;
    return auth;
}

}
