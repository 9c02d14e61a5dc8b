#include "HostilePropertyLists.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

// The saved file of a pasteboard whose name needs no escaping.
std::string fileOf(const std::string& name)
{
    return Sandbox::current()->libraryPath() + "/Pasteboards/" + name + ".plist";
}

Bytes savedFile(const std::string& name, const Value& content)
{
    FileManager::createDirectory(Sandbox::current()->libraryPath() + "/Pasteboards", true);
    auto bytes = PropertyList::write(content, PropertyList::Format::Binary);
    EXPECT_TRUE(bytes && FileManager::writeAtomically(fileOf(name), *bytes));
    return bytes.value_or(Bytes {});
}

}

TEST(Pasteboard, TheGeneralPasteboardIsSharedAndKeepsText)
{
    TaskEnvironment env;
    auto general = Pasteboard::general();
    EXPECT_FALSE(general->string());
    int before = general->changeCount();
    general->setString("ABCD-1234-卡密");
    EXPECT_EQ(Pasteboard::general()->string(), "ABCD-1234-卡密");
    EXPECT_GT(general->changeCount(), before);
    EXPECT_TRUE(general->isPersistent());

    // Data for a type replaces the content; clearing a type keeps the others.
    general->setItems({ { { "com.morrow.lmapi.data1", Bytes { 1 } }, { "other", Bytes { 2 } } }, { { "second", Bytes { 3 } } } });
    EXPECT_EQ(general->numberOfItems(), 2u);
    EXPECT_EQ(general->types(), (std::vector<std::string> { "com.morrow.lmapi.data1", "other" }));
    EXPECT_EQ(general->dataForType("second"), Bytes { 3 });
    general->removeType("com.morrow.lmapi.data1");
    EXPECT_FALSE(general->dataForType("com.morrow.lmapi.data1"));
    general->removeType("second");
    EXPECT_EQ(general->numberOfItems(), 1u);
    general->setData(Bytes { 9 }, "t");
    EXPECT_EQ(general->numberOfItems(), 1u);
    EXPECT_FALSE(general->string());
    general->clear();
    EXPECT_EQ(general->numberOfItems(), 0u);
}

TEST(Pasteboard, NamedPasteboardsCreateFindAndRemove)
{
    TaskEnvironment env;
    EXPECT_FALSE(Pasteboard::withName("parley_register", false));
    auto board = Pasteboard::withName("parley_register", true);
    ASSERT_TRUE(board);
    EXPECT_EQ(Pasteboard::withName("parley_register", false), board);
    auto unique1 = Pasteboard::withUniqueName();
    auto unique2 = Pasteboard::withName("", true);
    EXPECT_NE(unique1->name(), unique2->name());
    EXPECT_FALSE(Pasteboard::withName("", false));
    Pasteboard::remove("parley_register");
    EXPECT_FALSE(Pasteboard::withName("parley_register", false));
}

TEST(Pasteboard, OnlyPersistentOnesSurviveARestart)
{
    TaskEnvironment env;
    auto kept = Pasteboard::withName("blipsdk_transfer_0123", true);
    kept->setPersistent(true);
    kept->setData(Bytes { 1, 2, 3 }, "blip.type");
    Pasteboard::withName("temporary", true)->setString("gone");
    Pasteboard::general()->setString("general text");

    Pasteboard::forgetUnsaved();
    auto back = Pasteboard::withName("blipsdk_transfer_0123", false);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isPersistent());
    EXPECT_EQ(back->dataForType("blip.type"), (Bytes { 1, 2, 3 }));
    EXPECT_FALSE(Pasteboard::withName("temporary", false));
    EXPECT_EQ(Pasteboard::general()->string(), "general text");

    // No longer persistent: its file goes, and with it the content after a restart.
    back->setPersistent(false);
    Pasteboard::forgetUnsaved();
    EXPECT_FALSE(Pasteboard::withName("blipsdk_transfer_0123", false));
}

