#include "platform/web/WebView.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Url.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/web/DomPrelude.h"
#include "platform/web/PageLog.h"
#include "platform/web/ScriptText.h"
#include "platform/web/WebAddress.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>

#include <iconv.h>

namespace pf {

namespace {
    constexpr int kMaxRedirects = 10;
    constexpr size_t kMaxTimers = 500;
    constexpr size_t kMaxAlerts = 16;
    constexpr size_t kMaxAlertBytes = 64u << 10;
    // GB18030 text grows by half at most in UTF-8, an undecodable byte becomes three.
    constexpr size_t kMaxConvertedBytes = 3 * HtmlParser::kMaxBytes;
    const char* kBlankPage = "<!DOCTYPE html><html><head></head><body></body></html>";

    std::string asText(const Value& v) { return v.asString() ? *v.asString() : v.stringValue(); }

    std::string lowered(std::string s)
    {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }

    // The charset a document declares near its start (<meta charset> or http-equiv).
    std::string declaredCharset(const std::string& html)
    {
        std::string head = lowered(html.substr(0, 2048));
        size_t at = head.find("charset=");
        if (at == std::string::npos)
            return {};
        size_t start = at + 8;
        while (start < head.size() && (head[start] == '"' || head[start] == '\''))
            ++start;
        size_t end = start;
        while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' || head[end] == '_'))
            ++end;
        return head.substr(start, end - start);
    }

    // Pages of the Chinese web often come in GBK: turn them into UTF-8. Other charsets, and
    // text that does not convert, are taken as UTF-8 (bad bytes become U+FFFD later).
    std::string toUtf8(std::string body, std::string charset)
    {
        if (charset.empty())
            charset = declaredCharset(body);
        charset = lowered(charset);
        if (charset != "gbk" && charset != "gb2312" && charset != "gb18030")
            return body;
        iconv_t cd = iconv_open("UTF-8", "GB18030");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return body;
        std::string out(body.size() * 2 + 16, '\0');
        char* in = body.data();
        size_t inLeft = body.size();
        char* dst = out.data();
        size_t outLeft = out.size();
        while (inLeft > 0) {
            if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG) {
                size_t used = static_cast<size_t>(dst - out.data());
                out.resize(out.size() * 2);
                dst = out.data() + used;
                outLeft = out.size() - used;
            } else {
                // An invalid sequence: keep a replacement character and skip a byte.
                if (outLeft < 3) {
                    size_t used = static_cast<size_t>(dst - out.data());
                    out.resize(out.size() * 2);
                    dst = out.data() + used;
                    outLeft = out.size() - used;
                }
                std::memcpy(dst, "\xEF\xBF\xBD", 3);
                dst += 3;
                outLeft -= 3;
                ++in;
                --inLeft;
            }
        }
        iconv_close(cd);
        out.resize(static_cast<size_t>(dst - out.data()));
        return out;
    }
}

struct WebView::Page {
    std::string url;
    std::uint64_t generation { 0 };
    // Read by the script side as it reaches nodes: it goes after the context that reads it.
    std::shared_ptr<const DocumentTree> tree;
    // What the page makes the app print; it outlives the context whose lines it takes.
    std::unique_ptr<PageLog> log;
    std::unique_ptr<ScriptContext> context;
    bool ready { false };
    std::map<long long, RunLoop::TaskId> timers;

    ~Page()
    {
        RunLoop::main().cancelAll(this);
    }
};

struct WebView::Load {
    std::uint64_t id { 0 };
    UrlRequest request;
    WebNavigationType type { WebNavigationType::Other };
    std::optional<std::string> html;
    bool fromString { false };
    int redirects { 0 };
    std::shared_ptr<UrlConnection> connection;
    std::shared_ptr<UrlConnection> scriptConnection;
};

WebView::WebView() = default;

WebView::WebView(const Rect& frame)
    : View(frame)
{
}

WebView::~WebView()
{
    if (m_load) {
        if (m_load->connection)
            m_load->connection->cancel();
        if (m_load->scriptConnection)
            m_load->scriptConnection->cancel();
    }
}

