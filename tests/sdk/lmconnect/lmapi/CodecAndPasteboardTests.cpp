#include "sdk/lmconnect/lmapi/LMApiAdItem.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiImageObject.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"
#include "sdk/lmconnect/lmapi/LMApiObjectCoderImpl.h"
#include "sdk/lmconnect/lmapi/LMApiPayObject.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/LMApiTextObject.h"
#include "sdk/lmconnect/lmapi/LMArrayPasteboard.h"
#include "sdk/lmconnect/lmapi/LMObjectPasteboard.h"
#include "sdk/lmconnect/lmapi/LMPasteboardMgr.h"
#include "sdk/lmconnect/lmapi/LMPluginMetadata.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <typeinfo>

namespace {

// A message archive written by an older sender, before the version key existed.
struct OldMessage {
    static constexpr const char* kArchiveClassName = "LMApiMessage";
    void encodeWithCoder(pf::KeyedArchiver& coder) const
    {
        coder.encodeInteger("ApiVersion", 0);
        coder.encodeInteger("type", 5);
    }
};

// The registry's archive as any writer may shape it: its "array" as a plain value.
struct RawDataArray {
    static constexpr const char* kArchiveClassName = "LMDataArray";
    pf::Value array;
    void encodeWithCoder(pf::KeyedArchiver& coder) const { coder.encodeValue("array", array); }
    static std::shared_ptr<RawDataArray> initWithCoder(pf::KeyedUnarchiver& coder)
    {
        return std::make_shared<RawDataArray>(RawDataArray { coder.decodeValue("array") });
    }
};

class LMCodecTest : public testing::Test {
protected:
    LMCodecTest() { pf::Pasteboard::resetAll(); }
    pf::TaskEnvironment env;
};

std::shared_ptr<LMApiObject> roundTrip(const std::shared_ptr<LMApiObject>& object)
{
    auto message = LMApiMessage::messageWithObject(object, LMApiMessage::SendToLZone);
    auto back = pf::KeyedUnarchiver::unarchivedObject<LMApiMessage>(pf::KeyedArchiver::archivedData(*message));
    EXPECT_TRUE(back);
    if (!back)
        return nullptr;
    EXPECT_EQ(back->type, 7u);
    return back->object;
}

TEST_F(LMCodecTest, ContentsKeepTheirKindAndTheFieldsTheArchiveCarries)
{
    auto news = LMApiNewsObject::objectWithURL("http://g/1", "标题", "说明", pf::Bytes { 1, 2, 3 });
    news->previewImageURL = "http://g/p.jpg";
    news->cflag = 9;
    auto back = std::dynamic_pointer_cast<LMApiNewsObject>(roundTrip(news));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->url, "http://g/1");
    EXPECT_EQ(back->title, "标题");
    EXPECT_EQ(back->description, "说明");
    EXPECT_EQ(back->previewImageData, (pf::Bytes { 1, 2, 3 }));
    EXPECT_EQ(back->targetContentType, LMApiURLObject::News);
    EXPECT_EQ(back->previewImageURL, "") << "preview addresses are not carried";
    EXPECT_EQ(back->cflag, 0u);

    auto image = std::dynamic_pointer_cast<LMApiImageObject>(
        roundTrip(LMApiExtendObject::objectWithData<LMApiImageObject>(pf::Bytes { 7 }, pf::Bytes { 8 }, "t", "d")));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data, pf::Bytes { 7 });
    EXPECT_EQ(image->previewImageData, pf::Bytes { 8 });

    auto result = std::make_shared<LMApiResultObject>();
    result->error = "-4";
    result->errorDescription = "gave up";
    result->extendInfo = "lost";
    auto resultBack = std::dynamic_pointer_cast<LMApiResultObject>(roundTrip(result));
    ASSERT_TRUE(resultBack);
    EXPECT_EQ(resultBack->error, "-4");
    EXPECT_EQ(resultBack->errorDescription, "gave up");
    EXPECT_EQ(resultBack->extendInfo, "");

    auto text = std::dynamic_pointer_cast<LMApiTextObject>(roundTrip(LMApiTextObject::objectWithText("你好")));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "你好");

    // A kind the archive does not know travels as a plain content with title and description.
    auto pay = LMApiPayObject::objectWithOrderNo("A-1");
    pay->title = "订单";
    pay->description = "付款";
    auto plain = roundTrip(pay);
    ASSERT_TRUE(plain);
    EXPECT_EQ(typeid(*plain), typeid(LMApiObject));
    EXPECT_EQ(plain->title, "订单");
    EXPECT_EQ(plain->description, "付款");

    // A message from before versions reads as an empty message.
    auto old = pf::KeyedUnarchiver::unarchivedObject<LMApiMessage>(pf::KeyedArchiver::archivedData(OldMessage {}));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->type, 0u);
    EXPECT_FALSE(old->object);
}

