#include "sdk/lmconnect/lmapi/LMApiTaskDownloadURLObjectPreviewData.h"

#include "sdk/lmconnect/lmapi/LMApi.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/graphics/Image.h"

void LMApiTaskDownloadURLObjectPreviewData::main()
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (!content || content->previewImageURL.empty()) {
        finish();
        return;
    }
    auto self = std::static_pointer_cast<LMApiTaskDownloadURLObjectPreviewData>(shared_from_this());
    auto made = MorrowRequest::getRequestWithParams({}, "GET", std::weak_ptr<MorrowRequestDelegate>(self), content->previewImageURL);
    // A preview larger than a share may carry is not worth reading.
    made->setMaximumResponseSize(LMApi::kPreviewLimit);
    sendRequest(std::move(made));
}

void LMApiTaskDownloadURLObjectPreviewData::requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>&, const pf::Bytes& data)
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (content && pf::Image::decode(data))
        content->previewImageData = data;
    resendShareMessage();
}