TEST(Pasteboard, HostileNamesStayInsideThePasteboardFolder)
{
    TaskEnvironment env;
    std::string library = Sandbox::current()->libraryPath();
    for (const char* name : { "../../escape", "/etc/passwd", "..", "a/b", "名字" }) {
        auto board = Pasteboard::withName(name, true);
        board->setPersistent(true);
        board->setString(name);
    }
    EXPECT_FALSE(FileManager::exists(Sandbox::current()->homePath() + "/escape.plist"));
    for (const auto& entry : FileManager::enumerate(Sandbox::current()->homePath())) {
        if (entry.find(".plist") != std::string::npos) {
            EXPECT_EQ(entry.rfind("Library/Pasteboards/", 0), 0u) << entry;
        }
    }
    Pasteboard::forgetUnsaved();
    EXPECT_EQ(Pasteboard::withName("../../escape", false)->string(), "../../escape");
    EXPECT_EQ(Pasteboard::withName("名字", false)->string(), "名字");
}

TEST(Pasteboard, ACorruptFileReadsAsNoPasteboard)
{
    TaskEnvironment env;
    auto board = Pasteboard::withName("p", true);
    board->setPersistent(true);
    board->setString("x");
    Pasteboard::forgetUnsaved();
    for (const auto& entry : FileManager::enumerate(Sandbox::current()->libraryPath() + "/Pasteboards"))
        FileManager::writeAtomically(Sandbox::current()->libraryPath() + "/Pasteboards/" + entry, std::string_view("junk"));
    EXPECT_FALSE(Pasteboard::withName("p", false));
}

TEST(Pasteboard, ASavedFileKeepsWhatItsItemsCannotShow)
{
    TaskEnvironment env;
    const Value note("a text under a type");
    savedFile("shared", Dictionary {
        { "name", "shared" }, { "changeCount", 3 }, { "written by", "a later version" },
        { "items", Array {
            Dictionary { { "a", Bytes { 1 } }, { "note", note }, { "count", 5 } },
            Value("no item"),
            Dictionary { { "note", note } },
        } },
    });
    auto board = Pasteboard::withName("shared", false);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->items(), (std::vector<Pasteboard::Item> { { { "a", Bytes { 1 } } }, {}, {} }));
    EXPECT_FALSE(board->dataForType("note"));
    auto saved = [] { return *PropertyList::readFile(fileOf("shared")); };

    // Adding, and handing the items back with one put first (a registry of apps), keep them.
    board->addItems({ { { "b", Bytes { 2 } } } });
    auto items = board->items();
    items.insert(items.begin(), Pasteboard::Item { { "mine", Bytes { 3 } } });
    board->setItems(items);
    EXPECT_EQ(saved()["items"], Value(Array {
        Dictionary { { "mine", Bytes { 3 } } },
        Dictionary { { "a", Bytes { 1 } }, { "note", note }, { "count", 5 } },
        Value("no item"),
        Dictionary { { "note", note } },
        Dictionary { { "b", Bytes { 2 } } },
    }));
    EXPECT_EQ(saved()["written by"], Value("a later version"));

    // Removing a type removes it of every kind; replaced content keeps nothing of the old.
    board->removeType("note");
    EXPECT_EQ(saved()["items"][1], Value(Dictionary { { "a", Bytes { 1 } }, { "count", 5 } }));
    EXPECT_EQ(board->numberOfItems(), 4u) << "the item holding only the text went";
    board->setItems({ { { "a", Bytes { 9 } } } });
    EXPECT_EQ(saved()["items"], Value(Array { Dictionary { { "a", Bytes { 9 } } } }));
    EXPECT_EQ(saved()["written by"], Value("a later version"));
}

