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
    nested.set("title", "星海战纪新手礼包");
    pf::Value list;
    list.append("first");
    list.append(12);
    list.append(pf::Bytes {0, 1, 2});
    list.append(nested);
    return list;
}

}

TEST(PlistFileManager, EachKindRoundTripsAndWhatCannotBeReadAsItsKindReadsAsNothing)
{
    pf::TaskEnvironment env;
    pf::Value dictionary;
    dictionary.set("items", sampleList());

    ASSERT_TRUE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", sampleList()));
    EXPECT_EQ(PlistFileManager::readArrayFromPlistFile("list.plist"), sampleList());
    ASSERT_TRUE(PlistFileManager::writePlistFileDictionaryInfoInto("dict.plist", dictionary));
    EXPECT_EQ(PlistFileManager::readDictionaryFromPlistFile("dict.plist"), dictionary);
    ASSERT_TRUE(PlistFileManager::writePlistFileDataInfoInto("raw.bin", pf::Bytes {0, 0xff, 0}));
    EXPECT_EQ(PlistFileManager::readDataFromPlistFile("raw.bin"), (pf::Bytes {0, 0xff, 0}));

    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("absent.plist"));
    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("dict.plist"));
    auto whole = *pf::FileManager::read(documentsFile("list.plist"));
    ASSERT_TRUE(pf::FileManager::writeAtomically(documentsFile("cut.plist"), pf::Bytes(whole.begin(), whole.begin() + whole.size() / 2)));
    EXPECT_FALSE(PlistFileManager::readArrayFromPlistFile("cut.plist"));
    ASSERT_TRUE(pf::FileManager::writeAtomically(documentsFile("huge.bin"), pf::Bytes(PlistFileManager::kMaxFileBytes + 1, 'x')));
    EXPECT_FALSE(PlistFileManager::readDataFromPlistFile("huge.bin"));
}

TEST(PlistFileManager, NamesLeavingTheFolderAndWrongKindsAreRefusedAndTheFileKeepsItsContents)
{
    pf::TaskEnvironment env;
    for (const char* name : {"", ".", "..", "../escape.plist", "a/b.plist"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(PlistFileManager::writePlistFileDataInfoInto(name, pf::Bytes {1}));
        EXPECT_FALSE(PlistFileManager::readDataFromPlistFile(name));
    }
    EXPECT_FALSE(pf::FileManager::exists(pf::FileManager::join(pf::Sandbox::current()->homePath(), "escape.plist")));

    ASSERT_TRUE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", sampleList()));
    EXPECT_FALSE(PlistFileManager::writePlistFileArrayInfoInto("list.plist", pf::Value("text")));
    EXPECT_FALSE(PlistFileManager::writePlistFileDictionaryInfoInto("list.plist", sampleList()));
    EXPECT_EQ(PlistFileManager::readArrayFromPlistFile("list.plist"), sampleList());
}