UrlError WebView::makeError(ErrorCode code, std::string description)
{
    UrlError error;
    error.domain = kErrorDomain;
    error.code = code;
    error.description = std::move(description);
    return error;
}

std::shared_ptr<WebView> WebView::keepAlive()
{
    return std::static_pointer_cast<WebView>(weak_from_this().lock());
}

// --- pages ---

std::shared_ptr<WebView::Page> WebView::makePage(const std::string& url, std::shared_ptr<const DocumentTree> tree)
{
    auto page = std::make_shared<Page>();
    page->url = url;
    page->tree = std::move(tree);
    page->generation = ++m_generation;
    page->log = std::make_unique<PageLog>(url);
    page->context = ScriptContext::create(ScriptContext::Limits { m_budget, 64u << 20, m_budget });
    if (!page->context)
        return page;
    PageLog* log = page->log.get();
    page->context->setLogSink([log](std::string_view line) { log->line(line); });
    Page* p = page.get();
    WebView* view = this;
    using Args = std::vector<Value>;
    std::vector<std::pair<std::string, ScriptContext::NativeFunction>> natives = {
        { "log",
            [log](const Args& a) {
                log->line("web page: " + (a.empty() ? std::string() : std::string(PageLog::cut(asText(a[0]), PageLog::kMaxLineBytes))));
                return Value();
            } },
        { "alert",
            [view, log](const Args& a) {
                std::string t = a.empty() ? std::string() : asText(a[0]);
                if (t.size() > kMaxAlertBytes)
                    t.resize(kMaxAlertBytes);
                auto& alerts = view->m_alerts;
                if (alerts.size() >= kMaxAlerts)
                    alerts.erase(alerts.begin());
                alerts.push_back(t);
                log->line("web page alert: " + std::string(PageLog::cut(t, PageLog::kMaxLineBytes)));
                return Value();
            } },
        { "documentUrl", [p](const Args&) { return Value(p->url); } },
        { "navigate",
            [view, p](const Args& a) {
                std::string kind = a.size() > 1 ? asText(a[1]) : "other";
                auto type = kind == "link" ? WebNavigationType::LinkClicked : kind == "reload" ? WebNavigationType::Reload : WebNavigationType::Other;
                view->navigateFromPage(*p, a.empty() ? std::string() : asText(a[0]), type);
                return Value();
            } },
        { "submit",
            [view, p](const Args& a) {
                view->submitFromPage(*p, a.size() > 0 ? asText(a[0]) : "get", a.size() > 1 ? asText(a[1]) : "", a.size() > 2 ? a[2] : Value());
                return Value();
            } },
        { "frameNavigate",
            [view, p](const Args& a) { return Value(view->frameNavigation(*p, a.empty() ? 0 : a[0].intValue(), a.size() > 1 ? asText(a[1]) : "")); } },
        { "setTimer",
            [view, p](const Args& a) {
                long long id = a.empty() ? 0 : a[0].longValue();
                double ms = a.size() > 1 ? a[1].doubleValue() : 0;
                bool repeats = a.size() > 2 && a[2].boolValue();
                if (!p->timers.count(id) && p->timers.size() >= kMaxTimers) {
                    p->log->timerRefused(kMaxTimers);
                    return Value(false);
                }
                double delay = std::isfinite(ms) ? std::max(0.0, ms) / 1000.0 : 0;
                if (repeats)
                    delay = std::max(delay, 0.004); // a zero interval would spin the loop
                p->timers[id] = view->scheduleTimer(*p, id, delay, repeats);
                return Value(true);
            } },
        { "clearTimer",
            [p](const Args& a) {
                auto it = p->timers.find(a.empty() ? 0 : a[0].longValue());
                if (it != p->timers.end()) {
                    RunLoop::main().cancel(it->second);
                    p->timers.erase(it);
                }
                return Value();
            } },
        { "parseFragment",
            [p](const Args& a) {
                // Parsed within what the calling script has left of its budget.
                auto result = HtmlParser::parseFragment(a.empty() ? std::string() : asText(a[0]), p->context->remainingBudget());
                if (!result.ok) {
                    p->log->line("web page: markup refused: " + result.error);
                    return Value();
                }
                return Value(result.treeJson);
            } },
    };
    if (!page->context->installInternal(DomPrelude::source(), natives)) {
        page->context.reset();
        return page;
    }
    const DocumentTree* document = page->tree.get();
    ScriptContext::Outcome built;
    if (document)
        built = page->context->callInternalToSetUp("adopt", [document](duk_hthread* ctx) { document->pushHandle(ctx); });
    else
        built.error = "there is no document";
    if (!built.ok)
        page->log->line("web view: the document could not be built: " + built.error);
    for (const auto& [name, function] : m_functions)
        page->context->registerFunction(name, function);
    page->ready = true;
    return page;
}

