#include "sdk/stats/StatLogCodec.h"

#include <nlohmann/json.hpp>
#include <zlib.h>

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
        out = *value.asString();
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
            out[key] = std::move(element);
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
    return converted.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

std::size_t StatLogCodec::jsonLength(const pf::Value& value)
{
    auto text = json(value);
    return text ? text->size() : 0;
}

std::optional<pf::Bytes> StatLogCodec::gzipDeflate(const pf::Bytes& data)
{
    if (data.empty())
        return data;
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    constexpr std::size_t kStep = 16384;
    pf::Bytes out(kStep);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    do {
        if (stream.total_out >= out.size())
            out.resize(out.size() + kStep);
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = deflate(&stream, Z_FINISH);
    } while (status == Z_OK || (status == Z_BUF_ERROR && stream.avail_out == 0));
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return out;
}

std::optional<pf::Bytes> StatLogCodec::gzipInflate(const pf::Bytes& data, std::size_t maxBytes)
{
    if (data.empty())
        return data;
    z_stream stream {};
    if (inflateInit2(&stream, 47) != Z_OK)
        return std::nullopt;
    pf::Bytes out;
    unsigned char chunk[16384];
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        out.insert(out.end(), chunk, chunk + (sizeof chunk - stream.avail_out));
        if (out.size() > maxBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
            break; // input ended before the stream did
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return out;
}

