#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/web/WebView.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

struct RecordingRunEnvDelegate : MorrowJSRunEnvDelegate {
    std::vector<std::string> asked;
    bool shouldStartLoadWithRequest(const std::string& url, int) override
    {
        asked.push_back(url);
        return true;
    }
};

class BridgeTest : public testing::Test {
protected:
    BridgeTest()
    {
        pf::Log::startCapture();
        runEnv = MorrowJSRunEnv::create(view, delegate);
        view->evaluateJavascript(MROSDKJSBridge::bootstrapScript());
    }
    ~BridgeTest() override
    {
        // No script failed on the way.
        for (auto& line : pf::Log::captured())
            EXPECT_EQ(line.find("Error"), std::string::npos) << line;
        pf::Log::stopCapture();
    }

    // Registers "probe" with one function per handler.
    void registerProbe(std::vector<std::tuple<std::string, int, std::vector<int>, MorrowMethodDescription::Handler>> functions)
    {
        auto probe = std::make_shared<MorrowJSObject>("probe");
        for (auto& [name, returnType, codes, handler] : functions)
            EXPECT_TRUE(probe->transformNativeMethod(handler, codes.size(), name, returnType, codes));
        EXPECT_TRUE(runEnv->registNativeObj(probe));
    }
    std::string run(const std::string& script) { return view->evaluateJavascript(script); }

    pf::TaskEnvironment env;
    std::shared_ptr<MorrowWebViewHost> view = MorrowWebViewHost::create();
    std::shared_ptr<RecordingRunEnvDelegate> delegate = std::make_shared<RecordingRunEnvDelegate>();
    std::shared_ptr<MorrowJSRunEnv> runEnv;
};

TEST_F(BridgeTest, ArgumentsConvertByTheirCodes)
{
    registerProbe({ { "args", 2, { 1, 2, 3, 4, 5, 6, 7, 8 }, [](const std::vector<MorrowBridgeValue>& a) {
                         pf::Dictionary echo;
                         for (size_t i = 0; i < 7; ++i)
                             echo.set(std::to_string(i + 1), a[i].value.isMissing() ? pf::Value::null() : a[i].value);
                         echo.set("8", a[7].object ? pf::Value(a[7].object->jsObjKey()) : pf::Value::null());
                         return MorrowBridgeValue(pf::Value(std::move(echo)));
                     } } });

    auto given = pf::Json::parse(run(R"(probe.args("a b&c", JSON.stringify({k: "v"}), "[x,y]", "true", "-12", "1.5", "2.25", "probe"))"));
    ASSERT_TRUE(given);
    EXPECT_EQ(*given, *pf::Json::parse(R"({"1":"a b&c","2":{"k":"v"},"3":["x","y"],"4":true,"5":-12,"6":1.5,"7":2.25,"8":"probe"})"));

    // Missing values convert as none, NO and 0; code 3 of one character is an empty list.
    EXPECT_EQ(run(R"(probe.args(undefined, "", "x", "yes"))"), R"({"1":"undefined","2":null,"3":[],"4":false,"5":0,"6":0.0,"7":0.0,"8":null})");
    EXPECT_EQ(runEnv->convertArgument(std::nullopt, 3).value, pf::Value(pf::Array {}));
    EXPECT_EQ(runEnv->convertArgument("[]", 3).value, pf::Value(pf::Array { "" }));
}