RunLoop::TaskId WebView::scheduleTimer(Page& page, long long id, double delay, bool repeats)
{
    std::weak_ptr<WebView> weak = keepAlive();
    std::uint64_t generation = page.generation;
    auto fire = [weak, generation, id, repeats]() {
        if (auto self = weak.lock())
            self->fireTimer(generation, id, repeats);
    };
    return repeats ? RunLoop::main().postRepeating(delay, fire, &page) : RunLoop::main().postDelayed(delay, fire, &page);
}

void WebView::fireTimer(std::uint64_t generation, long long id, bool repeats)
{
    if (!m_page || m_page->generation != generation)
        return;
    auto keep = m_page;
    auto it = keep->timers.find(id);
    if (it == keep->timers.end())
        return;
    if (!hasTurnShare(*keep)) {
        // The page has had its share of this pass: a one-shot timer waits for a later one, a
        // repeating one misses this beat.
        if (!repeats)
            it->second = scheduleTimer(*keep, id, 0, false);
        return;
    }
    if (!repeats)
        keep->timers.erase(it);
    runForPage(*keep, [&] { keep->context->callInternal("timer", { Value(id) }); });
}

bool WebView::hasTurnShare(const Page& page) const
{
    return page.context && page.context->turnShareLeft() > 0;
}

void WebView::runForPage(Page& page, const std::function<void()>& run)
{
    // What the page scheduled itself takes no more than its share of the pass has left.
    page.context->setBudget(std::min(m_budget, page.context->turnShareLeft()));
    run();
    if (page.context)
        page.context->setBudget(m_budget);
}

void WebView::showPage(std::shared_ptr<Page> page)
{
    if (m_page) {
        RunLoop::main().cancelAll(m_page.get());
        // The old page may be running right now (a native call that spun the loop): keep it
        // until the loop comes round again.
        m_retired.push_back(std::move(m_page));
        std::weak_ptr<WebView> weak = keepAlive();
        RunLoop::main().post([weak]() {
            if (auto self = weak.lock()) {
                auto& retired = self->m_retired;
                retired.erase(std::remove_if(retired.begin(), retired.end(),
                                  [](const std::shared_ptr<Page>& p) { return !p->context || p->context->depth() == 0; }),
                    retired.end());
            }
        });
    }
    m_page = std::move(page);
}

WebView::Page* WebView::ensurePage() const
{
    if (!m_page) {
        auto self = const_cast<WebView*>(this);
        // Every blank page reads the same tree (trees are never changed).
        static const std::shared_ptr<const DocumentTree> blank = HtmlParser::parseDocument(kBlankPage).tree;
        self->showPage(self->makePage("about:blank", blank));
    }
    return m_page.get();
}

Value WebView::callPage(const std::string& method, const std::vector<Value>& arguments) const
{
    auto self = const_cast<WebView*>(this)->keepAlive();
    Page* page = ensurePage();
    if (!page->context)
        return Value();
    auto keep = m_page;
    auto outcome = page->context->callInternal(method, arguments);
    return outcome.ok ? outcome.value : Value();
}

std::string WebView::url() const
{
    return m_page ? m_page->url : "about:blank";
}

std::string WebView::title() const
{
    return asText(callPage("title", {}));
}

std::uint64_t WebView::pageGeneration() const
{
    ensurePage();
    return m_page->generation;
}

