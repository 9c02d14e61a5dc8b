#pragma once

#include "platform/foundation/ArchiveCoding.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace pf {

// Reads a keyed archive written by KeyedArchiver, trusting nothing in it.
//
// Rules:
// - Only binary property lists are read, at most kMaxArchiveBytes long. Before the property
//   list is parsed it passes PropertyListCheck: nesting at most kMaxNesting deep, at most
//   kMaxNodes nodes once shared entries are counted at each use, no entry that contains itself
//   and no text holding a NUL character or a UTF-16 surrogate without its partner. A reader of
//   another app's reply, read once and never written back, passes `LoneSurrogates::Replace`:
//   such a unit then reads as U+FFFD, and `loneSurrogates()` tells a class that reads an archive
//   nested in this one to read it the same way.
// - The layout must be this archiver's: "$archiver", "$version", "$objects" starting with
//   "$null", "$top". Every reference is checked against the object table.
// - Only expected classes are made: each decodeObject<T>/decodeObjects<T> names the class it
//   accepts, and an object of any other "$classname" fails the archive (a list item that is a
//   plain value too, unless the reader asks for such items to be skipped). Objects referring back
//   to an object being decoded (a cycle) fail the archive; objects nest at most
//   kMaxObjectDepth deep. An object referenced twice is decoded once and shared.
// - A missing key gives the empty value (no text, 0, false, no object). A value of the wrong
//   kind fails the archive, as does a text or dictionary key that is not UTF-8 or holds a NUL
//   (the archiver writes none: it is damage); integers, doubles and bools convert into each
//   other (doubles truncate and saturate when read as integers).
// - Plain values (decodeValue, unarchivedValue) are texts, data, integers, doubles, bools and
//   the classes "Array", "Dictionary" (keys must be texts; a repeated key keeps its last
//   value), "Date" and "Null"; anything else fails the archive. Values nest at most
//   KeyedArchiveFormat::kMaxValueDepth deep and at most kMaxNodes values are made in all, so a
//   list shared many times cannot multiply the work.
// - The first failure is kept in `error()`; after it every decode gives the empty value and the
//   whole-archive calls give nullptr / nullopt. Nothing throws.
class KeyedUnarchiver {
public:
    static constexpr std::size_t kMaxArchiveBytes = 16u << 20;
    static constexpr int kMaxNesting = 32;
    static constexpr std::uint64_t kMaxNodes = 1u << 20;
    static constexpr int kMaxObjectDepth = 64;

    // What a list of objects does with an item that is a plain value (a text, a number, data,
    // or a plain list, dictionary, date or null) where an object belongs: fail the archive, or
    // leave the item out. An object of an unexpected class fails the archive either way, and so
    // does an entry of a plain class that lacks what the class holds (a list without its items).
    enum class PlainItems { Refuse, Skip };

    // The root object of an archive made by KeyedArchiver::archivedData(root); nullptr when the
    // data is not such an archive of a T.
    template <typename T>
    static std::shared_ptr<T> unarchivedObject(const Bytes& data, std::string* error = nullptr,
        LoneSurrogates lone = LoneSurrogates::Damage)
    {
        KeyedUnarchiver coder(data, lone);
        auto root = coder.decodeObject<T>(KeyedArchiveFormat::kRootKey);
        if (!root)
            coder.fail("the archive has no root object");
        if (error)
            *error = coder.error();
        return coder.failed() ? nullptr : root;
    }

    // The root list of an archive made by KeyedArchiver::archivedData(list); nullopt when the
    // data is not such an archive of T items. `plain` as for decodeObjects.
    template <typename T>
    static std::optional<std::vector<std::shared_ptr<T>>> unarchivedObjects(const Bytes& data, std::string* error = nullptr,
        PlainItems plain = PlainItems::Refuse)
    {
        KeyedUnarchiver coder(data, LoneSurrogates::Damage);
        auto root = coder.decodeObjects<T>(KeyedArchiveFormat::kRootKey, plain);
        if (!root)
            coder.fail("the archive has no root list");
        if (error)
            *error = coder.error();
        if (coder.failed())
            return std::nullopt;
        return root;
    }

    // The root of an archive made by KeyedArchiver::archivedValue; nullopt when the data is not
    // such an archive.
    static std::optional<Value> unarchivedValue(const Bytes& data, std::string* error = nullptr,
        LoneSurrogates lone = LoneSurrogates::Damage);

