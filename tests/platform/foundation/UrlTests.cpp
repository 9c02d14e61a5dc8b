#include "platform/foundation/Url.h"

#include <gtest/gtest.h>

using namespace pf;

TEST(Url, ParsesEveryPart)
{
    auto url = Url::fromString("HTTP://user:pw@Api.Example.COM:8080/ka/list%20x/?a=1&b=%E7%A4%BC&c#frag");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "HTTP");
    EXPECT_TRUE(url->hasScheme("http"));
    EXPECT_EQ(url->host(), "Api.Example.COM");
    EXPECT_EQ(url->user(), "user:pw");
    EXPECT_EQ(url->port(), 8080);
    EXPECT_EQ(url->path(), "/ka/list x/");
    EXPECT_EQ(url->pathComponents(), (std::vector<std::string> { "/", "ka", "list x" }));
    EXPECT_EQ(url->lastPathComponent(), "list x");
    EXPECT_EQ(url->query(), "a=1&b=%E7%A4%BC&c");
    EXPECT_EQ(url->fragment(), "frag");
    auto items = url->queryItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], (Url::QueryItem { "a", "1" }));
    EXPECT_EQ(items[1], (Url::QueryItem { "b", "礼" }));
    EXPECT_EQ(items[2], (Url::QueryItem { "c", std::nullopt }));
    EXPECT_EQ(url->absoluteString(), "HTTP://user:pw@Api.Example.COM:8080/ka/list%20x/?a=1&b=%E7%A4%BC&c#frag");
}

TEST(Url, SchemesWithoutPathsAndOddShapes)
{
    auto app = Url::fromString("morrow123://response?kPastboardName=x");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->scheme(), "morrow123");
    EXPECT_EQ(app->host(), "response");
    EXPECT_EQ(app->path(), "");
    EXPECT_TRUE(app->pathComponents().empty());

    auto file = Url::fromString("file://localhost/var/a.html");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->isFileUrl());
    EXPECT_EQ(file->host(), "localhost");
    EXPECT_EQ(file->path(), "/var/a.html");

    auto mail = Url::fromString("mailto:someone@example.com");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->scheme(), "mailto");
    EXPECT_EQ(mail->host(), "");
    EXPECT_EQ(mail->path(), "someone@example.com");

    auto relative = Url::fromString("ka/list?x=1");
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->scheme(), "");
    EXPECT_EQ(relative->pathComponents(), (std::vector<std::string> { "ka", "list" }));

    auto v6 = Url::fromString("http://[::1]:99/x");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host(), "[::1]");
    EXPECT_EQ(v6->port(), 99);

    auto itms = Url::fromString("itms-services://?action=download-manifest&url=https://a.b/c.plist");
    ASSERT_TRUE(itms);
    EXPECT_EQ(itms->host(), "");
    EXPECT_EQ(itms->queryItems().at(1).value, "https://a.b/c.plist");
}

TEST(Url, IllegalTextIsRefused)
{
    for (const char* bad : { "", "http://a b/", "http://a/礼包", "http://a/<x>", "http://a/%zz", "http://a/%4",
             "http://a/x#y#z", "http://a:99999/", "http://a:8x/", "http://a/\"q\"", "http://a/{}", "http://a/x|y",
             "http://[::1/", "http://a/[x]" }) {
        EXPECT_FALSE(Url::fromString(bad)) << bad;
    }
    EXPECT_TRUE(Url::fromString(Url::escapeLegacy("http://a/礼包 <x>")));
}

TEST(Url, LegacyEscapingKeepsTheUrlsOwnCharacters)
{
    EXPECT_EQ(Url::escapeLegacy("http://a.b/c d?x=礼&y=1+2#f"), "http://a.b/c%20d?x=%E7%A4%BC&y=1+2#f");
    EXPECT_EQ(Url::escapeLegacy("100%\"<>{}|\\^`"), "100%25%22%3C%3E%7B%7D%7C%5C%5E%60");
    EXPECT_EQ(Url::escapeLegacy(""), "");
}

TEST(Url, EscapingWithACallerNamedReservedSet)
{
    EXPECT_EQ(Url::escape("a&b=c/d?e", "&=/?"), "a%26b%3Dc%2Fd%3Fe");
    EXPECT_EQ(Url::escape("it's me@x", "'@"), "it%27s%20me%40x");
    // A typographic apostrophe is outside ASCII and always escaped as UTF-8.
    EXPECT_EQ(Url::escape("a\u2019b", "!*'();:@&=+$,/?%#[]"), "a%E2%80%99b");
    // Leave-unescaped applies to characters that would otherwise be escaped.
    EXPECT_EQ(Url::escape("a b%", {}, " "), "a b%25");
    EXPECT_EQ(Url::escapeComponent("a b&c=d/é"), "a%20b%26c%3Dd%2F%C3%A9");
}

TEST(Url, UnescapingFailsOnBadEscapes)
{
    EXPECT_EQ(Url::unescape("a%20b%E7%A4%BC"), "a b礼");
    EXPECT_EQ(Url::unescape("a+b"), "a+b");
    EXPECT_EQ(Url::unescape(""), "");
    EXPECT_FALSE(Url::unescape("%"));
    EXPECT_FALSE(Url::unescape("abc%2"));
    EXPECT_FALSE(Url::unescape("%G0"));
    EXPECT_FALSE(Url::unescape("%E7%A4")); // a cut UTF-8 sequence
    EXPECT_FALSE(Url::unescape("%FF"));
    EXPECT_FALSE(Url::unescape("%C0%AF")); // overlong
    EXPECT_EQ(Url::unescape("a%2Fb%20", "/"), "a%2Fb ");
    EXPECT_EQ(Url::formDecode("a+b%2Bc"), "a b+c");
    EXPECT_FALSE(Url::formDecode("a+%"));
}

TEST(Url, AppendingAPathComponent)
{
    auto base = *Url::fromString("https://h.example/api?x=1");
    EXPECT_EQ(base.appendingPathComponent("me").absoluteString(), "https://h.example/api/me?x=1");
    EXPECT_EQ(base.appendingPathComponent("a b/c").absoluteString(), "https://h.example/api/a%20b%2Fc?x=1");
    auto root = *Url::fromString("https://h.example");
    EXPECT_EQ(root.appendingPathComponent("x").absoluteString(), "https://h.example/x");
    EXPECT_EQ(Url::fileUrl("/tmp/a b/c.html").absoluteString(), "file:///tmp/a%20b/c.html");
    EXPECT_EQ(Url::fileUrl("/tmp/a b/c.html").path(), "/tmp/a b/c.html");
}
