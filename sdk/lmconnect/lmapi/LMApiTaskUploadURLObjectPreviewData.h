#pragma once

#include "sdk/lmconnect/lmapi/LMApiTask.h"
#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"

#include "platform/foundation/RunLoop.h"

class LMApiMessage;
class MorrowRequest;

// Uploads the preview of a page share as a 140 by 140 JPEG to the connect host and takes the
// address it answers as the share's preview address, then sends the share again. A preview that
// is no picture is dropped; a failed or late upload (kTimeout) leaves the share as it was.
class LMApiTaskUploadURLObjectPreviewData : public LMApiTask, public MorrowRequestDelegate {
public:
    static constexpr double kTimeout = 5.0;
    static constexpr int kSide = 140;
    static constexpr double kJpegQuality = 0.8;
    static constexpr const char* kPath = "lmconnectopen/upload_share_image";

    explicit LMApiTaskUploadURLObjectPreviewData(std::shared_ptr<LMApiMessage> message) : urlMsg(std::move(message)) { }
    ~LMApiTaskUploadURLObjectPreviewData() override;

    void onTimeout();
    void resendShareMessage();

    void requestDidLoad(const std::shared_ptr<MorrowRequest>& request, const pf::Value& result, const pf::Bytes& data) override;
    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) override;

    std::shared_ptr<LMApiMessage> urlMsg;
    std::shared_ptr<MorrowRequest> request;

protected:
    void main() override;

private:
    void dropRequest();
    bool m_resent { false };
};
