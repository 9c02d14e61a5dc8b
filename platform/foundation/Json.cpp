#include "platform/foundation/Json.h"

#include "platform/foundation/Base64.h"

#include <nlohmann/json.hpp>

namespace pf {

namespace {

// Builds Values straight from the parser's events, so no intermediate tree is kept and the
// nesting depth is bounded.
class Builder final : public nlohmann::json_sax<nlohmann::json> {
public:
    std::optional<Value> result;
    std::string error;

    bool null() override { return put(Value::null()); }
    bool boolean(bool b) override { return put(Value(b)); }
    bool number_integer(number_integer_t i) override { return put(Value(static_cast<long long>(i))); }
    bool number_unsigned(number_unsigned_t u) override
    {
        if (u > static_cast<number_unsigned_t>(INT64_MAX))
            return put(Value(static_cast<double>(u)));
        return put(Value(static_cast<long long>(u)));
    }
    bool number_float(number_float_t d, const string_t&) override { return put(Value(static_cast<double>(d))); }
    bool string(string_t& s) override { return put(Value(std::move(s))); }
    bool binary(binary_t&) override { return put(Value::null()); }

    bool start_object(std::size_t) override { return open(Value(Dictionary {})); }
    bool key(string_t& k) override
    {
        m_keys.back() = std::move(k);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Value(Array {})); }
    bool end_array() override { return close(); }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override
    {
        error = "malformed JSON at byte " + std::to_string(position) + ": " + ex.what();
        return false;
    }

private:
    bool open(Value container)
    {
        if (static_cast<int>(m_stack.size()) >= Json::kMaxDepth) {
            error = "JSON nested too deeply";
            return false;
        }
        m_stack.push_back(std::move(container));
        m_keys.emplace_back();
        return true;
    }

    bool close()
    {
        Value done = std::move(m_stack.back());
        m_stack.pop_back();
        m_keys.pop_back();
        return put(std::move(done));
    }

    bool put(Value v)
    {
        if (m_stack.empty()) {
            result = std::move(v);
            return true;
        }
        Value& top = m_stack.back();
        if (top.isArray())
            top.append(std::move(v));
        else
            top.set(m_keys.back(), std::move(v));
        return true;
    }

    std::vector<Value> m_stack;
    std::vector<std::string> m_keys;
};

nlohmann::ordered_json toJson(const Value& v, int depth)
{
    if (depth > Json::kMaxDepth)
        return nullptr;
    switch (v.type()) {
    case Value::Type::Missing:
    case Value::Type::Null: return nullptr;
    case Value::Type::Bool: return v.boolValue();
    case Value::Type::Integer: return static_cast<std::int64_t>(v.longValue());
    case Value::Type::Real: return v.doubleValue();
    case Value::Type::String: return *v.asString();
    case Value::Type::Data: return Base64::encode(*v.asData());
    case Value::Type::Date: return v.asDate()->secondsSince1970();
    case Value::Type::Array: {
        auto out = nlohmann::ordered_json::array();
        for (auto& e : *v.asArray())
            out.push_back(toJson(e, depth + 1));
        return out;
    }
    case Value::Type::Dictionary: {
        auto out = nlohmann::ordered_json::object();
        for (auto& [k, e] : *v.asDictionary())
            if (!e.isMissing())
                out[k] = toJson(e, depth + 1);
        return out;
    }
    }
    return nullptr;
}

}

std::optional<Value> Json::parse(std::string_view text, std::string* error)
{
    Builder builder;
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(text.begin(), text.end(), &builder, nlohmann::json::input_format_t::json, true, false);
    } catch (const std::exception& ex) {
        builder.error = ex.what();
        ok = false;
    }
    if (!ok || !builder.result) {
        if (error)
            *error = builder.error.empty() ? "malformed JSON" : builder.error;
        return std::nullopt;
    }
    return std::move(builder.result);
}

std::optional<Value> Json::parse(const Bytes& bytes, std::string* error)
{
    return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

std::string Json::write(const Value& value, bool pretty)
{
    // Invalid UTF-8 in a text is replaced rather than thrown on.
    return toJson(value, 0).dump(pretty ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}
