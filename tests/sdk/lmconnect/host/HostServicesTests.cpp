#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MROSDKJSBridgeTools.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/host/MorrowDataMgr.h"
#include "sdk/lmconnect/MorrowScriptServices.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowSession.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/web/WebView.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/LMOpenApiService.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class FixedSession : public MorrowSession {
public:
    std::string accessToken() const override { return "T"; }
    std::string openId() const override { return "O"; }
    std::string appId() const override { return "1"; }
    bool isSessionValid() const override { return true; }
    bool isOpenIdValid() const override { return true; }
    bool morrowNeedPerformIncrAuth(const std::vector<std::string>&) override { return true; }
};

struct RecordingSessionDelegate : MorrowSessionDelegate {
    std::vector<std::pair<std::string, std::shared_ptr<APIResponse>>> calls;
    void getUserInfoResponse(const std::shared_ptr<APIResponse>& r) override { calls.emplace_back("getUserInfoResponse", r); }
    void addShareResponse(const std::shared_ptr<APIResponse>& r) override { calls.emplace_back("addShareResponse", r); }
    void cgiRequestDidResponse(const std::shared_ptr<MRAPIRequest>&, const std::shared_ptr<APIResponse>& r) override
    {
        calls.emplace_back("cgiRequestDidResponse", r);
    }
};

// A host on the installed scripts, with the common objects and the session's services.
class HostTest : public testing::Test {
protected:
    HostTest()
    {
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
        manager = JsUpdateManager::create();
        bridge = MROSDKJSBridge::initializeWithUpdateManager(manager, view, {});
        EXPECT_TRUE(bridge);
        if (!bridge)
            return;
        bridge->evaluateJavascript(MROSDKJSBridge::bootstrapScript());
        for (auto& object : { MROSDKJSBridgeTools::logObject(), MROSDKJSBridgeTools::openUiObject(), MROSDKJSBridgeTools::dataMgrObject(),
                 MROSDKJSBridgeTools::dataReportObject() })
            bridge->JSRunEnv().registNativeObj(object);
        auto oauth = std::make_shared<MorrowJSObject>("oauth");
        services->addRequestFunctionsTo(*oauth);
        services->addRelayFunctionsTo(*oauth);
        bridge->JSRunEnv().registNativeObj(oauth);
    }
    ~HostTest() override { MROSDKJSBridge::deinit(); }

    std::string run(const std::string& script) { return bridge->evaluateJavascript(script); }
    // Sends a script's GET for `callback` and waits until its reply is parked.
    void scriptGet(const std::string& path, const std::string& callback)
    {
        pf::Dictionary request { { "url", MorrowHostConfig::shared().openApiBase() + path }, { "accesstoken", "T" },
            { "openid", peers::LMOpenApiService::openIdForToken("T") }, { "appid", "1" }, { "callback", callback } };
        run("oauth.httpGet(" + MorrowScriptText::literal(pf::Json::write(pf::Value(request))) + ")");
        EXPECT_TRUE(env.runUntil([&] { return run("morrow.result.pending[" + MorrowScriptText::literal(callback) + "]") == callback; }));
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<MorrowWebViewHost> view = MorrowWebViewHost::create();
    std::shared_ptr<JsUpdateManager> manager;
    std::shared_ptr<MROSDKJSBridge> bridge;
    std::shared_ptr<FixedSession> session = std::make_shared<FixedSession>();
    std::shared_ptr<RecordingSessionDelegate> delegate = std::make_shared<RecordingSessionDelegate>();
    std::shared_ptr<MorrowScriptServices> services = std::make_shared<MorrowScriptServices>(session, delegate);
};

TEST_F(HostTest, FirstHostRunsTheShippedScriptsAndEveryEntryPointAnswers)
{
    ASSERT_TRUE(bridge);
    const char* entryPoints[] = { "morrow.tauth.init('100')", "morrow.tauth.init('100')", "morrow.tauth.login('get_user_info')",
        "morrow.tauth.inAuth('add_share')", "morrow.result.loginComplete('tok','oid',1700000000000)",
        "morrow.localresult.handleAuthorizeResult('morrow100%3A%2F%2Fx')", "morrow.result.httpResponse('cb','cb')",
        "morrow.result.shouldUserGetUserInfo()", "morrow_base.getUserInfo()", "morrow.netmonitor.statusChanged('wifi')",
        "morrow.share.shareMessageToLM({\"object_type\":\"LMApiNewsObject\"})", "morrow.info.getUserInfo('a','a')",
        "morrow.lzone.listAlbum('a','a')", "morrow.blip.checkFans('a','a')", "morrow.pub.jscall('k','k')" };
    for (auto script : entryPoints) {
        std::string guarded = std::string("(function () { try { return 'ok:' + (") + script + "); } catch (e) { return 'error: ' + e; } })()";
        EXPECT_EQ(run(guarded).rfind("ok:", 0), 0u) << script;
    }
    EXPECT_EQ(run("morrow.oauth.accessToken"), "tok");
    EXPECT_EQ(run("log.d('tag', 'text')"), "js debuger");
    pf::Bundle::main()->setInfoValue("CFBundleURLTypes", pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { "morrow100" } } } });
    EXPECT_EQ(run("openUi.getLMInfo(JSON.stringify({appSchema: 'morrow100'}))"), "YES");
}