// A file that cannot be read is set aside before anything is written in its place, each in a
// copy of its own.
TEST(Pasteboard, AnUnreadableFileIsSetAsideBeforeItIsWrittenOver)
{
    TaskEnvironment env;
    const Value registration(Dictionary { { "other app", Bytes { 1, 2 } } });
    struct Case {
        const char* name;
        Bytes bytes;
    };
    auto plist = [](const Value& v) { return *PropertyList::write(v, PropertyList::Format::Binary); };
    const Case cases[] = {
        { "no property list", Bytes { 'j', 'u', 'n', 'k' } },
        { "no dictionary", plist(Array { registration }) },
        { "items that are no list", plist(Dictionary { { "name", "registry" }, { "items", registration } }) },
    };
    FileManager::createDirectory(Sandbox::current()->libraryPath() + "/Pasteboards", true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pasteboard::forgetUnsaved();
        ASSERT_TRUE(FileManager::writeAtomically(fileOf("registry"), c.bytes));
        EXPECT_FALSE(Pasteboard::withName("registry", false));
        EXPECT_FALSE(FileManager::exists(fileOf("registry")));
        auto board = Pasteboard::withName("registry", true);
        board->setPersistent(true);
        board->setItems({ { { "this app", Bytes { 4 } } } });
        ASSERT_EQ(FileManager::asidePaths(fileOf("registry")).size(), static_cast<size_t>(&c - cases + 1));
        EXPECT_EQ(FileManager::read(FileManager::asidePaths(fileOf("registry")).back()), c.bytes);
        Pasteboard::forgetUnsaved();
        EXPECT_EQ(Pasteboard::withName("registry", false)->dataForType("this app"), Bytes { 4 });
    }
}

// An item or a key of the file that does not read costs only itself: the other apps' items
// stay live through this app's change, and the file as it was is kept in a copy set aside.
TEST(Pasteboard, AnEntryThatDoesNotReadCostsOnlyItself)
{
    TaskEnvironment env;
    const Pasteboard::Item other { { "other app", Bytes { 1, 2 } } };
    Bytes original = savedFile("registry", Dictionary { { "name", "registry" }, { "changeCount", 1 }, { "keyX", "kept" },
        { "items", Array { Dictionary { { "keyZone", Bytes { 3 } } }, Dictionary { { "other app", Bytes { 1, 2 } } }, Dictionary { { "this app", Bytes { 4 } } },
                       Dictionary { { "nested", Dictionary { { "deep", "cafX" } } }, { "data", Bytes { 5 } } } } } });
    auto damage = [&](std::string_view from, std::string_view to) { original = hostile_plist::withReplaced(original, from, to); };
    damage("keyZone", std::string_view("key\0one", 7)); // an item type holding a NUL
    damage("cafX", "caf\xE9");                          // a text deep inside an item, not UTF-8
    damage("keyX", "key\x96");                          // a key of the file, not UTF-8
    ASSERT_TRUE(FileManager::writeAtomically(fileOf("registry"), original));

    auto board = Pasteboard::withName("registry", false);
    ASSERT_TRUE(board);
    EXPECT_EQ(board->items(), (std::vector<Pasteboard::Item> { other, { { "this app", Bytes { 4 } } } }));
    // This app replaces its own item and hands the other back, as a registry does.
    board->setItems({ other, { { "this app", Bytes { 6 } } } });
    Pasteboard::forgetUnsaved();
    auto again = Pasteboard::withName("registry", false);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->items(), (std::vector<Pasteboard::Item> { other, { { "this app", Bytes { 6 } } } }));
    EXPECT_EQ(FileManager::asidePaths(fileOf("registry")), std::vector<std::string> { FileManager::asidePath(fileOf("registry")) });
    EXPECT_EQ(FileManager::read(FileManager::asidePath(fileOf("registry"))), original);
}

// A type the file could not hold is refused where it is set; what else is set is saved, and
// so is every later change.
TEST(Pasteboard, ATypeTheFileCouldNotHoldIsRefusedAndTheRestIsSaved)
{
    TaskEnvironment env;
    auto board = Pasteboard::withName("types", true);
    board->setPersistent(true);
    board->setData(Bytes { 1 }, "kept");
    board->setData(Bytes { 2 }, std::string("key\0zone", 8));
    board->addItems({ { { std::string("caf\xE9"), Bytes { 3 } }, { "beside", Bytes { 4 } } } });
    board->addItems({ { { "later", Bytes { 5 } } } });
    Pasteboard::forgetUnsaved();
    auto saved = Pasteboard::withName("types", false);
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->numberOfItems(), 3u);
    EXPECT_EQ(saved->dataForType("kept"), Bytes { 1 });
    EXPECT_EQ(saved->dataForType("beside"), Bytes { 4 });
    EXPECT_EQ(saved->dataForType("later"), Bytes { 5 });
}
