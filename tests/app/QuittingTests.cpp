#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A person quits while the image cache stores pictures, the statistics are written and an
// upload waits for its reply. The process must end by its own exit, whatever was still running
// at that moment; under the sanitizers a use of what the exit freed is a report and an abort.
TEST(QuittingTest, QuittingWhilePicturesStatisticsAndAnUploadAreBusyEndsCleanly)
{
    pf::TaskEnvironment env;
    pf::TestHttpServer server;
    server.on("POST", "/upload", [](const pf::TestHttpServer::Request&) {
        pf::TestHttpServer::Response held;
        held.hold = true;
        return held;
    });
    // The race is lost in most runs of a build without the orderly end; eight keep the test
    // within a few seconds.
    constexpr int kRuns = 8;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(run);
        std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "run-" + std::to_string(run));
        auto child = testsupport::runChildProcess({ QUITTING_CHILD, home, server.url("/upload") });
        server.releaseHeld(); // to a child that is gone: frees the server's thread
        ASSERT_TRUE(WIFEXITED(child.status)) << "ended by signal " << WTERMSIG(child.status) << "\n" << child.errorOutput;
        ASSERT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.find("Sanitizer"), std::string::npos) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.find("runtime error"), std::string::npos) << child.errorOutput;

        // The pictures queued before the end were all stored: only new work is refused.
        std::string pictures = pf::FileManager::join(home, "Library/Caches/ImageCache");
        size_t stored = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(pictures, error))
            stored += entry.path().filename().string().find(".tmp-") == std::string::npos;
        EXPECT_EQ(stored, 200u);
    }
    EXPECT_EQ(server.requestCount(), static_cast<size_t>(kRuns)) << "every upload was under way";
}

}
