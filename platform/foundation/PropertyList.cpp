#include "platform/foundation/PropertyList.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/PropertyListDates.h"
#include "platform/foundation/TextEncoding.h"

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace pf {

namespace {

constexpr size_t kMaxInput = std::numeric_limits<std::uint32_t>::max();

struct PlistHolder {
    plist_t node { nullptr };
    ~PlistHolder() { if (node) plist_free(node); }
};

bool fail(std::string* error, const char* reason)
{
    if (error)
        *error = reason;
    return false;
}

// The dates of the binary list this thread is reading or writing, which cross the library as
// ordinals (see BinaryDateTimes); none for the XML form, whose text holds whole seconds.
thread_local BinaryDateTimes* t_binaryDates = nullptr;

struct BinaryDatesScope {
    explicit BinaryDatesScope(BinaryDateTimes* dates) : m_outer(std::exchange(t_binaryDates, dates)) { }
    ~BinaryDatesScope() { t_binaryDates = m_outer; }
    BinaryDatesScope(const BinaryDatesScope&) = delete;
    BinaryDatesScope& operator=(const BinaryDatesScope&) = delete;

private:
    BinaryDateTimes* m_outer;
};

// The library writes a text only up to a NUL or a byte that is not UTF-8, and an overlong NUL as
// a NUL; such a text is refused rather than written other than it is, and taken as damaged when
// read.
bool isStorableText(std::string_view text, std::string* error)
{
    return TextEncoding::isNulFreeUtf8(text) || fail(error, "a text or key is not UTF-8 or holds a NUL character");
}

// How much damage a reading takes: an element of a container that does not read is left out
// (and counted) when it lies at most `level` levels below the top; deeper, it leaves out the
// element holding it at that level. Level 0 is strict: the whole list is damaged.
struct Entries {
    int level { 0 };
    size_t leftOut { 0 };
    bool leaveOut(int elementDepth)
    {
        if (elementDepth > level)
            return false;
        ++leftOut;
        return true;
    }
};

std::optional<Value> toValue(plist_t node, int depth, Entries& entries, std::string* error)
{
    if (depth > PropertyList::kMaxDepth) {
        fail(error, "property list nested too deeply");
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<long long>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        std::uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        std::string_view text(s ? s : "", s ? length : 0);
        if (!isStorableText(text, error))
            return std::nullopt;
        return Value(std::string(text));
    }
    case PLIST_DATA: {
        char* d = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &d, &length);
        Bytes bytes;
        if (d && length > 0)
            bytes.assign(reinterpret_cast<const std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(d) + length);
        std::free(d);
        return Value(std::move(bytes));
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        auto time = t_binaryDates ? t_binaryDates->timeOf(sec, usec) : std::optional<double>(sec + usec / 1e6);
        if (!time || !std::isfinite(*time)) {
            fail(error, "a date is damaged or not finite");
            return std::nullopt;
        }
        return Value(Date::sinceReference(*time));
    }
    case PLIST_UID: {
        std::uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return Value(Dictionary { { "CF$UID", Value(static_cast<long long>(u)) } });
    }
    case PLIST_ARRAY: {
        Array out;
        std::uint32_t n = plist_array_get_size(node);
        out.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            plist_t item = plist_array_get_item(node, i);
            if (!item) {
                fail(error, "broken array");
                return std::nullopt;
            }
            auto v = toValue(item, depth + 1, entries, error);
            if (v)
                out.push_back(std::move(*v));
            else if (!entries.leaveOut(depth + 1))
                return std::nullopt;
        }
        return Value(std::move(out));
    }
    case PLIST_DICT: {
        Dictionary out;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return Value(std::move(out));
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            // A key cannot hold a NUL here: PropertyListCheck refused any before the library read
            // it, or marked it to read as no UTF-8.
            std::string k = key ? key : "";
            std::free(key);
            auto v = isStorableText(k, error) ? toValue(item, depth + 1, entries, error) : std::nullopt;
            if (v) {
                out.set(std::move(k), std::move(*v));
            } else if (!entries.leaveOut(depth + 1)) {
                std::free(it);
                return std::nullopt;
            }
        }
        std::free(it);
        return Value(std::move(out));
    }
    default:
        fail(error, "unknown node in property list");
        return std::nullopt;
    }
}

plist_t toNode(const Value& value, int depth, std::string* error)
{
    if (depth > PropertyList::kMaxDepth) {
        fail(error, "value nested too deeply");
        return nullptr;
    }
    switch (value.type()) {
    case Value::Type::Missing:
    case Value::Type::Null:
        fail(error, "null cannot be stored in a property list");
        return nullptr;
    case Value::Type::Bool:
        return plist_new_bool(value.boolValue() ? 1 : 0);
    case Value::Type::Integer:
        return plist_new_uint(static_cast<std::uint64_t>(*value.asInteger()));
    case Value::Type::Real:
        return plist_new_real(*value.asReal());
    case Value::Type::String:
        if (!isStorableText(*value.asString(), error))
            return nullptr;
        return plist_new_string(value.asString()->c_str());
    case Value::Type::Data: {
        const Bytes& d = *value.asData();
        return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case Value::Type::Date: {
        double t = value.asDate()->secondsSinceReference();
        if (!std::isfinite(t)) {
            fail(error, "a date is not finite");
            return nullptr;
        }
        if (t_binaryDates)
            return plist_new_date(t_binaryDates->ordinalOf(t), 0);
        // The XML text holds the nearest whole second, within the library's 32-bit range.
        t = std::round(t);
        if (t < std::numeric_limits<std::int32_t>::min() || t > std::numeric_limits<std::int32_t>::max()) {
            fail(error, "date out of range");
            return nullptr;
        }
        return plist_new_date(static_cast<std::int32_t>(t), 0);
    }
    case Value::Type::Array: {
        plist_t array = plist_new_array();
        for (const auto& item : *value.asArray()) {
            plist_t child = toNode(item, depth + 1, error);
            if (!child) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, child);
        }
        return array;
    }
    case Value::Type::Dictionary: {
        const Dictionary& d = *value.asDictionary();
        if (d.size() == 1) {
            const Value* uid = d.find("CF$UID");
            if (uid && uid->asInteger() && *uid->asInteger() >= 0)
                return plist_new_uid(static_cast<std::uint64_t>(*uid->asInteger()));
        }
        plist_t dict = plist_new_dict();
        for (const auto& [key, item] : d) {
            plist_t child = isStorableText(key, error) ? toNode(item, depth + 1, error) : nullptr;
            if (!child) {
                plist_free(dict);
                return nullptr;
            }
            plist_dict_set_item(dict, key.c_str(), child);
        }
        return dict;
    }
    }
    fail(error, "unknown value");
    return nullptr;
}

}

