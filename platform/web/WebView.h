#pragma once

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/View.h"
#include "platform/ui/WebContent.h"
#include "platform/web/HtmlParser.h"
#include "platform/web/ScriptContext.h"
#include "platform/web/WebViewDelegate.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// A view that shows a web page: real HTML (parsed by the standard's algorithm), the page's
// scripts in a script context of its own, a small document and window for them, and the
// owner's native functions. Nothing is painted; the driver reads the page's title and text.
//
// Rules:
// - Main thread only. Create it with std::make_shared; it starts on an empty page whose
//   context is ready for `evaluate`.
// - Loads: `loadRequest` (GET or POST, headers, body; cookies from the shared storage) and
//   `loadHtmlString`. The delegate is asked first; then start is reported, and finish or
//   failure. Redirects stay within http and https, are each put to the delegate, and never
//   carry the caller's "Authorization", "Proxy-Authorization" or "Cookie" header to another
//   scheme, host or port. A new load cancels the one under way, which fails with URL error
//   -999.
// - A document replaces the page only once it has arrived and parsed; the old page stays on a
//   failure. Then the scripts of the new page run in document order (linked ones fetched in
//   turn), then its load handlers, then finish is reported.
// - Navigations a page starts (location, links, forms) are put to the delegate on the main
//   loop after the script that started them. A navigation to a fragment of the shown
//   document only changes its address (a load under way goes on); a `javascript:` address
//   runs its script in the page after the script that asked, and loads nothing. Frame
//   navigations (an iframe's src set while attached, or an iframe attached with one) are put
//   to the delegate synchronously, during the script call, and never reported as loads; after
//   a yes the frame's onload runs later on the main loop (frames load no content).
// - With `setRefusesRemoteLoads(true)` no http or https document, redirect or linked script is
//   ever fetched; such a main-frame load fails with WebViewErrorDomain 103.
// - Limits: documents above 2 MB as received, with 100 000 elements or nested deeper than 256,
//   or whose parse outlasts the script budget, fail to load (WebViewErrorDomain 104); every
//   evaluation, script, handler and timer has a script time budget (`setScriptBudget`, 2 s by
//   default, native calls included) and the context a memory limit. What the page scheduled
//   itself (scripts, timers, frame and load handlers) takes at most one budget per pass of
//   the main loop; the rest waits for a later pass. A page keeps at most 500 live timers.
//   What a page makes the app print (console output, alerts, its scripts' errors, refused
//   timers and markup) is bounded per page (see PageLog).
// - Timers and frame load handlers use the main loop's clock; everything a page scheduled is
//   dropped when the page is replaced or the view destroyed.
class WebView : public View, public WebContent {
public:
    static constexpr const char* kErrorDomain = "WebViewErrorDomain";
    enum ErrorCode {
        CannotShowUrl = 101,
        FrameLoadInterrupted = 102,
        RemoteLoadRefused = 103,
        DocumentRefused = 104,
    };

    WebView();
    explicit WebView(const Rect& frame);
    ~WebView() override;

    std::shared_ptr<WebViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { m_delegate = std::move(delegate); }

    void loadRequest(UrlRequest request);
    // `baseUrl` is the document's address (links and scripts resolve against it); empty means
    // "about:blank".
    void loadHtmlString(std::string html, std::string baseUrl = {});
    void stopLoading();
    bool isLoading() const { return m_load != nullptr; }

    // The shown document's address and title.
    std::string url() const;
    std::string title() const;
    // Counts shown documents: it changes whenever a new page replaces the old one.
    std::uint64_t pageGeneration() const;

    // Runs `script` in the page; the completion value as text (see ScriptContext::Outcome),
    // "" when it throws (the error is logged). Nothing (nullopt) when there is no page
    // context. May be called from inside a native function of the same page.
    std::optional<std::string> evaluate(const std::string& script);
    // The same for a script of the owner's own that it runs in page after page (never text a
    // page supplied): its compiled form is kept for the process, keyed by the text and `name`
    // (see ScriptContext::evaluateKeepingCompiled).
    std::optional<std::string> evaluateKeepingCompiled(const std::string& script, const std::string& name);
    // The same for a call of the page's function at `path` (see ScriptContext::call), which
    // compiles nothing: what it returns, as text.
    std::optional<std::string> callFunction(const std::string& path, const std::vector<Value>& arguments);
    // Puts a native function on the page's global object, now and on every later page.
    void registerFunction(const std::string& name, ScriptContext::NativeFunction function);

    void setRefusesRemoteLoads(bool refuse) { m_refusesRemoteLoads = refuse; }
    bool refusesRemoteLoads() const { return m_refusesRemoteLoads; }
    void setScriptBudget(double seconds);
    // Writes a line about what the shown page did within the page's share of the log (see
    // PageLog): for owners that handle what a page sends them.
    void logForPage(std::string_view line) const;
    // The last texts the pages passed to alert() (16 at most, each cut to 64 KB), oldest first.
    const std::vector<std::string>& alerts() const { return m_alerts; }

    // WebContent
    std::vector<std::string> contentLines() const override;
    bool activateLink(const std::string& text) override;
    bool fillField(const std::string& field, const std::string& value) override;
    bool pressButton(const std::string& control) override;

    std::string dumpClassName() const override { return "WebView"; }
    void dumpAttributes(DumpAttributes& attributes) const override;

    static UrlError makeError(ErrorCode code, std::string description);

private:
    struct Page;
    struct Load;

    std::shared_ptr<WebView> keepAlive();
    Page* ensurePage() const;
    std::shared_ptr<Page> makePage(const std::string& url, std::shared_ptr<const DocumentTree> tree);
    void showPage(std::shared_ptr<Page> page);
    bool ask(const UrlRequest& request, WebNavigationType type);
    void startLoad(UrlRequest request, WebNavigationType type, std::optional<std::string> html, bool askFirst);
    void fetch(std::uint64_t loadId);
    void receiveDocument(std::uint64_t loadId, std::string html, std::string url);
    void runScripts(std::uint64_t loadId, std::shared_ptr<Page> page, std::vector<HtmlParser::Script> scripts, size_t index);
    void finishLoad(std::uint64_t loadId);
    void failLoad(std::uint64_t loadId, UrlError error);
    void navigateFromPage(Page& page, const std::string& address, WebNavigationType type);
    void submitFromPage(Page& page, const std::string& method, const std::string& action, const Value& pairs);
    bool frameNavigation(Page& page, int frameId, const std::string& address);
    RunLoop::TaskId scheduleTimer(Page& page, long long id, double delay, bool repeats);
    void fireTimer(std::uint64_t generation, long long id, bool repeats);
    bool hasTurnShare(const Page& page) const;
    void runForPage(Page& page, const std::function<void()>& run);
    Value callPage(const std::string& method, const std::vector<Value>& arguments) const;

    std::weak_ptr<WebViewDelegate> m_delegate;
    mutable std::shared_ptr<Page> m_page;
    std::vector<std::shared_ptr<Page>> m_retired;
    std::unique_ptr<Load> m_load;
    std::uint64_t m_nextLoadId { 1 };
    mutable std::uint64_t m_generation { 0 };
    bool m_refusesRemoteLoads { false };
    double m_budget { 2.0 };
    std::vector<std::pair<std::string, ScriptContext::NativeFunction>> m_functions;
    std::vector<std::string> m_alerts;
};

}
