#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/HttpEngine.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace pf;

namespace {

// What a connection reported, in order.
struct Recorder {
    std::vector<std::string> events;
    std::optional<UrlResponse> response;
    std::string body;
    std::optional<UrlError> error;
    bool onMainThread { true };

    bool done() const { return !events.empty() && (events.back() == "finish" || events.back() == "fail"); }

    std::shared_ptr<UrlConnection> start(UrlRequest request)
    {
        auto c = UrlConnection::create(std::move(request));
        c->didReceiveResponse = [this](const UrlResponse& r) { note("response"); response = r; };
        c->didReceiveData = [this](const Bytes& d) { note("data"); body.append(d.begin(), d.end()); };
        c->didFinishLoading = [this] { note("finish"); };
        c->didFailWithError = [this](const UrlError& e) { note("fail"); error = e; };
        c->start();
        return c;
    }

    void note(std::string event)
    {
        onMainThread = onMainThread && RunLoop::main().isMainThread();
        if (event == "data" && !events.empty() && events.back() == "data")
            return; // data may come in any number of pieces
        events.push_back(std::move(event));
    }
};

int unusedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

}

TEST(UrlConnection, SuccessArrivesOnTheMainLoopInOrderAndCountsAsPendingWork)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.on("GET", "/ka/list", [](const TestHttpServer::Request&) {
        TestHttpServer::Response r;
        r.body = R"({"ret":0,"body":[]})";
        r.contentType = "application/json; charset=utf-8";
        r.headers = { { "X-One", "1" } };
        return r;
    });
    Recorder rec;
    auto connection = rec.start(UrlRequest(server.url("/ka/list?page=1")));
    EXPECT_TRUE(connection->isLoading());
    EXPECT_EQ(RunLoop::main().pendingWork(), 1);
    EXPECT_TRUE(rec.events.empty()); // never called back from inside start()

    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(rec.events, (std::vector<std::string> { "response", "data", "finish" }));
    EXPECT_TRUE(rec.onMainThread);
    EXPECT_EQ(rec.response->statusCode(), 200);
    EXPECT_EQ(rec.response->mimeType(), "application/json");
    EXPECT_EQ(rec.response->textEncodingName(), "utf-8");
    EXPECT_EQ(rec.response->valueForHeader("x-one"), "1");
    EXPECT_EQ(rec.response->expectedContentLength(), 19);
    EXPECT_EQ(rec.body, R"({"ret":0,"body":[]})");
    EXPECT_FALSE(connection->isLoading());
    EXPECT_EQ(server.lastRequest()->target, "/ka/list?page=1");
}

TEST(UrlConnection, ErrorStatusesAreResponsesNotFailures)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.reply("GET", "/boom", 500, "server broke");
    for (auto [path, status, body] : { std::tuple { "/missing", 404, "not found" }, std::tuple { "/boom", 500, "server broke" } }) {
        Recorder rec;
        rec.start(UrlRequest(server.url(path)));
        ASSERT_TRUE(env.runUntil([&] { return rec.done(); }));
        EXPECT_EQ(rec.events, (std::vector<std::string> { "response", "data", "finish" })) << path;
        EXPECT_EQ(rec.response->statusCode(), status);
        EXPECT_EQ(rec.body, body);
    }
}

