#include "platform/foundation/Value.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pf {

// --- Dictionary ---

Dictionary::Dictionary(std::initializer_list<Entry> entries)
{
    for (auto& e : entries)
        set(e.first, e.second);
}

std::optional<size_t> Dictionary::position(std::string_view key) const
{
    if (!m_index.empty()) {
        auto it = m_index.find(key);
        return it == m_index.end() ? std::nullopt : std::optional<size_t>(it->second);
    }
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].first == key)
            return i;
    return std::nullopt;
}

void Dictionary::rebuildIndex()
{
    m_index.clear();
    if (m_entries.size() < kIndexFrom)
        return;
    m_index.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_index.emplace(m_entries[i].first, i);
}

const Value* Dictionary::find(std::string_view key) const
{
    auto at = position(key);
    return at ? &m_entries[*at].second : nullptr;
}

Value* Dictionary::find(std::string_view key)
{
    auto at = position(key);
    return at ? &m_entries[*at].second : nullptr;
}

void Dictionary::set(std::string key, Value value)
{
    if (auto* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    m_entries.emplace_back(std::move(key), std::move(value));
    if (!m_index.empty())
        m_index.emplace(m_entries.back().first, m_entries.size() - 1);
    else if (m_entries.size() == kIndexFrom)
        rebuildIndex();
}

bool Dictionary::remove(std::string_view key)
{
    auto at = position(key);
    if (!at)
        return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(*at));
    rebuildIndex();
    return true;
}

std::vector<std::string> Dictionary::keys() const
{
    std::vector<std::string> out;
    out.reserve(m_entries.size());
    for (auto& e : m_entries)
        out.push_back(e.first);
    return out;
}

bool Dictionary::operator==(const Dictionary& other) const
{
    if (size() != other.size())
        return false;
    for (auto& e : m_entries) {
        auto* v = other.find(e.first);
        if (!v || !(*v == e.second))
            return false;
    }
    return true;
}

// --- text conversions ---

namespace text {

static size_t skipSpace(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' || s[i] == '\f' || s[i] == '\v'))
        ++i;
    return i;
}

long long longValue(std::string_view s)
{
    size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    unsigned long long acc = 0;
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(s[i] - '0');
        if (acc > (static_cast<unsigned long long>(LLONG_MAX) + 1 - digit) / 10)
            overflow = true;
        else
            acc = acc * 10 + digit;
    }
    if (overflow)
        return negative ? LLONG_MIN : LLONG_MAX;
    if (negative)
        return acc >= static_cast<unsigned long long>(LLONG_MAX) + 1 ? LLONG_MIN : -static_cast<long long>(acc);
    return acc > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(acc);
}

int intValue(std::string_view s)
{
    long long v = longValue(s);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

double doubleValue(std::string_view s)
{
    size_t i = skipSpace(s);
    std::string rest(s.substr(i));
    // Only decimal notation: hex floats, "inf" and "nan" read as 0, like the platform's scanner.
    size_t j = 0;
    if (j < rest.size() && (rest[j] == '+' || rest[j] == '-'))
        ++j;
    if (j >= rest.size() || !(std::isdigit(static_cast<unsigned char>(rest[j])) || rest[j] == '.'))
        return 0;
    if (rest.size() > j + 1 && rest[j] == '0' && (rest[j + 1] == 'x' || rest[j + 1] == 'X'))
        return 0;
    char* end = nullptr;
    double d = std::strtod(rest.c_str(), &end);
    if (!std::isfinite(d))
        return d > 0 ? HUGE_VAL : (d < 0 ? -HUGE_VAL : 0);
    return d;
}

bool boolValue(std::string_view s)
{
    size_t i = skipSpace(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    while (i < s.size() && s[i] == '0')
        ++i;
    if (i >= s.size())
        return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string formatReal(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    if (d == std::trunc(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return buf;
    }
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, ptr);
}

}

// --- Value ---

const Value& Value::missing()
{
    // Never destroyed: queue jobs look up absent keys while the process ends.
    static const Value& m = *new Value();
    return m;
}

Value::Type Value::type() const
{
    switch (m_storage.index()) {
    case 0: return Type::Missing;
    case 1: return Type::Null;
    case 2: return Type::Bool;
    case 3: return Type::Integer;
    case 4: return Type::Real;
    case 5: return Type::String;
    case 6: return Type::Data;
    case 7: return Type::Date;
    case 8: return Type::Array;
    default: return Type::Dictionary;
    }
}

static long long saturate(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9.2233720368547758e18)
        return LLONG_MAX;
    if (d <= -9.2233720368547758e18)
        return LLONG_MIN;
    return static_cast<long long>(d);
}

long long Value::longValue() const
{
    if (auto* b = std::get_if<bool>(&m_storage))
        return *b ? 1 : 0;
    if (auto* i = std::get_if<std::int64_t>(&m_storage))
        return *i;
    if (auto* d = std::get_if<double>(&m_storage))
        return saturate(*d);
    if (auto* s = std::get_if<std::string>(&m_storage))
        return text::longValue(*s);
    return 0;
}

int Value::intValue() const
{
    if (auto* s = std::get_if<std::string>(&m_storage))
        return text::intValue(*s);
    long long v = longValue();
    // A number object truncates to 32 bits when asked for an int, as the platform does.
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

double Value::doubleValue() const
{
    if (auto* b = std::get_if<bool>(&m_storage))
        return *b ? 1 : 0;
    if (auto* i = std::get_if<std::int64_t>(&m_storage))
        return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&m_storage))
        return *d;
    if (auto* s = std::get_if<std::string>(&m_storage))
        return text::doubleValue(*s);
    return 0;
}