namespace {

std::optional<Value> parseData(std::string_view data, Entries& entries, std::string* error, PropertyList::Format* format,
    LoneSurrogates lone = LoneSurrogates::Damage)
{
    if (data.empty()) {
        fail(error, "empty property list");
        return std::nullopt;
    }
    if (data.size() >= kMaxInput) {
        fail(error, "property list too large");
        return std::nullopt;
    }
    PlistHolder root;
    auto length = static_cast<std::uint32_t>(data.size());
    bool binary = plist_is_binary(data.data(), length);
    // The library reads the binary dates' ordinals; the check looks at what it will read.
    BinaryDateTimes dates;
    if (binary && !dates.take(data, error))
        return std::nullopt;
    data = dates.data(data);
    // A text holding a NUL would reach the library cut short; read by entries, it is marked
    // so that it reads as damage instead. A reply's lone surrogates are made U+FFFD the same way.
    std::string marked;
    std::string* mark = entries.level > 0 ? &marked : nullptr;
    if (binary ? !PropertyListCheck::binary(data, PropertyList::kMaxDepth, PropertyList::kMaxNodes, error,
                     lone == LoneSurrogates::Replace ? &marked : mark, lone)
               : !PropertyListCheck::xml(data, PropertyList::kMaxDepth, error, mark))
        return std::nullopt;
    if (!marked.empty())
        data = marked;
    if (binary) {
        plist_from_bin(data.data(), length, &root.node);
    } else {
        // The XML reader wants to see the text's end; give it a terminated copy.
        std::string text(data);
        plist_from_xml(text.c_str(), length, &root.node);
    }
    if (!root.node) {
        fail(error, binary ? "malformed binary property list" : "malformed XML property list");
        return std::nullopt;
    }
    if (format)
        *format = binary ? PropertyList::Format::Binary : PropertyList::Format::Xml;
    BinaryDatesScope scope(binary ? &dates : nullptr);
    return toValue(root.node, 0, entries, error);
}

}

std::optional<Value> PropertyList::parse(std::string_view data, std::string* error, Format* format, LoneSurrogates lone)
{
    Entries strict;
    return parseData(data, strict, error, format, lone);
}

std::optional<Value> PropertyList::parseEntries(const Bytes& data, int entryLevel, size_t* leftOut, std::string* error)
{
    Entries entries { std::max(entryLevel, 1) };
    auto value = parseData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), entries, error, nullptr);
    if (leftOut)
        *leftOut = value ? entries.leftOut : 0;
    return value;
}

std::optional<Value> PropertyList::parse(const Bytes& data, std::string* error, Format* format, LoneSurrogates lone)
{
    return parse(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error, format, lone);
}

std::optional<Bytes> PropertyList::write(const Value& value, Format format, std::string* error)
{
    PlistHolder root;
    BinaryDateTimes dates;
    {
        BinaryDatesScope scope(format == Format::Binary ? &dates : nullptr);
        root.node = toNode(value, 0, error);
    }
    if (!root.node)
        return std::nullopt;
    char* out = nullptr;
    std::uint32_t length = 0;
    if (format == Format::Binary)
        plist_to_bin(root.node, &out, &length);
    else
        plist_to_xml(root.node, &out, &length);
    if (!out) {
        fail(error, "cannot write the property list");
        return std::nullopt;
    }
    if (format == Format::Binary && !dates.put(out, length, error)) {
        plist_to_bin_free(out);
        return std::nullopt;
    }
    Bytes bytes(reinterpret_cast<const std::uint8_t*>(out), reinterpret_cast<const std::uint8_t*>(out) + length);
    if (format == Format::Binary)
        plist_to_bin_free(out);
    else
        plist_to_xml_free(out);
    return bytes;
}

std::optional<std::string> PropertyList::writeXml(const Value& value, std::string* error)
{
    auto bytes = write(value, Format::Xml, error);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::optional<Value> PropertyList::readFile(const std::string& path, std::string* error)
{
    auto bytes = FileManager::read(path);
    if (!bytes) {
        fail(error, "cannot read the file");
        return std::nullopt;
    }
    return parse(*bytes, error);
}

bool PropertyList::writeFile(const std::string& path, const Value& value, Format format, std::string* error)
{
    auto bytes = write(value, format, error);
    return bytes && FileManager::writeAtomically(path, *bytes, error);
}

}