TEST_F(LMCodecTest, TheRegistryKeepsOneRecordPerAppTheNewest)
{
    auto& store = LMApiDatastore::instance();
    auto record = [](std::string bundle, std::string version) {
        auto r = std::make_shared<LMPluginMetadata>();
        r->scheme = "LM0000000" + version;
        r->bundleIdentifier = std::move(bundle);
        r->version = std::move(version);
        return r;
    };
    EXPECT_EQ(store.registerWithMetadata(record("com.a", "1")), 0);
    EXPECT_EQ(store.registerWithMetadata(record("com.b", "1")), 0);
    EXPECT_EQ(store.registerWithMetadata(record("com.a", "2")), 0);
    EXPECT_EQ(store.registerWithMetadata(nullptr), -1);
    // Registering what the board holds already leaves it (and its file) alone; a change counts.
    auto board = pf::Pasteboard::withName(LMApiDatastore::kRegistryName, false);
    ASSERT_TRUE(board);
    int count = board->changeCount();
    EXPECT_EQ(store.registerWithMetadata(record("com.b", "1")), 0);
    EXPECT_EQ(board->changeCount(), count);
    EXPECT_EQ(store.registerWithMetadata(record("com.a", "2")), 0);
    EXPECT_EQ(board->changeCount(), count);
    EXPECT_EQ(store.registerWithMetadata(record("com.b", "3")), 0);
    EXPECT_EQ(board->changeCount(), count + 1);
    EXPECT_EQ(store.registerWithMetadata(record("com.b", "1")), 0);
    auto records = store.registeredPlugins();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]->bundleIdentifier, "com.a");
    EXPECT_EQ(records[0]->version, "2");
    EXPECT_EQ(records[1]->bundleIdentifier, "com.b");
    // The record is archived under its own class name for the LM app.
    auto archive = pf::KeyedArchiver::archivedData(*records[0]);
    EXPECT_NE(std::string(archive.begin(), archive.end()).find("LMPluginMetadata"), std::string::npos);
}

// Registering reads what it can of the registry and writes the rest back as it was; an archive
// it cannot read at all is set aside before a new registry is written in its place.
TEST_F(LMCodecTest, RegistrationKeepsWhatItCannotReadOfTheRegistry)
{
    auto& store = LMApiDatastore::instance();
    auto record = [](std::string bundle) {
        auto r = std::make_shared<LMPluginMetadata>();
        r->bundleIdentifier = std::move(bundle);
        return r;
    };
    auto bundles = [&] {
        std::vector<std::string> out;
        for (const auto& r : store.registeredPlugins())
            out.push_back(r->bundleIdentifier);
        return out;
    };
    auto board = pf::Pasteboard::withName(LMApiDatastore::kRegistryName, true);
    auto stored = [&] { return *board->dataForType(LMApiDatastore::kRegistryName); };
    const pf::Value other(pf::KeyedArchiver::archivedData(*record("com.other")));
    const pf::Value later(pf::Dictionary { { "kind", "a later element" } });
    board->setData(pf::KeyedArchiver::archivedData(RawDataArray { pf::Array { other, later, pf::Value::null() } }), LMApiDatastore::kRegistryName);
    EXPECT_EQ(store.registerWithMetadata(record("com.mine")), 0);
    EXPECT_EQ(bundles(), (std::vector<std::string> { "com.other", "com.mine" }));
    auto back = pf::KeyedUnarchiver::unarchivedObject<RawDataArray>(stored());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->array.asArray()->size(), 4u);
    EXPECT_EQ(back->array[0], other);
    EXPECT_EQ(back->array[1], later);
    EXPECT_TRUE(back->array[2].isNull());

    struct Case {
        const char* name;
        pf::Bytes bytes;
    };
    const Case refused[] = {
        { "no archive", pf::Bytes { 'j', 'u', 'n', 'k' } },
        { "an array that is no list", pf::KeyedArchiver::archivedData(RawDataArray { pf::Value("com.other") }) },
        { "another class", pf::KeyedArchiver::archivedData(OldMessage {}) },
    };
    std::string folder = pf::Sandbox::current()->libraryPath() + "/Pasteboards";
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        board->setData(c.bytes, LMApiDatastore::kRegistryName);
        EXPECT_EQ(store.registerWithMetadata(record("com.mine")), 0);
        EXPECT_EQ(bundles(), std::vector<std::string> { "com.mine" });
        // Each case's content goes to a copy set aside of its own, the latest last.
        std::optional<pf::Value> aside;
        for (const auto& name : pf::FileManager::contentsOfDirectory(folder)) {
            if (name.ends_with(".plist"))
                if (auto copies = pf::FileManager::asidePaths(folder + "/" + name); !copies.empty())
                    aside = pf::PropertyList::readFile(copies.back());
        }
        ASSERT_TRUE(aside);
        EXPECT_EQ((*aside)["items"][0][LMApiDatastore::kRegistryName], pf::Value(c.bytes));
    }
}

