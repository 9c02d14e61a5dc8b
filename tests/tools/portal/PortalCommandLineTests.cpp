#include "tests/support/ChildProcess.h"
#include "tools/portal/PortalCatalog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

testsupport::ChildResult portalProgram(std::vector<std::string> args)
{
    args.insert(args.begin(), QUORVANE_PORTAL);
    return testsupport::runChildProcess(args);
}

}

// The help is asked for and given, and names where the sample users are listed, which lists
// every one of them with its password; a mistake prints the usage where errors go.
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

    auto child = portalProgram({ "--bogus" });
    ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
    EXPECT_EQ(WEXITSTATUS(child.status), 2);
    EXPECT_EQ(child.errorOutput.rfind("usage: quorvane-portal", 0), 0u) << child.errorOutput;
    EXPECT_EQ(child.output, "") << "nothing was served";
}
