// Launches of the simulator ended part-way, as a phone ends an app: what their writes left is
// gone after the next launches, and every stored file reaches the disk with its folder.

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/KillAtStep.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include <unistd.h>

namespace {

class InterruptedLaunches : public testing::Test {
protected:
    InterruptedLaunches()
    {
        EXPECT_TRUE(portal.start());
        EXPECT_TRUE(pf::FileManager::writeAtomically(script, std::string_view("idle\n")));
    }

    testsupport::ChildResult launch(const std::vector<std::string>& environment = {})
    {
        return testsupport::runChildProcess({ QUORVANE_SIMULATOR, "--portal", portal.apiBaseURL(), "--vendor-apps", "none",
                                                "--home", home, "--script", script },
            environment);
    }

    pf::TaskEnvironment env;
    portal::PortalServer portal;
    const std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "device");
    const std::string script = pf::FileManager::join(env.sandbox().tmpPath(), "script");
};

// The names the app's writers give their temporary files: "<file>.tmp-" and 12 hex digits, and
// the keychain's "<file>.tmp-" and six letters or digits.
std::vector<std::string> temporariesBelow(const std::string& home)
{
    static const std::regex temporary(R"(.*(\.tmp-[0-9a-f]{12}|\.tmp-[A-Za-z0-9]{6})$)");
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
        std::string relative = entry.path().lexically_relative(home).string(); // a link as itself
        if (std::regex_match(relative, temporary))
            found.push_back(relative);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}

TEST_F(InterruptedLaunches, WhatKilledLaunchesLeftIsGoneAfterTheNextAndNothingElse)
{
    // Three first launches killed once the settings' temporary file was written, then one once
    // the keychain made its own, one once a pasteboard did, and one once the image cache did.
    const std::pair<const char*, const char*> kills[] = {
        { "write", "com.quorvane.gifts.plist.tmp-" },
        { "write", "com.quorvane.gifts.plist.tmp-" },
        { "write", "com.quorvane.gifts.plist.tmp-" },
        { "create", "generic-passwords.plist.tmp-XXXXXX" },
        { "create", "/Pasteboards/" },
        { "create", "/ImageCache/" },
    };
    for (const auto& [kinds, name] : kills) {
        SCOPED_TRACE(name);
        testsupport::KillPlan plan;
        plan.under = home;
        plan.kinds = kinds;
        plan.name = name;
        plan.at = 1;
        plan.after = true;
        auto child = launch(testsupport::killAtStepEnvironment(plan));
        ASSERT_TRUE(testsupport::wasKilled(child)) << child.status << child.errorOutput;
        ASSERT_FALSE(temporariesBelow(home).empty());
    }

    // What lies at such names and is not the app's own: folders, links to someone else's file,
    // and a file of another user.
    const std::string theirs = pf::FileManager::join(env.sandbox().tmpPath(), "theirs");
    ASSERT_TRUE(pf::FileManager::writeAtomically(theirs, std::string_view("theirs")));
    std::vector<std::string> others { "Library/Keychains/generic-passwords.plist.tmp-AAAAAA", "Library/Keychains/generic-passwords.plist.tmp-BBBBBB",
        "Library/Preferences/com.quorvane.gifts.plist.tmp-000000000000", "Library/Preferences/com.quorvane.gifts.plist.tmp-111111111111" };
    for (size_t i = 0; i < others.size(); i += 2) {
        ASSERT_TRUE(pf::FileManager::createDirectory(pf::FileManager::join(home, others[i]), false));
        ASSERT_EQ(::symlink(theirs.c_str(), pf::FileManager::join(home, others[i + 1]).c_str()), 0);
    }
    if (::geteuid() == 0) {
        others.push_back("Library/Keychains/generic-passwords.plist.tmp-CCCCCC");
        ASSERT_TRUE(pf::FileManager::writeAtomically(pf::FileManager::join(home, others.back()), std::string_view("x")));
        ASSERT_EQ(::chown(pf::FileManager::join(home, others.back()).c_str(), 4242, 4242), 0);
    }

    auto clean = launch();
    ASSERT_TRUE(WIFEXITED(clean.status) && WEXITSTATUS(clean.status) == 0) << clean.status << clean.errorOutput;
    std::sort(others.begin(), others.end());
    EXPECT_EQ(temporariesBelow(home), others);
    EXPECT_EQ(pf::FileManager::readText(theirs), "theirs");
}

// Each file a launch renames into place has its folder flushed next, or a power cut may bring
// back the settings, the keychain's items or a pasteboard as they were (the token signed in a
// moment ago), or the damaged booked store that the launch mended, and with it lose the bookings
// made since. The image cache's entries are not: a lost entry is fetched again. Each store
// writes its folder under a lock of its own, so the steps in one folder come in their order.
TEST_F(InterruptedLaunches, EveryStoredFileHasItsFolderFlushedOnceItTakesItsName)
{
    const std::string documents = pf::FileManager::join(home, "Documents");
    ASSERT_TRUE(pf::FileManager::createDirectory(documents, true));
    std::string damaged = "SQLite format 3";
    damaged.push_back('\0');
    damaged.append(4080, '\x5a');
    ASSERT_TRUE(pf::FileManager::writeAtomically(pf::FileManager::join(documents, "GameDatabase.sqlite"), damaged));
    testsupport::KillPlan plan;
    plan.under = home;
    plan.kinds = "rename,flush";
    plan.log = pf::FileManager::join(env.sandbox().tmpPath(), "steps");
    auto child = launch(testsupport::killAtStepEnvironment(plan));
    ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << child.status << child.errorOutput;

    const std::string real = std::filesystem::canonical(home).string();
    auto folderOf = [&](const std::string& path) {
        std::string inHome = path.starts_with(real) ? home + path.substr(real.size()) : path;
        return inHome.substr(0, inHome.rfind('/'));
    };
    const auto steps = testsupport::readKilledSteps(plan.log);
    std::vector<std::string> placed;
    for (auto step = steps.begin(); step != steps.end(); ++step) {
        if (step->kind != "rename" || step->second.find("/ImageCache/") != std::string::npos)
            continue;
        const std::string folder = folderOf(step->second);
        placed.push_back(step->second.substr(home.size() + 1));
        auto next = std::find_if(step + 1, steps.end(), [&](const auto& later) {
            return folderOf(later.path) == folder || (later.kind == "flush" && later.path == std::filesystem::canonical(folder).string());
        });
        EXPECT_TRUE(next != steps.end() && next->kind == "flush" && next->path == std::filesystem::canonical(folder).string())
            << "after " << step->second << " came " << (next == steps.end() ? "nothing" : next->kind + " " + next->path);
    }
    for (const char* file : { "Library/Preferences/com.quorvane.gifts.plist", "Library/Keychains/generic-passwords.plist",
             "Library/Pasteboards/parley_register.plist", "Documents/GameDatabase.sqlite" })
        EXPECT_NE(std::find(placed.begin(), placed.end(), file), placed.end()) << file;
}
