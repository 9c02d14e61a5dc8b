#pragma once

#include <cstdint>
#include <string>

// One value of a row read from a damaged file's pages, as the file stores it: its kind and, for a
// text or a blob, its bytes (a text in the file's encoding, UTF-8 for every file the store makes).
struct SalvagedValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;
};
