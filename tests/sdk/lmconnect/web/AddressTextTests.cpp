#include "sdk/lmconnect/web/MRLoginViewKit.h"
#include "sdk/lmconnect/web/URLExtend.h"

#include "platform/foundation/QueryString.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

TEST(AddressTextTest, EscapingAndTheTwoQueryReaders)
{
    pf::TaskEnvironment env;
    struct Escape {
        std::string text;
        std::string escaped;
    };
    const std::vector<Escape> escapes {
        { "a b&a%20b", "a%20b%26a%20b" },          // an escape is resolved, then escaped once
        { "!*'();:@&=+$,/?#[]", "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%23%5B%5D" },
        { "一", "%E4%B8%80" },
        { "50%", "50%25" },                         // a broken escape is escaped as it stands
    };
    for (const auto& e : escapes)
        EXPECT_EQ(URLExtend::stringByEncodeUrl(e.text), e.escaped) << e.text;

    EXPECT_EQ(MRLoginViewKit::generateUrlString("http://h/p", std::nullopt), "http://h/p");
    EXPECT_EQ(MRLoginViewKit::generateUrlString("http://h/p", pf::Dictionary {}), "http://h/p?");
    EXPECT_EQ(MRLoginViewKit::generateUrlString("http://h/p", pf::Dictionary { { "b", "x y" }, { "a", "1" } }), "http://h/p?b=x%20y&a=1");

    // The reply reader keeps a piece with two "=" (the text between them), the page reader skips it.
    EXPECT_EQ(MRLoginViewKit::parseURLParams(std::string("a=1=2&b&c=%E4%B8%80&%41=x")),
        (pf::Dictionary { { "a", "1" }, { "c", "一" }, { "%41", "x" } }));
    EXPECT_FALSE(MRLoginViewKit::parseURLParams(std::nullopt));
    EXPECT_EQ(URLExtend::dictionaryByParseUrlFromSeparator("x#a=1=2&b&=3&c=%20&c=2", "#"), (pf::Dictionary { { "c", "2" } }));
    EXPECT_EQ(URLExtend::dictionaryByParseUrlFromSeparator("no separator", "#").size(), 0u);
    // Both read addresses other apps and pages hand over: an endless one is not read at all.
    const std::string endless = "a=1&" + std::string(pf::QueryString::kMaximumLength, 'x');
    EXPECT_EQ(URLExtend::dictionaryByParseUrlFromSeparator("x#" + endless, "#").size(), 0u);
    EXPECT_EQ(MRLoginViewKit::parseURLParams(endless), pf::Dictionary {});
    EXPECT_EQ(URLExtend::trim(" \n\t x y \r\n"), "x y");
}

TEST(AddressTextTest, RedirectsAndReplyScriptNames)
{
    pf::TaskEnvironment env;
    struct Redirect {
        std::optional<std::string> given;
        std::string ownBase;
    };
    const std::vector<Redirect> redirects {
        { std::string("auth://www.morrow.lm/oauth2.0/login_jump"), "morrow7://www.morrow.lm/oauth2.0/login_jump" },
        { std::string("www.example.invalid/back"), "morrow7://www.example.invalid/back" },
        { std::nullopt, "morrow7://www.morrow.lm/" },
    };
    for (const auto& r : redirects) {
        auto kit = MRLoginViewKit::initWithAppId("7", r.given, {}, {});
        EXPECT_EQ(kit->getOwnBaseUrl(), r.ownBase);
    }
    const std::vector<std::pair<std::string, bool>> names {
        { "alert", true }, { "a.b.c", true }, { "_$x1.y", true }, { "x);alert(1", false }, { "a..b", false },
        { ".a", false }, { "a.", false }, { "1a", false }, { "a b", false }, { "", false }, { std::string(200, 'a'), false },
    };
    for (const auto& [name, allowed] : names)
        EXPECT_EQ(MRLoginViewKit::isScriptName(name), allowed) << name;
}

}
