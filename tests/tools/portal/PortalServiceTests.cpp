#include "tools/portal/PortalServer.h"

#include "tests/support/ReferenceDigest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

using json = nlohmann::json;
using portal::PortalRequest;
using portal::PortalService;

namespace {

constexpr long long kNow = 1'700'000'000;

class PortalServiceTest : public testing::Test {
protected:
    PortalServiceTest()
        : service(portal::PortalOptions {}, "http://127.0.0.1:9/", [this] { return now; })
    {
    }

    // A call signed as the client signs it: MD5 of the app key, `signedText` and "actime".
    json call(const std::string& op, std::map<std::string, std::string> form, const std::string& signedText,
        const std::string& token = {})
    {
        PortalRequest request;
        request.operation = op;
        request.form = std::move(form);
        std::string actime = std::to_string(now) + ".000000";
        request.form["ware"] = "7.0";
        request.form["openid"] = service.options().openID;
        request.form["actime"] = actime;
        request.form["actoken"] = testsupport::referenceMd5Hex(service.options().appKey + signedText + actime);
        if (!token.empty())
            request.authorization = "OAuth usertoken=\"" + token + "\"";
        auto reply = service.handle(request);
        lastHttpStatus = reply.httpStatus;
        return json::parse(reply.body, nullptr, false);
    }

    std::string login(const std::string& user = "demo", const std::string& password = "demo123")
    {
        json reply = call("user/credentials", { { "username", user }, { "password", password }, { "grant_type", "password" } }, user);
        EXPECT_EQ(reply["ret"], 0) << reply.dump();
        return reply["body"].value("usertoken", "");
    }

    json giftList(int type, int page)
    {
        return call("ka/list", { { "type", std::to_string(type) }, { "count", "20" }, { "page", std::to_string(page) } }, std::to_string(type));
    }

    // The first listed gift with the given status that costs more than `minCoins` gold.
    json firstGiftWithStatus(int status, int minCoins = -1)
    {
        for (int type = 0; type < 3; ++type) {
            for (int page = 1; page < 3; ++page) {
                json list = giftList(type, page);
                for (auto& item : list["body"]) {
                    if (item["status"] == status && item["extcredits1"].get<int>() > minCoins)
                        return item;
                }
            }
        }
        ADD_FAILURE() << "no sample gift with status " << status << " costing more than " << minCoins;
        return json::object();
    }

    long long now { kNow };
    PortalService service;
    int lastHttpStatus { 0 };
};

}

TEST_F(PortalServiceTest, EveryCategoryPagesPastTwentyWithEveryStatus)
{
    std::set<int> statuses;
    std::set<int> fids;
    bool freeGift = false;
    bool paidGift = false;
    for (int type = 0; type < 3; ++type) {
        json first = giftList(type, 1);
        ASSERT_EQ(first["ret"], 0);
        EXPECT_EQ(first["body"].size(), 20u);
        json second = giftList(type, 2);
        EXPECT_GT(second["body"].size(), 0u);
        EXPECT_TRUE(giftList(type, 9)["body"].empty());
        for (auto* page : { &first, &second }) {
            for (auto& item : (*page)["body"]) {
                statuses.insert(item["status"].get<int>());
                fids.insert(item["fid"].get<int>());
                bool free = item["extcredits1"] == 0 && item["extcredits2"] == 0;
                (free ? freeGift : paidGift) = true;
                EXPECT_TRUE(item.contains("startime") && item.contains("endtime") && item.contains("litpic"));
            }
        }
    }
    EXPECT_GE(fids.size(), 45u);
    EXPECT_EQ(statuses, (std::set<int> { 0, 1, 2, 3 }));
    EXPECT_TRUE(freeGift && paidGift);
    EXPECT_EQ(giftList(3, 1)["ret"], 1);
}

TEST_F(PortalServiceTest, RejectsWrongSignatureUnknownClientAndMissingToken)
{
    json wrong = call("ka/list", { { "type", "0" }, { "count", "20" }, { "page", "1" } }, "1");
    EXPECT_NE(wrong["ret"], 0);
    EXPECT_FALSE(wrong["msg"].get<std::string>().empty());
    EXPECT_FALSE(wrong.contains("body"));

    PortalRequest noClient;
    noClient.operation = "ka/list";
    noClient.form = { { "type", "0" } };
    EXPECT_NE(json::parse(service.handle(noClient).body)["ret"], 0);

    // Token operations need the header, and the signature must cover that token.
    EXPECT_EQ(call("user/info", { { "avaType", "small" } }, "")["ret"], 4);
    std::string token = login();
    EXPECT_EQ(call("user/info", { { "avaType", "small" } }, token, token)["ret"], 0);
    EXPECT_EQ(call("user/info", { { "avaType", "small" } }, "other", token)["ret"], 2);
    EXPECT_EQ(call("user/info", { { "avaType", "small" } }, "forged", "forged")["ret"], 4);

    call("ka/list", {}, "");
    EXPECT_EQ(call("nope", {}, "")["ret"], 404);
    EXPECT_EQ(lastHttpStatus, 404);
}