TEST(UrlConnection, TransportFailuresReportDomainCodeAndDescription)
{
    TaskEnvironment env;
    {
        Recorder rec;
        rec.start(UrlRequest("http://127.0.0.1:" + std::to_string(unusedPort()) + "/"));
        ASSERT_TRUE(env.runUntil([&] { return rec.done(); }));
        EXPECT_EQ(rec.events, std::vector<std::string> { "fail" });
        EXPECT_EQ(rec.error->domain, UrlError::kDomain);
        EXPECT_EQ(rec.error->code, UrlError::CannotConnectToHost);
        EXPECT_FALSE(rec.error->description.empty());
    }
    // Addresses that may not be loaded fail the same way, after start() returned.
    for (auto [url, code] : { std::pair { "not a url", UrlError::BadUrl }, std::pair { "file:///etc/passwd", UrlError::UnsupportedUrl },
             std::pair { "ftp://127.0.0.1/x", UrlError::UnsupportedUrl }, std::pair { "http:///nohost", UrlError::BadUrl } }) {
        Recorder rec;
        rec.start(UrlRequest(url));
        EXPECT_TRUE(rec.events.empty());
        ASSERT_TRUE(env.runUntil([&] { return rec.done(); })) << url;
        EXPECT_EQ(rec.error->code, code) << url;
    }
    // No network at all.
    Reachability::setOverride(Reachability::Status::NotReachable);
    Recorder offline;
    offline.start(UrlRequest("http://127.0.0.1:1/"));
    ASSERT_TRUE(env.runUntil([&] { return offline.done(); }));
    EXPECT_EQ(offline.error->code, UrlError::NotConnectedToInternet);
}

TEST(UrlConnection, TimeOutAndTruncatedReply)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.on("GET", "/slow", [](const TestHttpServer::Request&) {
        TestHttpServer::Response r;
        r.hold = true;
        return r;
    });
    server.on("GET", "/cut", [](const TestHttpServer::Request&) {
        TestHttpServer::Response r;
        r.body = std::string(1000, 'x');
        r.truncateAfter = 100;
        return r;
    });

    Recorder slow;
    slow.start(UrlRequest(server.url("/slow"), 0.3));
    ASSERT_TRUE(env.runUntil([&] { return slow.done(); }));
    EXPECT_EQ(slow.events, std::vector<std::string> { "fail" });
    EXPECT_EQ(slow.error->code, UrlError::TimedOut);

    Recorder cut;
    cut.start(UrlRequest(server.url("/cut")));
    ASSERT_TRUE(env.runUntil([&] { return cut.done(); }));
    EXPECT_EQ(cut.events.back(), "fail");
    EXPECT_EQ(cut.error->code, UrlError::NetworkConnectionLost);
    EXPECT_LE(cut.body.size(), 100u);
    server.releaseHeld();
}

TEST(UrlConnection, NothingArrivesAfterCancel)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.on("GET", "/held", [](const TestHttpServer::Request&) {
        TestHttpServer::Response r;
        r.hold = true;
        r.body = "late";
        return r;
    });
    Recorder rec;
    auto connection = rec.start(UrlRequest(server.url("/held")));
    ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 1; }));
    connection->cancel();
    EXPECT_FALSE(connection->isLoading());
    EXPECT_EQ(RunLoop::main().pendingWork(), 0);

    // Tear-down cancels what a test left running, even with no reference held.
    Recorder orphan;
    orphan.start(UrlRequest(server.url("/held")));
    EXPECT_EQ(UrlConnection::loadingCount(), 1u);
    UrlConnection::cancelAll();
    EXPECT_EQ(UrlConnection::loadingCount(), 0u);
    EXPECT_EQ(RunLoop::main().pendingWork(), 0);
    server.releaseHeld();

    // Cancelled from its own response callback, with the data and the finish already on the way.
    server.reply("GET", "/fast", 200, "fast");
    Recorder fast;
    auto quick = fast.start(UrlRequest(server.url("/fast")));
    auto onResponse = quick->didReceiveResponse;
    quick->didReceiveResponse = [&, onResponse](const UrlResponse& r) {
        onResponse(r);
        quick->cancel();
    };

    env.waitForPendingWork();
    // Give any stray delivery a chance to show up before checking that none did.
    Recorder probe;
    probe.start(UrlRequest(server.url("/fast")));
    ASSERT_TRUE(env.runUntil([&] { return probe.done(); }));
    EXPECT_TRUE(rec.events.empty());
    EXPECT_TRUE(orphan.events.empty());
    EXPECT_EQ(fast.events, std::vector<std::string> { "response" });
}