std::optional<std::string> WebView::evaluate(const std::string& script)
{
    auto self = keepAlive();
    Page* page = ensurePage();
    if (!page->context)
        return std::nullopt;
    auto keep = m_page;
    return page->context->evaluate(script, "evaluated script").text;
}

std::optional<std::string> WebView::evaluateKeepingCompiled(const std::string& script, const std::string& name)
{
    auto self = keepAlive();
    Page* page = ensurePage();
    if (!page->context)
        return std::nullopt;
    auto keep = m_page;
    return page->context->evaluateKeepingCompiled(script, name).text;
}

std::optional<std::string> WebView::callFunction(const std::string& path, const std::vector<Value>& arguments)
{
    auto self = keepAlive();
    Page* page = ensurePage();
    if (!page->context)
        return std::nullopt;
    auto keep = m_page;
    // Text goes in as valid UTF-8, as it would through a script's source.
    std::vector<Value> values = arguments;
    for (Value& v : values) {
        if (const std::string* text = v.asString())
            v = Value(ScriptText::validUtf8(*text));
    }
    return page->context->call(path, values).text;
}

void WebView::registerFunction(const std::string& name, ScriptContext::NativeFunction function)
{
    auto it = std::find_if(m_functions.begin(), m_functions.end(), [&](const auto& f) { return f.first == name; });
    if (it != m_functions.end())
        it->second = function;
    else
        m_functions.emplace_back(name, function);
    Page* page = ensurePage();
    if (page->context)
        page->context->registerFunction(name, std::move(function));
}

void WebView::setScriptBudget(double seconds)
{
    m_budget = seconds;
    if (m_page && m_page->context)
        m_page->context->setBudget(seconds);
}

void WebView::logForPage(std::string_view line) const
{
    Page* page = ensurePage();
    if (page->log)
        page->log->line(line);
}

// --- navigation ---

bool WebView::ask(const UrlRequest& request, WebNavigationType type)
{
    auto d = delegate();
    return !d || d->webViewShouldStartLoadWithRequestNavigationType(*this, request, type);
}

void WebView::loadRequest(UrlRequest request)
{
    startLoad(std::move(request), WebNavigationType::Other, std::nullopt, true);
}

void WebView::loadHtmlString(std::string html, std::string baseUrl)
{
    UrlRequest request(baseUrl.empty() ? "about:blank" : baseUrl);
    startLoad(std::move(request), WebNavigationType::Other, std::move(html), true);
}

void WebView::stopLoading()
{
    if (!m_load)
        return;
    failLoad(m_load->id, UrlError::make(UrlError::Cancelled));
}

void WebView::startLoad(UrlRequest request, WebNavigationType type, std::optional<std::string> html, bool askFirst)
{
    auto self = keepAlive();
    if (askFirst && !ask(request, type))
        return;
    if (m_load)
        failLoad(m_load->id, UrlError::make(UrlError::Cancelled));
    auto load = std::make_unique<Load>();
    load->id = m_nextLoadId++;
    load->request = std::move(request);
    load->type = type;
    load->fromString = html.has_value();
    load->html = std::move(html);
    std::uint64_t id = load->id;
    m_load = std::move(load);
    std::weak_ptr<WebView> weak = self;
    RunLoop::main().post([weak, id]() {
        auto view = weak.lock();
        if (!view || !view->m_load || view->m_load->id != id)
            return;
        if (auto d = view->delegate())
            d->webViewDidStartLoad(*view);
        if (!view->m_load || view->m_load->id != id)
            return;
        view->fetch(id);
    });
}