TEST_F(PortalServiceTest, LoginRewardsTheFirstSignInOfADayAndLogoutEndsTheToken)
{
    json wrongPassword = call("user/credentials", { { "username", "demo" }, { "password", "x" }, { "grant_type", "password" } }, "demo");
    EXPECT_EQ(wrongPassword["ret"], 1);
    EXPECT_EQ(wrongPassword["msg"], "用户名或密码错误");

    json login = call("user/credentials", { { "username", "demo" }, { "password", "demo123" }, { "grant_type", "password" } }, "demo");
    ASSERT_EQ(login["ret"], 0);
    const json& body = login["body"];
    EXPECT_EQ(body["nickName"], "萌新玩家");
    EXPECT_EQ(body["nickname"], "萌新玩家");
    EXPECT_EQ(body["updatecredit"], true);
    EXPECT_GT(body["ext1"].get<int>(), 0);
    std::string token = body["usertoken"];

    json info = call("user/info", { { "avaType", "small" } }, token, token);
    EXPECT_EQ(info["body"]["updatecredit"], false);
    EXPECT_EQ(info["body"]["username"], "demo");
    EXPECT_EQ(info["body"]["extcredits1"], body["extcredits1"]);
    now += 86400;
    EXPECT_EQ(call("user/info", { { "avaType", "small" } }, token, token)["body"]["updatecredit"], true);

    EXPECT_EQ(call("user/logout", {}, token, token)["ret"], 0);
    EXPECT_EQ(call("user/info", { { "avaType", "small" } }, token, token)["ret"], 4);
}

TEST_F(PortalServiceTest, RegistrationChecksItsFieldsAndLogsTheNewUserIn)
{
    auto reg = [&](std::string user, std::string nick, std::string pwd, std::string pwd2) {
        return call("user/reg", { { "username", user }, { "nickname", nick }, { "pwd", pwd }, { "pwd2", pwd2 } }, user + nick);
    };
    EXPECT_EQ(reg("not-an-address", "新人", "secret1", "secret1")["ret"], 1);
    EXPECT_EQ(reg("a@b.cn", "新人", "secret1", "secret2")["msg"], "两次输入的密码不一致");
    EXPECT_EQ(reg("a@b.cn", "新人", "123", "123")["ret"], 1);
    json ok = reg("a@b.cn", "新人", "secret1", "secret1");
    ASSERT_EQ(ok["ret"], 0);
    EXPECT_FALSE(ok["body"]["usertoken"].get<std::string>().empty());
    EXPECT_EQ(ok["body"]["nickname"], "新人");
    EXPECT_EQ(reg("a@b.cn", "别人", "secret1", "secret1")["ret"], 1);
    EXPECT_FALSE(login("a@b.cn", "secret1").empty());
}

