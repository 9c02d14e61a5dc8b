#include "platform/foundation/Gzip.h"

#include <algorithm>
#include <limits>

#include <zlib.h>

namespace pf {

namespace {

constexpr std::size_t kChunk = 16384;
constexpr int kGzipWindow = 15 + 16; // gzip frame
constexpr int kAnyWindow = 15 + 32; // gzip or zlib frame, by the header

}

std::optional<Bytes> Gzip::compress(std::span<const std::uint8_t> data)
{
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    // What is compressed here is text, which packs to a fraction of its size: starting at the
    // worst case would clear (and fault in) pages that are never written. The buffer grows
    // when a text packs worse.
    Bytes out(std::min<std::size_t>(deflateBound(&stream, static_cast<uLong>(data.size())), data.size() / 4 + kChunk));
    const std::uint8_t* next = data.data();
    std::size_t left = data.size();
    int status = Z_OK;
    do {
        if (stream.avail_in == 0 && left > 0) {
            // zlib counts its input in 32 bits: a larger one goes in in pieces.
            auto piece = static_cast<uInt>(std::min<std::size_t>(left, std::numeric_limits<uInt>::max()));
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = piece;
            next += piece;
            left -= piece;
        }
        if (stream.total_out >= out.size())
            out.resize(out.size() + std::max(kChunk, out.size() / 2));
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - stream.total_out, std::numeric_limits<uInt>::max()));
        status = deflate(&stream, left > 0 ? Z_NO_FLUSH : Z_FINISH);
    } while (status == Z_OK || (status == Z_BUF_ERROR && stream.avail_out == 0));
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return out;
}

std::optional<Bytes> Gzip::decompress(const Bytes& data, std::size_t maxBytes)
{
    z_stream stream {};
    if (inflateInit2(&stream, kAnyWindow) != Z_OK)
        return std::nullopt;
    Bytes out;
    unsigned char chunk[kChunk];
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        std::size_t produced = sizeof chunk - stream.avail_out;
        if (out.size() + produced > maxBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        out.insert(out.end(), chunk, chunk + produced);
        if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
            break; // the input ended before the stream did
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return out;
}

}
