#include "WebTestSupport.h"

#include "platform/web/HtmlParser.h"

using namespace pf;

// The parsed document as a page's scripts find it: its nodes are made as scripts reach them,
// and must read and change like nodes a script made itself.
class DocumentTreeTest : public WebTest {
};

TEST_F(DocumentTreeTest, ParsedNodesReadAsTheMarkupWrote)
{
    load(R"html(<!DOCTYPE html><html><head><title>礼包</title></head><body>
<ul id="list" class="gifts"><li data-b="2" data-a="1" class="x">one</li><li>two <b>bold</b></li></ul>
<p id="p">a &amp; b<!-- gone --></p><x-ünknown id="u">?</x-ünknown></body></html>)html");
    struct Case {
        const char* script;
        const char* expected;
    };
    const Case cases[] = {
        { "document.documentElement.tagName + ' ' + document.documentElement.parentNode.nodeName", "HTML #document" },
        { "document.title", "礼包" },
        { "var ul = document.getElementById('list'); ul.tagName + ' ' + ul.className + ' ' + ul.children.length", "UL gifts 2" },
        // Attributes keep the order of the markup, whatever their names.
        { "document.getElementById('list').innerHTML.split('</li>')[0]",
            "<li data-b=\"2\" data-a=\"1\" class=\"x\">one" },
        { "document.getElementById('p').textContent", "a & b" },
        { "document.getElementById('p').childNodes.length + ' ' + document.getElementById('p').firstChild.nodeType", "1 3" },
        { "var b = document.querySelector('b'); b.parentNode.parentNode.id + ' ' + b.firstChild.parentNode.localName", "list b" },
        { "var l = document.getElementsByTagName('li')[1]; l.previousSibling.nextSibling === l", "true" },
        { "document.getElementById('u').tagName", "X-ÜNKNOWN" },
        { "document.body.firstChild.nodeName + ' ' + (document.body.firstChild.childNodes.length)", "#text 0" },
        { "document.getElementById('list') instanceof Element && document.body.firstChild instanceof Text", "true" },
        { "document.getElementById('list').style.display === undefined", "true" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(eval(c.script), c.expected);
    }
}

TEST_F(DocumentTreeTest, ParsedNodesChangeLikeMadeOnes)
{
    load(R"html(<body><div id="a" title="t"><span>x</span></div><div id="b"></div></body>)html");
    struct Case {
        const char* script;
        const char* expected;
    };
    const Case cases[] = {
        { "var a = document.getElementById('a'); a.setAttribute('title', 'u'); a.setAttribute('lang', 'zh'); "
          "a.removeAttribute('id'); a.getAttribute('title') + ' ' + a.hasAttribute('id') + ' ' + document.body.innerHTML",
            "u false <div title=\"u\" lang=\"zh\"><span>x</span></div><div id=\"b\"></div>" },
        { "var s = document.querySelector('span'); document.getElementById('b').appendChild(s); "
          "s.parentNode.id + ' ' + document.body.firstChild.childNodes.length",
            "b 0" },
        { "var b = document.getElementById('b'); b.innerHTML = '<i>new</i>'; b.firstChild.tagName + ' ' + b.textContent", "I new" },
        { "var b = document.getElementById('b'); b.style.color = 'red'; b.style.color", "red" },
        { "var b = document.getElementById('b'); b.style = { color: 'blue' }; b.style.color", "blue" },
        { "var b = document.getElementById('b'); b.childNodes = []; b.childNodes.length", "0" },
        { "var b = document.getElementById('b'); b.textContent = 'plain'; b.firstChild.data", "plain" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(eval(c.script), c.expected);
    }
}

TEST_F(DocumentTreeTest, ThePageCannotTurnTheTreeAgainstItself)
{
    // What reads the tree answers for elements of this document only.
    load("<body><div id='a'>x</div></body>");
    EXPECT_EQ(eval("var d = Object.getOwnPropertyDescriptor(Object.getPrototypeOf(document.getElementById('a')), 'childNodes');"
                   "var out = []; [{}, document, new Element('p'), 7].forEach(function (o) {"
                   "  try { d.get.call(o); out.push('read'); } catch (e) { out.push(e.name); } });"
                   "out.join(' ')"),
        "TypeError TypeError TypeError TypeError");
    EXPECT_EQ(eval("document.getElementById('a').textContent"), "x");
}

TEST_F(DocumentTreeTest, DeepDocumentsKeepTheirNodesAndScriptOrder)
{
    std::string deep;
    for (int i = 0; i < HtmlParser::kMaxDepth - 3; ++i)
        deep += "<div>";
    deep += "<script>order.push('deepest')</script><span>kept</span>";
    std::string html = "<script>var order = ['first']</script>" + deep + "<script>order.push('last')</script>";
    auto parsed = HtmlParser::parseDocument(html);
    ASSERT_TRUE(parsed.ok);
    ASSERT_EQ(parsed.scripts.size(), 3u);
    EXPECT_EQ(parsed.scripts[1].text, "order.push('deepest')");

    load(html);
    EXPECT_EQ(eval("order.join(' ')"), "first deepest last");
    EXPECT_EQ(eval("var n = document.querySelector('span'), d = 0; for (; n; n = n.parentNode) d++; d"),
        std::to_string(HtmlParser::kMaxDepth + 1));
    EXPECT_EQ(eval("document.querySelector('span').textContent"), "kept");
}
