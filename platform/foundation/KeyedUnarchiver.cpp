#include "platform/foundation/KeyedUnarchiver.h"

#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/TextEncoding.h"

#include <plist/plist.h>

#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <typeindex>
#include <utility>

namespace pf {

using Format = KeyedArchiveFormat;

namespace {

std::string unescapedKey(std::string_view key)
{
    return !key.empty() && key.front() == '$' ? "$" + std::string(key) : std::string(key);
}

bool isString(plist_t node, const char* text)
{
    return node && plist_get_node_type(node) == PLIST_STRING && plist_string_val_compare(node, text) == 0;
}

}

struct KeyedUnarchiver::Impl {
    plist_t archive { nullptr };
    plist_t objects { nullptr };
    std::uint64_t count { 0 };
    plist_t current { nullptr };
    std::vector<bool> inProgress;
    LoneSurrogates lone { LoneSurrogates::Damage };
    int depth { 0 };
    int valueDepth { 0 };
    std::uint64_t valueNodes { 0 };
    // Containers already decoded, with the number of values each holds in all: a container
    // referenced many times is read once but counted at every use.
    std::map<std::uint64_t, std::pair<Value, std::uint64_t>> decodedValues;
    std::map<std::pair<std::uint64_t, std::type_index>, std::shared_ptr<void>> decoded;
    // Keyed by whether plain items were skipped too: the same list read the other way differs.
    std::map<std::tuple<std::uint64_t, std::type_index, bool>, std::vector<std::shared_ptr<void>>> decodedLists;
    std::string error;
    // The last key looked up and the last object whose class was read (the archive never
    // changes while it is read).
    mutable struct {
        plist_t dict { nullptr };
        std::string key;
        plist_t node { nullptr };
    } looked;
    mutable struct {
        plist_t dict { nullptr };
        std::optional<std::string_view> name;
    } named;

    ~Impl()
    {
        if (archive)
            plist_free(archive);
    }

    bool failed() const { return !error.empty(); }

    void fail(std::string reason)
    {
        if (error.empty())
            error = reason.empty() ? "the archive was refused" : std::move(reason);
    }

    plist_t value(std::string_view key) const
    {
        if (failed() || !current)
            return nullptr;
        // Readers ask what a key holds and then read it, which looks it up again.
        if (current != looked.dict || key != looked.key) {
            looked.dict = current;
            looked.key.assign(key);
            looked.node = plist_dict_get_item(current, unescapedKey(key).c_str());
        }
        return looked.node;
    }

    // The reference stored under `key`: nullopt when the key is missing (or after a failure).
    std::optional<std::uint64_t> reference(std::string_view key)
    {
        plist_t node = value(key);
        if (!node)
            return std::nullopt;
        if (plist_get_node_type(node) != PLIST_UID) {
            fail("the value of \"" + std::string(key) + "\" is not a reference");
            return std::nullopt;
        }
        std::uint64_t ref = 0;
        plist_get_uid_val(node, &ref);
        if (ref >= count) {
            fail("a reference points outside the object table");
            return std::nullopt;
        }
        return ref;
    }

    plist_t object(std::uint64_t ref) const { return plist_array_get_item(objects, static_cast<std::uint32_t>(ref)); }

    // The object at `ref` if it is a dictionary of class `className`, else a failure.
    plist_t classed(std::uint64_t ref, std::string_view className)
    {
        plist_t dict = object(ref);
        if (!dict || plist_get_node_type(dict) != PLIST_DICT) {
            fail("a referenced entry is not an object");
            return nullptr;
        }
        auto name = nameOfClass(dict);
        if (!name)
            return nullptr;
        if (*name != className) {
            fail("an object of class \"" + std::string(*name) + "\" where \"" + std::string(className) + "\" was expected");
            return nullptr;
        }
        return dict;
    }