void WebView::fetch(std::uint64_t loadId)
{
    Load& load = *m_load;
    if (load.html) {
        std::string html = std::move(*load.html);
        load.html.reset();
        receiveDocument(loadId, std::move(html), load.request.url());
        return;
    }
    const std::string& address = load.request.url();
    std::string scheme = WebAddress::scheme(address);
    if (scheme == "about") {
        receiveDocument(loadId, kBlankPage, address);
        return;
    }
    if (scheme != "http" && scheme != "https") {
        failLoad(loadId, UrlError::make(UrlError::UnsupportedUrl));
        return;
    }
    if (m_refusesRemoteLoads) {
        failLoad(loadId, makeError(RemoteLoadRefused, "this web view loads no remote documents"));
        return;
    }
    UrlRequest request = load.request;
    request.setFollowsRedirects(false);
    request.setMaximumResponseSize(HtmlParser::kMaxBytes);
    auto connection = UrlConnection::create(request);
    auto body = std::make_shared<std::string>();
    auto response = std::make_shared<UrlResponse>();
    std::weak_ptr<WebView> weak = keepAlive();
    connection->didReceiveResponse = [weak, loadId, response](const UrlResponse& r) {
        *response = r;
        auto view = weak.lock();
        if (!view || !view->m_load || view->m_load->id != loadId)
            return;
        int status = r.statusCode();
        auto location = r.valueForHeader("Location");
        if (status < 300 || status > 399 || status == 304 || !location)
            return;
        Load& load = *view->m_load;
        load.connection->cancel();
        load.connection.reset();
        std::string next = WebAddress::resolve(load.request.url(), *location);
        if (!WebAddress::isRemote(next)) {
            view->failLoad(loadId, UrlError::make(UrlError::UnsupportedUrl));
            return;
        }
        if (++load.redirects > kMaxRedirects) {
            view->failLoad(loadId, UrlError::make(UrlError::TooManyRedirects));
            return;
        }
        UrlRequest redirected = load.request;
        redirected.setUrl(next);
        if (!WebAddress::sameOrigin(load.request.url(), next)) {
            // Credentials the caller set are for the first server only.
            for (const char* header : { "Authorization", "Proxy-Authorization", "Cookie" })
                redirected.removeHeader(header);
        }
        if (status == 303 || ((status == 301 || status == 302) && redirected.method() == "POST")) {
            redirected.setMethod("GET");
            redirected.setBody(Bytes {});
            redirected.removeHeader("Content-Type");
        }
        if (!view->ask(redirected, WebNavigationType::Other)) {
            if (view->m_load && view->m_load->id == loadId)
                view->failLoad(loadId, makeError(FrameLoadInterrupted, "the redirect was refused"));
            return;
        }
        if (!view->m_load || view->m_load->id != loadId)
            return;
        view->m_load->request = std::move(redirected);
        view->fetch(loadId);
    };
    connection->didReceiveData = [body](const Bytes& data) { body->append(data.begin(), data.end()); };
    connection->didFinishLoading = [weak, loadId, body, response]() {
        auto view = weak.lock();
        if (!view || !view->m_load || view->m_load->id != loadId)
            return;
        view->m_load->connection.reset();
        std::string address = response->url().empty() ? view->m_load->request.url() : response->url();
        // The size limit is on the bytes received; converted text may be longer.
        if (body->size() > HtmlParser::kMaxBytes) {
            view->failLoad(loadId, makeError(DocumentRefused, "the document is larger than " + std::to_string(HtmlParser::kMaxBytes) + " bytes"));
            return;
        }
        view->receiveDocument(loadId, toUtf8(std::move(*body), response->textEncodingName()), address);
    };
    connection->didFailWithError = [weak, loadId](const UrlError& error) {
        auto view = weak.lock();
        if (view && view->m_load && view->m_load->id == loadId)
            view->failLoad(loadId, error);
    };
    load.connection = connection;
    connection->start();
}

void WebView::receiveDocument(std::uint64_t loadId, std::string html, std::string url)
{
    // A fetched document was held to the limit as received; a string the app passed is held
    // to it here.
    const bool fetched = !m_load || !m_load->fromString;
    auto parsed = HtmlParser::parseDocument(html, m_budget, fetched ? kMaxConvertedBytes : HtmlParser::kMaxBytes);
    if (!parsed.ok) {
        Log::line("web view: document at " + url + " refused: " + parsed.error);
        failLoad(loadId, makeError(DocumentRefused, parsed.error));
        return;
    }
    auto page = makePage(url, std::move(parsed.tree));
    if (!page->context) {
        // Without a script context the page can run nothing; the load ends here rather than
        // waiting for scripts that will never run.
        Log::line("web view: document at " + url + " refused: its page could not be set up");
        failLoad(loadId, makeError(DocumentRefused, "the page could not be set up"));
        return;
    }
    showPage(page);
    runScripts(loadId, page, std::move(parsed.scripts), 0);
}

