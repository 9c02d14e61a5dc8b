#include "sdk/stats/StatLogCodec.h"

#include "platform/foundation/Gzip.h"
#include "platform/foundation/TextEncoding.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

using OrderedJson = nlohmann::ordered_json;

bool convert(const pf::Value& value, OrderedJson& out, int depth)
{
    if (depth > 64)
        return false;
    switch (value.type()) {
    case pf::Value::Type::Null:
        out = nullptr;
        return true;
    case pf::Value::Type::Bool:
        out = *value.asBool();
        return true;
    case pf::Value::Type::Integer:
        out = *value.asInteger();
        return true;
    case pf::Value::Type::Real: {
        double d = *value.asReal();
        if (!std::isfinite(d))
            return false;
        if (d == std::trunc(d) && std::fabs(d) < 9.0e15)
            out = static_cast<std::int64_t>(d);
        else
            out = d;
        return true;
    }
    case pf::Value::Type::String:
        out = pf::TextEncoding::withEscapedBytes(*value.asString());
        return true;
    case pf::Value::Type::Array: {
        out = OrderedJson::array();
        for (const pf::Value& item : *value.asArray()) {
            OrderedJson element;
            if (!convert(item, element, depth + 1))
                return false;
            out.push_back(std::move(element));
        }
        return true;
    }
    case pf::Value::Type::Dictionary: {
        out = OrderedJson::object();
        for (const auto& [key, item] : *value.asDictionary()) {
            OrderedJson element;
            if (!convert(item, element, depth + 1))
                return false;
            out[pf::TextEncoding::withEscapedBytes(key)] = std::move(element);
        }
        return true;
    }
    case pf::Value::Type::Missing:
    case pf::Value::Type::Data:
    case pf::Value::Type::Date:
        return false;
    }
    return false;
}

}

std::optional<std::string> StatLogCodec::json(const pf::Value& value)
{
    OrderedJson converted;
    if (!convert(value, converted, 0))
        return std::nullopt;
    // Every text is UTF-8 by now, so the strict writer never meets one it would have to alter.
    return converted.dump(-1, ' ', false, OrderedJson::error_handler_t::strict);
}

std::size_t StatLogCodec::jsonLength(const pf::Value& value)
{
    auto text = json(value);
    return text ? text->size() : 0;
}

std::optional<pf::Bytes> StatLogCodec::gzipDeflate(std::span<const std::uint8_t> data)
{
    if (data.empty())
        return pf::Bytes {};
    return pf::Gzip::compress(data);
}

std::optional<pf::Bytes> StatLogCodec::gzipInflate(const pf::Bytes& data, std::size_t maxBytes)
{
    if (data.empty())
        return data;
    return pf::Gzip::decompress(data, maxBytes);
}
