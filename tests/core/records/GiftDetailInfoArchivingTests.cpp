#include "core/records/GiftDetailInfo.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/EditedArchive.h"
#include "tests/support/RelatedGifts.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <tuple>

namespace {

using testsupport::editedArchive;
using testsupport::referenceIndex;
using testsupport::related;

std::shared_ptr<GiftDetailInfo> fullGift()
{
    auto g = std::make_shared<GiftDetailInfo>();
    g->setTitle("天龙礼包");
    g->setArcurl("http://g/301.html");
    g->setDesc("说明 \"引号\"");
    g->setInfo("");
    g->setStartTime(1'700'000'000);
    g->setEndTime(4'102'444'800); // past the 32-bit range
    g->setFid(301);
    g->setDraw(1);
    g->setDoom(-2);
    g->setStatus(3);
    g->setType(RecordText::null());
    g->setExtcredits1(10);
    g->setExtcredits2(20);
    g->setExt1(INT_MAX);
    g->setExt2(INT_MIN);
    g->setTao_ext1(6);
    g->setTotal(100);
    g->setSend(40);
    // litpic stays absent
    g->setAbouts(RelatedGiftInfo::List { related(302, "关联", 0), related(303, "", 2) });
    g->setIndexInTable(1'700'000'123);
    return g;
}

// Everything the gift encodes, read back as the fields it reads with.
void expectSameGift(const GiftDetailInfo& back, const GiftDetailInfo& sent)
{
    auto fields = [](const GiftDetailInfo& g) {
        return std::tuple(g.title(), g.arcurl(), g.desc(), g.info(), g.startTime(), g.endTime(), g.fid(), g.draw(), g.doom(),
            g.status(), g.type(), g.extcredits1(), g.extcredits2(), g.ext1(), g.ext2(), g.tao_ext1(), g.total(), g.send(), g.litpic());
    };
    EXPECT_EQ(fields(back), fields(sent));
    ASSERT_EQ(back.abouts().has_value(), sent.abouts().has_value());
    ASSERT_EQ(back.abouts().value_or(RelatedGiftInfo::List {}).size(), sent.abouts().value_or(RelatedGiftInfo::List {}).size());
    for (size_t i = 0; sent.abouts() && i < sent.abouts()->size(); ++i)
        EXPECT_EQ(*back.abouts()->at(i), *sent.abouts()->at(i));
}

// An archive that claims to hold a record of the named class but whose values are whatever the test writes.
template <const char* ClassName>
struct Forged {
    static constexpr const char* kArchiveClassName = ClassName;
    std::function<void(pf::KeyedArchiver&)> write;
    void encodeWithCoder(pf::KeyedArchiver& coder) const { write(coder); }
    static std::shared_ptr<Forged> initWithCoder(pf::KeyedUnarchiver&) { return nullptr; }
};
constexpr char kGiftClass[] = "GiftDetailInfo";
constexpr char kRelatedClass[] = "RelatedGiftInfo";

// Reads which keys an archived gift carries, and what is under them.
struct ArchivedKeys {
    static constexpr const char* kArchiveClassName = "GiftDetailInfo";
    std::vector<std::string> present;
    pf::Value fid;
    std::optional<std::string> aboutsClass;
    void encodeWithCoder(pf::KeyedArchiver&) const { }
    static std::shared_ptr<ArchivedKeys> initWithCoder(pf::KeyedUnarchiver& coder)
    {
        auto keys = std::make_shared<ArchivedKeys>();
        for (const char* key : { "title", "arcurl", "desc", "info", "startime", "endtime", "fid", "draw", "doom", "status", "type",
                 "extcredits1", "extcredits2", "ext1", "ext2", "tao_ext1", "total", "send", "litpic", "abouts", "indexInTable" }) {
            if (coder.containsKey(key))
                keys->present.push_back(key);
        }
        keys->fid = coder.decodeValue("fid");
        keys->aboutsClass = coder.classNameOfObject("abouts");
        return keys;
    }
};

std::shared_ptr<GiftDetailInfo> readForged(std::function<void(pf::KeyedArchiver&)> write, std::string* error = nullptr)
{
    Forged<kGiftClass> forged { std::move(write) };
    return pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(pf::KeyedArchiver::archivedData(forged), error);
}

}

TEST(GiftDetailInfoArchive, AGiftIsWrittenUnderItsJsonKeysAndReadsBackWholeExceptItsBookingTime)
{
    pf::TaskEnvironment env;
    auto sent = fullGift();
    const pf::Bytes archived = pf::KeyedArchiver::archivedData(*sent);
    auto back = pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(archived);
    ASSERT_TRUE(back);
    expectSameGift(*back, *sent);
    EXPECT_EQ(back->indexInTable(), 0);

    auto keys = pf::KeyedUnarchiver::unarchivedObject<ArchivedKeys>(archived);
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->present, std::vector<std::string>(GiftDetailInfo::kArchiveKeys.begin(), GiftDetailInfo::kArchiveKeys.end()));
    EXPECT_EQ(keys->fid, pf::Value(301));
    EXPECT_EQ(keys->aboutsClass, "Array");

    // No related list and an empty one stay apart; an empty gift stays empty.
    for (std::optional<RelatedGiftInfo::List> abouts : { std::optional<RelatedGiftInfo::List>(), std::optional(RelatedGiftInfo::List {}) }) {
        GiftDetailInfo empty;
        empty.setAbouts(abouts);
        auto emptyBack = pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(pf::KeyedArchiver::archivedData(empty));
        ASSERT_TRUE(emptyBack);
        expectSameGift(*emptyBack, empty);
    }
}

TEST(GiftDetailInfoArchive, MissingKeysAndWrongKindsReadWithTheRecordConversions)
{
    pf::TaskEnvironment env;
    std::string error;
    auto gift = readForged([](pf::KeyedArchiver& coder) {
        coder.encodeValue("fid", "12abc");
        coder.encodeValue("startime", "1700000000");
        coder.encodeValue("endtime", 1.0e30);
        coder.encodeValue("status", 2.9);
        coder.encodeInteger("draw", 4); // written inline rather than as an object
        coder.encodeValue("send", true);
        coder.encodeValue("total", pf::Array { 1, 2 });
        coder.encodeObject("ext1", related(1, "a record where a number belongs", 1));
        coder.encodeValue("title", 5);
        coder.encodeValue("type", pf::Value::null());
        coder.encodeValue("desc", pf::Dictionary {});
        coder.encodeValue("info", pf::Bytes { 1, 2 });
        coder.encodeObject("litpic", related(2, "a record where a text belongs", 1));
        coder.encodeValue("abouts", "not a list");
    }, &error);
    ASSERT_TRUE(gift) << error;
    // fid, startime, endtime, status, draw, send, total, ext1, doom (never written)
    EXPECT_EQ(std::tuple(gift->fid(), gift->startTime(), gift->endTime(), gift->status(), gift->draw(), gift->send(), gift->total(), gift->ext1(), gift->doom()),
        std::tuple(12, 1'700'000'000LL, LLONG_MAX, 2, 4, 1, 0, 0, 0));
    EXPECT_EQ(gift->title().text(), "5");
    EXPECT_TRUE(gift->type().isNull());
    EXPECT_TRUE(gift->desc().isAbsent());
    EXPECT_TRUE(gift->info().isAbsent());
    EXPECT_TRUE(gift->litpic().isAbsent());
    EXPECT_TRUE(gift->arcurl().isAbsent()); // never written
    EXPECT_FALSE(gift->abouts());

    // A related list whose records hold the wrong kinds reads them the same way; a plain
    // dictionary where the list belongs is no list.
    auto withList = readForged([](pf::KeyedArchiver& coder) {
        // A text for its number, a number for its text, and no status.
        coder.encodeObjects("abouts", std::vector { std::make_shared<Forged<kRelatedClass>>(Forged<kRelatedClass> { [](pf::KeyedArchiver& related) {
            related.encodeValue("fid", "9");
            related.encodeValue("title", 7);
        } }) });
    });
    ASSERT_TRUE(withList);
    ASSERT_TRUE(withList->abouts());
    ASSERT_EQ(withList->abouts()->size(), 1u);
    EXPECT_EQ(*withList->abouts()->at(0), *related(9, "7", 0));
    auto withDictionary = readForged([](pf::KeyedArchiver& coder) { coder.encodeValue("abouts", pf::Dictionary {}); });
    ASSERT_TRUE(withDictionary);
    EXPECT_FALSE(withDictionary->abouts());
}

TEST(GiftDetailInfoArchive, ForeignClassesAndDamagedBytesAreRefusedWithoutACrash)
{
    pf::TaskEnvironment env;
    std::string error;
    // Only related gifts may stand in the related list.
    auto foreign = readForged([](pf::KeyedArchiver& coder) {
        coder.encodeValue("fid", 1);
        coder.encodeObjects("abouts", std::vector { std::make_shared<GiftDetailInfo>() });
    }, &error);
    EXPECT_FALSE(foreign);
    EXPECT_NE(error.find("GiftDetailInfo"), std::string::npos) << error;

    pf::Bytes good = pf::KeyedArchiver::archivedData(*fullGift());
    for (size_t cut : { size_t(0), size_t(8), good.size() / 2, good.size() - 1 }) {
        pf::Bytes damaged(good.begin(), good.begin() + static_cast<long>(cut));
        EXPECT_FALSE(pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(damaged)) << cut;
    }
    // A list of related gifts is not a gift.
    EXPECT_FALSE(pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(pf::KeyedArchiver::archivedData(*fullGift()->abouts())));
}

TEST(GiftDetailInfoArchive, ItemsOfTheRelatedListThatAreNoObjectsAreSkippedAndItsRecordsKeptInOrder)
{
    pf::TaskEnvironment env;
    // The gift's two related records, with the plain values of "plain" put around and between them.
    Forged<kGiftClass> forged { [](pf::KeyedArchiver& coder) {
        coder.encodeValue("fid", 1);
        coder.encodeObjects("abouts", *fullGift()->abouts());
        coder.encodeValue("plain", pf::Array { 1, "x", pf::Dictionary { { "fid", 304 } }, pf::Value::null(), 2.5, pf::Bytes { 1 }, pf::Array {} });
    } };
    const pf::Bytes mixed = editedArchive(pf::KeyedArchiver::archivedData(forged), [](pf::Array& objects, size_t root) {
        pf::Dictionary& gift = *objects[root].mutableDictionary();
        pf::Array& records = *objects[referenceIndex(*gift.find("abouts"))].mutableDictionary()->find("items")->mutableArray();
        const pf::Array plain = *objects[referenceIndex(*gift.find("plain"))]["items"].asArray();
        gift.remove("plain");
        records = pf::Array { plain[0], plain[1], records[0], plain[2], plain[3], plain[4], records[1], plain[5], plain[6] };
    });
    std::string error;
    auto gift = pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(mixed, &error);
    ASSERT_TRUE(gift && gift->abouts()) << error;
    ASSERT_EQ(gift->abouts()->size(), 2u);
    EXPECT_EQ(*gift->abouts()->at(0), *related(302, "关联", 0));
    EXPECT_EQ(*gift->abouts()->at(1), *related(303, "", 2));
}

TEST(GiftDetailInfoArchive, ADamagedPlainEntryInTheRelatedListRefusesTheArchiveRatherThanBeingSkipped)
{
    pf::TaskEnvironment env;
    // A list, a dictionary and a date of the plain classes, each damaged in turn and put between
    // the gift's two related records.
    Forged<kGiftClass> forged { [](pf::KeyedArchiver& coder) {
        coder.encodeValue("fid", 1);
        coder.encodeObjects("abouts", *fullGift()->abouts());
        coder.encodeValue("plain", pf::Array { pf::Array { 1 }, pf::Dictionary { { "fid", 304 } }, pf::Date { 1'700'000'000 } });
    } };
    const std::pair<size_t, std::function<void(pf::Dictionary&)>> damages[] {
        { 0, [](pf::Dictionary& list) { list.remove("items"); } },
        { 0, [](pf::Dictionary& list) { list.set("items", "not a list"); } },
        { 1, [](pf::Dictionary& dictionary) { dictionary.find("objects")->mutableArray()->clear(); } },
        { 2, [](pf::Dictionary& date) { date.remove("time"); } },
    };
    for (const auto& [which, damage] : damages) {
        SCOPED_TRACE(which);
        const pf::Bytes archive = editedArchive(pf::KeyedArchiver::archivedData(forged), [&](pf::Array& objects, size_t root) {
            pf::Dictionary& gift = *objects[root].mutableDictionary();
            pf::Array& records = *objects[referenceIndex(*gift.find("abouts"))].mutableDictionary()->find("items")->mutableArray();
            const pf::Value entry = (*objects[referenceIndex(*gift.find("plain"))]["items"].asArray())[which];
            damage(*objects[referenceIndex(entry)].mutableDictionary());
            gift.remove("plain");
            records = pf::Array { records[0], entry, records[1] };
        });
        EXPECT_FALSE(pf::KeyedUnarchiver::unarchivedObject<GiftDetailInfo>(archive));
    }
}
