// The web view: a local page of about 100 KB with a few scripts (three inline, one linked),
// from its request to the page bridge being ready, beside libcurl fetching the same page and
// script, gumbo parsing the page and a bare duktape heap running the same scripts.

#include "bench/BenchPages.h"

#include "platform/foundation/UrlRequest.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/web/PageBridge.h"
#include "platform/web/WebView.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <duktape.h>
#include <gumbo.h>

#include <string>
#include <vector>

namespace {

// The page and script go out as plain bytes: for text types the local server would compress
// every reply (the app's transport offers the codings), which costs the server far more than
// either side spends on the page and would hide the figure. The web view does not read the type.
struct PageServer {
    pf::TestHttpServer server;
    PageServer()
    {
        server.reply("GET", "/page.html", 200, BenchPages::webPage(), "application/octet-stream");
        server.reply("GET", "/gifts.js", 200, BenchPages::linkedScript(), "application/octet-stream");
    }
};

void WebPageLoad(benchmark::State& state)
{
    pf::TaskEnvironment env;
    PageServer pages;
    std::string address = pages.server.url("/page.html");
    for (auto _ : state) {
        auto webView = std::make_shared<pf::WebView>();
        auto bridge = pf::PageBridge::bridgeForWebView(webView, {}, [](const pf::Value&, const pf::PageBridge::ResponseCallback&) { });
        webView->loadRequest(pf::UrlRequest(address));
        if (!env.runUntil([&] { return bridge->isPageReady(); }, 10)) {
            state.SkipWithError("the page bridge did not become ready");
            break;
        }
        // The page's scripts ran: the last one leaves its mark.
        if (webView->evaluate("String(window.giftsReady)") != std::optional<std::string>("true")) {
            state.SkipWithError("the page's scripts did not all run");
            break;
        }
        webView.reset();
        bridge.reset();
        env.runUntilIdle();
    }
}

size_t collect(char* data, size_t size, size_t count, void* out)
{
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

bool fetch(CURL* curl, const std::string& address, std::string& body)
{
    body.clear();
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    // The codings the app's transport offers.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    return curl_easy_perform(curl) == CURLE_OK;
}

// The scripts of a parsed page in document order: inline text, or the src of a linked one.
void listScripts(GumboNode* node, std::vector<std::pair<bool, std::string>>& scripts)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return;
    if (node->v.element.tag == GUMBO_TAG_SCRIPT) {
        if (GumboAttribute* src = gumbo_get_attribute(&node->v.element.attributes, "src")) {
            scripts.emplace_back(true, src->value);
        } else if (node->v.element.children.length > 0) {
            auto* text = static_cast<GumboNode*>(node->v.element.children.data[0]);
            scripts.emplace_back(false, text->v.text.text);
        }
        return;
    }
    for (unsigned i = 0; i < node->v.element.children.length; ++i)
        listScripts(static_cast<GumboNode*>(node->v.element.children.data[i]), scripts);
}

void WebPageLoadFloor(benchmark::State& state)
{
    PageServer pages;
    std::string address = pages.server.url("/page.html");
    std::string scriptAddress = pages.server.url("/gifts.js");
    CURL* curl = curl_easy_init();
    std::string html, linked;
    for (auto _ : state) {
        if (!fetch(curl, address, html)) {
            state.SkipWithError("libcurl could not fetch the page");
            break;
        }
        GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
        std::vector<std::pair<bool, std::string>> scripts;
        listScripts(output->root, scripts);
        duk_context* ctx = duk_create_heap_default();
        duk_eval_string_noresult(ctx, "var window = this;");
        for (auto& [isLinked, text] : scripts) {
            if (isLinked) {
                if (!fetch(curl, scriptAddress, linked)) {
                    state.SkipWithError("libcurl could not fetch the script");
                    break;
                }
                text = linked;
            }
            if (duk_peval_lstring(ctx, text.data(), text.size()) != 0)
                state.SkipWithError("a page script failed in the bare heap");
            duk_pop(ctx);
        }
        duk_eval_string(ctx, "String(window.giftsReady)");
        if (std::string(duk_safe_to_string(ctx, -1)) != "true")
            state.SkipWithError("the page's scripts did not all run in the bare heap");
        duk_destroy_heap(ctx);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
    curl_easy_cleanup(curl);
}

}

BENCHMARK(WebPageLoad)->MinTime(0.1)->Unit(benchmark::kMillisecond);
BENCHMARK(WebPageLoadFloor)->MinTime(0.1)->Unit(benchmark::kMillisecond);
