#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/MorrowScriptServices.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/apps/APIResponseCoding.h"
#include "sdk/lmconnect/apps/MXAppidConvert.h"
#include "sdk/lmconnect/apps/MorrowAppLauncher.h"
#include "sdk/lmconnect/apps/MorrowAppPasteboard.h"
#include "sdk/lmconnect/apps/MorrowAppVersions.h"
#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"
#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/openapi/APIBase.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"
#include "sdk/lmconnect/update/MorrowResourceBundle.h"
#include "sdk/lmconnect/web/MRLoginViewKit.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/web/WebView.h"
#include "tools/peers/LMOpenApiService.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/apps/LMApp.h"
#include "tools/peers/apps/LZoneApp.h"
#include "tests/sdk/lmconnect/support/VendorDevice.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kAppId = "100481327";
constexpr const char* kReplyScheme = "morrow100481327";

struct Recorder : MorrowSessionDelegate {
    std::vector<std::string> calls;
    void morrowDidLogin() override { calls.push_back("login"); }
    void morrowDidNotLogin(bool cancelled) override { calls.push_back(cancelled ? "cancelled" : "failed"); }
    void morrowDidLogout() override { calls.push_back("logout"); }
    void addShareResponse(const std::shared_ptr<APIResponse>& r) override { calls.push_back("addShare:" + r->errorMsg); }
    void sendStoryResponse(const std::shared_ptr<APIResponse>& r) override { calls.push_back("story:" + r->errorMsg); }
    void responseDidReceived(const std::shared_ptr<APIResponse>& r, const std::string& m) override { calls.push_back("other:" + m); }
};

// Plays the application delegate: opened addresses go through the router.
struct AppDelegate : pf::ApplicationDelegate {
    bool openURL(pf::Application&, const pf::Url& url, const std::string& source) override
    {
        return MorrowOpenURLRouter::route(url, source);
    }
};

pf::Url url(const std::string& text) { return *pf::Url::fromString(text); }

class SessionTest : public testing::Test {
protected:
    SessionTest()
    {
        prepareVendorDevice(server, appDelegate, kReplyScheme);
        auto bundle = pf::Bundle::main();
        bundle->setInfoValue("CFBundleDisplayName", "礼包");
        session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, recorder);
    }
    ~SessionTest() override
    {
        session.reset();
        MROSDKJSBridge::deinit();
        pf::AppRegistry::shared().removeAll();
        pf::Application::shared().reset();
    }

    std::string run(const std::string& script) { return session->scriptHost()->evaluateJavascript(script); }
    // Signs in through the LM stand-in; false when no result came.
    bool signIn()
    {
        recorder->calls.clear();
        EXPECT_TRUE(session->authorizeInSafari({ "get_user_info", "add_share" }, false));
        return env.runUntil([&] { return !recorder->calls.empty(); });
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<AppDelegate> appDelegate = std::make_shared<AppDelegate>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<MorrowOAuth> session;
};

TEST_F(SessionTest, CreationRegistersAndTheEleventhAuthorisationRebuildsTheHost)
{
    ASSERT_TRUE(session->scriptHost());
    EXPECT_EQ(MorrowAppLauncher::appSchema(), kReplyScheme);
    EXPECT_EQ(run("String(morrow.tauth.initialised)"), "true");
    EXPECT_EQ(run("morrow.tauth.appId"), kAppId);
    for (int call = 1; call <= 12; ++call) {
        auto before = session->scriptHost();
        run("morrow.marker = 1");
        session->authorizeInSafari({ "p" + std::to_string(call) }, call % 2 == 0);
        bool rebuilt = session->scriptHost() != before;
        EXPECT_EQ(rebuilt, call == 11) << call;
        EXPECT_EQ(run("String(morrow.marker)"), rebuilt ? "undefined" : "1") << call;
        EXPECT_EQ(run("String(morrow.tauth.initialised)"), "true") << call;
        EXPECT_EQ(run("morrow.tauth.permissions"), "p" + std::to_string(call)) << call;
    }
}

TEST_F(SessionTest, OnSystemFourTheObjectsComeWithTheHostsPageAndNothingRebuildsIt)
{
    pf::Device::current().setSystemVersion("4.3");
    session.reset();
    MROSDKJSBridge::deinit();
    session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, recorder);
    ASSERT_TRUE(session->scriptHost());
    EXPECT_EQ(run("typeof oauth + ' ' + String(morrow.tauth.initialised)"), "undefined false") << "nothing registered or initialised";
    // A sign-in asked for now waits for the objects; the last one asked for runs.
    EXPECT_TRUE(session->authorizeInSafari({ "early" }, false));
    EXPECT_TRUE(session->authorizeInSafari({ "later" }, false));
    EXPECT_EQ(run("String(morrow.tauth.permissions)"), "undefined");

    // The host's own page arrives: the scripts run in it again, then the objects are registered,
    // the scripts initialised and the waiting sign-in run.
    env.runUntilIdle();
    EXPECT_EQ(run("String(morrow.tauth.initialised)"), "true");
    EXPECT_EQ(run("morrow.tauth.permissions"), "later");
    EXPECT_EQ(run("log.d('tag', 'text')"), "js debuger");

    auto host = session->scriptHost();
    for (int call = 1; call <= 11; ++call)
        EXPECT_TRUE(session->authorizeInSafari({ "p" }, false));
    EXPECT_EQ(session->scriptHost(), host);
    EXPECT_EQ(MorrowOAuth::authorizationCount(), 0);
}

// The scripts are given the system's major number as a whole number read from the version's
// text: one too large for an int stops at the largest instead of overflowing into a negative.
TEST_F(SessionTest, TheScriptsAreGivenTheSystemsMajorNumber)
{
    for (auto [version, major] : { std::pair { "7.1", "7" }, std::pair { "4.3", "4" }, std::pair { "99999999999", "2147483647" } }) {
        pf::Device::current().setSystemVersion(version);
        EXPECT_EQ(run("String(openapi.getSystemOSVersion())"), major) << version;
    }
}

