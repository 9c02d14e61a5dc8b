#include "WebTestSupport.h"

#include "platform/foundation/Log.h"

using namespace pf;

TEST_F(WebTest, CompletionValuesBecomeTextByOneRule)
{
    struct Case {
        const char* script;
        const char* text;
    } cases[] = {
        { "'abc'", "abc" },
        { "6 * 7", "42" },
        { "0.1 + 0.2", "0.30000000000000004" },
        { "1 / 0", "Infinity" },
        { "true", "true" },
        { "undefined", "" },
        { "null", "" },
        { "({ a: 1 })", "" },
        { "[1, 2]", "" },
        { "(function () {})", "" },
        { "var x = 5; x + 1", "6" },
        { "throw new Error('boom')", "" },
        { "this is not a script", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(c.script), c.text) << c.script;
}

TEST_F(WebTest, ScriptsRunInDocumentOrderAndSeeTheWholeDocument)
{
    load(R"(<html><head><title> The  Title </title>
        <script>var order = ['head'];</script></head>
        <body><p id="p">Hello</p>
        <script>order.push('body:' + document.getElementById('p').textContent);</script>
        <script type="text/template">order.push('never');</script>
        <script>window.onload = function () { order.push('onload'); };</script>
        </body></html>)");
    EXPECT_EQ(eval("order.join(',')"), "head,body:Hello,onload");
    EXPECT_EQ(webView->title(), "The Title");
    EXPECT_EQ(eval("document.title"), "The Title");
    EXPECT_EQ(delegate->events, (std::vector<std::string> { "ask http://example.test/page.html", "start", "finish" }));
}

TEST_F(WebTest, AThrowingScriptDoesNotStopTheOthers)
{
    Log::startCapture();
    load("<script>var a = 1; undefinedFunction();</script><script>var b = 2;</script>");
    EXPECT_EQ(eval("a + b"), "3");
    EXPECT_TRUE(Log::contains("undefinedFunction"));
    Log::stopCapture();
}

TEST_F(WebTest, APageBudgetTooShortForAnyScriptStillGivesAWholePage)
{
    // The page is set up by our own script whatever the page's budget; before, a budget the
    // set-up overran (a tight one, or any on a busy machine) left a page with no script
    // context and a load that never ended.
    webView->setScriptBudget(1e-9);
    load("<title>T</title><p>text</p><script>var x = 1;</script>");
    EXPECT_EQ(delegate->events.back(), "finish");
    webView->setScriptBudget(2);
    EXPECT_EQ(eval("document.title"), "T");
}

TEST_F(WebTest, ALoopingScriptIsStoppedByItsBudget)
{
    webView->setScriptBudget(0.2);
    Log::startCapture();
    load("<script>var before = 1; for (;;) {}</script><script>var after = 2;</script>");
    EXPECT_EQ(eval("before + after"), "3");
    // The stop cannot be caught, so a script cannot go on looping after it.
    EXPECT_EQ(eval("var caught = 0; try { while (true) {} } catch (e) { caught = 1; while (true) {} } 'done'"), "");
    EXPECT_EQ(eval("caught"), "0");
    EXPECT_TRUE(Log::contains("budget"));
    // Runaway memory and recursion end in errors too (with a budget that a busy machine
    // cannot overrun by accident).
    webView->setScriptBudget(5);
    EXPECT_EQ(eval("(function f() { return f() + 1; })()"), "");
    EXPECT_EQ(eval("var deep = document.body; for (var i = 0; i < 500; i++) deep = deep.appendChild(document.createElement('div')); 'built'"), "built");
    EXPECT_EQ(eval("document.body.textContent.length"), "0");
    EXPECT_EQ(eval("var s = 'x'; while (true) s += s;"), "");
    eval("s = null");
    Log::stopCapture();
    EXPECT_EQ(eval("'still usable'"), "still usable");
    EXPECT_FALSE(webView->contentLines().size() > 0);
}

TEST_F(WebTest, NativeFunctionsAreReentrant)
{
    std::weak_ptr<WebView> weak = webView;
    webView->registerFunction("app.twice", [weak](const std::vector<Value>& args) {
        // Evaluates more script in the same context while the caller's script is running.
        std::string inner = weak.lock()->evaluate("inner(" + args.at(0).stringValue() + ")").value_or("none");
        return Value("native:" + inner);
    });
    EXPECT_EQ(eval("function inner(n) { return String(n * 2); } app.twice(21)"), "native:42");
    // Registered functions survive a new page.
    load("<p>next</p>");
    EXPECT_EQ(eval("function inner(n) { return 'again' + n; } app.twice(1)"), "native:again1");
}

TEST_F(WebTest, NativeArgumentsAndResultsCrossAsValues)
{
    std::vector<Value> seen;
    webView->registerFunction("probe", [&](const std::vector<Value>& args) {
        seen = args;
        Dictionary d { { "list", Array { Value(1), Value("two") } }, { "flag", Value(true) } };
        return Value(d);
    });
    EXPECT_EQ(eval("var r = probe('s', 3, 2.5, null, undefined, {k: [1]}, function () {}); r.list[1] + r.flag"), "twotrue");
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[0], Value("s"));
    EXPECT_EQ(seen[1], Value(3));
    EXPECT_EQ(seen[2], Value(2.5));
    EXPECT_TRUE(seen[3].isNull());
    EXPECT_TRUE(seen[4].isMissing());
    EXPECT_EQ(seen[5]["k"][size_t(0)], Value(1));
    EXPECT_TRUE(seen[6].isMissing());

    // A node is a cyclic graph (parent, children): it arrives cut off at a fixed size and depth.
    EXPECT_EQ(eval("probe(document, document.body) && 'back'"), "back");
    EXPECT_TRUE(seen[0].isDictionary());

    webView->registerFunction("fails", [](const std::vector<Value>&) -> Value { throw std::runtime_error("native said no"); });
    EXPECT_EQ(eval("try { fails(); 'no' } catch (e) { e.message }"), "native said no");
}

