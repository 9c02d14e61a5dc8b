#include "sdk/lmconnect/lmapi/LMApiLog.h"

#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class LMApiLogTest : public testing::Test {
protected:
    fs::path log() const { return fs::path(pf::Sandbox::current()->documentsPath()) / "LMApi.log"; }
    std::string text() const
    {
        std::ifstream in(log(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    pf::TaskEnvironment env;
};

TEST_F(LMApiLogTest, LinesFollowABannerAndAnOversizedLogKeepsItsEnd)
{
    constexpr std::uint64_t kMax = LMApiLogFile::kMaxSize;
    constexpr std::uint64_t kKept = LMApiLogFile::kKeptSize;
    struct Case {
        const char* name;
        std::uint64_t size; // of the log found at the first line
        std::uint64_t kept;
    };
    const std::vector<Case> cases {
        { "none", 0, 0 },
        { "at the limit", kMax, kMax },
        { "one byte over", kMax + 1, kKept },
        { "beyond 2 GiB", (std::uint64_t(2) << 30) + 5, kKept },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pf::ResetRegistry::resetAll(); // a new launch: the next line opens the log afresh
        fs::remove(log());
        if (c.size) {
            // The old log: its last byte is 'Z', the rest sparse zeros after a head of 'A's.
            std::ofstream(log(), std::ios::binary) << std::string(16, 'A');
            fs::resize_file(log(), c.size - 1);
            std::ofstream(log(), std::ios::binary | std::ios::app) << 'Z';
        }
        LMApiLog("/src/sdk/Sender.cpp", 42, "sent %d to %s", 7, "LM");
        LMApiLog(nullptr, 0, "plain");
        std::uint64_t size = fs::file_size(log());
        ASSERT_GT(size, c.kept);
        std::ifstream in(log(), std::ios::binary);
        std::string head(std::min<std::uint64_t>(c.kept, 16), '\0');
        in.read(head.data(), head.size());
        if (c.kept == c.size && c.size)
            EXPECT_EQ(head, std::string(16, 'A')) << "kept whole";
        else if (c.kept)
            EXPECT_EQ(head, std::string(16, '\0')) << "cut to its end";
        in.seekg(static_cast<std::streamoff>(c.kept));
        std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (c.kept) {
            EXPECT_EQ(fs::file_size(log()) - rest.size(), c.kept);
        }
        EXPECT_EQ(rest.rfind("\n\n\n\n\n********** BEGIN LOG ON ", 0), 0u) << rest.substr(0, 60);
        EXPECT_NE(rest.find(" **********\n"), std::string::npos);
        EXPECT_NE(rest.find("-LMAPI- Sender.cpp:42 sent 7 to LM\n"), std::string::npos) << rest;
        EXPECT_NE(rest.find("-LMAPI- plain\n"), std::string::npos) << rest;
        EXPECT_EQ(rest.find("BEGIN LOG", 30), std::string::npos) << "one banner per opening";
        if (c.kept && c.kept < c.size) {
            EXPECT_EQ(text().substr(c.kept - 1, 1), "Z") << "the old log's last byte comes last";
        }
    }
}

TEST_F(LMApiLogTest, TheFileNameOfTheSourceIsCutToItsBuffer)
{
    char buffer[64];
    EXPECT_EQ(LMApiGetLastPathComponent("/a/b/File.cpp", buffer), 8u);
    EXPECT_STREQ(buffer, "File.cpp");
    EXPECT_EQ(LMApiGetLastPathComponent("/a/b/", buffer), 0u);
    EXPECT_EQ(LMApiGetLastPathComponent(nullptr, buffer), 0u);
    EXPECT_EQ(LMApiGetLastPathComponent("NoSlash.cpp", buffer), 11u);
    EXPECT_EQ(LMApiGetLastPathComponent(("/" + std::string(80, 'x')).c_str(), buffer), 63u);
}

}
