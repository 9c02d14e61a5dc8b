#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

// The statistics log's text and compression.
//
// JSON rules (the log's size limits count these bytes, so the writer and every limit use the
// same function):
// - no whitespace; keys in insertion order;
// - integers as integers; a double that holds a whole number is written as that integer, any
//   other as its shortest form; booleans as true/false;
// - texts as UTF-8, escaping only '"', '\\' and control characters (\b \f \n \r \t by name, the
//   others as \u00XX, so a NUL is kept as \u0000); a byte of a text or key that is no part of
//   a character goes as the four characters "\xHH" (`pf::TextEncoding::withEscapedBytes`, so the
//   JSON holds "\\xFF"): shown, never replaced or left out;
// - data, dates, missing values, NaN and infinities cannot be written: the whole text fails.
class StatLogCodec {
public:
    static std::optional<std::string> json(const pf::Value& value);
    // The length of `json(value)`; 0 when it cannot be written.
    static std::size_t jsonLength(const pf::Value& value);

    // gzip (deflate, default level, window 15, memory level 8). Empty data stays empty;
    // nullopt when the compressor cannot start.
    static std::optional<pf::Bytes> gzipDeflate(std::span<const std::uint8_t> data);
    // gzip or zlib data back; nullopt when damaged or larger than `maxBytes`.
    static std::optional<pf::Bytes> gzipInflate(const pf::Bytes& data, std::size_t maxBytes = 64u << 20);
};

