#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pf {
class KeyedUnarchiver;
}

// The conversions every portal record uses to read its fields from a reply object. They are
// total: whatever shape the reply has, they give a value and never throw.
//
// - integer: a number is truncated toward zero and held within the 32-bit range (values beyond
//   it stop at its bounds, as texts do); a text is read as the decimal integer at its start
//   ("  5abc" is 5, "abc" is 0); null, a list, an object or a missing key give 0; true is 1.
// - long: the same in 64 bits.
// - flag: true, a non-zero number, or a text whose first significant character (after blanks,
//   a sign and leading zeros) is Y, y, T, t or 1 to 9; anything else is false.
// - text: see RecordText.
// - text pieces: a text (or a number's text) split at every separator, empty pieces kept; no
//   list when the key is missing, null or not a text.
// - list: built only from a JSON list; items that are not objects are skipped; a list that
//   yields no record is no list at all (never an empty one).
//
// Archived records are read with the same conversions: `archivedFields` gathers what a keyed
// archive holds under the record's keys into one object for the readers above.
namespace RecordFields {

int integer(const pf::Value& object, std::string_view key);
// The same conversion of the value itself (what an object holds under a key).
int integer(const pf::Value& value);
long long longInteger(const pf::Value& object, std::string_view key);
bool flag(const pf::Value& object, std::string_view key);
RecordText text(const pf::Value& object, std::string_view key);
std::optional<std::vector<std::string>> textPieces(const pf::Value& object, std::string_view key, char separator);

// The numbers, texts, data and nulls that the object being decoded holds under `keys`, as one
// object. A key that is missing, "$null" or refers to an object of any class but null (a list,
// a dictionary, a record) is left out: no field reads such a thing, so it is skipped instead of
// failing the archive.
pf::Value archivedFields(pf::KeyedUnarchiver& coder, std::span<const char* const> keys);
// One of those fields: missing where `archivedFields` leaves the key out. A record of a few
// fields reads them one by one, building no object.
pf::Value archivedField(pf::KeyedUnarchiver& coder, std::string_view key);

template <class Record>
std::optional<std::vector<std::shared_ptr<Record>>> list(const pf::Value& items)
{
    const pf::Array* array = items.asArray();
    if (!array)
        return std::nullopt;
    std::vector<std::shared_ptr<Record>> records;
    for (const pf::Value& item : *array) {
        if (item.isDictionary())
            records.push_back(Record::itemFromDictionary(item));
    }
    if (records.empty())
        return std::nullopt;
    return records;
}

}
