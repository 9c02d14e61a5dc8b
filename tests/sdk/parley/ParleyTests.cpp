#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Url.h"
#include "platform/graphics/Image.h"
#include "platform/testing/TaskEnvironment.h"
#include "sdk/libParleySDK/AppCommunicateData.h"
#include "sdk/libParleySDK/AppRegisterInfo.h"
#include "sdk/libParleySDK/AppSettingItem.h"
#include "sdk/libParleySDK/ParleyApiUtil.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "sdk/libParleySDK/PXApi.h"
#include "sdk/libParleySDK/PXApiRegister.h"
#include "sdk/libParleySDK/PXAppExtendObject.h"
#include "sdk/libParleySDK/PXFileObject.h"
#include "sdk/libParleySDK/PXWebpageObject.h"
#include "sdk/libParleySDK/SendMessageToPXReq.h"
#include "sdk/libParleySDK/SendMessageToPXResp.h"
#include "sdk/libParleySDK/ShowMessageFromPXReq.h"
#include "tools/peers/apps/ParleyApp.h"
#include "tests/support/KillAtStep.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace parley;

namespace {

constexpr const char* kAppID = "px1234abcd";

// Plays the application delegate: hands URLs from the stand-in to the library.
class Receiver : public pf::ApplicationDelegate, public PXApiDelegate {
public:
    bool openURL(pf::Application&, const pf::Url& url, const std::string&) override
    {
        handled.push_back(PXApi::handleOpenURL(url, self.lock()));
        return handled.back();
    }
    void onReq(const std::shared_ptr<BaseReq>& r) override { requests.push_back(r); }
    void onResp(const std::shared_ptr<BaseResp>& r) override { responses.push_back(r); }

    std::weak_ptr<Receiver> self;
    std::vector<bool> handled;
    std::vector<std::shared_ptr<BaseReq>> requests;
    std::vector<std::shared_ptr<BaseResp>> responses;
};

pf::Bytes picture(int side)
{
    pf::Image image(side, side);
    for (auto& p : image.pixels())
        p = 0xFF336699;
    return image.pngData();
}

pf::Bytes padded(pf::Bytes data, size_t size)
{
    data.resize(size, 0);
    return data;
}

std::string repeat(const std::string& s, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

class ParleyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pf::Bundle::main()->setInfoValue("CFBundleURLTypes",
            pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { kAppID } } } });
        receiver = std::make_shared<Receiver>();
        receiver->self = receiver;
        pf::Application::shared().setDelegate(receiver);
        parleyApp = peers::ParleyApp::install();
    }

    std::shared_ptr<SendMessageToPXReq> webShare(int scene)
    {
        auto page = PXWebpageObject::object();
        page->webpageUrl = "http://127.0.0.1/gift/77";
        auto message = PXMediaMessage::message();
        message->title = "礼包 77";
        message->description = "Gift code inside";
        message->thumbData = picture(8);
        message->mediaObject = page;
        auto request = std::make_shared<SendMessageToPXReq>();
        request->message = message;
        request->scene = scene;
        return request;
    }

    pf::TaskEnvironment env;
    std::shared_ptr<Receiver> receiver;
    std::shared_ptr<peers::ParleyApp> parleyApp;
};

pf::Value registrationsOnBoard()
{
    auto all = peers::ParleyApp::registrations();
    return all ? pf::Value(*all) : pf::Value();
}

