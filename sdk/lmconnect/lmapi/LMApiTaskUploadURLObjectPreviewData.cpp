#include "sdk/lmconnect/lmapi/LMApiTaskUploadURLObjectPreviewData.h"

#include "sdk/lmconnect/lmapi/JSLMApi.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/lmapi/UIImageScaleSizeToFill.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/graphics/Image.h"

LMApiTaskUploadURLObjectPreviewData::~LMApiTaskUploadURLObjectPreviewData()
{
    pf::RunLoop::main().cancelAll(this);
    dropRequest();
}

void LMApiTaskUploadURLObjectPreviewData::main()
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (!content || content->previewImageData.empty()) {
        finish();
        return;
    }
    auto image = pf::Image::decode(content->previewImageData);
    auto thumbnail = image ? UIImageScaleSizeToFill(image, { kSide, kSide }) : nullptr;
    if (!thumbnail) {
        content->previewImageData.clear();
        std::weak_ptr<LMApiTask> weak = shared_from_this();
        pf::RunLoop::main().post([weak] {
            if (auto task = weak.lock())
                std::static_pointer_cast<LMApiTaskUploadURLObjectPreviewData>(task)->resendShareMessage();
        });
        return;
    }
    dropRequest();
    auto self = std::static_pointer_cast<LMApiTaskUploadURLObjectPreviewData>(shared_from_this());
    MorrowParams params;
    params.set("share_image", pf::Value(thumbnail->jpegData(kJpegQuality)));
    request = MorrowRequest::getRequestWithParams(std::move(params), "POST", std::weak_ptr<MorrowRequestDelegate>(self),
        MorrowHostConfig::shared().cgiBase() + kPath);
    request->connect();
    std::weak_ptr<LMApiTaskUploadURLObjectPreviewData> weak = self;
    pf::RunLoop::main().postDelayed(kTimeout, [weak] {
        if (auto task = weak.lock())
            task->onTimeout();
    }, this);
}

void LMApiTaskUploadURLObjectPreviewData::dropRequest()
{
    if (!request)
        return;
    request->setDelegate({});
    request->cancel();
    request.reset();
}

void LMApiTaskUploadURLObjectPreviewData::requestDidLoad(const std::shared_ptr<MorrowRequest>&, const pf::Value& result, const pf::Bytes&)
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (const std::string* url = result["result"]["url"].asString(); content && url)
        content->previewImageURL = *url;
    resendShareMessage();
}

void LMApiTaskUploadURLObjectPreviewData::requestDidFailWithError(const std::shared_ptr<MorrowRequest>&, const MorrowError&)
{
    resendShareMessage();
}

void LMApiTaskUploadURLObjectPreviewData::onTimeout()
{
    dropRequest();
    resendShareMessage();
}

void LMApiTaskUploadURLObjectPreviewData::resendShareMessage()
{
    if (m_resent)
        return;
    m_resent = true;
    auto keep = shared_from_this();
    auto message = std::move(urlMsg);
    if (message && std::dynamic_pointer_cast<LMApiURLObject>(message->object)) {
        message->setAssociatedTask(this);
        JSLMApi::js_sendMessageToLM(message);
    }
    pf::RunLoop::main().cancelAll(this);
    dropRequest();
    finish();
}
