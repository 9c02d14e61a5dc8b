#include "HostilePropertyLists.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cmath>
#include <functional>

using namespace pf;

namespace {

// An object carrying a plain value next to an inline number.
struct Holder {
    static constexpr const char* kArchiveClassName = "Holder";
    Value info;
    std::int64_t count { 0 };

    void encodeWithCoder(KeyedArchiver& coder) const
    {
        coder.encodeValue("info", info);
        coder.encodeInteger("count", count);
    }
    static std::shared_ptr<Holder> initWithCoder(KeyedUnarchiver& coder)
    {
        auto h = std::make_shared<Holder>();
        h->info = coder.decodeValue("info");
        h->count = coder.decodeValue("count").longValue();
        return h;
    }
};

// Builds an archive by hand: `objects` after "$null" (index 0), the root referring to `root`.
Bytes handMade(const std::function<void(plist_t objects)>& fill, std::uint64_t root)
{
    plist_t archive = plist_new_dict();
    plist_dict_set_item(archive, "$archiver", plist_new_string("KeyedArchiver"));
    plist_dict_set_item(archive, "$version", plist_new_uint(100000));
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    fill(objects);
    plist_dict_set_item(archive, "$objects", objects);
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(root));
    plist_dict_set_item(archive, "$top", top);
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(archive, &bin, &length);
    Bytes out(bin, bin + length);
    plist_to_bin_free(bin);
    plist_free(archive);
    return out;
}

plist_t classDescription(const char* name)
{
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "$classname", plist_new_string(name));
    plist_t chain = plist_new_array();
    plist_array_append_item(chain, plist_new_string(name));
    plist_array_append_item(chain, plist_new_string("Object"));
    plist_dict_set_item(d, "$classes", chain);
    return d;
}

plist_t uidList(std::initializer_list<std::uint64_t> refs)
{
    plist_t a = plist_new_array();
    for (auto r : refs)
        plist_array_append_item(a, plist_new_uid(r));
    return a;
}

// An object of class `classRef` with the given entries.
plist_t classed(std::uint64_t classRef, std::initializer_list<std::pair<const char*, plist_t>> entries)
{
    plist_t d = plist_new_dict();
    plist_dict_set_item(d, "$class", plist_new_uid(classRef));
    for (auto& [k, v] : entries)
        plist_dict_set_item(d, k, v);
    return d;
}

Value deepList(int levels)
{
    Value v = Value(Array { Value(1) });
    for (int i = 1; i < levels; ++i)
        v = Value(Array { v });
    return v;
}

}