TEST(UrlConnection, PostBodyHeadersAndTheirSafety)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.reply("POST", "/ka/receive", 200, "ok");
    UrlRequest request(server.url("/ka/receive"));
    request.setMethod("POST");
    request.setBody(std::string_view("type=1&count=20&title=礼包"));
    request.setValue("device-1", "imei");
    request.setValue("3", "Content-length");              // wrong: the real length is sent
    request.setValue("x\r\nInjected: yes", "Authorization"); // would split the request: dropped
    Recorder rec;
    rec.start(request);
    ASSERT_TRUE(env.runUntil([&] { return rec.done(); }));
    ASSERT_EQ(server.requestCount(), 1u);
    auto got = *server.lastRequest();
    EXPECT_EQ(got.method, "POST");
    EXPECT_EQ(got.body, "type=1&count=20&title=礼包");
    EXPECT_EQ(got.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(got.header("Content-Length"), std::to_string(got.body.size()));
    EXPECT_EQ(got.header("imei"), "device-1");
    EXPECT_FALSE(got.header("Authorization"));
    EXPECT_FALSE(got.header("Injected"));

    UrlRequest json(server.url("/ka/receive"));
    json.setMethod("POST");
    json.setBody(std::string_view("{}"));
    json.setValue("application/json", "Content-Type");
    Recorder second;
    second.start(json);
    ASSERT_TRUE(env.runUntil([&] { return second.done(); }));
    EXPECT_EQ(server.lastRequest()->header("Content-Type"), "application/json");
}

TEST(UrlConnection, CookiesAreSentAndReplyCookiesStored)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.on("GET", "/login", [](const TestHttpServer::Request&) {
        TestHttpServer::Response r;
        r.headers = { { "Set-Cookie", "sid=abc; Path=/" }, { "Set-Cookie", "evil=1; Domain=example.com" } };
        return r;
    });
    server.reply("GET", "/next", 200, "");

    HttpCookie srctype;
    srctype.name = "srctype";
    srctype.value = "android";
    srctype.domain = "127.0.0.1";
    srctype.path = "/";
    srctype.version = 0;
    CookieStorage::shared().setCookie(srctype);
    HttpCookie other = srctype;
    other.domain = "bbs.example.com";
    CookieStorage::shared().setCookie(other);

    Recorder first;
    first.start(UrlRequest(server.url("/login")));
    ASSERT_TRUE(env.runUntil([&] { return first.done(); }));
    EXPECT_EQ(server.lastRequest()->header("Cookie"), "srctype=android");

    auto stored = CookieStorage::shared().cookiesForUrl(server.url("/"));
    ASSERT_EQ(stored.size(), 2u);
    // A reply may not set cookies for a host other than its own.
    EXPECT_TRUE(CookieStorage::shared().cookiesForUrl("http://example.com/").empty());

    Recorder second;
    second.start(UrlRequest(server.url("/next")));
    ASSERT_TRUE(env.runUntil([&] { return second.done(); }));
    EXPECT_EQ(server.lastRequest()->header("Cookie"), "srctype=android; sid=abc");

    CookieStorage::shared().deleteCookiesForHost("127.0.0.1");
    EXPECT_TRUE(CookieStorage::shared().cookiesForUrl(server.url("/")).empty());
    EXPECT_EQ(CookieStorage::shared().cookies().size(), 1u); // the other host's stays
    UrlRequest noCookies(server.url("/next"));
    CookieStorage::shared().setCookie(srctype);
    noCookies.setShouldHandleCookies(false);
    Recorder third;
    third.start(noCookies);
    ASSERT_TRUE(env.runUntil([&] { return third.done(); }));
    EXPECT_FALSE(server.lastRequest()->header("Cookie"));
}

