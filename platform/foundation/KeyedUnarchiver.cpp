#include "platform/foundation/KeyedUnarchiver.h"

#include <plist/plist.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <typeindex>
#include <utility>

namespace pf {

using Format = KeyedArchiveFormat;

namespace {

std::uint64_t readBigEndian(const std::uint8_t* p, int width)
{
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}

// Checks the outline of a binary property list before the library parses it: the trailer and
// offset table lie inside the data, every container's references point at real entries, and,
// walking from the top entry, nothing contains itself, nesting stays within `maxNesting` and
// the tree the library would build (shared entries copied at each use) has at most `maxNodes`
// nodes. Leaf contents are left to the library.
class BinaryPlistShape {
public:
    BinaryPlistShape(const std::uint8_t* data, std::size_t size)
        : m_data(data), m_size(size) { }

    bool check(int maxNesting, std::uint64_t maxNodes, std::string& error)
    {
        if (!readTrailer(error))
            return false;
        // Depth-first walk with memoised heights and sizes; `state` 1 marks entries on the path.
        std::vector<std::uint8_t> state(m_count, 0);
        std::vector<int> height(m_count, 0);
        std::vector<std::uint64_t> nodes(m_count, 0);
        struct Frame {
            std::uint64_t entry;
            std::vector<std::uint64_t> children;
            size_t next;
        };
        std::vector<Frame> path;
        auto enter = [&](std::uint64_t entry) -> bool {
            Frame frame { entry, {}, 0 };
            if (!children(entry, frame.children, error))
                return false;
            state[entry] = 1;
            path.push_back(std::move(frame));
            if (static_cast<int>(path.size()) > maxNesting) {
                error = "the property list is nested too deeply";
                return false;
            }
            return true;
        };
        if (!enter(m_top))
            return false;
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.next < frame.children.size()) {
                std::uint64_t child = frame.children[frame.next++];
                if (state[child] == 1) {
                    error = "the property list contains itself";
                    return false;
                }
                if (state[child] == 0 && !enter(child))
                    return false;
                continue;
            }
            int h = 0;
            std::uint64_t n = 1;
            for (auto child : frame.children) {
                h = std::max(h, height[child]);
                n = std::min(maxNodes + 1, n + nodes[child]);
            }
            height[frame.entry] = h + 1;
            nodes[frame.entry] = n;
            state[frame.entry] = 2;
            path.pop_back();
            if (n > maxNodes) {
                error = "the property list expands to too many entries";
                return false;
            }
        }
        return true;
    }

private:
    bool readTrailer(std::string& error)
    {
        static const char kMagic[] = "bplist00";
        if (m_size < 8 + 32 || std::memcmp(m_data, kMagic, 8) != 0) {
            error = "not a binary property list";
            return false;
        }
        const std::uint8_t* trailer = m_data + m_size - 32;
        m_offsetWidth = trailer[6];
        m_refWidth = trailer[7];
        m_count = readBigEndian(trailer + 8, 8);
        m_top = readBigEndian(trailer + 16, 8);
        m_tableOffset = readBigEndian(trailer + 24, 8);
        std::uint64_t end = m_size - 32;
        if (m_offsetWidth < 1 || m_offsetWidth > 8 || m_refWidth < 1 || m_refWidth > 8 || m_count == 0
            || m_top >= m_count || m_tableOffset < 8 || m_tableOffset > end
            || m_count > (end - m_tableOffset) / m_offsetWidth) {
            error = "the property list's trailer is damaged";
            return false;
        }
        return true;
    }

    // The length that follows a marker whose low nibble is `nibble`, at `position` (moved past
    // any extended length).
    bool length(std::uint8_t nibble, std::uint64_t& position, std::uint64_t& count, std::string& error) const
    {
        count = nibble;
        if (count != 0x0F)
            return true;
        if (position >= m_tableOffset || (m_data[position] >> 4) != 0x1 || (m_data[position] & 0x0F) > 3) {
            error = "a property-list entry has a damaged length";
            return false;
        }
        int width = 1 << (m_data[position] & 0x0F);
        if (position + 1 + width > m_tableOffset) {
            error = "a property-list entry has a damaged length";
            return false;
        }
        count = readBigEndian(m_data + position + 1, width);
        position += 1 + width;
        return true;
    }

