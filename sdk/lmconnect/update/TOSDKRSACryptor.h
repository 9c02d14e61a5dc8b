#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

// The signature check of the script archives: RSA PKCS#1 v1.5 with SHA-1, against the key of
// the certificate "public_key.der" of the LM Connect resource bundle.
class TOSDKRSACryptor {
public:
    // A fixed key text: only its presence is asked for; the certificate's key decides.
    static const char* publicKeyText();

    // No data, key text or signature, or no certificate, answers false.
    static bool verify(const std::optional<pf::Bytes>& data, const std::optional<std::string>& keyText,
        const std::optional<pf::Bytes>& signature);
    // Lower-case hex SHA-1 of the bytes.
    static std::string hashValueForFile(const pf::Bytes& data);
};
