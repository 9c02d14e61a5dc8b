#pragma once

#include "sdk/lmconnect/lmapi/LMApiTask.h"
#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"

#include "platform/foundation/RunLoop.h"

class LMApiMessage;
class MorrowRequest;

// Fetches the preview of a page share that has only the picture's address, then sends the
// share again: with the picture when the reply is one, without it when the reply is no picture,
// fails, is longer than a preview may be or takes longer than kTimeout. Either way the share is
// sent exactly once more.
class LMApiTaskDownloadURLObjectPreviewData : public LMApiTask, public MorrowRequestDelegate {
public:
    static constexpr double kTimeout = 5.0;

    explicit LMApiTaskDownloadURLObjectPreviewData(std::shared_ptr<LMApiMessage> message) : urlMsg(std::move(message)) { }
    ~LMApiTaskDownloadURLObjectPreviewData() override;

    void onTimeout();
    void resendShareMessage();

    void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data) override;
    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) override;

    std::shared_ptr<LMApiMessage> urlMsg;
    std::shared_ptr<MorrowRequest> request;

protected:
    void main() override;

private:
    void dropRequest();
    bool m_resent { false };
};
