#pragma once

#include "sdk/lmconnect/lmapi/LMApiTask.h"
#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"

#include <memory>

class LMApiMessage;
class MorrowRequest;

// A job that works on the preview of a page share with one request, then sends the share again.
//
// Rules:
// - The share goes out again exactly once, whatever ends the job first: the reply, a failure,
//   `kTimeout`, or a subclass giving up before it asks anything. A reply followed by a parse
//   result of the same exchange counts once.
// - Ending the job drops the request (so nothing more is heard from it) and frees the slot.
class LMApiPreviewTask : public LMApiTask, public MorrowRequestDelegate {
public:
    static constexpr double kTimeout = 5.0;

    explicit LMApiPreviewTask(std::shared_ptr<LMApiMessage> message) : urlMsg(std::move(message)) { }
    ~LMApiPreviewTask() override;

    void onTimeout();
    void resendShareMessage();

    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) override;

    std::shared_ptr<LMApiMessage> urlMsg;
    std::shared_ptr<MorrowRequest> request;

protected:
    // Sends `made` (the subclass's request, this job its delegate) and arms the time-out.
    void sendRequest(std::shared_ptr<MorrowRequest> made);
    void dropRequest();

private:
    bool m_resent { false };
};
