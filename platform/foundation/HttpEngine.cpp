#include "platform/foundation/HttpEngine.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ProcessExit.h"
#include "platform/foundation/SignalStack.h"
#include "platform/foundation/TerminationSignal.h"
#include "platform/foundation/Url.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace pf {

namespace {

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool hasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}


UrlError errorFor(CURLcode code)
{
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return UrlError::make(UrlError::TimedOut);
    case CURLE_COULDNT_RESOLVE_HOST: return UrlError::make(UrlError::CannotFindHost);
    case CURLE_COULDNT_CONNECT: return UrlError::make(UrlError::CannotConnectToHost);
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return UrlError::make(UrlError::NetworkConnectionLost);
    case CURLE_UNSUPPORTED_PROTOCOL: return UrlError::make(UrlError::UnsupportedUrl);
    case CURLE_URL_MALFORMAT: return UrlError::make(UrlError::BadUrl);
    case CURLE_TOO_MANY_REDIRECTS: return UrlError::make(UrlError::TooManyRedirects);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
        return UrlError::make(UrlError::BadServerResponse);
    case CURLE_PEER_FAILED_VERIFICATION: return UrlError::make(UrlError::ServerCertificateUntrusted);
    case CURLE_SSL_CONNECT_ERROR: return UrlError::make(UrlError::SecureConnectionFailed);
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_WRITE_ERROR:
        return UrlError::make(UrlError::Cancelled);
    default: {
        UrlError e = UrlError::make(UrlError::Unknown);
        e.description = curl_easy_strerror(code);
        return e;
    }
    }
}

// Held while a sink runs and while `cancel` sets the flag, so that no sink is called once
// `cancel` has returned.
struct TransferControl {
    std::mutex sinkMutex;
    std::atomic<bool> cancelled { false };

    void markCancelled()
    {
        std::lock_guard lock(sinkMutex);
        cancelled = true;
    }
};

// One transfer's easy handle and what it collects. Used by both the multi worker and the
// blocking path.
struct Transfer {
    CURL* easy { nullptr };
    curl_slist* headerList { nullptr };
    UrlRequest request;
    bool handleCookies { true };

    // The reply being read: headers of the current response block.
    int status { 0 };
    std::vector<UrlResponse::Header> headers;
    std::vector<std::string> setCookies;
    bool responseSent { false };
    size_t received { 0 };
    bool tooLarge { false };

    HttpEngine::Sinks sinks;
    HttpEngine::Progress progress; // last counts handed to the progress sink
    std::optional<UrlError> setupError;
    // Shared with `cancel`, which must never own the easy handle: a handle of the multi is
    // cleaned up on the worker thread only.
    std::shared_ptr<TransferControl> control { std::make_shared<TransferControl>() };

    template<typename Call>
    void emit(Call&& call)
    {
        std::lock_guard lock(control->sinkMutex);
        if (!control->cancelled.load())
            call(sinks);
    }

    bool isCancelled() const { return control->cancelled.load(); }

    ~Transfer()
    {
        if (easy)
            curl_easy_cleanup(easy);
        if (headerList)
            curl_slist_free_all(headerList);
    }

    std::string currentUrl() const
    {
        char* url = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
        return url ? url : request.url();
    }

    UrlResponse makeResponse() const
    {
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        return UrlResponse(currentUrl(), static_cast<int>(code), headers);
    }

    void sendResponseOnce()
    {
        if (responseSent)
            return;
        responseSent = true;
        emit([&](HttpEngine::Sinks& s) { if (s.response) s.response(makeResponse()); });
    }

