#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

std::string makeBundle(const std::string& root)
{
    FileManager::createDirectory(root + "/images", true);
    FileManager::createDirectory(root + "/Kit.bundle", true);
    Value info = Dictionary {
        { "CFBundleIdentifier", "com.example.test" },
        { "CFBundleDisplayName", "礼包" },
        { "CFBundleVersion", "12" },
        { "CFBundleShortVersionString", "1.2" },
        { "CFBundleURLTypes", Array {
            Dictionary { { "CFBundleURLName", "first" }, { "CFBundleURLSchemes", Array { "morrow1", "bp2" } } },
            "not a dictionary",
            Dictionary { { "CFBundleURLSchemes", "not an array" } },
            Dictionary { { "CFBundleURLSchemes", Array { "px3", 7 } } },
        } },
    };
    PropertyList::writeFile(root + "/Info.plist", info, PropertyList::Format::Xml);
    PropertyList::writeFile(root + "/AppInfoConfiguration.plist", Value(Dictionary { { "app_key", "k" } }));
    FileManager::writeAtomically(root + "/images/close.png", std::string_view("png"));
    FileManager::writeAtomically(root + "/loading.gif", std::string_view("gif"));
    FileManager::writeAtomically(root + "/Kit.bundle/local.html", std::string_view("<html>"));
    return root;
}

}

TEST(Bundle, ReadsTheInformationDictionary)
{
    TaskEnvironment env;
    auto bundle = Bundle::atPath(makeBundle(Sandbox::current()->tmpPath() + "/App"));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->displayName(), "礼包");
    // Malformed URL-type entries are skipped, not fatal.
    EXPECT_EQ(bundle->urlSchemes(), (std::vector<std::string> { "morrow1", "bp2", "px3" }));
    EXPECT_TRUE(bundle->objectForInfoDictionaryKey("missing").isMissing());
}

TEST(Bundle, FindsResourcesButNeverOutsideTheBundle)
{
    TaskEnvironment env;
    std::string root = makeBundle(Sandbox::current()->tmpPath() + "/App");
    auto bundle = Bundle::atPath(root);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->pathForResource("loading", "gif"), root + "/loading.gif");
    EXPECT_EQ(bundle->pathForResource("loading.gif"), root + "/loading.gif");
    EXPECT_EQ(bundle->pathForResource("loading.gif", "gif"), root + "/loading.gif");
    EXPECT_EQ(bundle->pathForResource("close", "png", "images"), root + "/images/close.png");
    EXPECT_EQ(bundle->pathForResource("images/close", "png"), root + "/images/close.png");
    EXPECT_FALSE(bundle->pathForResource("missing", "png"));
    EXPECT_FALSE(bundle->pathForResource("../App/loading", "gif"));
    EXPECT_FALSE(bundle->pathForResource("/etc/passwd"));
    EXPECT_FALSE(bundle->pathForResource("loading", "gif", "../App"));
    EXPECT_EQ(bundle->pathsForResources("png", "images").size(), 1u);

    auto config = bundle->propertyListResource("AppInfoConfiguration");
    ASSERT_TRUE(config);
    EXPECT_EQ((*config)["app_key"].stringValue(), "k");
    EXPECT_EQ(bundle->dataForResource("loading", "gif"), (Bytes { 'g', 'i', 'f' }));

    auto kit = bundle->nestedBundle("Kit");
    ASSERT_TRUE(kit);
    EXPECT_EQ(kit->pathForResource("local", "html"), root + "/Kit.bundle/local.html");
    EXPECT_TRUE(kit->infoDictionary().isDictionary()); // no Info.plist: an empty dictionary
    EXPECT_FALSE(bundle->nestedBundle("Missing"));
}
