#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UrlCache.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"

#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : NetworkRequestorDelegate {
    struct Reply {
        std::shared_ptr<NetworkRequestor> requestor;
        std::string body;
    };
    std::vector<Reply> replies;
    std::vector<int> failures; // the error codes reported

    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override
    {
        replies.push_back({ requestor, std::string(data.begin(), data.end()) });
    }
    void networkRequestorDidFailWithError(const std::shared_ptr<NetworkRequestor>&, const pf::UrlError& error) override
    {
        failures.push_back(error.code);
    }
};

class NetworkRequestorTest : public testing::Test {
protected:
    NetworkRequestorTest()
    {
        server.reply("POST", "/api/op", 200, R"({"ret":0})", "application/json");
    }

    // Sends one request and waits until the server has answered and the loop is idle.
    pf::TestHttpServer::Request send(const RequestParameters& parameters, bool withToken = false)
    {
        auto requestor = NetworkRequestor::create();
        requestor->startPostMethodURLConnection(server.url("/api/op"), parameters, withToken, delegate);
        EXPECT_TRUE(env.runUntil([&] { return !requestor->isRunning(); }));
        auto last = server.lastRequest();
        EXPECT_TRUE(last.has_value());
        return last.value_or(pf::TestHttpServer::Request {});
    }

    pf::TaskEnvironment env;
    pf::TestHttpServer server;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

}

TEST_F(NetworkRequestorTest, PostsTheFormWithDeviceIdentifierAndLength)
{
    // An empty map is an empty body; without a stored device identifier there is no header.
    auto empty = send({});
    EXPECT_EQ(empty.body, "");
    EXPECT_EQ(empty.header("Content-length"), "0");
    EXPECT_FALSE(empty.header("imei").has_value());

    pf::UserDefaults::standard()->setString("imei", "device-7f3a");
    LoginManager::sharedInstance()->recordUserToken("tok-1");
    auto request = send({ { "type", "0" }, { "page", "1" }, { "wd", "星海" } });

    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, "page=1&type=0&wd=星海");
    EXPECT_EQ(request.header("imei"), "device-7f3a");
    EXPECT_EQ(request.header("Content-length"), std::to_string(request.body.size()));
    EXPECT_EQ(request.body.size(), 17u + 2 * 3); // a Chinese character is three bytes
    EXPECT_FALSE(request.header("Authorization").has_value());
    ASSERT_EQ(delegate->replies.size(), 2u);
    EXPECT_EQ(delegate->replies[1].body, R"({"ret":0})");
}

TEST_F(NetworkRequestorTest, SendsTheStoredTokenOnlyWhenAsked)
{
    LoginManager::sharedInstance()->recordUserToken("abc123");
    EXPECT_EQ(send({}, true).header("Authorization"), "OAuth usertoken=\"abc123\"");
    EXPECT_FALSE(send({}, false).header("Authorization").has_value());

    LoginManager::sharedInstance()->clearUserToken();
    EXPECT_FALSE(send({}, true).header("Authorization").has_value());
}

TEST_F(NetworkRequestorTest, ReservedCharactersAreEscapedSoNoFieldCanBeInjected)
{
    auto request = send({ { "password", "a&b=c+d%e" }, { "wd", "x&count=999" }, { "k=y", "line\r\nbreak" }, { "nick", "空 格/?" } });
    EXPECT_EQ(request.body, "k%3Dy=line%0D%0Abreak&nick=空 格/?&password=a%26b%3Dc%2Bd%25e&wd=x%26count%3D999");
    EXPECT_EQ(request.header("Content-length"), std::to_string(request.body.size()));
}

TEST_F(NetworkRequestorTest, HeaderValuesWithLineBreaksAreLeftOut)
{
    pf::UserDefaults::standard()->setString("imei", "dev\r\nX-Injected: 1");
    LoginManager::sharedInstance()->recordUserToken("tok\nX-Evil: yes");
    pf::Log::startCapture();
    auto request = send({ { "a", "1" } }, true);
    pf::Log::stopCapture();
    EXPECT_FALSE(request.header("imei").has_value());
    EXPECT_FALSE(request.header("Authorization").has_value());
    EXPECT_FALSE(request.header("X-Injected").has_value());
    EXPECT_FALSE(request.header("X-Evil").has_value());
    EXPECT_EQ(request.body, "a=1");
}

