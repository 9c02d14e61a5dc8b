#pragma once

#include "platform/foundation/Value.h"

#include <optional>
#include <string>

namespace scriptbundle {

// A signing key for script archives made on this machine: an RSA key (PEM) and a self-signed
// certificate of its public half (DER), the form the client ships. Made in the build tree for
// tests and the simulator; never kept in the repository.
class TestSigningKey {
public:
    static bool generate(const std::string& keyPemPath, const std::string& certificateDerPath, std::string* error = nullptr);
    // RSA PKCS#1 v1.5 over the SHA-1 digest of `data`, with the PEM key at `keyPemPath`.
    static std::optional<pf::Bytes> sign(const std::string& keyPemPath, const pf::Bytes& data, std::string* error = nullptr);
};

}