    // The text held by the string entry `node`; nullopt when it is not UTF-8 or holds a NUL,
    // which the archiver never writes: the entry is damaged. Reads only.
    static std::optional<std::string_view> text(plist_t node)
    {
        std::uint64_t length = 0;
        const char* bytes = plist_get_string_ptr(node, &length);
        std::string_view text(bytes ? bytes : "", bytes ? length : 0);
        if (!TextEncoding::isNulFreeUtf8(text))
            return std::nullopt;
        return text;
    }

    // The class name of the object `dict`; nullopt when it has none or its description is
    // damaged. Reads only.
    std::optional<std::string_view> classNameOf(plist_t dict) const
    {
        // An object's class is asked before it is decoded, and asked again by the decoding.
        if (dict != named.dict)
            named = { dict, describedClassName(dict) };
        return named.name;
    }

    std::optional<std::string_view> describedClassName(plist_t dict) const
    {
        plist_t classRef = plist_dict_get_item(dict, Format::kClassKey);
        std::uint64_t classIndex = 0;
        if (!classRef || plist_get_node_type(classRef) != PLIST_UID)
            return std::nullopt;
        plist_get_uid_val(classRef, &classIndex);
        plist_t description = classIndex < count ? object(classIndex) : nullptr;
        plist_t name = description && plist_get_node_type(description) == PLIST_DICT
            ? plist_dict_get_item(description, Format::kClassNameKey) : nullptr;
        if (!name || plist_get_node_type(name) != PLIST_STRING)
            return std::nullopt;
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(name, &length);
        return std::string_view(text ? text : "", text ? length : 0);
    }

    // Whether the entry at `ref` is a plain value rather than an object of an app class: a
    // text, data or a number, or an object of one of the plain classes holding what that class
    // holds (a list its items, a dictionary as many values as keys, a date its time). Reads
    // only; a damaged entry is none, so a reader that skips plain values still refuses it.
    bool isPlainValue(std::uint64_t ref) const
    {
        plist_t entry = object(ref);
        switch (entry ? plist_get_node_type(entry) : PLIST_NONE) {
        case PLIST_STRING:
        case PLIST_DATA:
        case PLIST_UINT:
        case PLIST_REAL:
        case PLIST_BOOLEAN:
            return true;
        case PLIST_DICT:
            break;
        default:
            return false;
        }
        auto name = classNameOf(entry);
        if (!name)
            return false;
        auto member = [&](const char* key) {
            plist_t node = plist_dict_get_item(entry, key);
            return node ? plist_get_node_type(node) : PLIST_NONE;
        };
        if (*name == Format::kArrayClassName)
            return member(Format::kArrayItemsKey) == PLIST_ARRAY;
        if (*name == Format::kDictionaryClassName) {
            if (member(Format::kDictionaryKeysKey) != PLIST_ARRAY || member(Format::kDictionaryObjectsKey) != PLIST_ARRAY)
                return false;
            return plist_array_get_size(plist_dict_get_item(entry, Format::kDictionaryKeysKey))
                == plist_array_get_size(plist_dict_get_item(entry, Format::kDictionaryObjectsKey));
        }
        if (*name == Format::kDateClassName) {
            plist_type time = member(Format::kDateTimeKey);
            return time == PLIST_UINT || time == PLIST_REAL || time == PLIST_BOOLEAN;
        }
        return *name == Format::kNullClassName;
    }

    // The class name of the object `dict`; nullopt (after a failure) when it has none.
    std::optional<std::string_view> nameOfClass(plist_t dict)
    {
        auto name = classNameOf(dict);
        if (!name)
            fail("an object's class description is damaged");
        return name;
    }

