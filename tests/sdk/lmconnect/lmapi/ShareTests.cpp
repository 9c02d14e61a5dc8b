#include "LMShareFixture.h"

#include "sdk/lmconnect/lmapi/LMApiDatastore.h"

#include "platform/foundation/Bundle.h"

namespace {

TEST_F(LMShareTest, ANewsShareReachesTheLMAppWithItsPreviewAndTheAppsRecord)
{
    struct Case {
        int version;
        bool afterSignIn;
    };
    for (const Case c : { Case { 3, false }, Case { 2, false }, Case { 1, false }, Case { 3, true }, Case { 2, true } }) {
        SCOPED_TRACE(testing::Message() << "version " << c.version << (c.afterSignIn ? " after sign-in" : ""));
        LMApiDatastore::instance().clearApiLargeData();
        auto lm = peers::LMApp::install(c.version);
        pf::Bytes preview = jpeg();
        auto share = newsShare("礼包码", preview);
        if (c.afterSignIn) {
            // The app keeps the share and sends it when the sign-in through the LM app is done.
            delegate->calls.clear();
            delegate->results.clear();
            delegate->keptShare = share;
            lm->setAnswer(peers::LMApp::Answer::Token,
                pf::Dictionary { { "access_token", "TOK-1" }, { "openid", "OID-1" }, { "expires_in", "7776000" }, { "encrytoken", "E" } });
            ASSERT_TRUE(session->authorizeInSafari({ "get_user_info", "add_share" }, false));
            ASSERT_TRUE(env.runUntil([&] { return !delegate->calls.empty(); }, 5));
            EXPECT_EQ(delegate->calls, std::vector<std::string> { "login" });
            EXPECT_EQ(delegate->results, std::vector<LMApiSendResultCode> { 0 });
            delegate->keptShare = nullptr;
        } else {
            EXPECT_EQ(LMApiInterface::sendReq(share), 0);
        }
        ASSERT_TRUE(env.runUntil([&] { return !lm->shares().empty(); }, 5));
        auto got = lm->shares().back();
        EXPECT_TRUE(got.problems.empty()) << testing::PrintToString(got.problems);
        EXPECT_EQ(got.objectType, "LMApiNewsObject");
        EXPECT_EQ(got.fields["src"], kLMScheme);
        EXPECT_EQ(got.fields["title"], "礼包码");
        EXPECT_EQ(got.fields["description"], "领取你的礼包");
        EXPECT_EQ(got.fields["url"], "http://gifts.example/g/17");
        EXPECT_EQ(got.fields["message_type"], "5");
        EXPECT_EQ(got.fields["share_type"], "0");
        EXPECT_EQ(got.fields["app_name"], "礼包");
        EXPECT_FALSE(got.fields["key"].empty());
        EXPECT_FALSE(got.hasApiMessage);
        EXPECT_EQ(got.largeDataOnGeneral, c.version >= 3);
        ASSERT_TRUE(got.largeData);
        const pf::Value* staged = got.largeData->find("previewimagedata");
        ASSERT_TRUE(staged && staged->asData());
        EXPECT_EQ(*staged->asData(), preview);
        ASSERT_EQ(got.plugins.size(), 1u);
        EXPECT_EQ(got.plugins[0].scheme, kLMScheme);
        EXPECT_EQ(got.plugins[0].bundleIdentifier, pf::Bundle::main()->bundleIdentifier());
        EXPECT_EQ(got.plugins[0].displayName, "礼包");
        EXPECT_EQ(got.plugins[0].version, pf::Bundle::main()->version());
        EXPECT_EQ(got.plugins[0].iconNames, (std::vector<std::string> { "home.png", "icon_not_login.png" }));
        lm->uninstall();
    }
}

}
