#include "LMConnectPeers.h"

#include "sdk/lmconnect/openapi/APIBase.h"
#include "sdk/lmconnect/openapi/MROpenSDKErrorUtil.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "tools/peers/LMOpenApiService.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/TextEncoding.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

class APIBaseTest : public LMConnectPeers {
protected:
    // One call to `url` for a recording target; waits for its result.
    std::shared_ptr<APIResponse> call(const std::string& url, MorrowParams params = {}, std::string method = "GET")
    {
        auto target = std::make_shared<RecordingTarget>();
        auto api = APIBase::initWithTarget(target, target->selector(), method);
        api->openUrl(url, "TOKEN-1", "OPENID-1", "100200", std::move(params));
        EXPECT_TRUE(env.runUntil([&] { return !target->responses.empty(); }));
        return target->responses.empty() ? std::make_shared<APIResponse>() : target->responses.front();
    }
};

TEST_F(APIBaseTest, OnlyANonEmptyObjectWithoutErrorKeysSucceeds)
{
    struct Case {
        std::string body;
        int retCode;
        std::string errorMsg;
    };
    const Case cases[] = {
        { R"({"ret":0,"nick":"a"})", 0, "" },
        { "true", 0, "" },
        { "{}", 1, "服务器返回内容不正确" },
        { "[1,2]", 1, "服务器返回内容不正确" },
        { "not json", 1, "服务器返回内容不正确" },
        { "", 1, "服务器返回内容不正确" },
        { R"({"error_msg":"denied"})", 1, "The operation couldn’t be completed. (morrowErrDomain error 10000.)" },
    };
    for (auto& c : cases) {
        answer("/lmopenapi/user/probe", peers::PeerReply::json(c.body));
        auto response = call(openApi("user/probe"));
        EXPECT_EQ(response->retCode, c.retCode) << c.body;
        EXPECT_EQ(response->errorMsg, c.errorMsg) << c.body;
        if (c.retCode == 0) {
            EXPECT_EQ(response->message, c.body);
        }
    }

    // A GB18030 reply is read as such, in the object and in the message.
    answer("/lmopenapi/user/probe", peers::PeerReply::bytes(*pf::TextEncoding::encodeGB18030(R"({"nick":"玩家"})"), "application/json; charset=gbk"));
    auto gbk = call(openApi("user/probe"));
    EXPECT_EQ(gbk->jsonResponse["nick"].stringValue(), "玩家");
    EXPECT_EQ(gbk->message, R"({"nick":"玩家"})");
}

TEST_F(APIBaseTest, AddsTheCommonParametersAndHandsUserDataBack)
{
    pf::Device::current().setSystemVersion("7.1");
    auto response = call(openApi("user/get_user_info"), { { "userData", pf::Value(pf::Dictionary { { "tag", 9 } }) }, { "fields", "nick" } });
    auto request = server.requests().back();
    for (auto [key, value] : std::vector<std::pair<std::string, std::string>> { { "fields", "nick" }, { "sdkv", "2.2" },
             { "sdkp", "i" }, { "status_os", "7.1" }, { "status_version", "7" }, { "status_machine", "i386" },
             { "format", "json" }, { "oauth_consumer_key", "100200" }, { "access_token", "TOKEN-1" }, { "openid", "OPENID-1" } })
        EXPECT_EQ(request.queryValue(key), value) << key;
    EXPECT_FALSE(request.queryValue("userData"));
    EXPECT_EQ(response->userData["tag"].intValue(), 9);
    EXPECT_EQ(response->retCode, 0) << "a refusal in \"ret\" is still a reply object";

    // The open-id lookup answers wrapped in "callback( ... );", which the unwrapping reads.
    auto recorder = std::make_shared<RecordingRequestDelegate>();
    auto lookup = MorrowRequest::getRequestWithParams({ { "access_token", "TOKEN-1" } }, "GET", recorder, openApi("oauth2.0/m_me"));
    lookup->connect();
    ASSERT_TRUE(env.runUntil([&] { return recorder->raw.has_value(); }));
    auto unwrapped = MrApiTool::unwrapCallbackReply(std::string(recorder->raw->begin(), recorder->raw->end()));
    ASSERT_TRUE(unwrapped);
    EXPECT_EQ((*unwrapped)["openid"].stringValue(), peers::LMOpenApiService::openIdForToken("TOKEN-1"));
}

TEST_F(APIBaseTest, ARefusedConnectionFailsAndMapsToTheNetworkCode)
{
    peers::PeersServer closed;
    ASSERT_TRUE(closed.start());
    std::string url = closed.url("gone");
    closed.stop();

    auto response = call(url);
    EXPECT_EQ(response->retCode, 1);
    EXPECT_FALSE(response->errorMsg.empty());

    auto recorder = std::make_shared<RecordingRequestDelegate>();
    auto request = MorrowRequest::getRequestWithParams({}, "GET", recorder, url);
    request->connect();
    ASSERT_TRUE(env.runUntil([&] { return recorder->ended(); }));
    ASSERT_TRUE(recorder->error);
    auto mapped = MROpenSDKErrorUtil::openSDKErrorFromOSError(*recorder->error);
    EXPECT_EQ(mapped.find("ret")->intValue(), 5);
    EXPECT_EQ(mapped.find("msg")->stringValue(), "网络异常或没有网络");
}