TEST_F(ParleyTest, RegistrationKeepsOtherAppsFirstLaunchAndOnlyFittingDescriptions)
{
    // Another app registered before us; its record must survive.
    auto board = pf::Pasteboard::withName("parley_register", true);
    board->setData(*pf::PropertyList::write(pf::Dictionary { { "other", pf::Dictionary { { "appID", "other" } } } },
                       pf::PropertyList::Format::Binary),
        "content");

    EXPECT_FALSE(PXApi::registerApp(""));
    EXPECT_FALSE(PXApi::registeredAppID());

    EXPECT_TRUE(PXApi::registerAppWithDescription(kAppID, repeat("描", 1024)));
    pf::Value first = registrationsOnBoard();
    ASSERT_TRUE(first.isDictionary());
    const pf::Value& record = first[kAppID];
    std::string start = std::to_string(static_cast<long>(env.now()));
    EXPECT_EQ(record["firstLaunchTime"], pf::Value(start));
    EXPECT_EQ(record["laststLaunchTime"], pf::Value(start));
    EXPECT_EQ(record["appID"], pf::Value(kAppID));
    EXPECT_EQ(record["appIdentifier"], pf::Value("com.quorvane.gifts"));
    EXPECT_EQ(record["appName"], pf::Value("礼包"));
    EXPECT_EQ(record["appDescriptionSDK"].asString()->size(), 1024u * 3);
    EXPECT_EQ(first["other"]["appID"], pf::Value("other"));

    env.fastForwardBy(100.7);
    for (const std::string& description : { repeat("x", 1025), std::string() }) {
        EXPECT_TRUE(PXApi::registerAppWithDescription(kAppID, description));
        pf::Value again = registrationsOnBoard();
        EXPECT_EQ(again[kAppID]["firstLaunchTime"], pf::Value(start));
        EXPECT_EQ(again[kAppID]["laststLaunchTime"], pf::Value(std::to_string(static_cast<long>(env.now()))));
        EXPECT_TRUE(again[kAppID]["appDescriptionSDK"].isMissing());
        EXPECT_EQ(again["other"]["appID"], pf::Value("other"));
    }
}

// Registrations that cannot be read are set aside whole before ours starts the registry anew;
// a record that does not read (nor could be written back as it was) costs only itself: the
// content is set aside, and the other records stay. Neither erased nor altered.
TEST_F(ParleyTest, RegistrationSetsAsideRegistrationsItCannotWriteBack)
{
    auto withByte = [](const pf::Dictionary& records, const std::string& marked, std::uint8_t byte) {
        auto bytes = *pf::PropertyList::write(records, pf::PropertyList::Format::Binary);
        auto at = std::search(bytes.begin(), bytes.end(), marked.begin(), marked.end());
        EXPECT_NE(at, bytes.end());
        *(at + marked.size() - 1) = byte;
        return bytes;
    };
    const pf::Dictionary others {
        { "other", pf::Dictionary { { "appID", "other" }, { "appName", "cafX" } } },
        { "third", pf::Dictionary { { "appID", "third" } } },
        { kAppID, pf::Dictionary { { "appID", kAppID }, { "firstLaunchTime", "12" }, { "appName", "old" } } },
    };
    struct Case {
        const char* name;
        pf::Bytes content;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        { "a text holding a NUL", withByte(others, "cafX", 0), { "third", kAppID } },
        { "a text that is not UTF-8", withByte(others, "cafX", 0xE9), { "third", kAppID } },
        { "no dictionary", *pf::PropertyList::write(pf::Array { "other" }, pf::PropertyList::Format::Binary), { kAppID } },
    };
    std::string file = pf::Sandbox::current()->libraryPath() + "/Pasteboards/parley_register.plist";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pf::Pasteboard::withName("parley_register", true)->setData(c.content, "content");
        ASSERT_TRUE(PXApi::registerApp(kAppID));
        pf::Value now = registrationsOnBoard();
        EXPECT_EQ(now.asDictionary()->keys(), c.kept);
        if (c.kept.size() > 1) {
            EXPECT_EQ(now["third"], others.find("third") ? *others.find("third") : pf::Value());
            EXPECT_EQ(now[kAppID]["firstLaunchTime"], pf::Value("12")); // read from our own record
            EXPECT_EQ(now[kAppID]["appName"], pf::Value("礼包"));
        }
        auto copies = pf::FileManager::asidePaths(file);
        ASSERT_EQ(copies.size(), static_cast<size_t>(&c - cases + 1));
        auto aside = pf::PropertyList::readFile(copies.back());
        ASSERT_TRUE(aside);
        EXPECT_EQ((*aside)["items"][0]["content"], pf::Value(c.content));
    }
}

