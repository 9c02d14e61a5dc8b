#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/openapi/URLTools.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/HostTable.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

TEST(MrApiTool, SDKInfoCarriesTheSystemVersionAndItsMajorNumber)
{
    pf::TaskEnvironment env;
    pf::Device::current().setSystemVersion("7.1");
    pf::Device::current().setMachine("iPhone6,2");
    pf::Dictionary info = MrApiTool::SDKInfo();
    EXPECT_EQ(info, (pf::Dictionary { { "sdkv", "2.2" }, { "sdkp", "i" }, { "status_os", "7.1" },
                        { "status_machine", "iPhone6,2" }, { "status_version", "7" } }));
    pf::Device::current().setMachine("");
    EXPECT_EQ(MrApiTool::SDKInfo().find("status_machine")->stringValue(), "i386");
    // A major number past an int's range is held at its largest, not overflowed.
    pf::Device::current().setSystemVersion("99999999999.1");
    EXPECT_EQ(MrApiTool::SDKInfo().find("status_version")->stringValue(), "2147483647");
    pf::Device::current().setSystemVersion("7.0");
}

TEST(MrApiTool, AddressBuilderEscapesItsOwnListAndContinuesAQuery)
{
    struct Case {
        std::optional<std::string> url;
        pf::Dictionary params;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        { std::nullopt, { { "a", "1" } }, std::nullopt },
        { "http://h/p", {}, "http://h/p" },
        // A blank is escaped; an ASCII apostrophe and "@" stay; the reserved list is escaped.
        { "http://h/p", { { "q", "it's me@home now" }, { "r", "a&b=c/d?e#[f]%" } },
            "http://h/p?q=it's%20me@home%20now&r=a%26b%3Dc%2Fd%3Fe%23%5Bf%5D%25" },
        { "http://h/p", { { "u", "礼’" }, { "e", "" } }, "http://h/p?u=%E7%A4%BC%E2%80%99&e=" },
        // An address with a query goes on with "&".
        { "http://h/p?x=1", { { "y", "2" }, { "z", "3" } }, "http://h/p?x=1&y=2&z=3" },
    };
    for (auto& c : cases) {
        EXPECT_EQ(MrApiTool::GetURLWithParam(c.url, c.params), c.expected) << c.url.value_or("(none)");
        EXPECT_EQ(URLTools::GetURLWithParam(c.url, c.params), c.expected);
    }
}

TEST(MrApiTool, SchemeCheckIsExactAndSkipsMalformedEntries)
{
    pf::TaskEnvironment env;
    auto bundle = pf::Bundle::main();
    EXPECT_FALSE(MrApiTool::isRegistSchemeInfoPlistFile("morrow100"));
    bundle->setInfoValue("CFBundleURLTypes", pf::Array { "not a dictionary", pf::Dictionary { { "CFBundleURLSchemes", "morrow100" } },
                                                 pf::Dictionary { { "CFBundleURLSchemes", pf::Array { 7, "morrow100" } } } });
    EXPECT_TRUE(MrApiTool::isRegistSchemeInfoPlistFile("morrow100"));
    EXPECT_FALSE(MrApiTool::isRegistSchemeInfoPlistFile("Morrow100"));
    EXPECT_FALSE(MrApiTool::isRegistSchemeInfoPlistFile(std::nullopt));
    EXPECT_EQ(MrApiTool::jsIsRegistSchemeInfoPlistFile(pf::Dictionary { { "appSchema", "morrow100" } }), "YES");
    EXPECT_EQ(MrApiTool::jsIsRegistSchemeInfoPlistFile(pf::Dictionary { { "appSchema", "morrow1" } }), "NO");
    EXPECT_EQ(MrApiTool::jsIsRegistSchemeInfoPlistFile(pf::Dictionary {}), std::nullopt);

    bundle->setInfoValue("CFBundleURLTypes", pf::Dictionary { { "CFBundleURLSchemes", pf::Array { "morrow100" } } });
    EXPECT_FALSE(MrApiTool::isRegistSchemeInfoPlistFile("morrow100")) << "the URL types must be a list";
}

TEST(MrApiTool, ScrambleRoundTripsAndKeysAreEvenLowerCaseHex)
{
    const std::string token = "A3F09C71D2E4B58867AB90CDEF123456";
    for (std::string key : { std::string("a"), std::string("0f"), std::string("12ab9e"), std::string(40, 'c') }) {
        auto scrambled = MrApiTool::encryAccessToken(token, key);
        ASSERT_TRUE(scrambled);
        EXPECT_EQ(scrambled->size(), 2 * token.size()) << "characters below 256 give one pair each";
        EXPECT_EQ(MrApiTool::decodeAccessToken(scrambled, key), token) << key;
    }
    EXPECT_EQ(MrApiTool::encryAccessToken("", "ab"), "");
    EXPECT_EQ(MrApiTool::encryAccessToken("x", ""), std::nullopt);
    EXPECT_EQ(MrApiTool::decodeAccessToken("abc", "ab"), std::nullopt) << "odd length";
    EXPECT_EQ(MrApiTool::NSString16toNSNumber("aF"), 0xAF);
    EXPECT_EQ(MrApiTool::NSString16toNSNumber("A0"), 0xA0);
    EXPECT_EQ(MrApiTool::NSString16toNSNumber("abc"), 0);

    std::set<size_t> lengths;
    for (int i = 0; i < 10000; ++i) {
        std::string key = MrApiTool::random16Str();
        ASSERT_TRUE(key.size() >= 2 && key.size() <= 16 && key.size() % 2 == 0) << key;
        ASSERT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos) << key;
        lengths.insert(key.size());
    }
    EXPECT_EQ(lengths.size(), 8u) << "every even length from 2 to 16 turns up";
}

