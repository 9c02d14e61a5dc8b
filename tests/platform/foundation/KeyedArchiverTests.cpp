#include "HostilePropertyLists.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <functional>

using namespace pf;

namespace {

struct Node {
    static constexpr const char* kArchiveClassName = "Node";

    std::optional<std::string> name;
    std::int64_t number { 0 };
    double ratio { 0 };
    bool flag { false };
    std::optional<Bytes> blob;
    std::shared_ptr<Node> child;
    std::optional<std::vector<std::shared_ptr<Node>>> children;
    std::string dollar;

    void encodeWithCoder(KeyedArchiver& coder) const
    {
        coder.encodeText("name", name);
        coder.encodeInteger("number", number);
        coder.encodeDouble("ratio", ratio);
        coder.encodeBool("flag", flag);
        if (blob)
            coder.encodeData("blob", *blob);
        coder.encodeObject("child", child);
        if (children)
            coder.encodeObjects("children", *children);
        if (!dollar.empty())
            coder.encodeText("$class", dollar);
    }

    static std::shared_ptr<Node> initWithCoder(KeyedUnarchiver& coder)
    {
        auto node = std::make_shared<Node>();
        node->name = coder.decodeText("name");
        node->number = coder.decodeInteger("number");
        node->ratio = coder.decodeDouble("ratio");
        node->flag = coder.decodeBool("flag");
        node->blob = coder.decodeData("blob");
        node->child = coder.decodeObject<Node>("child");
        node->children = coder.decodeObjects<Node>("children");
        node->dollar = coder.decodeText("$class").value_or("");
        if (node->number == -999)
            return nullptr; // refuses a value it cannot hold
        return node;
    }
};

struct Other {
    static constexpr const char* kArchiveClassName = "Other";
    std::int64_t value { 0 };
    void encodeWithCoder(KeyedArchiver& coder) const { coder.encodeInteger("value", value); }
    static std::shared_ptr<Other> initWithCoder(KeyedUnarchiver& coder)
    {
        auto other = std::make_shared<Other>();
        other->value = coder.decodeInteger("value");
        return other;
    }
};

// A type that cannot carry the coding members gets them from outside.
struct Foreign {
    std::string label;
};

}

template <>
struct pf::ArchiveCoding<Foreign> {
    static std::string_view className() { return "Foreign"; }
    static void encode(const Foreign& f, KeyedArchiver& coder) { coder.encodeText("label", f.label); }
    static std::shared_ptr<Foreign> decode(KeyedUnarchiver& coder)
    {
        return std::make_shared<Foreign>(Foreign { coder.decodeText("label").value_or("") });
    }
};

namespace {

std::shared_ptr<Node> leaf(std::string name, std::int64_t number)
{
    auto n = std::make_shared<Node>();
    n->name = std::move(name);
    n->number = number;
    return n;
}

// Parses archive bytes, lets `edit` change the property list, and writes it back.
Bytes edited(const Bytes& archive, const std::function<void(plist_t root)>& edit)
{
    plist_t root = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(archive.data()), archive.size(), &root);
    EXPECT_NE(root, nullptr);
    edit(root);
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    Bytes out(bin, bin + length);
    plist_to_bin_free(bin);
    plist_free(root);
    return out;
}

plist_t objectsOf(plist_t root) { return plist_dict_get_item(root, "$objects"); }

// Index of the first object in "$objects" that is a dictionary holding `key`.
uint32_t objectWithKey(plist_t root, const char* key)
{
    plist_t objects = objectsOf(root);
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i) {
        plist_t o = plist_array_get_item(objects, i);
        if (plist_get_node_type(o) == PLIST_DICT && plist_dict_get_item(o, key))
            return i;
    }
    ADD_FAILURE() << "no object with key " << key;
    return 0;
}

}