TEST_F(HostTest, ScriptRequestsAreParkedAndRelayedToTheDelegate)
{
    ASSERT_TRUE(bridge);
    scriptGet("user/get_user_info", "cb1");
    auto parked = MROSDKJSBridge::getResponseDictionary("cb1");
    ASSERT_TRUE(parked);
    EXPECT_EQ(parked->jsonResponse["nickname"].stringValue(), peers::LMOpenApiService::kNickname);
    EXPECT_EQ(session->apiRequests().size(), 1u) << "the call waits for a relay";

    // Type 2 converts the reply and calls the named operation; the call leaves the table.
    run(R"(oauth.httpJsResponseCallbackType2(JSON.stringify({key: "cb1", callback: "getUserInfoResponse:"})))");
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].first, "getUserInfoResponse");
    EXPECT_EQ(delegate->calls[0].second->errorMsg, "操作成功");
    EXPECT_TRUE(session->apiRequests().empty());

    // A name outside the table reaches nobody; a key without a reply does nothing.
    scriptGet("user/get_user_info", "cb2");
    run(R"(oauth.httpJsResponseCallback(JSON.stringify({key: "cb2", callback: "dealloc"})))");
    run(R"(oauth.httpJsResponseCallback(JSON.stringify({key: "none", callback: "addShareResponse:"})))");
    EXPECT_EQ(delegate->calls.size(), 1u);
    EXPECT_TRUE(session->apiRequests().empty());
    run(R"(oauth.httpJsResponseCallback(JSON.stringify({key: "cb2", callback: "addShareResponse"})))");
    ASSERT_EQ(delegate->calls.size(), 2u);
    EXPECT_EQ(delegate->calls[1].first, "addShareResponse");

    // Type 3: "chenggong" with a parked reply, "shibai" without.
    EXPECT_EQ(services->httpJsResponseCallbackType3(pf::Dictionary { { "key", "cb2" } }), "chenggong");
    EXPECT_EQ(services->httpJsResponseCallbackType3(pf::Dictionary { { "key", "none" } }), "shibai");
    EXPECT_EQ(delegate->calls.back().first, "cgiRequestDidResponse");

    // A POST sends what native code parked under the script's key.
    MROSDKJSBridge::addUserDictionary(pf::Value(pf::Dictionary { { "con", "礼包" } }), "post1");
    pf::Dictionary post { { "url", MorrowHostConfig::shared().cgiBase() + "share/add" }, { "accesstoken", "T" }, { "callback", "cb3" },
        { "key", "post1" } };
    run("oauth.httpPost(" + MorrowScriptText::literal(pf::Json::write(pf::Value(post))) + ")");
    ASSERT_TRUE(env.runUntil([&] { return MROSDKJSBridge::getResponseDictionary("cb3") != nullptr; }));
    auto sent = server.requests("/lmcgi/share/add");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_NE(sent[0].body.find("con=%E7%A4%BC%E5%8C%85"), std::string::npos);
}

