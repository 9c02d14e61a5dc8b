#include "platform/web/HtmlParser.h"
#include "platform/web/WebAddress.h"

#include <gtest/gtest.h>

using namespace pf;

TEST(WebAddressTest, ReferencesResolveAgainstTheDocumentAndAbsoluteOnesStayAsWritten)
{
    const char* base = "http://forum.test/bbs/connect.php?mod=login#top";
    struct Case {
        const char* reference;
        const char* resolved;
    } cases[] = {
        { "next.html", "http://forum.test/bbs/next.html" },
        { "../up/a.js", "http://forum.test/up/a.js" },
        { "./a/./b/../c", "http://forum.test/bbs/a/c" },
        { "/root?x=1#f", "http://forum.test/root?x=1#f" },
        { "?op=init", "http://forum.test/bbs/connect.php?op=init" },
        { "#frag", "http://forum.test/bbs/connect.php?mod=login#frag" },
        { "", "http://forum.test/bbs/connect.php?mod=login" },
        { "//cdn.test/x.js", "http://cdn.test/x.js" },
        { "  spaced.html ", "http://forum.test/bbs/spaced.html" },
        // With a scheme: exactly as written, case and all.
        { "bridge://openApi/isAppVersion?p0=%7B%7D&", "bridge://openApi/isAppVersion?p0=%7B%7D&" },
        { "HTTP://Other.Test/A", "HTTP://Other.Test/A" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(WebAddress::resolve(base, c.reference), c.resolved) << c.reference;
    // A document without an authority (a blank page) resolves nothing.
    EXPECT_EQ(WebAddress::resolve("about:blank", "next.html"), "next.html");

    EXPECT_TRUE(WebAddress::sameOrigin("http://a.test/x", "HTTP://A.TEST/y"));
    EXPECT_FALSE(WebAddress::sameOrigin("http://a.test/x", "https://a.test/x"));
    EXPECT_FALSE(WebAddress::sameOrigin("http://a.test/x", "http://a.test:8080/x"));
    EXPECT_FALSE(WebAddress::sameOrigin("http://a.test/x", "not a url"));
    EXPECT_EQ(WebAddress::formEncode("a b&c=d+é"), "a+b%26c%3Dd%2B%C3%A9");
}

TEST(HtmlParserTest, TheShapeScanCountsNestingTheWayTheParserWill)
{
    struct Case {
        std::string html;
        int depth;
    } cases[] = {
        { "<div><p>x</p><p>y</p></div>", 2 },
        { "<br><img src=x><input/><hr>", 0 },
        // Markup inside scripts, styles and comments is text, not elements.
        { "<script>var s = '<div><div><div>';</script><div></div>", 1 },
        { "<!-- <div><div> --><span></span>", 1 },
        { "<div title='<div><div>'><b></b></div>", 2 },
        // End tags that close nothing do not lower the count.
        { "<div></span><div></span><div>", 3 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(HtmlParser::scanShape(c.html).depth, c.depth) << c.html;

    auto parsed = HtmlParser::parseDocument("<p>a<script src='s.js'></script><script>x()</script><script type='text/x-tmpl'>y</script>");
    ASSERT_TRUE(parsed.ok);
    ASSERT_EQ(parsed.scripts.size(), 2u);
    EXPECT_TRUE(parsed.scripts[0].linked);
    EXPECT_EQ(parsed.scripts[0].text, "s.js");
    EXPECT_EQ(parsed.scripts[1].text, "x()");
}