    static size_t onHeader(char* buffer, size_t size, size_t count, void* user)
    {
        auto* t = static_cast<Transfer*>(user);
        size_t length = size * count;
        std::string_view line(buffer, length);
        if (line.substr(0, 5) == "HTTP/") {
            // A new response block (after a redirect or an interim 1xx reply).
            t->headers.clear();
            t->setCookies.clear();
            return length;
        }
        std::string_view content = AsciiText::trimmed(line);
        if (content.empty()) {
            // End of a block: keep its cookies even when it is a redirect.
            if (t->handleCookies && !t->setCookies.empty())
                CookieStorage::shared().storeSetCookieHeaders(t->setCookies, t->currentUrl());
            t->setCookies.clear();
            return length;
        }
        size_t colon = content.find(':');
        if (colon == std::string_view::npos)
            return length;
        std::string name(AsciiText::trimmed(content.substr(0, colon)));
        std::string value(AsciiText::trimmed(content.substr(colon + 1)));
        if (equalsIgnoringCase(name, "Set-Cookie"))
            t->setCookies.push_back(value);
        t->headers.emplace_back(std::move(name), std::move(value));
        return length;
    }

    static size_t onData(char* buffer, size_t size, size_t count, void* user)
    {
        auto* t = static_cast<Transfer*>(user);
        size_t length = size * count;
        if (t->isCancelled())
            // Not aborted from here (the installed libcurl leaks a little on every transfer
            // aborted from a callback): `cancel` woke the worker, which removes it.
            return length;
        t->received += length;
        size_t limit = t->request.maximumResponseSize();
        if (limit > 0 && t->received > limit) {
            t->tooLarge = true;
            return CURL_WRITEFUNC_ERROR;
        }
        t->sendResponseOnce();
        if (length > 0)
            t->emit([&](HttpEngine::Sinks& s) {
                if (s.data)
                    s.data(Bytes(reinterpret_cast<const std::uint8_t*>(buffer), reinterpret_cast<const std::uint8_t*>(buffer) + length));
            });
        return length;
    }

    static int onProgress(void* user, curl_off_t toReceive, curl_off_t received, curl_off_t toSend, curl_off_t sent)
    {
        auto* t = static_cast<Transfer*>(user);
        // curl calls this about once a second even when nothing moves: only changes are told.
        HttpEngine::Progress now { sent, toSend, received, toReceive };
        if (t->isCancelled() || now == t->progress)
            return 0;
        t->progress = now;
        t->emit([&](HttpEngine::Sinks& s) { if (s.progress) s.progress(now); });
        return 0;
    }

    // curl need not call the progress function after the last bytes: the final counts are told
    // before the transfer ends.
    void reportFinalProgress()
    {
        if (!sinks.progress)
            return;
        curl_off_t sent = 0, received = 0, toReceive = -1;
        curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
        curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &toReceive);
        onProgress(this, toReceive < 0 ? 0 : toReceive, received, std::max<curl_off_t>(progress.toSend, sent), sent);
    }

    // Prepares the easy handle; an error when the request cannot be sent at all.
    std::optional<UrlError> configure(double timeout)
    {
        auto url = Url::fromString(request.url());
        if (!url)
            return UrlError::make(UrlError::BadUrl);
        if (!url->hasScheme("http") && !url->hasScheme("https"))
            return UrlError::make(UrlError::UnsupportedUrl);
        if (url->host().empty())
            return UrlError::make(UrlError::BadUrl);
        easy = curl_easy_init();
        if (!easy)
            return UrlError::make(UrlError::Unknown);

        curl_easy_setopt(easy, CURLOPT_URL, request.url().c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followsRedirects() ? 1L : 0L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        if (request.decodesContent())
            curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
        else
            curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
        auto ms = static_cast<long>(std::max(1.0, timeout * 1000.0));
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, ms);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, ms);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onData);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        if (sinks.progress) {
            curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
            curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
            curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        }

        std::string method = request.method().empty() ? "GET" : request.method();
        const Bytes& body = request.body();
        bool sendsBody = !body.empty() && method != "GET" && method != "HEAD";
        if (method == "HEAD") {
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        } else if (method == "POST" || sendsBody) {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
            if (method != "POST")
                curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        } else if (method != "GET") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        }

        bool hasCookieHeader = false;
        bool hasContentType = false;
        for (const auto& [name, value] : request.headers()) {
            if (name.empty() || hasLineBreakOrNul(name) || hasLineBreakOrNul(value) || name.find(':') != std::string::npos) {
                Log::format("URL loading: header \"%s\" not sent: it holds a line break or a colon", name.c_str());
                continue;
            }
            if (equalsIgnoringCase(name, "Content-Length"))
                continue; // the body's real length is sent
            hasCookieHeader = hasCookieHeader || equalsIgnoringCase(name, "Cookie");
            hasContentType = hasContentType || equalsIgnoringCase(name, "Content-Type");
            // "Name;" is how curl is told to send a header with an empty value.
            std::string line = value.empty() ? name + ";" : name + ": " + value;
            headerList = curl_slist_append(headerList, line.c_str());
        }
        if (sendsBody && !hasContentType)
            headerList = curl_slist_append(headerList, "Content-Type: application/x-www-form-urlencoded");
        headerList = curl_slist_append(headerList, "Expect:");
        handleCookies = request.shouldHandleCookies();
        if (handleCookies && !hasCookieHeader) {
            std::string cookies = CookieStorage::shared().cookieHeaderForUrl(request.url());
            if (!cookies.empty() && !hasLineBreakOrNul(cookies))
                headerList = curl_slist_append(headerList, ("Cookie: " + cookies).c_str());
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
        return std::nullopt;
    }
};

}

