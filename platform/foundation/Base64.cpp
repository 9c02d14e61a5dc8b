#include "platform/foundation/Base64.h"

namespace pf {

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64::encode(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(data[k]); };
    for (; i + 2 < data.size(); i += 3) {
        unsigned n = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    if (i + 1 == data.size()) {
        unsigned n = byte(i) << 16;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += "==";
    } else if (i + 2 == data.size()) {
        unsigned n = (byte(i) << 16) | (byte(i + 1) << 8);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string Base64::encode(const Bytes& data)
{
    return encode(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::optional<Bytes> Base64::decode(std::string_view text)
{
    Bytes out;
    unsigned acc = 0;
    int bits = 0;
    int padding = 0;
    size_t symbols = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') { ++padding; continue; }
        else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        else return std::nullopt;
        if (padding)
            return std::nullopt; // data after padding
        ++symbols;
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
        }
    }
    // A last group of one symbol holds no whole byte; padding, when given, completes the last
    // group exactly.
    if (symbols % 4 == 1)
        return std::nullopt;
    if (padding > 0 && static_cast<size_t>(padding) != (4 - symbols % 4) % 4)
        return std::nullopt;
    return out;
}

}
