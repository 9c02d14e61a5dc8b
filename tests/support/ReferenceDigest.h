#pragma once

// MD5 computed straight from the crypto library, apart from the code under test, so that a
// signature test cannot agree with a broken digest of the app's own.

#include <openssl/evp.h>

#include <cstdio>
#include <string>

namespace testsupport {

inline std::string referenceMd5Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    char byte[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", digest[i]);
        hex += byte;
    }
    return hex;
}

}
