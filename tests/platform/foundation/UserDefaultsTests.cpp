#include "HostilePropertyLists.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace pf;

TEST(UserDefaults, KeepsEveryTypeAcrossARestart)
{
    TaskEnvironment env;
    {
        auto defaults = UserDefaults::standard();
        defaults->setString("usertoken", "tok");
        defaults->setBool("flag", true);
        defaults->setInteger("count", -7);
        defaults->setDouble("ratio", 0.25);
        defaults->setDate("when", Date { 1'400'000'000.5 });
        defaults->setData("blob", Bytes { 1, 2, 3 });
        defaults->setArray("list", Array { "a", 1 });
        defaults->setDictionary("dict", Dictionary { { "k", "v" } });
        // No synchronise: every change is already on disk.
    }
    UserDefaults::resetStandard();
    auto defaults = UserDefaults::standard();
    EXPECT_EQ(defaults->stringForKey("usertoken"), "tok");
    EXPECT_TRUE(defaults->boolForKey("flag"));
    EXPECT_EQ(defaults->integerForKey("count"), -7);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("ratio"), 0.25);
    EXPECT_DOUBLE_EQ(defaults->dateForKey("when")->secondsSince1970(), 1'400'000'000.5);
    EXPECT_EQ(defaults->dataForKey("blob"), (Bytes { 1, 2, 3 }));
    EXPECT_EQ(defaults->arrayForKey("list"), (Array { "a", 1 }));
    EXPECT_EQ(defaults->dictionaryForKey("dict"), (Dictionary { { "k", "v" } }));
    EXPECT_TRUE(defaults->synchronize());
}

TEST(UserDefaults, TypedReadsOfOtherTypesAndAbsentKeys)
{
    TaskEnvironment env;
    auto defaults = UserDefaults::standard();
    EXPECT_FALSE(defaults->stringForKey("imei"));
    EXPECT_FALSE(defaults->boolForKey("imei"));
    EXPECT_EQ(defaults->integerForKey("imei"), 0);
    defaults->setInteger("n", 12);
    EXPECT_EQ(defaults->stringForKey("n"), "12"); // numbers read as their text
    EXPECT_FALSE(defaults->arrayForKey("n"));
    defaults->setString("s", "34");
    EXPECT_EQ(defaults->integerForKey("s"), 34);
    EXPECT_FALSE(defaults->dataForKey("s"));
}

TEST(UserDefaults, RemoveNullAndRegisteredDefaults)
{
    TaskEnvironment env;
    auto defaults = UserDefaults::standard();
    defaults->registerDefaults(Dictionary { { "interval", 30 } });
    EXPECT_EQ(defaults->integerForKey("interval"), 30);
    defaults->setInteger("interval", 5);
    EXPECT_EQ(defaults->integerForKey("interval"), 5);
    defaults->removeObjectForKey("interval");
    EXPECT_EQ(defaults->integerForKey("interval"), 30);

    defaults->setString("usertoken", "t");
    defaults->setObject("usertoken", Value::null());
    EXPECT_TRUE(defaults->objectForKey("usertoken").isMissing());
    // A value the file cannot hold is refused without spoiling the others.
    defaults->setString("kept", "yes");
    defaults->setArray("bad", Array { Value::null() });
    EXPECT_FALSE(defaults->arrayForKey("bad"));
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard()->stringForKey("kept"), "yes");
    EXPECT_EQ(UserDefaults::standard()->integerForKey("interval"), 0); // registration is not stored
    EXPECT_EQ(UserDefaults::standard()->arrayForKey("AppleLanguages")->front().stringValue(), "zh-Hans");

    // Several keys at once (one of them absent): the others stay, on disk too.
    UserDefaults::standard()->setString("a", "1");
    UserDefaults::standard()->setString("b", "2");
    UserDefaults::standard()->removeObjectsForKeys({ "a", "absent", "kept" });
    UserDefaults::resetStandard();
    EXPECT_TRUE(UserDefaults::standard()->objectForKey("a").isMissing());
    EXPECT_TRUE(UserDefaults::standard()->objectForKey("kept").isMissing());
    EXPECT_EQ(UserDefaults::standard()->stringForKey("b"), "2");
}

TEST(UserDefaults, TextsAndKeysTheFileWouldCutAreRefused)
{
    TaskEnvironment env;
    auto defaults = UserDefaults::standard();
    defaults->setString("key", "kept");
    defaults->setString(std::string("key\0one", 7), "written as \"key\"");
    defaults->setString("name", "caf\xE9 au lait");
    EXPECT_TRUE(defaults->objectForKey(std::string("key\0one", 7)).isMissing());
    EXPECT_FALSE(defaults->stringForKey("name"));
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard()->stringForKey("key"), "kept");
}