TEST(MROpenSDKErrorUtil, ErrorsMapAsOneTable)
{
    struct Case {
        const char* name;
        pf::Dictionary error;
        int ret;
        const char* msg;
    };
    const Case cases[] = {
        { "code 14 has no text", MROpenSDKErrorUtil::openSDKErrorWithCode(14), 1, "未知错误" },
        { "code 65536", MROpenSDKErrorUtil::openSDKErrorWithCode(0x10000), 0x10000, "设置头像图片过大, 需要小于(3264 * 2448)" },
        { "server 0", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(0), 0, "操作成功" },
        { "server 100014", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(100014), 3, "请重新登录" },
        { "server 100030", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(100030), 3, "请重新登录" },
        { "server 100031", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(100031), 4, "应用没有操作权限" },
        { "server 100000", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(100000), 8, "传入参数有误" },
        { "server 100032", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(100032), 8, "传入参数有误" },
        { "server -1", MROpenSDKErrorUtil::openSDKErrorWithCommonServerCode(-1), 8, "传入参数有误" },
        { "other domain", MROpenSDKErrorUtil::openSDKErrorFromOSError(MorrowError::formError(-1001, {})), 1, "未知错误" },
        { "url timeout", MROpenSDKErrorUtil::openSDKErrorFromOSError(MorrowError::fromUrlError(pf::UrlError::make(pf::UrlError::TimedOut))), 9, "连接超时" },
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.error.find("ret")->intValue(), c.ret) << c.name;
        EXPECT_EQ(c.error.find("msg")->stringValue(), c.msg) << c.name;
    }
    EXPECT_EQ(MROpenSDKErrorUtil::openSDKErrorWithCode(5, "why").find("MROpenSDKErrorExtraInfoKey")->stringValue(), "why");

    const std::pair<int, int> urlCodes[] = { { -1000, 6 }, { -1002, 6 }, { -1001, 9 }, { -1003, 5 }, { -1009, 5 }, { -1020, 5 },
        { -1007, 12 }, { -1014, 12 }, { -1008, 11 }, { -1102, 11 }, { -3004, 11 }, { -1012, 10 }, { -1203, 10 }, { -2000, 10 },
        { -1016, 7 }, { -999, 1 }, { -1022, 1 }, { -1099, 1 }, { -1207, 1 } };
    for (auto [url, client] : urlCodes)
        EXPECT_EQ(MROpenSDKErrorUtil::filterURLErrorCode(url), client) << url;

    APIResponse response;
    response.retCode = 0;
    response.jsonResponse = pf::Dictionary { { "ret", 100031 } };
    MROpenSDKErrorUtil::apiResponseConvert(response);
    EXPECT_EQ(response.detailRetCode, 4);
    EXPECT_EQ(response.errorMsg, "应用没有操作权限");
    EXPECT_EQ(response.jsonResponse["ret"].intValue(), 100031);
    EXPECT_EQ(MROpenSDKErrorUtil::apiResponse("not a dictionary"), nullptr);
    EXPECT_EQ(MROpenSDKErrorUtil::apiResponse(pf::Dictionary { { "ret", "x" } })->detailRetCode, 1);
}

TEST(APIBaseNumbers, CallNumbersStartAtOneAndAreNeverReused)
{
    pf::TaskEnvironment env;
    auto target = std::make_shared<RecordingTarget>();
    auto first = APIBase::initWithTarget(target, {}, "GET");
    auto second = APIBase::initWithTarget(target, {}, "GET");
    EXPECT_GE(first->seq(), 1);
    EXPECT_EQ(second->seq(), first->seq() + 1);

    std::vector<std::thread> threads;
    std::vector<std::vector<int>> seen(3);
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&seen, t] {
            for (int i = 0; i < 1000; ++i)
                seen[t].push_back(APIBase::getApiBaseSeq());
        });
    for (auto& thread : threads)
        thread.join();
    std::set<int> all { second->seq() };
    for (auto& list : seen)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), 3001u);
}

TEST(APIBasePermission, PermissionIsTheLastPartOfTheTrimmedAddress)
{
    EXPECT_EQ(APIBase::parsePermissionFromURL("https://h/user/get_user_info"), "get_user_info");
    EXPECT_EQ(APIBase::parsePermissionFromURL(" https://h/user/get_user_info/ \n"), "get_user_info");
    EXPECT_EQ(APIBase::parsePermissionFromURL("///"), std::nullopt);
    EXPECT_EQ(APIBase::parsePermissionFromURL("get_user_info"), std::nullopt);
}

}
