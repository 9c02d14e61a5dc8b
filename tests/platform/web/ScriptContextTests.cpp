#include "platform/testing/TaskEnvironment.h"
#include "platform/web/CompiledScripts.h"
#include "platform/web/ScriptContext.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

// A private side with state of its own, a closure over it and a native function.
const char* kInternal = R"JS((function (global, native) {
    var count = 0;
    global.visible = 'yes';
    return {
        bump: function (by) { count += by; return native.twice(count); },
        name: function () { return (function inner() { return 'inner'; })(); }
    };
}))JS";

}

TEST(ScriptContext, EveryContextGetsItsOwnFreshInternalSideWhetherCompiledOrLoaded)
{
    TaskEnvironment env;
    // The first context compiles the source, later ones load what it compiled: all behave
    // alike and share no state.
    for (int round = 0; round < 3; ++round) {
        auto context = ScriptContext::create();
        ASSERT_TRUE(context);
        int calls = 0;
        ASSERT_TRUE(context->installInternal(kInternal, { { "twice", [&](const std::vector<Value>& a) {
                                                               ++calls;
                                                               return Value(a.at(0).longValue() * 2);
                                                           } } }));
        EXPECT_EQ(context->callInternal("bump", { Value(3) }).value, Value(6)) << "round " << round;
        EXPECT_EQ(context->callInternal("bump", { Value(4) }).value, Value(14)) << "round " << round;
        EXPECT_EQ(context->callInternal("name").text, "inner");
        EXPECT_EQ(context->evaluate("visible").text, "yes");
        EXPECT_EQ(calls, 2);
    }
}

TEST(ScriptContext, ScriptsKeptCompiledRunAsWrittenInEveryFreshContext)
{
    TaskEnvironment env;
    // Declarations become globals, the completion value is the answer, and no context sees
    // another's values, whether it compiled the text or loaded what an earlier one compiled.
    const std::string script = "var kept = (typeof kept === 'number' ? kept : 0) + 1;"
                               "function keptTwice(n) { return 2 * n; }"
                               "var keptList = [1, 2]; keptTwice(kept) + ':' + keptList.length";
    const std::string changed = script + " + ':changed'";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        auto context = ScriptContext::create();
        ASSERT_TRUE(context);
        auto outcome = context->evaluateKeepingCompiled(script, "kept.js");
        EXPECT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(outcome.text, "2:2");
        EXPECT_TRUE(CompiledScripts::shared().find("kept.js", script));
        EXPECT_EQ(context->evaluate("typeof keptTwice + kept").text, "function1");
        // Run again in the same context, it sees what the first run left.
        EXPECT_EQ(context->evaluateKeepingCompiled(script, "kept.js").text, "4:2");
        // A changed text is run as written, never as the text kept before it.
        EXPECT_EQ(context->evaluateKeepingCompiled(changed, "kept.js").text, "6:2:changed");
    }

    // Failures are the script's as with `evaluate`; text that does not compile is not kept.
    const std::string throwing = "var thrown = 'yes'; throw new Error('kept and thrown');";
    const std::string broken = "var = ;";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        auto context = ScriptContext::create();
        ASSERT_TRUE(context);
        auto thrown = context->evaluateKeepingCompiled(throwing, "thrown.js");
        EXPECT_FALSE(thrown.ok);
        EXPECT_NE(thrown.error.find("kept and thrown"), std::string::npos) << thrown.error;
        EXPECT_EQ(context->evaluate("thrown").text, "yes");
        auto syntax = context->evaluateKeepingCompiled(broken, "broken.js");
        EXPECT_FALSE(syntax.ok);
        EXPECT_NE(syntax.error.find("SyntaxError"), std::string::npos) << syntax.error;
        EXPECT_FALSE(CompiledScripts::shared().find("broken.js", broken));
        EXPECT_EQ(context->evaluate("1 + 1").text, "2");
    }

    // Loaded code keeps the context's budget like compiled code.
    for (int round = 0; round < 2; ++round) {
        auto context = ScriptContext::create();
        ASSERT_TRUE(context);
        context->setBudget(0.05);
        auto spun = context->evaluateKeepingCompiled("for (;;) {}", "spin.js");
        EXPECT_FALSE(spun.ok) << round;
        EXPECT_TRUE(spun.outOfBudget) << round;
    }
}

TEST(ScriptContext, MemoryIsCountedThroughGrowthAndRelease)
{
    TaskEnvironment env;
    ScriptContext::Limits limits;
    limits.memoryBytes = 8u << 20;
    auto context = ScriptContext::create(limits);
    ASSERT_TRUE(context);
    size_t idle = context->memoryInUse();

    // Strings and arrays that grow (reallocated blocks) are counted while they live.
    ASSERT_TRUE(context->evaluate("var big = []; for (var i = 0; i < 20000; i++) big.push('item ' + i); big.length").ok);
    size_t grown = context->memoryInUse();
    EXPECT_GT(grown, idle + 500000);
    ASSERT_TRUE(context->evaluate("big = null; Duktape.gc(); Duktape.gc(); 1").ok);
    // What the engine keeps for itself (its string table, stacks) stays; the items go.
    EXPECT_LT(context->memoryInUse(), idle + (grown - idle) / 2);

    // Past the limit allocation fails as an error of the script; the context goes on working.
    auto over = context->evaluate("var s = 'x'; while (true) s = s + s; 1");
    EXPECT_FALSE(over.ok);
    ASSERT_TRUE(context->evaluate("s = null; Duktape.gc(); 1").ok);
    EXPECT_EQ(context->evaluate("1 + 1").text, "2");
    EXPECT_LE(context->memoryInUse(), limits.memoryBytes);
}

TEST(ScriptContext, CallingAFunctionByPathPassesTextIntactAndFailsSafely)
{
    TaskEnvironment env;
    auto context = ScriptContext::create();
    ASSERT_TRUE(context);
    ASSERT_TRUE(context->evaluate("var app = { box: { n: 1, join: function (a, b) { return this.n + ':' + a + '|' + b; } } };"
                                  "function len(s) { return s.length; } function boom() { throw new Error('boom'); }")
                    .ok);
    struct Case {
        const char* path;
        std::vector<Value> arguments;
        bool ok;
        const char* text;
    };
    const Case cases[] = {
        // Called on the object it was found on.
        { "app.box.join", { Value("a\"b\\c\n"), Value("\xE2\x80\xA8 礼包") }, true, "1:a\"b\\c\n|\xE2\x80\xA8 礼包" },
        { "len", { Value("礼包") }, true, "2" },
        { "len", { Value(std::string("a\0b", 3)) }, true, "3" },
        { "boom", {}, false, "" },
        { "app.missing.join", {}, false, "" },
        { "app.box.n", {}, false, "" },
        { "nothing", {}, false, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto outcome = context->call(c.path, c.arguments);
        EXPECT_EQ(outcome.ok, c.ok);
        EXPECT_EQ(outcome.text, c.text);
    }
    // A call keeps the context's budget.
    ASSERT_TRUE(context->evaluate("function spin() { for (;;) {} }").ok);
    context->setBudget(0.05);
    auto spun = context->call("spin", {});
    EXPECT_FALSE(spun.ok);
    EXPECT_TRUE(spun.outOfBudget);
}
