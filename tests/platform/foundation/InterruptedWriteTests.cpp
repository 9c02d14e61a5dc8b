// Writes cut short: one that removes what killed writes of its file left never takes a write of
// this process still under way for one.

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/KillAtStep.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

// A launch that only reads the settings or a saved pasteboard (it changes nothing) still removes
// what killed writes left: the settings' own temporary files, every pasteboard's, and nothing else
// at such names.
TEST(InterruptedWrites, TheSettingsAndAPasteboardLoseTheirLeftoversWhenTheyAreNextRead)
{
    pf::TaskEnvironment env;
    const std::string settings = pf::FileManager::join(env.sandbox().preferencesPath(), "reader.plist");
    {
        pf::UserDefaults defaults(settings);
        defaults.setString("token", "signed in");
        auto registry = pf::Pasteboard::withName("registry", true);
        registry->setPersistent(true);
        registry->setString("other app");
    }
    const std::string board = pf::FileManager::join(env.sandbox().libraryPath(), "Pasteboards/registry.plist");
    ASSERT_TRUE(pf::FileManager::exists(board));
    auto plant = [](const std::string& file) {
        const std::string left = file + ".tmp-0123456789ab";
        const std::string folder = file + ".tmp-ba9876543210";
        const std::string link = file + ".tmp-00000000000a";
        const std::string nearMiss = file + ".tmp-0123456789";
        EXPECT_TRUE(pf::FileManager::writeAtomically(left, std::string_view("half")));
        EXPECT_TRUE(pf::FileManager::createDirectory(folder, false));
        EXPECT_EQ(::symlink(left.c_str(), link.c_str()), 0);
        EXPECT_TRUE(pf::FileManager::writeAtomically(nearMiss, std::string_view("someone's")));
        return std::vector<std::string> { left, folder, link, nearMiss };
    };
    auto settingsNames = plant(settings);
    auto boardNames = plant(board);
    // Another pasteboard's, which this launch does not open.
    const std::string unopened = pf::FileManager::join(env.sandbox().libraryPath(), "Pasteboards/unopened.plist.tmp-abcdef012345");
    ASSERT_TRUE(pf::FileManager::writeAtomically(unopened, std::string_view("half")));

    // The next launch reads both and writes neither.
    pf::UserDefaults again(settings);
    EXPECT_EQ(again.stringForKey("token"), "signed in");
    pf::Pasteboard::forgetUnsaved();
    auto reread = pf::Pasteboard::withName("registry", false);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->string(), "other app");
    EXPECT_FALSE(pf::FileManager::exists(unopened));
    for (const auto& names : { settingsNames, boardNames }) {
        EXPECT_FALSE(pf::FileManager::exists(names[0])) << names[0];
        EXPECT_TRUE(pf::FileManager::isDirectory(names[1])) << names[1];
        struct stat info {};
        EXPECT_EQ(::lstat(names[2].c_str(), &info), 0) << names[2];
        EXPECT_TRUE(pf::FileManager::exists(names[3])) << names[3];
    }
}