// A registration that sets aside content holding a record it cannot write back keeps the
// registry's file in place until the new content replaces it whole: ended at any step of its
// writing, before or after it, the other apps' records that read are still on the registry for
// them and for our next launch, and whatever went aside holds the content as it was.
TEST_F(ParleyTest, RegistrationKilledAtAnyStepLeavesTheOtherAppsRecords)
{
    auto content = *pf::PropertyList::write(pf::Dictionary { { "other", pf::Dictionary { { "appID", "other" } } },
                                                { "third", pf::Dictionary { { "appID", "third" }, { "appName", "cafX" } } } },
        pf::PropertyList::Format::Binary);
    const std::string_view marker = "cafX";
    auto marked = std::search(content.begin(), content.end(), marker.begin(), marker.end());
    ASSERT_NE(marked, content.end());
    *(marked + 3) = 0; // a name holding a NUL
    const std::string folder = pf::Sandbox::current()->libraryPath() + "/Pasteboards";
    const std::string file = folder + "/parley_register.plist";
    auto seed = [&] {
        pf::Pasteboard::resetAll();
        auto board = pf::Pasteboard::withName("parley_register", true);
        board->setPersistent(true);
        board->setData(content, "content");
        pf::Pasteboard::forgetUnsaved();
    };
    auto run = [&](const std::string& log, long at = 0, bool after = false) {
        testsupport::KillPlan plan;
        plan.under = folder;
        plan.log = log;
        plan.at = at;
        plan.after = after;
        return testsupport::runChildProcess({ PARLEY_REGISTERING_CHILD, pf::Sandbox::current()->homePath(), "px-child" },
            testsupport::killAtStepEnvironment(plan));
    };
    const std::string log = pf::Sandbox::current()->tmpPath() + "/steps";
    seed();
    auto listed = run(log);
    ASSERT_EQ(listed.status, 0) << listed.errorOutput;
    const auto steps = testsupport::readKilledSteps(log);
    ASSERT_FALSE(steps.empty());
    pf::Pasteboard::forgetUnsaved();
    EXPECT_EQ(registrationsOnBoard().asDictionary()->keys(), (std::vector<std::string> { "other", "px-child" }));

    for (const auto& step : steps) {
        for (bool after : { false, true }) {
            SCOPED_TRACE((after ? "after step " : "before step ") + std::to_string(step.number) + ": " + step.kind + " "
                + step.path + (step.second.empty() ? "" : " -> " + step.second));
            seed();
            auto killed = run("", step.number, after);
            ASSERT_TRUE(testsupport::wasKilled(killed)) << killed.errorOutput;
            pf::Pasteboard::forgetUnsaved();
            auto records = PXApiRegister::getRegisterDictionary(pf::Pasteboard::withName("parley_register", false));
            EXPECT_TRUE(records && records->find("other")) << "the registry's file is gone or lost the record";
            for (const auto& aside : pf::FileManager::asidePaths(file)) {
                auto kept = pf::PropertyList::readFile(aside);
                ASSERT_TRUE(kept) << aside;
                EXPECT_EQ((*kept)["items"][0]["content"], pf::Value(content)) << aside;
            }
            ASSERT_TRUE(PXApi::registerApp(kAppID));
            pf::Value now = registrationsOnBoard();
            EXPECT_EQ(now["other"]["appID"], pf::Value("other"));
            EXPECT_EQ(now[kAppID]["appID"], pf::Value(kAppID));
            EXPECT_FALSE(pf::FileManager::asidePaths(file).empty());
        }
    }
}