TEST_F(SessionTest, EachRegistrationDeclaresTheEightObjectsInOrderWithTheirFunctions)
{
    run("var declared = []; var declare = SendCmd.createClass;"
        "SendCmd.createClass = function (name, json) {"
        "  declared.push(name + ': ' + JSON.parse(json).map(function (f) { return f.funcName + '/' + f.argNum; }).join(' '));"
        "  return declare.call(SendCmd, name, json); };");
    session->webViewDidFinishLoad();
    EXPECT_EQ(run("declared.map(function (d) { return d.split(':')[0]; }).join(' ')"),
        "oauth openUi openApi log nativeApi openapi sdk_reportUtils MorrowDataMgr");
    // The function lists whose order or repetition the scripts rely on.
    EXPECT_EQ(run("declared[0]"),
        "oauth: httpGet/1 httpPost/1 convertAppIdJs/1 registLMAPIWithLMAppId/1 authorizeInappWithParams/1 "
        "authorizeInWebviewKitWithParams/1 jsCallHandleOpenUrlByOpenApi/1 jsCallHandleOpenURLByOAuth/1 httpJsResponseCallback/1 "
        "httpJsResponseCallbackType2/1 httpJsResponseCallbackType3/1 httpJsResponseCallbackUserInfo/1 "
        "httpJsResponseNotShowCallbackUserInfo/1 sendStoryImple/1 openNativeWebView/2 closeNativeWebView/0");
    EXPECT_EQ(run("declared[5]"),
        "openapi: saveDictionary/1 isSupportPastboard/1 getAppName/1 saveDictionaryByGeneralPastboardWithSchema/1 openURL/1 "
        "getSystemOSVersion/0 getBundleIdentifier/0 getJSVersion/0");
    EXPECT_EQ(run("declared[6]"),
        "sdk_reportUtils: startLM4Connect/1 mraSetEnable/1 trackCustomEvent/2 reportLM/1 reportData/0 reportDataWithTime/0 "
        "trackCustomKVEvent/2 trackCustomBeginKVEventt/2 trackCustomKVEvent/2");
    // The function declared twice is one function to the scripts.
    EXPECT_EQ(run("sdk_reportUtils.trackCustomKVEvent('kv', JSON.stringify({a: 1}))"), "(null)");
}

TEST_F(SessionTest, TheSessionHandlesTheScriptsSignInsWithoutBeingKeptAliveByTheHost)
{
    auto bridge = MROSDKJSBridge::shareInstance();
    ASSERT_TRUE(bridge);
    auto* parked = bridge->getPoolObject(MROSDKJSBridge::kAuthorizeHandlerKey);
    auto* handler = parked ? std::any_cast<std::weak_ptr<MorrowLoginDelegate>>(parked) : nullptr;
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->lock().get(), static_cast<MorrowLoginDelegate*>(session.get()));
    session.reset();
    EXPECT_TRUE(handler->expired());
}

TEST_F(SessionTest, SignInThroughTheLMAppForEachPasteboardAndExpiry)
{
    struct Case {
        int version;
        peers::LMApp::Answer answer;
        std::optional<pf::Value> expiresIn;
        std::vector<std::string> calls;
        std::optional<double> lifetime; // expected expiry minus now
    };
    const double future = OpenApi::kDistantFuture;
    const std::vector<Case> cases {
        { 3, peers::LMApp::Answer::Token, pf::Value("0"), { "login" }, future },
        { 2, peers::LMApp::Answer::Token, std::nullopt, { "login" }, 2592000 },
        { 3, peers::LMApp::Answer::Token, pf::Value(7776000), { "login" }, 7776000 },
        { 2, peers::LMApp::Answer::Token, pf::Value("-5"), { "failed" }, std::nullopt },
        // Lifetimes no clock can hold end in the distant future; hugely negative ones fail.
        { 3, peers::LMApp::Answer::Token, pf::Value(1e300), { "login" }, future },
        { 3, peers::LMApp::Answer::Token, pf::Value("99999999999999999999999"), { "login" }, future },
        { 3, peers::LMApp::Answer::Token, pf::Value(-1e300), { "failed" }, std::nullopt },
        // A text that is no number is no lifetime: the sign-in is refused, not made endless.
        { 3, peers::LMApp::Answer::Token, pf::Value("x"), { "failed" }, std::nullopt },
        { 2, peers::LMApp::Answer::Token, pf::Value(""), { "failed" }, std::nullopt },
        { 3, peers::LMApp::Answer::Token, pf::Value("60abc"), { "failed" }, std::nullopt },
        { 3, peers::LMApp::Answer::Token, pf::Value(" 5400 "), { "login" }, 5400 },
        { 3, peers::LMApp::Answer::Cancel, std::nullopt, { "cancelled" }, std::nullopt },
        { 2, peers::LMApp::Answer::Cancel, std::nullopt, { "cancelled" }, std::nullopt },
        { 2, peers::LMApp::Answer::RemoveBoard, std::nullopt, { "cancelled" }, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << " answer " << int(c.answer));
        session->logout(recorder);
        auto lm = peers::LMApp::install(c.version);
        pf::Dictionary reply { { "access_token", "TOK-1" }, { "openid", "OID-1" }, { "encrytoken", "ENC" } };
        if (c.expiresIn)
            reply.set("expires_in", *c.expiresIn);
        lm->setAnswer(c.answer, reply);
        ASSERT_TRUE(signIn());
        env.runUntilIdle();
        EXPECT_EQ(recorder->calls, c.calls);
        auto got = lm->received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(got[0].problems.empty()) << testing::PrintToString(got[0].problems);
        EXPECT_EQ(got[0].general, c.version == 3);
        EXPECT_EQ(got[0].replyScheme, kReplyScheme);
        if (c.calls == std::vector<std::string> { "login" }) {
            EXPECT_EQ(session->accessToken(), "TOK-1");
            EXPECT_EQ(session->openId(), "OID-1");
            EXPECT_EQ(session->encryToken(), std::optional<std::string>("ENC"));
            ASSERT_TRUE(session->expirationDate());
            double expected = *c.lifetime == future ? future : env.now() + *c.lifetime;
            EXPECT_NEAR(*session->expirationDate(), expected, 1.0);
            EXPECT_TRUE(session->isSessionValid());
        } else {
            EXPECT_FALSE(session->isSessionValid());
        }
        lm->uninstall();
    }
}

