#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pf {

// The dates of one binary property list, carried past the property-list library (PropertyList's
// helper; nothing else needs it).
//
// The binary form keeps a date as a big-endian double, seconds since 2001-01-01. The library hands
// a date over only as whole seconds and microseconds and makes one only from them, so through it a
// date loses the last bits of its double, a fraction before 2001 comes back with the wrong sign and
// a date past the 32-bit range of seconds is wrapped. So each date crosses the library as its
// ordinal (0, 1, 2, ... as whole seconds, which the library carries exactly) and its time is kept
// here.
//
// Rules:
// - Reading: `take` copies the data with the time of each date entry (in the order of the offset
//   table) replaced by its ordinal, and `data` is what the library reads (the data itself when it
//   holds no date). A date whose time would run into the offset table, or entries lying so close
//   that an ordinal would overwrite another entry's start or another date's ordinal (no writer
//   makes them), refuse the data. `timeOf` answers for a date the library read from it: nullopt
//   when that is no ordinal given out.
// - Writing: `ordinalOf` gives each time its ordinal (the same for the same double, so the library
//   still writes a date used twice once), and `put` writes the times over the ordinals in what the
//   library wrote.
class BinaryDateTimes {
public:
    bool take(std::string_view data, std::string* error);
    std::string_view data(std::string_view original) const { return m_copy.empty() ? original : std::string_view(m_copy); }
    std::optional<double> timeOf(std::int32_t seconds, std::int32_t microseconds) const;

    std::int32_t ordinalOf(double time);
    bool put(char* written, std::uint32_t length, std::string* error) const;

private:
    std::vector<double> m_times;                               // by ordinal
    std::unordered_map<std::uint64_t, std::int32_t> m_ordinals; // by the bits of a time, while writing
    std::string m_copy;
};

}
