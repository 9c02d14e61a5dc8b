#pragma once

#include "platform/foundation/ArchiveCoding.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// Writes an object graph as the platform's keyed archive: a binary property list with
// "$archiver", "$version", a flat "$objects" table (index 0 is "$null") and "$top" naming the
// root. Objects refer to each other by UID references into the table; each object carries a
// "$class" reference to a class description ("$classname", "$classes").
//
// Rules:
// - Texts and data are objects of the table, referenced from their key; integers, doubles and
//   bools are written inline. An absent text or object is a reference to "$null".
// - Lists of objects are "Array" objects whose "items" hold the references, in order; a null
//   entry is left out (a list cannot hold "no object").
// - The same object (by address) encoded twice is written once and referenced twice.
// - Keys beginning with "$" are written with one more "$", so they never clash with the
//   layout's own keys.
// - Plain values (pf::Value) are objects of the table too: texts, data, integers, doubles and
//   bools as themselves; a list as an "Array"; a dictionary as a "Dictionary" whose "keys" and
//   "objects" hold references in the same order; a date as a "Date" with "time" in seconds
//   since 2001-01-01; null as a "Null" without values; a missing value as "$null". Missing
//   entries of lists and dictionaries are left out.
// - A value nested deeper than KeyedArchiveFormat::kMaxValueDepth, a text, key or class name
//   that is not UTF-8 or holds a NUL character (the format would keep it cut short or altered),
//   and a date that is not finite cannot be read back as they were, so they are not written: the
//   whole archive comes out empty, with the reason in `error`. A finite date reads back exactly.
// - The encode... calls are meant for a class's encode function while it is being archived;
//   a later value for the same key replaces the earlier one.
class KeyedArchiver {
public:
    template <typename T>
    static Bytes archivedData(const T& root, std::string* error = nullptr)
    {
        KeyedArchiver archiver;
        archiver.encodeReference(KeyedArchiveFormat::kRootKey, archiver.objectReference(&root, root));
        return archiver.finish(error);
    }

    // An archive whose root is a plain value; empty when the value is missing or cannot be
    // written (see above).
    static Bytes archivedValue(const Value& root, std::string* error = nullptr);

    template <typename T>
    static Bytes archivedData(const std::vector<std::shared_ptr<T>>& rootList, std::string* error = nullptr)
    {
        KeyedArchiver archiver;
        archiver.encodeObjects(KeyedArchiveFormat::kRootKey, rootList);
        return archiver.finish(error);
    }

    void encodeText(std::string_view key, std::string_view text);
    void encodeText(std::string_view key, const std::optional<std::string>& text);
    void encodeText(std::string_view key, const std::string& text) { encodeText(key, std::string_view(text)); }
    void encodeText(std::string_view key, const char* text) { encodeText(key, std::string_view(text ? text : "")); }
    void encodeInteger(std::string_view key, std::int64_t value);
    void encodeDouble(std::string_view key, double value);
    void encodeBool(std::string_view key, bool value);
    void encodeData(std::string_view key, const Bytes& data);
    void encodeValue(std::string_view key, const Value& value);
    // For a class's encode function whose object cannot be written as it is (an archive it holds
    // of its own was refused): the whole archive comes out empty, with `reason` in `error`.
    void refuse(std::string_view reason);

    template <typename T>
    void encodeObject(std::string_view key, const std::shared_ptr<T>& object)
    {
        encodeReference(key, object ? objectReference(object.get(), *object) : 0);
    }

    template <typename T>
    void encodeObjects(std::string_view key, const std::vector<std::shared_ptr<T>>& objects)
    {
        std::vector<std::uint64_t> refs;
        refs.reserve(objects.size());
        for (const auto& object : objects) {
            if (object)
                refs.push_back(objectReference(object.get(), *object));
        }
        encodeReference(key, arrayReference(refs));
    }

    ~KeyedArchiver();

private:
    KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    template <typename T>
    std::uint64_t objectReference(const void* identity, const T& object)
    {
        // A class whose objects name their own class (a family written through its base)
        // says so with a member `archiveClassName()`.
        std::string_view className;
        if constexpr (requires { object.archiveClassName(); })
            className = object.archiveClassName();
        else
            className = ArchiveCoding<T>::className();
        return addObject(identity, className,
            [&object](KeyedArchiver& coder) { ArchiveCoding<T>::encode(object, coder); });
    }

    std::uint64_t addObject(const void* identity, std::string_view className,
        const std::function<void(KeyedArchiver&)>& encodeBody);
    std::uint64_t arrayReference(const std::vector<std::uint64_t>& refs);
    std::uint64_t valueReference(const Value& value, int depth);
    void encodeReference(std::string_view key, std::uint64_t ref);
    Bytes finish(std::string* error);

    struct Impl;
    std::unique_ptr<Impl> m;
};

}