TEST_F(BridgeTest, ResultsWriteBackByTheirCodesAndUnknownNamesGiveNull)
{
    auto fixed = [](MorrowBridgeValue value) { return [value](const std::vector<MorrowBridgeValue>&) { return value; }; };
    registerProbe({
        { "r1", 1, {}, fixed("text") },
        { "r1none", 1, {}, fixed({}) },
        { "r2", 2, {}, fixed(pf::Value(pf::Dictionary { { "a", 1 } })) },
        { "r3", 3, {}, fixed(pf::Value(pf::Array { "a", 1 })) },
        { "r4", 4, {}, fixed(true) },
        { "r5", 5, {}, fixed(-42) },
        { "r6", 6, {}, fixed(pf::Value(1.5)) },
        { "r7", 7, {}, fixed(pf::Value(2.25)) },
        { "r9", 9, {}, fixed("ignored") },
    });
    const std::pair<const char*, const char*> cases[] = { { "r1", "text" }, { "r1none", "(null)" }, { "r2", R"({"a":1})" },
        { "r3", "a,1" }, { "r4", "true" }, { "r5", "-42" }, { "r6", "1.500000" }, { "r7", "2.250000" }, { "r9", "(null)" } };
    for (auto [function, expected] : cases)
        EXPECT_EQ(run(std::string("String(probe.") + function + "(1, 2))"), expected) << function;

    EXPECT_EQ(run(R"(String(SendCmd._sendMessageToObjectC("probe", "nope", null)))"), "null");
    EXPECT_EQ(run(R"(String(SendCmd._sendMessageToObjectC("Probe", "r1", null)))"), "null") << "names keep their case";

    // Registering again replaces the object: its old functions are gone.
    registerProbe({ { "r1", 1, {}, fixed("new") } });
    EXPECT_EQ(run("String(probe.r1())"), "new");
    EXPECT_EQ(run("String(probe.r5())"), "null");
}

TEST_F(BridgeTest, AnswersArriveUnchangedAndReentrantCallsAnswerRight)
{
    registerProbe({
        { "echo", 1, { 1 }, [](const std::vector<MorrowBridgeValue>& a) { return a[0]; } },
        { "outer", 1, {}, [this](const std::vector<MorrowBridgeValue>&) {
             return MorrowBridgeValue("outer:" + view->evaluateJavascript("probe.echo('in' + 'ner')"));
         } },
    });
    const std::string texts[] = { "it's", "say \"hi\"", "back\\slash", "two\nlines\r\n", "sep\u2028arators\u2029",
        R"({"a":"x\ny","b":"\u2028"})", "');alert('x", "礼包" };
    for (auto& text : texts) {
        std::string script = "var s = " + MorrowScriptText::literal(text) + "; probe.echo(s) === s ? 'same' : 'differs: ' + probe.echo(s)";
        EXPECT_EQ(run(script), "same") << text;
    }
    EXPECT_EQ(run("probe.outer()"), "outer:inner");
}

TEST_F(BridgeTest, LargeCallsArriveWholeAndCallsAboveTheBoundFailInTheScript)
{
    int calls = 0;
    registerProbe({ { "size", 1, { 1 }, [&](const std::vector<MorrowBridgeValue>& a) {
        ++calls;
        std::string text = a[0].text();
        return MorrowBridgeValue(std::to_string(text.size()) + ":" + text.substr(text.size() < 3 ? 0 : text.size() - 3));
    } } });
    // Building megabytes of text is no race against the script budget on a busy machine.
    view->webView()->setScriptBudget(60);
    // `n` characters that escape to nine bytes each, then "end".
    run("function text(n) { var s = '礼'; while (s.length * 2 <= n) s += s; return s + s.substring(0, n - s.length) + 'end'; }");
    auto callLength = [](size_t n) { return std::string("morrowjsbridge://probe/size?p0=").size() + 9 * n + 3 + 1; };
    struct Case {
        size_t characters;
        size_t bound; // 0: the bridge's own
        bool arrives;
    };
    const std::vector<Case> cases {
        { 40000, 0, true },     // beyond what the query reader takes by default
        { 200000, 0, true },
        { 100, callLength(100), true },
        { 100, callLength(100) - 1, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.characters << " characters, bound " << c.bound);
        runEnv->setMaximumCallBytes(c.bound ? c.bound : MorrowJSRunEnv::kMaximumCallBytes);
        int before = calls;
        size_t logged = pf::Log::captured().size();
        std::string answer = run("(function () { try { return probe.size(text(" + std::to_string(c.characters)
            + ")); } catch (e) { return 'refused: ' + e.message; } })()");
        if (c.arrives) {
            EXPECT_EQ(answer, std::to_string(3 * c.characters + 3) + ":end");
            EXPECT_EQ(calls, before + 1);
            continue;
        }
        EXPECT_EQ(calls, before) << "native code never sees a call it cannot read whole";
        EXPECT_EQ(answer.rfind("refused: ", 0), 0u) << answer;
        EXPECT_GT(pf::Log::captured().size(), logged) << "the refusal is logged";
        // The next call is answered as usual.
        EXPECT_EQ(run("probe.size('abc')"), "3:abc");
    }
}