TEST(KeyedArchiver, EveryKindOfValueRoundTrips)
{
    auto root = std::make_shared<Node>();
    root->name = "礼包 \"quoted\" & <tagged>";
    root->number = -9'000'000'000'123;
    root->ratio = -0.1;
    root->flag = true;
    root->blob = Bytes { 0, 1, 2, 255, 0 };
    root->child = leaf("", 2'147'483'648);
    root->children = std::vector<std::shared_ptr<Node>> { leaf("a", 1), nullptr, leaf("b", 2) };
    root->children->back()->children = std::vector<std::shared_ptr<Node>> {};
    root->dollar = "not the class key";

    std::string error;
    auto back = KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(*root), &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->name, root->name);
    EXPECT_EQ(back->number, root->number);
    EXPECT_DOUBLE_EQ(back->ratio, -0.1);
    EXPECT_TRUE(back->flag);
    EXPECT_EQ(back->blob, root->blob);
    ASSERT_TRUE(back->child);
    EXPECT_EQ(back->child->name, std::optional<std::string>(""));
    EXPECT_EQ(back->child->number, 2'147'483'648);
    EXPECT_FALSE(back->child->child);
    EXPECT_FALSE(back->child->children);
    EXPECT_FALSE(back->child->blob);
    // The null entry of the list is left out; an empty list stays an empty list.
    ASSERT_TRUE(back->children);
    ASSERT_EQ(back->children->size(), 2u);
    EXPECT_EQ((*back->children)[0]->name, std::optional<std::string>("a"));
    EXPECT_EQ((*back->children)[1]->number, 2);
    ASSERT_TRUE((*back->children)[1]->children);
    EXPECT_TRUE((*back->children)[1]->children->empty());
    EXPECT_EQ(back->dollar, "not the class key");
}

TEST(KeyedArchiver, AbsentValuesReadBackAsEmptyNotAsPlaceholderWords)
{
    Node empty;
    auto back = KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(empty));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->name);
    EXPECT_EQ(back->number, 0);
    EXPECT_FALSE(back->flag);
}

TEST(KeyedArchiver, RootListsAndSpecialisedClassesRoundTrip)
{
    std::vector<std::shared_ptr<Foreign>> list { std::make_shared<Foreign>(Foreign { "x" }),
        std::make_shared<Foreign>(Foreign { "y" }) };
    auto back = KeyedUnarchiver::unarchivedObjects<Foreign>(KeyedArchiver::archivedData(list));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[0]->label, "x");
    EXPECT_EQ((*back)[1]->label, "y");

    auto none = KeyedUnarchiver::unarchivedObjects<Foreign>(
        KeyedArchiver::archivedData(std::vector<std::shared_ptr<Foreign>> {}));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

TEST(KeyedArchiver, WritesThePlatformsKeyedArchiveLayout)
{
    auto root = leaf("t", 7);
    Bytes bytes = KeyedArchiver::archivedData(*root);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "bplist00");

    plist_t plist = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), bytes.size(), &plist);
    ASSERT_NE(plist, nullptr);
    EXPECT_EQ(plist_string_val_compare(plist_dict_get_item(plist, "$archiver"), "KeyedArchiver"), 0);
    EXPECT_EQ(plist_uint_val_compare(plist_dict_get_item(plist, "$version"), 100000), 0);
    plist_t objects = objectsOf(plist);
    EXPECT_EQ(plist_string_val_compare(plist_array_get_item(objects, 0), "$null"), 0);

    uint64_t rootRef = 0;
    plist_get_uid_val(plist_dict_get_item(plist_dict_get_item(plist, "$top"), "root"), &rootRef);
    plist_t object = plist_array_get_item(objects, rootRef);
    EXPECT_EQ(plist_uint_val_compare(plist_dict_get_item(object, "number"), 7), 0);
    uint64_t nameRef = 0, classRef = 0;
    plist_get_uid_val(plist_dict_get_item(object, "name"), &nameRef);
    EXPECT_EQ(plist_string_val_compare(plist_array_get_item(objects, nameRef), "t"), 0);
    plist_get_uid_val(plist_dict_get_item(object, "$class"), &classRef);
    plist_t description = plist_array_get_item(objects, classRef);
    EXPECT_EQ(plist_string_val_compare(plist_dict_get_item(description, "$classname"), "Node"), 0);
    EXPECT_EQ(plist_string_val_compare(plist_array_get_item(plist_dict_get_item(description, "$classes"), 0), "Node"), 0);
    plist_free(plist);
}