TEST_F(ParleyTest, RegistrationSendsTheIconForTheScreenScale)
{
    std::string folder = pf::FileManager::join(env.sandbox().homePath(), "Bundle");
    pf::FileManager::createDirectory(folder, true);
    for (std::string name : { "Icon.png", "Icon@2x.png", "Small.png", "Big@2x.png" })
        pf::FileManager::writeAtomically(folder + "/" + name, std::string_view(name));
    pf::PropertyList::writeFile(folder + "/Info.plist", pf::Dictionary { { "CFBundleIdentifier", "com.quorvane.gifts" } });
    auto bundle = pf::Bundle::atPath(folder);
    pf::Bundle::setMain(bundle);

    struct Case {
        double scale;
        pf::Value files; // "CFBundleIconFiles", missing when none
        std::string expected;
    };
    const Case cases[] = {
        { 2, pf::Array { "Small.png", "Big@2x.png" }, "Big@2x.png" },
        { 1, pf::Array { "Big@2x.png", "Small.png" }, "Small.png" },
        { 3, pf::Array { "Big@2x.png", "Small.png" }, "Small.png" }, // 3x counts as 1x
        { 2, pf::Array { "Small.png", "Icon.png" }, "Icon.png" },    // none fits: the last
        { 2, pf::Array {}, "Icon@2x.png" },
        { 1, pf::Value(), "Icon.png" },
        { 2, pf::Array { "Gone@2x.png" }, "Icon.png" }, // unreadable: Icon.png
    };
    for (const Case& c : cases) {
        pf::Device::current().setScreenScale(c.scale);
        bundle->setInfoValue("CFBundleIconFiles", c.files);
        ASSERT_TRUE(PXApi::registerApp(kAppID));
        pf::Value all = registrationsOnBoard();
        const pf::Value& icon = all[kAppID]["appIcon"];
        ASSERT_TRUE(icon.asData()) << c.expected;
        EXPECT_EQ(std::string(icon.asData()->begin(), icon.asData()->end()), c.expected) << c.scale;
    }
}

TEST_F(ParleyTest, WebPageShareReachesParleyWithEveryKeyOnBothPasteboardSchemes)
{
    ASSERT_TRUE(PXApi::registerApp(kAppID));
    for (const char* version : { "7.0", "6.1" }) {
        for (int scene : { 0, 1 }) {
            SCOPED_TRACE(std::string(version) + " scene " + std::to_string(scene));
            pf::Device::current().setSystemVersion(version);
            pf::Pasteboard::resetAll();
            pf::Pasteboard::general()->setString("gift-code");
            size_t before = parleyApp->received().size();
            ASSERT_TRUE(PXApi::sendReq(webShare(scene)));
            env.runUntilIdle();
            auto got = parleyApp->received();
            ASSERT_EQ(got.size(), before + 1);
            const auto& r = got.back();
            EXPECT_EQ(r.url, std::string("parleyim://app/") + kAppID + "/sendreq/?");
            EXPECT_EQ(r.appID, kAppID);
            EXPECT_TRUE(r.problems.empty()) << r.problems.front();
            pf::Dictionary expected {
                { "command", "1010" }, { "returnFromApp", "0" }, { "result", "1" }, { "sdkver", "1.4.2.1" },
                { "title", "礼包 77" }, { "description", "Gift code inside" }, { "thumbData", picture(8) },
                { "objectType", "5" }, { "mediaUrl", "http://127.0.0.1/gift/77" }, { "scene", std::to_string(scene) }
            };
            for (const auto& [key, value] : expected)
                EXPECT_EQ(r.record.find(key) ? *r.record.find(key) : pf::Value(), value) << key;
            EXPECT_EQ(r.record.size(), expected.size());
            bool modern = std::string(version) == "7.0";
            EXPECT_EQ(pf::Pasteboard::withName("parley_data", false) == nullptr, modern);
            if (!modern) {
                ASSERT_TRUE(r.file);
                EXPECT_TRUE(r.file->empty());
                EXPECT_EQ(pf::Pasteboard::general()->string(), "gift-code");
            }
        }
    }
}

