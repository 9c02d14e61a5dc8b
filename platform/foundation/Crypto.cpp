#include "platform/foundation/Crypto.h"

#include "platform/foundation/AsciiText.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstring>
#include <random>

namespace pf {

namespace {

Bytes digest(const EVP_MD* md, const void* data, size_t size)
{
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (EVP_Digest(data, size, out.data(), &length, md, nullptr) != 1)
        return {};
    out.resize(length);
    return out;
}

}

Bytes Crypto::md5(const Bytes& data) { return digest(EVP_md5(), data.data(), data.size()); }
Bytes Crypto::md5(std::string_view text) { return digest(EVP_md5(), text.data(), text.size()); }
std::string Crypto::md5Hex(std::string_view text, bool upperCase) { return hex(md5(text), upperCase); }
std::string Crypto::md5Hex(const Bytes& data, bool upperCase) { return hex(md5(data), upperCase); }

Bytes Crypto::sha1(const Bytes& data) { return digest(EVP_sha1(), data.data(), data.size()); }
Bytes Crypto::sha1(std::string_view text) { return digest(EVP_sha1(), text.data(), text.size()); }
std::string Crypto::sha1Hex(std::string_view text, bool upperCase) { return hex(sha1(text), upperCase); }
std::string Crypto::sha1Hex(const Bytes& data, bool upperCase) { return hex(sha1(data), upperCase); }

Bytes Crypto::randomBytes(size_t count)
{
    Bytes out(count);
    if (count > 0 && RAND_bytes(out.data(), static_cast<int>(count)) != 1) {
        // Practically unreachable; the kernel's source is still better than nothing.
        std::random_device device;
        for (auto& b : out)
            b = static_cast<std::uint8_t>(device());
    }
    return out;
}

std::uint32_t Crypto::random32()
{
    Bytes b = randomBytes(4);
    std::uint32_t v;
    std::memcpy(&v, b.data(), 4);
    return v;
}

std::string Crypto::hex(const Bytes& data, bool upperCase)
{
    std::string out;
    out.reserve(data.size() * 2);
    for (auto b : data)
        AsciiText::appendHex(out, b, upperCase);
    return out;
}

}