TEST(KeyedArchiveValues, EveryKindRoundTripsKeepingKindsAndOrder)
{
    Dictionary nested {
        { "statusCode", Value(-99) },
        { "$class", Value("a key that looks like the layout's") },
        { "ratio", Value(2.0) },
        { "flag", Value(false) },
        { "when", Value(Date { 1386342123.5 }) },
        { "long ago", Value(Date { -1e9 }) },
        { "blob", Value(Bytes { 0, 1, 255 }) },
        { "none", Value::null() },
        { "empty list", Value(Array {}) },
        { "empty dict", Value(Dictionary {}) },
        { "empty text", Value("") },
    };
    const std::vector<std::pair<std::string, Value>> cases {
        { "text", Value("礼包 \"quoted\" & <tagged>") },
        { "integer", Value(-9'000'000'000'123LL) },
        { "large unsigned-looking integer", Value(static_cast<long long>(INT64_MAX)) },
        { "integral double stays a double", Value(1386342123456.0) },
        { "bool", Value(true) },
        { "data", Value(Bytes(300, 0xAB)) },
        { "date", Value(Date { 0 }) },
        { "null", Value::null() },
        { "list", Value(Array { Value("obj1"), Value("obj2"), Value(123), Value(nested) }) },
        { "dictionary", Value(Dictionary { { "z", Value(1) }, { "a", Value(Array { Value(nested) }) }, { "m", Value("x") } }) },
        { "deepest that can be read", deepList(KeyedArchiveFormat::kMaxValueDepth) },
    };
    for (const auto& [what, value] : cases) {
        std::string error;
        auto back = KeyedUnarchiver::unarchivedValue(KeyedArchiver::archivedValue(value), &error);
        ASSERT_TRUE(back) << what << ": " << error;
        EXPECT_EQ(*back, value) << what << ": " << back->debugDescription();
        EXPECT_EQ(back->type(), value.type()) << what;
    }
    auto back = KeyedUnarchiver::unarchivedValue(KeyedArchiver::archivedValue(Value(nested)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->asDictionary()->keys(), nested.keys());
    EXPECT_EQ((*back)["ratio"].type(), Value::Type::Real);
    EXPECT_EQ((*back)["statusCode"].type(), Value::Type::Integer);
}

// A date's time is the archive's own count from 2001: a stored time reads and writes back as it
// was, and a date made here reads back equal to itself. One that is not finite is refused.
TEST(KeyedArchiveValues, DatesKeepTheirExactTime)
{
    auto storedDate = [](plist_t time) {
        return handMade([&](plist_t o) {
            plist_array_append_item(o, classDescription("Date"));
            plist_array_append_item(o, classed(1, { { "time", time } }));
        }, 2);
    };
    auto time = [](const Bytes& archive) {
        auto value = KeyedUnarchiver::unarchivedValue(archive);
        return value && value->asDate() ? value->asDate()->secondsSinceReference() : -1.0;
    };
    Bytes stored = storedDate(plist_new_real(0.1));
    EXPECT_EQ(time(stored), 0.1);
    EXPECT_EQ(time(KeyedArchiver::archivedValue(*KeyedUnarchiver::unarchivedValue(stored))), 0.1);

    for (Date made : { Date { 0.1 }, Date { -1e9 + 0.3 }, Date { 1386342123.123456789 }, Date::sinceReference(-0.1) }) {
        auto back = KeyedUnarchiver::unarchivedValue(KeyedArchiver::archivedValue(Value(made)));
        EXPECT_EQ(back, Value(made)) << made.secondsSinceReference();
    }

    for (double bad : { std::nan(""), HUGE_VAL, -HUGE_VAL }) {
        std::string error;
        EXPECT_TRUE(KeyedArchiver::archivedValue(Value(Array { Date::sinceReference(bad) }), &error).empty()) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(KeyedUnarchiver::unarchivedValue(storedDate(plist_new_real(bad)))) << bad;
    }
}

TEST(KeyedArchiveValues, MissingEntriesAreLeftOutAndObjectsCarryValues)
{
    Value list(Array { Value("a"), Value(), Value("b") });
    Value dict(Dictionary { { "kept", Value(1) }, { "gone", Value() } });
    auto back = KeyedUnarchiver::unarchivedValue(KeyedArchiver::archivedValue(Value(Array { list, dict })));
    ASSERT_TRUE(back);
    EXPECT_EQ((*back)[0], Value(Array { Value("a"), Value("b") }));
    EXPECT_EQ((*back)[1].asDictionary()->keys(), std::vector<std::string> { "kept" });
    EXPECT_TRUE(KeyedArchiver::archivedValue(Value()).empty());
    EXPECT_FALSE(KeyedUnarchiver::unarchivedValue({}));

    Holder h;
    h.info = Value(Dictionary { { "userInfo", Value(Array { Value(123) }) } });
    h.count = -4;
    auto holder = KeyedUnarchiver::unarchivedObject<Holder>(KeyedArchiver::archivedData(h));
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->info, h.info);
    EXPECT_EQ(holder->count, -4); // an inline integer reads as a value too

    Holder empty;
    holder = KeyedUnarchiver::unarchivedObject<Holder>(KeyedArchiver::archivedData(empty));
    ASSERT_TRUE(holder);
    EXPECT_TRUE(holder->info.isMissing());
}

TEST(KeyedArchiveValues, ATooDeepValueIsNotWritten)
{
    EXPECT_TRUE(KeyedArchiver::archivedValue(deepList(KeyedArchiveFormat::kMaxValueDepth + 1)).empty());
    Holder h;
    h.info = deepList(KeyedArchiveFormat::kMaxValueDepth + 1);
    EXPECT_TRUE(KeyedArchiver::archivedData(h).empty());
}