    bool children(std::uint64_t entry, std::vector<std::uint64_t>& out, std::string& error)
    {
        std::uint64_t offset = readBigEndian(m_data + m_tableOffset + entry * m_offsetWidth, m_offsetWidth);
        if (offset < 8 || offset >= m_tableOffset) {
            error = "a property-list entry lies outside the data";
            return false;
        }
        std::uint8_t marker = m_data[offset];
        int kind = marker >> 4;
        std::uint64_t position = offset + 1;
        std::uint64_t count = 0;
        if (kind == 0x5 || kind == 0x6 || kind == 0x7) {
            // The library asserts (aborting the process) on some texts holding a NUL
            // character; no text this archiver writes holds one.
            if (!length(marker & 0x0F, position, count, error))
                return false;
            std::uint64_t unit = kind == 0x6 ? 2 : 1;
            if (count > (m_tableOffset - position) / unit) {
                error = "a property-list text runs past the data";
                return false;
            }
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint8_t* c = m_data + position + i * unit;
                if (c[0] == 0 && (unit == 1 || c[1] == 0)) {
                    error = "a property-list text holds a NUL character";
                    return false;
                }
            }
            return true;
        }
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return true;
        if (!length(marker & 0x0F, position, count, error))
            return false;
        std::uint64_t refs = kind == 0xD ? count * 2 : count;
        if (count > m_tableOffset || refs > (m_tableOffset - position) / m_refWidth) {
            error = "a property-list container runs past the data";
            return false;
        }
        out.reserve(refs);
        for (std::uint64_t i = 0; i < refs; ++i) {
            std::uint64_t ref = readBigEndian(m_data + position + i * m_refWidth, m_refWidth);
            if (ref >= m_count) {
                error = "a property-list reference points outside the data";
                return false;
            }
            out.push_back(ref);
        }
        return true;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    int m_offsetWidth { 0 };
    int m_refWidth { 0 };
    std::uint64_t m_count { 0 };
    std::uint64_t m_top { 0 };
    std::uint64_t m_tableOffset { 0 };
};

std::string unescapedKey(std::string_view key)
{
    return !key.empty() && key.front() == '$' ? "$" + std::string(key) : std::string(key);
}

bool isString(plist_t node, const char* text)
{
    return node && plist_get_node_type(node) == PLIST_STRING && plist_string_val_compare(node, text) == 0;
}

}

struct KeyedUnarchiver::Impl {
    plist_t archive { nullptr };
    plist_t objects { nullptr };
    std::uint64_t count { 0 };
    plist_t current { nullptr };
    std::vector<bool> inProgress;
    int depth { 0 };
    std::map<std::pair<std::uint64_t, std::type_index>, std::shared_ptr<void>> decoded;
    std::map<std::pair<std::uint64_t, std::type_index>, std::vector<std::shared_ptr<void>>> decodedLists;
    std::string error;

    ~Impl()
    {
        if (archive)
            plist_free(archive);
    }

    bool failed() const { return !error.empty(); }

    void fail(std::string reason)
    {
        if (error.empty())
            error = reason.empty() ? "the archive was refused" : std::move(reason);
    }

    plist_t value(std::string_view key) const
    {
        if (failed() || !current)
            return nullptr;
        return plist_dict_get_item(current, unescapedKey(key).c_str());
    }

    // The reference stored under `key`: nullopt when the key is missing (or after a failure).
    std::optional<std::uint64_t> reference(std::string_view key)
    {
        plist_t node = value(key);
        if (!node)
            return std::nullopt;
        if (plist_get_node_type(node) != PLIST_UID) {
            fail("the value of \"" + std::string(key) + "\" is not a reference");
            return std::nullopt;
        }
        std::uint64_t ref = 0;
        plist_get_uid_val(node, &ref);
        if (ref >= count) {
            fail("a reference points outside the object table");
            return std::nullopt;
        }
        return ref;
    }

    plist_t object(std::uint64_t ref) const { return plist_array_get_item(objects, static_cast<std::uint32_t>(ref)); }

