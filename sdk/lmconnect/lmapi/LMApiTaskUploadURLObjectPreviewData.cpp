#include "sdk/lmconnect/lmapi/LMApiTaskUploadURLObjectPreviewData.h"

#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/lmapi/UIImageScaleSizeToFill.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"

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
    auto self = std::static_pointer_cast<LMApiTaskUploadURLObjectPreviewData>(shared_from_this());
    MorrowParams params;
    params.set("share_image", pf::Value(thumbnail->jpegData(kJpegQuality)));
    sendRequest(MorrowRequest::getRequestWithParams(std::move(params), "POST", std::weak_ptr<MorrowRequestDelegate>(self),
        MorrowHostConfig::shared().cgiBase() + kPath));
}

void LMApiTaskUploadURLObjectPreviewData::requestDidLoad(const std::shared_ptr<MorrowRequest>&, const pf::Value& result, const pf::Bytes&)
{
    auto content = urlMsg ? std::dynamic_pointer_cast<LMApiURLObject>(urlMsg->object) : nullptr;
    if (const std::string* url = result["result"]["url"].asString(); content && url)
        content->previewImageURL = *url;
    resendShareMessage();
}
