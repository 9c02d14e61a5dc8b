#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace pf {

class Value;
using Bytes = std::vector<std::uint8_t>;
using Array = std::vector<Value>;

// An insertion-ordered dictionary with text keys. Keys are unique; `set` replaces in place.
// Beyond a few entries an index finds keys, so building one of n keys takes linear time.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);

    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string key, Value value);
    bool remove(std::string_view key);
    // Defined below Value: the entries' type is complete only there (clang insists).
    size_t size() const;
    bool empty() const;
    std::vector<std::string> keys() const;

    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;
    bool operator==(const Dictionary& other) const;

private:
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
    };
    static constexpr size_t kIndexFrom = 8; // below this, a linear search is faster
    std::optional<size_t> position(std::string_view key) const;
    void rebuildIndex();

    std::vector<Entry> m_entries;
    std::unordered_map<std::string, size_t, KeyHash, std::equal_to<>> m_index; // empty below kIndexFrom
};

// Shared, copy-on-write storage of a value's array or dictionary. Values sharing it may live
// on different threads: a writer copies unless it provably holds the only reference.
template<typename T>
class SharedStorage {
public:
    explicit SharedStorage(T value) : m_node(new Node { { 1 }, std::move(value) }) { }
    SharedStorage(const SharedStorage& other) : m_node(other.m_node) { m_node->refs.fetch_add(1, std::memory_order_relaxed); }
    SharedStorage(SharedStorage&& other) noexcept : m_node(std::exchange(other.m_node, nullptr)) { }
    SharedStorage& operator=(SharedStorage other) noexcept
    {
        std::swap(m_node, other.m_node);
        return *this;
    }
    ~SharedStorage()
    {
        if (m_node && m_node->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete m_node;
    }

    const T& get() const { return m_node->value; }
    T& mutableGet()
    {
        // The acquire pairs with the release of every other owner's drop: their reads of the
        // shared value are over before this one writes to it.
        if (m_node->refs.load(std::memory_order_acquire) != 1)
            *this = SharedStorage(T(m_node->value));
        return m_node->value;
    }
    bool operator==(const SharedStorage& other) const { return m_node == other.m_node || get() == other.get(); }

private:
    struct Node {
        std::atomic<long> refs;
        T value;
    };
    Node* m_node;
};

// A moment in time. It is kept as seconds since 2001-01-01 00:00:00 UTC, the count both stored
// forms hold (property lists and keyed archives), so a date read from a file is written back with
// exactly the number it was read with, and a date made here reads back equal to itself.
//
// Rules:
// - `Date { t }` is the moment `t` seconds after 1970-01-01 UTC, and `secondsSince1970()` gives
//   that count back. The two counts differ by a whole number of seconds, so going from one to the
//   other is exact from mid-1985 on; before, and for `secondsSince1970()` of a kept count near
//   2001, the result is rounded to the double's step at the larger count (about a tenth of a
//   microsecond around 1970 and 2001). Dates compare by the kept count.
// - `Date::sinceReference(s)` and `secondsSinceReference()` read and give the kept count as it is.
class Date {
public:
    // 2001-01-01 00:00:00 UTC in seconds since 1970.
    static constexpr double kReferenceSince1970 = 978307200.0;

    constexpr Date() = default;
    constexpr explicit Date(double secondsSince1970)
        : m_sinceReference(secondsSince1970 - kReferenceSince1970)
    {
    }
    static constexpr Date sinceReference(double seconds)
    {
        Date date;
        date.m_sinceReference = seconds;
        return date;
    }

    constexpr double secondsSince1970() const { return m_sinceReference + kReferenceSince1970; }
    constexpr double secondsSinceReference() const { return m_sinceReference; }
    bool operator==(const Date&) const = default;

private:
    double m_sinceReference { -kReferenceSince1970 }; // 1970-01-01
};

// The dynamic value of JSON replies, property lists and user defaults.
//
// Rules:
// - Absent and null differ: a dictionary lookup of a missing key gives `Value::missing()`
//   (isMissing), a JSON null gives a Null value. Both read as "no value".
// - The conversions (`intValue`, `longValue`, `doubleValue`, `boolValue`, `stringValue`) never
//   throw. Numbers and number-like texts convert the way the platform's number and text
//   objects do: texts are read from their start ("12abc" is 12, "abc" is 0), reals truncate
//   toward zero when asked for integers, out-of-range integers saturate. Other types give 0,
//   false or an empty text.
// - `asString`, `asArray`, `asDictionary` give nullptr unless the value has exactly that type.
class Value {
public:
    enum class Type { Missing, Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };

