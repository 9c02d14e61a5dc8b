#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

// Small files in the documents folder, one per name: a list kept as a keyed archive, a
// dictionary kept as a property list, or raw bytes.
//
// Rules:
// - Every write replaces the file atomically: a reader sees the old contents or the new, never a
//   torn file, and a failed write leaves the old file as it was.
// - A name is one file of the documents folder; a name that would reach elsewhere ("", ".",
//   "..", anything with a "/" or a NUL) is refused by every operation, as is a file larger than
//   kMaxFileBytes.
// - A read answers nothing when the file is missing, unreadable or holds another kind of value
//   than the operation reads (a dictionary read as a list, say); it never throws.
class PlistFileManager {
public:
    static constexpr std::uint64_t kMaxFileBytes = 16u << 20;

    static bool writePlistFileArrayInfoInto(std::string_view fileName, const pf::Value& list);
    static std::optional<pf::Value> readArrayFromPlistFile(std::string_view fileName);

    static bool writePlistFileDictionaryInfoInto(std::string_view fileName, const pf::Value& dictionary);
    static std::optional<pf::Value> readDictionaryFromPlistFile(std::string_view fileName);

    static bool writePlistFileDataInfoInto(std::string_view fileName, const pf::Bytes& data);
    static std::optional<pf::Bytes> readDataFromPlistFile(std::string_view fileName);
};