TEST_F(NetworkRequestorTest, ErrorStatusStillReachesTheDelegateAndClearsTheCache)
{
    server.reply("POST", "/api/broken", 500, "<html>oops</html>", "text/html");
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(server.url("/api/broken"), { { "a", "1" } }, false, delegate);
    ASSERT_TRUE(env.runUntil([&] { return !delegate->replies.empty(); }));
    EXPECT_EQ(delegate->replies[0].requestor, requestor);
    EXPECT_EQ(delegate->replies[0].body, "<html>oops</html>");
    EXPECT_EQ(pf::UrlCache::shared().removeAllCount(), 1);
}

TEST_F(NetworkRequestorTest, TransportFailuresAreReportedAndNeverPassForReplies)
{
    std::string closedAddress;
    {
        pf::TestHttpServer gone;
        closedAddress = gone.url("/api/op");
    }
    // A reply over the limit is cut off while it streams in, not buffered whole.
    server.reply("POST", "/api/huge", 200, std::string(NetworkRequestor::kMaximumReplySize + 1, 'x'));
    pf::Log::startCapture();
    for (const auto& address : { closedAddress, server.url("/api/huge") }) {
        auto requestor = NetworkRequestor::create();
        requestor->startPostMethodURLConnection(address, {}, false, delegate);
        EXPECT_TRUE(env.runUntil([&] { return !requestor->isRunning(); }));
    }
    env.waitForPendingWork();
    auto logged = pf::Log::captured();
    pf::Log::stopCapture();
    EXPECT_TRUE(delegate->replies.empty());
    EXPECT_EQ(delegate->failures, (std::vector<int> { pf::UrlError::CannotConnectToHost, pf::UrlError::DataLengthExceedsMaximum }));
    EXPECT_FALSE(logged.empty());
    EXPECT_EQ(pf::UrlCache::shared().removeAllCount(), 0);
}

TEST_F(NetworkRequestorTest, CancellingReleasesTheRequestorAndTellsNobody)
{
    // Held replies: the requests are still running when they are cancelled.
    pf::TestHttpServer::Response held;
    held.body = R"({"ret":0})";
    held.hold = true;
    server.on("POST", "/api/held", [held](const pf::TestHttpServer::Request&) { return held; });

    auto own = NetworkRequestor::create();
    own->startPostMethodURLConnection(server.url("/api/held"), {}, false, delegate);
    std::weak_ptr<NetworkRequestor> ownWatch = own;
    own->cancel();
    EXPECT_FALSE(own->isRunning());
    own.reset();
    EXPECT_TRUE(ownWatch.expired());

    // Cancelled from outside (as a test's tear-down does with every connection).
    auto outside = NetworkRequestor::create();
    outside->startPostMethodURLConnection(server.url("/api/held"), {}, false, delegate);
    std::weak_ptr<NetworkRequestor> outsideWatch = outside;
    outside.reset();
    EXPECT_FALSE(outsideWatch.expired()); // a running request keeps its requestor
    pf::UrlConnection::cancelAll();
    EXPECT_TRUE(outsideWatch.expired());

    server.releaseHeld();
    env.waitForPendingWork();
    EXPECT_TRUE(delegate->replies.empty());
    EXPECT_TRUE(delegate->failures.empty());
}

TEST_F(NetworkRequestorTest, ReplyOfAReplacedRequestorStillArrivesButNotAtAVanishedDelegate)
{
    // The caller drops the requestor at once: the running request keeps it alive.
    NetworkRequestor::create()->startPostMethodURLConnection(server.url("/api/op"), {}, false, delegate);
    ASSERT_TRUE(env.runUntil([&] { return delegate->replies.size() == 1; }));
    EXPECT_TRUE(delegate->replies[0].requestor);

    auto vanishing = std::make_shared<RecordingDelegate>();
    std::weak_ptr<RecordingDelegate> watch = vanishing;
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(server.url("/api/op"), {}, false, vanishing);
    vanishing.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(env.runUntil([&] { return !requestor->isRunning(); }));
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(pf::UrlCache::shared().removeAllCount(), 2);
}
