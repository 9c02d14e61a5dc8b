// Writes cut short: one that removes what killed writes of its file left never takes a write of
// this process still under way for one.

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/KillAtStep.h"

#include <gtest/gtest.h>

// Two writes of one file at once (two copies of a store, two queues): the second, while the
// first stands after making its temporary file, leaves that file alone.
TEST(InterruptedWrites, AWriteUnderWayKeepsItsTemporaryFileWhenAnotherWriteOfTheFileCleans)
{
    pf::TaskEnvironment env;
    const std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "two-writers");
    testsupport::KillPlan plan;
    plan.under = home;
    plan.kinds = "create";
    plan.name = "shared.plist.tmp-";
    plan.at = 1;
    plan.after = true;
    plan.hold = true;
    auto child = testsupport::runChildProcess({ TWO_WRITERS_CHILD, home }, testsupport::killAtStepEnvironment(plan));
    ASSERT_TRUE(WIFEXITED(child.status)) << child.status << " (killed: the write was not held)";
    EXPECT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
    EXPECT_NE(child.errorOutput.find("first 1, second 1"), std::string::npos) << child.errorOutput;
}