bool Value::boolValue() const
{
    if (auto* b = std::get_if<bool>(&m_storage))
        return *b;
    if (auto* i = std::get_if<std::int64_t>(&m_storage))
        return *i != 0;
    if (auto* d = std::get_if<double>(&m_storage))
        return *d != 0;
    if (auto* s = std::get_if<std::string>(&m_storage))
        return text::boolValue(*s);
    return false;
}

std::string Value::stringValue() const
{
    if (auto* s = std::get_if<std::string>(&m_storage))
        return *s;
    if (auto* b = std::get_if<bool>(&m_storage))
        return *b ? "1" : "0";
    if (auto* i = std::get_if<std::int64_t>(&m_storage))
        return std::to_string(*i);
    if (auto* d = std::get_if<double>(&m_storage))
        return text::formatReal(*d);
    return {};
}

const Array* Value::asArray() const
{
    auto* p = std::get_if<SharedStorage<Array>>(&m_storage);
    return p ? &p->get() : nullptr;
}

const Dictionary* Value::asDictionary() const
{
    auto* p = std::get_if<SharedStorage<Dictionary>>(&m_storage);
    return p ? &p->get() : nullptr;
}

std::optional<Date> Value::asDate() const
{
    if (auto* d = std::get_if<Date>(&m_storage))
        return *d;
    return std::nullopt;
}

std::optional<bool> Value::asBool() const
{
    if (auto* b = std::get_if<bool>(&m_storage))
        return *b;
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInteger() const
{
    if (auto* i = std::get_if<std::int64_t>(&m_storage))
        return *i;
    return std::nullopt;
}

std::optional<double> Value::asReal() const
{
    if (auto* d = std::get_if<double>(&m_storage))
        return *d;
    return std::nullopt;
}

const Value& Value::operator[](std::string_view key) const
{
    if (auto* d = asDictionary())
        if (auto* v = d->find(key))
            return *v;
    return missing();
}

const Value& Value::operator[](size_t index) const
{
    if (auto* a = asArray())
        if (index < a->size())
            return (*a)[index];
    return missing();
}

size_t Value::size() const
{
    if (auto* a = asArray())
        return a->size();
    if (auto* d = asDictionary())
        return d->size();
    return 0;
}

Dictionary* Value::mutableDictionary()
{
    if (isNone())
        m_storage = SharedStorage<Dictionary>(Dictionary());
    auto* p = std::get_if<SharedStorage<Dictionary>>(&m_storage);
    return p ? &p->mutableGet() : nullptr;
}

Array* Value::mutableArray()
{
    if (isNone())
        m_storage = SharedStorage<Array>(Array());
    auto* p = std::get_if<SharedStorage<Array>>(&m_storage);
    return p ? &p->mutableGet() : nullptr;
}

void Value::set(std::string key, Value value)
{
    if (auto* d = mutableDictionary())
        d->set(std::move(key), std::move(value));
}

void Value::append(Value value)
{
    if (auto* a = mutableArray())
        a->push_back(std::move(value));
}

bool Value::operator==(const Value& other) const
{
    if (m_storage.index() != other.m_storage.index())
        return false;
    if (auto* a = asArray())
        return *a == *other.asArray();
    if (auto* d = asDictionary())
        return *d == *other.asDictionary();
    return m_storage == other.m_storage;
}

std::string Value::debugDescription() const
{
    switch (type()) {
    case Type::Missing: return "(missing)";
    case Type::Null: return "null";
    case Type::Bool: return boolValue() ? "true" : "false";
    case Type::Integer:
    case Type::Real: return stringValue();
    case Type::String: return "\"" + *asString() + "\"";
    case Type::Data: return "<" + std::to_string(asData()->size()) + " bytes>";
    case Type::Date: return "date(" + text::formatReal(asDate()->secondsSince1970()) + ")";
    case Type::Array: {
        std::string out = "[";
        bool first = true;
        for (auto& v : *asArray()) {
            out += first ? "" : ", ";
            first = false;
            out += v.debugDescription();
        }
        return out + "]";
    }
    case Type::Dictionary: {
        std::string out = "{";
        bool first = true;
        for (auto& [k, v] : *asDictionary()) {
            out += first ? "" : ", ";
            first = false;
            out += "\"" + k + "\": " + v.debugDescription();
        }
        return out + "}";
    }
    }
    return {};
}

}