TEST(KeyedArchiver, SharedObjectIsWrittenOnceAndReadBackShared)
{
    auto shared = leaf("shared", 1);
    Node root;
    root.child = shared;
    root.children = std::vector<std::shared_ptr<Node>> { shared, shared };
    auto back = KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(root));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->children->size(), 2u);
    EXPECT_EQ(back->child, (*back->children)[0]);
    EXPECT_EQ(back->child, (*back->children)[1]);
}

TEST(KeyedUnarchiver, RefusesDataThatIsNotAnArchiveOfThisArchiver)
{
    Bytes good = KeyedArchiver::archivedData(*leaf("x", 1));
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>";
    std::vector<std::pair<const char*, Bytes>> cases {
        { "empty", {} },
        { "text", Bytes { 'h', 'e', 'l', 'l', 'o' } },
        { "xml", Bytes(xml.begin(), xml.end()) },
        { "other archiver", edited(good, [](plist_t r) { plist_dict_set_item(r, "$archiver", plist_new_string("Elsewhere")); }) },
        { "other version", edited(good, [](plist_t r) { plist_dict_set_item(r, "$version", plist_new_uint(7)); }) },
        { "no top", edited(good, [](plist_t r) { plist_dict_remove_item(r, "$top"); }) },
        { "no null entry", edited(good, [](plist_t r) { plist_array_set_item(objectsOf(r), plist_new_string("x"), 0); }) },
        { "root out of range", edited(good, [](plist_t r) {
              plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uid(4000)); }) },
        { "root is not a reference", edited(good, [](plist_t r) {
              plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uint(1)); }) },
        { "root is null", edited(good, [](plist_t r) {
              plist_dict_set_item(plist_dict_get_item(r, "$top"), "root", plist_new_uid(0)); }) },
    };
    for (const auto& [what, bytes] : cases) {
        std::string error;
        EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(bytes, &error)) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
}

TEST(KeyedUnarchiver, AcceptsOnlyTheExpectedClasses)
{
    Other other;
    other.value = 3;
    std::string error;
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(other), &error));
    EXPECT_NE(error.find("Other"), std::string::npos);

    // A list where an object is expected, and an object where a list is expected.
    std::vector<std::shared_ptr<Node>> list { leaf("a", 1) };
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(list)));
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObjects<Node>(KeyedArchiver::archivedData(*leaf("a", 1))));

    // A nested object whose class was renamed inside the archive.
    Node root;
    root.child = leaf("c", 2);
    Bytes renamed = edited(KeyedArchiver::archivedData(root), [](plist_t r) {
        uint32_t desc = objectWithKey(r, "$classname");
        plist_dict_set_item(plist_array_get_item(objectsOf(r), desc), "$classname", plist_new_string("Injected"));
    });
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(renamed));
}

TEST(KeyedUnarchiver, RefusesValuesOfTheWrongKindAndObjectsThatRefuseThemselves)
{
    Bytes good = KeyedArchiver::archivedData(*leaf("x", 5));
    auto editRoot = [&](const std::function<void(plist_t object)>& edit) {
        return edited(good, [&](plist_t r) { edit(plist_array_get_item(objectsOf(r), objectWithKey(r, "number"))); });
    };
    Bytes textIsObject = edited(good, [](plist_t r) {
        plist_t object = plist_array_get_item(objectsOf(r), objectWithKey(r, "number"));
        plist_dict_set_item(object, "name", plist_new_uid(objectWithKey(r, "$classname")));
    });
    std::vector<std::pair<const char*, Bytes>> cases {
        { "text inline", editRoot([](plist_t o) { plist_dict_set_item(o, "name", plist_new_string("inline")); }) },
        { "text is an object", textIsObject },
        { "number is text", editRoot([](plist_t o) { plist_dict_set_item(o, "number", plist_new_string("5")); }) },
        { "child out of range", editRoot([](plist_t o) { plist_dict_set_item(o, "child", plist_new_uid(1u << 30)); }) },
        { "no class", editRoot([](plist_t o) { plist_dict_remove_item(o, "$class"); }) },
        { "class not a description", editRoot([](plist_t o) { plist_dict_set_item(o, "$class", plist_new_uid(0)); }) },
        { "refused value", editRoot([](plist_t o) { plist_dict_set_item(o, "number", plist_new_uint(static_cast<uint64_t>(-999))); }) },
    };
    for (const auto& [what, bytes] : cases)
        EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(bytes)) << what;

    // Numbers of another kind convert instead of failing.
    auto converted = KeyedUnarchiver::unarchivedObject<Node>(
        editRoot([](plist_t o) { plist_dict_set_item(o, "number", plist_new_real(1e300)); plist_dict_set_item(o, "flag", plist_new_uint(2)); }));
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->number, INT64_MAX);
    EXPECT_TRUE(converted->flag);
}