TEST_F(PortalServiceTest, ClaimNeedsTheCaptchaAnswerAndChargesTheCost)
{
    std::string token = login("gamer", "gamer123");
    json paid = firstGiftWithStatus(1, 0);
    ASSERT_FALSE(paid.empty());
    std::string fid = std::to_string(paid["fid"].get<int>());
    auto claim = [&](const std::string& verifystr, const std::string& code) {
        std::map<std::string, std::string> form { { "fid", fid } };
        if (!verifystr.empty())
            form["verifystr"] = verifystr;
        if (!code.empty())
            form["verifyCode"] = code;
        return call("ka/receive", form, fid + token, token);
    };
    auto captcha = [&] {
        json reply = call("ka/capth", {}, token, token);
        EXPECT_EQ(reply["ret"], 0);
        return reply["body"];
    };

    json first = captcha();
    std::string verikey = first["verikey"];
    EXPECT_EQ(std::count(verikey.begin(), verikey.end(), '|'), 8);
    EXPECT_EQ(claim("", "")["ret"], 1);
    EXPECT_EQ(claim(first["verifystr"], "错")["ret"], 1);
    // A captcha allows one try.
    auto answer = service.answerOfCaptcha(first["verifystr"]);
    EXPECT_FALSE(answer.has_value());

    json second = captcha();
    answer = service.answerOfCaptcha(second["verifystr"]);
    ASSERT_TRUE(answer.has_value());
    int goldBefore = call("user/info", { { "avaType", "small" } }, token, token)["body"]["extcredits1"];
    json obtained = claim(second["verifystr"], *answer);
    ASSERT_EQ(obtained["ret"], 0) << obtained.dump();
    EXPECT_FALSE(obtained["body"]["code"].get<std::string>().empty());
    EXPECT_EQ(obtained["body"]["send"], paid["send"].get<int>() + 1);
    int goldAfter = call("user/info", { { "avaType", "small" } }, token, token)["body"]["extcredits1"];
    EXPECT_EQ(goldBefore - goldAfter, paid["extcredits1"].get<int>());

    json mine = call("ka/mine", { { "count", "20" }, { "page", "1" } }, token, token);
    ASSERT_EQ(mine["body"].size(), 1u);
    EXPECT_EQ(mine["body"][0]["code"], obtained["body"]["code"]);
    EXPECT_EQ(mine["body"][0]["fid"], paid["fid"]);

    // Once per user.
    json third = captcha();
    EXPECT_EQ(claim(third["verifystr"], *service.answerOfCaptcha(third["verifystr"]))["msg"], "您已经领取过该礼包");
}

TEST_F(PortalServiceTest, ClaimIsRefusedWithoutEnoughCoinsAndCaptchasAreOwnedByTheirUser)
{
    std::string poor = login("broke", "broke123");
    std::string other = login("demo", "demo123");
    json paid = firstGiftWithStatus(1, 5);
    ASSERT_GT(paid["extcredits1"].get<int>(), 5); // more than a day's reward
    std::string fid = std::to_string(paid["fid"].get<int>());

    json othersCaptcha = call("ka/capth", {}, other, other)["body"];
    std::string answer = *service.answerOfCaptcha(othersCaptcha["verifystr"]);
    json stolen = call("ka/receive", { { "fid", fid }, { "verifystr", othersCaptcha["verifystr"] }, { "verifyCode", answer } }, fid + poor, poor);
    EXPECT_EQ(stolen["ret"], 1);

    json captcha = call("ka/capth", {}, poor, poor)["body"];
    json refused = call("ka/receive",
        { { "fid", fid }, { "verifystr", captcha["verifystr"] }, { "verifyCode", *service.answerOfCaptcha(captcha["verifystr"]) } },
        fid + poor, poor);
    EXPECT_EQ(refused["msg"], "您的金币不足");
}

TEST_F(PortalServiceTest, PickUpHandsOutReleasedCodesUntilNoneRemain)
{
    json used = firstGiftWithStatus(2);
    std::string fid = std::to_string(used["fid"].get<int>());
    std::string token = login();
    std::set<std::string> codes;
    for (;;) {
        json reply = call("ka/receive", { { "fid", fid } }, fid + token, token);
        if (reply["ret"] != 0) {
            EXPECT_EQ(reply["msg"], "暂时没有可淘的号，请稍后再试");
            break;
        }
        ASSERT_TRUE(codes.insert(reply["body"]["code"].get<std::string>()).second);
        ASSERT_LT(codes.size(), 50u);
    }
    EXPECT_FALSE(codes.empty());
}

TEST_F(PortalServiceTest, BookedGiftOpensAtItsStartTime)
{
    json booked = firstGiftWithStatus(0);
    std::string fid = std::to_string(booked["fid"].get<int>());
    std::string token = login();
    EXPECT_EQ(call("ka/receive", { { "fid", fid } }, fid + token, token)["ret"], 1);

    json check = call("ka/check", { { "fid", fid } }, fid);
    ASSERT_EQ(check["body"].size(), 1u);
    EXPECT_EQ(check["body"][0]["status"], 0);
    EXPECT_EQ(check["body"][0]["startTime"], booked["startime"]);
    now = booked["startime"].get<long long>();
    EXPECT_EQ(call("ka/check", { { "fid", fid } }, fid)["body"][0]["status"], 1);
    EXPECT_EQ(call("ka/check", { { "fid", "99" } }, "99")["ret"], 1);
}

