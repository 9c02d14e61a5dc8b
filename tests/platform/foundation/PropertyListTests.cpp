#include "HostilePropertyLists.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

Value sample()
{
    return Value(Dictionary {
        { "text", "礼包 <&> \"quoted\"" },
        { "empty", "" },
        { "yes", true },
        { "no", false },
        { "big", 9'000'000'000LL },
        { "negative", -42 },
        { "real", 2.5 },
        { "date", Date { 1'400'000'000.25 } },
        { "data", Bytes { 0, 1, 2, 0xFF } },
        { "list", Array { 1, "two", Array {}, Dictionary {} } },
        { "nested", Dictionary { { "a", Dictionary { { "b", 1 } } } } },
    });
}

}

TEST(PropertyList, RoundTripsEveryTypeInBothFormats)
{
    for (auto format : { PropertyList::Format::Binary, PropertyList::Format::Xml }) {
        SCOPED_TRACE(format == PropertyList::Format::Binary ? "binary" : "xml");
        std::string error;
        auto bytes = PropertyList::write(sample(), format, &error);
        ASSERT_TRUE(bytes) << error;
        PropertyList::Format seen {};
        auto back = PropertyList::parse(*bytes, &error, &seen);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(seen, format);
        Value expected = sample();
        if (format == PropertyList::Format::Xml) {
            // The XML form keeps dates to the second.
            EXPECT_DOUBLE_EQ((*back)["date"].asDate()->secondsSince1970, 1'400'000'000.0);
            back->set("date", expected["date"]);
        }
        EXPECT_EQ(*back, expected) << back->debugDescription();
        EXPECT_EQ((*back)["negative"].intValue(), -42);
        EXPECT_EQ((*back)["big"].longValue(), 9'000'000'000LL);
    }
}

TEST(PropertyList, ReadsHandWrittenXmlAndUids)
{
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>app_key</key><string>k1</string>
<key>IsForAppStore</key><true/>
<key>uid</key><dict><key>CF$UID</key><integer>3</integer></dict>
</dict></plist>)";
    auto v = PropertyList::parse(std::string_view(xml));
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)["app_key"].stringValue(), "k1");
    EXPECT_TRUE((*v)["IsForAppStore"].boolValue());
    EXPECT_EQ((*v)["uid"]["CF$UID"].intValue(), 3);
    // The UID survives the binary form (keyed archives depend on it).
    auto bin = PropertyList::write(*v, PropertyList::Format::Binary);
    ASSERT_TRUE(bin);
    EXPECT_EQ(PropertyList::parse(*bin), *v);
}

TEST(PropertyList, MalformedInputGivesAnErrorNotACrash)
{
    std::string error;
    EXPECT_FALSE(PropertyList::parse(Bytes {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(PropertyList::parse(std::string_view("not a plist at all"), &error));
    EXPECT_FALSE(PropertyList::parse(std::string_view("<plist><dict><key>a</key></plist>"), &error));
    EXPECT_FALSE(PropertyList::parse(std::string_view("bplist00"), &error));

    // Every truncation and a scatter of flipped bytes of a valid binary list: no crash, and
    // anything that does parse is a value.
    auto good = *PropertyList::write(sample(), PropertyList::Format::Binary);
    for (size_t n = 0; n < good.size(); ++n)
        (void)PropertyList::parse(Bytes(good.begin(), good.begin() + n));
    auto xml = *PropertyList::write(sample(), PropertyList::Format::Xml);
    for (size_t n = 0; n < xml.size(); n += 7)
        (void)PropertyList::parse(Bytes(xml.begin(), xml.begin() + n));
    for (int round = 0; round < 400; ++round) {
        Bytes& source = round % 2 ? good : xml;
        Bytes bad = source;
        Bytes noise = Crypto::randomBytes(8);
        for (int k = 0; k < 4; ++k)
            bad[(noise[k * 2] * 131 + noise[k * 2 + 1]) % bad.size()] ^= noise[k * 2 + 1] | 1;
        (void)PropertyList::parse(bad);
    }
    // A text holding NUL: in the binary form (an ASCII string "a\0b") and as an XML reference.
    auto withNul = *PropertyList::write(Value(Array { "a?b" }), PropertyList::Format::Binary);
    for (size_t i = 0; i + 2 < withNul.size(); ++i)
        if (withNul[i] == 'a' && withNul[i + 1] == '?' && withNul[i + 2] == 'b')
            withNul[i + 1] = 0;
    EXPECT_FALSE(PropertyList::parse(withNul, &error));
    EXPECT_FALSE(PropertyList::parse(std::string_view("<plist><string>a&#0;b</string></plist>"), &error));
    EXPECT_FALSE(PropertyList::parse(std::string_view("<plist><dict><key>&#x00;</key><true/></dict></plist>"), &error));
}

TEST(PropertyList, NullAndDeepNestingCannotBeWritten)
{
    std::string error;
    EXPECT_FALSE(PropertyList::write(Value(Array { 1, Value::null() }), PropertyList::Format::Binary, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(PropertyList::write(Value(), PropertyList::Format::Xml));

    Value deep = Array {};
    for (int i = 0; i < PropertyList::kMaxDepth + 10; ++i)
        deep = Value(Array { deep });
    error.clear();
    EXPECT_FALSE(PropertyList::write(deep, PropertyList::Format::Binary, &error));
    EXPECT_FALSE(error.empty());
}

// A fraction of a second before 2001 would come back with the wrong sign (up to two seconds
// off); such dates are kept to the nearest whole second instead.
TEST(PropertyList, DatesBefore2001KeepTheirSecond)
{
    const std::vector<std::pair<double, double>> dates {
        { 978'307'199.5, 978'307'199 }, // half a second before 2001
        { 644'241'600.25, 644'241'600 }, // 1990
        { 644'241'600.0, 644'241'600 },
    };
    for (const auto& format : { PropertyList::Format::Binary, PropertyList::Format::Xml }) {
        for (const auto& [written, read] : dates) {
            auto bytes = PropertyList::write(Value(Date { written }), format);
            ASSERT_TRUE(bytes);
            auto back = PropertyList::parse(*bytes);
            ASSERT_TRUE(back && back->asDate());
            EXPECT_DOUBLE_EQ(back->asDate()->secondsSince1970, read) << written;
        }
    }
}

TEST(PropertyList, HostileListsAreRefusedBeforeTheLibraryReadsThem)
{
    for (const auto& [what, bytes] : hostile_plist::hostileBinaryLists(PropertyList::kMaxDepth)) {
        std::string error;
        double seconds = hostile_plist::secondsToRun([&] { EXPECT_FALSE(PropertyList::parse(bytes, &error)) << what; });
        EXPECT_LT(seconds, 2.0) << what;
        EXPECT_FALSE(error.empty()) << what;
    }

    // A million nested containers, closed or not: the library frees what it read recursively.
    for (std::string_view level : { "<array>", "<dict><key>k</key>" }) {
        std::string open;
        for (int i = 0; i < 1'000'000; ++i)
            open += level;
        std::string error;
        EXPECT_FALSE(PropertyList::parse(std::string_view("<plist>" + open), &error)) << level;
        EXPECT_NE(error.find("too deeply"), std::string::npos) << error;
    }

    // Nesting within the limit still reads, in both forms.
    Value deep = Array { "leaf" };
    for (int i = 0; i < PropertyList::kMaxDepth - 10; ++i)
        deep = Value(Array { deep, Dictionary { { "k", 1 } } });
    for (auto format : { PropertyList::Format::Binary, PropertyList::Format::Xml }) {
        std::string error;
        auto back = PropertyList::parse(*PropertyList::write(deep, format), &error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(*back, deep);
    }
}

// The library keeps a text only up to a NUL or a byte that is not UTF-8 and turns an overlong
// NUL into a NUL: such texts and keys are refused when written and are damage when read.
TEST(PropertyList, TextsAndKeysThatWouldNotReadBackAreRefusedBothWays)
{
    for (auto format : { PropertyList::Format::Binary, PropertyList::Format::Xml }) {
        for (const Value& value : { Value(Dictionary { { std::string("key\0one", 7), 1 }, { std::string("key\0two", 7), 2 } }),
                 Value("caf\xE9 au lait"), Value(Array { "a\xC0\x80" "b" }) }) {
            std::string error;
            EXPECT_FALSE(PropertyList::write(value, format, &error)) << value.debugDescription();
            EXPECT_FALSE(error.empty());
        }
    }
    Bytes good = *PropertyList::write(Value(Dictionary { { "keyX", "cafX" }, { "k", "a??b" } }), PropertyList::Format::Binary);
    auto damaged = [&](std::string_view from, std::string_view to) {
        Bytes bytes = hostile_plist::withReplaced(good, from, to);
        return std::string(bytes.begin(), bytes.end());
    };
    for (const std::string& list : { damaged("cafX", "caf\xE9"), damaged("a??b", "a\xC0\x80" "b"), damaged("keyX", "key\x96"),
             std::string("<plist><string>caf\xE9</string></plist>"),
             std::string("<plist><dict><key>a\0b</key><true/></dict></plist>", 49) }) { // the key would read as "a"
        std::string error;
        EXPECT_FALSE(PropertyList::parse(std::string_view(list), &error)) << list;
        EXPECT_FALSE(error.empty());
    }
}

// A store of separate entries reads past the one that does not read: in either form, whatever
// the damage (a text or key that is not UTF-8, holds a NUL, or an overlong NUL; in a UTF-16 text,
// where the library would cut it or stop the process), only the entry holding it is left out,
// at the level the store's entries lie. What is left is read as written.
TEST(PropertyList, ReadingByEntriesLeavesOutOnlyTheEntriesThatDoNotRead)
{
    const Dictionary good { { "text", "礼包" }, { "list", Array { 1, Dictionary { { "k", "v" } } } }, { "data", Bytes { 0, 1 } } };
    Dictionary withDamage = good;
    withDamage.set("utf16", "礼X");
    withDamage.set("keyNul", Dictionary { { "keyZ", 1 } });
    withDamage.set("deep", Array { Dictionary { { "deep", "cafX" } } });
    withDamage.set("overlong", "a??b");
    withDamage.set("keyX", true);
    Bytes binary = *PropertyList::write(withDamage, PropertyList::Format::Binary);
    binary = hostile_plist::withReplaced(binary, std::string_view("\x79\x3C\0X", 4), std::string_view("\x79\x3C\0\0", 4));
    binary = hostile_plist::withReplaced(binary, "keyZ", std::string_view("k\0yZ", 4));
    binary = hostile_plist::withReplaced(binary, "cafX", "caf\xE9");
    binary = hostile_plist::withReplaced(binary, "a??b", "a\xC0\x80" "b");
    binary = hostile_plist::withReplaced(binary, "keyX", std::string_view("key\0", 4));
    std::string xml = R"(<plist><dict><key>text</key><string>礼包</string>)"
                      R"(<key>list</key><array><integer>1</integer><dict><key>k</key><string>v</string></dict></array>)"
                      R"(<key>nul</key><string>a&#0;b</string><key>hex</key><array><string>&#x00;</string></array>)"
                      R"(<key>data</key><data>AAE=</data><key>latin</key><string>caf)" "\xE9" R"(</string>)"
                      R"(<key>raw</key><dict><key>a)" + std::string(1, '\0') + R"(b</key><true/></dict>)"
                      R"(<key>deep</key><array><dict><key>&#00;</key><true/></dict></array></dict></plist>)";
    for (const Bytes& list : { binary, Bytes(xml.begin(), xml.end()) }) {
        ASSERT_FALSE(PropertyList::parse(list));
        size_t leftOut = 0;
        std::string error;
        auto read = PropertyList::parseEntries(list, 1, &leftOut, &error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(*read, Value(good)) << read->debugDescription();
        EXPECT_EQ(leftOut, 5u);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(PropertyList::parse(*PropertyList::write(*read, PropertyList::Format::Binary)), *read);
    }

    // Deeper entries: a damaged text leaves out the element holding it at the level asked for.
    Bytes items = hostile_plist::withReplaced(*PropertyList::write(Dictionary { { "items", Array {
        Dictionary { { "a", 1 }, { "b", Array { "cafX" } } }, Dictionary { { "c", 2 } } } } }, PropertyList::Format::Binary), "cafX", "caf\xE9");
    size_t leftOut = 0;
    EXPECT_EQ(PropertyList::parseEntries(items, 1, &leftOut), Value(Dictionary {}));
    EXPECT_EQ(PropertyList::parseEntries(items, 2, &leftOut), Value(Dictionary { { "items", Array { Dictionary { { "c", 2 } } } } }));
    EXPECT_EQ(PropertyList::parseEntries(items, 3, &leftOut),
        Value(Dictionary { { "items", Array { Dictionary { { "a", 1 } }, Dictionary { { "c", 2 } } } } }));
    EXPECT_EQ(leftOut, 1u);

    // The bounds, a damaged top value and a NUL in XML content that is no text (where the value
    // would read other than written) still refuse the whole list.
    for (const std::string& list : { std::string("<plist><dict><key>d</key><data>AA&#0;E=</data></dict></plist>"),
             "<plist><dict><key>n</key><integer>1" + std::string(1, '\0') + "2</integer></dict></plist>" })
        EXPECT_FALSE(PropertyList::parseEntries(Bytes(list.begin(), list.end()), 1, &leftOut)) << list;
    for (const auto& [what, bytes] : hostile_plist::hostileBinaryLists(PropertyList::kMaxDepth)) {
        std::string error;
        EXPECT_FALSE(PropertyList::parseEntries(bytes, 2, &leftOut, &error)) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
    EXPECT_FALSE(PropertyList::parseEntries(hostile_plist::withReplaced(*PropertyList::write(Value("cafX"), PropertyList::Format::Binary), "cafX", "caf\xE9"), 1, &leftOut));
}