    // The references in the array `key` of `dict`, each checked against the table and not
    // "$null"; nullopt (after a failure) otherwise.
    std::optional<std::vector<std::uint64_t>> references(plist_t dict, const char* key)
    {
        plist_t items = plist_dict_get_item(dict, key);
        if (!items || plist_get_node_type(items) != PLIST_ARRAY) {
            fail(std::string("a container has no \"") + key + "\"");
            return std::nullopt;
        }
        std::vector<std::uint64_t> refs;
        std::uint32_t size = plist_array_get_size(items);
        refs.reserve(size);
        for (std::uint32_t i = 0; i < size; ++i) {
            plist_t item = plist_array_get_item(items, i);
            std::uint64_t ref = 0;
            if (plist_get_node_type(item) != PLIST_UID) {
                fail("a container item is not a reference");
                return std::nullopt;
            }
            plist_get_uid_val(item, &ref);
            if (ref == 0 || ref >= count) {
                fail("a container item points outside the object table");
                return std::nullopt;
            }
            refs.push_back(ref);
        }
        return refs;
    }

    // Runs `body` with `dict` as the current object, guarding against cycles and deep nesting.
    template <typename Body>
    void inside(std::uint64_t ref, plist_t dict, Body&& body)
    {
        if (inProgress[ref]) {
            fail("an object refers back to itself");
            return;
        }
        if (depth >= kMaxObjectDepth) {
            fail("objects are nested too deeply");
            return;
        }
        inProgress[ref] = true;
        ++depth;
        plist_t outer = current;
        current = dict;
        body();
        current = outer;
        --depth;
        inProgress[ref] = false;
    }

