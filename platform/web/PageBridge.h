#pragma once

#include "platform/foundation/Value.h"
#include "platform/web/WebViewDelegate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class WebView;

// The bridge between a page and the app: the page registers handlers the app may call and
// calls the app's handlers, each with data (JSON values) and an optional answer.
//
// Rules:
// - The bridge becomes the web view's delegate and passes every navigation that is not its
//   own, and every load event, on to `webViewDelegate` (held weakly). Its owner keeps it.
// - Page to app: the page script (the resource "PageBridge.js", injected after every finished
//   main-frame load unless the page has it) queues messages and navigates a hidden frame to
//   "pagebridge://message"; the bridge then fetches the queue during that frame question and
//   runs the handler named in each message, or the default handler.
// - App to page: `callHandler` before the page is ready (before its first finished load, or
//   while a new page loads) queues the message; it is delivered, in order, once the script is
//   in the page.
// - Answers reach only the page that asked. When the page is replaced before an answer
//   comes, the answer callback is dropped and the log says so; an answer to a page that has
//   gone is dropped the same way.
class PageBridge : public WebViewDelegate, public std::enable_shared_from_this<PageBridge> {
public:
    static constexpr const char* kScheme = "pagebridge";

    using ResponseCallback = std::function<void(const Value& responseData)>;
    using Handler = std::function<void(const Value& data, const ResponseCallback& respond)>;

    static std::shared_ptr<PageBridge> bridgeForWebView(const std::shared_ptr<WebView>& webView,
        std::weak_ptr<WebViewDelegate> webViewDelegate, Handler defaultHandler);

    void registerHandler(const std::string& name, Handler handler);
    void callHandler(const std::string& name, const Value& data = Value(), ResponseCallback responseCallback = {});
    // Whether the bridge's script is in the page shown now.
    bool isPageReady() const;

    bool webViewShouldStartLoadWithRequestNavigationType(WebView& webView, const UrlRequest& request, WebNavigationType type) override;
    void webViewDidStartLoad(WebView& webView) override;
    void webViewDidFinishLoad(WebView& webView) override;
    void webViewDidFailLoadWithError(WebView& webView, const UrlError& error) override;

private:
    PageBridge() = default;

    struct Pending {
        std::string handlerName;
        ResponseCallback callback;
        std::uint64_t generation;
    };

    void send(const Value& message);
    void receiveQueue();
    void dispatch(const Value& message);
    void dropAnswersOfOldPages();

    std::weak_ptr<WebView> m_webView;
    std::weak_ptr<WebViewDelegate> m_delegate;
    Handler m_defaultHandler;
    std::map<std::string, Handler> m_handlers;
    std::map<std::string, Pending> m_callbacks;
    std::vector<Value> m_startupQueue;
    std::uint64_t m_readyGeneration { 0 };
    bool m_ready { false };
    std::uint64_t m_nextCallback { 1 };
};

}
