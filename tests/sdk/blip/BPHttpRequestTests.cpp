#include "platform/foundation/HostTable.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UrlError.h"
#include "platform/foundation/UrlResponse.h"
#include "platform/graphics/Image.h"
#include "platform/testing/TaskEnvironment.h"
#include "sdk/libBlipSDK/BPHttpRequest.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "tools/peers/BlipService.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

using namespace blip;

namespace {

// Keeps every callback in order.
class Recorder : public BPHttpRequestDelegate {
public:
    void requestDidReceiveResponse(BPHttpRequest&, const pf::UrlResponse& response) override
    {
        events.push_back("response " + std::to_string(response.statusCode()));
    }
    void requestDidFinishLoadingWithDataResult(BPHttpRequest&, const pf::Bytes& data) override
    {
        events.push_back("bytes " + std::to_string(data.size()));
        bytes = data;
    }
    void requestDidFinishLoadingWithResult(BPHttpRequest&, const std::optional<std::string>& result) override
    {
        events.push_back(result ? "text" : "no text");
        text = result;
    }
    void requestDidFailWithError(BPHttpRequest&, const pf::UrlError&) override { events.push_back("failed"); }

    std::vector<std::string> events;
    pf::Bytes bytes;
    std::optional<std::string> text;
};

const std::string kBoundary = BPHttpRequest::kBoundary;

TEST(BPHttpRequest, QueriesEscapeValuesAndNeverCarryFiles)
{
    pf::TaskEnvironment env;
    using P = BPHttpRequest::Params;
    EXPECT_EQ(BPHttpRequest::serializeURL("http://h/a", P { { "uid", std::string("12") } }, "GET"), "http://h/a?uid=12");
    EXPECT_EQ(BPHttpRequest::serializeURL("http://h/a?x=1", P { { "a b", std::string("&=/礼") } }, "POST"),
        "http://h/a?x=1&a b=%26%3D%2F%E7%A4%BC");
    pf::Log::startCapture();
    EXPECT_EQ(BPHttpRequest::serializeURL("http://h/a", P { { "pic", pf::Bytes { 1 } } }, "GET"), "http://h/a?");
    EXPECT_TRUE(pf::Log::contains("can not use GET to upload a file"));
    EXPECT_EQ(BPHttpRequest::serializeURL("http://h/a", P { { "pic", pf::Bytes { 1 } } }, "POST"), "http://h/a?");
    EXPECT_EQ(pf::Log::captured().size(), 1u);
    pf::Log::stopCapture();
    EXPECT_EQ(BlipSDK::serializeURLStringWithParams("http://h/a#frag", { { "k", "v w" } }), "http://h/a?k=v%20w#frag");
}

TEST(BPHttpRequest, TalksToBlipsEndpointsAndReportsEveryOutcome)
{
    pf::TaskEnvironment env;
    peers::PeersServer server;
    auto blip = std::make_shared<peers::BlipService>();
    server.addService(blip);
    ASSERT_TRUE(server.start());
    pf::HostTable::pointAllAt(server.rootURL());
    auto recorder = std::make_shared<Recorder>();

    // Revocation: a GET with the token; bytes, then the text.
    BlipSDK::logOutWithToken("tok en", recorder, "logout");
    ASSERT_TRUE(env.runUntil([&] { return recorder->events.size() == 3; }));
    EXPECT_EQ(recorder->events, (std::vector<std::string> { "response 200", "bytes 17", "text" }));
    EXPECT_EQ(recorder->text, R"({"result":"true"})");
    EXPECT_EQ(blip->calls().back().query.at("access_token"), "tok en");

    // An invitation: a POST whose text-only body is multipart without the multipart type.
    recorder->events.clear();
    BlipSDK::inviteFriend("hello", "42", "", recorder, "invite");
    ASSERT_TRUE(env.runUntil([&] { return recorder->events.size() == 3; }));
    EXPECT_EQ(recorder->events[0], "response 401"); // Blip's refusal of an empty token is a result too
    auto invite = server.requests("/blip/2/").back();
    EXPECT_EQ(invite.queryValue("uid"), "42");
    EXPECT_EQ(invite.queryValue("access_token"), "");
    EXPECT_NE(invite.header("Content-Type").value_or(""), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(invite.body, "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"uid\"\r\n\r\n42\r\n--" + kBoundary
            + "\r\nContent-Disposition: form-data; name=\"data\"\r\n\r\nhello\r\n--" + kBoundary
            + "\r\nContent-Disposition: form-data; name=\"access_token\"\r\n\r\n\r\n--" + kBoundary + "\r\n");

    // A POST with data ends with the file part and the closing delimiter.
    recorder->events.clear();
    auto posted = BPHttpRequest::requestWithURL(server.url("blip/2/messages/invite.json"), "POST",
        { { "uid", std::string("7") }, { "pic", pf::Bytes { 'P', 'N', 'G' } } }, recorder, "pic");
    ASSERT_TRUE(env.runUntil([&] { return recorder->events.size() == 3; }));
    EXPECT_EQ(server.requests("/blip/2/").back().header("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
    bool hasRawData = false;
    pf::Bytes bytes = posted->postBodyHasRawData(&hasRawData);
    EXPECT_TRUE(hasRawData);
    std::string body(bytes.begin(), bytes.end());
    std::string tail = "Content-Disposition: form-data; name=\"pic\"; filename=\"file\"\r\nContent-Type: content/unknown\r\n"
                       "Content-Transfer-Encoding: binary\r\n\r\nPNG\r\n--" + kBoundary + "--\r\n";
    ASSERT_GE(body.size(), tail.size());
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);

    // An error page is a result; bytes that are not UTF-8 have no text; a closed port fails.
    recorder->events.clear();
    server.setFault("GET", "/blip/oauth2/revokeoauth2", peers::PeerReply::bytes("<h1>busy</h1>", "text/html", 500), 1);
    BlipSDK::logOutWithToken("t", recorder, "500");
    ASSERT_TRUE(env.runUntil([&] { return recorder->events.size() == 3; }));
    EXPECT_EQ(recorder->events, (std::vector<std::string> { "response 500", "bytes 13", "text" }));
    recorder->events.clear();
    server.setFault("GET", "/blip/oauth2/revokeoauth2", peers::PeerReply::bytes("ok\xff\xfe", "text/plain"), 1);
    BlipSDK::logOutWithToken("t", recorder, "bytes");
    ASSERT_TRUE(env.runUntil([&] { return recorder->events.size() == 3; }));
    EXPECT_EQ(recorder->events, (std::vector<std::string> { "response 200", "bytes 4", "no text" }));
    recorder->events.clear();
    BPHttpRequest::requestWithURL("http://127.0.0.1:1/blip", "GET", {}, recorder, "closed");
    ASSERT_TRUE(env.runUntil([&] { return !recorder->events.empty(); }));
    EXPECT_EQ(recorder->events, std::vector<std::string> { "failed" });

    // A reply of 8 MB is a result; one byte more is a failure, whatever its status.
    for (size_t size : { BPHttpRequest::kMaximumReplySize, BPHttpRequest::kMaximumReplySize + 1 }) {
        SCOPED_TRACE(size);
        recorder->events.clear();
        server.setFault("GET", "/blip/oauth2/revokeoauth2", peers::PeerReply::bytes(std::string(size, 'x'), "application/octet-stream"), 1);
        BlipSDK::logOutWithToken("t", recorder, "big");
        ASSERT_TRUE(env.runUntil([&] { return !recorder->events.empty() && recorder->events.back() != "response 200"; }));
        EXPECT_EQ(recorder->events.back(), size == BPHttpRequest::kMaximumReplySize ? "text" : "failed");
    }
}

}