    // Reads a number of any kind; nullopt (after a failure) for other kinds.
    std::optional<double> realNumber(plist_t node, std::string_view key)
    {
        switch (plist_get_node_type(node)) {
        case PLIST_UINT: {
            std::uint64_t raw = 0;
            plist_get_uint_val(node, &raw);
            return static_cast<double>(static_cast<std::int64_t>(raw));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return d;
        }
        case PLIST_BOOLEAN: {
            std::uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return b ? 1.0 : 0.0;
        }
        default:
            fail("the value of \"" + std::string(key) + "\" is not a number");
            return std::nullopt;
        }
    }
};

KeyedUnarchiver::KeyedUnarchiver(const Bytes& data, LoneSurrogates lone)
    : m(std::make_unique<Impl>())
{
    m->lone = lone;
    if (data.size() > kMaxArchiveBytes) {
        m->fail("the archive is too large");
        return;
    }
    std::string shapeError;
    std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    // A reply's lone surrogates are read as U+FFFD from a copy.
    std::string replaced;
    if (!PropertyListCheck::binary(bytes, kMaxNesting, kMaxNodes, &shapeError,
            lone == LoneSurrogates::Replace ? &replaced : nullptr, lone)) {
        m->fail(shapeError);
        return;
    }
    if (!replaced.empty())
        bytes = replaced;
    plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &m->archive);
    plist_t archive = m->archive;
    if (!archive || plist_get_node_type(archive) != PLIST_DICT) {
        m->fail("not a keyed archive");
        return;
    }
    plist_t version = plist_dict_get_item(archive, Format::kVersionKey);
    std::uint64_t versionValue = 0;
    if (version && plist_get_node_type(version) == PLIST_UINT)
        plist_get_uint_val(version, &versionValue);
    if (!isString(plist_dict_get_item(archive, Format::kArchiverKey), Format::kArchiverName) || versionValue != Format::kVersion) {
        m->fail("not a keyed archive of this archiver");
        return;
    }
    m->objects = plist_dict_get_item(archive, Format::kObjectsKey);
    plist_t top = plist_dict_get_item(archive, Format::kTopKey);
    if (!m->objects || plist_get_node_type(m->objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT
        || plist_array_get_size(m->objects) == 0 || !isString(m->object(0), Format::kNullObject)) {
        m->fail("the archive's object table is damaged");
        return;
    }
    m->count = plist_array_get_size(m->objects);
    m->inProgress.assign(m->count, false);
    m->current = top;
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

void KeyedUnarchiver::fail(std::string reason)
{
    m->fail(std::move(reason));
}

bool KeyedUnarchiver::failed() const
{
    return m->failed();
}

const std::string& KeyedUnarchiver::error() const
{
    return m->error;
}

bool KeyedUnarchiver::containsKey(std::string_view key) const
{
    return m->value(key) != nullptr;
}

std::optional<std::string> KeyedUnarchiver::classNameOfObject(std::string_view key) const
{
    plist_t node = m->value(key);
    if (!node || plist_get_node_type(node) != PLIST_UID)
        return std::nullopt;
    std::uint64_t ref = 0;
    plist_get_uid_val(node, &ref);
    plist_t dict = ref > 0 && ref < m->count ? m->object(ref) : nullptr;
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return std::nullopt;
    auto name = m->classNameOf(dict);
    return name ? std::optional<std::string>(*name) : std::nullopt;
}

std::optional<std::string> KeyedUnarchiver::decodeText(std::string_view key)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return std::nullopt;
    plist_t node = m->object(*ref);
    if (plist_get_node_type(node) != PLIST_STRING) {
        m->fail("the value of \"" + std::string(key) + "\" is not a text");
        return std::nullopt;
    }
    auto text = m->text(node);
    if (!text) {
        m->fail("the value of \"" + std::string(key) + "\" is not a UTF-8 text");
        return std::nullopt;
    }
    return std::string(*text);
}

std::int64_t KeyedUnarchiver::decodeInteger(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return 0;
    if (plist_get_node_type(node) == PLIST_UINT) {
        std::uint64_t raw = 0;
        plist_get_uint_val(node, &raw);
        return static_cast<std::int64_t>(raw);
    }
    auto d = m->realNumber(node, key);
    if (!d || std::isnan(*d))
        return 0;
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (*d >= kLimit)
        return std::numeric_limits<std::int64_t>::max();
    if (*d < -kLimit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(*d);
}

double KeyedUnarchiver::decodeDouble(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return 0;
    return m->realNumber(node, key).value_or(0);
}

bool KeyedUnarchiver::decodeBool(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return false;
    auto d = m->realNumber(node, key);
    return d && *d != 0;
}

std::optional<Bytes> KeyedUnarchiver::decodeData(std::string_view key)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return std::nullopt;
    plist_t node = m->object(*ref);
    if (plist_get_node_type(node) != PLIST_DATA) {
        m->fail("the value of \"" + std::string(key) + "\" is not data");
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    if (!bytes)
        return Bytes {};
    return Bytes(reinterpret_cast<const std::uint8_t*>(bytes), reinterpret_cast<const std::uint8_t*>(bytes) + length);
}

LoneSurrogates KeyedUnarchiver::loneSurrogates() const
{
    return m->lone;
}

std::optional<Value> KeyedUnarchiver::unarchivedValue(const Bytes& data, std::string* error, LoneSurrogates lone)
{
    KeyedUnarchiver coder(data, lone);
    Value root = coder.decodeValue(Format::kRootKey);
    if (root.isMissing())
        coder.fail("the archive has no root value");
    if (error)
        *error = coder.error();
    if (coder.failed())
        return std::nullopt;
    return root;
}

Value KeyedUnarchiver::decodeValue(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return Value::missing();
    switch (plist_get_node_type(node)) {
    case PLIST_UINT:
        return Value(static_cast<long long>(decodeInteger(key)));
    case PLIST_REAL:
        return Value(decodeDouble(key));
    case PLIST_BOOLEAN:
        return Value(decodeBool(key));
    default:
        break;
    }
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return Value::missing();
    Value value = decodeValueAt(*ref);
    return m->failed() ? Value::missing() : value;
}

Value KeyedUnarchiver::decodeValueAt(std::uint64_t ref)
{
    if (m->failed())
        return Value::missing();
    if (++m->valueNodes > kMaxNodes) {
        m->fail("the archive holds too many values");
        return Value::missing();
    }
    plist_t node = m->object(ref);
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        auto text = m->text(node);
        if (!text) {
            m->fail("a text of the object table is not UTF-8");
            return Value::missing();
        }
        return Value(std::string(*text));
    }
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
        return Value(bytes ? Bytes(begin, begin + length) : Bytes {});
    }
    case PLIST_UINT: {
        std::uint64_t raw = 0;
        plist_get_uint_val(node, &raw);
        return Value(static_cast<long long>(raw));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_DICT:
        break;
    default:
        m->fail("an entry of the object table is not a plain value");
        return Value::missing();
    }