    Value() : m_storage(MissingTag {}) { }
    static Value null() { Value v; v.m_storage = NullTag {}; return v; }
    static const Value& missing();

    Value(bool b) : m_storage(b) { }
    Value(int i) : m_storage(static_cast<std::int64_t>(i)) { }
    Value(long i) : m_storage(static_cast<std::int64_t>(i)) { }
    Value(long long i) : m_storage(static_cast<std::int64_t>(i)) { }
    Value(unsigned i) : m_storage(static_cast<std::int64_t>(i)) { }
    Value(double d) : m_storage(d) { }
    Value(const char* s) : m_storage(std::string(s ? s : "")) { }
    Value(std::string s) : m_storage(std::move(s)) { }
    Value(std::string_view s) : m_storage(std::string(s)) { }
    Value(Bytes data) : m_storage(std::move(data)) { }
    Value(Date d) : m_storage(d) { }
    Value(pf::Array a) : m_storage(SharedStorage<pf::Array>(std::move(a))) { }
    Value(pf::Dictionary d) : m_storage(SharedStorage<pf::Dictionary>(std::move(d))) { }

    Type type() const;
    bool isMissing() const { return type() == Type::Missing; }
    bool isNull() const { return type() == Type::Null; }
    // Missing or null.
    bool isNone() const { return isMissing() || isNull(); }
    bool isNumber() const { auto t = type(); return t == Type::Integer || t == Type::Real || t == Type::Bool; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // Conversions (see class comment).
    int intValue() const;
    long long longValue() const;
    double doubleValue() const;
    bool boolValue() const;
    // Text for strings and numbers (integers in decimal, reals in their shortest form, bools as
    // "1"/"0"); empty for everything else.
    std::string stringValue() const;

    const std::string* asString() const { return std::get_if<std::string>(&m_storage); }
    // A copy of the text when the value is one, else none (a number is not text here).
    std::optional<std::string> optionalString() const
    {
        if (const std::string* text = asString())
            return *text;
        return std::nullopt;
    }
    const Bytes* asData() const { return std::get_if<Bytes>(&m_storage); }
    const pf::Array* asArray() const;
    const pf::Dictionary* asDictionary() const;
    std::optional<Date> asDate() const;
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<double> asReal() const;

    // Dictionary lookup; `missing()` when not a dictionary or no such key.
    const Value& operator[](std::string_view key) const;
    // Array element; `missing()` when not an array or out of range.
    const Value& operator[](size_t index) const;
    const Value& at(size_t index) const { return (*this)[index]; }
    size_t size() const;

    // Mutation: turns a missing/null value into a dictionary (or array) first.
    void set(std::string key, Value value);
    void append(Value value);
    pf::Dictionary* mutableDictionary();
    pf::Array* mutableArray();

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

    // A short human-readable rendering for logs (JSON-like).
    std::string debugDescription() const;

private:
    struct MissingTag { bool operator==(const MissingTag&) const = default; };
    struct NullTag { bool operator==(const NullTag&) const = default; };
    std::variant<MissingTag, NullTag, bool, std::int64_t, double, std::string, Bytes, Date,
        SharedStorage<pf::Array>, SharedStorage<pf::Dictionary>>
        m_storage;
};

inline size_t Dictionary::size() const { return m_entries.size(); }
inline bool Dictionary::empty() const { return m_entries.empty(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const { return m_entries.begin(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const { return m_entries.end(); }

// Reading a number from the start of a text, as the platform's text objects do.
namespace text {
int intValue(std::string_view s);
long long longValue(std::string_view s);
double doubleValue(std::string_view s);
bool boolValue(std::string_view s);
// Shortest text that reads back as the same double ("1.5", "3", "1e+100").
std::string formatReal(double d);
}

}
