#include "platform/foundation/HostTable.h"
#include "platform/testing/TaskEnvironment.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/stats/TalmerinMobStat.h"

#include <gtest/gtest.h>

namespace {

// Every client library's addresses as the simulator's "--peers" option and the fixtures give
// them, and as they come back at the next launch.
std::vector<std::pair<std::string, std::string>> addresses()
{
    auto& lm = MorrowHostConfig::shared();
    auto& analytics = MRA4LCHosts::shared();
    return {
        { "open api", lm.openApiBase() },
        { "cgi", lm.cgiBase() },
        { "update check", lm.updateCheckBase() },
        { "presence", lm.presenceBase() },
        { "web", lm.webBase() },
        { "policy", analytics.policyURL() },
        { "report", analytics.reportURL() },
        { "blip authorize", blip::BlipSDK::webAuthorizeURL() },
        { "blip api", blip::BlipSDK::hosts().address(blip::BlipSDK::kApiHost) },
        { "blip invitations", blip::BlipSDK::hosts().address(blip::BlipSDK::kMobileApiHost) },
        { "blip store", blip::BlipSDK::getBlipAppInstallUrl() },
        { "statistics", TalmerinMobStat::hosts().address(TalmerinMobStat::kServiceHost) },
    };
}

TEST(ClientLibraryHosts, OneCallPointsEveryLibraryAtTheStandInAndANewLaunchForgetsIt)
{
    std::vector<std::pair<std::string, std::string>> defaults;
    {
        pf::TaskEnvironment env;
        defaults = addresses();
        pf::HostTable::pointAllAt("http://127.0.0.1:4242/");
        const std::vector<std::pair<std::string, std::string>> pointed {
            { "open api", "http://127.0.0.1:4242/lmopenapi/" },
            { "cgi", "http://127.0.0.1:4242/lmcgi/" },
            { "update check", "http://127.0.0.1:4242/" },
            { "presence", "http://127.0.0.1:4242/lmpresence/" },
            { "web", "http://127.0.0.1:4242/lmweb/" },
            { "policy", "http://127.0.0.1:4242/lmconnectopen/openapi/policy_conf" },
            { "report", "http://127.0.0.1:4242/report/report" },
            { "blip authorize", "http://127.0.0.1:4242/blip/oauth2/authorize" },
            { "blip api", "http://127.0.0.1:4242/blip" },
            { "blip invitations", "http://127.0.0.1:4242/blip" },
            { "blip store", "http://appstore.invalid/cn/app/id350962117?mt=8" },
            { "statistics", "http://127.0.0.1:4242/stats/" },
        };
        EXPECT_EQ(addresses(), pointed);
        MorrowHostConfig::shared().setWebBase("http://elsewhere/web");
        TalmerinMobStat::hosts().setAddress(TalmerinMobStat::kServiceHost, "http://elsewhere/stats/");
    }
    pf::TaskEnvironment env;
    EXPECT_EQ(addresses(), defaults);
    EXPECT_EQ(MorrowHostConfig::shared().openApiBase().rfind("https://", 0), 0u); // the shipped list
    EXPECT_EQ(MRA4LCHosts::shared().connectBase(), "http://cgi.lmconnect.invalid/");
    EXPECT_EQ(TalmerinMobStat::hosts().address(TalmerinMobStat::kServiceHost), "");
}

}