    // The object at `ref` if it is a dictionary of class `className`, else a failure.
    plist_t classed(std::uint64_t ref, std::string_view className)
    {
        plist_t dict = object(ref);
        if (!dict || plist_get_node_type(dict) != PLIST_DICT) {
            fail("a referenced entry is not an object");
            return nullptr;
        }
        plist_t classRef = plist_dict_get_item(dict, Format::kClassKey);
        std::uint64_t classIndex = 0;
        if (!classRef || plist_get_node_type(classRef) != PLIST_UID) {
            fail("an object has no class");
            return nullptr;
        }
        plist_get_uid_val(classRef, &classIndex);
        plist_t description = classIndex < count ? object(classIndex) : nullptr;
        plist_t name = description && plist_get_node_type(description) == PLIST_DICT
            ? plist_dict_get_item(description, Format::kClassNameKey) : nullptr;
        if (!name || plist_get_node_type(name) != PLIST_STRING) {
            fail("an object's class description is damaged");
            return nullptr;
        }
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(name, &length);
        if (std::string_view(text, length) != className) {
            fail("an object of class \"" + std::string(text, length) + "\" where \"" + std::string(className) + "\" was expected");
            return nullptr;
        }
        return dict;
    }

    // Runs `body` with `dict` as the current object, guarding against cycles and deep nesting.
    template <typename Body>
    void inside(std::uint64_t ref, plist_t dict, Body&& body)
    {
        if (inProgress[ref]) {
            fail("an object refers back to itself");
            return;
        }
        if (depth >= kMaxObjectDepth) {
            fail("objects are nested too deeply");
            return;
        }
        inProgress[ref] = true;
        ++depth;
        plist_t outer = current;
        current = dict;
        body();
        current = outer;
        --depth;
        inProgress[ref] = false;
    }

    // Reads a number of any kind; nullopt (after a failure) for other kinds.
    std::optional<double> realNumber(plist_t node, std::string_view key)
    {
        switch (plist_get_node_type(node)) {
        case PLIST_UINT: {
            std::uint64_t raw = 0;
            plist_get_uint_val(node, &raw);
            return static_cast<double>(static_cast<std::int64_t>(raw));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return d;
        }
        case PLIST_BOOLEAN: {
            std::uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return b ? 1.0 : 0.0;
        }
        default:
            fail("the value of \"" + std::string(key) + "\" is not a number");
            return std::nullopt;
        }
    }
};

