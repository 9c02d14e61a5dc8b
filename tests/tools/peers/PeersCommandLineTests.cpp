#include "tests/support/ChildProcess.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

namespace {

testsupport::ChildResult peersProgram(std::vector<std::string> args)
{
    args.insert(args.begin(), QUORVANE_PEERS);
    return testsupport::runChildProcess(args);
}

}

// The help is given and describes the port; a mistake is named on a line of its own, then the
// usage follows, both where errors go; a port that is no number or out of range is refused, and
// a taken one ends the program with a word on it rather than a second server sharing the port.
TEST(PeersCommandLine, TheHelpDescribesThePortAndABadOrTakenPortIsRefused)
{
    for (const char* help : { "--help", "-h" }) {
        auto child = peersProgram({ help });
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
        EXPECT_EQ(child.output.rfind("usage: quorvane-peers [--port N]", 0), 0u) << child.output;
        EXPECT_NE(child.output.find("--port N   the port"), std::string::npos) << child.output;
        EXPECT_EQ(child.errorOutput, "");
    }
    const std::pair<std::vector<std::string>, std::string> mistakes[] = {
        { { "--bogus" }, "unknown option: --bogus" },
        { { "--port", "0", "served" }, "unexpected argument: served" },
        { { "--port" }, "--port needs a value" },
    };
    for (const auto& [args, said] : mistakes) {
        auto mistaken = peersProgram(args);
        ASSERT_TRUE(WIFEXITED(mistaken.status));
        EXPECT_EQ(WEXITSTATUS(mistaken.status), 2) << said;
        EXPECT_EQ(mistaken.errorOutput.rfind("peers: " + said + "\nusage: quorvane-peers", 0), 0u) << mistaken.errorOutput;
        EXPECT_EQ(mistaken.output, "") << "nothing was served";
    }

    for (const char* bad : { "abc", "65536", "" }) {
        auto child = peersProgram({ "--port", bad });
        ASSERT_TRUE(WIFEXITED(child.status)) << bad;
        EXPECT_EQ(WEXITSTATUS(child.status), 2) << bad;
        EXPECT_NE(child.errorOutput.find(std::string("bad port ") + bad), std::string::npos) << child.errorOutput;
    }

    peers::PeersServer listening;
    ASSERT_TRUE(listening.start());
    {
        peers::PeersServer second;
        errno = 0;
        EXPECT_FALSE(second.start(listening.port()));
        EXPECT_EQ(errno, EADDRINUSE);
    }
    auto child = peersProgram({ "--port", std::to_string(listening.port()) });
    ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
    EXPECT_EQ(WEXITSTATUS(child.status), 1);
    EXPECT_NE(child.errorOutput.find("port " + std::to_string(listening.port()) + " is taken"), std::string::npos) << child.errorOutput;
    EXPECT_EQ(child.output, "");
}
