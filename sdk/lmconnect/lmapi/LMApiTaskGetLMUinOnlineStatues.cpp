#include "sdk/lmconnect/lmapi/LMApiTaskGetLMUinOnlineStatues.h"

#include "sdk/lmconnect/lmapi/LMApiInterfaceDelegate.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"

#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UrlRequest.h"

LMApiTaskGetLMUinOnlineStatues::~LMApiTaskGetLMUinOnlineStatues()
{
    if (m_connection)
        m_connection->cancel();
}

void LMApiTaskGetLMUinOnlineStatues::main()
{
    if (m_connection)
        m_connection->cancel();
    m_data.clear();
    pf::UrlRequest request(LMOpenApiUtility::urlStringWithLMUinsArray(LMUins), kTimeout);
    request.setMaximumResponseSize(kMaxReply);
    m_connection = pf::UrlConnection::create(std::move(request));
    std::weak_ptr<LMApiTask> weak = shared_from_this();
    m_connection->didReceiveData = [this, weak](const pf::Bytes& data) {
        if (auto self = weak.lock()) {
            if (m_data.empty())
                m_data.reserve(2048);
            m_data.insert(m_data.end(), data.begin(), data.end());
        }
    };
    m_connection->didFinishLoading = [this, weak] {
        if (auto self = weak.lock())
            connectionDidFinishLoading();
    };
    m_connection->didFailWithError = [this, weak](const pf::UrlError&) {
        if (auto self = weak.lock()) {
            m_connection.reset();
            finish();
        }
    };
    m_connection->start();
}

void LMApiTaskGetLMUinOnlineStatues::connectionDidFinishLoading()
{
    m_connection.reset();
    std::string reply(m_data.begin(), m_data.end());
    auto statuses = LMOpenApiUtility::dictionaryWithReturnString(reply, LMUins);
    if (auto receiver = delegate.lock())
        receiver->isOnlineResponse(statuses);
    m_data.clear();
    finish();
}
