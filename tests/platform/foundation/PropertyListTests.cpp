#include "HostilePropertyLists.h"

#include "platform/foundation/Crypto.h"
#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>

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

// A binary date entry (its marker and big-endian double) as a run of bytes.
std::string binaryDate(double time)
{
    auto bits = std::bit_cast<std::uint64_t>(time);
    std::string entry(1, '\x33');
    for (int shift = 56; shift >= 0; shift -= 8)
        entry += static_cast<char>(bits >> shift);
    return entry;
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
            EXPECT_DOUBLE_EQ((*back)["date"].asDate()->secondsSince1970(), 1'400'000'000.0);
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

// The binary form keeps a date's double as it is: a file's dates read exactly, before 2001 too,
// far beyond 32-bit seconds too, and written back give the same bytes.
// Dates before 2001 keep their second in both forms, and in the binary form their fraction too
// (the property-list library on its own reads such a fraction back with the wrong sign).
TEST(PropertyList, DatesBefore2001KeepTheirSecond)
{
    const std::vector<std::pair<double, double>> dates { // written, read from XML (since 1970)
        { 978'307'199.5, 978'307'199 }, // half a second before 2001
        { 644'241'600.25, 644'241'600 }, // 1990
        { 644'241'600.0, 644'241'600 },
    };
    for (const auto& format : { PropertyList::Format::Binary, PropertyList::Format::Xml }) {
        for (const auto& [written, xmlRead] : dates) {
            auto bytes = PropertyList::write(Value(Date { written }), format);
            ASSERT_TRUE(bytes);
            auto back = PropertyList::parse(*bytes);
            ASSERT_TRUE(back && back->asDate());
            double read = format == PropertyList::Format::Binary ? written : xmlRead;
            EXPECT_DOUBLE_EQ(back->asDate()->secondsSince1970(), read) << written;
        }
    }
}

TEST(PropertyList, BinaryDatesKeepTheirBytes)
{
    const std::vector<double> odd { 0.1, -0.5, -342'065'599.75, 1.0 / 3, 1e12, -1e12 };
    Dictionary written;
    for (size_t i = 0; i < odd.size(); ++i)
        written.set("d" + std::to_string(i), Date::sinceReference(static_cast<double>(i + 1)));
    written.set("again", Date::sinceReference(1)); // one entry referred to twice
    Bytes file = *PropertyList::write(Value(written), PropertyList::Format::Binary);
    for (size_t i = 0; i < odd.size(); ++i)
        file = hostile_plist::withReplaced(file, binaryDate(static_cast<double>(i + 1)), binaryDate(odd[i]));

    std::string error;
    auto read = PropertyList::parse(file, &error);
    ASSERT_TRUE(read) << error;
    for (size_t i = 0; i < odd.size(); ++i)
        EXPECT_EQ((*read)["d" + std::to_string(i)].asDate(), Date::sinceReference(odd[i])) << odd[i];
    EXPECT_EQ((*read)["again"], (*read)["d0"]);
    EXPECT_EQ(PropertyList::write(*read, PropertyList::Format::Binary), file);

    // Dates made here, with a fraction before 2001, read back equal.
    for (double since1970 : { 978'307'199.5, 644'241'600.25 }) {
        Value date(Date { since1970 });
        EXPECT_EQ(PropertyList::parse(*PropertyList::write(date, PropertyList::Format::Binary)), date) << since1970;
    }
}

// The XML text holds whole seconds: a date is written as its nearest one, within 2^31 seconds of
// 2001.
TEST(PropertyList, XmlDatesHoldTheNearestSecond)
{
    const std::vector<std::pair<double, double>> dates { // written, read (seconds since 2001)
        { 0.6, 1 }, { -0.5, -1 }, { -0.4, 0 }, { 421'692'800.25, 421'692'800 },
        { 2'147'483'647.4, 2'147'483'647 }, { -2'147'483'648.4, -2'147'483'648.0 },
    };
    for (const auto& [written, read] : dates) {
        auto text = PropertyList::writeXml(Value(Date::sinceReference(written)));
        ASSERT_TRUE(text) << written;
        EXPECT_EQ(PropertyList::parse(*text), Value(Date::sinceReference(read))) << *text;
    }
    EXPECT_NE(PropertyList::writeXml(Value(Date::sinceReference(0.6)))->find("<date>2001-01-01T00:00:01Z</date>"), std::string::npos);
    for (double beyond : { 2'147'483'647.5, -2'147'483'648.5, 1e12 })
        EXPECT_FALSE(PropertyList::writeXml(Value(Date::sinceReference(beyond)))) << beyond;
}

TEST(PropertyList, DatesNotFiniteOrOverlappingAreRefused)
{
    for (double bad : { std::nan(""), HUGE_VAL, -HUGE_VAL }) {
        for (auto format : { PropertyList::Format::Binary, PropertyList::Format::Xml }) {
            std::string error;
            EXPECT_FALSE(PropertyList::write(Value(Array { Date::sinceReference(bad) }), format, &error)) << bad;
            EXPECT_FALSE(error.empty());
        }
    }
    // {"a": a date, "b": 51}: the integer's entry (0x10 0x33) lies last, right before the offset
    // table, which holds one byte per entry.
    Bytes file = *PropertyList::write(Value(Dictionary { { "a", Date::sinceReference(5) }, { "b", 51 } }), PropertyList::Format::Binary);
    size_t table = file.back();
    ASSERT_EQ(file[table - 2], 0x10);
    std::string date = binaryDate(5);
    auto dateAt = static_cast<std::uint8_t>(std::search(file.begin(), file.end(), date.begin(), date.end()) - file.begin());
    auto moved = [&](std::uint8_t from, std::uint8_t to) {
        Bytes bytes = file;
        std::replace(bytes.begin() + static_cast<std::ptrdiff_t>(table), bytes.end() - 32, from, to);
        return bytes;
    };
    const std::vector<std::pair<Bytes, std::string>> damaged {
        { hostile_plist::withReplaced(file, date, binaryDate(std::nan(""))), "a date is damaged or not finite" },
        // The integer's entry moved into the date's double, where an ordinal would change it.
        { moved(static_cast<std::uint8_t>(table - 2), dateAt + 1), "property-list entries overlap" },
        // The integer's entry moved onto its 0x33, a date without room for its double.
        { moved(static_cast<std::uint8_t>(table - 2), static_cast<std::uint8_t>(table - 1)), "a property-list date runs past the data" },
    };
    for (const auto& [bytes, reason] : damaged) {
        std::string error;
        EXPECT_FALSE(PropertyList::parse(bytes, &error)) << reason;
        EXPECT_EQ(error, reason);
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

// A UTF-16 text with a surrogate that has no partner is damage, as a text that is not UTF-8 is:
// the library would drop the lone unit and read another text, which would then be written back
// in its place. Pairs read as the character they make.
TEST(PropertyList, ALoneSurrogateIsDamageRatherThanDroppedUnseen)
{
    const Bytes written = *PropertyList::write(Dictionary { { "good", "礼包😀" }, { "lone", "礼X" } }, PropertyList::Format::Binary);
    for (std::string_view units : { std::string_view("\x79\x3C\xD8\x00", 4), std::string_view("\x79\x3C\xDC\x00", 4) }) {
        Bytes damaged = hostile_plist::withReplaced(written, std::string_view("\x79\x3C\0X", 4), units);
        std::string error;
        EXPECT_FALSE(PropertyList::parse(damaged, &error));
        EXPECT_FALSE(error.empty());
        size_t leftOut = 0;
        EXPECT_EQ(PropertyList::parseEntries(damaged, 1, &leftOut), Value(Dictionary { { "good", "礼包😀" } }));
        EXPECT_EQ(leftOut, 1u);
    }
    // A high surrogate followed by another high one, and a text ending in one.
    Bytes twoHigh = *PropertyList::write(Value("礼XY"), PropertyList::Format::Binary);
    for (std::string_view units : { std::string_view("\xD8\x3D\xD8\x3D", 4), std::string_view("\x00X\xD8\x3D", 4) })
        EXPECT_FALSE(PropertyList::parse(hostile_plist::withReplaced(twoHigh, std::string_view("\0X\0Y", 4), units))) << units.size();
    EXPECT_EQ(PropertyList::parse(written), Value(Dictionary { { "good", "礼包😀" }, { "lone", "礼X" } }));
}

// Another app's reply is read once and never written back: there a surrogate without its partner
// reads as U+FFFD and everything else as it is, while a store still takes the text as damage. A
// NUL is refused either way.
TEST(PropertyList, AReplyReadsALoneSurrogateAsTheReplacementCharacter)
{
    const Bytes written = *PropertyList::write(Dictionary { { "good", "礼包😀" }, { "lone", "礼XY" } }, PropertyList::Format::Binary);
    const std::string_view stored("\x79\x3C\0X\0Y", 6);
    struct Case {
        std::string_view units;
        const char* reads;
    };
    const Case cases[] = {
        { std::string_view("\x79\x3C\xD8\x00\0Y", 6), "礼\uFFFDY" },
        { std::string_view("\x79\x3C\xDC\x00\0Y", 6), "礼\uFFFDY" },
        { std::string_view("\x79\x3C\xD8\x3D\xD8\x3D", 6), "礼\uFFFD\uFFFD" },
        { std::string_view("\x79\x3C\0X\xD8\x3D", 6), "礼X\uFFFD" },
    };
    for (const Case& c : cases) {
        Bytes reply = hostile_plist::withReplaced(written, stored, c.units);
        EXPECT_EQ(PropertyList::parse(reply, nullptr, nullptr, LoneSurrogates::Replace),
            Value(Dictionary { { "good", "礼包😀" }, { "lone", c.reads } })) << c.reads;
        EXPECT_FALSE(PropertyList::parse(reply)) << c.reads;
        size_t leftOut = 0;
        EXPECT_EQ(PropertyList::parseEntries(reply, 1, &leftOut), Value(Dictionary { { "good", "礼包😀" } })) << c.reads;
    }
    Bytes nul = hostile_plist::withReplaced(written, stored, std::string_view("\x79\x3C\xD8\x00\0\0", 6));
    std::string error;
    EXPECT_FALSE(PropertyList::parse(nul, &error, nullptr, LoneSurrogates::Replace));
    EXPECT_NE(error.find("NUL"), std::string::npos) << error;
}