TEST_F(SessionTest, HostileTokensReadBackUnchangedAndRunNothing)
{
    auto lm = peers::LMApp::install(3);
    const std::string token = "a');morrow.pwned=1;('\\\"\n\r\xE2\x80\xA8</script>";
    lm->setAnswer(peers::LMApp::Answer::Token, pf::Dictionary { { "access_token", token }, { "openid", "x\";morrow.pwned=2;\"" } });
    ASSERT_TRUE(signIn());
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "login" });
    EXPECT_EQ(session->accessToken(), token);
    EXPECT_EQ(session->openId(), "x\";morrow.pwned=2;\"");
    EXPECT_EQ(run("String(morrow.pwned)"), "undefined");
    EXPECT_TRUE(session->scriptHost()->webView()->alerts().empty());

    // Logging out clears every value: "(null)" is written and reads as absent.
    session->logout({});
    EXPECT_EQ(recorder->calls.back(), "logout");
    EXPECT_EQ(run("morrow.oauth.accessToken"), "(null)");
    EXPECT_FALSE(session->isOpenIdValid());
    EXPECT_FALSE(session->isSessionValid());

    // A reply without token or open id is no login.
    lm->setAnswer(peers::LMApp::Answer::Token, pf::Dictionary { { "expires_in", "60" } });
    ASSERT_TRUE(signIn());
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "failed" });
}

TEST_F(SessionTest, AppIdsConvertBothWaysAndOddFormsAreRefused)
{
    const std::vector<std::tuple<std::string, std::optional<std::string>, std::optional<std::string>>> cases {
        { "100393032", "100393032", "LM25397024" }, { "LM25397024", "100393032", "LM25397024" },
        { "12345", "12345", "LM00003039" }, { "lm25397024", std::nullopt, std::nullopt }, { "LM2539702G", std::nullopt, std::nullopt },
        { "12345678901", std::nullopt, std::nullopt }, { "4294967296", std::nullopt, std::nullopt },
        { "4294967295", "4294967295", "LMFFFFFFFF" }, { "abc", std::nullopt, std::nullopt }, { "", std::nullopt, std::nullopt },
    };
    for (const auto& [text, connection, mlm] : cases) {
        MXAppidConvert converter;
        EXPECT_EQ(converter.InitWithAppId(text), connection.has_value()) << text;
        EXPECT_EQ(converter.GetConnectionAppId(), connection) << text;
        EXPECT_EQ(converter.GetMLMAppId(), mlm) << text;
    }
    EXPECT_EQ(run(R"(String(oauth.convertAppIdJs(JSON.stringify({appid: "LM8990AC34"}))))"), "100393033");
}

TEST_F(SessionTest, RepliesAreRoutedByCommandAndSource)
{
    auto stage = [](const pf::Dictionary& reply) {
        MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema(reply, kReplyScheme);
    };
    auto response = [](const std::string& message) {
        APIResponse r;
        r.errorMsg = message;
        return pf::Value(pf::KeyedArchiver::archivedData(r));
    };
    const std::string base = std::string(kReplyScheme) + "://lzapp/x/";
    stage(pf::Dictionary { { "response_data", response("A") } });
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "addShare?generalpastboard=1")));
    stage(pf::Dictionary { { "response_data", response("B") } });
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "NoSuchCall?generalpastboard=1")));
    stage(pf::Dictionary { { "response_data", response("C") } });
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "1?generalpastboard=1")));
    // Data that is no Open API result, and archives of other classes, are no reply at all.
    stage(pf::Dictionary { { "response_data", pf::Value(pf::Bytes { 1, 2, 3 }) } });
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "addShare?generalpastboard=1")));
    pf::Pasteboard::general()->setData(pf::KeyedArchiver::archivedData(APIResponse {}), std::string("com.morrow.") + kReplyScheme);
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "0?generalpastboard=1")));
    pf::Pasteboard::general()->setData(pf::Bytes(20u << 20, 'x'), std::string("com.morrow.") + kReplyScheme);
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "0?generalpastboard=1")));
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(base + "7?generalpastboard=1")));
    EXPECT_EQ(recorder->calls, (std::vector<std::string> { "addShare:A", "other:NoSuchCall", "story:C" }));

    // One path part goes to the scripts; a script that hands it straight back is refused, not recursed.
    run(R"(morrow.localresult.handleAuthorizeResult = function (u) {
        morrow.seen = (morrow.seen || 0) + 1;
        return oauth.jsCallHandleOpenUrlByOpenApi(JSON.stringify({urlStr: u})) === "NO" ? "YES" : "NO"; })");
    EXPECT_TRUE(MorrowOAuth::HandleOpenURL(url(std::string(kReplyScheme) + "://lzapp/only")));
    EXPECT_EQ(run("String(morrow.seen)"), "1");
    // From the scripts directly: the inner hand-back is refused, the script's answer stands.
    EXPECT_EQ(run(R"(oauth.jsCallHandleOpenUrlByOpenApi(JSON.stringify({urlStr: "morrow100481327%3A%2F%2Flzapp%2Fa"})))"), "YES");
    EXPECT_EQ(run("String(morrow.seen)"), "2");

    // By source: LM goes to the session, LZone only with a reply, others nowhere.
    stage(pf::Dictionary { { "response_data", response("D") } });
    EXPECT_TRUE(MorrowOpenURLRouter::route(url(base + "1?generalpastboard=1"), MorrowOpenURLRouter::kLZoneBundleIdentifier));
    EXPECT_FALSE(MorrowOpenURLRouter::route(url("other://lzapp/x/0"), MorrowOpenURLRouter::kLZoneBundleIdentifier));
    EXPECT_FALSE(MorrowOpenURLRouter::route(url(base + "1?generalpastboard=1"), "com.example.other"));
    EXPECT_EQ(recorder->calls.back(), "story:D");

    // Another scheme without a session.
    session.reset();
    EXPECT_FALSE(MorrowOAuth::HandleOpenURL(url("other://host/a/b")));
}

