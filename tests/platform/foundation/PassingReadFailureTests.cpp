#include "platform/foundation/FileManager.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/FullDisk.h"
#include "tests/support/KillAtStep.h"
#include "tests/support/UnreadableRange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace pf;
using testsupport::UnreadableRange;

namespace {

std::string capturedText()
{
    std::string text;
    for (const auto& line : Log::captured())
        text += line + "\n";
    return text;
}

// A store read whole from its file: `seed` stores a value through it, `load` is a new launch's
// read of it (true when the value is there), `change` a change made through it.
struct WholeFileStore {
    const char* name;
    std::function<std::string()> path;
    std::function<void()> seed;
    std::function<bool()> load;
    std::function<void()> change;
};

std::vector<WholeFileStore> wholeFileStores()
{
    return {
        { "settings", [] { return UserDefaults::standard()->path(); },
            [] {
                UserDefaults::standard()->setString("usertoken", "tok");
                UserDefaults::resetStandard();
            },
            [] {
                UserDefaults::resetStandard();
                return UserDefaults::standard()->stringForKey("usertoken") == "tok";
            },
            [] { UserDefaults::standard()->setString("later", "1"); } },
        { "keychain", [] { return Keychain::standard().passwordsPath(); },
            [] { ASSERT_EQ(Keychain::standard().addPassword("svc", "acct", Bytes { 7 }), Keychain::Status::Success); },
            [] { return Keychain::standard().passwordData("svc", "acct") == Bytes { 7 }; },
            [] { EXPECT_EQ(Keychain::standard().addPassword("later", "acct", Bytes { 1 }), Keychain::Status::WriteFailed); } },
        { "pasteboard", [] { return FileManager::join(Sandbox::current()->libraryPath(), "Pasteboards/registry.plist"); },
            [] {
                auto board = Pasteboard::withName("registry", true);
                board->setPersistent(true);
                board->setItems({ { { "other app", Bytes { 1, 2 } } } });
                Pasteboard::forgetUnsaved();
            },
            [] {
                Pasteboard::forgetUnsaved();
                auto board = Pasteboard::withName("registry", false);
                return board && board->dataForType("other app") == Bytes { 1, 2 };
            },
            [] { Pasteboard::withName("registry", true)->setItems({ { { "this app", Bytes { 3 } } } }); } },
    };
}

}

// A read of a stored file that fails once, as a disk's sector read again or a network file
// system's server back, is made again: the store reads every entry, and nothing is set aside.
// One that fails at every try leaves the file where it is, untouched through the store's
// changes, until it reads again.
TEST(PassingReadFailures, EachStoreReadWholeIsReadThroughAFailureThatPassesAndNeverWritesOverOneThatLasts)
{
    TaskEnvironment env;
    for (const WholeFileStore& store : wholeFileStores()) {
        SCOPED_TRACE(store.name);
        store.seed();
        const std::string path = store.path();
        const auto original = FileManager::read(path);
        ASSERT_TRUE(original);
        for (int error : { EIO, ETIMEDOUT }) {
            SCOPED_TRACE(error);
            UnreadableRange once(path, 0, original->size(), 1, error);
            EXPECT_TRUE(store.load());
            EXPECT_EQ(UnreadableRange::refusals(), 1);
        }
        {
            UnreadableRange lasting(path, 0, original->size(), UnreadableRange::kEveryRead, EIO);
            Log::startCapture();
            EXPECT_FALSE(store.load());
            store.change();
            EXPECT_TRUE(Log::contains("cannot be read now (Input/output error)")) << capturedText();
            Log::stopCapture();
        }
        EXPECT_EQ(FileManager::read(path), original) << "left as it was";
        EXPECT_TRUE(FileManager::asidePaths(path).empty());
    }

    // Once it reads, the settings' file is taken in under the changes made meanwhile.
    UserDefaults::standard()->setString("again", "2");
    EXPECT_EQ(UserDefaults::standard()->stringForKey("usertoken"), "tok");
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard()->stringForKey("later"), "1");
    EXPECT_EQ(UserDefaults::standard()->stringForKey("again"), "2");
    // The pasteboard's, copied aside before it is written with the content set meanwhile.
    const std::string board = wholeFileStores()[2].path();
    const auto before = FileManager::read(board);
    Pasteboard::withName("registry", true)->setItems({ { { "this app", Bytes { 4 } } } });
    ASSERT_EQ(FileManager::asidePaths(board).size(), 1u);
    EXPECT_EQ(FileManager::read(FileManager::asidePath(board)), before);
}