// A text the archive cannot hold (here a NUL) refuses the write: the setter answers -1 and the
// slot keeps what it held, in the named place and on the general pasteboard alike.
TEST_F(LMCodecTest, AWriteWhoseArchiveIsRefusedAnswersAnErrorAndLeavesTheSlotAsItWas)
{
    auto& store = LMApiDatastore::instance();
    const std::string nul = std::string("X") + '\0' + "Y";
    auto bytesOf = [](const char* name) {
        auto board = pf::Pasteboard::withName(name, false);
        return board ? board->dataForType(name) : std::nullopt;
    };
    auto record = [](std::string bundle, std::string name) {
        auto r = std::make_shared<LMPluginMetadata>();
        r->bundleIdentifier = std::move(bundle);
        r->displayName = std::move(name);
        return r;
    };
    ASSERT_EQ(store.registerWithMetadata(record("com.a", "A")), 0);
    auto registry = bytesOf(LMApiDatastore::kRegistryName);
    ASSERT_TRUE(registry);
    EXPECT_EQ(store.registerWithMetadata(record("com.a", nul)), -1) << "in place of a record";
    EXPECT_EQ(store.registerWithMetadata(record("com.b", nul)), -1) << "as a new record";
    EXPECT_EQ(bytesOf(LMApiDatastore::kRegistryName), registry);

    auto item = [](std::string title) {
        auto i = std::make_shared<LMApiAdItem>();
        i->title = std::move(title);
        return i;
    };
    ASSERT_EQ(store.setAdItemArray({ item("a"), item("b") }), 0);
    auto items = bytesOf(LMApiDatastore::kAdItemsName);
    EXPECT_EQ(store.setAdItemArray({ item("c"), item(nul) }), -1);
    EXPECT_EQ(bytesOf(LMApiDatastore::kAdItemsName), items);

    ASSERT_EQ(store.setApiMessage(LMApiMessage::messageWithObject(LMApiTextObject::objectWithText("t"))), 0);
    auto message = bytesOf(LMApiDatastore::kApiMessageName);
    EXPECT_EQ(store.setApiMessage(LMApiMessage::messageWithObject(LMApiTextObject::objectWithText(nul))), -1);
    EXPECT_EQ(bytesOf(LMApiDatastore::kApiMessageName), message);

    const pf::Dictionary large { { "previewimagedata", pf::Bytes { 1, 2 } } };
    const pf::Dictionary refused { { "previewimagedata", pf::Bytes { 3 } }, { "title", nul } };
    ASSERT_EQ(store.setApiLargeData(large), 0);
    EXPECT_EQ(store.setApiLargeData(refused), -1);
    EXPECT_EQ(store.getApiLargeData(), large);
    pf::AppRegistry::shared().install({ "com.morrow.mlm", { "mlmopensdkapiV2" }, {} });
    ASSERT_TRUE(store.isLMSupportApiGeneralPastboard());
    ASSERT_EQ(store.setApiLargeData(large), 0);
    EXPECT_EQ(store.setApiLargeData(refused), -1);
    EXPECT_EQ(store.getApiLargeDataByGeneralPastboard(), large);
}

