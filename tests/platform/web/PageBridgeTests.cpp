#include "WebTestSupport.h"

#include "platform/foundation/Log.h"
#include "platform/web/PageBridge.h"
#include "platform/web/PageLog.h"
#include "platform/web/ScriptText.h"

#include <algorithm>

using namespace pf;

namespace {
// A page that answers "lmLogin" at once, keeps the answer of "later" for a timer, and calls
// the app's "fromPage" once the bridge is ready.
const char* kPage = R"(<body><script>
document.addEventListener('PageBridgeReady', function () {
    PageBridge.registerHandler('lmLogin', function (data, respond) { respond({ webauth: 'w', saltkey: 's', got: data }); });
    PageBridge.registerHandler('later', function (data, respond) { setTimeout(function () { respond('late'); }, 1000); });
    PageBridge.callHandler('fromPage', { n: 1 }, function (answer) { window.answer = answer; });
    PageBridge.callHandler('unknown', 'x');
});
</script></body>)";
}

class PageBridgeTest : public WebTest {
protected:
    PageBridgeTest()
    {
        bridge = PageBridge::bridgeForWebView(webView, delegate, [this](const Value& data, const PageBridge::ResponseCallback&) {
            defaultMessages.push_back(data);
        });
        bridge->registerHandler("fromPage", [this](const Value& data, const PageBridge::ResponseCallback& respond) {
            fromPage.push_back(data);
            respond(Value("ok \xE2\x80\xA8 line"));
        });
    }

    std::shared_ptr<PageBridge> bridge;
    std::vector<Value> defaultMessages;
    std::vector<Value> fromPage;
};

TEST_F(PageBridgeTest, HandlersAreCalledBothWaysWithAnswersBeforeAndAfterThePageIsReady)
{
    std::vector<Value> answers;
    bridge->callHandler("lmLogin", Value(), [&](const Value& a) { answers.push_back(a); }); // no page yet: queued
    EXPECT_FALSE(bridge->isPageReady());
    load(kPage);
    EXPECT_TRUE(bridge->isPageReady());
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0]["webauth"], Value("w"));
    EXPECT_EQ(answers[0]["saltkey"], Value("s"));

    // The page's own call reached the app and its answer came back (a line separator included).
    ASSERT_EQ(fromPage.size(), 1u);
    EXPECT_EQ(fromPage[0]["n"], Value(1));
    EXPECT_EQ(eval("answer"), "ok \xE2\x80\xA8 line");
    // A handler the app does not have goes to the default handler.
    ASSERT_EQ(defaultMessages.size(), 1u);
    EXPECT_EQ(defaultMessages[0], Value("x"));

    // Once ready, a call is answered at once; data with quotes and separators arrives intact.
    std::string tricky = "it's \"quoted\" </script> \xE2\x80\xA9 \\";
    bridge->callHandler("lmLogin", Value(tricky), [&](const Value& a) { answers.push_back(a); });
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1]["got"], Value(tricky));
    // Non-bridge navigations still reach the screen's delegate; bridge frames do not.
    for (const auto& q : delegate->questions)
        EXPECT_FALSE(q.url.starts_with("pagebridge:")) << q.url;
}

TEST_F(PageBridgeTest, APageThatNavigatesAwayBeforeAnsweringEndsInALoggedDrop)
{
    load(kPage);
    int answered = 0;
    bridge->callHandler("later", Value(), [&](const Value&) { ++answered; });
    Log::startCapture();
    load("<p>another page</p>");
    env.fastForwardBy(2);
    EXPECT_EQ(answered, 0);
    EXPECT_TRUE(Log::contains("went away before answering \"later\""));

    // An app handler that answers after its page has gone drops the answer.
    PageBridge::ResponseCallback kept;
    bridge->registerHandler("hold", [&](const Value&, const PageBridge::ResponseCallback& respond) { kept = respond; });
    load("<script>document.addEventListener('PageBridgeReady', function () { PageBridge.callHandler('hold', 1, function () { alert('wrong page'); }); });</script>");
    ASSERT_TRUE(kept);
    load("<p>third</p>");
    kept(Value("late"));
    EXPECT_TRUE(Log::contains("has gone"));
    EXPECT_TRUE(webView->alerts().empty());
    Log::stopCapture();
}

TEST_F(PageBridgeTest, GarbageInTheQueueIsRefused)
{
    load(kPage);
    Log::startCapture();
    // A page that fakes the queue with something that is not a list of messages.
    eval("PageBridge._fetchQueue = function () { return '{not json'; };"
         "var f = document.createElement('iframe'); f.src = 'pagebridge://message'; document.body.appendChild(f);");
    EXPECT_TRUE(Log::contains("not a list"));
    eval("PageBridge._fetchQueue = function () { return '[1, \"x\", null, {\"responseId\": \"nope\"}]'; }; f.src = 'pagebridge://message'");
    Log::stopCapture();
    EXPECT_EQ(fromPage.size(), 1u);
}

TEST_F(PageBridgeTest, APageThatFloodsTheBridgeWithGarbageGetsABoundedShareOfTheLog)
{
    load(kPage);
    Log::startCapture();
    eval("PageBridge._fetchQueue = function () { return '{not json'; };"
         "var f = document.createElement('iframe'); document.body.appendChild(f);"
         "for (var i = 0; i < 1000; i++) f.src = 'pagebridge://message?' + i;");
    auto lines = Log::captured();
    Log::stopCapture();
    auto refused = std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("not a list") != std::string::npos; });
    EXPECT_GT(refused, 0);
    EXPECT_LE(lines.size(), PageLog::kMaxLines + 1);
}

TEST(ScriptTextTest, LiteralsAndJsonAreSafeInScript)
{
    EXPECT_EQ(ScriptText::stringLiteral("a'b\"c\\d\ne</script>"), "'a\\'b\\\"c\\\\d\\ne\\x3C/script>'");
    EXPECT_EQ(ScriptText::stringLiteral("\xE2\x80\xA8\xE2\x80\xA9"), "'\\u2028\\u2029'");
    EXPECT_EQ(ScriptText::stringLiteral(std::string("\x01\xff", 2)), "'\\x01\xEF\xBF\xBD'");
    EXPECT_EQ(ScriptText::json(Value(Array { Value("x\xE2\x80\xA8y") })), "[\"x\\u2028y\"]");
}