struct HttpEngine::Impl {
    CURLM* multi { nullptr };
    mutable std::mutex mutex;
    std::vector<std::pair<TransferId, std::shared_ptr<Transfer>>> incoming;
    std::vector<TransferId> cancels;
    std::map<TransferId, std::shared_ptr<TransferControl>> running; // every started transfer not yet ended (mutex)
    std::map<TransferId, std::shared_ptr<Transfer>> active; // worker only
    std::map<CURL*, TransferId> byHandle;                   // worker only
    std::atomic<size_t> count { 0 };
    TransferId nextId { 1 };
    std::thread worker;

    void run()
    {
        // At the process's end the loop is left between two calls into curl, which is never
        // touched again: the libraries under it are cleaned up next.
        while (!ProcessExit::isEnding()) {
            takeRequests();
            int stillRunning = 0;
            curl_multi_perform(multi, &stillRunning);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg != CURLMSG_DONE)
                    continue;
                auto it = byHandle.find(msg->easy_handle);
                if (it == byHandle.end())
                    continue;
                TransferId id = it->second;
                finish(id, msg->data.result);
            }
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }

    void takeRequests()
    {
        std::vector<std::pair<TransferId, std::shared_ptr<Transfer>>> fresh;
        std::vector<TransferId> cancelled;
        {
            std::lock_guard lock(mutex);
            fresh.swap(incoming);
            cancelled.swap(cancels);
        }
        for (auto& [id, transfer] : fresh) {
            if (transfer->setupError) {
                // A request that could not be set up fails like any other, from here.
                // Structured bindings cannot be captured by every compiler we build with: name a copy.
                const auto& failing = transfer;
                failing->emit([&failing](Sinks& s) { if (s.error) s.error(*failing->setupError); });
                forget(id);
                continue;
            }
            active.emplace(id, transfer);
            byHandle.emplace(transfer->easy, id);
            curl_multi_add_handle(multi, transfer->easy);
        }
        for (TransferId id : cancelled)
            drop(id);
    }

    void drop(TransferId id)
    {
        auto it = active.find(id);
        if (it == active.end())
            return;
        curl_multi_remove_handle(multi, it->second->easy);
        byHandle.erase(it->second->easy);
        active.erase(it);
        forget(id);
    }

    void forget(TransferId id)
    {
        std::lock_guard lock(mutex);
        if (running.erase(id))
            --count;
    }

    void finish(TransferId id, CURLcode code)
    {
        // The last sink runs before the transfer is forgotten, so a `cancel` that finds it
        // no longer running comes after every sink call.
        auto transfer = active.at(id);
        if (code == CURLE_OK) {
            transfer->sendResponseOnce();
            transfer->reportFinalProgress();
            transfer->emit([](Sinks& s) { if (s.finish) s.finish(); });
        } else {
            UrlError error = transfer->tooLarge ? UrlError::make(UrlError::DataLengthExceedsMaximum) : errorFor(code);
            transfer->emit([&](Sinks& s) { if (s.error) s.error(error); });
        }
        drop(id);
    }
};