    auto known = m->decodedValues.find(ref);
    if (known != m->decodedValues.end()) {
        m->valueNodes += known->second.second - 1;
        if (m->valueNodes > kMaxNodes) {
            m->fail("the archive holds too many values");
            return Value::missing();
        }
        return known->second.first;
    }
    auto name = m->nameOfClass(node);
    if (!name)
        return Value::missing();
    std::uint64_t nodesBefore = m->valueNodes - 1;
    if (m->valueDepth >= Format::kMaxValueDepth) {
        m->fail("values are nested too deeply");
        return Value::missing();
    }
    Value result;
    ++m->valueDepth;
    m->inside(ref, node, [&] {
        if (*name == Format::kNullClassName) {
            result = Value::null();
        } else if (*name == Format::kDateClassName) {
            plist_t time = plist_dict_get_item(node, Format::kDateTimeKey);
            auto seconds = time ? m->realNumber(time, Format::kDateTimeKey) : std::nullopt;
            if (!time)
                m->fail("a date has no time");
            else if (seconds && std::isfinite(*seconds))
                result = Value(Date::sinceReference(*seconds));
            else if (seconds)
                m->fail("a date's time is not finite");
        } else if (*name == Format::kArrayClassName) {
            auto refs = m->references(node, Format::kArrayItemsKey);
            if (!refs)
                return;
            Array items;
            items.reserve(refs->size());
            for (auto itemRef : *refs) {
                items.push_back(decodeValueAt(itemRef));
                if (m->failed())
                    return;
            }
            result = Value(std::move(items));
        } else if (*name == Format::kDictionaryClassName) {
            auto keys = m->references(node, Format::kDictionaryKeysKey);
            auto objects = keys ? m->references(node, Format::kDictionaryObjectsKey) : std::nullopt;
            if (!objects)
                return;
            if (keys->size() != objects->size()) {
                m->fail("a dictionary's keys and values differ in number");
                return;
            }
            Dictionary dict;
            for (std::size_t i = 0; i < keys->size(); ++i) {
                plist_t keyNode = m->object((*keys)[i]);
                if (plist_get_node_type(keyNode) != PLIST_STRING) {
                    m->fail("a dictionary key is not a text");
                    return;
                }
                auto key = m->text(keyNode);
                if (!key) {
                    m->fail("a dictionary key is not a UTF-8 text");
                    return;
                }
                Value item = decodeValueAt((*objects)[i]);
                if (m->failed())
                    return;
                dict.set(std::string(*key), std::move(item));
            }
            result = Value(std::move(dict));
        } else {
            m->fail("an object of class \"" + std::string(*name) + "\" where a plain value was expected");
        }
    });
    --m->valueDepth;
    if (m->failed())
        return Value::missing();
    m->decodedValues.emplace(ref, std::make_pair(result, m->valueNodes - nodesBefore));
    return result;
}

std::shared_ptr<void> KeyedUnarchiver::decodeObjectFor(std::string_view key, std::string_view className,
    const std::type_info& type, const Maker& make)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return nullptr;
    return decodeObjectAt(*ref, className, type, make);
}

std::shared_ptr<void> KeyedUnarchiver::decodeObjectAt(std::uint64_t ref, std::string_view className,
    const std::type_info& type, const Maker& make)
{
    plist_t dict = m->classed(ref, className);
    if (!dict)
        return nullptr;
    auto cacheKey = std::make_pair(ref, std::type_index(type));
    auto known = m->decoded.find(cacheKey);
    if (known != m->decoded.end())
        return known->second;

    std::shared_ptr<void> result;
    m->inside(ref, dict, [&] {
        result = make(*this);
        if (!result)
            m->fail("an object of class \"" + std::string(className) + "\" refused its values");
    });
    if (m->failed())
        return nullptr;
    m->decoded.emplace(cacheKey, result);
    return result;
}