TEST_F(HostTest, NetworkChangesAndUserInfoQuestionsReachTheScripts)
{
    ASSERT_TRUE(bridge);
    // Any status text arrives as it was given, and runs nothing.
    for (std::string status : { "wifi", "", "it's \"4g\"\n\u2028');window.hit=1;('" }) {
        EXPECT_EQ(bridge->nativeNetworkChanged(status), "true") << status;
        EXPECT_EQ(run("morrow.netmonitor.status"), status);
    }
    EXPECT_EQ(run("typeof window.hit"), "undefined");

    // The scripts' own user-info request asks the info namespace with its callback name.
    run("morrow.info.getUserInfo = function (a, b) { morrow.info.asked = a + '|' + b; return 'true'; }");
    EXPECT_EQ(bridge->JSgetUserInfo(), "true");
    EXPECT_EQ(run("morrow.info.asked"), "getUserInfoResponse:|getUserInfoResponse:");
    EXPECT_EQ(bridge->JSuserGetUserInfo(), "false");
    run("morrow.result.wantsUserInfo = true");
    EXPECT_EQ(bridge->JSuserGetUserInfo(), "true");
}

TEST_F(HostTest, SignInEntryPointsTakeTheirValuesAsWritten)
{
    ASSERT_TRUE(bridge);
    // Each entry point records the type and text of every argument it receives. The page's own
    // names that a number written carelessly would read ("nan", "inf") are defined.
    run(R"(window.recorder = function (name) { return function () {
        morrow.got = [name].concat(Array.prototype.map.call(arguments, function (a) { return typeof a + ":" + a; }));
        return "answer"; }; };
        morrow.tauth.init = recorder("init"); morrow.tauth.login = recorder("login");
        morrow.result.loginComplete = recorder("loginComplete");
        morrow.localresult.handleAuthorizeResult = recorder("handleAuthorizeResult");
        window.nan = window.inf = "page";)");
    auto got = [&] { return run("morrow.got.join('|')"); }; // no text below holds a "|"
    for (std::string text : { "", "it's \"q\"\\');window.hit=1;//", "a\nb\r\u2028\u2029c", "</script><script>window.hit=1</script>" }) {
        SCOPED_TRACE(text);
        EXPECT_EQ(bridge->authorizeInitWithHandler(text, 0), "answer");
        EXPECT_EQ(got(), "init|string:" + text);
        EXPECT_EQ(bridge->authorizeWithPermissions({ text, "add_share" }), "answer");
        EXPECT_EQ(got(), "login|string:" + text + ",add_share");
        EXPECT_EQ(bridge->setAccessTokenOpenIDExpirationDate(text, text + "2", 1.5), "answer");
        EXPECT_EQ(got(), "loginComplete|string:" + text + "|string:" + text + "2|number:1.5");
        EXPECT_FALSE(bridge->authorizeHandleURL(text));
        EXPECT_EQ(got(), "handleAuthorizeResult|string:" + text);
    }
    EXPECT_EQ(run("typeof window.hit"), "undefined");

    // The expiry arrives as the number given, whole however large, never as a page's name.
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> expiries[] = { { 1700000000000.0, "1700000000000" }, { -2.25, "-2.25" }, { 1e300, "1e+300" },
        { std::nan(""), "NaN" }, { inf, "Infinity" }, { -inf, "-Infinity" } };
    for (auto [expiry, written] : expiries) {
        bridge->setAccessTokenOpenIDExpirationDate("t", "o", expiry);
        EXPECT_EQ(got(), std::string("loginComplete|string:t|string:o|number:") + written) << written;
    }
}

TEST_F(HostTest, OnlyTheAnswerYESMeansTheScriptsTookTheAddress)
{
    ASSERT_TRUE(bridge);
    const std::pair<const char*, bool> answers[] = { { "'YES'", true }, { "'NO'", false }, { "'yes'", false }, { "'YES '", false },
        { "true", false }, { "undefined", false }, { "(function () { throw new Error('YES'); })()", false } };
    for (auto [answer, handled] : answers) {
        run(std::string("morrow.localresult.handleAuthorizeResult = function (u) { morrow.gotUrl = u; return ") + answer + "; }");
        EXPECT_EQ(bridge->authorizeHandleURL("morrow100%3A%2F%2Fx"), handled) << answer;
        EXPECT_EQ(run("morrow.gotUrl"), "morrow100%3A%2F%2Fx") << answer;
    }
}

