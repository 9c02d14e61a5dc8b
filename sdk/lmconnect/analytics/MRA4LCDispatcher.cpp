#include "sdk/lmconnect/analytics/MRA4LCDispatcher.h"

#include "sdk/lmconnect/analytics/MRA4LCDataConfigHolder.h"
#include "sdk/lmconnect/analytics/MRA4LCEvent.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/UrlConnection.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace {

// Never destroyed: work still on a queue while the process exits reads them after static
// destruction has begun.
std::mutex& instanceMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::shared_ptr<MRA4LCDispatcher>& instanceSlot()
{
    static auto* slot = new std::shared_ptr<MRA4LCDispatcher>;
    return *slot;
}

}

std::shared_ptr<MRA4LCDispatcher> MRA4LCDispatcher::getInstance()
{
    static const bool registered = [] {
        pf::ResetRegistry::add([] { MRA4LCDispatcher::resetShared(); });
        return true;
    }();
    (void)registered;
    std::lock_guard lock(instanceMutex());
    if (!instanceSlot())
        instanceSlot().reset(new MRA4LCDispatcher());
    return instanceSlot();
}

void MRA4LCDispatcher::resetShared()
{
    std::shared_ptr<MRA4LCDispatcher> dispatcher;
    {
        std::lock_guard lock(instanceMutex());
        dispatcher = std::move(instanceSlot());
    }
    if (dispatcher)
        dispatcher->m_queue->sync([] { });
}

MRA4LCDispatcher::MRA4LCDispatcher()
    : m_queue(pf::DispatchQueue::create("MRA4LCHttpDispatcher"))
{
}

void MRA4LCDispatcher::sendEvent(const MRA4LCEvent& event, std::function<void(bool)> callback)
{
    send({ event.toJsonString() }, std::move(callback));
}

void MRA4LCDispatcher::send(std::vector<std::string> texts, std::function<void(bool)> callback)
{
    if (texts.empty())
        return;
    m_queue->async([texts = std::move(texts), callback = std::move(callback)] {
        std::string json = "[";
        for (size_t i = 0; i < texts.size(); ++i)
            json += (i ? "," : "") + texts[i];
        json += "]";
        pf::Bytes reply;
        bool ok = nsRequest(pf::Bytes(json.begin(), json.end()), reply);
        if (callback)
            callback(ok);
        if (!ok || reply.empty())
            return;
        // Anything but a dictionary is a success without configuration.
        if (auto parsed = pf::Json::parse(reply); parsed && parsed->isDictionary()) {
            if (auto holder = MRA4LCDataConfigHolder::getInstance())
                holder->updateOnlineConfig(*parsed);
        }
    });
}

std::optional<pf::Bytes> MRA4LCDispatcher::frame(const pf::Bytes& json, std::string& encoding)
{
    pf::Bytes body;
    if (json.size() < kGzipThreshold) {
        body = json;
        encoding = "rc4";
    } else {
        pf::Bytes compressed;
        if (MRA4LCHelper::gZip(json, compressed) != 0)
            return std::nullopt;
        const auto length = static_cast<std::uint32_t>(json.size());
        body = { static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length) };
        body.insert(body.end(), compressed.begin(), compressed.end());
        encoding = "rc4,gzip";
    }
    MRA4LCHelper::chiperRC4(body);
    return body;
}

bool MRA4LCDispatcher::nsRequest(const pf::Bytes& json, pf::Bytes& reply)
{
    reply.clear();
    std::string encoding;
    auto body = frame(json, encoding);
    if (!body)
        return false;
    pf::UrlRequest request(MRA4LCHosts::shared().uploadURL(), kTimeout);
    request.setMethod("POST");
    request.setValue("keep-alive", "Connection");
    request.setValue("json", "Content-Type");
    request.setValue(encoding, "Content-Encoding");
    request.setBody(std::move(*body));
    request.setDecodesContent(false); // the reply's "rc4" is ours to undo
    request.setMaximumResponseSize(kMaxReplyBytes);
    auto result = pf::UrlConnection::sendSynchronousRequest(request, kTimeout);
    if (!result.response || result.response->statusCode() != 200)
        return false;
    if (!result.succeeded())
        return result.error->code == pf::UrlError::DataLengthExceedsMaximum;
    reply = std::move(result.data);
    auto replyEncoding = result.response->valueForHeader("Content-Encoding").value_or("");
    std::transform(replyEncoding.begin(), replyEncoding.end(), replyEncoding.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!reply.empty() && replyEncoding.find("rc4") != std::string::npos)
        MRA4LCHelper::chiperRC4(reply);
    return true;
}