bool KeyedUnarchiver::decodeListFor(std::string_view key, std::string_view className, const std::type_info& type,
    const Maker& make, const std::function<void(std::shared_ptr<void>)>& add, PlainItems plain)
{
    const bool skipPlain = plain == PlainItems::Skip;
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return false;
    plist_t dict = m->classed(*ref, Format::kArrayClassName);
    if (!dict)
        return false;
    // A list referenced from many places is decoded once, so shared lists cost no more than
    // their size.
    auto cacheKey = std::make_tuple(*ref, std::type_index(type), skipPlain);
    auto known = m->decodedLists.find(cacheKey);
    if (known == m->decodedLists.end()) {
        plist_t items = plist_dict_get_item(dict, Format::kArrayItemsKey);
        if (!items || plist_get_node_type(items) != PLIST_ARRAY) {
            m->fail("a list has no items");
            return false;
        }
        std::vector<std::shared_ptr<void>> objects;
        m->inside(*ref, dict, [&] {
            std::uint32_t size = plist_array_get_size(items);
            objects.reserve(size);
            for (std::uint32_t i = 0; i < size && !m->failed(); ++i) {
                plist_t item = plist_array_get_item(items, i);
                std::uint64_t itemRef = 0;
                if (plist_get_node_type(item) != PLIST_UID) {
                    m->fail("a list item is not a reference");
                    return;
                }
                plist_get_uid_val(item, &itemRef);
                if (itemRef == 0 || itemRef >= m->count) {
                    m->fail("a list item points outside the object table");
                    return;
                }
                if (skipPlain && m->isPlainValue(itemRef))
                    continue;
                objects.push_back(decodeObjectAt(itemRef, className, type, make));
            }
        });
        if (m->failed())
            return false;
        known = m->decodedLists.emplace(cacheKey, std::move(objects)).first;
    }
    for (const auto& object : known->second)
        add(object);
    return true;
}

bool KeyedUnarchiver::decodeMixedListFor(std::string_view key, const std::vector<ClassChoice>& choices,
    const std::function<void(std::shared_ptr<void>)>& add)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return false;
    plist_t dict = m->classed(*ref, Format::kArrayClassName);
    if (!dict)
        return false;
    plist_t items = plist_dict_get_item(dict, Format::kArrayItemsKey);
    if (!items || plist_get_node_type(items) != PLIST_ARRAY) {
        m->fail("a list has no items");
        return false;
    }
    std::vector<std::shared_ptr<void>> objects;
    m->inside(*ref, dict, [&] {
        std::uint32_t size = plist_array_get_size(items);
        for (std::uint32_t i = 0; i < size && !m->failed(); ++i) {
            plist_t item = plist_array_get_item(items, i);
            std::uint64_t itemRef = 0;
            if (plist_get_node_type(item) != PLIST_UID) {
                m->fail("a list item is not a reference");
                return;
            }
            plist_get_uid_val(item, &itemRef);
            plist_t entry = itemRef == 0 || itemRef >= m->count ? nullptr : m->object(itemRef);
            if (!entry || plist_get_node_type(entry) != PLIST_DICT) {
                m->fail("a list item points outside the object table");
                return;
            }
            auto name = m->nameOfClass(entry);
            if (!name)
                return;
            const ClassChoice* choice = nullptr;
            for (const auto& c : choices) {
                if (c.className == *name)
                    choice = &c;
            }
            if (!choice) {
                m->fail("a list item of the unexpected class \"" + std::string(*name) + "\"");
                return;
            }
            objects.push_back(decodeObjectAt(itemRef, choice->className, *choice->type, choice->make));
        }
    });
    if (m->failed())
        return false;
    for (const auto& object : objects)
        add(object);
    return true;
}

}