void WebView::runScripts(std::uint64_t loadId, std::shared_ptr<Page> page, std::vector<HtmlParser::Script> scripts, size_t index)
{
    auto self = keepAlive();
    for (; index < scripts.size(); ++index) {
        if (!m_load || m_load->id != loadId || m_page != page || !page->context)
            return;
        const auto& script = scripts[index];
        std::string name = "script " + std::to_string(index + 1) + " of " + page->url;
        if (!hasTurnShare(*page)) {
            // The page has had its share of this pass: the rest of its scripts run later.
            std::weak_ptr<WebView> weak = self;
            RunLoop::main().post([weak, loadId, page, scripts, index]() {
                if (auto view = weak.lock())
                    view->runScripts(loadId, page, scripts, index);
            });
            return;
        }
        if (!script.linked) {
            runForPage(*page, [&] { page->context->evaluate(script.text, name); });
            continue;
        }
        std::string address = WebAddress::resolve(page->url, script.text);
        if (!WebAddress::isRemote(address) || m_refusesRemoteLoads) {
            page->log->line("web view: script " + address + " not loaded: " + (m_refusesRemoteLoads ? "remote loads are refused" : "not an http address"));
            continue;
        }
        UrlRequest request(address);
        request.setMaximumResponseSize(HtmlParser::kMaxBytes);
        auto connection = UrlConnection::create(request);
        auto body = std::make_shared<std::string>();
        auto status = std::make_shared<int>(0);
        std::weak_ptr<WebView> weak = self;
        auto next = [weak, loadId, page, scripts, index, body, status, address](bool ok) {
            auto view = weak.lock();
            if (!view || !view->m_load || view->m_load->id != loadId)
                return;
            view->m_load->scriptConnection.reset();
            auto rest = scripts;
            if (ok && *status >= 200 && *status < 300) {
                rest[index].linked = false;
                rest[index].text = std::move(*body);
                view->runScripts(loadId, page, std::move(rest), index);
            } else {
                page->log->line("web view: script " + address + " not loaded");
                view->runScripts(loadId, page, std::move(rest), index + 1);
            }
        };
        connection->didReceiveResponse = [status](const UrlResponse& r) { *status = r.statusCode(); };
        connection->didReceiveData = [body](const Bytes& data) { body->append(data.begin(), data.end()); };
        connection->didFinishLoading = [next]() { next(true); };
        connection->didFailWithError = [next](const UrlError&) { next(false); };
        m_load->scriptConnection = connection;
        connection->start();
        return;
    }
    if (!m_load || m_load->id != loadId || m_page != page)
        return;
    if (page->context)
        runForPage(*page, [&] { page->context->callInternal("loaded", {}); });
    finishLoad(loadId);
}

void WebView::finishLoad(std::uint64_t loadId)
{
    if (!m_load || m_load->id != loadId)
        return;
    m_load.reset();
    if (auto d = delegate())
        d->webViewDidFinishLoad(*this);
}

void WebView::failLoad(std::uint64_t loadId, UrlError error)
{
    if (!m_load || m_load->id != loadId)
        return;
    if (m_load->connection)
        m_load->connection->cancel();
    if (m_load->scriptConnection)
        m_load->scriptConnection->cancel();
    m_load.reset();
    if (auto d = delegate())
        d->webViewDidFailLoadWithError(*this, error);
}

