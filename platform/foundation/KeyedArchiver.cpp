#include "platform/foundation/KeyedArchiver.h"

#include "platform/foundation/TextEncoding.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <unordered_map>

namespace pf {

using Format = KeyedArchiveFormat;

struct KeyedArchiver::Impl {
    plist_t top { plist_new_dict() };
    std::vector<plist_t> objects; // owned until `finish` moves them into the archive
    plist_t current { nullptr };  // the dictionary that encode... calls write into
    std::string refusal;          // why the archive cannot be written: it comes out empty
    std::unordered_map<const void*, std::uint64_t> objectByIdentity;
    std::map<std::string, std::uint64_t, std::less<>> classByName;

    Impl()
    {
        objects.push_back(plist_new_string(Format::kNullObject));
        current = top;
    }

    ~Impl()
    {
        if (top)
            plist_free(top);
        for (plist_t object : objects)
            plist_free(object);
    }

    std::uint64_t append(plist_t object)
    {
        objects.push_back(object);
        return objects.size() - 1;
    }

    void refuse(std::string_view reason)
    {
        if (refusal.empty())
            refusal = reason;
    }

    // The library keeps a text only up to a NUL or a byte that is not UTF-8, and writes an
    // overlong NUL as a NUL; such a text would not read back as it was.
    bool isStorable(std::string_view text)
    {
        if (TextEncoding::isNulFreeUtf8(text))
            return true;
        refuse("a text, key or class name is not UTF-8 or holds a NUL character");
        return false;
    }

    std::uint64_t classReference(std::string_view name)
    {
        auto found = classByName.find(name);
        if (found != classByName.end())
            return found->second;
        isStorable(name);
        plist_t description = plist_new_dict();
        plist_dict_set_item(description, Format::kClassNameKey, plist_new_string(std::string(name).c_str()));
        plist_t chain = plist_new_array();
        plist_array_append_item(chain, plist_new_string(std::string(name).c_str()));
        plist_array_append_item(chain, plist_new_string(Format::kBaseClassName));
        plist_dict_set_item(description, Format::kClassesKey, chain);
        auto ref = append(description);
        classByName.emplace(std::string(name), ref);
        return ref;
    }