TEST_F(ParleyTest, EachLimitPassesAtItsEdgeAndRefusesOneOverWithNothingWrittenOrOpened)
{
    ASSERT_TRUE(PXApi::registerApp(kAppID));
    pf::Bytes small = picture(8);
    using Edit = std::function<void(SendMessageToPXReq&)>;
    auto withFile = [](size_t size) {
        return Edit([size](SendMessageToPXReq& r) {
            auto file = PXFileObject::object();
            file->fileExtension = "bin";
            file->fileData = pf::Bytes(size, 7);
            r.message->mediaObject = file;
        });
    };
    auto withText = [](std::string text) {
        return Edit([text](SendMessageToPXReq& r) { r.bText = true; r.text = text; });
    };
    struct Case {
        const char* name;
        Edit edit;
        bool sent;
    };
    const Case cases[] = {
        { "title 512", [](auto& r) { r.message->title = repeat("题", 512); }, true },
        { "title 513", [](auto& r) { r.message->title = repeat("题", 513); }, false },
        { "title 511 + emoji", [](auto& r) { r.message->title = repeat("a", 511) + "😀"; }, false },
        { "thumb 32768", [&](auto& r) { r.message->thumbData = padded(small, 32768); }, true },
        { "thumb 32769", [&](auto& r) { r.message->thumbData = padded(small, 32769); }, false },
        { "thumb no picture", [](auto& r) { r.message->thumbData = pf::Bytes(100, 1); }, false },
        { "text 10240", withText(repeat("t", 10240)), true },
        { "text 10241", withText(repeat("t", 10241)), false },
        { "text empty", withText(""), false },
        { "file 10485760", withFile(10485760), true },
        { "file 10485761", withFile(10485761), false },
        { "no url", [](auto& r) { std::static_pointer_cast<PXWebpageObject>(r.message->mediaObject)->webpageUrl.reset(); }, false },
        { "no message", [](auto& r) { r.message.reset(); }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pf::Pasteboard::general()->setString("kept");
        pf::AppRegistry::shared().clearRecords();
        auto request = webShare(0);
        c.edit(*request);
        EXPECT_EQ(PXApi::sendReq(request), c.sent);
        EXPECT_EQ(pf::AppRegistry::shared().openedURLs().size(), c.sent ? 1u : 0u);
        EXPECT_EQ(pf::Pasteboard::general()->string() == std::optional<std::string>("kept"), !c.sent);
        env.runUntilIdle();
        if (c.sent) {
            auto problems = parleyApp->received().back().problems;
            EXPECT_TRUE(problems.empty()) << problems.front();
        }
    }
    // A show-message request is checked on its own message: without one nothing is sent.
    auto show = std::make_shared<ShowMessageFromPXReq>();
    EXPECT_FALSE(PXApi::sendReq(show));
    show->message = webShare(0)->message;
    EXPECT_TRUE(PXApi::sendReq(show));
    // After a new launch, before registration, nothing can be staged.
    pf::ResetRegistry::resetAll();
    EXPECT_FALSE(PXApi::sendReq(webShare(0)));
}

TEST_F(ParleyTest, AnswersFromParleyReachTheDelegateAndForeignOnesAreRefused)
{
    ASSERT_TRUE(PXApi::registerApp(kAppID));
    for (const char* version : { "7.0", "6.1" }) {
        SCOPED_TRACE(version);
        pf::Device::current().setSystemVersion(version);
        receiver->responses.clear();
        parleyApp->setAnswer(-2);
        ASSERT_TRUE(PXApi::sendReq(webShare(1)));
        env.runUntilIdle();
        ASSERT_EQ(receiver->responses.size(), 1u);
        auto response = std::dynamic_pointer_cast<SendMessageToPXResp>(receiver->responses[0]);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->errCode, -2);
        // The conversation account travels with the next record.
        parleyApp->setAnswer(std::nullopt);
        ASSERT_TRUE(PXApi::sendReq(webShare(0)));
        env.runUntilIdle();
        EXPECT_EQ(pf::Value(parleyApp->received().back().record)["account"], pf::Value("parley-account"));
    }

    // An unknown command is taken off the pasteboard and delivers nothing.
    receiver->handled.clear();
    peers::ParleyApp::sendRecord(kAppID, pf::Dictionary { { "command", "2030" }, { "result", "0" } });
    env.runUntilIdle();
    EXPECT_EQ(receiver->handled, std::vector<bool> { true });
    EXPECT_EQ(receiver->responses.size(), 1u);

    // An app-extension message becomes a show request; a web page does not.
    peers::ParleyApp::sendRecord(kAppID, pf::Dictionary { { "command", "1010" }, { "objectType", "7" }, { "extInfo", "x" } });
    env.runUntilIdle();
    peers::ParleyApp::sendRecord(kAppID, pf::Dictionary { { "command", "1010" }, { "objectType", "5" }, { "mediaUrl", "http://a/" } });
    env.runUntilIdle();
    ASSERT_EQ(receiver->requests.size(), 1u);
    auto show = std::dynamic_pointer_cast<ShowMessageFromPXReq>(receiver->requests[0]);
    ASSERT_TRUE(show);
    EXPECT_EQ(std::dynamic_pointer_cast<PXAppExtendObject>(show->message->mediaObject)->extInfo, "x");

    // Another scheme, or a prefix that only resembles ours, is refused without reading.
    for (const char* text : { "px1234abc://x", "other://px1234abcd://", "px1234abcdx://" }) {
        pf::Pasteboard::general()->setString("kept");
        EXPECT_FALSE(PXApi::handleOpenURL(*pf::Url::fromString(text), receiver)) << text;
        EXPECT_EQ(pf::Pasteboard::general()->string(), "kept");
    }
    EXPECT_FALSE(PXApi::handleOpenURL(*pf::Url::fromString(std::string(kAppID) + "://x"), nullptr));
}

