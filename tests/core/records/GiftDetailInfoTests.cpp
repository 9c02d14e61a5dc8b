#include "core/records/GiftDetailInfo.h"
#include "platform/foundation/Log.h"
#include "tests/core/records/JsonReply.h"

TEST(GiftDetailInfo, ReadsEveryFieldFromAKaInfoBody)
{
    auto body = jsonReply(R"({
        "fid": 301, "title": "天龙礼包", "arcurl": "http://g/301.html", "desc": "说明",
        "info": "内容", "startime": 1700000000, "endtime": "1700864000", "draw": 1, "doom": 2,
        "status": 1, "type": "角色扮演", "extcredits1": 10, "extcredits2": 0, "ext1": 20,
        "ext2": 5, "tao_ext1": "3", "total": 100, "send": 40, "litpic": "http://g/301.png",
        "abouts": [{"fid": 302, "title": "关联", "status": 0}, {"fid": 303, "title": null, "status": "3"}],
        "indexInTable": 99, "unknown": [1, 2]
    })");
    pf::Log::startCapture();
    auto gift = GiftDetailInfo::itemFromDictionary(body);
    auto logged = pf::Log::captured();
    pf::Log::stopCapture();
    EXPECT_EQ(logged, std::vector<std::string> { "3" });

    EXPECT_EQ(gift->fid(), 301);
    EXPECT_EQ(gift->title().text(), "天龙礼包");
    EXPECT_EQ(gift->arcurl().text(), "http://g/301.html");
    EXPECT_EQ(gift->desc().text(), "说明");
    EXPECT_EQ(gift->info().text(), "内容");
    EXPECT_EQ(gift->startTime(), 1700000000);
    EXPECT_EQ(gift->endTime(), 1700864000);
    EXPECT_EQ(gift->draw(), 1);
    EXPECT_EQ(gift->doom(), 2);
    EXPECT_EQ(gift->status(), 1);
    EXPECT_EQ(gift->type().text(), "角色扮演");
    EXPECT_EQ(gift->extcredits1(), 10);
    EXPECT_EQ(gift->extcredits2(), 0);
    EXPECT_EQ(gift->ext1(), 20);
    EXPECT_EQ(gift->ext2(), 5);
    EXPECT_EQ(gift->tao_ext1(), 3);
    EXPECT_EQ(gift->total(), 100);
    EXPECT_EQ(gift->send(), 40);
    EXPECT_EQ(gift->litpic().text(), "http://g/301.png");
    // Never read from a reply, even when the reply carries the key.
    EXPECT_EQ(gift->indexInTable(), 0);

    ASSERT_TRUE(gift->abouts().has_value());
    ASSERT_EQ(gift->abouts()->size(), 2u);
    EXPECT_EQ(gift->abouts()->at(0)->fid(), 302);
    EXPECT_EQ(gift->abouts()->at(0)->title().text(), "关联");
    EXPECT_EQ(gift->abouts()->at(1)->fid(), 303);
    EXPECT_TRUE(gift->abouts()->at(1)->title().isNull());
    EXPECT_EQ(gift->abouts()->at(1)->status(), 3);
}

TEST(GiftDetailInfo, MissingNullAndMisspelledKeysLeaveFieldsEmpty)
{
    pf::Log::startCapture();
    auto gift = GiftDetailInfo::itemFromDictionary(jsonReply(
        R"({"startTime": 5, "endTime": 6, "type": null, "title": ["x"], "abouts": []})"));
    auto empty = GiftDetailInfo::itemFromDictionary(jsonReply("{}"));
    auto fromList = GiftDetailInfo::itemFromDictionary(jsonReply("[1, 2]"));
    auto fromNothing = GiftDetailInfo::itemFromDictionary(pf::Value());
    pf::Log::stopCapture();

    EXPECT_EQ(gift->startTime(), 0);
    EXPECT_EQ(gift->endTime(), 0);
    EXPECT_TRUE(gift->type().isNull());
    EXPECT_TRUE(gift->title().isAbsent());
    EXPECT_FALSE(gift->abouts().has_value());

    for (auto& g : { empty, fromList, fromNothing }) {
        ASSERT_TRUE(g);
        EXPECT_EQ(g->fid(), 0);
        EXPECT_EQ(g->status(), 0);
        EXPECT_TRUE(g->title().isAbsent());
        EXPECT_TRUE(g->type().isAbsent());
        EXPECT_FALSE(g->abouts().has_value());
    }
}

TEST(GiftDetailInfo, AboutsThatAreNotAListOfObjectsGiveNoList)
{
    pf::Log::startCapture();
    for (auto abouts : { "{}", "\"302\"", "null", "[1, 2]", "[[]]" }) {
        auto gift = GiftDetailInfo::itemFromDictionary(
            jsonReply(std::string(R"({"fid": 1, "abouts": )") + abouts + "}"));
        EXPECT_FALSE(gift->abouts().has_value()) << abouts;
        EXPECT_EQ(gift->fid(), 1);
    }
    pf::Log::stopCapture();
}

TEST(RelatedGiftInfo, ArchivedFormReadsBackTheSameRecord)
{
    auto related = RelatedGiftInfo::itemFromDictionary(jsonReply(R"({"fid": 9, "title": "礼包", "status": 2})"));
    auto archived = related->archiveValue();
    EXPECT_EQ(archived["fid"], pf::Value(9));
    EXPECT_EQ(archived["title"], pf::Value("礼包"));
    EXPECT_EQ(archived["status"], pf::Value(2));
    EXPECT_EQ(*RelatedGiftInfo::itemFromArchiveValue(archived), *related);

    RelatedGiftInfo untitled;
    untitled.setFid(4);
    EXPECT_TRUE(untitled.archiveValue()["title"].isMissing());
    EXPECT_EQ(*RelatedGiftInfo::itemFromArchiveValue(untitled.archiveValue()), untitled);
    RelatedGiftInfo nullTitle;
    nullTitle.setTitle(RecordText::null());
    EXPECT_EQ(*RelatedGiftInfo::itemFromArchiveValue(nullTitle.archiveValue()), nullTitle);
}