TEST_F(WebTest, TimersRunOnThePlatformClock)
{
    load(R"(<script>
        var log = [];
        setTimeout(function () { log.push('a'); }, 1000);
        var cancelled = setTimeout(function () { log.push('never'); }, 500);
        clearTimeout(cancelled);
        setTimeout(function (x) { log.push(x); }, 2000, 'b');
        </script>)");
    env.fastForwardBy(0.999);
    EXPECT_EQ(eval("log.join()"), "");
    env.fastForwardBy(0.001);
    EXPECT_EQ(eval("log.join()"), "a");
    env.fastForwardBy(5);
    EXPECT_EQ(eval("log.join()"), "a,b");
}

TEST_F(WebTest, APageReplacedOrDestroyedDropsItsTimers)
{
    load("<script>setTimeout(function () { alert('old page'); }, 1000);</script>");
    load("<p>new</p>");
    env.fastForwardBy(2);
    EXPECT_TRUE(webView->alerts().empty());

    load("<script>setTimeout(function () { alert('gone'); }, 1000);</script>");
    webView.reset();
    env.fastForwardBy(2); // nothing may run into a destroyed view
}

TEST_F(WebTest, AlertsAndConsoleAreRecorded)
{
    Log::startCapture();
    eval("alert('hello ' + 1); console.log('to the log', 2)");
    EXPECT_EQ(webView->alerts(), (std::vector<std::string> { "hello 1" }));
    EXPECT_TRUE(Log::contains("to the log 2"));
    Log::stopCapture();
}

TEST_F(WebTest, DomBasics)
{
    load(R"(<body><div id="box" class="a b">x</div><ul><li>1</li><li>2</li></ul></body>)");
    struct Case {
        const char* script;
        const char* result;
    } cases[] = {
        { "document.getElementById('box').className", "a b" },
        { "var e = document.createElement('span'); e.textContent = 'new'; document.body.appendChild(e); document.body.lastChild.textContent", "new" },
        { "document.getElementsByTagName('li').length", "2" },
        { "document.querySelector('.b').id", "box" },
        { "var b = document.getElementById('box'); b.setAttribute('data-x', '1'); b.getAttribute('data-x')", "1" },
        { "var b = document.getElementById('box'); b.parentNode.removeChild(b); document.getElementById('box') === null", "true" },
        { "try { document.body.appendChild(document.body); 'no' } catch (e) { 'refused' }", "refused" },
        { "document.body.innerHTML = '<b>bold</b> text'; document.body.firstChild.tagName", "B" },
        { "document.body.innerHTML", "<b>bold</b> text" },
        { "window === this && window.document === document", "true" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(c.script), c.result) << c.script;
}