TEST(KeyedArchiveValues, HostileArchivesAreRefused)
{
    // Objects: 1 = class Array, 2 = class Dictionary, 3 = class Date, 4 = class Other, then
    // whatever the case adds from index 5.
    auto withClasses = [](std::function<void(plist_t)> more) {
        return [more](plist_t objects) {
            plist_array_append_item(objects, classDescription("Array"));
            plist_array_append_item(objects, classDescription("Dictionary"));
            plist_array_append_item(objects, classDescription("Date"));
            plist_array_append_item(objects, classDescription("Other"));
            more(objects);
        };
    };
    auto add = [](plist_t objects, plist_t o) { plist_array_append_item(objects, o); };
    const std::vector<std::pair<std::string, Bytes>> cases {
        { "an object of another class",
            handMade(withClasses([&](plist_t o) { add(o, classed(4, {})); }), 5) },
        { "a class reference to a text",
            handMade(withClasses([&](plist_t o) { add(o, plist_new_string("t")); add(o, classed(5, {})); }), 6) },
        { "a list holding itself",
            handMade(withClasses([&](plist_t o) { add(o, classed(1, { { "items", uidList({ 5 }) } })); }), 5) },
        { "a list item that is $null",
            handMade(withClasses([&](plist_t o) { add(o, classed(1, { { "items", uidList({ 0 }) } })); }), 5) },
        { "a list item outside the table",
            handMade(withClasses([&](plist_t o) { add(o, classed(1, { { "items", uidList({ 99 }) } })); }), 5) },
        { "a list without items",
            handMade(withClasses([&](plist_t o) { add(o, classed(1, {})); }), 5) },
        { "a dictionary key that is not a text",
            handMade(withClasses([&](plist_t o) {
                add(o, plist_new_uint(7));
                add(o, classed(2, { { "keys", uidList({ 5 }) }, { "objects", uidList({ 5 }) } }));
            }), 6) },
        { "a dictionary with more keys than values",
            handMade(withClasses([&](plist_t o) {
                add(o, plist_new_string("k"));
                add(o, classed(2, { { "keys", uidList({ 5, 5 }) }, { "objects", uidList({ 5 }) } }));
            }), 6) },
        { "a date without time",
            handMade(withClasses([&](plist_t o) { add(o, classed(3, {})); }), 5) },
        { "a date whose time is a text",
            handMade(withClasses([&](plist_t o) { add(o, classed(3, { { "time", plist_new_string("now") } })); }), 5) },
        { "a raw array in the table",
            handMade(withClasses([&](plist_t o) { add(o, plist_new_array()); }), 5) },
        { "a root that is $null", handMade(withClasses([](plist_t) {}), 0) },
        { "lists nested too deeply",
            handMade(withClasses([&](plist_t o) {
                add(o, plist_new_string("leaf"));
                for (int i = 0; i <= KeyedArchiveFormat::kMaxValueDepth; ++i)
                    add(o, classed(1, { { "items", uidList({ std::uint64_t(5 + i) }) } }));
            }), 5 + KeyedArchiveFormat::kMaxValueDepth + 1) },
        // Each list holds the one before it twice: 2^40 values if expanded.
        { "a shared list expanding past the value limit",
            handMade(withClasses([&](plist_t o) {
                add(o, plist_new_string("leaf"));
                for (std::uint64_t i = 0; i < 40; ++i)
                    add(o, classed(1, { { "items", uidList({ 5 + i, 5 + i }) } }));
            }), 45) },
    };
    for (const auto& [what, bytes] : cases) {
        std::string error;
        double seconds = hostile_plist::secondsToRun(
            [&] { EXPECT_FALSE(KeyedUnarchiver::unarchivedValue(bytes, &error)) << what; });
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_LT(seconds, 5.0) << what;
    }
}

TEST(KeyedArchiveValues, DamagedBytesNeverCrash)
{
    Value value(Dictionary { { "a", Value(Array { Value(1), Value("two"), Value(Date { 3 }) }) }, { "b", Value::null() } });
    Bytes good = KeyedArchiver::archivedValue(value);
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(KeyedUnarchiver::unarchivedValue(Bytes(good.begin(), good.begin() + cut))) << cut;
    for (size_t at = 0; at < good.size(); ++at) {
        for (uint8_t flip : { 0x01, 0x10, 0x80, 0xFF }) {
            Bytes damaged = good;
            damaged[at] ^= flip;
            (void)KeyedUnarchiver::unarchivedValue(damaged);
        }
    }
}

// As in property lists: a text or key that would not read back as it is (cut at a NUL or at a
// byte that is not UTF-8) empties the archive. (Such texts in an archive read as damage: the
// fuzz target's saved inputs hold them.)
TEST(KeyedArchiveValues, TextsAndKeysThatWouldNotReadBackAreNotWritten)
{
    for (const Value& value : { Value(Dictionary { { std::string("key\0one", 7), 1 }, { std::string("key\0two", 7), 2 } }),
             Value(Array { "caf\xE9 au lait" }), Value("a\xC0\x80" "b") }) {
        std::string error;
        EXPECT_TRUE(KeyedArchiver::archivedValue(value, &error).empty()) << value.debugDescription();
        EXPECT_FALSE(error.empty());
    }
}

// A reply read with lone surrogates replaced shows each as U+FFFD; read as stored, the archive
// is damaged.
TEST(KeyedArchiveValues, AReplyReadsALoneSurrogateAsTheReplacementCharacter)
{
    Bytes archive = hostile_plist::withReplaced(KeyedArchiver::archivedValue(Value(Dictionary { { "t", "礼X" } })),
        std::string_view("\x79\x3C\0X", 4), std::string_view("\x79\x3C\xDC\x00", 4));
    EXPECT_FALSE(KeyedUnarchiver::unarchivedValue(archive));
    EXPECT_EQ(KeyedUnarchiver::unarchivedValue(archive, nullptr, LoneSurrogates::Replace), Value(Dictionary { { "t", "礼\uFFFD" } }));
}