TEST(UrlConnection, SynchronousRequestsOffTheMainThread)
{
    TaskEnvironment env;
    TestHttpServer server;
    server.reply("GET", "/captcha.png", 200, "PNG");
    UrlConnection::SyncResult ok, missing, refused;
    std::thread worker([&] {
        ok = UrlConnection::sendSynchronousRequest(UrlRequest(server.url("/captcha.png")), 10);
        missing = UrlConnection::sendSynchronousRequest(UrlRequest(server.url("/nothing")));
        refused = UrlConnection::sendSynchronousRequest(UrlRequest("http://127.0.0.1:" + std::to_string(unusedPort()) + "/"));
    });
    worker.join();
    ASSERT_TRUE(ok.succeeded());
    EXPECT_EQ(ok.response->statusCode(), 200);
    EXPECT_EQ(std::string(ok.data.begin(), ok.data.end()), "PNG");
    ASSERT_TRUE(missing.succeeded());
    EXPECT_EQ(missing.response->statusCode(), 404);
    EXPECT_FALSE(refused.succeeded());
    EXPECT_EQ(refused.error->code, UrlError::CannotConnectToHost);
    EXPECT_FALSE(UrlConnection::sendSynchronousRequest(UrlRequest("file:///etc/passwd")).succeeded());
}

TEST(UrlConnection, ABurstToOneHostKeepsAFewConnectionsOpenAndEveryTransferFinishes)
{
    TaskEnvironment env;
    TestHttpServer server;
    std::atomic<int> inFlight { 0 };
    std::atomic<int> most { 0 };
    server.on("GET", "/img", [&](const TestHttpServer::Request&) {
        int now = ++inFlight;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) { }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        --inFlight;
        TestHttpServer::Response r;
        r.body = "picture";
        return r;
    });
    constexpr int kBurst = 12;
    std::vector<Recorder> recorders(kBurst);
    std::vector<std::shared_ptr<UrlConnection>> connections;
    for (int i = 0; i < kBurst; ++i)
        connections.push_back(recorders[static_cast<size_t>(i)].start(UrlRequest(server.url("/img?n=" + std::to_string(i)))));
    ASSERT_TRUE(env.runUntil([&] {
        return std::all_of(recorders.begin(), recorders.end(), [](const Recorder& r) { return r.done(); });
    }));
    for (const Recorder& r : recorders)
        EXPECT_EQ(r.body, "picture");
    EXPECT_GE(most.load(), 2) << "transfers to one host still run side by side";
    EXPECT_LE(most.load(), static_cast<int>(HttpEngine::kMaxConnectionsPerHost));
}

TEST(UrlConnection, WhatCallbacksCaptureIsDestroyedOnTheMainThreadOnly)
{
    // Connections cancelled from their first data callback while more data streams in: the
    // transfer thread is busy with them exactly when the main thread lets them go.
    TaskEnvironment env;
    TestHttpServer server;
    server.reply("GET", "/stream", 200, std::string(96 * 1024, 'x'));
    struct Witness {
        std::atomic<int>* offMain;
        ~Witness()
        {
            if (!RunLoop::main().isMainThread())
                ++*offMain;
        }
    };
    std::atomic<int> offMain { 0 };
    int destroyed = 0;
    for (int round = 0; round < 20; ++round) {
        std::vector<std::weak_ptr<Witness>> witnesses;
        for (int i = 0; i < 8; ++i) {
            UrlRequest request(server.url("/stream"));
            request.setValue("close", "Connection"); // frees the test server's threads at once
            auto connection = UrlConnection::create(std::move(request));
            auto witness = std::make_shared<Witness>(Witness { &offMain });
            witnesses.push_back(witness);
            std::weak_ptr<UrlConnection> weak = connection;
            connection->didReceiveData = [witness, weak](const Bytes&) {
                if (auto c = weak.lock())
                    c->cancel();
            };
            connection->didFailWithError = [witness](const UrlError&) { };
            connection->start();
        }
        ASSERT_TRUE(env.waitForPendingWork());
        ASSERT_TRUE(env.runUntil([&] { return std::all_of(witnesses.begin(), witnesses.end(), [](auto& w) { return w.expired(); }); }));
        destroyed += 8;

    }
    EXPECT_EQ(destroyed, 160);
    EXPECT_EQ(offMain.load(), 0);
}

