#include "core/records/GiftListItemInfo.h"
#include "core/records/GiftObtainInfo.h"
#include "core/records/GiftSearchingResultItemInfo.h"
#include "core/records/GiftStatusInfo.h"
#include "core/records/MyGiftInfo.h"
#include "core/records/SearchingRecommmendationInfo.h"
#include "core/records/ShufflingImageInfo.h"
#include "core/records/VerificationCodeInfo.h"
#include "tests/core/records/JsonReply.h"

TEST(GiftListItemInfo, ListKeepsReplyOrderAndReadsStartimeSpelling)
{
    auto reply = jsonReply(R"({"ret": 0, "msg": "", "body": [
        {"fid": 1, "title": "一", "status": 0, "litpic": "http://i/1.png", "total": 50, "send": "20",
         "startime": 4102444800, "endtime": "4102531200", "extcredits1": 0, "extcredits2": 5},
        {"fid": 2, "title": "二", "startTime": 1700000000}
    ]})");
    auto list = GiftListItemInfo::listFromDictionary(reply);
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 2u);
    auto& first = *list->at(0);
    EXPECT_EQ(first.fid(), 1);
    EXPECT_EQ(first.litpic().text(), "http://i/1.png");
    EXPECT_EQ(first.send(), 20);
    // Times past 2038 survive in the list record.
    EXPECT_EQ(first.startTime(), 4102444800LL);
    EXPECT_EQ(first.endTime(), 4102531200LL);
    EXPECT_EQ(first.extcredits2(), 5);
    EXPECT_EQ(list->at(1)->fid(), 2);
    EXPECT_EQ(list->at(1)->startTime(), 0);
}

TEST(GiftListItemInfo, RepliesWithoutAUsableBodyGiveNoList)
{
    for (auto text : { R"({"ret":0,"body":[]})", R"({"ret":0,"body":{"fid":1}})", R"({"ret":0})",
             R"({"ret":0,"body":null})", R"({"ret":0,"body":"[]"})", R"({"ret":0,"body":[1,"x",null]})",
             R"([{"fid":1}])", R"("body")", "null" }) {
        EXPECT_FALSE(GiftListItemInfo::listFromDictionary(jsonReply(text)).has_value()) << text;
    }
    EXPECT_FALSE(GiftListItemInfo::listFromDictionary(pf::Value()).has_value());
}

TEST(GiftSearchingResultItemInfo, ReadsStartTimeSpellingOnly)
{
    auto list = GiftSearchingResultItemInfo::listFromDictionary(jsonReply(R"({"body": [
        {"fid": 7, "title": "搜索", "startTime": 100, "endTime": "200", "tao_ext1": 3},
        {"fid": 8, "startime": 100, "endtime": 200}
    ]})"));
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->at(0)->startTime(), 100);
    EXPECT_EQ(list->at(0)->endTime(), 200);
    EXPECT_EQ(list->at(0)->tao_ext1(), 3);
    EXPECT_EQ(list->at(1)->startTime(), 0);
    EXPECT_EQ(list->at(1)->endTime(), 0);
}

TEST(GiftStatusInfo, ReadsEachCheckedGift)
{
    auto list = GiftStatusInfo::listFromDictionary(jsonReply(
        R"({"body": [{"fid": "12", "status": 1, "startTime": 10, "endTime": 20}]})"));
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->at(0)->fid(), 12);
    EXPECT_EQ(list->at(0)->status(), 1);
    EXPECT_EQ(list->at(0)->startTime(), 10);
    EXPECT_EQ(list->at(0)->endTime(), 20);
}

TEST(GiftObtainInfo, CodeComesUnderCode)
{
    auto obtained = GiftObtainInfo::itemFromDictionary(jsonReply(
        R"({"fid": 5, "code": "ABCD-1234", "codeString": "wrong", "status": 1, "total": 9, "send": 3})"));
    EXPECT_EQ(obtained->codeString().text(), "ABCD-1234");
    EXPECT_EQ(obtained->send(), 3);
    // A body of the wrong shape gives an empty record, not a failure.
    auto empty = GiftObtainInfo::itemFromDictionary(jsonReply(R"(["ABCD"])"));
    EXPECT_TRUE(empty->codeString().isAbsent());
    EXPECT_EQ(empty->fid(), 0);
}

TEST(MyGiftInfo, ReadsObtainedCodes)
{
    auto list = MyGiftInfo::listFromDictionary(jsonReply(R"({"body": [
        {"fid": 3, "title": "我的", "code": "X1", "type": null, "startime": 5, "endtime": 6, "litpic": "p"}
    ]})"));
    ASSERT_TRUE(list.has_value());
    auto& gift = *list->at(0);
    EXPECT_EQ(gift.code().text(), "X1");
    EXPECT_TRUE(gift.type().isNull());
    EXPECT_EQ(gift.startTime(), 5);
    EXPECT_EQ(gift.endTime(), 6);
}

TEST(VerificationCodeInfo, VerikeySplitsAtEveryBar)
{
    auto pieces = [](std::string_view verikey) {
        return VerificationCodeInfo::itemFromDictionary(
            jsonReply(std::string(R"({"verifystr":"选出","url":"http://c/1.png","verikey":)") + std::string(verikey) + "}"))
            ->verikey();
    };
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(pieces(R"("天|地|人")"), Pieces({ "天", "地", "人" }));
    EXPECT_EQ(pieces(R"("天")"), Pieces({ "天" }));
    EXPECT_EQ(pieces(R"("天||人")"), Pieces({ "天", "", "人" }));
    EXPECT_EQ(pieces(R"("天|")"), Pieces({ "天", "" }));
    EXPECT_EQ(pieces("123"), Pieces({ "123" }));
    EXPECT_FALSE(pieces("null").has_value());
    EXPECT_FALSE(pieces(R"(["天","地"])").has_value());

    auto captcha = VerificationCodeInfo::itemFromDictionary(jsonReply(R"({"verifystr":"选出","url":"http://c/1.png"})"));
    EXPECT_EQ(captcha->verifystr().text(), "选出");
    EXPECT_EQ(captcha->url().text(), "http://c/1.png");
    EXPECT_FALSE(captcha->verikey().has_value());
}

TEST(CarouselAndHotWords, ReadTheirLists)
{
    auto images = ShufflingImageInfo::listFromDictionary(jsonReply(R"({"body": [
        {"pubdate": 1700000000, "title": "轮播", "arcid": 4, "litpic": "http://i/l.png", "arcurl": "http://a/4", "type": 2}
    ]})"));
    ASSERT_TRUE(images.has_value());
    EXPECT_EQ(images->at(0)->pubdate(), 1700000000);
    EXPECT_EQ(images->at(0)->arcurl().text(), "http://a/4");

    auto words = SearchingRecommmendationInfo::listFromDictionary(jsonReply(
        R"({"body": [{"arcid": 1, "type": 1, "title": "热词"}, {"arcid": 2, "type": "1", "title": 42}]})"));
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(words->at(0)->title().text(), "热词");
    EXPECT_EQ(words->at(1)->type(), 1);
    EXPECT_EQ(words->at(1)->title().text(), "42");
}
