#include "sdk/lmconnect/lmapi/LMApiPreviewTask.h"

#include "sdk/lmconnect/lmapi/JSLMApi.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/foundation/RunLoop.h"

LMApiPreviewTask::~LMApiPreviewTask()
{
    pf::RunLoop::main().cancelAll(this);
    dropRequest();
}

void LMApiPreviewTask::sendRequest(std::shared_ptr<MorrowRequest> made)
{
    dropRequest();
    request = std::move(made);
    request->connect();
    std::weak_ptr<LMApiTask> weak = shared_from_this();
    pf::RunLoop::main().postDelayed(kTimeout, [weak] {
        if (auto task = weak.lock())
            std::static_pointer_cast<LMApiPreviewTask>(task)->onTimeout();
    }, this);
}

void LMApiPreviewTask::dropRequest()
{
    if (!request)
        return;
    request->setDelegate({});
    request->cancel();
    request.reset();
}

void LMApiPreviewTask::requestDidFailWithError(const std::shared_ptr<MorrowRequest>&, const MorrowError&)
{
    resendShareMessage();
}

void LMApiPreviewTask::onTimeout()
{
    dropRequest();
    resendShareMessage();
}

void LMApiPreviewTask::resendShareMessage()
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
