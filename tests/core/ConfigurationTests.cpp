#include "core/AppInfoConfiguration.h"
#include "core/PlatformInfo.h"
#include "core/managers/LoginManager.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A bundle of its own in the test's sandbox, made the main bundle for the test.
class BundleTest : public testing::Test {
protected:
    BundleTest()
    {
        m_previous = pf::Bundle::main();
        m_path = pf::Sandbox::current()->tmpPath() + "/Test.app";
        std::filesystem::create_directories(m_path);
        pf::PropertyList::writeFile(m_path + "/Info.plist", pf::Value(pf::Dictionary { { "CFBundleIdentifier", "app.test" } }));
    }
    ~BundleTest() override { pf::Bundle::setMain(m_previous); }

    void writeList(const std::string& name, pf::Dictionary values)
    {
        pf::PropertyList::writeFile(m_path + "/" + name + ".plist", pf::Value(std::move(values)), pf::PropertyList::Format::Xml);
    }
    void useBundle() { pf::Bundle::setMain(pf::Bundle::atPath(m_path)); }

    pf::TaskEnvironment env;
    std::shared_ptr<pf::Bundle> m_previous;
    std::string m_path;
};

}

TEST_F(BundleTest, AppInfoConfigurationReadsItsListAndEmptiesMissingKeys)
{
    writeList("AppInfoConfiguration", { { "app_key", "key-1" }, { "open_id", "open-2" },
        { "api_base_url", "http://127.0.0.1:1/api/" }, { "forum_base_url", 42 } });
    useBundle();
    AppInfoConfiguration configuration;
    configuration.setForumBaseURL("stale");
    configuration.readAppConfigurationFromPlistFie();
    EXPECT_EQ(configuration.appKey(), "key-1");
    EXPECT_EQ(configuration.openID(), "open-2");
    EXPECT_EQ(configuration.apiBaseURL(), "http://127.0.0.1:1/api/");
    EXPECT_EQ(configuration.forumBaseURL(), ""); // not a text

    std::filesystem::remove(m_path + "/AppInfoConfiguration.plist");
    useBundle();
    configuration.readAppConfigurationFromPlistFie();
    EXPECT_EQ(configuration.appKey(), "");
    EXPECT_EQ(configuration.apiBaseURL(), "");
}

TEST_F(BundleTest, PlatformInfoReadsTheStoreFlagAsABoolean)
{
    writeList("PlatformInfo", { { "TalmerinMobStatAppKey", "stat" }, { "ParleyAppID", "px1" }, { "LZoneAppID", "lz2" },
        { "BlipAppKey", "bp3" }, { "IsForAppStore", "YES" } });
    useBundle();
    PlatformInfo info;
    info.readPlatformInfoFromPlistFie();
    EXPECT_EQ(info.talmerinMobStatAppKey(), "stat");
    EXPECT_EQ(info.parleyAppID(), "px1");
    EXPECT_EQ(info.lZoneAppID(), "lz2");
    EXPECT_EQ(info.blipAppKey(), "bp3");
    EXPECT_TRUE(info.isForAppStore());

    writeList("PlatformInfo", { { "IsForAppStore", false } });
    useBundle();
    info.readPlatformInfoFromPlistFie();
    EXPECT_FALSE(info.isForAppStore());
    EXPECT_EQ(info.blipAppKey(), "");
}

TEST(LoginManagerToken, IsRecordedReplacedAndClearedAcrossRestarts)
{
    pf::TaskEnvironment env;
    auto manager = LoginManager::sharedInstance();
    EXPECT_FALSE(manager->getUserToken().has_value());
    manager->recordUserToken("first");
    manager->recordUserToken("second");
    pf::UserDefaults::resetStandard(); // a new launch reads the stored file
    EXPECT_EQ(manager->getUserToken(), "second");
    manager->clearUserToken();
    EXPECT_FALSE(manager->getUserToken().has_value());
}