TEST(MrApiTool, SequenceNumbersAreUniqueAcrossThreads)
{
    int first = std::stoi(MrApiTool::seq());
    std::vector<std::thread> threads;
    std::vector<std::vector<int>> seen(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&seen, t] {
            for (int i = 0; i < 2000; ++i)
                seen[t].push_back(std::stoi(MrApiTool::seq()));
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<int> all;
    for (auto& list : seen)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), 8000u);
    EXPECT_EQ(*all.begin(), first + 1);
    EXPECT_EQ(*all.rbegin(), first + 8000);
}

TEST(MrApiTool, UnwrapsCallbackRepliesAndRefusesShortOnes)
{
    struct Case {
        std::string text;
        std::optional<std::string> openid; // none: a parse failure
    };
    const Case cases[] = {
        { R"(callback( {"client_id":"1","openid":"OID"} );)", "OID" },
        { R"({"openid":"PLAIN"})", "PLAIN" },
        { "callback(", std::nullopt },
        { "callbackxy", std::nullopt },
        { "callback( {} );", std::nullopt },
        { "callback( [1,2] );", std::nullopt },
        { "", std::nullopt },
    };
    for (auto& c : cases) {
        auto value = MrApiTool::unwrapCallbackReply(c.text);
        EXPECT_EQ(value.has_value(), c.openid.has_value()) << c.text;
        if (value && c.openid) {
            EXPECT_EQ((*value)["openid"].stringValue(), *c.openid);
        }
    }
}

TEST(MrApiTool, SlidesMoveAllButKeptAndSystemWindowsAndBack)
{
    pf::TaskEnvironment env;
    pf::UIEnvironment::reset();
    double width = pf::Screen::main().bounds().size.width;
    auto makeWindow = [](double level) {
        auto window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
        window->setWindowLevel(level);
        window->setHidden(false);
        return window;
    };
    auto app = makeWindow(pf::WindowLevel::Normal);
    auto sdk = makeWindow(pf::WindowLevel::Normal);
    auto alert = makeWindow(pf::WindowLevel::Alert);

    MrApiTool::MoveAllWindowOutOfScreen({ sdk }, false);
    EXPECT_EQ(app->frame().origin.x, width);
    EXPECT_EQ(sdk->frame().origin.x, 0);
    EXPECT_EQ(alert->frame().origin.x, 0);

    // Animated: the model moves at once, what is shown follows over 0.3 s.
    MrApiTool::MoveAllWindowIntoScreen({ sdk }, true);
    EXPECT_EQ(app->frame().origin.x, 0);
    env.fastForwardBy(0.15);
    double shownX = app->layer().presentationPosition().x - width / 2;
    EXPECT_GT(shownX, 0);
    EXPECT_LT(shownX, width);
    env.fastForwardBy(0.16);
    EXPECT_DOUBLE_EQ(app->layer().presentationPosition().x, width / 2);
    pf::UIEnvironment::reset();
}

}

namespace {

TEST(MorrowHostConfig, ShipsHttpsHostsAndPointsAtTheLocalServer)
{
    pf::TaskEnvironment env;
    auto& config = MorrowHostConfig::shared();
    EXPECT_EQ(config.openApiBase().rfind("https://", 0), 0u);
    EXPECT_EQ(config.cgiBase().rfind("https://", 0), 0u);
    pf::HostTable::pointAllAt("http://127.0.0.1:5000");
    EXPECT_EQ(config.openApiBase(), "http://127.0.0.1:5000/lmopenapi/");
    EXPECT_EQ(config.cgiBase(), "http://127.0.0.1:5000/lmcgi/");
    config.setCgiBase("http://h/cgi");
    EXPECT_EQ(config.cgiBase(), "http://h/cgi/");
}

}

TEST(MrApiTool, TheTopControllerFollowsPresentationsAndNavigation)
{
    pf::TaskEnvironment env;
    pf::UIEnvironment::reset();
    auto window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
    auto root = std::make_shared<pf::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    EXPECT_EQ(MrApiTool::topViewController(nullptr), nullptr);
    EXPECT_EQ(MrApiTool::topViewController(root), root);

    auto first = std::make_shared<pf::ViewController>();
    auto second = std::make_shared<pf::ViewController>();
    auto navigation = std::make_shared<pf::NavigationController>(first);
    navigation->pushViewController(second, false);
    root->presentViewController(navigation, false);
    env.runUntilIdle();
    EXPECT_EQ(MrApiTool::topViewController(root), second) << "a navigation controller stands for its top";

    auto over = std::make_shared<pf::ViewController>();
    navigation->presentViewController(over, false);
    env.runUntilIdle();
    EXPECT_EQ(MrApiTool::topViewController(root), over);
    EXPECT_EQ(MrApiTool::topViewController(second), second) << "only what is presented over the given one counts";
}
