#include "core/records/RecordFields.h"

#include "platform/foundation/KeyedUnarchiver.h"

#include <climits>

namespace RecordFields {

int integer(const pf::Value& object, std::string_view key)
{
    return integer(object[key]);
}

int integer(const pf::Value& value)
{
    long long v = value.longValue();
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

long long longInteger(const pf::Value& object, std::string_view key)
{
    return object[key].longValue();
}

bool flag(const pf::Value& object, std::string_view key)
{
    return object[key].boolValue();
}

RecordText text(const pf::Value& object, std::string_view key)
{
    return RecordText::fromJson(object[key]);
}

std::optional<std::vector<std::string>> textPieces(const pf::Value& object, std::string_view key, char separator)
{
    RecordText whole = text(object, key);
    if (!whole.hasText())
        return std::nullopt;
    std::vector<std::string> pieces;
    std::string_view rest = whole.text();
    for (;;) {
        size_t at = rest.find(separator);
        pieces.emplace_back(rest.substr(0, at));
        if (at == std::string_view::npos)
            break;
        rest.remove_prefix(at + 1);
    }
    return pieces;
}

pf::Value archivedFields(pf::KeyedUnarchiver& coder, std::span<const char* const> keys)
{
    pf::Dictionary fields;
    for (const char* key : keys) {
        pf::Value value = archivedField(coder, key);
        if (!value.isMissing())
            fields.set(key, std::move(value));
    }
    return pf::Value(std::move(fields));
}

pf::Value archivedField(pf::KeyedUnarchiver& coder, std::string_view key)
{
    auto className = coder.classNameOfObject(key);
    if (className && *className != pf::KeyedArchiveFormat::kNullClassName)
        return pf::Value::missing();
    return coder.decodeValue(key);
}

}
