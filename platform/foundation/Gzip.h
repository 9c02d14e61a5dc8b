#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <optional>
#include <span>

namespace pf {

// gzip streams (zlib's deflate with the gzip frame), for the bodies the libraries upload and
// the ones servers answer with when a protocol names its own codings.
//
// Rules:
// - `decompress` takes gzip or zlib framing and answers only for a whole stream: a damaged or
//   cut stream, or one that would inflate beyond `maxBytes`, is none (a small body cannot make
//   the reader hold gigabytes).
// - Bytes after the end of the stream are ignored, as readers of these bodies always have.
class Gzip {
public:
    static constexpr std::size_t kDefaultMaxBytes = 64u << 20;

    // The gzip stream of `data` (an empty input makes a valid empty stream); none when the
    // compressor fails.
    static std::optional<Bytes> compress(std::span<const std::uint8_t> data);
    static std::optional<Bytes> decompress(const Bytes& data, std::size_t maxBytes = kDefaultMaxBytes);
};

}