HttpEngine& HttpEngine::shared()
{
    static HttpEngine* engine = new HttpEngine(); // its thread serves until the process ends
    return *engine;
}

HttpEngine::HttpEngine()
    : m_impl(std::make_unique<Impl>())
{
    ProcessExit::install();
    initialiseCurl();
    m_impl->multi = curl_multi_init();
    curl_multi_setopt(m_impl->multi, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
    // The worker's loop is work until the worker has left it at the end.
    bool counted = ProcessExit::beginWork();
    ProcessExit::addWaker([multi = m_impl->multi] { curl_multi_wakeup(multi); });
    m_impl->worker = std::thread([impl = m_impl.get(), counted] {
        SignalStack signalStack;
        TerminationSignal::keepOffThisThread(); // the resolver's threads it starts inherit that
        impl->run();
        if (counted)
            ProcessExit::endWork();
    });
    m_impl->worker.detach();
}

HttpEngine::TransferId HttpEngine::start(const UrlRequest& request, Sinks sinks)
{
    auto transfer = std::make_shared<Transfer>();
    transfer->request = request;
    transfer->sinks = std::move(sinks);
    TransferId id;
    {
        std::lock_guard lock(m_impl->mutex);
        id = m_impl->nextId++;
    }
    transfer->setupError = transfer->configure(request.timeout());
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->running.emplace(id, transfer->control);
        m_impl->incoming.emplace_back(id, std::move(transfer));
        ++m_impl->count;
    }
    curl_multi_wakeup(m_impl->multi);
    return id;
}

void HttpEngine::cancel(TransferId id)
{
    std::shared_ptr<TransferControl> control;
    std::shared_ptr<Transfer> unstarted; // never added to the multi: may be cleaned up here
    {
        std::lock_guard lock(m_impl->mutex);
        auto found = m_impl->running.find(id);
        if (found == m_impl->running.end())
            return; // ended already
        control = found->second;
        auto it = std::find_if(m_impl->incoming.begin(), m_impl->incoming.end(), [id](const auto& p) { return p.first == id; });
        if (it != m_impl->incoming.end()) {
            unstarted = std::move(it->second);
            m_impl->incoming.erase(it);
            m_impl->running.erase(found);
            --m_impl->count;
        } else {
            m_impl->cancels.push_back(id);
        }
    }
    // A running transfer stops at its next read or progress beat; its sinks are silent from
    // here on (a sink call under way finishes first).
    control->markCancelled();
    curl_multi_wakeup(m_impl->multi);
}

size_t HttpEngine::activeTransfers() const
{
    return m_impl->count.load();
}

HttpEngine::Result HttpEngine::perform(const UrlRequest& request, double timeout)
{
    initialiseCurl();
    Result result;
    Transfer transfer;
    transfer.request = request;
    transfer.sinks.response = [&](UrlResponse r) { result.response = std::move(r); };
    transfer.sinks.data = [&](Bytes b) { result.data.insert(result.data.end(), b.begin(), b.end()); };
    if (auto error = transfer.configure(timeout > 0 ? timeout : request.timeout())) {
        result.error = *error;
        return result;
    }
    CURLcode code = curl_easy_perform(transfer.easy);
    if (code == CURLE_OK)
        transfer.sendResponseOnce();
    else
        result.error = transfer.tooLarge ? UrlError::make(UrlError::DataLengthExceedsMaximum) : errorFor(code);
    return result;
}

}