    void put(std::string_view key, plist_t value)
    {
        isStorable(key);
        std::string escaped = !key.empty() && key.front() == '$' ? "$" + std::string(key) : std::string(key);
        plist_dict_set_item(current, escaped.c_str(), value);
    }
};

KeyedArchiver::KeyedArchiver()
    : m(std::make_unique<Impl>())
{
}

KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeText(std::string_view key, std::string_view text)
{
    if (!m->isStorable(text)) {
        encodeReference(key, 0);
        return;
    }
    encodeReference(key, m->append(plist_new_string(std::string(text).c_str())));
}

void KeyedArchiver::encodeText(std::string_view key, const std::optional<std::string>& text)
{
    if (text)
        encodeText(key, std::string_view(*text));
    else
        encodeReference(key, 0);
}

void KeyedArchiver::encodeInteger(std::string_view key, std::int64_t value)
{
    // The property list's integer node is unsigned; negative values keep their two's
    // complement bits and read back as the same signed number.
    m->put(key, plist_new_uint(static_cast<std::uint64_t>(value)));
}

void KeyedArchiver::encodeDouble(std::string_view key, double value)
{
    m->put(key, plist_new_real(value));
}

void KeyedArchiver::encodeBool(std::string_view key, bool value)
{
    m->put(key, plist_new_bool(value ? 1 : 0));
}

void KeyedArchiver::encodeData(std::string_view key, const Bytes& data)
{
    auto ref = m->append(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    encodeReference(key, ref);
}

void KeyedArchiver::encodeValue(std::string_view key, const Value& value)
{
    encodeReference(key, valueReference(value, 0));
}

Bytes KeyedArchiver::archivedValue(const Value& root, std::string* error)
{
    if (root.isMissing()) {
        if (error)
            *error = "a missing value cannot be archived";
        return {};
    }
    KeyedArchiver archiver;
    archiver.encodeValue(Format::kRootKey, root);
    return archiver.finish(error);
}

std::uint64_t KeyedArchiver::valueReference(const Value& value, int depth)
{
    auto type = value.type();
    bool isObject = type == Value::Type::Null || type == Value::Type::Date || type == Value::Type::Array
        || type == Value::Type::Dictionary;
    if (isObject && depth >= Format::kMaxValueDepth) {
        m->refuse("a value is nested too deeply");
        return 0;
    }
    auto classedObject = [this](const char* className) {
        plist_t dict = plist_new_dict();
        plist_dict_set_item(dict, Format::kClassKey, plist_new_uid(m->classReference(className)));
        return dict;
    };
    switch (type) {
    case Value::Type::Missing:
        return 0;
    case Value::Type::Null:
        return m->append(classedObject(Format::kNullClassName));
    case Value::Type::Bool:
        return m->append(plist_new_bool(*value.asBool() ? 1 : 0));
    case Value::Type::Integer:
        return m->append(plist_new_uint(static_cast<std::uint64_t>(*value.asInteger())));
    case Value::Type::Real:
        return m->append(plist_new_real(*value.asReal()));
    case Value::Type::String:
        if (!m->isStorable(*value.asString()))
            return 0;
        return m->append(plist_new_string(value.asString()->c_str()));
    case Value::Type::Data: {
        const Bytes& data = *value.asData();
        return m->append(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    case Value::Type::Date: {
        // The kept count is the archive's, so the date reads back exactly. One that is not finite
        // would not read back at all.
        double time = value.asDate()->secondsSinceReference();
        if (!std::isfinite(time)) {
            m->refuse("a date is not finite");
            return 0;
        }
        plist_t dict = classedObject(Format::kDateClassName);
        plist_dict_set_item(dict, Format::kDateTimeKey, plist_new_real(time));
        return m->append(dict);
    }
    case Value::Type::Array: {
        // Items are written before the list refers to them, so the table holds them first.
        std::vector<std::uint64_t> refs;
        for (const Value& item : *value.asArray()) {
            if (!item.isMissing())
                refs.push_back(valueReference(item, depth + 1));
        }
        return arrayReference(refs);
    }
    case Value::Type::Dictionary: {
        plist_t keys = plist_new_array();
        plist_t objects = plist_new_array();
        for (const auto& [key, item] : *value.asDictionary()) {
            if (item.isMissing() || !m->isStorable(key))
                continue;
            plist_array_append_item(keys, plist_new_uid(m->append(plist_new_string(key.c_str()))));
            plist_array_append_item(objects, plist_new_uid(valueReference(item, depth + 1)));
        }
        plist_t dict = classedObject(Format::kDictionaryClassName);
        plist_dict_set_item(dict, Format::kDictionaryKeysKey, keys);
        plist_dict_set_item(dict, Format::kDictionaryObjectsKey, objects);
        return m->append(dict);
    }
    }
    return 0;
}

std::uint64_t KeyedArchiver::addObject(const void* identity, std::string_view className,
    const std::function<void(KeyedArchiver&)>& encodeBody)
{
    auto known = m->objectByIdentity.find(identity);
    if (known != m->objectByIdentity.end())
        return known->second;

    plist_t dict = plist_new_dict();
    auto ref = m->append(dict);
    m->objectByIdentity.emplace(identity, ref);
    plist_dict_set_item(dict, Format::kClassKey, plist_new_uid(m->classReference(className)));

    plist_t outer = m->current;
    m->current = dict;
    encodeBody(*this);
    m->current = outer;
    return ref;
}

std::uint64_t KeyedArchiver::arrayReference(const std::vector<std::uint64_t>& refs)
{
    plist_t dict = plist_new_dict();
    plist_t items = plist_new_array();
    for (auto ref : refs)
        plist_array_append_item(items, plist_new_uid(ref));
    plist_dict_set_item(dict, Format::kArrayItemsKey, items);
    plist_dict_set_item(dict, Format::kClassKey, plist_new_uid(m->classReference(Format::kArrayClassName)));
    return m->append(dict);
}

void KeyedArchiver::refuse(std::string_view reason)
{
    m->refuse(reason.empty() ? std::string_view("the object cannot be archived") : reason);
}

void KeyedArchiver::encodeReference(std::string_view key, std::uint64_t ref)
{
    m->put(key, plist_new_uid(ref));
}

Bytes KeyedArchiver::finish(std::string* error)
{
    if (error)
        *error = m->refusal;
    if (!m->refusal.empty())
        return {};
    plist_t archive = plist_new_dict();
    plist_dict_set_item(archive, Format::kArchiverKey, plist_new_string(Format::kArchiverName));
    plist_dict_set_item(archive, Format::kVersionKey, plist_new_uint(Format::kVersion));
    plist_t objects = plist_new_array();
    for (plist_t object : m->objects)
        plist_array_append_item(objects, object);
    m->objects.clear();
    plist_dict_set_item(archive, Format::kObjectsKey, objects);
    plist_dict_set_item(archive, Format::kTopKey, m->top);
    m->top = nullptr;
    m->current = nullptr;

    char* bin = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(archive, &bin, &length);
    Bytes result;
    if (bin) {
        result.assign(reinterpret_cast<const std::uint8_t*>(bin), reinterpret_cast<const std::uint8_t*>(bin) + length);
        plist_to_bin_free(bin);
    } else if (error) {
        *error = "the archive cannot be written";
    }
    plist_free(archive);
    return result;
}

}