// A folder in place of the settings: the launch goes on without them, with one line however
// often they change, and the folder keeps all it holds.
TEST(PassingReadFailures, AFolderInPlaceOfTheSettingsIsOneLineALaunch)
{
    TaskEnvironment env;
    const std::string path = UserDefaults::standard()->path();
    UserDefaults::resetStandard();
    ASSERT_TRUE(FileManager::createDirectory(path + "/inside", true));
    Log::startCapture();
    for (int i = 0; i < 12; ++i)
        UserDefaults::standard()->setInteger("n", i);
    EXPECT_EQ(UserDefaults::standard()->integerForKey("n"), 11);
    const std::string said = capturedText();
    Log::stopCapture();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("a folder lies there"), std::string::npos) << said;
    EXPECT_TRUE(FileManager::isDirectory(path + "/inside"));
}

// On a full disk a value that must not seem kept is refused whole, and a removal (a sign-out)
// is kept by an empty mark until the settings can be written without the key: the next launch
// leaves the key out, and the first write with room removes it from the file. A write that
// fails says why, once.
TEST(UserDefaults, OnAFullDiskARemovalIsKeptUntilTheFileCanBeWrittenWithoutTheKey)
{
    TaskEnvironment env;
    auto defaults = UserDefaults::standard();
    const std::string path = defaults->path();
    defaults->setString("usertoken", "tok");
    defaults->setString("other", "kept");
    const auto written = FileManager::read(path);
    const std::string mark = path + ".removed-" + "75736572746f6b656e";
    {
        testsupport::FullDisk full(Sandbox::current()->preferencesPath());
        Log::startCapture();
        EXPECT_FALSE(defaults->setObjectIfWritten("usertoken", Value("new")));
        EXPECT_EQ(defaults->stringForKey("usertoken"), "tok") << "the earlier value stays";
        defaults->removeObjectForKey("usertoken");
        defaults->setString("more", "1");
        EXPECT_FALSE(defaults->stringForKey("usertoken"));
        const std::string said = capturedText();
        Log::stopCapture();
        EXPECT_EQ(FileManager::read(path), written);
        EXPECT_TRUE(FileManager::isOwnFile(mark));
        const std::string reason = "cannot write " + path + ": No space left on device";
        EXPECT_NE(said.find(reason), std::string::npos) << said;
        EXPECT_EQ(said.find(reason), said.rfind(reason)) << "said once: " << said;

        UserDefaults::resetStandard();
        EXPECT_FALSE(UserDefaults::standard()->stringForKey("usertoken")) << "a launch with the disk still full";
        EXPECT_EQ(UserDefaults::standard()->stringForKey("other"), "kept");
    }
    UserDefaults::resetStandard();
    EXPECT_FALSE(UserDefaults::standard()->stringForKey("usertoken"));
    EXPECT_FALSE(FileManager::isOccupied(mark));
    const auto now = FileManager::read(path);
    ASSERT_TRUE(now);
    EXPECT_EQ(std::string(now->begin(), now->end()).find("tok"), std::string::npos) << "no token on disk";

    // A launch killed at any step of writing the removal it finds: the next one still has none.
    const std::string child = FileManager::join(Sandbox::current()->preferencesPath(), "child.plist");
    const std::string childMark = child + ".removed-" + "75736572746f6b656e";
    auto seed = [&] {
        UserDefaults settings(child);
        settings.setString("usertoken", "tok");
        testsupport::FullDisk full(Sandbox::current()->preferencesPath());
        settings.removeObjectForKey("usertoken");
    };
    auto launch = [&](long at, bool after, const std::string& log) {
        testsupport::KillPlan plan;
        plan.under = Sandbox::current()->preferencesPath();
        plan.at = at;
        plan.after = after;
        plan.log = log;
        return testsupport::runChildProcess({ STORE_CHILD, Sandbox::current()->homePath(), "settings-launch" },
            testsupport::killAtStepEnvironment(plan));
    };
    seed();
    const std::string log = FileManager::join(Sandbox::current()->tmpPath(), "launch.steps");
    ASSERT_EQ(launch(0, false, log).status, 0);
    const auto steps = testsupport::readKilledSteps(log);
    ASSERT_GE(steps.size(), 3u);
    for (const auto& step : steps) {
        for (bool after : { false, true }) {
            SCOPED_TRACE(step.kind + " " + step.path + (after ? " (after)" : " (before)"));
            FileManager::removeFile(child);
            FileManager::removeFile(childMark);
            seed();
            EXPECT_TRUE(testsupport::wasKilled(launch(step.number, after, "")));
            UserDefaults settings(child);
            EXPECT_FALSE(settings.stringForKey("usertoken"));
            EXPECT_FALSE(FileManager::isOccupied(childMark));
            const auto bytes = FileManager::read(child);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(std::string(bytes->begin(), bytes->end()).find("tok"), std::string::npos);
        }
    }
}
