#include "sdk/lmconnect/lmapi/LMApiShareCoder.h"

#include "sdk/lmconnect/host/MorrowDataMgr.h"
#include "sdk/lmconnect/lmapi/LMApiAudioObject.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiPayObject.h"
#include "sdk/lmconnect/lmapi/LMApiSharedData.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"
#include "sdk/lmconnect/lmapi/LMApiVideoObject.h"
#include "sdk/lmconnect/lmapi/LMApiWPAObject.h"
#include "sdk/lmconnect/lmapi/SendMessageToLMReq.h"

#include <typeinfo>

std::shared_ptr<const LMApiShareCoder> LMApiShareCoder::shared()
{
    static const std::shared_ptr<const LMApiShareCoder> coder = std::make_shared<LMApiShareCoder>();
    return coder;
}

std::shared_ptr<LMApiMessage> LMApiShareCoder::messageOfRequest(const std::shared_ptr<LMBaseReq>& req) const
{
    if (!req)
        return nullptr;
    const LMBaseReq& request = *req; // typeid of the object itself, not of a call
    if (typeid(request) != typeid(SendMessageToLMReq))
        return nullptr;
    auto content = std::static_pointer_cast<SendMessageToLMReq>(req)->message;
    return LMApiMessage::messageWithObject(content, LMApiMessage::SendToLM);
}

pf::Dictionary LMApiShareCoder::shareMessageJSON(const LMApiMessage& message)
{
    static const LMApiObject empty;
    const LMApiObject& object = message.object ? *message.object : empty;
    auto url = dynamic_cast<const LMApiURLObject*>(&object);
    auto extend = dynamic_cast<const LMApiExtendObject*>(&object);
    std::string flash;
    if (auto audio = dynamic_cast<const LMApiAudioObject*>(&object))
        flash = audio->flashURL;
    else if (auto video = dynamic_cast<const LMApiVideoObject*>(&object))
        flash = video->flashURL;
    std::string imageUrl;
    if (url) {
        for (const auto& address : url->imageUrlArray)
            imageUrl += (imageUrl.empty() ? "" : ",") + address;
        if (imageUrl.empty())
            imageUrl = url->previewImageURL;
    }
    auto text = dynamic_cast<const LMApiTextObject*>(&object);
    auto pay = dynamic_cast<const LMApiPayObject*>(&object);
    auto wpa = dynamic_cast<const LMApiWPAObject*>(&object);

    pf::Dictionary json;
    json.set("object_title", object.title);
    json.set("object_description", object.description);
    json.set("app_name", LMApiDatastore::instance().appName);
    json.set("message_type", std::to_string(message.type));
    json.set("object_type", std::string(object.className()));
    json.set("text_data", text && typeid(object) == typeid(LMApiTextObject) ? text->text : std::string());
    json.set("object_imageUrl", imageUrl);
    json.set("object_targetUrl", url ? url->url : std::string());
    json.set("flash_url", flash);
    json.set("isUrlObject", url ? "YES" : "NO");
    json.set("platform", "ios");
    json.set("order_no", pay ? pay->OrderNo : std::string());
    json.set("uin", wpa ? wpa->uin : std::string());
    json.set("shareType", message.type == LMApiMessage::SendToLZone ? 1 : 0);

    pf::Dictionary data;
    auto putImages = [&data](const std::vector<pf::Bytes>& images) {
        if (images.empty())
            return;
        pf::Array list;
        for (const auto& image : images)
            list.push_back(image);
        data.set(LMApiDatastore::kImageListKey, list);
    };
    bool exactExtend = typeid(object) == typeid(LMApiImageObject) || typeid(object) == typeid(LMApiExtendObject);
    if (url) {
        if (!url->previewImageData.empty())
            data.set(LMApiDatastore::kPreviewKey, url->previewImageData);
        putImages(url->imageDataArray);
    } else if (extend && exactExtend) {
        if (!extend->previewImageData.empty())
            data.set(LMApiDatastore::kPreviewKey, extend->previewImageData);
        if (!extend->data.empty())
            data.set(LMApiDatastore::kFileDataKey, extend->data);
        putImages(extend->imageDataArray);
    }
    if (!data.empty()) {
        if (auto key = MorrowDataMgr::getInstance().addObjectInDataMgr(std::make_shared<LMApiSharedData>(data)))
            json.set("key_ImageDataArray", *key);
    }
    json.set("cflag", std::to_string(object.cflag));
    return json;
}
