#include "sdk/lmconnect/openapi/MorrowParams.h"

#include "platform/foundation/Json.h"

std::string MorrowParam::text() const
{
    switch (value.type()) {
    case pf::Value::Type::String:
        return *value.asString();
    case pf::Value::Type::Array:
    case pf::Value::Type::Dictionary:
        return pf::Json::write(value);
    default:
        return value.stringValue();
    }
}

MorrowParams::MorrowParams(std::initializer_list<Entry> entries)
{
    for (auto& [key, value] : entries)
        set(key, value);
}

void MorrowParams::set(std::string key, MorrowParam value)
{
    for (auto& entry : m_entries) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(std::move(key), std::move(value));
}

bool MorrowParams::remove(std::string_view key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == key) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
}

const MorrowParam* MorrowParams::find(std::string_view key) const
{
    for (auto& entry : m_entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

std::optional<std::string> MorrowParams::textFor(std::string_view key) const
{
    const MorrowParam* param = find(key);
    if (!param || param->image)
        return std::nullopt;
    if (const std::string* text = param->value.asString())
        return *text;
    return std::nullopt;
}

std::vector<std::string> MorrowParams::keys() const
{
    std::vector<std::string> out;
    out.reserve(m_entries.size());
    for (auto& entry : m_entries)
        out.push_back(entry.first);
    return out;
}