KeyedUnarchiver::KeyedUnarchiver(const Bytes& data)
    : m(std::make_unique<Impl>())
{
    if (data.size() > kMaxArchiveBytes) {
        m->fail("the archive is too large");
        return;
    }
    std::string shapeError;
    if (!BinaryPlistShape(data.data(), data.size()).check(kMaxNesting, kMaxNodes, shapeError)) {
        m->fail(shapeError);
        return;
    }
    plist_from_bin(reinterpret_cast<const char*>(data.data()), static_cast<std::uint32_t>(data.size()), &m->archive);
    plist_t archive = m->archive;
    if (!archive || plist_get_node_type(archive) != PLIST_DICT) {
        m->fail("not a keyed archive");
        return;
    }
    plist_t version = plist_dict_get_item(archive, Format::kVersionKey);
    std::uint64_t versionValue = 0;
    if (version && plist_get_node_type(version) == PLIST_UINT)
        plist_get_uint_val(version, &versionValue);
    if (!isString(plist_dict_get_item(archive, Format::kArchiverKey), Format::kArchiverName) || versionValue != Format::kVersion) {
        m->fail("not a keyed archive of this archiver");
        return;
    }
    m->objects = plist_dict_get_item(archive, Format::kObjectsKey);
    plist_t top = plist_dict_get_item(archive, Format::kTopKey);
    if (!m->objects || plist_get_node_type(m->objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT
        || plist_array_get_size(m->objects) == 0 || !isString(m->object(0), Format::kNullObject)) {
        m->fail("the archive's object table is damaged");
        return;
    }
    m->count = plist_array_get_size(m->objects);
    m->inProgress.assign(m->count, false);
    m->current = top;
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

void KeyedUnarchiver::fail(std::string reason)
{
    m->fail(std::move(reason));
}

bool KeyedUnarchiver::failed() const
{
    return m->failed();
}

const std::string& KeyedUnarchiver::error() const
{
    return m->error;
}

bool KeyedUnarchiver::containsKey(std::string_view key) const
{
    return m->value(key) != nullptr;
}

std::optional<std::string> KeyedUnarchiver::decodeText(std::string_view key)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return std::nullopt;
    plist_t node = m->object(*ref);
    if (plist_get_node_type(node) != PLIST_STRING) {
        m->fail("the value of \"" + std::string(key) + "\" is not a text");
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return std::string(text ? text : "", text ? length : 0);
}

std::int64_t KeyedUnarchiver::decodeInteger(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return 0;
    if (plist_get_node_type(node) == PLIST_UINT) {
        std::uint64_t raw = 0;
        plist_get_uint_val(node, &raw);
        return static_cast<std::int64_t>(raw);
    }
    auto d = m->realNumber(node, key);
    if (!d || std::isnan(*d))
        return 0;
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (*d >= kLimit)
        return std::numeric_limits<std::int64_t>::max();
    if (*d < -kLimit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(*d);
}

double KeyedUnarchiver::decodeDouble(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return 0;
    return m->realNumber(node, key).value_or(0);
}

bool KeyedUnarchiver::decodeBool(std::string_view key)
{
    plist_t node = m->value(key);
    if (!node)
        return false;
    auto d = m->realNumber(node, key);
    return d && *d != 0;
}

std::optional<Bytes> KeyedUnarchiver::decodeData(std::string_view key)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return std::nullopt;
    plist_t node = m->object(*ref);
    if (plist_get_node_type(node) != PLIST_DATA) {
        m->fail("the value of \"" + std::string(key) + "\" is not data");
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* bytes = plist_get_data_ptr(node, &length);
    if (!bytes)
        return Bytes {};
    return Bytes(reinterpret_cast<const std::uint8_t*>(bytes), reinterpret_cast<const std::uint8_t*>(bytes) + length);
}

std::shared_ptr<void> KeyedUnarchiver::decodeObjectFor(std::string_view key, std::string_view className,
    const std::type_info& type, const Maker& make)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return nullptr;
    return decodeObjectAt(*ref, className, type, make);
}

std::shared_ptr<void> KeyedUnarchiver::decodeObjectAt(std::uint64_t ref, std::string_view className,
    const std::type_info& type, const Maker& make)
{
    plist_t dict = m->classed(ref, className);
    if (!dict)
        return nullptr;
    auto cacheKey = std::make_pair(ref, std::type_index(type));
    auto known = m->decoded.find(cacheKey);
    if (known != m->decoded.end())
        return known->second;

    std::shared_ptr<void> result;
    m->inside(ref, dict, [&] {
        result = make(*this);
        if (!result)
            m->fail("an object of class \"" + std::string(className) + "\" refused its values");
    });
    if (m->failed())
        return nullptr;
    m->decoded.emplace(cacheKey, result);
    return result;
}

bool KeyedUnarchiver::decodeListFor(std::string_view key, std::string_view className, const std::type_info& type,
    const Maker& make, const std::function<void(std::shared_ptr<void>)>& add)
{
    auto ref = m->reference(key);
    if (!ref || *ref == 0)
        return false;
    plist_t dict = m->classed(*ref, Format::kArrayClassName);
    if (!dict)
        return false;
    // A list referenced from many places is decoded once, so shared lists cost no more than
    // their size.
    auto cacheKey = std::make_pair(*ref, std::type_index(type));
    auto known = m->decodedLists.find(cacheKey);
    if (known == m->decodedLists.end()) {
        plist_t items = plist_dict_get_item(dict, Format::kArrayItemsKey);
        if (!items || plist_get_node_type(items) != PLIST_ARRAY) {
            m->fail("a list has no items");
            return false;
        }
        std::vector<std::shared_ptr<void>> objects;
        m->inside(*ref, dict, [&] {
            std::uint32_t size = plist_array_get_size(items);
            objects.reserve(size);
            for (std::uint32_t i = 0; i < size && !m->failed(); ++i) {
                plist_t item = plist_array_get_item(items, i);
                std::uint64_t itemRef = 0;
                if (plist_get_node_type(item) != PLIST_UID) {
                    m->fail("a list item is not a reference");
                    return;
                }
                plist_get_uid_val(item, &itemRef);
                if (itemRef == 0 || itemRef >= m->count) {
                    m->fail("a list item points outside the object table");
                    return;
                }
                objects.push_back(decodeObjectAt(itemRef, className, type, make));
            }
        });
        if (m->failed())
            return false;
        known = m->decodedLists.emplace(cacheKey, std::move(objects)).first;
    }
    for (const auto& object : known->second)
        add(object);
    return true;
}

}
