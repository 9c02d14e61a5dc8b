#include "HostilePropertyLists.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Keychain.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/FullDisk.h"
#include "tests/support/KillAtStep.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pf;

namespace {

// A store whose file holds entries that read beside one that does not (a key holding a NUL, a
// text that is not UTF-8), as the child program loads and changes it
// (tests/platform/foundation/child/StoreChild.cpp).
struct DamagedStore {
    const char* name; // the child's argument
    std::string file;
    Bytes original; // what the file holds before the store is loaded
    // A launch in this process: whether it reads the entries that read before, and then a change
    // of its own, which goes through.
    std::function<bool()> relaunchAndChange;

    std::string folder() const { return file.substr(0, file.rfind('/')); }
};

Bytes damaged(const Value& entries, std::string_view marker, std::string_view damage)
{
    return hostile_plist::withReplaced(*PropertyList::write(entries, PropertyList::Format::Binary), marker, damage);
}

std::string settingsFile()
{
    return FileManager::join(Sandbox::current()->preferencesPath(), "child.plist");
}

Value password(const char* service, std::uint8_t data)
{
    return Value(Dictionary { { "svce", Value(service) }, { "acct", Value("a") }, { "v_Data", Value(Bytes { data }) } });
}

std::vector<DamagedStore> damagedStores()
{
    return {
        { "settings", settingsFile(),
            damaged(Dictionary { { "token", "signed in" }, { "keyX", "a NUL" }, { "mine", "old" } }, "keyX", std::string_view("key\0", 4)),
            [] {
                UserDefaults defaults(settingsFile());
                bool read = defaults.stringForKey("token") == "signed in" && defaults.stringForKey("mine");
                defaults.setString("later", "1");
                return read;
            } },
        { "keychain", Keychain::standard().passwordsPath(), damaged(Array { password("other", 1), password("cafX", 2) }, "cafX", "caf\xE9"),
            [] {
                Keychain keychain = Keychain::standard();
                bool read = keychain.passwordData("other", "a") == Bytes { 1 };
                return keychain.addPassword("later", "a", Bytes { 5 }) == Keychain::Status::Success && read;
            } },
        { "pasteboard", FileManager::join(Sandbox::current()->libraryPath(), "Pasteboards/registry.plist"),
            damaged(Dictionary { { "name", "registry" }, { "changeCount", 1 },
                        { "items", Array { Dictionary { { "other app", Bytes { 1 } } }, Dictionary { { "keyX", Bytes { 2 } } } } } },
                "keyX", std::string_view("key\0", 4)),
            [] {
                Pasteboard::forgetUnsaved();
                auto board = Pasteboard::withName("registry", false);
                if (!board)
                    return false;
                bool read = board->dataForType("other app") == Bytes { 1 };
                board->addItems({ { { "later", Bytes { 5 } } } });
                return read;
            } },
    };
}

bool holds(const std::string& file, const Bytes& bytes)
{
    return FileManager::read(file) == bytes;
}

void seed(const DamagedStore& store)
{
    if (FileManager::exists(store.folder())) {
        ASSERT_TRUE(FileManager::removeItem(store.folder()));
    }
    ASSERT_TRUE(FileManager::createDirectory(store.folder(), true));
    ASSERT_TRUE(FileManager::writeAtomically(store.file, store.original));
}

// The child on `store`, its steps under the store's folder written to `log`, or killed at step
// `at` (before it, or `after`).
testsupport::ChildResult runChild(const DamagedStore& store, const std::string& log, long at = 0, bool after = false)
{
    testsupport::KillPlan plan;
    plan.under = store.folder();
    plan.log = log;
    plan.at = at;
    plan.after = after;
    return testsupport::runChildProcess({ STORE_CHILD, Sandbox::current()->homePath(), store.name },
        testsupport::killAtStepEnvironment(plan));
}

}

