#include "LMConnectPeers.h"

#include "sdk/lmconnect/openapi/MRAPIRequest.h"

#include <gtest/gtest.h>

namespace {

class GetNickRequest : public MRAPIRequestType<GetNickRequest> {
public:
    static constexpr std::string_view kPath = "user/get_nick";
    static constexpr std::string_view kMethod = "GET";
    std::optional<std::string> nick() const { return textParam("nick"); }
    void setNick(std::optional<std::string> value) { setParamValue("nick", toParam(value)); }
};

class SetNickRequest : public MRAPIRequestType<SetNickRequest> {
public:
    static constexpr std::string_view kPath = "user/set_nick";
    static constexpr std::string_view kMethod = "POST";
};

struct RecordingCallback : MRAPIRequestDelegate {
    std::vector<std::shared_ptr<APIResponse>> outcomes;
    void cgiRequestDidResponse(const std::shared_ptr<MRAPIRequest>&, const std::shared_ptr<APIResponse>& response) override
    {
        outcomes.push_back(response);
    }
};

class CgiRequestTest : public LMConnectPeers {
protected:
    std::shared_ptr<TestSession> session = std::make_shared<TestSession>();
    std::shared_ptr<RecordingCallback> callback = std::make_shared<RecordingCallback>();
};

TEST_F(CgiRequestTest, DeclaredTypesSendToTheirPathWithTheirMethod)
{
    EXPECT_EQ(GetNickRequest::APIPath(), "user/get_nick");
    EXPECT_EQ(SetNickRequest::APIMethod(), "POST");

    auto get = GetNickRequest::create();
    get->setNick("小明");
    EXPECT_EQ(get->nick(), "小明");
    get->setParamUserData(7);
    EXPECT_EQ(get->objectForKey("userData")->value.intValue(), 7);
    ASSERT_TRUE(session->sendAPIRequest(get, callback));
    EXPECT_EQ(get->state(), MRAPIRequest::Loading);
    EXPECT_EQ(session->apiRequests().size(), 1u);
    ASSERT_TRUE(env.runUntil([&] { return !callback->outcomes.empty(); }));

    auto sent = server.requests().back();
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.path, "/lmcgi/user/get_nick");
    EXPECT_EQ(sent.queryValue("nick"), "小明");
    EXPECT_EQ(sent.queryValue("access_token"), "TOKEN-1");
    EXPECT_FALSE(sent.queryValue("userData"));
    auto& response = callback->outcomes.front();
    EXPECT_EQ(response->retCode, 0);
    EXPECT_EQ(response->detailRetCode, 0);
    EXPECT_EQ(response->errorMsg, "操作成功") << "a CGI reply's \"ret\" is converted";
    EXPECT_EQ(response->userData.intValue(), 7);
    EXPECT_EQ(get->state(), MRAPIRequest::Done);
    EXPECT_TRUE(session->apiRequests().empty());
    EXPECT_FALSE(get->requestKey());

    // A lower-case method word is sent upper-cased; a refused "ret" is converted.
    answer("/lmcgi/user/set_nick", peers::PeerReply::json(R"({"ret":100031,"msg":"denied"})"));
    auto post = session->cgiRequestWithURL(cgi("user/set_nick"), "post", { { "nick", "x" } }, callback);
    ASSERT_TRUE(post);
    ASSERT_TRUE(env.runUntil([&] { return callback->outcomes.size() == 2; }));
    EXPECT_EQ(server.requests().back().method, "POST");
    EXPECT_EQ(server.requests().back().body.find("nick=x"), 0u);
    EXPECT_EQ(callback->outcomes[1]->detailRetCode, 4);
}