TEST_F(PortalServiceTest, DetailSearchHotWordsCarouselAndVersion)
{
    json detail = call("ka/info", { { "fid", "1001" } }, "1001");
    ASSERT_EQ(detail["ret"], 0);
    EXPECT_FALSE(detail["body"]["abouts"].empty());
    for (auto key : { "title", "arcurl", "desc", "info", "startime", "endtime", "draw", "doom", "status", "type",
             "extcredits1", "extcredits2", "ext1", "ext2", "tao_ext1", "total", "send", "litpic" })
        EXPECT_TRUE(detail["body"].contains(key)) << key;

    std::string game = detail["body"]["title"].get<std::string>().substr(0, 6); // two characters
    json found = call("ka/search", { { "wd", game }, { "count", "20" }, { "page", "1" } }, game);
    ASSERT_GT(found["body"].size(), 0u);
    EXPECT_TRUE(found["body"][0].contains("startTime"));
    EXPECT_TRUE(call("ka/search", { { "wd", "不存在的游戏" }, { "count", "20" }, { "page", "1" } }, "不存在的游戏")["body"].is_null());

    EXPECT_GE(call("arc/tui", { { "type", "1" } }, "1")["body"].size(), 5u);
    json carousel = call("arc/lun", { { "typeid", "ka" } }, "ka")["body"];
    ASSERT_GE(carousel.size(), 3u);
    EXPECT_TRUE(service.image("banner/0.png").has_value());

    auto version = [&](const std::string& v) {
        return call("game/verup", { { "pagename", "app.quorvane" }, { "version", v } }, "app.quorvane" + v)["body"];
    };
    EXPECT_EQ(version("1.0")["status"], 1);
    EXPECT_EQ(version("1.10.0")["status"], 0);
    EXPECT_EQ(version("1.2.0")["status"], 0);
    EXPECT_EQ(version("1.0")["version"], "1.2.0");
}

TEST_F(PortalServiceTest, CaptchaPictureIsServedAndNoPathLeavesTheImages)
{
    std::string token = login();
    json captcha = call("ka/capth", {}, token, token)["body"];
    std::string url = captcha["url"];
    auto png = service.image(url.substr(url.find("/img/") + 5));
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(std::string(png->begin() + 1, png->begin() + 4), "PNG");
    EXPECT_FALSE(service.image("captcha/unknown.png").has_value());
    EXPECT_FALSE(service.image("icon/../../etc/passwd").has_value());
}

namespace {

TEST_F(PortalServiceTest, TheFeedbackPageShowsWhatItReceivedEscaped)
{
    std::string token = login();
    PortalRequest request;
    request.operation = "user/refer";
    request.query = "from=iphone";
    std::string actime = std::to_string(now) + ".000000";
    request.form = { { "openid", service.options().openID }, { "actime", actime }, { "refurl", "http://x/<a>" },
        { "actoken", testsupport::referenceMd5Hex(service.options().appKey + token + actime) } };
    request.authorization = "OAuth usertoken=\"" + token + "\"";
    auto reply = service.handle(request);
    EXPECT_EQ(reply.contentType, "text/html; charset=utf-8");
    for (const std::string& shown : { std::string("当前用户：萌新玩家"), std::string("<li>query: from=iphone</li>"),
             "<li>Authorization: OAuth usertoken=&quot;" + token + "&quot;</li>", std::string("<li>refurl = http://x/&lt;a&gt;</li>") })
        EXPECT_NE(reply.body.find(shown), std::string::npos) << shown << "\n" << reply.body;

    // Without a token the page says so and shows that no credential came.
    request.authorization.reset();
    request.form["actoken"] = testsupport::referenceMd5Hex(service.options().appKey + actime);
    reply = service.handle(request);
    EXPECT_NE(reply.body.find("您尚未登录"), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find("<li>Authorization: (none)</li>"), std::string::npos) << reply.body;
}

}

namespace {

TEST_F(PortalServiceTest, ForumCredentialsSignTheirAccountInThroughLM)
{
    auto [webauth, saltkey] = service.forumCredentials("demo");
    json reply = call("user/weblm", { { "webauth", webauth }, { "saltkey", saltkey } }, webauth + saltkey);
    ASSERT_EQ(reply["ret"], 0) << reply.dump();
    EXPECT_EQ(reply["body"]["nickName"], "萌新玩家");

    // A credential the forum never handed out is a new LM account, and the same one again.
    json first = call("user/weblm", { { "webauth", "other" }, { "saltkey", saltkey } }, "other" + saltkey);
    json again = call("user/weblm", { { "webauth", "other" }, { "saltkey", saltkey } }, "other" + saltkey);
    EXPECT_NE(first["body"]["uid"], reply["body"]["uid"]);
    EXPECT_EQ(first["body"]["uid"], again["body"]["uid"]);
}

}
