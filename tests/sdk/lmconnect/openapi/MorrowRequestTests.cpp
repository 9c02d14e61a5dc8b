#include "LMConnectPeers.h"

#include "platform/foundation/TextEncoding.h"
#include "platform/foundation/UrlRequest.h"
#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

namespace {

std::string text(const pf::Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

pf::Bytes bytes(std::string_view text)
{
    return pf::Bytes(text.begin(), text.end());
}

class MorrowRequestTest : public LMConnectPeers {
protected:
    // Sends one exchange and waits for its end; the server's record of it.
    peers::PeerRequest send(MorrowParams params, const std::string& method, const std::string& path = "lmcgi/echo",
        std::vector<std::pair<std::string, std::string>> headers = {})
    {
        delegate = std::make_shared<RecordingRequestDelegate>();
        server.clearRequests();
        auto request = MorrowRequest::getRequestWithParams(std::move(params), method, delegate, server.url(path));
        request->httpHeaders() = std::move(headers);
        request->connect();
        EXPECT_TRUE(env.runUntil([&] { return !request->loading(); }));
        auto recorded = server.requests();
        EXPECT_EQ(recorded.size(), 1u);
        return recorded.empty() ? peers::PeerRequest {} : recorded.back();
    }

    std::shared_ptr<RecordingRequestDelegate> delegate;
};

TEST_F(MorrowRequestTest, QueriesEndInASeparatorAndEscapeTheRequestLayersList)
{
    MorrowParams params { { "a", "it's me@home" }, { "pic", pf::Value(bytes("JPEG")) }, { "b", "x&y=z" } };
    EXPECT_EQ(MorrowRequest::serializeURL("http://h/p", {}), "http://h/p?");
    EXPECT_EQ(MorrowRequest::serializeURL("http://h/p?k=1", {}), "http://h/p?k=1&");
    EXPECT_EQ(MorrowRequest::serializeURL("http://h/p", params), "http://h/p?a=it%27s%20me%40home&b=x%26y%3Dz")
        << "files stay out of a query";

    auto get = send(params, "GET");
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.query, "a=it%27s%20me%40home&b=x%26y%3Dz");
    EXPECT_EQ(get.body, "");
    EXPECT_EQ(get.header("User-Agent"), "MorrowConnect");
}

TEST_F(MorrowRequestTest, PostsAFormOrAMultipartBodyWithTheFixedHeaders)
{
    // Texts only: one form body, and no multipart type.
    auto form = send({ { "skey", "S1" }, { "uin", "42" }, { "t", "礼 包" } }, "POST");
    EXPECT_EQ(form.body, "skey=S1&uin=42&t=%E7%A4%BC%20%E5%8C%85");
    EXPECT_EQ(form.header("Content-Type").value_or("").find("multipart"), std::string::npos);
    EXPECT_EQ(form.header("Cookie"), "_uin=42;_oskey=S1");

    // One image makes it multipart: texts first, files as JPEG 0.4 named after "filename".
    auto image = std::make_shared<pf::Image>(4, 4);
    MorrowParams params { { "pic", MorrowParam(image) }, { "title", "头像" }, { "filename", "me.jpg" },
        { "raw", pf::Value(bytes("RAW")) }, { "n", "1" } };
    const std::string b = MorrowRequest::kBoundary;
    const std::string jpeg = text(image->jpegData(0.4));
    std::string expected = "--" + b + "\r\n"
        + "Content-Disposition: form-data; name=\"title\"\r\n\r\n头像"
        + "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"n\"\r\n\r\n1"
        + "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"pic\"; filename=\"me.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg
        + "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"raw\"; filename=\"me.jpg\"\r\nContent-Type: image/jpeg\r\n\r\nRAW"
        + "\r\n--" + b + "--\r\n";
    EXPECT_EQ(text(MorrowRequest::getRequestWithParams(params, "POST", {}, "")->generatePostBody()), expected);

    auto multi = send(params, "POST", "lmcgi/upload", { { "User-Agent", "Custom" }, { "X-Extra", "1" } });
    using Part = peers::PeerRequest::Part;
    EXPECT_EQ(multi.parts, (std::vector<Part> { { "title", "", "", "头像" }, { "n", "", "", "1" },
                               { "pic", "me.jpg", "image/jpeg", jpeg }, { "raw", "me.jpg", "image/jpeg", "RAW" } }));
    EXPECT_EQ(multi.header("Content-Type"), "multipart/form-data; boundary=" + b);
    EXPECT_EQ(multi.header("User-Agent"), "Custom") << "the caller's headers replace the fixed ones";
    EXPECT_EQ(multi.header("X-Extra"), "1");
    EXPECT_FALSE(multi.header("Cookie")) << "no cookie without both skey and uin";

    // Without a file name the file is "picture"; the first part may be a file.
    auto lone = send({ { "pic", pf::Value(bytes("X")) } }, "POST");
    EXPECT_EQ(lone.parts, (std::vector<Part> { { "pic", "picture", "image/jpeg", "X" } }));
}

TEST_F(MorrowRequestTest, AnyStatusIsAReplyAndATransportFailureIsAnError)
{
    answer("/lmcgi/echo", peers::PeerReply::json(R"({"ret":12,"msg":"busy"})", 500));
    send({}, "GET");
    EXPECT_EQ(delegate->status, 500);
    ASSERT_TRUE(delegate->result);
    EXPECT_EQ((*delegate->result)["ret"].intValue(), 12);
    EXPECT_EQ(text(*delegate->raw), R"({"ret":12,"msg":"busy"})");
    EXPECT_EQ(delegate->loading, 1);

    peers::PeerReply dropped;
    dropped.dropConnection = true;
    answer("/lmcgi/echo", dropped);
    send({}, "GET");
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->domain, pf::UrlError::kDomain);
    EXPECT_FALSE(delegate->result);
}