TEST(OpenApiTest, QueryParsingAndVersionProbes)
{
    pf::TaskEnvironment env;
    auto query = OpenApi::dictionaryByParseUrlFromSeparator("x://h/p?a=1&b&=2&c=x%20y", "?");
    EXPECT_EQ(query, (pf::Dictionary { { "a", "1" }, { "c", "x y" } }));
    EXPECT_TRUE(OpenApi::dictionaryByParseUrlFromSeparator("x://h/p", "?").empty());
    EXPECT_EQ(MorrowOAuth::urlencode("a b~/"), "a+b~%2F");

    const std::vector<std::tuple<std::vector<std::string>, int, int>> cases {
        { {}, 0, 0 }, { { "mlm" }, 1, 0 }, { { "mlmOpensdkSSoLogin", "mlm" }, 2, 0 }, { { "mlmopensdkapiV2" }, 3, 0 },
        { { "mlzone" }, 0, 1 }, { { "mlzoneopensdk" }, 0, 2 }, { { "mlzoneopensdkapi" }, 0, 3 }, { { "mlzoneopensdkapi19" }, 0, 4 },
        { { "mlzoneopensdkapiV2", "mlm" }, 1, 5 },
    };
    for (const auto& [schemes, lm, lzone] : cases) {
        pf::AppRegistry::shared().removeAll();
        pf::AppRegistry::shared().install({ "com.example.probe", schemes, {} });
        EXPECT_EQ(MorrowAppVersions::lmVersion(), lm);
        EXPECT_EQ(MorrowAppVersions::lzoneVersion(), lzone);
    }
    pf::AppRegistry::shared().removeAll();
}

}

namespace {

TEST_F(SessionTest, OpenIdLookupAndLoginStatisticsAgainstTheServer)
{
    const std::string token = "TOKEN-9";
    struct Case {
        const char* name;
        std::optional<peers::PeerReply> fault;
        std::string expected;
    };
    const std::vector<Case> cases {
        { "served", std::nullopt, "login" },
        { "no open id", peers::PeerReply::bytes("callback( {\"client_id\":\"1\"} );", "text/plain"), "failed" },
        { "empty open id", peers::PeerReply::bytes("callback( {\"openid\":\"\"} );", "text/plain"), "failed" },
        { "short callback", peers::PeerReply::bytes("callback(", "text/plain"), "failed" },
        { "no JSON", peers::PeerReply::bytes("<html>", "text/html"), "failed" },
        { "dropped", [] { peers::PeerReply r = peers::PeerReply::json("{}"); r.dropConnection = true; return r; }(), "failed" },
        // Never read whole, though an open id leads it.
        { "past the largest reply",
            peers::PeerReply::bytes("callback( {\"openid\":\"OID-BIG\",\"pad\":\"" + std::string(MorrowRequest::kMaximumReplySize, 'p') + "\"} );",
                "text/plain"),
            "failed" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearFaults();
        if (c.fault)
            server.setFault("*", "/lmopenapi/oauth2.0/m_me", *c.fault);
        session->logout({});
        recorder->calls.clear();
        session->morrowDialogLogin(token, env.now() + 3600);
        ASSERT_TRUE(env.runUntil([&] { return !recorder->calls.empty(); }));
        env.runUntilIdle();
        EXPECT_EQ(recorder->calls, std::vector<std::string> { c.expected });
        if (c.expected == "login") {
            EXPECT_EQ(run("morrow.oauth.openId"), peers::LMOpenApiService::openIdForToken(token)) << "the scripts see the open id";
            EXPECT_TRUE(session->isSessionValid());
        }
    }

    // Login statistics: "ret" 0 is a login; a refusal starts a new authorisation; no JSON does nothing.
    server.clearFaults();
    recorder->calls.clear();
    ASSERT_TRUE(session->userLoginStatis());
    ASSERT_TRUE(env.runUntil([&] { return !recorder->calls.empty(); }));
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "login" });
    auto sent = server.requests("/lmopenapi/user/user_login_statis");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].queryValue("encrytoken"), MorrowOAuth::loginStatisToken(token, kAppId, session->openId()));

    int before = MorrowOAuth::authorizationCount();
    server.setFault("*", "/lmopenapi/user/user_login_statis", peers::PeerReply::bytes("_Callback({\"ret\":100016});", "text/plain"));
    session->userLoginStatis();
    ASSERT_TRUE(env.runUntil([&] { return MorrowOAuth::authorizationCount() == before + 1; }));
    server.clearFaults();
    server.setFault("*", "/lmopenapi/user/user_login_statis", peers::PeerReply::bytes("nothing", "text/plain"));
    recorder->calls.clear();
    session->userLoginStatis();
    env.runUntil([&] { return server.requests("/lmopenapi/user/user_login_statis").size() == 3; });
    env.runUntilIdle();
    EXPECT_EQ(MorrowOAuth::authorizationCount(), before + 1);
    EXPECT_TRUE(recorder->calls.empty());
}

