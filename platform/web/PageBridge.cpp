#include "platform/web/PageBridge.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/web/ScriptText.h"
#include "platform/web/WebAddress.h"
#include "platform/web/WebView.h"

namespace pf {

namespace {
    std::optional<std::string> bridgeScript()
    {
        auto path = Bundle::main()->pathForResource("PageBridge", "js");
        if (!path)
            return std::nullopt;
        return FileManager::readText(*path);
    }
}

std::shared_ptr<PageBridge> PageBridge::bridgeForWebView(const std::shared_ptr<WebView>& webView,
    std::weak_ptr<WebViewDelegate> webViewDelegate, Handler defaultHandler)
{
    if (!webView)
        return nullptr;
    std::shared_ptr<PageBridge> bridge(new PageBridge());
    bridge->m_webView = webView;
    bridge->m_delegate = std::move(webViewDelegate);
    bridge->m_defaultHandler = std::move(defaultHandler);
    webView->setDelegate(bridge);
    return bridge;
}

void PageBridge::registerHandler(const std::string& name, Handler handler)
{
    m_handlers[name] = std::move(handler);
}

bool PageBridge::isPageReady() const
{
    auto webView = m_webView.lock();
    return webView && m_ready && m_readyGeneration == webView->pageGeneration();
}

void PageBridge::callHandler(const std::string& name, const Value& data, ResponseCallback responseCallback)
{
    Value message;
    message.set("handlerName", Value(name));
    if (!data.isMissing())
        message.set("data", data);
    if (responseCallback) {
        std::string id = "app_cb_" + std::to_string(m_nextCallback++);
        message.set("callbackId", Value(id));
        auto webView = m_webView.lock();
        // Answered by the page that gets the message: the one shown now when it is ready,
        // else the next one.
        std::uint64_t generation = webView && isPageReady() ? webView->pageGeneration() : 0;
        m_callbacks[id] = Pending { name, std::move(responseCallback), generation };
    }
    if (!isPageReady()) {
        m_startupQueue.push_back(std::move(message));
        return;
    }
    send(message);
}

void PageBridge::send(const Value& message)
{
    auto webView = m_webView.lock();
    if (!webView)
        return;
    webView->evaluate("PageBridge._handleMessageFromApp(" + ScriptText::stringLiteral(Json::write(message)) + ")");
}

void PageBridge::receiveQueue()
{
    auto webView = m_webView.lock();
    if (!webView)
        return;
    std::string text = webView->evaluate("PageBridge._fetchQueue()").value_or("");
    std::string error;
    auto messages = Json::parse(text, &error);
    if (!messages || !messages->isArray()) {
        webView->logForPage("page bridge: the page's messages are not a list: " + error);
        return;
    }
    for (const Value& message : *messages->asArray())
        dispatch(message);
}

void PageBridge::dispatch(const Value& message)
{
    auto webView = m_webView.lock();
    if (!webView || !message.isDictionary())
        return;
    if (const std::string* responseId = message["responseId"].asString()) {
        auto it = m_callbacks.find(*responseId);
        if (it == m_callbacks.end())
            return;
        Pending pending = std::move(it->second);
        m_callbacks.erase(it);
        if (pending.generation != webView->pageGeneration()) {
            webView->logForPage("page bridge: an answer to \"" + pending.handlerName + "\" came from another page and was dropped");
            return;
        }
        pending.callback(message["responseData"]);
        return;
    }
    std::string name = message["handlerName"].stringValue();
    ResponseCallback respond = [](const Value&) {};
    if (const std::string* callbackId = message["callbackId"].asString()) {
        std::weak_ptr<PageBridge> weak = weak_from_this();
        std::uint64_t generation = webView->pageGeneration();
        std::string id = *callbackId;
        respond = [weak, generation, id, name](const Value& data) {
            auto bridge = weak.lock();
            auto view = bridge ? bridge->m_webView.lock() : nullptr;
            if (!view || view->pageGeneration() != generation) {
                Log::line("page bridge: the page that called \"" + name + "\" has gone; its answer was dropped");
                return;
            }
            Value answer;
            answer.set("responseId", Value(id));
            answer.set("responseData", data);
            bridge->send(answer);
        };
    }
    auto it = m_handlers.find(name);
    const Handler* handler = it != m_handlers.end() ? &it->second : (m_defaultHandler ? &m_defaultHandler : nullptr);
    if (!handler) {
        webView->logForPage("page bridge: no handler for \"" + name + "\"");
        return;
    }
    Handler call = *handler; // a handler may register others while it runs
    call(message["data"], respond);
}

void PageBridge::dropAnswersOfOldPages()
{
    auto webView = m_webView.lock();
    if (!webView)
        return;
    std::uint64_t now = webView->pageGeneration();
    for (auto it = m_callbacks.begin(); it != m_callbacks.end();) {
        if (it->second.generation != 0 && it->second.generation != now) {
            Log::line("page bridge: the page went away before answering \"" + it->second.handlerName + "\"");
            it = m_callbacks.erase(it);
        } else {
            ++it;
        }
    }
}

bool PageBridge::webViewShouldStartLoadWithRequestNavigationType(WebView& webView, const UrlRequest& request, WebNavigationType type)
{
    if (WebAddress::scheme(request.url()) == kScheme) {
        receiveQueue();
        return false;
    }
    auto d = m_delegate.lock();
    return !d || d->webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
}

void PageBridge::webViewDidStartLoad(WebView& webView)
{
    if (auto d = m_delegate.lock())
        d->webViewDidStartLoad(webView);
}

void PageBridge::webViewDidFinishLoad(WebView& webView)
{
    auto keep = shared_from_this();
    dropAnswersOfOldPages();
    if (webView.evaluate("typeof PageBridge").value_or("") != "object") {
        auto script = bridgeScript();
        if (!script)
            Log::line("page bridge: the resource PageBridge.js is missing");
        else
            webView.evaluate(*script);
    }
    m_ready = webView.evaluate("typeof PageBridge").value_or("") == "object";
    m_readyGeneration = webView.pageGeneration();
    if (m_ready) {
        auto queued = std::move(m_startupQueue);
        m_startupQueue.clear();
        for (auto& message : queued) {
            if (const std::string* id = message["callbackId"].asString()) {
                auto it = m_callbacks.find(*id);
                if (it != m_callbacks.end())
                    it->second.generation = m_readyGeneration;
            }
            send(message);
        }
    }
    if (auto d = m_delegate.lock())
        d->webViewDidFinishLoad(webView);
}

void PageBridge::webViewDidFailLoadWithError(WebView& webView, const UrlError& error)
{
    if (auto d = m_delegate.lock())
        d->webViewDidFailLoadWithError(webView, error);
}

}
