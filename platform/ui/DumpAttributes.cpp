#include "platform/ui/DumpAttributes.h"

#include <cmath>
#include <cstdio>

namespace pf {

void DumpAttributes::text(std::string key, std::string value)
{
    m_items.push_back({ Kind::Text, std::move(key), std::move(value) });
}

void DumpAttributes::value(std::string key, std::string value)
{
    m_items.push_back({ Kind::Value, std::move(key), std::move(value) });
}

void DumpAttributes::flag(std::string name)
{
    m_items.push_back({ Kind::Flag, std::move(name), {} });
}

std::vector<std::string> DumpAttributes::texts() const
{
    std::vector<std::string> out;
    for (const auto& item : m_items)
        if (item.kind == Kind::Text)
            out.push_back(item.value);
    return out;
}

bool DumpAttributes::hasFlag(const std::string& name) const
{
    for (const auto& item : m_items)
        if (item.kind == Kind::Flag && item.key == name)
            return true;
    return false;
}

namespace {
    std::string quoted(const std::string& s)
    {
        std::string out = "\"";
        for (char c : s) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
            }
        }
        out += '"';
        return out;
    }
}

std::string DumpAttributes::format() const
{
    std::string out;
    for (const auto& item : m_items) {
        if (!out.empty())
            out += ' ';
        switch (item.kind) {
        case Kind::Text: out += item.key + "=" + quoted(item.value); break;
        case Kind::Value: out += item.key + "=" + item.value; break;
        case Kind::Flag: out += item.key; break;
        }
    }
    return out;
}

std::string DumpAttributes::number(double v)
{
    if (!std::isfinite(v))
        return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
    double r = std::round(v * 100) / 100;
    if (r == 0)
        r = 0; // no "-0"
    char buf[64];
    if (r == std::floor(r) && std::fabs(r) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", r);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.2f", r);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    return s;
}

}
