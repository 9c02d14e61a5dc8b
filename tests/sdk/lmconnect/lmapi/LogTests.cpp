#include "sdk/lmconnect/lmapi/LMApiLog.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/KillAtStep.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

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
        if (c.kept == c.size && c.size) {
            EXPECT_EQ(head, std::string(16, 'A')) << "kept whole";
        } else if (c.kept) {
            EXPECT_EQ(head, std::string(16, '\0')) << "cut to its end";
        }
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

// The old log: kMaxSize + 1 bytes, sparse zeros but its last byte, 'Z'.
void writeOversizedLog(const fs::path& log)
{
    fs::remove(log);
    std::ofstream(log, std::ios::binary) << std::string(16, 'A');
    fs::resize_file(log, LMApiLogFile::kMaxSize);
    std::ofstream(log, std::ios::binary | std::ios::app) << 'Z';
}

// A launch killed before or after any step of cutting the log leaves the log (whole, or cut to
// its end), and the next launch leaves no copy beside it.
TEST_F(LMApiLogTest, ALaunchKilledAtAnyStepOfTheCutLosesNoLogAndLeavesNoCopy)
{
    const std::string home = (fs::path(env.sandbox().tmpPath()) / "launches").string();
    ASSERT_TRUE(pf::Sandbox::atPath(home));
    const fs::path documents = pf::Sandbox::atPath(home)->documentsPath();
    const fs::path log = documents / LMApiLogFile::kFileName;
    auto launch = [&](const std::vector<std::string>& environment) {
        return testsupport::runChildProcess({ LMAPI_LOG_CHILD, home }, environment);
    };
    testsupport::KillPlan plan;
    plan.under = documents.string();
    plan.kinds = "rename,unlink,create";
    plan.name = "LMApi";
    plan.log = (fs::path(env.sandbox().tmpPath()) / "steps").string();
    writeOversizedLog(log);
    auto counted = launch(testsupport::killAtStepEnvironment(plan));
    ASSERT_TRUE(WIFEXITED(counted.status) && WEXITSTATUS(counted.status) == 0) << counted.errorOutput;
    const long steps = static_cast<long>(testsupport::readKilledSteps(plan.log).size());
    ASSERT_GE(steps, 2) << "a copy is made and takes the log's name";
    plan.log.clear();
    for (plan.at = 1; plan.at <= steps; ++plan.at) {
        for (bool after : { false, true }) {
            SCOPED_TRACE(std::to_string(plan.at) + (after ? " after" : " before"));
            plan.after = after;
            writeOversizedLog(log);
            ASSERT_TRUE(testsupport::wasKilled(launch(testsupport::killAtStepEnvironment(plan))));
            auto next = launch({});
            ASSERT_TRUE(WIFEXITED(next.status) && WEXITSTATUS(next.status) == 0) << next.errorOutput;
            EXPECT_FALSE(fs::exists(fs::symlink_status(documents / LMApiLogFile::kTempFileName)));
            std::ifstream in(log, std::ios::binary);
            std::string kept(LMApiLogFile::kKeptSize, '\0');
            in.read(kept.data(), static_cast<std::streamsize>(kept.size()));
            EXPECT_EQ(kept.back(), 'Z') << "the old log's end, then the lines of the launches";
            EXPECT_LT(fs::file_size(log), LMApiLogFile::kMaxSize);
        }
    }
}

// Only a copy the log made itself is taken for one: a link or a folder at its name stays, and
// the log is then left uncut. A copy without its log (a cut that removed the log before the
// rename, as earlier versions did) is the log.
TEST_F(LMApiLogTest, OnlyTheLogsOwnCopyIsTakenForOne)
{
    const fs::path temp = log().parent_path() / LMApiLogFile::kTempFileName;
    const fs::path theirs = fs::path(env.sandbox().tmpPath()) / "theirs";
    std::ofstream(theirs) << "theirs";
    for (bool link : { true, false }) {
        SCOPED_TRACE(link ? "a link" : "a folder");
        pf::ResetRegistry::resetAll();
        writeOversizedLog(log());
        if (link)
            fs::create_symlink(theirs, temp);
        else
            fs::create_directory(temp);
        LMApiLog(nullptr, 0, "a line");
        EXPECT_EQ(fs::is_symlink(temp), link);
        EXPECT_EQ(fs::is_directory(fs::symlink_status(temp)), !link);
        EXPECT_GT(fs::file_size(log()), LMApiLogFile::kMaxSize);
        fs::remove(temp);
    }
    std::ifstream in(theirs);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "theirs");

    pf::ResetRegistry::resetAll();
    fs::remove(log());
    std::ofstream(temp) << "the end of the cut log\n";
    LMApiLog(nullptr, 0, "the next launch");
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(text().rfind("the end of the cut log\n", 0), 0u) << text();
    EXPECT_NE(text().find("-LMAPI- the next launch\n"), std::string::npos);
}

// A line goes where the app's other log lines go, never to standard output, which carries only
// what the app shows: captured in a test, on standard error in a program.
TEST_F(LMApiLogTest, ALineGoesToTheAppsLogAndNotToStandardOutput)
{
    pf::Log::startCapture();
    LMApiLog("/src/sdk/Opener.cpp", 24, "unable to open url:%s", "mlmapi://share");
    EXPECT_TRUE(pf::Log::contains("-LMAPI- Opener.cpp:24 unable to open url:mlmapi://share"));
    pf::Log::stopCapture();
    EXPECT_NE(text().find("-LMAPI- Opener.cpp:24 unable to open url:mlmapi://share\n"), std::string::npos);

    const std::string home = (fs::path(env.sandbox().tmpPath()) / "program").string();
    ASSERT_TRUE(pf::Sandbox::atPath(home));
    auto child = testsupport::runChildProcess({ LMAPI_LOG_CHILD, home });
    ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << child.errorOutput;
    EXPECT_EQ(child.output, "");
    EXPECT_NE(child.errorOutput.find(" -LMAPI- LogWritingChild.cpp:"), std::string::npos) << child.errorOutput;
    EXPECT_NE(child.errorOutput.find(" a line of a launch\n"), std::string::npos) << child.errorOutput;
}

// Lines of several threads come in one order in the app's log and in the file, so that one can
// be read beside the other.
TEST_F(LMApiLogTest, LinesOfSeveralThreadsComeInTheSameOrderInTheAppsLogAndInTheFile)
{
    pf::Log::startCapture();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                LMApiLog(nullptr, 0, "thread %d line %d", t, i);
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::vector<std::string> inLog;
    for (const auto& line : pf::Log::captured()) {
        if (auto at = line.find(" -LMAPI- thread "); at != std::string::npos)
            inLog.push_back(line.substr(at + 9));
    }
    pf::Log::stopCapture();
    std::vector<std::string> inFile;
    std::istringstream file(text());
    for (std::string line; std::getline(file, line);) {
        if (auto at = line.find("-LMAPI- thread "); at != std::string::npos)
            inFile.push_back(line.substr(at + 8));
    }
    ASSERT_EQ(inLog.size(), 800u);
    EXPECT_EQ(inLog, inFile);
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
