#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

using namespace pf;

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
