#include "tests/support/ChildProcess.h"
#include "tools/portal/PortalCatalog.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <utility>

namespace {

testsupport::ChildResult portalProgram(std::vector<std::string> args)
{
    args.insert(args.begin(), QUORVANE_PORTAL);
    return testsupport::runChildProcess(args);
}

}

// The help is asked for and given, and names where the sample users are listed, which lists
// every one of them with its password; a mistake is named on a line of its own, then the usage
// follows, both where errors go.
TEST(PortalCommandLine, TheHelpIsGivenAndPointsToTheSampleUsers)
{
    for (const char* help : { "--help", "-h" }) {
        auto child = portalProgram({ help, "--bogus" });
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
        EXPECT_EQ(child.output.rfind("usage: quorvane-portal [--port N]", 0), 0u) << child.output;
        auto users = child.output.find("sample users");
        EXPECT_NE(child.output.find("README.md", users), std::string::npos) << child.output;
        EXPECT_EQ(child.errorOutput, "");
    }

    std::ifstream file(QUORVANE_README);
    std::string readme((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const auto& user : portal::PortalCatalog(0).users)
        EXPECT_NE(readme.find("`" + user.username + "`/`" + user.password + "`"), std::string::npos) << user.username;

    const std::pair<std::vector<std::string>, std::string> mistakes[] = {
        { { "--bogus" }, "unknown option: --bogus" },
        { { "--port", "0", "served" }, "unexpected argument: served" },
        { { "--port" }, "--port needs a value" },
        { { "--app-key" }, "--app-key needs a value" },
        { { "--open-id" }, "--open-id needs a value" },
        { { "--port", "0", "--latest-version" }, "--latest-version needs a value" },
    };
    for (const auto& [args, said] : mistakes) {
        auto child = portalProgram(args);
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 2) << said;
        EXPECT_EQ(child.errorOutput.rfind("portal: " + said + "\nusage: quorvane-portal", 0), 0u) << child.errorOutput;
        EXPECT_EQ(child.output, "") << "nothing was served";
    }
}

// A port that is no number is refused as an out-of-range one is, and a port another server
// listens on ends the program with a word on it instead of a second server on that port.
TEST(PortalCommandLine, APortThatIsNoNumberOrIsTakenIsRefused)
{
    for (const char* bad : { "abc", "99999", "-1", "80x", "" }) {
        auto child = portalProgram({ "--port", bad });
        ASSERT_TRUE(WIFEXITED(child.status)) << bad << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 2) << bad;
        EXPECT_NE(child.errorOutput.find(std::string("bad port ") + bad), std::string::npos) << child.errorOutput;
        EXPECT_EQ(child.output, "") << bad;
    }

    portal::PortalServer listening;
    ASSERT_TRUE(listening.start());
    auto child = portalProgram({ "--port", std::to_string(listening.port()) });
    ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
    EXPECT_EQ(WEXITSTATUS(child.status), 1);
    EXPECT_NE(child.errorOutput.find("port " + std::to_string(listening.port()) + " is taken"), std::string::npos) << child.errorOutput;
    EXPECT_EQ(child.output, "") << "it never said it listens";
}
