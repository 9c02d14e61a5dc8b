#pragma once

#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/web/WebView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A delegate that records what a web view tells it and answers navigation questions from a
// rule the test sets.
class RecordingDelegate : public pf::WebViewDelegate {
public:
    struct Question {
        std::string url;
        pf::WebNavigationType type;
    };

    std::function<bool(const std::string& url)> allow;
    std::vector<Question> questions;
    std::vector<std::string> events; // "start", "finish", "fail <domain> <code>"

    bool webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest& request, pf::WebNavigationType type) override
    {
        questions.push_back({ request.url(), type });
        events.push_back("ask " + request.url());
        return !allow || allow(request.url());
    }
    void webViewDidStartLoad(pf::WebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(pf::WebView&) override { events.push_back("finish"); }
    void webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError& error) override
    {
        events.push_back("fail " + error.domain + " " + std::to_string(error.code));
    }
    bool settled() const
    {
        return !events.empty() && (events.back() == "finish" || events.back().starts_with("fail"));
    }
};

class WebTest : public ::testing::Test {
protected:
    WebTest()
    {
        pf::UIEnvironment::reset();
        webView = std::make_shared<pf::WebView>(pf::Rect { 0, 0, 320, 480 });
        delegate = std::make_shared<RecordingDelegate>();
        webView->setDelegate(delegate);
    }
    ~WebTest() override { pf::UIEnvironment::reset(); }

    // Loads `html` and runs until the load has ended.
    void load(const std::string& html, const std::string& base = "http://example.test/page.html")
    {
        delegate->events.clear();
        webView->loadHtmlString(html, base);
        ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
    }
    void loadUrl(const std::string& url)
    {
        delegate->events.clear();
        webView->loadRequest(pf::UrlRequest(url));
        ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
    }
    std::string eval(const std::string& script) { return webView->evaluate(script).value_or("<none>"); }

    pf::TaskEnvironment env;
    std::shared_ptr<pf::WebView> webView;
    std::shared_ptr<RecordingDelegate> delegate;
};