TEST_F(HostTest, APostWhoseCallIsLargeIsSentWhole)
{
    ASSERT_TRUE(bridge);
    view->webView()->setScriptBudget(60);
    // The call carries more than the query reader takes by default (its "params" are not sent).
    const std::string body(300 * 1024, 'b');
    MROSDKJSBridge::addUserDictionary(pf::Value(pf::Dictionary { { "text", body } }), "large");
    pf::Dictionary post { { "url", MorrowHostConfig::shared().cgiBase() + "share/add" }, { "accesstoken", "T" }, { "callback", "cbLarge" },
        { "params", pf::Dictionary { { "text", std::string(400 * 1024, 'p') } } }, { "key", "large" } };
    run("oauth.httpPost(" + MorrowScriptText::literal(pf::Json::write(pf::Value(post))) + ")");
    ASSERT_TRUE(env.runUntil([&] { return MROSDKJSBridge::getResponseDictionary("cbLarge") != nullptr; }));
    auto sent = server.requests("/lmcgi/share/add");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].body.find("text=" + body), std::string::npos);
    EXPECT_EQ(sent[0].body.find("ppp"), std::string::npos);
}

TEST_F(HostTest, UserInfoRepliesSetTheNickName)
{
    ASSERT_TRUE(bridge);
    server.setFault("GET", "/lmopenapi/user/get_user_info", peers::PeerReply::json(R"({"ret":0,"nickname":"&lt;b&gt;&#39;x&#39;"})"));
    scriptGet("user/get_user_info", "u1");
    run(R"(oauth.httpJsResponseCallbackUserInfo(JSON.stringify({key: "u1"})))");
    EXPECT_EQ(services->nickName(), "<b>'x'");
    EXPECT_TRUE(delegate->calls.empty()) << "the scripts did not ask for the reply";

    run("morrow.result.wantsUserInfo = true");
    scriptGet("user/get_user_info", "u2");
    run(R"(oauth.httpJsResponseCallbackUserInfo(JSON.stringify({key: "u2"})))");
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(services->httpJsResponseNotShowCallbackUserInfo(pf::Dictionary { { "key", "missing" } }), "");
    EXPECT_EQ(services->httpJsResponseNotShowCallbackUserInfo(pf::Dictionary { { "key", "u2" } }), "字符串");
}

TEST_F(HostTest, ScriptsTakeTheLMAppRoutesOverNativeObjects)
{
    ASSERT_TRUE(bridge);
    // Stand-ins for the objects the session registers, recording what the scripts open.
    std::vector<std::string> opened;
    auto fixed = [](MorrowBridgeValue value) { return [value](const std::vector<MorrowBridgeValue>&) { return value; }; };
    auto openapi = std::make_shared<MorrowJSObject>("openapi");
    openapi->transformNativeMethod(fixed(true), 1, "isSupportPastboard", 4, { 2 });
    openapi->transformNativeMethod(fixed("com.morrow.morrow100"), 1, "saveDictionaryByGeneralPastboardWithSchema", 1, { 2 });
    openapi->transformNativeMethod(fixed("3"), 0, "getJSVersion", 1, {});
    openapi->transformNativeMethod(fixed("com.quorvane.gifts"), 0, "getBundleIdentifier", 1, {});
    openapi->transformNativeMethod([&](const std::vector<MorrowBridgeValue>& a) {
        opened.push_back(a[0].value["url"].stringValue());
        return MorrowBridgeValue("true");
    }, 1, "openURL", 1, { 2 });
    auto openApi = std::make_shared<MorrowJSObject>("openApi");
    openApi->transformNativeMethod(fixed("true"), 1, "isAppVersion", 1, { 2 });
    auto nativeApi = std::make_shared<MorrowJSObject>("nativeApi");
    for (const char* name : { "isRegistScheme", "checkLMApiURLMessage" })
        nativeApi->transformNativeMethod(fixed("YES"), 0, name, 1, {});
    nativeApi->transformNativeMethod(fixed("YES"), 1, "isLargeDataLengthLegal", 1, { 1 });
    nativeApi->transformNativeMethod(fixed(123), 0, "resendUrlObjectSyncShare", 5, {});
    nativeApi->transformNativeMethod(fixed({}), 0, "setURLObjectPasteBoardDatas", 9, {});
    nativeApi->transformNativeMethod(fixed("LM0000ABCD"), 0, "getLMScheme", 1, {});
    nativeApi->transformNativeMethod([&](const std::vector<MorrowBridgeValue>& a) {
        opened.push_back(a[0].value.stringValue());
        return MorrowBridgeValue(0);
    }, 1, "openURL", 5, { 1 });
    for (auto& object : { openapi, openApi, nativeApi })
        bridge->JSRunEnv().registNativeObj(object);
    pf::Bundle::main()->setInfoValue("CFBundleURLTypes", pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { "morrow100" } } } });

    run("morrow.tauth.init('100')");
    EXPECT_EQ(run("morrow.tauth.login('get_user_info,add_share')"), "true");
    EXPECT_EQ(run("morrow.share.shareMessageToLM({isUrlObject: 'YES', object_type: 'LMApiNewsObject', object_title: '礼包 & 码', "
                  "object_targetUrl: 'http://g/1', message_type: '5', shareType: 0, cflag: '0'})"),
        "0");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], "mlmOpensdkSSoLogin://SSoLogin/morrow100/com.morrow.morrow100?generalpastboard=1");
    EXPECT_EQ(opened[1].rfind("mlmapi://share/LMApiNewsObject?src=LM0000ABCD&", 0), 0u) << opened[1];
    EXPECT_NE(opened[1].find("title=%E7%A4%BC%E5%8C%85%20%26%20%E7%A0%81"), std::string::npos);
    EXPECT_NE(opened[1].find("url=http%3A%2F%2Fg%2F1"), std::string::npos);
}

