#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace pf {

class KeyedArchiver;
class KeyedUnarchiver;

// How a class is written to and read from a keyed archive (KeyedArchiver / KeyedUnarchiver).
//
// The primary template uses members of the class itself:
//   static constexpr const char* kArchiveClassName = "Name";
//   void encodeWithCoder(pf::KeyedArchiver& coder) const;
//   static std::shared_ptr<T> initWithCoder(pf::KeyedUnarchiver& coder);
// A class that cannot carry them (it belongs to someone else) gets a specialisation with the
// same three static functions. `decode` may return nullptr to refuse what it read; the whole
// archive then fails.
template <typename T>
struct ArchiveCoding {
    static std::string_view className() { return T::kArchiveClassName; }
    static void encode(const T& object, KeyedArchiver& coder) { object.encodeWithCoder(coder); }
    static std::shared_ptr<T> decode(KeyedUnarchiver& coder) { return T::initWithCoder(coder); }
};

// The fixed names of the archive layout, shared by the writer and the reader.
struct KeyedArchiveFormat {
    static constexpr const char* kArchiverKey = "$archiver";
    static constexpr const char* kArchiverName = "KeyedArchiver";
    static constexpr const char* kVersionKey = "$version";
    static constexpr std::uint64_t kVersion = 100000;
    static constexpr const char* kObjectsKey = "$objects";
    static constexpr const char* kTopKey = "$top";
    static constexpr const char* kRootKey = "root";
    static constexpr const char* kNullObject = "$null";
    static constexpr const char* kClassKey = "$class";
    static constexpr const char* kClassNameKey = "$classname";
    static constexpr const char* kClassesKey = "$classes";
    static constexpr const char* kBaseClassName = "Object";
    static constexpr const char* kArrayClassName = "Array";
    static constexpr const char* kArrayItemsKey = "items";
    static constexpr const char* kDictionaryClassName = "Dictionary";
    static constexpr const char* kDictionaryKeysKey = "keys";
    static constexpr const char* kDictionaryObjectsKey = "objects";
    static constexpr const char* kDateClassName = "Date";
    static constexpr const char* kDateTimeKey = "time"; // seconds since 2001-01-01 UTC
    static constexpr const char* kNullClassName = "Null";
    // Plain values nest at most this deep; the reader refuses deeper archives.
    static constexpr int kMaxValueDepth = 64;
};

}
