#include "core/storage/PlistFileManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

namespace {

std::string documentsFile(const std::string& name)
{
    return pf::FileManager::join(pf::Sandbox::current()->documentsPath(), name);
}

pf::Value sampleList()
{
    pf::Value nested;
    nested.set("fid", 7);
    nested.set("title", "星海战纪新手礼包");
    pf::Value list;
    list.append("first");
    list.append(12);
    list.append(pf::Bytes {0, 1, 2});
    list.append(nested);
    return list;
}

}

TEST(PlistFileManager, EachKindRoundTripsWholeAndAWriteReplacesTheFile)
{
    pf::TaskEnvironment env;

    EXPECT_TRUE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", sampleList()));
    EXPECT_EQ(PlistFileManager::readArrayFromPlistFile("list.plist"), sampleList());
    pf::Value shorter;
    shorter.append("only");
    EXPECT_TRUE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", shorter));
    EXPECT_EQ(PlistFileManager::readArrayFromPlistFile("list.plist"), shorter);

    pf::Value dictionary;
    dictionary.set("name", "礼包");
    dictionary.set("count", 3);
    dictionary.set("items", sampleList());
    EXPECT_TRUE(PlistFileManager::writePlistFileDictionaryInfoInto("dict.plist", dictionary));
    EXPECT_EQ(PlistFileManager::readDictionaryFromPlistFile("dict.plist"), dictionary);

    pf::Bytes raw {0, 0xff, 'a', 0};
    EXPECT_TRUE(PlistFileManager::writePlistFileDataInfoInto("raw.bin", raw));
    EXPECT_EQ(PlistFileManager::readDataFromPlistFile("raw.bin"), raw);
    EXPECT_TRUE(PlistFileManager::writePlistFileDataInfoInto("empty.bin", {}));
    EXPECT_EQ(PlistFileManager::readDataFromPlistFile("empty.bin"), pf::Bytes {});

    // What was written lies in the documents folder under its own name.
    EXPECT_TRUE(pf::FileManager::exists(documentsFile("list.plist")));
    EXPECT_TRUE(pf::FileManager::exists(documentsFile("raw.bin")));
}

TEST(PlistFileManager, MissingDamagedOrOtherKindsOfFilesReadAsNothing)
{
    pf::TaskEnvironment env;

    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("absent.plist"));
    EXPECT_FALSE(PlistFileManager::readDictionaryFromPlistFile("absent.plist"));
    EXPECT_FALSE(PlistFileManager::readDataFromPlistFile("absent.bin"));

    // A dictionary's file read as a list. (A list's archive is itself a dictionary on disk, so
    // reading it as one gives the archive's layout, as the system's own reader would.)
    ASSERT_TRUE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", sampleList()));
    pf::Value dictionary;
    dictionary.set("a", 1);
    ASSERT_TRUE(PlistFileManager::writePlistFileDictionaryInfoInto("dict.plist", dictionary));
    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("dict.plist"));

    // Garbage, a cut archive and a file over the limit.
    ASSERT_TRUE(pf::FileManager::writeAtomically(documentsFile("garbage.plist"), std::string_view("not a plist")));
    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("garbage.plist"));
    EXPECT_FALSE(PlistFileManager::readDictionaryFromPlistFile("garbage.plist"));
    auto whole = pf::FileManager::read(documentsFile("list.plist"));
    ASSERT_TRUE(whole);
    pf::Bytes cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(whole->size() / 2));
    ASSERT_TRUE(pf::FileManager::writeAtomically(documentsFile("cut.plist"), cut));
    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("cut.plist"));
    pf::Bytes huge(PlistFileManager::kMaxFileBytes + 1, 'x');
    ASSERT_TRUE(pf::FileManager::writeAtomically(documentsFile("huge.bin"), huge));
    EXPECT_FALSE(PlistFileManager::readDataFromPlistFile("huge.bin"));
    EXPECT_FALSE(PlistFileManager::writePlistFileDataInfoInto("huge2.bin", huge));
}

TEST(PlistFileManager, NamesThatLeaveTheDocumentsFolderAndWrongKindsAreRefusedLeavingFilesAsTheyWere)
{
    pf::TaskEnvironment env;

    for (const char* name : {"", ".", "..", "../escape.plist", "a/b.plist", "/tmp/abs.plist"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(PlistFileManager::writePlistFileArrayInfoInto(name, sampleList()));
        EXPECT_FALSE(PlistFileManager::writePlistFileDataInfoInto(name, pf::Bytes {1}));
        EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile(name));
        EXPECT_FALSE(PlistFileManager::readDataFromPlistFile(name));
    }
    EXPECT_FALSE(PlistFileManager::writePlistFileDataInfoInto(std::string_view("a\0b", 3), pf::Bytes {1}));
    EXPECT_FALSE(pf::FileManager::exists(pf::FileManager::join(pf::Sandbox::current()->libraryPath(), "escape.plist")));

    // A value of the wrong kind is not written and the file keeps what it had.
    ASSERT_TRUE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", sampleList()));
    EXPECT_FALSE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", pf::Value("text")));
    EXPECT_FALSE(PlistFileManager::writePlistFileDictionaryInfoInto("list.plist", sampleList()));
    EXPECT_EQ(PlistFileManager::readArrayFromPlistFile("list.plist"), sampleList());
}