TEST_F(SessionTest, EveryOpenIdLookupEndsItsSignInWhateverStartsBeforeItsReply)
{
    struct Sink : MorrowRequestDelegate { };
    auto sink = std::make_shared<Sink>();
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases {
        { "nothing", [] {}, { "login" } },
        { "a request for another receiver", [&] { session->requestWithGraphPathAndDelegate("get_info", sink); }, { "login" } },
        { "a request the session receives",
            [&] { session->requestWithMethodNameAndParamsAndHttpMethodAndDelegate("user/get_user_info", {}, "GET", session); }, { "login" } },
        { "a second sign-in", [&] { session->morrowDialogLogin("TOKEN-B", env.now() + 3600); }, { "login", "login" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearFaults();
        session->logout({});
        recorder->calls.clear();
        // The lookup's reply waits until the other request has started.
        peers::PeerReply held = peers::PeerReply::bytes("callback( {\"openid\":\"OID-H\"} );", "text/plain");
        held.hold = true;
        server.setFault("*", "/lmopenapi/oauth2.0/m_me", held);
        session->morrowDialogLogin("TOKEN-A", env.now() + 3600);
        c.meanwhile();
        server.releaseHeld();
        ASSERT_TRUE(env.waitForPendingWork());
        env.runUntilIdle();
        EXPECT_EQ(recorder->calls, c.calls);
        EXPECT_EQ(session->openId(), "OID-H");
    }
}

TEST_F(SessionTest, EachAuthorisationForgetsTheLastUsersNick)
{
    const std::pair<const char*, std::function<bool()>> cases[] {
        { "authorize", [&] { return session->authorize({ "get_user_info" }); } },
        { "in Safari", [&] { return session->authorizeInSafari({ "get_user_info" }, true); } },
        { "with a local app id", [&] { return session->authorizeLocalAppIdInSafari({ "get_user_info" }, "local-7", false); } },
    };
    for (const auto& [name, authorise] : cases) {
        SCOPED_TRACE(name);
        auto reply = std::make_shared<APIResponse>();
        reply->jsonResponse = pf::Value(pf::Dictionary { { "ret", 0 }, { "nickname", "上一位" } });
        session->scriptServices()->getUserInfoNotUserResponse(reply);
        ASSERT_EQ(session->userNick(), "上一位");
        EXPECT_TRUE(authorise());
        EXPECT_EQ(session->userNick(), "") << "the next user would be shown the last one's nick";
        env.waitForPendingWork();
        env.runUntilIdle();
    }
}

TEST_F(SessionTest, ReplyTextsAreReadWithTheSharedReaders)
{
    // A sign-in reply is read as the web sign-in reads it: raw names, the value up to a second "=".
    const std::string reply = "access_token=a%20b&x=1=2&flag&%41=y&bad=%E4";
    EXPECT_EQ(MorrowOAuth::parseURLParams(reply), MRLoginViewKit::parseURLParams(reply));
    EXPECT_EQ(MorrowOAuth::parseURLParams(reply)->find("access_token")->optionalString(), std::optional<std::string>("a b"));
    EXPECT_FALSE(MorrowOAuth::JSONValue(std::string("{\"a\":")));
    session->setEncryToken(std::string("ENC"));
    EXPECT_FALSE(session->encrytoken()) << "the kept token is read with encryToken";
    EXPECT_EQ(session->encryToken(), std::optional<std::string>("ENC"));
}

TEST_F(SessionTest, EachWrapperParksItsParametersAndCallsItsNamespace)
{
    using Wrapper = std::function<bool(MorrowOAuth&, const pf::Value&)>;
    const std::vector<std::tuple<const char*, const char*, Wrapper, bool>> wrappers {
        { "morrow.lzone.listAlbum", "getListAlbumResponse:", [](MorrowOAuth& s, const pf::Value&) { return s.getListAlbum(); }, false },
        { "morrow.lzone.listPhotos", "getListPhotoResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.getListPhotoWithParams(p); }, true },
        { "morrow.lzone.addShare", "addShareResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.addShareWithParams(p); }, true },
        { "morrow.lzone.uploadPicture", "uploadPicResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.uploadPicWithParams(p); }, true },
        { "morrow.lzone.addAlbum", "addAlbumResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.addAlbumWithParams(p); }, true },
        { "morrow.lzone.sendBlog", "addOneBlogResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.addOneBlogWithParams(p); }, true },
        { "morrow.lzone.sendShuoshuo", "addTopicResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.addTopicWithParams(p); }, true },
        { "morrow.blip.checkFans", "checkPageFansResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.checkPageFansWithParams(p); }, true },
        { "morrow.blip.nickTips", "matchNickTipsResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.matchNickTips(p); }, true },
        { "morrow.blip.atFriends", "getIntimateFriendsResponse:", [](MorrowOAuth& s, const pf::Value& p) { return s.getIntimateFriends(p); }, true },
        { "morrow.info.getVipUserInfo", "getVipInfoResponse:", [](MorrowOAuth& s, const pf::Value&) { return s.getVipInfo(); }, false },
        { "morrow.info.getVipUserRichInfo", "getVipRichInfoResponse:", [](MorrowOAuth& s, const pf::Value&) { return s.getVipRichInfo(); }, false },
        { "morrow.pub.jscall", "myKey", [](MorrowOAuth& s, const pf::Value& p) { return s.sendAPIJS(p, "myKey"); }, true },
    };
    for (const auto& [function, callback, call, parks] : wrappers) {
        SCOPED_TRACE(function);
        run(std::string(function) + " = function (a, b) { morrow.called = a + '|' + b; return 'true'; }");
        pf::Value params(pf::Dictionary { { "text", std::string("礼包 ") + function } });
        EXPECT_TRUE(call(*session, params));
        EXPECT_EQ(run("morrow.called"), std::string(callback) + "|" + callback);
        const std::any* parked = MROSDKJSBridge::getUserDictionary(callback);
        EXPECT_EQ(parked != nullptr, parks);
        if (parked && parks) {
            EXPECT_EQ(std::any_cast<pf::Value>(*parked), params);
        }
    }
}

}

TEST(SessionWithoutScripts, AnAuthorisationAnswersNoAndReportsAFailedLogin)
{
    pf::TaskEnvironment env;
    // LM Connect's resources without their scripts: nothing to run, so no script host.
    std::string bare = pf::Sandbox::current()->tmpPath() + "/bare.bundle";
    ASSERT_TRUE(pf::FileManager::createDirectory(bare, true));
    pf::Bundle::setMain(pf::Bundle::atPath(bare));
    auto recorder = std::make_shared<Recorder>();
    auto session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, recorder);
    for (bool inSafari : { false, true }) {
        recorder->calls.clear();
        EXPECT_FALSE(session->authorizeInSafari({ "get_user_info" }, inSafari));
        EXPECT_EQ(recorder->calls, std::vector<std::string> { "failed" });
    }
    session.reset();
    MROSDKJSBridge::deinit();
    pf::Bundle::setMain(nullptr);
}

namespace {

// A session delegate that may hear updates and may answer the re-authorisation questions.
struct Updater : MorrowSessionDelegate {
    bool hearsUpdates { false };
    std::optional<bool> answer;
    std::vector<std::string> calls;
    bool respondsToMorrowDidUpdate() const override { return hearsUpdates; }
    void morrowDidUpdate(const std::shared_ptr<MorrowOAuth>&) override { calls.push_back("updated"); }
    void morrowFailedUpdate(int reason) override { calls.push_back("failed " + std::to_string(reason)); }
    std::optional<bool> morrowNeedPerformIncrAuth(const std::shared_ptr<MorrowOAuth>& s, const std::vector<std::string>& p) override
    {
        calls.push_back("incr " + std::to_string(p.size()) + (s ? "" : " no session"));
        return answer;
    }
    std::optional<bool> morrowNeedPerformReAuth(const std::shared_ptr<MorrowOAuth>& s) override
    {
        calls.push_back(std::string("reauth") + (s ? "" : " no session"));
        return answer;
    }
    void morrowOAuthDidSendBodyData(const std::shared_ptr<MorrowOAuth>&, std::int64_t, std::int64_t total, std::int64_t expected,
        const pf::Value& userData) override
    {
        sent = total;
        this->expected = expected;
        this->userData = userData;
    }
    std::int64_t sent { 0 }, expected { 0 };
    pf::Value userData;
};

TEST_F(SessionTest, ReauthorisationQuestionsReachOnlyADelegateThatHearsUpdates)
{
    struct Case {
        bool hearsUpdates;
        std::optional<bool> answer;
        std::vector<std::string> permissions;
        bool expected;
        bool asked;
    };
    const std::vector<Case> cases {
        { true, false, { "add_share" }, false, true },
        { true, true, { "add_share" }, true, true },
        { true, std::nullopt, { "add_share" }, true, true }, // hears updates but does not answer
        { false, false, { "add_share" }, true, false },
        { true, false, {}, true, false },                    // nothing to ask for
    };
    auto updater = std::make_shared<Updater>();
    session->setSessionDelegate(updater);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hearsUpdates << " " << c.answer.value_or(2) << " " << c.permissions.size());
        updater->hearsUpdates = c.hearsUpdates;
        updater->answer = c.answer;
        updater->calls.clear();
        EXPECT_EQ(session->morrowNeedPerformIncrAuth(session, c.permissions), std::optional<bool>(c.expected));
        // The question an Open API reply asks goes the same way.
        EXPECT_EQ(static_cast<MorrowSession&>(*session).morrowNeedPerformIncrAuth(c.permissions), c.expected);
        EXPECT_EQ(updater->calls.size(), c.asked ? 2u : 0u);
        if (!c.permissions.empty()) {
            updater->calls.clear();
            EXPECT_EQ(session->morrowNeedPerformReAuth(session), std::optional<bool>(c.expected));
            EXPECT_EQ(updater->calls, c.asked ? std::vector<std::string> { "reauth" } : std::vector<std::string> {});
        }
    }
    updater->calls.clear();
    session->morrowDidUpdate(session);
    session->morrowFailedUpdate(3);
    EXPECT_EQ(updater->calls, (std::vector<std::string> { "updated", "failed 3" }));

    // Upload progress of a call goes to the delegate with the call's user data.
    auto call = APIBase::initWithTarget(std::weak_ptr<APIBaseTarget>(session), nullptr, "POST",
        std::weak_ptr<APIBaseDelegate>(session), pf::Value("upload-7"));
    MorrowParams params;
    params.set("picture", pf::Value(pf::Bytes(150000, 'p')));
    call->openUrl(MorrowHostConfig::shared().openApiBase() + "photo/upload_pic", std::nullopt, std::nullopt, kAppId, params);
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_GT(updater->sent, 150000);
    EXPECT_EQ(updater->sent, updater->expected);
    EXPECT_EQ(updater->userData, pf::Value("upload-7"));
}

TEST_F(SessionTest, ADelegateMayChooseThePermissionsOfItsAuthorisation)
{
    struct Chooser : MorrowSessionDelegate {
        pf::Value seenExtra;
        std::optional<std::vector<std::string>> getAuthorizedPermissions(const std::vector<std::string>& p, const pf::Value& extra) override
        {
            seenExtra = extra;
            if (p.size() == 1)
                return std::nullopt;
            return std::vector<std::string> { "only_this" };
        }
    };
    auto chooser = std::make_shared<Chooser>();
    run("morrow.tauth.login = function (p) { morrow.asked = p; return 'true'; }");
    const pf::Value extra(pf::Dictionary { { "isadd", "1" } });
    EXPECT_TRUE(session->authorizeWithPermissionsAndExtraParamsDelegateInSafari({ "a", "b" }, extra, chooser, true));
    EXPECT_EQ(run("morrow.asked"), "only_this");
    EXPECT_EQ(chooser->seenExtra, extra);
    EXPECT_TRUE(session->authorizeWithPermissionsAndExtraParamsDelegateInSafari({ "kept" }, {}, chooser, false));
    EXPECT_EQ(run("morrow.asked"), "kept");
    // Through the session as its own delegate the permissions stay, and the local app id is kept.
    EXPECT_TRUE(session->authorizeLocalAppIdInSafari({ "x", "y" }, "local-1", false));
    EXPECT_EQ(run("morrow.asked"), "x,y");
    EXPECT_EQ(session->localAppId(), std::optional<std::string>("local-1"));
    EXPECT_EQ(session->permissions(), (std::vector<std::string> { "x", "y" }));
}

TEST_F(SessionTest, CancelEndsTheFirstCallWithTheUserDataOnly)
{
    EXPECT_FALSE(session->cancel(pf::Value("a"))) << "empty table";
    std::vector<std::string> answered;
    auto start = [&](const char* userData) {
        std::weak_ptr<APIBaseTarget> target = session;
        auto call = APIBase::initWithTarget(target, [&answered, userData](const std::shared_ptr<APIResponse>&) { answered.push_back(userData); },
            "GET", pf::Value(userData));
        call->openUrl(MorrowHostConfig::shared().openApiBase() + "user/get_user_info", std::string("T"), std::nullopt, kAppId, {});
        session->addAPIRequest(call);
        return call;
    };
    auto a = start("a");
    auto b1 = start("b");
    auto b2 = start("b");
    EXPECT_TRUE(session->cancel(pf::Value("b")));
    EXPECT_EQ(session->apiRequests().size(), 2u);
    EXPECT_FALSE(session->apiRequests().contains(std::to_string(b1->seq())));
    EXPECT_FALSE(session->cancel(pf::Value("c")));
    ASSERT_TRUE(env.waitForPendingWork());
    std::sort(answered.begin(), answered.end());
    EXPECT_EQ(answered, (std::vector<std::string> { "a", "b" })) << "the first b is cancelled, the second answered";
    EXPECT_EQ(session->apiRequests().size(), 2u) << "calls made for the scripts stay until the scripts remove them";
}

TEST_F(SessionTest, IncrementalAndRepeatedSignInsAnswerYesWhateverTheScriptsSayAndCountNothing)
{
    run("morrow.ran = [];"
        "morrow.tauth.inAuth = function (p) { morrow.ran.push('inAuth ' + p); return 'false'; };"
        "morrow.tauth.login = function (p) { morrow.ran.push('login ' + p); return 'false'; };");
    using Call = bool (MorrowOAuth::*)(const std::vector<std::string>&);
    const std::pair<std::string, Call> cases[] = { { "inAuth", &MorrowOAuth::incrAuthWithPermissions },
        { "login", &MorrowOAuth::reauthorizeWithPermissions } };
    auto host = session->scriptHost();
    for (const auto& [entry, call] : cases) {
        for (int n = 1; n <= 11; ++n)
            EXPECT_TRUE(((*session).*call)({ "add_share", "add_topic" })) << entry;
        EXPECT_EQ(run("morrow.ran.length + ' ' + morrow.ran.pop()"), "11 " + entry + " add_share,add_topic");
        run("morrow.ran = []");
    }
    EXPECT_EQ(session->scriptHost(), host);
    EXPECT_EQ(MorrowOAuth::authorizationCount(), 0);
}

TEST_F(SessionTest, WithoutScriptsTheIncrementalAndRepeatedSignInsStillAnswerYes)
{
    auto empty = env.sandbox().documentsPath() + "/no-bundle";
    pf::FileManager::createDirectory(empty, true);
    pf::Bundle::setMain(pf::Bundle::atPath(empty));
    session.reset();
    MROSDKJSBridge::deinit();
    auto bare = MorrowOAuth::initWithAppIdAndDelegate(kAppId, recorder);
    pf::Bundle::setMain(nullptr);
    ASSERT_FALSE(bare->scriptHost() && MROSDKJSBridge::shareInstance());
    EXPECT_TRUE(bare->incrAuthWithPermissions({ "add_share" }));
    EXPECT_TRUE(bare->reauthorizeWithPermissions({ "add_share" }));
    EXPECT_TRUE(recorder->calls.empty());
    session = bare;
}

TEST_F(SessionTest, OwnRequestsAddressTheOpenApiAndTheLookupSignsIn)
{
    session->setRedirectURI("www.morrow.lm/login_jump");
    EXPECT_EQ(session->getOwnBaseUrl(), std::string("morrow") + kAppId + "://www.morrow.lm/login_jump");

    struct Sink : MorrowRequestDelegate {
        std::vector<std::string> urls;
        void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& r, const pf::Bytes&) override { urls.push_back(r->url()); }
    };
    auto sink = std::make_shared<Sink>();
    const std::string base = MorrowHostConfig::shared().openApiBase();
    MorrowParams withMethod;
    withMethod.set("method", std::string("user/get_user_info"));
    withMethod.set("x", std::string("1"));
    struct Case {
        std::function<std::shared_ptr<MorrowRequest>()> send;
        std::string url, method;
    };
    const std::vector<Case> cases {
        { [&] { return session->requestWithGraphPathAndDelegate("m_me", sink); }, base + "oauth2.0/m_me", "GET" },
        { [&] { return session->requestWithGraphPathAndParamsAndDelegate("m_me", {}, sink); }, base + "oauth2.0/m_me", "GET" },
        { [&] { return session->requestWithGraphPathAndParamsAndHttpMethodAndDelegate("m_me", {}, "POST", sink); }, base + "oauth2.0/m_me", "POST" },
        { [&] { return session->requestWithMethodNameAndParamsAndHttpMethodAndDelegate("user/get_user_info", {}, "POST", sink); },
            base + "user/get_user_info", "POST" },
        { [&] { return session->requestWithParamsAndDelegate(withMethod, sink); }, base + "user/get_user_info", "GET" },
    };
    for (const auto& c : cases) {
        auto request = c.send();
        ASSERT_TRUE(request);
        EXPECT_EQ(request->url(), c.url);
        EXPECT_EQ(request->httpMethod(), c.method);
        EXPECT_EQ(request->params().textFor("format"), std::optional<std::string>("json"));
        EXPECT_EQ(request->params().textFor("oauth_consumer_key"), std::optional<std::string>(kAppId));
        EXPECT_FALSE(request->params().find("method"));
        EXPECT_FALSE(request->params().find("access_token")) << "no valid session yet";
    }
    EXPECT_FALSE(session->requestWithParamsAndDelegate({}, sink)) << "no method";
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(sink->urls.size(), cases.size()) << "a replaced exchange still ends";
    EXPECT_TRUE(recorder->calls.empty()) << "replies to another receiver are not the session's";

    // Signed in, the token and open id go along; the session's own lookup ends in a login.
    session->morrowDialogLogin("TOKEN-3", env.now() + 3600);
    ASSERT_TRUE(env.runUntil([&] { return !recorder->calls.empty(); }));
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "login" });
    auto request = session->requestWithGraphPathAndDelegate("get_info", sink);
    EXPECT_EQ(request->params().textFor("access_token"), std::optional<std::string>("TOKEN-3"));
    EXPECT_EQ(request->params().textFor("openid"), std::optional<std::string>(peers::LMOpenApiService::openIdForToken("TOKEN-3")));
    env.waitForPendingWork();
}

TEST_F(SessionTest, DescribedSignInOpensTheNamedAppWithTheRequest)
{
    const pf::Value lmParams(pf::Dictionary { { "permission", "get_user_info,add_share" }, { "LMApiScheme", "mlmOpensdkSSoLogin" },
        { "LMHost", "SSoLogin" }, { "appScheme", kReplyScheme }, { "appid", kAppId }, { "ResponseType", "token" } });
    for (int version : { 2, 3 }) {
        SCOPED_TRACE(version);
        session->logout({});
        recorder->calls.clear();
        auto lm = peers::LMApp::install(version);
        lm->setAnswer(peers::LMApp::Answer::Token, pf::Dictionary { { "access_token", "T" }, { "openid", "O" }, { "expires_in", "60" } });
        EXPECT_EQ(session->authorizeInLMWithParams(lmParams), "true");
        ASSERT_TRUE(env.runUntil([&] { return !recorder->calls.empty(); }));
        EXPECT_EQ(recorder->calls, std::vector<std::string> { "login" });
        auto got = lm->received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(got[0].problems.empty()) << testing::PrintToString(got[0].problems);
        EXPECT_EQ(got[0].general, version == 3);
        ASSERT_TRUE(got[0].request);
        pf::Value request(*got[0].request);
        EXPECT_EQ(request["scope"], pf::Value("get_user_info,add_share"));
        EXPECT_EQ(request["app_name"], pf::Value("礼包"));
        lm->uninstall();
    }
    // Missing app id or name, or no app to open: nothing is opened.
    pf::Dictionary noId = *lmParams.asDictionary();
    noId.remove("appid");
    EXPECT_EQ(MorrowAppLauncher::sendCommandToLMWith(pf::Value(noId)), "false");
    EXPECT_EQ(MorrowAppLauncher::sendCommandToLMWith(lmParams), "false") << "LM is not installed";

    // LZone: the five-part address with command 0, and the share and command forms.
    auto lzone = peers::LZoneApp::install(5);
    const pf::Value lzParams(pf::Dictionary { { "permission", "all" }, { "LZoneApiScheme", "mlzoneopensdkapi" }, { "LZoneHost", "lzapp" },
        { "appScheme", kReplyScheme }, { "appid", kAppId } });
    EXPECT_EQ(session->authorizeInLZoneWithParams(lzParams), "true");
    EXPECT_TRUE(MorrowAppLauncher::shareWithLZoneWithData(pf::Dictionary { { "title", "礼包" } }));
    EXPECT_TRUE(MorrowAppLauncher::sendCommandToLZoneParams("AppInvitation", pf::Dictionary { { "desc", "d" } }));
    EXPECT_TRUE(MorrowAppLauncher::openLZone());
    env.runUntilIdle();
    const std::string type = std::string("com.morrow.") + kReplyScheme;
    std::vector<std::string> urls;
    for (auto& r : lzone->received())
        urls.push_back(r.url);
    EXPECT_EQ(urls, (std::vector<std::string> {
                        "mlzoneopensdkapi://lzapp/" + std::string(kReplyScheme) + "/" + type + "/0?generalpastboard=1",
                        "mlzoneopensdkapi://lzapp/" + std::string(kReplyScheme) + "/" + type + "/1?generalpastboard=1",
                        "mlzoneopensdkapi://lzapp/" + std::string(kReplyScheme) + "/" + type + "/AppInvitation?generalpastboard=1",
                        "mlzoneopensdk://lzapp/" + std::string(kReplyScheme) + "/",
                    }));
    EXPECT_TRUE(MorrowAppVersions::canParseApplicationUrlStr("mlzone://lzapp"));
    EXPECT_TRUE(MorrowAppVersions::canParseURL(url("mlzoneopensdkapiV2://")));
    lzone->uninstall();
    EXPECT_FALSE(MorrowAppLauncher::openLZone());
    EXPECT_FALSE(MorrowAppLauncher::shareWithLZoneWithData({}));
    EXPECT_FALSE(MorrowAppVersions::canParseApplicationUrlStr("mlzone://lzapp"));
    EXPECT_EQ(MorrowAppVersions::getLZoneInstallUrl(), "");
    EXPECT_EQ(MorrowAppVersions::getSupportingMaxApiVersion(), "10.0");
    EXPECT_EQ(MorrowAppVersions::getApiVersion(), "1.1");
}

}

TEST_F(SessionTest, ScriptServicesKeepWorkingAfterTheDelegateChanges)
{
    auto second = std::make_shared<Recorder>();
    session->setSessionDelegate(second);
    pf::Dictionary request { { "url", MorrowHostConfig::shared().openApiBase() + "user/get_user_info" }, { "accesstoken", "T" },
        { "openid", peers::LMOpenApiService::openIdForToken("T") }, { "appid", kAppId }, { "callback", "cb" } };
    run("oauth.httpGet(" + MorrowScriptText::literal(pf::Json::write(pf::Value(request))) + ")");
    ASSERT_TRUE(env.runUntil([&] { return MROSDKJSBridge::getResponseDictionary("cb") != nullptr; }))
        << "the scripts' HTTP went nowhere";
    run(R"(oauth.httpJsResponseCallback(JSON.stringify({key: "cb", callback: "addShareResponse:"})))");
    ASSERT_EQ(second->calls.size(), 1u);
    EXPECT_EQ(second->calls[0].rfind("addShare:", 0), 0u);
    EXPECT_TRUE(recorder->calls.empty()) << "the old delegate hears nothing";
}