void WebView::navigateFromPage(Page& page, const std::string& address, WebNavigationType type)
{
    std::string target = WebAddress::resolve(page.url, address);
    std::weak_ptr<WebView> weak = keepAlive();
    std::uint64_t generation = page.generation;
    if (WebAddress::scheme(target) == "javascript") {
        // The address is a script for this page: it runs there (after the script that asked)
        // and loads nothing, so a load under way goes on.
        std::string source = Url::unescape(std::string_view(target).substr(target.find(':') + 1)).value_or(target.substr(target.find(':') + 1));
        RunLoop::main().post([weak, generation, source]() {
            auto view = weak.lock();
            if (!view || !view->m_page || view->m_page->generation != generation || !view->m_page->context)
                return;
            auto keep = view->m_page;
            view->runForPage(*keep, [&] { keep->context->evaluate(source, "javascript: address"); });
        });
        return;
    }
    auto withoutFragment = [](const std::string& a) { return a.substr(0, a.find('#')); };
    if (type != WebNavigationType::Reload && target.find('#') != std::string::npos && withoutFragment(target) == withoutFragment(page.url)) {
        // A fragment of the document shown: the page stays, and so does a load under way (a
        // form that a "#" link submitted).
        page.url = target;
        return;
    }
    // The navigation starts after the script that asked for it.
    RunLoop::main().post([weak, generation, target, type]() {
        auto view = weak.lock();
        if (!view || !view->m_page || view->m_page->generation != generation)
            return;
        view->startLoad(UrlRequest(target), type, std::nullopt, true);
    });
}

void WebView::submitFromPage(Page& page, const std::string& method, const std::string& action, const Value& pairs)
{
    std::string target = WebAddress::resolve(page.url, action.empty() ? page.url : action);
    std::string encoded;
    if (const Array* list = pairs.asArray()) {
        for (const Value& pair : *list) {
            if (!encoded.empty())
                encoded += '&';
            encoded += WebAddress::formEncode(asText(pair[size_t(0)])) + "=" + WebAddress::formEncode(asText(pair[size_t(1)]));
        }
    }
    UrlRequest request;
    if (method == "post") {
        request.setUrl(target);
        request.setMethod("POST");
        request.setValue("application/x-www-form-urlencoded", "Content-Type");
        request.setBody(std::string_view(encoded));
    } else {
        size_t cut = target.find_first_of("?#");
        request.setUrl(target.substr(0, cut) + "?" + encoded);
    }
    std::weak_ptr<WebView> weak = keepAlive();
    std::uint64_t generation = page.generation;
    RunLoop::main().post([weak, generation, request]() {
        auto view = weak.lock();
        if (!view || !view->m_page || view->m_page->generation != generation)
            return;
        view->startLoad(request, WebNavigationType::FormSubmitted, std::nullopt, true);
    });
}

bool WebView::frameNavigation(Page& page, int frameId, const std::string& address)
{
    UrlRequest request(WebAddress::resolve(page.url, address));
    if (!ask(request, WebNavigationType::Other))
        return false;
    // Frames load nothing; their load handler runs once the loop comes round.
    std::weak_ptr<WebView> weak = keepAlive();
    std::uint64_t generation = page.generation;
    RunLoop::main().postDelayed(
        0,
        [weak, generation, frameId]() {
            auto view = weak.lock();
            if (view && view->m_page && view->m_page->generation == generation) {
                auto keep = view->m_page;
                if (keep->context)
                    view->runForPage(*keep, [&] { keep->context->callInternal("frameLoaded", { Value(frameId) }); });
            }
        },
        &page);
    return true;
}

// --- what a person sees and does ---

std::vector<std::string> WebView::contentLines() const
{
    std::vector<std::string> lines;
    Value v = callPage("lines", {});
    if (const Array* list = v.asArray())
        for (const Value& line : *list)
            lines.push_back(asText(line));
    return lines;
}

bool WebView::activateLink(const std::string& linkText)
{
    return callPage("tapLink", { Value(linkText) }).boolValue();
}

bool WebView::fillField(const std::string& field, const std::string& value)
{
    return callPage("fill", { Value(field), Value(value) }).boolValue();
}

bool WebView::pressButton(const std::string& control)
{
    return callPage("press", { Value(control) }).boolValue();
}

void WebView::dumpAttributes(DumpAttributes& attributes) const
{
    View::dumpAttributes(attributes);
    std::string t = title();
    if (!t.empty())
        attributes.text("title", t);
    if (isLoading())
        attributes.flag("loading");
}

}