TEST_F(MorrowRequestTest, CancelReportsNothingMore)
{
    peers::PeerReply slow = peers::PeerReply::json(R"({"a":1})");
    slow.delaySeconds = 0.3;
    answer("/lmcgi/slow", slow);
    auto recorder = std::make_shared<RecordingRequestDelegate>();
    auto request = MorrowRequest::getRequestWithParams({}, "GET", recorder, cgi("slow"));
    request->connect();
    EXPECT_TRUE(request->loading());
    request->cancel();
    EXPECT_FALSE(request->loading());
    env.waitForPendingWork();
    EXPECT_FALSE(recorder->ended());
    EXPECT_FALSE(recorder->status);
}

TEST(MorrowRequestParse, ReplyFormsAsOneTable)
{
    auto gbk = pf::TextEncoding::encodeGB18030(R"({"msg":"服务器"})");
    ASSERT_TRUE(gbk);
    struct Case {
        const char* name;
        std::string body;
        std::optional<std::string> result; // JSON of the result, none when missing
        std::optional<int> errorCode;
    };
    const Case cases[] = {
        { "true", "true", R"({"result":"true"})", std::nullopt },
        { "false", "false", std::nullopt, 10000 },
        { "array", "[1,2]", "[1,2]", std::nullopt },
        { "error", R"({"error":"x"})", std::nullopt, 10000 },
        { "error_code", R"({"error_code":"1234","m":1})", std::nullopt, 1234 },
        { "error_msg", R"({"error_msg":"no"})", R"({"error_msg":"no"})", 10000 },
        { "error_reason", R"({"error_reason":"no"})", R"({"error_reason":"no"})", 10000 },
        { "object", R"({"ret":0})", R"({"ret":0})", std::nullopt },
        { "gb18030", *gbk, R"({"msg":"服务器"})", std::nullopt },
        { "neither encoding", "\xff\xfe\x80", std::nullopt, std::nullopt },
        { "empty", "", std::nullopt, std::nullopt },
        { "unparsable", "<html>oops", std::nullopt, std::nullopt },
    };
    for (auto& c : cases) {
        auto parsed = MorrowRequest::parseJsonResponse(bytes(c.body));
        if (c.result)
            EXPECT_EQ(parsed.result, *pf::Json::parse(*c.result)) << c.name;
        else
            EXPECT_TRUE(parsed.result.isMissing()) << c.name;
        EXPECT_EQ(parsed.error.has_value(), c.errorCode.has_value()) << c.name;
        if (parsed.error && c.errorCode) {
            EXPECT_EQ(parsed.error->code, *c.errorCode) << c.name;
            EXPECT_EQ(parsed.error->domain, "morrowErrDomain");
        }
    }
    EXPECT_EQ(MorrowRequest::decodeReplyText(bytes(*gbk)), R"({"msg":"服务器"})");
    EXPECT_FALSE(pf::TextEncoding::isValidUtf8(*gbk));
}

}

namespace {

TEST_F(MorrowRequestTest, AReadyMadeRequestIsSentAsItIsAndReportsProgress)
{
    delegate = std::make_shared<RecordingRequestDelegate>();
    server.clearRequests();
    auto request = MorrowRequest::getRequestWithParams({ { "ignored", "1" } }, "GET", delegate, server.url("lmcgi/echo"));
    pf::UrlRequest made(server.url("lmcgi/echo") + "?own=2");
    made.setMethod("POST");
    made.setBody(pf::Bytes(40000, 'x'));
    made.setValue("application/octet-stream", "Content-Type");
    request->connectWithRequest(made);
    EXPECT_EQ(delegate->loading, 1);
    ASSERT_TRUE(env.runUntil([&] { return !request->loading(); }));
    auto recorded = server.requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].query, "own=2");
    EXPECT_EQ(recorded[0].body.size(), 40000u);
    EXPECT_EQ(delegate->sent, 40000);
    ASSERT_TRUE(delegate->raw);
    EXPECT_GT(delegate->received, 0);
}

}