// A text cut at a byte that is not UTF-8 would read back shorter: the archive is not written,
// and such a text in an archive is damage.
TEST(KeyedArchiver, AnObjectsTextThatWouldNotReadBackIsRefusedBothWays)
{
    std::string error;
    EXPECT_TRUE(KeyedArchiver::archivedData(*leaf("caf\xE9 au lait", 1), &error).empty());
    EXPECT_FALSE(error.empty());
    Bytes damaged = hostile_plist::withReplaced(KeyedArchiver::archivedData(*leaf("cafX", 1)), "cafX", "caf\xE9");
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(damaged, &error));
}

TEST(KeyedUnarchiver, RefusesCyclesAndOverlyDeepObjects)
{
    Node root;
    root.child = leaf("c", 1);
    root.children = std::vector<std::shared_ptr<Node>> { leaf("d", 2) };
    Bytes good = KeyedArchiver::archivedData(root);

    Bytes selfChild = edited(good, [](plist_t r) {
        uint32_t c = objectWithKey(r, "children");
        plist_dict_set_item(plist_array_get_item(objectsOf(r), c), "child", plist_new_uid(c));
    });
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(selfChild));

    // An item of the list holds the list itself.
    Bytes listInItself = edited(good, [](plist_t r) {
        plist_t objects = objectsOf(r);
        uint32_t list = objectWithKey(r, "items");
        uint64_t item = 0;
        plist_get_uid_val(plist_array_get_item(plist_dict_get_item(plist_array_get_item(objects, list), "items"), 0), &item);
        plist_dict_set_item(plist_array_get_item(objects, item), "children", plist_new_uid(list));
    });
    std::string error;
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(listInItself, &error));
    EXPECT_NE(error.find("itself"), std::string::npos) << error;

    auto chain = [](int length) {
        auto head = leaf("0", 0);
        auto cursor = head;
        for (int i = 1; i < length; ++i) {
            cursor->child = leaf(std::to_string(i), i);
            cursor = cursor->child;
        }
        return head;
    };
    EXPECT_TRUE(KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(*chain(KeyedUnarchiver::kMaxObjectDepth))));
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(KeyedArchiver::archivedData(*chain(KeyedUnarchiver::kMaxObjectDepth + 1))));
}

TEST(KeyedUnarchiver, PropertyListBombsAreRefusedBeforeParsing)
{
    for (const auto& [what, bytes] : hostile_plist::hostileBinaryLists(KeyedUnarchiver::kMaxNesting)) {
        std::string error;
        double seconds = hostile_plist::secondsToRun(
            [&] { EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(bytes, &error)) << what; });
        EXPECT_LT(seconds, 2.0) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
}

TEST(KeyedUnarchiver, DamagedBytesNeverCrash)
{
    Node root;
    root.name = "damaged";
    root.blob = Bytes(40, 7);
    root.child = leaf("c", 1);
    root.children = std::vector<std::shared_ptr<Node>> { leaf("d", 2), leaf("e", 3) };
    Bytes good = KeyedArchiver::archivedData(root);
    ASSERT_TRUE(KeyedUnarchiver::unarchivedObject<Node>(good));

    for (size_t cut = 0; cut < good.size(); ++cut) {
        Bytes prefix(good.begin(), good.begin() + cut);
        EXPECT_FALSE(KeyedUnarchiver::unarchivedObject<Node>(prefix)) << cut;
    }
    // Every byte flipped in turn: the result may or may not decode, but nothing crashes.
    for (size_t at = 0; at < good.size(); ++at) {
        for (uint8_t flip : { 0x01, 0x10, 0x80, 0xFF }) {
            Bytes damaged = good;
            damaged[at] ^= flip;
            (void)KeyedUnarchiver::unarchivedObject<Node>(damaged);
        }
    }
}
