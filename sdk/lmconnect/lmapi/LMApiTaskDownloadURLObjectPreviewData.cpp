#include "sdk/lmconnect/lmapi/LMApiTaskDownloadURLObjectPreviewData.h"

#include "sdk/lmconnect/lmapi/JSLMApi.h"
#include "sdk/lmconnect/lmapi/LMApi.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/graphics/Image.h"

LMApiTaskDownloadURLObjectPreviewData::~LMApiTaskDownloadURLObjectPreviewData()
{
    pf::RunLoop::main().cancelAll(this);
    dropRequest();
}

void LMApiTaskDownloadURLObjectPreviewData::main()
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (!content || content->previewImageURL.empty()) {
        finish();
        return;
    }
    dropRequest();
    auto self = std::static_pointer_cast<LMApiTaskDownloadURLObjectPreviewData>(shared_from_this());
    request = MorrowRequest::getRequestWithParams({}, "GET", std::weak_ptr<MorrowRequestDelegate>(self), content->previewImageURL);
    // A preview larger than a share may carry is not worth reading.
    request->setMaximumResponseSize(LMApi::kPreviewLimit);
    request->connect();
    std::weak_ptr<LMApiTaskDownloadURLObjectPreviewData> weak = self;
    pf::RunLoop::main().postDelayed(kTimeout, [weak] {
        if (auto task = weak.lock())
            task->onTimeout();
    }, this);
}

void LMApiTaskDownloadURLObjectPreviewData::dropRequest()
{
    if (!request)
        return;
    request->setDelegate({});
    request->cancel();
    request.reset();
}

void LMApiTaskDownloadURLObjectPreviewData::requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>&, const pf::Bytes& data)
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (content && pf::Image::decode(data))
        content->previewImageData = data;
    resendShareMessage();
}

void LMApiTaskDownloadURLObjectPreviewData::requestDidFailWithError(const std::shared_ptr<MorrowRequest>&, const MorrowError&)
{
    resendShareMessage();
}

void LMApiTaskDownloadURLObjectPreviewData::onTimeout()
{
    dropRequest();
    resendShareMessage();
}

void LMApiTaskDownloadURLObjectPreviewData::resendShareMessage()
{
    // The reply is followed by a parse result of the same exchange: only the first one counts.
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
