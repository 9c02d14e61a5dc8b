#include "HostilePropertyLists.h"

#include "platform/foundation/PropertyListCheck.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <random>

using namespace pf;
using hostile_plist::rawBinaryPlist;

namespace {

std::string_view view(const Bytes& bytes)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string repeated(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// The nesting of a parsed property list, leaves counting as a level.
int levels(plist_t node)
{
    int below = 0;
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i)
            below = std::max(below, levels(plist_array_get_item(node, i)));
    } else if (plist_get_node_type(node) == PLIST_DICT) {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            std::free(key);
            if (!item)
                break;
            below = std::max(below, levels(item));
        }
        std::free(it);
    }
    return below + 1;
}

}

TEST(PropertyListCheck, SharedEntriesCountAtEveryUse)
{
    // Twelve levels each holding the next twice: 2^12 - 1 values when expanded, 12 levels deep.
    std::vector<std::vector<std::uint32_t>> doubling(12);
    for (std::uint32_t i = 0; i + 1 < doubling.size(); ++i)
        doubling[i] = { i + 1, i + 1 };
    Bytes wide = rawBinaryPlist(doubling);
    EXPECT_TRUE(PropertyListCheck::binary(view(wide), 12, 4095, nullptr));
    std::string error;
    EXPECT_FALSE(PropertyListCheck::binary(view(wide), 12, 4094, &error));
    EXPECT_NE(error.find("too many"), std::string::npos) << error;
    EXPECT_FALSE(PropertyListCheck::binary(view(wide), 11, 1 << 20, &error));
    EXPECT_NE(error.find("too deeply"), std::string::npos) << error;

    // An entry first met near the top and measured there still nests below its deeper use.
    for (const auto& [what, bytes] : hostile_plist::hostileBinaryLists(32)) {
        if (what == "deep through shared entries") {
            EXPECT_FALSE(PropertyListCheck::binary(view(bytes), 32, 1 << 20, &error));
            EXPECT_NE(error.find("too deeply"), std::string::npos) << error;
            EXPECT_TRUE(PropertyListCheck::binary(view(bytes), 1000, 1 << 20, nullptr));
        }
    }
}

TEST(PropertyListCheck, XmlClosingTagsCountOnlyWhereTheyAreMarkup)
{
    // Containers side by side and self-closed ones do not add up.
    std::string siblings = "<plist><array>" + repeated("<array><dict/><array/></array>", 2000) + "</array></plist>";
    EXPECT_TRUE(PropertyListCheck::xml(siblings, 3, nullptr));
    EXPECT_FALSE(PropertyListCheck::xml(siblings, 1, nullptr));

    // A closing tag the library would not read as one cannot hide the nesting.
    for (std::string_view level : { "<array x=\"</array>\">", "<array><!-- </array> -->",
             "<array><string><![CDATA[</array>]]></string>", "<array><?note </array>?>",
             "<array><!DOCTYPE x [ <!ENTITY e \"</array>\"> ]>" }) {
        std::string text = "<plist>" + repeated(level, 40) + "</plist>";
        std::string error;
        EXPECT_FALSE(PropertyListCheck::xml(text, 32, &error)) << level;
        EXPECT_NE(error.find("too deeply"), std::string::npos) << level;
    }
    EXPECT_FALSE(PropertyListCheck::xml("<plist><string>a&#x0;</string></plist>", 32, nullptr));
}

TEST(PropertyListCheck, XmlScanNeverCountsShallowerThanTheLibraryReads)
{
    // Random soups of tags, comments, quotes and declarations: whenever the library makes a tree
    // of them, the scan must find it at least as deep, give or take an empty container at the
    // top (the library puts what follows a self-closed top container inside it).
    static const char* const kPieces[] = { "<array>", "</array>", "<dict>", "</dict>", "<key>k</key>", "<key>",
        "</key>", "<string>", "</string>", "<true/>", "<array/>", "<!--", "-->", "<![CDATA[", "]]>", "<?", "?>",
        "<!DOCTYPE x [", "]>", "]", "[", ">", "\"", "'", "<array x=\"", "<array ", "</array ", "/>", "<dict x='",
        "<data>", "</data>", "<!ENTITY e \"", "<integer>1</integer>", " ", "x", "&lt;" };
    std::mt19937 random(20240611);
    int parsed = 0;
    for (int round = 0; round < 60000; ++round) {
        std::string text = "<plist>";
        for (int n = random() % 40; n > 0; --n)
            text += kPieces[random() % std::size(kPieces)];
        text += "</plist>";
        plist_t root = nullptr;
        plist_from_xml(text.c_str(), static_cast<std::uint32_t>(text.size()), &root);
        if (!root)
            continue;
        ++parsed;
        int containers = levels(root) - 1;
        plist_free(root);
        if (containers >= 2) {
            EXPECT_FALSE(PropertyListCheck::xml(text, containers - 2, nullptr)) << text;
        }
    }
    EXPECT_GT(parsed, 1000);
}
