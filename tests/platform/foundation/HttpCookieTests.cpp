#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

HttpCookie cookie(std::string name, std::string value, std::string domain, std::string path)
{
    HttpCookie c;
    c.name = std::move(name);
    c.value = std::move(value);
    c.domain = std::move(domain);
    c.path = std::move(path);
    return c;
}

}

TEST(HttpCookie, ReadsSetCookieAttributes)
{
    auto url = *Url::fromString("https://bbs.example.com/forum/login.php");
    auto c = HttpCookie::fromSetCookie("sid = a=b ; Domain=.Example.com; Path=/forum; Secure; HttpOnly; Max-Age=60", url, 1000);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name, "sid");
    EXPECT_EQ(c->value, "a=b");
    EXPECT_EQ(c->domain, ".example.com");
    EXPECT_EQ(c->path, "/forum");
    EXPECT_TRUE(c->secure);
    EXPECT_TRUE(c->httpOnly);
    EXPECT_EQ(c->expires, 1060);

    auto plain = HttpCookie::fromSetCookie("k=v; Expires=Wed, 21 Oct 2015 07:28:00 GMT", url, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->domain, "bbs.example.com"); // host-only
    EXPECT_EQ(plain->path, "/forum");            // the request's folder
    EXPECT_EQ(plain->expires, 1445412480);

    EXPECT_FALSE(HttpCookie::fromSetCookie("novalue", url, 0));
    EXPECT_FALSE(HttpCookie::fromSetCookie("=v", url, 0));
    EXPECT_FALSE(HttpCookie::fromSetCookie("k=v; Domain=other.com", url, 0));
    EXPECT_FALSE(HttpCookie::fromSetCookie("k=v; Domain=ample.com", url, 0));
}

TEST(HttpCookie, HostAndPathMatching)
{
    HttpCookie domain = cookie("a", "1", ".example.com", "/forum");
    EXPECT_TRUE(domain.matchesHost("example.com"));
    EXPECT_TRUE(domain.matchesHost("BBS.example.com"));
    EXPECT_FALSE(domain.matchesHost("badexample.com"));
    HttpCookie host = cookie("a", "1", "bbs.example.com", "/");
    EXPECT_TRUE(host.matchesHost("bbs.example.com"));
    EXPECT_FALSE(host.matchesHost("x.bbs.example.com"));

    EXPECT_TRUE(domain.matchesPath("/forum"));
    EXPECT_TRUE(domain.matchesPath("/forum/x"));
    EXPECT_FALSE(domain.matchesPath("/forumx"));
    EXPECT_FALSE(domain.matchesPath("/"));
    EXPECT_TRUE(host.matchesPath(""));
}

TEST(CookieStorage, ReplacesByIdentityExpiresOnTheLoopClockAndKeepsSecureCookiesOnHttps)
{
    TaskEnvironment env(1000);
    auto& jar = CookieStorage::shared();
    jar.setCookie(cookie("a", "1", "h.example", "/"));
    jar.setCookie(cookie("a", "2", "h.example", "/"));
    jar.setCookie(cookie("a", "3", "h.example", "/sub"));
    EXPECT_EQ(jar.cookies().size(), 2u);
    EXPECT_EQ(jar.cookieHeaderForUrl("http://h.example/sub/page"), "a=3; a=2"); // longest path first

    HttpCookie shortLived = cookie("t", "x", "h.example", "/");
    shortLived.expires = 1010;
    jar.setCookie(shortLived);
    EXPECT_EQ(jar.cookiesForUrl("http://h.example/").size(), 2u);
    env.fastForwardBy(10);
    EXPECT_EQ(jar.cookiesForUrl("http://h.example/").size(), 1u);

    HttpCookie secure = cookie("s", "x", "h.example", "/");
    secure.secure = true;
    jar.setCookie(secure);
    EXPECT_EQ(jar.cookieHeaderForUrl("http://h.example/"), "a=2");
    EXPECT_EQ(jar.cookieHeaderForUrl("https://h.example/"), "a=2; s=x");

    // A reply that sets an expired cookie deletes it.
    jar.storeSetCookieHeaders({ "a=gone; Max-Age=0" }, "http://h.example/");
    EXPECT_EQ(jar.cookieHeaderForUrl("http://h.example/"), "");
    EXPECT_EQ(jar.cookieHeaderForUrl("not a url"), "");
}