struct PooledData : MorrowPoolObject {
    explicit PooledData(std::string bytes) : bytes(std::move(bytes)) { }
    std::string bytes;
    std::string poolClassName() const override { return "Data"; }
    std::optional<pf::Bytes> archivedData() const override
    {
        if (bytes.empty())
            return std::nullopt;
        return pf::Bytes(bytes.begin(), bytes.end());
    }
};

TEST_F(HostTest, PoolKeysNeverRepeatAndObjectsReachThePasteboard)
{
    ASSERT_TRUE(bridge);
    auto& pool = MorrowDataMgr::getInstance();
    EXPECT_EQ(pool.addObjectInDataMgr(std::make_shared<PooledData>("abc")), "Data_0");
    EXPECT_EQ(pool.addObjectInDataMgr(std::make_shared<PooledData>("defg")), "Data_1");
    EXPECT_EQ(pool.addObjectInDataMgr(std::make_shared<PooledData>("")), std::nullopt) << "cannot be written";
    EXPECT_EQ(run("MorrowDataMgr.removeKeyFromDataMgr('Data_0')"), "true");
    EXPECT_EQ(pool.addObjectInDataMgr(std::make_shared<PooledData>("hi")), "Data_2") << "a fresh number after a removal";
    EXPECT_EQ(run("MorrowDataMgr.objSize('Data_1')"), "4");
    EXPECT_EQ(run("MorrowDataMgr.objSize('Data_0')"), "0");
    EXPECT_EQ(run("MorrowDataMgr.objSize('Other_1')"), "0");
    EXPECT_EQ(run("String(MorrowDataMgr.removeKeyFromDataMgr('nounderscore'))"), "false");
    EXPECT_EQ(run("MorrowDataMgr.addObjectInPastboard('Data_2')"), "com.morrow.lmapi.dataData_2");
    auto data = pf::Pasteboard::general()->dataForType("com.morrow.lmapi.dataData_2");
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), "hi");
    EXPECT_EQ(run("MorrowDataMgr.addObjectInPastboard('Data_0')"), "(null)") << "a text result of none reads (null)";
}

}