    // How this archive reads a lone surrogate (see above).
    LoneSurrogates loneSurrogates() const;

    bool containsKey(std::string_view key) const;
    // The class of the object that `key` refers to ("Array", "Dictionary", an app class...),
    // read without decoding anything and without failing: nullopt when the key is missing or
    // holds a number, "$null", a text, data or anything damaged. A reader that takes several
    // kinds under one key asks this first, so a kind it does not take is skipped, not fatal.
    std::optional<std::string> classNameOfObject(std::string_view key) const;
    // nullopt for a missing key or a reference to "$null".
    std::optional<std::string> decodeText(std::string_view key);
    std::int64_t decodeInteger(std::string_view key);
    double decodeDouble(std::string_view key);
    bool decodeBool(std::string_view key);
    std::optional<Bytes> decodeData(std::string_view key);
    // A plain value; Value::missing() for a missing key or a reference to "$null". An integer,
    // double or bool written inline (encodeInteger...) reads as that number.
    Value decodeValue(std::string_view key);

    template <typename T>
    std::shared_ptr<T> decodeObject(std::string_view key)
    {
        return std::static_pointer_cast<T>(decodeObjectFor(key, ArchiveCoding<T>::className(), typeid(T),
            [](KeyedUnarchiver& coder) -> std::shared_ptr<void> { return ArchiveCoding<T>::decode(coder); }));
    }

    // nullopt for a missing key or a reference to "$null"; an empty list stays empty (as does
    // one whose every item was skipped). The items kept keep their order.
    template <typename T>
    std::optional<std::vector<std::shared_ptr<T>>> decodeObjects(std::string_view key, PlainItems plain = PlainItems::Refuse)
    {
        std::vector<std::shared_ptr<T>> items;
        bool present = decodeListFor(key, ArchiveCoding<T>::className(), typeid(T),
            [](KeyedUnarchiver& coder) -> std::shared_ptr<void> { return ArchiveCoding<T>::decode(coder); },
            [&items](std::shared_ptr<void> item) { items.push_back(std::static_pointer_cast<T>(std::move(item))); }, plain);
        if (!present)
            return std::nullopt;
        return items;
    }

    // A list whose items may each be of any of the classes `Ts`, all deriving from `Base`; an
    // item of any other class fails the archive. nullopt for a missing key.
    template <typename Base, typename... Ts>
    std::optional<std::vector<std::shared_ptr<Base>>> decodeObjectsOfClasses(std::string_view key)
    {
        std::vector<ClassChoice> choices { ClassChoice { ArchiveCoding<Ts>::className(), &typeid(Ts),
            [](KeyedUnarchiver& coder) -> std::shared_ptr<void> {
                std::shared_ptr<Base> object = ArchiveCoding<Ts>::decode(coder);
                return object;
            } }... };
        std::vector<std::shared_ptr<Base>> items;
        bool present = decodeMixedListFor(key, choices,
            [&items](std::shared_ptr<void> item) { items.push_back(std::static_pointer_cast<Base>(std::move(item))); });
        if (!present)
            return std::nullopt;
        return items;
    }

    // A class's decode function may refuse what it read; the archive then fails.
    void fail(std::string reason);
    bool failed() const;
    const std::string& error() const;

    ~KeyedUnarchiver();

private:
    KeyedUnarchiver(const Bytes& data, LoneSurrogates lone);
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

    using Maker = std::function<std::shared_ptr<void>(KeyedUnarchiver&)>;
    struct ClassChoice {
        std::string_view className;
        const std::type_info* type;
        Maker make;
    };
    bool decodeMixedListFor(std::string_view key, const std::vector<ClassChoice>& choices,
        const std::function<void(std::shared_ptr<void>)>& add);
    std::shared_ptr<void> decodeObjectFor(std::string_view key, std::string_view className,
        const std::type_info& type, const Maker& make);
    std::shared_ptr<void> decodeObjectAt(std::uint64_t ref, std::string_view className,
        const std::type_info& type, const Maker& make);
    Value decodeValueAt(std::uint64_t ref);
    bool decodeListFor(std::string_view key, std::string_view className, const std::type_info& type,
        const Maker& make, const std::function<void(std::shared_ptr<void>)>& add, PlainItems plain);

    struct Impl;
    std::unique_ptr<Impl> m;
};

}