TEST_F(LMCodecTest, PasteboardsOfOneNameKeepTheirKindAndReadOtherAppsBytesAsAbsent)
{
    auto& manager = LMPasteboardMgr::instance();
    EXPECT_FALSE(manager.getObjectPasteboardByName(""));
    auto objects = manager.getObjectPasteboardByName("test.objects");
    ASSERT_TRUE(objects);
    EXPECT_EQ(manager.getObjectPasteboardByName("test.objects"), objects);
    EXPECT_FALSE(manager.getArrayPasteboardByName("test.objects"));
    auto list = manager.getArrayPasteboardByName("test.list");
    ASSERT_TRUE(list);
    EXPECT_FALSE(manager.getObjectPasteboardByName("test.list"));

    auto item = [](const char* title) {
        auto m = LMApiMessage::messageWithObject(LMApiTextObject::objectWithText(title));
        return m;
    };
    auto titles = [&] {
        std::vector<std::string> out;
        for (const auto& m : list->objectArray<LMApiMessage>().value_or(std::vector<std::shared_ptr<LMApiMessage>> {}))
            out.push_back(m ? std::static_pointer_cast<LMApiTextObject>(m->object)->text : "(null)");
        return out;
    };
    // Bytes another app left that are no list: adding starts a new list.
    pf::Pasteboard::withName("test.list", true)->setData(pf::Bytes { 'j', 'u', 'n', 'k' }, "test.list");
    EXPECT_FALSE(list->objectArray<LMApiMessage>());
    list->addObject(item("a"));
    list->addObject(item("b"));
    EXPECT_EQ(titles(), (std::vector<std::string> { "a", "b" }));
    EXPECT_TRUE(pf::Pasteboard::withName("test.list", false)->isPersistent());
    EXPECT_FALSE(list->removeObjectAtIndex(2));
    EXPECT_FALSE(list->removeObjectAtIndex(-1));
    EXPECT_EQ(titles(), (std::vector<std::string> { "a", "b" }));
    EXPECT_TRUE(list->replaceObjectAtIndex(1, item("c")));
    EXPECT_FALSE(list->replaceObjectAtIndex(2, item("d")));
    EXPECT_TRUE(list->removeObjectAtIndex(0));
    EXPECT_EQ(titles(), (std::vector<std::string> { "c" }));

    // Object slots: cut, foreign or oversized bytes read as nothing.
    objects->setObject(item("x"));
    auto archive = pf::Pasteboard::withName("test.objects", false)->dataForType("test.objects");
    ASSERT_TRUE(archive);
    EXPECT_TRUE(objects->object<LMApiMessage>());
    EXPECT_FALSE(objects->object<LMPluginMetadata>()) << "another class";
    struct Case {
        const char* name;
        pf::Bytes bytes;
    };
    const std::vector<Case> cases {
        { "cut", pf::Bytes(archive->begin(), archive->begin() + archive->size() / 2) },
        { "foreign", pf::Bytes { 'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2 } },
        { "oversized", pf::Bytes(LMPasteboard::kMaxBytes + 1, 0) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pf::Pasteboard::withName("test.objects", false)->setData(c.bytes, "test.objects");
        EXPECT_FALSE(objects->object<LMApiMessage>());
        EXPECT_FALSE(objects->value());
    }
    objects->setObject(std::shared_ptr<LMApiMessage>());
    EXPECT_FALSE(pf::Pasteboard::withName("test.objects", false)->dataForType("test.objects"));
}

// The API message is the LM app's, read once and never written back: a UTF-16 surrogate without
// its partner in a text of its content, an archive inside the message's, reads as U+FFFD instead
// of costing the content.
TEST_F(LMCodecTest, AnApiMessageHoldingALoneSurrogateIsReadWithTheReplacementCharacter)
{
    auto& store = LMApiDatastore::instance();
    ASSERT_EQ(store.setApiMessage(LMApiMessage::messageWithObject(LMApiTextObject::objectWithText("礼X"))), 0);
    auto board = pf::Pasteboard::withName(LMApiDatastore::kApiMessageName, false);
    ASSERT_TRUE(board);
    pf::Bytes bytes = *board->dataForType(LMApiDatastore::kApiMessageName);
    const std::string stored("\x79\x3C\0X", 4);
    auto at = std::search(bytes.begin(), bytes.end(), stored.begin(), stored.end());
    ASSERT_NE(at, bytes.end());
    *(at + 2) = 0xDC; // "礼" and a low surrogate with no high one before it
    *(at + 3) = 0x00;
    board->setData(bytes, LMApiDatastore::kApiMessageName);
    auto message = store.getApiMessage();
    ASSERT_TRUE(message);
    auto text = std::dynamic_pointer_cast<LMApiTextObject>(message->object);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "礼\uFFFD");
}

TEST_F(LMCodecTest, LargeDataGoesWhereTheInstalledLMAppReadsIt)
{
    auto& store = LMApiDatastore::instance();
    pf::Dictionary large { { "previewimagedata", pf::Bytes { 1, 2 } } };
    EXPECT_EQ(store.setApiLargeData(large), 0);
    EXPECT_EQ(store.getApiLargeData(), large);
    EXPECT_FALSE(store.getApiLargeDataByGeneralPastboard());
    store.clearApiLargeData();
    EXPECT_FALSE(store.getApiLargeData());

    auto message = LMApiMessage::messageWithObject(LMApiTextObject::objectWithText("t"));
    EXPECT_EQ(store.setApiMessage(message), 0);
    ASSERT_TRUE(store.getApiMessage());
    store.clearApiMessage();
    EXPECT_FALSE(store.getApiMessage());
}

}