TEST(UserDefaults, ACorruptFileIsSetAsideNotFatal)
{
    TaskEnvironment env;
    std::string path = UserDefaults::standard()->path();
    UserDefaults::resetStandard();
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view("garbage, not a plist")));
    auto defaults = UserDefaults::standard();
    EXPECT_FALSE(defaults->stringForKey("anything"));
    EXPECT_TRUE(FileManager::exists(path + ".corrupt"));
    defaults->setString("fresh", "1");
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard()->stringForKey("fresh"), "1");
}

// One setting that does not read costs only itself: the others stay live through this app's
// writes, and the file as it was is kept in one copy set aside, however often it is read.
TEST(UserDefaults, ASettingThatDoesNotReadCostsOnlyItself)
{
    TaskEnvironment env;
    std::string path = UserDefaults::standard()->path();
    UserDefaults::resetStandard();
    Bytes original = *PropertyList::write(Dictionary { { "other", "kept" }, { "keyX", 1 }, { "name", "cafX" },
                                              { "list", Array { 1, Dictionary { { "deep", "a??b" } } } }, { "mine", "old" } },
        PropertyList::Format::Binary);
    original = hostile_plist::withReplaced(original, "keyX", std::string_view("key\0", 4));
    original = hostile_plist::withReplaced(original, "cafX", "caf\xE9");
    original = hostile_plist::withReplaced(original, "a??b", "a\xC0\x80" "b");
    ASSERT_TRUE(FileManager::writeAtomically(path, original));

    for (int launch = 0; launch < 2; ++launch) {
        UserDefaults::resetStandard();
        auto defaults = UserDefaults::standard();
        EXPECT_EQ(defaults->stringForKey("other"), "kept");
        EXPECT_EQ(defaults->stringForKey("mine"), "old");
        EXPECT_TRUE(defaults->objectForKey("name").isMissing());
        EXPECT_TRUE(defaults->objectForKey("list").isMissing());
    }
    UserDefaults::standard()->setString("mine", "new");
    UserDefaults::resetStandard();
    auto defaults = UserDefaults::standard();
    EXPECT_EQ(defaults->stringForKey("other"), "kept");
    EXPECT_EQ(defaults->stringForKey("mine"), "new");
    EXPECT_EQ(FileManager::asidePaths(path), std::vector<std::string> { FileManager::asidePath(path) });
    EXPECT_EQ(FileManager::read(FileManager::asidePath(path)), original);
}

TEST(UserDefaults, ConcurrentWritersLoseNothing)
{
    TaskEnvironment env;
    auto defaults = UserDefaults::standard();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([defaults, t] {
            for (int i = 0; i < 25; ++i)
                defaults->setInteger("k" + std::to_string(t) + "_" + std::to_string(i), i);
        });
    for (auto& th : threads)
        th.join();
    UserDefaults::resetStandard();
    auto reloaded = UserDefaults::standard();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(reloaded->integerForKey("k" + std::to_string(t) + "_" + std::to_string(i)), i);
}