TEST_F(ParleyTest, HostilePasteboardsDeliverNothingAndNeverCrash)
{
    ASSERT_TRUE(PXApi::registerApp(kAppID));
    auto url = *pf::Url::fromString(std::string(kAppID) + "://parley");
    auto plist = [](const pf::Value& v) { return *pf::PropertyList::write(v, pf::PropertyList::Format::Binary); };
    pf::Bytes deep = plist(pf::Dictionary { { kAppID, pf::Dictionary { { "command", "2020" } } } });
    struct Case {
        const char* name;
        pf::Bytes content;
        bool handled;
    };
    const Case cases[] = {
        { "not a property list", pf::Bytes(64, 'x'), false },
        { "17 MiB", padded(deep, 17u << 20), false },
        { "no dictionary", plist(pf::Array { "a" }), false },
        { "entry no dictionary", plist(pf::Dictionary { { kAppID, "2020" } }), false },
        { "command a number", plist(pf::Dictionary { { kAppID, pf::Dictionary { { "command", 2020 } } } }), true },
        { "result a number", plist(pf::Dictionary { { kAppID, pf::Dictionary { { "command", "2020" }, { "result", 5 } } } }), true },
        { "file data a text", plist(pf::Dictionary { { kAppID, pf::Dictionary { { "command", "1010" }, { "objectType", "7" }, { "fileData", "x" } } } }), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        receiver->responses.clear();
        pf::Pasteboard::general()->setData(c.content, "content");
        EXPECT_EQ(PXApi::handleOpenURL(url, receiver), c.handled);
        if (!receiver->responses.empty()) {
            EXPECT_EQ(receiver->responses[0]->errCode, 0); // a result that is no text counts as absent
        }
    }
    // Only the app-extension record was delivered, without the file data that was no data.
    ASSERT_EQ(receiver->requests.size(), 1u);
    auto show = std::dynamic_pointer_cast<ShowMessageFromPXReq>(receiver->requests[0]);
    EXPECT_FALSE(std::dynamic_pointer_cast<PXAppExtendObject>(show->message->mediaObject)->fileData);

    // Before system 7 the file pasteboard is read apart: too large counts as absent, and both
    // pasteboards are emptied once read.
    pf::Device::current().setSystemVersion("6.1");
    auto data = pf::Pasteboard::withName("parley_data", true);
    data->setData(plist(pf::Dictionary { { kAppID, pf::Dictionary { { "command", "1010" }, { "objectType", "7" }, { "extInfo", "e" } } } }), "content");
    pf::Pasteboard::withName("parley_file", true)->setData(pf::Bytes(10485761, 1), "content");
    EXPECT_TRUE(PXApi::handleOpenURL(url, receiver));
    ASSERT_EQ(receiver->requests.size(), 2u);
    show = std::dynamic_pointer_cast<ShowMessageFromPXReq>(receiver->requests[1]);
    EXPECT_FALSE(std::dynamic_pointer_cast<PXAppExtendObject>(show->message->mediaObject)->fileData);
    EXPECT_EQ(data->dataForType("content"), pf::Bytes {});
    EXPECT_EQ(pf::Pasteboard::withName("parley_file", false)->dataForType("content"), pf::Bytes {});
}

// Parley's reply is read once and never written back: a UTF-16 surrogate without its partner in
// one of its texts reaches the app as U+FFFD, on both pasteboard schemes, instead of costing the
// whole reply.
TEST_F(ParleyTest, AReplyHoldingALoneSurrogateArrivesWithTheReplacementCharacter)
{
    ASSERT_TRUE(PXApi::registerApp(kAppID));
    auto url = *pf::Url::fromString(std::string(kAppID) + "://parley");
    pf::Dictionary record { { "command", "1010" }, { "objectType", "7" }, { "extInfo", "礼X" }, { "title", "礼包😀" } };
    for (const char* version : { "7.0", "6.1" }) {
        SCOPED_TRACE(version);
        pf::Device::current().setSystemVersion(version);
        bool modern = std::string(version) == "7.0";
        pf::Bytes bytes = *pf::PropertyList::write(pf::Dictionary { { kAppID, record } }, pf::PropertyList::Format::Binary);
        const std::string stored("\x79\x3C\0X", 4);
        auto at = std::search(bytes.begin(), bytes.end(), stored.begin(), stored.end());
        ASSERT_NE(at, bytes.end());
        *(at + 2) = 0xD8; // "礼" and a high surrogate with no low one after it
        *(at + 3) = 0x00;
        (modern ? pf::Pasteboard::general() : pf::Pasteboard::withName("parley_data", true))->setData(bytes, "content");
        receiver->requests.clear();
        EXPECT_TRUE(PXApi::handleOpenURL(url, receiver));
        ASSERT_EQ(receiver->requests.size(), 1u);
        auto show = std::dynamic_pointer_cast<ShowMessageFromPXReq>(receiver->requests[0]);
        ASSERT_TRUE(show);
        EXPECT_EQ(std::dynamic_pointer_cast<PXAppExtendObject>(show->message->mediaObject)->extInfo, "礼\uFFFD");
        EXPECT_EQ(show->message->title, "礼包😀");
    }
}

TEST(ParleyCodec, ReadersRefuseWhatTheyCannotUse)
{
    pf::TaskEnvironment env;
    AppCommunicateData none(pf::Dictionary { { "title", "x" } });
    EXPECT_FALSE(none.propertList());
    EXPECT_FALSE(none.dataToReq());
    EXPECT_FALSE(none.dataToResp());
    EXPECT_FALSE(none.mediaMessage());

    AppCommunicateData old(pf::Dictionary { { "command", "2010" }, { "result", "-2" } });
    ASSERT_TRUE(old.dataToResp());
    EXPECT_EQ(old.dataToResp()->errCode, -2);

    AppCommunicateData auth(pf::Dictionary { { "command", "1030" }, { "scope", repeat("s", 1025) } });
    EXPECT_FALSE(auth.authRequest());
    AppCommunicateData text(pf::Dictionary { { "command", "1020" }, { "title", "hi" } });
    EXPECT_EQ(text.textMessage(), "hi");
    AppCommunicateData internal(pf::Dictionary { { "command", "1010" }, { "objectType", "5" }, { "mediaTagName", repeat("t", 65) }, { "mediaUrl", "u" } });
    EXPECT_FALSE(internal.mediaInternalMessage());

    EXPECT_EQ(PXApi::parseURLParams("a=1&b=2&a=3&c"), (std::map<std::string, std::string> { { "a", "3" }, { "b", "2" }, { "c", "" } }));
}

}

