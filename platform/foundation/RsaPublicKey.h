#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

namespace pf {

// An RSA public key held by the crypto library: the key reference the keychain hands out for
// a key item, and the key a signature is checked against.
//
// Rules:
// - Made only from bytes that are exactly one key: a PKCS#1 RSAPublicKey (DER), or the key of
//   an X.509 certificate (DER). Anything else, trailing bytes included, makes none.
// - Immutable once made, so it may be shared between threads.
class RsaPublicKey {
public:
    static std::shared_ptr<RsaPublicKey> fromPkcs1Der(const Bytes& der);
    static std::shared_ptr<RsaPublicKey> fromCertificateDer(const Bytes& der);

    ~RsaPublicKey();
    RsaPublicKey(const RsaPublicKey&) = delete;
    RsaPublicKey& operator=(const RsaPublicKey&) = delete;

    // The modulus in bytes: the size of a signature made with the key.
    std::size_t blockSize() const;
    // PKCS#1 v1.5 padding over a SHA-1 digest computed already (20 bytes).
    bool verifyPkcs1Sha1Digest(const Bytes& digest, const Bytes& signature) const;

private:
    explicit RsaPublicKey(EVP_PKEY* key);

    EVP_PKEY* m_key;
};

}