// Before a store writes its file without an entry that did not read, it keeps a copy of the file
// aside. Killed before or after any step of that, the file is still there with every entry that
// read, no aside name holds less than the whole file, and the next launch keeps that one copy
// rather than make another.
TEST(StoreSetAside, AKillAtAnyStepLeavesTheEntriesThatReadAndAWholeCopyOrNone)
{
    TaskEnvironment env;
    for (const DamagedStore& store : damagedStores()) {
        SCOPED_TRACE(store.name);
        const std::string log = FileManager::join(Sandbox::current()->tmpPath(), std::string(store.name) + ".steps");
        seed(store);
        testsupport::ChildResult listed = runChild(store, log);
        ASSERT_EQ(listed.status, 0) << listed.errorOutput;
        const auto steps = testsupport::readKilledSteps(log);
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(FileManager::asidePaths(store.file), std::vector<std::string> { FileManager::asidePath(store.file) });

        for (const auto& step : steps) {
            for (bool after : { false, true }) {
                SCOPED_TRACE((after ? "after step " : "before step ") + std::to_string(step.number) + ": " + step.kind + " "
                    + step.path + (step.second.empty() ? "" : " -> " + step.second));
                seed(store);
                auto killed = runChild(store, "", step.number, after);
                ASSERT_TRUE(testsupport::wasKilled(killed)) << killed.errorOutput;
                EXPECT_TRUE(FileManager::exists(store.file));
                for (const auto& aside : FileManager::asidePaths(store.file))
                    EXPECT_TRUE(holds(aside, store.original)) << aside << " holds " << FileManager::size(aside).value_or(0) << " bytes";
                EXPECT_TRUE(store.relaunchAndChange());
                EXPECT_EQ(FileManager::asidePaths(store.file), std::vector<std::string> { FileManager::asidePath(store.file) });
                EXPECT_TRUE(holds(FileManager::asidePath(store.file), store.original));
            }
        }
    }
}

// On a full disk the copy of a file with an entry that does not read cannot be made. Every entry
// that reads stays, in the store and in its file, which is not written (nor set aside) until the
// copy can be made: the settings keep working in memory, a keychain change fails. Once there is
// room, the next write makes the copy first, then writes the file.
TEST(StoreSetAside, OnAFullDiskEveryEntryThatReadsStaysAndTheFileWaitsForItsCopy)
{
    TaskEnvironment env;
    auto stores = damagedStores();
    auto unchanged = [](const DamagedStore& store) {
        EXPECT_TRUE(holds(store.file, store.original));
        EXPECT_TRUE(FileManager::asidePaths(store.file).empty());
    };
    auto copiedThenWritten = [](const DamagedStore& store) {
        EXPECT_EQ(FileManager::asidePaths(store.file), std::vector<std::string> { FileManager::asidePath(store.file) });
        EXPECT_TRUE(holds(FileManager::asidePath(store.file), store.original));
        EXPECT_FALSE(holds(store.file, store.original));
        EXPECT_TRUE(store.relaunchAndChange());
    };

    {
        SCOPED_TRACE("settings");
        const DamagedStore& store = stores[0];
        seed(store);
        std::optional<UserDefaults> defaults;
        {
            testsupport::FullDisk full(store.folder());
            defaults.emplace(store.file);
            EXPECT_EQ(defaults->stringForKey("token"), "signed in");
            defaults->setString("mine", "new");
            EXPECT_FALSE(defaults->synchronize());
            EXPECT_EQ(defaults->stringForKey("mine"), "new");
            EXPECT_GT(testsupport::FullDisk::refusals(), 0);
            unchanged(store);
        }
        EXPECT_TRUE(defaults->synchronize());
        copiedThenWritten(store);
        EXPECT_EQ(UserDefaults(store.file).stringForKey("mine"), "new");
    }
    {
        SCOPED_TRACE("keychain");
        const DamagedStore& store = stores[1];
        seed(store);
        Keychain keychain = Keychain::standard();
        {
            testsupport::FullDisk full(store.folder());
            EXPECT_EQ(keychain.addPassword("mine", "a", Bytes { 9 }), Keychain::Status::WriteFailed);
            EXPECT_EQ(keychain.deletePassword("other", "a"), Keychain::Status::WriteFailed);
            EXPECT_EQ(keychain.passwordData("other", "a"), Bytes { 1 });
            unchanged(store);
        }
        EXPECT_EQ(keychain.addPassword("mine", "a", Bytes { 9 }), Keychain::Status::Success);
        copiedThenWritten(store);
        EXPECT_EQ(keychain.passwordData("mine", "a"), Bytes { 9 });
    }
    {
        SCOPED_TRACE("pasteboard");
        const DamagedStore& store = stores[2];
        seed(store);
        std::shared_ptr<Pasteboard> board;
        {
            testsupport::FullDisk full(store.folder());
            board = Pasteboard::withName("registry", false);
            ASSERT_TRUE(board);
            board->addItems({ { { "mine", Bytes { 9 } } } });
            EXPECT_EQ(board->dataForType("other app"), Bytes { 1 });
            EXPECT_EQ(board->dataForType("mine"), Bytes { 9 });
            unchanged(store);
        }
        board->addItems({ { { "more", Bytes { 8 } } } });
        copiedThenWritten(store);
        EXPECT_EQ(Pasteboard::withName("registry", false)->dataForType("mine"), Bytes { 9 });
    }
}