TEST(UrlConnection, ProgressAddsUpToTheBodiesAndComesBeforeTheEnd)
{
    TaskEnvironment env;
    // Outlives the server: the cancelled request below may still be answered by a server thread
    // after the client has let it go.
    const std::string reply(300000, 'r');
    TestHttpServer server;
    server.on("POST", "/upload", [&](const TestHttpServer::Request&) {
        TestHttpServer::Response r;
        r.body = reply;
        r.contentType = "text/plain";
        return r;
    });
    UrlRequest request(server.url("/upload"));
    request.setMethod("POST");
    request.setBody(Bytes(200000, 'b'));
    request.setValue("application/octet-stream", "Content-Type");
    request.setDecodesContent(false); // the counts are of the bytes on the wire: none compressed here

    struct Totals {
        std::int64_t steps { 0 }, last { 0 }, expected { 0 };
        bool rising { true };
        void add(std::int64_t step, std::int64_t total, std::int64_t expectedTotal)
        {
            rising = rising && step > 0 && total == last + step;
            steps += step;
            last = total;
            expected = expectedTotal;
        }
    } sent, received;
    Recorder rec;
    bool progressAfterEnd = false;
    auto c = UrlConnection::create(request);
    c->didSendBodyData = [&](std::int64_t step, std::int64_t total, std::int64_t expected) {
        progressAfterEnd = progressAfterEnd || rec.done();
        sent.add(step, total, expected);
    };
    c->didWriteData = [&](std::int64_t step, std::int64_t total, std::int64_t expected) {
        progressAfterEnd = progressAfterEnd || rec.done();
        received.add(step, total, expected);
    };
    c->didReceiveData = [&](const Bytes& d) { rec.note("data"); rec.body.append(d.begin(), d.end()); };
    c->didFinishLoading = [&] { rec.note("finish"); };
    c->start();
    ASSERT_TRUE(env.waitForPendingWork());
    ASSERT_EQ(rec.events.back(), "finish");
    EXPECT_FALSE(progressAfterEnd);
    EXPECT_TRUE(sent.rising);
    EXPECT_EQ(sent.steps, 200000);
    EXPECT_EQ(sent.expected, 200000);
    EXPECT_TRUE(received.rising);
    EXPECT_EQ(received.steps, std::int64_t(reply.size()));
    EXPECT_EQ(received.expected, std::int64_t(reply.size()));

    // Without progress receivers nothing is asked of the transfer, and a cancelled one reports none.
    int late = 0;
    auto cancelled = UrlConnection::create(request);
    cancelled->didSendBodyData = [&](std::int64_t, std::int64_t, std::int64_t) { ++late; };
    cancelled->start();
    cancelled->cancel();
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(late, 0);
}

// A reply longer than its request's largest size fails as soon as the excess arrives, and what
// was handed over never passes the limit; a request that names no size has the platform's.
TEST(UrlConnection, AReplyPastItsLargestSizeFails)
{
    TaskEnvironment env;
    TestHttpServer server;
    const size_t fallback = UrlRequest::kDefaultMaximumResponseSize;
    struct Case {
        size_t limit; // 0: none set
        size_t body;
    };
    const Case cases[] = { { 1000, 1000 }, { 1000, 1001 }, { 0, fallback }, { 0, fallback + 1 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.body << " bytes, limit " << c.limit);
        const std::string path = "/bytes/" + std::to_string(c.body);
        server.reply("GET", path, 200, std::string(c.body, 'b'));
        UrlRequest request(server.url(path));
        if (c.limit)
            request.setMaximumResponseSize(c.limit);
        const bool fits = c.body <= (c.limit ? c.limit : fallback);

        Recorder rec;
        rec.start(request);
        ASSERT_TRUE(env.runUntil([&] { return rec.done(); }));
        EXPECT_EQ(rec.events.back(), fits ? "finish" : "fail");
        if (fits) {
            EXPECT_EQ(rec.body.size(), c.body);
        } else {
            EXPECT_EQ(rec.error->code, UrlError::DataLengthExceedsMaximum);
            EXPECT_LT(rec.body.size(), c.body);
        }
    }
}