TEST_F(BridgeTest, OtherNavigationsGoToTheDelegateAndRemotePagesAreRefused)
{
    EXPECT_TRUE(runEnv->shouldStartLoadWithRequest("sendhttpurl://a/b?p0=1"));
    EXPECT_TRUE(runEnv->shouldStartLoadWithRequest("about:blank"));
    EXPECT_FALSE(runEnv->shouldStartLoadWithRequest("https://example.invalid/login"));
    EXPECT_FALSE(runEnv->shouldStartLoadWithRequest("HTTP://example.invalid/"));
    EXPECT_EQ(delegate->asked, (std::vector<std::string> { "sendhttpurl://a/b?p0=1", "about:blank" }));

    // The web view itself is asked the same way: a remote page never replaces the blank one.
    view->webView()->loadRequest(pf::UrlRequest("https://example.invalid/login"));
    env.waitForPendingWork();
    EXPECT_EQ(view->webView()->url().find("example.invalid"), std::string::npos);
    EXPECT_EQ(delegate->asked.size(), 2u);

    // A bad class declaration shows the page's alert and defines nothing.
    run("SendCmd.createClass('x', null)");
    EXPECT_EQ(view->webView()->alerts(), (std::vector<std::string> { "nameSpace = x methodJSon = null" }));
}

TEST(RunEnvPageTest, OnlySystemFourGetsTheBlankPageAndTheHostsOwnScriptsRunAgainInIt)
{
    pf::TaskEnvironment env;
    // Records what the delegate is asked and what the page holds when it hears the load.
    struct PageDelegate : RecordingRunEnvDelegate {
        std::shared_ptr<MorrowWebViewHost> view;
        std::vector<std::string> atFinish;
        void webViewDidFinishLoad() override { atFinish.push_back(view->evaluateJavascript("typeof own + ' ' + typeof passing")); }
    };
    struct Case {
        const char* version;
        bool loads;
    };
    for (auto c : { Case { "4.3", true }, Case { "4", true }, Case { "3.2", false }, Case { "5.0", false }, Case { "40.1", false } }) {
        SCOPED_TRACE(c.version);
        pf::Device::current().setSystemVersion(c.version);
        auto view = MorrowWebViewHost::create();
        auto delegate = std::make_shared<PageDelegate>();
        delegate->view = view;
        auto runEnv = MorrowJSRunEnv::create(view, delegate);
        // Before the page arrives: one of the host's own scripts, and a value any script leaves.
        view->loadScript("var own = 'kept';", "own");
        view->evaluateJavascript("var passing = 'gone with the page';");
        env.runUntilIdle();

        EXPECT_EQ(delegate->asked, c.loads ? std::vector<std::string> { "about:blank" } : std::vector<std::string> {});
        EXPECT_EQ(delegate->atFinish, c.loads ? std::vector<std::string> { "string undefined" } : std::vector<std::string> {});
        EXPECT_EQ(view->evaluateJavascript("var m = document.getElementsByTagName('meta'); m.length ? m[0].getAttribute('charset') : 'none'"),
            c.loads ? "utf-8" : "none");
        EXPECT_EQ(view->evaluateJavascript("own"), "kept");
    }
}

}