namespace {

TEST(ParleyText, UrlArgumentsEscapeAndScriptValuesDecode)
{
    EXPECT_EQ(ParleyApiUtil::gtm_stringByEscapingForURLArgumentOnly("a b;/?:@=&$-_.+!*'(),%~礼\"<>#"),
        "a%20b;/?:@=&$-_.+!*'(),%~%E7%A4%BC%22%3C%3E#"); // "#" is legal in an address
    const std::vector<std::pair<std::string, std::optional<std::string>>> decoded {
        { "a+b", "a b" },
        { "\\XE7\\xA4\\XBC", "礼" },           // escapes written by a script
        { "%E7%A4%BC+%25", "礼 %" },
        { "\\X", std::nullopt },                   // a lone escape
        { "%FF", std::nullopt },                     // not UTF-8
        { "back\\slash", "back\\slash" },
    };
    for (const auto& [text, expected] : decoded)
        EXPECT_EQ(ParleyApiUtil::gtm_stringByEncodeByJsonAndUrlEncode(text), expected) << text;
}

TEST(ParleyRecords, RegistrationRecordsSurviveTheirArchiveAndRefuseForeignOnes)
{
    pf::TaskEnvironment env;
    AppSettingItem item;
    item.appID = "px1";
    item.openID = "礼-open";
    item.flag = 0xFFFFFFF0u; // beyond the signed range it is written in
    item.appAddedByUser = true;
    auto itemBack = pf::KeyedUnarchiver::unarchivedObject<AppSettingItem>(pf::KeyedArchiver::archivedData(item));
    ASSERT_TRUE(itemBack);
    EXPECT_EQ(itemBack->appID, item.appID);
    EXPECT_EQ(itemBack->openID, item.openID);
    EXPECT_EQ(itemBack->flag, item.flag);
    EXPECT_TRUE(itemBack->appAddedByUser);

    AppRegisterInfo info;
    info.appAddedByUser = true;
    info.appID = "px2";
    info.appName = "礼包";
    info.appName4EnUs = "Gifts";
    info.appDescription4ZhTw = "禮包";
    info.appInstallUrl = "http://example.com/app";
    info.needUpdateWatermark = true;
    info.appInfoVer = 7;
    info.lastUpdateIconTime = 4000000000u;
    info.appInfoFlag = 0x80000001u;
    info.appTypeList = "1,2";
    info.isNewApp = true;
    auto archive = pf::KeyedArchiver::archivedData(info);
    auto infoBack = pf::KeyedUnarchiver::unarchivedObject<AppRegisterInfo>(archive);
    ASSERT_TRUE(infoBack);
    EXPECT_EQ(pf::KeyedArchiver::archivedData(*infoBack), archive) << "every field comes back";
    EXPECT_EQ(infoBack->description(), "{ name:礼包 appid:px2}");
    EXPECT_FALSE(pf::KeyedUnarchiver::unarchivedObject<AppSettingItem>(archive)) << "another class";
}

}