TEST_F(CgiRequestTest, RefusedSendsSendNothing)
{
    session->openIdValid = false;
    auto request = GetNickRequest::create();
    EXPECT_FALSE(session->sendAPIRequest(request, callback));
    EXPECT_EQ(request->state(), MRAPIRequest::Idle);
    EXPECT_FALSE(session->cgiRequestWithURL(cgi("x"), "GET", {}, callback));
    session->openIdValid = true;
    session->valid = false;
    EXPECT_FALSE(session->sendAPIRequest(request, callback));
    session->valid = true;

    // No address, or a method that is neither GET nor POST: refused, and never sent again.
    for (auto refused : { MRAPIRequest::init(), MRAPIRequest::initWithURL(cgi("x"), "PUT") }) {
        EXPECT_FALSE(session->sendAPIRequest(refused, callback));
        EXPECT_EQ(refused->state(), MRAPIRequest::Loading);
        EXPECT_FALSE(session->sendAPIRequest(refused, callback));
    }
    ASSERT_TRUE(session->sendAPIRequest(request, callback));
    EXPECT_FALSE(session->sendAPIRequest(request, callback)) << "a request is sent once";
    env.waitForPendingWork();
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(CgiRequestTest, TheDictionaryFormsKeepTheirOwnEntries)
{
    auto ignored = MRAPIRequest::initWithObjectsForKeys({ MorrowParam("v") }, { "k" });
    EXPECT_EQ(ignored->count(), 0u);
    auto request = MRAPIRequest::initWithURL("http://h/x", "get");
    request->setObject("b", std::string("1"));
    request->setObject("a", std::string("2"));
    request->setParamUserData(pf::Value("u"));
    EXPECT_EQ(request->keyEnumerator(), (std::vector<std::string> { "b", "a", "userData" }));
    request->removeObjectForKey("b");
    EXPECT_EQ(request->keyEnumerator(), (std::vector<std::string> { "a", "userData" }));
}

TEST_F(CgiRequestTest, CancelAndResponsesGiveAtMostOneOutcome)
{
    // Cancel twice: the call leaves the table, nothing arrives.
    auto cancelled = GetNickRequest::create();
    ASSERT_TRUE(session->sendAPIRequest(cancelled, callback));
    cancelled->cancel();
    cancelled->cancel();
    EXPECT_EQ(cancelled->state(), MRAPIRequest::Cancelled);
    EXPECT_TRUE(session->apiRequests().empty());
    env.waitForPendingWork();
    // A response after the cancel is kept but reaches nobody.
    auto late = std::make_shared<APIResponse>();
    cancelled->apiBaseDidResponse(late);
    EXPECT_TRUE(callback->outcomes.empty());

    // Cancel after the response does nothing; a second response nests the first's reply.
    auto answered = GetNickRequest::create();
    ASSERT_TRUE(session->sendAPIRequest(answered, callback));
    ASSERT_TRUE(env.runUntil([&] { return callback->outcomes.size() == 1; }));
    answered->cancel();
    EXPECT_EQ(answered->state(), MRAPIRequest::Done);
    auto second = std::make_shared<APIResponse>();
    second->jsonResponse = pf::Dictionary { { "ret", 1 } };
    answered->apiBaseDidResponse(second);
    EXPECT_EQ(callback->outcomes.size(), 1u);
    EXPECT_EQ(answered->response()->jsonResponse["jsonResponse"]["cgi"].stringValue(), "user/get_nick");
    EXPECT_EQ(answered->response()->jsonResponse["ret"].intValue(), 1);
    // Processing alone stores and nests the same way and tells nobody.
    auto third = std::make_shared<APIResponse>();
    third->jsonResponse = pf::Dictionary { { "ret", 2 } };
    answered->responseProcess(third);
    EXPECT_EQ(answered->response(), third);
    EXPECT_EQ(third->jsonResponse["jsonResponse"]["ret"].intValue(), 1);
    EXPECT_EQ(callback->outcomes.size(), 1u);

    // Cancel by key and delete by number both empty the table.
    auto a = GetNickRequest::create();
    auto b = GetNickRequest::create();
    ASSERT_TRUE(session->sendAPIRequest(a, callback));
    ASSERT_TRUE(session->sendAPIRequest(b, callback));
    EXPECT_EQ(session->apiRequests().size(), 2u);
    session->cancelWithRequestKey(*a->requestKey());
    session->deleteAPIRequestBySeq(*b->requestKey());
    EXPECT_TRUE(session->apiRequests().empty());
    EXPECT_FALSE(b->requestKey());
    EXPECT_EQ(b->morrowOAuth(), nullptr);
    env.waitForPendingWork();
    EXPECT_EQ(callback->outcomes.size(), 1u);
}

TEST_F(CgiRequestTest, AMissingPermissionAsksTheSessionOnly)
{
    answer("/lmcgi/user/get_user_info", peers::PeerReply::json(R"({"ret":100030,"msg":"no permission"})"));

    // The session grants: the result arrives, converted.
    auto granted = session->cgiRequestWithURL(cgi("user/get_user_info"), "GET", {}, callback);
    ASSERT_TRUE(env.runUntil([&] { return callback->outcomes.size() == 1; }));
    EXPECT_EQ(session->asked, (std::vector<std::vector<std::string>> { { "get_user_info" } }));
    EXPECT_EQ(callback->outcomes[0]->detailRetCode, 3);

    // The session says NO: withheld, and the call leaves the table.
    session->grantsResult = false;
    auto withheld = session->cgiRequestWithURL(cgi("user/get_user_info"), "GET", {}, callback);
    ASSERT_TRUE(env.runUntil([&] { return session->asked.size() == 2; }));
    env.waitForPendingWork();
    EXPECT_EQ(callback->outcomes.size(), 1u);
    EXPECT_TRUE(session->apiRequests().empty());
    EXPECT_FALSE(withheld->requestKey());

    // Any other target gets the reply as it is.
    auto target = std::make_shared<RecordingTarget>();
    auto api = APIBase::initWithTarget(target, target->selector(), "GET");
    api->openUrl(cgi("user/get_user_info"), "T", "O", "A", {});
    ASSERT_TRUE(env.runUntil([&] { return !target->responses.empty(); }));
    EXPECT_EQ(target->responses[0]->jsonResponse["ret"].intValue(), 100030);
    EXPECT_EQ(session->asked.size(), 2u);
}

}
